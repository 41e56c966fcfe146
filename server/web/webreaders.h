#pragma once

#include "workstationlist.h"

#include <QHostAddress>
#include <QString>

// Who may read the web page: the server itself always; with a workstation list in force, the
// addresses and networks it names (the office's own machines); without one, the local networks
// (private, link-local and the networks of the server's own interfaces). Actions need a login on
// top of this.
class WebReaders {
public:
    explicit WebReaders(const QString& listPath);

    bool admits(const QHostAddress& peer);
    // An IPv4 peer reaching a dual-stack socket arrives as ::ffff:a.b.c.d: compare it as IPv4.
    static QHostAddress plain(const QHostAddress& address);
    static bool isLocalNetwork(const QHostAddress& address);

private:
    bool listAdmits(const QHostAddress& address) const;

    WorkstationList m_list;
};
