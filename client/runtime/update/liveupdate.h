#pragma once

#include "updatecheck.h"

#include <QHash>
#include <QString>
#include <QStringList>

// Keeps a running client as current as the share's Client folder: run(), before each document
// and on the idle timer, takes every file of the share that the start-up check would find due
// (UpdateCheck::isDue) or that has changed on the share since the last look, and copies it into
// the program folder at once (ClientFolderCopy). Remembering the share's files catches what the
// minute-wide stamps miss: a Documenti.mdb saved on the server while the local copy, rewritten by
// every import, is newer; a second save within the same minute.
//
// The client program itself cannot be replaced under the running client: when it is due, run()
// asks for the hand-over to the updater instead. A hand-over the updater could not take (it did
// not start, or the program is still due after an update round) is not asked for again until the
// share holds another program; the data files are still taken meanwhile. A problem (share
// unreachable, a file that cannot be copied) is reported once, not at every document, until it
// changes; a file that could not be copied is tried again at every run.
class LiveUpdate {
public:
    enum class Action {
        None,      // nothing changed, or nothing could be done
        Refreshed, // files were copied (see copied)
        HandOver   // the client program is due: start the updater and end
    };
    struct Result {
        Action action = Action::None;
        QStringList copied;
        QString logLine; // for the activity log, empty when there is nothing new to say
    };

    LiveUpdate(UpdateCheck check, QString installFolder, QString programName);

    // Notes the share's files as they are now (right after the start-up check).
    void remember();
    Result run();

    // The updater did not take over (or has just done so and left the program due): the program
    // now on the share is not handed over for again.
    void handOverRefused();

private:
    struct Seen {
        qint64 modified = -1;
        qint64 size = -1;
        bool operator==(const Seen&) const = default;
    };
    using Snapshot = QHash<QString, Seen>;

    Snapshot look(QStringList* wanted) const;
    qint64 shareProgramStamp() const;
    void report(Result& result, const QString& problem);

    UpdateCheck m_check;
    QString m_installFolder;
    QString m_programName;
    Snapshot m_seen;
    qint64 m_refusedProgram = -1;
    QString m_lastProblem;
};
