#pragma once

#include "failure.h"
#include "reportprinter.h"

#include <QString>
#include <QStringList>
#include <functional>

class ReportRenderer;

// What the engine tells the main window: list lines (Lst_DataSent), list redraws and log entries.
// Any of them may be empty.
struct ReportEngineHooks {
    std::function<void(const QString&)> listAdd;
    std::function<void()> listRedraw;
    std::function<void(const QString&)> log;
};

// Stampa: prints the document of the company code from installFolder + "Documenti.mdb" through
// the template installFolder + reportName + ".rpt", one job per copy. Each copy reads the template
// and the data again (the settings are applied anew before every job).
//
// Outcome: 0 when every copy was printed; otherwise the error number (ReportError) of the last
// copy that failed, with its description in the log and in lastFailure(). A template or database
// that cannot be read ends Stampa at once (no list line for that copy); a job the printer refuses
// still gets its list line and the next copies are tried.
//
// With a PDF folder, every job becomes a PDF in that folder (ReportOutput::uniquePdfPath) instead
// of a printer job.
class ReportEngine : public ReportPrinter {
public:
    ReportEngine(QString installFolder, QString pdfFolder, ReportEngineHooks hooks);
    ~ReportEngine() override;

    int Stampa(int companyCode, const QString& reportName, int copyCount) override;

    Failure lastFailure() const { return m_lastFailure; }
    QString lastFormula() const { return m_lastFormula; }
    QStringList lastPdfFiles() const { return m_pdfFiles; } // written by the last Stampa

    QString templatePath(const QString& reportName) const;
    QString databasePath() const;

protected:
    // Sends one rendered copy to its destination. Tests replace it to script printer results.
    virtual Failure printCopy(const ReportRenderer& renderer, const QString& reportName, int copy);

private:
    void log(const QString& text) const;

    QString m_installFolder;
    QString m_pdfFolder;
    ReportEngineHooks m_hooks;
    Failure m_lastFailure;
    QString m_lastFormula;
    QStringList m_pdfFiles;
};
