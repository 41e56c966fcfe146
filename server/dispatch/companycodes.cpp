#include "companycodes.h"

#include "database.h"

#include <QVariant>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// Codice may come back as a real or a text; the list holds whole numbers.
int roundedCode(const QVariant& value) {
    if (value.isNull())
        return 0;
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return 0;
    const double rounded = std::round(number);
    if (rounded >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (rounded <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(rounded);
}
} // namespace

CompanyCodes::CompanyCodes() : m_slots(MinimumSlots, 0) {}

void CompanyCodes::set(int slot, int code) {
    if (slot < 0)
        return;
    if (slot >= m_slots.size())
        m_slots.resize(slot + 1, 0);
    m_slots[slot] = code;
    m_known = true;
}

Failure CompanyCodes::load(const QString& connectionText, bool clearFirst) {
    Database db;
    if (Failure f = db.open(connectionText))
        return f;
    RowReader rows;
    if (Failure f = rows.open(db, QStringLiteral("Select * from Ditta Order By Codice"))) {
        db.close();
        return f;
    }
    QList<int> read;
    for (; !rows.atEnd(); rows.next())
        read.append(roundedCode(rows.value(QStringLiteral("Codice"))));
    rows.close();
    db.close();
    // Only once the table answers: a database that cannot be read keeps the list as it was.
    if (clearFirst)
        m_slots = QList<int>(MinimumSlots, 0);
    if (m_slots.size() < read.size())
        m_slots.resize(read.size(), 0);
    std::copy(read.cbegin(), read.cend(), m_slots.begin());
    m_known = true;
    return Failure::none();
}

bool CompanyCodes::matches(double code) const {
    return std::any_of(m_slots.cbegin(), m_slots.cend(),
                       [code](int value) { return double(value) == code; });
}
