// The real VelarixSrv as a black box: headless and unattended, in a temporary program folder
// (with a blank in its name) holding Client/Copie.txt and Client/Documenti.mdb, driven by plain
// sockets on loopback.

#include "poolfixture.h"
#include "version.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

using ServerTest::Client;

class TestServerProgram : public QObject {
    Q_OBJECT

private:
    ServerTest::ServerFolder m_folder;
    QString m_program = m_folder.program;
    QString m_print = m_folder.print;
    quint16 m_base = 0;
    QProcessEnvironment m_env;
    QProcess m_server;

    QString logText() const { return m_folder.log(); }
    QString binary() const { return m_program + QStringLiteral("/VelarixSrv"); }
    QString reply() const { return QStringLiteral("Velarix 1.0 rev. %1\r").arg(VELARIX_REVISION); }
    // Registers a workstation on the first free port from base upwards, as the client does.
    std::unique_ptr<Client> registered(const QByteArray& name) {
        for (int i = 0; i < 25; ++i) {
            auto c = std::make_unique<Client>();
            if (!c->connectTo(quint16(m_base + i), 1000))
                continue;
            c->send("PC:" + name + "\r");
            const bool answered = QTest::qWaitFor([&] { return !c->received().isEmpty(); }, 2000);
            if (answered && QString::fromLatin1(c->received()) == reply()) {
                c->clearReceived();
                return c;
            }
        }
        return nullptr;
    }

private slots:
    void initTestCase() {
        QVERIFY(QFile::copy(QStringLiteral(VELARIX_BIN_DIR "/VelarixSrv"), binary()));
        m_folder.writeCompanies({1});
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_env.insert(QStringLiteral("VELARIX_UNATTENDED"), QStringLiteral("1"));
        m_env.insert(QStringLiteral("VELARIX_TIMER_SCALE"), QStringLiteral("10"));
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_folder.path("config"));
        m_env.insert(QStringLiteral("PATH"), m_folder.bin + QLatin1Char(':') + m_env.value("PATH"));
        m_server.setWorkingDirectory(m_folder.dir.path());
        // The ports open once the window has been activated; a block another program took
        // meanwhile is given up for the next one.
        m_base = ServerTest::openOnFreePorts(25, [this](quint16 base) {
            m_env.insert(QStringLiteral("VELARIX_BASE_PORT"), QString::number(base));
            m_server.setProcessEnvironment(m_env);
            m_server.start(binary(), {});
            if (!m_server.waitForStarted())
                return false;
            const bool listening = QTest::qWaitFor(
                [&] {
                    return ServerTest::listeningPorts(m_server.processId()).size() == 25 ||
                           logText().contains(QStringLiteral("Impossibile aprire la porta"));
                },
                30000);
            if (listening && !logText().contains(QStringLiteral("Impossibile aprire la porta")))
                return true;
            m_server.kill();
            m_server.waitForFinished();
            QFile::remove(m_folder.path("VXreg.txt"));
            return false;
        });
        QVERIFY(m_base != 0);
        const QSet<quint16> ports = ServerTest::listeningPorts(m_server.processId());
        for (int i = 0; i < 25; ++i)
            QVERIFY(ports.contains(quint16(m_base + i)));
    }

    void startUpDidItsWork() {
        QVERIFY(logText().contains(QStringLiteral("****Apertura Programma****")));
        // The share got the program folder as one argument; start at log-on is registered.
        const QString netArgs = m_folder.path("net-args.txt");
        QTRY_VERIFY(QFile::exists(netArgs));
        QVERIFY(QString::fromUtf8(readFile(netArgs)).split(QLatin1Char('\n')).contains(m_program));
        QVERIFY(QFile::exists(m_folder.path("config/autostart/VelarixSrv.desktop")));
    }

    void secondInstanceIsRefused() {
        QProcess second;
        second.setProcessEnvironment(m_env);
        second.setWorkingDirectory(m_folder.dir.path());
        second.start(binary(), {});
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QVERIFY(QString::fromUtf8(second.readAllStandardError())
                    .contains(QStringLiteral("Programma già in esecuzione!")));
        QCOMPARE(logText().count(QStringLiteral("****Apertura Programma****")), 1);
        QCOMPARE(m_server.state(), QProcess::Running);
    }

    void printJobTravelsAndIsDeletedSafely() {
        auto client = registered("UFFICIO1");
        QVERIFY(client);
        writeFile(m_print + QStringLiteral("FATT.001"),
                  "DITTA PROVA\r\nPC:UFFICIO1 FATTURA\r\nRIGA 1\r\n");
        const QByteArray request = "DIR:" + m_print.toUtf8() + "FATT.001.PRN\r";
        QTRY_COMPARE_WITH_TIMEOUT(client->received(), request, 10000);
        QVERIFY(QFile::exists(m_print + QStringLiteral("FATT.001.PRN")));

        // A completion naming a file outside the print folder deletes nothing.
        const QString settings = m_program + QStringLiteral("/Client/Copie.txt");
        client->send("DEL:" + settings.toUtf8() + "\r");
        QTRY_VERIFY(logText().contains(QStringLiteral("Cancellazione rifiutata: ") + settings));
        QVERIFY(QFile::exists(settings));

        client->send("DEL:" + m_print.toUtf8() + "FATT.001.PRN\r");
        QTRY_VERIFY(!QFile::exists(m_print + QStringLiteral("FATT.001.PRN")));
    }

    void survivesConnectDropStorms() {
        for (int i = 0; i < 300; ++i) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, quint16(m_base + i % 25));
            if (s.waitForConnected(200) && i % 3 == 0)
                s.write("PC:TEMP\r");
            s.abort();
        }
        QCOMPARE(m_server.state(), QProcess::Running);
        // The storm's last connections are still being closed and their ports reopened, so a
        // pass over the ports may find them all busy; a client then tries again a little later.
        std::unique_ptr<Client> after;
        const bool served = QTest::qWaitFor(
            [&] {
                after = registered("DOPO");
                return after != nullptr;
            },
            10000);
        QVERIFY2(served, m_server.readAllStandardError().right(3000).constData());
    }

    void terminationClosesEverything() {
        auto client = registered("ULTIMO");
        QVERIFY(client);
        m_server.terminate();
        QVERIFY(m_server.waitForFinished(15000));
        QCOMPARE(m_server.exitStatus(), QProcess::NormalExit);
        QTRY_VERIFY(!client->isConnected());
        const QString log = logText();
        QVERIFY(log.contains(QStringLiteral("Chiusura Porte collegate")));
        QVERIFY(log.trimmed().endsWith(QStringLiteral("****Chiusura Programma****")));
    }

    void cleanupTestCase() {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }
};

QTEST_GUILESS_MAIN(TestServerProgram)
#include "tst_serverprogram.moc"
