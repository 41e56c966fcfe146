#include "clientsession.h"

#include "clientconnection.h"
#include "database.h"
#include "documentimport.h"
#include "folderlock.h"
#include "liveupdate.h"
#include "logplace.h"
#include "printfailuretext.h"
#include "processstart.h"
#include "reportprinter.h"
#include "serverhostfile.h"
#include "socketarray.h"
#include "startupdialogs.h"
#include "updatedecision.h"
#include "userprompts.h"
#include "wiremessages.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

ClientSession::ClientSession(UserPrompts& prompts, Options options, PrinterFactory makePrinter,
                             QObject* parent)
    : QObject(parent), m_prompts(prompts), m_options(std::move(options)),
      m_makePrinter(std::move(makePrinter)), m_logPlace(LogPlace::choose(m_options.logFile)),
      m_log(m_logPlace.fileName), m_sockets(new SocketArray(this)),
      m_connection(new ClientConnection(
          *m_sockets, [this](const QString& t) { log(t); }, this)),
      m_liveUpdateTimer(new QTimer(this)) {
    const RuntimeEnv& env = m_options.env;
    m_connection->setBasePort(env.basePort);
    m_connection->setTimerInterval(env.interval(1000));
    m_connection->setRepeatLogInterval(env.interval(60000));
    m_connection->setWorkstationName(env.pcName.isEmpty() ? SocketArray::localHostName()
                                                          : env.pcName);
    connect(m_connection, &ClientConnection::statusChanged, this, &ClientSession::statusChanged);
    connect(m_connection, &ClientConnection::callButtonEnabled, this,
            &ClientSession::callButtonEnabled);
    connect(m_connection, &ClientConnection::closeButtonEnabled, this,
            &ClientSession::closeButtonEnabled);
    connect(m_connection, &ClientConnection::portShown, this, &ClientSession::portShown);
    connect(m_connection, &ClientConnection::listAdded, this, &ClientSession::listAdded);
    connect(m_connection, &ClientConnection::messageReceived, this, &ClientSession::onMessage);
    connect(m_connection, &ClientConnection::reachableChanged, this,
            &ClientSession::serverReachable);
    m_liveUpdateTimer->setInterval(env.interval(LiveUpdateIntervalMs));
    connect(m_liveUpdateTimer, &QTimer::timeout, this, [this] {
        // A document in print checks before it is read; the next one will again.
        if (m_import && !m_import->isRunning())
            followShare();
    });
}

ClientSession::~ClientSession() = default;

ClientSession::Startup ClientSession::startUp(StartupDialogs& dialogs) {
    log(QStringLiteral("****Apertura Programma****"));
    if (!m_logPlace.notice.isEmpty())
        log(m_logPlace.notice);
    readServerHost();
    if (!claimFolder()) {
        shutdown();
        return Startup::Ended;
    }
    if (m_settings.serverHost.trimmed().isEmpty()) {
        m_settings.serverHost =
            dialogs.searchServer(m_settings.serverHost, m_settings.installFolder);
        if (m_ended)
            return Startup::Ended;
    }
    useServerHost();
    m_dialogs = &dialogs;
    const UpdateCheck::Outcome share =
        UpdateCheck(m_settings.sharePath, m_settings.shareRoot, m_settings.installFolder).run();
    if (share.status == UpdateCheck::Status::ShareUnreachable) {
        waitForShare(share);
        return Startup::Resident;
    }
    return finishStartUp() ? Startup::Resident : Startup::Ended;
}

// False when the program must end.
bool ClientSession::finishStartUp() {
    if (!passUpdateCheck(*m_dialogs)) {
        shutdown();
        return false;
    }
    startImport();
    m_connection->arm();
    return true;
}

// After a power cut the workstations start before their server: said once, then looked for
// every ShareRetryMs until the share is there. Closing the window still ends the program.
void ClientSession::waitForShare(const UpdateCheck::Outcome& unreachable) {
    const UpdateDecision decision =
        decideAfterUpdateCheck(unreachable, m_settings.sharePath, m_options.afterUpdate);
    const QString text = decision.message + QStringLiteral("\nNuovo tentativo ogni 30 secondi.");
    log(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    emit statusChanged(QStringLiteral("In attesa della cartella del server"));
    m_prompts.message(text, QString(), decision.icon);
    if (m_ended)
        return;
    auto* retry = new QTimer(this);
    retry->setInterval(m_options.env.interval(ShareRetryMs));
    connect(retry, &QTimer::timeout, this, [this, retry] {
        const UpdateCheck check(m_settings.sharePath, m_settings.shareRoot,
                                m_settings.installFolder);
        if (!m_ended && check.run().status == UpdateCheck::Status::ShareUnreachable)
            return;
        retry->deleteLater();
        retry->stop();
        if (m_ended)
            return;
        log(QStringLiteral("Cartella del server raggiungibile"));
        if (!finishStartUp())
            emit ended();
    });
    retry->start();
}

void ClientSession::readServerHost() {
    QString folder = m_options.installFolder;
    if (folder.isEmpty())
        folder = QDir(QCoreApplication::applicationDirPath()).absolutePath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    m_settings.installFolder = folder;
    m_settings.shareRoot = m_options.env.shareRoot;
    m_settings.serverHost = ServerHostFile::read(folder);
}

// False when another client works on this program folder.
bool ClientSession::claimFolder() {
    m_folderLock =
        std::make_unique<FolderLock>(m_settings.installFolder, m_connection->workstationName(),
                                     m_options.env.interval(FolderLock::BeatMs));
    const Failure f = m_folderLock->claim();
    if (f.number == ErrorNumber::FileAlreadyOpen) {
        const QString text = QStringLiteral("VelarixCL è già in esecuzione su ") +
                             m_folderLock->holderText() + QStringLiteral(" con la cartella ") +
                             m_settings.installFolder +
                             QStringLiteral(". Due programmi sulla stessa cartella stamperebbero "
                                            "l'uno i documenti dell'altro: chiudere quello prima "
                                            "di avviarne un altro.");
        log(text);
        m_prompts.message(text, QString(), UserPrompts::Icon::Critical);
        return false;
    }
    if (f)
        log(QStringLiteral("Blocco della cartella del programma non riuscito (") + f.description +
            QStringLiteral("): il programma parte comunque"));
    connect(m_folderLock.get(), &FolderLock::lost, this, &ClientSession::folderTaken);
    return true;
}

void ClientSession::folderTaken(const QString& holder) {
    const QString text = QStringLiteral("La cartella ") + m_settings.installFolder +
                         QStringLiteral(" è ora usata da VelarixCL su ") + holder +
                         QStringLiteral(": questo programma si chiude per non stampare i suoi "
                                        "documenti.");
    log(text);
    shutdown();
    m_prompts.message(text, QString(), UserPrompts::Icon::Critical);
    emit ended();
}

// Whatever the host now holds, even blank: the update check then reports the share unreachable.
void ClientSession::useServerHost() {
    m_settings.documentsConnection =
        Database::connectionText(m_settings.installFolder + QStringLiteral("Documenti.mdb"));
    m_settings.sharePath = ServerHostFile::sharePath(m_settings.serverHost);
    emit hostShown(m_settings.serverHost);
    m_connection->setHost(m_settings.serverHost);
    m_sockets->create(ClientConnection::Element);
}

// False when the program must end: handed over to the updater, the share failed, or shut down
// while the check's window was up.
bool ClientSession::passUpdateCheck(StartupDialogs& dialogs) {
    m_settings.updateFound = false;
    log(QStringLiteral("Controllo Aggiornamenti"));
    const UpdateCheck check(m_settings.sharePath, m_settings.shareRoot, m_settings.installFolder);
    m_liveUpdate =
        std::make_unique<LiveUpdate>(check, m_settings.installFolder, m_options.programName);
    // After an update round every name still out of date is wanted for the log and the message.
    const UpdateCheck::Outcome outcome = dialogs.checkForUpdate(check, m_options.afterUpdate);
    if (m_ended)
        return false;
    const UpdateDecision decision =
        decideAfterUpdateCheck(outcome, m_settings.sharePath, m_options.afterUpdate);
    if (!decision.logLine.isEmpty())
        log(decision.logLine);
    if (!decision.message.isEmpty())
        m_prompts.message(decision.message, QString(), decision.icon);
    // A program still due after an update round did not come over, or did not run: handing over
    // for it again while running would only repeat that.
    if (m_options.afterUpdate)
        m_liveUpdate->handOverRefused();
    m_liveUpdate->remember();
    if (decision.action == UpdateDecision::Action::HandOver) {
        m_settings.updateFound = true;
        if (startUpdater())
            return false;
        m_settings.updateFound = false;
        m_liveUpdate->handOverRefused();
        return true;
    }
    return decision.action == UpdateDecision::Action::GoOn;
}

// False when the updater did not start: logged every time, shown once, the client goes on.
bool ClientSession::startUpdater() {
    // The updater runs from the server's share and gets our folder, blanks and all, as its only
    // argument.
    const QString updater = m_settings.onShare(QStringLiteral("VelarixUpd"));
    const Failure started =
        updater.isEmpty()
            ? Failure{ErrorNumber::BadFileNameOrNumber, QStringLiteral("share non raggiungibile")}
            : startProgram(updater, {m_settings.installFolder}, QDir::currentPath());
    if (started.ok())
        return true;
    const QString text = QStringLiteral("Impossibile avviare l'aggiornamento: ") +
                         m_settings.sharePath + QStringLiteral("VelarixUpd (") +
                         started.description +
                         QStringLiteral("). Si continua con la versione presente.");
    log(text);
    if (!std::exchange(m_updaterFailureShown, true))
        m_prompts.message(text);
    return false;
}

void ClientSession::startImport() {
    readCopies();
    ImportHost& host = *this;
    m_printer = m_makePrinter(m_settings.installFolder, host);
    DocumentImportSettings settings;
    settings.installFolder = m_settings.installFolder;
    settings.documentsConnection = m_settings.documentsConnection;
    settings.copiesTable = m_settings.copies.copies;
    settings.perCompanyReports = m_settings.copies.perCompany;
    settings.perBranchReports = m_settings.copies.perBranch;
    settings.shareRoot = m_settings.shareRoot;
    m_import = std::make_unique<DocumentImport>(host, *m_printer, settings);
    m_liveUpdateTimer->start();
}

void ClientSession::readCopies() {
    m_settings.copies =
        CopiesFile::readForClient(m_settings.installFolder + QStringLiteral("Copie.txt"));
    if (m_import)
        m_import->setCopies(m_settings.copies.copies, m_settings.copies.perCompany,
                            m_settings.copies.perBranch);
}

// Brings the program folder up to date with the share while resident. False when the session
// has handed over to the updater and ended.
bool ClientSession::followShare() {
    if (m_ended || !m_liveUpdate)
        return !m_ended;
    const LiveUpdate::Result result = m_liveUpdate->run();
    if (!result.logLine.isEmpty())
        log(result.logLine);
    if (result.action == LiveUpdate::Action::Refreshed)
        readCopies();
    if (result.action != LiveUpdate::Action::HandOver)
        return true;
    log(QStringLiteral("Aggiornamento rilevato"));
    if (!startUpdater()) {
        m_liveUpdate->handOverRefused();
        return true;
    }
    shutdown();
    emit ended();
    return false;
}

bool ClientSession::prepareForDocument() {
    return followShare();
}

void ClientSession::shutdown() {
    if (m_ended)
        return;
    m_ended = true;
    m_liveUpdateTimer->stop();
    log(QStringLiteral("Chiusura Porta"));
    m_connection->shutdown();
    log(QStringLiteral("****Chiusura Programma****"));
}

void ClientSession::connectToServer() {
    m_connection->connectToServer();
}

void ClientSession::disconnectFromServer() {
    m_connection->disconnectFromServer();
}

void ClientSession::setHost(const QString& host) {
    m_connection->setHost(host);
}

bool ClientSession::isConnected() const {
    return m_connection->isConnected();
}

void ClientSession::sendByHand() {
    log(QStringLiteral("Tasto Invia"));
    if (!m_connection->isConnected()) {
        m_prompts.message(QStringLiteral("Connessione non stabilita"));
        return;
    }
    const QString text = m_prompts.input(QStringLiteral("Messaggio da inviare"));
    m_connection->sendText(text);
    emit listAdded(QStringLiteral("Inviato: ") + text);
}

void ClientSession::onMessage(const QString& text, int element) {
    log(QStringLiteral("Ricevuto: ") + text);
    if (m_import)
        m_import->receive(text, element);
}

void ClientSession::log(const QString& text) {
    m_log.write(text);
}

// The list shows one request at a time: what was received, then the import's progress.
void ClientSession::requestStarting(const QString& message) {
    emit listCleared();
    emit listAdded(QStringLiteral("Ricevuto: ") + message);
    emit listRedrawn();
}

void ClientSession::listAdd(const QString& line) {
    emit listAdded(line);
}

void ClientSession::listRedraw() {
    emit listRedrawn();
}

void ClientSession::processEvents() {
    QCoreApplication::processEvents();
}

Failure ClientSession::sendReply(int socketIndex, const QString& text) {
    return m_sockets->send(socketIndex, text);
}

namespace {
QString fileNameOf(const QString& path) {
    return path.section(QLatin1Char('\\'), -1).section(QLatin1Char('/'), -1);
}
} // namespace

// The server learns why at every try (its queue shows it, also after its own restart); the person
// only at the first try that fails this way.
void ClientSession::documentFailed(int socketIndex, const QString& path,
                                   const PrintFailureText& failure) {
    const QString report = Wire::failureReport({failure.number, failure.reason, path});
    if (Failure f = m_sockets->send(socketIndex, report))
        log(QStringLiteral("Motivo non inviato al server: ") + f.description);
    else
        log(QStringLiteral("Inviato: ") + report.chopped(1));
    if (m_notices.failed(path, failure.number))
        emit notice(QStringLiteral("Velarix - Documento non stampato"), failure.notice);
    else
        log(QStringLiteral("Stesso errore di prima, avviso non ripetuto: ") + fileNameOf(path));
}

void ClientSession::documentAnswered(const QString& path) {
    const int tries = m_notices.printed(path);
    if (tries == 0)
        return;
    const QString text =
        QStringLiteral("Stampato dopo %1 tentativi: ").arg(tries) + fileNameOf(path);
    log(text);
    emit notice(QStringLiteral("Velarix - Documento stampato"), text);
}

void ClientSession::archiveFailed(const Failure& failure, const QString& printFile) {
    emit notice(QStringLiteral("Velarix - Documento stampato, non archiviato"),
                archiveFailureNotice(failure, fileNameOf(printFile)));
}
