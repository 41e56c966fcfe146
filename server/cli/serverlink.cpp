#include "serverlink.h"

#include "adminchannel.h"
#include "folderaccess.h"
#include "platform/systemerror.h"

#include <QLocalSocket>
#include <QTextStream>

#include <cstdio>

int askRunningServer(const QString& serverFolder, const QString& request, QTextStream& out) {
    QTextStream err(stderr);
    QLocalSocket socket;
    const QString path = AdminChannel::socketPath(serverFolder);
    socket.connectToServer(path);
    if (!socket.waitForConnected(5000)) {
        // A server that runs but may not be reached is not one that does not run.
        if (socket.error() == QLocalSocket::SocketAccessError) {
            err << FolderAccess::deniedText(path) << '\n';
            return 1;
        }
        const QString reason = systemReasonIn(socket.errorString());
        err << "Server Velarix non in esecuzione in " << serverFolder
            << (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason) << '\n';
        return 1;
    }
    socket.write(request.toUtf8() + '\n');
    // The server answers and closes; a server that hangs does not hang the command.
    QByteArray answer;
    while (socket.state() == QLocalSocket::ConnectedState && socket.waitForReadyRead(10000))
        answer += socket.readAll();
    answer += socket.readAll();
    const qsizetype end = answer.indexOf('\n');
    bool ok = false;
    const int number = answer.left(end).toInt(&ok);
    if (end < 0 || !ok) {
        err << "Nessuna risposta dal server\n";
        return 1;
    }
    (number == 0 ? out : err) << QString::fromUtf8(answer.mid(end + 1));
    return number == 0 ? 0 : 1;
}
