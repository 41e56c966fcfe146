#include "testports.h"

#include <QDir>
#include <QHostAddress>
#include <QLockFile>
#include <QRandomGenerator>
#include <QTcpServer>

#include <memory>
#include <vector>

namespace TestPorts {
namespace {
// Below the ephemeral range (32768 and up on Linux): a call to a port in that range can be
// answered by the calling socket itself (a TCP self-connect), which looks like a server.
constexpr int Lowest = 20000;
constexpr int Highest = 32700;
constexpr int BlockSize = 32;

// The blocks this program holds, released when it ends.
std::vector<std::unique_ptr<QLockFile>>& heldBlocks() {
    static std::vector<std::unique_ptr<QLockFile>> blocks;
    return blocks;
}

bool reserve(int block) {
    auto lock = std::make_unique<QLockFile>(
        QDir::temp().filePath(QStringLiteral("velarix-test-ports-%1.lock").arg(block)));
    lock->setStaleLockTime(0); // stale only when its program is gone
    if (!lock->tryLock(0))
        return false;
    heldBlocks().push_back(std::move(lock));
    return true;
}

bool canOpen(int base, int count) {
    std::vector<std::unique_ptr<QTcpServer>> probes;
    for (int k = 0; k < count; ++k) {
        probes.push_back(std::make_unique<QTcpServer>());
        if (!probes.back()->listen(QHostAddress::AnyIPv4, quint16(base + k)))
            return false;
    }
    return true;
}
} // namespace

quint16 freeRange(int count) {
    if (count < 1 || count > BlockSize)
        return 0;
    const int blocks = (Highest - Lowest) / BlockSize;
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int block = QRandomGenerator::global()->bounded(blocks);
        if (!reserve(block))
            continue; // another test program has it
        const int base = Lowest + block * BlockSize;
        if (canOpen(base, count))
            return quint16(base);
        heldBlocks().pop_back(); // something outside the tests listens there
    }
    return 0;
}

} // namespace TestPorts
