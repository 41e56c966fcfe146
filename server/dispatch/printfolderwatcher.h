#pragma once

#include "watchersettings.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>

class CompanyCodes;
class WatcherHost;

// Which dispatch pass runs: the periodic one (once a minute, all workstations) or the follow-up
// one (a second after a workstation finished a job, that workstation only). The trace labels
// carry the number of the timer each one had: "PRN-Timer2", "PRN-Timer5".
enum class PassKind { Periodic = 2, FollowUp = 5 };

// The print-folder watcher: the new-file scan (every second) accepts fresh print files by renaming
// them to ".PRN" and announces each to its workstation; a dispatch pass offers one pending file
// again. The print server owns the timers and the follow-up name and calls in here; everything
// runs on its thread.
//
// What it keeps beyond the folder itself (lost on restart, rebuilt from the files):
// - new files seen but not yet rested, so a file still being written is never read;
// - for each pending file: its workstation, when it was accepted, since when its workstation
//   has been away, and where and when it was last announced, so a file still with its client is
//   not offered to the same connection again within the re-offer interval;
// - the file the periodic pass announced last, where the next periodic pass starts.
//
// Apart from a file whose ending names no company, nothing here deletes a print file that nobody
// printed: a file whose workstation stays away past the hold time, whose printing never completes
// within the expiry time, or that has no workstation line is set aside by appending ".ERR" (or
// ".2.ERR", ... when that name is taken), with a log line; a new file whose ".PRN" name is still
// taken by a pending file waits until that one is gone.
class PrintFolderWatcher {
public:
    PrintFolderWatcher(WatcherHost& host, CompanyCodes& codes);

    // folder: the print-folder setting exactly as stored (it prefixes every path sent to the
    // clients); shareRoot: the server's program folder, through which a \\host\Velarix\ folder
    // is reached locally.
    void setPrintFolder(const QString& folder, const QString& shareRoot);
    QString printFolder() const { return m_folder; }
    QString localFolder() const { return m_localFolder; } // "" when the folder cannot be reached

    // One tick of the scan timer.
    void newFileScan();
    // One dispatch pass; a blank workstation means all workstations (the periodic pass, which
    // takes the pending files in turn).
    void dispatchPass(PassKind kind, const QString& workstation);

    // A workstation announced itself ("PC:"). Forgets what was announced to its earlier
    // connection and answers whether a follow-up pass for this name should run (files may wait
    // for it); the server then runs the follow-up pass for it as after "DEL:".
    bool workstationRegistered(const QString& name);
    // "DEL:" arrived for this path (the pool deletes the file first). The file is never
    // announced again; if it could not be deleted, later passes retry the delete.
    void completed(const QString& path);

    const WatcherSettings& settings() const { return m_settings; }
    void setSettings(const WatcherSettings& settings) { m_settings = settings; }
    void setScanInterval(qint64 ms) { m_settings.scanIntervalMs = ms; }
    void setReofferInterval(qint64 ms) { m_settings.reofferMs = ms; }
    void setHoldTime(qint64 ms) { m_settings.holdMs = ms; }
    void setExpiry(qint64 ms) { m_settings.expiryMs = ms; }
    // Tests move the clock (UTC).
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    // Milliseconds until the youngest new file left waiting has rested long enough (-1: none), so
    // a folder notification can bring the next scan forward.
    qint64 msUntilNextReady() const;

private:
    struct Seen {
        qint64 size = -1;
        QDateTime modified;
        quint64 scan = 0;
    };
    struct Pending {
        QString workstation; // as read from the file
        bool workstationKnown = false;
        QDateTime acceptedAt;
        QDateTime absentSince; // invalid while its workstation is connected
        QDateTime announcedAt; // invalid when not announced on a live connection
        int announcedSlot = 0;
        QString announcedTo; // registry name compared form
        bool completed = false;
    };

    QStringList listEntries() const;
    QString localPath(const QString& name) const;
    // Lowest registry slot of the workstation, 0 when none.
    int slotOf(const QString& workstation) const;
    // Sends the print request on the lowest matching slot; the slot, or 0 when no slot matched
    // or the send failed.
    int announce(const QString& path, const QString& workstation);
    bool inFlight(const Pending& pending, const QDateTime& now) const;
    bool setAside(const QString& name, const QString& why);
    QString holdText(const QString& workstation) const;
    QString expiryText(const QString& workstation) const;
    QDateTime acceptedAt(const QString& name);
    void sweepExpired(const QStringList& names, const QDateTime& now);

    WatcherHost& m_host;
    CompanyCodes& m_codes;
    WatcherSettings m_settings;
    std::function<QDateTime()> m_clock;
    QString m_folder;
    QString m_localFolder;
    QString m_currentName; // workstation of the file being handled
    QHash<QString, Seen> m_waiting;
    QHash<QString, Pending> m_pending;
    QString m_lastPeriodic;
    quint64 m_scanNumber = 0;
    QDateTime m_lastScan;
};
