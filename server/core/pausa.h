#pragma once

#include <functional>

class QString;

// Pausa: waits `tempo` seconds (fixed point, four decimals) without handling any window event,
// so that what was just started (the network share) exists before anything else happens. It
// sleeps in short steps instead of spinning, leaving the processor to others. `milliseconds`
// turns the wanted time into the real wait (tests shorten it the same way as the timers).
void Pausa(double tempo, const std::function<void(const QString&)>& spy,
           const std::function<int(int)>& milliseconds = {});
