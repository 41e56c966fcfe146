#pragma once

#include <QString>
#include <functional>

class QWidget;
class UserPrompts;

// What the client's start-up does after the update-check window has closed.
struct UpdateCheckResult {
    enum class Outcome {
        UpToDate,    // go on with the start-up
        UpdateFound, // raise UpdateFound: start the updater and end the client
        EndProgram   // the failure message has been shown; end the client at once
    };
    Outcome outcome = Outcome::UpToDate;
};

// Shows the modal window Controllo ("Attendere...", "Avvio in corso....") and runs the update check
// on its one-shot Timer1 (1000 ms, scaled by VELARIX_TIMER_SCALE).
//
// Failures are shown through prompts and give EndProgram:
//   - the share's Client folder cannot be opened: "Errore di Connessione al Server! Controllare
//     collegamento all'indirizzo: " + sharePath;
//   - any other failure on the share: number + " - " + description.
//
// afterUpdate is set when the updater has just started this client (--after-update). An update
// still due then never hands over again (that would loop for ever over an entry the updater cannot
// bring over): the names still out of date are logged, shown in one message through prompts
// (unattended: one line on standard error) and the result is UpToDate, so the workstation prints
// with what it has. A round that brought everything over is logged as "Aggiornamento completato".
UpdateCheckResult runUpdateCheck(QWidget* parent, const QString& sharePath,
                                 const QString& shareRoot, const QString& installFolder,
                                 UserPrompts& prompts,
                                 const std::function<void(const QString&)>& log, bool afterUpdate);
