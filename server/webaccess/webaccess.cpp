#include "webaccess.h"

#include <QDir>
#include <QtGlobal>

namespace {
QString fromEnvironment(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name).trimmed();
    return value.isEmpty() ? fallback : value;
}
} // namespace

namespace WebAccess {

QString folder(const QString& serverFolder) {
    return fromEnvironment("VELARIX_WEB_DIR", QDir(serverFolder).filePath(QStringLiteral(".web")));
}

QString certificatePath(const QString& serverFolder) {
    return fromEnvironment("VELARIX_WEB_CERT",
                           QDir(folder(serverFolder)).filePath(QStringLiteral("server.crt")));
}

QString keyPath(const QString& serverFolder) {
    return fromEnvironment("VELARIX_WEB_KEY",
                           QDir(folder(serverFolder)).filePath(QStringLiteral("server.key")));
}

} // namespace WebAccess
