#include "documentimport.h"

#include "documenttables.h"
#include "importhost.h"
#include "printfailuretext.h"
#include "printfile.h"
#include "reportprinter.h"
#include "sharepath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <algorithm>

Q_LOGGING_CATEGORY(lcImport, "velarix.document.import")

namespace {

const QString DirKeyword = QStringLiteral("DIR:");
// A print file is a few pages of text; anything larger than this is not one.
constexpr qint64 MaxPrintFileSize = 256LL * 1024 * 1024;

// The platform's texts for the file failures the import reports.
Failure fileFailure(int number) {
    switch (number) {
    case 5:
        return {5, QStringLiteral("Chiamata di routine o argomento non validi")};
    case ErrorNumber::BadFileNameOrNumber:
        return {number, QStringLiteral("Nome o numero di file non valido")};
    case ErrorNumber::FileNotFound:
        return {number, QStringLiteral("Impossibile trovare il file")};
    case ErrorNumber::FileAlreadyOpen:
        return {number, QStringLiteral("File già aperto")};
    case ErrorNumber::DeviceIO:
        return {number, QStringLiteral("Errore di I/O della periferica")};
    case ErrorNumber::PermissionDenied:
        return {number, QStringLiteral("Autorizzazione negata")};
    case ErrorNumber::PathNotFound:
        return {number, QStringLiteral("Impossibile trovare il percorso")};
    default:
        return {ErrorNumber::PathFileAccess, QStringLiteral("Errore di accesso al percorso/file")};
    }
}

// Opens and reads the whole print file. A failed open gives the failure and no bytes; a read
// that fails part way gives the bytes read so far and the failure in *readFailure.
Failure readPrintFile(const QString& path, const QString& shareRoot, QByteArray* bytes,
                      Failure* readFailure, QFileInfo* info) {
    if (SharePath::isSharePath(path) && !shareRoot.isEmpty() && !QFileInfo(shareRoot).isDir())
        return fileFailure(ErrorNumber::BadFileNameOrNumber); // the share is not reachable
    const QString local = SharePath::resolve(path, shareRoot);
    if (local.isEmpty())
        return fileFailure(ErrorNumber::BadFileNameOrNumber);
    *info = QFileInfo(local);
    if (!info->exists()) {
        return fileFailure(info->absoluteDir().exists() ? ErrorNumber::FileNotFound
                                                        : ErrorNumber::PathNotFound);
    }
    // Only a plain file is a print file: a folder fails, and a pipe or a device would block the
    // read or never end it.
    if (!info->isFile())
        return fileFailure(ErrorNumber::PathFileAccess);
    if (info->size() > MaxPrintFileSize)
        return {7, QStringLiteral("Memoria esaurita")}; // no print file is anywhere near this
    QFile file(local);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcImport) << "cannot open" << local << file.errorString();
        return fileFailure(file.error() == QFileDevice::PermissionsError
                               ? ErrorNumber::PermissionDenied
                               : ErrorNumber::PathFileAccess);
    }
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        qCWarning(lcImport) << "read failed" << local << file.errorString();
        *readFailure = fileFailure(ErrorNumber::DeviceIO);
    }
    return {};
}

// The file's name, not its share path: a path wraps between its backslashes.
QString fileNameOf(const QString& path) {
    return path.section(QRegularExpression(QStringLiteral(R"([\\/])")), -1);
}

QString errorText(const Failure& f) {
    return QStringLiteral("Errore ") + QString::number(f.number) + QLatin1Char(' ') + f.description;
}

} // namespace

DocumentImport::DocumentImport(ImportHost& host, ReportPrinter& printer,
                               DocumentImportSettings settings)
    : m_host(host), m_printer(printer), m_settings(std::move(settings)) {}

DocumentImport::~DocumentImport() = default;

QString DocumentImport::printPath(const QString& message, bool* cut) {
    // Blanks (not other white space) around the path are dropped; the path ends before the
    // first carriage return, and whatever follows it is not looked at.
    QStringView text = QStringView(message).mid(DirKeyword.size());
    while (!text.isEmpty() && text.front() == u' ')
        text = text.mid(1);
    while (!text.isEmpty() && text.back() == u' ')
        text.chop(1);
    const qsizetype cr = text.indexOf(u'\r');
    *cut = cr >= 0;
    if (cr >= 0)
        text = text.left(cr);
    // Blanks in front of the carriage return are no part of the path either.
    while (!text.isEmpty() && text.back() == u' ')
        text.chop(1);
    return text.toString();
}

void DocumentImport::setCopies(const QStringList& copiesTable, bool perCompanyReports,
                               bool perBranchReports) {
    m_settings.copiesTable = copiesTable;
    m_settings.perCompanyReports = perCompanyReports;
    m_settings.perBranchReports = perBranchReports;
}

void DocumentImport::receive(const QString& message, int socketIndex) {
    if (m_ending)
        return;
    Pending request{message, socketIndex, QString()};
    if (message.startsWith(DirKeyword)) {
        bool cut = false;
        request.path = printPath(message, &cut);
    }
    if (m_running) {
        // Called again while a run lets window events through: the run must not be entered
        // twice. A second request for a file already in hand would print it twice.
        if (!request.path.isEmpty()) {
            bool duplicate = request.path == m_currentPath;
            for (const Pending& p : std::as_const(m_queue))
                duplicate = duplicate || p.path == request.path;
            if (duplicate) {
                m_host.log(QStringLiteral("Richiesta doppia ignorata: ") + request.path);
                return;
            }
        }
        m_queue.append(request);
        return;
    }
    m_running = true;
    importDocument(request);
    while (!m_queue.isEmpty() && !m_ending)
        importDocument(m_queue.takeFirst());
    m_queue.clear();
    m_running = false;
}

void DocumentImport::say(const QString& text) {
    m_host.listAdd(text);
    m_host.log(text);
    m_host.listRedraw();
}

void DocumentImport::sayError(const QString& text) {
    m_host.listAdd(text);
    m_host.listRedraw();
    m_host.log(text);
}

void DocumentImport::closeDocumentsDb() {
    if (m_documentsDb.isOpen())
        m_documentsDb.close();
}

void DocumentImport::importDocument(const Pending& request) {
    m_receivedText = request.message;
    m_replySocket = request.socketIndex;
    m_currentPath = request.path; // from now on a second request for it is a duplicate

    m_host.requestStarting(request.message);
    m_host.log(QStringLiteral("Calcolo"));
    m_host.processEvents();
    m_host.log(m_receivedText);
    if (m_receivedText.startsWith(DirKeyword))
        importPrintFile();
    m_currentPath.clear();
}

void DocumentImport::importPrintFile() {
    closeDocumentsDb();
    if (!m_host.prepareForDocument()) {
        m_ending = true;
        return;
    }
    bool cut = false;
    m_receivedText = printPath(m_receivedText, &cut);
    // A request without its carriage return is incomplete.
    Failure indicator = cut ? Failure::none() : fileFailure(5);
    if (indicator.ok() && alreadyCompleted(m_receivedText)) {
        m_host.log(QStringLiteral("Documento già stampato, conferma inviata di nuovo: ") +
                   m_receivedText);
        reply();
        return;
    }

    m_companyCode = PrintFile::companyCodeFromPath(m_receivedText);
    m_reportName.clear();
    m_stampValid = false;
    QByteArray bytes;
    Failure readFailure;
    QFileInfo info;
    if (Failure f =
            readPrintFile(m_receivedText, m_settings.shareRoot, &bytes, &readFailure, &info))
        indicator = f;

    if (indicator.number == ErrorNumber::FileNotFound ||
        indicator.number == ErrorNumber::FileAlreadyOpen) {
        // Missing or busy: the tables keep their content and the server offers the file again.
        sayError(errorText(indicator));
        return;
    }
    if (indicator) {
        // Not read: the tables are emptied but nothing is printed nor answered, so the server
        // keeps the file and offers it again instead of deleting a document nobody printed.
        sayError(errorText(indicator));
        DocumentTables tables(m_documentsDb);
        endTables(tables, startTables(tables));
        return;
    }
    m_stamp = {{m_receivedText, info.size(), info.lastModified()}, info.metadataChangeTime()};
    m_stampValid = true;
    const PrintDocument doc = PrintFile::read(bytes, readFailure);
    bytes = QByteArray();
    importIntoTables(doc);
}

bool DocumentImport::startTables(DocumentTables& tables) {
    m_tablesFailure = m_documentsDb.open(m_settings.documentsConnection);
    if (const Failure& f = m_tablesFailure) {
        sayError(QStringLiteral("Open DB:Err. ") + QString::number(f.number) + QLatin1Char(' ') +
                 f.description);
    }
    // One transaction for the whole document: the deletions and every record are flushed once.
    const bool inTransaction = tables.begin().ok();
    if (const Failure f = tables.clear(); f && m_tablesFailure.ok())
        m_tablesFailure = f;
    return inTransaction;
}

void DocumentImport::reportNotStored(const Failure& f) {
    // Why the tables could not be written, rather than what the failed statement said after it.
    const Failure& cause = m_tablesFailure ? m_tablesFailure : f;
    QString reason;
    switch (cause.number) {
    case ErrorNumber::DatabaseReadOnly:
        reason = QStringLiteral("file o cartella di sola lettura");
        break;
    case ErrorNumber::DiskFull:
        reason = QStringLiteral("disco pieno");
        break;
    default:
        reason = QString::number(cause.number) + QLatin1Char(' ') + plainReason(cause.description);
    }
    const QString text = QStringLiteral("Errore database: ") +
                         QString::number(ErrorNumber::DatabaseDocumentNotStored) +
                         QStringLiteral(" - Impossibile scrivere il documento in Documenti.mdb: ") +
                         reason;
    say(text);
    const Failure stored{ErrorNumber::DatabaseDocumentNotStored,
                         QStringLiteral("Impossibile scrivere il documento in Documenti.mdb: ") +
                             reason};
    m_host.documentFailed(
        m_replySocket, m_receivedText,
        describePrintFailure(stored, m_companyCode, m_reportName, fileNameOf(m_receivedText)));
}

void DocumentImport::endTables(DocumentTables& tables, bool inTransaction) {
    if (inTransaction)
        tables.commit();
    closeDocumentsDb();
}

void DocumentImport::importIntoTables(const PrintDocument& doc) {
    DocumentTables tables(m_documentsDb);
    const bool inTransaction = startTables(tables);
    const PagesRead pages = readPages(doc, tables);
    if (pages != PagesRead::Broken && doc.readFailure) {
        // The file could not be read to its end: printing part of it and letting the server
        // delete the rest would lose it.
        say(errorText(doc.readFailure));
        endTables(tables, inTransaction);
        return;
    }
    switch (pages) {
    case PagesRead::Broken:
        endTables(tables, inTransaction); // broken off: neither printed nor answered
        return;
    case PagesRead::Print:
        writeAndPrint(doc, tables, inTransaction);
        return;
    case PagesRead::Nothing:
        endTables(tables, inTransaction);
        reply();
        return;
    }
}

DocumentImport::PagesRead DocumentImport::readPages(const PrintDocument& doc,
                                                    DocumentTables& tables) {
    bool copiesFailed = false;
    for (const QString& kind : doc.startKinds) {
        if (!kind.isEmpty()) {
            m_kind = kind;
            m_reportName =
                PrintFile::reportName(kind, m_companyCode, doc.branch, m_settings.perCompanyReports,
                                      m_settings.perBranchReports);
            int copies = 0;
            if (PrintFile::wholeNumber(m_settings.copiesTable.value(doc.copiesEntry), &copies))
                m_copyCount = copies;
            else
                copiesFailed = true;
        }
        say(QStringLiteral("Preparo: ") + m_reportName);
    }
    if (copiesFailed) {
        // A copy count that is not a number stops the reading before the first page: nothing
        // is printed and the file is done with.
        return PagesRead::Nothing;
    }

    for (const PrintPage& page : doc.pages) {
        m_host.processEvents();
        m_host.processEvents();
        const QString number = QString::number(page.number);
        say(QStringLiteral("Preparo: Testata Pagina ") + number);
        say(QStringLiteral("Preparo: Righe"));
        if (page.broken == PrintPage::Break::Header) {
            say(QStringLiteral("Preparo: Totali Pagina ") + number);
            return PagesRead::Broken;
        }
        const Failure f =
            tables.appendBody(m_companyCode, doc.body, page.firstBody, page.bodyCount);
        say(QStringLiteral("Preparo: Totali Pagina ") + number);
        if (f) {
            reportNotStored(f);
            return PagesRead::Broken;
        }
        if (page.broken != PrintPage::Break::None)
            return PagesRead::Broken;
    }
    if (doc.outcome == PrintDocument::Outcome::Complete && !m_reportName.isEmpty())
        return PagesRead::Print;
    return PagesRead::Nothing;
}

void DocumentImport::writeAndPrint(const PrintDocument& doc, DocumentTables& tables,
                                   bool inTransaction) {
    say(QStringLiteral("Scrivo: Testata"));
    Failure f = tables.appendHeader(m_companyCode, doc.header);
    if (f.ok()) {
        say(QStringLiteral("Scrivo: Totali"));
        f = tables.appendTotals(m_companyCode, doc.totals);
    }
    if (f.ok() && inTransaction)
        f = tables.commit();
    if (f) {
        // The report would print an incomplete document: keep the file for a later offer.
        if (inTransaction)
            tables.commit();
        reportNotStored(f);
        closeDocumentsDb();
        return;
    }
    // The report engine reads the file on its own; the connection is closed while it prints.
    closeDocumentsDb();
    m_documentsDb.open(m_settings.documentsConnection);
    closeDocumentsDb();

    say(QStringLiteral("Invio alla Stampante"));
    if (const Failure printed = print()) {
        const PrintFailureText text =
            describePrintFailure(printed, m_companyCode, m_reportName, fileNameOf(m_receivedText));
        say(text.line);
        m_host.documentFailed(m_replySocket, m_receivedText, text);
        return; // not answered: the server offers the file again
    }
    say(QStringLiteral("Stampa Ok"));
    reply();
}

Failure DocumentImport::print() {
    const bool known = m_stampValid && m_stamp.file.path == m_receivedText;
    ReportPrinter::PrintedCopies printed;
    if (known)
        printed = m_partlyPrinted.copiesOf(m_stamp.file);
    if (!printed.isEmpty()) {
        QList<int> numbers(printed.cbegin(), printed.cend());
        std::sort(numbers.begin(), numbers.end());
        QStringList listed;
        for (int n : numbers)
            listed << QString::number(n);
        say(QStringLiteral("Copie già stampate: ") + listed.join(QStringLiteral(", ")));
    }
    const PrintRequest request{m_companyCode, m_reportName, m_kind, m_copyCount, m_receivedText};
    const Failure f = m_printer.printDocument(request, printed);
    if (known)
        m_partlyPrinted.remember(m_stamp.file, f ? printed : ReportPrinter::PrintedCopies());
    return f;
}

void DocumentImport::reply() {
    const QString text = QStringLiteral("DEL:") + m_receivedText + QLatin1Char('\r');
    if (Failure f = m_host.sendReply(m_replySocket, text))
        qCInfo(lcImport) << "reply not delivered:" << f.number << f.description;
    m_host.log(text);
    say(QStringLiteral("Inviato: ") + QStringLiteral("Cancellare file"));
    m_host.documentAnswered(m_receivedText);
    rememberCompletion();
}

bool DocumentImport::alreadyCompleted(const QString& path) const {
    for (const Completion& c : m_completions) {
        if (c.file.path != path)
            continue;
        const QFileInfo info(SharePath::resolve(path, m_settings.shareRoot));
        return info.exists() && info.size() == c.file.size &&
               info.lastModified() == c.file.modified && info.metadataChangeTime() == c.changed;
    }
    return false;
}

void DocumentImport::rememberCompletion() {
    if (!m_stampValid || m_stamp.file.path != m_receivedText)
        return;
    m_completions.removeIf([&](const Completion& c) { return c.file.path == m_stamp.file.path; });
    m_completions.append(m_stamp);
    while (m_completions.size() > RecentCompletions)
        m_completions.removeFirst();
}
