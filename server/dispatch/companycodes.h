#pragma once

#include "failure.h"

#include <QList>
#include <QString>

class Database;

// The company codes the watcher accepts, filled in ascending Codice order from the table Ditta.
// There are at least 21 slots, and one more for every company beyond the 21st; slots no company
// fills hold 0 (so a file ending without digits matches while fewer than 21 companies exist, as
// workstations in the field expect).
class CompanyCodes {
public:
    static constexpr int MinimumSlots = 21;

    CompanyCodes();

    // Reads "Select * from Ditta Order By Codice" into slots 0, 1, ... . With clearFirst the
    // unfilled slots are 0 (start-up); without it they keep their old values (after a save in the
    // company window). A database that cannot be read leaves the slots as they are.
    Failure load(const QString& connectionText, bool clearFirst);
    // True once the codes are known: a load succeeded or a slot was set. Until then an ending
    // that matches no slot says nothing about the file, so the watcher must not set it aside.
    bool isKnown() const { return m_known; }

    bool matches(double code) const;
    int size() const { return int(m_slots.size()); }
    int at(int slot) const { return m_slots.value(slot); }
    // Grows the list when slot lies beyond it.
    void set(int slot, int code);

private:
    QList<int> m_slots;
    bool m_known = false;
};
