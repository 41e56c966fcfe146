#pragma once

#include "failure.h"

#include <QString>
#include <memory>

class QLockFile;

// One running instance of a program per machine (the print server: a second one would take the
// first one's free ports) or per user of a machine (the client: each user's session prints for
// itself). The lock lives in the platform's lock folder for that scope, never in the program
// folder, which may be read-only or shared by several machines. VELARIX_LOCK_DIR, when set, is
// the folder for both scopes (tests run many programs side by side). A lock left by a crashed
// process is taken over.
class SingleInstance {
public:
    enum class Scope { Machine, User };

    SingleInstance(Scope scope, const QString& programName);
    ~SingleInstance();
    // Takes the lock for the life of this object (asking again while holding it succeeds). Fails
    // with FileAlreadyOpen only when another running instance holds it; with PermissionDenied,
    // DiskFull or PathFileAccess when the lock cannot be taken for that reason, which says
    // nothing about another instance: the program then runs and reports it.
    Failure claim();
    QString lockPath() const;

private:
    std::unique_ptr<QLockFile> m_lock;
    QString m_folder;
};
