#pragma once

#include "updatecheck.h"

#include <QString>

// The two modal windows of the client's start-up. The main window answers with its dialogs, tests
// with scripted results. Either may return after the session was shut down (a stop request ends a
// modal window's loop); the session looks at that itself.
class StartupDialogs {
public:
    virtual ~StartupDialogs() = default;
    // Runs only when no server is known. Returns the new server host; the search itself writes
    // IPHost.set and the start-at-log-on entry.
    virtual QString searchServer(const QString& serverHost, const QString& installFolder) = 0;
    // Runs the update check while its window is up. collectAll: list every out-of-date name.
    virtual UpdateCheck::Outcome checkForUpdate(const UpdateCheck& check, bool collectAll) = 0;
};
