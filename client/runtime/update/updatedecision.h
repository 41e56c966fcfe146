#pragma once

#include "updatecheck.h"
#include "userprompts.h"

#include <QString>

// What the client's start-up does with the outcome of the update check: go on, hand over to the
// updater and end, or end at once. Also what it logs and what it shows the user on the way.
struct UpdateDecision {
    enum class Action {
        GoOn,      // read the copies settings and connect
        HandOver,  // start the updater from the share and end
        EndProgram // the share could not be read: the message says why
    };
    Action action = Action::GoOn;
    QString logLine; // activity-log entry, none when empty
    QString message; // message box (OK only), none when empty
    UserPrompts::Icon icon = UserPrompts::Icon::None;
};

// afterUpdate: the updater has just started this client. Such a client never hands over again:
// an update still due then names entries the updater could not bring over (a file in use, a
// target it cannot write), and handing over once more would loop for ever. The names are logged
// and shown, and the workstation prints with what it has. A round that brought everything over is
// logged as "Aggiornamento completato".
//
// A share that cannot be reached ends the program with "Errore di Connessione al Server!
// Controllare collegamento all'indirizzo: " + the server's address, and on a second line the
// local folder that was looked at and why; any other failure on the share with its number + " - "
// + description. Both end the program whether or not an update round came first.
UpdateDecision decideAfterUpdateCheck(const UpdateCheck::Outcome& outcome, const QString& sharePath,
                                      bool afterUpdate);
