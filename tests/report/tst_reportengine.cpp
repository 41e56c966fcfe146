// Printing a document and what it prints: the selection formula, one job and one list line per
// copy, the status of failures, and the text of the PDF it writes (pdftotext), company by company.
#include "printableline.h"
#include "reportdata.h"
#include "reportengine.h"
#include "reporterrors.h"
#include "reportoutput.h"
#include "reportpreview.h"
#include "reportrenderer.h"
#include "reporttemplate.h"
#include "sampledocument.h"
#include "selectionformula.h"
#include "testfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A client program folder: the shipped templates and logo, and a Documenti.mdb.
struct ProgramFolder {
    QTemporaryDir dir;
    QString path; // with the trailing separator, as the client keeps it
    QString pdf;

    ProgramFolder() {
        path = dir.path() + '/';
        pdf = dir.filePath("pdf");
        const QDir templates(VELARIX_SOURCE_DIR "/templates");
        for (const QString& f : templates.entryList({"*.rpt", "*.png"}, QDir::Files))
            QFile::copy(templates.filePath(f), path + f);
    }
    QString db() const { return path + "Documenti.mdb"; }
    QStringList pdfs() const { return QDir(pdf).entryList(QDir::Files, QDir::Name); }
};

struct Recorder {
    QStringList list;
    QStringList log;
    QStringList sequence; // list lines, redraws and log lines in order
    ReportEngineHooks hooks() {
        ReportEngineHooks h;
        h.listAdd = [this](const QString& t) {
            list << t;
            sequence << "list:" + t;
        };
        h.listRedraw = [this] { sequence << "redraw"; };
        h.log = [this](const QString& t) {
            log << t;
            sequence << "log:" + t;
        };
        return h;
    }
};

// Spoils the folder's template or database the way the row names; false when it could not.
bool damageFolder(const ProgramFolder& folder, const QString& damage) {
    if (damage == "template") {
        QFile f(folder.path + "ODL.rpt");
        return f.open(QIODevice::WriteOnly) &&
               f.write("page size=A4\nbody x=10 y=40 rows=40 step=4\nbodyy x=1\n") > 0;
    }
    if (damage == "nodb")
        return QFile::remove(folder.db());
    if (damage == "garbage") {
        QFile f(folder.db());
        return QFile::remove(folder.db()) && f.open(QIODevice::WriteOnly) &&
               f.write(QByteArray(4096, '\x5a')) == 4096;
    }
    if (damage == "notables") {
        bool dropped = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "damage");
            db.setDatabaseName(folder.db());
            dropped = db.open() && QSqlQuery(db).exec("DROP TABLE Testata");
            db.close();
        }
        QSqlDatabase::removeDatabase("damage");
        return dropped;
    }
    return true;
}

// The printer answers with the scripted results, one per copy.
class ScriptedEngine : public ReportEngine {
public:
    using ReportEngine::ReportEngine;
    QList<int> results;
    int jobs = 0;
    QList<int> copiesSent;

protected:
    Failure printCopy(const ReportRenderer&, const QString&, int copy) override {
        copiesSent << copy;
        const int r = results.value(jobs++);
        return r ? Failure{r, QStringLiteral("stampante occupata")} : Failure::none();
    }
};

// The PDF's text line by line, runs of blanks shown as one (pdftotext does not keep the exact
// number of blanks); pages are separated by form feeds.
QString pdfText(const QString& pdf, bool* ok) {
    QProcess p;
    p.start("pdftotext", {"-layout", "-enc", "UTF-8", pdf, "-"});
    *ok = p.waitForFinished(30000) && p.exitCode() == 0;
    QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
    for (QString& line : lines) {
        const bool pageBreak = line.startsWith(QChar(0x0C));
        line = line.simplified();
        if (pageBreak)
            line.prepend(QChar(0x0C));
    }
    return lines.join('\n');
}

bool has(const QString& text, const QString& line) {
    return text.contains(line.simplified());
}

// A request as the import makes it for a print file of the company.
PrintRequest request(int company, const QString& report, int copies) {
    return {company, report, report.left(3), copies,
            QStringLiteral("\\\\srv\\Velarix\\Stampe\\DOC.%1.PRN").arg(company, 3, 10, QChar('0'))};
}

// Where each word of the PDF stands, in points (the last one of equal words).
QMap<QString, QRectF> wordRects(const QString& pdf) {
    QProcess p;
    p.start("pdftotext", {"-bbox", pdf, "-"});
    p.waitForFinished(30000);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    QMap<QString, QRectF> rects;
    for (auto it = word.globalMatch(out); it.hasNext();) {
        const auto m = it.next();
        rects.insert(m.captured(5),
                     QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                            QPointF(m.captured(3).toDouble(), m.captured(4).toDouble())));
    }
    return rects;
}
int pdfPages(const QString& pdf) {
    QProcess p;
    p.start("pdfinfo", {pdf});
    p.waitForFinished(30000);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    for (const QString& line : out.split('\n'))
        if (line.startsWith("Pages:"))
            return line.mid(6).trimmed().toInt();
    return -1;
}

// A document of company 1 whose every line says it belongs to someone else; "" when written.
QString writeForeignDocument(const QString& db) {
    SampleDocument other("ODL", 1, 1);
    other.header[0] = "DOCUMENTO DI UN'ALTRA DITTA";
    for (QString& line : other.body)
        line = "RIGA ESTRANEA";
    other.totals[3] = "TOTALE ESTRANEO";
    return other.write(db);
}

// Adds (or replaces) the letterhead row of a company, as the server's "Dati Ditta" does.
void addLetterhead(const QString& db, int code, const QString& firstLine) {
    {
        QSqlDatabase c = QSqlDatabase::addDatabase("QSQLITE", "letterhead");
        c.setDatabaseName(db);
        QVERIFY(c.open());
        QSqlQuery q(c);
        QVERIFY(q.exec(QString("DELETE FROM Ditta WHERE Codice = %1").arg(code)));
        QVERIFY(q.prepare("INSERT INTO Ditta (Codice, Intestazione1) VALUES (?, ?)"));
        q.addBindValue(code);
        q.addBindValue(firstLine);
        QVERIFY(q.exec());
    }
    QSqlDatabase::removeDatabase("letterhead");
}

} // namespace

class TestReportEngine : public QObject {
    Q_OBJECT

private slots:
    void formula_data();
    void formula();
    void copies_data();
    void copies();
    void printerResults_data();
    void printerResults();
    void retryPrintsOnlyTheMissingCopies();
    void setupFailures_data();
    void setupFailures();
    void refusedJobsStillListed();
    void noDefaultPrinter();
    void pdfContents();
    void plainOdlLetterhead();
    void blankTailStartsNoPage();
    void linesFitTheirPlace();
    void shippedTemplatesPrintOnlyTheDocument_data();
    void shippedTemplatesPrintOnlyTheDocument();
    void printableText_data();
    void printableText();
    void uniqueNames();
    void preview();
    void queueInPdfNames();
    void queueFallbacksLogged();
    void archiveOncePerDocument();
    void archiveFailureDoesNotStopThePrint_data();
    void archiveFailureDoesNotStopThePrint();

private:
    bool havePoppler() const {
        return !QStandardPaths::findExecutable("pdftotext").isEmpty() &&
               !QStandardPaths::findExecutable("pdfinfo").isEmpty();
    }
};

void TestReportEngine::formula_data() {
    QTest::addColumn<int>("company");
    QTest::addColumn<QString>("report");
    QTest::addColumn<QString>("expected");
    QTest::newRow("FVV 3") << 3 << "FVV"
                           << "{Testata.Codice} = 3 AND {Riga.Codice} = 3 AND {Totali.Codice} = 3 "
                              "AND {Ditta.Codice} = 3";
    QTest::newRow("plain ODL")
        << 1 << "ODL"
        << "{Testata.Codice} = 1 AND {Riga.Codice} = 1 AND {Totali.Codice} = 1";
    QTest::newRow("ODL_001")
        << 1 << "ODL_001"
        << "{Testata.Codice} = 1 AND {Riga.Codice} = 1 AND {Totali.Codice} = 1 "
           "AND {Ditta.Codice} = 1";
    QTest::newRow("ODL-02")
        << 12 << "ODL-02"
        << "{Testata.Codice} = 12 AND {Riga.Codice} = 12 AND {Totali.Codice} = 12 "
           "AND {Ditta.Codice} = 12";
    QTest::newRow("lower-case odl") << 5 << "odl"
                                    << "{Testata.Codice} = 5 AND {Riga.Codice} = 5 AND "
                                       "{Totali.Codice} = 5 AND {Ditta.Codice} = 5";
    QTest::newRow("negative") << -4 << "FOM"
                              << "";
    QTest::newRow("zero") << 0 << "ODL"
                          << "";
}

void TestReportEngine::formula() {
    QFETCH(int, company);
    QFETCH(QString, report);
    QFETCH(QString, expected);
    QCOMPARE(SelectionFormula::text(company, report), expected);
}

void TestReportEngine::copies_data() {
    QTest::addColumn<int>("copies");
    QTest::newRow("three") << 3;
    QTest::newRow("one") << 1;
    QTest::newRow("none") << 0;
    QTest::newRow("negative") << -2;
}

void TestReportEngine::copies() {
    QFETCH(int, copies);
    ProgramFolder folder;
    QCOMPARE(SampleDocument("ODL", 1, 1).write(folder.db()), QString());
    QCOMPARE(SampleDocument::loadLetterheads(folder.db()), QString());
    Recorder rec;
    ReportEngine engine(folder.path, folder.pdf, rec.hooks());

    QCOMPARE(engine.printDocument(request(1, "ODL", copies)).number, 0);

    QStringList expected{"log:Stampa"};
    for (int k = 1; k <= copies; ++k)
        expected << "list:Stampa " + folder.path + "ODL.rpt - Copia " + QString::number(k)
                 << "redraw";
    QCOMPARE(rec.sequence, expected);
    const QStringList files = folder.pdfs();
    QCOMPARE(files.size(), std::max(copies, 0));
    for (int k = 1; k <= copies; ++k) {
        const QString suffix = "_copia" + QString::number(k) + ".pdf";
        const auto found = std::count_if(files.begin(), files.end(), [&](const QString& f) {
            return f.startsWith("ODL_") && f.endsWith(suffix);
        });
        QCOMPARE(found, 1);
    }
    QCOMPARE(engine.lastPdfFiles().size(), files.size());
}

void TestReportEngine::printerResults_data() {
    QTest::addColumn<QList<int>>("results");
    QTest::addColumn<int>("status");
    QTest::newRow("all printed") << QList<int>{0, 0} << 0;
    // A failed copy is not hidden by a later one that printed.
    QTest::newRow("first fails") << QList<int>{20, 0} << 20;
    QTest::newRow("last fails") << QList<int>{0, 20505} << 20505;
    QTest::newRow("different failures") << QList<int>{20504, 20505, 0} << 20505;
}

void TestReportEngine::printerResults() {
    QFETCH(QList<int>, results);
    QFETCH(int, status);
    ProgramFolder folder;
    QCOMPARE(SampleDocument("FVV", 3, 1).write(folder.db()), QString());
    addLetterhead(folder.db(), 3, "TERZA DITTA S.p.A.");
    Recorder rec;
    ScriptedEngine engine(folder.path, QString(), rec.hooks());
    engine.results = results;
    QCOMPARE(engine.printDocument(request(3, "FVV", static_cast<int>(results.size()))).number,
             status);
    QCOMPARE(engine.jobs, results.size()); // every copy attempted
    QCOMPARE(rec.list.size(), results.size());
    QCOMPARE(rec.list.constLast(),
             "Stampa " + folder.path + "FVV.rpt - Copia " + QString::number(results.size()));
    QCOMPARE(rec.log.constFirst(), QString("Stampa"));
    const auto failures = std::count_if(results.begin(), results.end(), [](int r) { return r; });
    QCOMPARE(rec.log.size(), 1 + failures); // one log line per failed job, with its number
    if (status)
        QVERIFY(rec.log.constLast().startsWith("Stampa Err. " + QString::number(status) + ' '));
}

void TestReportEngine::retryPrintsOnlyTheMissingCopies() {
    // The printer takes the first copy and refuses the second; offered again, the document
    // comes out with its second copy only.
    ProgramFolder folder;
    QCOMPARE(SampleDocument("FVV", 3, 1).write(folder.db()), QString());
    addLetterhead(folder.db(), 3, "TERZA DITTA S.p.A.");
    Recorder rec;
    ScriptedEngine engine(folder.path, QString(), rec.hooks());
    engine.results = {0, 20, 0};
    ReportPrinter::PrintedCopies printed;
    QCOMPARE(engine.printDocument(request(3, "FVV", 2), printed).number, 20);
    QCOMPARE(printed, ReportPrinter::PrintedCopies{1});
    QVERIFY(engine.printDocument(request(3, "FVV", 2), printed).ok());
    QCOMPARE(printed, (ReportPrinter::PrintedCopies{1, 2}));
    QCOMPARE(engine.copiesSent, (QList<int>{1, 2, 2}));
    QCOMPARE(rec.list.constLast(), "Stampa " + folder.path + "FVV.rpt - Copia 2");
    QCOMPARE(rec.list.size(), 3);
}

void TestReportEngine::setupFailures_data() {
    QTest::addColumn<QString>("report");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("detail");
    QTest::newRow("missing template") << "FOM_002"
                                      << "" << ReportError::MissingTemplate << "FOM_002.rpt";
    QTest::newRow("broken template") << "ODL"
                                     << "template" << ReportError::BadTemplate << "ODL.rpt:3: ";
    QTest::newRow("no database") << "ODL"
                                 << "nodb" << ReportError::DatabaseUnreadable << "Documenti.mdb";
    QTest::newRow("not a database")
        << "ODL"
        << "garbage" << ReportError::DatabaseUnreadable << "Documenti.mdb";
    QTest::newRow("tables missing") << "ODL"
                                    << "notables" << ReportError::DatabaseUnreadable << "Testata";
    QTest::newRow("locked by a writer")
        << "ODL"
        << "locked" << ReportError::DatabaseUnreadable << "Documenti.mdb";
    QTest::newRow("other company only") << "ODL"
                                        << "othercompany" << ReportError::NoDocument << "ditta 2";
}

void TestReportEngine::setupFailures() {
    QFETCH(QString, report);
    QFETCH(QString, damage);
    QFETCH(int, status);
    QFETCH(QString, detail);
    ProgramFolder folder;
    QCOMPARE(SampleDocument("ODL", damage == "othercompany" ? 1 : 2, 1).write(folder.db()),
             QString());
    QVERIFY(damageFolder(folder, damage));
    QSqlDatabase locker;
    if (damage == "locked") {
        // Another program is in the middle of writing the tables.
        locker = QSqlDatabase::addDatabase("QSQLITE", "locker");
        locker.setDatabaseName(folder.db());
        QVERIFY(locker.open());
        QVERIFY(QSqlQuery(locker).exec("BEGIN EXCLUSIVE"));
        QVERIFY(QSqlQuery(locker).exec("DELETE FROM Riga"));
    }

    Recorder rec;
    ReportEngine engine(folder.path, folder.pdf, rec.hooks());
    const Failure printed = engine.printDocument(request(2, report, 3));
    QCOMPARE(printed.number, status);
    // Nothing was printed: no list line, no PDF, and the log says why.
    QVERIFY(rec.list.isEmpty());
    QVERIFY(folder.pdfs().isEmpty());
    QCOMPARE(rec.log.size(), 2);
    QCOMPARE(rec.log.at(0), QString("Stampa"));
    QVERIFY2(rec.log.at(1).startsWith("Stampa Err. " + QString::number(status)),
             qPrintable(rec.log.at(1)));
    QVERIFY2(rec.log.at(1).contains(detail), qPrintable(rec.log.at(1)));
    QVERIFY(rec.log.at(1).endsWith(printed.description));
    if (locker.isValid()) {
        QSqlQuery(locker).exec("ROLLBACK");
        locker.close();
        locker = QSqlDatabase();
        QSqlDatabase::removeDatabase("locker");
    }
    // The database was only read.
    if (damage.isEmpty() || damage == "othercompany")
        QVERIFY(QFile::exists(folder.db()));
    if (damage == "nodb")
        QVERIFY(!QFile::exists(folder.db()));
}

void TestReportEngine::refusedJobsStillListed() {
    ProgramFolder folder;
    QCOMPARE(SampleDocument("PRE", 1, 1).write(folder.db()), QString());
    QCOMPARE(SampleDocument::loadLetterheads(folder.db()), QString());
    // The PDF folder is a file: every job is refused, every copy is tried and listed.
    QFile blocker(folder.pdf);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Recorder rec;
    ReportEngine engine(folder.path, folder.pdf, rec.hooks());
    QCOMPARE(engine.printDocument(request(1, "PRE", 2)).number, ReportError::PrintRefused);
    QCOMPARE(rec.list, (QStringList{"Stampa " + folder.path + "PRE.rpt - Copia 1",
                                    "Stampa " + folder.path + "PRE.rpt - Copia 2"}));
    QVERIFY(engine.lastPdfFiles().isEmpty());
}

void TestReportEngine::noDefaultPrinter() {
    // No print server to ask: there is no default printer, and each copy says so.
    qputenv("CUPS_SERVER", QDir::temp().filePath("velarix-no-cups.sock").toLocal8Bit());
    qunsetenv("PRINTER");
    qunsetenv("LPDEST");
    ProgramFolder folder;
    QCOMPARE(SampleDocument("FVV", 4, 1).write(folder.db()), QString());
    addLetterhead(folder.db(), 4, "QUARTA DITTA S.r.l.");
    Recorder rec;
    ReportEngine engine(folder.path, QString(), rec.hooks());
    QCOMPARE(engine.printDocument(request(4, "FVV", 2)).number, ReportError::NoPrinter);
    QCOMPARE(rec.list.size(), 2);
    QCOMPARE(rec.log.constLast(), QString("Stampa Err. 20504 Nessuna stampante predefinita"));
}

void TestReportEngine::pdfContents() {
    if (!havePoppler())
        QSKIP("pdftotext/pdfinfo (poppler-utils) not installed");
    ProgramFolder folder;
    // Two documents in the tables: the report of company 2 must print only its own records.
    QCOMPARE(writeForeignDocument(folder.db()), QString());
    SampleDocument doc("ODL", 2, 2);
    QCOMPARE(doc.write(folder.db()), QString());
    QCOMPARE(SampleDocument::loadLetterheads(folder.db()), QString());

    // Per-company templates are copies of the kind's template under the report name.
    QVERIFY(QFile::copy(folder.path + "ODL.rpt", folder.path + "ODL_002.rpt"));
    Recorder rec;
    ReportEngine engine(folder.path, folder.pdf, rec.hooks());
    QCOMPARE(engine.printDocument(request(2, "ODL_002", 1)).number, 0);
    QCOMPARE(engine.lastPdfFiles().size(), 1);
    const QString pdf = engine.lastPdfFiles().constFirst();
    QCOMPARE(pdfPages(pdf), 2);
    bool ok = false;
    const QString text = pdfText(pdf, &ok);
    QVERIFY(ok);
    const QStringList pages = text.split(QChar(0x0C));

    // Letterhead of company 2 on both pages, not that of company 1.
    for (int p = 0; p < 2; ++p) {
        QVERIFY(pages.at(p).contains("AUTORIPARAZIONI SANTORO & FIGLI S.n.c."));
        QVERIFY(pages.at(p).contains("70056 Molfetta (BA)"));
        QVERIFY(pages.at(p).contains("ORDINE DI LAVORO N. 2026/001234"));
        QVERIFY(has(pages.at(p), QString::fromUtf8("Spett.le  Bianchi Niccolò & C. S.a.s.")));
    }
    QVERIFY(!text.contains("OFFICINE MERIDIANA"));
    QVERIFY(pages.at(0).contains("Pagina 1 di 2"));
    QVERIFY(pages.at(1).contains("Pagina 2 di 2"));
    QVERIFY(pages.at(0).contains("Segue alla pagina successiva"));

    // Header, body lines of both pages, totals on the last page only.
    QVERIFY(text.contains(QString::fromUtf8("20121 Città di Milano (MI)")));
    QVERIFY(has(text, QString::fromUtf8("Q.tà    Prezzo €   Importo €")));
    QVERIFY(has(pages.at(0), doc.body.at(0)));
    QVERIFY(has(pages.at(1), doc.body.at(40)));
    QVERIFY(!pages.at(0).contains("TOTALE DOCUMENTO"));
    QVERIFY(has(pages.at(1), doc.totals.at(6)));
    QVERIFY(pages.at(1).contains(QString::fromUtf8("Note: è necessario ritirare il veicolo")));
    QVERIFY(text.contains(QString::fromUtf8("€")));

    // Every non-blank body line is printed, as often as it occurs in the document.
    for (const QString& line : doc.body)
        if (!line.trimmed().isEmpty())
            QVERIFY2(text.count(line.simplified()) == doc.body.count(line), qPrintable(line));

    QVERIFY(!text.contains("ALTRA DITTA"));
    QVERIFY(!text.contains("RIGA ESTRANEA"));
    QVERIFY(!text.contains("TOTALE ESTRANEO"));

    // The PDF appears complete under its final name: no temporary file is left over.
    QCOMPARE(QDir(folder.pdf).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void TestReportEngine::plainOdlLetterhead() {
    if (!havePoppler())
        QSKIP("pdftotext (poppler-utils) not installed");
    ProgramFolder folder;
    QCOMPARE(SampleDocument("ODL", 2, 1).write(folder.db()), QString());
    QCOMPARE(SampleDocument::loadLetterheads(folder.db()), QString());
    // The plain ODL report does not filter Ditta: the company's own row is still preferred.
    const QString out = folder.dir.filePath("odl.pdf");
    QVERIFY(renderDocumentToPdf(folder.path + "ODL.rpt", folder.db(), 2, out).ok());
    bool ok = false;
    const QString text = pdfText(out, &ok);
    QVERIFY(ok);
    QVERIFY(text.contains("AUTORIPARAZIONI SANTORO"));

    // ...and with no row for the company, no other company's letterhead and no empty one stands
    // in, whichever report: the print fails with its own number, naming the company.
    ReportData data;
    QCOMPARE(ReportData::load(folder.db(), 7, data).number, ReportError::NoDocument);
    QCOMPARE(SampleDocument("ODL", 7, 1).write(folder.db()), QString());
    const Failure missing = ReportData::load(folder.db(), 7, data);
    QCOMPARE(missing.number, ReportError::NoLetterhead);
    QVERIFY(missing.description.contains("ditta 7"));
    Recorder rec;
    ReportEngine engine(folder.path, folder.pdf, rec.hooks());
    QVERIFY(QFile::copy(folder.path + "ODL.rpt", folder.path + "ODL_007.rpt"));
    for (const char* report : {"ODL", "ODL_007"})
        QCOMPARE(engine.printDocument(request(7, report, 1)).number, ReportError::NoLetterhead);
    QVERIFY(QDir(folder.pdf).isEmpty());

    // Once the company has its row, the same document prints with it.
    addLetterhead(folder.db(), 7, "CARROZZERIA SETTE S.r.l.");
    QVERIFY(engine.printDocument(request(7, "ODL", 1)).ok());
    QVERIFY(pdfText(engine.lastPdfFiles().value(0), &ok).contains("CARROZZERIA SETTE"));
}

void TestReportEngine::blankTailStartsNoPage() {
    ReportTemplate tpl;
    QVERIFY(ReportTemplate::load(VELARIX_SOURCE_DIR "/templates/ODL.rpt", tpl).ok());
    ReportData data;
    data.body = QStringList(40, "riga");
    QCOMPARE(ReportRenderer(tpl, data).pageCount(), 1);
    data.body += QStringList(40, QString(80, ' ')); // a page of filler lines
    QCOMPARE(ReportRenderer(tpl, data).pageCount(), 1);
    data.body[41] = "x";
    QCOMPARE(ReportRenderer(tpl, data).pageCount(), 2);
    data.body.clear();
    QCOMPARE(ReportRenderer(tpl, data).pageCount(), 1);
}

void TestReportEngine::linesFitTheirPlace() {
    if (!havePoppler())
        QSKIP("pdftotext (poppler-utils) not installed");
    // A body font far too large for 80 columns; header lines of 120 and 300 characters without a
    // blank, one of 105 with blanks, and a short one, 99 columns of 9 pt to the margin.
    ReportTemplate tpl;
    const Failure parsed =
        ReportTemplate::parse("page size=A4\n"
                              "margins left=10 top=10 right=10 bottom=10\n"
                              "font name=big family=\"Liberation Mono\" size=20\n"
                              "font name=mono family=\"Liberation Mono\" size=9\n"
                              "header line=1..5 x=10 y=10 step=6 font=mono\n"
                              "body x=10 y=90 rows=10 step=9 font=big\n",
                              "fit.rpt", ".", tpl);
    QVERIFY2(parsed.ok(), qPrintable(parsed.description));
    ReportData data;
    const QString columns80 = QString("0123456789").repeated(8);
    data.body = QStringList{columns80, "A" + QString(78, ' ') + "Z"};
    const QString long120 = QString("abcdefghijklmnopqrstuvwxyz0123").repeated(4);
    const QString words105 = QString("parola ").repeated(15);
    data.header = QStringList{long120, QString("W").repeated(300), words105, "corta"};
    QTemporaryDir dir;
    const QString pdf = dir.filePath("fit.pdf");
    QVERIFY(ReportOutput::writePdf(ReportRenderer(tpl, data), pdf, "fit").ok());

    const QMap<QString, QRectF> rects = wordRects(pdf);
    const double mm = 72.0 / 25.4;
    const double right = 200 * mm + 1.0; // right margin, one point of tolerance
    auto column = [&](const QString& word) { return rects.value(word).width() / word.size(); };

    // 80 columns are all there and end inside the right margin; column 80 stays under column 80.
    QVERIFY(rects.contains(columns80) && rects.value(columns80).right() <= right);
    QVERIFY(qAbs(rects.value("Z").right() - rects.value(columns80).right()) < 0.5);
    // The 120 characters wrap at their 9 pt (a column of 5.4 pt) onto a second row, below the
    // first; the next line moves down rather than print over it.
    const QString first = long120.left(99), rest = long120.mid(99);
    QVERIFY2(rects.contains(first) && rects.contains(rest), qPrintable(rects.keys().join(' ')));
    QVERIFY(qAbs(column(first) - 5.4) < 0.05 && qAbs(column(rest) - 5.4) < 0.05);
    QVERIFY(rects.value(rest).top() > rects.value(first).bottom() - 1);
    // 300 characters take three rows at most (the last one is cut at the margin, which
    // pdftotext does not show), each below the one before.
    const QRectF second = rects.value(QString(99, 'W')), third = rects.value(QString(102, 'W'));
    QCOMPARE(second.left(), rects.value(first).left());
    QVERIFY(second.top() > rects.value(rest).bottom() - 1 && third.top() > second.bottom() - 1);
    // 105 characters shrink a little on their own row, never below 8 pt (4.8 pt a column); the
    // short line keeps its declared size and comes last.
    QVERIFY(column("parola") >= 4.79 && column("parola") < 5.35);
    QVERIFY(rects.value("parola").right() > 100 * 4.79);
    QVERIFY2(qAbs(column("corta") - 5.4) < 0.05, qPrintable(QString::number(column("corta"))));
    QVERIFY(rects.value("corta").top() > rects.value("parola").bottom());
}

void TestReportEngine::shippedTemplatesPrintOnlyTheDocument_data() {
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"ODL", "PRE", "FOM", "FVV"})
        QTest::newRow(kind) << kind;
}

// A document that names itself otherwise than its kind, with 135 characters of payment terms and
// page 1's continuation note left among the totals: the page says what the file says, and the 80
// dashes under the column headings keep the body's 9.5 pt columns (5.7 pt each).
void TestReportEngine::shippedTemplatesPrintOnlyTheDocument() {
    if (!havePoppler())
        QSKIP("pdftotext (poppler-utils) not installed");
    QFETCH(QString, kind);
    ProgramFolder folder;
    SampleDocument doc(kind, 1, 2);
    doc.header[0] = "PREORDINE RICAMBI N. 77";
    doc.header[6] =
        QString("Pagamento: 30% alla firma, saldo alla consegna; ").repeated(3).left(135);
    doc.totals[10] = QString(60, ' ') + "Segue a pagina 2";
    doc.totals[13] = "ULTIMA RIGA DEI TOTALI";
    QCOMPARE(doc.write(folder.db()), QString());
    QCOMPARE(SampleDocument::loadLetterheads(folder.db()), QString());
    const QString out = folder.dir.filePath("doc.pdf");
    QVERIFY(renderDocumentToPdf(folder.path + kind + ".rpt", folder.db(), 1, out).ok());
    bool ok = false;
    const QString text = pdfText(out, &ok);
    QVERIFY(ok);
    for (const char* title : {"ORDINE DI LAVORO", "PREVENTIVO", "OFFICINA", "VENDITA VEICOL"})
        QVERIFY2(!text.contains(title), title);
    QCOMPARE(text.count("PREORDINE RICAMBI N. 77"), 2);
    // The payment terms wrap onto a second row rather than shrink to 6 pt.
    QVERIFY(has(QString(text).replace('\n', ' '), doc.header[6]));
    QVERIFY(!has(text, doc.header[6]));
    QVERIFY(!text.contains("Segue a pagina") && text.contains("Segue alla pagina successiva"));
    const QRectF rule = wordRects(out).value(QString(80, '-'));
    QVERIFY2(qAbs(rule.width() - 80 * 5.7) < 1.0, qPrintable(QString::number(rule.left())));
    // The fourteenth totals line stays a millimetre clear of the totals frame.
    ReportTemplate tpl;
    QVERIFY(ReportTemplate::load(folder.path + kind + ".rpt", tpl).ok());
    double frameBottom = 0;
    for (const TemplateItem& it : tpl.items)
        if (it.kind == TemplateItem::Kind::Box && it.pages == TemplateItem::Pages::Last)
            frameBottom = (it.y + it.height) * 72.0 / 25.4;
    const double lastLine = wordRects(out).value("ULTIMA").bottom();
    QVERIFY2(lastLine > 0 && lastLine + 72.0 / 25.4 < frameBottom,
             qPrintable(QStringLiteral("%1 %2").arg(lastLine).arg(frameBottom)));
}

void TestReportEngine::printableText_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << "Totale € 12,00"
                           << "Totale € 12,00";
    QTest::newRow("tab") << "ab\tc"
                         << "ab      c";
    QTest::newRow("form feed takes no column") << "\fABC  1"
                                               << "ABC  1";
    QTest::newRow("vertical tab and nul") << QString("\vA") + QChar(0) + "B"
                                          << "AB";
}

void TestReportEngine::printableText() {
    QFETCH(QString, line);
    QFETCH(QString, shown);
    QCOMPARE(printableLine(line), shown);
}

void TestReportEngine::uniqueNames() {
    QTemporaryDir dir;
    const QDateTime when(QDate(2026, 12, 7), QTime(14, 30, 5, 123));
    const QString first = ReportOutput::uniquePdfPath(dir.path(), "ODL_001-02", "Ufficio", 1, when);
    QCOMPARE(QFileInfo(first).fileName(),
             QString("ODL_001-02_Ufficio_20261207-143005-123_copia1.pdf"));
    QFile f(first);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QCOMPARE(QFileInfo(ReportOutput::uniquePdfPath(dir.path(), "ODL_001-02", "Ufficio", 1, when))
                 .fileName(),
             QString("ODL_001-02_Ufficio_20261207-143005-123_copia1-2.pdf"));
    // Names from files others write never leave the folder nor hide the file.
    QCOMPARE(
        QFileInfo(ReportOutput::uniquePdfPath(dir.path(), "../x y", "..\\q/r", 2, when)).fileName(),
        QString("_._x_y__._q_r_20261207-143005-123_copia2.pdf"));
}

void TestReportEngine::preview() {
    ProgramFolder folder;
    QCOMPARE(SampleDocument("FOM", 2, 3).write(folder.db()), QString());
    QCOMPARE(SampleDocument::loadLetterheads(folder.db()), QString());
    const QString out = folder.dir.filePath("preview/fom.pdf");
    const Failure f = renderDocumentToPdf(folder.path + "FOM.rpt", folder.db(), 2, out);
    QVERIFY2(f.ok(), qPrintable(f.description));
    if (havePoppler())
        QCOMPARE(pdfPages(out), 3);
    QCOMPARE(
        renderDocumentToPdf(folder.path + "FOM.rpt", folder.db(), 2, "/proc/none/x.pdf").number,
        ReportError::PrintRefused);
    QCOMPARE(renderDocumentToPdf(folder.path + "XYZ.rpt", folder.db(), 2, out).number,
             ReportError::MissingTemplate);
}

void TestReportEngine::queueInPdfNames() {
    ProgramFolder folder;
    QCOMPARE(SampleDocument("ODL", 2, 1).write(folder.db()), QString());
    QCOMPARE(SampleDocument::loadLetterheads(folder.db()), QString());
    // With PDF files no printer is looked up: a queue this machine has never heard of is
    // taken as written, and a kind without a line is "predefinita".
    QFile file(folder.path + "Stampanti.txt");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("ODL=Officina\r\nFVV=Non_Esiste_Qui\r\n");
    file.close();
    Recorder rec;
    ReportEngine engine(folder.path, folder.pdf, rec.hooks());
    for (const auto& [kind, queue] : {std::pair{"ODL", "Officina"}, std::pair{"PRE", "predefinita"},
                                      std::pair{"FVV", "Non_Esiste_Qui"}}) {
        QCOMPARE(engine.printDocument(request(2, kind, 1)).number, 0);
        QCOMPARE(engine.lastPdfFiles().size(), 1);
        const QString name = QFileInfo(engine.lastPdfFiles().constFirst()).fileName();
        QVERIFY2(name.startsWith(QString(kind) + "_" + queue + "_"), qPrintable(name));
    }
    QCOMPARE(rec.log, QStringList({"Stampa", "Stampa", "Stampa"}));
}

void TestReportEngine::queueFallbacksLogged() {
    ProgramFolder folder;
    QCOMPARE(SampleDocument("FVV", 2, 1).write(folder.db()), QString());
    QCOMPARE(SampleDocument::loadLetterheads(folder.db()), QString());
    QFile file(folder.path + "Stampanti.txt");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("FVV=Velarix_Coda_Sparita\r\nstampante laser\r\n");
    file.close();
    Recorder rec;
    ScriptedEngine engine(folder.path, QString(), rec.hooks());
    QCOMPARE(engine.printDocument(request(2, "FVV", 1)).number, 0);
    QCOMPARE(engine.printDocument(request(2, "PRE", 1)).number, 0);
    QCOMPARE(engine.jobs, 2); // both printed, on the default printer
    const QString ignored = "Stampanti.txt: riga non valida ignorata: stampante laser";
    QCOMPARE(rec.log,
             QStringList({"Stampa", ignored,
                          "Stampante Velarix_Coda_Sparita non trovata: FVV sulla stampante "
                          "predefinita",
                          "Stampa", ignored,
                          "Nessuna stampante per PRE in Stampanti.txt: stampante predefinita"}));
}

namespace {
QStringList archived(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, {"*.pdf"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

// The program folder's Stampanti.txt names this archive folder and nothing else.
void archiveInto(const ProgramFolder& folder, const QString& archive) {
    QFile file(folder.path + "Stampanti.txt");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("ARCHIVIO=" + archive.toLocal8Bit() + "\r\n");
}

QString pdfInfo(const QString& pdf) {
    QProcess p;
    p.start("pdfinfo", {"-meta", pdf});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}
} // namespace

void TestReportEngine::archiveOncePerDocument() {
    if (!havePoppler())
        QSKIP("pdftotext/pdfinfo (poppler-utils) not installed");
    ProgramFolder folder;
    QCOMPARE(SampleDocument("FVV", 2, 2).write(folder.db()), QString());
    QCOMPARE(SampleDocument::loadLetterheads(folder.db()), QString());
    const QString archive = folder.dir.filePath("archivio");
    QVERIFY(QDir().mkpath(archive));
    archiveInto(folder, archive);
    Recorder rec;
    ReportEngine engine(folder.path, folder.pdf, rec.hooks());

    // Two copies, one archived document, in the kind's folder of this year.
    QCOMPARE(engine.printDocument(request(2, "FVV", 2)).number, 0);
    QCOMPARE(engine.lastPdfFiles().size(), 2);
    const QString year = QString::number(QDate::currentDate().year());
    QStringList files = archived(archive);
    QCOMPARE(files.size(), 1);
    QVERIFY2(QRegularExpression("^FVV/" + year + "/FVV_002_DOC\\.002_\\d{8}-\\d{6}\\.pdf$")
                 .match(files.first())
                 .hasMatch(),
             qPrintable(files.first()));
    QCOMPARE(engine.lastArchiveFile(), QDir(archive).filePath(files.first()));
    QCOMPARE(rec.log.constLast(), "Archiviato: " + engine.lastArchiveFile());

    // Kept for the long run: PDF/A-1b, with the text a search finds, pages as printed.
    const QString info = pdfInfo(engine.lastArchiveFile());
    QVERIFY2(info.contains("pdfaid:part") && info.contains("pdfaid:conformance"), qPrintable(info));
    QVERIFY(QRegularExpression("pdfaid:part(>|=\"|\\s*=\\s*\")1").match(info).hasMatch());
    QCOMPARE(pdfPages(engine.lastArchiveFile()), 2);
    bool ok = false;
    const QString text = pdfText(engine.lastArchiveFile(), &ok);
    QVERIFY(ok);
    QVERIFY(text.contains("AUTORIPARAZIONI SANTORO & FIGLI S.n.c."));

    // The same print file again (the same second, even) never replaces the first.
    const QString firstPath = engine.lastArchiveFile();
    const QByteArray first = readFile(firstPath);
    QCOMPARE(engine.printDocument(request(2, "FVV", 1)).number, 0);
    QCOMPARE(engine.printDocument(request(2, "FVV", 1)).number, 0);
    QCOMPARE(archived(archive).size(), 3);
    QCOMPARE(readFile(firstPath), first);

    // A copy that failed brings the document back later: it is archived then, not now.
    ScriptedEngine failing(folder.path, QString(), rec.hooks());
    failing.results = {ReportError::PrintRefused};
    QCOMPARE(failing.printDocument(request(2, "FVV", 1)).number, ReportError::PrintRefused);
    QCOMPARE(archived(archive).size(), 3);

    // On a printer the archive's PDF is rendered beside the copies: the same document.
    ScriptedEngine printing(folder.path, QString(), rec.hooks());
    QCOMPARE(printing.printDocument(request(2, "FVV", 2)).number, 0);
    QCOMPARE(archived(archive).size(), 4);
    QCOMPARE(pdfPages(printing.lastArchiveFile()), 2);
    QVERIFY(pdfText(printing.lastArchiveFile(), &ok).contains("AUTORIPARAZIONI SANTORO"));
}

void TestReportEngine::archiveFailureDoesNotStopThePrint_data() {
    QTest::addColumn<QString>("blocker"); // a file where the archive needs a folder
    QTest::addColumn<QString>("reason");
    QTest::newRow("archive folder missing") << "archivio"
                                            << "Cartella archivio non trovata: ";
    QTest::newRow("kind folder taken") << "archivio/ODL"
                                       << "Cartella archivio non scrivibile: ";
}

void TestReportEngine::archiveFailureDoesNotStopThePrint() {
    QFETCH(QString, blocker);
    QFETCH(QString, reason);
    ProgramFolder folder;
    QCOMPARE(SampleDocument("ODL", 2, 1).write(folder.db()), QString());
    QCOMPARE(SampleDocument::loadLetterheads(folder.db()), QString());
    const QString archive = folder.dir.filePath("archivio");
    QVERIFY(QDir().mkpath(QFileInfo(folder.dir.filePath(blocker)).absolutePath()));
    QFile block(folder.dir.filePath(blocker));
    QVERIFY(block.open(QIODevice::WriteOnly));
    block.close();
    archiveInto(folder, archive);
    Recorder rec;
    QStringList alerts;
    ReportEngineHooks hooks = rec.hooks();
    hooks.archiveFailed = [&](const Failure& f, const QString& file) {
        alerts << f.description + QStringLiteral(" - ") + file;
    };
    ReportEngine engine(folder.path, folder.pdf, hooks);

    QCOMPARE(engine.printDocument(request(2, "ODL", 1)).number, 0);
    QCOMPARE(engine.lastPdfFiles().size(), 1);
    QVERIFY(engine.lastArchiveFile().isEmpty());
    QCOMPARE(rec.list.size(), 2);
    QVERIFY2(rec.list.constLast().startsWith("Archivio non scritto: " + reason),
             qPrintable(rec.list.constLast()));
    QCOMPARE(rec.log.constLast(), rec.list.constLast());
    QCOMPARE(alerts.size(), 1);
    QVERIFY(rec.list.constLast().endsWith(alerts.constFirst().section(" - ", 0, 0)));
    QVERIFY(alerts.constFirst().endsWith("DOC.002.PRN"));
    QCOMPARE(archived(folder.dir.path()).filter("archivio/").size(), 0);
}

QTEST_MAIN(TestReportEngine)
#include "tst_reportengine.moc"
