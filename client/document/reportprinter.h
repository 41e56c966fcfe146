#pragma once

#include "failure.h"

#include <QSet>
#include <QString>

// What the import needs of the report engine: print the document held in the document tables
// through the template named reportName, copyCount times (one job per copy). Gives no failure when
// every job was accepted, otherwise the failure of the last copy that failed, numbered in the
// report range (see docs/templates.md). Implementations never throw.
class ReportPrinter {
public:
    // Numbers (from 1) of the copies of one document that have come out.
    using PrintedCopies = QSet<int>;

    virtual ~ReportPrinter() = default;

    // Copies already in `printed` are skipped (they came out at an earlier try); each copy that
    // comes out now is added to it.
    virtual Failure printDocument(int companyCode, const QString& reportName, int copyCount,
                                  PrintedCopies& printed) = 0;

    // Every copy, as for a document never tried before.
    Failure printDocument(int companyCode, const QString& reportName, int copyCount) {
        PrintedCopies none;
        return printDocument(companyCode, reportName, copyCount, none);
    }
};
