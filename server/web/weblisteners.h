#pragma once

#include <QHash>
#include <QHostAddress>
#include <QSslServer>
#include <QTcpServer>

class QTcpSocket;

// What every connection to the web page must keep to before a request is even read: at most
// PerAddress connections from one address, no more than MaxBytes received on one connection, no
// connection idle for IdleMs. A page is a few kilobytes and a form a few hundred bytes: a peer
// past these limits is no browser of the office, and is cut off without a word.
class ConnectionLimits : public QObject {
    Q_OBJECT
public:
    static constexpr int PerAddress = 16;
    static constexpr qint64 MaxBytes = 1 << 20;
    static constexpr int IdleMs = 30000;

    explicit ConnectionLimits(QObject* parent = nullptr) : QObject(parent) {}
    // Whether the peer of a connection just accepted may have one more.
    bool hasRoomFor(qintptr handle) const;
    // Counts the connection and applies the limits to it.
    void watch(QTcpSocket* socket);

private:
    QHash<QString, int> m_open; // by peer address
};

// Plain HTTP, for the server's own machine.
class LimitedTcpServer : public QTcpServer {
    Q_OBJECT
public:
    LimitedTcpServer(ConnectionLimits& limits, QObject* parent)
        : QTcpServer(parent), m_limits(limits) {}

protected:
    void incomingConnection(qintptr handle) override;

private:
    ConnectionLimits& m_limits;
};

// HTTPS: the limits apply from the start of the handshake.
class LimitedSslServer : public QSslServer {
    Q_OBJECT
public:
    LimitedSslServer(ConnectionLimits& limits, QObject* parent);

protected:
    void incomingConnection(qintptr handle) override;

private:
    ConnectionLimits& m_limits;
};
