#include "clientsettings.h"

#include "sharepath.h"

QString ClientSettings::onShare(const QString& relative) const {
    return SharePath::resolve(sharePath + relative, shareRoot);
}
