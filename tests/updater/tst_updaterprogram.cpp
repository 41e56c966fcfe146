// VelarixUpd as a black box: the real program, a temporary share root and installation folder,
// and a stand-in client that records how it was started.
#include "testfiles.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
// A client that only writes its arguments next to itself.
void writeStandInClient(const QString& install) {
    writeFile(install + "VelarixCL",
              "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/started.txt\"\n");
    QFile::setPermissions(install + "VelarixCL",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

struct Result {
    int exitCode = -1;
    QString errors;
};

Result runUpdater(const QStringList& arguments, const QString& shareRoot) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VELARIX_UNATTENDED"), QStringLiteral("1"));
    env.insert(QStringLiteral("VELARIX_TIMER_SCALE"), QStringLiteral("20"));
    env.insert(QStringLiteral("VELARIX_SHARE_ROOT"), shareRoot);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VELARIX_BIN_DIR "/VelarixUpd"), arguments);
    Result result;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitCode();
    result.errors = QString::fromUtf8(process.readAllStandardError());
    return result;
}
} // namespace

class UpdaterProgramTest : public QObject {
    Q_OBJECT
private slots:
    void noArgumentAndNoInstallation();
    void blankHostFileStartsNoClient();
    void copiesAndStartsTheClientAgain();
};

void UpdaterProgramTest::noArgumentAndNoInstallation() {
    for (const char* folder : {"/opt/velarix/IPHost.set", "/usr/local/velarix/IPHost.set"}) {
        if (QFile::exists(QString::fromLatin1(folder)))
            QSKIP("a client is installed in a standard folder on this machine");
    }
    const Result result = runUpdater({}, QString());
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.errors.contains(QStringLiteral("Procedura Velarix non Installata")),
             qPrintable(result.errors));
}

void UpdaterProgramTest::blankHostFileStartsNoClient() {
    QTemporaryDir root;
    const QString install = root.filePath(QStringLiteral("Program Files/Velarix")) + '/';
    writeFile(install + "IPHost.set", "   \r\n");
    writeStandInClient(install);

    // The folder arrives split at its blank, unquoted, as the client passes it.
    const Result result = runUpdater(
        {root.filePath(QStringLiteral("Program")), QStringLiteral("Files/Velarix/")}, root.path());
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(
        result.errors.contains(install + "IPHost.set non trovato o non configurato nel client!"),
        qPrintable(result.errors));
    QTest::qWait(300);
    QVERIFY(!QFile::exists(install + "started.txt"));
}

void UpdaterProgramTest::copiesAndStartsTheClientAgain() {
    QTemporaryDir root;
    const QString share = root.filePath(QStringLiteral("share"));
    const QString install = root.filePath(QStringLiteral("cl dir")) + '/';
    writeFile(install + "IPHost.set", "server1\r\n");
    writeStandInClient(install);
    writeFile(share + "/Client/Copie.txt", "C:\\STAMPE\\,2\r\n");
    writeFile(share + "/Client/Modelli/ODL.rpt", "odl");
    writeFile(share + "/Client/Documenti.mdb", "db");
    writeFile(install + "Documenti.mdb/in-the-way", "x");

    const Result result = runUpdater({install}, share);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.errors.count(QStringLiteral("Errore copia: ")), 1);
    QVERIFY2(result.errors.contains("Errore copia: \\\\server1\\Velarix\\Client\\Documenti.mdb"),
             qPrintable(result.errors));
    QCOMPARE(readFile(install + "Copie.txt"), QByteArray("C:\\STAMPE\\,2\r\n"));
    QCOMPARE(readFile(install + "Modelli/ODL.rpt"), QByteArray("odl"));
    QTRY_COMPARE_WITH_TIMEOUT(readFile(install + "started.txt"), QByteArray("--after-update\n"),
                              10000);
}

QTEST_GUILESS_MAIN(UpdaterProgramTest)
#include "tst_updaterprogram.moc"
