#pragma once

#include "failure.h"

#include <QMap>
#include <QString>
#include <QStringList>

// The workstation's own printer choices: which queue prints each document kind, and where every
// printed document is kept as a PDF. They belong to the workstation, not to the office: the file
// lies in the client's program folder and never in the server's Client folder, and the update
// check and the updater leave it alone even when someone puts one there.
struct PrinterSettings {
    QMap<QString, QString> queues; // kind ("ODL", "PRE", "FOM", "FVV") -> queue name
    QString archiveFolder;         // empty: nothing is archived

    // The queue named for the kind; empty when the kind has no line (the default printer).
    QString queueFor(const QString& kind) const { return queues.value(kind); }
    bool operator==(const PrinterSettings&) const = default;
};

// Stampanti.txt: one "KIND=queue" line per kind that does not print on the default printer and an
// optional "ARCHIVIO=folder" line, CR LF, Windows-1252, read value by value like Copie.txt (a
// value holding a comma is written between double quotes).
namespace PrintersFile {
QString fileName();   // "Stampanti.txt"
QStringList kinds();  // the document kinds, in the order the file and the window list them
QString archiveKey(); // "ARCHIVIO"

// A missing file gives empty settings. Each value that is not understood (no "=", an unknown
// kind, an empty queue) is left out and named in *problems, so the caller can log it.
PrinterSettings read(const QString& path, QStringList* problems = nullptr);
// Writes the file anew in one step (QSaveFile); kinds without a queue get no line.
Failure write(const QString& path, const PrinterSettings& settings);

// Whether a name relative to a program folder is this file (in any case, as Windows sees names).
// The update check and the updater pass it over: the workstation's choice is not the office's.
bool isPrintersFile(const QString& relativeName);
} // namespace PrintersFile
