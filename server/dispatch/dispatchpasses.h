#pragma once

#include "jobbook.h"

#include <QSet>
#include <QString>
#include <QStringList>

// Which dispatch pass runs: the periodic one (once a minute, all workstations) or the follow-up
// one (a second after workstations registered or finished a job, those workstations only). The
// trace labels carry the number of the timer each one had: "PRN-Timer2", "PRN-Timer5".
enum class PassKind { Periodic = 2, FollowUp = 5 };

// The dispatch passes offer pending files again, and the workstations' messages ("PC:", "DEL:")
// and connections move their files on. A pass offers each workstation it serves at most one
// file, and none to a workstation whose client still holds one (announced within the re-offer
// interval on a connection that lives): one workstation's backlog never waits for another's.
// The periodic pass remembers the file it announced last, where the next one starts.
class DispatchPasses {
public:
    explicit DispatchPasses(JobBook& book) : m_book(book) {}

    // One dispatch pass for these workstations; none means all of them (the periodic pass,
    // which takes the pending files in turn).
    void dispatchPass(PassKind kind, const QStringList& workstations);
    // See PrintFolderWatcher.
    bool workstationRegistered(const QString& name);
    void completed(const QString& path);
    QStringList connectionEnded(int slot);
    // The print folder changed.
    void reset() { m_lastPeriodic.clear(); }

private:
    using Step = WatchStep;

    QStringList pendingEntries();
    qsizetype periodicStart(const QStringList& names) const;
    // wanted: comparable names, empty for all; served: those that got a file (or hold one)
    // and get nothing more from this pass.
    Step offer(const QString& name, const QString& prefix, const QSet<QString>& wanted,
               QSet<QString>& served);
    Step announceOrHold(const QString& name, PrintJob& job, const QString& prefix,
                        QSet<QString>& served);
    void sweepExpired(const QStringList& names);
    void sweepOne(const QString& name);
    bool completeSetAside(const QString& name);

    JobBook& m_book;
    QString m_lastPeriodic;
};
