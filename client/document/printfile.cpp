#include "printfile.h"

#include "textcodec.h"

#include <cmath>
#include <cstring>

namespace {

constexpr char FormFeed = '\f';
constexpr char VerticalTab = '\v';

struct Kind {
    const char* code;
    const char* name;
    int header;
    int body;
    int copiesEntry;
};

constexpr Kind Kinds[] = {
    {"01", "ODL", 14, 40, 0},
    {"02", "PRE", 14, 35, 1},
    {"10", "FOM", 16, 24, 3},
    {"11", "FVV", 14, 34, 4},
};

struct Line {
    qsizetype start = 0;
    qsizetype size = 0;
};

// Walks the lines of the buffer without copying them.
class LineCursor {
public:
    LineCursor(const QByteArray& bytes, bool truncated)
        : m_data(bytes.constData()), m_size(bytes.size()), m_truncated(truncated) {}

    // The end of the file; data cut short by a failed read never reaches it.
    bool atEnd() const { return m_pos >= m_size && !m_truncated; }

    // False when there is no further line (reading past the end, or the failed read).
    bool next(Line& line) {
        if (m_pos >= m_size)
            return false;
        const char* from = m_data + m_pos;
        const void* cr = std::memchr(from, '\r', size_t(m_size - m_pos));
        line.start = m_pos;
        if (!cr) {
            line.size = m_size - m_pos;
            m_pos = m_size;
            return true;
        }
        const qsizetype end = static_cast<const char*>(cr) - m_data;
        line.size = end - m_pos;
        m_pos = end + 1;
        if (m_pos < m_size && m_data[m_pos] == '\n')
            ++m_pos;
        return true;
    }

    char first(const Line& line) const { return line.size > 0 ? m_data[line.start] : '\0'; }
    const char* at(qsizetype pos) const { return m_data + pos; }

private:
    const char* m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
    bool m_truncated;
};

// Turns kept lines into text, one line at a time: only what is kept is decoded, straight into
// the string that keeps it. Both code pages give one character per byte, so cutting the bytes
// cuts the text at the same place.
class LineText {
public:
    explicit LineText(const QByteArray& bytes) : m_bytes(bytes) {}

    QString text(qsizetype start, qsizetype size) const {
        return TextCodec::decode(QByteArray::fromRawData(m_bytes.constData() + start, size));
    }

private:
    const QByteArray& m_bytes;
};

bool isBlankBytes(const char* p, qsizetype n) {
    for (qsizetype i = 0; i < n; ++i)
        if (p[i] != ' ')
            return false;
    return true;
}

// Two or three characters with blanks (spaces) removed at both ends.
QByteArray trimmedBlanks(const char* p, qsizetype n) {
    while (n > 0 && *p == ' ') {
        ++p;
        --n;
    }
    while (n > 0 && p[n - 1] == ' ')
        --n;
    return QByteArray(p, n);
}

qsizetype indexIn(const char* p, qsizetype n, const char* needle) {
    const qsizetype k = qsizetype(std::strlen(needle));
    for (qsizetype i = 0; i + k <= n; ++i)
        if (std::memcmp(p + i, needle, size_t(k)) == 0)
            return i;
    return -1;
}

class Reader {
public:
    Reader(const QByteArray& bytes, const Failure& readFailure)
        : m_cursor(bytes, readFailure.number != 0), m_text(bytes), m_failure(readFailure) {
        m_doc.totals = QStringList(PrintFile::TotalsLines, QString());
    }

    PrintDocument run();

private:
    void documentStart();
    bool importPage(); // false when the page was broken off
    bool readHeader(PrintPage& page);
    bool readBody(PrintPage& page);
    bool readTotals(PrintPage& page);
    void broken(PrintPage& page, PrintPage::Break where);
    QString text(const Line& line, qsizetype skip = 0, qsizetype limit = -1);

    LineCursor m_cursor;
    LineText m_text;
    Failure m_failure;
    PrintDocument m_doc;
    Line m_hand;
    int m_pageNumber = 1;
    int m_lineBase = 0;
    bool m_headerStored = false;
    bool m_earlyEnd = false; // ODL and PRE bodies end at a page-break line
};

QString Reader::text(const Line& line, qsizetype skip, qsizetype limit) {
    qsizetype size = line.size - skip;
    if (limit >= 0 && size > limit)
        size = limit;
    return m_text.text(line.start + skip, size);
}

PrintDocument Reader::run() {
    bool passedOver = false;
    while (!m_cursor.atEnd()) {
        if (m_pageNumber == 1 || passedOver) {
            if (!m_cursor.next(m_hand)) {
                // A failed read between pages: what was read so far stands.
                m_doc.readFailure = m_failure;
                break;
            }
        }
        passedOver = false;
        const char c = m_cursor.first(m_hand);
        if (c == '@' && m_doc.kind.isEmpty()) {
            documentStart();
            passedOver = true;
        } else if (m_hand.size > 0 && c != '@' && c != '^' && !m_doc.kind.isEmpty()) {
            if (!importPage())
                return std::move(m_doc);
        } else {
            passedOver = true;
        }
    }
    m_doc.outcome = m_doc.pages.isEmpty() ? PrintDocument::Outcome::NoDocument
                                          : PrintDocument::Outcome::Complete;
    return std::move(m_doc);
}

void Reader::documentStart() {
    const char* p = m_cursor.at(m_hand.start);
    const void* found = m_hand.size > 0 ? std::memchr(p, '^', size_t(m_hand.size)) : nullptr;
    if (!found)
        return; // "@" without "^" is no document-start line
    const qsizetype caret = static_cast<const char*>(found) - p;
    const qsizetype codeSize = std::min<qsizetype>(2, m_hand.size - caret - 1);
    const QByteArray code = trimmedBlanks(p + caret + 1, codeSize);

    const Kind* kind = nullptr;
    for (const Kind& k : Kinds)
        if (code == k.code)
            kind = &k;
    if (kind) {
        m_doc.kind = QString::fromLatin1(kind->name);
        m_doc.code = QString::fromLatin1(kind->code);
        m_doc.headerLineCount = kind->header;
        m_doc.bodyLineCount = kind->body;
        m_doc.copiesEntry = kind->copiesEntry;
        m_earlyEnd = code == "01" || code == "02";
    }
    m_doc.startKinds.append(m_doc.kind.isEmpty() ? QString() : m_doc.kind);

    // The line after a start line is consumed whatever it holds. A failed read here is noticed
    // at the next read of the main loop.
    if (!m_cursor.next(m_hand)) {
        m_hand = Line{m_hand.start + m_hand.size, 0};
        return;
    }
    if (m_cursor.first(m_hand) != '^' || !kind)
        return;
    const char* c = m_cursor.at(m_hand.start);
    const qsizetype fl = indexIn(c, m_hand.size, "FL:");
    const qsizetype from = fl < 0 ? 2 : fl + 3;
    const qsizetype size = std::max<qsizetype>(0, std::min<qsizetype>(3, m_hand.size - from));
    const QByteArray digits = trimmedBlanks(c + std::min(from, m_hand.size), size);
    m_doc.branch = int(PrintFile::numericValue(QString::fromLatin1(digits)));
}

void Reader::broken(PrintPage& page, PrintPage::Break where) {
    page.broken = where;
    page.bodyCount = int(m_doc.body.size()) - page.firstBody;
    m_doc.pages.append(page);
    m_doc.outcome = PrintDocument::Outcome::BrokenPage;
    // With data cut short by a failed read, every failed read is that failure.
    m_doc.readFailure = m_failure;
}

bool Reader::importPage() {
    PrintPage page;
    page.number = m_pageNumber;
    page.firstBody = int(m_doc.body.size());
    if (!readHeader(page) || !readBody(page) || !readTotals(page))
        return false;
    m_doc.pages.append(page);
    return true;
}

bool Reader::readHeader(PrintPage& page) {
    for (int i = 1; i <= m_doc.headerLineCount; ++i) {
        if (!m_headerStored) {
            const qsizetype skip = m_cursor.first(m_hand) == VerticalTab ? 1 : 0;
            m_doc.header.append(text(m_hand, skip));
        }
        // The header needs a line after it: a file that ends within it is not a whole page.
        if (!m_cursor.next(m_hand)) {
            m_headerStored = true;
            broken(page, PrintPage::Break::Header);
            return false;
        }
    }
    m_headerStored = true;
    return true;
}

bool Reader::readBody(PrintPage& page) {
    static const QString filler(PrintFile::BodyWidth, QLatin1Char(' '));
    int i = 1;
    for (; i <= m_doc.bodyLineCount; ++i) {
        // The line that ends the file is never a body line.
        if (m_cursor.atEnd())
            break;
        m_doc.body.append({i + m_lineBase, text(m_hand, 0, PrintFile::BodyWidth)});
        if (!m_cursor.next(m_hand)) {
            broken(page, PrintPage::Break::Body);
            return false;
        }
        if (m_earlyEnd && m_cursor.first(m_hand) == FormFeed) {
            while (i < m_doc.bodyLineCount) {
                ++i;
                m_doc.body.append({i + m_lineBase, filler});
            }
        }
        if (m_cursor.atEnd())
            break;
    }
    m_lineBase += i - 1;
    page.bodyCount = int(m_doc.body.size()) - page.firstBody;
    return true;
}

bool Reader::readTotals(PrintPage& page) {
    int j = 1;
    while (!m_cursor.atEnd()) {
        if (m_cursor.first(m_hand) == FormFeed) {
            ++m_pageNumber;
            const Line rest{m_hand.start + 1, m_hand.size - 1};
            if (!isBlankBytes(m_cursor.at(rest.start), rest.size)) {
                m_hand = rest;
                return true;
            }
            if (!m_cursor.next(m_hand)) {
                broken(page, PrintPage::Break::Totals);
                return false;
            }
            return true;
        }
        const char c = m_cursor.first(m_hand);
        if (j <= PrintFile::TotalsLines && c != '@' && c != '^')
            m_doc.totals[j - 1] = text(m_hand);
        // A failed read within the totals stops the document: its amounts may be missing.
        if (!m_cursor.next(m_hand)) {
            broken(page, PrintPage::Break::Totals);
            return false;
        }
        ++j;
    }
    return true;
}

int roundHalfEven(double v) {
    return int(std::nearbyint(v));
}

} // namespace

PrintDocument PrintFile::read(const QByteArray& bytes, const Failure& readFailure) {
    return Reader(bytes, readFailure).run();
}

int PrintFile::companyCodeFromPath(const QString& path) {
    const qsizetype end = path.size() - 4;
    const qsizetype start = std::max<qsizetype>(0, path.size() - 7);
    const qint64 value = end > start ? numericValue(QStringView(path).mid(start, end - start)) : 0;
    return value == 0 ? 1 : int(value);
}

QString PrintFile::reportName(const QString& kind, int company, int branch, bool perCompany,
                              bool perBranch) {
    if (kind.isEmpty())
        return {};
    auto padded = [](int n, int width) {
        const QString digits =
            QString::number(std::abs(qint64(n))).rightJustified(width, QLatin1Char('0'));
        return n < 0 ? QLatin1Char('-') + digits : digits;
    };
    QString name = kind;
    if (perCompany)
        name += QLatin1Char('_') + padded(company, 3);
    if (perBranch && branch > 0)
        name += QLatin1Char('-') + padded(branch, 2);
    return name;
}

qint64 PrintFile::numericValue(QStringView text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipBlanks = [&] {
        while (i < n && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n'))
            ++i;
    };
    skipBlanks();
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    double value = 0;
    double scale = 0; // 0 while in the whole part
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c == u' ' || c == u'\t' || c == u'\n')
            continue;
        if (c == u'.' && scale == 0) {
            scale = 1;
            continue;
        }
        if (c < u'0' || c > u'9')
            break;
        const int d = c.unicode() - u'0';
        if (scale == 0) {
            value = value * 10 + d;
        } else {
            scale /= 10;
            value += d * scale;
        }
        if (value > 1e15)
            break; // far beyond any code or count; keeps the value exact
    }
    const double whole = std::nearbyint(negative ? -value : value);
    return qint64(whole);
}

bool PrintFile::wholeNumber(const QString& text, int* value) {
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < -32768.5 || v > 32767.5)
        return false;
    *value = roundHalfEven(v);
    return true;
}
