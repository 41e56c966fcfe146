#include "updatecheck.h"

#include "printersfile.h"
#include "sharepath.h"

#include <QDir>
#include <QFileInfo>

namespace {
QString joined(const QString& relative, const QString& name) {
    return relative.isEmpty() ? name : relative + QLatin1Char('/') + name;
}
} // namespace

UpdateCheck::UpdateCheck(QString sharePath, QString shareRoot, QString installFolder)
    : m_sharePath(std::move(sharePath)), m_shareRoot(std::move(shareRoot)),
      m_installFolder(std::move(installFolder)) {}

QString UpdateCheck::clientFolder() const {
    return SharePath::resolve(m_sharePath + QStringLiteral("Client\\"), m_shareRoot);
}

// The technician needs the local folder that was looked at and what was wrong with it.
Failure UpdateCheck::whyUnreachable(const QString& folder) const {
    if (folder.isEmpty()) {
        if (SharePath::host(m_sharePath).isEmpty())
            return {ErrorNumber::BadFileNameOrNumber,
                    QStringLiteral("nessun indirizzo del server impostato")};
        return {ErrorNumber::PathNotFound,
                QStringLiteral("cartella di collegamento al server non impostata")};
    }
    const QFileInfo info(folder);
    if (!info.exists())
        return {ErrorNumber::PathNotFound,
                QStringLiteral("la cartella %1 non esiste (condivisione del server non collegata?)")
                    .arg(QDir::toNativeSeparators(QDir::cleanPath(folder)))};
    if (!info.isDir())
        return {ErrorNumber::PathNotFound,
                QStringLiteral("%1 non è una cartella")
                    .arg(QDir::toNativeSeparators(QDir::cleanPath(folder)))};
    if (!QDir(folder).isReadable())
        return {ErrorNumber::PermissionDenied,
                QStringLiteral("la cartella %1 non è leggibile (permessi)")
                    .arg(QDir::toNativeSeparators(QDir::cleanPath(folder)))};
    return {};
}

qint64 UpdateCheck::timeStamp(const QDateTime& modified) {
    return modified.toLocalTime().toString(QStringLiteral("yyyyMMddHHmm")).toLongLong();
}

bool UpdateCheck::isDue(const QFileInfo& shareFile, const QString& localPath) {
    const QFileInfo local(localPath);
    if (!local.isFile() || !local.isReadable() || !local.lastModified().isValid())
        return true;
    return timeStamp(shareFile.lastModified()) > timeStamp(local.lastModified());
}

UpdateCheck::Outcome UpdateCheck::run(bool collectAll) const {
    Outcome outcome;
    const QString folder = clientFolder();
    if (const Failure why = whyUnreachable(folder)) {
        outcome.status = Status::ShareUnreachable;
        outcome.failure = why;
        return outcome;
    }
    walk(folder, QString(), collectAll, outcome);
    if (outcome.status == Status::Failed)
        return outcome;
    outcome.status = outcome.outOfDate.isEmpty() ? Status::UpToDate : Status::UpdateDue;
    return outcome;
}

// Returns false when the walk must stop: a failure, or the first due entry when not collecting.
bool UpdateCheck::walk(const QString& shareDir, const QString& relative, bool collectAll,
                       Outcome& outcome) const {
    QDir dir(shareDir);
    if (!dir.isReadable()) {
        outcome.status = Status::Failed;
        outcome.failure = {ErrorNumber::PermissionDenied, QStringLiteral("Permesso negato: ") +
                                                              QDir::toNativeSeparators(shareDir)};
        return false;
    }
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString name = joined(relative, entry.fileName());
        if (entry.isDir()) {
            // A folder stands for the files inside it; the folder itself is never compared.
            // Linked folders are left out (the updater does the same): a link could loop.
            if (entry.isSymLink())
                continue;
            if (!walk(entry.absoluteFilePath(), name, collectAll, outcome))
                return false;
            continue;
        }
        if (PrintersFile::isPrintersFile(name))
            continue; // the workstation's own, even when someone put one on the share
        const QDateTime shareModified = entry.lastModified();
        if (!entry.exists() || !shareModified.isValid()) {
            // Gone since the listing, or a link that leads nowhere.
            outcome.status = Status::Failed;
            outcome.failure = {ErrorNumber::FileNotFound,
                               QStringLiteral("File non trovato: ") +
                                   QDir::toNativeSeparators(entry.absoluteFilePath())};
            return false;
        }
        if (isDue(entry, m_installFolder + name)) {
            outcome.outOfDate.append(name);
            if (!collectAll)
                return false;
        }
    }
    return true;
}
