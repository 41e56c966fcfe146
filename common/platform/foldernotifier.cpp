#include "foldernotifier.h"

#include "platform.h"

#include <QFileSystemWatcher>

GenericFolderNotifier::GenericFolderNotifier(const QString& folder, QObject* parent)
    : FolderNotifier(parent), m_watcher(new QFileSystemWatcher(this)) {
    if (!folder.isEmpty())
        m_watcher->addPath(folder);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &FolderNotifier::folderChanged);
}

bool GenericFolderNotifier::isWatching() const {
    return !m_watcher->directories().isEmpty();
}

// The base answers of the platform for what a system may know better.

Failure Platform::checkNoWriters(const QString& path) const {
    return {ErrorNumber::InvalidCall,
            QStringLiteral("il sistema non dice se %1 è ancora aperto in scrittura").arg(path)};
}

std::unique_ptr<FolderNotifier> Platform::watchFolder(const QString& folder) const {
    return std::make_unique<GenericFolderNotifier>(folder);
}
