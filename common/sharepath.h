#pragma once

#include <QString>

// Network paths of the form \\host\Velarix\rest are reached through a local folder where the
// share is mounted (the client's share root) or, on the server, its own program folder. Any
// other path is a local path and is used as it is.
namespace SharePath {
// True for \\host\Velarix\... (share name compared without regard to case).
bool isSharePath(const QString& path);
// The host part of a share path, empty when there is none.
QString host(const QString& path);
// Local path for a share path (backslashes become slashes below shareRoot); other paths unchanged.
// A share path with an empty host, resolved with an empty shareRoot, or whose ".." segments climb
// above the share, gives an empty string (a server cannot reach outside its share either).
QString resolve(const QString& path, const QString& shareRoot);
} // namespace SharePath
