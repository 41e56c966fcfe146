#pragma once

#include "failure.h"
#include "printjob.h"
#include "watchersettings.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class CompanyCodes;
class QFileInfo;
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
// A new file is taken once it is whole: when the system proves that no process (the file server
// serving a workstation included) holds it open for writing; where that cannot be known (a network
// file system, no right to ask), once it has rested unchanged for a scan interval. A file whose
// writer keeps it open is never taken, however long the writer pauses.
//
// It keeps one record per file of the folder (PrintJob, lost on restart and rebuilt from the
// files by the next scan): its state, its workstation, when it arrived or was accepted, since
// when its workstation has been away, and where and when it was last announced, so a file still
// with its client is not offered to the same connection again within the re-offer interval.
// Besides, it remembers the file the periodic pass announced last, where the next one starts.
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
    // Why the print folder cannot be scanned, as the last scan found it; "" when it can. The
    // scan logs the change both ways and shows it on the status label.
    QString folderProblem() const { return m_folderProblem; }

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

    // The files of the folder as the last scan and passes left them, in folder order.
    QList<QueueEntry> queue() const;
    // Changes whenever an entry of queue() is added, removed or changes state or reason.
    quint64 queueRevision() const { return m_revision; }
    // Puts a set-aside file (".ERR") back as a pending one (".PRN", accepted now), so the passes
    // offer it again; logged. Fails when it is not a set-aside file of the folder or its pending
    // name is taken.
    Failure putBack(const QString& fileName);
    // Deletes a file that waits (pending, held or set aside) from the folder and the queue;
    // logged. Refused for a file still arriving (its program may be writing it) or announced
    // (its workstation may be reading it), and for a name that is not in the queue.
    Failure discard(const QString& fileName);

    const WatcherSettings& settings() const { return m_settings; }
    void setSettings(const WatcherSettings& settings) { m_settings = settings; }
    void setScanInterval(qint64 ms) { m_settings.scanIntervalMs = ms; }
    void setReofferInterval(qint64 ms) { m_settings.reofferMs = ms; }
    void setHoldTime(qint64 ms) { m_settings.holdMs = ms; }
    void setExpiry(qint64 ms) { m_settings.expiryMs = ms; }
    // Tests move the clock (UTC).
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    // Whether a file still has a writer (Platform::checkNoWriters unless a test says otherwise).
    using WriterCheck = std::function<Failure(const QString& localPath)>;
    void setWriterCheck(WriterCheck check) { m_writerCheck = std::move(check); }

    // Milliseconds until the youngest new file left waiting to rest has rested long enough (-1:
    // none), so a folder notification can bring the next scan forward. A file known to be held
    // by its writer waits for the writer's close instead.
    qint64 msUntilNextReady() const;

private:
    enum class Step { Next, Announced, End };

    QStringList listEntries() const;
    QString findFolderProblem() const;
    bool checkFolder();
    QString localPath(const QString& name) const;

    // The new-file scan, one entry at a time.
    Step takeNewFile(const QString& name, const QDateTime& now);
    bool matchesCompany(const QString& name) const;
    bool isComplete(const QString& name, const QFileInfo& info, const QDateTime& now);
    bool hasRested(PrintJob& job, const QFileInfo& info, const QDateTime& now);
    void noteWriterCheckMissing(const Failure& why);
    Step accept(const QString& name, const QDateTime& now);
    bool renameToPending(const QString& name, const QString& pendingName);
    void noteListed(const QString& name, const QDateTime& now);
    void forgetUnlisted();
    void restartRests();

    // The dispatch passes.
    QStringList pendingEntries();
    qsizetype periodicStart(const QStringList& names) const;
    Step offer(const QString& name, const QString& prefix, const QString& wanted,
               const QDateTime& now);
    void sweepExpired(const QStringList& names, const QDateTime& now);
    void sweepOne(const QString& name, const QDateTime& now);

    // Lowest registry slot of the workstation, 0 when none.
    int slotOf(const QString& workstation) const;
    // Sends the print request on the lowest matching slot; the slot, or 0 when no slot matched
    // or the send failed.
    int announce(const QString& path, const QString& workstation);
    bool inFlight(const PrintJob& job, const QDateTime& now) const;
    Failure setAside(const QString& name, const QString& why);
    QString holdText(const QString& workstation) const;
    QString expiryText(const QString& workstation) const;
    QDateTime acceptedAt(const QString& name) const;

    // The records: every change of state goes through these.
    PrintJob& record(const QString& name, JobState state, const QDateTime& since);
    PrintJob& pendingRecord(const QString& name);
    void moveTo(PrintJob& job, JobState state, const QString& reason = QString());
    void markAnnounced(PrintJob& job, int slot, const QDateTime& now);
    void hold(PrintJob& job, const QDateTime& now);
    void forget(const QString& name);
    static bool isPendingState(JobState state);

    WatcherHost& m_host;
    CompanyCodes& m_codes;
    WatcherSettings m_settings;
    std::function<QDateTime()> m_clock;
    WriterCheck m_writerCheck;
    bool m_writerCheckMissingLogged = false;
    QString m_folder;
    QString m_localFolder;
    QString m_folderProblem;
    QString m_currentName; // workstation of the file being handled
    QHash<QString, PrintJob> m_jobs;
    QString m_lastPeriodic;
    QStringList m_lastListing; // of the last scan that went through the whole folder
    quint64 m_listing = 0;
    quint64 m_revision = 0;
};
