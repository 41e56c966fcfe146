#include "clientconnection.h"

#include "socketarray.h"

ClientConnection::ClientConnection(SocketArray& sockets, std::function<void(const QString&)> log,
                                   QObject* parent)
    : QObject(parent), m_sockets(sockets), m_log(std::move(log)), m_quiet(m_log, 60000) {
    m_timer.setObjectName(QStringLiteral("Timer1"));
    m_timer.setInterval(1000);
    m_timer.setSingleShot(false); // every tick handler switches it off itself
    connect(&m_timer, &QTimer::timeout, this, &ClientConnection::onTimer);
    connect(&m_sockets, &SocketArray::error, this,
            [this](int index, int number, const QString& description) {
                if (index == Element)
                    onError(number, description);
            });
    connect(&m_sockets, &SocketArray::connected, this, &ClientConnection::onConnected);
    connect(&m_sockets, &SocketArray::dataArrival, this,
            [this](int index, qint64) { onData(index); });
    connect(&m_sockets, &SocketArray::closed, this, &ClientConnection::onClosed);
}

void ClientConnection::setRepeatLogInterval(int ms) {
    m_quiet = QuietLog(m_log, ms);
}

void ClientConnection::onTimer() {
    m_quiet.repeat(QStringLiteral("Timer1"));
    m_registered = false;
    m_sockets.destroy(Element);
    m_sockets.create(Element);
    m_framer.clear();
    m_callPort = m_basePort;
    if (m_sockets.state(Element) != 7)
        m_sockets.connectToHost(Element, m_host, quint16(m_callPort));
    emit statusChanged(
        callStatus(QStringLiteral("Chiamata in corso sulla porta ") + QString::number(m_callPort)));
    m_timer.stop();
}

void ClientConnection::onError(int number, const QString& description) {
    // The peer's address, not the port: one line for the whole sweep.
    const QString reason = QString::number(number) + QLatin1Char(' ') + description +
                           QStringLiteral(" (") + m_host + QLatin1Char(')');
    if (m_registered) {
        connectionLost(reason);
        return;
    }
    m_quiet.repeat(QStringLiteral("WSCK_Error ") + reason);
    if (m_callPort >= m_basePort + PortCount - 1) {
        setReachable(false);
        emit statusChanged(QStringLiteral("Server non raggiungibile"));
        m_timer.start();
        return;
    }
    m_sockets.close(Element);
    m_framer.clear();
    ++m_callPort;
    m_sockets.connectToHost(Element, m_host, quint16(m_callPort));
    emit statusChanged(
        callStatus(QStringLiteral("Riprova sulla porta ") + QString::number(m_callPort)));
}

// As after the server's close, but the status keeps saying why the calls start again.
void ClientConnection::connectionLost(const QString& reason) {
    m_log(QStringLiteral("Connessione con il server persa: ") + reason);
    m_registered = false;
    disconnectFromServer();
    connectToServer();
    setReachable(false);
    emit statusChanged(QStringLiteral("Server non raggiungibile"));
}

void ClientConnection::setReachable(bool reachable) {
    if (std::exchange(m_reachable, reachable) != reachable)
        emit reachableChanged(reachable);
}

QString ClientConnection::callStatus(const QString& text) const {
    if (m_reachable)
        return text;
    return QStringLiteral("Server non raggiungibile, ") + text.left(1).toLower() + text.mid(1);
}

void ClientConnection::onConnected(int index) {
    m_log(QStringLiteral("WSCK_Connect"));
    if (m_sockets.state(Element) != 7)
        return;
    m_registered = true;
    m_quiet.reset();
    setReachable(true);
    emit callButtonEnabled(false);
    emit statusChanged(QStringLiteral("Connessione stabilita"));
    emit portShown(QString::number(m_callPort));
    m_sockets.send(index, Wire::registration(m_workstation));
    const QString line = QStringLiteral("Inviato: PC:") + m_workstation;
    emit listAdded(line);
    m_log(line);
}

void ClientConnection::onData(int index) {
    m_log(QStringLiteral("WSCK_DataArrival"));
    const QList<QString> messages = m_framer.feed(m_sockets.readAllBytes(index));
    if (m_framer.takeOverflow())
        m_log(QStringLiteral("Messaggio senza fine riga oltre 64 KiB: parte eccedente scartata"));
    for (const QString& text : messages)
        emit messageReceived(text, index);
}

void ClientConnection::onClosed(int index) {
    if (index != Element)
        return;
    m_log(QStringLiteral("WSCK_Close"));
    m_registered = false;
    disconnectFromServer();
    connectToServer();
}

void ClientConnection::arm() {
    m_timer.start();
    emit callButtonEnabled(false);
    emit closeButtonEnabled(true);
}

void ClientConnection::connectToServer() {
    m_log(QStringLiteral("Tasto Connetti"));
    m_timer.start();
    // Calling already: only "Disconnetti", which stops the calls, can be done.
    emit callButtonEnabled(false);
    emit closeButtonEnabled(true);
}

void ClientConnection::disconnectFromServer() {
    m_log(QStringLiteral("Tasto Disconnetti"));
    m_timer.stop();
    m_registered = false;
    m_sockets.close(Element);
    m_framer.clear();
    emit statusChanged(QStringLiteral("Operazione terminata"));
    emit portShown(QString()); // no connection holds a port any more
    emit callButtonEnabled(true);
    emit closeButtonEnabled(false);
}

void ClientConnection::shutdown() {
    m_timer.stop();
    m_sockets.close(Element);
}

bool ClientConnection::isConnected() const {
    return m_sockets.exists(Element) && m_sockets.state(Element) == 7;
}

bool ClientConnection::sendText(const QString& text) {
    if (!isConnected())
        return false;
    return m_sockets.send(Element, text + QLatin1Char(Wire::CR)).ok();
}
