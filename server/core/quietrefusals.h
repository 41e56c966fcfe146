#pragma once

#include <QDeadlineTimer>
#include <QHash>
#include <QString>

// Refusals recently logged, by kind and peer: a peer that keeps trying is logged once per
// interval, so it cannot flood the log. Timed on the monotonic clock.
class QuietRefusals {
public:
    explicit QuietRefusals(int intervalMs) : m_intervalMs(intervalMs) {}

    // True while `key` was logged less than the interval ago; otherwise notes it as logged now.
    bool quietFor(const QString& key);

private:
    int m_intervalMs;
    QHash<QString, QDeadlineTimer> m_logged;
};
