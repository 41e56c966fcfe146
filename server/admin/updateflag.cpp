#include "updateflag.h"

#include <QDir>
#include <QSaveFile>

namespace UpdateFlag {

QString fileName() {
    return QStringLiteral("Aggiorna.txt");
}

Failure write(const QString& clientFolder) {
    QSaveFile file(QDir(clientFolder).filePath(fileName()));
    const QByteArray content("SI\r\n");
    if (!file.open(QIODevice::WriteOnly))
        return {ErrorNumber::PermissionDenied, file.errorString()};
    if (file.write(content) != content.size()) {
        const Failure failure{ErrorNumber::DeviceIO, file.errorString()};
        file.cancelWriting();
        return failure;
    }
    if (!file.commit())
        return {ErrorNumber::DeviceIO, file.errorString()};
    return Failure::none();
}

} // namespace UpdateFlag
