#include "partlyprinted.h"

ReportPrinter::PrintedCopies PartlyPrinted::copiesOf(const File& file) const {
    for (const Entry& e : m_entries)
        if (e.file == file)
            return e.copies;
    return {};
}

void PartlyPrinted::remember(const File& file, const ReportPrinter::PrintedCopies& copies) {
    // One entry per path: a changed file replaces what was noted of its earlier content.
    m_entries.removeIf([&](const Entry& e) { return e.file.path == file.path; });
    if (copies.isEmpty())
        return;
    m_entries.append({file, copies});
    while (m_entries.size() > Limit)
        m_entries.removeFirst();
}
