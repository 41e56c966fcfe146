#pragma once

#include "failure.h"

#include <QList>
#include <QObject>
#include <QString>

class PrintServer;
class QLocalServer;
class QLocalSocket;
struct QueueEntry;

// The admin command's way into a running server: a local socket in the server folder
// (".VelarixSrv.admin", hidden, so neither the share's users nor the update check see it) that
// only the server's own user may open. One request line per connection, answered and closed:
//   "queue"          the print folder's files as the watcher sees them, one line each
//   "put-back NAME"  a set-aside file back in the queue (PrintServer::putBack)
// The answer's first line is the failure number (0: done), the lines after it the text to show.
class AdminChannel : public QObject {
    Q_OBJECT
public:
    static QString socketPath(const QString& serverFolder);
    // The queue as the command shows it: state, file, workstation, waiting time, reason.
    static QString queueText(const QList<QueueEntry>& entries);

    AdminChannel(PrintServer& server, QObject* parent = nullptr);
    // Starts answering; a socket left by a server that died is replaced.
    Failure listen();

private:
    void answer(QLocalSocket* socket);
    QByteArray reply(const QString& request);

    PrintServer& m_server;
    QLocalServer* m_local;
};
