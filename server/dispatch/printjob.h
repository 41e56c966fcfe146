#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// Where a print file stands in the print folder. The watcher keeps one state per file; its
// decisions, its log lines and the queue view all read it.
enum class JobState {
    Arriving,  // a new file: still being written, not yet rested, or not takeable yet
    Pending,   // accepted (".PRN"), waiting for its next offer
    Announced, // offered on its workstation's connection, whose client holds it now
    Held,      // its workstation is not connected; kept for the hold time
    SetAside,  // renamed to ".ERR" for someone to look at; never offered again
    Completed, // its client reported it printed; only its delete has still to succeed
    Ignored,   // left alone as it is: no print file the server can take (see reason), logged once
};

// Why a file was set aside or left alone, for programs to act on; the reason is for people.
// None when nothing is wrong, and for a file set aside before the server started.
enum class JobCause {
    None,
    UnknownCompany,    // its name ends in no known company code
    NoWorkstationLine, // no "PC:" line (within the search limit) or an empty name in it
    TooLarge,          // larger than the limit for a print file
    NotAFile,          // a folder, a device, a pipe, a socket, or a link to one or to nothing
    BadName,           // a name that is not valid text, or too long to be renamed
    Unreadable,        // cannot be read (no right, an I/O error)
    Other,             // held or unprinted too long, and whatever else
};

// One line of the queue view: a copy taken at one moment, for windows and commands to show.
struct QueueEntry {
    QString fileName; // as it lies in the print folder now
    JobState state = JobState::Arriving;
    QString workstation; // "" while the file has not been read
    qint64 ageMs = 0;    // since it arrived, was accepted or was set aside
    QString reason;      // why it waits or was set aside; "" when nothing is wrong
    JobCause cause = JobCause::None;
    bool workstationFailed = false; // the reason is its workstation's: it could not print it
};

// The watcher's record of one file of the print folder. Beyond the state, each field matters
// only in the states its comment names.
struct PrintJob {
    JobState state = JobState::Arriving;
    QString workstation; // as read from the file, once workstationKnown
    bool workstationKnown = false;
    // Arrival, acceptance (Pending on) or setting aside, on the monotonic clock; none while a
    // pending file found after a restart has not been looked at.
    std::optional<qint64> since;
    QString reason;                  // Arriving, Held, SetAside, Ignored: as QueueEntry::reason
    JobCause cause = JobCause::None; // SetAside, Ignored
    // Announced, Pending: why its workstation could not print it, in the workstation's words
    // ("ERR:"); "" while it has not failed. Kept until it prints or is set aside.
    QString workstationFailure;
    quint64 listedIn = 0; // the last listing of the folder (scan or pass) that found the file

    // Arriving: the size and time stamp a scan saw while the file had not rested yet, and that
    // scan's listing (0 when the file is not waiting to rest).
    qint64 size = -1;
    QDateTime modified;
    quint64 restingIn = 0;
    qint64 restMs = 0; // how long it must stay unchanged before it is read

    // Announced: when (monotonic clock), on which slot and to which registered name (comparable
    // form). announcedTo stays after the announcement ends: who may still complete it.
    qint64 announcedAt = 0;
    int announcedSlot = 0;
    QString announcedTo;
    // Announced: its client said it could not print it ("ERR:"), so it holds it no more and may
    // take its next document; the file itself waits out the re-offer interval all the same.
    bool failedThere = false;

    // Held: since when (monotonic clock) its workstation has been away.
    qint64 absentSince = 0;

    // SetAside: the pending name it had, when it had been announced: a late completion of that
    // name still completes it.
    QString announcedAs;
};
