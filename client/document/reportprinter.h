#pragma once

#include "failure.h"

#include <QSet>
#include <QString>

// One document as the import hands it to the report printer.
struct PrintRequest {
    int companyCode = 0;
    QString reportName; // the template: the kind with its company and branch suffixes
    QString kind;       // ODL, PRE, FOM or FVV: picks the printer and the archive folder
    int copyCount = 0;
    QString printFile; // the print file's path as the server named it
};

// What the import needs of the report engine: print the document held in the document tables
// through the template named in the request, copyCount times (one job per copy). Gives no failure
// when every job was accepted, otherwise the failure of the last copy that failed, numbered in the
// report range (see docs/templates.md). Implementations never throw.
class ReportPrinter {
public:
    // Numbers (from 1) of the copies of one document that have come out.
    using PrintedCopies = QSet<int>;

    virtual ~ReportPrinter() = default;

    // Copies already in `printed` are skipped (they came out at an earlier try); each copy that
    // comes out now is added to it.
    virtual Failure printDocument(const PrintRequest& request, PrintedCopies& printed) = 0;

    // Every copy, as for a document never tried before.
    Failure printDocument(const PrintRequest& request) {
        PrintedCopies none;
        return printDocument(request, none);
    }
};
