// The client's call sweep, registration and message hand-off, against real sockets on loopback.
#include "clientconnection.h"
#include "socketarray.h"
#include "testports.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {
int freeBase() {
    const int base = TestPorts::freeRange(ClientConnection::PortCount);
    if (base == 0)
        qFatal("no free range of test ports");
    return base;
}
} // namespace

class TestClientConnection : public QObject {
    Q_OBJECT

    struct Rig {
        SocketArray sockets;
        QStringList log;
        ClientConnection connection{sockets, [this](const QString& t) { log << t; }};
        QStringList statuses;
        Rig(int base) {
            connection.setHost(QStringLiteral("127.0.0.1"));
            connection.setBasePort(base);
            connection.setWorkstationName(QStringLiteral("UFFICIO1"));
            connection.setTimerInterval(40);
            QObject::connect(&connection, &ClientConnection::statusChanged,
                             [this](const QString& s) { statuses << s; });
        }
    };

    // A rig calling a test server that listens on its first port; up() waits until the rig has
    // registered and takes the server's side of the connection as peer (registration read off).
    struct Linked {
        int base = freeBase();
        QTcpServer server;
        Rig rig{base};
        QSignalSpy received{&rig.connection, &ClientConnection::messageReceived};
        QTcpSocket* peer = nullptr;
        bool up() {
            if (!server.listen(QHostAddress::LocalHost, quint16(base)))
                return false;
            rig.connection.arm();
            if (!QTest::qWaitFor([this] { return server.hasPendingConnections(); }, 5000))
                return false;
            peer = server.nextPendingConnection();
            if (!QTest::qWaitFor([this] { return peer->bytesAvailable() > 0; }, 5000))
                return false;
            return peer->readAll().startsWith("PC:");
        }
    };

private slots:
    void sweepsEveryPortThenStartsAgain() {
        const int base = freeBase();
        Rig rig(base);
        rig.connection.arm();
        // A whole sweep, and the status says so.
        QTRY_VERIFY_WITH_TIMEOUT(rig.statuses.size() >= 26, 10000);
        QCOMPARE(rig.statuses.first(),
                 QStringLiteral("Chiamata in corso sulla porta %1").arg(base));
        for (int i = 1; i < 25; ++i)
            QCOMPARE(rig.statuses.at(i), QStringLiteral("Riprova sulla porta %1").arg(base + i));
        QCOMPARE(rig.statuses.at(25), QStringLiteral("Server non raggiungibile"));
        QCOMPARE(rig.log.filter(QStringLiteral("WSCK_Error")).size(), 1); // 25 refusals
        QCOMPARE(rig.log.first(), QStringLiteral("Timer1"));
    }

    void reachesTheFirstPortThatAnswersAndRegisters() {
        const int base = freeBase();
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, quint16(base + 3)));
        Rig rig(base);
        QSignalSpy port(&rig.connection, &ClientConnection::portShown);
        QSignalSpy listed(&rig.connection, &ClientConnection::listAdded);
        rig.connection.arm();
        QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 5000);
        QTcpSocket* peer = server.nextPendingConnection();
        QTRY_COMPARE_WITH_TIMEOUT(port.size(), 1, 5000);
        QCOMPARE(port.at(0).at(0).toString(), QString::number(base + 3));
        QCOMPARE(rig.statuses.last(), QStringLiteral("Connessione stabilita"));
        QCOMPARE(rig.statuses.at(3), QStringLiteral("Riprova sulla porta %1").arg(base + 3));
        QTRY_COMPARE_WITH_TIMEOUT(peer->bytesAvailable(), qint64(12), 5000);
        QCOMPARE(peer->readAll(), QByteArray("PC:UFFICIO1\r"));
        QCOMPARE(listed.at(0).at(0).toString(), QStringLiteral("Inviato: PC:UFFICIO1"));
        QVERIFY(rig.log.contains(QStringLiteral("WSCK_Connect")));
        QVERIFY(rig.connection.isConnected());
    }

    void disconnectStopsCallingUntilConnect() {
        const int base = freeBase();
        Rig rig(base);
        rig.connection.arm();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.statuses.isEmpty(), 5000);
        rig.connection.disconnectFromServer();
        QCOMPARE(rig.statuses.last(), QStringLiteral("Operazione terminata"));
        QVERIFY(!rig.connection.timerActive()); // no tick can start a call

        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, quint16(base)));
        rig.connection.connectToServer();
        QVERIFY(rig.connection.timerActive());
        QTRY_VERIFY_WITH_TIMEOUT(rig.connection.isConnected(), 5000);
        QCOMPARE(rig.connection.callPort(), base);
    }

    void serverCloseCallsAgain() {
        Linked link;
        QVERIFY(link.up());
        Rig& rig = link.rig;
        QTcpServer& server = link.server;
        QTcpSocket* peer = link.peer;
        rig.log.clear();
        peer->close();
        QTRY_VERIFY_WITH_TIMEOUT(rig.log.contains(QStringLiteral("Timer1")), 5000);
        const QStringList expected{QStringLiteral("WSCK_Close"),
                                   QStringLiteral("Tasto Disconnetti"),
                                   QStringLiteral("Tasto Connetti"), QStringLiteral("Timer1")};
        QCOMPARE(rig.log.mid(0, 4), expected);
        QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 5000);
    }

    void framesEveryMessageOnce() {
        Linked link;
        QVERIFY(link.up());
        QSignalSpy& received = link.received;
        QTcpSocket* peer = link.peer;
        peer->write("DIR:\\\\srv\\Velarix\\A.001.PRN\rDIR:\\\\srv\\Velarix\\B.001.PRN\r");
        peer->flush();
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 2, 5000);
        QCOMPARE(received.at(0).at(0).toString(),
                 QStringLiteral("DIR:\\\\srv\\Velarix\\A.001.PRN\r"));
        QCOMPARE(received.at(1).at(0).toString(),
                 QStringLiteral("DIR:\\\\srv\\Velarix\\B.001.PRN\r"));
        QCOMPARE(received.at(0).at(1).toInt(), int(ClientConnection::Element));

        // One message in single bytes, each read on its own, arrives once, whole.
        QSignalSpy arrivals(&link.rig.sockets, &SocketArray::dataArrival);
        const QByteArray split("DIR:C.001.PRN\r");
        for (char c : split) {
            const qsizetype before = arrivals.size();
            peer->write(&c, 1);
            QTRY_VERIFY_WITH_TIMEOUT(arrivals.size() > before, 5000);
        }
        QCOMPARE(received.size(), 3);
        QCOMPARE(received.at(2).at(0).toString(), QStringLiteral("DIR:C.001.PRN\r"));
        // Nothing more of it comes later: the next message is the next one handed on.
        peer->write("DIR:D.001.PRN\r");
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 4, 5000);
        QCOMPARE(received.at(3).at(0).toString(), QStringLiteral("DIR:D.001.PRN\r"));
    }

    void survivesGarbageAndStillTakesTheNextRequest() {
        Linked link;
        QVERIFY(link.up());
        QSignalSpy& received = link.received;
        QTcpSocket* peer = link.peer;

        // 1 MiB of bytes without a carriage return, then a real request.
        QByteArray garbage(1024 * 1024, '\0');
        for (char& c : garbage)
            c = char(QRandomGenerator::global()->bounded(256));
        garbage.replace('\r', 'x');
        peer->write(garbage + "\rDIR:X.001.PRN\r");
        QTRY_VERIFY_WITH_TIMEOUT(!received.isEmpty(), 10000);
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.at(0).at(0).toString(), QStringLiteral("DIR:X.001.PRN\r"));
        QVERIFY(!link.rig.log.filter(QStringLiteral("64 KiB")).isEmpty());
        QVERIFY(link.rig.connection.isConnected());
    }

    void closeInTheMiddleOfAMessageDropsItAndCallsAgain() {
        Linked link;
        QVERIFY(link.up());
        QSignalSpy& received = link.received;
        QTcpSocket* peer = link.peer;
        QSignalSpy arrivals(&link.rig.sockets, &SocketArray::dataArrival);
        peer->write("DIR:\\\\srv\\Velarix\\Mez");
        QTRY_VERIFY_WITH_TIMEOUT(!arrivals.isEmpty(), 5000); // the client holds half a message
        peer->close();
        // The half message is never handed on; the next connection starts clean.
        QTRY_VERIFY_WITH_TIMEOUT(link.server.hasPendingConnections(), 5000);
        QTcpSocket* again = link.server.nextPendingConnection();
        QTRY_VERIFY_WITH_TIMEOUT(link.rig.connection.isConnected(), 5000);
        again->write("zo.001.PRN\rDIR:B.001.PRN\r");
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 2, 5000);
        QCOMPARE(received.at(0).at(0).toString(), QStringLiteral("zo.001.PRN\r"));
        QCOMPARE(received.at(1).at(0).toString(), QStringLiteral("DIR:B.001.PRN\r"));
    }

    void hostThatCannotBeResolvedSweepsLikeARefusal() {
        // An empty host box fails at the name lookup, as a name unknown to the network does, but
        // without waiting on the machine's name server.
        const int base = freeBase();
        Rig rig(base);
        rig.connection.setHost(QString());
        rig.connection.arm();
        QTRY_VERIFY_WITH_TIMEOUT(rig.statuses.size() >= 26, 60000);
        QCOMPARE(rig.statuses.at(24), QStringLiteral("Riprova sulla porta %1").arg(base + 24));
        QCOMPARE(rig.statuses.at(25), QStringLiteral("Server non raggiungibile"));
    }

    void sendByHandOnlyWhileConnected() {
        const int base = freeBase();
        Rig rig(base);
        QVERIFY(!rig.connection.sendText(QStringLiteral("Ciao")));
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, quint16(base)));
        rig.connection.arm();
        QTRY_VERIFY_WITH_TIMEOUT(rig.connection.isConnected(), 5000);
        QTcpSocket* peer = server.nextPendingConnection();
        QTRY_VERIFY_WITH_TIMEOUT(peer->bytesAvailable() > 0, 5000);
        peer->readAll();
        QVERIFY(rig.connection.sendText(QStringLiteral("Ciao €")));
        QTRY_VERIFY_WITH_TIMEOUT(peer->bytesAvailable() > 0, 5000);
        QCOMPARE(peer->readAll(), QByteArray("Ciao \x80\r"));
    }
};

QTEST_GUILESS_MAIN(TestClientConnection)
#include "tst_clientconnection.moc"
