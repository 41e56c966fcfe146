#include "textcodec.h"

#include <QTest>

class TestTextCodec : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { TextCodec::select(QStringLiteral("windows-1252")); }

    void everyByteRoundTrips_data() {
        QTest::addColumn<QString>("codePage");
        QTest::newRow("windows-1252") << "windows-1252";
        QTest::newRow("IBM850") << "IBM850";
    }
    void everyByteRoundTrips() {
        QFETCH(QString, codePage);
        TextCodec::select(codePage);
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(char(i));
        const QString text = TextCodec::decode(all);
        QCOMPARE(text.size(), 256); // one character per byte, none dropped or merged
        QCOMPARE(TextCodec::encode(text), all);
        // Byte by byte as well: no state carries over between calls.
        for (int i = 0; i < 256; ++i) {
            const QByteArray one(1, char(i));
            QCOMPARE(TextCodec::encode(TextCodec::decode(one)), one);
        }
    }

    void windows1252Characters_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("euro and accents")
            << QByteArray("\x80\xe0\xe8\xe9\xec\xf2\xf9") << QStringLiteral("€àèéìòù");
        QTest::newRow("undefined bytes kept as C1 controls")
            << QByteArray("\x81\x8d\x8f\x90\x9d")
            << QStringLiteral("\u0081\u008d\u008f\u0090\u009d");
        QTest::newRow("typographic quotes") << QByteArray("\x93x\x94") << QStringLiteral("“x”");
        QTest::newRow("ascii") << QByteArray("PC:UFFICIO1\r") << QStringLiteral("PC:UFFICIO1\r");
    }
    void windows1252Characters() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(TextCodec::selected(), QStringLiteral("windows-1252"));
        QCOMPARE(TextCodec::decode(bytes), text);
        QCOMPARE(TextCodec::encode(text), bytes);
    }

    void oemCodePageHasTheEuro() {
        TextCodec::select(QStringLiteral("IBM850"));
        QCOMPARE(TextCodec::selected(), QStringLiteral("IBM850"));
        QCOMPARE(TextCodec::encode(QStringLiteral("€àèéìòù")),
                 QByteArray("\xd5\x85\x8a\x82\x8d\x95\x97"));
        QCOMPARE(TextCodec::decode(QByteArray("\xd5\x85")), QStringLiteral("€à"));
    }

    void unknownNameFallsBackToWindows1252() {
        TextCodec::select(QStringLiteral("klingon"));
        QCOMPARE(TextCodec::selected(), QStringLiteral("windows-1252"));
        QCOMPARE(TextCodec::encode(QStringLiteral("€")), QByteArray("\x80"));
    }

    void missingCharactersBecomeQuestionMarks() {
        QCOMPARE(TextCodec::encode(QStringLiteral("a中€😀\u001ab")), QByteArray("a?\x80?\x1a"
                                                                               "b"));
        QCOMPARE(TextCodec::encode(QStringLiteral("€")), QByteArray("\x80")); // no state left
    }

    void emptyInput() {
        QCOMPARE(TextCodec::decode(QByteArray()), QString());
        QCOMPARE(TextCodec::encode(QString()), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestTextCodec)
#include "tst_textcodec.moc"
