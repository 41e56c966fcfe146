#include "blockingpause.h"

#include <QDeadlineTimer>
#include <QString>
#include <QThread>
#include <cmath>

void pauseWithoutEvents(double seconds, const std::function<void(const QString&)>& trace,
                        const std::function<int(int)>& milliseconds) {
    if (trace)
        trace(QStringLiteral("Pausa"));
    // Fixed point with four decimal places, as the time is given.
    const qint64 tenThousandths = std::llround(seconds * 10000.0);
    int wanted = int((tenThousandths + 5) / 10); // whole milliseconds
    if (milliseconds)
        wanted = milliseconds(wanted);
    if (wanted <= 0)
        return;
    QDeadlineTimer deadline(wanted, Qt::PreciseTimer);
    while (!deadline.hasExpired())
        QThread::msleep(
            quint64(std::min<qint64>(20, std::max<qint64>(1, deadline.remainingTime()))));
}
