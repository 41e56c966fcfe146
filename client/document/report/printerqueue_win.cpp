#include "printerqueue.h"

namespace PrinterQueue {

// The Windows spooler takes every job for an installed printer; a paused or offline printer
// keeps it queued.
bool acceptsJobs(const QString&) {
    return true;
}

} // namespace PrinterQueue
