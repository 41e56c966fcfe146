#pragma once

#include <QtGlobal>

// Ports for tests on loopback, between 20000 and 32700 (below the ephemeral ports). The range is
// cut into blocks of 32 ports; a test program reserves a block with a lock file in the temporary
// folder and keeps it until it ends, so programs running side by side (ctest -j) never share a
// port, and a block left by a crashed program is taken over. A range is returned only when every
// port of it can also be opened right now.
namespace TestPorts {
// First of `count` consecutive ports (at most 32) reserved for this program; 0 if none found.
quint16 freeRange(int count);
inline quint16 freePort() {
    return freeRange(1);
}
} // namespace TestPorts
