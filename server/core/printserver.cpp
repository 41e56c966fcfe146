#include "printserver.h"

#include "autostartmark.h"
#include "blockingpause.h"
#include "clientfolderwatch.h"
#include "copiesfile.h"
#include "database.h"
#include "earlyscan.h"
#include "platform/platform.h"
#include "portpool.h"
#include "printfilerules.h"
#include "printfoldercheck.h"
#include "printfolderwatcher.h"
#include "printserverhost.h"
#include "runtimeenv.h"
#include "serverconsole.h"
#include "setasidereasons.h"
#include "socketarray.h"
#include "userprompts.h"
#include "version.h"
#include "wiremessages.h"
#include "workstationlist.h"

#include <QDir>
#include <QTimer>
#include <utility>

const QString PrintServer::ProgramName = QStringLiteral("VelarixSrv");
const QString PrintServer::LogFileName = QStringLiteral("VXreg.txt");

PrintServer::PrintServer(const QString& programFolder, UserPrompts& prompts, int basePort,
                         QObject* parent)
    : QObject(parent), m_programFolder(QDir(programFolder).absolutePath()), m_prompts(prompts),
      m_console(new ServerConsole(LogFileName, this)),
      m_pool(new PortPool(*this, basePort, VELARIX_REVISION, this)),
      m_scanTimer(makeTimer(1000, false)), m_periodicTimer(makeTimer(60000, false)),
      m_portRefreshTimer(makeTimer(10000, false)), m_followUpTimer(makeTimer(1000, true)),
      m_clientWatch(new ClientFolderWatch(clientFolder(), RuntimeEnv::get().interval(500), this)),
      m_asideReasons(std::make_unique<SetAsideReasons>(m_programFolder)),
      m_caption(QStringLiteral("Velarix (Server)")) {
    m_pool->setShareRoot(m_programFolder);
    connect(m_scanTimer, &QTimer::timeout, this, &PrintServer::onScanTick);
    connect(m_periodicTimer, &QTimer::timeout, this, &PrintServer::onPeriodicPassTick);
    connect(m_portRefreshTimer, &QTimer::timeout, m_pool, &PortPool::refreshPortList);
    // A workstation that completed a document or registered gets its next one at once (it gets
    // one at a time); the completions that arrived together share one pass.
    m_followUpTimer->setInterval(0);
    connect(m_followUpTimer, &QTimer::timeout, this, &PrintServer::onFollowUpTick);
    connect(m_clientWatch, &ClientFolderWatch::copiesChanged, this, &PrintServer::takeUpCopies);
    connect(m_clientWatch, &ClientFolderWatch::letterheadsChanged, this,
            &PrintServer::takeUpLetterheads);
    m_portRefreshTimer->start();

    m_watcher = std::make_unique<PrintFolderWatcher>(*this, m_codes);
    // Folder notifications bring the scan forward; the scan timer stays the fallback and the
    // scan never runs while that timer is off (during a pass or a settings window).
    m_earlyScan = new EarlyScan(*m_watcher, this);
    connect(m_earlyScan, &EarlyScan::scanWanted, this, [this] {
        if (m_scanTimer->isActive())
            onScanTick();
    });
}

PrintServer::~PrintServer() {
    shutDown();
    terminate();
}

QTimer* PrintServer::makeTimer(int milliseconds, bool singleShot) {
    auto* timer = new QTimer(this);
    timer->setInterval(RuntimeEnv::get().interval(milliseconds));
    timer->setSingleShot(singleShot);
    return timer;
}

QString PrintServer::clientFolder() const {
    return m_programFolder + QStringLiteral("/Client/");
}

QStringList PrintServer::portLines() const {
    return m_pool->portLines();
}

bool PrintServer::isWatcherRunning() const {
    return m_scanTimer->isActive() && m_periodicTimer->isActive();
}

void PrintServer::startUp() {
    log(QStringLiteral("****Apertura Programma****"));
    // From here on a failing step is skipped and the sequence goes on.
    if (!m_runsAsService)
        AutostartMark(m_programFolder, ProgramName).registerIfFirstStart();
    m_caption += QStringLiteral(" - ") + QString::number(PortCount) + QStringLiteral(" porte");
    emit captionChanged(m_caption);
    // A service's share is published by root before it starts (velarix-admin share): a process
    // that takes the service over must not be able to point the workstations elsewhere.
    const RuntimeEnv& env = RuntimeEnv::get();
    Failure shared;
    if (!m_runsAsService)
        shared =
            Platform::current().publishShare(m_programFolder, {env.shareGroup, env.shareGuests});
    if (shared)
        log(QStringLiteral("Condivisione Velarix non pubblicata: ") + shared.description);
    // Let the share come up before anything else happens; no events are handled meanwhile.
    pauseWithoutEvents(
        2, [this](const QString& label) { trace(label); },
        [](int ms) { return RuntimeEnv::get().interval(ms); });
    m_localIp = SocketArray::localIp();
    emit localIpChanged(m_localIp);
    m_asideReasons->load();
    readPrintFolder();

    // A database that cannot be read leaves every slot at 0; the start-up goes on, and the
    // periodic pass reads the codes again until it succeeds.
    m_codes = CompanyCodes();
    if (Failure failure = loadCompanyCodes())
        log(QStringLiteral("Lettura codici ditta non riuscita: ") + failure.description);

    m_clientWatch->rememberCurrent();
    setWatcherRunning(true);
}

// Copie.txt was rewritten by someone else (the admin command, an editor): its print folder is in
// force from now on. The copies themselves are the workstations' business: they fetch the new
// file with their next update.
void PrintServer::takeUpCopies() {
    if (m_shutDown)
        return;
    const QString folder =
        CopiesFile::readPrintFolder(clientFolder() + QStringLiteral("Copie.txt"));
    log(QStringLiteral("Copie.txt modificato, cartella di stampa: ") + folder);
    if (CopiesFile::printFolderInUse(folder) == m_printFolder)
        return;
    const QString warning =
        PrintFolderCheck::waitingWarning(m_watcher->localFolder(), m_printFolder);
    setPrintFolder(folder);
    if (!warning.isEmpty())
        log(warning);
}

// The letterheads changed: the codes are read anew, so a deleted company's files are no longer
// accepted either. A failed read leaves the codes unknown (nothing is deleted for an unknown
// company) and the periodic pass tries again.
void PrintServer::takeUpLetterheads() {
    if (m_shutDown)
        return;
    m_codes = CompanyCodes();
    if (Failure failure = loadCompanyCodes()) {
        log(QStringLiteral("Lettura codici ditta non riuscita: ") + failure.description);
        return;
    }
    log(QStringLiteral("Dati Ditta modificati, codici ditta riletti"));
    // Possibly called from inside a scan: the records change once it is over.
    QTimer::singleShot(0, this, [this] {
        if (!m_shutDown && m_watcher->putBackKnownCompanies() > 0)
            noticeQueueChange();
    });
}

// The admin command's save reaches the folder watch only once the folder has settled; a print
// file for the new company may come first.
bool PrintServer::refreshCompanyCodes() {
    if (m_shutDown || !m_clientWatch->takeLetterheadChange())
        return false;
    takeUpLetterheads();
    return true;
}

void PrintServer::readPrintFolder() {
    setPrintFolder(CopiesFile::readPrintFolder(clientFolder() + QStringLiteral("Copie.txt")));
    if (!m_printFolder.isEmpty())
        return;
    m_prompts.message(QStringLiteral("Impostare percorso file Stampa"));
    if (m_host)
        m_host->askForPrintFolder();
}

Failure PrintServer::loadCompanyCodes() {
    return m_codes.load(Database::connectionText(clientFolder() + QStringLiteral("Documenti.mdb")),
                        true);
}

void PrintServer::openPorts() {
    if (m_portsOpened || m_shutDown)
        return;
    m_portsOpened = true;
    m_pool->setWorkstationListFile(m_programFolder + QLatin1Char('/') + WorkstationList::FileName);
    m_pool->listenPorts();
}

void PrintServer::shutDown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    // No scan, pass or refresh may run while the slots go away.
    for (QTimer* timer : {m_scanTimer, m_periodicTimer, m_portRefreshTimer, m_followUpTimer})
        timer->stop();
    log(QStringLiteral("Chiusura Porte collegate"));
    m_pool->closeAll();
}

void PrintServer::terminate() {
    if (m_terminated)
        return;
    m_terminated = true;
    log(QStringLiteral("****Chiusura Programma****"));
}

void PrintServer::setTraceOn(bool on) {
    m_console->setTraceOn(on);
}

void PrintServer::setMessageDisplay(bool on) {
    m_console->setMessageDisplay(on);
}

// --- timers -------------------------------------------------------------------------------------

void PrintServer::onScanTick() {
    m_watcher->newFileScan();
    m_earlyScan->scanDone();
    noticeQueueChange();
    if (const QString why = m_watcher->folderProblem(); why != m_stopped) {
        m_stopped = why;
        emit printingStoppedChanged(why);
    }
}

void PrintServer::onPeriodicPassTick() {
    trace(QStringLiteral("Timer2"));
    if (!m_codes.isKnown())
        loadCompanyCodes();
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    noticeQueueChange();
}

void PrintServer::onFollowUpTick() {
    trace(QStringLiteral("Timer5"));
    m_followUpTimer->stop();
    // The periodic pass keeps its own schedule: restarting its minute here would starve it (and
    // the re-offers, holds, expiry and code reload it carries) while one workstation keeps
    // printing.
    const QStringList names = std::exchange(m_followUps, {});
    if (!names.isEmpty())
        m_watcher->dispatchPass(PassKind::FollowUp, names);
    noticeQueueChange();
}

// One follow-up per workstation: a registration or completion of one never replaces another's,
// and a stream of them never pushes back a pass that is due.
void PrintServer::startFollowUp(const QString& name) {
    const QString trimmed = Wire::trimBlanks(name);
    if (trimmed.isEmpty() || m_shutDown)
        return;
    if (!m_followUps.contains(trimmed, Qt::CaseInsensitive))
        m_followUps.append(trimmed);
    if (!m_followUpTimer->isActive())
        m_followUpTimer->start();
}

// --- PoolHost -----------------------------------------------------------------------------------

void PrintServer::portListReplaced(const QStringList& lines) {
    emit portListChanged(lines);
}

void PrintServer::portLineChanged(int row, const QString& line) {
    emit portRowChanged(row, line);
}

void PrintServer::log(const QString& text) {
    m_console->log(text);
}

void PrintServer::trace(const QString& label) {
    m_console->trace(label);
}

void PrintServer::message(const QString& line, bool select) {
    m_console->addMessage(line, select);
}

void PrintServer::printFileCompleted(const QString& path) {
    m_watcher->completed(path);
    noticeQueueChange();
}

QString PrintServer::workstationOf(const QString& path) const {
    return m_watcher->workstationOf(path);
}

void PrintServer::followUpRequested(const QString& name) {
    if (!m_shutDown) // completions carried out while the ports close offer nothing more
        startFollowUp(name);
}

void PrintServer::workstationRegistered(int, const QString& name) {
    // A workstation that (re)connects gets its waiting files without waiting for the minute.
    const QString trimmed = Wire::trimBlanks(name);
    if (!trimmed.isEmpty() && m_watcher->workstationRegistered(trimmed))
        startFollowUp(trimmed);
    noticeQueueChange();
}

void PrintServer::connectionEnded(int slot) {
    for (const QString& name : m_watcher->connectionEnded(slot))
        startFollowUp(name);
    noticeQueueChange();
}

// --- WatcherHost --------------------------------------------------------------------------------

QString PrintServer::registryName(int slot) const {
    return m_pool->registryName(slot);
}

Failure PrintServer::sendOnSlot(int slot, const QString& text) {
    return m_pool->sendOnSlot(slot, text);
}

void PrintServer::message(const QString& line) {
    m_console->addMessage(line, false);
}

void PrintServer::setStatusLabel(const QString& text) {
    if (text == m_status)
        return;
    m_status = text;
    emit statusChanged(text);
}

void PrintServer::setScanTimerEnabled(bool on) {
    if (m_shutDown)
        return;
    if (on)
        m_scanTimer->start();
    else
        m_scanTimer->stop();
}

// --- AdminHost ----------------------------------------------------------------------------------

void PrintServer::setWatcherRunning(bool on) {
    if (m_shutDown)
        return;
    if (!on) {
        m_scanTimer->stop();
        m_periodicTimer->stop();
        return;
    }
    m_scanTimer->start();
    // A running periodic pass keeps its schedule.
    if (!m_periodicTimer->isActive())
        m_periodicTimer->start();
}

void PrintServer::setPrintFolder(const QString& stored) {
    const QString folder = CopiesFile::printFolderInUse(stored);
    m_printFolder = folder;
    m_pool->setPrintFolder(folder);
    m_watcher->setPrintFolder(folder, m_programFolder);
    m_earlyScan->setFolder(m_watcher->localFolder());
    noticeQueueChange();
}

// --- the queue ----------------------------------------------------------------------------------

QList<QueueEntry> PrintServer::queue() const {
    return m_watcher->queue();
}

// The print file's own name inside a set-aside one: "X.007" from "X.007.ERR", "X.007.PRN.ERR"
// or "X.007.PRN.2.ERR".
namespace {
QString printFileNameOf(const QString& asideName) {
    QString name = asideName.chopped(4);
    const qsizetype dot = name.lastIndexOf(u'.');
    bool numbered = false;
    name.mid(dot + 1).toInt(&numbered);
    if (dot > 0 && numbered && name.left(dot).endsWith(QStringLiteral(".PRN")))
        name.truncate(dot);
    if (name.endsWith(QStringLiteral(".PRN")))
        name.chop(4);
    return name;
}
} // namespace

Failure PrintServer::putBack(const QString& fileName) {
    // Back in the queue a file is never checked against the company codes again: a file of a
    // company still unknown stays aside. The codes are read anew, so a company saved meanwhile
    // (in "Dati Ditta" or with velarix-admin) counts.
    if (PrintFileRules::isSetAside(fileName)) {
        const QString name = printFileNameOf(fileName);
        loadCompanyCodes();
        if (m_codes.isKnown() && !m_codes.matches(PrintFileRules::endingValue(name)))
            return {ErrorNumber::InvalidCall,
                    QStringLiteral("la ditta ") + name.right(3) +
                        QStringLiteral(" \u00e8 ancora sconosciuta: salvarne i dati in \"Dati "
                                       "Ditta\", poi riprovare")};
    }
    QString workstation;
    const Failure failure = m_watcher->putBack(fileName, &workstation);
    // Offered to its workstation now, not at the next periodic pass.
    if (!failure)
        startFollowUp(workstation);
    noticeQueueChange();
    return failure;
}

Failure PrintServer::discard(const QString& fileName) {
    const Failure failure = m_watcher->discard(fileName);
    noticeQueueChange();
    return failure;
}

void PrintServer::noticeQueueChange() {
    if (m_watcher->queueRevision() == m_queueRevision)
        return;
    // Files set aside before a restart get their reason and cause back; the file keeps those of
    // the files set aside now, and only those.
    QList<QueueEntry> entries = m_watcher->queue();
    bool unknownCompany = false;
    for (const QueueEntry& entry : std::as_const(entries)) {
        if (entry.state == JobState::SetAside && entry.reason.isEmpty()) {
            const SetAsideReasons::Reason kept = m_asideReasons->reasonOf(entry.fileName);
            m_watcher->restoreReason(entry.fileName, kept.text, kept.cause);
            unknownCompany = unknownCompany || kept.cause == JobCause::UnknownCompany;
        }
    }
    // Its company may have been saved while the server was not running.
    if (unknownCompany)
        m_watcher->putBackKnownCompanies();
    if (m_watcher->queueRevision() != m_queueRevision)
        entries = m_watcher->queue();
    if (QString error; !m_asideReasons->keep(entries, &error))
        log(QStringLiteral("Motivi delle stampe messe da parte non salvati: ") + error);
    m_queueRevision = m_watcher->queueRevision();
    emit queueChanged();
}

// Only the workstation a file was sent to speaks for it; the reason is logged when it changes,
// not at every try.
void PrintServer::printFileFailed(const QString& name, const Wire::FailureReport& report) {
    const QString fileName = m_watcher->failureReported(report.path, name, report.reason);
    if (fileName.isEmpty()) {
        log(QStringLiteral("Motivo ignorato: ") + report.path +
            QStringLiteral(" non è in stampa sulla postazione ") + name);
        return;
    }
    if (m_watcher->queueRevision() != m_queueRevision)
        log(QStringLiteral("Non stampato sulla postazione ") + name + QStringLiteral(": ") +
            fileName + QStringLiteral(", ") + report.reason + QStringLiteral(" (errore ") +
            QString::number(report.number) + QLatin1Char(')'));
    // Its client is free for the next document; this one waits for its re-offer.
    startFollowUp(name);
    noticeQueueChange();
}
