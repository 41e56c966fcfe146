#pragma once

#include "failure.h"

#include <QString>

// IPHost.set in the workstation's program folder: the server's host name or address as its first
// value, on one line ended by CR LF. The server search writes it; the client's start-up and the
// updater read it and build the share path from it.
namespace ServerHostFile {
// The first value with its blanks trimmed (a blank left after a hand-written name would never
// resolve); empty when the file is missing, empty or blank.
QString read(const QString& installFolder);
// Replaces the file whole, even with an empty host; a crash never leaves half a file.
Failure write(const QString& installFolder, const QString& serverHost);
// "\\" + serverHost + "\Velarix\".
QString sharePath(const QString& serverHost);
} // namespace ServerHostFile
