#include "printfilerules.h"

#include "printfile.h"
#include "textcodec.h"
#include "wiremessages.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>

namespace PrintFileRules {

bool isPending(const QString& name) {
    return name.endsWith(QLatin1String(".PRN"), Qt::CaseSensitive);
}

bool isSetAside(const QString& name) {
    return name.endsWith(QLatin1String(".ERR"), Qt::CaseSensitive);
}

double endingValue(const QString& name) {
    const QString tail = name.size() > 3 ? name.right(3) : name;
    // Blanks anywhere are skipped, as the management program's own number reader does.
    QString text;
    for (QChar c : tail) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t'))
            text.append(c);
    }
    int i = 0;
    const int n = int(text.size());
    double sign = 1.0;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        if (text[i] == QLatin1Char('-'))
            sign = -1.0;
        ++i;
    }
    auto isDigit = [&](int k) {
        return k < n && text[k] >= QLatin1Char('0') && text[k] <= QLatin1Char('9');
    };
    double value = 0.0;
    bool digits = false;
    while (isDigit(i)) {
        value = value * 10.0 + (text[i].unicode() - '0');
        digits = true;
        ++i;
    }
    if (i < n && text[i] == QLatin1Char('.')) {
        ++i;
        double scale = 0.1;
        while (isDigit(i)) {
            value += scale * (text[i].unicode() - '0');
            scale /= 10.0;
            digits = true;
            ++i;
        }
    }
    if (!digits)
        return 0.0;
    if (i < n && (text[i].toUpper() == QLatin1Char('E') || text[i].toUpper() == QLatin1Char('D'))) {
        int k = i + 1;
        int expSign = 1;
        if (k < n && (text[k] == QLatin1Char('+') || text[k] == QLatin1Char('-'))) {
            expSign = text[k] == QLatin1Char('-') ? -1 : 1;
            ++k;
        }
        int exponent = 0;
        bool expDigits = false;
        while (isDigit(k)) {
            exponent = exponent * 10 + (text[k].unicode() - '0');
            expDigits = true;
            ++k;
        }
        if (expDigits)
            value *= std::pow(10.0, expSign * exponent);
    }
    return sign * value;
}

QString trimBlanks(const QString& text) {
    return Wire::trimBlanks(text);
}

QString comparable(const QString& name) {
    return trimBlanks(name).toUpper();
}

bool sameWorkstation(const QString& a, const QString& b) {
    return comparable(a) == comparable(b);
}

QString workstationName(const QString& line) {
    const qsizetype p = line.indexOf(QLatin1String("PC:"));
    if (p < 0)
        return {};
    // The first blank at or after "PC:" ends the name; it can only lie after the colon.
    const qsizetype q = line.indexOf(QLatin1Char(' '), p);
    if (q > p + 2)
        return trimBlanks(line.mid(p + 3, q - p - 2));
    return trimBlanks(line.mid(p + 3));
}

WorkstationLine WorkstationLineReader::readOn(const QString& localPath, QDeadlineTimer deadline) {
    WorkstationLine result;
    QFile file;
    const Failure open = openRegularFile(file, localPath, &result.notRegular);
    if (open) {
        result.status = open.number == ErrorNumber::FileNotFound
                            ? WorkstationLine::Status::NotFound
                            : WorkstationLine::Status::Unreadable;
        result.why = open.description;
        return result;
    }
    if (m_offset > 0 && !file.seek(m_offset)) {
        result.status = WorkstationLine::Status::Unreadable;
        result.why = QStringLiteral("errore di lettura");
        return result;
    }
    constexpr qint64 Chunk = 64 * 1024;
    while (m_offset < LineSearchLimit) {
        const QByteArray chunk = file.read(qMin(Chunk, LineSearchLimit - m_offset));
        if (chunk.isEmpty() && file.error() != QFileDevice::NoError) {
            result.status = WorkstationLine::Status::Unreadable;
            result.why = QStringLiteral("errore di lettura");
            return result;
        }
        if (chunk.isEmpty())
            break;
        m_offset += chunk.size();
        if (take(chunk))
            return found(m_searched);
        if (deadline.hasExpired() && !file.atEnd()) {
            result.status = WorkstationLine::Status::Reading;
            return result;
        }
    }
    if (m_pcAt >= 0)
        return found(m_line.size()); // its line ends with the file or the limit
    result.status = WorkstationLine::Status::NoLine;
    result.cutShort = m_offset >= LineSearchLimit;
    return result;
}

// Looks at the new bytes only; true when the line holding "PC:" ended (at m_searched).
bool WorkstationLineReader::take(const QByteArray& chunk) {
    m_line.append(chunk);
    qsizetype lineStart = 0;
    for (qsizetype i = m_searched; i < m_line.size(); ++i) {
        const char c = m_line.at(i);
        if (c == '\r' || c == '\n') {
            if (m_pcAt >= 0) {
                m_searched = i;
                m_line.remove(0, lineStart);
                m_pcAt -= lineStart;
                m_searched -= lineStart;
                return true;
            }
            lineStart = i + 1;
        } else if (m_pcAt < 0 && c == ':' && i - lineStart >= 2 && m_line.at(i - 1) == 'C' &&
                   m_line.at(i - 2) == 'P') {
            m_pcAt = i - 2;
        }
    }
    // Only the unfinished line is kept, dropped once per piece.
    m_line.remove(0, lineStart);
    if (m_pcAt >= 0)
        m_pcAt -= lineStart;
    m_searched = m_line.size();
    return false;
}

WorkstationLine WorkstationLineReader::found(qsizetype end) {
    WorkstationLine result;
    result.status = WorkstationLine::Status::Found;
    result.name = workstationName(TextCodec::decode(m_line.left(end)));
    return result;
}

WorkstationLine readWorkstationLine(const QString& localPath) {
    return WorkstationLineReader().readOn(localPath);
}

bool holdsWholeDocument(const QString& localPath) {
    QFile file;
    bool notRegular = false;
    if (openRegularFile(file, localPath, &notRegular) || file.size() > WholeDocumentLimit)
        return false;
    const QByteArray bytes = file.read(WholeDocumentLimit + 1);
    const bool lineEnded = bytes.endsWith('\r') || bytes.endsWith('\n');
    if (bytes.size() != file.size() || !lineEnded || !bytes.contains("PC:"))
        return false;
    const PrintDocument document = PrintFile::read(bytes);
    return document.outcome == PrintDocument::Outcome::Complete && !document.kind.isEmpty() &&
           document.pages.constLast().bodyCount == document.bodyLineCount;
}

} // namespace PrintFileRules
