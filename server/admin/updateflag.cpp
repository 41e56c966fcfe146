#include "updateflag.h"

#include "settingsvalues.h"

#include <QDir>

namespace UpdateFlag {

QString fileName() {
    return QStringLiteral("Aggiorna.txt");
}

Failure write(const QString& clientFolder) {
    return writeSettingsFile(QDir(clientFolder).filePath(fileName()), QStringLiteral("SI\r\n"));
}

} // namespace UpdateFlag
