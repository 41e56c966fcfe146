#pragma once

#include "failure.h"

#include <QString>
#include <QStringList>

// The one document a report prints, read from Documenti.mdb with the records selected as the
// selection formula says (SelectionFormula): Testata, Riga and Totali of the company code, and
// the letterhead of Ditta. A null column reads as a null QString.
struct ReportData {
    QStringList header;     // Testata.Testo1..Testo16 (always 16 entries)
    QStringList body;       // Riga.Testo in Riga order
    QStringList totals;     // Totali.Testo1..Testo14 (always 14 entries)
    QStringList letterhead; // Ditta.Intestazione1..Intestazione8 (always 8 entries)

    // Opens the SQLite file read-only (it is never created), reads, closes. Failures:
    // ReportError::DatabaseUnreadable (missing, locked, not a database, tables missing),
    // ReportError::NoDocument (no Testata and no Riga record for the selection) and
    // ReportError::NoLetterhead (no Ditta row of the company code, whatever the report: no other
    // company's letterhead and no empty one ever stands in).
    static Failure load(const QString& databasePath, int companyCode, ReportData& out);
};
