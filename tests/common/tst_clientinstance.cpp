// The real VelarixCL installed in a folder its user cannot write (mode 555), run as an ordinary
// user: its single-instance lock lives in that user's runtime folder, so it starts and registers
// instead of taking the refused lock for a running instance; a second one is still refused.
#include "../runtime/clientenvironment.h"
#include "clientfolder.h"
#include "fakeserver.h"
#include "testfiles.h"
#include "testports.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

namespace {
constexpr uid_t Nobody = 65534;
const QFile::Permissions ReadAndEnter = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
} // namespace

class TestClientInstance : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    FakeServer m_server;

    QString path(const char* name) const { return m_root.filePath(QLatin1String(name)); }

    // As root the program runs as "nobody", for whom permissions count.
    void start(QProcess& client, quint16 base) {
        QProcessEnvironment env =
            clientEnvironment(base, path("share"), path("pdf"), QStringLiteral("20"));
        env.remove(QStringLiteral("VELARIX_LOCK_DIR"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path("run"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path("config"));
        env.insert(QStringLiteral("HOME"), path("config"));
        client.setProcessEnvironment(env);
        client.setWorkingDirectory(path("programma"));
        if (geteuid() == 0)
            client.setChildProcessModifier([] {
                if (setgid(Nobody) != 0 || setuid(Nobody) != 0)
                    _exit(126);
            });
        client.start(path("programma") + QStringLiteral("/VelarixCL"), {});
    }

private slots:
    void readOnlyProgramFolderIsNoRunningInstance() {
        const QString program = path("programma");
        const QString client = path("share") + QStringLiteral("/Client");
        for (const QString& dir : {program, client, path("share") + QStringLiteral("/Stampe"),
                                   path("pdf"), path("run"), path("config")})
            QVERIFY(QDir().mkpath(dir));
        // A runtime folder as the system makes it: the user's own, for nobody else.
        QVERIFY(QFile::setPermissions(path("run"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(ClientFolder::layOut(client, QStringLiteral("\\\\srv\\Velarix\\Stampe\\"),
                                     {{1, QStringLiteral("Ditta Prova")}}));
        // Copies after their originals: no update is due.
        for (const QString& f : QDir(client).entryList(QDir::Files))
            QVERIFY(QFile::copy(client + QLatin1Char('/') + f, program + QLatin1Char('/') + f));
        QVERIFY(QFile::copy(QStringLiteral(VELARIX_BIN_DIR "/VelarixCL"),
                            program + QStringLiteral("/VelarixCL")));
        writeFile(program + QStringLiteral("/IPHost.set"), "127.0.0.1\r\n");
        QVERIFY(QFile::setPermissions(m_root.path(), ReadAndEnter));
        QVERIFY(QFile::setPermissions(program, ReadAndEnter));
        if (geteuid() == 0) {
            for (const char* own : {"pdf", "run", "config"})
                QVERIFY(::chown(QFile::encodeName(path(own)).constData(), Nobody, Nobody) == 0);
        }

        const quint16 base = TestPorts::freeRange(25);
        QVERIFY(base != 0 && m_server.listen(base));
        QSignalSpy registered(&m_server, &FakeServer::registered);
        QProcess first;
        start(first, base);
        QVERIFY(first.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(registered.size(), 1, 20000);
        QVERIFY2(QFile::exists(path("run") + QStringLiteral("/VelarixCL.lock")),
                 first.readAllStandardError().constData());

        QProcess second;
        start(second, base);
        QVERIFY(second.waitForFinished(20000));
        QVERIFY(QString::fromUtf8(second.readAllStandardError())
                    .contains(QStringLiteral("Programma già in esecuzione!")));
        QCOMPARE(first.state(), QProcess::Running);
        ::kill(pid_t(first.processId()), SIGTERM);
        QVERIFY(first.waitForFinished(10000));
        QVERIFY(QFile::setPermissions(program, ReadAndEnter | QFile::WriteOwner));
        QVERIFY(QFile::setPermissions(m_root.path(), ReadAndEnter | QFile::WriteOwner));
    }
};

QTEST_GUILESS_MAIN(TestClientInstance)
#include "tst_clientinstance.moc"
