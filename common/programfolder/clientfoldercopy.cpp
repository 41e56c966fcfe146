#include "clientfoldercopy.h"

#include "platform/systemerror.h"
#include "printersfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QThread>
#include <filesystem>
#include <system_error>

namespace {
constexpr QFile::Permissions ExecuteBits =
    QFile::ExeOwner | QFile::ExeUser | QFile::ExeGroup | QFile::ExeOther;
constexpr QFile::Permissions NormalBits = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                          QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther;

QFile::Permissions normalPermissions(bool executable) {
    return executable ? NormalBits | ExecuteBits : NormalBits;
}

bool isExecutable(const QFileInfo& file) {
    return file.exists() && (file.permissions() & ExecuteBits) != 0;
}

Failure fileFailure(const QFileDevice& file) {
    const int number = file.error() == QFileDevice::OpenError ? ErrorNumber::PathFileAccess
                                                              : ErrorNumber::DeviceIO;
    return {number, fileErrorText(file)};
}
} // namespace

ClientFolderCopy::ClientFolderCopy(QString clientFolder, QString installFolder)
    : m_clientFolder(std::move(clientFolder)), m_installFolder(std::move(installFolder)) {}

void ClientFolderCopy::setRetry(int attempts, int delayMs) {
    m_attempts = qMax(1, attempts);
    m_retryDelayMs = qMax(0, delayMs);
}

int ClientFolderCopy::run(const Hooks& hooks) const {
    int counter = 0;
    forEachFile([&](const QString& name, const QFileInfo& source) {
        if (hooks.wanted && !hooks.wanted(name, source))
            return;
        ++counter;
        copyOne(name, source, hooks);
    });
    return counter;
}

void ClientFolderCopy::forEachFile(const Visitor& visit) const {
    if (!m_clientFolder.isEmpty() && QFileInfo(m_clientFolder).isDir())
        walk(m_clientFolder, QString(), visit);
}

void ClientFolderCopy::walk(const QString& folder, const QString& relative, const Visitor& visit) {
    // The same entries, in the same order, as the update check looks at.
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString name =
            relative.isEmpty() ? entry.fileName() : relative + QLatin1Char('/') + entry.fileName();
        if (entry.isDir()) {
            if (!entry.isSymLink())
                walk(entry.absoluteFilePath(), name, visit);
            continue;
        }
        if (PrintersFile::isPrintersFile(name))
            continue; // the workstation's printers are its own
        visit(name, entry);
    }
}

void ClientFolderCopy::copyOne(const QString& name, const QFileInfo& source,
                               const Hooks& hooks) const {
    if (hooks.copying)
        hooks.copying(name);
    const QString target = m_installFolder + name;
    QDir().mkpath(QFileInfo(target).absolutePath());
    // Read before the target is replaced: the bits of the program being updated count.
    const bool executable = isExecutable(source) || isExecutable(QFileInfo(target));
    Failure failure;
    for (int attempt = 1; attempt <= m_attempts; ++attempt) {
        failure = copyFile(source.absoluteFilePath(), target);
        if (failure.ok())
            break;
        // A file still held by a program that is closing gets a moment to be let go.
        if (attempt < m_attempts && m_retryDelayMs > 0)
            QThread::msleep(m_retryDelayMs);
    }
    if (failure && hooks.failed)
        hooks.failed(name, failure);
    const QFileInfo written(target);
    if (written.isFile() && !written.isSymLink())
        makeNormal(target, executable);
}

Failure ClientFolderCopy::copyFile(const QString& source, const QString& target) {
    const QFileInfo sourceInfo(source);
    // A pipe or a device on the share would block the read or never end: only plain files copy.
    if (sourceInfo.exists() && !sourceInfo.isFile())
        return {ErrorNumber::PathFileAccess, QStringLiteral("Non è un file: ") + source};
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        return fileFailure(input);
    const QFileInfo targetInfo(target);
    if (targetInfo.isDir())
        return {ErrorNumber::PathFileAccess,
                QStringLiteral("Il file di destinazione è una cartella")};
    const bool executable = isExecutable(sourceInfo) || isExecutable(targetInfo);

    QTemporaryFile temporary(target + QStringLiteral(".vxupd-XXXXXX"));
    if (!temporary.open())
        return fileFailure(temporary);
    char buffer[64 * 1024];
    for (;;) {
        const qint64 read = input.read(buffer, sizeof buffer);
        if (read < 0)
            return fileFailure(input);
        if (read == 0)
            break;
        if (temporary.write(buffer, read) != read)
            return fileFailure(temporary);
    }
    if (!temporary.flush())
        return fileFailure(temporary);
    // The update check compares stamps: the copy keeps the share's, as a file copy does, so a
    // workstation clock behind the server's cannot make the same file look newer again.
    temporary.setFileTime(sourceInfo.lastModified(), QFileDevice::FileModificationTime);
    temporary.setPermissions(normalPermissions(executable));
    temporary.close();

    // rename() replaces the target in one step, read-only or not; the directory must be writable.
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(temporary.fileName()).toStdString(),
                            QFile::encodeName(target).toStdString(), error);
    if (error)
        return {ErrorNumber::PermissionDenied, QString::fromStdString(error.message())};
    temporary.setAutoRemove(false);
    return Failure::none();
}

void ClientFolderCopy::makeNormal(const QString& target, bool executable) {
    QFile file(target);
    file.setPermissions(normalPermissions(executable || isExecutable(QFileInfo(target))));
}
