#pragma once

#include "failure.h"

struct PrintFailureText;

#include <QString>

// What the document import needs of the client: the message list Lst_DataSent, the activity log,
// a chance to let pending window events run, the reply on a socket element, word of each document
// that did not print and of each one answered (so the person and the server learn why, once), and
// a moment before each print file for the client to bring its files up to date.
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
    // A document was not printed and not answered: the server offers it again. socketIndex is
    // the element its request came on.
    virtual void documentFailed(int socketIndex, const QString& path,
                                const PrintFailureText& failure) = 0;
    // A document was answered "DEL:" (printed, or with nothing in it to print).
    virtual void documentAnswered(const QString& path) = 0;
    // The report printer: a document printed, but its archive copy could not be written.
    virtual void archiveFailed(const Failure& failure, const QString& printFile) = 0;
    // Before a print file is read. False when the client is ending (handed over to the updater):
    // the request, and any queued after it, is left to the server, which offers it again.
    virtual bool prepareForDocument() = 0;
};
