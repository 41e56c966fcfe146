#include "preview.h"

#include "copiesfile.h"
#include "database.h"
#include "documentschema.h"
#include "documenttables.h"
#include "printersfile.h"
#include "printfile.h"
#include "report/documentarchive.h"
#include "report/reportpreview.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

namespace {
int fail(const QString& text) {
    QTextStream(stderr) << text << '\n';
    return 1;
}

int companyOf(const QString& path) {
    if (path.endsWith(QStringLiteral(".PRN")))
        return PrintFile::companyCodeFromPath(path);
    // Not yet accepted by the server: the company code ends the name.
    const int code = int(PrintFile::numericValue(QStringView(path).right(3)));
    return code == 0 ? 1 : code;
}
// Where the workstation whose folder this is would print and archive the document.
void tellDestination(const QString& folder, const QString& kind, int company,
                     const QString& printFile, QTextStream& out) {
    const PrinterSettings printers = PrintersFile::read(folder + PrintersFile::fileName());
    const QString queue = printers.queueFor(kind);
    out << QStringLiteral("Stampante ") << kind << QStringLiteral(": ")
        << (queue.isEmpty() ? QStringLiteral("predefinita") : queue) << '\n';
    if (!printers.archiveFolder.isEmpty())
        out << QStringLiteral("Archivio: ")
            << DocumentArchive::plannedPath(
                   {printers.archiveFolder, kind, company, printFile, QDateTime::currentDateTime()})
            << '\n';
}
} // namespace

int renderPreview(const QString& printFile, const QString& pdfPath, const QString& folderPath) {
    if (pdfPath.isEmpty())
        return fail(QStringLiteral("--render needs --pdf OUT.pdf"));
    QFile file(printFile);
    if (!file.open(QIODevice::ReadOnly))
        return fail(printFile + QStringLiteral(": ") + file.errorString());
    const PrintDocument doc = PrintFile::read(file.readAll());
    if (doc.outcome != PrintDocument::Outcome::Complete)
        return fail(printFile + QStringLiteral(": nessun documento stampabile"));

    const QString folder = QDir(folderPath).absolutePath() + QLatin1Char('/');
    const CopiesSettings copies = CopiesFile::readForClient(folder + QStringLiteral("Copie.txt"));
    const int company = companyOf(printFile);
    const QString report =
        PrintFile::reportName(doc.kind, company, doc.branch, copies.perCompany, copies.perBranch);

    QTemporaryDir scratch;
    if (!scratch.isValid())
        return fail(scratch.errorString());
    const QString dbPath = scratch.filePath(QStringLiteral("Documenti.mdb"));
    // The letterheads come from the folder's database: a preview without them would look right
    // and be wrong.
    const QString source = folder + QStringLiteral("Documenti.mdb");
    if (QFile::exists(source) && !QFile::copy(source, dbPath))
        return fail(source + QStringLiteral(": copia non riuscita"));
    if (Failure f = DocumentSchema::create(dbPath))
        return fail(f.description);

    Database db;
    if (Failure f = db.open(Database::connectionText(dbPath)))
        return fail(f.description);
    DocumentTables tables(db);
    Failure f = tables.begin();
    if (!f)
        f = tables.clear();
    if (!f)
        f = tables.appendBody(company, doc.body, 0, doc.body.size());
    if (!f)
        f = tables.appendHeader(company, doc.header);
    if (!f)
        f = tables.appendTotals(company, doc.totals);
    if (!f)
        f = tables.commit();
    db.close();
    if (f)
        return fail(f.description);

    // Written as the archive keeps it, so the preview is what the archive will hold.
    f = renderDocumentToPdf(folder + report + QStringLiteral(".rpt"), dbPath, company, pdfPath,
                            QPagedPaintDevice::PdfVersion_A1b);
    if (f)
        return fail(QStringLiteral("Errore ") + QString::number(f.number) + QLatin1Char(' ') +
                    f.description);
    QTextStream out(stdout);
    out << pdfPath << '\n';
    tellDestination(folder, doc.kind, company, printFile, out);
    return 0;
}
