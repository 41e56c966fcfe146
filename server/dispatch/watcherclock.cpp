#include "watcherclock.h"

#include <QDeadlineTimer>

WatcherClock WatcherClock::system() {
    return {[] { return QDeadlineTimer::current().deadline(); },
            [] { return QDateTime::currentDateTimeUtc(); }};
}
