#pragma once

#include <QStringList>

class QTextStream;

// The admin command's view and edits of the list of workstations (Postazioni.txt in the server
// folder). The running server reads the file again by itself when it changes. Each returns the
// program's exit code: 0 done, 1 refused or failed, 2 wrong arguments; reasons go to standard
// error.
namespace WorkstationCommands {
// workstations: every listed name with its addresses, and the lines the server cannot read.
int show(const QString& serverFolder, QTextStream& out);
// workstation NAME ADDRESS[,ADDRESS...]: NAME registers only from those addresses (its line is
// replaced, or added; the file is made when missing).
int set(const QString& serverFolder, const QStringList& args, QTextStream& out);
// delete-workstation NAME
int remove(const QString& serverFolder, const QStringList& args, QTextStream& out);
} // namespace WorkstationCommands
