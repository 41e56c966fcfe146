#include "queuedevents.h"
#include "socketarray.h"
#include "testports.h"
#include "textcodec.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

// Real sockets on loopback. Server-side elements behave as the print server uses them (listen,
// close + accept on the same element in the request handler, rebuild after a close); client-side
// elements as the workstation uses them (call, step to the next port on an error).
class TestSocketArray : public QObject {
    Q_OBJECT

private slots:
    void refusedConnectGivesError();
    void stateWhileCalling_data();
    void stateWhileCalling();
    void listenGivesListeningState();
    void portTakenLeavesElementClosed();
    void acceptOnSameElementStopsListening_data();
    void acceptOnSameElementStopsListening();
    void peerCloseGivesCloseEvent_data();
    void peerCloseGivesCloseEvent();
    void recreatedElementListensAgainOnSamePort();
    void windows1252RoundTrip();
    void allBytesRoundTrip();
    void sendNeedsConnection();
    void rebuildInsideCloseHandler();
    void nextPortInsideErrorHandler();
    void unacceptedRequestIsClosed_data();
    void unacceptedRequestIsClosed();
    void rebuildInsideDataHandler();
    void closeDropsQueuedEvents();
    void unanswerableCallTimesOut();
    void localAddresses();

private:
    // Server element `index` listening on `port`, accepting every request on itself (after
    // closing it, as the print server does, unless closeFirst is false).
    void listenAndAccept(SocketArray& server, int index, quint16 port, bool closeFirst = true);
    // A connected pair: server element 1 and client element 1.
    void connectPair(SocketArray& server, SocketArray& client, quint16 port);
};

void TestSocketArray::listenAndAccept(SocketArray& server, int index, quint16 port,
                                      bool closeFirst) {
    server.create(index);
    server.setLocalPort(index, port);
    QVERIFY(server.listen(index).ok());
    connect(&server, &SocketArray::connectionRequest, &server,
            [&server, closeFirst](int i, qintptr id) {
                if (closeFirst)
                    server.close(i);
                const Failure accepted = server.accept(i, id);
                QVERIFY2(accepted.ok(), qPrintable(accepted.description));
            });
}

void TestSocketArray::connectPair(SocketArray& server, SocketArray& client, quint16 port) {
    listenAndAccept(server, 1, port);
    QSignalSpy connected(&client, &SocketArray::connected);
    client.create(1);
    client.connectToHost(1, QStringLiteral("127.0.0.1"), port);
    QTRY_COMPARE(connected.size(), 1);
    QTRY_COMPARE(server.state(1), int(SocketArray::Connected));
}

void TestSocketArray::refusedConnectGivesError() {
    const quint16 port = TestPorts::freePort();
    QVERIFY(port != 0);
    SocketArray client;
    QSignalSpy errors(&client, &SocketArray::error);
    QSignalSpy connected(&client, &SocketArray::connected);
    QSignalSpy closed(&client, &SocketArray::closed);

    client.create(1);
    client.connectToHost(1, QStringLiteral("127.0.0.1"), port);
    QTRY_COMPARE(errors.size(), 1);
    QCOMPARE(errors.first().at(0).toInt(), 1);
    QCOMPARE(errors.first().at(1).toInt(), SocketArray::ErrorConnectionRefused);
    QVERIFY(!errors.first().at(2).toString().isEmpty());
    QCOMPARE(client.state(1), int(SocketArray::Error));
    QVERIFY(deliverQueuedEvents());
    QCOMPARE(errors.size(), 1); // one error event per failed call
    QCOMPARE(connected.size(), 0);
    QCOMPARE(closed.size(), 0);

    client.close(1);
    QCOMPARE(client.state(1), int(SocketArray::Closed));
}

void TestSocketArray::stateWhileCalling_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QList<int>>("callingStates");

    QTest::newRow("address") << QStringLiteral("127.0.0.1")
                             << QList<int>{SocketArray::Connecting, SocketArray::Connected};
    QTest::newRow("host name") << QStringLiteral("localhost")
                               << QList<int>{SocketArray::ResolvingHost, SocketArray::Connecting,
                                             SocketArray::Connected};
}

void TestSocketArray::stateWhileCalling() {
    QFETCH(QString, host);
    QFETCH(QList<int>, callingStates);
    const quint16 port = TestPorts::freePort();
    SocketArray server;
    listenAndAccept(server, 1, port);

    SocketArray client;
    QSignalSpy connected(&client, &SocketArray::connected);
    client.create(1);
    QCOMPARE(client.state(1), int(SocketArray::Closed));
    client.connectToHost(1, host, port);
    QVERIFY2(callingStates.contains(client.state(1)), qPrintable(QString::number(client.state(1))));
    QTRY_COMPARE(connected.size(), 1);
    // The connect event comes with the element connected: the announcement may go out at once.
    QCOMPARE(client.state(1), int(SocketArray::Connected));
}

void TestSocketArray::listenGivesListeningState() {
    const quint16 port = TestPorts::freePort();
    SocketArray server;
    QCOMPARE(server.state(5), int(SocketArray::Closed)); // an element that does not exist
    QVERIFY(!server.exists(5));
    server.create(5);
    QVERIFY(server.exists(5));
    server.setLocalPort(5, port);
    QCOMPARE(server.localPort(5), port);
    QVERIFY(server.listen(5).ok());
    QCOMPARE(server.state(5), int(SocketArray::Listening));

    // Listening twice on a listening element is refused and changes nothing.
    QCOMPARE(server.listen(5).number, SocketArray::ErrorBadState);
    QCOMPARE(server.state(5), int(SocketArray::Listening));

    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(probe.waitForConnected(5000));

    server.close(5);
    QCOMPARE(server.state(5), int(SocketArray::Closed));
    server.destroy(5);
    QVERIFY(!server.exists(5));
    QCOMPARE(server.listen(5).number, SocketArray::ErrorNoSuchElement);
}

void TestSocketArray::portTakenLeavesElementClosed() {
    const quint16 port = TestPorts::freePort();
    QTcpServer otherProgram;
    QVERIFY(otherProgram.listen(QHostAddress::AnyIPv4, port));

    SocketArray server;
    server.create(1);
    server.setLocalPort(1, port);
    const Failure failure = server.listen(1);
    QCOMPARE(failure.number, SocketArray::ErrorAddressInUse);
    QVERIFY(!failure.description.isEmpty());
    QCOMPARE(server.state(1), int(SocketArray::Closed));

    otherProgram.close();
    QVERIFY(server.listen(1).ok());
    QCOMPARE(server.state(1), int(SocketArray::Listening));
}

void TestSocketArray::acceptOnSameElementStopsListening_data() {
    QTest::addColumn<bool>("closeFirst");
    QTest::newRow("closed, then accepted") << true;
    QTest::newRow("accepted while listening") << false;
}

void TestSocketArray::acceptOnSameElementStopsListening() {
    QFETCH(bool, closeFirst);
    const quint16 port = TestPorts::freePort();
    SocketArray server;
    QSignalSpy requests(&server, &SocketArray::connectionRequest);
    SocketArray client;
    listenAndAccept(server, 1, port, closeFirst);
    QSignalSpy connected(&client, &SocketArray::connected);
    client.create(1);
    client.connectToHost(1, QStringLiteral("127.0.0.1"), port);
    QTRY_COMPARE(connected.size(), 1);
    QTRY_COMPARE(server.state(1), int(SocketArray::Connected));

    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().at(0).toInt(), 1);
    QCOMPARE(client.state(1), int(SocketArray::Connected));
    QCOMPARE(server.state(1), int(SocketArray::Connected));
    QCOMPARE(server.remoteHostIp(1), QStringLiteral("127.0.0.1"));
    QCOMPARE(client.remoteHostIp(1), QStringLiteral("127.0.0.1"));

    // The port belongs to the one connection now: a second workstation is refused.
    SocketArray second;
    QSignalSpy secondErrors(&second, &SocketArray::error);
    QSignalSpy secondConnected(&second, &SocketArray::connected);
    second.create(1);
    second.connectToHost(1, QStringLiteral("127.0.0.1"), port);
    QTRY_COMPARE(secondErrors.size(), 1);
    QCOMPARE(secondErrors.first().at(1).toInt(), SocketArray::ErrorConnectionRefused);
    QCOMPARE(secondConnected.size(), 0);
    QCOMPARE(requests.size(), 1);
    QCOMPARE(server.state(1), int(SocketArray::Connected));

    // Accepting a request that does not exist fails and leaves the connection alone.
    QCOMPARE(server.accept(1, 987654).number, SocketArray::ErrorNoSuchRequest);
    QCOMPARE(server.state(1), int(SocketArray::Connected));
}

void TestSocketArray::peerCloseGivesCloseEvent_data() {
    QTest::addColumn<bool>("serverCloses");
    QTest::newRow("workstation closes") << false;
    QTest::newRow("server closes") << true;
}

void TestSocketArray::peerCloseGivesCloseEvent() {
    QFETCH(bool, serverCloses);
    const quint16 port = TestPorts::freePort();
    SocketArray server;
    SocketArray client;
    connectPair(server, client, port);

    SocketArray& closing = serverCloses ? server : client;
    SocketArray& peer = serverCloses ? client : server;
    QSignalSpy peerClosed(&peer, &SocketArray::closed);
    QSignalSpy peerErrors(&peer, &SocketArray::error);
    QSignalSpy ownClosed(&closing, &SocketArray::closed);

    QVERIFY(closing.send(1, QStringLiteral("ultimo\r")).ok());
    closing.close(1);
    QCOMPARE(closing.state(1), int(SocketArray::Closed));

    QTRY_COMPARE(peerClosed.size(), 1);
    QCOMPARE(peerClosed.first().at(0).toInt(), 1);
    QCOMPARE(peer.state(1), int(SocketArray::Closing));
    // Bytes sent just before the close can still be read after the close event.
    QCOMPARE(peer.readAllBytes(1), QByteArray("ultimo\r"));
    QVERIFY(deliverQueuedEvents());
    QCOMPARE(peerClosed.size(), 1);
    QCOMPARE(peerErrors.size(), 0);
    QCOMPARE(ownClosed.size(), 0); // our own close raises no event
    QCOMPARE(peer.send(1, QStringLiteral("x")).number, SocketArray::ErrorBadState);

    peer.close(1);
    QCOMPARE(peer.state(1), int(SocketArray::Closed));
}

void TestSocketArray::recreatedElementListensAgainOnSamePort() {
    const quint16 port = TestPorts::freePort();
    SocketArray server;
    SocketArray client;
    connectPair(server, client, port);

    // The server side closes first here, so the port is left in TIME_WAIT on the server.
    QSignalSpy clientClosed(&client, &SocketArray::closed);
    server.close(1);
    server.destroy(1);
    server.create(1);
    QCOMPARE(server.state(1), int(SocketArray::Closed));
    QCOMPARE(server.remoteHostIp(1), QString());
    server.setLocalPort(1, port);
    const Failure reopened = server.listen(1);
    QVERIFY2(reopened.ok(), qPrintable(reopened.description));
    QCOMPARE(server.state(1), int(SocketArray::Listening));
    QTRY_COMPARE(clientClosed.size(), 1);

    QSignalSpy connected(&client, &SocketArray::connected);
    client.create(1);
    QCOMPARE(client.state(1), int(SocketArray::Closed));
    client.connectToHost(1, QStringLiteral("127.0.0.1"), port);
    QTRY_COMPARE(connected.size(), 1);
    QTRY_COMPARE(server.state(1), int(SocketArray::Connected));
}

void TestSocketArray::windows1252RoundTrip() {
    const quint16 port = TestPorts::freePort();
    SocketArray server;
    SocketArray client;
    connectPair(server, client, port);
    QSignalSpy arrivals(&server, &SocketArray::dataArrival);

    const QString text = QStringLiteral("DEL:C:\\Stampe\\Perché € 1.234,56 – àèìòù ÀÈ\r");
    QVERIFY(client.send(1, text).ok());

    QByteArray received;
    QTRY_VERIFY((received += server.readAllBytes(1)).size() >= 30 && received.endsWith('\r'));
    QCOMPARE(received, QByteArray("DEL:C:\\Stampe\\Perch\xE9 \x80 1.234,56 \x96 "
                                  "\xE0\xE8\xEC\xF2\xF9 \xC0\xC8\r"));
    QVERIFY(!arrivals.isEmpty());
    QCOMPARE(arrivals.first().at(0).toInt(), 1);
    QVERIFY(arrivals.first().at(1).toLongLong() > 0);

    // And back, read as text.
    QVERIFY(server.send(1, text).ok());
    QString back;
    QTRY_VERIFY((back += client.readAll(1)).endsWith(QLatin1Char('\r')));
    QCOMPARE(back, text);
}

void TestSocketArray::allBytesRoundTrip() {
    const quint16 port = TestPorts::freePort();
    SocketArray server;
    SocketArray client;
    connectPair(server, client, port);

    QByteArray all;
    for (int round = 0; round < 64; ++round) {
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
    }
    QVERIFY(server.sendBytes(1, all).ok());
    QByteArray received;
    QTRY_COMPARE((received += client.readAllBytes(1)).size(), all.size());
    QCOMPARE(received, all);
}

void TestSocketArray::sendNeedsConnection() {
    const quint16 port = TestPorts::freePort();
    SocketArray sockets;
    QCOMPARE(sockets.send(1, QStringLiteral("x\r")).number, SocketArray::ErrorNoSuchElement);
    sockets.create(1);
    QCOMPARE(sockets.send(1, QStringLiteral("x\r")).number, SocketArray::ErrorBadState);
    sockets.setLocalPort(1, port);
    QVERIFY(sockets.listen(1).ok());
    QCOMPARE(sockets.sendBytes(1, "x\r").number, SocketArray::ErrorBadState);
    QCOMPARE(sockets.readAllBytes(1), QByteArray());
    QCOMPARE(sockets.readAll(7), QString());
}

void TestSocketArray::rebuildInsideCloseHandler() {
    // The print server's close handler: close, destroy, create afresh and listen again, all from
    // inside the close event of the very element being rebuilt.
    const quint16 port = TestPorts::freePort();
    SocketArray server;
    listenAndAccept(server, 1, port);
    int rebuilds = 0;
    connect(&server, &SocketArray::closed, &server, [&](int index) {
        server.close(index);
        server.destroy(index);
        server.create(index);
        server.setLocalPort(index, port);
        QVERIFY(server.listen(index).ok());
        ++rebuilds;
    });

    for (int round = 1; round <= 3; ++round) {
        SocketArray client;
        QSignalSpy connected(&client, &SocketArray::connected);
        client.create(1);
        client.connectToHost(1, QStringLiteral("127.0.0.1"), port);
        QTRY_COMPARE(connected.size(), 1);
        QTRY_COMPARE(server.state(1), int(SocketArray::Connected));
        QVERIFY(client.send(1, QStringLiteral("PC:A\r")).ok());
        client.destroy(1);
        QTRY_COMPARE(rebuilds, round);
        QCOMPARE(server.state(1), int(SocketArray::Listening));
    }
}

void TestSocketArray::nextPortInsideErrorHandler() {
    // The workstation's sweep: on an error, close the element and call the next port from inside
    // the error event; the server listens only on the third port.
    const quint16 base = TestPorts::freeRange(3);
    QVERIFY(base != 0);
    SocketArray server;
    listenAndAccept(server, 1, quint16(base + 2));

    SocketArray client;
    quint16 callPort = base;
    QList<quint16> failedPorts;
    connect(&client, &SocketArray::error, &client, [&](int index, int, const QString&) {
        failedPorts << callPort;
        client.close(index);
        ++callPort;
        client.connectToHost(index, QStringLiteral("127.0.0.1"), callPort);
    });
    QSignalSpy connected(&client, &SocketArray::connected);
    client.create(1);
    client.connectToHost(1, QStringLiteral("127.0.0.1"), callPort);
    QTRY_COMPARE(connected.size(), 1);
    QCOMPARE(failedPorts, (QList<quint16>{base, quint16(base + 1)}));
    QCOMPARE(client.state(1), int(SocketArray::Connected));
}

void TestSocketArray::unacceptedRequestIsClosed_data() {
    QTest::addColumn<bool>("destroy");
    QTest::newRow("element closed") << false;
    QTest::newRow("element destroyed") << true;
}

void TestSocketArray::unacceptedRequestIsClosed() {
    QFETCH(bool, destroy);
    const quint16 port = TestPorts::freePort();
    SocketArray server;
    QSignalSpy requests(&server, &SocketArray::connectionRequest);
    server.create(1);
    server.setLocalPort(1, port);
    QVERIFY(server.listen(1).ok());

    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(peer.waitForConnected(5000));
    QTRY_COMPARE(requests.size(), 1);

    // Never accepted: the request must not stay open once its element is gone.
    QSignalSpy peerGone(&peer, &QTcpSocket::disconnected);
    if (destroy)
        server.destroy(1);
    else
        server.close(1);
    QTRY_COMPARE(peerGone.size(), 1);
    QCOMPARE(server.accept(1, requests.first().at(1).value<qintptr>()).number,
             destroy ? SocketArray::ErrorNoSuchElement : SocketArray::ErrorNoSuchRequest);
}

void TestSocketArray::rebuildInsideDataHandler() {
    // The server sends and closes at once; the workstation rebuilds its element inside the data
    // event. Whatever was still queued for the old connection (its close) must not reach the
    // new element.
    const quint16 port = TestPorts::freePort();
    SocketArray server;
    SocketArray client;
    connectPair(server, client, port);

    QByteArray received;
    connect(&client, &SocketArray::dataArrival, &client, [&](int index, qint64) {
        received += client.readAllBytes(index);
        client.destroy(index);
        client.create(index);
    });
    QSignalSpy closed(&client, &SocketArray::closed);
    QSignalSpy errors(&client, &SocketArray::error);
    QVERIFY(server.send(1, QStringLiteral("DIR:A\r")).ok());
    server.close(1);
    QTRY_COMPARE(received, QByteArray("DIR:A\r"));
    QVERIFY(deliverQueuedEvents());
    QCOMPARE(closed.size(), 0);
    QCOMPARE(errors.size(), 0);
    QCOMPARE(client.state(1), int(SocketArray::Closed));
}

void TestSocketArray::closeDropsQueuedEvents() {
    // An event still queued for a connection that the program has closed in the meantime is not
    // delivered: the handler would act on an element that now means something else.
    const quint16 port = TestPorts::freePort();
    SocketArray server;
    SocketArray client;
    connectPair(server, client, port);
    QSignalSpy closed(&client, &SocketArray::closed);
    QSignalSpy errors(&client, &SocketArray::error);

    server.close(1);
    // One pass of the event loop at a time, until the element has noticed the close; its event
    // is then queued but not yet delivered.
    QDeadlineTimer deadline(5000);
    while (client.state(1) != SocketArray::Closing && !deadline.hasExpired())
        QCoreApplication::processEvents();
    QCOMPARE(client.state(1), int(SocketArray::Closing));
    if (!closed.isEmpty())
        QSKIP("this event loop delivered the close event in the same pass");

    client.close(1);
    QVERIFY(deliverQueuedEvents());
    QCOMPARE(closed.size(), 0);
    QCOMPARE(errors.size(), 0);
    QCOMPARE(client.state(1), int(SocketArray::Closed));
}

void TestSocketArray::unanswerableCallTimesOut() {
    // A routable address nobody answers (TEST-NET-1): the call ends with the error event after
    // the configured time, or at once if the network says it is unreachable.
    SocketArray client;
    client.setConnectTimeout(300);
    QCOMPARE(client.connectTimeout(), 300);
    QSignalSpy errors(&client, &SocketArray::error);
    client.connectToHost(1, QStringLiteral("192.0.2.1"), 1500); // creates element 1
    QVERIFY(client.exists(1));
    QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 1, 10000);
    QCOMPARE(client.state(1), int(SocketArray::Error));
    QVERIFY(deliverQueuedEvents());
    QCOMPARE(errors.size(), 1);
}

void TestSocketArray::localAddresses() {
    QVERIFY(!SocketArray::localHostName().isEmpty());
    const QHostAddress ip(SocketArray::localIp());
    QCOMPARE(ip.protocol(), QAbstractSocket::IPv4Protocol);
}

QTEST_GUILESS_MAIN(TestSocketArray)
#include "tst_socketarray.moc"
