#include "quietrefusals.h"

bool QuietRefusals::quietFor(const QString& key) {
    if (m_logged.size() > 1000) {
        for (auto it = m_logged.begin(); it != m_logged.end();)
            it = it->hasExpired() ? m_logged.erase(it) : std::next(it);
    }
    auto it = m_logged.find(key);
    if (it != m_logged.end() && !it->hasExpired())
        return true;
    m_logged.insert(key, QDeadlineTimer(m_intervalMs));
    return false;
}
