#pragma once

#include "letterheadstore.h"
#include "portpool.h"
#include "printjob.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The bodies of the web page's pages, from what the server shows at one moment. Every text that
// comes from outside (file names, reasons, workstation names, log lines, letterheads) is escaped.
namespace WebPages {

struct Status {
    QString stopped;     // why printing is stopped for the whole office; "" while it runs
    QString printFolder; // as set
    QString version;
    QDateTime since;       // when the server started
    int connected = 0;     // workstations registered now
    int waiting = 0;       // documents listed as waiting
    bool starting = false; // the print folder not looked at yet
};
QString status(const Status& status);

// Each registered connection; the documents its workstation reported it could not print, with
// their reasons, from the queue.
QString workstations(const QList<PortPool::Connection>& connections,
                     const QList<QueueEntry>& queue);

// The queue as the server window lists it; with canAct, "Riprova" and "Elimina" on the documents
// they apply to, otherwise a link to log in.
QString queue(const QList<QueueEntry>& queue, bool canAct, const QString& token);
// "Elimina" asks first: the question, the confirming form, a way back.
QString discardQuestion(const QueueEntry& entry, const QString& token);

QString log(const QStringList& newestFirst, const QString& query, int total);
QString companies(const QList<LetterheadRow>& rows, const QString& problem);
QString login(const QString& problem, const QString& formToken, const QString& name);

} // namespace WebPages
