#pragma once

#include "failure.h"
#include "printjob.h"
#include "watcherclock.h"
#include "watchersettings.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

class CompanyCodes;
class WatcherHost;

// Texts both the new-file intake and the dispatch passes use.
namespace WatcherTexts {
inline const QString Waiting = QStringLiteral("Attesa....");
inline const QString ErrSuffix = QStringLiteral(".ERR");
inline const QString PrnSuffix = QStringLiteral(".PRN");
inline const QString NoWorkstationLine = QStringLiteral("manca la riga PC:");
inline const QString EmptyWorkstation = QStringLiteral("nome pc vuoto nella riga PC:");
} // namespace WatcherTexts

// How handling one file of the folder ended for a scan or pass: go on with the next file, stop
// (a file was announced), or stop because the file is gone since the listing.
enum class WatchStep { Next, Announced, End };

// The print folder and the watcher's record of each of its files (PrintJob, lost on restart and
// rebuilt from the files by the next scan), shared by the new-file intake and the dispatch passes:
// every change of a file's state goes through here, and so do announcing a file to its
// workstation and setting one aside. The queue view and its actions (put back, discard) read and
// change the same records.
//
// Apart from a file whose ending names no company, nothing here deletes a print file that nobody
// printed: a file whose workstation stays away past the hold time, whose printing never completes
// within the expiry time, or that has no workstation line is set aside by appending ".ERR" (or
// ".2.ERR", ... when that name is taken), with a log line.
class JobBook {
public:
    JobBook(WatcherHost& host, CompanyCodes& codes);

    WatcherHost& host() const { return m_host; }
    CompanyCodes& codes() const { return m_codes; }
    WatcherSettings settings;
    WatcherClock clock = WatcherClock::system();
    qint64 monotonicNow() const { return clock.monotonicMs(); }
    // The monotonic time of a wall-clock moment that has passed (a file's time stamp): now less
    // its age as the wall clock tells it; none for an invalid time.
    std::optional<qint64> monotonicAt(const QDateTime& wall) const;

    // True when the folder changed (its records were dropped).
    bool setPrintFolder(const QString& folder, const QString& shareRoot);
    const QString& folder() const { return m_folder; }
    const QString& localFolder() const { return m_localFolder; }
    QString localPath(const QString& name) const;
    // The folder's entries in folder order ("" folder: none); names that are not valid text
    // cannot be opened or renamed, and go to badNames instead.
    QStringList listEntries(QStringList* badNames = nullptr) const;
    // Starts a new listing of the folder: records found by it are stamped with its number.
    quint64 nextListing() { return ++m_listing; }
    quint64 listing() const { return m_listing; }

    // The records.
    QHash<QString, PrintJob>& jobs() { return m_jobs; }
    const QHash<QString, PrintJob>& jobs() const { return m_jobs; }
    // A new record is stamped with since (a wall-clock moment: now, or a file's time stamp).
    PrintJob& record(const QString& name, JobState state, const QDateTime& since);
    PrintJob& record(const QString& name, JobState state);
    PrintJob& pendingRecord(const QString& name);
    void moveTo(PrintJob& job, JobState state, const QString& reason = QString());
    void markAnnounced(PrintJob& job, int slot);
    void hold(PrintJob& job);
    void forget(const QString& name);
    // Counts a change of the queue that the calls above do not see (an erase by iterator).
    void changed() { ++m_revision; }
    quint64 revision() const { return m_revision; }
    static bool isPendingState(JobState state);
    std::optional<qint64> acceptedAt(const QString& name) const;
    // The set-aside file that was announced under this pending name, "" when none.
    QString setAsideAs(const QString& pendingName) const;
    bool expired(const PrintJob& job) const;

    // Lowest registry slot of the workstation, 0 when none.
    int slotOf(const QString& workstation) const;
    // Sends the print request on the lowest matching slot; the slot, or 0 when no slot matched
    // or the send failed.
    int announce(const QString& path, const QString& workstation);
    // Announced, within the re-offer interval, on a connection that still carries the name it
    // was announced to: its client holds it.
    bool inFlight(const PrintJob& job) const;
    // Comparable names of the workstations whose client holds a file now.
    QSet<QString> busyWorkstations() const;
    Failure setAside(const QString& name, const QString& why, JobCause cause = JobCause::Other);
    QString holdText(const QString& workstation) const;
    QString expiryText(const QString& workstation) const;

    // The queue view and its actions (see PrintFolderWatcher).
    QList<QueueEntry> queue() const;
    QString failureReported(const QString& path, const QString& workstation, const QString& reason);
    void restoreReason(const QString& fileName, const QString& reason, JobCause cause);
    // workstation: receives the workstation the file is for ("" when unknown).
    Failure putBack(const QString& fileName, QString* workstation = nullptr);
    Failure discard(const QString& fileName);

    // Name order, ignoring case, as the office's file server lists them.
    static bool inFolderOrder(const QString& a, const QString& b);
    // The name a file is set aside under: its name + ".ERR", or, when a file set aside earlier
    // holds that name (the management program may reuse names), name + ".2.ERR", ".3.ERR", ...
    static QString asideName(const QString& local);
    static void stampModified(const QString& local, const QDateTime& when);
    static QString number(double value);

    // A rename or delete of the folder's file that failed, said in Italian.
    Failure fileFailure(const QString& name, const QString& action) const;

private:
    WatcherHost& m_host;
    CompanyCodes& m_codes;
    QString m_folder;
    QString m_localFolder;
    QHash<QString, PrintJob> m_jobs;
    quint64 m_listing = 0;
    quint64 m_revision = 0;
};
