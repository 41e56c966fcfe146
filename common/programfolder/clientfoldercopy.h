#pragma once

#include "failure.h"

#include <QString>
#include <functional>

class QFileInfo;

// Brings the files of the server's Client folder (reached as a local folder) into a workstation's
// program folder: the updater copies all of them, a running client the data files that changed.
//
// Subfolders are walked recursively and created as needed; linked folders and hidden dot files
// are left out, as the update check does. Each file is written to a temporary name beside its
// target, given the source's modification time, and renamed over the target, so a failed copy
// never leaves half a file and a reader holding the old file keeps reading all of it. A copy that
// fails is tried again (attempts in all, a delay apart) before it is reported. Afterwards the
// target is a normal writable file (rw-r--r--), executable when the file it replaced or the source
// was: a program stays a program even when the share's copy has lost its execute bits.
class ClientFolderCopy {
public:
    // Relative name ("ODL.rpt", "Modelli/FOM.rpt") and the share's file: copy it or not.
    using Filter = std::function<bool(const QString& relative, const QFileInfo& source)>;
    struct Hooks {
        Filter wanted;                               // every file when empty
        std::function<void(const QString&)> copying; // before each wanted file
        std::function<void(const QString&, const Failure&)> failed;
    };

    ClientFolderCopy(QString clientFolder, QString installFolder);

    void setRetry(int attempts, int delayMs);

    // Copies the wanted files in listing order; returns how many copies were attempted. A
    // folder that cannot be listed copies nothing.
    int run(const Hooks& hooks) const;
    // Every file the copy would look at (relative name, the share's file), in the same order,
    // without copying anything.
    using Visitor = std::function<void(const QString&, const QFileInfo&)>;
    void forEachFile(const Visitor& visit) const;

    // One file, by temporary name and rename.
    static Failure copyFile(const QString& source, const QString& target);
    // rw-r--r--, plus execute bits when asked or when the file already has some.
    static void makeNormal(const QString& target, bool executable);

private:
    static void walk(const QString& folder, const QString& relative, const Visitor& visit);
    void copyOne(const QString& name, const QFileInfo& source, const Hooks& hooks) const;

    QString m_clientFolder;
    QString m_installFolder;
    int m_attempts = 1;
    int m_retryDelayMs = 0;
};
