#pragma once

#include "failure.h"

#include <QString>

// What the import needs of the report engine: print the document held in the document tables
// through the template named reportName, copyCount times (one job per copy). Gives no failure when
// every job was accepted, otherwise the failure of the last copy that failed, numbered in the
// report range (see docs/templates.md). Implementations never throw.
class ReportPrinter {
public:
    virtual ~ReportPrinter() = default;
    virtual Failure printDocument(int companyCode, const QString& reportName, int copyCount) = 0;
};
