#include "clientupdater.h"

#include "processstart.h"
#include "serverhostfile.h"
#include "sharepath.h"

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

Failure fileFailure(const QFileDevice& file) {
    const int number = file.error() == QFileDevice::OpenError ? ErrorNumber::PathFileAccess
                                                              : ErrorNumber::DeviceIO;
    return {number, file.errorString()};
}
} // namespace

QString ClientUpdater::installFolderFromArguments(const QStringList& arguments) {
    QString folder = arguments.join(QLatin1Char(' ')).trimmed();
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString ClientUpdater::probeInstallFolder(const QStringList& folders) {
    for (const QString& folder : folders) {
        QFile probe(folder + QStringLiteral("IPHost.set"));
        if (probe.open(QIODevice::ReadOnly)) {
            probe.close();
            return folder;
        }
    }
    return QString();
}

ClientUpdater::Target ClientUpdater::locate(const QStringList& arguments,
                                            const QStringList& standardFolders) {
    Target target;
    target.installFolder = installFolderFromArguments(arguments);
    if (target.installFolder.isEmpty())
        target.installFolder = probeInstallFolder(standardFolders);
    if (target.installFolder.isEmpty()) {
        target.failure = {ErrorNumber::PathNotFound,
                          QStringLiteral("Procedura Velarix non Installata")};
        return target;
    }
    const QString serverHost = ServerHostFile::read(target.installFolder);
    if (serverHost.isEmpty()) {
        target.failure = {ErrorNumber::FileNotFound,
                          target.installFolder +
                              QStringLiteral("IPHost.set non trovato o non configurato nel client!")};
        return target;
    }
    target.sharePath = ServerHostFile::sharePath(serverHost);
    return target;
}

ClientUpdater::ClientUpdater(QString sharePath, QString shareRoot, QString installFolder)
    : m_sharePath(std::move(sharePath)), m_shareRoot(std::move(shareRoot)),
      m_installFolder(std::move(installFolder)) {}

void ClientUpdater::setRetry(int attempts, int delayMs) {
    m_attempts = qMax(1, attempts);
    m_retryDelayMs = qMax(0, delayMs);
}

int ClientUpdater::copyAll(const std::function<void(const QString&)>& status,
                           const std::function<void(const QString&)>& copyFailed) const {
    int counter = 0;
    const QString folder =
        SharePath::resolve(m_sharePath + QStringLiteral("Client\\"), m_shareRoot);
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        copyFolder(folder, QString(), counter, status, copyFailed);
    if (status)
        status(QStringLiteral("Copiati ") + QString::number(counter) + QStringLiteral(" file!"));
    return counter;
}

void ClientUpdater::copyFolder(const QString& shareDir, const QString& relative, int& counter,
                               const std::function<void(const QString&)>& status,
                               const std::function<void(const QString&)>& copyFailed) const {
    // The same entries, in the same order, as the client's update check looks at.
    const QFileInfoList entries = QDir(shareDir).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString name =
            relative.isEmpty() ? entry.fileName() : relative + QLatin1Char('/') + entry.fileName();
        if (entry.isDir()) {
            if (!entry.isSymLink())
                copyFolder(entry.absoluteFilePath(), name, counter, status, copyFailed);
            continue;
        }
        ++counter;
        if (status) {
            status(QStringLiteral("Copia ") + QString::number(counter) +
                   QStringLiteral("° file in corso..."));
        }
        const QString target = m_installFolder + name;
        QDir().mkpath(QFileInfo(target).absolutePath());
        Failure failure;
        for (int attempt = 1; attempt <= m_attempts; ++attempt) {
            failure = copyFile(entry.absoluteFilePath(), target);
            if (failure.ok())
                break;
            // A file still held by a program that is closing gets a moment to be let go.
            if (attempt < m_attempts && m_retryDelayMs > 0)
                QThread::msleep(m_retryDelayMs);
        }
        if (failure && copyFailed) {
            QString sharePathName = name;
            sharePathName.replace(QLatin1Char('/'), QLatin1Char('\\'));
            copyFailed(m_sharePath + QStringLiteral("Client\\") + sharePathName);
        }
        const QFileInfo written(target);
        if (written.isFile() && !written.isSymLink())
            makeNormal(target, entry.permissions() & ExecuteBits);
    }
}

Failure ClientUpdater::copyFile(const QString& source, const QString& target) {
    const QFileInfo sourceInfo(source);
    // A pipe or a device on the share would block the read or never end: only plain files copy.
    if (sourceInfo.exists() && !sourceInfo.isFile())
        return {ErrorNumber::PathFileAccess, QStringLiteral("Non è un file: ") + source};
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        return fileFailure(input);
    if (QFileInfo(target).isDir())
        return {ErrorNumber::PathFileAccess,
                QStringLiteral("Il file di destinazione è una cartella")};

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
    // The client's update check compares stamps: the copy keeps the share's, as a file copy does,
    // so a workstation clock behind the server's cannot make the same file look newer again.
    temporary.setFileTime(sourceInfo.lastModified(), QFileDevice::FileModificationTime);
    temporary.setPermissions(normalPermissions(sourceInfo.permissions() & ExecuteBits));
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

void ClientUpdater::makeNormal(const QString& target, bool executable) {
    QFile file(target);
    const bool hasExecute = (file.permissions() & ExecuteBits) != 0;
    file.setPermissions(normalPermissions(executable || hasExecute));
}

bool ClientUpdater::startClient() const {
    return startProgram(m_installFolder + QStringLiteral("VelarixCL"),
                        {QStringLiteral("--after-update")})
        .ok();
}
