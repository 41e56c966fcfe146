// The print-file reader against the golden fixtures of tests/data/printfiles, plus the rules that
// need no file: company code, report name, numbers, and data cut short by a failed read.

#include "printfile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

namespace {

const QString FixtureDir = QStringLiteral(VELARIX_TEST_DATA "/printfiles");

QString unescape(const QString& quoted, QString* error) {
    QString out;
    for (qsizetype i = 0; i < quoted.size(); ++i) {
        const QChar c = quoted[i];
        if (c != u'\\') {
            out += c;
            continue;
        }
        if (++i >= quoted.size()) {
            *error = QStringLiteral("dangling backslash");
            return {};
        }
        switch (quoted[i].unicode()) {
        case 'f':
            out += u'\f';
            break;
        case 'v':
            out += u'\v';
            break;
        case 't':
            out += u'\t';
            break;
        case 'n':
            out += u'\n';
            break;
        case '0':
            out += QChar(0);
            break;
        case '\\':
            out += u'\\';
            break;
        case '"':
            out += u'"';
            break;
        case 'u':
            out += QChar(quoted.mid(i + 1, 4).toUShort(nullptr, 16));
            i += 4;
            break;
        default:
            *error = QStringLiteral("unknown escape");
            return {};
        }
    }
    return out;
}

// What an .expected file says, in the reader's own terms.
struct Expected {
    QString outcome;
    QString kind;
    int branch = 0;
    QString starts;
    QString pages;
    QMap<int, QString> header;
    QMap<int, QString> body;
    QMap<int, QString> totals;
};

bool parseExpected(const QString& path, Expected* e, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = f.errorString();
        return false;
    }
    static const QRegularExpression rowRe(
        QStringLiteral(R"re(^(header|body|totals) (\d+)(?:\.\.(\d+))? (?:"(.*)"|(filler))$)re"));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QString key = line.section(u' ', 0, 0);
        const QString rest = line.section(u' ', 1);
        if (key == u"outcome") {
            e->outcome = rest;
        } else if (key == u"kind") {
            e->kind = rest == u"-" ? QString() : rest;
        } else if (key == u"branch") {
            e->branch = rest.toInt();
        } else if (key == u"starts") {
            e->starts = rest;
        } else if (key == u"pages") {
            e->pages = rest;
        } else {
            const auto m = rowRe.match(line);
            if (!m.hasMatch()) {
                *error = QStringLiteral("cannot read: ") + line;
                return false;
            }
            const int from = m.captured(2).toInt();
            const int to = m.captured(3).isEmpty() ? from : m.captured(3).toInt();
            QString text =
                m.captured(5) == u"filler" ? QString(80, u' ') : unescape(m.captured(4), error);
            if (!error->isEmpty())
                return false;
            QMap<int, QString>& target = key == u"header" ? e->header
                                         : key == u"body" ? e->body
                                                          : e->totals;
            for (int n = from; n <= to; ++n) {
                QString t = text;
                t.replace(QStringLiteral("%n"), QStringLiteral("%1").arg(n, 2, 10, QChar(u'0')));
                t.replace(QStringLiteral("%k"),
                          QStringLiteral("%1").arg(n - from + 1, 2, 10, QChar(u'0')));
                target.insert(n, t);
            }
        }
    }
    return true;
}

QString outcomeName(PrintDocument::Outcome o) {
    switch (o) {
    case PrintDocument::Outcome::NoDocument:
        return QStringLiteral("NoDocument");
    case PrintDocument::Outcome::BrokenPage:
        return QStringLiteral("BrokenPage");
    case PrintDocument::Outcome::Complete:
        return QStringLiteral("Complete");
    }
    return {};
}

QString pagesText(const PrintDocument& doc) {
    if (doc.pages.isEmpty())
        return QStringLiteral("-");
    QStringList parts;
    for (const PrintPage& p : doc.pages) {
        QString s = QStringLiteral("%1:%2").arg(p.number).arg(p.bodyCount);
        switch (p.broken) {
        case PrintPage::Break::None:
            break;
        case PrintPage::Break::Header:
            s += QStringLiteral(":Header");
            break;
        case PrintPage::Break::Body:
            s += QStringLiteral(":Body");
            break;
        case PrintPage::Break::Totals:
            s += QStringLiteral(":Totals");
            break;
        }
        parts << s;
    }
    return parts.join(u' ');
}

QString startsText(const PrintDocument& doc) {
    if (doc.startKinds.isEmpty())
        return QStringLiteral("-");
    QStringList parts;
    for (const QString& k : doc.startKinds)
        parts << (k.isEmpty() ? QStringLiteral("?") : k);
    return parts.join(u',');
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// A two-page ODL file written in the test: 14 header, 40 body, 3 totals lines per page.
QByteArray twoPageOdl() {
    QByteArray b = "@^01\r\n^FL:  2\r\n";
    for (int p = 1; p <= 2; ++p) {
        for (int i = 1; i <= 14; ++i)
            b += "H" + QByteArray::number(i) + "\r\n";
        for (int i = 1; i <= 40; ++i)
            b += "P" + QByteArray::number(p) + "B" + QByteArray::number(i) + "\r\n";
        for (int i = 1; i <= 3; ++i)
            b += "P" + QByteArray::number(p) + "T" + QByteArray::number(i) + "\r\n";
        b += "\f\r\n";
    }
    return b;
}

// A second reading of the same file, written the long way round: the lines in a list, one
// "line input" at a time, the loops of the import routine step by step. The reader must agree
// with it on every document.
struct LongWayRound {
    QList<QByteArray> lines;
    qsizetype next = 0;

    bool eof() const { return next >= lines.size(); }
    bool lineInput(QByteArray& hand) {
        if (eof())
            return false; // reading past the end fails and leaves the line in hand as it was
        hand = lines[next++];
        return true;
    }

    QString kind;
    int branch = 0;
    QStringList starts;
    QStringList header;
    QList<QPair<int, QByteArray>> body;
    QList<QByteArray> totals = QList<QByteArray>(14);
    QStringList pages;
    QString outcome = QStringLiteral("NoDocument");

    // Where the reading stands, shared by the steps below.
    QByteArray hand;
    QByteArray code;
    int headerCount = 0, bodyCount = 0, pageNumber = 1, lineBase = 0;
    bool headerStored = false;

    void run() {
        bool passed = false;
        while (!eof()) {
            if (pageNumber == 1 || passed)
                lineInput(hand);
            passed = false;
            if (hand.startsWith('@') && kind.isEmpty()) {
                if (hand.indexOf('^') >= 0)
                    readKind();
            } else if (!hand.isEmpty() && !hand.startsWith('@') && !hand.startsWith('^') &&
                       !kind.isEmpty()) {
                if (!readHeader())
                    return;
                readBody();
                readTotals();
                outcome = QStringLiteral("Complete");
            } else {
                passed = true;
            }
        }
    }

    // "@...^NN": the document kind and its line counts, then the branch line.
    void readKind() {
        code = hand.mid(hand.indexOf('^') + 1, 2).trimmed();
        static const QMap<QByteArray, QString> kinds{
            {"01", "ODL"}, {"02", "PRE"}, {"10", "FOM"}, {"11", "FVV"}};
        if (kinds.contains(code)) {
            kind = kinds[code];
            headerCount = code == "10" ? 16 : 14;
            bodyCount = code == "01" ? 40 : code == "02" ? 35 : code == "10" ? 24 : 34;
        }
        starts << kind;
        const bool known = !kind.isEmpty();
        lineInput(hand);
        if (known && hand.startsWith('^')) {
            const qsizetype f = hand.indexOf("FL:");
            branch = hand.mid(f < 0 ? 2 : f + 3, 3).trimmed().toInt();
        }
    }

    // The header lines, kept from the first page only; false when the file ends inside them.
    bool readHeader() {
        for (int i = 1; i <= headerCount; ++i) {
            if (!headerStored)
                header << QString::fromLatin1(hand.startsWith('\v') ? hand.mid(1) : hand);
            if (!lineInput(hand)) {
                pages << QStringLiteral("%1:0:Header").arg(pageNumber);
                outcome = QStringLiteral("BrokenPage");
                return false;
            }
        }
        headerStored = true;
        return true;
    }

    // The body lines of one page, numbered on from the previous page; a form feed on a work
    // order or estimate fills the page with blank lines.
    void readBody() {
        const qsizetype before = body.size();
        int i = 1;
        while (i <= bodyCount) {
            if (i == 1 && eof())
                break; // the line that ends the file is no body line
            body.append({i + lineBase, hand.left(80)});
            lineInput(hand);
            if (hand.startsWith('\f') && (code == "01" || code == "02"))
                while (i < bodyCount)
                    body.append({++i + lineBase, QByteArray(80, ' ')});
            if (eof())
                break;
            ++i;
        }
        lineBase += i - 1;
        pages << QStringLiteral("%1:%2").arg(pageNumber).arg(body.size() - before);
    }

    // The totals up to the form feed that starts the next page.
    void readTotals() {
        int j = 1;
        while (!eof()) {
            if (hand.startsWith('\f')) {
                hand = hand.mid(1);
                ++pageNumber;
                if (hand.trimmed().isEmpty() && !hand.contains('\t'))
                    lineInput(hand);
                break;
            }
            if (j < 15 && !hand.startsWith('@') && !hand.startsWith('^'))
                totals[j - 1] = hand;
            lineInput(hand);
            ++j;
        }
    }
};

QByteArray randomFile(QRandomGenerator& rng, QList<QByteArray>* lines) {
    static const QList<QByteArray> rare{
        "@^01",  "@^02",  "@^10",   "@^11", "@^05",    "@ ^ 1",      "@no caret", "^FL:  2",
        "^FL:7", "^ab 3", "^",      "",     "",        "  ",         "\f",        "\f",
        "\f  ",  "\fABC", "\f@^01", "\vvt", "\v\v2vt", "@^01 again", "^ctl"};
    const int count = int(rng.bounded(400));
    QByteArray bytes;
    for (int n = 0; n < count; ++n) {
        QByteArray line;
        if (rng.bounded(100) < 12)
            line = rare[rng.bounded(int(rare.size()))];
        else
            line = "text " + QByteArray::number(n) +
                   (rng.bounded(20) == 0 ? QByteArray(100, 'x') : QByteArray());
        lines->append(line);
        bytes += line + "\r\n";
    }
    return bytes;
}

} // namespace

class TestPrintFile : public QObject {
    Q_OBJECT

private slots:
    void fixtures_data();
    void fixtures();
    void shippedSamples_data();
    void shippedSamples();

    void companyCode_data();
    void companyCode();
    void reportName_data();
    void reportName();
    void wholeNumber_data();
    void wholeNumber();

    void failedRead_data();
    void failedRead();
    void emptyAndGarbage();
    void agreesWithLineByLineReading();
};

void TestPrintFile::fixtures_data() {
    QTest::addColumn<QString>("name");
    const QStringList names =
        QDir(FixtureDir).entryList({QStringLiteral("*.prn")}, QDir::Files, QDir::Name);
    QVERIFY2(names.size() >= 20, qPrintable(FixtureDir));
    for (const QString& n : names) {
        const QString base = n.chopped(4);
        QTest::newRow(qPrintable(base)) << base;
    }
}

void TestPrintFile::fixtures() {
    QFETCH(QString, name);
    Expected e;
    QString error;
    QVERIFY2(parseExpected(FixtureDir + u'/' + name + QStringLiteral(".expected"), &e, &error),
             qPrintable(error));

    const PrintDocument doc = PrintFile::read(readBytes(FixtureDir + u'/' + name + ".prn"));
    QCOMPARE(outcomeName(doc.outcome), e.outcome);
    QCOMPARE(doc.kind, e.kind);
    QCOMPARE(doc.branch, e.branch);
    QCOMPARE(startsText(doc), e.starts);
    QCOMPARE(pagesText(doc), e.pages);

    QCOMPARE(doc.header.size(), e.header.size());
    for (int i = 0; i < doc.header.size(); ++i)
        QCOMPARE(doc.header[i], e.header.value(i + 1, QStringLiteral("<missing>")));

    QCOMPARE(doc.body.size(), e.body.size());
    for (int i = 0; i < doc.body.size(); ++i) {
        QCOMPARE(doc.body[i].number, i + 1); // consecutive from 1
        QCOMPARE(doc.body[i].text, e.body.value(i + 1, QStringLiteral("<missing>")));
    }

    QCOMPARE(doc.totals.size(), PrintFile::TotalsLines);
    for (int j = 0; j < PrintFile::TotalsLines; ++j)
        QCOMPARE(doc.totals[j], e.totals.value(j + 1));
}

void TestPrintFile::shippedSamples_data() {
    QTest::addColumn<QString>("path");
    const QDir examples(QStringLiteral(VELARIX_SOURCE_DIR "/examples"));
    for (const QString& n : examples.entryList({QStringLiteral("*.0??")}, QDir::Files))
        QTest::newRow(qPrintable(n)) << examples.filePath(n);
}

// The demo's samples are read whole: the conditions of sale, their last line, are stored.
void TestPrintFile::shippedSamples() {
    QFETCH(QString, path);
    const PrintDocument doc = PrintFile::read(readBytes(path));
    QCOMPARE(outcomeName(doc.outcome), QStringLiteral("Complete"));
    QVERIFY2(doc.totals.indexOf(QRegularExpression(QStringLiteral("Condizioni: .*"))) > 0,
             qPrintable(doc.totals.join(u'|')));
}

void TestPrintFile::companyCode_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("code");
    QTest::newRow("012") << "\\\\srv\\Velarix\\Stampe\\X.012.PRN" << 12;
    QTest::newRow("000 becomes 1") << "\\\\srv\\Velarix\\Stampe\\X.000.PRN" << 1;
    QTest::newRow("letters give 1") << "C:\\Stampe\\X.AB1.PRN" << 1;
    QTest::newRow("digits then letter") << "X.1A2.PRN" << 1;
    QTest::newRow("blank inside") << "X.1 2.PRN" << 12;
    QTest::newRow("leading blanks") << "X.  7.PRN" << 7;
    QTest::newRow("007") << "/mnt/velarix/Stampe/DOC.007.PRN" << 7;
    QTest::newRow("short path") << "1.PRN" << 1;
    QTest::newRow("empty") << "" << 1;
}

void TestPrintFile::companyCode() {
    QFETCH(QString, path);
    QFETCH(int, code);
    QCOMPARE(PrintFile::companyCodeFromPath(path), code);
}

void TestPrintFile::reportName_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("company");
    QTest::addColumn<int>("branch");
    QTest::addColumn<bool>("perCompany");
    QTest::addColumn<bool>("perBranch");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "ODL" << 1 << 2 << false << false << "ODL";
    QTest::newRow("company") << "ODL" << 1 << 2 << true << false << "ODL_001";
    QTest::newRow("both") << "ODL" << 1 << 2 << true << true << "ODL_001-02";
    QTest::newRow("branch only") << "ODL" << 1 << 2 << false << true << "ODL-02";
    QTest::newRow("branch 0") << "FOM" << 2 << 0 << true << true << "FOM_002";
    QTest::newRow("branch 12") << "FVV" << 7 << 12 << true << true << "FVV_007-12";
    QTest::newRow("unknown kind with branch") << "" << 1 << 3 << true << true << "";
}

void TestPrintFile::reportName() {
    QFETCH(QString, kind);
    QFETCH(int, company);
    QFETCH(int, branch);
    QFETCH(bool, perCompany);
    QFETCH(bool, perBranch);
    QFETCH(QString, name);
    QCOMPARE(PrintFile::reportName(kind, company, branch, perCompany, perBranch), name);
}

void TestPrintFile::wholeNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("1") << "1" << true << 1;
    QTest::newRow("blanks") << " 3 " << true << 3;
    QTest::newRow("zero") << "0" << true << 0;
    QTest::newRow("half to even") << "2.5" << true << 2;
    QTest::newRow("comma") << "3,5" << true << 4;
    QTest::newRow("letters") << "abc" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("too big") << "40000" << false << 0;
}

void TestPrintFile::wholeNumber() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    int v = -99;
    QCOMPARE(PrintFile::wholeNumber(text, &v), ok);
    if (ok)
        QCOMPARE(v, value);
}

void TestPrintFile::failedRead_data() {
    // Where the data of the two-page file stops, and what the reader must make of it.
    QTest::addColumn<int>("cutAfterLine");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("pages");
    QTest::addColumn<int>("bodyLines");
    const int page = 14 + 40 + 3 + 1;
    QTest::newRow("in header of page 1") << 2 + 5 << "BrokenPage"
                                         << "1:0:Header" << 0;
    QTest::newRow("in body of page 1") << 2 + 14 + 10 << "BrokenPage"
                                       << "1:10:Body" << 10;
    QTest::newRow("in totals of page 1") << 2 + 14 + 40 + 1 << "BrokenPage"
                                         << "1:40:Totals" << 40;
    // Cut right after the blank page break: the read that follows it fails.
    QTest::newRow("after page break") << 2 + page << "BrokenPage"
                                      << "1:40:Totals" << 40;
    QTest::newRow("before the first page") << 1 << "NoDocument"
                                           << "-" << 0;
    QTest::newRow("in header of page 2") << 2 + page + 3 << "BrokenPage"
                                         << "1:40 2:0:Header" << 40;
}

void TestPrintFile::failedRead() {
    QFETCH(int, cutAfterLine);
    QFETCH(QString, outcome);
    QFETCH(QString, pages);
    QFETCH(int, bodyLines);
    const QByteArray all = twoPageOdl();
    qsizetype pos = 0;
    for (int i = 0; i < cutAfterLine; ++i)
        pos = all.indexOf('\n', pos) + 1;
    const Failure failure{57, QStringLiteral("Device I/O error")};
    const PrintDocument doc = PrintFile::read(all.left(pos), failure);
    QCOMPARE(outcomeName(doc.outcome), outcome);
    QCOMPARE(pagesText(doc), pages);
    QCOMPARE(doc.body.size(), bodyLines);
    QCOMPARE(doc.readFailure.number, 57);
    // Never mistaken for a whole file.
    QVERIFY(doc.outcome != PrintDocument::Outcome::Complete);

    const PrintDocument whole = PrintFile::read(all);
    QCOMPARE(outcomeName(whole.outcome), QStringLiteral("Complete"));
    QCOMPARE(whole.readFailure.number, 0);
}

void TestPrintFile::emptyAndGarbage() {
    PrintDocument doc = PrintFile::read(QByteArray());
    QCOMPARE(doc.outcome, PrintDocument::Outcome::NoDocument);
    QVERIFY(doc.startKinds.isEmpty());

    doc = PrintFile::read(QByteArray("\r\n\r\n\r"));
    QCOMPARE(doc.outcome, PrintDocument::Outcome::NoDocument);

    // A caret at the very end of a start line: the code is empty, no kind.
    doc = PrintFile::read(QByteArray("@^\r\n^FL:\r\nline\r\n"));
    QCOMPARE(doc.outcome, PrintDocument::Outcome::NoDocument);
    QCOMPARE(doc.startKinds, QStringList{QString()});
    // "FL:" at the end of the control line gives branch 0.
    doc = PrintFile::read(QByteArray("@^02\r\n^FL:\r\n"));
    QCOMPARE(doc.kind, QStringLiteral("PRE"));
    QCOMPARE(doc.branch, 0);
}

void TestPrintFile::agreesWithLineByLineReading() {
    QRandomGenerator rng(7);
    int documents = 0;
    for (int round = 0; round < 3000; ++round) {
        LongWayRound ref;
        const QByteArray bytes = randomFile(rng, &ref.lines);
        ref.run();
        const PrintDocument doc = PrintFile::read(bytes);
        const QByteArray where = "round " + QByteArray::number(round);
        QVERIFY2(outcomeName(doc.outcome) == ref.outcome, where.constData());
        QVERIFY2(doc.kind == ref.kind && doc.branch == ref.branch, where.constData());
        QVERIFY2(doc.startKinds == ref.starts, where.constData());
        QVERIFY2(pagesText(doc) ==
                     (ref.pages.isEmpty() ? QStringLiteral("-") : ref.pages.join(u' ')),
                 where.constData());
        QVERIFY2(doc.header == ref.header, where.constData());
        QVERIFY2(doc.body.size() == ref.body.size(), where.constData());
        for (qsizetype i = 0; i < doc.body.size(); ++i) {
            QVERIFY2(doc.body[i].number == ref.body[i].first, where.constData());
            QVERIFY2(doc.body[i].text == QString::fromLatin1(ref.body[i].second),
                     where.constData());
        }
        for (int j = 0; j < 14; ++j)
            QVERIFY2(doc.totals[j] == QString::fromLatin1(ref.totals[j]), where.constData());
        documents += doc.pages.isEmpty() ? 0 : 1;
    }
    QVERIFY(documents > 300); // the random files do reach pages
}

QTEST_GUILESS_MAIN(TestPrintFile)
#include "tst_printfile.moc"
