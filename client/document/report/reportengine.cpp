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

void ReportEngine::logFailure(const Failure& failure) const {
    log(QStringLiteral("Stampa Err. ") + QString::number(failure.number) + u' ' +
        failure.description);
}

void ReportEngine::listCopy(const QString& templatePath, int copy) const {
    if (m_hooks.listAdd)
        m_hooks.listAdd(QStringLiteral("Stampa ") + templatePath + QStringLiteral(" - Copia ") +
                        QString::number(copy));
    if (m_hooks.listRedraw)
        m_hooks.listRedraw();
}

Failure ReportEngine::printDocument(int companyCode, const QString& reportName, int copyCount,
                                    PrintedCopies& printed) {
    log(QStringLiteral("Stampa"));
    m_pdfFiles.clear();
    // The loader applies this selection to the tables; the text is for the developer's trace.
    qCDebug(lcReport) << "selection" << SelectionFormula::text(companyCode, reportName);

    const QString tplPath = templatePath(reportName);
    const QString dbPath = databasePath();
    Failure lastFailure;
    for (int copy = 1; copy <= copyCount; ++copy) {
        if (printed.contains(copy))
            continue;
        ReportTemplate tpl;
        ReportData data;
        Failure setup = ReportTemplate::load(tplPath, tpl);
        if (setup.ok())
            setup = ReportData::load(dbPath, companyCode, data);
        if (setup) {
            // Nothing can be printed with this template or database: no further copy is tried.
            logFailure(setup);
            return setup;
        }
        if (Failure refused = printCopy(ReportRenderer(tpl, data), reportName, copy)) {
            logFailure(refused);
            lastFailure = refused;
        } else {
            printed.insert(copy);
        }
        listCopy(tplPath, copy);
    }
    return lastFailure;
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
