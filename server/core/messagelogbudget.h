#pragma once

#include <QElapsedTimer>

// How many received messages of one connection the activity log takes: as many as a real client
// sends (a registration, a completion per printed document), not what a flooding peer sends, so
// the log keeps its history. The message list still shows every message. A bucket of Burst
// messages refilled PerSecond each second; what it leaves out is counted for one summary line.
class MessageLogBudget {
public:
    static constexpr int Burst = 20;
    static constexpr int PerSecond = 2;

    // True when this message goes into the log; false counts it as left out.
    bool allow();
    // Messages left out since the last call.
    int takeSkipped();

private:
    QElapsedTimer m_clock;
    double m_tokens = Burst;
    int m_skipped = 0;
};
