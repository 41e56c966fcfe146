#pragma once

#include "printjob.h"

#include <QString>

// How the server window shows the queue, in the office's words. Widget-free so the texts and the
// rules for the two buttons are tested without a window.
namespace QueueTexts {

// "in arrivo", "in coda", "in stampa", "postazione non collegata", "messo da parte", "stampato".
QString state(JobState state);
// The same, but a file its workstation reported it could not print reads "stampa non riuscita"
// (the reason says why) while it is with that workstation or waits for its next offer.
QString state(const QueueEntry& entry);
// A waiting time as people say it: "40 s", "12 min", "3 h 5 min", "2 g 4 h".
QString waited(qint64 ms);
// The list shows what waits; a printed file whose delete is still due is no longer waiting.
bool isListed(const QueueEntry& entry);
// "Riprova" takes a set-aside file back; "Elimina" deletes one that waits, never one still
// arriving or in the hands of its workstation.
bool canPutBack(const QueueEntry& entry);
bool canDiscard(const QueueEntry& entry);
// The question "Elimina" asks before it deletes anything.
QString discardQuestion(const QueueEntry& entry);

// Printing stopped for the whole office: why (the watcher's words for the print folder's problem),
// where it is mended, and that printing goes on by itself once it is.
QString printingStoppedNotice(const QString& problem);

} // namespace QueueTexts
