#include "logfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {
QString logPrefix(const QString& fileName) {
    QString prefix = QFileInfo(fileName).fileName();
    if (prefix.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive))
        prefix.chop(4);
    return prefix;
}

// Characters that could break a line, move the cursor of a terminal showing the log, or turn the
// text around: C0 and C1 controls, DEL, the Unicode line and paragraph separators and the format
// characters (bidirectional overrides among them).
bool needsEscape(QChar c) {
    switch (c.category()) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

QString escaped(QChar c) {
    switch (c.unicode()) {
    case '\r':
        return QStringLiteral("\\r");
    case '\n':
        return QStringLiteral("\\n");
    case '\t':
        return QStringLiteral("\\t");
    default:
        break;
    }
    if (c.unicode() <= 0xff)
        return QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    return QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
}
} // namespace

LogFile::LogFile(QString fileName) : m_fileName(std::move(fileName)) {}

QString LogFile::setAsideName(const QDateTime& when, int number) const {
    // "VXCreg.txt" -> "VXCreg" + ddMMyy + HHmm (24-hour) + ".txt", in the log's own folder.
    QString name = logPrefix(m_fileName) + when.toString(QStringLiteral("ddMMyyHHmm"));
    if (number > 1)
        name += QLatin1Char('_') + QString::number(number);
    name += QStringLiteral(".txt");
    const QString folder = QFileInfo(m_fileName).path();
    if (folder == QLatin1String(".") && !m_fileName.startsWith(QLatin1String("./")))
        return name;
    return folder + QLatin1Char('/') + name;
}

QString LogFile::entryText(const QString& text) {
    QString entry;
    entry.reserve(qMin<qsizetype>(text.size(), MaxEntryChars) + 8);
    qsizetype i = 0;
    for (; i < text.size() && entry.size() < MaxEntryChars; ++i) {
        const QChar c = text.at(i);
        if (needsEscape(c))
            entry += escaped(c);
        else
            entry += c;
    }
    if (i < text.size())
        entry += QStringLiteral("…[altri %1 caratteri]").arg(text.size() - i);
    return entry;
}

bool LogFile::setAside(const QDateTime& now) const {
    // Numbered names within one minute; the bound only stops a folder full of strange names
    // from making every entry search for long.
    for (int number = 1; number <= 1000; ++number) {
        const QString aside = setAsideName(now, number);
        if (!QFileInfo::exists(aside))
            return QFile::rename(m_fileName, aside);
    }
    return false;
}

QStringList LogFile::removeOldest() const {
    const QFileInfo log(m_fileName);
    const QString prefix = logPrefix(m_fileName);
    const QRegularExpression setAsideFile(
        QStringLiteral("^%1\\d{10}(_\\d+)?\\.txt$").arg(QRegularExpression::escape(prefix)),
        QRegularExpression::CaseInsensitiveOption);
    const QFileInfoList entries = QDir(log.path())
                                      .entryInfoList({prefix + QStringLiteral("*")}, QDir::Files,
                                                     QDir::Time | QDir::Reversed); // oldest first
    QFileInfoList asides;
    qint64 total = 0;
    for (const QFileInfo& entry : entries) {
        if (!setAsideFile.match(entry.fileName()).hasMatch())
            continue;
        asides.append(entry);
        total += entry.size();
    }
    // The new log may fill up to SizeLimit before the next set-aside looks again.
    const qint64 room = m_totalLimit - SizeLimit;
    QStringList removed;
    for (const QFileInfo& entry : asides) {
        if (total <= room)
            break;
        if (!QFile::remove(entry.filePath()))
            continue;
        total -= entry.size();
        removed.append(entry.fileName());
    }
    return removed;
}

void LogFile::append(const QDateTime& now, const QString& text) const {
    QFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return; // read-only folder, locked file: the entry is lost, the caller goes on
    const QString line = now.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) + QLatin1Char(' ') +
                         text + QStringLiteral("\r\n");
    file.write(line.toUtf8());
    file.close();
}

void LogFile::write(const QString& text) const {
    const QDateTime now = m_clock ? m_clock() : QDateTime::currentDateTime();

    const QFileInfo info(m_fileName);
    QStringList removed;
    if (!info.exists() || info.size() > SizeLimit) {
        // A log that cannot be set aside (no free name, no right to rename) goes on growing
        // rather than being emptied over its content.
        const bool startAfresh = !info.exists() || setAside(now);
        if (startAfresh) {
            QFile fresh(m_fileName);
            if (fresh.open(QIODevice::WriteOnly | QIODevice::Truncate))
                fresh.close();
            if (info.exists())
                removed = removeOldest();
        }
    }
    for (const QString& name : removed)
        append(now, QStringLiteral("Log rimosso per restare entro lo spazio massimo: ") + name);
    append(now, entryText(text));
}
