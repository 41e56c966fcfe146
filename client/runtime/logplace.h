#pragma once

#include <QString>

// Where the client's activity log is written. Its usual place (fileName, relative to the folder
// the client is started from) when that can be written; otherwise, as on an installation in a
// read-only program folder, the same name in the user's data folder, so the log goes on rather
// than losing every line. notice is the log line that says so, empty in the usual place.
struct LogPlace {
    QString fileName;
    QString notice;

    static LogPlace choose(const QString& fileName);
};
