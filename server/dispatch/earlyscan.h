#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

class PrintFolderWatcher;

// Brings the new-file scan forward when the print folder changes, so that a new file is taken as
// soon as it has rested instead of at the next whole tick of Timer1. Timer1 stays the fallback:
// a folder on a network drive may send no notifications, and notifications can be lost. A scan
// run early follows the same rules as a tick (a file still being written waits).
//
// The window connects scanWanted() to its Timer1 handler, runs it only while Timer1 is on (the
// scan is off during a pass and while a settings window is open), and calls scanDone() after
// every scan, early or not, so the next early scan is timed for the youngest waiting file.
class EarlyScan : public QObject {
    Q_OBJECT
public:
    explicit EarlyScan(PrintFolderWatcher& watcher, QObject* parent = nullptr);

    // The local folder to watch (PrintFolderWatcher::localFolder()); "" stops watching.
    void setFolder(const QString& localFolder);
    QString folder() const { return m_folder; }
    void scanDone();

signals:
    void scanWanted();

private:
    void folderChanged();
    void schedule(qint64 ms);

    PrintFolderWatcher& m_watcher;
    QFileSystemWatcher m_notifier;
    QTimer m_timer;
    QString m_folder;
};
