// The client's activity log in a program folder that cannot be written goes to the user's data
// folder, and says so; in a writable folder it stays where it always was.
#include "../common/unprivileged.h"
#include "logplace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class LogPlaceTest : public QObject {
    Q_OBJECT
private slots:
    void readOnlyFolderLogsToTheDataFolder() {
        QTemporaryDir root;
        const QString program = root.filePath(QStringLiteral("programma"));
        const QString data = root.filePath(QStringLiteral("dati"));
        QVERIFY(QDir().mkpath(program) && QDir().mkpath(data));
        // Mode 555 and 777: the unprivileged user may still be in root's group.
        const auto readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                              QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        const auto writable = readOnly | QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
        QVERIFY(QFile::setPermissions(root.path(), readOnly));
        QVERIFY(QFile::setPermissions(program, readOnly));
        QVERIFY(QFile::setPermissions(data, writable));
        qputenv("XDG_DATA_HOME", data.toUtf8());
        const QString usual = program + QStringLiteral("/VXCreg.txt");

        LogPlace place;
        {
            Unprivileged nobody;
            if (!nobody.effective())
                QSKIP("permissions cannot be taken away from this user");
            place = LogPlace::choose(usual);
        }
        QCOMPARE(place.fileName, data + QStringLiteral("/VelarixCL/VXCreg.txt"));
        QVERIFY(QFile::exists(place.fileName));
        QVERIFY2(place.notice.contains(program) && place.notice.contains(place.fileName),
                 qPrintable(place.notice));

        QVERIFY(QFile::setPermissions(program, writable));
        const LogPlace usualPlace = LogPlace::choose(usual);
        QCOMPARE(usualPlace.fileName, usual);
        QVERIFY(usualPlace.notice.isEmpty());
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("VelarixCL"));
    LogPlaceTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_logplace.moc"
