#pragma once

#include <QString>

// Outcome of an operation that can fail: a number and a description, as the activity log and the
// message boxes show them. Number 0 means success. Every call that can fail and has a reason to
// give returns a Failure (no exceptions, no bool plus an out-string); a call that only answers a
// question returns its answer.
//
//     if (Failure f = database.open(connection))
//         log(QStringLiteral("Open DB:Err. ") + QString::number(f.number) + ...);
//
// The `if (Failure f = ...)` form reads "if it failed". Beware `!call()`: it means success.
//
// Error numbers of the whole project. A number keeps one meaning everywhere; a new kind of failure
// takes a free number in its owner's range and is added here and to the owner's list.
//
// | Range         | Meaning                                   | Owner (where the names live) |
// |---------------|-------------------------------------------|----------------------------------------|
// | 0             | success                                   | Failure::none() | | 1 - 99        |
// run-time and file errors, numbered as the | ErrorNumber below; raised by the file  | | | programs
// have always tested them (52, 53, | reads and writes in common/, the       | |               | 55
// keep their meaning)                    | document import and the updater        | | 340 | socket
// element that does not exist        | SocketArray::Error* (socketarray.h)    | | 3000 - 3999   |
// database                                  | ErrorNumber::Database* below           | | | |
// (database.cpp maps SQLite onto them)   | | 10000 - 11999 | network, as the socket layer numbers
// them | SocketArray::Error* (socketarray.h)    | | 20500 - 20599 | report engine and printing |
// ReportError (client/document/report/   | |               | | reporterrors.h, docs/templates.md) |
// | 40000 - 40099 | socket operation in the wrong state       | SocketArray::Error* (socketarray.h)
// |
struct Failure {
    int number = 0;
    QString description;

    bool ok() const { return number == 0; }
    explicit operator bool() const { return number != 0; }
    static Failure none() { return {}; }
};

namespace ErrorNumber {
constexpr int InvalidCall = 5; // a call with an argument it cannot take, an incomplete request
constexpr int OutOfMemory = 7;
constexpr int TypeMismatch = 13;
constexpr int BadFileNameOrNumber = 52; // a file that is not open, an unreachable share folder
constexpr int FileNotFound = 53;
constexpr int FileAlreadyOpen = 55; // also: held by another running instance
constexpr int DeviceIO = 57;
constexpr int DiskFull = 61;
constexpr int InputPastEnd = 62;
constexpr int PermissionDenied = 70;
constexpr int PathFileAccess = 75;
constexpr int PathNotFound = 76;
// Database layer
constexpr int DatabaseNotFound = 3024;   // the database file does not exist
constexpr int DatabaseReadOnly = 3051;   // cannot be written
constexpr int DatabaseStatement = 3075;  // statement refused (syntax, missing table or column)
constexpr int DatabaseLocked = 3218;     // locked by another user
constexpr int DatabaseUnreadable = 3343; // not a database file, or damaged
constexpr int DatabaseClosed = 3704;     // operation on a connection that is not open
// The workstation's Documenti.mdb cannot take a document (read-only, disk full, missing): the
// document waits, unanswered, like one its printer refused; the description says why.
constexpr int DatabaseDocumentNotStored = 3060;
} // namespace ErrorNumber
