#pragma once

#include "failure.h"

#include <QHash>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

// The socket control array WSCK: elements by index, each either a listening port or one TCP
// connection. An element that accepts a connection request carries that connection itself and no
// longer listens. States are numbered as the port list shows them:
//   0 closed, 1 open, 2 listening, 3 connection pending, 4 resolving host, 5 host resolved,
//   6 connecting, 7 connected, 8 peer is closing, 9 error.
// Texts cross the socket as 8-bit text (TextCodec). Events are queued signals, so a handler may
// close, destroy and recreate its own element; an event still queued for a connection that the
// program has closed meanwhile is dropped. Our own close raises no event. A close by the peer
// raises `closed` (not `error`) and leaves state 8 until the element is closed. A connection
// request must be accepted in its handler (closing the element first, as the server does, is
// fine); requests never accepted are closed with their element, so no descriptor leaks.
// A listening element stops listening with its first connection request (the system refuses
// later callers on its port instead of letting them connect into a reset) and reports state 3
// until the request is accepted or the element closed. State 5 is never reported: host
// resolution goes straight on to connecting.
class SocketArray : public QObject {
    Q_OBJECT
public:
    enum State {
        Closed = 0,
        Open = 1,
        Listening = 2,
        ConnectionPending = 3,
        ResolvingHost = 4,
        HostResolved = 5,
        Connecting = 6,
        Connected = 7,
        Closing = 8,
        Error = 9
    };

    // Error numbers of the error event and of failed operations (those of the Winsock control).
    static constexpr int ErrorBadState = 40006;      // wrong state for the operation
    static constexpr int ErrorNoSuchElement = 340;   // the element does not exist
    static constexpr int ErrorNoSuchRequest = 40020; // accept of an unknown request
    static constexpr int ErrorAddressInUse = 10048;  // the local port is taken
    static constexpr int ErrorConnectionRefused = 10061;
    static constexpr int ErrorTimedOut = 10060;
    static constexpr int ErrorHostNotFound = 11001;
    static constexpr int ErrorNetwork = 10050;
    static constexpr int ErrorAccess = 10013;
    static constexpr int ErrorResource = 10055;
    static constexpr int ErrorOther = 10022;

    explicit SocketArray(QObject* parent = nullptr);
    ~SocketArray() override;

    void create(int index);  // a closed element; an existing one is destroyed first
    void destroy(int index); // closes and removes the element
    bool exists(int index) const;

    int state(int index) const;

    void setLocalPort(int index, quint16 port);
    quint16 localPort(int index) const;
    Failure listen(int index); // on the local port, all IPv4 addresses
    // Accepts a pending request on the same element; the element stops listening.
    Failure accept(int index, qintptr requestId);
    // IPv4. Creates the element when it does not exist. Failure (refused, unknown host, no answer
    // within connectTimeout) comes as the error event, never from this call.
    void connectToHost(int index, const QString& host, quint16 port);
    // A host that drops connection attempts silently would otherwise hold a call for minutes.
    void setConnectTimeout(int milliseconds);
    int connectTimeout() const { return m_connectTimeout; }
    // Every connection, accepted or made, is probed while idle (TCP keep-alive), so a peer that
    // vanished without a close (power cut, cable, suspend) raises the error event after about
    // this long instead of never. Default just under two minutes, after VELARIX_TIMER_SCALE;
    // applies to connections made from now on.
    void setDeadPeerTimeout(int milliseconds) { m_deadPeerTimeout = milliseconds; }
    int deadPeerTimeout() const { return m_deadPeerTimeout; }
    // Hands the whole text to the socket; fails when the element is not connected.
    Failure send(int index, const QString& text);
    Failure sendBytes(int index, const QByteArray& bytes);
    QByteArray readAllBytes(int index);
    // The last read before a close: what the socket holds and what the system has received for
    // it that no event has announced yet, without waiting for more. The element's events from
    // this read are dropped; close it next.
    QByteArray readAllBeforeClose(int index);
    QString readAll(int index);
    void close(int index);

    QString remoteHostIp(int index) const;
    static QString localHostName();
    static QString localIp();

signals:
    void connected(int index);
    void connectionRequest(int index, qintptr requestId);
    void dataArrival(int index, qint64 bytesTotal);
    void closed(int index);
    void error(int index, int number, const QString& description);

private:
    struct Element;
    Element* element(int index) const;
    void attachSocket(int index, QTcpSocket* socket);
    void watchPeer(QTcpSocket* socket) const;
    void detachSocket(Element* e, bool graceful);
    void stopListening(Element* e);
    void releaseRequests(Element* e);
    void closeRequestsLater();
    void incomingRequest(int index, QTcpServer* server, qintptr descriptor);
    void connectTimedOut(int index, QTcpSocket* socket);
    void socketError(int index, QTcpSocket* socket);
    void socketDisconnected(int index, QTcpSocket* socket);
    bool isCurrent(int index, quint64 generation) const;
    quint64 nextGeneration() { return ++m_generation; }
    // Queues an event for the element's present connection; it is dropped if the element has
    // been closed, destroyed or reused in between.
    template <typename Emit> void post(int index, Emit emitEvent);

    QHash<int, Element*> m_elements;
    // Requests set free by a close or an accept, closed at the next turn of the event loop
    // unless accepted before (a handler closes the element, then accepts on it).
    QList<qintptr> m_releasedRequests;
    bool m_releaseQueued = false;
    quint64 m_generation = 0;
    int m_connectTimeout = 10000;
    int m_deadPeerTimeout;
};
