#pragma once

#include "reportprinter.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The copies that came out of print files whose print failed part-way. The server offers such a
// file again, and only its missing copies are printed then. A file that has changed since (size
// or time) starts over with every copy. Kept in memory only: after a restart of the client the
// whole document is printed again.
class PartlyPrinted {
public:
    struct File {
        QString path;
        qint64 size = -1;
        QDateTime modified;
        bool operator==(const File&) const = default;
    };

    // Files remembered at most; the oldest goes first.
    static constexpr int Limit = 64;

    ReportPrinter::PrintedCopies copiesOf(const File& file) const;
    // Notes what came out of the file; with no copy at all the file is forgotten.
    void remember(const File& file, const ReportPrinter::PrintedCopies& copies);

private:
    struct Entry {
        File file;
        ReportPrinter::PrintedCopies copies;
    };
    QList<Entry> m_entries;
};
