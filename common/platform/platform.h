#pragma once

#include "failure.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

class FolderNotifier;
class QObject;

// What the programs need from the operating system beyond Qt, in one interface. Each system has
// one implementation, picked in platform.cpp and nowhere else; the rest of the code asks
// Platform::current() and never tests which system it runs on. Only the POSIX port (Linux) is
// built today: posixplatform.h with one *_posix.cpp file per concern, and on Linux
// linuxplatform.h on top of it with the *_linux.cpp files that need the Linux kernel.
//
// A Windows port supplies WindowsPlatform in windowsplatform.h and one *_win.cpp file per concern,
// names them in common/CMakeLists.txt and platform.cpp, and answers each group below as the
// Windows programs did:
//   start at log-on   the value `name` = `command` under the machine-wide Run key,
//                     HKEY_LOCAL_MACHINE "SOFTWARE\Microsoft\Windows\CurrentVersion\Run"
//                     (RegCreateKeyA; RegSetValueExA with the size of the text without its NUL;
//                     RegDeleteValueA to remove)
//   share             "net share Velarix=<folder> /UNLIMITED /GRANT:<group>,READ" (plus
//                     Guest,READ when guests are asked for)
//   server discovery  TESTSRV.BAT "NET VIEW > .\SERVER.TXT" and TESTIP.BAT "PING <name> >
//                     .\IP.TXT", run through "cmd /c" in a minimised window; a shared file's
//                     size from QFileInfo("\\<name>\Velarix\<file>")
//   install folders   "C:\Programmi\Velarix\", then "C:\Program Files\Velarix\"
//   printer queues    true: the spooler keeps a job for a paused or offline printer
//   acting as owner   nothing: an administrator's files are the service's already
//                     (both the process and a file it wrote)
//   single instance   nothing: SingleInstance (singleinstance.h) uses QLockFile, which works there
//   processes         OpenProcess + GetExitCodeProcess: running while STILL_ACTIVE
//   single instance   the folder for machine-wide locks: the common application data folder
//                     (CSIDL_COMMON_APPDATA); per user: the local application data folder
//   open writers      CreateFile with FILE_SHARE_READ only: refused with a sharing violation
//                     while someone holds the file open for writing
//   folder changes    ReadDirectoryChangesW; FILE_ACTION_ADDED/MODIFIED tell little about the
//                     writer, so the base class's notifier does as well
//
// Nothing here shows anything to the user: an action returns a Failure with its reason, a
// question its answer, and the caller decides what the office sees.
class Platform {
public:
    // A program and its arguments, each argument passed as one word (no shell in between).
    struct Command {
        QString program;
        QStringList arguments;
    };

    virtual ~Platform() = default;

    // The implementation for the system this build runs on.
    static const Platform& current();

    // -- Start at log-on
    // Registers `command` (a program file, no arguments; it may hold blanks) to start at log-on
    // under `name`. Registering twice leaves one registration. A name that cannot be a file name
    // fails with BadFileNameOrNumber.
    virtual Failure addAutostart(const QString& name, const QString& command) const = 0;
    // Removes the registration; a name with none is not a failure.
    virtual Failure removeAutostart(const QString& name) const = 0;
    // Where registrations go (a folder or a registry key), for messages and tests.
    virtual QString autostartLocation() const = 0;

    // -- Publishing the share
    // Who may open the share: workstations only read from it, so it is read-only for the
    // members of `group`; guests (no account) only when the technician asks for them.
    struct ShareAccess {
        QString group;
        bool guests = false;
    };
    // The command that publishes `programFolder` as the network share "Velarix". It is started,
    // not waited for, and its result is not looked at: a share that already exists makes it fail,
    // which is harmless. Fails (PathNotFound) when the group does not exist.
    virtual Failure shareCommand(const QString& programFolder, const ShareAccess& access,
                                 Command* command) const = 0;
    // Starts shareCommand(); fails when there is no command or it did not start.
    Failure publishShare(const QString& programFolder, const ShareAccess& access) const;

    // -- Finding servers on the network
    // The body of the work script that writes SERVER.TXT into its current folder: a heading, a
    // line beginning with "-", then one "\\NAME" line per computer of the network.
    virtual QByteArray serverListScript() const = 0;
    // The body of the work script that writes IP.TXT: the IPv4 address of `computerName` between
    // "[" and "]", or no brackets at all when the name does not resolve. The name comes from the
    // network and must never be run as a command.
    virtual QByteArray addressScript(const QString& computerName) const = 0;
    // How a work script is run.
    virtual Command scriptCommand(const QString& scriptPath) const = 0;
    // The size in bytes of `fileName` in the "Velarix" share of `computerName` (a bare name, no
    // leading "\\"), asked of that computer itself; -1 when the computer, its share or the file
    // cannot be reached, or the name could lead anywhere else. Waits a few seconds at most.
    virtual qint64 sharedFileSize(const QString& computerName, const QString& fileName) const = 0;
    // Starts a work script in `workFolder`, not waited for; fails only when it did not start.
    Failure startScript(const QString& scriptPath, const QString& workFolder) const;

    // -- Install folders
    // The folders where a workstation's client is usually installed, in the order they are
    // probed; each ends with a separator.
    virtual QStringList installFolders() const = 0;

    // -- Acting for a service
    // When run by the administrator, takes on the identity (user and groups) of the owner of
    // `folder`, so that everything written there keeps the owner its service expects. Does
    // nothing for any other user, or for a folder the administrator owns.
    virtual Failure actAsOwnerOf(const QString& folder) const = 0;
    // When run by the administrator, gives the file `path` the user and group of the owner of
    // `folder`, so that a file written for a service stays the service's (a link is not
    // followed). Does nothing for any other user.
    virtual Failure giveToOwnerOf(const QString& path, const QString& folder) const = 0;

    // -- Printer queues
    // False only when the queue is known to refuse new jobs; true when it accepts them or when
    // that cannot be found out. Qt hands a job over without saying whether the queue took it, so
    // a refusing queue must be asked beforehand.
    virtual bool printerAcceptsJobs(const QString& printerName) const = 0;

    // -- Processes
    // True while the process (an id from startDetached) runs; false once it has ended, even
    // before anyone has collected its exit status.
    virtual bool isProcessRunning(qint64 processId) const = 0;
    // -- Files still being written
    // Succeeds when no process (a file server's included) holds the file open for writing. Fails
    // with FileAlreadyOpen while one does, FileNotFound when it is not there, PathFileAccess when
    // it cannot be opened for reading (no right to read it, a link), and with another number when
    // the system cannot tell (a network file system, no right to ask): the caller then judges by
    // other means. The base class cannot tell anywhere.
    virtual Failure checkNoWriters(const QString& path) const;

    // -- Folder changes
    // Tells about changes in `folder` (not its subfolders) as they happen. The base class says
    // only that something changed; a system that knows more also names each file that a writer
    // has just closed or that was moved in.
    virtual std::unique_ptr<FolderNotifier> watchFolder(const QString& folder) const;

    // -- Connections that die without a close
    // Sets the timing of keep-alive probes on a connection that has keep-alive switched on, so
    // that one whose peer stopped answering, probes and unacknowledged data alike, fails after
    // about `deadAfterMs` with an error like any other. A peer that lost its power, its cable or
    // went to sleep sends no close, and without this its connection stays open on our side for
    // hours (idle) or a quarter of an hour (data unacknowledged). The base class leaves the
    // system's own timing.
    virtual void watchConnection(qintptr descriptor, int deadAfterMs) const;

    // -- Single instance
    // Where the lock that allows one running instance per machine lives, and where the one per
    // user of a machine lives. Both are folders that exist or can be created; "" when none.
    virtual QString machineLockFolder() const = 0;
    virtual QString userLockFolder() const = 0;
};
