#pragma once

#include "startupdialogs.h"

#include <QIcon>
#include <QMainWindow>
#include <memory>

namespace Ui {
class VelarixCL;
}
class ActivityList;
class ClientSession;
class QLabel;
class UserPrompts;
class TrayIcon;

// The client's main window (object name VelarixCL): shows the session's state (status bar, list,
// host and port boxes, tray icon), forwards the buttons to it and answers its start-up dialogs.
// Closing the window ends the program.
class ClientWindow : public QMainWindow, public StartupDialogs {
    Q_OBJECT
public:
    ClientWindow(ClientSession& session, UserPrompts& prompts, QWidget* parent = nullptr);
    ~ClientWindow() override;

    // Runs the session's start-up and hides the window in the tray. False when the program must
    // end; the window has then closed itself.
    bool startUp();

    // StartupDialogs
    QString searchServer(const QString& serverHost, const QString& installFolder) override;
    UpdateCheck::Outcome checkForUpdate(const UpdateCheck& check, bool collectAll) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showSession();
    void hideInTray(const QString& tooltip);
    void restore();
    void showNotice(const QString& title, const QString& text);
    void showReachable(bool reachable);
    QString trayTooltip() const;
    void editPrinters(); // "Impostazioni → Stampanti"

    std::unique_ptr<Ui::VelarixCL> m_ui;
    ClientSession& m_session;
    UserPrompts& m_prompts;
    TrayIcon* m_tray = nullptr;
    ActivityList* m_list = nullptr;
    QLabel* m_status = nullptr; // the status bar's text
    QIcon m_icon;            // the program's own; a warning mark is added while the server is away
    QString m_tooltip;       // of the last hand-off to the tray
    bool m_reachable = true; // the server, as last told
};
