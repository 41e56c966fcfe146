#pragma once

#include <QString>
#include <QStringList>

// What the copies window finds when it lists a print folder before storing it. Paths of the
// form \\host\Velarix\... are looked up below the server's own program folder (the share root);
// other paths are local. A folder that does not exist counts as one that cannot be listed: the
// watcher would never find a file in it, so it is refused rather than stored.
namespace PrintFolderCheck {
enum class State {
    Unlistable, // missing, not a folder, unreadable, or a share path that does not resolve
    // The share root, a folder holding Client/ or VelarixUpd, or Client/ itself: the server
    // renames and deletes what lies in its print folder, and workstations run these programs.
    Forbidden,
    Empty,    // nothing but "." and ".."
    NotEmpty, // any file or subfolder, hidden ones included
};

// The local folder that a typed print folder stands for; empty when it cannot be resolved.
QString localPath(const QString& folder, const QString& serverProgramFolder);
State inspect(const QString& folder, const QString& serverProgramFolder);
// Why a folder that inspect() finds Unlistable or Forbidden cannot serve, in words that name the
// local folder looked at: "la cartella /srv/velarix/Stampe non esiste".
QString refusalReason(const QString& folder, const QString& serverProgramFolder);

// The documents waiting in a local print folder, left behind when the print folder changes:
// its files, set-aside (".ERR") and hidden ones left out.
QStringList waitingDocuments(const QString& localFolder);
// "N documenti in attesa nella cartella di stampa precedente: FOLDER", or "" when none wait.
QString waitingWarning(const QString& localFolder, const QString& shownFolder);
// Moves the waiting documents into another local folder, keeping their names (one whose name is
// taken there stays); how many moved.
int moveWaitingDocuments(const QString& from, const QString& to);
} // namespace PrintFolderCheck
