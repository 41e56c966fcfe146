// The real VelarixSrv among strangers: peers from 127.0.0.2 stand for a second machine. Who may
// complete a print file, who may register under which name, how long a silent or crowding peer
// may hold the ports, and how much of a flooding peer reaches the log.

#include "poolfixture.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using ServerTest::Client;

class TestServerTrust : public QObject {
    Q_OBJECT

private:
    ServerTest::ServerFolder m_folder;
    QProcess m_server;
    quint16 m_base = 0;
    const QHostAddress m_second{QStringLiteral("127.0.0.2")};

    QString logText() const { return m_folder.log(); }
    QString listFile() const { return m_folder.program + QStringLiteral("/Postazioni.txt"); }
    std::unique_ptr<Client> registered(const QByteArray& name, const QHostAddress& from = {}) {
        return ServerTest::registerOn(m_base, name, from);
    }
    // A connection from `from` on the first port that takes it, without registering.
    std::unique_ptr<Client> stranger(const QHostAddress& from) {
        for (int i = 0; i < 25; ++i) {
            auto c = std::make_unique<Client>();
            if (c->connectTo(quint16(m_base + i), 1000, from))
                return c;
        }
        return nullptr;
    }
    // Sends the registration from `from`; true when the server closes it without a word.
    bool refused(const QByteArray& name, const QHostAddress& from) {
        auto c = stranger(from);
        c->send("PC:" + name + "\r");
        return QTest::qWaitFor([&] { return !c->isConnected(); }, 5000) && c->received().isEmpty();
    }
    int admin(const QStringList& args) {
        return QProcess::execute(QStringLiteral(VELARIX_BIN_DIR "/velarix-admin"),
                                 QStringList{QStringLiteral("--folder"), m_folder.program} + args);
    }

private slots:
    void initTestCase() {
        QTcpServer probe;
        if (!probe.listen(m_second))
            QSKIP("no second loopback address 127.0.0.2 here");
        m_folder.writeCompanies({1});
        QProcessEnvironment env;
        env.insert(QStringLiteral("VELARIX_MAX_PER_ADDRESS"), QStringLiteral("3"));
        // Time to register: 3 s, long enough for a test's steps on a busy machine.
        env.insert(QStringLiteral("VELARIX_TIMER_SCALE"), QStringLiteral("10"));
        m_base = ServerTest::startServer(m_server, m_folder, env);
        QVERIFY(m_base != 0);
    }

    void onlyItsWorkstationCompletesAFile() {
        auto owner = registered("UFFICIO1");
        QVERIFY(owner);
        writeFile(m_folder.print + QStringLiteral("FATT.001"), "PC:UFFICIO1\r\n");
        const QByteArray path = m_folder.print.toUtf8() + "FATT.001.PRN";
        QTRY_COMPARE(owner->received(), "DIR:" + path + "\r");

        auto unregistered = stranger(m_second);
        auto other = registered("ALTRO", m_second);
        QVERIFY(unregistered && other);
        unregistered->send("DEL:" + path + "\r");
        other->send("DEL:" + path + "\r");
        QTRY_VERIFY(
            logText().contains(QStringLiteral("Cancellazione rifiutata: ") + path +
                               QStringLiteral(" da 127.0.0.2, connessione non registrata")));
        QTRY_VERIFY(
            logText().contains(QStringLiteral("Cancellazione rifiutata: ") + path +
                               QStringLiteral(" da 127.0.0.2, non è della postazione ALTRO")));
        QVERIFY(QFile::exists(path));

        // The same workstation on a second connection (it came back) may complete it.
        auto again = registered("ufficio1");
        QVERIFY(again);
        again->send("DEL:" + path + "\r");
        QTRY_VERIFY(!QFile::exists(path));

        other->disconnect();
        QTRY_VERIFY(logText().contains(
            QRegularExpression(QStringLiteral("chiusa alle \\S+ da 127.0.0.2\r"))));
        QVERIFY(logText().contains(
            QRegularExpression(QStringLiteral("aperta alle \\S+ da 127.0.0.2\r"))));
    }

    void workstationListPinsNamesToAddresses() {
        // Registered before there is a list; the list leaves it out.
        auto early = registered("INTRUSO", m_second);
        QVERIFY(early);
        QCOMPARE(admin({QStringLiteral("workstation"), QStringLiteral("CASSA"),
                        QStringLiteral("127.0.0.1")}),
                 0);
        writeFile(listFile(), readFile(listFile()) + "UFFICIO1 = 127.0.0.0/31, ::1 # banco\n");
        QTRY_VERIFY(!early->isConnected());

        // An impostor on a lower port than the real one, and a name nobody listed.
        auto impostor = stranger(m_second);
        auto unknown = stranger(QHostAddress::LocalHost);
        QVERIFY(impostor && unknown);
        impostor->send("PC:UFFICIO1\r");
        unknown->send("PC:IGNOTO\r");
        QTRY_VERIFY(!impostor->isConnected() && !unknown->isConnected());
        QVERIFY(logText().contains(QStringLiteral(" da 127.0.0.2: indirizzo non previsto in "
                                                  "Postazioni.txt")));
        QVERIFY(logText().contains(QStringLiteral("Postazione IGNOTO rifiutata sulla porta ")));
        auto real = registered("UFFICIO1");
        QVERIFY(real);
        writeFile(m_folder.print + QStringLiteral("LISTA.001"), "PC:UFFICIO1\r\n");
        QTRY_COMPARE(real->received(), "DIR:" + m_folder.print.toUtf8() + "LISTA.001.PRN\r");
        QCOMPARE(impostor->received() + unknown->received(), QByteArray());
        QVERIFY(registered("CASSA"));

        // Changed without a restart: CASSA now only from the second machine.
        QCOMPARE(admin({QStringLiteral("workstation"), QStringLiteral("CASSA"),
                        QStringLiteral("127.0.0.2")}),
                 0);
        QVERIFY(registered("CASSA", m_second));
        QVERIFY(refused("CASSA", QHostAddress::LocalHost));
        QVERIFY(QFile::remove(listFile()));
        QVERIFY(registered("IGNOTO"));
    }

    void silentAndCrowdingPeersGiveThePortsBack() {
        // Never registers: closed after 30 s (3 s at this timer scale).
        auto silent = stranger(m_second);
        QVERIFY(silent);
        QTRY_VERIFY(!silent->isConnected());
        // Three connections per address here; the fourth from it is closed at once.
        std::vector<std::unique_ptr<Client>> crowd;
        for (const QByteArray name : {"T1", "T2", "T3"}) {
            crowd.push_back(registered(name, m_second));
            QVERIFY(crowd.back());
        }
        QVERIFY(refused("T4", m_second));
        QVERIFY(logText().contains(QStringLiteral(" rifiutata: già 3 connessioni da questo "
                                                  "indirizzo")));
        QVERIFY(registered("ALTRA"));
    }

    void floodingPeerCannotFillTheLog() {
        auto peer = registered("RUMORE");
        QVERIFY(peer);
        const qint64 before = QFileInfo(m_folder.path("VXreg.txt")).size();
        const QByteArray big(60000, 'x');
        for (int i = 0; i < 200; ++i)
            peer->send(big + "\r");
        peer->send("PC:RUMORE\r"); // answered once everything before it was handled
        QTRY_VERIFY_WITH_TIMEOUT(peer->received().contains("Velarix"), 60000);
        // 12 MB were sent; the log took a burst of cut messages and a count of the rest.
        qint64 total = 0;
        for (const QFileInfo& f :
             QDir(m_folder.dir.path()).entryInfoList({QStringLiteral("VXreg*.txt")}, QDir::Files))
            total += f.size();
        QVERIFY2(total - before < 60000, QByteArray::number(total - before).constData());
    }

    void cleanupTestCase() {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }
};

QTEST_GUILESS_MAIN(TestServerTrust)
#include "tst_servertrust.moc"
