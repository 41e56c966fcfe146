#include "reportpreview.h"

#include "reportdata.h"
#include "reportoutput.h"
#include "reportrenderer.h"
#include "reporttemplate.h"

#include <QFileInfo>

Failure renderDocumentToPdf(const QString& templatePath, const QString& databasePath,
                            int companyCode, const QString& pdfPath,
                            QPagedPaintDevice::PdfVersion version) {
    const QString reportName = QFileInfo(templatePath).completeBaseName();
    ReportTemplate tpl;
    if (Failure f = ReportTemplate::load(templatePath, tpl))
        return f;
    tpl.useCompanyLogos(companyCode);
    ReportData data;
    if (Failure f = ReportData::load(databasePath, companyCode, data))
        return f;
    const ReportRenderer renderer(tpl, data);
    return ReportOutput::writePdf(renderer, pdfPath, reportName, version);
}
