#include "webreaders.h"

#include <QNetworkInterface>

WebReaders::WebReaders(const QString& listPath) : m_list(listPath) {}

QHostAddress WebReaders::plain(const QHostAddress& address) {
    bool isIpv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIpv4);
    return isIpv4 ? QHostAddress(ipv4) : address;
}

bool WebReaders::isLocalNetwork(const QHostAddress& address) {
    static const char* const Private[] = {"10.0.0.0/8",     "172.16.0.0/12", "192.168.0.0/16",
                                          "169.254.0.0/16", "fc00::/7",      "fe80::/10"};
    if (address.isLoopback())
        return true;
    for (const char* network : Private) {
        if (address.isInSubnet(QHostAddress::parseSubnet(QString::fromLatin1(network))))
            return true;
    }
    // An office on public addresses (or a provider's shared range) is still the server's own
    // network.
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& interface : interfaces) {
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            if (entry.prefixLength() > 0 && address.isInSubnet(entry.ip(), entry.prefixLength()))
                return true;
        }
    }
    return false;
}

bool WebReaders::listAdmits(const QHostAddress& address) const {
    for (const WorkstationList::Entry& entry : m_list.entries()) {
        for (const QString& text : entry.addresses) {
            WorkstationList::Network network;
            if (WorkstationList::parseNetwork(text, &network) &&
                address.isInSubnet(plain(network.first), network.second))
                return true;
        }
    }
    return false;
}

bool WebReaders::admits(const QHostAddress& peer) {
    const QHostAddress address = plain(peer);
    // The server's own machine: 127.0.0.1 and ::1, not the rest of 127.0.0.0/8.
    if (address == QHostAddress(QHostAddress::LocalHost) ||
        address == QHostAddress(QHostAddress::LocalHostIPv6))
        return true;
    m_list.refresh();
    return m_list.inForce() ? listAdmits(address) : isLocalNetwork(address);
}
