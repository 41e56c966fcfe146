#pragma once

#include <QString>

// What the import needs of the report engine: print the document held in the document tables
// through the template named reportName, copyCount times (one job per copy). Returns 0 when every
// job was accepted, otherwise the error number of the last failing copy (see docs/templates.md).
// Implementations never throw.
class ReportPrinter {
public:
    virtual ~ReportPrinter() = default;
    virtual int Stampa(int companyCode, const QString& reportName, int copyCount) = 0;
};
