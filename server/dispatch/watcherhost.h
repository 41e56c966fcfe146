#pragma once

#include "failure.h"

#include <QString>

// What the print-folder watcher needs of the print server: the workstation registry of socket
// slots 1 to 25, sending on a slot, the trace points, the activity log, the message list (only
// while "Visualizza Messaggi" is ticked), the status label and the new-file scan timer.
class WatcherHost {
public:
    static constexpr int Slots = 25;
    virtual ~WatcherHost() = default;
    virtual QString registryName(int slot) const = 0; // "" when no workstation announced itself
    virtual Failure sendOnSlot(int slot, const QString& text) = 0;
    virtual void trace(const QString& label) = 0;
    virtual void log(const QString& text) = 0;
    virtual void message(const QString& line) = 0; // the host checks OPT1
    virtual void setStatusLabel(const QString& text) = 0;
    virtual void setScanTimerEnabled(bool on) = 0; // switching on restarts its interval
    // A file names a company the codes do not know: the host reads them again now if the
    // letterheads changed since it last did; true when it did.
    virtual bool refreshCompanyCodes() { return false; }
};
