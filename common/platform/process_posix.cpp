// Linux: whether a process still runs, from its id.
#include "posixplatform.h"

#include <QFile>

#include <cerrno>
#include <csignal>

bool PosixPlatform::isProcessRunning(qint64 processId) const {
    if (processId <= 0)
        return false;
    // Signal 0 only asks whether the process exists (EPERM: it does, under another user).
    if (::kill(pid_t(processId), 0) != 0 && errno != EPERM)
        return false;
    // A process that has ended but is not collected yet (state Z) has stopped all the same.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(processId));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    return !line.mid(line.lastIndexOf(')') + 1).trimmed().startsWith('Z');
}
