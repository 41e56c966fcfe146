#pragma once

#include "failure.h"

#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

class QFile;

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

// What reading a print file for its workstation line found.
struct WorkstationLine {
    enum class Status {
        Found,      // name holds the workstation name (may be empty)
        NoLine,     // read to the end or to the search limit, no line with "PC:"
        NotFound,   // the file is not there (any more)
        Unreadable, // cannot be opened or read now (locked, no right, an I/O error), or is no
                    // regular file (a folder, a device, a pipe, a socket)
        Reading,    // not finished when the deadline passed: read on later
    };
    Status status = Status::NotFound;
    QString name;
    QString why;             // Unreadable: why, in Italian
    bool notRegular = false; // Unreadable because it is no regular file
    bool cutShort = false;   // NoLine: the search stopped at the limit, not at the end
};

// The workstation line is looked for in a file's first bytes only, so that no file costs more.
constexpr qint64 LineSearchLimit = 4 * 1024 * 1024;

// Reads a print file up to its first line containing "PC:" (a line ends at a carriage return or a
// line feed), a piece at a time: each byte is looked at once, and no more than the line being
// looked at is kept. Only a regular file is read (a link to one included): opening a device or a
// pipe could block or never end.
class WorkstationLineReader {
public:
    // Reads on from where the previous call stopped until the line is found, the file ends, the
    // search limit is reached or the deadline passes.
    WorkstationLine readOn(const QString& localPath,
                           QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));
    qint64 bytesRead() const { return m_offset; }

private:
    bool take(const QByteArray& chunk);
    WorkstationLine found(qsizetype end);

    qint64 m_offset = 0;
    QByteArray m_line;        // from the start of the line being looked at
    qsizetype m_searched = 0; // bytes of m_line already looked at
    qsizetype m_pcAt = -1;    // where "PC:" starts in m_line
};
WorkstationLine readWorkstationLine(const QString& localPath);

// True when a file holds a whole document as the client will read it: its "PC:" line, a known
// document kind, every page whole (the last one's body full, or ended early by its page break,
// and not broken off), and a line end as its last byte. A file cut between its writer's steps
// almost always fails one of these; a file longer than this is never judged by them.
constexpr qint64 WholeDocumentLimit = 1024 * 1024;
bool holdsWholeDocument(const QString& localPath);

// The names in a folder, hidden ones left out, "." and ".." kept, in no order. A name that is not
// valid text cannot be opened or renamed by a QString path: it goes to badNames instead, with each
// byte that breaks it shown as "\xFF".
QStringList listFolder(const QString& folder, QStringList* badNames);
// "" when the path is a regular file or a link to one (or is not there); otherwise why it is none,
// in Italian. Never blocks.
QString whyNotRegular(const QString& localPath);
// Opens a file for reading only when it is a regular file, without ever blocking on the open.
// Fails with FileNotFound when it is not there, otherwise with an Italian description (and
// *notRegular set when it is no regular file).
Failure openRegularFile(QFile& file, const QString& localPath, bool* notRegular);
} // namespace PrintFileRules
