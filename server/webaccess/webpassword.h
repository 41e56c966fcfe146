#pragma once

#include "failure.h"

#include <QByteArray>
#include <QString>

// The web page's password, kept as a salted slow hash on one line:
// "pbkdf2-sha256$ITERATIONS$SALT_BASE64$HASH_BASE64". One verify takes a noticeable fraction of a
// second on purpose (guessing from a stolen file is slow); the server runs it on a worker thread.
namespace WebPassword {
// WebAccess::folder()/password
QString filePath(const QString& serverFolder);
// A new line with a new random 16-byte salt.
QByteArray hash(const QString& password);
// False for an empty, malformed or different line; the comparison takes the same time wherever
// the hashes differ.
bool verify(const QByteArray& stored, const QString& password);
// The stored line, "" when none is set or it cannot be read.
QByteArray read(const QString& serverFolder);
// Writes the line whole or not at all, readable by its owner only, the owner being the owner of
// WebAccess::folder() (the administrator writes it for the service's user); creates the folder,
// for its owner only, when missing.
Failure store(const QString& serverFolder, const QString& password);
} // namespace WebPassword
