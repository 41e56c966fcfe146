#pragma once

#include "copiesfile.h"

#include <QString>

// The client's program-wide values, set during start-up and read by the connection, the import
// and the update check.
struct ClientSettings {
    QString serverHost;
    QString installFolder; // always ends with a separator
    QString sharePath;     // "\\" + serverHost + "\Velarix\"
    QString documentsConnection;
    QString shareRoot; // local folder where the server's share is mounted
    bool updateFound = false;
    CopiesSettings copies;

    // Local path of a file on the server's share (empty when the share cannot be resolved).
    QString onShare(const QString& relative) const;
};
