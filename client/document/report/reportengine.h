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

// Prints the document of the company code from installFolder + "Documenti.mdb" through the
// template installFolder + reportName + ".rpt", one job per copy. Each copy reads the template
// and the data again (the settings are applied anew before every job).
//
// Outcome: no failure when every copy was printed; otherwise the failure (ReportError) of the last
// copy that failed, also written to the log. A template or database that cannot be read ends the
// print at once (no list line for that copy); a job the printer refuses still gets its list line
// and the next copies are tried. A copy already printed at an earlier try is not printed again.
//
// With a PDF folder, every job becomes a PDF in that folder (ReportOutput::uniquePdfPath) instead
// of a printer job.
class ReportEngine : public ReportPrinter {
public:
    ReportEngine(QString installFolder, QString pdfFolder, ReportEngineHooks hooks);
    ~ReportEngine() override;

    using ReportPrinter::printDocument;
    Failure printDocument(int companyCode, const QString& reportName, int copyCount,
                          PrintedCopies& printed) override;

    QStringList lastPdfFiles() const { return m_pdfFiles; } // written by the last print

protected:
    // Sends one rendered copy to its destination. Tests replace it to script printer results.
    virtual Failure printCopy(const ReportRenderer& renderer, const QString& reportName, int copy);

private:
    QString templatePath(const QString& reportName) const;
    QString databasePath() const;
    void log(const QString& text) const;
    void logFailure(const Failure& failure) const;
    void listCopy(const QString& templatePath, int copy) const;

    QString m_installFolder;
    QString m_pdfFolder;
    ReportEngineHooks m_hooks;
    QStringList m_pdfFiles;
};
