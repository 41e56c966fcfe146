#pragma once

#include <QStringList>

class QTextStream;

// web-password: sets the web page's password. From a terminal it is asked twice without echo;
// otherwise (a script, a test) the first line of standard input is the password. Returns the
// program's exit code: 0 set, 1 refused or not stored (the reason on standard error), 2 wrong
// arguments.
namespace WebPasswordCommand {
constexpr int ShortestPassword = 8;
int run(const QString& serverFolder, const QStringList& args, QTextStream& out);
} // namespace WebPasswordCommand
