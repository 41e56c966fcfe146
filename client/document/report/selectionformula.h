#pragma once

#include <QString>

// Record selection of a report, in the text form the print log and the tests know:
// "{Testata.Codice} = c AND {Riga.Codice} = c AND {Totali.Codice} = c AND {Ditta.Codice} = c".
// The Ditta clause is left out for the plain "ODL" report (no company suffix); a company code not
// greater than 0 gives an empty formula, which selects every record.
namespace SelectionFormula {
QString text(int companyCode, const QString& reportName);

// Whether the report's selection filters Ditta on the company code (the data loader applies the
// same filter as the text).
bool filtersCompany(const QString& reportName);
} // namespace SelectionFormula
