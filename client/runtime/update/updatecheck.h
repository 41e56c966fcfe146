#pragma once

#include "failure.h"

#include <QDateTime>
#include <QFileInfo>
#include <QString>
#include <QStringList>

// Compares the server's Client folder with the workstation's program folder.
//
// Every file of the share's Client folder, subfolders included (walked recursively, the folders
// themselves are never compared), is compared with the file of the same relative name in the
// program folder by its "yyyyMMddHHmm" modification stamp; seconds do not count. An update is due
// when the local file is missing or unreadable (or is not a plain file) or when the share's stamp
// is greater. Linked folders are left out, hidden (dot) files too, as the updater does. Local
// files the share lacks, and local copies newer than the share's, never make one due. Since the
// updater copies subfolders the same way, a folder can never keep the check due.
//
// The share's Client folder is reached through SharePath::resolve. A share path that cannot be
// resolved, a missing share folder and a share folder without a Client folder all count as an
// unreachable share: with the share mounted on a local folder, an unmounted share looks exactly
// like an empty folder, and the server always creates its Client folder.
class UpdateCheck {
public:
    enum class Status {
        UpToDate,         // nothing on the share is newer
        UpdateDue,        // at least one entry is missing or older locally
        ShareUnreachable, // the share's Client folder cannot be opened
        Failed            // listing the share or reading a stamp on it failed (see failure)
    };

    struct Outcome {
        Status status = Status::UpToDate;
        // Relative names ("Copie.txt", "Modelli/ODL.rpt") found out of date, in listing order.
        // Only the first one unless the check was asked to collect them all.
        QStringList outOfDate;
        Failure failure; // for Failed; for ShareUnreachable the local folder and why
    };

    // sharePath: "\\host\Velarix\" (with its trailing backslash); installFolder: local folder
    // with its trailing separator.
    UpdateCheck(QString sharePath, QString shareRoot, QString installFolder);

    // Stops at the first due entry unless collectAll is set (then every out-of-date name is
    // listed; a failure still ends the walk).
    Outcome run(bool collectAll = false) const;

    // The local folder that stands for SharePath + "Client\", empty when it cannot be resolved.
    QString clientFolder() const;

    // "yyyyMMddHHmm" read as a number; the local time of the last modification.
    static qint64 timeStamp(const QDateTime& modified);
    // The rule for one file of the share: the local file is missing, unreadable or not a plain
    // file, or the share's stamp is greater.
    static bool isDue(const QFileInfo& shareFile, const QString& localPath);

private:
    Failure whyUnreachable(const QString& folder) const;
    bool walk(const QString& shareDir, const QString& relative, bool collectAll,
              Outcome& outcome) const;

    QString m_sharePath;
    QString m_shareRoot;
    QString m_installFolder;
};
