#pragma once

#include "failure.h"
#include "jobbook.h"
#include "printfilerules.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

class QFileInfo;

// The new-file scan (every second): accepts fresh print files by renaming them to ".PRN" and
// announces each to its workstation.
//
// A new file is taken once it is whole: when the system proves that no process (the file server
// serving a workstation included) holds it open for writing and it has not changed for a moment
// (a short settle when it holds a whole document, a second otherwise); where that cannot be known
// (a network file system, no right to ask), once it has rested unchanged for a scan interval. A
// file whose writer keeps it open is never taken, however long the writer pauses. A new file whose
// ".PRN" name is still taken by a pending file waits until that one is gone.
class NewFileIntake {
public:
    explicit NewFileIntake(JobBook& book);

    // Why the print folder cannot be scanned, as the last scan found it; "" when it can. The
    // scan logs the change both ways and shows it on the status label.
    QString folderProblem() const { return m_folderProblem; }
    // One tick of the scan timer.
    void newFileScan();
    // The print folder changed.
    void reset() {
        m_lastListing.clear();
        m_readers.clear();
        m_folderStamp = QDateTime();
    }

    // Whether a file still has a writer (Platform::checkNoWriters unless a test says otherwise).
    using WriterCheck = std::function<Failure(const QString& localPath)>;
    void setWriterCheck(WriterCheck check) { m_writerCheck = std::move(check); }
    // Milliseconds until the youngest new file left waiting to rest has rested long enough (-1:
    // none), so a folder notification can bring the next scan forward. A file known to be held
    // by its writer waits for the writer's close instead.
    qint64 msUntilNextReady() const;

private:
    using Step = WatchStep;

    QString findFolderProblem() const;
    bool checkFolder();
    Step takeNewFile(const QString& name, const QDateTime& now);
    bool matchesCompany(const QString& name) const;
    bool isComplete(const QString& name, const QFileInfo& info, const QDateTime& now);
    qint64 settleTime(const QFileInfo& info, const QDateTime& now) const;
    bool hasRested(PrintJob& job, const QFileInfo& info, const QDateTime& now, qint64 restMs);
    void noteWriterCheckMissing(const Failure& why);
    Step accept(const QString& name, const QFileInfo& info, const QDateTime& now);
    Step takeFor(const QString& name, const QString& workstation, const QDateTime& now);
    bool folderMayHaveChanged();
    void revisitWaiting(const QDateTime& now);
    std::pair<JobCause, QString> refusal(const QString& name, const QFileInfo& info) const;
    void leaveAlone(const QString& name, JobCause cause, const QString& why, const QDateTime& now);
    bool renameToPending(const QString& name, const QString& pendingName);
    void noteListed(const QString& name, const QDateTime& now);
    void forgetUnlisted();
    void restartRests();

    JobBook& m_book;
    WriterCheck m_writerCheck;
    bool m_writerCheckMissingLogged = false;
    QString m_folderProblem;
    QStringList m_lastListing; // of the last scan that went through the whole folder
    QHash<QString, PrintFileRules::WorkstationLineReader> m_readers; // files half read
    QDeadlineTimer m_readBudget;
    // The workstations whose client holds a file, found once a scan announces (comparable names).
    std::optional<QSet<QString>> m_busy;
    QDateTime m_folderStamp; // the folder's time stamp when it was last listed
    bool m_stampSettled = false;
    int m_quickScans = 0; // scans since that listing
};
