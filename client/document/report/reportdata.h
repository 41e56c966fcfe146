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
    // ReportError::DatabaseUnreadable (missing, locked, not a database, tables missing) and
    // ReportError::NoDocument (no Testata and no Riga record for the selection).
    //
    // Ditta: with the company filter the row of the company code (none: empty letterhead). Without
    // it (plain "ODL" report, or a code not above 0) the table is not filtered and the row of the
    // company code is still preferred; otherwise the row with the lowest Codice.
    static Failure load(const QString& databasePath, int companyCode, const QString& reportName,
                        ReportData& out);
};
