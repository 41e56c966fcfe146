#pragma once

#include "failure.h"

#include <QString>
#include <QStringList>

// Copie.txt: nine values, one per line, CR LF: print folder, six copy counts (slots 0 to 5, in
// the order of the file), per-company switch, per-branch switch.
struct CopiesSettings {
    QString printFolder;
    QStringList copies{QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"),
                       QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1")};
    bool perCompany = false;
    bool perBranch = false;
};

namespace CopiesFile {
// The client's reading: copies as text (an empty value keeps "1" but uses up its slot, reading
// stops at the end of the file); a switch is on exactly when its numeric value is 1.
CopiesSettings readForClient(const QString& path);
// The server window's reading: the same, but each switch is its numeric value rounded to the
// nearest whole number (halves to even), on when that is not 0.
CopiesSettings readForWindow(const QString& path);
// Only the first value (the server's start-up and "Annulla").
QString readPrintFolder(const QString& path);
// The print folder as the server scans it and names it to the workstations: the stored value
// without blanks at either end (a folder typed with a trailing blank is the same folder). The
// file keeps what was typed; every user of the value goes through here.
QString printFolderInUse(const QString& stored);
// Writes the nine values anew through QSaveFile: the print folder exactly as typed (enclosed in
// double quotes when it holds a comma, so that it reads back whole), each copy
// count as its numeric value (text without leading digits gives 0), switches as 0 or 1.
Failure write(const QString& path, const CopiesSettings& settings);

// Numeric value of a text as the settings readers take it: blanks skipped, digits from the start,
// stopping at the first character that cannot continue a number; no digits gives 0.
double numericValue(const QString& text, bool* isNumber = nullptr);
} // namespace CopiesFile
