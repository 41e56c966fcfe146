#include "clientsettings.h"

#include "database.h"
#include "settingsvalues.h"
#include "sharepath.h"

QString ClientSettings::readServerHost(const QString& installFolder)
{
    // Blanks after the name, easily left by hand, would make a host name that never resolves.
    return readFirstSettingsValue(installFolder + QStringLiteral("IPHost.set")).trimmed();
}

QString ClientSettings::sharePathFor(const QString& serverHost)
{
    return QStringLiteral("\\\\") + serverHost + QStringLiteral("\\Velarix\\");
}

QString ClientSettings::onShare(const QString& relative) const
{
    return SharePath::resolve(sharePath + relative, shareRoot);
}
