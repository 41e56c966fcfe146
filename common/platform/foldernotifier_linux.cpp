// Linux: inotify on the folder, read through the event loop. A writer's close and a move into the
// folder name their file, so a complete print file is seen the moment it is.
#include "foldernotifier.h"
#include "linuxplatform.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>

namespace {
class InotifyFolderNotifier final : public FolderNotifier {
public:
    explicit InotifyFolderNotifier(const QString& folder) {
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd < 0)
            return;
        const uint32_t mask =
            IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_ONLYDIR;
        if (folder.isEmpty() ||
            ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), mask) < 0) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] { readEvents(); });
    }
    ~InotifyFolderNotifier() override {
        delete m_notifier;
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isWatching() const override { return m_fd >= 0; }

private:
    void readEvents() {
        alignas(inotify_event) char buffer[16 * 1024];
        bool changed = false;
        for (;;) {
            const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
            if (got <= 0)
                break;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += ssize_t(sizeof(inotify_event) + event->len);
                if ((event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) && event->len > 0)
                    emit fileClosed(QFile::decodeName(event->name));
                else
                    changed = true; // IN_Q_OVERFLOW included: something, we cannot say what
            }
        }
        if (changed)
            emit folderChanged();
    }

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
};
} // namespace

std::unique_ptr<FolderNotifier> LinuxPlatform::watchFolder(const QString& folder) const {
    auto notifier = std::make_unique<InotifyFolderNotifier>(folder);
    if (notifier->isWatching())
        return notifier;
    // Out of inotify watches, or a folder that cannot be watched: Qt may still poll it.
    return Platform::watchFolder(folder);
}
