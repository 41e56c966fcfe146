#pragma once

#include <QDateTime>
#include <functional>

// The watcher's two clocks. The ages that decide (hold, expiry, re-offer) are read from the
// monotonic one, which a step of the wall clock (a dead battery corrected, a time zone slip)
// does not move. The wall clock only meets files' modification times: the rest of a new file,
// and the acceptance time stamped on a pending file so that its age survives a restart.
// Tests replace either or both.
struct WatcherClock {
    std::function<qint64()> monotonicMs; // any origin; only differences count
    std::function<QDateTime()> wall;     // UTC

    static WatcherClock system();
};
