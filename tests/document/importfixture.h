#pragma once

// Test doubles for the document import: a host that records every call in order, a report
// printer that answers from a script, and helpers for print files and table contents.

#include "importhost.h"
#include "printfailuretext.h"
#include "reportprinter.h"

#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>
#include <functional>

// Every call as one line: "request <message>", "list <text>", "redraw", "log <text>", "events",
// "reply <socket> <text>", "failed <socket> <number> <path>". prepareForDocument is only counted;
// it answers false (the client is ending) once `ending` is set.
class RecordingHost : public ImportHost {
public:
    QStringList calls;
    int prepared = 0;
    bool ending = false;
    std::function<void()> onEvents; // runs inside processEvents (a message arriving meanwhile)
    Failure replyFailure;

    void requestStarting(const QString& message) override {
        calls << QStringLiteral("request ") + message;
    }
    void listAdd(const QString& line) override { calls << QStringLiteral("list ") + line; }
    void listRedraw() override { calls << QStringLiteral("redraw"); }
    void log(const QString& text) override { calls << QStringLiteral("log ") + text; }
    void processEvents() override {
        calls << QStringLiteral("events");
        if (onEvents) {
            auto hook = std::move(onEvents);
            onEvents = nullptr;
            hook();
        }
    }
    Failure sendReply(int socketIndex, const QString& text) override {
        calls << QStringLiteral("reply %1 ").arg(socketIndex) + text;
        return replyFailure;
    }
    void documentFailed(int socketIndex, const QString& path,
                        const PrintFailureText& failure) override {
        calls << QStringLiteral("failed %1 %2 ").arg(socketIndex).arg(failure.number) + path;
    }
    void documentAnswered(const QString&) override {}
    void archiveFailed(const Failure&, const QString&) override {}
    bool prepareForDocument() override {
        ++prepared;
        return !ending;
    }

    QStringList replies() const { return calls.filter(QStringLiteral("reply ")); }
    QStringList lists() const {
        QStringList out;
        for (const QString& c : calls)
            if (c.startsWith(QStringLiteral("list ")))
                out << c.mid(5);
        return out;
    }
};

// Answers printDocument with the next scripted error number (none when the script is used up).
// Every copy comes out of a call that succeeds; of one that fails, those in outOfAFailure.
class ScriptedPrinter : public ReportPrinter {
public:
    struct Call {
        int company;
        QString report;
        int copies;
        QString kind;
        QString printFile;
        PrintedCopies skipped;
    };
    QList<int> statuses;
    PrintedCopies outOfAFailure;
    QString description = QStringLiteral("stampante occupata"); // of every failed print
    QList<Call> calls;

    using ReportPrinter::printDocument;
    Failure printDocument(const PrintRequest& r, PrintedCopies& printed) override {
        calls.append({r.companyCode, r.reportName, r.copyCount, r.kind, r.printFile, printed});
        const int status = statuses.isEmpty() ? 0 : statuses.takeFirst();
        for (int copy = 1; copy <= r.copyCount; ++copy)
            if (!status || outOfAFailure.contains(copy))
                printed.insert(copy);
        return {status, status ? description : QString()};
    }
};

// A print file of `pages` pages of the given kind: 14 (16 for FOM) header lines "Pp Hi",
// a full body "Pp Bi", `totals` totals lines "Pp Ti" and a closing form feed per page.
inline QByteArray makePrintFile(const QByteArray& code, int pages, int totals = 3,
                                const QByteArray& control = "^FL:  2 PC:WS01") {
    const int header = code == "10" ? 16 : 14;
    const int body = code == "01" ? 40 : code == "02" ? 35 : code == "10" ? 24 : 34;
    QByteArray b = "@VELARIX^" + code + " DOC\r\n" + control + "\r\n\r\n";
    for (int p = 1; p <= pages; ++p) {
        const QByteArray pp = "P" + QByteArray::number(p);
        for (int i = 1; i <= header; ++i)
            b += pp + " H" + QByteArray::number(i) + "\r\n";
        for (int i = 1; i <= body; ++i)
            b += pp + " B" + QByteArray::number(i) + "\r\n";
        for (int i = 1; i <= totals; ++i)
            b += pp + " T" + QByteArray::number(i) + "\r\n";
        b += "\f\r\n";
    }
    return b;
}

// Rows of a table as text, one string per row: the columns joined with '|', null shown as
// "<null>".
inline QStringList tableRows(const QString& dbPath, const QString& statement) {
    QStringList rows;
    const QString name = QStringLiteral("check-%1").arg(quintptr(&rows));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(dbPath);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(statement)) {
                while (q.next()) {
                    QStringList cols;
                    for (int i = 0; i < q.record().count(); ++i)
                        cols << (q.value(i).isNull() ? QStringLiteral("<null>")
                                                     : q.value(i).toString());
                    rows << cols.join(u'|');
                }
            } else {
                rows << QStringLiteral("<error>");
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}
