#pragma once

#include <QString>

// Outcome of an operation that can fail: a number and a description, as the activity log and the
// message boxes show them. Number 0 means success. The numbers that callers test keep one meaning
// everywhere (see ErrorNumber).
struct Failure {
    int number = 0;
    QString description;

    bool ok() const { return number == 0; }
    explicit operator bool() const { return number != 0; }
    static Failure none() { return {}; }
};

namespace ErrorNumber {
constexpr int BadFileNameOrNumber = 52; // a file that is not open, an unreachable share folder
constexpr int FileNotFound = 53;
constexpr int FileAlreadyOpen = 55;
constexpr int DeviceIO = 57;
constexpr int DiskFull = 61;
constexpr int InputPastEnd = 62;
constexpr int PermissionDenied = 70;
constexpr int PathFileAccess = 75;
constexpr int PathNotFound = 76;
constexpr int TypeMismatch = 13;
// Database layer
constexpr int DatabaseNotFound = 3024;     // the database file does not exist
constexpr int DatabaseUnreadable = 3343;   // not a database file, or damaged
constexpr int DatabaseLocked = 3218;       // locked by another user
constexpr int DatabaseReadOnly = 3051;     // cannot be written
constexpr int DatabaseStatement = 3075;    // statement refused (syntax, missing table or column)
constexpr int DatabaseClosed = 3704;       // operation on a connection that is not open
} // namespace ErrorNumber
