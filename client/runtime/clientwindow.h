#pragma once

#include "clientsettings.h"
#include "importhost.h"
#include "logfile.h"

#include <QMainWindow>
#include <QPair>
#include <QQueue>
#include <memory>

namespace Ui {
class VelarixCL;
}
class ClientConnection;
class DocumentImport;
class ReportEngine;
class SocketArray;
class UserPrompts;
class TrayIcon;

// The client's main window VelarixCL: owns the socket, the connection timer, the document import
// and the tray icon. Start-up runs from startUp(); closing the window ends the program.
class ClientWindow : public QMainWindow, public ImportHost {
    Q_OBJECT
public:
    struct Options {
        bool afterUpdate = false; // started again by the updater: never hand over a second time
    };

    ClientWindow(UserPrompts& prompts, Options options, QWidget* parent = nullptr);
    ~ClientWindow() override;

    // Runs the start-up sequence. False when the program must end (update handed over to the
    // updater, or the server's share unreachable); the window has then already closed itself.
    bool startUp();

    // ImportHost
    void listAdd(const QString& line) override;
    void listRedraw() override;
    void log(const QString& text) override;
    void processEvents() override;
    Failure sendReply(int socketIndex, const QString& text) override;
    void notifyPrintError(const QString& text) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void readCopiesSettings();
    void startUpdater();
    void hideInTray(const QString& tooltip);
    void restore();
    void onMessage(const QString& text, int element);
    void sendByHand();

    std::unique_ptr<Ui::VelarixCL> m_ui;
    UserPrompts& m_prompts;
    Options m_options;
    LogFile m_log;
    ClientSettings m_settings;
    SocketArray* m_sockets = nullptr;
    ClientConnection* m_connection = nullptr;
    std::unique_ptr<ReportEngine> m_report;
    std::unique_ptr<DocumentImport> m_import;
    TrayIcon* m_tray = nullptr;
    QQueue<QPair<QString, int>> m_pending;
    bool m_handling = false;
    bool m_closed = false;
};
