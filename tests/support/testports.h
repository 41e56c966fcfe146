#pragma once

#include <QtGlobal>

// Ports for tests on loopback. Each run picks a random base between 20000 and 32700 (below the
// ephemeral ports), so test programs running side by side rarely meet; a range is returned only
// when every port of it can be opened right now.
namespace TestPorts {
// First of `count` consecutive ports that are free at the moment of the call (0 if none found).
quint16 freeRange(int count);
inline quint16 freePort() {
    return freeRange(1);
}
} // namespace TestPorts
