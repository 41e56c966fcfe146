#pragma once

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
    // False when another instance holds the lock.
    bool acquire();

private:
    std::unique_ptr<QLockFile> m_lock;
};
