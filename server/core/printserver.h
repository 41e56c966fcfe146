#pragma once

#include "adminhost.h"
#include "companycodes.h"
#include "poolhost.h"
#include "printjob.h"
#include "watcherhost.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class ClientFolderWatch;
class EarlyScan;
class PortPool;
class PrintFolderWatcher;
class PrintServerHost;
class QTimer;
class ServerConsole;
class SetAsideReasons;
class UserPrompts;

// The print server's work, without widgets: the start-up steps, the 25 ports and the workstation
// registry, the print-folder watcher with its timers and the follow-up pass, the company codes,
// the activity log and the shutdown. The server window shows its state through the accessors and
// signals below and forwards the user's commands; headless runs and tests drive it directly.
//
// Life: construct (the port-list refresh runs from here on), startUp() (from the first log line
// on; the single-instance check is the caller's), openPorts() (once; later calls do nothing),
// shutDown() (every slot closed, timers stopped; once), terminate() (the last log line; once).
// The destructor does whatever of the last two has not been done.
class PrintServer : public QObject, public PoolHost, public WatcherHost, public AdminHost {
    Q_OBJECT
public:
    static const QString ProgramName; // "VelarixSrv"
    static const QString LogFileName; // "VXreg.txt", in the current directory
    static constexpr int PortCount = 25;

    // basePort: the first of the 25 ports (1500 unless the environment or a test says otherwise).
    PrintServer(const QString& programFolder, UserPrompts& prompts, int basePort,
                QObject* parent = nullptr);
    ~PrintServer() override;

    // Who answers the start-up's request for a print folder; none by default.
    void setHost(PrintServerHost* host) { m_host = host; }
    // A server started by the system's service manager is started at boot by it: the start-up
    // then registers no start at log-on.
    void setRunsAsService(bool on) { m_runsAsService = on; }

    void startUp();
    void openPorts();
    void shutDown();
    void terminate();

    bool portsOpened() const { return m_portsOpened; }
    bool hasShutDown() const { return m_shutDown; }
    // The new-file scan and the periodic pass are on (off while a settings window is open).
    bool isWatcherRunning() const;

    QString caption() const { return m_caption; }
    QString localIp() const { return m_localIp; }
    QString status() const { return m_status; } // "" until the watcher first writes it
    // Why printing is stopped for the whole office (the print folder not set, missing or
    // unreadable, in the watcher's words), "" while it runs.
    QString printingStopped() const { return m_stopped; }
    QStringList portLines() const;
    // The workstations whose follow-up pass is due (each once).
    QStringList followUps() const { return m_followUps; }
    QString programFolder() const { return m_programFolder; }
    const CompanyCodes& codes() const { return m_codes; }

    // The print folder's files and their states, as the watcher last saw them; queueChanged()
    // tells when to look again.
    QList<QueueEntry> queue() const;
    // Puts a set-aside file back in the queue as a pending one (see PrintFolderWatcher).
    Failure putBack(const QString& fileName);
    // Deletes a waiting file from the folder and the queue (see PrintFolderWatcher).
    Failure discard(const QString& fileName);

    ServerConsole& console() { return *m_console; }
    PortPool& pool() { return *m_pool; }
    PrintFolderWatcher& watcher() { return *m_watcher; }

    // The trace switch (TraceON) and message display (OPT1).
    void setTraceOn(bool on);
    void setMessageDisplay(bool on);

    // PoolHost
    void portListReplaced(const QStringList& lines) override;
    void portLineChanged(int row, const QString& line) override;
    void log(const QString& text) override;
    void trace(const QString& label) override;
    void message(const QString& line, bool select) override;
    void printFileCompleted(const QString& path) override;
    QString workstationOf(const QString& path) const override;
    void followUpRequested(const QString& name) override;
    void workstationRegistered(int slot, const QString& name) override;
    void connectionEnded(int slot) override;
    void printFileFailed(const QString& name, const Wire::FailureReport& report) override;

    // WatcherHost
    QString registryName(int slot) const override;
    Failure sendOnSlot(int slot, const QString& text) override;
    void message(const QString& line) override;
    void setStatusLabel(const QString& text) override;
    void setScanTimerEnabled(bool on) override;
    bool refreshCompanyCodes() override;

    // AdminHost
    void setWatcherRunning(bool on) override;
    void setPrintFolder(const QString& folder) override;
    QString printFolder() const override { return m_printFolder; }
    QString clientFolder() const override;
    CompanyCodes& companyCodes() override { return m_codes; }
    UserPrompts& prompts() override { return m_prompts; }

signals:
    void captionChanged(const QString& caption);
    void localIpChanged(const QString& address);
    void statusChanged(const QString& text);
    // The whole port list, or one line of it (row = slot - 1), as the list Lst_Port shows it.
    void portListChanged(const QStringList& lines);
    void portRowChanged(int row, const QString& line);
    void queueChanged();
    // Printing stopped (why) or went on again ("").
    void printingStoppedChanged(const QString& why);

private:
    QTimer* makeTimer(int milliseconds, bool singleShot);
    void readPrintFolder();
    Failure loadCompanyCodes();
    void onScanTick();
    void onPeriodicPassTick();
    void onFollowUpTick();
    void takeUpCopies();
    void takeUpLetterheads();
    void startFollowUp(const QString& name);
    void noticeQueueChange();

    QString m_programFolder;
    UserPrompts& m_prompts;
    PrintServerHost* m_host = nullptr;
    ServerConsole* m_console;
    PortPool* m_pool;
    CompanyCodes m_codes;
    std::unique_ptr<PrintFolderWatcher> m_watcher;
    EarlyScan* m_earlyScan = nullptr;
    QTimer* m_scanTimer;        // new-file scan, every second
    QTimer* m_periodicTimer;    // dispatch pass for all workstations, every minute
    QTimer* m_portRefreshTimer; // port list rebuilt, every ten seconds
    QTimer* m_followUpTimer;    // dispatch pass for m_followUps, once the event at hand is done
    ClientFolderWatch* m_clientWatch; // settings changed by others, taken up without a restart
    std::unique_ptr<SetAsideReasons> m_asideReasons; // kept across a restart
    QString m_caption;
    QString m_localIp;
    QString m_status;
    QString m_stopped;
    QString m_printFolder;
    QStringList m_followUps;
    quint64 m_queueRevision = 0;
    bool m_runsAsService = false;
    bool m_portsOpened = false;
    bool m_shutDown = false;
    bool m_terminated = false;
};
