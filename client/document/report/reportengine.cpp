#include "reportengine.h"

#include "documentarchive.h"
#include "printersfile.h"
#include "reportdata.h"
#include "reportoutput.h"
#include "reportrenderer.h"
#include "reporttemplate.h"
#include "selectionformula.h"
#include "sharepath.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
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

void ReportEngine::say(const QString& text) const {
    if (m_hooks.listAdd)
        m_hooks.listAdd(text);
    log(text);
    if (m_hooks.listRedraw)
        m_hooks.listRedraw();
}

PrinterSettings ReportEngine::readPrinterSettings() const {
    const QString path = m_installFolder + PrintersFile::fileName();
    QStringList problems;
    const PrinterSettings printers = PrintersFile::read(path, &problems);
    for (const QString& value : std::as_const(problems))
        log(PrintersFile::fileName() + QStringLiteral(": riga non valida ignorata: ") + value);
    return printers;
}

void ReportEngine::chooseQueue(const PrinterSettings& printers, const QString& kind) {
    const QString queue = printers.queueFor(kind);
    if (!m_pdfFolder.isEmpty()) {
        // PDF files stand in for the printers: the name is taken as written, nothing is asked.
        m_queue = queue.isEmpty() ? QStringLiteral("predefinita") : queue;
        return;
    }
    m_queue.clear();
    if (queue.isEmpty()) {
        // Without the file the workstation simply prints everything on its default printer.
        if (QFileInfo::exists(m_installFolder + PrintersFile::fileName()))
            log(QStringLiteral("Nessuna stampante per ") + kind + QStringLiteral(" in ") +
                PrintersFile::fileName() + QStringLiteral(": stampante predefinita"));
        return;
    }
    if (!ReportOutput::printerExists(queue)) {
        log(QStringLiteral("Stampante ") + queue + QStringLiteral(" non trovata: ") + kind +
            QStringLiteral(" sulla stampante predefinita"));
        return;
    }
    m_queue = queue;
}

Failure ReportEngine::printDocument(const PrintRequest& request, PrintedCopies& printed) {
    log(QStringLiteral("Stampa"));
    m_pdfFiles.clear();
    m_archiveFile.clear();
    // The loader applies this selection to the tables; the text is for the developer's trace.
    qCDebug(lcReport) << "selection"
                      << SelectionFormula::text(request.companyCode, request.reportName);
    const PrinterSettings printers = readPrinterSettings();
    chooseQueue(printers, request.kind);

    const QString tplPath = templatePath(request.reportName);
    const QString dbPath = databasePath();
    Failure lastFailure;
    ReportTemplate tpl;
    ReportData data;
    const bool archiving = request.copyCount > 0 && !printers.archiveFolder.isEmpty();
    ArchiveDraft draft;
    for (int copy = 1; copy <= request.copyCount; ++copy) {
        if (printed.contains(copy))
            continue;
        Failure setup = ReportTemplate::load(tplPath, tpl);
        tpl.useCompanyLogos(request.companyCode);
        if (setup.ok())
            setup = ReportData::load(dbPath, request.companyCode, data);
        if (setup) {
            // Nothing can be printed with this template or database: no further copy is tried.
            logFailure(setup);
            return setup;
        }
        // On a printer the archive's PDF is rendered meanwhile, on a thread of its own.
        if (archiving && m_pdfFolder.isEmpty() && !draft.started())
            draft.start(tpl, data, archiveEntry(request, printers.archiveFolder));
        if (Failure refused = printCopy(ReportRenderer(tpl, data), request.reportName, copy)) {
            logFailure(refused);
            lastFailure = refused;
        } else {
            printed.insert(copy);
        }
        listCopy(tplPath, copy);
    }
    // Kept once per document, and only once it is done with: a copy that failed brings the whole
    // document back later, and it is archived then.
    if (lastFailure.ok() && archiving)
        archive(ReportRenderer(tpl, data), request, printers.archiveFolder, draft);
    return lastFailure;
}

DocumentArchive::Entry ReportEngine::archiveEntry(const PrintRequest& request,
                                                  const QString& folder) const {
    const QString local =
        SharePath::isSharePath(folder) ? SharePath::resolve(folder, m_shareRoot) : folder;
    return {local, request.kind, request.companyCode, request.printFile,
            QDateTime::currentDateTime()};
}

void ReportEngine::archive(const ReportRenderer& renderer, const PrintRequest& request,
                           const QString& folder, ArchiveDraft& draft) {
    const DocumentArchive::Entry entry = archiveEntry(request, folder);
    // A copy written as a PDF is the document as printed: kept as it is, not rendered again;
    // so is the draft rendered while the copies printed. Without either it is rendered now.
    QString rendered;
    Failure f;
    if (!m_pdfFiles.isEmpty())
        f = DocumentArchive::copyIn(m_pdfFiles.constLast(), entry, &m_archiveFile);
    else if (draft.started() && draft.finish(&rendered).ok())
        f = DocumentArchive::copyIn(rendered, entry, &m_archiveFile);
    else
        f = DocumentArchive::write(renderer, entry, &m_archiveFile);
    if (f.ok()) {
        log(QStringLiteral("Archiviato: ") + QDir::toNativeSeparators(m_archiveFile));
        return;
    }
    const QString text = QStringLiteral("Archivio non scritto: ") + f.description;
    say(text);
    if (m_hooks.archiveFailed)
        m_hooks.archiveFailed(f, request.printFile);
}

Failure ReportEngine::printCopy(const ReportRenderer& renderer, const QString& reportName,
                                int copy) {
    const QString jobName = reportName + QStringLiteral(" - Copia ") + QString::number(copy);
    if (m_pdfFolder.isEmpty())
        return ReportOutput::printOnPrinter(renderer, m_queue, jobName);
    const QString path = ReportOutput::uniquePdfPath(m_pdfFolder, reportName, m_queue, copy,
                                                     QDateTime::currentDateTime());
    // Written as the archive keeps documents, so the archive can take the file as it is.
    const Failure f =
        ReportOutput::writePdf(renderer, path, reportName, QPagedPaintDevice::PdfVersion_A1b);
    if (f.ok())
        m_pdfFiles << path;
    return f;
}
