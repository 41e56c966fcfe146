#include "printfilerules.h"

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

namespace {
qsizetype lineEndFrom(const QByteArray& bytes, qsizetype from) {
    for (qsizetype i = from; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n')
            return i;
    }
    return -1;
}

qsizetype lineStartBefore(const QByteArray& bytes, qsizetype pos) {
    for (qsizetype i = pos - 1; i >= 0; --i) {
        if (bytes[i] == '\r' || bytes[i] == '\n')
            return i + 1;
    }
    return 0;
}
} // namespace

WorkstationLine readWorkstationLine(const QString& localPath) {
    WorkstationLine result;
    const QFileInfo info(localPath);
    if (!info.exists() && !info.isSymLink()) {
        result.status = WorkstationLine::Status::NotFound;
        return result;
    }
    if (info.isDir()) {
        result.status = WorkstationLine::Status::Unreadable;
        return result;
    }
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = QFile::exists(localPath) ? WorkstationLine::Status::Unreadable
                                                 : WorkstationLine::Status::NotFound;
        return result;
    }
    // Reads only until the workstation line, keeping no more than the line being looked at.
    constexpr qint64 Chunk = 16 * 1024;
    QByteArray buffer;
    qsizetype searchFrom = 0;
    qsizetype found = -1;
    for (;;) {
        const QByteArray chunk = file.read(Chunk);
        if (chunk.isEmpty() && file.error() != QFileDevice::NoError) {
            result.status = WorkstationLine::Status::Unreadable;
            return result;
        }
        const bool atEnd = chunk.isEmpty();
        buffer.append(chunk);
        if (found < 0) {
            found = buffer.indexOf("PC:", searchFrom);
            if (found < 0) {
                // Keep the unfinished last line (and two bytes of a "PC:" cut in half).
                const qsizetype start = lineStartBefore(buffer, buffer.size());
                buffer.remove(0, start);
                searchFrom = qMax<qsizetype>(0, buffer.size() - 2);
                if (atEnd)
                    break;
                continue;
            }
        }
        const qsizetype end = lineEndFrom(buffer, found + 3);
        if (end >= 0 || atEnd) {
            const qsizetype start = lineStartBefore(buffer, found);
            const QByteArray line = buffer.mid(start, (end >= 0 ? end : buffer.size()) - start);
            result.status = WorkstationLine::Status::Found;
            result.name = workstationName(TextCodec::decode(line));
            return result;
        }
    }
    result.status = WorkstationLine::Status::NoLine;
    return result;
}

} // namespace PrintFileRules
