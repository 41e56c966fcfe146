#include "selectionformula.h"

namespace SelectionFormula {

bool filtersCompany(const QString& reportName) {
    return reportName != QLatin1String("ODL");
}

QString text(int companyCode, const QString& reportName) {
    if (companyCode <= 0)
        return {};
    const QString c = QString::number(companyCode);
    QString formula = QStringLiteral("{Testata.Codice} = ") + c +
                      QStringLiteral(" AND {Riga.Codice} = ") + c +
                      QStringLiteral(" AND {Totali.Codice} = ") + c;
    if (filtersCompany(reportName))
        formula += QStringLiteral(" AND {Ditta.Codice} = ") + c;
    return formula;
}

} // namespace SelectionFormula
