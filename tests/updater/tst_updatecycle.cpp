// The whole update cycle with the real programs: a client whose folder lacks the share's files
// hands over to the real updater, which copies the Client folder (subfolders too) and starts the
// client again; that client never hands over a second time, even when an entry could not be
// brought over, and it connects to the server and prints.
#include "testfiles.h"
#include "clientfolder.h"
#include "fakeserver.h"
#include "testports.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {
bool copyProgram(const QString& program, const QString& folder) {
    const QString target = folder + QLatin1Char('/') + program;
    return QFile::copy(QStringLiteral(VELARIX_BIN_DIR "/") + program, target) &&
           QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// The process id written in a lock file of QLockFile (first line).
qint64 lockOwner(const QString& lockFile) {
    const QList<QByteArray> lines = readFile(lockFile).split('\n');
    return lines.isEmpty() ? 0 : lines.first().trimmed().toLongLong();
}

// A process that has ended but is not reaped yet (the client the updater starts is nobody's
// child here) counts as ended.
bool processAlive(qint64 pid) {
    if (pid <= 0 || ::kill(pid_t(pid), 0) != 0)
        return false;
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    return !stat.mid(stat.lastIndexOf(')') + 1).trimmed().startsWith('Z');
}
} // namespace

class UpdateCycleTest : public QObject {
    Q_OBJECT
private slots:
    void cycle_data();
    void cycle();
};

void UpdateCycleTest::cycle_data() {
    QTest::addColumn<bool>("blockedEntry");
    QTest::newRow("Client folder with a subfolder") << false;
    QTest::newRow("a file the workstation cannot write") << true;
}

void UpdateCycleTest::cycle() {
    QFETCH(bool, blockedEntry);

    QTemporaryDir root;
    const QString share = root.filePath(QStringLiteral("share"));
    const QString client = share + QStringLiteral("/Client");
    const QString program = root.filePath(QStringLiteral("Velarix CL"));
    const QString pdf = root.filePath(QStringLiteral("pdf"));
    for (const QString& dir : {client, program, pdf, share + QStringLiteral("/Stampe")})
        QVERIFY(QDir().mkpath(dir));

    // The server's Client folder: database with a letterhead, copies, templates, a subfolder.
    QVERIFY(ClientFolder::layOut(client, QStringLiteral("\\\\srv\\Velarix\\Stampe\\"),
                                 {{1, QStringLiteral("Autofficina Rossi & Figli S.r.l.")}}));
    writeFile(client + QStringLiteral("/Modelli/Nota.txt"), "nota");
    if (blockedEntry) {
        writeFile(client + QStringLiteral("/Bloccato.txt"), "new");
        // A folder of that name stands in the way on the workstation.
        writeFile(program + QStringLiteral("/Bloccato.txt/dentro"), "old");
    }
    QVERIFY(copyProgram(QStringLiteral("VelarixUpd"), share));

    // The workstation: the client program and its server, nothing else.
    QVERIFY(copyProgram(QStringLiteral("VelarixCL"), program));
    writeFile(program + QStringLiteral("/IPHost.set"), "127.0.0.1\r\n");
    const QString printFile = QStringLiteral("ODL00412.001.PRN");
    QVERIFY(QFile::copy(QStringLiteral(VELARIX_SOURCE_DIR "/examples/ODL00412.001"),
                        share + QStringLiteral("/Stampe/") + printFile));

    FakeServer server;
    const quint16 base = TestPorts::freeRange(25);
    QVERIFY(base != 0);
    QVERIFY(server.listen(base));
    QSignalSpy registered(&server, &FakeServer::registered);
    QSignalSpy completed(&server, &FakeServer::completionReceived);

    QProcess first;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VELARIX_UNATTENDED"), QStringLiteral("1"));
    env.insert(QStringLiteral("VELARIX_BASE_PORT"), QString::number(base));
    env.insert(QStringLiteral("VELARIX_SHARE_ROOT"), share);
    env.insert(QStringLiteral("VELARIX_PC_NAME"), QStringLiteral("UFFICIO1"));
    env.insert(QStringLiteral("VELARIX_PDF_DIR"), pdf);
    env.insert(QStringLiteral("VELARIX_TIMER_SCALE"), QStringLiteral("20"));
    first.setProcessEnvironment(env);
    first.setWorkingDirectory(program);
    // The updater and the second client inherit these, and outlive the first client.
    const QString errors = root.filePath(QStringLiteral("stderr.txt"));
    first.setStandardErrorFile(errors);
    first.setStandardOutputFile(root.filePath(QStringLiteral("stdout.txt")));
    first.start(program + QStringLiteral("/VelarixCL"), {});
    QVERIFY(first.waitForStarted());
    // The client the updater starts is not our child: whatever the outcome, it must not outlive
    // the test.
    const auto reap = qScopeGuard([&] {
        const qint64 pid = lockOwner(program + QStringLiteral("/VelarixCL.lock"));
        if (pid > 0 && pid != first.processId() && processAlive(pid))
            ::kill(pid_t(pid), SIGTERM);
    });
    QVERIFY(first.waitForFinished(20000)); // it hands over to the updater and ends

    QTRY_COMPARE_WITH_TIMEOUT(registered.size(), 1, 30000);
    const qint64 second = lockOwner(program + QStringLiteral("/VelarixCL.lock"));
    QVERIFY(processAlive(second));
    QVERIFY(second != first.processId());

    const QString path = QStringLiteral("\\\\srv\\Velarix\\Stampe\\") + printFile;
    QVERIFY(server.sendPrintRequest(path));
    QTRY_VERIFY2_WITH_TIMEOUT(completed.size() == 1,
                              readFile(program + QStringLiteral("/VXCreg.txt")).constData(), 60000);
    QCOMPARE(completed.at(0).at(0).toString(), path);
    QCOMPARE(QDir(pdf).entryList({QStringLiteral("*.pdf")}).size(), 1);

    // One round only: the second client has passed its update check (it connected), so a third
    // start could only have come from it handing over again, which it logged before connecting.
    const QString log = QString::fromUtf8(readFile(program + QStringLiteral("/VXCreg.txt")));
    QCOMPARE(log.count(QStringLiteral("****Apertura Programma****")), 2);
    QCOMPARE(log.count(QStringLiteral("Aggiornamento rilevato")), 1);
    QCOMPARE(readFile(program + QStringLiteral("/Modelli/Nota.txt")), QByteArray("nota"));
    QCOMPARE(readFile(program + QStringLiteral("/Copie.txt")),
             readFile(client + QStringLiteral("/Copie.txt")));
    const QString stderrText = QString::fromUtf8(readFile(errors));
    if (blockedEntry) {
        QVERIFY2(log.contains(QStringLiteral("Aggiornamento incompleto, file non aggiornati: "
                                             "Bloccato.txt\r\n")),
                 qPrintable(log));
        QCOMPARE(stderrText.count(QStringLiteral("Errore copia: ")), 1);
        QCOMPARE(stderrText.count(QStringLiteral("Aggiornamento non completato")), 1);
    } else {
        QVERIFY2(!log.contains(QStringLiteral("Aggiornamento incompleto")), qPrintable(log));
        QCOMPARE(log.count(QStringLiteral("Aggiornamento completato")), 1);
        QVERIFY2(!stderrText.contains(QStringLiteral("Errore copia: ")), qPrintable(stderrText));
    }

    ::kill(pid_t(second), SIGTERM);
    QTRY_VERIFY_WITH_TIMEOUT(!processAlive(second), 10000);
}

QTEST_MAIN(UpdateCycleTest)
#include "tst_updatecycle.moc"
