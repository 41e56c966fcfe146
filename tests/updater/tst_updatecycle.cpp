// The whole update cycle with the real programs: a client whose folder lacks the share's files
// hands over to the real updater, which copies the Client folder (subfolders too) and starts the
// client again; that client never hands over a second time, even when an entry could not be
// brought over, and it connects to the server and prints.
#include "clientenvironment.h"
#include "clientfolder.h"
#include "fakeserver.h"
#include "testfiles.h"
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

// The server's share (its Client folder, the updater and a print file) and a workstation that
// has only the client program and its IPHost.set.
struct Workstation {
    QTemporaryDir root;
    QString share = root.filePath(QStringLiteral("share"));
    QString client = share + QStringLiteral("/Client");
    QString program = root.filePath(QStringLiteral("Velarix CL"));
    QString pdf = root.filePath(QStringLiteral("pdf"));
    QString errors = root.filePath(QStringLiteral("stderr.txt"));

    void layOut(bool blockedEntry) {
        for (const QString& dir : {client, program, pdf, share + QStringLiteral("/Stampe")})
            QVERIFY(QDir().mkpath(dir));
        // Database with a letterhead, copies, templates, and a subfolder.
        QVERIFY(ClientFolder::layOut(client, QStringLiteral("\\\\srv\\Velarix\\Stampe\\"),
                                     {{1, QStringLiteral("Autofficina Rossi & Figli S.r.l.")}}));
        writeFile(client + QStringLiteral("/Modelli/Nota.txt"), "nota");
        if (blockedEntry) {
            writeFile(client + QStringLiteral("/Bloccato.txt"), "new");
            // A folder of that name stands in the way on the workstation.
            writeFile(program + QStringLiteral("/Bloccato.txt/dentro"), "old");
        }
        QVERIFY(copyProgram(QStringLiteral("VelarixUpd"), share));
        QVERIFY(copyProgram(QStringLiteral("VelarixCL"), program));
        writeFile(program + QStringLiteral("/IPHost.set"), "127.0.0.1\r\n");
        QVERIFY(QFile::copy(QStringLiteral(VELARIX_SOURCE_DIR "/examples/ODL00412.001"),
                            share + QStringLiteral("/Stampe/ODL00412.001.PRN")));
    }

    // The updater and the second client inherit the environment and the output files.
    void start(QProcess& client, quint16 basePort) const {
        QProcessEnvironment env = clientEnvironment(basePort, share, pdf, QStringLiteral("20"));
        env.insert(QStringLiteral("VELARIX_LOCK_DIR"), locks());
        client.setProcessEnvironment(env);
        client.setWorkingDirectory(program);
        client.setStandardErrorFile(errors);
        client.setStandardOutputFile(root.filePath(QStringLiteral("stdout.txt")));
        client.start(program + QStringLiteral("/VelarixCL"), {});
    }

    QString locks() const { return root.filePath(QStringLiteral("locks")); }
    qint64 runningClient() const { return lockOwner(locks() + QStringLiteral("/VelarixCL.lock")); }
    QString log() const {
        return QString::fromUtf8(readFile(program + QStringLiteral("/VXCreg.txt")));
    }
};

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
    Workstation ws;
    ws.layOut(blockedEntry);
    if (QTest::currentTestFailed())
        return;
    FakeServer server;
    QVERIFY(server.listen(TestPorts::freeRange(25)));
    QSignalSpy registered(&server, &FakeServer::registered);
    QSignalSpy completed(&server, &FakeServer::completionReceived);

    QProcess first;
    ws.start(first, server.port());
    QVERIFY(first.waitForStarted());
    // The client the updater starts is not our child: whatever the outcome, it must not outlive
    // the test.
    const auto reap = qScopeGuard([&] {
        const qint64 pid = ws.runningClient();
        if (pid > 0 && pid != first.processId() && processAlive(pid))
            ::kill(pid_t(pid), SIGTERM);
    });
    QVERIFY(first.waitForFinished(20000)); // it hands over to the updater and ends
    QTRY_COMPARE_WITH_TIMEOUT(registered.size(), 1, 30000);
    const qint64 second = ws.runningClient();
    QVERIFY(processAlive(second));
    QVERIFY(second != first.processId());

    const QString path = QStringLiteral("\\\\srv\\Velarix\\Stampe\\ODL00412.001.PRN");
    QVERIFY(server.sendPrintRequest(path));
    QTRY_VERIFY2_WITH_TIMEOUT(completed.size() == 1, qPrintable(ws.log()), 60000);
    QCOMPARE(completed.at(0).at(0).toString(), path);
    QCOMPARE(QDir(ws.pdf).entryList({QStringLiteral("*.pdf")}).size(), 1);
    QCOMPARE(readFile(ws.program + QStringLiteral("/Modelli/Nota.txt")), QByteArray("nota"));
    QCOMPARE(readFile(ws.program + QStringLiteral("/Copie.txt")),
             readFile(ws.client + QStringLiteral("/Copie.txt")));

    // One round only: the second client has passed its update check (it connected), so a third
    // start could only have come from it handing over again, which it logged before connecting.
    const QString log = ws.log();
    QCOMPARE(log.count(QStringLiteral("****Apertura Programma****")), 2);
    QCOMPARE(log.count(QStringLiteral("Aggiornamento rilevato")), 1);
    const QString errors = QString::fromUtf8(readFile(ws.errors));
    QCOMPARE(errors.count(QStringLiteral("Errore copia: ")), blockedEntry ? 1 : 0);
    QCOMPARE(errors.count(QStringLiteral("Aggiornamento non completato")), blockedEntry ? 1 : 0);
    QCOMPARE(log.count(QStringLiteral("Aggiornamento incompleto, file non aggiornati: "
                                      "Bloccato.txt\r\n")),
             blockedEntry ? 1 : 0);
    QCOMPARE(log.count(QStringLiteral("Aggiornamento completato")), blockedEntry ? 0 : 1);

    ::kill(pid_t(second), SIGTERM);
    QTRY_VERIFY_WITH_TIMEOUT(!processAlive(second), 10000);
}

QTEST_MAIN(UpdateCycleTest)
#include "tst_updatecycle.moc"
