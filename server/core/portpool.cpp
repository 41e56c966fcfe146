#include "portpool.h"

#include "poolhost.h"
#include "printfileremoval.h"
#include "socketarray.h"

#include <QCoreApplication>
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
      m_sockets(new SocketArray(this)) {
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
    // The original spelling of states 6 and 8 is what technicians know from the port list.
    static const std::array<QString, 11> texts{QStringLiteral("Chiusa"),
                                               QStringLiteral("Aperta"),
                                               QStringLiteral("In attesa"),
                                               QStringLiteral("Connessione in sospeso"),
                                               QStringLiteral("Risoluzione dell'host in corso"),
                                               QStringLiteral("Host risolto"),
                                               QStringLiteral("Connessione in cosrso"),
                                               QStringLiteral("Connessa"),
                                               QStringLiteral("Chiusura in cosrso"),
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
    m_sockets->close(slot);
    const Failure failure = m_sockets->accept(slot, requestId);
    if (failure) {
        // The request went away before it could be taken: listen again straight away.
        qCWarning(lcPool) << "accept on slot" << slot << failure.description;
        reopenPort(slot);
        return;
    }
    logAndList(QStringLiteral("Connessione sulla porta ") + QString::number(port(slot)) +
               QStringLiteral(" aperta alle ") + timeOfDay());
    setLine(slot, connectedLine(slot));
}

void PortPool::onDataArrival(int slot) {
    if (!validSlot(slot) || m_closing || !m_sockets->exists(slot))
        return;
    m_host.trace(QStringLiteral("WSCK_DataArrival(") + QString::number(slot) + QLatin1Char(')'));
    MessageFramer& framer = m_framers[size_t(slot)];
    const QList<QString> messages = framer.feed(m_sockets->readAllBytes(slot));
    if (framer.takeOverflow())
        m_host.log(QStringLiteral("Messaggio troppo lungo sulla porta ") +
                   QString::number(port(slot)) + QStringLiteral(": parte scartata"));
    for (const QString& text : messages) {
        handleMessage(slot, text);
        // A handler may have closed the slot (nothing does today, but keep the loop honest).
        if (!m_sockets->exists(slot))
            break;
    }
}

void PortPool::handleMessage(int slot, const QString& text) {
    if (!validSlot(slot))
        return;
    logAndList(QStringLiteral("Ricevuto il messaggio [") + text + QStringLiteral("] sulla porta ") +
               QString::number(port(slot)));

    if (Wire::isRegistration(text)) {
        m_host.trace(QStringLiteral("W.DA.0"));
        const QString name = Wire::serverPayload(text, 3);
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
        const QString path = Wire::serverPayload(text, 4);
        const Failure removal = PrintFileRemoval(m_printFolder, m_shareRoot).remove(path);
        if (removal.number == ErrorNumber::PermissionDenied) {
            m_host.log(QStringLiteral("Cancellazione rifiutata: ") + path);
        } else {
            // A delete that failed is retried by the passes; the job itself is done.
            if (removal)
                qCDebug(lcPool) << "delete of" << path << removal.description;
            m_host.printFileCompleted(path);
        }
        const QString name = Wire::trimBlanks(m_registry[size_t(slot)]);
        m_host.message(QStringLiteral("Ricerca PC: [") + name + QLatin1Char(']'), false);
        m_host.followUpRequested(name);
    }
}

void PortPool::onClosed(int slot) {
    if (!validSlot(slot) || m_closing)
        return;
    m_host.trace(QStringLiteral("WSCK_Close(") + QString::number(slot) + QLatin1Char(')'));
    m_registry[size_t(slot)].clear();
    // A clean socket with no leftover state, then the same port again.
    m_sockets->close(slot);
    m_sockets->destroy(slot);
    m_sockets->create(slot);
    reopenPort(slot);
    logAndList(QStringLiteral("Connessione sulla porta ") + QString::number(port(slot)) +
               QStringLiteral(" chiusa alle ") + timeOfDay());
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
    m_registry[size_t(slot)].clear();
    const int before = state(slot);
    m_sockets->destroy(slot);
    m_sockets->create(slot);
    reopenPort(slot);
    if (before == SocketArray::Error)
        m_host.log(QStringLiteral("Porta ") + QString::number(port(slot)) +
                   QStringLiteral(" in errore: riaperta alle ") + timeOfDay());
}

void PortPool::refreshPortList() {
    m_host.trace(QStringLiteral("Timer4"));
    if (!m_opened)
        return; // before the first activation there are no slots to show
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
