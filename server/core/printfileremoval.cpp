#include "printfileremoval.h"

#include "platform/systemerror.h"
#include "sharepath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
// Paths written the Windows way reach us with backslashes; a share path is resolved first.
QString normalised(const QString& path) {
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

// The canonical form of a folder that exists, or "" (a missing print folder allows nothing).
QString canonicalFolder(const QString& folder) {
    if (folder.isEmpty())
        return {};
    const QFileInfo info(folder);
    if (!info.isDir())
        return {};
    return info.canonicalFilePath();
}
} // namespace

PrintFileRemoval::PrintFileRemoval(QString printFolder, QString shareRoot)
    : m_printFolder(std::move(printFolder)), m_shareRoot(std::move(shareRoot)) {}

QString PrintFileRemoval::localPath(const QString& path) const {
    if (SharePath::isSharePath(path))
        return SharePath::resolve(path, m_shareRoot);
    return normalised(path);
}

QString PrintFileRemoval::localFolder() const {
    return canonicalFolder(localPath(m_printFolder.trimmed()));
}

bool PrintFileRemoval::isAllowed(const QString& path) const {
    const QString local = localPath(path);
    if (local.isEmpty() || !local.endsWith(QLatin1String(".PRN")))
        return false;
    const QString folder = localFolder();
    if (folder.isEmpty())
        return false;
    // A relative path would depend on the server's current folder: never a print file.
    if (!QDir::isAbsolutePath(local))
        return false;
    const QFileInfo file(QDir::cleanPath(local));
    if (file.fileName() == QLatin1String(".PRN"))
        return false; // nothing before the ending: not a print file
    if (file.exists() && !file.isFile() && !file.isSymLink())
        return false;
    // The file's own folder, resolved, must be the print folder itself, not one below it.
    return canonicalFolder(file.absolutePath()) == folder;
}

Failure PrintFileRemoval::remove(const QString& path) const {
    if (!isAllowed(path))
        return {ErrorNumber::PermissionDenied,
                QStringLiteral("non è una stampa della cartella di stampa")};
    const QString local = QDir::cleanPath(localPath(path));
    const QFileInfo info(local);
    if (!info.exists() && !info.isSymLink())
        return {};
    QFile file(local);
    if (!file.remove())
        return {ErrorNumber::PathFileAccess, fileErrorText(file)};
    return {};
}
