// The import routine end to end: a real print file under a share root, a real SQLite
// Documenti.mdb, a recording host and a scripted printer. Checks the exact list/log sequence of
// each outcome, the tables afterwards, and the reply.

#include "documentimport.h"
#include "documentschema.h"
#include "importfixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

const QString SharePathPrefix = QStringLiteral("\\\\srv\\Velarix\\Stampe\\");

QStringList said(const QString& text) {
    return {QStringLiteral("list ") + text, QStringLiteral("log ") + text,
            QStringLiteral("redraw")};
}

QStringList saidError(const QString& text) {
    return {QStringLiteral("list ") + text, QStringLiteral("redraw"),
            QStringLiteral("log ") + text};
}

QStringList start(const QString& message) {
    return {QStringLiteral("request ") + message, QStringLiteral("log Calcolo"),
            QStringLiteral("events"), QStringLiteral("log ") + message};
}

QStringList page(int n, bool broken = false) {
    QStringList s{QStringLiteral("events"), QStringLiteral("events")};
    s += said(QStringLiteral("Preparo: Testata Pagina %1").arg(n));
    s += said(QStringLiteral("Preparo: Righe"));
    s += said(QStringLiteral("Preparo: Totali Pagina %1").arg(n));
    Q_UNUSED(broken);
    return s;
}

QStringList replied(int socket, const QString& path) {
    const QString del = QStringLiteral("DEL:") + path + u'\r';
    QStringList s{QStringLiteral("reply %1 ").arg(socket) + del, QStringLiteral("log ") + del};
    s += said(QStringLiteral("Inviato: Cancellare file"));
    return s;
}

QStringList printed(const QString& status = QString()) {
    QStringList s = said(QStringLiteral("Scrivo: Testata"));
    s += said(QStringLiteral("Scrivo: Totali"));
    s += said(QStringLiteral("Invio alla Stampante"));
    s += said(status.isEmpty() ? QStringLiteral("Stampa Ok") : status);
    return s;
}

} // namespace

class TestDocumentImport : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void completeRun();
    void notAPrintRequest();
    void pathTrimmedAndCut();
    void fileMissingKeepsTables();
    void otherOpenFailure_data();
    void otherOpenFailure();
    void noCarriageReturn();
    void databaseUnavailable();
    void shortFile();
    void unknownCode();
    void copiesNotANumber();
    void printerError_data();
    void printerError();
    void copiesOutBeforeAFailureAreNotPrintedAgain();
    void headerRecordNotSaved();
    void bodyRecordNotSaved();
    void messageDuringRunIsQueued();
    void clientEndingLeavesTheRestToTheServer();
    void completedFileNotPrintedTwice();
    void secondRunReplacesTables();
    void windows1252IntoTables();
    void earlyEndFillers();
    void copiesZeroAndReplyNotDelivered();
    void fileTooLarge();

private:
    QString writeFile(const QString& name, const QByteArray& bytes);
    DocumentImportSettings settings() const;
    int count(const QString& table) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_share;
    QString m_db;
    RecordingHost m_host;
    ScriptedPrinter m_printer;
};

void TestDocumentImport::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_share = m_dir->filePath(QStringLiteral("share"));
    QVERIFY(QDir().mkpath(m_share + QStringLiteral("/Stampe")));
    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("client"))));
    m_db = m_dir->filePath(QStringLiteral("client/Documenti.mdb"));
    QVERIFY(DocumentSchema::create(m_db).ok());
    m_host = RecordingHost();
    m_printer = ScriptedPrinter();
}

void TestDocumentImport::cleanup() {
    m_dir.reset();
}

QString TestDocumentImport::writeFile(const QString& name, const QByteArray& bytes) {
    QFile f(m_share + QStringLiteral("/Stampe/") + name);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(bytes);
    return SharePathPrefix + name;
}

DocumentImportSettings TestDocumentImport::settings() const {
    DocumentImportSettings s;
    s.installFolder = m_dir->filePath(QStringLiteral("client")) + u'/';
    s.documentsConnection = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + m_db;
    s.copiesTable = {QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("1"),
                     QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("1")};
    s.shareRoot = m_share;
    return s;
}

int TestDocumentImport::count(const QString& table) const {
    const QStringList rows = tableRows(m_db, QStringLiteral("select count(*) from ") + table);
    return rows.isEmpty() ? -1 : rows.first().toInt();
}

void TestDocumentImport::completeRun() {
    const QString path = writeFile(QStringLiteral("ODL00412.001.PRN"), makePrintFile("01", 2));
    DocumentImportSettings s = settings();
    s.perCompanyReports = true;
    s.perBranchReports = true;
    DocumentImport import(m_host, m_printer, s);
    const QString message = QStringLiteral("DIR:") + path + u'\r';
    import.receive(message, 1);

    QStringList expected = start(message);
    expected += said(QStringLiteral("Preparo: ODL_001-02"));
    expected += page(1);
    expected += page(2);
    expected += printed();
    expected += replied(1, path);
    QCOMPARE(m_host.calls, expected);

    QCOMPARE(m_printer.calls.size(), 1);
    QCOMPARE(m_printer.calls[0].company, 1);
    QCOMPARE(m_printer.calls[0].report, QStringLiteral("ODL_001-02"));
    QCOMPARE(m_printer.calls[0].copies, 2);
    // The printer and the archive go by the kind, whatever suffixes the template has.
    QCOMPARE(m_printer.calls[0].kind, QStringLiteral("ODL"));
    QCOMPARE(m_printer.calls[0].printFile, path);

    const QStringList riga =
        tableRows(m_db, QStringLiteral("select Codice, Riga, Testo from Riga order by Riga"));
    QCOMPARE(riga.size(), 80);
    QCOMPARE(riga.first(), QStringLiteral("1|1|P1 B1"));
    QCOMPARE(riga[40], QStringLiteral("1|41|P2 B1"));
    QCOMPARE(riga.last(), QStringLiteral("1|80|P2 B40"));

    const QStringList testata = tableRows(m_db, QStringLiteral("select * from Testata"));
    QCOMPARE(testata.size(), 1);
    QStringList cols = testata.first().split(u'|');
    QCOMPARE(cols.size(), 17);
    QCOMPARE(cols[0], QStringLiteral("1"));
    QCOMPARE(cols[1], QStringLiteral("P1 H1"));
    QCOMPARE(cols[14], QStringLiteral("P1 H14"));
    QCOMPARE(cols[15], QStringLiteral("<null>")); // 14-line kind: Testo15, Testo16 unset
    QCOMPARE(cols[16], QStringLiteral("<null>"));

    const QStringList totali = tableRows(m_db, QStringLiteral("select * from Totali"));
    QCOMPARE(totali.size(), 1);
    cols = totali.first().split(u'|');
    QCOMPARE(cols.size(), 15);
    QCOMPARE(cols.mid(0, 4), (QStringList{"1", "P2 T1", "P2 T2", "P2 T3"}));
    QCOMPARE(cols[4], QString()); // empty, not null
}

void TestDocumentImport::notAPrintRequest() {
    DocumentImport import(m_host, m_printer, settings());
    const QString message = QStringLiteral("Velarix 1.0 rev. 1\r");
    import.receive(message, 1);
    QCOMPARE(m_host.calls, start(message));
    import.receive(QStringLiteral("dir:x\r"), 1); // the keyword is case-sensitive
    QCOMPARE(m_host.calls.size(), 8);
    QVERIFY(m_printer.calls.isEmpty());
}

void TestDocumentImport::pathTrimmedAndCut() {
    const QString path = writeFile(QStringLiteral("FVV00051.002.PRN"), makePrintFile("11", 1));
    DocumentImport import(m_host, m_printer, settings());
    // Blanks around the path and everything after the first carriage return are dropped.
    import.receive(QStringLiteral("DIR:  ") + path + QStringLiteral("  \rDIR:other\r"), 3);
    QCOMPARE(m_host.replies(), QStringList{QStringLiteral("reply 3 DEL:") + path + u'\r'});
    QCOMPARE(m_printer.calls.size(), 1);
    QCOMPARE(m_printer.calls[0].company, 2);
    QCOMPARE(m_printer.calls[0].report, QStringLiteral("FVV"));
    QCOMPARE(m_printer.calls[0].copies, 3);
}

void TestDocumentImport::fileMissingKeepsTables() {
    const QString path = writeFile(QStringLiteral("A.001.PRN"), makePrintFile("01", 1));
    DocumentImport import(m_host, m_printer, settings());
    import.receive(QStringLiteral("DIR:") + path + u'\r', 1);
    QCOMPARE(count(QStringLiteral("Riga")), 40);

    m_host.calls.clear();
    const QString missing = SharePathPrefix + QStringLiteral("B.001.PRN");
    const QString message = QStringLiteral("DIR:") + missing + u'\r';
    import.receive(message, 1);
    QStringList expected = start(message);
    expected += saidError(QStringLiteral("Errore 53 Impossibile trovare il file"));
    QCOMPARE(m_host.calls, expected);
    QCOMPARE(count(QStringLiteral("Riga")), 40); // previous document untouched
    QCOMPARE(count(QStringLiteral("Testata")), 1);
}

void TestDocumentImport::otherOpenFailure_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("shareMissing");
    QTest::addColumn<QString>("error");
    QTest::newRow("folder missing") << QStringLiteral("\\\\srv\\Velarix\\Nope\\X.001.PRN") << false
                                    << "Errore 76 Impossibile trovare il percorso";
    QTest::newRow("a pipe, not a file") << SharePathPrefix + QStringLiteral("P.001.PRN") << false
                                        << "Errore 75 Errore di accesso al percorso/file";
    QTest::newRow("a folder, not a file") << QStringLiteral("\\\\srv\\Velarix\\Stampe") << false
                                          << "Errore 75 Errore di accesso al percorso/file";
    QTest::newRow("share unreachable") << SharePathPrefix + QStringLiteral("X.001.PRN") << true
                                       << "Errore 52 Nome o numero di file non valido";
    QTest::newRow("no host") << QStringLiteral("\\\\\\Velarix\\Stampe\\X.001.PRN") << false
                             << "Errore 52 Nome o numero di file non valido";
}

void TestDocumentImport::otherOpenFailure() {
    QFETCH(QString, path);
    QFETCH(bool, shareMissing);
    QFETCH(QString, error);
    // A document from an earlier run is in the tables.
    const QString earlier = writeFile(QStringLiteral("A.001.PRN"), makePrintFile("01", 1));
    DocumentImportSettings s = settings();
    {
        DocumentImport first(m_host, m_printer, s);
        first.receive(QStringLiteral("DIR:") + earlier + u'\r', 1);
    }
    QCOMPARE(count(QStringLiteral("Riga")), 40);
    m_host.calls.clear();

    if (shareMissing)
        s.shareRoot = m_dir->filePath(QStringLiteral("unmounted"));
    // Nobody writes into the pipe: reading it would wait for ever.
    QVERIFY(::mkfifo(QFile::encodeName(m_share + QStringLiteral("/Stampe/P.001.PRN")).constData(),
                     0600) == 0);
    DocumentImport import(m_host, m_printer, s);
    const QString message = QStringLiteral("DIR:") + path + u'\r';
    import.receive(message, 1);
    QStringList expected = start(message);
    expected += saidError(error);
    // Tables emptied, nothing printed, and no "DEL:": the server keeps the file.
    QCOMPARE(m_host.calls, expected);
    QCOMPARE(count(QStringLiteral("Riga")), 0);
    QCOMPARE(count(QStringLiteral("Testata")), 0);
    QCOMPARE(count(QStringLiteral("Totali")), 0);
    QCOMPARE(m_printer.calls.size(), 1);
}

void TestDocumentImport::noCarriageReturn() {
    const QString path = writeFile(QStringLiteral("A.001.PRN"), makePrintFile("01", 1));
    DocumentImport import(m_host, m_printer, settings());
    const QString message = QStringLiteral("DIR:") + path;
    import.receive(message, 1);
    QStringList expected = start(message);
    expected += saidError(QStringLiteral("Errore 5 Chiamata di routine o argomento non validi"));
    QCOMPARE(m_host.calls, expected);
    QVERIFY(m_printer.calls.isEmpty());
}

void TestDocumentImport::databaseUnavailable() {
    const QString path = writeFile(QStringLiteral("A.001.PRN"), makePrintFile("01", 2));
    DocumentImportSettings s = settings();
    s.documentsConnection =
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + m_dir->filePath("no.mdb");
    DocumentImport import(m_host, m_printer, s);
    const QString message = QStringLiteral("DIR:") + path + u'\r';
    import.receive(message, 1);

    QCOMPARE(m_host.calls.mid(0, 4), start(message));
    QCOMPARE(m_host.calls[4].left(24), QStringLiteral("list Open DB:Err. 3024 I"));
    QCOMPARE(m_host.calls[5], QStringLiteral("redraw"));
    QCOMPARE(m_host.calls[6], QStringLiteral("log ") + m_host.calls[4].mid(5));
    QStringList rest = said(QStringLiteral("Preparo: ODL"));
    rest += page(1); // the first line record that cannot be saved ends the run
    QCOMPARE(m_host.calls.mid(7, rest.size()), rest);
    QCOMPARE(m_host.calls.last(), QStringLiteral("failed 1 3060 ") + path);
    QVERIFY(m_printer.calls.isEmpty());
    QVERIFY(m_host.replies().isEmpty());
}

void TestDocumentImport::shortFile() {
    QByteArray bytes = makePrintFile("01", 2);
    bytes.chop(bytes.size() - bytes.indexOf("P2 H6\r\n")); // ends inside page 2's header
    const QString path = writeFile(QStringLiteral("A.001.PRN"), bytes);
    DocumentImport import(m_host, m_printer, settings());
    const QString message = QStringLiteral("DIR:") + path + u'\r';
    import.receive(message, 1);
    QStringList expected = start(message);
    expected += said(QStringLiteral("Preparo: ODL"));
    expected += page(1);
    expected += page(2); // "Preparo: Righe" and "Preparo: Totali Pagina 2" still appear
    QCOMPARE(m_host.calls, expected);
    QVERIFY(m_printer.calls.isEmpty());
}

void TestDocumentImport::unknownCode() {
    const QString path =
        writeFile(QStringLiteral("A.001.PRN"), makePrintFile("05", 1, 3, "^FL:  3"));
    DocumentImportSettings s = settings();
    s.perBranchReports = true; // the branch suffix alone makes no report name
    DocumentImport import(m_host, m_printer, s);
    const QString message = QStringLiteral("DIR:") + path + u'\r';
    import.receive(message, 4);
    QStringList expected = start(message);
    expected += said(QStringLiteral("Preparo: "));
    expected += replied(4, path);
    QCOMPARE(m_host.calls, expected);
    QVERIFY(m_printer.calls.isEmpty());
    QCOMPARE(count(QStringLiteral("Riga")), 0);
    QCOMPARE(count(QStringLiteral("Testata")), 0);
    QCOMPARE(count(QStringLiteral("Totali")), 0);
}

void TestDocumentImport::copiesNotANumber() {
    const QString path = writeFile(QStringLiteral("A.001.PRN"), makePrintFile("01", 1));
    DocumentImportSettings s = settings();
    s.copiesTable[0] = QStringLiteral("due");
    DocumentImport import(m_host, m_printer, s);
    const QString message = QStringLiteral("DIR:") + path + u'\r';
    import.receive(message, 1);
    QStringList expected = start(message);
    expected += said(QStringLiteral("Preparo: ODL"));
    expected += replied(1, path);
    QCOMPARE(m_host.calls, expected);
    QVERIFY(m_printer.calls.isEmpty());
    QCOMPARE(count(QStringLiteral("Riga")), 0);
}

// The person reads the number and why, without file positions, folders or the database's words.
void TestDocumentImport::printerError_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("shown");
    QTest::newRow("number only") << 20 << ""
                                 << "Errore stampa: 20";
    QTest::newRow("template fault")
        << 20502
        << "/opt/velarix/client/ODL.rpt:16: immagine \"/opt/velarix/client/logo.png\" "
           "non trovata"
        << "Errore modello: 20502 - immagine logo.png non trovata";
    // Named by what failed, not all "stampante".
    QTest::newRow("letterhead") << 20507 << "Manca l'intestazione della ditta 2"
                                << "Errore carta intestata: 20507 - Manca l'intestazione della "
                                   "ditta 2";
    QTest::newRow("disk full")
        << 20505 << "PDF non scrivibile: /tmp/pdf/FOM.pdf (Spazio esaurito sul dispositivo)"
        << "Errore disco: 20505 - PDF non scrivibile: FOM.pdf";
    QTest::newRow("database words")
        << 20503
        << "Database C:\\Velarix\\Documenti.mdb non leggibile: tabella Testata (no such table: "
           "Testata Unable to execute statement)"
        << "Errore database: 20503 - Database Documenti.mdb non leggibile: tabella Testata";
    QTest::newRow("date is no path") << 20505 << "lavoro del 07/12/2026 rifiutato"
                                     << "Errore stampante: 20505 - lavoro del 07/12/2026 rifiutato";
}

void TestDocumentImport::printerError() {
    QFETCH(int, status);
    QFETCH(QString, description);
    QFETCH(QString, shown);
    const QString path = writeFile(QStringLiteral("A.002.PRN"), makePrintFile("10", 1));
    m_printer.statuses = {status};
    m_printer.description = description;
    DocumentImport import(m_host, m_printer, settings());
    const QString message = QStringLiteral("DIR:") + path + u'\r';
    import.receive(message, 2);
    QStringList expected = start(message);
    expected += said(QStringLiteral("Preparo: FOM"));
    expected += page(1);
    expected += printed(shown);
    QCOMPARE(m_host.calls.mid(0, expected.size()), expected);
    // The person at the workstation is told; no "DEL:", never "Stampa Ok".
    QCOMPARE(m_host.calls.size(), expected.size() + 1);
    QCOMPARE(m_host.calls.last(), QStringLiteral("failed 2 %1 ").arg(status) + path);
    QVERIFY(m_host.replies().isEmpty());
    QVERIFY(!m_host.lists().contains(QStringLiteral("Stampa Ok")));

    // FOM fills all 16 header columns.
    const QStringList testata = tableRows(m_db, QStringLiteral("select Testo16 from Testata"));
    QCOMPARE(testata, QStringList{QStringLiteral("P1 H16")});

    // Offered again, it prints now and is answered.
    m_host.calls.clear();
    import.receive(message, 2);
    QCOMPARE(m_printer.calls.size(), 2);
    QCOMPARE(m_host.replies().size(), 1);
}

void TestDocumentImport::copiesOutBeforeAFailureAreNotPrintedAgain() {
    // Three copies; the printer lets the first and third out and fails on the second, twice.
    DocumentImportSettings s = settings();
    s.copiesTable[0] = QStringLiteral("3");
    const QString path = writeFile(QStringLiteral("B.001.PRN"), makePrintFile("01", 1));
    m_printer.statuses = {20, 20, 20};
    m_printer.outOfAFailure = {1, 3};
    DocumentImport import(m_host, m_printer, s);
    const QString message = QStringLiteral("DIR:") + path + u'\r';
    import.receive(message, 1);
    import.receive(message, 1);
    QCOMPARE(m_printer.calls.size(), 2);
    QCOMPARE(m_printer.calls[0].skipped, ReportPrinter::PrintedCopies());
    QCOMPARE(m_printer.calls[1].skipped, (ReportPrinter::PrintedCopies{1, 3}));
    QCOMPARE(m_host.lists().count(QStringLiteral("Copie già stampate: 1, 3")), 1);

    // The same name with another document in it starts over with every copy.
    writeFile(QStringLiteral("B.001.PRN"), makePrintFile("01", 2));
    import.receive(message, 1);
    QCOMPARE(m_printer.calls[2].skipped, ReportPrinter::PrintedCopies());
    import.receive(message, 1);
    QCOMPARE(m_printer.calls[3].skipped, (ReportPrinter::PrintedCopies{1, 3}));
    QCOMPARE(m_host.replies().size(), 1);
}

void TestDocumentImport::headerRecordNotSaved() {
    tableRows(m_db, QStringLiteral("drop table Testata"));
    const QString path = writeFile(QStringLiteral("A.001.PRN"), makePrintFile("01", 1));
    DocumentImport import(m_host, m_printer, settings());
    const QString message = QStringLiteral("DIR:") + path + u'\r';
    import.receive(message, 1);
    QStringList expected = start(message);
    expected += said(QStringLiteral("Preparo: ODL"));
    expected += page(1);
    expected += said(QStringLiteral("Scrivo: Testata"));
    QCOMPARE(m_host.calls.mid(0, expected.size()), expected);
    QCOMPARE(m_host.calls.size(), expected.size() + 4);
    QVERIFY(m_host.calls[expected.size()].startsWith(
        QStringLiteral("list Errore database: 3060 - Impossibile scrivere il documento in "
                       "Documenti.mdb: 3075 ")));
    QVERIFY(m_printer.calls.isEmpty());
    QVERIFY(m_host.replies().isEmpty());
}

void TestDocumentImport::bodyRecordNotSaved() {
    tableRows(m_db, QStringLiteral("drop table Riga"));
    const QString path = writeFile(QStringLiteral("A.001.PRN"), makePrintFile("01", 3));
    DocumentImport import(m_host, m_printer, settings());
    const QString message = QStringLiteral("DIR:") + path + u'\r';
    import.receive(message, 1);
    QStringList expected = start(message);
    expected += said(QStringLiteral("Preparo: ODL"));
    expected += page(1);
    QCOMPARE(m_host.calls.mid(0, expected.size()), expected);
    QCOMPARE(m_host.calls.last(), QStringLiteral("failed 1 3060 ") + path);
    QVERIFY(m_printer.calls.isEmpty());
}

void TestDocumentImport::messageDuringRunIsQueued() {
    const QString first = writeFile(QStringLiteral("A.001.PRN"), makePrintFile("01", 2));
    const QString second = writeFile(QStringLiteral("B.002.PRN"), makePrintFile("02", 1));
    DocumentImport import(m_host, m_printer, settings());
    const QString m1 = QStringLiteral("DIR:") + first + u'\r';
    const QString m2 = QStringLiteral("DIR:") + second + u'\r';
    m_host.onEvents = [&] {
        QVERIFY(import.isRunning());
        import.receive(m2, 1);
        import.receive(m1, 1); // the file in hand: dropped
        import.receive(m2, 1); // already queued: dropped
        QCOMPARE(import.queued(), 1);
    };
    import.receive(m1, 1);

    QCOMPARE(m_printer.calls.size(), 2);
    QCOMPARE(m_printer.calls[0].report, QStringLiteral("ODL"));
    QCOMPARE(m_printer.calls[1].report, QStringLiteral("PRE"));
    QCOMPARE(m_host.replies(), (QStringList{QStringLiteral("reply 1 DEL:") + first + u'\r',
                                            QStringLiteral("reply 1 DEL:") + second + u'\r'}));
    // The second run starts after the first one answered.
    const qsizetype firstReply = m_host.calls.indexOf(m_host.replies().first());
    QCOMPARE(m_host.calls.indexOf(QStringLiteral("request ") + m2), firstReply + 5);
    QCOMPARE(m_host.calls.count(QStringLiteral("log Richiesta doppia ignorata: ") + first), 1);
    QCOMPARE(m_host.calls.count(QStringLiteral("log Richiesta doppia ignorata: ") + second), 1);
    QVERIFY(!import.isRunning());
    // The tables hold the second document.
    QCOMPARE(count(QStringLiteral("Riga")), 35);
}

void TestDocumentImport::clientEndingLeavesTheRestToTheServer() {
    const QString first = writeFile(QStringLiteral("A.001.PRN"), makePrintFile("01", 1));
    const QString second = writeFile(QStringLiteral("B.001.PRN"), makePrintFile("01", 1));
    DocumentImport import(m_host, m_printer, settings());
    // While A is read, B arrives; then the client decides to end (a new program to take).
    m_host.onEvents = [&] {
        import.receive(QStringLiteral("DIR:") + second + u'\r', 1);
        m_host.onEvents = [&] { m_host.ending = true; };
    };
    import.receive(QStringLiteral("DIR:") + first + u'\r', 1);
    import.receive(QStringLiteral("DIR:") + first + u'\r', 1);

    QCOMPARE(m_host.prepared, 2); // A, then B, which is neither read nor answered
    QCOMPARE(m_printer.calls.size(), 1);
    QCOMPARE(m_host.replies(), QStringList{QStringLiteral("reply 1 DEL:") + first + u'\r'});
    QVERIFY(!import.isRunning());
}

void TestDocumentImport::completedFileNotPrintedTwice() {
    const QString path = writeFile(QStringLiteral("A.001.PRN"), makePrintFile("01", 1));
    DocumentImport import(m_host, m_printer, settings());
    const QString message = QStringLiteral("DIR:") + path + u'\r';
    import.receive(message, 1);
    QCOMPARE(m_printer.calls.size(), 1);

    // Offered again before the server deleted it: answered again, not printed.
    m_host.calls.clear();
    import.receive(message, 1);
    QStringList expected = start(message);
    expected << QStringLiteral("log Documento già stampato, conferma inviata di nuovo: ") + path;
    expected += replied(1, path);
    QCOMPARE(m_host.calls, expected);
    QCOMPARE(m_printer.calls.size(), 1);

    // A new file under the same name is a new document.
    writeFile(QStringLiteral("A.001.PRN"), makePrintFile("01", 2));
    import.receive(message, 1);
    QCOMPARE(m_printer.calls.size(), 2);
    QCOMPARE(count(QStringLiteral("Riga")), 80);
}

void TestDocumentImport::secondRunReplacesTables() {
    DocumentImport import(m_host, m_printer, settings());
    const QString a = writeFile(QStringLiteral("A.003.PRN"), makePrintFile("01", 3));
    import.receive(QStringLiteral("DIR:") + a + u'\r', 1);
    QCOMPARE(count(QStringLiteral("Riga")), 120);
    const QStringList codes = tableRows(
        m_db, QStringLiteral("select distinct Codice from Riga union "
                             "select Codice from Testata union select Codice from Totali"));
    QCOMPARE(codes, QStringList{QStringLiteral("3")});

    const QString b = writeFile(QStringLiteral("B.003.PRN"), makePrintFile("11", 1, 1));
    import.receive(QStringLiteral("DIR:") + b + u'\r', 1);
    QCOMPARE(count(QStringLiteral("Riga")), 34);
    QCOMPARE(count(QStringLiteral("Testata")), 1);
    QCOMPARE(tableRows(m_db, QStringLiteral("select Testo1, Testo2 from Totali")),
             QStringList{QStringLiteral("P1 T1|")});
}

void TestDocumentImport::windows1252IntoTables() {
    QByteArray bytes = makePrintFile("01", 1);
    bytes.replace("P1 H1\r\n", "Citt\xe0 di Forl\xec \x96 N\xb0 12\r\n");
    bytes.replace("P1 B1\r\n", "Totale \x80 1.234,56 perch\xe9 \xe8 cos\xec\r\n");
    bytes.replace("P1 T1\r\n", "\x80 99,00 \x81\x8d\r\n");
    const QString path = writeFile(QStringLiteral("A.001.PRN"), bytes);
    DocumentImport import(m_host, m_printer, settings());
    import.receive(QStringLiteral("DIR:") + path + u'\r', 1);
    QCOMPARE(tableRows(m_db, QStringLiteral("select Testo1 from Testata")),
             QStringList{QString::fromUtf8("Città di Forlì – N° 12")});
    QCOMPARE(tableRows(m_db, QStringLiteral("select Testo from Riga where Riga = 1")),
             QStringList{QString::fromUtf8("Totale € 1.234,56 perché è così")});
    QCOMPARE(tableRows(m_db, QStringLiteral("select Testo1 from Totali")),
             QStringList{QString::fromUtf8("€ 99,00 \u0081\u008d")});
}

void TestDocumentImport::earlyEndFillers() {
    // One PRE page, 20 body lines, the page break last: 35 records, 21 to 35 blank.
    QByteArray bytes = "@^02\r\n^\r\n";
    for (int i = 1; i <= 14; ++i)
        bytes += "H" + QByteArray::number(i) + "\r\n";
    for (int i = 1; i <= 20; ++i)
        bytes += "B" + QByteArray::number(i) + "\r\n";
    bytes += "\f\r\n";
    const QString path = writeFile(QStringLiteral("A.001.PRN"), bytes);
    DocumentImport import(m_host, m_printer, settings());
    import.receive(QStringLiteral("DIR:") + path + u'\r', 1);
    const QStringList riga =
        tableRows(m_db, QStringLiteral("select Riga, Testo from Riga order by Riga"));
    QCOMPARE(riga.size(), 35);
    QCOMPARE(riga[19], QStringLiteral("20|B20"));
    QCOMPARE(riga[20], QStringLiteral("21|") + QString(80, u' '));
    QCOMPARE(riga[34], QStringLiteral("35|") + QString(80, u' '));
    QStringList expected;
    for (int j = 0; j < 14; ++j)
        expected << QString();
    QCOMPARE(tableRows(m_db, QStringLiteral("select * from Totali")),
             QStringList{QStringLiteral("1|") + expected.join(u'|')});
}

void TestDocumentImport::copiesZeroAndReplyNotDelivered() {
    // Copies 0: the printer is still called (it prints nothing and answers 0), "Stampa Ok" and
    // the reply follow. A reply the socket cannot deliver changes nothing in the run.
    const QString path = writeFile(QStringLiteral("A.001.PRN"), makePrintFile("02", 1));
    DocumentImportSettings s = settings();
    s.copiesTable[1] = QStringLiteral(" 0 ");
    m_host.replyFailure = {10053, QStringLiteral("socket closed")};
    DocumentImport import(m_host, m_printer, s);
    const QString message = QStringLiteral("DIR:") + path + u'\r';
    import.receive(message, 1);
    QStringList expected = start(message);
    expected += said(QStringLiteral("Preparo: PRE"));
    expected += page(1);
    expected += printed();
    expected += replied(1, path);
    QCOMPARE(m_host.calls, expected);
    QCOMPARE(m_printer.calls.size(), 1);
    QCOMPARE(m_printer.calls[0].copies, 0);
    QCOMPARE(import.copyCount(), 0);
    QCOMPARE(import.reportName(), QStringLiteral("PRE"));
}

void TestDocumentImport::fileTooLarge() {
    // No print file is hundreds of megabytes: refused before reading, and not answered.
    const QString path = writeFile(QStringLiteral("A.001.PRN"), makePrintFile("01", 1));
    QFile f(m_share + QStringLiteral("/Stampe/A.001.PRN"));
    QVERIFY(f.resize(300LL * 1024 * 1024)); // sparse: costs no disk
    DocumentImport import(m_host, m_printer, settings());
    const QString message = QStringLiteral("DIR:") + path + u'\r';
    import.receive(message, 1);
    QStringList expected = start(message);
    expected += saidError(QStringLiteral("Errore 7 Memoria esaurita"));
    QCOMPARE(m_host.calls, expected);
    QVERIFY(m_printer.calls.isEmpty());
}

QTEST_GUILESS_MAIN(TestDocumentImport)
#include "tst_documentimport.moc"
