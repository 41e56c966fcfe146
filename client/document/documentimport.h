#pragma once

#include "database.h"
#include "failure.h"
#include "partlyprinted.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class DocumentTables;
class ImportHost;
class ReportPrinter;
struct PrintDocument;

// What the import takes from the client's start-up settings.
struct DocumentImportSettings {
    QString installFolder;       // client program folder, with its trailing separator
    QString documentsConnection; // connection text of the local Documenti.mdb
    QStringList copiesTable;     // copy counts per document kind (entries 0 to 5 at least)
    bool perCompanyReports = false;
    bool perBranchReports = false;
    QString shareRoot; // local folder where \\host\Velarix is reached
};

// The client's document import: for each "DIR:" message from the server it reads the named print
// file through the share, replaces the content of Testata, Riga and Totali by that
// one document, prints it through the report printer and answers "DEL:" + path on the socket the
// message came from. Progress goes to the host's list and log with the user's texts.
//
// Only a document that was read whole and printed without error is answered with "DEL:" (or one
// with no document in it at all); a file that could not be opened (other than not found or busy,
// which are not answered either), a page broken off, a table that could not be written and a
// printer error leave the file to the server, which offers it again later; the copies that did
// come out of it are not printed again then (PartlyPrinted).
//
// Messages that arrive while a run lets window events through are queued and run afterwards, in
// order; a request for a path that is queued or in progress is dropped. Once answered, a request
// for the same path is a new document, printed again, unless it names the very file answered: then
// the answer was lost (the connection died with it) and is sent again without a second print.
// Before each print file the host may update the client's files, or end the client, in which case
// nothing more is imported and the server keeps the files.
class DocumentImport {
public:
    static constexpr int RecentCompletions = 32;

    DocumentImport(ImportHost& host, ReportPrinter& printer, DocumentImportSettings settings);
    ~DocumentImport();

    // A text received on socket element socketIndex (ReceivedText / ReplySocket).
    void receive(const QString& message, int socketIndex);

    bool isRunning() const { return m_running; }
    // New copies settings (Copie.txt taken from the server while running), from the next document.
    void setCopies(const QStringList& copiesTable, bool perCompanyReports, bool perBranchReports);
    qsizetype queued() const { return m_queue.size(); }

    // Report name and copies of the last recognised kind; kept from one run to the next.
    QString reportName() const { return m_reportName; }
    int copyCount() const { return m_copyCount; }

private:
    struct Pending {
        QString message;
        int socketIndex = 0;
        QString path; // the print-file path of a "DIR:" message, empty otherwise
    };
    // A print file as it was read. Name, size and modification time are repeated by a file
    // copied back with its time kept (or by a coarse clock); the status-change time is set by the
    // system at every create, copy or rename, so a new file never has the answered one's.
    struct Completion {
        PartlyPrinted::File file;
        QDateTime changed;
    };

    enum class PagesRead { Nothing, Broken, Print };

    void importDocument(const Pending& request);
    void importPrintFile();
    void importIntoTables(const PrintDocument& doc);
    // Opens Documenti.mdb (a failure is shown and the run goes on), begins the document's one
    // transaction and empties the three tables; true when the transaction is open.
    bool startTables(DocumentTables& tables);
    // A write into the tables failed: said and shown as an error of its own, not answered.
    void reportNotStored(const Failure& f);
    void endTables(DocumentTables& tables, bool inTransaction);
    PagesRead readPages(const PrintDocument& doc, DocumentTables& tables);
    void writeAndPrint(const PrintDocument& doc, DocumentTables& tables, bool inTransaction);
    Failure print();
    void reply();
    void say(const QString& text);      // list, log, redraw
    void sayError(const QString& text); // list, redraw, log (the open failures)
    void closeDocumentsDb();
    bool alreadyCompleted(const QString& path) const;
    void rememberCompletion();

    static QString printPath(const QString& message, bool* cut);

    ImportHost& m_host;
    ReportPrinter& m_printer;
    DocumentImportSettings m_settings;
    Database m_documentsDb;

    QList<Pending> m_queue;
    bool m_running = false;
    bool m_ending = false; // the host is ending: nothing more is taken on
    QString m_currentPath;

    QString m_receivedText;
    int m_replySocket = 0;
    int m_companyCode = 0;
    QString m_reportName;
    QString m_kind; // of m_reportName, without its suffixes
    int m_copyCount = 0;

    Failure m_tablesFailure; // the first of the document's opening and emptying the tables
    bool m_stampValid = false;
    Completion m_stamp; // the print file as it was read
    QList<Completion> m_completions;
    PartlyPrinted m_partlyPrinted;
};
