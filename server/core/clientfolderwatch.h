#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

class QFileSystemWatcher;
class QTimer;

// Tells the running server when someone else changed its settings in the Client folder: the
// admin command, a technician's editor, a settings window. Copie.txt counts when its bytes change;
// the letterheads when Documenti.mdb or Aggiorna.txt get a new size or time. Writers replace files
// (QSaveFile renames, SQLite keeps a journal beside the database) or rewrite them in place (an
// editor), so the folder and Copie.txt are watched and a burst of changes is looked at once,
// when it has settled.
class ClientFolderWatch : public QObject {
    Q_OBJECT
public:
    // settleMs: how long the folder must stay quiet before it is compared.
    ClientFolderWatch(const QString& clientFolder, int settleMs, QObject* parent = nullptr);

    // Takes the files as they are now as the known state (after the server read them itself).
    void rememberCurrent();
    // Looks at the letterheads now rather than when the folder has settled: true (and the new
    // state known, no signal) when they changed since last looked at.
    bool takeLetterheadChange();

signals:
    void copiesChanged();
    void letterheadsChanged();

private:
    struct Stamp {
        qint64 size = -1;
        QDateTime modified;
        bool operator==(const Stamp&) const = default;
    };
    Stamp stampOf(const QString& name) const;
    void watchCopiesFile();
    QByteArray copiesBytes() const;
    void compare();

    QString m_folder;
    QFileSystemWatcher* m_watcher;
    QTimer* m_settle;
    QByteArray m_copies;
    Stamp m_database;
    Stamp m_flag;
};
