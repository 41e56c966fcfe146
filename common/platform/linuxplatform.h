#pragma once

#include "posixplatform.h"

// Linux: the POSIX port, plus what only the Linux kernel tells: whether a file still has a writer
// (a read lease), which file a writer has just closed (inotify), and the timing of keep-alive
// probes and of unacknowledged data on a connection.
class LinuxPlatform final : public PosixPlatform {
public:
    Failure checkNoWriters(const QString& path) const override;
    std::unique_ptr<FolderNotifier> watchFolder(const QString& folder) const override;
    void watchConnection(qintptr descriptor, int deadAfterMs) const override;
};
