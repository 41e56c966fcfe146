#include "weblisteners.h"

#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

#include <sys/socket.h>
#include <unistd.h>

bool ConnectionLimits::hasRoomFor(qintptr handle) const {
    sockaddr_storage peer{};
    socklen_t size = sizeof(peer);
    if (::getpeername(int(handle), reinterpret_cast<sockaddr*>(&peer), &size) != 0)
        return false;
    const QHostAddress address(reinterpret_cast<const sockaddr*>(&peer));
    return m_open.value(address.toString()) < PerAddress;
}

void ConnectionLimits::watch(QTcpSocket* socket) {
    const QString address = socket->peerAddress().toString();
    ++m_open[address];
    connect(socket, &QObject::destroyed, this, [this, address] {
        if (--m_open[address] <= 0)
            m_open.remove(address);
    });
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->setInterval(IdleMs);
    connect(idle, &QTimer::timeout, socket, [socket] { socket->abort(); });
    idle->start();
    // Connected before the HTTP server's own reader, so this sees each arrival first.
    auto received = std::make_shared<qint64>(0);
    connect(socket, &QIODevice::readyRead, socket, [socket, idle, received] {
        idle->start();
        *received += socket->bytesAvailable();
        if (*received > MaxBytes)
            socket->abort();
    });
    // An aborted or closed socket goes away; the HTTP server forgets it on the same signal.
    connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater,
            Qt::UniqueConnection);
}

void LimitedTcpServer::incomingConnection(qintptr handle) {
    if (!m_limits.hasRoomFor(handle)) {
        ::close(int(handle));
        return;
    }
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(handle)) {
        delete socket;
        return;
    }
    m_limits.watch(socket);
    addPendingConnection(socket);
}

void LimitedSslServer::incomingConnection(qintptr handle) {
    if (!m_limits.hasRoomFor(handle)) {
        ::close(int(handle));
        return;
    }
    QSslServer::incomingConnection(handle);
}

LimitedSslServer::LimitedSslServer(ConnectionLimits& limits, QObject* parent)
    : QSslServer(parent), m_limits(limits) {
    setHandshakeTimeout(10000);
    connect(this, &QSslServer::startedEncryptionHandshake, this,
            [&limits](QSslSocket* socket) { limits.watch(socket); });
}
