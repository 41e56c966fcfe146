#pragma once

// Shared pieces of the server tests: a free block of loopback ports and a client that speaks
// the wire protocol byte for byte.

#include <QByteArray>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <memory>
#include <vector>

namespace ServerTest {

// First of `count` consecutive ports that can all be opened right now (0 when none was found).
// Below the ephemeral range (32768 up on Linux): otherwise a test's own outgoing connections may
// take one of the server's ports while it is between two listens.
inline quint16 freePortBlock(int count) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        const auto base = quint16(20000 + QRandomGenerator::global()->bounded(12700 - count));
        std::vector<std::unique_ptr<QTcpServer>> probes;
        bool ok = true;
        for (int i = 0; i < count && ok; ++i) {
            auto probe = std::make_unique<QTcpServer>();
            ok = probe->listen(QHostAddress::Any, quint16(base + i));
            probes.push_back(std::move(probe));
        }
        if (ok)
            return base;
    }
    return 0;
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
    // Everything received so far (pumps the event loop briefly).
    QByteArray received() {
        QTest::qWait(1);
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
