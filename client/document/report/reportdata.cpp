#include "reportdata.h"

#include "reporterrors.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace {

Failure dbFailure(const QString& path, const QString& what) {
    return {ReportError::DatabaseUnreadable,
            QStringLiteral("Database %1 non leggibile: %2").arg(path, what)};
}

QString columnText(const QSqlQuery& q, const QString& column) {
    const QVariant v = q.value(column);
    return v.isNull() ? QString() : v.toString();
}

class Reader {
public:
    Reader(QSqlDatabase db, QString path) : m_db(std::move(db)), m_path(std::move(path)) {}

    // Runs a select; with code > 0 the rows of that Codice only.
    Failure select(QSqlQuery& q, const QString& table, const QString& orderBy, int code) {
        q = QSqlQuery(m_db);
        q.setForwardOnly(true);
        QString sql = QStringLiteral("SELECT * FROM %1").arg(table);
        if (code > 0)
            sql += QStringLiteral(" WHERE Codice = :c");
        if (!orderBy.isEmpty())
            sql += QStringLiteral(" ORDER BY ") + orderBy;
        if (!q.prepare(sql))
            return dbFailure(m_path,
                             QStringLiteral("tabella %1 (%2)").arg(table, q.lastError().text()));
        if (code > 0)
            q.bindValue(QStringLiteral(":c"), code);
        if (!q.exec())
            return dbFailure(m_path,
                             QStringLiteral("tabella %1 (%2)").arg(table, q.lastError().text()));
        return Failure::none();
    }

    // The first row's columns prefix1..prefixN, or N null texts when there is no row.
    Failure fields(const QString& table, const QString& prefix, int count, const QString& orderBy,
                   int code, QStringList& out, bool& found) {
        QSqlQuery q;
        if (Failure f = select(q, table, orderBy, code))
            return f;
        out.clear();
        found = q.next();
        for (int i = 1; i <= count; ++i) {
            const QString column = prefix + QString::number(i);
            if (found && q.record().indexOf(column) < 0)
                return dbFailure(m_path,
                                 QStringLiteral("manca la colonna %1.%2").arg(table, column));
            out << (found ? columnText(q, column) : QString());
        }
        return Failure::none();
    }

    // Riga.Testo of every selected row, in Riga order.
    Failure bodyLines(int code, QStringList& out) {
        QSqlQuery q;
        if (Failure f = select(q, QStringLiteral("Riga"), QStringLiteral("Riga, rowid"), code))
            return f;
        while (q.next())
            out << columnText(q, QStringLiteral("Testo"));
        if (q.lastError().isValid())
            return dbFailure(m_path, q.lastError().text());
        return Failure::none();
    }

    QString path() const { return m_path; }

private:
    QSqlDatabase m_db;
    QString m_path;
};

// Only the company's own letterhead: printing another company's, or none, would put a wrong
// sender on a business paper.
Failure readLetterhead(Reader& reader, int companyCode, QStringList& out) {
    bool found = false;
    if (companyCode > 0) {
        if (Failure f = reader.fields(QStringLiteral("Ditta"), QStringLiteral("Intestazione"), 8,
                                      QStringLiteral("Codice"), companyCode, out, found))
            return f;
    }
    if (found)
        return Failure::none();
    return {ReportError::NoLetterhead,
            QStringLiteral("Manca l'intestazione della ditta %1 in %2: inserirla in \"Dati "
                           "Ditta\" sul server")
                .arg(companyCode)
                .arg(reader.path())};
}

Failure readDocument(Reader& reader, int companyCode, ReportData& data) {
    const int code = companyCode > 0 ? companyCode : 0;
    bool hasHeader = false, hasTotals = false;
    if (Failure f = reader.fields(QStringLiteral("Testata"), QStringLiteral("Testo"), 16,
                                  QStringLiteral("rowid"), code, data.header, hasHeader))
        return f;
    if (Failure f = reader.fields(QStringLiteral("Totali"), QStringLiteral("Testo"), 14,
                                  QStringLiteral("rowid"), code, data.totals, hasTotals))
        return f;
    if (Failure f = reader.bodyLines(code, data.body))
        return f;
    if (!hasHeader && data.body.isEmpty())
        return {ReportError::NoDocument,
                QStringLiteral("Nessun documento da stampare per la ditta %1 in %2")
                    .arg(companyCode)
                    .arg(reader.path())};
    return readLetterhead(reader, companyCode, data.letterhead);
}

} // namespace

Failure ReportData::load(const QString& databasePath, int companyCode, ReportData& out) {
    if (!QFileInfo(databasePath).isFile())
        return dbFailure(databasePath, QStringLiteral("file non trovato"));

    static QAtomicInt counter;
    const QString name = QStringLiteral("velarix_report_%1").arg(counter.fetchAndAddRelaxed(1));
    Failure result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(databasePath);
        // Read-only: the report never changes the document, and a missing file is never created.
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        if (db.open()) {
            Reader reader(db, databasePath);
            ReportData data;
            result = readDocument(reader, companyCode, data);
            if (result.ok())
                out = data;
            db.close();
        } else {
            result = dbFailure(databasePath, db.lastError().text());
        }
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}
