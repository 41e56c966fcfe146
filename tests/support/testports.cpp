#include "testports.h"

#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>

#include <memory>
#include <vector>

namespace TestPorts {

quint16 freeRange(int count) {
    // Below the ephemeral range (32768 and up on Linux): a call to a port in that range can be
    // answered by the calling socket itself (a TCP self-connect), which looks like a server.
    constexpr int Lowest = 20000;
    constexpr int Highest = 32700;
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int base = QRandomGenerator::global()->bounded(Lowest, Highest - count);
        std::vector<std::unique_ptr<QTcpServer>> probes;
        bool free = true;
        for (int k = 0; k < count && free; ++k) {
            auto probe = std::make_unique<QTcpServer>();
            free = probe->listen(QHostAddress::AnyIPv4, quint16(base + k));
            probes.push_back(std::move(probe));
        }
        if (free)
            return quint16(base);
    }
    return 0;
}

} // namespace TestPorts
