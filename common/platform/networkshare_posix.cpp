// Linux: the share is a Samba user share.
#include "posixplatform.h"

#include <QDir>

// net usershare add Velarix <folder> "" S-1-1-0:F guest_ok=y. S-1-1-0 (Everyone) is accepted
// even before smbd runs. The folder is one argument, so blanks in it need no quoting.
Platform::Command PosixPlatform::shareCommand(const QString& programFolder) const {
    return {QStringLiteral("net"),
            {QStringLiteral("usershare"), QStringLiteral("add"), QStringLiteral("Velarix"),
             QDir::toNativeSeparators(programFolder), QString(), QStringLiteral("S-1-1-0:F"),
             QStringLiteral("guest_ok=y")}};
}
