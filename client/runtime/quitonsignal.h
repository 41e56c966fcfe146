#pragma once

#include <functional>

// Runs `onSignal` on the event loop when the process gets SIGTERM or SIGINT, so a program that is
// stopped by the system still closes its connections and writes its closing log lines.
void installQuitOnSignal(std::function<void()> onSignal);
