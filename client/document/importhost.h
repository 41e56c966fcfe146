#pragma once

#include "failure.h"

#include <QString>

// What the document import needs of the client: the message list Lst_DataSent, the activity log,
// a chance to let pending window events run, the reply on a socket element, and a way to tell the
// person at the workstation that a document did not come out.
class ImportHost {
public:
    virtual ~ImportHost() = default;
    // A queued or new request is about to run (the list then shows that request alone).
    virtual void requestStarting(const QString& message) = 0;
    virtual void listAdd(const QString& line) = 0;
    virtual void listRedraw() = 0;
    virtual void log(const QString& text) = 0;
    virtual void processEvents() = 0;
    virtual Failure sendReply(int socketIndex, const QString& text) = 0;
    virtual void notifyPrintError(const QString& text) = 0;
};
