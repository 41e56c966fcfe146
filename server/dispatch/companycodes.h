#pragma once

#include "failure.h"

#include <QString>
#include <array>

class Database;

// The company codes the watcher accepts: 21 slots filled in ascending Codice order from the table
// Ditta; slots no company fills hold 0 (so a file ending without digits matches while fewer than
// 21 companies exist).
class CompanyCodes {
public:
    static constexpr int Slots = 21;

    // Reads "Select * from Ditta Order By Codice" into slots 0, 1, ... . With clearFirst the
    // unfilled slots are 0 (start-up); without it they keep their old values (after a save in the
    // company window). A database that cannot be read leaves the slots as they are.
    Failure load(const QString& connectionText, bool clearFirst);
    // True once the codes are known: a load succeeded or a slot was set. Until then an ending
    // that matches no slot says nothing about the file, so the watcher must not delete it.
    bool isKnown() const { return m_known; }

    bool matches(int code) const;
    int at(int slot) const { return m_slots[slot]; }
    void set(int slot, int code) {
        m_slots[slot] = code;
        m_known = true;
    }

private:
    std::array<int, Slots> m_slots{};
    bool m_known = false;
};
