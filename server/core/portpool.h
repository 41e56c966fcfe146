#pragma once

#include "connectiongate.h"
#include "failure.h"
#include "messagelogbudget.h"
#include "wiremessages.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <array>

class PoolHost;
class SocketArray;

// The 25 listening socket slots of the server and the workstation registry. Slot i (1 to 25)
// listens on basePort + i - 1 until a workstation connects, then carries that one connection
// itself and listens again once it closes. Registry entry i holds the name the workstation on
// slot i announced with "PC:"; entry 0 is never used.
//
// Received bytes are split into messages at each carriage return; every complete message is
// logged and acted on in order, an unfinished one waits for the rest. A peer is a stranger until
// it registers (ConnectionGate: the time to register, the connections per address, the list of
// workstations); "DEL:" completes only a file of the name its connection registered, and every
// line about a connection names the peer's address. Failures of sockets are
// never reported to the user: a slot that ends in the error state, or whose port could not be
// opened, is rebuilt and listens again at the latest on the next refreshPortList().
class PortPool : public QObject {
    Q_OBJECT
public:
    static constexpr int Slots = 25;
    static const QString PortTag; // "Porta "

    PortPool(PoolHost& host, int basePort, int revision, QObject* parent = nullptr);
    ~PortPool() override;

    // The 11 socket-state texts, index 0 to 10 (10 stays empty).
    static const std::array<QString, 11>& stateTexts();
    static QString stateText(int state);

    quint16 port(int slot) const { return quint16(m_basePort + slot - 1); }
    int state(int slot) const;

    // Creates slots 1 to 25 and opens every port.
    void listenPorts();
    // Reopens the port of one existing slot (after its connection closed).
    void reopenPort(int slot);
    bool isOpened() const { return m_opened; }

    // The periodic refresh: recovers broken slots, then rebuilds the 25 port-list lines.
    void refreshPortList();
    // Shutdown: clears, closes and destroys slots 1 to 25, letting pending events run after each.
    // Before a slot closes, every completion it has received is carried out; nothing else is.
    void closeAll();

    QString registryName(int slot) const;
    Failure sendOnSlot(int slot, const QString& text);

    // Where "DEL:" may delete: the print folder (as stored) and the local folder that stands for
    // the server's own share (its program folder).
    void setPrintFolder(const QString& folder) { m_printFolder = folder; }
    QString printFolder() const { return m_printFolder; }
    void setShareRoot(const QString& folder) { m_shareRoot = folder; }
    // Postazioni.txt of the server folder; without it every name may register from anywhere.
    void setWorkstationListFile(const QString& path) { m_gate.setListFile(path); }
    ConnectionGate& gate() { return m_gate; }

    QStringList portLines() const { return m_lines; }

    // A registered workstation's connection as the web page lists it.
    struct Connection {
        QString name; // as registered, blanks trimmed
        QString address;
        quint16 port = 0;
        QDateTime since;
        int printedToday = 0; // documents its name completed since midnight, on any connection
    };
    QList<Connection> connections() const;

    // Handles one complete received text on a slot (what a read delivers, framed).
    void handleMessage(int slot, const QString& text);

private:
    void onConnectionRequest(int slot, qintptr requestId);
    void onDataArrival(int slot);
    void onClosed(int slot);
    void onError(int slot, int number, const QString& description);
    void finishCompletions(int slot);

    void openSlot(int slot);
    // Our side ends the connection of a slot (the peer's close, a refusal, a time-out): the slot
    // forgets it, listens again and the log says so, with the peer's address.
    void endConnection(int slot);
    void refuseRegistration(int slot);
    void completion(int slot, const QString& path);
    void dropUnregistered(int slot, quint64 connection);
    void dropNoLongerAdmitted();
    int connectionsFrom(const QString& address) const;
    QString fromPeer(int slot) const;
    void logSkipped(int slot, const QString& peer);
    void countPrinted(const QString& name);
    void recover(int slot);
    void setLine(int slot, const QString& line);
    QString shortLine(int slot) const;
    QString connectedLine(int slot) const;
    QString registeredLine(int slot) const;
    QString refreshLine(int slot) const;
    void logAndList(const QString& text);
    static QString timeOfDay();
    bool validSlot(int slot) const { return slot >= 1 && slot <= Slots; }

    PoolHost& m_host;
    int m_basePort;
    int m_revision;
    SocketArray* m_sockets;
    std::array<QString, Slots + 1> m_registry;
    std::array<MessageFramer, Slots + 1> m_framers;
    std::array<bool, Slots + 1> m_openFailureLogged{};
    std::array<QString, Slots + 1> m_peers;         // address of the connection on the slot
    std::array<quint64, Slots + 1> m_connections{}; // which connection it is; 0: none
    std::array<bool, Slots + 1> m_refused{};        // refused name: read nothing more from it
    std::array<QDateTime, Slots + 1> m_since;       // when the connection on the slot opened
    std::array<MessageLogBudget, Slots + 1> m_logBudgets;
    quint64 m_lastConnection = 0;
    ConnectionGate m_gate;
    QStringList m_lines;
    QHash<QString, int> m_printedToday; // by upper-case name, for m_printedOn
    QDate m_printedOn;
    QString m_printFolder;
    QString m_shareRoot;
    bool m_opened = false;
    bool m_closing = false;
};
