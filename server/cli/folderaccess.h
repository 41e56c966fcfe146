#pragma once

#include <QStringList>

class CommandHost;

// Before a command touches the server folder: a file or folder it needs that the user running it
// may not read (or, for a change, write) is named on standard error with that user, as
// "Permesso negato: PATH (utente NAME)". Otherwise the database or the settings file would
// report the missing right as a missing file.
namespace FolderAccess {
bool allows(const CommandHost& host, const QString& command, const QStringList& args);
// "Permesso negato: PATH (utente NAME)" for the user running this program.
QString deniedText(const QString& path);
} // namespace FolderAccess
