#pragma once

#include "failure.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

// One client per program folder, whatever computer or user starts it: the folder's Documenti.mdb
// is filled by one import at a time, or one workstation prints another's documents. The lock is
// a file in the folder itself (a lock in a per-user or per-machine folder cannot see a client on
// another computer sharing a network folder) naming its holder, which rewrites it every beat.
//
// A lock is left over when its holder ended without removing it (a crash, a power cut, a computer
// asleep): on the same workstation when its process no longer runs, and on any computer when the
// file has not changed for StaleBeats beats. Only changes of the file are watched, so clocks of
// different computers are never compared. A holder that finds its lock taken over (it slept past
// the stale time) is told by lost() and must stop importing.
class FolderLock : public QObject {
    Q_OBJECT
public:
    static constexpr int BeatMs = 5000;
    static constexpr int StaleBeats = 3;

    FolderLock(QString folder, QString workstation, int beatMs, QObject* parent = nullptr);
    ~FolderLock() override; // removes the file while holding it

    // Takes the lock; may wait up to StaleBeats beats to see another holder's beat. Fails with
    // FileAlreadyOpen while another client holds it (holderText() names it); with another number
    // when no lock file can be written there, which says nothing about another client.
    Failure claim();
    QString holderText() const { return m_holderText; }
    QString fileName() const { return m_path; }

signals:
    void lost(const QString& holderText);

private:
    Failure create();
    bool takeOverFrom(const QByteArray& seen);
    void beat();
    QByteArray content() const;
    static QString describe(const QByteArray& content);

    QString m_path;
    QString m_workstation;
    QByteArray m_token; // what makes our content ours
    int m_beatMs;
    qint64 m_beats = 0;
    bool m_held = false;
    QString m_holderText;
    QTimer m_timer;
};
