#pragma once

#include "quietrefusals.h"
#include "webreaders.h"
#include "websessions.h"

#include <QAbstractHttpServer>
#include <QDateTime>
#include <QHttpServerResponder>

class ConnectionLimits;
class PrintServer;
struct QueueEntry;

// The print server's web page: what prints, what waits and why, with "Riprova" and "Elimina" for
// whoever logged in. HTTPS on the web port for the office (the certificate the package made, or
// the technician's), plain HTTP on 127.0.0.1 one port above for the server's own machine only.
// Reading is for the addresses the server admits (WebReaders); every action needs a login and
// the session's form token, and is logged with who did it and from where. It answers on the
// server's own thread, between the print server's events.
class WebSite : public QAbstractHttpServer {
    Q_OBJECT
public:
    WebSite(PrintServer& server, QObject* parent = nullptr);
    ~WebSite() override;

    // Opens the ports (port 0: no web page) and logs where the page is, or why it is not.
    void start(quint16 port);

    struct Request;
    struct Reply {
        QHttpServerResponder::StatusCode status = QHttpServerResponder::StatusCode::Ok;
        QByteArray contentType = "text/html; charset=utf-8";
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
    };

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    bool listenSecure(quint16 port, QString* problem);
    Reply answer(Request& request);
    Reply answerGet(Request& request);
    Reply answerPost(Request& request);
    Reply pageReply(Request& request, const QString& title, const QString& body,
                    int refreshSeconds = 0);
    Reply loginPage(Request& request, const QString& problem, const QString& name = {});
    Reply logIn(Request& request);
    QString missingPassword() const;
    Reply queueAction(Request& request, bool discard);
    Reply discardQuestion(Request& request);
    Reply refusal(Request& request, QHttpServerResponder::StatusCode status, const QString& why);
    static Reply redirect(const QByteArray& location);
    QList<QueueEntry> listedEntry(const QString& name) const;
    void logAction(const Request& request, const QString& text);
    void logRefusedReader(const QString& address);

    PrintServer& m_server;
    ConnectionLimits* m_limits;
    WebReaders m_readers;
    WebSessions m_sessions;
    QDateTime m_started;
    QuietRefusals m_refusedReaders;
};
