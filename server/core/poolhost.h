#pragma once

#include "wiremessages.h"

#include <QString>
#include <QStringList>

// What the port pool needs of the print server: it mirrors the port list and the message list for
// the window, writes the activity log, filters traces through the trace switch and owns the
// follow-up timer. Tests implement it with a recorder.
class PoolHost {
public:
    virtual ~PoolHost() = default;
    // The whole port list was rebuilt (all ports opened, the periodic refresh).
    virtual void portListReplaced(const QStringList& lines) = 0;
    // Line row (slot - 1) of the port list changed.
    virtual void portLineChanged(int row, const QString& line) = 0;
    virtual void log(const QString& text) = 0;
    virtual void trace(const QString& label) = 0;
    // A line for Lst_Msg; the host adds it only while OPT1 is ticked. select: show it as newest.
    virtual void message(const QString& line, bool select) = 0;
    // "DEL:" named a print file the pool was allowed to delete (deleted, or already gone).
    virtual void printFileCompleted(const QString& path) = 0;
    // The workstation a print file named in a message is for ("" when it names none).
    virtual QString workstationOf(const QString& path) const = 0;
    // "DEL:" arrived: the follow-up pass for this (trimmed, possibly empty) name, once the
    // message is handled.
    virtual void followUpRequested(const QString& name) = 0;
    // "PC:" arrived: a workstation announced itself on a slot.
    virtual void workstationRegistered(int slot, const QString& name) = 0;
    // The connection on a slot closed or died (its registry name is cleared already): what was
    // sent on it is no longer held by anyone.
    virtual void connectionEnded(int slot) = 0;
    // "ERR:" arrived: the workstation registered on the slot (trimmed name) could not print the
    // file at the report's path, and says why.
    virtual void printFileFailed(const QString& name, const Wire::FailureReport& report) = 0;
};
