#include "watchersettings.h"

#include "runtimeenv.h"

#include <QByteArray>
#include <cmath>

namespace {
// A positive number of the given unit, or the default when unset or not a positive number.
qint64 durationFromEnv(const char* name, double unitMs, qint64 fallback) {
    const QByteArray text = qgetenv(name).trimmed();
    if (text.isEmpty())
        return fallback;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value <= 0)
        return fallback;
    const double ms = value * unitMs;
    if (ms > 9.0e15)
        return fallback;
    return qMax<qint64>(1, qint64(std::llround(ms)));
}
} // namespace

WatcherSettings WatcherSettings::fromEnvironment() {
    WatcherSettings s;
    const RuntimeEnv& env = RuntimeEnv::get();
    s.scanIntervalMs = env.interval(1000);
    s.reofferMs = env.interval(60000);
    s.holdMs = durationFromEnv("VELARIX_HOLD_MINUTES", 60.0 * 1000.0, s.holdMs);
    s.expiryMs = durationFromEnv("VELARIX_EXPIRY_HOURS", 3600.0 * 1000.0, s.expiryMs);
    return s;
}
