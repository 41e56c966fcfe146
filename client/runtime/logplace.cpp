#include "logplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
bool canAppend(const QString& fileName) {
    // Opening for append creates a missing log, which the first entry would do anyway.
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly | QIODevice::Append);
}
} // namespace

LogPlace LogPlace::choose(const QString& fileName) {
    if (canAppend(fileName))
        return {fileName, QString()};
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    const QString fallback = QDir(folder).filePath(QFileInfo(fileName).fileName());
    if (folder.isEmpty() || !QDir().mkpath(folder) || !canAppend(fallback))
        return {fileName, QString()}; // nowhere better: entries are lost as before
    return {fallback, QStringLiteral("Cartella non scrivibile (") +
                          QDir::toNativeSeparators(QFileInfo(fileName).absolutePath()) +
                          QStringLiteral("): registro attività in ") +
                          QDir::toNativeSeparators(fallback)};
}
