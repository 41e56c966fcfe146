#include "jobbook.h"

#include "companycodes.h"
#include "printfilerules.h"
#include "sharepath.h"
#include "watcherhost.h"
#include "wiremessages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

using namespace PrintFileRules;
using namespace WatcherTexts;

namespace {
// The pending name a set-aside file goes back to: without ".ERR" (and the ".2" ... of a name
// that was taken), ending in ".PRN".
QString pendingNameOf(const QString& asideFile) {
    QString name = asideFile.chopped(ErrSuffix.size());
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    bool numbered = false;
    const int n = dot > 0 ? name.mid(dot + 1).toInt(&numbered) : 0;
    if (numbered && n >= 2 && isPending(name.left(dot)))
        name.truncate(dot);
    return isPending(name) ? name : name + PrnSuffix;
}
} // namespace

JobBook::JobBook(WatcherHost& host, CompanyCodes& codes)
    : settings(WatcherSettings::fromEnvironment()), m_host(host), m_codes(codes) {}

std::optional<qint64> JobBook::monotonicAt(const QDateTime& wall) const {
    if (!wall.isValid())
        return std::nullopt;
    // A time stamp ahead of the wall clock counts as now.
    return monotonicNow() - qMax<qint64>(0, wall.msecsTo(clock.wall()));
}

QString JobBook::number(double value) {
    return QString::number(value, 'g', 6);
}

bool JobBook::inFolderOrder(const QString& a, const QString& b) {
    const int c = QString::compare(a, b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

QString JobBook::asideName(const QString& local) {
    QString aside = local + ErrSuffix;
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
        aside = local + QLatin1Char('.') + QString::number(n) + ErrSuffix;
    return aside;
}

void JobBook::stampModified(const QString& local, const QDateTime& when) {
    QFile stamp(local);
    if (stamp.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        stamp.setFileTime(when.toLocalTime(), QFileDevice::FileModificationTime);
}

Failure JobBook::fileFailure(const QString& name, const QString& action) const {
    // Qt's texts are English and say little more: the folder's rights are the usual cause.
    const QFileInfo folder(m_localFolder);
    const QString why = folder.isWritable() ? QStringLiteral("file in uso o non accessibile")
                                            : QStringLiteral("cartella di stampa non scrivibile");
    return {ErrorNumber::PathFileAccess, QStringLiteral("Impossibile ") + action +
                                             QLatin1Char(' ') + name + QStringLiteral(": ") + why};
}

bool JobBook::setPrintFolder(const QString& folder, const QString& shareRoot) {
    const bool changedFolder = folder != m_folder;
    if (changedFolder) {
        if (!m_jobs.isEmpty())
            ++m_revision;
        m_jobs.clear();
    }
    m_folder = folder;
    // An empty folder setting must never turn into the current directory.
    m_localFolder = folder.isEmpty() ? QString() : SharePath::resolve(folder, shareRoot);
    return changedFolder;
}

QString JobBook::localPath(const QString& name) const {
    return QDir(m_localFolder).filePath(name);
}

QStringList JobBook::listEntries(QStringList* badNames) const {
    if (m_localFolder.isEmpty())
        return {};
    // Every kind of entry (links, pipes, devices and sockets too), so that the queue can say why
    // one is not taken. Listing and sorting the names ourselves costs half of a sorted QDir
    // listing, which matters with thousands of pending files.
    QStringList names = listFolder(m_localFolder, badNames);
    std::sort(names.begin(), names.end(), inFolderOrder);
    return names;
}

// --- records ------------------------------------------------------------------------------------

bool JobBook::isPendingState(JobState state) {
    return state == JobState::Pending || state == JobState::Announced || state == JobState::Held ||
           state == JobState::Completed;
}

PrintJob& JobBook::record(const QString& name, JobState state) {
    return record(name, state, clock.wall());
}

PrintJob& JobBook::record(const QString& name, JobState state, const QDateTime& since) {
    auto it = m_jobs.find(name);
    if (it == m_jobs.end()) {
        PrintJob job;
        job.state = state;
        job.since = monotonicAt(since);
        job.listedIn = m_listing;
        it = m_jobs.insert(name, job);
        ++m_revision;
    }
    return *it;
}

PrintJob& JobBook::pendingRecord(const QString& name) {
    PrintJob& job = record(name, JobState::Pending, QDateTime());
    // Accepting a file stamps its modification time, so this survives a restart.
    if (!job.since)
        job.since = acceptedAt(name);
    return job;
}

void JobBook::moveTo(PrintJob& job, JobState state, const QString& reason) {
    if (job.state != state || job.reason != reason)
        ++m_revision;
    job.state = state;
    job.reason = reason;
    if (state != JobState::Announced) {
        job.announcedAt = 0;
        job.announcedSlot = 0;
    }
    if (state != JobState::Held)
        job.absentSince = 0;
    if (state != JobState::SetAside && state != JobState::Ignored)
        job.cause = JobCause::None;
}

void JobBook::markAnnounced(PrintJob& job, int slot) {
    moveTo(job, JobState::Announced);
    job.announcedAt = monotonicNow();
    job.announcedSlot = slot;
    job.announcedTo = comparable(job.workstation);
    job.failedThere = false;
}

void JobBook::hold(PrintJob& job) {
    // The hold counts from the moment a scan or pass finds the workstation away.
    const qint64 since = job.state == JobState::Held ? job.absentSince : monotonicNow();
    moveTo(job, JobState::Held,
           QStringLiteral("pc:") + job.workstation + QStringLiteral(" non collegato"));
    job.absentSince = since;
}

void JobBook::forget(const QString& name) {
    if (m_jobs.remove(name) > 0)
        ++m_revision;
}

std::optional<qint64> JobBook::acceptedAt(const QString& name) const {
    const auto it = m_jobs.constFind(name);
    if (it != m_jobs.constEnd() && it->since && isPendingState(it->state))
        return it->since;
    return monotonicAt(QFileInfo(localPath(name)).lastModified().toUTC());
}

QString JobBook::setAsideAs(const QString& pendingName) const {
    for (auto it = m_jobs.cbegin(); it != m_jobs.cend(); ++it) {
        if (it->state == JobState::SetAside && it->announcedAs == pendingName)
            return it.key();
    }
    return {};
}

bool JobBook::expired(const PrintJob& job) const {
    return job.since && monotonicNow() - *job.since >= settings.expiryMs;
}

// --- announcing ---------------------------------------------------------------------------------

int JobBook::slotOf(const QString& workstation) const {
    // An empty name is no workstation: it would match every slot that has none registered.
    if (comparable(workstation).isEmpty())
        return 0;
    for (int slot = 1; slot <= WatcherHost::Slots; ++slot) {
        if (sameWorkstation(m_host.registryName(slot), workstation))
            return slot;
    }
    return 0;
}

int JobBook::announce(const QString& path, const QString& workstation) {
    const int slot = slotOf(workstation);
    if (slot == 0)
        return 0;
    // A send that fails means nobody is listening on that slot any more: the file stays
    // pending as for an absent workstation instead of counting as delivered.
    if (m_host.sendOnSlot(slot, Wire::printRequest(path)))
        return 0;
    m_host.message(QStringLiteral("Inviato: ") + path + QStringLiteral(" al pc:") +
                   trimBlanks(m_host.registryName(slot)));
    return slot;
}

bool JobBook::inFlight(const PrintJob& job) const {
    if (job.state != JobState::Announced || job.announcedSlot == 0)
        return false;
    if (monotonicNow() - job.announcedAt >= settings.reofferMs)
        return false;
    // Still the same registration on that slot: its client holds the file.
    return comparable(m_host.registryName(job.announcedSlot)) == job.announcedTo;
}

QSet<QString> JobBook::busyWorkstations() const {
    QSet<QString> busy;
    for (const PrintJob& job : m_jobs) {
        if (inFlight(job) && !job.failedThere)
            busy.insert(job.announcedTo);
    }
    return busy;
}

Failure JobBook::setAside(const QString& name, const QString& why, JobCause cause) {
    const QString from = localPath(name);
    const QString to = asideName(from);
    QFile file(from);
    if (!file.rename(to))
        return fileFailure(name, QStringLiteral("rinominare")); // tried again next time
    const PrintJob before = m_jobs.value(name);
    forget(name);
    const QString aside = QFileInfo(to).fileName();
    PrintJob& job = record(aside, JobState::SetAside);
    job.workstation = before.workstation;
    job.workstationKnown = before.workstationKnown;
    job.announcedTo = before.announcedTo;
    if (!before.announcedTo.isEmpty())
        job.announcedAs = name;
    // What kept it from printing stays with it, for whoever looks at it.
    const QString reason = before.workstationFailure.isEmpty()
                               ? why
                               : why + QStringLiteral(": ") + before.workstationFailure;
    moveTo(job, JobState::SetAside, reason);
    job.cause = cause;
    m_host.log(QStringLiteral("Stampa messa da parte: ") + m_folder + aside + QStringLiteral(" (") +
               reason + QStringLiteral(")"));
    return {};
}

QString JobBook::failureReported(const QString& path, const QString& workstation,
                                 const QString& reason) {
    if (m_folder.isEmpty() || !path.startsWith(m_folder, Qt::CaseInsensitive))
        return {};
    const QString name = path.mid(m_folder.size());
    const auto it = m_jobs.find(name);
    // Only the workstation the file names speaks for it, and only while it is to print it.
    if (it == m_jobs.end() || !it->workstationKnown ||
        !sameWorkstation(it->workstation, workstation) ||
        (it->state != JobState::Announced && it->state != JobState::Pending))
        return {};
    if (it->workstationFailure != reason) {
        it->workstationFailure = reason;
        changed();
    }
    if (it->state == JobState::Announced)
        it->failedThere = true;
    return name;
}

void JobBook::restoreReason(const QString& fileName, const QString& reason, JobCause cause) {
    const auto it = m_jobs.find(fileName);
    if (it == m_jobs.end() || it->state != JobState::SetAside || !it->reason.isEmpty() ||
        reason.isEmpty())
        return;
    moveTo(*it, JobState::SetAside, reason);
    it->cause = cause;
}

QString JobBook::holdText(const QString& workstation) const {
    return QStringLiteral("pc:") + workstation + QStringLiteral(" non collegato da ") +
           number(settings.holdMs / 60000.0) + QStringLiteral(" minuti");
}

QString JobBook::expiryText(const QString& workstation) const {
    return QStringLiteral("pc:") + workstation + QStringLiteral(", non stampata entro ") +
           number(settings.expiryMs / 3600000.0) + QStringLiteral(" ore");
}

// --- the queue view -----------------------------------------------------------------------------

QList<QueueEntry> JobBook::queue() const {
    const qint64 now = monotonicNow();
    QList<QueueEntry> entries;
    entries.reserve(m_jobs.size());
    for (auto it = m_jobs.cbegin(); it != m_jobs.cend(); ++it) {
        QueueEntry entry;
        entry.fileName = it.key();
        entry.state = it->state;
        entry.workstation = it->workstationKnown ? it->workstation : QString();
        entry.ageMs = it->since ? qMax<qint64>(0, now - *it->since) : 0;
        entry.reason = it->reason;
        entry.cause = it->cause;
        if (!it->workstationFailure.isEmpty() && isPendingState(it->state) &&
            it->state != JobState::Held) {
            entry.reason = it->workstationFailure;
            entry.workstationFailed = true;
        }
        entries.append(entry);
    }
    std::sort(entries.begin(), entries.end(), [](const QueueEntry& a, const QueueEntry& b) {
        return inFolderOrder(a.fileName, b.fileName);
    });
    return entries;
}

Failure JobBook::putBack(const QString& fileName, QString* workstation) {
    if (!isSetAside(fileName) || fileName.contains(QLatin1Char('/')) ||
        fileName.contains(QLatin1Char('\\')) || !QFileInfo(localPath(fileName)).isFile())
        return {ErrorNumber::FileNotFound,
                QStringLiteral("nessuna stampa messa da parte con nome ") + fileName};
    const QString pendingName = pendingNameOf(fileName);
    if (QFileInfo::exists(localPath(pendingName)) || QFileInfo(localPath(pendingName)).isSymLink())
        return {ErrorNumber::PathFileAccess, pendingName + QStringLiteral(" esiste già")};
    QFile file(localPath(fileName));
    if (!file.rename(localPath(pendingName)))
        return fileFailure(fileName, QStringLiteral("rinominare"));
    // Accepted anew: hold and expiry count from now, also after a restart.
    stampModified(localPath(pendingName), clock.wall());
    PrintJob before = m_jobs.value(fileName);
    forget(fileName);
    if (!before.workstationKnown) {
        const WorkstationLine line = readWorkstationLine(localPath(pendingName));
        before.workstation = line.name;
        before.workstationKnown = line.status == WorkstationLine::Status::Found;
    }
    PrintJob& job = record(pendingName, JobState::Pending);
    job.workstation = before.workstation;
    job.workstationKnown = before.workstationKnown;
    if (workstation)
        *workstation = job.workstationKnown ? job.workstation : QString();
    m_host.log(QStringLiteral("Stampa rimessa in coda: ") + m_folder + pendingName);
    return {};
}

Failure JobBook::discard(const QString& fileName) {
    const auto it = m_jobs.constFind(fileName);
    if (it == m_jobs.cend())
        return {ErrorNumber::FileNotFound,
                QStringLiteral("nessuna stampa in coda con nome ") + fileName};
    if (it->state == JobState::Arriving || it->state == JobState::Announced ||
        it->state == JobState::Completed)
        return {ErrorNumber::PathFileAccess,
                fileName + (it->state == JobState::Arriving
                                ? QStringLiteral(" è ancora in arrivo")
                                : QStringLiteral(" è in stampa sulla postazione"))};
    QFile file(localPath(fileName));
    if (!file.remove() && file.exists())
        return fileFailure(fileName, QStringLiteral("eliminare"));
    forget(fileName);
    m_host.log(QStringLiteral("Stampa eliminata dalla coda: ") + m_folder + fileName);
    return {};
}
