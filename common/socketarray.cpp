#include "socketarray.h"

#include "platform/platform.h"
#include "runtimeenv.h"
#include "textcodec.h"

#include <QFile>
#include <QHostAddress>
#include <QHostInfo>
#include <QLoggingCategory>
#include <QNetworkInterface>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <utility>

Q_LOGGING_CATEGORY(lcSockets, "velarix.sockets")

namespace {

// Requests a listening element keeps while its handler has not accepted them; older ones are
// closed, so a peer that connects again and again cannot exhaust the descriptors.
constexpr qsizetype MaxWaitingRequests = 16;
// How long a closed connection may take to hand its last bytes to the peer.
constexpr int LingerMilliseconds = 5000;

// Hands every incoming connection over as its native descriptor, unaccepted: the array raises
// the connection request and its handler decides where to accept it.
class RequestServer : public QTcpServer {
public:
    using QTcpServer::QTcpServer;
    void setHandler(std::function<void(qintptr)> handler) { m_handler = std::move(handler); }

protected:
    void incomingConnection(qintptr descriptor) override { m_handler(descriptor); }

private:
    std::function<void(qintptr)> m_handler;
};

// The listen backlog of an element, which carries one connection. With 0 the system completes one
// connection and makes later callers wait until the port closes, which refuses them; but on Linux
// that one connection then goes through SYN cookies, so where they are switched off the port would
// take nothing and 1 must do.
int oneConnectionBacklog() {
    static const int backlog = [] {
        QFile cookies(QStringLiteral("/proc/sys/net/ipv4/tcp_syncookies"));
        return cookies.open(QIODevice::ReadOnly) && cookies.readAll().trimmed() != "0" ? 0 : 1;
    }();
    return backlog;
}

// Through a socket object, so each platform's own close call is used.
void closeDescriptor(qintptr descriptor) {
    QTcpSocket socket;
    if (socket.setSocketDescriptor(descriptor))
        socket.abort();
}

int errorNumber(QAbstractSocket::SocketError error) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return SocketArray::ErrorConnectionRefused;
    case QAbstractSocket::HostNotFoundError:
        return SocketArray::ErrorHostNotFound;
    case QAbstractSocket::SocketTimeoutError:
        return SocketArray::ErrorTimedOut;
    case QAbstractSocket::AddressInUseError:
        return SocketArray::ErrorAddressInUse;
    case QAbstractSocket::SocketAccessError:
        return SocketArray::ErrorAccess;
    case QAbstractSocket::SocketResourceError:
        return SocketArray::ErrorResource;
    case QAbstractSocket::NetworkError:
        return SocketArray::ErrorNetwork;
    default:
        return SocketArray::ErrorOther;
    }
}

// The office reads these in the log: said in Italian whatever Qt's own texts are.
QString errorText(QAbstractSocket::SocketError error) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("connessione rifiutata");
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("connessione chiusa dall'altro computer");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("computer non trovato");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("tempo scaduto");
    case QAbstractSocket::AddressInUseError:
        return QStringLiteral("porta già in uso");
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("permesso negato");
    case QAbstractSocket::SocketResourceError:
        return QStringLiteral("risorse di sistema esaurite");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("errore di rete (computer non raggiungibile o connessione caduta)");
    default:
        return QStringLiteral("errore di connessione %1").arg(int(error));
    }
}

Failure badState() {
    return {SocketArray::ErrorBadState,
            QStringLiteral("stato della connessione non adatto all'operazione")};
}

Failure noSuchElement(int index) {
    return {SocketArray::ErrorNoSuchElement, QStringLiteral("porta %1 inesistente").arg(index)};
}

QString plainIp(const QHostAddress& address) {
    if (address.isNull())
        return {};
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

} // namespace

struct SocketArray::Element {
    quint16 localPort = 0;
    QTcpServer* server = nullptr;
    QTcpSocket* socket = nullptr;
    QList<qintptr> requests; // connection requests not accepted yet
    QString remoteIp;        // kept after the connection ends, for the port list
    quint64 generation = 0;  // changes whenever the element starts afresh
    bool error = false;      // an error was reported; cleared by close, listen, connect
    bool peerClosed = false; // the peer closed; state 8 until our own close
};

// Just under two minutes: a workstation that vanished gets its documents back on its next
// connection well before anyone asks where they went.
SocketArray::SocketArray(QObject* parent)
    : QObject(parent), m_deadPeerTimeout(RuntimeEnv::get().interval(110000)) {}

SocketArray::~SocketArray() {
    const QList<int> indexes = m_elements.keys();
    for (int index : indexes)
        destroy(index);
    for (qintptr descriptor : std::as_const(m_releasedRequests))
        closeDescriptor(descriptor);
}

SocketArray::Element* SocketArray::element(int index) const {
    return m_elements.value(index, nullptr);
}

bool SocketArray::exists(int index) const {
    return m_elements.contains(index);
}

bool SocketArray::isCurrent(int index, quint64 generation) const {
    const Element* e = element(index);
    return e && e->generation == generation;
}

template <typename Emit> void SocketArray::post(int index, Emit emitEvent) {
    const Element* e = element(index);
    if (!e)
        return;
    const quint64 generation = e->generation;
    QMetaObject::invokeMethod(
        this,
        [this, index, generation, emitEvent] {
            if (isCurrent(index, generation))
                emitEvent();
        },
        Qt::QueuedConnection);
}

void SocketArray::create(int index) {
    destroy(index);
    auto* e = new Element;
    e->generation = nextGeneration();
    m_elements.insert(index, e);
}

void SocketArray::destroy(int index) {
    Element* e = m_elements.take(index);
    if (!e)
        return;
    stopListening(e);
    detachSocket(e, true);
    for (qintptr descriptor : std::as_const(e->requests))
        closeDescriptor(descriptor);
    delete e;
}

int SocketArray::state(int index) const {
    const Element* e = element(index);
    if (!e)
        return Closed;
    if (e->server && e->server->isListening())
        return Listening;
    if (!e->requests.isEmpty() && !e->socket)
        return ConnectionPending;
    if (e->peerClosed)
        return Closing;
    if (e->socket) {
        switch (e->socket->state()) {
        case QAbstractSocket::HostLookupState:
            return ResolvingHost;
        case QAbstractSocket::ConnectingState:
            return Connecting;
        case QAbstractSocket::ConnectedState:
            return Connected;
        case QAbstractSocket::BoundState:
            return Open;
        case QAbstractSocket::ListeningState:
            return Listening;
        case QAbstractSocket::ClosingState:
            return Closing;
        case QAbstractSocket::UnconnectedState:
            break;
        }
    }
    return e->error ? Error : Closed;
}

void SocketArray::setLocalPort(int index, quint16 port) {
    if (Element* e = element(index))
        e->localPort = port;
}

quint16 SocketArray::localPort(int index) const {
    const Element* e = element(index);
    if (!e)
        return 0;
    if (e->localPort != 0)
        return e->localPort;
    if (e->server)
        return e->server->serverPort();
    if (e->socket)
        return e->socket->localPort();
    return 0;
}

Failure SocketArray::listen(int index) {
    Element* e = element(index);
    if (!e)
        return noSuchElement(index);
    if (e->server || (e->socket && e->socket->state() != QAbstractSocket::UnconnectedState) ||
        e->peerClosed)
        return badState();
    detachSocket(e, false); // a failed call may have left its socket behind

    auto* server = new RequestServer(this);
    // The system completes no more than one connection before we take it; later callers wait
    // for the port (which closes with that first request) and are refused.
    server->setListenBacklogSize(oneConnectionBacklog());
    server->setHandler(
        [this, index, server](qintptr descriptor) { incomingRequest(index, server, descriptor); });
    // Qt asks for address reuse on Unix, so the port opens again right after a close even while
    // the last connection on it lingers in TIME_WAIT.
    if (!server->listen(QHostAddress::AnyIPv4, e->localPort)) {
        const Failure failure{errorNumber(server->serverError()), errorText(server->serverError())};
        delete server;
        e->error = false; // a port that cannot be opened leaves the element closed
        return failure;
    }
    e->server = server;
    e->error = false;
    e->remoteIp.clear();
    e->generation = nextGeneration();
    return Failure::none();
}

void SocketArray::incomingRequest(int index, QTcpServer* server, qintptr descriptor) {
    Element* e = element(index);
    if (!e || e->server != server) {
        closeDescriptor(descriptor);
        return;
    }
    e->requests.append(descriptor);
    // An element carries one connection: it stops listening with its first request, so the
    // system refuses the next caller at once instead of us accepting and then resetting it.
    if (QTcpServer* listening = std::exchange(e->server, nullptr)) {
        listening->close();
        listening->deleteLater();
    }
    while (e->requests.size() > MaxWaitingRequests) {
        qCWarning(lcSockets) << "element" << index << "drops a connection request never accepted";
        closeDescriptor(e->requests.takeFirst());
    }
    post(index, [this, index, descriptor] {
        // Only a request that is still waiting is announced.
        if (element(index)->requests.contains(descriptor))
            emit connectionRequest(index, descriptor);
    });
}

Failure SocketArray::accept(int index, qintptr requestId) {
    Element* e = element(index);
    if (!e)
        return noSuchElement(index);

    bool found = m_releasedRequests.removeOne(requestId);
    for (auto it = m_elements.cbegin(); !found && it != m_elements.cend(); ++it)
        found = it.value()->requests.removeOne(requestId);
    if (!found)
        return {ErrorNoSuchRequest,
                QStringLiteral("richiesta di connessione %1 inesistente").arg(requestId)};

    // The element carries the connection itself from now on: its port takes no further one.
    stopListening(e);
    detachSocket(e, true);
    e->error = false;
    e->peerClosed = false;
    e->generation = nextGeneration();

    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(requestId)) {
        const Failure failure{errorNumber(socket->error()), errorText(socket->error())};
        delete socket;
        closeDescriptor(requestId);
        return failure;
    }
    attachSocket(index, socket);
    watchPeer(socket);
    e->remoteIp = plainIp(socket->peerAddress());
    return Failure::none();
}

void SocketArray::connectToHost(int index, const QString& host, quint16 port) {
    if (!exists(index))
        create(index);
    Element* e = element(index);
    stopListening(e);
    detachSocket(e, false);
    e->error = false;
    e->peerClosed = false;
    e->remoteIp.clear();
    e->generation = nextGeneration();

    auto* socket = new QTcpSocket(this);
    attachSocket(index, socket);
    socket->connectToHost(host, port, QIODevice::ReadWrite, QAbstractSocket::IPv4Protocol);
    if (m_connectTimeout > 0)
        QTimer::singleShot(m_connectTimeout, socket,
                           [this, index, socket] { connectTimedOut(index, socket); });
}

void SocketArray::setConnectTimeout(int milliseconds) {
    m_connectTimeout = milliseconds;
}

void SocketArray::connectTimedOut(int index, QTcpSocket* socket) {
    Element* e = element(index);
    if (!e || e->socket != socket)
        return;
    const auto socketState = socket->state();
    if (socketState != QAbstractSocket::HostLookupState &&
        socketState != QAbstractSocket::ConnectingState)
        return;
    detachSocket(e, false);
    e->error = true;
    post(index, [this, index] {
        emit error(index, ErrorTimedOut, errorText(QAbstractSocket::SocketTimeoutError));
    });
}

Failure SocketArray::send(int index, const QString& text) {
    return sendBytes(index, TextCodec::encode(text));
}

Failure SocketArray::sendBytes(int index, const QByteArray& bytes) {
    Element* e = element(index);
    if (!e)
        return noSuchElement(index);
    if (!e->socket || e->peerClosed || e->socket->state() != QAbstractSocket::ConnectedState)
        return badState();
    // QTcpSocket takes the whole text into its write buffer; flush starts it on its way now.
    const qint64 written = e->socket->write(bytes);
    if (written != bytes.size())
        return {errorNumber(e->socket->error()), errorText(e->socket->error())};
    e->socket->flush();
    return Failure::none();
}

QByteArray SocketArray::readAllBytes(int index) {
    Element* e = element(index);
    return e && e->socket ? e->socket->readAll() : QByteArray();
}

QByteArray SocketArray::readAllBeforeClose(int index) {
    Element* e = element(index);
    if (!e || !e->socket)
        return {};
    QTcpSocket* socket = e->socket;
    // Nothing more ready ends the wait with a time-out error: not for the handlers to see.
    const QSignalBlocker quiet(socket);
    while (socket->state() == QAbstractSocket::ConnectedState && socket->waitForReadyRead(0)) {
    }
    return socket->readAll();
}

QString SocketArray::readAll(int index) {
    return TextCodec::decode(readAllBytes(index));
}

void SocketArray::close(int index) {
    Element* e = element(index);
    if (!e)
        return;
    stopListening(e);
    releaseRequests(e);
    detachSocket(e, true);
    e->error = false;
    e->peerClosed = false;
    e->generation = nextGeneration();
}

QString SocketArray::remoteHostIp(int index) const {
    const Element* e = element(index);
    if (!e)
        return {};
    if (e->socket && e->socket->state() == QAbstractSocket::ConnectedState)
        return plainIp(e->socket->peerAddress());
    return e->remoteIp;
}

QString SocketArray::localHostName() {
    return QHostInfo::localHostName();
}

QString SocketArray::localIp() {
    const QList<QHostAddress> addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress& address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            return address.toString();
    }
    return QStringLiteral("127.0.0.1");
}

void SocketArray::attachSocket(int index, QTcpSocket* socket) {
    Element* e = element(index);
    e->socket = socket;
    // The events are queued (post), so a handler may close, destroy or recreate the element.
    connect(socket, &QTcpSocket::connected, this, [this, index, socket] {
        Element* e = element(index);
        if (!e || e->socket != socket)
            return;
        e->remoteIp = plainIp(socket->peerAddress());
        watchPeer(socket);
        post(index, [this, index] { emit connected(index); });
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, index, socket] {
        Element* e = element(index);
        if (!e || e->socket != socket)
            return;
        post(index, [this, index] {
            // One event may have read what several deliveries brought: announce only bytes.
            const Element* e = element(index);
            const qint64 waiting = e->socket ? e->socket->bytesAvailable() : 0;
            if (waiting > 0)
                emit dataArrival(index, waiting);
        });
    });
    connect(socket, &QTcpSocket::errorOccurred, this,
            [this, index, socket] { socketError(index, socket); });
    connect(socket, &QTcpSocket::disconnected, this,
            [this, index, socket] { socketDisconnected(index, socket); });
}

void SocketArray::watchPeer(QTcpSocket* socket) const {
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    Platform::current().watchConnection(socket->socketDescriptor(), m_deadPeerTimeout);
}

void SocketArray::socketError(int index, QTcpSocket* socket) {
    Element* e = element(index);
    if (!e || e->socket != socket)
        return;
    if (socket->error() == QAbstractSocket::RemoteHostClosedError) {
        // The peer's close (or reset) is the close event, not an error.
        socketDisconnected(index, socket);
        return;
    }
    if (e->error || e->peerClosed)
        return;
    e->error = true;
    const int number = errorNumber(socket->error());
    const QString description = errorText(socket->error());
    post(index, [this, index, number, description] { emit error(index, number, description); });
}

void SocketArray::socketDisconnected(int index, QTcpSocket* socket) {
    Element* e = element(index);
    if (!e || e->socket != socket || e->error || e->peerClosed)
        return;
    e->peerClosed = true;
    post(index, [this, index] { emit closed(index); });
}

void SocketArray::detachSocket(Element* e, bool graceful) {
    QTcpSocket* socket = std::exchange(e->socket, nullptr);
    if (!socket)
        return;
    disconnect(socket, nullptr, this, nullptr);
    if (graceful && socket->state() == QAbstractSocket::ConnectedState) {
        socket->flush();
        socket->disconnectFromHost();
    } else {
        socket->abort();
    }
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
        return;
    }
    // Bytes still on their way: let them go, but a peer that never reads cannot keep it.
    connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(LingerMilliseconds, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
}

void SocketArray::stopListening(Element* e) {
    QTcpServer* server = std::exchange(e->server, nullptr);
    if (!server)
        return;
    server->close();
    server->deleteLater();
    releaseRequests(e);
}

void SocketArray::releaseRequests(Element* e) {
    if (e->requests.isEmpty())
        return;
    m_releasedRequests.append(e->requests);
    e->requests.clear();
    closeRequestsLater();
}

void SocketArray::closeRequestsLater() {
    if (m_releaseQueued)
        return;
    m_releaseQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_releaseQueued = false;
            const QList<qintptr> requests = std::exchange(m_releasedRequests, {});
            for (qintptr descriptor : requests)
                closeDescriptor(descriptor);
        },
        Qt::QueuedConnection);
}
