#include "quietlog.h"

QuietLog::QuietLog(std::function<void(const QString&)> write, int intervalMs)
    : m_write(std::move(write)), m_intervalMs(intervalMs) {}

void QuietLog::repeat(const QString& text) {
    auto it = m_held.find(text);
    if (it == m_held.end()) {
        m_write(text);
        m_held[text].written.start();
        return;
    }
    ++it->count;
    if (it->written.elapsed() < m_intervalMs)
        return;
    writeCount(text, std::exchange(it->count, 0));
    it->written.start();
}

void QuietLog::reset() {
    for (auto it = m_held.cbegin(); it != m_held.cend(); ++it)
        if (it->count > 0)
            writeCount(it.key(), it->count);
    m_held.clear();
}

void QuietLog::writeCount(const QString& text, int count) {
    m_write(text + QStringLiteral(" (ripetuto ") + QString::number(count) +
            (count == 1 ? QStringLiteral(" volta)") : QStringLiteral(" volte)")));
}
