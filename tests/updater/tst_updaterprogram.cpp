// VelarixUpd as a black box: the real program, a temporary share root and installation folder,
// and stand-in clients that record how they were started: a workstation keeps a client that runs
// whatever the share holds.
#include "testfiles.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

namespace {
// A client that notes its version and arguments in started.txt next to the folder it was started
// in, after the name of the updater run that started it, and then stays up (as a client does)
// until the test leaves a "stop" file there or its folder is removed.
QByteArray standInClient(const QByteArray& version) {
    return "#!/bin/sh\nDIR=\"$(dirname \"$0\")\"\necho \"" + version +
           " $RUN $@\" >> \"$DIR/started.txt\"\n"
           "while [ -d \"$DIR\" ] && [ ! -e \"$DIR/stop\" ]; do sleep 0.05; done\n";
}

void writeStandInClient(const QString& folder, const QByteArray& version = "v1",
                        QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner) {
    writeFile(folder + "VelarixCL", standInClient(version));
    QVERIFY(QFile::setPermissions(folder + "VelarixCL", mode));
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
    void copiesAndStartsTheClient();
    void newProgram_data();
    void newProgram();
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

void UpdaterProgramTest::copiesAndStartsTheClient() {
    QTemporaryDir root;
    const QString share = root.filePath(QStringLiteral("share"));
    const QString install = root.filePath(QStringLiteral("Program Files/Velarix")) + '/';
    const auto stop = qScopeGuard([&] { writeFile(install + "stop", ""); });
    writeFile(install + "IPHost.set", "   \r\n");
    writeStandInClient(install);
    writeFile(share + "/Client/Copie.txt", "C:\\STAMPE\\,2\r\n");
    writeFile(share + "/Client/Modelli/ODL.rpt", "odl");
    writeFile(share + "/Client/Documenti.mdb", "db");
    writeFile(install + "Documenti.mdb/in-the-way", "x");
    // The folder arrives split at its blank, unquoted, as the client passes it.
    const QStringList arguments{root.filePath(QStringLiteral("Program")),
                                QStringLiteral("Files/Velarix/")};

    // No server in IPHost.set: nothing is copied, and the client that handed over is started
    // again rather than left ended.
    Result result = runUpdater(arguments, share, QStringLiteral("first"));
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(
        result.errors.contains(install + "IPHost.set non trovato o non configurato nel client!"),
        qPrintable(result.errors));
    QVERIFY(!QFile::exists(install + "Copie.txt"));
    QTRY_COMPARE_WITH_TIMEOUT(readFile(install + "started.txt"),
                              QByteArray("v1 first --after-update\n"), 10000);

    writeFile(install + "IPHost.set", "server1\r\n");
    result = runUpdater(arguments, share, QStringLiteral("second"));
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.errors.count(QStringLiteral("Errore copia: ")), 1);
    QVERIFY2(result.errors.contains("Errore copia: \\\\server1\\Velarix\\Client\\Documenti.mdb"),
             qPrintable(result.errors));
    QCOMPARE(readFile(install + "Copie.txt"), QByteArray("C:\\STAMPE\\,2\r\n"));
    QCOMPARE(readFile(install + "Modelli/ODL.rpt"), QByteArray("odl"));
    // The updater has watched the client stay up before it ended: it was started once.
    QTRY_COMPARE_WITH_TIMEOUT(readFile(install + "started.txt"),
                              QByteArray("v1 first --after-update\nv1 second --after-update\n"),
                              10000);
}

void UpdaterProgramTest::newProgram_data() {
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<QByteArray>("started");
    QTest::addColumn<QString>("message");
    // The share's copy has mode 644: the workstation's program keeps its execute bit.
    QTest::newRow("without execute bit on the share")
        << standInClient("v2") << QByteArray("v2") << QString();
    // Asked to end right after its start-up (a person, a shutdown): the update stays.
    QTest::newRow("ends on request after its start-up")
        << QByteArray("#!/bin/sh\necho \"v2 $RUN $@\" >> \"$(dirname \"$0\")/started.txt\"\n"
                      "echo $$ > \"$VELARIX_STARTED_FILE\"\n")
        << QByteArray("v2") << QString();
    QTest::newRow("ends at once") << QByteArray("#!/bin/sh\nexit 1\n") << QByteArray("v1")
                                  << QStringLiteral("è stata ripristinata la versione precedente");
    QTest::newRow("not a program")
        << QByteArray("\x7f"
                      "ELF garbage")
        << QByteArray("v1") << QStringLiteral("è stata ripristinata la versione precedente");
}

void UpdaterProgramTest::newProgram() {
    QFETCH(QByteArray, program);
    QFETCH(QByteArray, started);
    QFETCH(QString, message);
    QTemporaryDir root;
    const QString share = root.filePath(QStringLiteral("share"));
    const QString install = root.filePath(QStringLiteral("cl")) + '/';
    const auto stop = qScopeGuard([&] { writeFile(install + "stop", ""); });
    writeFile(install + "IPHost.set", "server1\r\n");
    writeStandInClient(install);
    writeFile(share + "/Client/VelarixCL", program);
    QVERIFY(QFile::setPermissions(share + "/Client/VelarixCL",
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                      QFile::ReadOther));

    const Result result = runUpdater({install}, share, QStringLiteral("run"));
    QCOMPARE(result.exitCode, 0);
    QTRY_COMPARE_WITH_TIMEOUT(readFile(install + "started.txt"), started + " run --after-update\n",
                              10000);
    QVERIFY(QFile::permissions(install + "VelarixCL") & QFile::ExeOwner);
    QVERIFY2(result.errors.contains(QStringLiteral("versione precedente")) == !message.isEmpty(),
             qPrintable(result.errors));
    QCOMPARE(readFile(install + "VelarixCL"), message.isEmpty() ? program : standInClient("v1"));
}

QTEST_GUILESS_MAIN(UpdaterProgramTest)
#include "tst_updaterprogram.moc"
