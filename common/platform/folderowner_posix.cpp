// Linux: root takes the user and groups of the folder's owner (the service's user).
#include "posixplatform.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

Failure PosixPlatform::actAsOwnerOf(const QString& folder) const {
    struct stat info {};
    if (::geteuid() != 0 || ::stat(QFile::encodeName(folder).constData(), &info) != 0 ||
        info.st_uid == 0)
        return {};
    const passwd* owner = ::getpwuid(info.st_uid);
    // Groups first: once the user is changed, they can no longer be changed.
    const bool changed = owner && ::initgroups(owner->pw_name, owner->pw_gid) == 0 &&
                         ::setgid(owner->pw_gid) == 0 && ::setuid(owner->pw_uid) == 0;
    if (!changed)
        return {ErrorNumber::PermissionDenied, QStringLiteral("utente del proprietario di ") +
                                                   folder + QStringLiteral(" non assunto: ") +
                                                   QString::fromLocal8Bit(std::strerror(errno))};
    return {};
}

Failure PosixPlatform::giveToOwnerOf(const QString& path, const QString& folder) const {
    struct stat info {};
    if (::geteuid() != 0)
        return {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0 ||
        ::lchown(QFile::encodeName(path).constData(), info.st_uid, info.st_gid) != 0)
        return {ErrorNumber::PermissionDenied, QStringLiteral("proprietario di ") + path +
                                                   QStringLiteral(" non cambiato: ") +
                                                   QString::fromLocal8Bit(std::strerror(errno))};
    return {};
}
