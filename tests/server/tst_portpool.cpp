// The port pool on loopback: the 25 slots, the registry, the port-list lines, the log and message
// list lines, safe deletion on "DEL:" and the behaviour under bad input.

#include "poolfixture.h"
#include "poolhost.h"
#include "portpool.h"
#include "serverconsole.h"
#include "socketarray.h"
#include "version.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using ServerTest::Client;

namespace {
const QChar Tab = QLatin1Char('\t');

// The window side, as the server window does it: log and traces through the console, the message
// list only while message display is on.
class Host : public PoolHost {
public:
    explicit Host(const QString& logPath) : console(logPath) {}

    void portListReplaced(const QStringList& l) override {
        lines = l;
        ++replacements;
    }
    void portLineChanged(int row, const QString& line) override {
        while (lines.size() <= row)
            lines.append(QString());
        lines[row] = line;
    }
    void log(const QString& text) override { console.log(text); }
    void trace(const QString& label) override { console.trace(label); }
    void message(const QString& line, bool select) override {
        console.addMessage(line, select);
        if (select && console.messageDisplay())
            selected = line;
    }
    void printFileCompleted(const QString& path) override { completed.append(path); }
    QString workstationOf(const QString&) const override { return owner; }
    void followUpRequested(const QString& name) override {
        followUp = name;
        ++followUps;
    }
    void workstationRegistered(int slot, const QString& name) override {
        registrations.append({slot, name});
    }
    void connectionEnded(int) override {}
    void printFileFailed(const QString& name, const Wire::FailureReport& report) override {
        failures.append(name + Tab + report.path);
    }

    ServerConsole console;
    QStringList lines;
    int replacements = 0;
    QString selected;
    QString followUp;
    int followUps = 0;
    QList<QPair<int, QString>> registrations;
    QStringList completed;
    QString owner = QStringLiteral("UFFICIO1"); // of every print file
    QStringList failures;
};

QString reply() {
    return QStringLiteral("Velarix 1.0 rev. ") + QString::number(VELARIX_REVISION) +
           QLatin1Char('\r');
}
} // namespace

class TestPortPool : public QObject {
    Q_OBJECT

private:
    QString logText() const {
        QFile f(m_dir->filePath(QStringLiteral("VXreg.txt")));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    QString line(int slot) const { return m_host->lines.value(slot - 1); }
    QString listening(int slot) const {
        return QStringLiteral("Porta ") + QString::number(m_base + slot - 1) + Tab +
               QStringLiteral("Libera");
    }
    QString connectedForm(int slot) const {
        return QStringLiteral("Porta ") + QString::number(m_base + slot - 1) + Tab +
               QStringLiteral("Connessa ") + Tab + QStringLiteral("127.0.0.1");
    }
    // A client on the port of `slot`, accepted by the pool.
    std::unique_ptr<Client> connectClient(int slot) {
        auto client = std::make_unique<Client>();
        if (!client->connectTo(quint16(m_base + slot - 1)))
            return nullptr;
        if (!QTest::qWaitFor([&] { return m_pool->state(slot) == SocketArray::Connected; }))
            return nullptr;
        return client;
    }
    QString printFolder() const { return m_dir->filePath(QStringLiteral("Stampe")) + "/"; }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Host> m_host;
    std::unique_ptr<PortPool> m_pool;
    quint16 m_base = 0;

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QDir(m_dir->path()).mkpath(QStringLiteral("Stampe"));
        m_host = std::make_unique<Host>(m_dir->filePath(QStringLiteral("VXreg.txt")));
        m_host->console.setMessageDisplay(true);
        m_base = ServerTest::openOnFreePorts(PortPool::Slots, [this](quint16 base) {
            m_pool = std::make_unique<PortPool>(*m_host, base, VELARIX_REVISION);
            m_pool->setPrintFolder(printFolder());
            m_pool->setShareRoot(m_dir->path());
            m_pool->listenPorts();
            for (int slot = 1; slot <= PortPool::Slots; ++slot) {
                if (m_pool->state(slot) != SocketArray::Listening)
                    return false;
            }
            return true;
        });
        QVERIFY(m_base != 0);
    }

    void cleanup() {
        if (m_pool)
            m_pool->closeAll();
        m_pool.reset();
        m_host.reset();
        m_dir.reset();
    }

    void stateTextsKeepTheirSpelling() {
        QCOMPARE(PortPool::stateTexts().size(), size_t(11));
        QCOMPARE(PortPool::stateText(2), QStringLiteral("Libera"));
        QCOMPARE(PortPool::stateText(6), QStringLiteral("Connessione in corso"));
        QCOMPARE(PortPool::stateText(8), QStringLiteral("Chiusura in corso"));
        QCOMPARE(PortPool::stateText(9), QStringLiteral("Errore"));
        QVERIFY(PortPool::stateText(10).isEmpty());
    }

    void listensOnTwentyFivePortsInOrder() {
        QCOMPARE(m_host->lines.size(), 25);
        for (int slot = 1; slot <= 25; ++slot)
            QCOMPARE(line(slot), listening(slot));
        // Every port really listens.
        for (int slot : {1, 13, 25}) {
            Client c;
            QVERIFY2(c.connectTo(quint16(m_base + slot - 1)), qPrintable(QString::number(slot)));
        }
    }

    void clientOnFourthPortLandsOnSlotFourAndRegisters() {
        auto client = connectClient(4);
        QVERIFY(client);
        QTRY_COMPARE(line(4), connectedForm(4));
        QCOMPARE(line(3), listening(3));
        QCOMPARE(m_pool->registryName(4), QString());
        const QString port = QString::number(m_base + 3);
        QVERIFY(logText().contains(QStringLiteral("Connessione sulla porta ") + port +
                                   QStringLiteral(" aperta alle ")));

        client->send("PC:UFFICIO1\r");
        QTRY_COMPARE(QString::fromLatin1(client->received()), reply());
        QCOMPARE(line(4), connectedForm(4) + Tab + QStringLiteral("Pc: UFFICIO1"));
        QCOMPARE(m_pool->registryName(4), QStringLiteral("UFFICIO1"));
        QCOMPARE(m_host->registrations.size(), 1);
        QCOMPARE(m_host->registrations.first().first, 4);
        const QString log = logText();
        QVERIFY(log.contains(QStringLiteral("Ricevuto il messaggio [PC:UFFICIO1\\r] sulla porta ") +
                             port));
        const QString sent = QStringLiteral("Inviato: Velarix 1.0 rev. ") +
                             QString::number(VELARIX_REVISION) + QStringLiteral(" al pc:UFFICIO1");
        QVERIFY(log.contains(sent));
        QVERIFY(m_host->console.messages().contains(sent));
        // The reply line does not move the selection; the received line does.
        QVERIFY(m_host->selected.startsWith(QStringLiteral("Ricevuto il messaggio [PC:UFFICIO1")));

        // A second announcement replaces the name and gets a second reply.
        client->send("PC:MAGAZZINO\r");
        QTRY_COMPARE(QString::fromLatin1(client->received()), reply() + reply());
        QCOMPARE(m_pool->registryName(4), QStringLiteral("MAGAZZINO"));
        QCOMPARE(line(4), connectedForm(4) + Tab + QStringLiteral("Pc: MAGAZZINO"));
    }

    void registrationNames_data() {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QByteArray("PC:UFFICIO1\r") << QStringLiteral("UFFICIO1");
        QTest::newRow("blanks around")
            << QByteArray("PC:  ufficio1  \r") << QStringLiteral("ufficio1");
        QTest::newRow("inner blank kept") << QByteArray("PC: a b \r") << QStringLiteral("a b");
        QTest::newRow("empty") << QByteArray("PC:\r") << QString();
        QTest::newRow("blanks after cr dropped") << QByteArray("PC:X  \r") << QStringLiteral("X");
        QTest::newRow("tab is no blank") << QByteArray("PC:\tX\r") << QStringLiteral("\tX");
        QTest::newRow("accented") << QByteArray("PC:CITT\xC0\r") << QStringLiteral("CITTÀ");
    }

    void registrationNames() {
        QFETCH(QByteArray, sent);
        QFETCH(QString, name);
        auto client = connectClient(1);
        QVERIFY(client);
        client->send(sent);
        QTRY_COMPARE(QString::fromLatin1(client->received()), reply());
        QCOMPARE(m_pool->registryName(1), name);
    }

    void keywordsAreCaseSensitive() {
        auto client = connectClient(2);
        QVERIFY(client);
        client->send("pc:UFFICIO1\r");
        const QString port = QString::number(m_base + 1);
        QTRY_VERIFY(logText().contains(
            QStringLiteral("Ricevuto il messaggio [pc:UFFICIO1\\r] sulla porta ") + port));
        QCOMPARE(m_pool->registryName(2), QString());
        QCOMPARE(client->received(), QByteArray());
    }

    void twoSlotsMayHoldTheSameName() {
        auto a = connectClient(1);
        auto b = connectClient(2);
        QVERIFY(a && b);
        a->send("PC:UFFICIO1\r");
        b->send("PC:UFFICIO1\r");
        QTRY_COMPARE(QString::fromLatin1(b->received()), reply());
        QTRY_COMPARE(QString::fromLatin1(a->received()), reply());
        QCOMPARE(m_pool->registryName(1), QStringLiteral("UFFICIO1"));
        QCOMPARE(m_pool->registryName(2), QStringLiteral("UFFICIO1"));
        QVERIFY(line(1).endsWith(QStringLiteral("\tPc: UFFICIO1")));
        QVERIFY(line(2).endsWith(QStringLiteral("\tPc: UFFICIO1")));
    }

    void closingReturnsTheSlotToListening() {
        auto client = connectClient(4);
        QVERIFY(client);
        client->send("PC:UFFICIO1\r");
        QTRY_COMPARE(m_pool->registryName(4), QStringLiteral("UFFICIO1"));
        client->disconnect();
        QTRY_COMPARE(m_pool->state(4), int(SocketArray::Listening));
        QCOMPARE(m_pool->registryName(4), QString());
        QCOMPARE(line(4), listening(4));
        QVERIFY(logText().contains(QStringLiteral("Connessione sulla porta ") +
                                   QString::number(m_base + 3) + QStringLiteral(" chiusa alle ")));
        // The same port takes the next workstation.
        auto again = connectClient(4);
        QVERIFY(again);
        QTRY_COMPARE(line(4), connectedForm(4));
    }

    void twentySixthClientIsRefusedEverywhere() {
        m_pool->gate().setPerAddress(PortPool::Slots);
        std::vector<std::unique_ptr<Client>> clients;
        for (int slot = 1; slot <= 25; ++slot) {
            auto c = connectClient(slot);
            QVERIFY2(c, qPrintable(QString::number(slot)));
            clients.push_back(std::move(c));
        }
        for (int slot = 1; slot <= 25; ++slot)
            QTRY_COMPARE(m_pool->state(slot), int(SocketArray::Connected));
        for (int slot = 1; slot <= 25; ++slot) {
            QTcpSocket extra;
            extra.connectToHost(QHostAddress::LocalHost, quint16(m_base + slot - 1));
            QVERIFY2(!extra.waitForConnected(2000), qPrintable(QString::number(slot)));
            QCOMPARE(extra.error(), QAbstractSocket::ConnectionRefusedError);
        }
        // Everyone already connected is still served.
        clients[24]->send("PC:ULTIMO\r");
        QTRY_COMPARE(QString::fromLatin1(clients[24]->received()), reply());
    }

    void refreshUsesTheLongFormWithLeadingBlank() {
        auto client = connectClient(3);
        QVERIFY(client);
        client->send("PC:UFFICIO3\r");
        QTRY_COMPARE(m_pool->registryName(3), QStringLiteral("UFFICIO3"));
        const int before = m_host->replacements;
        m_pool->refreshPortList();
        QCOMPARE(m_host->replacements, before + 1);
        QCOMPARE(m_host->lines.size(), 25);
        QCOMPARE(line(3), connectedForm(3) + Tab + QStringLiteral(" Pc: UFFICIO3"));
        QCOMPARE(line(2), listening(2));
        QCOMPARE(line(25), listening(25));
    }

    void completion_data() {
        QTest::addColumn<QString>("file");     // created first, relative to the test folder
        QTest::addColumn<QString>("sentPath"); // "%F" stands for the test folder
        QTest::addColumn<bool>("deleted");
        QTest::addColumn<bool>("refused");
        QTest::newRow("pending print file") << "Stampe/X.001.PRN"
                                            << "%F/Stampe/X.001.PRN" << true << false;
        QTest::newRow("through the share")
            << "Stampe/Y.001.PRN"
            << "\\\\SERVER\\Velarix\\Stampe\\Y.001.PRN" << true << false;
        QTest::newRow("missing print file") << ""
                                            << "%F/Stampe/GONE.001.PRN" << false << false;
        QTest::newRow("outside the folder") << "Client/Copie.PRN"
                                            << "%F/Client/Copie.PRN" << false << true;
        QTest::newRow("climbing out") << "Client/Z.PRN"
                                      << "%F/Stampe/../Client/Z.PRN" << false << true;
        QTest::newRow("below the folder") << "Stampe/sub/W.001.PRN"
                                          << "%F/Stampe/sub/W.001.PRN" << false << true;
        QTest::newRow("not a print file") << "Stampe/X.001"
                                          << "%F/Stampe/X.001" << false << true;
        QTest::newRow("lower-case ending") << "Stampe/X.001.prn"
                                           << "%F/Stampe/X.001.prn" << false << true;
        QTest::newRow("relative path") << "Stampe/R.001.PRN"
                                       << "Stampe/R.001.PRN" << false << true;
    }

    void completion() {
        QFETCH(QString, file);
        QFETCH(QString, sentPath);
        QFETCH(bool, deleted);
        QFETCH(bool, refused);
        const QString target = m_dir->filePath(file);
        if (!file.isEmpty()) {
            QDir().mkpath(QFileInfo(target).absolutePath());
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("PC:UFFICIO1\r\n");
        }
        sentPath.replace(QStringLiteral("%F"), m_dir->path());

        auto client = connectClient(5);
        QVERIFY(client);
        client->send("PC: UFFICIO1 \r");
        QTRY_COMPARE(m_pool->registryName(5), QStringLiteral("UFFICIO1"));
        client->send(QByteArray("DEL:") + sentPath.toLatin1() + "\r");
        QTRY_COMPARE(m_host->followUps, 1);
        QCOMPARE(m_host->followUp, QStringLiteral("UFFICIO1"));
        if (!file.isEmpty())
            QCOMPARE(!QFile::exists(target), deleted);
        QCOMPARE(logText().contains(QStringLiteral("Cancellazione rifiutata: ") + sentPath),
                 refused);
        // Only what the pool was allowed to delete is reported to the watcher as done.
        QCOMPARE(m_host->completed, refused ? QStringList() : QStringList{sentPath});
        QVERIFY(m_host->console.messages().contains(QStringLiteral("Ricerca PC: [UFFICIO1]")));
    }

    void completionWithoutNameIsRefused() {
        writeFile(printFolder() + QStringLiteral("NONE.PRN"), "PC:UFFICIO1\r\n");
        auto client = connectClient(6);
        QVERIFY(client);
        client->send("DEL:" + printFolder().toLatin1() + "NONE.PRN\r");
        QTRY_VERIFY(
            logText().contains(QStringLiteral(" da 127.0.0.1, connessione non registrata")));
        QVERIFY(QFile::exists(printFolder() + QStringLiteral("NONE.PRN")));
        QCOMPARE(m_host->followUps, 0);
    }

    void messageDisplayOffStillLogsEverything() {
        m_host->console.setMessageDisplay(false);
        auto client = connectClient(7);
        QVERIFY(client);
        client->send("PC:UFFICIO7\r");
        QTRY_VERIFY(logText().contains(QStringLiteral(" al pc:UFFICIO7")));
        client->send("Ciao\r");
        QTRY_VERIFY(
            logText().contains(QStringLiteral("Ricevuto il messaggio [Ciao\\r] sulla porta ")));
        client->disconnect();
        QTRY_VERIFY(logText().contains(QStringLiteral(" chiusa alle ")));
        QVERIFY(logText().contains(QStringLiteral(" aperta alle ")));
        QVERIFY(m_host->console.messages().isEmpty());
    }

    void tracesOnlyWhileTraceOn() {
        auto client = connectClient(8);
        QVERIFY(client);
        client->send("PC:A\r");
        QTRY_VERIFY(logText().contains(QStringLiteral(" al pc:A")));
        QVERIFY(!logText().contains(QStringLiteral("SpY:")));

        m_host->console.setTraceOn(true);
        client->send("PC:B\r");
        QTRY_VERIFY(logText().contains(QStringLiteral(" al pc:B")));
        m_pool->refreshPortList();
        m_host->owner.clear(); // a file gone, and not set aside, is nobody's
        client->send(QByteArray("DEL:") + printFolder().toLatin1() + "NONE.PRN\r");
        QTRY_COMPARE(m_host->followUps, 1);
        client->disconnect();
        QTRY_COMPARE(m_pool->state(8), int(SocketArray::Listening));
        const QString log = logText();
        for (const char* trace : {"SpY:WSCK_DataArrival(8)", "SpY:W.DA.0", "SpY:W.DA.1",
                                  "SpY:Timer4", "SpY:WSCK_Close(8)", "SpY:Listen"})
            QVERIFY2(log.contains(QLatin1String(trace)), trace);
        QVERIFY(!log.contains(QStringLiteral("SpY:WSCK_ConnectionRequest(8)")));

        m_host->console.setTraceOn(false);
        const qsizetype before = logText().count(QStringLiteral("SpY:"));
        auto other = connectClient(9);
        QVERIFY(other);
        other->send("PC:C\r");
        QTRY_VERIFY(logText().contains(QStringLiteral(" al pc:C")));
        QCOMPARE(logText().count(QStringLiteral("SpY:")), before);
    }

    void twoMessagesInOneSegmentAreBothHandled() {
        const QString target = printFolder() + QStringLiteral("J.001.PRN");
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        m_host->owner = QStringLiteral("UFFICIO10");
        auto client = connectClient(10);
        QVERIFY(client);
        client->send(QByteArray("PC:UFFICIO10\rDEL:") + target.toLatin1() + "\r");
        QTRY_COMPARE(m_host->followUps, 1);
        QCOMPARE(m_host->followUp, QStringLiteral("UFFICIO10"));
        QVERIFY(!QFile::exists(target));
        QCOMPARE(QString::fromLatin1(client->received()), reply());
    }

    void splitMessageWaitsForItsCarriageReturn() {
        auto client = connectClient(11);
        QVERIFY(client);
        m_host->console.setTraceOn(true);
        client->send("PC:UFF");
        QTRY_VERIFY(logText().contains(QStringLiteral("SpY:WSCK_DataArrival(11)")));
        QCOMPARE(m_pool->registryName(11), QString());
        QVERIFY(!logText().contains(QStringLiteral("Ricevuto il messaggio [PC:UFF")));
        client->send("ICIO11\r");
        QTRY_COMPARE(m_pool->registryName(11), QStringLiteral("UFFICIO11"));
    }

    void badInputLeavesEverySlotServing() {
        auto noisy = connectClient(12);
        auto silent = connectClient(13);
        auto good = connectClient(14);
        QVERIFY(noisy && silent && good);

        QByteArray garbage(4096, '\0');
        for (int i = 0; i < garbage.size(); ++i)
            garbage[i] = char(QRandomGenerator::global()->bounded(256));
        garbage.replace('\r', 'x');
        noisy->send(garbage + "\r");
        // One MiB without a carriage return: logged once as too long, the rest is dropped.
        noisy->send(QByteArray(1024 * 1024, 'A'));
        QTRY_VERIFY_WITH_TIMEOUT(logText().contains(QStringLiteral("Messaggio troppo lungo")),
                                 10000);
        noisy->send("\rPC:" + QByteArray(10000, 'N') + "\x01\x02\r");
        QTRY_COMPARE_WITH_TIMEOUT(m_pool->registryName(12).size(), 10002, 10000);

        good->send("PC:BUONO\r");
        QTRY_COMPARE(QString::fromLatin1(good->received()), reply());
        QVERIFY(silent->isConnected());
        QCOMPARE(m_pool->state(13), int(SocketArray::Connected));
        QCOMPARE(noisy->received(), reply().toLatin1());
    }

    void portTakenByAnotherProgramIsRecovered() {
        m_pool->closeAll();
        QTcpServer squatter;
        QVERIFY(squatter.listen(QHostAddress::Any, quint16(m_base + 1)));
        m_pool->listenPorts();
        QCOMPARE(m_pool->state(2), int(SocketArray::Closed));
        QCOMPARE(line(2), QStringLiteral("Porta ") + QString::number(m_base + 1) + Tab +
                              QStringLiteral("Chiusa"));
        QVERIFY(logText().contains(QStringLiteral("Impossibile aprire la porta ") +
                                   QString::number(m_base + 1)));
        squatter.close();
        m_pool->refreshPortList();
        QCOMPARE(m_pool->state(2), int(SocketArray::Listening));
        QCOMPARE(line(2), listening(2));
        auto client = connectClient(2);
        QVERIFY(client);
        QTRY_COMPARE(line(2), connectedForm(2));
    }

    void shutdownClosesEveryConnection() {
        auto a = connectClient(1);
        auto b = connectClient(25);
        QVERIFY(a && b);
        m_pool->closeAll();
        QTRY_VERIFY(!a->isConnected());
        QTRY_VERIFY(!b->isConnected());
        QCOMPARE(m_pool->registryName(1), QString());
        Client late;
        QVERIFY(!late.connectTo(m_base, 1000));
    }
};

QTEST_GUILESS_MAIN(TestPortPool)
#include "tst_portpool.moc"
