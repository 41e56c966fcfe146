#include "database.h"
#include "documentschema.h"
#include "unprivileged.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

class TestDatabase : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString freshDatabase(const QString& name = QStringLiteral("Documenti.mdb")) {
        const QString path = m_dir.filePath(name);
        QFile::remove(path);
        const Failure f = DocumentSchema::create(path);
        if (!f.ok())
            qWarning() << f.number << f.description;
        return path;
    }

    static int count(Database& db, const QString& table) {
        RowReader rows;
        if (rows.open(db, QStringLiteral("Select count(*) AS n from ") + table))
            return -1;
        return rows.value(QStringLiteral("n")).toInt();
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7777));
    }

    void dataSource_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("path");
        QTest::newRow("built text") << Database::connectionText("/opt/Velarix CL/Documenti.mdb")
                                    << "/opt/Velarix CL/Documenti.mdb";
        QTest::newRow("more keys after")
            << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/a/b.mdb;Persist Security Info=False"
            << "/a/b.mdb";
        QTest::newRow("key in other case") << "provider=x;data source= \"/a/c.mdb\" "
                                           << "/a/c.mdb";
        QTest::newRow("bare path") << "/a/d.mdb"
                                   << "/a/d.mdb";
        QTest::newRow("no data source") << "Provider=x"
                                        << "";
    }
    void dataSource() {
        QFETCH(QString, text);
        QFETCH(QString, path);
        QCOMPARE(Database::dataSource(text), path);
    }

    void schemaHasTheFourTables() {
        const QString path = freshDatabase();
        Database db;
        QVERIFY(db.open(Database::connectionText(path)).ok());
        const QSqlDatabase h = db.handle();
        QCOMPARE(h.tables().size(), 4);
        for (const QString& table : DocumentSchema::tables()) {
            const QStringList expected = DocumentSchema::columns(table);
            QStringList got;
            const QSqlRecord rec = h.record(table);
            for (int i = 0; i < rec.count(); ++i)
                got << rec.fieldName(i);
            QCOMPARE(got, expected);
        }
        QCOMPARE(DocumentSchema::columns("Testata").last(), QStringLiteral("Testo16"));
        QCOMPARE(DocumentSchema::columns("Totali").last(), QStringLiteral("Testo14"));
        QCOMPARE(DocumentSchema::columns("Ditta").last(), QStringLiteral("Intestazione8"));
        QVERIFY(db.close().ok());
    }

    void createAddsMissingTablesAndKeepsRows() {
        const QString path = m_dir.filePath(QStringLiteral("partial.mdb"));
        {
            Database seed;
            QVERIFY(DocumentSchema::create(path).ok());
            QVERIFY(seed.open(Database::connectionText(path)).ok());
            QVERIFY(seed.execute(QStringLiteral("Drop table Riga")).ok());
            QVERIFY(seed.execute(QStringLiteral("Insert into Ditta (Codice) values (7)")).ok());
        }
        QVERIFY(DocumentSchema::create(path).ok());
        Database db;
        QVERIFY(db.open(Database::connectionText(path)).ok());
        QCOMPARE(count(db, QStringLiteral("Riga")), 0);
        QCOMPARE(count(db, QStringLiteral("Ditta")), 1);
    }

    void appendAndReadBackWithNulls() {
        const QString path = freshDatabase();
        Database db;
        QVERIFY(db.open(Database::connectionText(path)).ok());

        TableAppender ditta;
        QVERIFY(ditta.open(db, QStringLiteral("Ditta")).ok());
        for (int code : {5, 2}) {
            ditta.addNew();
            QVERIFY(ditta.set(QStringLiteral("Codice"), code).ok());
            QVERIFY(ditta.set(QStringLiteral("intestazione1"), QStringLiteral("Rossi € Sà")).ok());
            QVERIFY(ditta.set(QStringLiteral("Intestazione3"), QString(QLatin1String(""))).ok());
            QVERIFY(ditta.save().ok());
        }
        ditta.close();

        RowReader rows;
        QVERIFY(rows.open(db, QStringLiteral("Select * from Ditta Order By Codice")).ok());
        QList<int> codes;
        while (!rows.atEnd()) {
            codes << rows.value(QStringLiteral("Codice")).toInt();
            QCOMPARE(rows.value(QStringLiteral("Intestazione1")).toString(),
                     QStringLiteral("Rossi € Sà"));
            QVERIFY(rows.value(QStringLiteral("Intestazione2")).isNull());
            const QVariant empty = rows.value(QStringLiteral("Intestazione3"));
            QVERIFY(!empty.isNull());
            QCOMPARE(empty.toString(), QString());
            QVERIFY(rows.value(QStringLiteral("NoSuchColumn")).isNull());
            rows.next();
        }
        rows.close();
        QCOMPARE(codes, (QList<int>{2, 5}));

        QVERIFY(db.execute(QStringLiteral("Delete from Ditta where Codice = 5")).ok());
        QVERIFY(rows.open(db, QStringLiteral("Select * from Ditta where Codice = 5")).ok());
        QVERIFY(rows.atEnd());
    }

    void bulkAppendInOneTransaction() {
        const QString path = freshDatabase();
        Database db;
        QVERIFY(db.open(Database::connectionText(path)).ok());
        QVERIFY(db.beginTransaction().ok());
        TableAppender riga;
        QVERIFY(riga.open(db, QStringLiteral("Riga")).ok());
        for (int i = 1; i <= 120; ++i) {
            riga.addNew();
            QVERIFY(riga.set(QStringLiteral("Codice"), 3).ok());
            QVERIFY(riga.set(QStringLiteral("Riga"), i).ok());
            if (i % 2)
                QVERIFY(riga.set(QStringLiteral("Testo"), QString(80, QLatin1Char(' '))).ok());
            QVERIFY(riga.save().ok());
        }
        riga.close();
        QVERIFY(db.commit().ok());
        QCOMPARE(count(db, QStringLiteral("Riga")), 120);
        QCOMPARE(count(db, QStringLiteral("Riga where Testo is null")), 60);

        // Rolled back rows are gone.
        QVERIFY(db.beginTransaction().ok());
        QVERIFY(db.execute(QStringLiteral("Delete from Riga")).ok());
        QVERIFY(db.rollback().ok());
        QCOMPARE(count(db, QStringLiteral("Riga")), 120);
    }

    void rowNotSavedIsDropped() {
        const QString path = freshDatabase();
        Database db;
        QVERIFY(db.open(Database::connectionText(path)).ok());
        TableAppender totali;
        QVERIFY(totali.open(db, QStringLiteral("Totali")).ok());
        totali.addNew();
        QVERIFY(totali.set(QStringLiteral("Codice"), 1).ok());
        totali.addNew();
        QVERIFY(totali.set(QStringLiteral("Codice"), 2).ok());
        QVERIFY(totali.set(QStringLiteral("Codice"), 4).ok()); // set twice: the last value wins
        QVERIFY(totali.save().ok());
        totali.addNew();
        totali.close();
        RowReader rows;
        QVERIFY(rows.open(db, QStringLiteral("Select Codice from Totali")).ok());
        QCOMPARE(rows.value(QStringLiteral("Codice")).toInt(), 4);
        rows.next();
        QVERIFY(rows.atEnd());
    }

    void missingFileIsNotCreated() {
        const QString path = m_dir.filePath(QStringLiteral("missing.mdb"));
        Database db;
        const Failure f = db.open(Database::connectionText(path));
        QCOMPARE(f.number, ErrorNumber::DatabaseNotFound);
        QVERIFY(f.description.contains(path));
        QVERIFY(!QFile::exists(path));
        QVERIFY(!db.isOpen());
    }

    void garbageFileIsUnreadable() {
        const QString path = m_dir.filePath(QStringLiteral("garbage.mdb"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("Standard Jet DB").repeated(200));
        }
        Database db;
        const Failure f = db.open(Database::connectionText(path));
        QCOMPARE(f.number, ErrorNumber::DatabaseUnreadable);
        QVERIFY(f.description.contains(path));
        QVERIFY(!db.isOpen());
        QCOMPARE(db.execute(QStringLiteral("Delete from Riga")).number,
                 ErrorNumber::DatabaseClosed);
        // Creating the schema over it refuses too, and leaves the bytes alone.
        QCOMPARE(DocumentSchema::create(path).number, ErrorNumber::DatabaseUnreadable);
        QCOMPARE(QFileInfo(path).size(), qint64(15 * 200));
    }

    void writeLockedByAnotherConnection() {
        const QString path = freshDatabase();
        Database holder;
        QVERIFY(holder.open(Database::connectionText(path)).ok());
        QVERIFY(holder.beginTransaction().ok());
        QVERIFY(holder.execute(QStringLiteral("Insert into Riga (Codice) values (1)")).ok());

        Database db;
        QVERIFY(db.open(Database::connectionText(path)).ok()); // reading is still allowed
        const Failure f = db.execute(QStringLiteral("Delete from Riga"));
        QCOMPARE(f.number, ErrorNumber::DatabaseLocked);
        QVERIFY(f.description.contains(path));
        TableAppender riga;
        QVERIFY(riga.open(db, QStringLiteral("Riga")).ok());
        riga.addNew();
        QVERIFY(riga.set(QStringLiteral("Codice"), 2).ok());
        QCOMPARE(riga.save().number, ErrorNumber::DatabaseLocked);
        riga.close();

        QVERIFY(holder.commit().ok());
        QVERIFY(db.execute(QStringLiteral("Delete from Riga")).ok());
    }

    void exclusiveLockRefusesTheOpen() {
        const QString path = freshDatabase();
        Database holder;
        QVERIFY(holder.open(Database::connectionText(path)).ok());
        QVERIFY(holder.execute(QStringLiteral("BEGIN EXCLUSIVE")).ok());
        Database db;
        QCOMPARE(db.open(Database::connectionText(path)).number, ErrorNumber::DatabaseLocked);
        QVERIFY(holder.execute(QStringLiteral("COMMIT")).ok());
        QVERIFY(db.open(Database::connectionText(path)).ok());
    }

    void readOnlyFileRefusesWrites() {
        const QString path = freshDatabase(QStringLiteral("readonly.mdb"));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                                QFileDevice::ReadOther));
        Unprivileged asUser;
        if (!asUser.effective())
            QSKIP("running as root: file permissions do not apply");
        Database db;
        QVERIFY(db.open(Database::connectionText(path)).ok());
        RowReader rows;
        QVERIFY(rows.open(db, QStringLiteral("Select * from Ditta")).ok());
        rows.close();
        const Failure f = db.execute(QStringLiteral("Delete from Testata"));
        QCOMPARE(f.number, ErrorNumber::DatabaseReadOnly);
        QVERIFY(f.description.contains(path));
    }

    void statementFailures_data() {
        QTest::addColumn<QString>("statement");
        QTest::newRow("missing table") << "Delete from Nessuna";
        QTest::newRow("missing column") << "Select Nessuna from Ditta";
        QTest::newRow("syntax") << "Delete Testata where";
    }
    void statementFailures() {
        QFETCH(QString, statement);
        const QString path = freshDatabase();
        Database db;
        QVERIFY(db.open(Database::connectionText(path)).ok());
        const Failure f = db.execute(statement);
        QCOMPARE(f.number, ErrorNumber::DatabaseStatement);
        QVERIFY2(f.description.contains(statement), qPrintable(f.description));
        RowReader rows;
        QCOMPARE(rows.open(db, statement).number, ErrorNumber::DatabaseStatement);
        QVERIFY(rows.atEnd());
    }

    void appenderRefusesUnknownNames() {
        const QString path = freshDatabase();
        Database db;
        QVERIFY(db.open(Database::connectionText(path)).ok());
        TableAppender app;
        const Failure noTable = app.open(db, QStringLiteral("Righe"));
        QCOMPARE(noTable.number, ErrorNumber::DatabaseStatement);
        QVERIFY(noTable.description.contains(QStringLiteral("Righe")));
        QVERIFY(app.open(db, QStringLiteral("Testata")).ok());
        QCOMPARE(app.set(QStringLiteral("Codice"), 1).number,
                 ErrorNumber::DatabaseStatement); // no addNew yet
        app.addNew();
        const Failure noColumn = app.set(QStringLiteral("Testo17"), QStringLiteral("x"));
        QCOMPARE(noColumn.number, ErrorNumber::DatabaseStatement);
        QVERIFY(noColumn.description.contains(QStringLiteral("Testo17")));
    }

    void closedConnection() {
        const QString path = freshDatabase();
        Database db;
        QCOMPARE(db.close().number, ErrorNumber::DatabaseClosed); // never opened
        QVERIFY(db.open(Database::connectionText(path)).ok());
        QVERIFY(db.close().ok());
        const Failure twice = db.close();
        QCOMPARE(twice.number, ErrorNumber::DatabaseClosed);
        QVERIFY(!twice.description.isEmpty());
        QCOMPARE(db.execute(QStringLiteral("Delete from Riga")).number,
                 ErrorNumber::DatabaseClosed);
        TableAppender app;
        QCOMPARE(app.open(db, QStringLiteral("Riga")).number, ErrorNumber::DatabaseClosed);
        // Reopening the same object works (the client reopens its connection per import).
        QVERIFY(db.open(Database::connectionText(path)).ok());
        QVERIFY(db.execute(QStringLiteral("Delete from Riga")).ok());
    }

    void separateConnectionsPerInstance() {
        const QString a = freshDatabase(QStringLiteral("a.mdb"));
        const QString b = freshDatabase(QStringLiteral("b.mdb"));
        Database da, dbb;
        QVERIFY(da.connectionName() != dbb.connectionName());
        QVERIFY(da.open(Database::connectionText(a)).ok());
        QVERIFY(dbb.open(Database::connectionText(b)).ok());
        QVERIFY(da.execute(QStringLiteral("Insert into Ditta (Codice) values (1)")).ok());
        QCOMPARE(count(da, QStringLiteral("Ditta")), 1);
        QCOMPARE(count(dbb, QStringLiteral("Ditta")), 0);
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
