#include "earlyscan.h"

#include "platform/foldernotifier.h"
#include "platform/platform.h"
#include "printfilerules.h"
#include "printfolderwatcher.h"

namespace {
// A file is ready exactly one rest period after its time stamp; a little later is safe.
constexpr qint64 MarginMs = 5;
// Never sooner than this after a scan, whatever the time stamps say.
constexpr qint64 MinimumMs = 50;
} // namespace

EarlyScan::EarlyScan(PrintFolderWatcher& watcher, QObject* parent)
    : QObject(parent), m_watcher(watcher) {
    m_timer.setSingleShot(true);
    // A coarse timer may fire a twentieth early, before the file it was timed for is ready.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &EarlyScan::scanWanted);
}

EarlyScan::~EarlyScan() = default;

void EarlyScan::setFolder(const QString& localFolder) {
    if (localFolder == m_folder)
        return;
    m_notifier.reset();
    m_folder = localFolder;
    // A folder that cannot be watched leaves the tick alone in charge.
    if (m_folder.isEmpty())
        return;
    m_notifier = Platform::current().watchFolder(m_folder);
    connect(m_notifier.get(), &FolderNotifier::folderChanged, this, &EarlyScan::folderChanged);
    connect(m_notifier.get(), &FolderNotifier::fileClosed, this, &EarlyScan::fileClosed);
}

void EarlyScan::fileClosed(const QString& name) {
    // Our own renames to ".PRN" and ".ERR" bring nothing new.
    if (PrintFileRules::isPending(name) || PrintFileRules::isSetAside(name))
        return;
    m_timer.start(0);
}

void EarlyScan::folderChanged() {
    // Something was just created or renamed: a new file can be read one rest period from now,
    // so there is no point in scanning sooner. Our own renames cost one scan at most.
    schedule(m_watcher.settings().scanIntervalMs + MarginMs);
}

void EarlyScan::schedule(qint64 ms) {
    const int wait = int(qBound<qint64>(MinimumMs, ms, 24 * 3600 * 1000));
    if (!m_timer.isActive() || m_timer.remainingTime() > wait)
        m_timer.start(wait);
}

void EarlyScan::scanDone() {
    const qint64 wait = m_watcher.msUntilNextReady();
    if (wait >= 0)
        schedule(wait + MarginMs);
}
