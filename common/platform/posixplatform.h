#pragma once

#include "platform.h"

// Linux and other POSIX systems: XDG autostart entries, a Samba user share, smbtree, smbclient and
// getent for the network, CUPS for the printer queues. Each concern lives in its own *_posix.cpp
// file.
class PosixPlatform : public Platform {
public:
    Failure addAutostart(const QString& name, const QString& command) const override;
    Failure removeAutostart(const QString& name) const override;
    QString autostartLocation() const override;

    Failure shareCommand(const QString& programFolder, const ShareAccess& access,
                         Command* command) const override;

    QByteArray serverListScript() const override;
    QByteArray addressScript(const QString& computerName) const override;
    Command scriptCommand(const QString& scriptPath) const override;
    qint64 sharedFileSize(const QString& computerName, const QString& fileName) const override;

    QStringList installFolders() const override;

    bool printerAcceptsJobs(const QString& printerName) const override;

    bool isProcessRunning(qint64 processId) const override;
    QString machineLockFolder() const override;
    QString userLockFolder() const override;
    Failure actAsOwnerOf(const QString& folder) const override;
    Failure giveToOwnerOf(const QString& path, const QString& folder) const override;

private:
    Failure entryPath(const QString& name, QString* path) const;
};
