#include "singleinstance.h"

#include "platform.h"

#include <QDir>
#include <QLockFile>
#include <QStorageInfo>

namespace {
QString lockFolder(SingleInstance::Scope scope) {
    const QString forced = qEnvironmentVariable("VELARIX_LOCK_DIR");
    if (!forced.isEmpty())
        return forced;
    return scope == SingleInstance::Scope::Machine ? Platform::current().machineLockFolder()
                                                   : Platform::current().userLockFolder();
}
} // namespace

SingleInstance::SingleInstance(Scope scope, const QString& programName)
    : m_folder(lockFolder(scope)) {
    m_lock =
        std::make_unique<QLockFile>(QDir(m_folder).filePath(programName + QStringLiteral(".lock")));
    // The lock is held for the whole run, so it must never turn stale by age; a lock whose
    // process has died is still recognised and taken over by QLockFile.
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::lockPath() const {
    return m_lock->fileName();
}

Failure SingleInstance::claim() {
    if (m_lock->isLocked())
        return Failure::none();
    if (m_folder.isEmpty())
        return {ErrorNumber::PathNotFound, QStringLiteral("Nessuna cartella per il blocco")};
    QDir().mkpath(m_folder);
    if (m_lock->tryLock(0))
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
        break;
    }
    // Qt says no more than "unknown": a full disk is the usual reason, and worth naming.
    const QStorageInfo storage(m_folder);
    if (storage.isValid() && storage.bytesAvailable() == 0)
        return {ErrorNumber::DiskFull,
                QStringLiteral("Impossibile creare il blocco %1: disco pieno").arg(path)};
    return {ErrorNumber::PathFileAccess,
            QStringLiteral("Impossibile creare il blocco %1").arg(path)};
}
