#include "singleinstance.h"

#include <QDir>
#include <QLockFile>

SingleInstance::SingleInstance(const QString& programFolder, const QString& programName)
    : m_lock(std::make_unique<QLockFile>(
          QDir(programFolder).filePath(programName + QStringLiteral(".lock")))) {
    // The lock is held for the whole run, so it must never turn stale by age; a lock whose
    // process has died is still recognised and taken over by QLockFile.
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire() {
    if (m_lock->isLocked())
        return true;
    return m_lock->tryLock(0);
}
