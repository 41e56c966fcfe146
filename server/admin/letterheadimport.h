#pragma once

#include "failure.h"
#include "letterheadstore.h"

#include <QByteArray>
#include <QList>

// Letterheads taken over from an older Access-format Documenti.mdb, as mdb-export writes the
// table Ditta: UTF-8 (mdbtools converts the file's own code page), a header row with the column
// names, fields separated by commas, text in double quotes with inner quotes doubled (and line
// ends allowed inside), a null (and, from mdb-export, empty text too) as an empty unquoted field,
// rows ended by LF (CR LF accepted).
// Columns are found by name, in any order and case; Codice is required, a missing
// Intestazione column imports as null. Lines longer than 40 characters are cut to 40.
class LetterheadImport {
public:
    // Fails, naming the row, on text that is not UTF-8, a missing Codice column, a code that is
    // not a whole number from 0 to 999, or an unterminated quoted field.
    static Failure parse(const QByteArray& csv, QList<LetterheadRow>* rows);
    // Parses and replaces the rows of the listed companies in one transaction (all or none).
    // Other companies keep their rows.
    static Failure run(const QByteArray& csv, const QString& databasePath, int* imported);
    // What the import commands do with a server's Documenti.mdb: the tables made where missing,
    // the rows stored (run), then, when asked, Aggiorna.txt rewritten beside the database so the
    // workstations fetch it. The failure's description names the step that failed; *imported
    // counts the companies stored even when only the flag could not be written.
    static Failure intoServerDatabase(const QByteArray& csv, const QString& databasePath,
                                      bool rewriteFlag, int* imported);
};
