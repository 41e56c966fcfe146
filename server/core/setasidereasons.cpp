#include "setasidereasons.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

const QString SetAsideReasons::FileName = QStringLiteral("MessiDaParte.txt");

namespace {
// A file written by hand or cut short holds no more than this many lines.
constexpr int MaxLines = 100000;
} // namespace

SetAsideReasons::SetAsideReasons(const QString& programFolder)
    : m_path(QDir(programFolder).filePath(FileName)) {}

void SetAsideReasons::load() {
    m_reasons.clear();
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    for (int n = 0; n < MaxLines && !file.atEnd(); ++n) {
        const QString line = QString::fromUtf8(file.readLine(4096)).trimmed();
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        if (tab > 0)
            m_reasons.insert(line.left(tab), line.mid(tab + 1));
    }
}

bool SetAsideReasons::keep(const QList<QueueEntry>& queue, QString* error) {
    QHash<QString, QString> reasons;
    for (const QueueEntry& entry : queue) {
        if (entry.state == JobState::SetAside && !entry.reason.isEmpty())
            reasons.insert(entry.fileName, entry.reason.simplified());
    }
    if (reasons == m_reasons)
        return true;
    QSaveFile file(m_path);
    if (file.open(QIODevice::WriteOnly)) {
        for (auto it = reasons.cbegin(); it != reasons.cend(); ++it)
            file.write(
                (it.key() + QLatin1Char('\t') + it.value() + QStringLiteral("\r\n")).toUtf8());
    }
    if (!file.commit()) {
        *error = m_path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    m_reasons = reasons;
    return true;
}
