#include "earlyscan.h"

#include "printfolderwatcher.h"

namespace {
// Several notifications for one file (create, rename, attributes) give one scan.
constexpr int GatherMs = 10;
// A file is ready exactly one rest period after its time stamp; a little later is safe.
constexpr int MarginMs = 5;
} // namespace

EarlyScan::EarlyScan(PrintFolderWatcher& watcher, QObject* parent)
    : QObject(parent), m_watcher(watcher)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &EarlyScan::scanWanted);
    connect(&m_notifier, &QFileSystemWatcher::directoryChanged, this, &EarlyScan::folderChanged);
}

void EarlyScan::setFolder(const QString& localFolder)
{
    if (localFolder == m_folder)
        return;
    if (!m_folder.isEmpty())
        m_notifier.removePath(m_folder);
    m_folder = localFolder;
    // A folder that cannot be watched leaves the tick alone in charge.
    if (!m_folder.isEmpty())
        m_notifier.addPath(m_folder);
}

void EarlyScan::folderChanged()
{
    if (!m_timer.isActive() || m_timer.remainingTime() > GatherMs)
        m_timer.start(GatherMs);
}

void EarlyScan::scanDone()
{
    const qint64 wait = m_watcher.msUntilNextReady();
    if (wait < 0)
        return;
    const int ms = int(qMin<qint64>(wait + MarginMs, 24 * 3600 * 1000));
    if (!m_timer.isActive() || m_timer.remainingTime() > ms)
        m_timer.start(ms);
}
