#pragma once

#include "failure.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

class UserPrompts;

// The search for the server when the client starts without one: asks whether to type the address,
// otherwise lists the computers of the network (TESTSRV.BAT -> SERVER.TXT), takes the first one
// whose share holds the server program, turns its name into an address (TESTIP.BAT -> IP.TXT),
// and asks for the address when nothing was found. The result goes into IPHost.set (rewritten
// whole, even when empty; a file that cannot be written is said in a message) and, when not
// empty, the client is registered to start at log-on.
//
// The work files live in the work folder (the current directory) and are left in place. The two
// ".BAT" scripts come from the platform (platform/platform.h says what they write); an old output
// file is removed before its script starts, so a stale one is never read. A work file that is
// missing or cannot be opened when the wait is over reads as empty: no candidate, or no address,
// and the user is asked for the address.
//
// No widgets here: the window (ServerSearchDialog) supplies the status label, the wait with its
// lamps, and the prompts; tests supply scripted commands and a wait that returns at once.
class ServerSearch {
public:
    struct Hooks {
        // Starts a work script, not waited for. Default: the platform's way, detached.
        std::function<bool(const QString& scriptPath)> runScript;
        // The fixed wait after a command (seconds). Default: returns at once.
        std::function<void(double seconds)> pause;
        // After each wait the window sets image 3 to the unlit picture.
        std::function<void()> afterPause;
        // Status label Label2.
        std::function<void(const QString& text)> status;
        // Size of the server program in the share of a computer (a bare name), -1 when it
        // cannot be reached. Default: the platform asks that computer.
        std::function<qint64(const QString& computerName)> serverProgramSize;
    };

    static constexpr double CommandWait = 4.0;

    ServerSearch(QString installFolder, QString workFolder, UserPrompts& prompts, Hooks hooks);

    // The search as the window's timer runs it; returns the new ServerHost. A serverHost that is
    // not blank is returned unchanged without asking or writing anything.
    QString run(const QString& serverHost);

    // SERVER.TXT: after the first value beginning with "-", every value (trimmed) is a candidate.
    static QStringList candidates(const QByteArray& serverList);
    // IP.TXT: the text between the first "[" and "]" of the first value holding both.
    static QString address(const QByteArray& echoOutput);

    // candidate + "\Velarix\VelarixSrv" exists on that computer and is longer than 0 bytes.
    bool hasServerProgram(const QString& candidate) const;

private:
    QString searchNetwork();
    Failure writeScript(const QString& name, const QByteArray& body) const;
    QByteArray readWorkFile(const QString& name) const;
    void waitForCommand();

    QString m_installFolder;
    QString m_workFolder;
    UserPrompts& m_prompts;
    Hooks m_hooks;
};
