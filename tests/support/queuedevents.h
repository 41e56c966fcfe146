#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QTest>

// Delivers every event queued so far, and what those queue in turn, a few rounds deep: a marker
// is queued behind them and the loop runs until the marker arrives. A check that "nothing more
// comes" after an action waits for this instead of a fixed time. False when the marker did not
// arrive within five seconds (the loop is stuck).
inline bool deliverQueuedEvents(int rounds = 3) {
    for (int round = 0; round < rounds; ++round) {
        bool delivered = false;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&delivered] { delivered = true; }, Qt::QueuedConnection);
        if (!QTest::qWaitFor([&delivered] { return delivered; }, 5000))
            return false;
    }
    return true;
}
