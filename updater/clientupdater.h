#pragma once

#include "failure.h"

#include <QString>
#include <QStringList>
#include <functional>

// The work of VelarixUpd without its window: where the client is installed, which server it uses,
// and the copy of the share's Client folder into the installation folder.
//
// Every file of SharePath + "Client\" is copied (a pipe or device fails), subfolders included
// (recursively, created as needed; linked folders and hidden dot files are left out, as the
// client's update check does). Each file is written to a temporary name beside its target, given
// the source's modification time, and renamed over the target, so a failed copy never leaves half a
// file behind; a copy that fails is tried again (Attempts in all, RetryDelay apart) before it is
// reported. Afterwards the target is made a normal writable file (rw-r--r--, execute bits kept
// where the file has any), whether or not the copy succeeded.
class ClientUpdater {
public:
    static constexpr int Attempts = 3;
    static constexpr int RetryDelayMs = 1000;

    // Everything after the program name, joined by single blanks and trimmed: the folder is passed
    // unquoted and may hold blanks. A trailing separator is added when missing.
    static QString installFolderFromArguments(const QStringList& arguments);
    // The first folder whose IPHost.set can be opened; empty when none.
    static QString probeInstallFolder(const QStringList& folders);

    // Where the client is and which server it uses: the folder from the arguments or, without
    // one, the first of standardFolders holding an IPHost.set, and the share path of the server
    // that file names. The failure's description is the message for the user: "Procedura Velarix
    // non Installata", or the folder + "IPHost.set non trovato o non configurato nel client!".
    struct Target {
        QString installFolder;
        QString sharePath;
        Failure failure;
    };
    static Target locate(const QStringList& arguments, const QStringList& standardFolders);

    ClientUpdater(QString sharePath, QString shareRoot, QString installFolder);

    void setRetry(int attempts, int delayMs);

    // Copies every file; status gets the label texts ("Copia n° file in corso...", "Copiati n
    // file!"), copyFailed the source path (share form) of each file that could not be copied.
    // Returns the number of files whose copy was attempted. A share that cannot be listed copies
    // nothing.
    int copyAll(const std::function<void(const QString&)>& status,
                const std::function<void(const QString&)>& copyFailed) const;

    // One file, by temporary name and rename.
    static Failure copyFile(const QString& source, const QString& target);
    // rw-r--r-- plus the execute bits the file already has (or the source had).
    static void makeNormal(const QString& target, bool executable);

    // Starts InstallFolder + "VelarixCL" --after-update, not waited for.
    bool startClient() const;

private:
    void copyFolder(const QString& shareDir, const QString& relative, int& counter,
                    const std::function<void(const QString&)>& status,
                    const std::function<void(const QString&)>& copyFailed) const;

    QString m_sharePath;
    QString m_shareRoot;
    QString m_installFolder;
    int m_attempts = Attempts;
    int m_retryDelayMs = RetryDelayMs;
};
