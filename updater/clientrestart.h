#pragma once

#include "failure.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTemporaryDir>

class QTimer;

// Starts the client once the updater has brought its folder up to date, and makes sure that a
// client runs afterwards: a new program that cannot be started, or that has ended before watchMs
// have passed, is replaced by the previous one (kept by ClientUpdater before the copy), which is
// started instead. The previous program is trusted: it ran before the update.
//
// A client that got through its start-up says so by writing the file named in
// VELARIX_STARTED_FILE (announceStarted(), processstart.h): from then on it counts as running, so a
// client asked to end soon after (a person, a shutdown) is neither started again nor replaced by
// the previous program.
//
// Outcomes: Running (the new program is up), Restored (the previous program is back and was
// started), NoClient (neither could be started; detail() says why).
class ClientRestart : public QObject {
    Q_OBJECT
public:
    enum class Outcome { Running, Restored, NoClient };
    Q_ENUM(Outcome)

    ClientRestart(QString program, QString previousProgram, int watchMs, QObject* parent = nullptr);

    // Starts the program with --after-update; finished() follows, at once or after the watch.
    void start();

    QString detail() const { return m_detail; }
    qint64 processId() const { return m_processId; } // of the client that was started last

signals:
    void finished(ClientRestart::Outcome outcome);

private:
    QString startedFile() const;
    Failure launch();
    void watch();
    void restore();

    QString m_program;
    QString m_previousProgram;
    int m_watchMs;
    QTimer* m_poll;
    QElapsedTimer m_watched;
    QTemporaryDir m_startedFolder; // where the client writes that it has started
    qint64 m_processId = 0;
    QString m_detail;
};
