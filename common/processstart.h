#pragma once

#include "failure.h"

#include <QString>
#include <QStringList>

// Starts a program as a separate process, not waited for. Fails with FileNotFound (no such
// program), PermissionDenied (not executable), PathNotFound (no such working folder) or
// PathFileAccess (any other refusal); the description names the program and the system's reason.
// When it starts, *processId (if given) is the new process's id.
Failure startProgram(const QString& program, const QStringList& arguments,
                     const QString& workingFolder = QString(), qint64* processId = nullptr);

// A program started by one that watches it come up (the updater starts the client) is told, in
// this environment variable, a file to write once it has got through its start-up.
inline constexpr const char* StartedFileVariable = "VELARIX_STARTED_FILE";
// Writes this process's id into that file, if one was named; the variable is then removed, so
// the programs this one starts do not inherit it.
void announceStarted();
