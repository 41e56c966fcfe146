// Linux: the share is a Samba user share.
#include "posixplatform.h"

#include <QDir>
#include <QFile>

#include <grp.h>

// net usershare add Velarix <folder> "" <acl> guest_ok=n|y. A Unix group is named by its SID,
// S-1-22-2-<gid>: Samba accepts that even before smbd runs (a name would need smbd to look it
// up). "R" is read-only; Everyone (S-1-1-0) is added, read-only too, only with guests. The folder
// is one argument, so blanks in it need no quoting.
Failure PosixPlatform::shareCommand(const QString& programFolder, const ShareAccess& access,
                                    Command* command) const {
    const group* found = ::getgrnam(QFile::encodeName(access.group).constData());
    if (!found)
        return {ErrorNumber::PathNotFound,
                QStringLiteral("il gruppo ") + access.group + QStringLiteral(" non esiste")};
    QString acl =
        QStringLiteral("S-1-22-2-") + QString::number(found->gr_gid) + QStringLiteral(":R");
    if (access.guests)
        acl += QStringLiteral(",S-1-1-0:R");
    *command = {QStringLiteral("net"),
                {QStringLiteral("usershare"), QStringLiteral("add"), QStringLiteral("Velarix"),
                 QDir::toNativeSeparators(programFolder), QString(), acl,
                 access.guests ? QStringLiteral("guest_ok=y") : QStringLiteral("guest_ok=n")}};
    return {};
}
