#pragma once

#include <QString>
#include <QStringList>

// Starts a program as a separate process, not waited for. Returns false when it could not start.
bool startDetached(const QString& program, const QStringList& arguments,
                   const QString& workingFolder = QString());
