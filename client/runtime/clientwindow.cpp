#include "clientwindow.h"

#include "ui_clientwindow.h"

#include "clientconnection.h"
#include "trayicon.h"
#include "documentimport.h"
#include "processstart.h"
#include "report/reportengine.h"
#include "runtimeenv.h"
#include "search/serversearchrun.h"
#include "sharepath.h"
#include "socketarray.h"
#include "update/updatecheckrun.h"
#include "userprompts.h"
#include "version.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QStyle>

namespace {
const QString LogName = QStringLiteral("VXCreg.txt");
}

ClientWindow::ClientWindow(UserPrompts& prompts, Options options, QWidget* parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::VelarixCL>()), m_prompts(prompts),
      m_options(options), m_log(LogName)
{
    m_ui->setupUi(this);
    setWindowIcon(style()->standardIcon(QStyle::SP_ComputerIcon));
    m_ui->Picture1->setPixmap(windowIcon().pixmap(48, 48));
    m_ui->SB->showMessage(QString());

    m_sockets = new SocketArray(this);
    m_connection = new ClientConnection(*m_sockets, [this](const QString& t) { log(t); }, this);
    const RuntimeEnv& env = RuntimeEnv::get();
    m_connection->setBasePort(env.basePort);
    m_connection->setTimerInterval(env.interval(1000));
    m_connection->setWorkstationName(env.pcName.isEmpty() ? SocketArray::localHostName()
                                                          : env.pcName);

    connect(m_connection, &ClientConnection::statusChanged, this,
            [this](const QString& t) { m_ui->SB->showMessage(t); });
    connect(m_connection, &ClientConnection::callButtonEnabled, m_ui->Cmd_Call,
            &QWidget::setEnabled);
    connect(m_connection, &ClientConnection::closeButtonEnabled, m_ui->Cmd_Close,
            &QWidget::setEnabled);
    connect(m_connection, &ClientConnection::portShown, m_ui->Txt_Port, &QLineEdit::setText);
    connect(m_connection, &ClientConnection::listAdd, this,
            [this](const QString& line) { m_ui->Lst_DataSent->addItem(line); });
    connect(m_connection, &ClientConnection::messageReceived, this, &ClientWindow::onMessage);

    // The host typed in the box is the one the next sweep calls.
    connect(m_ui->Txt_Host, &QLineEdit::textChanged, m_connection, &ClientConnection::setHost);
    connect(m_ui->Cmd_Call, &QPushButton::clicked, m_connection,
            &ClientConnection::connectAction);
    connect(m_ui->Cmd_Close, &QPushButton::clicked, m_connection,
            &ClientConnection::disconnectAction);
    connect(m_ui->Cmd_Send, &QPushButton::clicked, this, &ClientWindow::sendByHand);
    connect(m_ui->Command1, &QPushButton::clicked, this, [this] {
        log(QStringLiteral("Riduci a icona"));
        hideInTray(QStringLiteral("Apri Programma (Velarix CL)"));
    });
}

ClientWindow::~ClientWindow() = default;

bool ClientWindow::startUp()
{
    const RuntimeEnv& env = RuntimeEnv::get();
    log(QStringLiteral("****Apertura Programma****"));
    m_ui->Label2->setText(QString::number(VELARIX_REVISION));

    m_settings.serverHost.clear();
    m_settings.installFolder = QDir(QCoreApplication::applicationDirPath()).absolutePath();
    if (!m_settings.installFolder.endsWith(QLatin1Char('/')))
        m_settings.installFolder += QLatin1Char('/');
    m_settings.shareRoot = env.shareRoot;
    m_settings.serverHost = ClientSettings::readServerHost(m_settings.installFolder);

    if (m_settings.serverHost.trimmed().isEmpty()) {
        m_settings.serverHost =
            runServerSearch(this, m_settings.serverHost, m_settings.installFolder, m_prompts);
        // A stop request ends the modal window's loop too; start-up must not go on after it.
        if (m_closed)
            return false;
    }

    m_settings.documentsConnection =
        Database::connectionText(m_settings.installFolder + QStringLiteral("Documenti.mdb"));
    m_settings.sharePath = ClientSettings::sharePathFor(m_settings.serverHost);
    m_ui->Txt_Host->setText(m_settings.serverHost);
    m_connection->setHost(m_settings.serverHost);

    m_sockets->create(ClientConnection::Element);
    m_ui->Lbl_Des->setText(QStringLiteral(
        "Questo client chiama un server all'indirizzo indicato nella casella sottostante"));

    m_settings.updateFound = false;
    log(QStringLiteral("Controllo Aggiornamenti"));
    const UpdateCheckResult check =
        runUpdateCheck(this, m_settings.sharePath, m_settings.shareRoot, m_settings.installFolder,
                       m_prompts, [this](const QString& t) { log(t); }, m_options.afterUpdate);
    if (m_closed)
        return false;
    if (check.outcome == UpdateCheckResult::Outcome::EndProgram) {
        close();
        return false;
    }
    m_settings.updateFound = check.outcome == UpdateCheckResult::Outcome::UpdateFound;
    if (m_settings.updateFound) {
        log(QStringLiteral("Aggiornamento rilevato"));
        startUpdater();
        close();
        return false;
    }

    readCopiesSettings();
    m_report = std::make_unique<ReportEngine>(
        m_settings.installFolder, env.pdfDir,
        ReportEngineHooks{[this](const QString& l) { listAdd(l); }, [this] { listRedraw(); },
                          [this](const QString& t) { log(t); }});
    DocumentImportSettings importSettings;
    importSettings.installFolder = m_settings.installFolder;
    importSettings.documentsConnection = m_settings.documentsConnection;
    importSettings.copiesTable = m_settings.copies.copies;
    importSettings.perCompanyReports = m_settings.copies.perCompany;
    importSettings.perBranchReports = m_settings.copies.perBranch;
    importSettings.shareRoot = m_settings.shareRoot;
    m_import = std::make_unique<DocumentImport>(*this, *m_report, importSettings);

    m_connection->arm();
    hideInTray(QStringLiteral("Apri il programma (Velarix CL)"));
    return true;
}

void ClientWindow::readCopiesSettings()
{
    m_settings.copies = CopiesFile::readForClient(m_settings.installFolder + QStringLiteral("Copie.txt"));
}

void ClientWindow::startUpdater()
{
    // The updater runs from the server's share and gets our folder, blanks and all, as its only
    // argument.
    const QString updater = m_settings.onShare(QStringLiteral("VelarixUpd"));
    if (updater.isEmpty() ||
        !startDetached(updater, {m_settings.installFolder}, QDir::currentPath())) {
        const QString text = QStringLiteral("Impossibile avviare l'aggiornamento: ") +
                             m_settings.sharePath + QStringLiteral("VelarixUpd");
        log(text);
        m_prompts.message(text);
    }
}

void ClientWindow::hideInTray(const QString& tooltip)
{
    hideToTray(m_tray, this, m_ui->Picture1, tooltip, &m_prompts);
    if (m_tray)
        connect(m_tray, &TrayIcon::doubleClicked, this, &ClientWindow::restore,
                Qt::UniqueConnection);
}

void ClientWindow::restore()
{
    restoreFromTray(m_tray, this, &m_prompts);
}

void ClientWindow::onMessage(const QString& text, int element)
{
    // A message that arrives while a document is being imported (the import lets window events
    // run) waits for the run to end, so runs never nest and nothing is dropped.
    m_pending.enqueue({text, element});
    if (m_handling)
        return;
    m_handling = true;
    while (!m_pending.isEmpty()) {
        const auto [message, index] = m_pending.dequeue();
        m_ui->Lst_DataSent->clear();
        m_ui->Lst_DataSent->addItem(QStringLiteral("Ricevuto: ") + message);
        m_ui->Lst_DataSent->repaint();
        log(QStringLiteral("Ricevuto: ") + message);
        if (m_import)
            m_import->receive(message, index);
    }
    m_handling = false;
}

void ClientWindow::sendByHand()
{
    log(QStringLiteral("Tasto Invia"));
    if (!m_connection->isConnected()) {
        m_prompts.message(QStringLiteral("Connessione non stabilita"));
        return;
    }
    const QString text = m_prompts.input(QStringLiteral("Messaggio da inviare"));
    m_connection->sendText(text);
    m_ui->Lst_DataSent->addItem(QStringLiteral("Inviato: ") + text);
}

void ClientWindow::listAdd(const QString& line)
{
    m_ui->Lst_DataSent->addItem(line);
}

void ClientWindow::listRedraw()
{
    m_ui->Lst_DataSent->scrollToBottom();
    m_ui->Lst_DataSent->repaint();
}

void ClientWindow::log(const QString& text)
{
    m_log.write(text);
}

void ClientWindow::processEvents()
{
    QCoreApplication::processEvents();
}

Failure ClientWindow::sendReply(int socketIndex, const QString& text)
{
    return m_sockets->send(socketIndex, text);
}

void ClientWindow::notifyPrintError(const QString& text)
{
    if (m_tray && m_tray->isShown())
        m_tray->notify(QStringLiteral("Velarix"), text);
}

void ClientWindow::closeEvent(QCloseEvent* event)
{
    if (!m_closed) {
        m_closed = true;
        log(QStringLiteral("Chiusura Porta"));
        m_connection->shutdown();
        log(QStringLiteral("****Chiusura Programma****"));
        if (m_tray)
            m_tray->remove();
    }
    event->accept();
    QCoreApplication::quit();
}
