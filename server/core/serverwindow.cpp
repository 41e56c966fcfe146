#include "serverwindow.h"

#include "autostartmark.h"
#include "copiesfile.h"
#include "database.h"
#include "pausa.h"
#include "platform/platform.h"
#include "portpool.h"
#include "runtimeenv.h"
#include "serverconsole.h"
#include "servericon.h"
#include "socketarray.h"
#include "ui_velarixsrv.h"
#include "userprompts.h"
#include "version.h"
#include "wiremessages.h"

#include "trayicon.h"

#include "earlyscan.h"
#include "printfolderwatcher.h"
#include "copiewindow.h"
#include "dittawindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QSystemTrayIcon>
#include <QTimer>

const QString ServerWindow::ProgramName = QStringLiteral("VelarixSrv");
const QString ServerWindow::LogFileName = QStringLiteral("VXreg.txt");

ServerWindow::ServerWindow(const QString& programFolder, UserPrompts& prompts, QWidget* parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::VelarixSrv>()),
      m_programFolder(QDir(programFolder).absolutePath()), m_prompts(prompts),
      m_console(new ServerConsole(LogFileName, this)),
      m_pool(new PortPool(*this, RuntimeEnv::get().basePort, VELARIX_REVISION, this)) {
    m_ui->setupUi(this);
    const QIcon icon = serverIcon();
    setWindowIcon(icon);
    m_ui->Picture1->setPixmap(icon.pixmap(24, 24));
    m_pool->setShareRoot(m_programFolder);

    // The trace switch always starts off; message display starts off.
    m_ui->TraceON->setChecked(false);
    m_ui->OPT1->setChecked(false);
    connect(m_ui->TraceON, &QCheckBox::toggled, m_console, &ServerConsole::setTraceOn);
    connect(m_ui->OPT1, &QCheckBox::toggled, m_console, &ServerConsole::setMessageDisplay);
    connect(m_console, &ServerConsole::messageAdded, this,
            [this](const QString& line, bool select) {
                m_ui->Lst_Msg->addItem(line);
                if (select)
                    m_ui->Lst_Msg->setCurrentRow(m_ui->Lst_Msg->count() - 1);
            });
    connect(m_console, &ServerConsole::messagesDropped, this, [this](int count) {
        for (int i = 0; i < count && m_ui->Lst_Msg->count() > 0; ++i)
            delete m_ui->Lst_Msg->takeItem(0);
    });
    connect(m_ui->mnuDatiDitta, &QAction::triggered, this, &ServerWindow::mnuDatiDitta_Click);
    connect(m_ui->mnuNumCopie, &QAction::triggered, this, &ServerWindow::mnuNumCopie_Click);

    // The timers: Timer3 (tray hand-off) and Timer4 (port-list refresh) run from creation.
    makeTimer(QStringLiteral("Timer1"), 1000, false);
    makeTimer(QStringLiteral("Timer2"), 60000, false);
    makeTimer(QStringLiteral("Timer3"), 3000, true);
    makeTimer(QStringLiteral("Timer4"), 10000, false);
    makeTimer(QStringLiteral("Timer5"), 1000, true);
    connect(timer(1), &QTimer::timeout, this, &ServerWindow::Timer1_Timer);
    connect(timer(2), &QTimer::timeout, this, &ServerWindow::Timer2_Timer);
    connect(timer(3), &QTimer::timeout, this, &ServerWindow::Timer3_Timer);
    connect(timer(4), &QTimer::timeout, m_pool, &PortPool::refresh);
    connect(timer(5), &QTimer::timeout, this, &ServerWindow::Timer5_Timer);
    timer(3)->start();
    timer(4)->start();

    m_watcher = std::make_unique<PrintFolderWatcher>(*this, m_codes);
    // Folder notifications bring the scan forward; Timer1 stays the fallback and the scan is
    // never run while Timer1 is off (during a pass or a settings window).
    m_earlyScan = new EarlyScan(*m_watcher, this);
    connect(m_earlyScan, &EarlyScan::scanWanted, this, [this] {
        if (timer(1)->isActive())
            Timer1_Timer();
    });
}

ServerWindow::~ServerWindow() {
    shutDown();
    terminate();
}

QTimer* ServerWindow::makeTimer(const QString& name, int milliseconds, bool singleShot) {
    auto* t = new QTimer(this);
    t->setObjectName(name);
    t->setInterval(RuntimeEnv::get().interval(milliseconds));
    t->setSingleShot(singleShot);
    m_timers[name.right(1).toInt()] = t;
    return t;
}

QTimer* ServerWindow::timer(int number) const {
    return number >= 1 && number <= 5 ? m_timers[number] : nullptr;
}

QString ServerWindow::clientFolder() const {
    return m_programFolder + QStringLiteral("/Client/");
}

void ServerWindow::startUp() {
    log(QStringLiteral("****Apertura Programma****"));
    // From here on a failing step is skipped and the sequence goes on.
    AutostartMark(m_programFolder, ProgramName).registerIfFirstStart();
    setWindowTitle(windowTitle() + QStringLiteral(" - ") + QString::number(PortCount) +
                   QStringLiteral(" porte"));
    Platform::current().publishShare(m_programFolder);
    // Let the share come up before anything else happens; no events are handled meanwhile.
    Pausa(
        2, [this](const QString& t) { spy(t); },
        [](int ms) { return RuntimeEnv::get().interval(ms); });
    m_ui->Local_Host->setText(SocketArray::localIp());

    setPrintFolder(CopiesFile::readPrintFolder(clientFolder() + QStringLiteral("Copie.txt")));
    if (m_printFolder.trimmed().isEmpty()) {
        m_prompts.message(QStringLiteral("Impostare percorso file Stampa"));
        openCopieWindow();
    }

    // A database that cannot be read leaves every slot at 0; the start-up goes on, and the
    // periodic pass reads the codes again until it succeeds.
    m_codes = CompanyCodes();
    if (Failure failure = loadCompanyCodes())
        log(QStringLiteral("Lettura codici ditta non riuscita: ") + failure.description);

    timer(1)->start();
    timer(2)->start();
}

void ServerWindow::firstActivation() {
    if (!m_tag.isEmpty() || m_shutDown)
        return;
    m_tag = QStringLiteral("Activated");
    m_pool->ListenPorts();
}

bool ServerWindow::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate)
        firstActivation();
    return QMainWindow::event(e);
}

void ServerWindow::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange && isMinimized() && !m_shutDown)
        QTimer::singleShot(0, this, &ServerWindow::MinimizeToTray);
}

void ServerWindow::MinimizeToTray() {
    if (!isMinimized())
        return;
    spy(QStringLiteral("Riduci a icona"));
    // Without a notification area the window stays minimised, so it can always be reached.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    hideToTray(m_tray, this, m_ui->Picture1, QStringLiteral("Apri Programma"), &m_prompts);
    // Restored later at its normal size.
    setWindowState(windowState() & ~Qt::WindowMinimized);
}

void ServerWindow::closeEvent(QCloseEvent* e) {
    shutDown();
    e->accept();
    QCoreApplication::quit();
}

void ServerWindow::shutDown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    // No scan, pass or refresh may run while the slots go away.
    for (int i = 1; i <= 5; ++i)
        timer(i)->stop();
    log(QStringLiteral("Chiusura Porte collegate"));
    m_pool->closeAll();
}

void ServerWindow::terminate() {
    if (m_terminated)
        return;
    m_terminated = true;
    log(QStringLiteral("****Chiusura Programma****"));
    if (m_tray)
        m_tray->remove();
}

// --- timers -------------------------------------------------------------------------------------

void ServerWindow::Timer1_Timer() {
    m_watcher->newFileScan();
    m_earlyScan->scanDone();
}

Failure ServerWindow::loadCompanyCodes() {
    return m_codes.load(Database::connectionText(clientFolder() + QStringLiteral("Documenti.mdb")),
                        true);
}

void ServerWindow::Timer2_Timer() {
    spy(QStringLiteral("Timer2"));
    if (!m_codes.isKnown())
        loadCompanyCodes();
    m_watcher->PRN(2, QString());
}

void ServerWindow::Timer3_Timer() {
    spy(QStringLiteral("Timer3"));
    timer(3)->stop();
    hideToTray(m_tray, this, m_ui->Picture1, QStringLiteral("Apri il programma (Velarix Srv)"),
               &m_prompts);
}

void ServerWindow::Timer5_Timer() {
    spy(QStringLiteral("Timer5"));
    timer(5)->stop();
    timer(2)->stop();
    const QString name = m_followUpName;
    m_watcher->PRN(5, name);
    m_followUpName.clear();
    timer(2)->start();
}

// --- menu ---------------------------------------------------------------------------------------

void ServerWindow::mnuDatiDitta_Click() {
    log(QStringLiteral("Apertura Gestione Dati Ditta"));
    DittaWindow window(*this, this);
    window.exec();
}

void ServerWindow::mnuNumCopie_Click() {
    log(QStringLiteral("Apertura Gestione Copie"));
    openCopieWindow();
}

void ServerWindow::openCopieWindow() {
    // Unattended runs have nobody to fill in the window: the start-up goes on without it.
    if (RuntimeEnv::get().unattended)
        return;
    CopieWindow window(*this, this);
    window.exec();
}

// --- PoolHost -----------------------------------------------------------------------------------

void ServerWindow::portListReplaced(const QStringList& lines) {
    m_ui->Lst_Port->clear();
    m_ui->Lst_Port->addItems(lines);
}

void ServerWindow::portLineChanged(int row, const QString& line) {
    auto* list = m_ui->Lst_Port;
    while (list->count() <= row)
        list->addItem(QString());
    list->item(row)->setText(line);
}

void ServerWindow::log(const QString& text) {
    m_console->LogFile(text);
}

void ServerWindow::spy(const QString& trace) {
    m_console->SpY(trace);
}

void ServerWindow::message(const QString& line, bool select) {
    m_console->addMessage(line, select);
}

void ServerWindow::printFileCompleted(const QString& path) {
    m_watcher->completed(path);
}

void ServerWindow::followUpRequested(const QString& name) {
    m_followUpName = name;
    timer(5)->start();
}

void ServerWindow::workstationRegistered(int, const QString& name) {
    // A workstation that (re)connects gets its waiting files without waiting for the minute.
    const QString trimmed = Wire::trimBlanks(name);
    if (trimmed.isEmpty())
        return;
    if (!m_watcher->workstationRegistered(trimmed))
        return;
    m_followUpName = trimmed;
    timer(5)->start();
}

// --- WatcherHost --------------------------------------------------------------------------------

QString ServerWindow::registryName(int slot) const {
    return m_pool->registryName(slot);
}

bool ServerWindow::sendOnSlot(int slot, const QString& text) {
    return m_pool->sendOnSlot(slot, text);
}

void ServerWindow::messageList(const QString& line) {
    m_console->addMessage(line, false);
}

void ServerWindow::setStatusLabel(const QString& text) {
    m_ui->Label1->setText(text);
}

void ServerWindow::setScanTimerEnabled(bool on) {
    if (m_shutDown)
        return;
    if (on)
        timer(1)->start();
    else
        timer(1)->stop();
}

// --- AdminHost ----------------------------------------------------------------------------------

void ServerWindow::setWatcherRunning(bool on) {
    if (m_shutDown)
        return;
    for (int i : {1, 2}) {
        if (on)
            timer(i)->start();
        else
            timer(i)->stop();
    }
}

void ServerWindow::setPrintFolder(const QString& folder) {
    m_printFolder = folder;
    m_pool->setPrintFolder(folder);
    m_watcher->setPrintFolder(folder, m_programFolder);
    m_earlyScan->setFolder(m_watcher->localFolder());
}
