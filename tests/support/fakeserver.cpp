#include "fakeserver.h"

#include "textcodec.h"
#include "version.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

FakeServer::FakeServer(QObject* parent)
    : QObject(parent), m_server(new QTcpServer(this)), m_revision(VELARIX_REVISION) {
    connect(m_server, &QTcpServer::newConnection, this, &FakeServer::takeConnection);
}

FakeServer::~FakeServer() {
    stopListening();
}

void FakeServer::setRevision(int revision) {
    m_revision = revision;
}

void FakeServer::setAnswerRegistrations(bool answer) {
    m_answerRegistrations = answer;
}

bool FakeServer::listen(quint16 port) {
    m_port = port;
    m_wantListening = true;
    return openPort();
}

bool FakeServer::openPort() {
    if (m_server->isListening())
        return true;
    return m_server->listen(QHostAddress::AnyIPv4, m_port);
}

void FakeServer::stopListening() {
    m_wantListening = false;
    m_server->close();
    closeConnection();
}

bool FakeServer::isListening() const {
    return m_server->isListening();
}

bool FakeServer::isConnected() const {
    return m_client && m_client->state() == QAbstractSocket::ConnectedState;
}

void FakeServer::takeConnection() {
    QTcpSocket* socket = m_server->nextPendingConnection();
    if (!socket)
        return;
    // One workstation per port: the port takes no further connection until this one ends.
    m_server->close();
    if (m_client) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    m_client = socket;
    m_framer.clear();
    connect(socket, &QTcpSocket::readyRead, this, &FakeServer::readClient);
    connect(socket, &QTcpSocket::disconnected, this, &FakeServer::clientGone);
    emit clientConnected();
}

void FakeServer::readClient() {
    if (!m_client)
        return;
    const QList<QString> received = m_framer.feed(m_client->readAll());
    for (const QString& message : received) {
        m_messages.append(message);
        emit messageReceived(message);
        if (Wire::isRegistration(message)) {
            m_workstation = Wire::serverPayload(message, 3);
            ++m_registrations;
            if (m_answerRegistrations)
                send(Wire::versionReply(m_revision));
            emit registered(m_workstation);
        } else if (Wire::isCompletion(message)) {
            const QString path = Wire::serverPayload(message, 4);
            m_completions.append(path);
            emit completionReceived(path);
        }
        if (!m_client) // a handler closed the connection
            return;
    }
}

void FakeServer::clientGone() {
    if (!m_client)
        return;
    QTcpSocket* socket = m_client;
    m_client = nullptr;
    socket->disconnect(this);
    socket->deleteLater();
    if (m_wantListening)
        openPort();
    emit clientDisconnected();
}

bool FakeServer::send(const QString& text) {
    return sendBytes(TextCodec::encode(text));
}

bool FakeServer::sendBytes(const QByteArray& bytes) {
    if (!isConnected())
        return false;
    const bool whole = m_client->write(bytes) == bytes.size();
    m_client->flush();
    return whole;
}

bool FakeServer::sendPrintRequest(const QString& path) {
    return send(Wire::printRequest(path));
}

void FakeServer::closeConnection() {
    if (!m_client)
        return;
    QTcpSocket* socket = m_client;
    m_client = nullptr;
    socket->disconnect(this);
    socket->flush();
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->deleteLater();
    else
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    if (m_wantListening)
        openPort();
    emit clientDisconnected();
}

void FakeServer::clearMessages() {
    m_messages.clear();
    m_completions.clear();
}
