#pragma once

#include <QtGlobal>

// Times the watcher works with, in milliseconds. Defaults are the office's normal values; the
// program takes overrides from the environment at start:
//   VELARIX_HOLD_MINUTES   how long a print file waits for a workstation that is not connected
//                          before it is set aside as ".ERR" (default 10; fractions allowed)
//   VELARIX_EXPIRY_HOURS   how long an accepted print file may stay unprinted before it is set
//                          aside as ".ERR" (default 24; fractions allowed)
// The scan and re-offer intervals follow VELARIX_TIMER_SCALE like the window's timers.
struct WatcherSettings {
    qint64 scanIntervalMs =
        1000; // the scan timer; also how long a new file must rest before reading
    // A new file no writer holds is read once unchanged this long when it holds a whole document,
    // otherwise once unchanged wholeMs: a writer that closes it between its steps and opens it
    // again within a second is not cut short. Not scaled: they stand for a writer's habits.
    qint64 settleMs = 250;
    qint64 wholeMs = 1000;
    qint64 reofferMs = 60000;       // a file is not offered again on the same connection sooner
    qint64 holdMs = 10 * 60 * 1000; // absent workstation
    qint64 expiryMs = qint64(24) * 60 * 60 * 1000;

    static WatcherSettings fromEnvironment();
};
