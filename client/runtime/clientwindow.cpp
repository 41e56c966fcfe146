#include "clientwindow.h"

#include "ui_clientwindow.h"

#include "activitylist.h"
#include "clientsession.h"
#include "printersfile.h"
#include "printerswindow.h"
#include "runtimeenv.h"
#include "serversearchdialog.h"
#include "trayicon.h"
#include "updatecheckdialog.h"
#include "version.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPrinterInfo>
#include <QStyle>
#include <QTime>
#include <QTimer>
#include <QWindow>

ClientWindow::ClientWindow(ClientSession& session, UserPrompts& prompts, QWidget* parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::VelarixCL>()), m_session(session),
      m_prompts(prompts) {
    m_ui->setupUi(this);
    m_icon = style()->standardIcon(QStyle::SP_ComputerIcon);
    setWindowIcon(m_icon);
    m_ui->Picture1->setPixmap(windowIcon().pixmap(48, 48));
    // The status is a label of the bar, not a message: hovering a menu shows its (empty) status
    // tip in the bar's message, which wiped a message for good.
    m_status = new QLabel(m_ui->SB);
    m_ui->SB->addWidget(m_status, 1);
    showSession();

    // The host typed in the box is the one the next sweep calls.
    connect(m_ui->Txt_Host, &QLineEdit::textChanged, &m_session, &ClientSession::setHost);
    connect(m_ui->Cmd_Call, &QPushButton::clicked, &m_session, &ClientSession::connectToServer);
    connect(m_ui->Cmd_Close, &QPushButton::clicked, &m_session,
            &ClientSession::disconnectFromServer);
    connect(m_ui->Cmd_Send, &QPushButton::clicked, &m_session, &ClientSession::sendByHand);
    connect(m_ui->Command1, &QPushButton::clicked, this, [this] {
        m_session.log(QStringLiteral("Riduci a icona"));
        hideInTray(QStringLiteral("Apri Programma (Velarix CL)"));
    });
    connect(m_ui->mnuStampanti, &QAction::triggered, this, &ClientWindow::editPrinters);
}

ClientWindow::~ClientWindow() = default;

void ClientWindow::showSession() {
    connect(&m_session, &ClientSession::statusChanged, this,
            [this](const QString& t) { m_status->setText(t); });
    connect(&m_session, &ClientSession::callButtonEnabled, m_ui->Cmd_Call, &QWidget::setEnabled);
    connect(&m_session, &ClientSession::closeButtonEnabled, m_ui->Cmd_Close, &QWidget::setEnabled);
    connect(&m_session, &ClientSession::portShown, m_ui->Txt_Port, &QLineEdit::setText);
    connect(&m_session, &ClientSession::hostShown, m_ui->Txt_Host, &QLineEdit::setText);
    m_list = new ActivityList(m_ui->Lst_DataSent);
    connect(&m_session, &ClientSession::listCleared, m_list, &ActivityList::clear);
    connect(&m_session, &ClientSession::listAdded, m_list, &ActivityList::add);
    connect(&m_session, &ClientSession::listRedrawn, m_list, &ActivityList::redraw);
    connect(&m_session, &ClientSession::notice, this, &ClientWindow::showNotice);
    connect(&m_session, &ClientSession::serverReachable, this, &ClientWindow::showReachable);
    connect(&m_session, &ClientSession::ended, this, &QWidget::close);
}

bool ClientWindow::startUp() {
    m_ui->Label2->setText(QString::number(VELARIX_REVISION));
    m_ui->Lbl_Des->setText(QStringLiteral(
        "Questo client chiama un server all'indirizzo indicato nella casella sottostante"));
    if (m_session.startUp(*this) == ClientSession::Startup::Ended) {
        close();
        return false;
    }
    hideInTray(QStringLiteral("Apri il programma (Velarix CL)"));
    return true;
}

QString ClientWindow::searchServer(const QString& serverHost, const QString& installFolder) {
    ServerSearchDialog dialog(serverHost, installFolder, m_prompts, {}, this);
    dialog.exec();
    return dialog.serverHost();
}

UpdateCheck::Outcome ClientWindow::checkForUpdate(const UpdateCheck& check, bool collectAll) {
    UpdateCheckDialog dialog(check, collectAll, RuntimeEnv::get().interval(1000), this);
    dialog.exec();
    return dialog.outcome();
}

void ClientWindow::hideInTray(const QString& tooltip) {
    m_tooltip = tooltip;
    hideToTray(m_tray, this, m_ui->Picture1, trayTooltip(), &m_prompts);
    if (m_tray)
        connect(m_tray, &TrayIcon::doubleClicked, this, &ClientWindow::restore,
                Qt::UniqueConnection);
}

void ClientWindow::restore() {
    restoreFromTray(m_tray, this, &m_prompts);
    m_list->redraw(); // lines added while hidden were not scrolled to
}

// A balloon where the icon is shown. Without a notification area the window comes back with the
// notice in it, but never takes the keyboard from the program the person is typing in, and no
// message box jumps in front.
void ClientWindow::showNotice(const QString& title, const QString& text) {
    if (m_tray && m_tray->isShown()) {
        // Good news (printed in the end) with the information icon.
        m_tray->notify(title, text, title.endsWith(QStringLiteral("Documento stampato")) ? 1 : 0);
        return;
    }
    m_ui->Lbl_Avviso->setText(
        QStringLiteral("<b>%1</b> (%2)<br>%3")
            .arg(title.toHtmlEscaped(), QTime::currentTime().toString(QStringLiteral("HH:mm")),
                 text.toHtmlEscaped().replace(u'\n', QStringLiteral("<br>"))));
    m_ui->Lbl_Avviso->show();
    if (isVisible() && !isMinimized())
        return;
    // Window managers give a window coming back from the task bar the keyboard unless it says it
    // takes none; it takes it again once it is shown, for the person who clicks into it.
    QWindow* handle = windowHandle();
    if (handle)
        handle->setFlag(Qt::WindowDoesNotAcceptFocus, true);
    setAttribute(Qt::WA_ShowWithoutActivating);
    showNormal();
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    if (handle)
        QTimer::singleShot(1000, handle,
                           [handle] { handle->setFlag(Qt::WindowDoesNotAcceptFocus, false); });
}

QString ClientWindow::trayTooltip() const {
    if (m_reachable)
        return m_tooltip;
    return QStringLiteral("Velarix CL - server ") + m_ui->Txt_Host->text() +
           QStringLiteral(" non raggiungibile: le stampe arriveranno appena risponde");
}

// The icon and its tooltip say whether documents can arrive; the window's icon too, for the task
// bar where there is no notification area.
void ClientWindow::showReachable(bool reachable) {
    m_reachable = reachable;
    const QIcon icon = reachable ? m_icon : warningIcon(m_icon);
    setWindowIcon(icon);
    if (!m_tray)
        return;
    m_tray->setIcon(icon);
    m_tray->setToolTipText(trayTooltip());
}

void ClientWindow::editPrinters() {
    m_session.log(QStringLiteral("Apertura Gestione Stampanti"));
    PrintersWindow window(m_session.settings().installFolder + PrintersFile::fileName(),
                          QPrinterInfo::availablePrinterNames(), m_prompts, this);
    if (window.exec() == QDialog::Accepted)
        m_session.log(PrintersFile::fileName() + QStringLiteral(" salvato"));
}

void ClientWindow::closeEvent(QCloseEvent* event) {
    m_session.shutdown();
    if (m_tray)
        m_tray->remove();
    event->accept();
    // Also ends a start-up window's loop, should a stop request come while one is up.
    QCoreApplication::quit();
}
