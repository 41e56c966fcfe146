#include "fakeserver.h"
#include "testports.h"
#include "textcodec.h"
#include "wiremessages.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

// The stand-in server that client tests rely on, seen from a plain Qt socket, and the
// VelarixFakeSrv program around it.
class TestFakeServer : public QObject {
    Q_OBJECT

private slots:
    void registrationGetsVersionReply();
    void scriptedRequestsAndCompletions();
    void onePortOneWorkstation();
    void silentServer();
    void programRoundTrip();
    void programTimesOut();

private:
    // Reads from the socket until `count` messages have arrived.
    static QStringList readMessages(QTcpSocket& socket, MessageFramer& framer, int count);
};

QStringList TestFakeServer::readMessages(QTcpSocket& socket, MessageFramer& framer, int count) {
    QStringList messages;
    // Through the event loop, not waitForReadyRead: the server under test lives in this thread.
    // A timeout shows in the caller's comparison as the messages that did arrive.
    (void)QTest::qWaitFor(
        [&] {
            messages += framer.feed(socket.readAll());
            return messages.size() >= count;
        },
        5000);
    return messages;
}

void TestFakeServer::registrationGetsVersionReply() {
    const quint16 port = TestPorts::freePort();
    FakeServer server;
    server.setRevision(66);
    QVERIFY(server.listen(port));
    QSignalSpy connected(&server, &FakeServer::clientConnected);
    QSignalSpy registered(&server, &FakeServer::registered);

    QTcpSocket workstation;
    workstation.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(workstation.waitForConnected(5000));
    QTRY_COMPARE(connected.size(), 1);
    QVERIFY(server.isConnected());

    workstation.write("PC:  UFFICIO1  \r");
    MessageFramer framer;
    QCOMPARE(readMessages(workstation, framer, 1),
             QStringList{QStringLiteral("Velarix 1.0 rev. 66\r")});
    QTRY_COMPARE(registered.size(), 1);
    QCOMPARE(server.workstation(), QStringLiteral("UFFICIO1"));
    QCOMPARE(server.messages(), QStringList{QStringLiteral("PC:  UFFICIO1  \r")});

    // Every registration gets its reply, also a second one on the same connection.
    workstation.write("PC:UFFICIO2\r");
    QCOMPARE(readMessages(workstation, framer, 1), QStringList{Wire::versionReply(66)});
    QCOMPARE(server.workstation(), QStringLiteral("UFFICIO2"));
    QCOMPARE(server.registrations(), 2);
}

void TestFakeServer::scriptedRequestsAndCompletions() {
    const quint16 port = TestPorts::freePort();
    FakeServer server;
    QVERIFY(server.listen(port));
    QSignalSpy received(&server, &FakeServer::messageReceived);

    QTcpSocket workstation;
    workstation.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(workstation.waitForConnected(5000));
    QTRY_VERIFY(server.isConnected());

    const QString first = QStringLiteral("C:\\Stampe\\Città.001.PRN");
    const QString second = QStringLiteral("C:\\Stampe\\B.002.PRN");
    QVERIFY(server.sendPrintRequest(first));
    QVERIFY(server.send(Wire::printRequest(second)));
    MessageFramer framer;
    QCOMPARE(readMessages(workstation, framer, 2),
             (QStringList{Wire::printRequest(first), Wire::printRequest(second)}));

    // Completions together and in pieces: the first whole with the start of the second in one
    // write, the rest of the second once the first was read. Each is recorded once, exactly.
    const QByteArray completions =
        TextCodec::encode(Wire::completion(first) + Wire::completion(second));
    const qsizetype split = TextCodec::encode(Wire::completion(first)).size() + 7;
    workstation.write(completions.left(split));
    QTRY_COMPARE(server.completions(), QStringList{first});
    workstation.write(completions.mid(split));
    QTRY_COMPARE(server.completions(), (QStringList{first, second}));
    QCOMPARE(received.size(), 2);
    QCOMPARE(server.messages(), (QStringList{Wire::completion(first), Wire::completion(second)}));
}

void TestFakeServer::onePortOneWorkstation() {
    const quint16 port = TestPorts::freePort();
    FakeServer server;
    QVERIFY(server.listen(port));
    QSignalSpy disconnected(&server, &FakeServer::clientDisconnected);

    QTcpSocket first;
    first.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(first.waitForConnected(5000));
    QTRY_VERIFY(server.isConnected());
    QVERIFY(!server.isListening());

    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(!second.waitForConnected(2000));
    QCOMPARE(second.error(), QAbstractSocket::ConnectionRefusedError);

    // The server closes; the workstation sees the close and the port takes a new one.
    server.closeConnection();
    QVERIFY(first.state() == QAbstractSocket::UnconnectedState || first.waitForDisconnected(5000));
    QCOMPARE(disconnected.size(), 1);
    QVERIFY(server.isListening());
    QVERIFY(!server.send(QStringLiteral("x\r")));

    QTcpSocket third;
    third.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(third.waitForConnected(5000));
    QTRY_VERIFY(server.isConnected());

    // The workstation leaves on its own: the port listens again.
    third.disconnectFromHost();
    QTRY_COMPARE(disconnected.size(), 2);
    QVERIFY(server.isListening());
}

void TestFakeServer::silentServer() {
    const quint16 port = TestPorts::freePort();
    FakeServer server;
    server.setAnswerRegistrations(false);
    QVERIFY(server.listen(port));

    QTcpSocket workstation;
    workstation.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(workstation.waitForConnected(5000));
    workstation.write("PC:A\r");
    QTRY_COMPARE(server.workstation(), QStringLiteral("A"));
    // Anything the server had answered would arrive before what it sends next.
    QVERIFY(server.sendPrintRequest(QStringLiteral("X")));
    MessageFramer framer;
    QCOMPARE(readMessages(workstation, framer, 1),
             QStringList{Wire::printRequest(QStringLiteral("X"))});
    QCOMPARE(workstation.bytesAvailable(), qint64(0));
    QCOMPARE(server.messages(), QStringList{QStringLiteral("PC:A\r")});
}

void TestFakeServer::programRoundTrip() {
    const quint16 port = TestPorts::freePort();
    QProcess program;
    program.start(QStringLiteral(VELARIX_BIN_DIR "/VelarixFakeSrv"),
                  {QStringLiteral("--port"), QString::number(port), QStringLiteral("--revision"),
                   QStringLiteral("7"), QStringLiteral("--dir"), QStringLiteral("C:\\S\\A.PRN"),
                   QStringLiteral("--dir"), QStringLiteral("C:\\S\\B.PRN"),
                   QStringLiteral("--timeout"), QStringLiteral("20")});
    QVERIFY(program.waitForStarted(5000));

    QTcpSocket workstation;
    QDeadlineTimer deadline(10000);
    do {
        workstation.abort();
        workstation.connectToHost(QHostAddress::LocalHost, port);
    } while (!workstation.waitForConnected(500) && !deadline.hasExpired());
    QCOMPARE(workstation.state(), QAbstractSocket::ConnectedState);

    workstation.write("PC:WS1\r");
    MessageFramer framer;
    QCOMPARE(
        readMessages(workstation, framer, 3),
        (QStringList{QStringLiteral("Velarix 1.0 rev. 7\r"), QStringLiteral("DIR:C:\\S\\A.PRN\r"),
                     QStringLiteral("DIR:C:\\S\\B.PRN\r")}));
    workstation.write("Ciao\rDEL:C:\\S\\A.PRN\r");
    workstation.write("DEL:C:\\S\\B.PRN\r");
    workstation.flush();

    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    const QList<QByteArray> lines = program.readAllStandardOutput().split('\n');
    QCOMPARE(lines,
             (QList<QByteArray>{"PC:WS1", "Ciao", "DEL:C:\\S\\A.PRN", "DEL:C:\\S\\B.PRN", ""}));
}

void TestFakeServer::programTimesOut() {
    const quint16 port = TestPorts::freePort();
    QProcess program;
    program.start(QStringLiteral(VELARIX_BIN_DIR "/VelarixFakeSrv"),
                  {QStringLiteral("--port"), QString::number(port), QStringLiteral("--dir"),
                   QStringLiteral("C:\\S\\A.PRN"), QStringLiteral("--timeout"),
                   QStringLiteral("0.3")});
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 1);
    QVERIFY(program.readAllStandardError().contains("No completion for C:\\S\\A.PRN"));
}

QTEST_GUILESS_MAIN(TestFakeServer)
#include "tst_fakeserver.moc"
