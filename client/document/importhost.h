#pragma once

#include "failure.h"

#include <QString>

// What the document import needs of the client: the message list Lst_DataSent, the activity log,
// a chance to let pending window events run, the reply on a socket element, a way to tell the
// person at the workstation that a document did not come out (or was printed but not archived),
// and a moment before each print file for the client to bring its files up to date.
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
    // Before a print file is read. False when the client is ending (handed over to the updater):
    // the request, and any queued after it, is left to the server, which offers it again.
    virtual bool prepareForDocument() = 0;
};
