// POSIX: the machine-wide lock folder every user can write (/run/lock on Debian, sticky like /tmp)
// and the user's runtime folder ($XDG_RUNTIME_DIR).
#include "posixplatform.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString PosixPlatform::machineLockFolder() const {
    for (const QString& folder :
         {QStringLiteral("/run/lock"), QStringLiteral("/var/lock"), QDir::tempPath()}) {
        const QFileInfo info(folder);
        if (info.isDir() && info.isWritable())
            return info.absoluteFilePath();
    }
    return QDir::tempPath();
}

QString PosixPlatform::userLockFolder() const {
    // Qt falls back to a private folder of its own when XDG_RUNTIME_DIR is not set.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}
