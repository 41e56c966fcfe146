#include "clientupdater.h"

#include "clientfoldercopy.h"
#include "serverhostfile.h"
#include "sharepath.h"

#include <QFile>
#include <QFileInfo>

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
        target.failure = {
            ErrorNumber::FileNotFound,
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
    keepPreviousProgram();
    ClientFolderCopy copy(SharePath::resolve(m_sharePath + QStringLiteral("Client\\"), m_shareRoot),
                          m_installFolder);
    copy.setRetry(m_attempts, m_retryDelayMs);
    int counter = 0;
    int total = 0;
    copy.forEachFile([&total](const QString&, const QFileInfo&) { ++total; });
    ClientFolderCopy::Hooks hooks;
    hooks.copying = [&](const QString&) {
        ++counter;
        if (status)
            status(QStringLiteral("Copia ") + QString::number(counter) +
                   QStringLiteral("° file di ") + QString::number(total) +
                   QStringLiteral(" in corso..."));
    };
    hooks.failed = [&](const QString& name, const Failure&) {
        if (!copyFailed)
            return;
        QString sharePathName = name;
        sharePathName.replace(QLatin1Char('/'), QLatin1Char('\\'));
        copyFailed(m_sharePath + QStringLiteral("Client\\") + sharePathName);
    };
    copy.run(hooks);
    if (status)
        status(QStringLiteral("Copiati ") + QString::number(counter) + QStringLiteral(" file!"));
    return counter;
}

QString ClientUpdater::programPath() const {
    return m_installFolder + Program;
}

QString ClientUpdater::previousProgramPath() const {
    return m_installFolder + PreviousProgram;
}

void ClientUpdater::keepPreviousProgram() const {
    if (!QFileInfo(programPath()).isFile())
        return;
    // Copied, not moved: the program stays in place should the copy from the share fail.
    ClientFolderCopy::copyFile(programPath(), previousProgramPath());
}
