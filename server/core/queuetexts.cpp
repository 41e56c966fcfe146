#include "queuetexts.h"

namespace QueueTexts {

QString state(JobState state) {
    switch (state) {
    case JobState::Arriving:
        return QStringLiteral("in arrivo");
    case JobState::Pending:
        return QStringLiteral("in coda");
    case JobState::Announced:
        return QStringLiteral("in stampa");
    case JobState::Held:
        return QStringLiteral("postazione non collegata");
    case JobState::SetAside:
        return QStringLiteral("messo da parte");
    case JobState::Completed:
        return QStringLiteral("stampato");
    case JobState::Ignored:
        return QStringLiteral("non preso");
    }
    return QString();
}

QString state(const QueueEntry& entry) {
    if (entry.workstationFailed &&
        (entry.state == JobState::Announced || entry.state == JobState::Pending))
        return QStringLiteral("stampa non riuscita");
    return state(entry.state);
}

QString waited(qint64 ms) {
    const qint64 seconds = qMax<qint64>(0, ms) / 1000;
    const qint64 minutes = seconds / 60;
    const qint64 hours = minutes / 60;
    const qint64 days = hours / 24;
    if (days > 0)
        return QStringLiteral("%1 g %2 h").arg(days).arg(hours % 24);
    if (hours > 0)
        return QStringLiteral("%1 h %2 min").arg(hours).arg(minutes % 60);
    if (minutes > 0)
        return QStringLiteral("%1 min").arg(minutes);
    return QStringLiteral("%1 s").arg(seconds);
}

bool isListed(const QueueEntry& entry) {
    return entry.state != JobState::Completed;
}

bool canPutBack(const QueueEntry& entry) {
    return entry.state == JobState::SetAside;
}

bool canDiscard(const QueueEntry& entry) {
    return entry.state == JobState::Pending || entry.state == JobState::Held ||
           entry.state == JobState::SetAside || entry.state == JobState::Ignored;
}

QString discardQuestion(const QueueEntry& entry) {
    QString text = QStringLiteral("Eliminare il documento ") + entry.fileName;
    if (!entry.workstation.isEmpty())
        text += QStringLiteral(" per la postazione ") + entry.workstation;
    return text + QStringLiteral("?\nNon sarà stampato e il file sarà cancellato.");
}

QString printingStoppedNotice(const QString& problem) {
    QString text = problem;
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text + QStringLiteral(".\nLa cartella di stampa si ripristina, o se ne sceglie "
                                 "un'altra in Impostazioni → Numero Copie.\nNessuna stampa va "
                                 "persa: ripartono da sole appena la cartella è raggiungibile.");
}

} // namespace QueueTexts
