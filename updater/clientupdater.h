#pragma once

#include "failure.h"

#include <QString>
#include <QStringList>
#include <functional>

// The work of VelarixUpd without its window: where the client is installed, which server it uses,
// and the copy of the share's Client folder into the installation folder (ClientFolderCopy says
// how each file is copied). Before the copy the client program in place is kept as
// PreviousProgram, so that a new program that does not run can be taken back (ClientRestart).
class ClientUpdater {
public:
    static constexpr int Attempts = 3;
    static inline const QString Program = QStringLiteral("VelarixCL");
    static inline const QString PreviousProgram = QStringLiteral(".VelarixCL.previous");
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

    QString programPath() const;
    QString previousProgramPath() const;

private:
    // The program the copy is about to replace, kept beside it (a hidden name, which neither the
    // update check nor the copy looks at).
    void keepPreviousProgram() const;

    QString m_sharePath;
    QString m_shareRoot;
    QString m_installFolder;
    int m_attempts = Attempts;
    int m_retryDelayMs = RetryDelayMs;
};
