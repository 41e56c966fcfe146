#include "logfile.h"

#include <QFile>
#include <QFileInfo>

LogFile::LogFile(QString fileName) : m_fileName(std::move(fileName)) {}

QString LogFile::setAsideName(const QDateTime& when) const {
    // "VXCreg.txt" -> "VXCreg" + ddMMyy + HHmm (24-hour) + ".txt", in the log's own folder.
    const QFileInfo info(m_fileName);
    QString prefix = info.fileName();
    if (prefix.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive))
        prefix.chop(4);
    const QString name =
        prefix + when.toString(QStringLiteral("ddMMyyHHmm")) + QStringLiteral(".txt");
    const QString folder = QFileInfo(m_fileName).path();
    if (folder == QLatin1String(".") && !m_fileName.startsWith(QLatin1String("./")))
        return name;
    return folder + QLatin1Char('/') + name;
}

void LogFile::write(const QString& text) const {
    const QDateTime now = m_clock ? m_clock() : QDateTime::currentDateTime();

    const QFileInfo info(m_fileName);
    if (!info.exists() || info.size() > SizeLimit) {
        bool startAfresh = !info.exists();
        if (info.exists()) {
            // A second set-aside within the same minute finds the name taken: the rename fails
            // and the current log goes on growing rather than being emptied over its content.
            const QString aside = setAsideName(now);
            startAfresh = !QFileInfo::exists(aside) && QFile::rename(m_fileName, aside);
        }
        if (startAfresh) {
            QFile fresh(m_fileName);
            if (fresh.open(QIODevice::WriteOnly | QIODevice::Truncate))
                fresh.close();
        }
    }

    QFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return; // read-only folder, locked file: the entry is lost, the caller goes on
    const QString line = now.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) + QLatin1Char(' ') +
                         text + QStringLiteral("\r\n");
    file.write(line.toUtf8());
    file.close();
}
