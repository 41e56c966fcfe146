#pragma once

#include <QString>

class QFileDevice;

// What a system error number means, in Italian for the log and the windows (the system's own
// texts follow its language, usually English on a server).
QString systemErrorText(int error);
// The system's reason inside a text made from it (Qt's file errors carry the system's own
// words), in Italian; "" when none is recognised.
QString systemReasonIn(const QString& text);
// Why a file operation failed, in Italian: the step that failed and, when the system said why,
// its reason ("impossibile eliminare il file: permesso negato").
QString fileErrorText(const QFileDevice& file);
