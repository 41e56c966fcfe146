#include "printfolderwatcher.h"

#include "companycodes.h"
#include "platform/platform.h"
#include "printfilerules.h"
#include "sharepath.h"
#include "watcherhost.h"
#include "wiremessages.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

using namespace PrintFileRules;

namespace {
const QString Waiting = QStringLiteral("Attesa....");
const QString ErrSuffix = QStringLiteral(".ERR");
const QString PrnSuffix = QStringLiteral(".PRN");
const QString NoWorkstationLine = QStringLiteral("manca la riga PC:");
const QString BeingWritten = QStringLiteral("in scrittura");
const QString EmptyWorkstation = QStringLiteral("nome pc vuoto nella riga PC:");

QString number(double value) {
    return QString::number(value, 'g', 6);
}

// Name order, ignoring case, as the office's file server lists them.
bool inFolderOrder(const QString& a, const QString& b) {
    const int c = QString::compare(a, b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

// The name a file is set aside under: its name + ".ERR", or, when a file set aside earlier holds
// that name (the management program may reuse names), name + ".2.ERR", ".3.ERR", ...
QString asideName(const QString& local) {
    QString aside = local + ErrSuffix;
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
        aside = local + QLatin1Char('.') + QString::number(n) + ErrSuffix;
    return aside;
}

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

void stampModified(const QString& local, const QDateTime& when) {
    QFile stamp(local);
    if (stamp.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        stamp.setFileTime(when.toLocalTime(), QFileDevice::FileModificationTime);
}
} // namespace

PrintFolderWatcher::PrintFolderWatcher(WatcherHost& host, CompanyCodes& codes)
    : m_host(host), m_codes(codes), m_settings(WatcherSettings::fromEnvironment()),
      m_clock([] { return QDateTime::currentDateTimeUtc(); }),
      m_writerCheck([](const QString& path) { return Platform::current().checkNoWriters(path); }) {}

void PrintFolderWatcher::setPrintFolder(const QString& folder, const QString& shareRoot) {
    if (folder != m_folder) {
        if (!m_jobs.isEmpty())
            ++m_revision;
        m_jobs.clear();
        m_lastPeriodic.clear();
        m_lastListing.clear();
    }
    m_folder = folder;
    // An empty folder setting must never turn into the current directory.
    m_localFolder = folder.isEmpty() ? QString() : SharePath::resolve(folder, shareRoot);
}

QString PrintFolderWatcher::localPath(const QString& name) const {
    return QDir(m_localFolder).filePath(name);
}

QStringList PrintFolderWatcher::listEntries() const {
    if (m_localFolder.isEmpty())
        return {};
    // Files and folders, "." and ".." as the listing gives them; hidden and special files are
    // left out. Iterating and sorting the names ourselves costs half of a sorted QDir listing,
    // which matters once per second with thousands of pending files.
    QStringList names;
    QDirIterator it(m_localFolder, QDir::Files | QDir::Dirs);
    while (it.hasNext()) {
        it.next();
        names.append(it.fileName());
    }
    std::sort(names.begin(), names.end(), inFolderOrder);
    return names;
}

// --- records ------------------------------------------------------------------------------------

bool PrintFolderWatcher::isPendingState(JobState state) {
    return state == JobState::Pending || state == JobState::Announced || state == JobState::Held ||
           state == JobState::Completed;
}

PrintJob& PrintFolderWatcher::record(const QString& name, JobState state, const QDateTime& since) {
    auto it = m_jobs.find(name);
    if (it == m_jobs.end()) {
        PrintJob job;
        job.state = state;
        job.since = since;
        job.listedIn = m_listing;
        it = m_jobs.insert(name, job);
        ++m_revision;
    }
    return *it;
}

PrintJob& PrintFolderWatcher::pendingRecord(const QString& name) {
    PrintJob& job = record(name, JobState::Pending, QDateTime());
    // Accepting a file stamps its modification time, so this survives a restart.
    if (!job.since.isValid())
        job.since = acceptedAt(name);
    return job;
}

void PrintFolderWatcher::moveTo(PrintJob& job, JobState state, const QString& reason) {
    if (job.state != state || job.reason != reason)
        ++m_revision;
    job.state = state;
    job.reason = reason;
    if (state != JobState::Announced) {
        job.announcedAt = QDateTime();
        job.announcedSlot = 0;
    }
    if (state != JobState::Held)
        job.absentSince = QDateTime();
}

void PrintFolderWatcher::markAnnounced(PrintJob& job, int slot, const QDateTime& now) {
    moveTo(job, JobState::Announced);
    job.announcedAt = now;
    job.announcedSlot = slot;
    job.announcedTo = comparable(job.workstation);
}

void PrintFolderWatcher::hold(PrintJob& job, const QDateTime& now) {
    // The hold counts from the moment a scan or pass finds the workstation away.
    const QDateTime since = job.state == JobState::Held ? job.absentSince : now;
    moveTo(job, JobState::Held,
           QStringLiteral("pc:") + job.workstation + QStringLiteral(" non collegato"));
    job.absentSince = since;
}

void PrintFolderWatcher::forget(const QString& name) {
    if (m_jobs.remove(name) > 0)
        ++m_revision;
}

QDateTime PrintFolderWatcher::acceptedAt(const QString& name) const {
    const auto it = m_jobs.constFind(name);
    if (it != m_jobs.constEnd() && it->since.isValid() && isPendingState(it->state))
        return it->since;
    return QFileInfo(localPath(name)).lastModified().toUTC();
}

// --- announcing ---------------------------------------------------------------------------------

int PrintFolderWatcher::slotOf(const QString& workstation) const {
    // An empty name is no workstation: it would match every slot that has none registered.
    if (comparable(workstation).isEmpty())
        return 0;
    for (int slot = 1; slot <= WatcherHost::Slots; ++slot) {
        if (sameWorkstation(m_host.registryName(slot), workstation))
            return slot;
    }
    return 0;
}

int PrintFolderWatcher::announce(const QString& path, const QString& workstation) {
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

bool PrintFolderWatcher::inFlight(const PrintJob& job, const QDateTime& now) const {
    if (job.state != JobState::Announced || job.announcedSlot == 0)
        return false;
    if (job.announcedAt.msecsTo(now) >= m_settings.reofferMs)
        return false;
    // Still the same registration on that slot: its client holds the file.
    return comparable(m_host.registryName(job.announcedSlot)) == job.announcedTo;
}

Failure PrintFolderWatcher::setAside(const QString& name, const QString& why) {
    const QString from = localPath(name);
    const QString to = asideName(from);
    QFile file(from);
    if (!file.rename(to))
        return {ErrorNumber::PathFileAccess, file.errorString()}; // tried again next time
    const PrintJob before = m_jobs.value(name);
    forget(name);
    const QString aside = QFileInfo(to).fileName();
    PrintJob& job = record(aside, JobState::SetAside, m_clock());
    job.workstation = before.workstation;
    job.workstationKnown = before.workstationKnown;
    moveTo(job, JobState::SetAside, why);
    m_host.log(QStringLiteral("Stampa messa da parte: ") + m_folder + aside + QStringLiteral(" (") +
               why + QStringLiteral(")"));
    return {};
}

QString PrintFolderWatcher::holdText(const QString& workstation) const {
    return QStringLiteral("pc:") + workstation + QStringLiteral(" non collegato da ") +
           number(m_settings.holdMs / 60000.0) + QStringLiteral(" minuti");
}

QString PrintFolderWatcher::expiryText(const QString& workstation) const {
    return QStringLiteral("pc:") + workstation + QStringLiteral(", non stampata entro ") +
           number(m_settings.expiryMs / 3600000.0) + QStringLiteral(" ore");
}

qint64 PrintFolderWatcher::msUntilNextReady() const {
    const QDateTime now = m_clock();
    qint64 best = -1;
    for (const PrintJob& job : m_jobs) {
        if (job.state != JobState::Arriving || job.restingIn == 0)
            continue;
        const qint64 left = qMax<qint64>(0, m_settings.scanIntervalMs - job.modified.msecsTo(now));
        if (best < 0 || left < best)
            best = left;
    }
    return best;
}

// --- the new-file scan --------------------------------------------------------------------------

QString PrintFolderWatcher::findFolderProblem() const {
    if (m_folder.isEmpty())
        return QStringLiteral("cartella di stampa non impostata");
    if (m_localFolder.isEmpty())
        return QStringLiteral("cartella di stampa fuori dalla condivisione: ") + m_folder;
    const QFileInfo info(m_localFolder);
    if (!info.exists())
        return QStringLiteral("cartella di stampa inesistente: ") + m_folder;
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return QStringLiteral("cartella di stampa non leggibile: ") + m_folder;
    return {};
}

bool PrintFolderWatcher::checkFolder() {
    const QString problem = findFolderProblem();
    if (problem == m_folderProblem)
        return problem.isEmpty();
    // Once when it starts failing (or fails differently) and once when it recovers, not every
    // second; the status label keeps showing it meanwhile.
    if (!problem.isEmpty()) {
        m_host.log(QStringLiteral("Stampe ferme: ") + problem);
        m_host.setStatusLabel(QStringLiteral("Stampe ferme: ") + problem);
    } else {
        m_host.log(QStringLiteral("Cartella di stampa di nuovo raggiungibile: ") + m_folder);
        m_host.setStatusLabel(Waiting);
    }
    m_folderProblem = problem;
    return problem.isEmpty();
}

void PrintFolderWatcher::newFileScan() {
    m_host.trace(QStringLiteral("Timer1"));
    if (!checkFolder()) {
        m_host.trace(QStringLiteral("1.10"));
        return;
    }
    const QDateTime now = m_clock();
    ++m_listing;
    const QStringList names = listEntries();
    // Pending and set-aside files change only by a rename or a delete, so a listing like the
    // last complete one has nothing new for their records: thousands of them cost no lookups.
    const bool sameNames = names == m_lastListing;
    for (const QString& name : names) {
        m_host.trace(QStringLiteral("1.") + name);
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        if (isPending(name) || isSetAside(name)) {
            if (!sameNames)
                noteListed(name, now);
            continue;
        }
        if (takeNewFile(name, now) == Step::End)
            return; // gone since the listing: the scan ends here
    }
    // A folder that could not be listed (not even "." and "..") forgets nothing.
    if (!names.isEmpty() && !sameNames)
        forgetUnlisted();
    restartRests();
    m_lastListing = names;
    m_host.trace(QStringLiteral("1.10"));
}

void PrintFolderWatcher::noteListed(const QString& name, const QDateTime& now) {
    const auto it = m_jobs.find(name);
    if (it != m_jobs.end()) {
        it->listedIn = m_listing;
        return;
    }
    // A file accepted or set aside before this run: its time stamp tells since when.
    const QDateTime since = QFileInfo(localPath(name)).lastModified().toUTC();
    record(name, isPending(name) ? JobState::Pending : JobState::SetAside,
           since.isValid() ? since : now);
}

void PrintFolderWatcher::forgetUnlisted() {
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
        if (it->listedIn != m_listing) {
            it = m_jobs.erase(it);
            ++m_revision;
        } else {
            ++it;
        }
    }
}

void PrintFolderWatcher::restartRests() {
    // A new file that this scan did not see changing starts its rest afresh next time.
    for (PrintJob& job : m_jobs) {
        if (job.restingIn != m_listing)
            job.restingIn = 0;
    }
}

bool PrintFolderWatcher::matchesCompany(const QString& name) const {
    return m_codes.matches(endingValue(name));
}

PrintFolderWatcher::Step PrintFolderWatcher::takeNewFile(const QString& name,
                                                         const QDateTime& now) {
    m_host.trace(QStringLiteral("1.0"));
    m_currentName.clear();
    const bool match = matchesCompany(name);
    m_host.trace(QStringLiteral("1.1"));
    const QFileInfo info(localPath(name));
    if (!match) {
        // Until the company codes could be read (database missing or locked) an unmatched
        // ending tells nothing: the file waits for the codes. Once they are known, the whole
        // file is set aside for someone to look at (a typing slip in the management program's
        // company code must not lose a document).
        if (!m_codes.isKnown()) {
            PrintJob& job = record(name, JobState::Arriving, now);
            job.listedIn = m_listing;
            moveTo(job, JobState::Arriving, QStringLiteral("codici ditta non ancora letti"));
        } else if (info.exists() && isComplete(name, info, now)) {
            setAside(name, QStringLiteral("codice ditta ") + name.right(3) +
                               QStringLiteral(" sconosciuto"));
        }
        m_host.trace(QStringLiteral("1.2"));
        return Step::Next;
    }
    m_host.trace(QStringLiteral("1.3"));

    if (!info.exists())
        return Step::End;
    if (!isComplete(name, info, now))
        return Step::Next;
    return accept(name, now);
}

bool PrintFolderWatcher::isComplete(const QString& name, const QFileInfo& info,
                                    const QDateTime& now) {
    PrintJob& job = record(name, JobState::Arriving, now);
    job.listedIn = m_listing;
    if (info.isDir())
        return true; // cannot be read; the reading below says so
    // An empty file may have been created first and be filled by a second open: it rests.
    if (info.size() == 0)
        return hasRested(job, info, now);
    const Failure writers = m_writerCheck(info.filePath());
    if (writers.ok()) {
        job.restingIn = 0;
        return true;
    }
    if (writers.number == ErrorNumber::FileAlreadyOpen) {
        // However long its writer pauses: the writer's close brings the next look.
        moveTo(job, JobState::Arriving, BeingWritten);
        job.restingIn = 0;
        return false;
    }
    if (writers.number != ErrorNumber::FileNotFound)
        noteWriterCheckMissing(writers);
    return hasRested(job, info, now);
}

void PrintFolderWatcher::noteWriterCheckMissing(const Failure& why) {
    if (m_writerCheckMissingLogged)
        return;
    m_writerCheckMissingLogged = true;
    m_host.log(QStringLiteral("Non si può sapere se un file di stampa è ancora in scrittura (") +
               why.description + QStringLiteral("): si prende quando resta invariato per ") +
               number(m_settings.scanIntervalMs / 1000.0) + QStringLiteral(" s"));
}

bool PrintFolderWatcher::hasRested(PrintJob& job, const QFileInfo& info, const QDateTime& now) {
    // Left until it has rested: unchanged since the previous scan and not modified within the
    // last scan interval.
    const qint64 size = info.size();
    const QDateTime modified = info.lastModified().toUTC();
    const bool known = job.restingIn != 0;
    const bool changed = known && (job.size != size || job.modified != modified);
    const qint64 age = modified.msecsTo(now);
    // A time stamp ahead of our clock cannot tell the age: unchanged since the previous scan is
    // then enough.
    const bool young = age >= 0 ? age < m_settings.scanIntervalMs : !known;
    if (changed || young) {
        moveTo(job, JobState::Arriving);
        job.size = size;
        job.modified = modified;
        job.restingIn = m_listing;
        return false;
    }
    job.restingIn = 0;
    return true;
}

PrintFolderWatcher::Step PrintFolderWatcher::accept(const QString& name, const QDateTime& now) {
    const QString local = localPath(name);
    const WorkstationLine line = readWorkstationLine(local);
    if (line.status == WorkstationLine::Status::NotFound)
        return Step::End;
    if (line.status == WorkstationLine::Status::Unreadable) {
        moveTo(m_jobs[name], JobState::Arriving, QStringLiteral("non leggibile"));
        return Step::Next; // locked or a folder: the next tick tries again
    }
    m_currentName = line.name;
    m_host.trace(QStringLiteral("1.4"));
    m_host.setStatusLabel(Waiting);
    if (line.status == WorkstationLine::Status::NoLine || m_currentName.isEmpty()) {
        // No workstation to send it to: kept for inspection.
        const QString aside = asideName(local);
        if (QFile::rename(local, aside)) {
            forget(name);
            moveTo(record(QFileInfo(aside).fileName(), JobState::SetAside, now), JobState::SetAside,
                   line.status == WorkstationLine::Status::NoLine ? NoWorkstationLine
                                                                  : EmptyWorkstation);
        }
        m_host.trace(QStringLiteral("1.5"));
        return Step::Next;
    }

    m_host.trace(QStringLiteral("1.6"));
    const QString pendingName = name + PrnSuffix;
    if (!renameToPending(name, pendingName)) {
        // Still held by its writer, or a pending file of the same name is still waiting: the
        // new file stays as it is and is taken once that name is free. The waiting file is left
        // to the passes, which offer it to its own workstation (not this file's).
        moveTo(m_jobs[name], JobState::Arriving,
               QStringLiteral("nome ") + pendingName + QStringLiteral(" ancora in uso"));
        return Step::Next;
    }
    forget(name);
    forget(pendingName);
    PrintJob& job = record(pendingName, JobState::Pending, now);
    job.workstation = m_currentName;
    job.workstationKnown = true;
    stampModified(localPath(pendingName), now);
    const QString path = m_folder + pendingName;
    m_host.trace(QStringLiteral("1.7"));
    const int slot = announce(path, m_currentName);
    m_host.trace(QStringLiteral("1.8"));
    if (slot > 0) {
        markAnnounced(job, slot, now);
        return Step::Announced;
    }
    // Its workstation is away: the file waits for it (hold time) instead of being lost.
    hold(job, now);
    m_host.trace(QStringLiteral("1.9"));
    return Step::Next;
}

bool PrintFolderWatcher::renameToPending(const QString& name, const QString& pendingName) {
    const QString pendingLocal = localPath(pendingName);
    if (QFile::rename(localPath(name), pendingLocal))
        return true;
    const auto waiting = m_jobs.constFind(pendingName);
    if (waiting == m_jobs.constEnd() || waiting->state != JobState::Completed ||
        !QFile::remove(pendingLocal))
        return false;
    // The waiting file of that name was printed already, only its delete had failed.
    forget(pendingName);
    return QFile::rename(localPath(name), pendingLocal);
}

// --- the dispatch passes ------------------------------------------------------------------------

void PrintFolderWatcher::dispatchPass(PassKind kind, const QString& workstation) {
    const QString n = QString::number(int(kind));
    const QString prefix = QStringLiteral("PRN-") + n;
    m_host.trace(QStringLiteral("PRN-Timer") + n);
    m_host.setScanTimerEnabled(false);

    const QDateTime now = m_clock();
    const QString wanted = comparable(workstation);
    const bool allWorkstations = wanted.isEmpty();
    const QStringList names = pendingEntries();
    // The periodic pass starts after the file it announced last time, so a file that keeps
    // failing cannot hold back the others.
    const qsizetype start = allWorkstations ? periodicStart(names) : 0;
    const qsizetype count = names.size();
    for (qsizetype k = 0; k < count; ++k) {
        const QString& name = names[(start + k) % count];
        const Step step = offer(name, prefix, wanted, now);
        if (step == Step::End) {
            // Gone since the listing: the pass ends here, but the scan must not stay off.
            m_host.setScanTimerEnabled(true);
            return;
        }
        if (step == Step::Announced) {
            if (allWorkstations)
                m_lastPeriodic = name;
            break;
        }
    }
    if (allWorkstations)
        sweepExpired(names, now);

    m_host.setScanTimerEnabled(true);
    m_host.trace(prefix + QStringLiteral(".6"));
}

QStringList PrintFolderWatcher::pendingEntries() {
    QStringList names = listEntries();
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString& name) { return !isPending(name); }),
                names.end());
    // Forget the pending files that no longer lie in the folder.
    const quint64 listing = ++m_listing;
    for (const QString& name : std::as_const(names)) {
        const auto it = m_jobs.find(name);
        if (it != m_jobs.end())
            it->listedIn = listing;
    }
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
        if (isPendingState(it->state) && it->listedIn != listing) {
            it = m_jobs.erase(it);
            ++m_revision;
        } else {
            ++it;
        }
    }
    return names;
}

qsizetype PrintFolderWatcher::periodicStart(const QStringList& names) const {
    if (m_lastPeriodic.isEmpty())
        return 0;
    const auto after =
        std::upper_bound(names.cbegin(), names.cend(), m_lastPeriodic, inFolderOrder);
    const qsizetype start = after - names.cbegin();
    return start < names.size() ? start : 0;
}

PrintFolderWatcher::Step PrintFolderWatcher::offer(const QString& name, const QString& prefix,
                                                   const QString& wanted, const QDateTime& now) {
    m_host.trace(prefix + QLatin1Char('.') + name);
    m_host.trace(prefix + QStringLiteral(".0"));
    m_currentName.clear();
    const QString local = localPath(name);
    const auto known = m_jobs.constFind(name);
    if (known != m_jobs.constEnd() && known->state == JobState::Completed) {
        // Printed already; only its delete had failed.
        if (QFile::remove(local))
            forget(name);
        return Step::Next;
    }

    const WorkstationLine line = readWorkstationLine(local);
    if (line.status == WorkstationLine::Status::NotFound)
        return Step::End;
    if (line.status == WorkstationLine::Status::Unreadable)
        return Step::Next;
    m_host.trace(prefix + QStringLiteral(".1"));
    m_currentName = line.name;
    const bool forThisPass = wanted.isEmpty() || comparable(m_currentName) == wanted;
    m_host.trace(prefix + QStringLiteral(".2"));
    m_host.setStatusLabel(Waiting);
    if (line.status == WorkstationLine::Status::NoLine || m_currentName.isEmpty()) {
        setAside(name, line.status == WorkstationLine::Status::NoLine ? NoWorkstationLine
                                                                      : EmptyWorkstation);
        m_host.trace(prefix + QStringLiteral(".3"));
        return Step::Next;
    }
    if (!forThisPass)
        return Step::Next;

    PrintJob& job = pendingRecord(name);
    job.workstation = m_currentName;
    job.workstationKnown = true;
    if (inFlight(job, now))
        return Step::Next; // its client still has it
    if (job.since.msecsTo(now) >= m_settings.expiryMs) {
        setAside(name, expiryText(m_currentName));
        return Step::Next;
    }
    m_host.trace(prefix + QStringLiteral(".4"));
    const int slot = announce(m_folder + name, m_currentName);
    m_host.trace(prefix + QStringLiteral(".5"));
    if (slot > 0) {
        markAnnounced(job, slot, now);
        return Step::Announced;
    }
    // Its workstation is away: kept for the hold time, then set aside.
    hold(job, now);
    if (job.absentSince.msecsTo(now) >= m_settings.holdMs)
        setAside(name, holdText(m_currentName));
    return Step::Next;
}

void PrintFolderWatcher::sweepExpired(const QStringList& names, const QDateTime& now) {
    // Files the pass did not reach still age: held files past their hold time and files past the
    // expiry are set aside even when the pass stopped before them.
    for (const QString& name : names)
        sweepOne(name, now);
}

void PrintFolderWatcher::sweepOne(const QString& name, const QDateTime& now) {
    const auto known = m_jobs.find(name);
    if (known != m_jobs.end() && (known->state == JobState::Completed || inFlight(*known, now)))
        return;
    if (known == m_jobs.end() || !known->since.isValid()) {
        if (!acceptedAt(name).isValid())
            return; // gone meanwhile
    }
    PrintJob& job = known != m_jobs.end() ? *known : pendingRecord(name);
    if (!job.since.isValid())
        job.since = acceptedAt(name); // one look at the file is enough
    if (job.since.msecsTo(now) >= m_settings.expiryMs) {
        QString workstation = job.workstation;
        if (!job.workstationKnown) {
            const WorkstationLine line = readWorkstationLine(localPath(name));
            if (line.status != WorkstationLine::Status::Found &&
                line.status != WorkstationLine::Status::NoLine)
                return;
            workstation = line.name;
        }
        setAside(name, expiryText(workstation));
        return;
    }
    if (job.state != JobState::Held || !job.workstationKnown)
        return;
    if (slotOf(job.workstation) != 0)
        moveTo(job, JobState::Pending); // back again: the passes deliver it
    else if (job.absentSince.msecsTo(now) >= m_settings.holdMs)
        setAside(name, holdText(job.workstation));
}

// --- the workstations' messages -----------------------------------------------------------------

bool PrintFolderWatcher::workstationRegistered(const QString& name) {
    bool waiting = false;
    const QDateTime now = m_clock();
    for (PrintJob& job : m_jobs) {
        // What a closed connection held is gone with it; a connection that still lives (the
        // same name registered again elsewhere, or again on it) still holds its file.
        if (job.state == JobState::Announced && job.announcedTo == comparable(name) &&
            !inFlight(job, now))
            moveTo(job, JobState::Pending);
        if (isPendingState(job.state) && job.state != JobState::Completed && job.workstationKnown &&
            sameWorkstation(job.workstation, name))
            waiting = true;
    }
    if (waiting)
        return true;
    // Files accepted before a restart are not known yet: any of them may be for this name.
    const QStringList names = listEntries();
    for (const QString& entry : names) {
        if (isPending(entry) && !m_jobs.value(entry).workstationKnown)
            return true;
    }
    return false;
}

void PrintFolderWatcher::completed(const QString& path) {
    QString name;
    if (path.startsWith(m_folder, Qt::CaseInsensitive) && !m_folder.isEmpty())
        name = path.mid(m_folder.size());
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return;
    if (!QFileInfo::exists(localPath(name))) {
        forget(name);
        return;
    }
    moveTo(pendingRecord(name), JobState::Completed);
}

// --- the queue view -----------------------------------------------------------------------------

QList<QueueEntry> PrintFolderWatcher::queue() const {
    const QDateTime now = m_clock();
    QList<QueueEntry> entries;
    entries.reserve(m_jobs.size());
    for (auto it = m_jobs.cbegin(); it != m_jobs.cend(); ++it) {
        QueueEntry entry;
        entry.fileName = it.key();
        entry.state = it->state;
        entry.workstation = it->workstationKnown ? it->workstation : QString();
        entry.ageMs = it->since.isValid() ? qMax<qint64>(0, it->since.msecsTo(now)) : 0;
        entry.reason = it->reason;
        entries.append(entry);
    }
    std::sort(entries.begin(), entries.end(), [](const QueueEntry& a, const QueueEntry& b) {
        return inFolderOrder(a.fileName, b.fileName);
    });
    return entries;
}

Failure PrintFolderWatcher::putBack(const QString& fileName) {
    if (!isSetAside(fileName) || fileName.contains(QLatin1Char('/')) ||
        fileName.contains(QLatin1Char('\\')) || !QFileInfo(localPath(fileName)).isFile())
        return {ErrorNumber::FileNotFound,
                QStringLiteral("nessuna stampa messa da parte con nome ") + fileName};
    const QString pendingName = pendingNameOf(fileName);
    if (QFileInfo::exists(localPath(pendingName)) || QFileInfo(localPath(pendingName)).isSymLink())
        return {ErrorNumber::PathFileAccess, pendingName + QStringLiteral(" esiste già")};
    QFile file(localPath(fileName));
    if (!file.rename(localPath(pendingName)))
        return {ErrorNumber::PathFileAccess, file.errorString()};
    // Accepted anew: hold and expiry count from now, also after a restart.
    const QDateTime now = m_clock();
    stampModified(localPath(pendingName), now);
    forget(fileName);
    record(pendingName, JobState::Pending, now);
    m_host.log(QStringLiteral("Stampa rimessa in coda: ") + m_folder + pendingName);
    return {};
}

Failure PrintFolderWatcher::discard(const QString& fileName) {
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
        return {ErrorNumber::PathFileAccess, file.errorString()};
    forget(fileName);
    m_host.log(QStringLiteral("Stampa eliminata dalla coda: ") + m_folder + fileName);
    return {};
}
