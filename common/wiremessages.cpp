#include "wiremessages.h"

#include "textcodec.h"

namespace Wire {

namespace {
const QString RegistrationKeyword = QStringLiteral("PC:");
const QString CompletionKeyword = QStringLiteral("DEL:");
const QString PrintRequestKeyword = QStringLiteral("DIR:");
const QString FailureKeyword = QStringLiteral("ERR:");
const QChar FieldSeparator = QLatin1Char('|');
const QChar Blank = QLatin1Char(' ');

QString cutBeforeCr(const QString& text) {
    const qsizetype cr = text.indexOf(QLatin1Char(CR));
    return cr < 0 ? text : text.left(cr);
}
} // namespace

QString registration(const QString& workstation) {
    return RegistrationKeyword + workstation + QLatin1Char(CR);
}

QString versionReplyText(int revision) {
    return QStringLiteral("Velarix 1.0 rev. ") + QString::number(revision);
}

QString versionReply(int revision) {
    return versionReplyText(revision) + QLatin1Char(CR);
}

QString printRequest(const QString& path) {
    return PrintRequestKeyword + path + QLatin1Char(CR);
}

QString completion(const QString& path) {
    return CompletionKeyword + path + QLatin1Char(CR);
}

QString failureReport(const FailureReport& report) {
    QString reason = report.reason;
    for (QChar& c : reason) {
        if (c == FieldSeparator || c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return FailureKeyword + QString::number(report.number) + FieldSeparator + reason.simplified() +
           FieldSeparator + report.path + QLatin1Char(CR);
}

bool isFailureReport(const QString& text) {
    return text.startsWith(FailureKeyword, Qt::CaseSensitive);
}

bool parseFailureReport(const QString& text, FailureReport* report) {
    if (!isFailureReport(text))
        return false;
    const QString payload = cutBeforeCr(text.mid(FailureKeyword.size()));
    const qsizetype first = payload.indexOf(FieldSeparator);
    const qsizetype second = first < 0 ? -1 : payload.indexOf(FieldSeparator, first + 1);
    if (second < 0)
        return false;
    bool isNumber = false;
    report->number = trimBlanks(payload.left(first)).toInt(&isNumber);
    QString reason = payload.mid(first + 1, second - first - 1);
    for (QChar& c : reason) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    report->reason = reason.simplified().left(FailureReasonLimit);
    report->path = trimBlanks(payload.mid(second + 1));
    return isNumber && !report->path.isEmpty();
}

bool isRegistration(const QString& text) {
    return text.startsWith(RegistrationKeyword, Qt::CaseSensitive);
}

bool isCompletion(const QString& text) {
    return text.startsWith(CompletionKeyword, Qt::CaseSensitive);
}

bool isPrintRequest(const QString& text) {
    return text.startsWith(PrintRequestKeyword, Qt::CaseSensitive);
}

QString trimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == Blank)
        ++begin;
    while (end > begin && text.at(end - 1) == Blank)
        --end;
    return text.mid(begin, end - begin);
}

QString serverPayload(const QString& text, int keywordLength) {
    return trimBlanks(cutBeforeCr(trimBlanks(text.mid(keywordLength))));
}

QString clientPayload(const QString& text, int keywordLength) {
    return cutBeforeCr(trimBlanks(text.mid(keywordLength)));
}

} // namespace Wire

QList<QString> MessageFramer::feed(const QByteArray& bytes) {
    QList<QString> messages;
    qsizetype start = 0;
    const qsizetype size = bytes.size();

    if (m_discarding) {
        // The rest of an over-long message: drop it up to and including its carriage return.
        const qsizetype cr = bytes.indexOf(Wire::CR);
        if (cr < 0)
            return messages;
        m_discarding = false;
        start = cr + 1;
    }

    while (start < size) {
        const qsizetype cr = bytes.indexOf(Wire::CR, start);
        if (cr < 0)
            break;
        const qsizetype length = cr + 1 - start;
        if (m_pending.size() + length - 1 > MaxPending) {
            // Completed, but longer than any message we keep: never act on a cut message.
            m_pending.clear();
            m_overflow = true;
        } else if (m_pending.isEmpty()) {
            messages.append(TextCodec::decode(bytes.mid(start, length)));
        } else {
            m_pending.append(bytes.constData() + start, length);
            messages.append(TextCodec::decode(m_pending));
            m_pending.clear();
        }
        start = cr + 1;
    }

    if (start < size) {
        const qsizetype rest = size - start;
        if (m_pending.size() + rest > MaxPending) {
            // No carriage return within MaxPending bytes: the whole message is dropped, up to
            // its carriage return, so memory stays bounded and a cut text is never acted on.
            m_pending.clear();
            m_pending.squeeze();
            m_discarding = true;
            m_overflow = true;
        } else {
            m_pending.append(bytes.constData() + start, rest);
        }
    }
    return messages;
}

bool MessageFramer::takeOverflow() {
    const bool overflow = m_overflow;
    m_overflow = false;
    return overflow;
}

void MessageFramer::clear() {
    m_pending.clear();
    m_overflow = false;
    m_discarding = false;
}
