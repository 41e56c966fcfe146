#pragma once

#include "failure.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

class QSqlDatabase;
class QSqlQuery;

// Access to Documenti.mdb (an SQLite file that keeps its historical name). A connection is opened
// with the connection text "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path; what follows
// "Data Source=" is the file that opens. Every operation reports a Failure with a number from
// ErrorNumber and a readable description; nothing throws. A missing file is a failure (the
// database is never created by opening it): use DocumentSchema to create one.
//
// Failures: DatabaseNotFound (no such file), DatabaseUnreadable (not an SQLite file, damaged),
// DatabaseLocked (another connection holds a write lock longer than BusyTimeoutMs),
// DatabaseReadOnly (the file or its folder cannot be written), DatabaseStatement (syntax, missing
// table or column), DatabaseClosed (operation on a connection that is not open), DiskFull.
// Descriptions are Italian, as they reach the activity log, and name the file or the statement.
// Opening an open Database closes it first.
// Each Database has its own Qt connection name, so several may be open at once.
class Database {
public:
    static constexpr int BusyTimeoutMs = 1000;

    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    static QString connectionText(const QString& path);
    static QString dataSource(const QString& connectionText);

    Failure open(const QString& connectionText);
    Failure close(); // closing a connection that is not open fails with DatabaseClosed
    bool isOpen() const;

    Failure execute(const QString& statement);
    Failure beginTransaction();
    Failure commit();
    Failure rollback();

    // Underlying Qt connection, for the row reader and the appender.
    QSqlDatabase handle() const;
    QString connectionName() const { return m_name; }
    QString path() const { return m_path; }

    // A failure for a Qt SQL error on this connection, naming the file and the statement.
    Failure failureFor(const class QSqlError& error, const QString& statement = QString()) const;

private:
    QString m_name;
    QString m_path;
    bool m_open = false;
};

// Rows of a select, read forward only. Field values may be null.
class RowReader {
public:
    RowReader();
    ~RowReader();
    Failure open(Database& db, const QString& statement);
    bool atEnd() const;
    QVariant value(const QString& column) const; // null for an unknown column
    bool hasColumn(const QString& column) const;
    void next();
    void close();

private:
    std::unique_ptr<QSqlQuery> m_query;
    bool m_atEnd = true;
};

// Appends rows to one table: addNew, set columns by name, save; close at the end. Columns that
// are never set stay null (they are left out of the INSERT, so a column default still applies).
// Unknown tables and columns are failures (DatabaseStatement). A row that is not saved before the
// next addNew or close is dropped. Wrap many rows in Database::beginTransaction/commit.
class TableAppender {
public:
    TableAppender();
    ~TableAppender();
    Failure open(Database& db, const QString& table);
    void addNew();
    Failure set(const QString& column, const QVariant& value);
    Failure save();
    void close();

private:
    Database* m_db = nullptr;
    QString m_table;
    QStringList m_columns;
    QList<QPair<QString, QVariant>> m_row;
    bool m_pending = false;
    // One prepared INSERT per set of columns a row sets (normally one or two per table).
    QHash<QString, std::shared_ptr<QSqlQuery>> m_inserts;
};

// Turns a Qt SQL error into a Failure with a database number (locked, read-only, unreadable...).
Failure databaseFailure(const class QSqlError& error);
