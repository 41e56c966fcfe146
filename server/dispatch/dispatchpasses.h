#pragma once

#include "jobbook.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// Which dispatch pass runs: the periodic one (once a minute, all workstations) or the follow-up
// one (a second after a workstation finished a job, that workstation only). The trace labels
// carry the number of the timer each one had: "PRN-Timer2", "PRN-Timer5".
enum class PassKind { Periodic = 2, FollowUp = 5 };

// The dispatch passes offer pending files again, and the workstations' messages ("PC:", "DEL:")
// move their files on. A file still with its client is not offered to the same connection again
// within the re-offer interval. The periodic pass remembers the file it announced last, where
// the next one starts.
class DispatchPasses {
public:
    explicit DispatchPasses(JobBook& book) : m_book(book) {}

    // One dispatch pass; a blank workstation means all workstations (the periodic pass, which
    // takes the pending files in turn).
    void dispatchPass(PassKind kind, const QString& workstation);
    // See PrintFolderWatcher.
    bool workstationRegistered(const QString& name);
    void completed(const QString& path);
    // The print folder changed.
    void reset() { m_lastPeriodic.clear(); }

private:
    using Step = WatchStep;

    QStringList pendingEntries();
    qsizetype periodicStart(const QStringList& names) const;
    Step offer(const QString& name, const QString& prefix, const QString& wanted,
               const QDateTime& now);
    void sweepExpired(const QStringList& names, const QDateTime& now);
    void sweepOne(const QString& name, const QDateTime& now);

    JobBook& m_book;
    QString m_lastPeriodic;
};
