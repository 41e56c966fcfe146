#pragma once

#include <QStringList>

class CommandHost;
class QTextStream;

// The admin command's actions on the server folder's Client files, each through the same
// controller and store the settings windows use, so the files come out exactly as the windows
// write them. Each returns the program's exit code: 0 done, 1 refused or failed (the reason is
// on standard error), 2 wrong arguments.
namespace AdminCommands {
// print-folder [FOLDER]: shows the print folder, or stores a new one checked as the "Numero
// Copie" window checks it.
int printFolder(CommandHost& host, const QStringList& args, QTextStream& out);
// copies [KIND=N ...] [per-company=on|off] [per-branch=on|off]; KIND is one of ODL, ODL2, PRE,
// PRE2, FOM, FVV (the two numbers of the front-and-back kinds carry a 2). Without arguments shows
// them.
int copies(CommandHost& host, const QStringList& args, QTextStream& out);
// letterheads: every company with its first line.
int listLetterheads(CommandHost& host, QTextStream& out);
// letterhead CODE [LINE1 ... LINE8]: shows a company's eight lines, or replaces them (lines not
// given are empty), as "Salva" in "Dati Ditta" does.
int letterhead(CommandHost& host, const QStringList& args, QTextStream& out);
// delete-letterhead CODE
int deleteLetterhead(CommandHost& host, const QStringList& args, QTextStream& out);
// import FILE, first half: reads FILE, a CSV as mdb-export writes it or an older Access-format
// .mdb (through mdb-export), into `csv`. Run before the change of user: the file is the
// administrator's.
int readImportFile(const QStringList& args, QByteArray* csv);
// import FILE, second half: the letterheads read by readImportFile() into the database.
int importLetterheads(CommandHost& host, const QByteArray& csv, QTextStream& out);
// share: publishes the server folder as the share "Velarix" for VELARIX_SHARE_GROUP (guests only
// with VELARIX_SHARE_GUESTS) and waits for the outcome.
int publishShare(const QString& serverFolder, QTextStream& out);
} // namespace AdminCommands
