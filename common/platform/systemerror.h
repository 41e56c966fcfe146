#pragma once

#include <QString>

// What a system error number means, in Italian for the log and the windows (the system's own
// texts follow its language, usually English on a server).
QString systemErrorText(int error);
