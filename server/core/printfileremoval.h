#pragma once

#include "failure.h"

#include <QString>

// Deletion asked for by a workstation's "DEL:" message. Only a file that lies directly in the
// print folder and whose name ends in ".PRN" may go: anything else a client names (another
// folder, a settings file, the program itself) is refused, so nobody on the network can delete
// arbitrary files through the server. Share paths (\\host\Velarix\...) are resolved through the
// server's program folder, the folder the share publishes.
class PrintFileRemoval {
public:
    PrintFileRemoval(QString printFolder, QString shareRoot);

    // The local path a message path stands for ("" when it cannot be resolved).
    QString localPath(const QString& path) const;
    // True when the path names a ".PRN" file directly inside the print folder.
    bool isAllowed(const QString& path) const;
    // Deletes the named file; one already gone counts as deleted. Fails with PermissionDenied
    // when isAllowed() refuses the path, with PathFileAccess and the system's reason when the
    // delete itself fails.
    Failure remove(const QString& path) const;

private:
    QString localFolder() const;

    QString m_printFolder;
    QString m_shareRoot;
};
