#include "printfoldercheck.h"

#include "copiesfile.h"
#include "sharepath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
bool isSameOrBelow(const QString& path, const QString& folder) {
    return !folder.isEmpty() && (path == folder || path.startsWith(folder + QLatin1Char('/')));
}

// Followed through links: a link to the share root is the share root.
bool isForbidden(const QString& path, const QString& serverProgramFolder) {
    const QString real = QFileInfo(path).canonicalFilePath();
    const QString root = QFileInfo(serverProgramFolder).canonicalFilePath();
    const QDir dir(real);
    return real == root || dir.exists(QStringLiteral("Client")) ||
           dir.exists(QStringLiteral("VelarixUpd")) ||
           isSameOrBelow(real, QFileInfo(root + QStringLiteral("/Client")).canonicalFilePath());
}
} // namespace

namespace PrintFolderCheck {

QString localPath(const QString& folder, const QString& serverProgramFolder) {
    const QString path = CopiesFile::printFolderInUse(folder);
    if (SharePath::isSharePath(path))
        return SharePath::resolve(path, serverProgramFolder);
    return path;
}

State inspect(const QString& folder, const QString& serverProgramFolder) {
    const QString path = localPath(folder, serverProgramFolder);
    if (path.isEmpty())
        return State::Unlistable;
    const QFileInfo info(path);
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return State::Unlistable;
    if (isForbidden(path, serverProgramFolder))
        return State::Forbidden;
    const QDir dir(path);
    const QStringList entries =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    return entries.isEmpty() ? State::Empty : State::NotEmpty;
}

QString refusalReason(const QString& folder, const QString& serverProgramFolder) {
    const QString path = localPath(folder, serverProgramFolder);
    if (!path.isEmpty() && QFileInfo(path).isDir() && isForbidden(path, serverProgramFolder))
        return QStringLiteral("la cartella %1 è riservata ai programmi delle postazioni (Client, "
                              "VelarixUpd): scegliere una cartella apposita, come Stampe")
            .arg(QDir::toNativeSeparators(QDir::cleanPath(path)));
    if (path.isEmpty())
        return QStringLiteral("percorso di rete non valido (atteso \\\\server\\Velarix\\cartella)");
    // Only this server's Velarix share resolves to a local folder; any other UNC path stays one.
    if (path.startsWith(QStringLiteral("\\\\")))
        return QStringLiteral("non è nella condivisione Velarix di questo server");
    const QString clean = QDir::cleanPath(path);
    const QFileInfo info(clean);
    const QString shown = QDir::toNativeSeparators(clean);
    if (!info.exists())
        return QStringLiteral("la cartella %1 non esiste").arg(shown);
    if (!info.isDir())
        return QStringLiteral("%1 è un file, non una cartella").arg(shown);
    return QStringLiteral("la cartella %1 non è leggibile (permessi)").arg(shown);
}

QStringList waitingDocuments(const QString& localFolder) {
    if (localFolder.isEmpty())
        return {};
    QStringList waiting = QDir(localFolder).entryList(QDir::Files);
    waiting.removeIf(
        [](const QString& name) { return name.endsWith(u".ERR", Qt::CaseInsensitive); });
    return waiting;
}

QString waitingWarning(const QString& localFolder, const QString& shownFolder) {
    const qsizetype count = waitingDocuments(localFolder).size();
    if (count == 0)
        return {};
    return QStringLiteral("%1 documenti in attesa nella cartella di stampa precedente: %2")
        .arg(count)
        .arg(shownFolder.trimmed());
}

int moveWaitingDocuments(const QString& from, const QString& to) {
    int moved = 0;
    for (const QString& name : waitingDocuments(from)) {
        if (QFile::rename(QDir(from).filePath(name), QDir(to).filePath(name)))
            ++moved;
    }
    return moved;
}

} // namespace PrintFolderCheck
