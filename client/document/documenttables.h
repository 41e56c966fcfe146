#pragma once

#include "failure.h"

#include <QList>
#include <QStringList>
#include <memory>

class Database;
class QSqlQuery;
struct PrintBodyLine;

// The document tables of Documenti.mdb that the import fills: Testata (one header record), Riga
// (one record per body line) and Totali (one totals record), all carrying the company code in
// Codice. Works on a connection the caller opened; appends are meant to run inside one
// transaction (begin/commit) so a long document costs one flush, not one per line.
class DocumentTables {
public:
    static constexpr int RowsPerInsert = 50;

    explicit DocumentTables(Database& db);
    ~DocumentTables();

    Failure begin();
    Failure commit();

    // "Delete from Testata", "Delete from Riga", "Delete from Totali", in this order; each runs
    // even when an earlier one failed. Returns the first failure.
    Failure clear();

    // Riga records for lines[from .. from + count).
    Failure appendBody(int company, const QList<PrintBodyLine>& lines, qsizetype from,
                       qsizetype count);
    // One Testata record: Testo1..Testo<n> from the header lines; later columns stay null.
    Failure appendHeader(int company, const QStringList& header);
    // One Totali record: Testo1..Testo14 (missing entries are written empty).
    Failure appendTotals(int company, const QStringList& totals);

private:
    // One record of table: Codice, then Testo1..Testo<columns> from texts.
    Failure appendTexts(const QString& table, int company, const QStringList& texts, int columns);

    Database& m_db;
    std::unique_ptr<QSqlQuery> m_fullInsert; // RowsPerInsert records
    std::unique_ptr<QSqlQuery> m_restInsert; // the rest of a page
    int m_restRows = 0;
};
