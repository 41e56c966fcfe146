#include "printfolderwatcher.h"

#include "companycodes.h"
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

QString number(double value) {
    return QString::number(value, 'g', 6);
}

// The name a file is set aside under: its name + ".ERR", or, when a file set aside earlier holds
// that name (the management program may reuse names), name + ".2.ERR", ".3.ERR", ...
QString asideName(const QString& local) {
    QString aside = local + ErrSuffix;
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
        aside = local + QLatin1Char('.') + QString::number(n) + ErrSuffix;
    return aside;
}
} // namespace

PrintFolderWatcher::PrintFolderWatcher(WatcherHost& host, CompanyCodes& codes)
    : m_host(host), m_codes(codes), m_settings(WatcherSettings::fromEnvironment()),
      m_clock([] { return QDateTime::currentDateTimeUtc(); }) {}

void PrintFolderWatcher::setPrintFolder(const QString& folder, const QString& shareRoot) {
    if (folder != m_folder) {
        m_waiting.clear();
        m_pending.clear();
        m_lastPeriodic.clear();
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
    // left out. Name order, ignoring case, as the office's file server lists them. Iterating and
    // sorting the names ourselves costs half of a sorted QDir listing, which matters once per
    // second with thousands of pending files.
    QStringList names;
    QDirIterator it(m_localFolder, QDir::Files | QDir::Dirs);
    while (it.hasNext()) {
        it.next();
        names.append(it.fileName());
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

int PrintFolderWatcher::slotOf(const QString& workstation) const {
    const QString wanted = workstation.toUpper();
    for (int slot = 1; slot <= WatcherHost::Slots; ++slot) {
        if (comparable(m_host.registryName(slot)) == wanted)
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

bool PrintFolderWatcher::inFlight(const Pending& pending, const QDateTime& now) const {
    if (!pending.announcedAt.isValid() || pending.announcedSlot == 0)
        return false;
    if (pending.announcedAt.msecsTo(now) >= m_settings.reofferMs)
        return false;
    // Still the same registration on that slot: its client holds the file.
    return comparable(m_host.registryName(pending.announcedSlot)) == pending.announcedTo;
}

bool PrintFolderWatcher::setAside(const QString& name, const QString& why) {
    const QString from = localPath(name);
    const QString to = asideName(from);
    if (!QFile::rename(from, to))
        return false; // kept as it is; tried again next time
    m_pending.remove(name);
    m_host.log(QStringLiteral("Stampa messa da parte: ") + m_folder + QFileInfo(to).fileName() +
               QStringLiteral(" (") + why + QStringLiteral(")"));
    return true;
}

QString PrintFolderWatcher::holdText(const QString& workstation) const {
    return QStringLiteral("pc:") + workstation + QStringLiteral(" non collegato da ") +
           number(m_settings.holdMs / 60000.0) + QStringLiteral(" minuti");
}

QString PrintFolderWatcher::expiryText(const QString& workstation) const {
    return QStringLiteral("pc:") + workstation + QStringLiteral(", non stampata entro ") +
           number(m_settings.expiryMs / 3600000.0) + QStringLiteral(" ore");
}

QDateTime PrintFolderWatcher::acceptedAt(const QString& name) {
    const auto it = m_pending.constFind(name);
    if (it != m_pending.constEnd() && it->acceptedAt.isValid())
        return it->acceptedAt;
    // Accepting a file stamps its modification time, so this survives a restart.
    return QFileInfo(localPath(name)).lastModified().toUTC();
}

qint64 PrintFolderWatcher::msUntilNextReady() const {
    if (m_waiting.isEmpty())
        return -1;
    const QDateTime now = m_clock();
    qint64 best = -1;
    for (const Seen& seen : m_waiting) {
        const qint64 age = seen.modified.msecsTo(now);
        const qint64 left = qMax<qint64>(0, m_settings.scanIntervalMs - age);
        if (best < 0 || left < best)
            best = left;
    }
    return best;
}

void PrintFolderWatcher::newFileScan() {
    m_host.trace(QStringLiteral("Timer1"));
    const QDateTime now = m_clock();
    const quint64 scan = ++m_scanNumber;
    m_lastScan = now;
    const QStringList names = listEntries();
    for (const QString& name : names) {
        m_host.trace(QStringLiteral("1.") + name);
        if (name == QLatin1String(".") || name == QLatin1String("..") || isPending(name) ||
            isSetAside(name))
            continue;
        m_host.trace(QStringLiteral("1.0"));
        m_currentName.clear();
        bool match = false;
        const double value = endingValue(name);
        for (int slot = 0; slot < CompanyCodes::Slots; ++slot) {
            if (double(m_codes.at(slot)) == value) {
                match = true;
                break;
            }
        }
        m_host.trace(QStringLiteral("1.1"));
        const QString local = localPath(name);
        if (!match) {
            // Until the company codes could be read (database missing or locked) an unmatched
            // ending tells nothing: the file waits for the codes instead of being deleted.
            if (m_codes.isKnown())
                QFile::remove(local);
            m_host.trace(QStringLiteral("1.2"));
            continue;
        }
        m_host.trace(QStringLiteral("1.3"));

        // A file still being written is left until it has rested: unchanged since the previous
        // scan and not modified within the last scan interval.
        const QFileInfo info(local);
        if (!info.exists())
            return; // gone since the listing: the scan ends here
        if (!info.isDir()) {
            const qint64 size = info.size();
            const QDateTime modified = info.lastModified().toUTC();
            const auto seen = m_waiting.constFind(name);
            const bool known = seen != m_waiting.constEnd();
            const bool changed = known && (seen->size != size || seen->modified != modified);
            const qint64 age = modified.msecsTo(now);
            // A time stamp ahead of our clock cannot tell the age: unchanged since the previous
            // scan is then enough.
            const bool young = age >= 0 ? age < m_settings.scanIntervalMs : !known;
            if (changed || young) {
                m_waiting.insert(name, Seen{size, modified, scan});
                continue;
            }
        }
        m_waiting.remove(name);

        const WorkstationLine line = readWorkstationLine(local);
        if (line.status == WorkstationLine::Status::NotFound)
            return;
        if (line.status == WorkstationLine::Status::Unreadable)
            continue; // locked or a folder: the next tick tries again
        m_currentName = line.name;
        m_host.trace(QStringLiteral("1.4"));
        m_host.setStatusLabel(Waiting);
        if (line.status == WorkstationLine::Status::NoLine) {
            QFile::rename(local, asideName(local));
            m_host.trace(QStringLiteral("1.5"));
            continue;
        }

        m_host.trace(QStringLiteral("1.6"));
        const QString pendingName = name + PrnSuffix;
        const QString pendingLocal = localPath(pendingName);
        bool renamed = QFile::rename(local, pendingLocal);
        if (!renamed && m_pending.value(pendingName).completed && QFile::remove(pendingLocal)) {
            // The waiting file of that name was printed already, only its delete had failed.
            m_pending.remove(pendingName);
            renamed = QFile::rename(local, pendingLocal);
        }
        if (!renamed) {
            // Still held by its writer, or a pending file of the same name is still waiting: the
            // new file stays as it is and is taken once that name is free. The waiting file is
            // left to the passes, which offer it to its own workstation (not this file's).
            continue;
        }
        Pending& record = m_pending[pendingName];
        record = Pending();
        record.workstation = m_currentName;
        record.workstationKnown = true;
        record.acceptedAt = now;
        QFile stamp(pendingLocal);
        if (stamp.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
            stamp.setFileTime(now.toLocalTime(), QFileDevice::FileModificationTime);
        const QString path = m_folder + pendingName;
        m_host.trace(QStringLiteral("1.7"));
        const int slot = announce(path, m_currentName);
        m_host.trace(QStringLiteral("1.8"));
        if (slot > 0) {
            record.announcedAt = now;
            record.announcedSlot = slot;
            record.announcedTo = comparable(m_currentName);
        } else {
            // Its workstation is away: the file waits for it (hold time) instead of being lost.
            if (!record.absentSince.isValid())
                record.absentSince = now;
            m_host.trace(QStringLiteral("1.9"));
        }
    }
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        if (it->scan != scan)
            it = m_waiting.erase(it);
        else
            ++it;
    }
    m_host.trace(QStringLiteral("1.10"));
}

void PrintFolderWatcher::dispatchPass(PassKind kind, const QString& workstation) {
    const QString n = QString::number(int(kind));
    const QString prefix = QStringLiteral("PRN-") + n;
    m_host.trace(QStringLiteral("PRN-Timer") + n);
    m_host.setScanTimerEnabled(false);

    const QDateTime now = m_clock();
    const QString wanted = comparable(workstation);
    const bool allWorkstations = wanted.isEmpty();

    QStringList names = listEntries();
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString& name) { return !isPending(name); }),
                names.end());
    // Forget what no longer lies in the folder.
    {
        QHash<QString, Pending> kept;
        for (const QString& name : names) {
            const auto it = m_pending.constFind(name);
            if (it != m_pending.constEnd())
                kept.insert(name, *it);
        }
        m_pending.swap(kept);
    }

    // The periodic pass starts after the file it announced last time, so a file that keeps
    // failing cannot hold back the others.
    qsizetype start = 0;
    if (allWorkstations && !m_lastPeriodic.isEmpty()) {
        const auto after = std::upper_bound(
            names.cbegin(), names.cend(), m_lastPeriodic, [](const QString& a, const QString& b) {
                const int c = QString::compare(a, b, Qt::CaseInsensitive);
                return c != 0 ? c < 0 : a < b;
            });
        start = after - names.cbegin();
        if (start >= names.size())
            start = 0;
    }

    const qsizetype count = names.size();
    for (qsizetype k = 0; k < count; ++k) {
        const QString& name = names[(start + k) % count];
        m_host.trace(prefix + QLatin1Char('.') + name);
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        m_host.trace(prefix + QStringLiteral(".0"));
        m_currentName.clear();
        const QString local = localPath(name);

        const auto done = m_pending.constFind(name);
        if (done != m_pending.constEnd() && done->completed) {
            // Printed already; only its delete had failed.
            if (QFile::remove(local))
                m_pending.remove(name);
            continue;
        }

        const WorkstationLine line = readWorkstationLine(local);
        if (line.status == WorkstationLine::Status::NotFound) {
            // Gone since the listing: the pass ends here, but the scan must not stay off.
            m_host.setScanTimerEnabled(true);
            return;
        }
        if (line.status == WorkstationLine::Status::Unreadable)
            continue;
        m_host.trace(prefix + QStringLiteral(".1"));
        const bool hasLine = line.status == WorkstationLine::Status::Found;
        m_currentName = line.name;
        const bool forThisPass = allWorkstations || comparable(m_currentName) == wanted;
        m_host.trace(prefix + QStringLiteral(".2"));
        m_host.setStatusLabel(Waiting);

        if (!hasLine) {
            setAside(name, QStringLiteral("manca la riga PC:"));
            m_host.trace(prefix + QStringLiteral(".3"));
            continue;
        }
        if (!forThisPass)
            continue;

        Pending& record = m_pending[name];
        record.workstation = m_currentName;
        record.workstationKnown = true;
        if (!record.acceptedAt.isValid())
            record.acceptedAt = acceptedAt(name);
        if (inFlight(record, now))
            continue; // its client still has it
        if (record.acceptedAt.msecsTo(now) >= m_settings.expiryMs) {
            setAside(name, expiryText(m_currentName));
            continue;
        }

        m_host.trace(prefix + QStringLiteral(".4"));
        const QString path = m_folder + name;
        const int slot = announce(path, m_currentName);
        m_host.trace(prefix + QStringLiteral(".5"));
        if (slot > 0) {
            record.announcedAt = now;
            record.announcedSlot = slot;
            record.announcedTo = comparable(m_currentName);
            record.absentSince = QDateTime();
            if (allWorkstations)
                m_lastPeriodic = name;
            break;
        }
        // Its workstation is away: kept for the hold time, then set aside.
        if (!record.absentSince.isValid())
            record.absentSince = now;
        if (record.absentSince.msecsTo(now) >= m_settings.holdMs)
            setAside(name, holdText(m_currentName));
    }

    if (allWorkstations)
        sweepExpired(names, now);

    m_host.setScanTimerEnabled(true);
    m_host.trace(prefix + QStringLiteral(".6"));
}

void PrintFolderWatcher::sweepExpired(const QStringList& names, const QDateTime& now) {
    // Files the pass did not reach still age: held files past their hold time and files past the
    // expiry are set aside even when the pass stopped before them.
    for (const QString& name : names) {
        const auto it = m_pending.constFind(name);
        const bool known = it != m_pending.constEnd();
        if (known && (it->completed || inFlight(*it, now)))
            continue;
        const QDateTime accepted = acceptedAt(name);
        if (!accepted.isValid())
            continue; // gone meanwhile
        if (!known)
            m_pending[name].acceptedAt = accepted; // one look at the file is enough
        QString workstation;
        bool haveWorkstation = known && it->workstationKnown;
        if (haveWorkstation)
            workstation = it->workstation;
        if (accepted.msecsTo(now) >= m_settings.expiryMs) {
            if (!haveWorkstation) {
                const WorkstationLine line = readWorkstationLine(localPath(name));
                if (line.status != WorkstationLine::Status::Found &&
                    line.status != WorkstationLine::Status::NoLine)
                    continue;
                workstation = line.name;
            }
            setAside(name, expiryText(workstation));
            continue;
        }
        if (known && it->absentSince.isValid() && haveWorkstation) {
            if (slotOf(comparable(workstation)) != 0) {
                m_pending[name].absentSince = QDateTime(); // back again: the passes deliver it
                continue;
            }
            if (it->absentSince.msecsTo(now) >= m_settings.holdMs)
                setAside(name, holdText(workstation));
        }
    }
}

bool PrintFolderWatcher::workstationRegistered(const QString& name) {
    const QString key = comparable(name);
    bool waiting = false;
    for (Pending& pending : m_pending) {
        // A new registration is a new client: what the old connection held is gone with it.
        if (pending.announcedTo == key) {
            pending.announcedAt = QDateTime();
            pending.announcedSlot = 0;
        }
        if (!pending.completed && pending.workstationKnown &&
            comparable(pending.workstation) == key)
            waiting = true;
    }
    if (waiting)
        return true;
    // Files accepted before a restart are not known yet: any of them may be for this name.
    const QStringList names = listEntries();
    for (const QString& entry : names) {
        if (isPending(entry) && !m_pending.value(entry).workstationKnown)
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
        m_pending.remove(name);
        return;
    }
    Pending& record = m_pending[name];
    record.completed = true;
    record.announcedAt = QDateTime();
}
