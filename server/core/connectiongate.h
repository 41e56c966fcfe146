#pragma once

#include "quietrefusals.h"
#include "workstationlist.h"

#include <QString>
#include <functional>

// Who may hold one of the server's connections, and under which name. Every peer is a stranger
// until it registers: a connection must register within RegistrationMs, one address holds at most
// perAddress() connections at once (so a few silent peers cannot take the 25 ports from the
// office), and with a workstation list in force a name registers only from its own addresses.
// Every refusal is logged with the peer's address; a peer that keeps trying is logged once per
// QuietMs, so it cannot flood the log either.
class ConnectionGate {
public:
    // A terminal server runs one client per session from a single address.
    static constexpr int DefaultPerAddress = 20;
    static constexpr int RegistrationMs = 30000;
    static constexpr int MinRegistrationMs = 3000;
    // A refused name hears nothing and is closed after this (its client calls again a second
    // after the close: this keeps it from calling several times a second).
    static constexpr int RefusedCloseMs = 2000;
    static constexpr qint64 QuietMs = 60000;

    using Log = std::function<void(const QString&)>;
    explicit ConnectionGate(Log log);

    // Postazioni.txt (or whatever path); none set: every name may register from anywhere.
    void setListFile(const QString& path);
    void setPerAddress(int connections) { m_perAddress = qMax(1, connections); }
    int perAddress() const { return m_perAddress; }

    // A new connection on `port` from an address that already holds `held` connections.
    bool admitConnection(const QString& address, int held, quint16 port);
    // "PC:" + name from that address; the list is read again first when it changed.
    bool admitRegistration(const QString& name, const QString& address, quint16 port);
    // A name registered earlier may stay (the list may have changed since); not logged.
    bool mayStay(const QString& name, const QString& address);

private:
    void takeUpList();

    Log m_log;
    std::unique_ptr<WorkstationList> m_list;
    int m_perAddress = DefaultPerAddress;
    QuietRefusals m_quiet;
};
