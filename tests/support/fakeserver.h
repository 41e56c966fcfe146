#pragma once

#include "wiremessages.h"

#include <QObject>
#include <QStringList>

class QTcpServer;
class QTcpSocket;

// A print-server stand-in for tests and support work. It serves one port and one workstation at a
// time: while a workstation is connected the port does not listen, and it listens again when the
// workstation leaves, as a slot of the real server does. Every registration gets the version
// reply; every received message is recorded (split at its carriage return, 8-bit text) and
// announced; tests script what is sent back. Built on plain Qt sockets, not on SocketArray, so a
// fault of the socket layer cannot hide itself on both sides of a test.
class FakeServer : public QObject {
    Q_OBJECT
public:
    explicit FakeServer(QObject* parent = nullptr);
    ~FakeServer() override;

    void setRevision(int revision); // the project's revision unless set
    int revision() const { return m_revision; }
    void setAnswerRegistrations(bool answer); // false: a server that accepts and stays silent

    bool listen(quint16 port); // IPv4, all addresses
    void stopListening();      // also closes the connection
    bool isListening() const;
    quint16 port() const { return m_port; }
    bool isConnected() const;

    bool send(const QString& text); // exactly the text, as 8-bit bytes
    bool sendBytes(const QByteArray& bytes);
    bool sendPrintRequest(const QString& path); // "DIR:" + path + CR
    void closeConnection();                     // the port listens again afterwards

    QStringList messages() const { return m_messages; }       // each with its carriage return
    QString workstation() const { return m_workstation; }     // name of the last registration
    QStringList completions() const { return m_completions; } // paths of the "DEL:" messages
    int registrations() const { return m_registrations; }
    void clearMessages();

signals:
    void clientConnected();
    void clientDisconnected();
    void messageReceived(const QString& message);
    void registered(const QString& workstation);
    void completionReceived(const QString& path);

private:
    void takeConnection();
    void readClient();
    void clientGone();
    bool openPort();

    QTcpServer* m_server = nullptr;
    QTcpSocket* m_client = nullptr;
    MessageFramer m_framer;
    QStringList m_messages;
    QStringList m_completions;
    QString m_workstation;
    quint16 m_port = 0;
    int m_revision;
    int m_registrations = 0;
    bool m_answerRegistrations = true;
    bool m_wantListening = false;
};
