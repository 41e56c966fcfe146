#pragma once

#include "failure.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// One row of the table Ditta: the company code and its eight letterhead lines (null allowed).
struct LetterheadRow {
    int code = 0;
    QList<QVariant> lines; // Intestazione1 .. Intestazione8; missing entries are stored as null
};

// The letterheads in Documenti.mdb. Each save replaces whole rows (delete, then add) inside one
// transaction: when any step fails the transaction is rolled back, so a company never loses its
// row to a failed save. Failures carry the database layer's numbers (locked, read-only...).
class LetterheadStore {
public:
    static constexpr int Lines = 8;
    static constexpr int LineLength = 40;

    explicit LetterheadStore(QString databasePath);

    QString connectionText() const;

    // The lines as the editor shows them: null as empty, otherwise the first 40 characters
    // without leading and trailing blanks. *found is false (and lines untouched) without a row.
    Failure load(int code, QStringList* lines, bool* found) const;
    // Every row in ascending code order, the lines as load() gives them.
    Failure list(QList<LetterheadRow>* rows) const;
    // Deletes the row of one company; *found is false when there was none.
    Failure remove(int code, bool* found) const;
    // Replaces the row of one company.
    Failure save(int code, const QStringList& lines) const;
    // Replaces the rows of several companies, all or none.
    Failure saveAll(const QList<LetterheadRow>& rows) const;

    // Leading and trailing blanks removed (spaces only: other characters are content).
    static QString trimBlanks(const QString& text);

private:
    QString m_path;
};
