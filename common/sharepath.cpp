#include "sharepath.h"

#include <QDir>

namespace {
const QLatin1String ShareName("Velarix");

bool isSeparator(QChar c) {
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
}

// Splits "\\host\share\rest" into its parts; false when the path does not have that shape.
bool split(const QString& path, QString* host, QString* share, QString* rest) {
    if (path.size() < 2 || !isSeparator(path.at(0)) || !isSeparator(path.at(1)))
        return false;
    qsizetype i = 2;
    const qsizetype hostBegin = i;
    while (i < path.size() && !isSeparator(path.at(i)))
        ++i;
    *host = path.mid(hostBegin, i - hostBegin);
    if (i >= path.size())
        return false;
    ++i;
    const qsizetype shareBegin = i;
    while (i < path.size() && !isSeparator(path.at(i)))
        ++i;
    *share = path.mid(shareBegin, i - shareBegin);
    *rest = i < path.size() ? path.mid(i + 1) : QString();
    return true;
}
} // namespace

namespace SharePath {
bool isSharePath(const QString& path) {
    QString host, share, rest;
    return split(path, &host, &share, &rest) && share.compare(ShareName, Qt::CaseInsensitive) == 0;
}

QString host(const QString& path) {
    QString host, share, rest;
    if (!split(path, &host, &share, &rest))
        return QString();
    return host;
}

QString resolve(const QString& path, const QString& shareRoot) {
    QString host, share, rest;
    if (!split(path, &host, &share, &rest) || share.compare(ShareName, Qt::CaseInsensitive) != 0)
        return path;
    if (host.isEmpty() || shareRoot.isEmpty())
        return QString();

    QString relative = rest;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const bool trailingSlash = isSeparator(path.back());
    relative = QDir::cleanPath(relative);
    // The share never reaches above its own folder, whatever a path names.
    if (relative == QLatin1String("..") || relative.startsWith(QLatin1String("../")) ||
        relative.startsWith(QLatin1Char('/')))
        return QString();
    if (relative == QLatin1String("."))
        relative.clear();

    QString root = shareRoot;
    while (root.size() > 1 && isSeparator(root.back()))
        root.chop(1);
    if (relative.isEmpty())
        return trailingSlash && !root.endsWith(QLatin1Char('/')) ? root + QLatin1Char('/') : root;
    QString local =
        root.endsWith(QLatin1Char('/')) ? root + relative : root + QLatin1Char('/') + relative;
    if (trailingSlash)
        local += QLatin1Char('/');
    return local;
}
} // namespace SharePath
