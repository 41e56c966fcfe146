// Linux: where a workstation's client is usually installed.
#include "posixplatform.h"

QStringList PosixPlatform::installFolders() const {
    return {QStringLiteral("/opt/velarix/"), QStringLiteral("/usr/local/velarix/")};
}
