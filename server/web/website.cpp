#include "website.h"

#include "connectiongate.h"
#include "webrequest.h"

#include "printserver.h"
#include "webaccess.h"
#include "weblayout.h"
#include "weblisteners.h"

#include <QDir>
#include <QFile>
#include <QHttpServerRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QUrlQuery>

using Status = QHttpServerResponder::StatusCode;

namespace {

QHash<QByteArray, QByteArray> cookiesOf(const QByteArray& header) {
    QHash<QByteArray, QByteArray> cookies;
    for (const QByteArray& part : header.split(';')) {
        const qsizetype equals = part.indexOf('=');
        if (equals > 0)
            cookies.insert(part.left(equals).trimmed(), part.mid(equals + 1).trimmed());
    }
    return cookies;
}

// application/x-www-form-urlencoded (a form's body, or its query when it is sent with GET), where
// "+" stands for a blank.
QUrlQuery formOf(const QByteArray& body) {
    QByteArray text = body;
    text.replace('+', "%20");
    return QUrlQuery(QString::fromLatin1(text));
}
} // namespace

WebSite::WebSite(PrintServer& server, QObject* parent)
    : QAbstractHttpServer(parent), m_server(server), m_limits(new ConnectionLimits(this)),
      m_readers(QDir(server.programFolder()).filePath(WorkstationList::FileName)),
      m_started(QDateTime::currentDateTime()), m_refusedReaders(int(ConnectionGate::QuietMs)) {}

WebSite::~WebSite() = default;

bool WebSite::listenSecure(quint16 port, QString* problem) {
    const QString folder = m_server.programFolder();
    QFile certificateFile(WebAccess::certificatePath(folder));
    QFile keyFile(WebAccess::keyPath(folder));
    if (!certificateFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("certificato o chiave non leggibili (") +
                   certificateFile.fileName() + QStringLiteral(", ") + keyFile.fileName() +
                   QLatin1Char(')');
        return false;
    }
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certificateFile.readAll());
    const QByteArray keyData = keyFile.readAll();
    QSslKey key(keyData, QSsl::Ec);
    if (key.isNull())
        key = QSslKey(keyData, QSsl::Rsa);
    if (chain.isEmpty() || key.isNull()) {
        *problem = QStringLiteral("certificato o chiave non validi (") +
                   certificateFile.fileName() + QStringLiteral(", ") + keyFile.fileName() +
                   QLatin1Char(')');
        return false;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificateChain(chain);
    configuration.setPrivateKey(key);
    configuration.setProtocol(QSsl::TlsV1_2OrLater);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    auto* secure = new LimitedSslServer(*m_limits, this);
    secure->setSslConfiguration(configuration);
    if (!secure->listen(QHostAddress::Any, port)) {
        *problem = QStringLiteral("porta %1: %2").arg(port).arg(secure->errorString());
        delete secure;
        return false;
    }
    bind(secure);
    return true;
}

void WebSite::start(quint16 port) {
    if (port == 0) {
        m_server.log(QStringLiteral("Pagina web disattivata (VELARIX_WEB_PORT=0)"));
        return;
    }
    QString problem;
    const bool secure = listenSecure(port, &problem);
    auto* local = new LimitedTcpServer(*m_limits, this);
    const quint16 localPort = quint16(port + 1);
    const bool plain = local->listen(QHostAddress::LocalHost, localPort);
    if (plain)
        bind(local);
    const QString localText =
        plain ? QStringLiteral("http://127.0.0.1:%1/ su questo computer").arg(localPort)
              : QStringLiteral("porta %1 non disponibile: %2")
                    .arg(localPort)
                    .arg(local->errorString());
    if (secure)
        m_server.log(
            QStringLiteral("Pagina web: https://%1:%2/ (%3)")
                .arg(m_server.localIp().isEmpty() ? QStringLiteral("SERVER") : m_server.localIp())
                .arg(port)
                .arg(localText));
    else
        m_server.log(
            QStringLiteral("Pagina web senza HTTPS (%1): solo %2").arg(problem, localText));
    if (!plain)
        delete local;
}

bool WebSite::handleRequest(const QHttpServerRequest& httpRequest, QTcpSocket* socket) {
    Request request;
    request.method = httpRequest.method();
    request.path = httpRequest.url().path();
    request.query = formOf(httpRequest.url().query(QUrl::FullyEncoded).toLatin1());
    request.address = WebReaders::plain(httpRequest.remoteAddress()).toString();
    request.cookies = cookiesOf(httpRequest.value("cookie"));
    request.host = httpRequest.value("host");
    request.origin = httpRequest.value("origin");
    request.secure = qobject_cast<QSslSocket*>(socket) != nullptr;
    if (request.method == QHttpServerRequest::Method::Post)
        request.form = formOf(httpRequest.body());

    Reply reply;
    if (!m_readers.admits(httpRequest.remoteAddress())) {
        logRefusedReader(request.address);
        reply = refusal(request, Status::Forbidden,
                        QStringLiteral("Questo indirizzo (%1) non è ammesso a leggere la pagina "
                                       "del server di stampa.")
                            .arg(request.address));
    } else {
        reply = answer(request);
    }
    // Nothing of ours may be framed, sniffed, cached or sent on as a referrer; no script runs.
    reply.headers +=
        {{"Content-Security-Policy", "default-src 'none'; style-src 'self'; img-src 'self'; "
                                     "form-action 'self'; frame-ancestors 'none'; base-uri 'none'"},
         {"X-Content-Type-Options", "nosniff"},
         {"X-Frame-Options", "DENY"},
         {"Referrer-Policy", "no-referrer"},
         {"Cache-Control", "no-store"}};
    QHttpServerResponder responder = makeResponder(httpRequest, socket);
    responder.writeStatusLine(reply.status);
    responder.writeHeader("Content-Type", reply.contentType);
    responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
    for (const auto& header : std::as_const(reply.headers))
        responder.writeHeader(header.first, header.second);
    responder.writeBody(reply.body);
    return true;
}

void WebSite::missingHandler(const QHttpServerRequest&, QTcpSocket*) {
    // handleRequest answers every request.
}

void WebSite::logRefusedReader(const QString& address) {
    if (!m_refusedReaders.quietFor(address))
        m_server.log(QStringLiteral("Pagina web: accesso rifiutato da ") + address);
}

WebSite::Reply WebSite::answer(Request& request) {
    // On the plain port only this machine's own names: a page elsewhere that makes its name
    // point at 127.0.0.1 does not read through the browser of someone on the server.
    if (!request.secure) {
        const QByteArray host = request.host.left(request.host.lastIndexOf(':'));
        if (host != "127.0.0.1" && host != "localhost" && host != "[::1]")
            return refusal(request, Status::Forbidden,
                           QStringLiteral("Nome del server non ammesso."));
    }
    request.session = m_sessions.find(request.cookies.value(WebCookies::Session), request.address);
    if (request.method == QHttpServerRequest::Method::Get)
        return answerGet(request);
    if (request.method == QHttpServerRequest::Method::Post) {
        // A browser says where a form comes from: only our own pages post.
        if (!request.origin.isEmpty() && request.origin != "null" &&
            QUrl(QString::fromLatin1(request.origin)).authority().toLatin1() != request.host)
            return refusal(request, Status::Forbidden,
                           QStringLiteral("Modulo inviato da un'altra pagina: rifiutato."));
        return answerPost(request);
    }
    return refusal(request, Status::MethodNotAllowed, QStringLiteral("Richiesta non ammessa."));
}

WebSite::Reply WebSite::pageReply(Request& request, const QString& title, const QString& body,
                                  int refreshSeconds) {
    WebLayout::Frame frame;
    frame.title = title;
    frame.path = request.path;
    frame.refreshSeconds = refreshSeconds;
    if (request.session) {
        frame.user = request.session->user;
        frame.token = QString::fromLatin1(request.session->token);
        frame.notice = std::exchange(request.session->notice, QString());
    }
    Reply reply;
    reply.body = WebLayout::page(frame, body);
    return reply;
}

WebSite::Reply WebSite::refusal(Request& request, Status status, const QString& why) {
    Reply reply = pageReply(request, QStringLiteral("Non consentito"),
                            QStringLiteral("<p class=\"failure\">") + WebLayout::escape(why) +
                                QStringLiteral("</p>"));
    reply.status = status;
    return reply;
}

WebSite::Reply WebSite::redirect(const QByteArray& location) {
    Reply reply;
    reply.status = Status::SeeOther;
    reply.headers.append({"Location", location});
    return reply;
}
