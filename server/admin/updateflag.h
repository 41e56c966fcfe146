#pragma once

#include "failure.h"

#include <QString>

// Aggiorna.txt in the server's Client folder: the single line "SI" CR LF. Its content is read by
// no one; rewriting it makes it newer than every workstation's copy, which their update check
// takes as an update of the whole folder.
namespace UpdateFlag {
QString fileName();
// Replaces the file as every settings file is replaced (a fresh file, so a fresh modification
// time); on a full disk the old one stays.
Failure write(const QString& clientFolder);
} // namespace UpdateFlag
