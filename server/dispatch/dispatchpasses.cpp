#include "dispatchpasses.h"

#include "printfilerules.h"
#include "watcherhost.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <utility>

using namespace PrintFileRules;
using namespace WatcherTexts;

void DispatchPasses::dispatchPass(PassKind kind, const QStringList& workstations) {
    const QString n = QString::number(int(kind));
    const QString prefix = QStringLiteral("PRN-") + n;
    m_book.host().trace(QStringLiteral("PRN-Timer") + n);
    m_book.host().setScanTimerEnabled(false);

    QSet<QString> wanted;
    for (const QString& workstation : workstations)
        wanted.insert(comparable(workstation));
    const bool allWorkstations = workstations.isEmpty();
    QSet<QString> served = m_book.busyWorkstations();
    const QStringList names = pendingEntries();
    // The periodic pass starts after the first file it announced last time, so a file that
    // keeps failing cannot hold back the others of its workstation.
    const qsizetype start = allWorkstations ? periodicStart(names) : 0;
    const qsizetype count = names.size();
    bool rotated = false;
    for (qsizetype k = 0; k < count; ++k) {
        const QString& name = names[(start + k) % count];
        const Step step = offer(name, prefix, wanted, served);
        if (step == Step::End) {
            // Gone since the listing: the pass ends here, but the scan must not stay off.
            m_book.host().setScanTimerEnabled(true);
            return;
        }
        if (step != Step::Announced)
            continue;
        if (allWorkstations && !std::exchange(rotated, true))
            m_lastPeriodic = name;
        if (!allWorkstations && served.contains(wanted))
            break;
    }
    if (allWorkstations)
        sweepExpired(names);

    m_book.host().setScanTimerEnabled(true);
    m_book.host().trace(prefix + QStringLiteral(".6"));
}

QStringList DispatchPasses::pendingEntries() {
    QStringList names = m_book.listEntries();
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString& name) { return !isPending(name); }),
                names.end());
    // Forget the pending files that no longer lie in the folder.
    const quint64 listing = m_book.nextListing();
    for (const QString& name : std::as_const(names)) {
        const auto it = m_book.jobs().find(name);
        if (it != m_book.jobs().end())
            it->listedIn = listing;
    }
    for (auto it = m_book.jobs().begin(); it != m_book.jobs().end();) {
        if (JobBook::isPendingState(it->state) && it->listedIn != listing) {
            it = m_book.jobs().erase(it);
            m_book.changed();
        } else {
            ++it;
        }
    }
    return names;
}

qsizetype DispatchPasses::periodicStart(const QStringList& names) const {
    if (m_lastPeriodic.isEmpty())
        return 0;
    const auto after =
        std::upper_bound(names.cbegin(), names.cend(), m_lastPeriodic, JobBook::inFolderOrder);
    const qsizetype start = after - names.cbegin();
    return start < names.size() ? start : 0;
}

DispatchPasses::Step DispatchPasses::offer(const QString& name, const QString& prefix,
                                           const QSet<QString>& wanted, QSet<QString>& served) {
    m_book.host().trace(prefix + QLatin1Char('.') + name);
    m_book.host().trace(prefix + QStringLiteral(".0"));
    const QString local = m_book.localPath(name);
    const auto known = m_book.jobs().constFind(name);
    const auto forThisPass = [&](const QString& workstation) {
        const QString who = comparable(workstation);
        return (wanted.isEmpty() || wanted.contains(who)) && !served.contains(who);
    };
    if (known != m_book.jobs().constEnd()) {
        if (known->state == JobState::Completed) {
            // Printed already; only its delete had failed.
            if (QFile::remove(local))
                m_book.forget(name);
            return Step::Next;
        }
        // Its workstation is known already and gets nothing from this pass: not read again.
        if (known->workstationKnown && !forThisPass(known->workstation))
            return Step::Next;
    }

    const WorkstationLine line = readWorkstationLine(local);
    if (line.status == WorkstationLine::Status::NotFound)
        return Step::End;
    if (line.status == WorkstationLine::Status::Unreadable)
        return Step::Next;
    m_book.host().trace(prefix + QStringLiteral(".1"));
    const QString workstation = line.name;
    m_book.host().trace(prefix + QStringLiteral(".2"));
    m_book.host().setStatusLabel(Waiting);
    if (line.status == WorkstationLine::Status::NoLine || workstation.isEmpty()) {
        m_book.setAside(name, line.status == WorkstationLine::Status::NoLine ? NoWorkstationLine
                                                                             : EmptyWorkstation);
        m_book.host().trace(prefix + QStringLiteral(".3"));
        return Step::Next;
    }
    if (!forThisPass(workstation))
        return Step::Next;

    PrintJob& job = m_book.pendingRecord(name);
    job.workstation = workstation;
    job.workstationKnown = true;
    if (m_book.inFlight(job))
        return Step::Next; // its client still has it
    if (m_book.expired(job)) {
        m_book.setAside(name, m_book.expiryText(workstation));
        return Step::Next;
    }
    return announceOrHold(name, job, prefix, served);
}

DispatchPasses::Step DispatchPasses::announceOrHold(const QString& name, PrintJob& job,
                                                    const QString& prefix, QSet<QString>& served) {
    m_book.host().trace(prefix + QStringLiteral(".4"));
    const int slot = m_book.announce(m_book.folder() + name, job.workstation);
    m_book.host().trace(prefix + QStringLiteral(".5"));
    if (slot > 0) {
        m_book.markAnnounced(job, slot);
        served.insert(comparable(job.workstation));
        return Step::Announced;
    }
    // Its workstation is away: kept for the hold time, then set aside.
    m_book.hold(job);
    if (m_book.monotonicNow() - job.absentSince >= m_book.settings.holdMs)
        m_book.setAside(name, m_book.holdText(job.workstation));
    return Step::Next;
}

void DispatchPasses::sweepExpired(const QStringList& names) {
    // Files the pass did not reach still age: held files past their hold time and files past the
    // expiry are set aside even when the pass passed them by.
    for (const QString& name : names)
        sweepOne(name);
}

void DispatchPasses::sweepOne(const QString& name) {
    const auto known = m_book.jobs().find(name);
    if (known != m_book.jobs().end() &&
        (known->state == JobState::Completed || m_book.inFlight(*known)))
        return;
    if (known == m_book.jobs().end() || !known->since) {
        if (!m_book.acceptedAt(name))
            return; // gone meanwhile
    }
    PrintJob& job = known != m_book.jobs().end() ? *known : m_book.pendingRecord(name);
    if (!job.since)
        job.since = m_book.acceptedAt(name); // one look at the file is enough
    if (m_book.expired(job)) {
        QString workstation = job.workstation;
        if (!job.workstationKnown) {
            const WorkstationLine line = readWorkstationLine(m_book.localPath(name));
            if (line.status != WorkstationLine::Status::Found &&
                line.status != WorkstationLine::Status::NoLine)
                return;
            workstation = line.name;
        }
        m_book.setAside(name, m_book.expiryText(workstation));
        return;
    }
    if (job.state != JobState::Held || !job.workstationKnown)
        return;
    if (m_book.slotOf(job.workstation) != 0)
        m_book.moveTo(job, JobState::Pending); // back again: the passes deliver it
    else if (m_book.monotonicNow() - job.absentSince >= m_book.settings.holdMs)
        m_book.setAside(name, m_book.holdText(job.workstation));
}

// --- the workstations' messages -----------------------------------------------------------------

bool DispatchPasses::workstationRegistered(const QString& name) {
    bool waiting = false;
    for (PrintJob& job : m_book.jobs()) {
        // What a closed connection held is gone with it; a connection that still lives (the
        // same name registered again elsewhere, or again on it) still holds its file.
        if (job.state == JobState::Announced && job.announcedTo == comparable(name) &&
            !m_book.inFlight(job))
            m_book.moveTo(job, JobState::Pending);
        if (JobBook::isPendingState(job.state) && job.state != JobState::Completed &&
            job.workstationKnown && sameWorkstation(job.workstation, name))
            waiting = true;
    }
    if (waiting)
        return true;
    // Files accepted before a restart are not known yet: any of them may be for this name.
    const QStringList names = m_book.listEntries();
    for (const QString& entry : names) {
        if (isPending(entry) && !m_book.jobs().value(entry).workstationKnown)
            return true;
    }
    return false;
}

void DispatchPasses::completed(const QString& path) {
    QString name;
    if (path.startsWith(m_book.folder(), Qt::CaseInsensitive) && !m_book.folder().isEmpty())
        name = path.mid(m_book.folder().size());
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return;
    if (!QFileInfo::exists(m_book.localPath(name))) {
        m_book.forget(name);
        completeSetAside(name);
        return;
    }
    m_book.moveTo(m_book.pendingRecord(name), JobState::Completed);
}

// A file set aside while its client was printing it (past its expiry, or its workstation away
// for the hold time) and printed all the same: put back, it would print twice.
bool DispatchPasses::completeSetAside(const QString& name) {
    const QString aside = m_book.setAsideAs(name);
    if (aside.isEmpty())
        return false;
    QFile file(m_book.localPath(aside));
    if (!file.remove() && file.exists())
        return false;
    m_book.forget(aside);
    m_book.host().log(QStringLiteral("Stampa messa da parte completata dalla postazione: ") +
                      m_book.folder() + aside);
    return true;
}

QStringList DispatchPasses::connectionEnded(int slot) {
    // What the connection held is nobody's now: the workstation's other connection gets it at
    // once, or it is held for the workstation's return.
    QStringList again;
    for (PrintJob& job : m_book.jobs()) {
        if (job.state != JobState::Announced || job.announcedSlot != slot)
            continue;
        if (m_book.slotOf(job.workstation) == 0) {
            m_book.hold(job);
            continue;
        }
        m_book.moveTo(job, JobState::Pending);
        if (!again.contains(job.workstation, Qt::CaseInsensitive))
            again.append(job.workstation);
    }
    return again;
}
