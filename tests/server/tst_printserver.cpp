// The print server's core without a window: the start-up sequence in a temporary program folder,
// the ports, the follow-up pass after a registration and a completion, the trace and message
// switches, and the shutdown.

#include "companycodes.h"
#include "poolfixture.h"
#include "portpool.h"
#include "printserver.h"
#include "printserverhost.h"
#include "runtimeenv.h"
#include "serverconsole.h"
#include "socketarray.h"
#include "userprompts.h"
#include "version.h"

#include <QSignalSpy>
#include <QtTest>

#include <grp.h>
#include <unistd.h>

namespace {
class RecordingPrompts : public UserPrompts {
public:
    void message(const QString& text, const QString&, Icon) override { messages << text; }
    bool question(const QString&, const QString&) override { return false; }
    QString input(const QString&, const QString&) override { return {}; }
    QStringList messages;
};

// The window's part in the start-up: sets the print folder it was given, as the copies window
// would after "Salva".
class FolderHost : public PrintServerHost {
public:
    explicit FolderHost(PrintServer& server) : m_server(server) {}
    void askForPrintFolder() override {
        ++asked;
        m_server.setPrintFolder(folder);
    }
    QString folder;
    int asked = 0;

private:
    PrintServer& m_server;
};
} // namespace

class TestPrintServer : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ServerTest::ServerFolder> m_folder;
    QString m_program;
    QString m_print;
    RecordingPrompts m_prompts;

    QString logText() const { return m_folder->log(); }
    void writeCompanies(const QList<int>& codes) { m_folder->writeCompanies(codes); }

    // A started server whose 25 ports all listen; base receives the first port.
    std::unique_ptr<PrintServer> startedServer(quint16* base) {
        std::unique_ptr<PrintServer> server;
        *base = ServerTest::openOnFreePorts(PortPool::Slots, [&](quint16 first) {
            server = std::make_unique<PrintServer>(m_program, m_prompts, first);
            server->startUp();
            server->openPorts();
            for (int slot = 1; slot <= PortPool::Slots; ++slot) {
                if (server->pool().state(slot) != SocketArray::Listening)
                    return false;
            }
            return true;
        });
        return *base != 0 ? std::move(server) : nullptr;
    }

    // A workstation connected on `port` and registered under `name`.
    static std::unique_ptr<ServerTest::Client> registered(quint16 port, const QByteArray& name) {
        auto client = std::make_unique<ServerTest::Client>();
        if (!client->connectTo(port))
            return nullptr;
        client->send("PC:" + name + "\r");
        if (!QTest::qWaitFor([&] { return client->received().contains('\r'); }))
            return nullptr;
        client->dropReceived(client->received().indexOf('\r') + 1);
        return client;
    }

    static QString ownGroup() {
        const group* own = ::getgrgid(::getgid());
        return own ? QFile::decodeName(own->gr_name) : QString();
    }

private slots:
    void initTestCase() {
        // Short timers (a periodic pass a second), before anything reads the environment.
        qputenv("VELARIX_TIMER_SCALE", "60");
        // The share is published for a group that exists here: the test user's own.
        qputenv("VELARIX_SHARE_GROUP", QFile::encodeName(ownGroup()));
        QCOMPARE(RuntimeEnv::get().timerScale, 60.0);
    }

    void init() {
        m_folder = std::make_unique<ServerTest::ServerFolder>();
        QVERIFY(QDir::setCurrent(m_folder->dir.path())); // the log lies in the current directory
        m_program = m_folder->program;
        m_print = m_folder->print;
        qputenv("PATH", m_folder->bin.toUtf8() + ":" + qgetenv("PATH"));
        qputenv("XDG_CONFIG_HOME", m_folder->path("config").toUtf8());
        m_prompts.messages.clear();
    }

    void cleanup() {
        QDir::setCurrent(QDir::tempPath());
        m_folder.reset();
    }

    void startUpSequence() {
        writeCompanies({7, 3, 5});
        PrintServer server(m_program, m_prompts, TestPorts::freeRange(PortPool::Slots));
        QSignalSpy captions(&server, &PrintServer::captionChanged);
        QSignalSpy ports(&server, &PrintServer::portListChanged);
        server.startUp();
        QCOMPARE(captions.count(), 1);
        QCOMPARE(server.caption(), QStringLiteral("Velarix (Server) - 25 porte"));
        QVERIFY(logText().contains(QStringLiteral("****Apertura Programma****")));
        QVERIFY(!server.localIp().isEmpty());
        QCOMPARE(server.printFolder(), m_print);
        QCOMPARE(server.pool().printFolder(), m_print);
        QCOMPARE(server.codes().at(0), 3);
        QCOMPARE(server.codes().at(2), 7);
        QVERIFY(server.isWatcherRunning());
        QVERIFY(m_prompts.messages.isEmpty());

        // The share command got the program folder, blank included, as one argument.
        const QString netArgs = m_folder->path("net-args.txt");
        QTRY_VERIFY(QFile::exists(netArgs));
        QCOMPARE(QString::fromUtf8(readFile(netArgs)).split(QLatin1Char('\n')),
                 (QStringList{"usershare", "add", "Velarix", m_program, "",
                              "S-1-22-2-" + QString::number(::getgid()) + ":R", "guest_ok=n", ""}));
        // First start on this machine: registered to start at log-on, marker left behind.
        QVERIFY(QFile::exists(m_folder->path("config/autostart/VelarixSrv.desktop")));
        QVERIFY(QFile::exists(m_program + QStringLiteral("/VelarixSrv.autostart")));

        // Nothing listens before the ports are opened, and only the first opening counts.
        QVERIFY(!server.portsOpened());
        QCOMPARE(ports.count(), 0);
        server.setTraceOn(true);
        server.openPorts();
        server.openPorts();
        QCOMPARE(ports.count(), 1);
        QCOMPARE(server.portLines().size(), 25);
        QCOMPARE(logText().count(QStringLiteral("SpY:Listen")), 1);
    }

    void unreadableCodesKeepFilesUntilRead() {
        PrintServer server(m_program, m_prompts, 1500);
        server.startUp();
        for (int slot = 0; slot < CompanyCodes::MinimumSlots; ++slot)
            QCOMPARE(server.codes().at(slot), 0);
        QVERIFY(server.isWatcherRunning());
        QVERIFY(logText().contains(QStringLiteral("Lettura codici ditta non riuscita: ")));

        // A company's print file is not deleted while the codes are unknown: two scans judge it
        // and leave it.
        server.setTraceOn(true);
        const QString file = m_print + QStringLiteral("A.004");
        writeFile(file, "PC:UFFICIO1\r\n");
        QTRY_VERIFY(logText().count(QStringLiteral("SpY:1.A.004")) >= 2);
        QVERIFY(QFile::exists(file));

        // The periodic pass reads the codes once the database is there; then the file is judged.
        writeCompanies({4});
        QTRY_COMPARE(server.codes().at(0), 4);
        QVERIFY(server.codes().isKnown());
        QTRY_VERIFY(QFile::exists(file + QStringLiteral(".PRN")));
    }

    void unknownCompanyFileOfAnOlderServerGoesBack() {
        // Set aside by a server that kept no cause, its company saved while no server ran.
        writeCompanies({9});
        writeFile(m_print + QStringLiteral("X.009.ERR"), "PC:UFFICIO1\r\n");
        writeFile(m_program + QStringLiteral("/MessiDaParte.txt"),
                  "X.009.ERR\tcodice ditta 009 sconosciuto\r\n");
        PrintServer server(m_program, m_prompts, 1500);
        server.startUp();
        QTRY_VERIFY(QFile::exists(m_print + QStringLiteral("X.009.PRN")));
    }

    void blankPrintFolderIsAskedFor() {
        QVERIFY(QFile::remove(m_program + QStringLiteral("/Client/Copie.txt")));
        writeCompanies({1});
        PrintServer server(m_program, m_prompts, 1500);
        FolderHost host(server);
        host.folder = m_print;
        server.setHost(&host);
        server.startUp();
        QCOMPARE(m_prompts.messages, QStringList{QStringLiteral("Impostare percorso file Stampa")});
        QCOMPARE(host.asked, 1);
        QCOMPARE(server.caption(), QStringLiteral("Velarix (Server) - 25 porte"));
        // The start-up goes on with the folder the host set: its files are taken, and the queue
        // tells who is watching it.
        QVERIFY(server.isWatcherRunning());
        QSignalSpy queueChanged(&server, &PrintServer::queueChanged);
        writeFile(m_print + QStringLiteral("A.001"), "PC:ASSENTE\r\n");
        QTRY_VERIFY(QFile::exists(m_print + QStringLiteral("A.001.PRN")));
        QVERIFY(queueChanged.count() > 0);
        QCOMPARE(server.queue().size(), 1);
        QCOMPARE(server.queue().at(0).state, JobState::Held);
    }

    void registrationAndCompletionBringTheNextFile() {
        writeCompanies({1});
        quint16 base = 0;
        auto server = startedServer(&base);
        QVERIFY(server);
        // Two jobs wait for a workstation that is not connected yet.
        writeFile(m_print + QStringLiteral("A.001.PRN"), "PC:UFFICIO3\r\n");
        writeFile(m_print + QStringLiteral("B.001.PRN"), "PC:UFFICIO3\r\n");

        // Its registration brings the first one without waiting for the periodic pass.
        auto client = registered(quint16(base + 2), " UFFICIO3 ");
        QVERIFY(client);
        const QByteArray first = "DIR:" + m_print.toUtf8() + "A.001.PRN\r";
        QTRY_COMPARE(client->received(), first);
        QVERIFY(server->followUps().isEmpty());

        // Its completion deletes the file and brings the next one.
        client->clearReceived();
        client->send("DEL:" + m_print.toUtf8() + "A.001.PRN\r");
        QTRY_VERIFY(!QFile::exists(m_print + QStringLiteral("A.001.PRN")));
        QTRY_COMPARE(client->received(), "DIR:" + m_print.toUtf8() + "B.001.PRN\r");
        QVERIFY(server->followUps().isEmpty());
        QVERIFY(server->isWatcherRunning());
    }

    void reRegistrationDoesNotResendWhatAConnectionHolds() {
        writeCompanies({1});
        quint16 base = 0;
        auto server = startedServer(&base);
        QVERIFY(server);
        auto holder = registered(base, "DOPPIO");
        QVERIFY(holder);
        writeFile(m_print + QStringLiteral("A.001"), "PC:DOPPIO\r\n");
        const QByteArray request = "DIR:" + m_print.toUtf8() + "A.001.PRN\r";
        QTRY_COMPARE(holder->received(), request);

        // The same name on another port, and again on the holder's own connection, while the
        // holder lives: the follow-up passes these registrations bring must not send it again.
        server->setTraceOn(true);
        auto second = registered(quint16(base + 1), "doppio");
        QVERIFY(second);
        QTRY_COMPARE(logText().count(QStringLiteral("SpY:PRN-5.6")), 1);
        holder->send("PC:DOPPIO\r");
        QTRY_COMPARE(logText().count(QStringLiteral("SpY:PRN-5.6")), 2);
        QCOMPARE(holder->received(),
                 request + "Velarix 1.0 rev. " + QByteArray::number(VELARIX_REVISION) + "\r");
        QCOMPARE(second->received(), QByteArray());

        // Once the holder has gone, the connection that lives gets it.
        holder->disconnect();
        QTRY_COMPARE(second->received(), request);
    }

    void traceAndMessageSwitches() {
        quint16 base = 0;
        auto server = startedServer(&base);
        QVERIFY(server);
        const ServerConsole& console = server->console();

        ServerTest::Client a;
        QVERIFY(a.connectTo(base));
        QTRY_VERIFY(logText().contains(QStringLiteral(" aperta alle ")));
        QVERIFY(console.messages().isEmpty());
        QVERIFY(!logText().contains(QStringLiteral("SpY:")));

        server->setMessageDisplay(true);
        server->setTraceOn(true);
        ServerTest::Client b;
        QVERIFY(b.connectTo(quint16(base + 1)));
        QTRY_COMPARE(console.messages().size(), 1);
        QVERIFY(console.messages().at(0).startsWith(
            QStringLiteral("Connessione sulla porta %1 aperta alle ").arg(base + 1)));
        QVERIFY(logText().contains(QStringLiteral("SpY:WSCK_ConnectionRequest(2)")));

        server->setTraceOn(false);
        const qsizetype traces = logText().count(QStringLiteral("SpY:"));
        b.send("PC:B\r");
        QTRY_VERIFY(logText().contains(QStringLiteral(" al pc:B")));
        QCOMPARE(logText().count(QStringLiteral("SpY:")), traces);
        QCOMPARE(console.messages().size(), 3); // received, reply
    }

    void shutdownClosesEverySlot() {
        quint16 base = 0;
        auto server = startedServer(&base);
        QVERIFY(server);
        ServerTest::Client client;
        QVERIFY(client.connectTo(quint16(base + 24)));
        QTRY_COMPARE(server->pool().state(25), int(SocketArray::Connected));
        server->shutDown();
        QVERIFY(!server->isWatcherRunning());
        QTRY_VERIFY(!client.isConnected());
        server->terminate();
        server.reset(); // the destructor adds nothing: both steps ran
        const QString log = logText();
        QVERIFY(log.indexOf(QStringLiteral("Chiusura Porte collegate")) <
                log.indexOf(QStringLiteral("****Chiusura Programma****")));
        QCOMPARE(log.count(QStringLiteral("Chiusura Porte collegate")), 1);
        QCOMPARE(log.count(QStringLiteral("****Chiusura Programma****")), 1);
        ServerTest::Client late;
        QVERIFY(!late.connectTo(base, 500));
    }
};

QTEST_GUILESS_MAIN(TestPrintServer)
#include "tst_printserver.moc"
