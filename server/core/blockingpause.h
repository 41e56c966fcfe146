#pragma once

#include <functional>

class QString;

// Waits `seconds` (fixed point, four decimals) without handling any window event, so that what
// was just started (the network share) exists before anything else happens. It sleeps in short
// steps instead of spinning, leaving the processor to others. `trace` receives the label "Pausa";
// `milliseconds` turns the wanted time into the real wait (tests shorten it as they do the
// timers).
void pauseWithoutEvents(double seconds, const std::function<void(const QString&)>& trace,
                        const std::function<int(int)>& milliseconds = {});
