// VelarixUpd as a black box: the real program, a temporary share root and installation folder,
// and a stand-in client that records how it was started.
#include "testfiles.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
// A client that only notes its arguments next to itself, one line per start, after the name of
// the updater run that started it.
void writeStandInClient(const QString& install) {
    writeFile(install + "VelarixCL",
              "#!/bin/sh\necho \"$RUN $@\" >> \"$(dirname \"$0\")/started.txt\"\n");
    QFile::setPermissions(install + "VelarixCL",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

struct Result {
    int exitCode = -1;
    QString errors;
};

Result runUpdater(const QStringList& arguments, const QString& shareRoot,
                  const QString& run = QString()) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VELARIX_UNATTENDED"), QStringLiteral("1"));
    env.insert(QStringLiteral("VELARIX_TIMER_SCALE"), QStringLiteral("20"));
    env.insert(QStringLiteral("VELARIX_SHARE_ROOT"), shareRoot);
    env.insert(QStringLiteral("RUN"), run);
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
    void copiesAndStartsTheClientOnlyWithAServer();
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

void UpdaterProgramTest::copiesAndStartsTheClientOnlyWithAServer() {
    QTemporaryDir root;
    const QString share = root.filePath(QStringLiteral("share"));
    const QString install = root.filePath(QStringLiteral("Program Files/Velarix")) + '/';
    writeFile(install + "IPHost.set", "   \r\n");
    writeStandInClient(install);
    writeFile(share + "/Client/Copie.txt", "C:\\STAMPE\\,2\r\n");
    writeFile(share + "/Client/Modelli/ODL.rpt", "odl");
    writeFile(share + "/Client/Documenti.mdb", "db");
    writeFile(install + "Documenti.mdb/in-the-way", "x");
    // The folder arrives split at its blank, unquoted, as the client passes it.
    const QStringList arguments{root.filePath(QStringLiteral("Program")),
                                QStringLiteral("Files/Velarix/")};

    // No server in IPHost.set: nothing is copied and no client is started.
    Result result = runUpdater(arguments, share, QStringLiteral("first"));
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(
        result.errors.contains(install + "IPHost.set non trovato o non configurato nel client!"),
        qPrintable(result.errors));
    QVERIFY(!QFile::exists(install + "Copie.txt"));

    writeFile(install + "IPHost.set", "server1\r\n");
    result = runUpdater(arguments, share, QStringLiteral("second"));
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.errors.count(QStringLiteral("Errore copia: ")), 1);
    QVERIFY2(result.errors.contains("Errore copia: \\\\server1\\Velarix\\Client\\Documenti.mdb"),
             qPrintable(result.errors));
    QCOMPARE(readFile(install + "Copie.txt"), QByteArray("C:\\STAMPE\\,2\r\n"));
    QCOMPARE(readFile(install + "Modelli/ODL.rpt"), QByteArray("odl"));
    // A client started by the first run would have noted itself before this run began.
    QTRY_COMPARE_WITH_TIMEOUT(readFile(install + "started.txt"),
                              QByteArray("second --after-update\n"), 10000);
}

QTEST_GUILESS_MAIN(UpdaterProgramTest)
#include "tst_updaterprogram.moc"
