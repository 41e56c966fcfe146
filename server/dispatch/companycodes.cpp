#include "companycodes.h"

#include "database.h"

#include <QVariant>
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

Failure CompanyCodes::load(const QString& connectionText, bool clearFirst) {
    Database db;
    if (Failure f = db.open(connectionText))
        return f;
    RowReader rows;
    if (Failure f = rows.open(db, QStringLiteral("Select * from Ditta Order By Codice"))) {
        db.close();
        return f;
    }
    // Only once the table answers: a database that cannot be read keeps the list as it was.
    if (clearFirst)
        m_slots.fill(0);
    int slot = 0;
    for (; !rows.atEnd(); rows.next()) {
        // Rows beyond the last slot are read and skipped.
        if (slot < Slots)
            m_slots[slot++] = roundedCode(rows.value(QStringLiteral("Codice")));
    }
    rows.close();
    db.close();
    m_known = true;
    return Failure::none();
}

bool CompanyCodes::matches(int code) const {
    for (int value : m_slots) {
        if (value == code)
            return true;
    }
    return false;
}
