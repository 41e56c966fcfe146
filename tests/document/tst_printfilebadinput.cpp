// The reader on input no management program writes: every fuzzer finding kept in
// tests/data/fuzz, and generated files (50 MB, one huge line, NUL bytes, binary garbage). Each
// must give a document that satisfies printDocumentViolation(), and no crash or hang.

#include "printfilechecks.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

namespace {

QString violationBothWays(const QByteArray& bytes) {
    QString v = printDocumentViolation(PrintFile::read(bytes));
    if (v.isEmpty())
        v = printDocumentViolation(PrintFile::read(bytes, Failure{57, QStringLiteral("I/O")}));
    return v;
}

QByteArray odlPages(int pages) {
    QByteArray page;
    for (int i = 1; i <= 14; ++i)
        page += "Header line " + QByteArray::number(i) + " of the document, with some text\r\n";
    for (int i = 1; i <= 40; ++i)
        page += "ART" + QByteArray::number(i) +
                "   Description of the article                 1    12,40    12,40\r\n";
    page += "Totale imponibile   1.234,56\r\nIVA 22%   271,60\r\nTotale   1.506,16\r\n\f\r\n";
    QByteArray b = "@VELARIX^01 ORDINE\r\n^FL:  1\r\n";
    b.reserve(b.size() + page.size() * pages);
    for (int p = 0; p < pages; ++p)
        b += page;
    return b;
}

} // namespace

class TestPrintFileBadInput : public QObject {
    Q_OBJECT

private slots:
    void findings_data();
    void findings();
    void generated_data();
    void generated();
    void tenMegabytes();
};

void TestPrintFileBadInput::findings_data() {
    QTest::addColumn<QString>("path");
    const QDir dir(QStringLiteral(VELARIX_TEST_DATA "/fuzz"));
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    int added = 0;
    for (const QString& n : names) {
        if (n.endsWith(QStringLiteral(".md")))
            continue;
        QTest::newRow(qPrintable(n)) << dir.filePath(n);
        ++added;
    }
    QVERIFY2(added > 0, "no fuzz inputs found");
}

void TestPrintFileBadInput::findings() {
    QFETCH(QString, path);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString v = violationBothWays(f.readAll());
    QVERIFY2(v.isEmpty(), qPrintable(v));
}

void TestPrintFileBadInput::generated_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("bodyLines");
    const int none = int(PrintDocument::Outcome::NoDocument);
    const int complete = int(PrintDocument::Outcome::Complete);

    QByteArray header = "@^01\r\n^\r\n";
    for (int i = 0; i < 14; ++i)
        header += "h\r\n";
    QTest::newRow("one huge line") << QByteArray(20 * 1024 * 1024, 'A') << none << 0;
    // A huge line without CR after the header ends the file: it is no body line.
    QTest::newRow("huge last line") << header + QByteArray(8 * 1024 * 1024, 'B') << complete << 0;
    // ...and a huge body line that does not end the file is cut to 80 characters.
    QTest::newRow("huge body line")
        << header + QByteArray(8 * 1024 * 1024, 'B') + "\r\nend" << complete << 1;
    QTest::newRow("NUL bytes only") << QByteArray(1024 * 1024, '\0') << none << 0;
    QByteArray nul = header;
    for (int i = 0; i < 41; ++i)
        nul += QByteArray("\0\0x\0", 4) + "\r\n";
    QTest::newRow("NUL bytes in body") << nul << complete << 40;
    QTest::newRow("carriage returns only") << QByteArray(1024 * 1024, '\r') << none << 0;
    QTest::newRow("form feeds only") << header + QByteArray(100000, '\f') << complete << 0;
    QByteArray ffLines = header;
    for (int i = 0; i < 10000; ++i)
        ffLines += "\f\r\n";
    QTest::newRow("page breaks only") << ffLines << -1 << -1;
    QByteArray starts;
    for (int i = 0; i < 100000; ++i)
        starts += "@^0\r\n";
    QTest::newRow("start lines only") << starts << none << 0;

    QRandomGenerator rng(20261207);
    for (int round = 0; round < 4; ++round) {
        QByteArray garbage(2 * 1024 * 1024, Qt::Uninitialized);
        for (char& c : garbage)
            c = char(rng.bounded(256));
        if (round % 2)
            garbage.prepend(header); // garbage after a valid start
        QTest::newRow(qPrintable(QStringLiteral("binary garbage %1").arg(round)))
            << garbage << -1 << -1;
    }
}

void TestPrintFileBadInput::generated() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, outcome);
    QFETCH(int, bodyLines);
    const QString v = violationBothWays(bytes);
    QVERIFY2(v.isEmpty(), qPrintable(v));
    const PrintDocument doc = PrintFile::read(bytes);
    if (outcome >= 0)
        QCOMPARE(int(doc.outcome), outcome);
    if (bodyLines >= 0)
        QCOMPARE(doc.body.size(), bodyLines);
}

void TestPrintFileBadInput::tenMegabytes() {
    // About 10 MB of well-formed pages: every body line arrives, numbered on past what 16 bits
    // hold. (Reading speed on larger files is measured in bench/document.)
    const int pages = 10 * 1024 * 1024 / int(odlPages(1).size() - 30);
    const QByteArray bytes = odlPages(pages);
    QVERIFY(bytes.size() >= 10 * 1000 * 1000);
    QVERIFY(pages * 40 > 65535);
    const PrintDocument doc = PrintFile::read(bytes);
    QCOMPARE(doc.outcome, PrintDocument::Outcome::Complete);
    QCOMPARE(doc.pageCount(), pages);
    QCOMPARE(doc.body.size(), qsizetype(pages) * 40);
    QCOMPARE(doc.body.last().number, pages * 40);
    QCOMPARE(doc.totals[2], QStringLiteral("Totale   1.506,16"));
    const QString v = printDocumentViolation(doc);
    QVERIFY2(v.isEmpty(), qPrintable(v));
}

QTEST_GUILESS_MAIN(TestPrintFileBadInput)
#include "tst_printfilebadinput.moc"
