#include "portpool.h"

#include "poolhost.h"
#include "printfileremoval.h"
#include "runtimeenv.h"
#include "socketarray.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTime>
#include <QTimer>

Q_LOGGING_CATEGORY(lcPool, "velarix.server.pool")

namespace {
const QChar Tab = QLatin1Char('\t');
}

const QString PortPool::PortTag = QStringLiteral("Porta ");

PortPool::PortPool(PoolHost& host, int basePort, int revision, QObject* parent)
    : QObject(parent), m_host(host), m_basePort(basePort), m_revision(revision),
      m_sockets(new SocketArray(this)), m_gate([this](const QString& text) { m_host.log(text); }) {
    if (RuntimeEnv::get().connectionsPerAddress > 0)
        m_gate.setPerAddress(RuntimeEnv::get().connectionsPerAddress);
    // Slot 0 exists from the start and never listens (the local address is read from it).
    m_sockets->create(0);
    connect(m_sockets, &SocketArray::connectionRequest, this, &PortPool::onConnectionRequest);
    connect(m_sockets, &SocketArray::dataArrival, this,
            [this](int slot, qint64) { onDataArrival(slot); });
    connect(m_sockets, &SocketArray::closed, this, &PortPool::onClosed);
    connect(m_sockets, &SocketArray::error, this, &PortPool::onError);
}

PortPool::~PortPool() = default;

const std::array<QString, 11>& PortPool::stateTexts() {
    static const std::array<QString, 11> texts{QStringLiteral("Chiusa"),
                                               QStringLiteral("Aperta"),
                                               QStringLiteral("Libera"),
                                               QStringLiteral("Connessione in sospeso"),
                                               QStringLiteral("Risoluzione dell'host in corso"),
                                               QStringLiteral("Host risolto"),
                                               QStringLiteral("Connessione in corso"),
                                               QStringLiteral("Connessa"),
                                               QStringLiteral("Chiusura in corso"),
                                               QStringLiteral("Errore"),
                                               QString()};
    return texts;
}

QString PortPool::stateText(int state) {
    if (state < 0 || state > 10)
        return {};
    return stateTexts()[size_t(state)];
}

int PortPool::state(int slot) const {
    return m_sockets->exists(slot) ? m_sockets->state(slot) : int(SocketArray::Closed);
}

QString PortPool::registryName(int slot) const {
    return validSlot(slot) ? m_registry[size_t(slot)] : QString();
}

Failure PortPool::sendOnSlot(int slot, const QString& text) {
    if (!validSlot(slot) || !m_sockets->exists(slot))
        return {SocketArray::ErrorNoSuchElement,
                QStringLiteral("nessuna connessione sullo slot ") + QString::number(slot)};
    return m_sockets->send(slot, text);
}

QString PortPool::timeOfDay() {
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}

QString PortPool::shortLine(int slot) const {
    return PortTag + QString::number(port(slot)) + Tab + stateText(state(slot));
}

QString PortPool::connectedLine(int slot) const {
    return shortLine(slot) + QLatin1Char(' ') + Tab + m_sockets->remoteHostIp(slot);
}

QString PortPool::registeredLine(int slot) const {
    return connectedLine(slot) + Tab + QStringLiteral("Pc: ") + m_registry[size_t(slot)];
}

QString PortPool::refreshLine(int slot) const {
    if (state(slot) > SocketArray::ConnectionPending)
        return connectedLine(slot) + Tab + QStringLiteral(" Pc: ") + m_registry[size_t(slot)];
    return shortLine(slot);
}

void PortPool::setLine(int slot, const QString& line) {
    const int row = slot - 1;
    while (m_lines.size() <= row)
        m_lines.append(QString());
    m_lines[row] = line;
    m_host.portLineChanged(row, line);
}

void PortPool::logAndList(const QString& text) {
    m_host.log(text);
    m_host.message(text, true);
}

void PortPool::openSlot(int slot) {
    m_registry[size_t(slot)].clear();
    m_framers[size_t(slot)].clear();
    m_sockets->setLocalPort(slot, port(slot));
    const Failure failure = m_sockets->listen(slot);
    if (failure) {
        // The port stays closed; the refresh tries it again. One log line, not one per retry.
        qCWarning(lcPool) << "port" << port(slot) << failure.description;
        if (!m_openFailureLogged[size_t(slot)]) {
            m_openFailureLogged[size_t(slot)] = true;
            m_host.log(QStringLiteral("Impossibile aprire la porta ") +
                       QString::number(port(slot)) + QStringLiteral(": ") + failure.description);
        }
    } else {
        m_openFailureLogged[size_t(slot)] = false;
    }
}

void PortPool::listenPorts() {
    m_host.trace(QStringLiteral("Listen"));
    m_closing = false;
    m_lines.clear();
    for (int slot = 1; slot <= Slots; ++slot) {
        m_sockets->create(slot);
        openSlot(slot);
        m_lines.append(shortLine(slot));
    }
    m_opened = true;
    m_host.portListReplaced(m_lines);
}

void PortPool::reopenPort(int slot) {
    m_host.trace(QStringLiteral("Listen"));
    if (!validSlot(slot))
        return;
    if (!m_sockets->exists(slot))
        m_sockets->create(slot);
    openSlot(slot);
    setLine(slot, shortLine(slot));
}

void PortPool::onConnectionRequest(int slot, qintptr requestId) {
    if (!validSlot(slot) || m_closing)
        return;
    m_host.trace(QStringLiteral("WSCK_ConnectionRequest(") + QString::number(slot) +
                 QLatin1Char(')'));
    m_registry[size_t(slot)].clear();
    m_framers[size_t(slot)].clear();
    m_peers[size_t(slot)].clear();
    m_connections[size_t(slot)] = 0;
    m_refused[size_t(slot)] = false;
    m_sockets->close(slot);
    const Failure failure = m_sockets->accept(slot, requestId);
    if (failure) {
        // The request went away before it could be taken: listen again straight away.
        qCWarning(lcPool) << "accept on slot" << slot << failure.description;
        reopenPort(slot);
        return;
    }
    const QString address = m_sockets->remoteHostIp(slot);
    if (!m_gate.admitConnection(address, connectionsFrom(address), port(slot))) {
        m_sockets->close(slot);
        reopenPort(slot);
        return;
    }
    m_peers[size_t(slot)] = address;
    m_since[size_t(slot)] = QDateTime::currentDateTime();
    const quint64 connection = ++m_lastConnection;
    m_connections[size_t(slot)] = connection;
    m_logBudgets[size_t(slot)] = MessageLogBudget();
    // Faster timers in tests still leave a peer a few seconds to announce itself.
    const int registration = qMax(ConnectionGate::MinRegistrationMs,
                                  RuntimeEnv::get().interval(ConnectionGate::RegistrationMs));
    QTimer::singleShot(registration, this,
                       [this, slot, connection] { dropUnregistered(slot, connection); });
    logAndList(QStringLiteral("Connessione sulla porta ") + QString::number(port(slot)) +
               QStringLiteral(" aperta alle ") + timeOfDay() + fromPeer(slot));
    setLine(slot, connectedLine(slot));
}

QList<PortPool::Connection> PortPool::connections() const {
    QList<Connection> list;
    const bool today = m_printedOn == QDate::currentDate();
    for (int slot = 1; slot <= Slots; ++slot) {
        const QString name = Wire::trimBlanks(m_registry[size_t(slot)]);
        if (m_connections[size_t(slot)] == 0 || name.isEmpty())
            continue;
        list.append({name, m_peers[size_t(slot)], port(slot), m_since[size_t(slot)],
                     today ? m_printedToday.value(name.toUpper()) : 0});
    }
    return list;
}

void PortPool::countPrinted(const QString& name) {
    if (m_printedOn != QDate::currentDate()) {
        m_printedToday.clear();
        m_printedOn = QDate::currentDate();
    }
    ++m_printedToday[name.toUpper()];
}

int PortPool::connectionsFrom(const QString& address) const {
    int count = 0;
    for (int slot = 1; slot <= Slots; ++slot) {
        if (m_connections[size_t(slot)] != 0 && m_peers[size_t(slot)] == address)
            ++count;
    }
    return count;
}

void PortPool::logSkipped(int slot, const QString& peer) {
    if (const int skipped = m_logBudgets[size_t(slot)].takeSkipped())
        m_host.log(QString::number(skipped) +
                   QStringLiteral(" messaggi ricevuti e non registrati nel log, porta ") +
                   QString::number(port(slot)) + peer);
}

QString PortPool::fromPeer(int slot) const {
    const QString& address = m_peers[size_t(slot)];
    return address.isEmpty() ? QString() : QStringLiteral(" da ") + address;
}

void PortPool::dropUnregistered(int slot, quint64 connection) {
    if (m_closing || m_connections[size_t(slot)] != connection ||
        !m_registry[size_t(slot)].isEmpty() || m_refused[size_t(slot)])
        return;
    m_host.log(QStringLiteral("Nessuna registrazione entro ") +
               QString::number(ConnectionGate::RegistrationMs / 1000) +
               QStringLiteral(" secondi sulla porta ") + QString::number(port(slot)) +
               fromPeer(slot));
    endConnection(slot);
}

// A name that may not register hears nothing, is read no more and is closed a little later.
void PortPool::refuseRegistration(int slot) {
    m_refused[size_t(slot)] = true;
    m_registry[size_t(slot)].clear();
    setLine(slot, connectedLine(slot));
    const quint64 connection = m_connections[size_t(slot)];
    QTimer::singleShot(RuntimeEnv::get().interval(ConnectionGate::RefusedCloseMs), this,
                       [this, slot, connection] {
                           if (!m_closing && m_connections[size_t(slot)] == connection)
                               endConnection(slot);
                       });
}

// The list of workstations changed: a name registered before that it no longer admits goes.
void PortPool::dropNoLongerAdmitted() {
    for (int slot = 1; slot <= Slots; ++slot) {
        const QString& name = m_registry[size_t(slot)];
        if (m_connections[size_t(slot)] == 0 || name.isEmpty() ||
            m_gate.mayStay(name, m_peers[size_t(slot)]))
            continue;
        m_host.log(QStringLiteral("Postazione ") + Wire::trimBlanks(name) +
                   QStringLiteral(" non più ammessa sulla porta ") + QString::number(port(slot)) +
                   fromPeer(slot));
        endConnection(slot);
    }
}

void PortPool::onDataArrival(int slot) {
    if (!validSlot(slot) || m_closing || !m_sockets->exists(slot))
        return;
    m_host.trace(QStringLiteral("WSCK_DataArrival(") + QString::number(slot) + QLatin1Char(')'));
    const QByteArray bytes = m_sockets->readAllBytes(slot);
    if (m_refused[size_t(slot)])
        return;
    MessageFramer& framer = m_framers[size_t(slot)];
    const QList<QString> messages = framer.feed(bytes);
    if (framer.takeOverflow())
        m_host.log(QStringLiteral("Messaggio troppo lungo sulla porta ") +
                   QString::number(port(slot)) + fromPeer(slot) +
                   QStringLiteral(": parte scartata"));
    const quint64 connection = m_connections[size_t(slot)];
    for (const QString& text : messages) {
        handleMessage(slot, text);
        // A handler may have refused or closed the connection.
        if (!m_sockets->exists(slot) || m_connections[size_t(slot)] != connection ||
            m_refused[size_t(slot)])
            break;
    }
}

void PortPool::handleMessage(int slot, const QString& text) {
    if (!validSlot(slot))
        return;
    const QString received = QStringLiteral("Ricevuto il messaggio [") + text +
                             QStringLiteral("] sulla porta ") + QString::number(port(slot));
    // The list shows every message; the log as many as a real client sends, and how many more.
    if (m_logBudgets[size_t(slot)].allow()) {
        logSkipped(slot, fromPeer(slot));
        m_host.log(received);
    }
    m_host.message(received, true);

    if (Wire::isRegistration(text)) {
        m_host.trace(QStringLiteral("W.DA.0"));
        const QString name = Wire::serverPayload(text, 3);
        if (!m_gate.admitRegistration(name, m_peers[size_t(slot)], port(slot))) {
            refuseRegistration(slot);
            return;
        }
        m_registry[size_t(slot)] = name;
        setLine(slot, registeredLine(slot));
        if (!m_sockets->send(slot, Wire::versionReply(m_revision)).ok())
            qCDebug(lcPool) << "version reply on slot" << slot << "not sent";
        const QString sent = QStringLiteral("Inviato: ") + Wire::versionReplyText(m_revision) +
                             QStringLiteral(" al pc:") + Wire::trimBlanks(name);
        m_host.message(sent, false);
        m_host.log(sent);
        m_host.workstationRegistered(slot, name);
    } else if (Wire::isCompletion(text)) {
        m_host.trace(QStringLiteral("W.DA.1"));
        completion(slot, Wire::serverPayload(text, 4));
    } else if (Wire::FailureReport report; Wire::parseFailureReport(text, &report)) {
        // Only a registered workstation speaks for its own files; the host checks the file.
        const QString name = Wire::trimBlanks(m_registry[size_t(slot)]);
        if (!name.isEmpty())
            m_host.printFileFailed(name, report);
    }
}

void PortPool::completion(int slot, const QString& path) {
    // Only the name the file is for completes it, on any of its connections; a file already gone
    // (and not set aside meanwhile) is no one's, and its completion harmless once the connection
    // has registered.
    const QString name = Wire::trimBlanks(m_registry[size_t(slot)]);
    const PrintFileRemoval removal(m_printFolder, m_shareRoot);
    const QString local = removal.localPath(path);
    const bool present = !local.isEmpty() && QFileInfo::exists(local);
    const QString owner = Wire::trimBlanks(m_host.workstationOf(path));
    if (name.isEmpty() || ((present || !owner.isEmpty()) && owner.toUpper() != name.toUpper())) {
        m_host.log(QStringLiteral("Cancellazione rifiutata: ") + path + fromPeer(slot) +
                   (name.isEmpty() ? QStringLiteral(", connessione non registrata")
                                   : QStringLiteral(", non è della postazione ") + name));
        return;
    }
    const Failure removed = removal.remove(path);
    if (removed.number == ErrorNumber::PermissionDenied) {
        m_host.log(QStringLiteral("Cancellazione rifiutata: ") + path + fromPeer(slot));
    } else {
        // A delete that failed is retried by the passes; the job itself is done.
        if (removed)
            qCDebug(lcPool) << "delete of" << path << removed.description;
        if (present)
            countPrinted(name);
        m_host.printFileCompleted(path);
    }
    m_host.message(QStringLiteral("Ricerca PC: [") + name + QLatin1Char(']'), false);
    m_host.followUpRequested(name);
}

void PortPool::onClosed(int slot) {
    if (!validSlot(slot) || m_closing)
        return;
    m_host.trace(QStringLiteral("WSCK_Close(") + QString::number(slot) + QLatin1Char(')'));
    endConnection(slot);
}

void PortPool::endConnection(int slot) {
    const QString peer = fromPeer(slot);
    logSkipped(slot, peer);
    m_registry[size_t(slot)].clear();
    m_peers[size_t(slot)].clear();
    m_connections[size_t(slot)] = 0;
    m_refused[size_t(slot)] = false;
    m_host.connectionEnded(slot);
    // A clean socket with no leftover state, then the same port again.
    m_sockets->close(slot);
    m_sockets->destroy(slot);
    m_sockets->create(slot);
    reopenPort(slot);
    logAndList(QStringLiteral("Connessione sulla porta ") + QString::number(port(slot)) +
               QStringLiteral(" chiusa alle ") + timeOfDay() + peer);
}

void PortPool::onError(int slot, int number, const QString& description) {
    if (!validSlot(slot) || m_closing)
        return;
    qCDebug(lcPool) << "slot" << slot << "error" << number << description;
    // A close usually follows an error; give it the chance to arrive before recovering.
    QTimer::singleShot(0, this, [this, slot] {
        if (!m_closing && m_opened && state(slot) == SocketArray::Error)
            recover(slot);
    });
}

void PortPool::recover(int slot) {
    // A connection that failed (a peer that vanished: keep-alive gave up) is closed here.
    const QString peer = m_peers[size_t(slot)];
    logSkipped(slot, fromPeer(slot));
    m_registry[size_t(slot)].clear();
    m_peers[size_t(slot)].clear();
    m_connections[size_t(slot)] = 0;
    m_refused[size_t(slot)] = false;
    // A connection that died (keep-alive, reset) ends here without a close.
    m_host.connectionEnded(slot);
    const int before = state(slot);
    m_sockets->destroy(slot);
    m_sockets->create(slot);
    reopenPort(slot);
    if (before == SocketArray::Error)
        m_host.log(QStringLiteral("Porta ") + QString::number(port(slot)) +
                   QStringLiteral(" in errore") +
                   (peer.isEmpty()
                        ? QString()
                        : QStringLiteral(" (connessione da ") + peer + QStringLiteral(" chiusa)")) +
                   QStringLiteral(": riaperta alle ") + timeOfDay());
}

void PortPool::refreshPortList() {
    m_host.trace(QStringLiteral("Timer4"));
    if (!m_opened)
        return; // before the first activation there are no slots to show
    if (!m_closing)
        dropNoLongerAdmitted();
    for (int slot = 1; slot <= Slots; ++slot) {
        const int s = state(slot);
        if (!m_closing && (s == SocketArray::Error || s == SocketArray::Closed))
            recover(slot);
    }
    m_lines.clear();
    for (int slot = 1; slot <= Slots; ++slot)
        m_lines.append(refreshLine(slot));
    m_host.portListReplaced(m_lines);
}

// A completion that reached the slot before its port closes is carried out: its document was
// printed, and left in the folder it would print again after the restart.
void PortPool::finishCompletions(int slot) {
    MessageFramer& framer = m_framers[size_t(slot)];
    for (const QString& text : framer.feed(m_sockets->readAllBeforeClose(slot))) {
        if (Wire::isCompletion(text))
            handleMessage(slot, text);
    }
}

void PortPool::closeAll() {
    m_closing = true;
    for (int slot = 1; slot <= Slots; ++slot) {
        if (m_sockets->exists(slot))
            finishCompletions(slot);
        m_registry[size_t(slot)].clear();
        m_framers[size_t(slot)].clear();
        if (m_sockets->exists(slot)) {
            m_sockets->close(slot);
            m_sockets->destroy(slot);
        }
        QCoreApplication::processEvents();
    }
    m_opened = false;
}
