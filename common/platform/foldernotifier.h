#pragma once

#include <QObject>
#include <QString>

// Changes in one folder as they happen, for a watcher that would otherwise only poll. Lost or
// missing notifications are possible (a network folder may send none), so a poll stays in charge
// and this only brings it forward.
class FolderNotifier : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // False when the folder cannot be watched; nothing will be signalled then.
    virtual bool isWatching() const = 0;

signals:
    // A writer closed `name` after writing it, or `name` was moved into the folder: it may be
    // complete now.
    void fileClosed(const QString& name);
    // Something else changed (a file appeared, went, or the system gave no detail).
    void folderChanged();
};

// Any system: Qt's folder watcher, which says only that something changed.
class GenericFolderNotifier final : public FolderNotifier {
    Q_OBJECT
public:
    explicit GenericFolderNotifier(const QString& folder, QObject* parent = nullptr);
    bool isWatching() const override;

private:
    class QFileSystemWatcher* m_watcher;
};
