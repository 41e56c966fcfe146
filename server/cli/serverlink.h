#pragma once

#include <QString>

class QTextStream;

// Asks the server running on a server folder (AdminChannel) and prints its answer: the text to
// out, or to standard error when the server refused. Returns the exit code: 0 done, 1 refused or
// no server answering.
int askRunningServer(const QString& serverFolder, const QString& request, QTextStream& out);
