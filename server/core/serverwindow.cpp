#include "serverwindow.h"

#include "copieswindow.h"
#include "letterheadwindow.h"
#include "printserver.h"
#include "queuelist.h"
#include "queuetexts.h"
#include "runtimeenv.h"
#include "serverconsole.h"
#include "servericon.h"
#include "trayicon.h"
#include "ui_velarixsrv.h"
#include "userprompts.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QSystemTrayIcon>
#include <QTimer>

ServerWindow::ServerWindow(PrintServer& server, UserPrompts& prompts, QWidget* parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::VelarixSrv>()), m_server(server),
      m_prompts(prompts), m_trayTimer(new QTimer(this)),
      m_askBeforeClosing(!RuntimeEnv::get().unattended) {
    m_ui->setupUi(this);
    const QIcon icon = serverIcon();
    setWindowIcon(icon);
    m_ui->Picture1->setPixmap(icon.pixmap(24, 24));
    m_server.setHost(this);
    showServerState();
    new QueueList(m_server, m_prompts, m_ui->Lst_Coda, m_ui->Cmd_Riprova, m_ui->Cmd_Elimina, this);

    // The trace switch always starts off; message display starts off.
    m_ui->TraceON->setChecked(false);
    m_ui->OPT1->setChecked(false);
    m_server.setTraceOn(false);
    m_server.setMessageDisplay(false);
    connect(m_ui->TraceON, &QCheckBox::toggled, &m_server, &PrintServer::setTraceOn);
    connect(m_ui->OPT1, &QCheckBox::toggled, &m_server, &PrintServer::setMessageDisplay);
    connect(m_ui->mnuDatiDitta, &QAction::triggered, this, &ServerWindow::openLetterheadWindow);
    connect(m_ui->mnuNumCopie, &QAction::triggered, this, &ServerWindow::openCopiesWindow);

    m_trayTimer->setInterval(RuntimeEnv::get().interval(3000));
    m_trayTimer->setSingleShot(true);
    connect(m_trayTimer, &QTimer::timeout, this, &ServerWindow::handOffToTray);
    m_trayTimer->start();
}

ServerWindow::~ServerWindow() {
    m_server.setHost(nullptr);
    removeTrayIcon();
}

void ServerWindow::showServerState() {
    showCaption();
    m_ui->Local_Host->setText(m_server.localIp());
    if (!m_server.status().isEmpty())
        m_ui->Label1->setText(m_server.status());
    m_ui->Lst_Port->addItems(m_server.portLines());
    connect(&m_server, &PrintServer::captionChanged, this, &ServerWindow::showCaption);
    connect(&m_server, &PrintServer::printingStoppedChanged, this,
            &ServerWindow::showPrintingState);
    connect(&m_server, &PrintServer::localIpChanged, m_ui->Local_Host, &QLineEdit::setText);
    connect(&m_server, &PrintServer::statusChanged, m_ui->Label1, &QLabel::setText);
    connect(&m_server, &PrintServer::portListChanged, this, [this](const QStringList& lines) {
        m_ui->Lst_Port->clear();
        m_ui->Lst_Port->addItems(lines);
    });
    connect(&m_server, &PrintServer::portRowChanged, this, &ServerWindow::showPortLine);
    connect(&m_server.console(), &ServerConsole::messageAdded, this, &ServerWindow::addMessage);
    connect(&m_server.console(), &ServerConsole::messagesDropped, this,
            &ServerWindow::dropOldestMessages);
}

void ServerWindow::addMessage(const QString& line, bool select) {
    m_ui->Lst_Msg->addItem(line);
    if (select)
        m_ui->Lst_Msg->setCurrentRow(m_ui->Lst_Msg->count() - 1);
}

void ServerWindow::dropOldestMessages(int count) {
    for (int i = 0; i < count && m_ui->Lst_Msg->count() > 0; ++i)
        delete m_ui->Lst_Msg->takeItem(0);
}

void ServerWindow::showPortLine(int row, const QString& line) {
    auto* list = m_ui->Lst_Port;
    while (list->count() <= row)
        list->addItem(QString());
    list->item(row)->setText(line);
}

bool ServerWindow::event(QEvent* e) {
    // The first activation opens the ports; later ones find them open.
    if (e->type() == QEvent::WindowActivate)
        m_server.openPorts();
    return QMainWindow::event(e);
}

void ServerWindow::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange && isMinimized() && !m_server.hasShutDown())
        QTimer::singleShot(0, this, &ServerWindow::minimizeToTray);
}

void ServerWindow::minimizeToTray() {
    if (!isMinimized())
        return;
    m_server.trace(QStringLiteral("Riduci a icona"));
    // Without a notification area the window stays minimised, so it can always be reached.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_tooltip = QStringLiteral("Apri Programma");
    hideToTray(m_tray, this, m_ui->Picture1, trayTooltip(m_tooltip), &m_prompts);
    // Restored later at its normal size.
    setWindowState(windowState() & ~Qt::WindowMinimized);
}

void ServerWindow::handOffToTray() {
    m_server.trace(QStringLiteral("Timer3"));
    m_trayTimer->stop();
    m_tooltip = QStringLiteral("Apri il programma (Velarix Srv)");
    hideToTray(m_tray, this, m_ui->Picture1, trayTooltip(m_tooltip), &m_prompts);
    // Stopped before the icon was there: said now.
    if (!m_server.printingStopped().isEmpty() && m_tray)
        m_tray->notify(QStringLiteral("Velarix Srv - Stampe ferme"),
                       QueueTexts::printingStoppedNotice(m_server.printingStopped()));
}

QString ServerWindow::trayTooltip(const QString& usual) const {
    const QString why = m_server.printingStopped();
    return why.isEmpty() ? usual : QStringLiteral("Velarix Srv - STAMPE FERME: ") + why;
}

void ServerWindow::showCaption() {
    const QString caption = m_server.caption();
    setWindowTitle(m_server.printingStopped().isEmpty()
                       ? caption
                       : QStringLiteral("STAMPE FERME - ") + caption);
}

// Printing stopped for the whole office is loud: the icon (tray and task bar), its tooltip and
// the caption change, and a balloon says why; another one when printing goes on.
void ServerWindow::showPrintingState(const QString& why) {
    const QIcon icon = why.isEmpty() ? serverIcon() : warningIcon(serverIcon());
    setWindowIcon(icon);
    m_ui->Picture1->setPixmap(icon.pixmap(24, 24));
    showCaption();
    if (!m_tray)
        return;
    m_tray->setIcon(icon);
    if (!m_tooltip.isEmpty())
        m_tray->setToolTipText(trayTooltip(m_tooltip));
    if (!why.isEmpty())
        m_tray->notify(QStringLiteral("Velarix Srv - Stampe ferme"),
                       QueueTexts::printingStoppedNotice(why));
    else
        m_tray->notify(QStringLiteral("Velarix Srv - Stampe riprese"),
                       QStringLiteral("La cartella di stampa è di nuovo raggiungibile: le stampe "
                                      "ripartono."),
                       1);
}

void ServerWindow::closeEvent(QCloseEvent* e) {
    // Closing stops printing for the whole office: a person is asked first. A stop request (a
    // signal, the service manager) or an unattended run has nobody to ask.
    if (!m_server.hasShutDown() && m_askBeforeClosing &&
        !m_prompts.question(QStringLiteral("Chiudere il server di stampa?\nLe postazioni non "
                                           "potranno stampare finché non sarà riavviato."),
                            QString())) {
        e->ignore();
        return;
    }
    m_trayTimer->stop();
    m_server.shutDown();
    e->accept();
    QCoreApplication::quit();
}

void ServerWindow::removeTrayIcon() {
    if (m_tray)
        m_tray->remove();
}

void ServerWindow::openLetterheadWindow() {
    m_server.log(QStringLiteral("Apertura Gestione Dati Ditta"));
    LetterheadWindow window(m_server, this);
    window.exec();
}

void ServerWindow::openCopiesWindow() {
    m_server.log(QStringLiteral("Apertura Gestione Copie"));
    showCopiesWindow();
}

void ServerWindow::askForPrintFolder() {
    // Unattended runs have nobody to fill in the window: the start-up goes on without it. The
    // menu command opens it in every mode, as "Dati Ditta" does.
    if (!RuntimeEnv::get().unattended)
        showCopiesWindow();
}

void ServerWindow::showCopiesWindow() {
    CopiesWindow window(m_server, this);
    window.exec();
}
