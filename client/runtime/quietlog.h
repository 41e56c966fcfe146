#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <functional>

// Keeps lines that repeat while the server is away from flooding the activity log: a line is
// written the first time, then at most once per interval with how many times it came meanwhile.
class QuietLog {
public:
    QuietLog(std::function<void(const QString&)> write, int intervalMs);

    void repeat(const QString& text);
    // The condition is over: what was held back is counted in the log, and the next occurrence
    // of any line is written at once.
    void reset();

private:
    struct Held {
        QElapsedTimer written;
        int count = 0;
    };
    void writeCount(const QString& text, int count);

    std::function<void(const QString&)> m_write;
    int m_intervalMs;
    QHash<QString, Held> m_held;
};
