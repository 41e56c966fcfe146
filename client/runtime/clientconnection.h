#pragma once

#include "quietlog.h"
#include "wiremessages.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class SocketArray;

// The client's connection to the print server: sweeps of calls from the base port up to base + 24,
// the registration with the workstation name once connected, and every complete message received
// handed on in order. Knows nothing of widgets: the window shows what the signals tell it.
//
// Element 1 of the socket array is the only socket used; it is created afresh at every sweep.
//
// A connection that fails after the registration (the server vanished without a close, noticed
// by the socket layer's keep-alive) is handled as a close: the client calls again. From then on,
// and after a whole sweep without an answer, the status says the server cannot be reached until a
// call is answered. The refusals of a sweep are logged once, then once a minute with their count.
class ClientConnection : public QObject {
    Q_OBJECT
public:
    static constexpr int Element = 1;
    static constexpr int PortCount = 25;

    ClientConnection(SocketArray& sockets, std::function<void(const QString&)> log,
                     QObject* parent = nullptr);

    void setHost(const QString& host) { m_host = host; }
    void setBasePort(int port) { m_basePort = port; }
    void setWorkstationName(const QString& name) { m_workstation = name; }
    QString workstationName() const { return m_workstation; }
    void setTimerInterval(int ms) { m_timer.setInterval(ms); }
    // How often a repeated connection failure is logged again.
    void setRepeatLogInterval(int ms);

    // Start-up step that arms the first call, one timer interval later.
    void arm();
    // "Connetti": arm the timer, enable "Disconnetti"; the call starts at the next tick.
    void connectToServer();
    // "Disconnetti": no further calls until connectToServer().
    void disconnectFromServer();
    // Shutdown: timer off, element closed.
    void shutdown();

    bool isConnected() const;
    // Sends text + CR on element 1; false when not connected.
    bool sendText(const QString& text);
    int callPort() const { return m_callPort; }
    bool timerActive() const { return m_timer.isActive(); }
    bool serverReachable() const { return m_reachable; }

signals:
    void statusChanged(const QString& text);
    void callButtonEnabled(bool on);
    void closeButtonEnabled(bool on);
    void portShown(const QString& port); // "" while no connection holds a port
    void listAdded(const QString& line);
    // One complete message (with its trailing CR) received on a socket element.
    void messageReceived(const QString& text, int element);
    // False after a connection was lost or a whole sweep went unanswered; true once connected.
    void reachableChanged(bool reachable);

private:
    void onTimer();
    void onError(int number, const QString& description);
    void connectionLost(const QString& reason);
    void setReachable(bool reachable);
    QString callStatus(const QString& text) const;
    void onConnected(int index);
    void onData(int index);
    void onClosed(int index);
    void callCurrentPort();

    SocketArray& m_sockets;
    std::function<void(const QString&)> m_log;
    QTimer m_timer;
    MessageFramer m_framer;
    QuietLog m_quiet;
    QString m_host;
    QString m_workstation;
    int m_basePort = 1500;
    int m_callPort = 1500;
    bool m_registered = false; // connected and registered on element 1
    bool m_reachable = true;
};
