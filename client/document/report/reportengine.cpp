#include "reportengine.h"

#include "reportdata.h"
#include "reportoutput.h"
#include "reportrenderer.h"
#include "reporttemplate.h"
#include "selectionformula.h"

#include <QDateTime>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcReport, "velarix.report", QtInfoMsg)

ReportEngine::ReportEngine(QString installFolder, QString pdfFolder, ReportEngineHooks hooks)
    : m_installFolder(std::move(installFolder)), m_pdfFolder(std::move(pdfFolder)),
      m_hooks(std::move(hooks)) {}

ReportEngine::~ReportEngine() = default;

QString ReportEngine::templatePath(const QString& reportName) const {
    return m_installFolder + reportName + QStringLiteral(".rpt");
}

QString ReportEngine::databasePath() const {
    return m_installFolder + QStringLiteral("Documenti.mdb");
}

void ReportEngine::log(const QString& text) const {
    if (m_hooks.log)
        m_hooks.log(text);
}

int ReportEngine::Stampa(int companyCode, const QString& reportName, int copyCount) {
    log(QStringLiteral("Stampa"));
    m_lastFailure = Failure::none();
    m_pdfFiles.clear();
    // Built once per call; the loader applies the same selection to the tables.
    m_lastFormula = SelectionFormula::text(companyCode, reportName);
    qCDebug(lcReport) << "selection" << m_lastFormula;

    const QString tplPath = templatePath(reportName);
    const QString dbPath = databasePath();
    for (int copy = 1; copy <= copyCount; ++copy) {
        ReportTemplate tpl;
        ReportData data;
        Failure setup = ReportTemplate::load(tplPath, tpl);
        if (setup.ok())
            setup = ReportData::load(dbPath, companyCode, reportName, data);
        if (setup) {
            // Nothing can be printed with this template or database: no further copy is tried.
            m_lastFailure = setup;
            log(QStringLiteral("Stampa Err. ") + QString::number(setup.number) + u' ' +
                setup.description);
            return setup.number;
        }

        const ReportRenderer renderer(tpl, data);
        const Failure printed = printCopy(renderer, reportName, copy);
        if (printed) {
            m_lastFailure = printed;
            log(QStringLiteral("Stampa Err. ") + QString::number(printed.number) + u' ' +
                printed.description);
        }
        if (m_hooks.listAdd)
            m_hooks.listAdd(QStringLiteral("Stampa ") + tplPath + QStringLiteral(" - Copia ") +
                            QString::number(copy));
        if (m_hooks.listRedraw)
            m_hooks.listRedraw();
    }
    return m_lastFailure.number;
}

Failure ReportEngine::printCopy(const ReportRenderer& renderer, const QString& reportName,
                                int copy) {
    if (m_pdfFolder.isEmpty())
        return ReportOutput::printOnDefaultPrinter(
            renderer, reportName + QStringLiteral(" - Copia ") + QString::number(copy));
    const QString path =
        ReportOutput::uniquePdfPath(m_pdfFolder, reportName, copy, QDateTime::currentDateTime());
    const Failure f = ReportOutput::writePdf(renderer, path, reportName);
    if (f.ok())
        m_pdfFiles << path;
    return f;
}
