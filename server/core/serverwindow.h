#pragma once

#include "adminhost.h"
#include "companycodes.h"
#include "poolhost.h"
#include "watcherhost.h"

#include <QMainWindow>
#include <QString>
#include <memory>

class TrayIcon;
class EarlyScan;
class PortPool;
class PrintFolderWatcher;
class QTimer;
class ServerConsole;
class UserPrompts;

namespace Ui {
class VelarixSrv;
}

// The server's main window VelarixSrv: start-up and shutdown, the trace switch, the port and
// message lists, the settings menu and the five timers. The port pool, the watcher and the
// settings windows do the work; the window hosts them (PoolHost, WatcherHost, AdminHost).
//
// Life: construct (Timer3 and Timer4 start running), startUp() (the start-up sequence after the
// single-instance check), show(), firstActivation() (opens the 25 ports once), shutDown() on
// close (every slot closed), terminate() at the very end.
class ServerWindow : public QMainWindow, public PoolHost, public WatcherHost, public AdminHost {
    Q_OBJECT
public:
    static const QString ProgramName; // "VelarixSrv"
    static const QString LogFileName; // "VXreg.txt", in the current directory
    static constexpr int PortCount = 25;

    ServerWindow(const QString& programFolder, UserPrompts& prompts, QWidget* parent = nullptr);
    ~ServerWindow() override;

    void startUp();         // Form_Load, from the first log line on
    void firstActivation(); // Form_Activate: the first call opens the ports
    void shutDown();        // Form_Unload: closes every slot (once)
    void terminate();       // Form_Terminate: last log line, icon removed

    PortPool& pool() { return *m_pool; }
    PrintFolderWatcher* watcher() const { return m_watcher.get(); }
    ServerConsole& console() { return *m_console; }
    QTimer* timer(int number) const; // Timer1 .. Timer5
    QString followUpName() const { return m_followUpName; }
    QString activationTag() const { return m_tag; }
    bool hasShutDown() const { return m_shutDown; }
    QString programFolder() const { return m_programFolder; }
    const CompanyCodes& codes() const { return m_codes; }

    // PoolHost
    void portListReplaced(const QStringList& lines) override;
    void portLineChanged(int row, const QString& line) override;
    void log(const QString& text) override;
    void spy(const QString& trace) override;
    void message(const QString& line, bool select) override;
    void printFileCompleted(const QString& path) override;
    void followUpRequested(const QString& name) override;
    void workstationRegistered(int slot, const QString& name) override;

    // WatcherHost
    QString registryName(int slot) const override;
    bool sendOnSlot(int slot, const QString& text) override;
    void messageList(const QString& line) override;
    void setStatusLabel(const QString& text) override;
    void setScanTimerEnabled(bool on) override;

    // AdminHost
    void setWatcherRunning(bool on) override;
    void setPrintFolder(const QString& folder) override;
    QString printFolder() const override { return m_printFolder; }
    QString clientFolder() const override;
    CompanyCodes& companyCodes() override { return m_codes; }
    UserPrompts& prompts() override { return m_prompts; }

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QTimer* makeTimer(const QString& name, int milliseconds, bool singleShot);
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    void Timer5_Timer();
    void mnuDatiDitta_Click();
    void mnuNumCopie_Click();
    void MinimizeToTray();
    void openCopieWindow();
    Failure loadCompanyCodes();

    std::unique_ptr<Ui::VelarixSrv> m_ui;
    QString m_programFolder;
    UserPrompts& m_prompts;
    ServerConsole* m_console;
    PortPool* m_pool;
    CompanyCodes m_codes;
    std::unique_ptr<PrintFolderWatcher> m_watcher;
    EarlyScan* m_earlyScan = nullptr;
    TrayIcon* m_tray = nullptr;
    QTimer* m_timers[6] = {};
    QString m_printFolder;
    QString m_followUpName;
    QString m_tag; // "Activated" after the first activation
    bool m_shutDown = false;
    bool m_terminated = false;
};
