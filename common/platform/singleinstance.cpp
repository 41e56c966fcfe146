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

Failure SingleInstance::claim() {
    if (m_lock->isLocked() || m_lock->tryLock(0))
        return Failure::none();
    const QString path = QDir::toNativeSeparators(m_lock->fileName());
    switch (m_lock->error()) {
    case QLockFile::LockFailedError:
        return {ErrorNumber::FileAlreadyOpen,
                QStringLiteral("Il blocco %1 è tenuto da un'altra istanza").arg(path)};
    case QLockFile::PermissionError:
        return {ErrorNumber::PermissionDenied,
                QStringLiteral("Impossibile creare il blocco %1: permesso negato").arg(path)};
    default:
        return {ErrorNumber::PathFileAccess,
                QStringLiteral("Impossibile creare il blocco %1").arg(path)};
    }
}
