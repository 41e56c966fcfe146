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
