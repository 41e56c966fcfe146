#pragma once

#include <QString>

// How the watcher reads names and files of the print folder. Pure rules, shared by the new-file
// scan and the dispatch passes, and testable without a folder.
namespace PrintFileRules {
// Ends in ".PRN": accepted and waiting for its workstation (exact case).
bool isPending(const QString& name);
// Ends in ".ERR": set aside for inspection, never looked at again (exact case).
bool isSetAside(const QString& name);

// Numeric value of the last three characters of a name (the whole name when shorter): a decimal
// number read from their start, blanks ignored, stopping where a number cannot go on; no digits
// gives 0. "001" gives 1, "ABC" gives 0, "1.5" gives 1.5.
double endingValue(const QString& name);

// Workstation name of a line holding "PC:": the text after the colon up to the first blank at or
// after "PC:", or to the end of the line, blanks removed at both ends. A blank directly after the
// colon gives an empty name. A line without "PC:" gives an empty name too.
QString workstationName(const QString& line);

// Blanks (spaces) removed at both ends; other white space is kept, as the registry compares it.
QString trimBlanks(const QString& text);
// Registry compare: blanks trimmed, upper case.
QString comparable(const QString& name);
// True when two workstation names are the same for the registry (comparable() of both).
bool sameWorkstation(const QString& a, const QString& b);

// Reads a print file up to its first line containing "PC:". A line ends at a carriage return or
// a line feed.
struct WorkstationLine {
    enum class Status {
        Found,      // name holds the workstation name (may be empty)
        NoLine,     // read to the end, no line with "PC:"
        NotFound,   // the file is not there (any more)
        Unreadable, // exists but cannot be opened or read now (locked, a folder, an I/O error)
    };
    Status status = Status::NotFound;
    QString name;
};
WorkstationLine readWorkstationLine(const QString& localPath);
} // namespace PrintFileRules
