#include "sharecommand.h"

#include "processstart.h"

#include <QDir>

ShareCommand ShareCommand::forFolder(const QString& programFolder) {
    const QString folder = QDir::toNativeSeparators(programFolder);
#ifdef Q_OS_WIN
    return {QStringLiteral("net"),
            {QStringLiteral("share"), QStringLiteral("Velarix=") + folder,
             QStringLiteral("/UNLIMITED")}};
#else
    return {QStringLiteral("net"),
            {QStringLiteral("usershare"), QStringLiteral("add"), QStringLiteral("Velarix"), folder,
             QString(), QStringLiteral("S-1-1-0:F"), QStringLiteral("guest_ok=y")}};
#endif
}

bool ShareCommand::start() const {
    return startDetached(program, arguments);
}
