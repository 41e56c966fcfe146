#pragma once

#include "printserverhost.h"

#include <QMainWindow>
#include <memory>

class PrintServer;
class QTimer;
class TrayIcon;
class UserPrompts;

namespace Ui {
class VelarixSrv;
}

// The server's main window VelarixSrv. It shows the print server's state (caption, local
// address, port list, message list, status label) and forwards the user's commands: the trace
// and message switches, the settings menu and closing. Its own are the hand-off to the
// notification area three seconds after creation and minimising to it, the list of the documents
// waiting, and the question before closing. The first activation opens the ports.
class ServerWindow : public QMainWindow, public PrintServerHost {
    Q_OBJECT
public:
    ServerWindow(PrintServer& server, UserPrompts& prompts, QWidget* parent = nullptr);
    ~ServerWindow() override;

    // PrintServerHost: the copies window, unless nobody is there to fill it in.
    void askForPrintFolder() override;
    // Whether closing asks first; not in unattended runs (tests switch it on).
    void setAskBeforeClosing(bool ask) { m_askBeforeClosing = ask; }

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showServerState();
    void addMessage(const QString& line, bool select);
    void dropOldestMessages(int count);
    void showPortLine(int row, const QString& line);
    void handOffToTray();
    void minimizeToTray();
    void openLetterheadWindow();
    void openCopiesWindow();
    void showCopiesWindow();
    void removeTrayIcon();
    void showPrintingState(const QString& why);
    void showCaption();
    QString trayTooltip(const QString& usual) const;

    std::unique_ptr<Ui::VelarixSrv> m_ui;
    PrintServer& m_server;
    UserPrompts& m_prompts;
    QTimer* m_trayTimer; // the one hand-off to the notification area after creation
    TrayIcon* m_tray = nullptr;
    QString m_tooltip; // of the last hand-off to the tray
    bool m_askBeforeClosing;
};
