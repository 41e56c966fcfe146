#include "updatecheckrun.h"

#include "updatecheckdialog.h"
#include "runtimeenv.h"
#include "userprompts.h"

UpdateCheckResult runUpdateCheck(QWidget* parent, const QString& sharePath,
                                 const QString& shareRoot, const QString& installFolder,
                                 UserPrompts& prompts,
                                 const std::function<void(const QString&)>& log, bool afterUpdate) {
    // After an update round every name still out of date is wanted for the log and the message.
    UpdateCheckDialog window(UpdateCheck(sharePath, shareRoot, installFolder), afterUpdate,
                     RuntimeEnv::get().interval(1000), parent);
    window.exec();
    const UpdateCheck::Outcome& outcome = window.outcome();

    UpdateCheckResult result;
    switch (outcome.status) {
    case UpdateCheck::Status::UpToDate:
        if (afterUpdate && log)
            log(QStringLiteral("Aggiornamento completato"));
        result.outcome = UpdateCheckResult::Outcome::UpToDate;
        break;
    case UpdateCheck::Status::UpdateDue:
        if (!afterUpdate) {
            result.outcome = UpdateCheckResult::Outcome::UpdateFound;
            break;
        }
        {
            // The updater has just run and could not bring these over (a file in use, a target
            // that cannot be written): handing over again would loop for ever.
            const QString names = outcome.outOfDate.join(QStringLiteral(", "));
            if (log)
                log(QStringLiteral("Aggiornamento incompleto, file non aggiornati: ") + names);
            prompts.message(QStringLiteral("Aggiornamento non completato. File non aggiornati: ") +
                                names,
                            QString(), UserPrompts::Icon::Exclamation);
            result.outcome = UpdateCheckResult::Outcome::UpToDate;
        }
        break;
    case UpdateCheck::Status::ShareUnreachable:
        prompts.message(QStringLiteral("Errore di Connessione al Server! Controllare collegamento "
                                       "all'indirizzo: ") +
                        sharePath);
        result.outcome = UpdateCheckResult::Outcome::EndProgram;
        break;
    case UpdateCheck::Status::Failed:
        prompts.message(QString::number(outcome.failure.number) + QStringLiteral(" - ") +
                        outcome.failure.description);
        result.outcome = UpdateCheckResult::Outcome::EndProgram;
        break;
    }
    return result;
}
