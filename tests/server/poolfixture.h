#pragma once

// Shared pieces of the server tests: a block of loopback ports the server really got, and a
// client that speaks the wire protocol byte for byte.

#include "testports.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace ServerTest {

// Tries blocks of `count` free ports until `open(base)` reports that all of them listen. Another
// program may take a port between the probe and the listen; that costs one more block, never a
// failed test. Returns the base in use, 0 when no block could be had.
template <typename Open> quint16 openOnFreePorts(int count, Open open) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        const quint16 base = TestPorts::freeRange(count);
        if (base != 0 && open(base))
            return base;
    }
    return 0;
}

// The TCP ports on which process `pid` listens (Linux: its socket descriptors matched against
// the kernel's socket tables), so a test knows that the ports it calls are that program's.
inline QSet<quint16> listeningPorts(qint64 pid) {
    QSet<QString> inodes;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::Files)) {
        const QString target = fd.symLinkTarget().section(QLatin1Char('/'), -1);
        if (target.startsWith(QLatin1String("socket:[")))
            inodes.insert(target.mid(8).chopped(1));
    }
    QSet<quint16> ports;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file{QString::fromLatin1(table)};
        if (!file.open(QIODevice::ReadOnly))
            continue;
        file.readLine(); // header
        while (!file.atEnd()) {
            const QList<QByteArray> f = file.readLine().simplified().split(' ');
            // sl local rem st tx:rx tr:when retrnsmt uid timeout inode; state 0A is LISTEN.
            if (f.size() > 9 && f[3] == "0A" && inodes.contains(QString::fromLatin1(f[9])))
                ports.insert(quint16(f[1].split(':').last().toUInt(nullptr, 16)));
        }
    }
    return ports;
}

// A workstation: connects, sends raw bytes, collects what the server answers.
class Client {
public:
    bool connectTo(quint16 port, int timeoutMs = 3000) {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        return m_socket.waitForConnected(timeoutMs);
    }
    void send(const QByteArray& bytes) {
        m_socket.write(bytes);
        m_socket.flush();
    }
    // Everything received so far (lets pending events run first).
    QByteArray received() {
        QCoreApplication::processEvents();
        m_received += m_socket.readAll();
        return m_received;
    }
    void clearReceived() {
        received();
        m_received.clear();
    }
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    void disconnect() { m_socket.disconnectFromHost(); }
    QTcpSocket& socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_received;
};

} // namespace ServerTest
