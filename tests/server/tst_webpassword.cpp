#include "webpassword.h"

#include <QTest>

class TestWebPassword : public QObject {
    Q_OBJECT

private slots:
    void hashVerifies() {
        const QByteArray first = WebPassword::hash(QStringLiteral("segreto più lungo"));
        QVERIFY(WebPassword::verify(first, QStringLiteral("segreto più lungo")));
        QVERIFY(!WebPassword::verify(first, QStringLiteral("segreto piu lungo")));
        // A fresh salt each time: equal passwords must not show as equal lines.
        QVERIFY(WebPassword::hash(QStringLiteral("segreto più lungo")) != first);
    }

    void malformedLineRefused_data() {
        QTest::addColumn<QByteArray>("line");
        const QByteArray good = WebPassword::hash(QStringLiteral("x"));
        const QList<QByteArray> parts = good.split('$');
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("other scheme") << QByteArray(good).replace("sha256", "sha1");
        QTest::newRow("zero iterations") << parts[0] + "$0$" + parts[2] + '$' + parts[3];
        QTest::newRow("hash cut short") << good.left(good.size() - 4);
        QTest::newRow("salt not base64") << parts[0] + '$' + parts[1] + "$*$" + parts[3];
        QTest::newRow("extra field") << good + "$x";
    }
    void malformedLineRefused() {
        QFETCH(QByteArray, line);
        QVERIFY(!WebPassword::verify(line, QStringLiteral("x")));
    }
};

QTEST_GUILESS_MAIN(TestWebPassword)
#include "tst_webpassword.moc"
