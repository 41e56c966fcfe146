#include "updatedecision.h"

#include "sharepath.h"

namespace {
UpdateDecision stillDue(const QStringList& names) {
    const QString list = names.join(QStringLiteral(", "));
    return {UpdateDecision::Action::GoOn,
            QStringLiteral("Aggiornamento incompleto, file non aggiornati: ") + list,
            QStringLiteral("Aggiornamento non completato. File non aggiornati: ") + list,
            UserPrompts::Icon::Exclamation};
}
// The server's address alone (a UNC path would wrap between its backslashes), then the local
// folder that was missing and why.
QString unreachableText(const Failure& why, const QString& sharePath) {
    QString text = QStringLiteral("Errore di Connessione al Server! ");
    const QString host = SharePath::host(sharePath);
    if (!host.isEmpty())
        text += QStringLiteral("Controllare collegamento all'indirizzo: ") + host;
    QString reason = why.description;
    if (reason.isEmpty())
        return text;
    reason[0] = reason.at(0).toUpper();
    return text + (host.isEmpty() ? QString() : QStringLiteral("\n")) + reason + u'.';
}
} // namespace

UpdateDecision decideAfterUpdateCheck(const UpdateCheck::Outcome& outcome, const QString& sharePath,
                                      bool afterUpdate) {
    using Action = UpdateDecision::Action;
    switch (outcome.status) {
    case UpdateCheck::Status::UpToDate:
        if (afterUpdate)
            return {Action::GoOn, QStringLiteral("Aggiornamento completato"), QString()};
        return {};
    case UpdateCheck::Status::UpdateDue:
        if (afterUpdate)
            return stillDue(outcome.outOfDate);
        return {Action::HandOver, QStringLiteral("Aggiornamento rilevato"), QString()};
    case UpdateCheck::Status::ShareUnreachable:
        return {Action::EndProgram, QString(), unreachableText(outcome.failure, sharePath),
                UserPrompts::Icon::Critical};
    case UpdateCheck::Status::Failed:
        break;
    }
    return {Action::EndProgram, QString(),
            QString::number(outcome.failure.number) + QStringLiteral(" - ") +
                outcome.failure.description};
}
