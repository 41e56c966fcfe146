#pragma once

#include "documentarchive.h"
#include "failure.h"
#include "reportprinter.h"

#include <QString>
#include <QStringList>
#include <functional>

class ReportRenderer;

struct PrinterSettings;

// What the engine tells the main window: list lines (Lst_DataSent), list redraws, log entries and
// an archive copy that could not be written (the person must learn it even with the window
// hidden; the document printed all the same). Any of them may be empty.
struct ReportEngineHooks {
    std::function<void(const QString&)> listAdd;
    std::function<void()> listRedraw;
    std::function<void(const QString&)> log;
    std::function<void(const Failure& failure, const QString& printFile)> archiveFailed;
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
// The printer of each kind and the archive folder come from installFolder + "Stampanti.txt",
// read at every document. A kind without a line, or whose queue the system no longer knows,
// prints on the default printer (logged, unless the workstation has no Stampanti.txt at all).
// With a PDF folder no printer is used or looked up: every job becomes a PDF/A-1b in that folder
// (ReportOutput::uniquePdfPath) whose name carries the kind's queue as written in the file, or
// "predefinita".
//
// A document whose copies all printed is then archived once (DocumentArchive) when the file names
// an archive folder, before the print is reported done. On a printer its PDF/A is rendered on a
// thread of its own while the copies print (ArchiveDraft), so the archive costs little more than
// a file copy; with a PDF folder the last copy's file is taken as it is. An archive that cannot be
// written is logged, listed and told (archiveFailed), and changes nothing in the outcome: the
// document printed.
class ReportEngine : public ReportPrinter {
public:
    ReportEngine(QString installFolder, QString pdfFolder, ReportEngineHooks hooks);
    ~ReportEngine() override;

    // Where archive folders named as \\host\Velarix\... paths are reached (the mounted share).
    void setShareRoot(const QString& shareRoot) { m_shareRoot = shareRoot; }

    using ReportPrinter::printDocument;
    Failure printDocument(const PrintRequest& request, PrintedCopies& printed) override;

    QStringList lastPdfFiles() const { return m_pdfFiles; }   // written by the last print
    QString lastArchiveFile() const { return m_archiveFile; } // empty: not archived

protected:
    // Sends one rendered copy to its destination. Tests replace it to script printer results.
    virtual Failure printCopy(const ReportRenderer& renderer, const QString& reportName, int copy);

private:
    QString templatePath(const QString& reportName) const;
    QString databasePath() const;
    void log(const QString& text) const;
    void logFailure(const Failure& failure) const;
    void listCopy(const QString& templatePath, int copy) const;
    void say(const QString& text) const; // list, log, redraw
    PrinterSettings readPrinterSettings() const;
    void chooseQueue(const PrinterSettings& printers, const QString& kind);
    DocumentArchive::Entry archiveEntry(const PrintRequest& request, const QString& folder) const;
    void archive(const ReportRenderer& renderer, const PrintRequest& request, const QString& folder,
                 ArchiveDraft& draft);

    QString m_installFolder;
    QString m_pdfFolder;
    ReportEngineHooks m_hooks;
    QString m_shareRoot;
    QString m_queue; // of the document in print: a printer (empty: the default) or a PDF name
    QStringList m_pdfFiles;
    QString m_archiveFile;
};
