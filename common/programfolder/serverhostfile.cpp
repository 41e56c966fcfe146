#include "serverhostfile.h"

#include "platform/systemerror.h"
#include "settingsvalues.h"
#include "textcodec.h"

#include <QSaveFile>

namespace {
const QString FileName = QStringLiteral("IPHost.set");
}

QString ServerHostFile::read(const QString& installFolder) {
    return readFirstSettingsValue(installFolder + FileName).trimmed();
}

Failure ServerHostFile::write(const QString& installFolder, const QString& serverHost) {
    QSaveFile file(installFolder + FileName);
    if (!file.open(QIODevice::WriteOnly))
        return {ErrorNumber::PathFileAccess, fileErrorText(file)};
    file.write(TextCodec::encode(serverHost) + "\r\n");
    if (!file.commit())
        return {ErrorNumber::DeviceIO, fileErrorText(file)};
    return Failure::none();
}

QString ServerHostFile::sharePath(const QString& serverHost) {
    return QStringLiteral("\\\\") + serverHost + QStringLiteral("\\Velarix\\");
}
