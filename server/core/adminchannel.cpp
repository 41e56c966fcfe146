#include "adminchannel.h"

#include "printjob.h"
#include "printserver.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace {
QString stateText(JobState state) {
    switch (state) {
    case JobState::Arriving:
        return QStringLiteral("in arrivo");
    case JobState::Pending:
        return QStringLiteral("in attesa");
    case JobState::Announced:
        return QStringLiteral("inviata");
    case JobState::Held:
        return QStringLiteral("trattenuta");
    case JobState::SetAside:
        return QStringLiteral("messa da parte");
    case JobState::Completed:
        return QStringLiteral("stampata");
    }
    return QString();
}

QString ageText(qint64 ms) {
    const qint64 seconds = ms / 1000;
    if (seconds < 120)
        return QString::number(seconds) + QStringLiteral(" s");
    if (seconds < 7200)
        return QString::number(seconds / 60) + QStringLiteral(" min");
    return QString::number(seconds / 3600) + QStringLiteral(" h");
}
} // namespace

QString AdminChannel::socketPath(const QString& serverFolder) {
    return QDir(serverFolder).filePath(QStringLiteral(".VelarixSrv.admin"));
}

QString AdminChannel::queueText(const QList<QueueEntry>& entries) {
    if (entries.isEmpty())
        return QStringLiteral("Nessuna stampa nella cartella\n");
    QString text;
    for (const QueueEntry& entry : entries) {
        QString line = stateText(entry.state).leftJustified(15) + entry.fileName +
                       QLatin1Char('\t') +
                       (entry.workstation.isEmpty() ? QStringLiteral("-") : entry.workstation) +
                       QLatin1Char('\t') + ageText(entry.ageMs);
        if (!entry.reason.isEmpty())
            line += QLatin1Char('\t') + entry.reason;
        text += line + QLatin1Char('\n');
    }
    return text;
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
    const QString path = socketPath(m_server.programFolder());
    QLocalServer::removeServer(path);
    if (!m_local->listen(path))
        return {ErrorNumber::PathFileAccess, path + QStringLiteral(": ") + m_local->errorString()};
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
