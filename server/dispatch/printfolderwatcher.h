#pragma once

#include "dispatchpasses.h"
#include "failure.h"
#include "jobbook.h"
#include "newfileintake.h"
#include "printjob.h"
#include "unknowncompanyfiles.h"
#include "watchersettings.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>

class CompanyCodes;
class WatcherHost;

// The print-folder watcher: the new-file intake (NewFileIntake) takes fresh print files and
// announces them, the dispatch passes (DispatchPasses) offer pending files again, and both keep
// the records of the folder's files in one JobBook. The print server owns the timers and the
// follow-up passes and calls in here; everything runs on its thread.
class PrintFolderWatcher {
public:
    PrintFolderWatcher(WatcherHost& host, CompanyCodes& codes);

    // folder: the print-folder setting exactly as stored (it prefixes every path sent to the
    // clients); shareRoot: the server's program folder, through which a \\host\Velarix\ folder
    // is reached locally.
    void setPrintFolder(const QString& folder, const QString& shareRoot);
    QString printFolder() const { return m_book.folder(); }
    QString localFolder() const {
        return m_book.localFolder();
    } // "" when the folder cannot be reached
    // Why the print folder cannot be scanned, as the last scan found it; "" when it can. The
    // scan logs the change both ways and shows it on the status label.
    QString folderProblem() const { return m_intake.folderProblem(); }

    // One tick of the scan timer.
    void newFileScan() { m_intake.newFileScan(); }
    // One dispatch pass for these workstations, at most one file each; none means all
    // workstations (the periodic pass, which takes the pending files in turn).
    void dispatchPass(PassKind kind, const QStringList& workstations) {
        m_passes.dispatchPass(kind, workstations);
    }
    // A blank workstation means all workstations.
    void dispatchPass(PassKind kind, const QString& workstation) {
        dispatchPass(kind,
                     workstation.trimmed().isEmpty() ? QStringList() : QStringList{workstation});
    }

    // A workstation announced itself ("PC:"). Forgets what was announced to its earlier
    // connection and answers whether a follow-up pass for this name should run (files may wait
    // for it); the server then runs the follow-up pass for it as after "DEL:".
    bool workstationRegistered(const QString& name) { return m_passes.workstationRegistered(name); }
    // "DEL:" arrived for this path (the pool deletes the file first). The file is never
    // announced again; if it could not be deleted, later passes retry the delete.
    // A file set aside meanwhile that had been announced under that path is completed too.
    void completed(const QString& path) { m_passes.completed(path); }
    // The workstation the file a message path names is for: the name it was announced to, else
    // its workstation line; "" when the path names no file of the folder or the file none.
    QString workstationOf(const QString& path) const;
    // The connection on a slot closed or died: the files announced on it wait again (held when
    // their workstation has no other connection). Returns the workstations that are still
    // connected elsewhere, for a follow-up pass.
    QStringList connectionEnded(int slot) { return m_passes.connectionEnded(slot); }

    // The files of the folder as the last scan and passes left them, in folder order.
    QList<QueueEntry> queue() const { return m_book.queue(); }
    // Changes whenever an entry of queue() is added, removed or changes state or reason.
    quint64 queueRevision() const { return m_book.revision(); }
    // Puts a set-aside file (".ERR") back as a pending one (".PRN", accepted now), so the passes
    // offer it again; logged. Fails when it is not a set-aside file of the folder or its pending
    // name is taken. workstation receives the workstation it is for, "" when unknown.
    Failure putBack(const QString& fileName, QString* workstation = nullptr) {
        return m_book.putBack(fileName, workstation);
    }
    // Deletes a file that waits (pending, held or set aside) from the folder and the queue;
    // logged. Refused for a file still arriving (its program may be writing it) or announced
    // (its workstation may be reading it), and for a name that is not in the queue.
    Failure discard(const QString& fileName) { return m_book.discard(fileName); }
    // After the company codes were read anew: files set aside only for an unknown company that
    // is now there go back in the queue (see UnknownCompanyFiles). Not from inside a scan or pass.
    int putBackKnownCompanies() { return UnknownCompanyFiles::putBackKnown(m_book); }
    // "ERR:" from the workstation registered under that name: it could not print the file at
    // path, for this reason. Kept on the file's record, and in the queue's reason, until the file
    // prints or is set aside (its reason then ends with it). The workstation holds it no more: it
    // may take its next document, while this one is offered again after the re-offer interval. The
    // file's name; "" when the path names no file of the folder that waits for that workstation
    // (nothing changes then).
    QString failureReported(const QString& path, const QString& workstation,
                            const QString& reason) {
        return m_book.failureReported(path, workstation, reason);
    }
    // Gives a set-aside file without a reason (one found at start-up) the one it had, and its
    // cause.
    void restoreReason(const QString& fileName, const QString& reason, JobCause cause) {
        m_book.restoreReason(fileName, reason, cause);
    }

    const WatcherSettings& settings() const { return m_book.settings; }
    void setSettings(const WatcherSettings& settings) { m_book.settings = settings; }
    void setScanInterval(qint64 ms) { m_book.settings.scanIntervalMs = ms; }
    void setReofferInterval(qint64 ms) { m_book.settings.reofferMs = ms; }
    void setHoldTime(qint64 ms) { m_book.settings.holdMs = ms; }
    void setExpiry(qint64 ms) { m_book.settings.expiryMs = ms; }
    // Tests move the clocks.
    void setClock(WatcherClock clock) { m_book.clock = std::move(clock); }
    // Whether a file still has a writer (Platform::checkNoWriters unless a test says otherwise).
    using WriterCheck = NewFileIntake::WriterCheck;
    void setWriterCheck(WriterCheck check) { m_intake.setWriterCheck(std::move(check)); }

    // Milliseconds until the youngest new file left waiting to rest has rested long enough (-1:
    // none), so a folder notification can bring the next scan forward. A file known to be held
    // by its writer waits for the writer's close instead.
    qint64 msUntilNextReady() const { return m_intake.msUntilNextReady(); }

private:
    JobBook m_book;
    NewFileIntake m_intake;
    DispatchPasses m_passes;
};
