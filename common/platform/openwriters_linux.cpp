// Linux: a file has no writer when the kernel grants a read lease on it, which it does only while
// no process (smbd serving a workstation included) holds the file open for writing.
#include "linuxplatform.h"
#include "systemerror.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace {
// A writer opening the file while we hold the lease makes the kernel signal us with SIGIO, whose
// default action ends the process. We give the lease back at once, so the signal carries nothing
// we need.
void ignoreLeaseBreaks() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = SIG_IGN;
        sigemptyset(&action.sa_mask);
        sigaction(SIGIO, &action, nullptr);
    });
}
} // namespace

Failure LinuxPlatform::checkNoWriters(const QString& path) const {
    ignoreLeaseBreaks();
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) {
        const int error = errno;
        // A lease someone else holds (a file server writing through it) refuses a non-blocking
        // open instead of making us wait for its break.
        if (error == EWOULDBLOCK)
            return {ErrorNumber::FileAlreadyOpen,
                    QStringLiteral("%1 è tenuto da un altro programma").arg(path)};
        return {error == ENOENT ? ErrorNumber::FileNotFound : ErrorNumber::PathFileAccess,
                QStringLiteral("impossibile aprire %1: %2").arg(path, systemErrorText(error))};
    }
    Failure result;
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
    } else if (errno == EAGAIN) {
        result = {ErrorNumber::FileAlreadyOpen,
                  QStringLiteral("%1 è aperto in scrittura").arg(path)};
    } else {
        // EACCES: neither the file's owner nor allowed to take leases (CAP_LEASE); EINVAL: a
        // file system without leases (NFS, CIFS, FUSE).
        const int error = errno;
        result = {ErrorNumber::PermissionDenied,
                  QStringLiteral("lease su %1 non concesso: %2").arg(path, systemErrorText(error))};
    }
    ::close(fd);
    return result;
}
