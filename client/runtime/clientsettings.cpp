#include "clientsettings.h"

#include "database.h"
#include "settingsvalues.h"
#include "sharepath.h"

QString ClientSettings::readServerHost(const QString& installFolder)
{
    return readFirstSettingsValue(installFolder + QStringLiteral("IPHost.set"));
}

QString ClientSettings::sharePathFor(const QString& serverHost)
{
    return QStringLiteral("\\\\") + serverHost + QStringLiteral("\\Velarix\\");
}

QString ClientSettings::onShare(const QString& relative) const
{
    return SharePath::resolve(sharePath + relative, shareRoot);
}
