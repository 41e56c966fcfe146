#pragma once

#include "failure.h"

#include <QString>
#include <memory>

class QLockFile;

// One running instance per program folder: a lock file in the program folder, so two
// installations on one machine do not refuse each other. A lock left by a crashed process is
// taken over. QLockFile behaves the same on every system Qt runs on, so a port supplies nothing
// here.
class SingleInstance {
public:
    SingleInstance(const QString& programFolder, const QString& programName);
    ~SingleInstance();
    // Takes the lock for the life of this object (asking again while holding it succeeds). Fails
    // with FileAlreadyOpen when another instance holds it, PermissionDenied when the lock file
    // cannot be created there (a read-only folder), PathFileAccess otherwise.
    Failure claim();

private:
    std::unique_ptr<QLockFile> m_lock;
};
