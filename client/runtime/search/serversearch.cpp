#include "serversearch.h"

#include "platform/platform.h"
#include "platform/systemerror.h"
#include "runtimeenv.h"
#include "serverhostfile.h"
#include "settingsvalues.h"
#include "sharepath.h"
#include "userprompts.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace {
const QString SearchTitle = QStringLiteral("Indirizzo Host Remoto");
const QString ListScriptName = QStringLiteral("TESTSRV.BAT");
const QString ListOutputName = QStringLiteral("SERVER.TXT");
const QString AddressScriptName = QStringLiteral("TESTIP.BAT");
const QString AddressOutputName = QStringLiteral("IP.TXT");
} // namespace

ServerSearch::ServerSearch(QString installFolder, QString workFolder, UserPrompts& prompts,
                           Hooks hooks)
    : m_installFolder(std::move(installFolder)), m_workFolder(std::move(workFolder)),
      m_prompts(prompts), m_hooks(std::move(hooks)) {
    if (m_workFolder.isEmpty())
        m_workFolder = QDir::currentPath();
    if (!m_hooks.runScript) {
        m_hooks.runScript = [folder = m_workFolder](const QString& script) {
            return Platform::current().startScript(script, folder).ok();
        };
    }
    if (!m_hooks.serverProgramSize) {
        // Each candidate is asked itself: the share this workstation has mounted belongs to one
        // computer only, whichever candidate comes first.
        m_hooks.serverProgramSize = [](const QString& computer) {
            return Platform::current().sharedFileSize(computer, QStringLiteral("VelarixSrv"));
        };
    }
}

QString ServerSearch::run(const QString& serverHost) {
    if (!serverHost.trimmed().isEmpty())
        return serverHost;

    QString host;
    if (m_prompts.question(QStringLiteral("Inserire manualmente l'indirizzo IP del Server?"),
                           SearchTitle)) {
        host = m_prompts.input(QStringLiteral("Inserire Indirizzo IP del Server:"), SearchTitle);
    } else {
        host = searchNetwork();
        if (host.isEmpty())
            host =
                m_prompts.input(QStringLiteral("Inserire Indirizzo IP del Server:"), SearchTitle);
    }

    if (Failure f = ServerHostFile::write(m_installFolder, host)) {
        // Unsaid, the search would come back at every start with no clue why.
        m_prompts.message(QStringLiteral("Impossibile scrivere ") + m_installFolder +
                          QStringLiteral("IPHost.set: ") + f.description);
    }
    if (!host.isEmpty()) {
        // Started through the package's launcher, the log-on start goes through it too, so that
        // a newer packaged program still reaches the person's folder first.
        const QString launcher = RuntimeEnv::get().launcher;
        Platform::current().addAutostart(
            QStringLiteral("VelarixCL"),
            launcher.isEmpty() ? m_installFolder + QStringLiteral("VelarixCL") : launcher);
    }
    return host;
}

QString ServerSearch::searchNetwork() {
    QFile::remove(QDir(m_workFolder).filePath(ListOutputName));
    if (writeScript(ListScriptName, Platform::current().serverListScript()).ok())
        m_hooks.runScript(QDir(m_workFolder).filePath(ListScriptName));
    if (m_hooks.status)
        m_hooks.status(QStringLiteral("Ricerca Nome Server..."));
    waitForCommand();

    QString server;
    const QStringList names = candidates(readWorkFile(ListOutputName));
    for (const QString& candidate : names) {
        if (hasServerProgram(candidate)) {
            server = candidate;
            break;
        }
    }
    if (server.isEmpty())
        return QString();

    QFile::remove(QDir(m_workFolder).filePath(AddressOutputName));
    if (writeScript(AddressScriptName, Platform::current().addressScript(server.mid(2))).ok())
        m_hooks.runScript(QDir(m_workFolder).filePath(AddressScriptName));
    if (m_hooks.status)
        m_hooks.status(QStringLiteral("Ricerca Indirizzo IP..."));
    waitForCommand();
    return address(readWorkFile(AddressOutputName));
}

void ServerSearch::waitForCommand() {
    if (m_hooks.pause)
        m_hooks.pause(CommandWait);
    if (m_hooks.afterPause)
        m_hooks.afterPause();
}

QStringList ServerSearch::candidates(const QByteArray& serverList) {
    QStringList names;
    SettingsValues values(serverList);
    bool inList = false;
    while (!values.atEnd()) {
        const QString value = values.next();
        if (value.startsWith(QLatin1Char('-'))) {
            inList = true; // the dashed rule under the heading
            continue;
        }
        if (inList) {
            const QString name = value.trimmed();
            if (!name.isEmpty())
                names.append(name);
        }
    }
    return names;
}

QString ServerSearch::address(const QByteArray& echoOutput) {
    SettingsValues values(echoOutput);
    while (!values.atEnd()) {
        const QString value = values.next();
        const qsizetype open = value.indexOf(QLatin1Char('['));
        const qsizetype close = value.indexOf(QLatin1Char(']'));
        if (open < 0 || close < 0)
            continue;
        // A "]" before the first "[" gives no address rather than a garbled one.
        return close > open ? value.mid(open + 1, close - open - 1).trimmed() : QString();
    }
    return QString();
}

bool ServerSearch::hasServerProgram(const QString& candidate) const {
    // Only a computer of the network ("\\NAME") can be the server; any other text of the list
    // would otherwise be taken for a local path.
    const QString sharePath = candidate + QStringLiteral("\\Velarix\\VelarixSrv");
    const QString computer =
        SharePath::isSharePath(sharePath) ? SharePath::host(sharePath) : QString();
    return !computer.isEmpty() && m_hooks.serverProgramSize(computer) > 0;
}

Failure ServerSearch::writeScript(const QString& name, const QByteArray& body) const {
    QSaveFile file(QDir(m_workFolder).filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return {ErrorNumber::PathFileAccess, fileErrorText(file)};
    file.write(body);
    if (!file.commit())
        return {ErrorNumber::DeviceIO, fileErrorText(file)};
    return Failure::none();
}

QByteArray ServerSearch::readWorkFile(const QString& name) const {
    QFile file(QDir(m_workFolder).filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.read(SettingsValues::ReadLimit);
}
