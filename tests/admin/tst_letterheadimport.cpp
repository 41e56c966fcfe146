// Letterheads taken over from an older Access database through mdb-export's CSV: the parser,
// the all-or-none store, and the documented script with the real velarix-letterheads program.
// No tool on this machine writes Access files, so mdb-export's output is the fixture and a
// stand-in mdb-export serves it to the script.
#include "documentschema.h"
#include "letterheadimport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString fixturePath() {
    return QStringLiteral(VELARIX_TEST_DATA "/admin/ditta-mdb-export.csv");
}

QByteArray fixture() {
    QFile file(fixturePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString Header = QStringLiteral("Codice,Intestazione1,Intestazione2,Intestazione3,"
                                      "Intestazione4,Intestazione5,Intestazione6,Intestazione7,"
                                      "Intestazione8\n");
} // namespace

class TestLetterheadImport : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void parsesFixture();
    void parsesQuotedLineEndsAndCrLf();
    void columnsByNameInAnyOrder();
    void refusesBadInput_data();
    void refusesBadInput();
    void replacesListedCompaniesOnly();
    void failedImportChangesNothing();
    void scriptImportsThroughMdbExport();
    void scriptStopsWhenExportFails();

private:
    QString databasePath() const { return m_dir->filePath(QStringLiteral("Client/Documenti.mdb")); }
    QMap<int, QVariantList> stored() const;
    void insertRow(int code, const QString& line1);
    QString fakeMdbExport(const QString& body);
    QProcess* runScript(const QStringList& args, const QString& fakeBin);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestLetterheadImport::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("Client")));
    QVERIFY(DocumentSchema::create(databasePath()).ok());
    insertRow(5, QStringLiteral("Vecchia intestazione"));
    insertRow(9, QStringLiteral("Ditta nove"));
}

void TestLetterheadImport::cleanup() {
    m_dir.reset();
}

void TestLetterheadImport::insertRow(int code, const QString& line1) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("w"));
        db.setDatabaseName(databasePath());
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.prepare(
            QStringLiteral("INSERT INTO Ditta (Codice, Intestazione1) VALUES (?, ?)")));
        query.addBindValue(code);
        query.addBindValue(line1);
        QVERIFY(query.exec());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("w"));
}

QMap<int, QVariantList> TestLetterheadImport::stored() const {
    QMap<int, QVariantList> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("r"));
        db.setDatabaseName(databasePath());
        if (db.open()) {
            QSqlQuery query(db);
            query.exec(QStringLiteral("SELECT * FROM Ditta ORDER BY Codice"));
            while (query.next()) {
                QVariantList lines;
                for (int i = 1; i <= 8; ++i)
                    lines.append(query.value(QStringLiteral("Intestazione%1").arg(i)));
                const int code = query.value(QStringLiteral("Codice")).toInt();
                if (rows.contains(code))
                    rows[-code] = lines; // a duplicate row shows up as a negative key
                else
                    rows.insert(code, lines);
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("r"));
    return rows;
}

void TestLetterheadImport::parsesFixture() {
    QList<LetterheadRow> rows;
    const Failure failure = LetterheadImport::parse(fixture(), &rows);
    QVERIFY2(failure.ok(), qPrintable(failure.description));
    QCOMPARE(rows.size(), 3);

    QCOMPARE(rows.at(0).code, 1);
    QCOMPARE(rows.at(0).lines.at(1).toString(), QStringLiteral("Viale della Libert\u00e0, 45"));
    QCOMPARE(rows.at(0).lines.at(2).toString(), QStringLiteral("47121 Forl\u00ec (FC)"));
    // mdb-export writes null and empty text alike: an empty unquoted field, taken as null.
    QVERIFY(rows.at(0).lines.at(5).isNull());
    QVERIFY(rows.at(0).lines.at(7).isNull());

    QCOMPARE(rows.at(1).code, 5);
    QCOMPARE(rows.at(1).lines.at(0).toString(),
             QStringLiteral("Caff\u00e8 \"Al Porto\" di Niccol\u00f2 Bianchi"));
    QCOMPARE(rows.at(1).lines.at(1).toString(),
             QStringLiteral("Citt\u00e0: Ferrara \u2014 Localit\u00e0 Gi\u00e0"));
    QCOMPARE(rows.at(1).lines.at(2).toString(),
             QStringLiteral("Perch\u00e9 s\u00ec: qualit\u00e0 \u20ac 10"));
    // Cut to the 40 characters a letterhead line holds.
    QCOMPARE(rows.at(1).lines.at(3).toString(),
             QStringLiteral("Via dei Mille 3, Sant\u2019Ilario d\u2019Enza (RE)"));
    QVERIFY(rows.at(1).lines.at(7).isNull());

    QCOMPARE(rows.at(2).code, 20);
    QCOMPARE(rows.at(2).lines.at(0).toString(),
             QStringLiteral("OFFICINA \u00c0\u00c8\u00cc\u00d2\u00d9 \u00c7\u00d1"));
    QCOMPARE(rows.at(2).lines.at(7).toString(), QStringLiteral("ultima riga"));
}

void TestLetterheadImport::parsesQuotedLineEndsAndCrLf() {
    const QByteArray csv =
        (Header + QStringLiteral("7,\"a\nb\",\"x,y\"\r\n\r\n8,\"\"\"\",\"\"\r\n")).toUtf8();
    QList<LetterheadRow> rows;
    QVERIFY(LetterheadImport::parse(csv, &rows).ok());
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0).lines.at(0).toString(), QStringLiteral("a\nb"));
    QCOMPARE(rows.at(0).lines.at(1).toString(), QStringLiteral("x,y"));
    QVERIFY(rows.at(0).lines.at(2).isNull()); // missing at the end of the record
    QCOMPARE(rows.at(1).code, 8);
    QCOMPARE(rows.at(1).lines.at(0).toString(), QStringLiteral("\""));
    // A quoted empty field (written by other exporters) is empty text, not null.
    QVERIFY(!rows.at(1).lines.at(1).isNull());
    QCOMPARE(rows.at(1).lines.at(1).toString(), QString());
}

void TestLetterheadImport::columnsByNameInAnyOrder() {
    // An older table without the eighth line and with an extra column.
    const QByteArray csv = QByteArray("\xef\xbb\xbfintestazione2,Note,CODICE,Intestazione1\n"
                                      "\"due\",\"nota\",3,\"uno\"\n");
    QList<LetterheadRow> rows;
    const Failure failure = LetterheadImport::parse(csv, &rows);
    QVERIFY2(failure.ok(), qPrintable(failure.description));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.at(0).code, 3);
    QCOMPARE(rows.at(0).lines.at(0).toString(), QStringLiteral("uno"));
    QCOMPARE(rows.at(0).lines.at(1).toString(), QStringLiteral("due"));
    QCOMPARE(rows.at(0).lines.size(), 8);
    QVERIFY(rows.at(0).lines.at(7).isNull());
}

void TestLetterheadImport::refusesBadInput_data() {
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("reason");

    QTest::newRow("empty") << QByteArray() << QStringLiteral("nessuna intestazione");
    QTest::newRow("no Codice column")
        << QByteArray("Intestazione1\n\"a\"\n") << QStringLiteral("colonna Codice mancante");
    QTest::newRow("code not a number")
        << (Header.toUtf8() + "x,\"a\"\n") << QStringLiteral("riga 2");
    QTest::newRow("code with decimals")
        << (Header.toUtf8() + "1,\"a\"\n2.5,\"b\"\n") << QStringLiteral("riga 3");
    QTest::newRow("code out of range")
        << (Header.toUtf8() + "1000,\"a\"\n") << QStringLiteral("riga 2");
    QTest::newRow("code nan") << (Header.toUtf8() + "nan,\"a\"\n") << QStringLiteral("riga 2");
    QTest::newRow("missing code") << (Header.toUtf8() + ",\"a\"\n") << QStringLiteral("riga 2");
    QTest::newRow("unterminated quote")
        << (Header.toUtf8() + "1,\"a\n") << QStringLiteral("non chiuso");
    // An export made without MDBICONV=UTF-8: Latin-1 bytes.
    QTest::newRow("not UTF-8") << (Header.toUtf8() + "1,\"Forl\xec\"\n") << QStringLiteral("UTF-8");
}

void TestLetterheadImport::refusesBadInput() {
    QFETCH(QByteArray, csv);
    QFETCH(QString, reason);
    QList<LetterheadRow> rows;
    const Failure failure = LetterheadImport::parse(csv, &rows);
    QVERIFY(!failure.ok());
    QVERIFY2(failure.description.contains(reason), qPrintable(failure.description));
    QVERIFY(rows.isEmpty());
}

void TestLetterheadImport::replacesListedCompaniesOnly() {
    int imported = -1;
    const Failure failure = LetterheadImport::run(fixture(), databasePath(), &imported);
    QVERIFY2(failure.ok(), qPrintable(failure.description));
    QCOMPARE(imported, 3);
    const QMap<int, QVariantList> rows = stored();
    QCOMPARE(rows.keys(), (QList<int>{1, 5, 9, 20}));
    QCOMPARE(rows.value(5).at(0).toString(),
             QStringLiteral("Caff\u00e8 \"Al Porto\" di Niccol\u00f2 Bianchi"));
    QCOMPARE(rows.value(9).at(0).toString(), QStringLiteral("Ditta nove"));
    QVERIFY(rows.value(1).at(5).isNull());
    QCOMPARE(rows.value(20).at(7).toString(), QStringLiteral("ultima riga"));
}

void TestLetterheadImport::failedImportChangesNothing() {
    // The second row fails inside the transaction, after the first has been replaced.
    QByteArray csv = Header.toUtf8() + "5,\"nuova\"\n1,\"" + QByteArray(10, 'x') + "\"\n";
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("t"));
        db.setDatabaseName(databasePath());
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec(
            QStringLiteral("CREATE TRIGGER no1 BEFORE INSERT ON Ditta WHEN NEW.Codice = 1 "
                           "BEGIN SELECT RAISE(ABORT, 'no'); END")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("t"));
    int imported = -1;
    QVERIFY(!LetterheadImport::run(csv, databasePath(), &imported).ok());
    QCOMPARE(imported, 0);
    const QMap<int, QVariantList> rows = stored();
    QCOMPARE(rows.keys(), (QList<int>{5, 9}));
    QCOMPARE(rows.value(5).at(0).toString(), QStringLiteral("Vecchia intestazione"));
}

QString TestLetterheadImport::fakeMdbExport(const QString& body) {
    const QString bin = m_dir->filePath(QStringLiteral("bin"));
    QDir().mkpath(bin);
    QFile script(bin + QStringLiteral("/mdb-export"));
    if (!script.open(QIODevice::WriteOnly))
        return QString();
    script.write(QStringLiteral("#!/bin/sh\n"
                                "echo \"$MDBICONV|$MDB_JET3_CHARSET|$*\" > \"%1/call.txt\"\n%2\n")
                     .arg(m_dir->path(), body)
                     .toUtf8());
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    return bin;
}

QProcess* TestLetterheadImport::runScript(const QStringList& args, const QString& fakeBin) {
    auto* process = new QProcess(this);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"),
               fakeBin + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
    env.insert(QStringLiteral("VELARIX_LETTERHEADS"),
               QStringLiteral(VELARIX_BIN_DIR "/velarix-letterheads"));
    env.remove(QStringLiteral("MDB_JET3_CHARSET"));
    process->setProcessEnvironment(env);
    process->start(
        QStringLiteral("bash"),
        QStringList{QStringLiteral(VELARIX_SOURCE_DIR "/scripts/import-letterheads.sh")} + args);
    process->waitForFinished(30000);
    return process;
}

void TestLetterheadImport::scriptImportsThroughMdbExport() {
    const QString bin = fakeMdbExport(QStringLiteral("cat '%1'").arg(fixturePath()));
    QVERIFY(!bin.isEmpty());
    const QString legacy = m_dir->filePath(QStringLiteral("vecchio.mdb"));
    QFile(legacy).open(QIODevice::WriteOnly);

    // The target given as the server's program folder.
    QProcess* process = runScript({legacy, m_dir->path()}, bin);
    QVERIFY2(process->exitCode() == 0, process->readAllStandardError().constData());
    QVERIFY(process->readAllStandardOutput().startsWith("3 ditte importate"));

    QFile call(m_dir->filePath(QStringLiteral("call.txt")));
    QVERIFY(call.open(QIODevice::ReadOnly));
    QCOMPARE(call.readAll().trimmed(), ("UTF-8|CP1252|" + legacy + " Ditta").toUtf8());

    const QMap<int, QVariantList> rows = stored();
    QCOMPARE(rows.keys(), (QList<int>{1, 5, 9, 20}));
    QCOMPARE(rows.value(20).at(0).toString(),
             QStringLiteral("OFFICINA \u00c0\u00c8\u00cc\u00d2\u00d9 \u00c7\u00d1"));
    QFile flag(m_dir->filePath(QStringLiteral("Client/Aggiorna.txt")));
    QVERIFY(flag.open(QIODevice::ReadOnly));
    QCOMPARE(flag.readAll(), QByteArray("SI\r\n"));
}

void TestLetterheadImport::scriptStopsWhenExportFails() {
    const QString bin = fakeMdbExport(QStringLiteral("echo 'rotto' >&2; exit 1"));
    const QString legacy = m_dir->filePath(QStringLiteral("vecchio.mdb"));
    QFile(legacy).open(QIODevice::WriteOnly);
    QProcess* process = runScript({legacy, databasePath()}, bin);
    QCOMPARE(process->exitCode(), 1);
    QVERIFY(process->readAllStandardError().contains("Esportazione della tabella Ditta"));
    QCOMPARE(stored().keys(), (QList<int>{5, 9}));
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("Client/Aggiorna.txt"))));
}

QTEST_GUILESS_MAIN(TestLetterheadImport)
#include "tst_letterheadimport.moc"
