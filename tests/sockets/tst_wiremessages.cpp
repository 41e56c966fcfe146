#include "textcodec.h"
#include "wiremessages.h"

#include <QTest>

// The messages keep the exact bytes workstations and servers in the field send; the framer must
// hand over every message in order, however the network cuts the stream.
class TestWireMessages : public QObject {
    Q_OBJECT

private slots:
    void builders_data();
    void builders();
    void keywords_data();
    void keywords();
    void serverPayload_data();
    void serverPayload();
    void clientPayload_data();
    void clientPayload();
    void failureReport();

    void framerSegments_data();
    void framerSegments();
    void framerSingleBytes();
    void framerKeepsRemainder();
    void framerOverflow();
    void framerOverflowBoundary_data();
    void framerOverflowBoundary();
    void framerOverflowInSmallReads();
    void framerBinaryBytes();
};

void TestWireMessages::builders_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("registration") << Wire::registration(QStringLiteral("UFFICIO1"))
                                  << QByteArray("PC:UFFICIO1\r");
    QTest::newRow("registration, empty name")
        << Wire::registration(QString()) << QByteArray("PC:\r");
    QTest::newRow("version reply 66")
        << Wire::versionReply(66) << QByteArray("Velarix 1.0 rev. 66\r");
    QTest::newRow("version reply 0") << Wire::versionReply(0) << QByteArray("Velarix 1.0 rev. 0\r");
    QTest::newRow("version reply text")
        << Wire::versionReplyText(1234) << QByteArray("Velarix 1.0 rev. 1234");
    QTest::newRow("print request")
        << Wire::printRequest(QStringLiteral("\\\\srv\\Velarix\\A.001.PRN"))
        << QByteArray("DIR:\\\\srv\\Velarix\\A.001.PRN\r");
    QTest::newRow("completion, accented path")
        << Wire::completion(QStringLiteral("C:\\Stampe\\Città.002.PRN"))
        << QByteArray("DEL:C:\\Stampe\\Citt\xE0.002.PRN\r");
}

void TestWireMessages::builders() {
    QFETCH(QString, message);
    QFETCH(QByteArray, bytes);
    QCOMPARE(TextCodec::encode(message), bytes);
}

void TestWireMessages::keywords_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("registration");
    QTest::addColumn<bool>("completion");
    QTest::addColumn<bool>("printRequest");

    QTest::newRow("PC:") << QStringLiteral("PC:UFFICIO1\r") << true << false << false;
    QTest::newRow("DEL:") << QStringLiteral("DEL:X.001.PRN\r") << false << true << false;
    QTest::newRow("DIR:") << QStringLiteral("DIR:X.001.PRN\r") << false << false << true;
    QTest::newRow("pc: lower case") << QStringLiteral("pc:UFFICIO1\r") << false << false << false;
    QTest::newRow("Pc: mixed case") << QStringLiteral("Pc:UFFICIO1\r") << false << false << false;
    QTest::newRow("Dir: mixed case") << QStringLiteral("Dir:X.PRN\r") << false << false << false;
    QTest::newRow("del: lower case") << QStringLiteral("del:X.PRN\r") << false << false << false;
    QTest::newRow("blank before keyword")
        << QStringLiteral(" DIR:X.PRN\r") << false << false << false;
    QTest::newRow("keyword not at start")
        << QStringLiteral("xPC:DIR:DEL:\r") << false << false << false;
    QTest::newRow("keyword cut short") << QStringLiteral("DI") << false << false << false;
    QTest::newRow("version reply") << Wire::versionReply(66) << false << false << false;
    QTest::newRow("empty") << QString() << false << false << false;
}

void TestWireMessages::keywords() {
    QFETCH(QString, text);
    QFETCH(bool, registration);
    QFETCH(bool, completion);
    QFETCH(bool, printRequest);
    QCOMPARE(Wire::isRegistration(text), registration);
    QCOMPARE(Wire::isCompletion(text), completion);
    QCOMPARE(Wire::isPrintRequest(text), printRequest);
}

void TestWireMessages::serverPayload_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("keywordLength");
    QTest::addColumn<QString>("payload");

    QTest::newRow("plain") << QStringLiteral("PC:UFFICIO1\r") << 3 << QStringLiteral("UFFICIO1");
    QTest::newRow("blanks both sides")
        << QStringLiteral("PC:  ufficio1  \r") << 3 << QStringLiteral("ufficio1");
    QTest::newRow("empty name") << QStringLiteral("PC:\r") << 3 << QString();
    QTest::newRow("blanks only") << QStringLiteral("PC:   \r") << 3 << QString();
    QTest::newRow("no carriage return") << QStringLiteral("PC: a b ") << 3 << QStringLiteral("a b");
    QTest::newRow("text after the carriage return dropped")
        << QStringLiteral("DEL: C:\\A.PRN \rDEL:C:\\B.PRN\r") << 4 << QStringLiteral("C:\\A.PRN");
    QTest::newRow("tab is not a blank")
        << QStringLiteral("PC:\tPC1\t\r") << 3 << QStringLiteral("\tPC1\t");
    QTest::newRow("line feed is not a blank")
        << QStringLiteral("PC:PC1\r\n") << 3 << QStringLiteral("PC1");
    QTest::newRow("inner blanks kept") << QStringLiteral("DEL: C:\\Le Stampe\\A.PRN\r") << 4
                                       << QStringLiteral("C:\\Le Stampe\\A.PRN");
    QTest::newRow("leading carriage return") << QStringLiteral("PC:\rPC1\r") << 3 << QString();
}

void TestWireMessages::serverPayload() {
    QFETCH(QString, text);
    QFETCH(int, keywordLength);
    QFETCH(QString, payload);
    QCOMPARE(Wire::serverPayload(text, keywordLength), payload);
}

void TestWireMessages::clientPayload_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("payload");

    QTest::newRow("plain") << QStringLiteral("DIR:C:\\A.PRN\r") << QStringLiteral("C:\\A.PRN");
    // The client trims once, before the cut: blanks between the path and the CR stay.
    QTest::newRow("blanks before the carriage return kept")
        << QStringLiteral("DIR:  C:\\A.PRN  \r") << QStringLiteral("C:\\A.PRN  ");
    QTest::newRow("blanks after the carriage return trimmed away")
        << QStringLiteral("DIR: C:\\A.PRN\r   ") << QStringLiteral("C:\\A.PRN");
    QTest::newRow("no carriage return")
        << QStringLiteral("DIR: C:\\A.PRN  ") << QStringLiteral("C:\\A.PRN");
    QTest::newRow("second message dropped")
        << QStringLiteral("DIR:A.PRN\rDIR:B.PRN\r") << QStringLiteral("A.PRN");
    QTest::newRow("empty path") << QStringLiteral("DIR:\r") << QString();
}

void TestWireMessages::clientPayload() {
    QFETCH(QString, text);
    QFETCH(QString, payload);
    QCOMPARE(Wire::clientPayload(text, 4), payload);
}

// The reason travels whole, whatever the client's texts hold, and a server in the field (which
// knows only "PC:" and "DEL:") logs the report and acts on nothing.
void TestWireMessages::failureReport() {
    const QString path = QStringLiteral(" \\\\srv\\Velarix\\Stampe|2\\A B.001.PRN");
    const QString text =
        Wire::failureReport({61, QStringLiteral("Disco|pieno\r\nsulla\tpostazione"), path});
    QCOMPARE(text, QStringLiteral("ERR:61|Disco pieno sulla postazione|") + path + u'\r');
    QVERIFY(!Wire::isRegistration(text) && !Wire::isCompletion(text));
    Wire::FailureReport back;
    QVERIFY(Wire::parseFailureReport(text + QStringLiteral("DEL:x\r"), &back));
    QCOMPARE(back.number, 61);
    QCOMPARE(back.reason, QStringLiteral("Disco pieno sulla postazione"));
    QCOMPARE(back.path, path.trimmed());
    // From a stranger: control characters gone, the length bounded, a malformed one refused.
    QVERIFY(Wire::parseFailureReport(
        QStringLiteral("ERR:1|\x1b[2J") + QString(500, u'x') + QStringLiteral("|p\r"), &back));
    QCOMPARE(back.reason.size(), Wire::FailureReasonLimit);
    QVERIFY(!back.reason.contains(QChar(0x1b)));
    for (const char* bad : {"ERR:x|r|p\r", "ERR:1|r\r", "ERR:1|r| \r"})
        QVERIFY2(!Wire::parseFailureReport(QString::fromLatin1(bad), &back), bad);
}

void TestWireMessages::framerSegments_data() {
    QTest::addColumn<QList<QByteArray>>("segments");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<qsizetype>("pending");

    QTest::newRow("one message") << QList<QByteArray>{"DIR:A.PRN\r"}
                                 << QStringList{QStringLiteral("DIR:A.PRN\r")} << qsizetype(0);
    QTest::newRow("two in one segment")
        << QList<QByteArray>{"DIR:A.PRN\rDIR:B.PRN\r"}
        << QStringList{QStringLiteral("DIR:A.PRN\r"), QStringLiteral("DIR:B.PRN\r")}
        << qsizetype(0);

    QByteArray ten;
    QStringList tenMessages;
    for (int i = 0; i < 10; ++i) {
        const QString message = Wire::completion(QStringLiteral("C:\\S\\F%1.001.PRN").arg(i));
        ten += TextCodec::encode(message);
        tenMessages << message;
    }
    QTest::newRow("ten in one segment") << QList<QByteArray>{ten} << tenMessages << qsizetype(0);

    QTest::newRow("split across two segments")
        << QList<QByteArray>{"DIR:C:\\Sta", "mpe\\A.PRN\r"}
        << QStringList{QStringLiteral("DIR:C:\\Stampe\\A.PRN\r")} << qsizetype(0);
    QTest::newRow("message then start of the next")
        << QList<QByteArray>{"PC:A\rDEL:x", "y\r"}
        << QStringList{QStringLiteral("PC:A\r"), QStringLiteral("DEL:xy\r")} << qsizetype(0);
    QTest::newRow("incomplete remainder kept")
        << QList<QByteArray>{"Velarix 1.0 rev. 66\rDIR:C:\\A"}
        << QStringList{QStringLiteral("Velarix 1.0 rev. 66\r")} << qsizetype(8);
    QTest::newRow("empty messages")
        << QList<QByteArray>{"\r\r"} << QStringList{QStringLiteral("\r"), QStringLiteral("\r")}
        << qsizetype(0);
    QTest::newRow("empty segments") << QList<QByteArray>{"", "PC:", "", "A\r", ""}
                                    << QStringList{QStringLiteral("PC:A\r")} << qsizetype(0);
    QTest::newRow("line feed stays in the next message")
        << QList<QByteArray>{"PC:A\r\nPC:B\r"}
        << QStringList{QStringLiteral("PC:A\r"), QStringLiteral("\nPC:B\r")} << qsizetype(0);
    QTest::newRow("euro and accents")
        << QList<QByteArray>{"DIR:C:\\Perch\xE9 \x80", "\r"}
        << QStringList{QStringLiteral("DIR:C:\\Perché €\r")} << qsizetype(0);
}

void TestWireMessages::framerSegments() {
    QFETCH(QList<QByteArray>, segments);
    QFETCH(QStringList, messages);
    QFETCH(qsizetype, pending);

    MessageFramer framer;
    QStringList received;
    for (const QByteArray& segment : segments)
        received += framer.feed(segment);
    QCOMPARE(received, messages);
    QCOMPARE(framer.pendingSize(), pending);
    QVERIFY(!framer.takeOverflow());
}

void TestWireMessages::framerSingleBytes() {
    const QByteArray stream =
        TextCodec::encode(Wire::versionReply(66) + Wire::printRequest(QStringLiteral("C:\\A.PRN")));
    MessageFramer framer;
    QStringList received;
    for (char byte : stream) {
        const QList<QString> messages = framer.feed(QByteArray(1, byte));
        QVERIFY(messages.size() <= 1);
        // A message is complete exactly when its carriage return arrives.
        QCOMPARE(messages.size(), qsizetype(byte == Wire::CR ? 1 : 0));
        received += messages;
    }
    QCOMPARE(received, (QStringList{Wire::versionReply(66),
                                    Wire::printRequest(QStringLiteral("C:\\A.PRN"))}));
    QCOMPARE(framer.pendingSize(), qsizetype(0));
}

void TestWireMessages::framerKeepsRemainder() {
    MessageFramer framer;
    QVERIFY(framer.feed("DIR:C:\\A").isEmpty());
    QCOMPARE(framer.pendingSize(), qsizetype(8));
    framer.clear();
    QCOMPARE(framer.pendingSize(), qsizetype(0));
    // After clear() the old remainder must not be glued to the next message.
    QCOMPARE(framer.feed("PC:B\r"), QList<QString>{QStringLiteral("PC:B\r")});
}

void TestWireMessages::framerOverflow() {
    MessageFramer framer;
    const QByteArray junk(1024 * 1024, 'x');

    QCOMPARE(framer.feed("PC:A\r" + junk), QList<QString>{QStringLiteral("PC:A\r")});
    QVERIFY(framer.takeOverflow());
    QVERIFY(!framer.takeOverflow()); // reported once
    QVERIFY(framer.pendingSize() <= MessageFramer::MaxPending);

    // More of the same over-long message: still discarded, not reported again.
    QVERIFY(framer.feed(junk).isEmpty());
    QVERIFY(!framer.takeOverflow());
    QVERIFY(framer.pendingSize() <= MessageFramer::MaxPending);

    // Its carriage return ends it; the following message arrives intact, even in the same read.
    QCOMPARE(framer.feed("tail\rDIR:C:\\A.PRN\r"),
             QList<QString>{QStringLiteral("DIR:C:\\A.PRN\r")});
    QVERIFY(!framer.takeOverflow());
    QCOMPARE(framer.feed("DEL:B\r"), QList<QString>{QStringLiteral("DEL:B\r")});
}

void TestWireMessages::framerOverflowBoundary_data() {
    QTest::addColumn<qsizetype>("bodyLength");
    QTest::addColumn<bool>("delivered");

    QTest::newRow("exactly the limit") << MessageFramer::MaxPending << true;
    QTest::newRow("one byte over") << MessageFramer::MaxPending + 1 << false;
}

void TestWireMessages::framerOverflowBoundary() {
    QFETCH(qsizetype, bodyLength);
    QFETCH(bool, delivered);
    const QByteArray body(bodyLength, 'a');

    // The same message whole, and cut in two before its carriage return, ends the same way.
    for (qsizetype cut : {bodyLength, bodyLength / 2}) {
        MessageFramer framer;
        QStringList received = framer.feed(body.left(cut));
        received += framer.feed(body.mid(cut) + "\rPC:N\r");
        QCOMPARE(framer.takeOverflow(), !delivered);
        QCOMPARE(received.size(), qsizetype(delivered ? 2 : 1));
        if (delivered)
            QCOMPARE(received.first().size(), bodyLength + 1);
        QCOMPARE(received.last(), QStringLiteral("PC:N\r"));
    }
}

void TestWireMessages::framerOverflowInSmallReads() {
    // A peer that trickles bytes without a carriage return: memory stays bounded, one report.
    MessageFramer framer;
    const QByteArray chunk(4096, '\x01');
    int reports = 0;
    for (int i = 0; i < 256; ++i) {
        QVERIFY(framer.feed(chunk).isEmpty());
        QVERIFY(framer.pendingSize() <= MessageFramer::MaxPending);
        reports += framer.takeOverflow() ? 1 : 0;
    }
    QCOMPARE(reports, 1);
    QCOMPARE(framer.feed("\rDIR:X\r"), QList<QString>{QStringLiteral("DIR:X\r")});
}

void TestWireMessages::framerBinaryBytes() {
    // Every byte except the carriage return passes through; each one decodes and encodes back.
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        if (b != Wire::CR)
            all.append(char(b));
    }
    MessageFramer framer;
    const QList<QString> messages = framer.feed(all + '\r' + all.left(10));
    QCOMPARE(messages.size(), qsizetype(1));
    QCOMPARE(TextCodec::encode(messages.first()), all + '\r');
    QCOMPARE(framer.pendingSize(), qsizetype(10));
}

QTEST_GUILESS_MAIN(TestWireMessages)
#include "tst_wiremessages.moc"
