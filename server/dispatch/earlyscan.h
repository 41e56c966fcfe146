#pragma once

#include <QObject>
#include <QTimer>
#include <memory>

class FolderNotifier;
class PrintFolderWatcher;

// Brings the new-file scan forward when the print folder changes: at once when a writer closes a
// new file or one is moved in (the scan proves it has no writer left and takes it), otherwise as
// soon as a new file can have rested, instead of at the next whole tick of the scan timer. That
// timer stays the fallback: a folder on a network drive may send no notifications, and
// notifications can be lost. A scan run early follows the same rules as a tick (a file still being
// written waits).
//
// The print server connects scanWanted() to its scan, runs it only while the scan timer is on
// (it is off during a pass and while a settings window is open), and calls scanDone() after
// every scan, early or not, so the next early scan is timed for the youngest waiting file.
class EarlyScan : public QObject {
    Q_OBJECT
public:
    explicit EarlyScan(PrintFolderWatcher& watcher, QObject* parent = nullptr);
    ~EarlyScan() override;

    // The local folder to watch (PrintFolderWatcher::localFolder()); "" stops watching.
    void setFolder(const QString& localFolder);
    QString folder() const { return m_folder; }
    void scanDone();
    // The wait the next early scan was timed with, in milliseconds; -1 when none is due.
    int scheduledWait() const { return m_timer.isActive() ? m_timer.interval() : -1; }

signals:
    void scanWanted();

private:
    void folderChanged();
    void fileClosed(const QString& name);
    void schedule(qint64 ms);

    PrintFolderWatcher& m_watcher;
    std::unique_ptr<FolderNotifier> m_notifier;
    QTimer m_timer;
    QString m_folder;
};
