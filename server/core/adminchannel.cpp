#include "adminchannel.h"

#include "platform/systemerror.h"
#include "printjob.h"
#include "printserver.h"
#include "queuetexts.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace {
// Qt's text carries the system's reason in English.
QString listenFailure(const QString& qtText) {
    const QString reason = systemReasonIn(qtText);
    return reason.isEmpty() ? QStringLiteral("canale dei comandi non aperto") : reason;
}
} // namespace

QString AdminChannel::socketPath(const QString& serverFolder) {
    return QDir(serverFolder).filePath(QStringLiteral(".VelarixSrv.admin"));
}

QString AdminChannel::queueText(const QList<QueueEntry>& entries) {
    // The words and the rule of the server window's list: what is printed no longer waits.
    QString text;
    for (const QueueEntry& entry : entries) {
        if (!QueueTexts::isListed(entry))
            continue;
        QString line = QueueTexts::state(entry).leftJustified(25) + entry.fileName +
                       QLatin1Char('\t') +
                       (entry.workstation.isEmpty() ? QStringLiteral("-") : entry.workstation) +
                       QLatin1Char('\t') + QueueTexts::waited(entry.ageMs);
        if (!entry.reason.isEmpty())
            line += QLatin1Char('\t') + entry.reason;
        text += line + QLatin1Char('\n');
    }
    return text.isEmpty() ? QStringLiteral("Nessuna stampa nella cartella\n") : text;
}

AdminChannel::AdminChannel(PrintServer& server, QObject* parent)
    : QObject(parent), m_server(server), m_local(new QLocalServer(this)) {
    m_local->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_local, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_local->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { answer(socket); });
        }
    });
}

Failure AdminChannel::listen() {
    // The service's folder is not its own to write: it listens in its runtime folder, which the
    // package's link in the server folder leads to.
    const QString forced = qEnvironmentVariable("VELARIX_ADMIN_SOCKET");
    const QString path = forced.isEmpty() ? socketPath(m_server.programFolder()) : forced;
    QLocalServer::removeServer(path);
    if (!m_local->listen(path))
        return {ErrorNumber::PathFileAccess,
                path + QStringLiteral(": ") + listenFailure(m_local->errorString())};
    return {};
}

void AdminChannel::answer(QLocalSocket* socket) {
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > 4096) // no request is that long
            socket->abort();
        return;
    }
    const QString request = QString::fromUtf8(socket->readLine()).trimmed();
    socket->write(reply(request));
    socket->disconnectFromServer();
}

QByteArray AdminChannel::reply(const QString& request) {
    Failure failure;
    QString text;
    if (request == QLatin1String("queue")) {
        text = queueText(m_server.queue());
    } else if (request.startsWith(QLatin1String("put-back "))) {
        const QString name = request.mid(9);
        failure = m_server.putBack(name);
        text = failure ? failure.description : QStringLiteral("Stampa rimessa in coda: ") + name;
        text += QLatin1Char('\n');
    } else {
        failure = {ErrorNumber::InvalidCall, QStringLiteral("richiesta sconosciuta: ") + request};
        text = failure.description + QLatin1Char('\n');
    }
    return QByteArray::number(failure.number) + '\n' + text.toUtf8();
}
