// Linux: keep-alive probes and a limit for unacknowledged data, both set per connection.
#include "linuxplatform.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

Q_LOGGING_CATEGORY(lcConnectionWatch, "velarix.sockets.keepalive")

namespace {
constexpr int Probes = 6;

void setOption(int descriptor, int level, int name, int value) {
    if (setsockopt(descriptor, level, name, &value, sizeof value) != 0)
        qCWarning(lcConnectionWatch, "setsockopt %d/%d on %d: %s", level, name, descriptor,
                  strerror(errno));
}
} // namespace

void LinuxPlatform::watchConnection(qintptr descriptor, int deadAfterMs) const {
    if (descriptor < 0 || deadAfterMs <= 0)
        return;
    const int fd = static_cast<int>(descriptor);
    // Half the time quiet, the other half probing; the kernel counts in whole seconds.
    const int seconds = std::max(2, deadAfterMs / 1000);
    const int idle = std::max(1, seconds / 2);
    const int interval = std::max(1, (seconds - idle) / Probes);
    setOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
    setOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, idle);
    setOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, interval);
    setOption(fd, IPPROTO_TCP, TCP_KEEPCNT, Probes);
    // Keep-alive probes are not sent while data waits for its acknowledgement: this bounds that.
    setOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, std::max(1000, deadAfterMs));
}
