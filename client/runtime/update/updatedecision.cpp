#include "updatedecision.h"

namespace {
UpdateDecision stillDue(const QStringList& names) {
    const QString list = names.join(QStringLiteral(", "));
    return {UpdateDecision::Action::GoOn,
            QStringLiteral("Aggiornamento incompleto, file non aggiornati: ") + list,
            QStringLiteral("Aggiornamento non completato. File non aggiornati: ") + list,
            UserPrompts::Icon::Exclamation};
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
        return {Action::EndProgram, QString(),
                QStringLiteral("Errore di Connessione al Server! Controllare collegamento "
                               "all'indirizzo: ") +
                    sharePath};
    case UpdateCheck::Status::Failed:
        break;
    }
    return {Action::EndProgram, QString(),
            QString::number(outcome.failure.number) + QStringLiteral(" - ") +
                outcome.failure.description};
}
