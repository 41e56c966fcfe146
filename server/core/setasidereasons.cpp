#include "setasidereasons.h"

#include "platform/systemerror.h"
#include "unknowncompanyfiles.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <utility>

const QString SetAsideReasons::FileName = QStringLiteral("MessiDaParte.txt");

namespace {
// A file written by hand or cut short holds no more than this many lines.
constexpr int MaxLines = 100000;

// The causes by the words the file keeps them under; None is kept as no word at all.
const std::pair<JobCause, QLatin1String> CauseWords[] = {
    {JobCause::UnknownCompany, QLatin1String("ditta-sconosciuta")},
    {JobCause::NoWorkstationLine, QLatin1String("senza-pc")},
    {JobCause::TooLarge, QLatin1String("troppo-grande")},
    {JobCause::NotAFile, QLatin1String("non-file")},
    {JobCause::BadName, QLatin1String("nome-non-valido")},
    {JobCause::Unreadable, QLatin1String("non-leggibile")},
    {JobCause::Other, QLatin1String("altro")},
};

JobCause causeOf(QStringView word) {
    for (const auto& [cause, w] : CauseWords) {
        if (word == w)
            return cause;
    }
    return JobCause::None;
}

QString wordOf(JobCause cause) {
    for (const auto& [c, word] : CauseWords) {
        if (c == cause)
            return word;
    }
    return {};
}
} // namespace

SetAsideReasons::SetAsideReasons(const QString& programFolder)
    : m_path(QDir(programFolder).filePath(FileName)) {}

void SetAsideReasons::load() {
    m_reasons.clear();
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    for (int n = 0; n < MaxLines && !file.atEnd(); ++n) {
        const QStringList fields =
            QString::fromUtf8(file.readLine(4096)).trimmed().split(QLatin1Char('\t'));
        if (fields.size() < 2 || fields.first().isEmpty())
            continue;
        // An older server kept no cause; an unknown company's reason tells it.
        const JobCause cause = fields.size() > 2 ? causeOf(fields.at(2))
                               : UnknownCompanyFiles::isReason(fields.at(1))
                                   ? JobCause::UnknownCompany
                                   : JobCause::None;
        m_reasons.insert(fields.at(0), {fields.at(1), cause});
    }
}

bool SetAsideReasons::keep(const QList<QueueEntry>& queue, QString* error) {
    QHash<QString, Reason> reasons;
    for (const QueueEntry& entry : queue) {
        if (entry.state == JobState::SetAside && !entry.reason.isEmpty())
            reasons.insert(entry.fileName, {entry.reason.simplified(), entry.cause});
    }
    if (reasons == m_reasons)
        return true;
    QSaveFile file(m_path);
    if (file.open(QIODevice::WriteOnly)) {
        for (auto it = reasons.cbegin(); it != reasons.cend(); ++it) {
            const QString cause = wordOf(it->cause);
            file.write((it.key() + QLatin1Char('\t') + it->text +
                        (cause.isEmpty() ? QString() : QLatin1Char('\t') + cause) +
                        QStringLiteral("\r\n"))
                           .toUtf8());
        }
    }
    if (!file.commit()) {
        *error = m_path + QStringLiteral(": ") + fileErrorText(file);
        return false;
    }
    m_reasons = reasons;
    return true;
}
