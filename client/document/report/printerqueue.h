#pragma once

#include <QString>

// Questions about a print queue that the print engine does not answer. Qt submits a job without
// reporting whether the queue took it, so a queue that rejects jobs must be asked beforehand.
namespace PrinterQueue {
// False only when the queue is known to refuse new jobs (CUPS: "cupsreject"); true when it
// accepts them or when this cannot be found out.
bool acceptsJobs(const QString& printerName);
} // namespace PrinterQueue
