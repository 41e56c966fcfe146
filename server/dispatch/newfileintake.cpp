#include "newfileintake.h"

#include "companycodes.h"
#include "platform/platform.h"
#include "printfilerules.h"
#include "unknowncompanyfiles.h"
#include "watcherhost.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

using namespace PrintFileRules;
using namespace WatcherTexts;

namespace {
const QString BeingWritten = QStringLiteral("in scrittura");
// What one scan spends reading workstation lines before it leaves the rest for the next one.
constexpr qint64 ReadBudgetMs = 50;
// A print file larger than this is set aside unread.
constexpr qint64 MaxPrintFileBytes = qint64(256) * 1024 * 1024;
// Longest name that can still take ".PRN" or ".ERR" (file systems allow 255 bytes).
constexpr qsizetype MaxNameBytes = 255 - 4;
// The folder is listed at least every this many scans, whatever its time stamp says.
constexpr int FullListingEvery = 10;
// A folder time stamp younger than this may hide a change made within the same clock step.
constexpr qint64 StampSlackMs = 2000;

QString megabytes(qint64 bytes) {
    return QString::number((bytes + 1024 * 1024 - 1) / (1024 * 1024)) + QStringLiteral(" MB");
}
} // namespace

NewFileIntake::NewFileIntake(JobBook& book)
    : m_book(book),
      m_writerCheck([](const QString& path) { return Platform::current().checkNoWriters(path); }) {}

QString NewFileIntake::findFolderProblem() const {
    if (m_book.folder().isEmpty())
        return QStringLiteral("cartella di stampa non impostata");
    if (m_book.localFolder().isEmpty())
        return QStringLiteral("cartella di stampa fuori dalla condivisione: ") + m_book.folder();
    const QFileInfo info(m_book.localFolder());
    if (!info.exists())
        return QStringLiteral("cartella di stampa inesistente: ") + m_book.folder();
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return QStringLiteral("cartella di stampa non leggibile: ") + m_book.folder();
    return {};
}

bool NewFileIntake::checkFolder() {
    const QString problem = findFolderProblem();
    if (problem == m_folderProblem)
        return problem.isEmpty();
    // Once when it starts failing (or fails differently) and once when it recovers, not every
    // second; the status label keeps showing it meanwhile.
    if (!problem.isEmpty()) {
        m_book.host().log(QStringLiteral("Stampe ferme: ") + problem);
        m_book.host().setStatusLabel(QStringLiteral("Stampe ferme: ") + problem);
    } else {
        m_book.host().log(QStringLiteral("Cartella di stampa di nuovo raggiungibile: ") +
                          m_book.folder());
        m_book.host().setStatusLabel(Waiting);
    }
    m_folderProblem = problem;
    return problem.isEmpty();
}

void NewFileIntake::newFileScan() {
    m_book.host().trace(QStringLiteral("Timer1"));
    if (!checkFolder()) {
        m_book.host().trace(QStringLiteral("1.10"));
        return;
    }
    const QDateTime now = m_book.clock.wall();
    m_readBudget = QDeadlineTimer(ReadBudgetMs);
    m_busy.reset();
    if (!folderMayHaveChanged()) {
        revisitWaiting(now);
        m_book.host().trace(QStringLiteral("1.10"));
        return;
    }
    m_book.nextListing();
    QStringList badNames;
    const QStringList names = m_book.listEntries(&badNames);
    for (const QString& name : std::as_const(badNames))
        leaveAlone(name, JobCause::BadName,
                   QStringLiteral("nome del file non valido (non è testo UTF-8)"), now);
    // Pending and set-aside files change only by a rename or a delete, so a listing like the
    // last complete one has nothing new for their records: thousands of them cost no lookups.
    const bool sameNames = names == m_lastListing;
    for (const QString& name : names) {
        m_book.host().trace(QStringLiteral("1.") + name);
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
    m_book.host().trace(QStringLiteral("1.10"));
}

bool NewFileIntake::folderMayHaveChanged() {
    // Creating, renaming or deleting a file changes the folder's time stamp. The listing is
    // skipped while the stamp stays as a listing found it, and only when that stamp was old enough
    // then that a coarse clock (a network file system) cannot hide a change made right after it.
    const QDateTime stamp = QFileInfo(m_book.localFolder()).lastModified().toUTC();
    if (stamp.isValid() && stamp == m_folderStamp && m_stampSettled &&
        ++m_quickScans < FullListingEvery)
        return false;
    m_folderStamp = stamp;
    m_stampSettled = stamp.msecsTo(QDateTime::currentDateTimeUtc()) > StampSlackMs;
    m_quickScans = 0;
    return true;
}

void NewFileIntake::revisitWaiting(const QDateTime& now) {
    // Nothing was added, renamed or removed: only the new files that wait can have changed.
    m_book.nextListing();
    QStringList names;
    for (auto it = m_book.jobs().cbegin(); it != m_book.jobs().cend(); ++it) {
        if (!isPending(it.key()) && !isSetAside(it.key()) && it->cause != JobCause::BadName)
            names.append(it.key());
    }
    std::sort(names.begin(), names.end(), JobBook::inFolderOrder);
    for (const QString& name : std::as_const(names)) {
        m_book.host().trace(QStringLiteral("1.") + name);
        if (takeNewFile(name, now) == Step::End)
            return;
    }
    restartRests();
}

void NewFileIntake::leaveAlone(const QString& name, JobCause cause, const QString& why,
                               const QDateTime& now) {
    m_readers.remove(name);
    PrintJob& job = m_book.record(name, JobState::Ignored, now);
    job.listedIn = m_book.listing();
    if (job.state == JobState::Ignored && job.reason == why)
        return; // logged already
    m_book.moveTo(job, JobState::Ignored, why);
    job.cause = cause;
    m_book.host().log(QStringLiteral("File non preso dalla cartella di stampa: ") +
                      m_book.folder() + name + QStringLiteral(" (") + why + QStringLiteral(")"));
}

// Why a new file must be left as it is, or "" when it may be taken.
std::pair<JobCause, QString> NewFileIntake::refusal(const QString& name,
                                                    const QFileInfo& info) const {
    const QString kind = whyNotRegular(info.filePath());
    if (!kind.isEmpty())
        return {JobCause::NotAFile, kind};
    const qsizetype bytes = QFile::encodeName(name).size();
    if (bytes > MaxNameBytes)
        return {JobCause::BadName,
                QStringLiteral("nome del file troppo lungo: %1 byte, al massimo %2")
                    .arg(bytes)
                    .arg(MaxNameBytes)};
    return {JobCause::None, QString()};
}

void NewFileIntake::noteListed(const QString& name, const QDateTime& now) {
    const auto it = m_book.jobs().find(name);
    if (it != m_book.jobs().end()) {
        it->listedIn = m_book.listing();
        return;
    }
    // Named like an accepted file, yet nothing the passes could read (a link to a device, a
    // pipe): listed for what it is. They would only skip it.
    const QString kind = whyNotRegular(m_book.localPath(name));
    if (!kind.isEmpty()) {
        leaveAlone(name, JobCause::NotAFile, kind, now);
        return;
    }
    // A file accepted or set aside before this run: its time stamp tells since when.
    const QDateTime since = QFileInfo(m_book.localPath(name)).lastModified().toUTC();
    m_book.record(name, isPending(name) ? JobState::Pending : JobState::SetAside,
                  since.isValid() ? since : now);
}

void NewFileIntake::forgetUnlisted() {
    for (auto it = m_book.jobs().begin(); it != m_book.jobs().end();) {
        if (it->listedIn != m_book.listing()) {
            m_readers.remove(it.key());
            it = m_book.jobs().erase(it);
            m_book.changed();
        } else {
            ++it;
        }
    }
}

void NewFileIntake::restartRests() {
    // A new file that this scan did not see changing starts its rest afresh next time.
    for (PrintJob& job : m_book.jobs()) {
        if (job.restingIn != m_book.listing())
            job.restingIn = 0;
    }
}

bool NewFileIntake::matchesCompany(const QString& name) const {
    return m_book.codes().matches(endingValue(name));
}

NewFileIntake::Step NewFileIntake::takeNewFile(const QString& name, const QDateTime& now) {
    const QFileInfo info(m_book.localPath(name));
    const auto [cause, why] = refusal(name, info);
    if (cause != JobCause::None) {
        leaveAlone(name, cause, why, now);
        return Step::Next;
    }
    m_book.host().trace(QStringLiteral("1.0"));
    // A company saved a moment ago may not have been read yet.
    const bool match =
        matchesCompany(name) || (m_book.host().refreshCompanyCodes() && matchesCompany(name));
    m_book.host().trace(QStringLiteral("1.1"));
    if (!match) {
        // Until the company codes could be read (database missing or locked) an unmatched
        // ending tells nothing: the file waits for the codes. Once they are known, the whole
        // file is set aside for someone to look at (a typing slip in the management program's
        // company code must not lose a document).
        if (!m_book.codes().isKnown()) {
            PrintJob& job = m_book.record(name, JobState::Arriving, now);
            job.listedIn = m_book.listing();
            m_book.moveTo(job, JobState::Arriving, QStringLiteral("codici ditta non ancora letti"));
        } else if (info.exists() && isComplete(name, info, now)) {
            m_book.setAside(name, UnknownCompanyFiles::reason(name), JobCause::UnknownCompany);
        }
        m_book.host().trace(QStringLiteral("1.2"));
        return Step::Next;
    }
    m_book.host().trace(QStringLiteral("1.3"));

    if (!info.exists())
        return Step::End;
    if (!isComplete(name, info, now)) {
        m_readers.remove(name); // read again once whole
        return Step::Next;
    }
    return accept(name, info, now);
}

bool NewFileIntake::isComplete(const QString& name, const QFileInfo& info, const QDateTime& now) {
    PrintJob& job = m_book.record(name, JobState::Arriving, now);
    job.listedIn = m_book.listing();
    // An empty file may have been created first and be filled by a second open: it rests.
    if (info.size() == 0)
        return hasRested(job, info, now, m_book.settings.scanIntervalMs);
    const Failure writers = m_writerCheck(info.filePath());
    // No writer now, and none for a moment: a writer that closes and opens it again must not
    // have it taken in between.
    if (writers.ok())
        return hasRested(job, info, now, settleTime(info, now));
    if (writers.number == ErrorNumber::FileAlreadyOpen) {
        // However long its writer pauses: the writer's close brings the next look.
        m_book.moveTo(job, JobState::Arriving, BeingWritten);
        job.restingIn = 0;
        return false;
    }
    // A file the server cannot open says nothing about the system: reading it tells why.
    if (writers.number != ErrorNumber::FileNotFound &&
        writers.number != ErrorNumber::PathFileAccess)
        noteWriterCheckMissing(writers);
    return hasRested(job, info, now, m_book.settings.scanIntervalMs);
}

qint64 NewFileIntake::settleTime(const QFileInfo& info, const QDateTime& now) const {
    // Only a file that has settled briefly is worth reading for a whole document; one that holds
    // none yet may still be between two steps of its writer.
    const qint64 age = info.lastModified().toUTC().msecsTo(now);
    const WatcherSettings& s = m_book.settings;
    if ((age >= 0 && age < s.settleMs) || age >= s.wholeMs)
        return s.settleMs;
    return holdsWholeDocument(info.filePath()) ? s.settleMs : s.wholeMs;
}

void NewFileIntake::noteWriterCheckMissing(const Failure& why) {
    if (m_writerCheckMissingLogged)
        return;
    m_writerCheckMissingLogged = true;
    m_book.host().log(
        QStringLiteral("Non si può sapere se un file di stampa è ancora in scrittura (") +
        why.description + QStringLiteral("): si prende quando resta invariato per ") +
        JobBook::number(m_book.settings.scanIntervalMs / 1000.0) + QStringLiteral(" s"));
}

bool NewFileIntake::hasRested(PrintJob& job, const QFileInfo& info, const QDateTime& now,
                              qint64 restMs) {
    // Left until it has rested: unchanged since the previous scan and not modified within the
    // rest time.
    const qint64 size = info.size();
    const QDateTime modified = info.lastModified().toUTC();
    const bool known = job.restingIn != 0;
    const bool changed = known && (job.size != size || job.modified != modified);
    const qint64 age = modified.msecsTo(now);
    // A time stamp ahead of our clock cannot tell the age: unchanged since the previous scan is
    // then enough.
    const bool young = age >= 0 ? age < restMs : !known;
    if (changed || young) {
        m_book.moveTo(job, JobState::Arriving);
        job.size = size;
        job.modified = modified;
        job.restingIn = m_book.listing();
        job.restMs = restMs;
        return false;
    }
    job.restingIn = 0;
    return true;
}

NewFileIntake::Step NewFileIntake::accept(const QString& name, const QFileInfo& info,
                                          const QDateTime& now) {
    if (info.size() > MaxPrintFileBytes) {
        m_book.setAside(name,
                        QStringLiteral("file troppo grande: ") + megabytes(info.size()) +
                            QStringLiteral(", al massimo ") + megabytes(MaxPrintFileBytes),
                        JobCause::TooLarge);
        return Step::Next;
    }
    const QString local = m_book.localPath(name);
    // A long file is read over several scans, so that no file holds up the server.
    const WorkstationLine line = m_readers[name].readOn(local, m_readBudget);
    if (line.status == WorkstationLine::Status::Reading) {
        m_book.moveTo(m_book.jobs()[name], JobState::Arriving, QStringLiteral("lettura in corso"));
        return Step::Next;
    }
    m_readers.remove(name);
    if (line.status == WorkstationLine::Status::NotFound)
        return Step::End;
    if (line.status == WorkstationLine::Status::Unreadable) {
        // Tried again every scan; logged once.
        leaveAlone(name, line.notRegular ? JobCause::NotAFile : JobCause::Unreadable,
                   QStringLiteral("non leggibile: ") + line.why, now);
        return Step::Next;
    }
    const QString workstation = line.name;
    m_book.host().trace(QStringLiteral("1.4"));
    m_book.host().setStatusLabel(Waiting);
    if (line.status == WorkstationLine::Status::NoLine || workstation.isEmpty()) {
        // No workstation to send it to: kept for inspection.
        const QString why = line.cutShort ? NoWorkstationLine + QStringLiteral(" nei primi ") +
                                                megabytes(LineSearchLimit)
                            : line.status == WorkstationLine::Status::NoLine ? NoWorkstationLine
                                                                             : EmptyWorkstation;
        m_book.setAside(name, why, JobCause::NoWorkstationLine);
        m_book.host().trace(QStringLiteral("1.5"));
        return Step::Next;
    }

    return takeFor(name, workstation, now);
}

NewFileIntake::Step NewFileIntake::takeFor(const QString& name, const QString& workstation,
                                           const QDateTime& now) {
    m_book.host().trace(QStringLiteral("1.6"));
    const QString pendingName = name + PrnSuffix;
    if (!renameToPending(name, pendingName)) {
        // A pending file of the same name is still waiting, or the folder refuses the rename:
        // the new file stays as it is and is tried again. The waiting file is left to the
        // passes, which offer it to its own workstation (not this file's).
        const bool taken = QFileInfo::exists(m_book.localPath(pendingName));
        m_book.moveTo(m_book.jobs()[name], JobState::Arriving,
                      taken
                          ? QStringLiteral("nome ") + pendingName + QStringLiteral(" ancora in uso")
                          : m_book.fileFailure(name, QStringLiteral("rinominare")).description);
        return Step::Next;
    }
    m_book.forget(name);
    m_book.forget(pendingName);
    PrintJob& job = m_book.record(pendingName, JobState::Pending, now);
    job.workstation = workstation;
    job.workstationKnown = true;
    JobBook::stampModified(m_book.localPath(pendingName), now);
    const QString path = m_book.folder() + pendingName;
    m_book.host().trace(QStringLiteral("1.7"));
    if (!m_busy)
        m_busy = m_book.busyWorkstations();
    // Its client is printing another: the follow-up after that one's completion offers it.
    if (m_busy->contains(comparable(workstation)))
        return Step::Next;
    const int slot = m_book.announce(path, workstation);
    m_book.host().trace(QStringLiteral("1.8"));
    if (slot > 0) {
        m_book.markAnnounced(job, slot);
        m_busy->insert(comparable(workstation));
        return Step::Announced;
    }
    // Its workstation is away: the file waits for it (hold time) instead of being lost.
    m_book.hold(job);
    m_book.host().trace(QStringLiteral("1.9"));
    return Step::Next;
}

bool NewFileIntake::renameToPending(const QString& name, const QString& pendingName) {
    const QString pendingLocal = m_book.localPath(pendingName);
    if (QFile::rename(m_book.localPath(name), pendingLocal))
        return true;
    const auto waiting = m_book.jobs().constFind(pendingName);
    if (waiting == m_book.jobs().constEnd() || waiting->state != JobState::Completed ||
        !QFile::remove(pendingLocal))
        return false;
    // The waiting file of that name was printed already, only its delete had failed.
    m_book.forget(pendingName);
    return QFile::rename(m_book.localPath(name), pendingLocal);
}

qint64 NewFileIntake::msUntilNextReady() const {
    if (!m_readers.isEmpty())
        return 0; // a file is half read
    const QDateTime now = m_book.clock.wall();
    qint64 best = -1;
    for (const PrintJob& job : m_book.jobs()) {
        if (job.state != JobState::Arriving || job.restingIn == 0)
            continue;
        const qint64 left = qMax<qint64>(0, job.restMs - job.modified.msecsTo(now));
        if (best < 0 || left < best)
            best = left;
    }
    return best;
}
