#include "messagelogbudget.h"

#include <algorithm>

bool MessageLogBudget::allow() {
    if (m_clock.isValid())
        m_tokens = std::min<double>(Burst, m_tokens + m_clock.restart() * PerSecond / 1000.0);
    else
        m_clock.start();
    if (m_tokens >= 1.0) {
        m_tokens -= 1.0;
        return true;
    }
    ++m_skipped;
    return false;
}

int MessageLogBudget::takeSkipped() {
    const int skipped = m_skipped;
    m_skipped = 0;
    return skipped;
}
