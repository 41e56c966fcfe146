// What each address of the web page answers: the pages, the login and the two queue actions.
#include "website.h"

#include "webrequest.h"

#include "letterheadstore.h"
#include "logtail.h"
#include "printserver.h"
#include "queuetexts.h"
#include "serverconsole.h"
#include "version.h"
#include "webaccess.h"
#include "weblayout.h"
#include "webpages.h"
#include "webpassword.h"
#include "wiremessages.h"

#include <QFileInfo>
#include <QHttpServerRequest>
#include <QUrlQuery>

using Status = QHttpServerResponder::StatusCode;

namespace {
const QByteArray& SessionCookie = WebCookies::Session;
const QByteArray& FormCookie = WebCookies::LoginForm;

QByteArray cookie(const QByteArray& name, const QByteArray& value, bool secure, bool remove) {
    QByteArray text = name + '=' + value + "; Path=/; HttpOnly; SameSite=Strict";
    if (secure)
        text += "; Secure";
    if (remove)
        text += "; Max-Age=0";
    return text;
}

QString typedName(const QString& typed) {
    QString name;
    for (const QChar c : typed.trimmed().left(40))
        name += c.category() == QChar::Other_Control ? QLatin1Char('?') : c;
    return name;
}

int listedCount(const QList<QueueEntry>& queue) {
    return int(std::count_if(queue.begin(), queue.end(), QueueTexts::isListed));
}
} // namespace

WebSite::Reply WebSite::answerGet(Request& request) {
    const QString& path = request.path;
    if (path == QLatin1String("/stile.css")) {
        Reply reply;
        reply.contentType = "text/css; charset=utf-8";
        reply.body = WebLayout::styleSheet();
        return reply;
    }
    if (path == QLatin1String("/")) {
        const QList<QueueEntry> queue = m_server.queue();
        WebPages::Status status{m_server.printingStopped(),
                                m_server.printFolder(),
                                Wire::versionReplyText(VELARIX_REVISION),
                                m_started,
                                int(m_server.pool().connections().size()),
                                listedCount(queue)};
        status.starting = m_server.status().isEmpty() && m_server.printingStopped().isEmpty();
        return pageReply(request, QStringLiteral("Stato"), WebPages::status(status), 10);
    }
    if (path == QLatin1String("/postazioni"))
        return pageReply(request, QStringLiteral("Postazioni"),
                         WebPages::workstations(m_server.pool().connections(), m_server.queue()),
                         10);
    if (path == QLatin1String("/attesa"))
        return pageReply(request, QStringLiteral("Documenti in attesa"),
                         WebPages::queue(m_server.queue(), request.session != nullptr,
                                         request.session
                                             ? QString::fromLatin1(request.session->token)
                                             : QString()),
                         5);
    if (path == QLatin1String("/registro")) {
        const QString query =
            request.query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded).left(100);
        const LogTail::Lines lines = LogTail::read(m_server.console().logFile().fileName(), query);
        QString body = WebPages::log(lines.newestFirst, query, lines.matched);
        if (!lines.problem.isEmpty())
            body.prepend(QStringLiteral("<p class=\"failure\">") +
                         WebLayout::escape(lines.problem) + QStringLiteral("</p>"));
        return pageReply(request, QStringLiteral("Registro"), body);
    }
    if (path == QLatin1String("/ditte")) {
        QList<LetterheadRow> rows;
        const Failure failure =
            LetterheadStore(m_server.clientFolder() + QStringLiteral("Documenti.mdb")).list(&rows);
        return pageReply(request, QStringLiteral("Ditte"),
                         WebPages::companies(rows, failure
                                                       ? QStringLiteral("Ditte non leggibili: ") +
                                                             failure.description
                                                       : QString()));
    }
    if (path == QLatin1String("/accesso"))
        return loginPage(request, {});
    if (path == QLatin1String("/elimina"))
        return discardQuestion(request);
    return refusal(request, Status::NotFound, QStringLiteral("Pagina inesistente."));
}

WebSite::Reply WebSite::answerPost(Request& request) {
    const QString& path = request.path;
    if (path == QLatin1String("/accesso"))
        return logIn(request);
    if (!request.session)
        return refusal(request, Status::Forbidden,
                       QStringLiteral("Accesso scaduto o non eseguito: accedi di nuovo."));
    if (!request.tokenMatches())
        return refusal(request, Status::Forbidden,
                       QStringLiteral("Modulo non valido (manca il codice della sessione): "
                                      "ricarica la pagina e riprova."));
    if (path == QLatin1String("/uscita")) {
        logAction(request, QStringLiteral("uscita"));
        m_sessions.close(request.session->id);
        Reply reply = redirect("/");
        reply.headers.append({"Set-Cookie", cookie(SessionCookie, "", request.secure, true)});
        return reply;
    }
    if (path == QLatin1String("/riprova"))
        return queueAction(request, false);
    if (path == QLatin1String("/elimina"))
        return queueAction(request, true);
    return refusal(request, Status::NotFound, QStringLiteral("Pagina inesistente."));
}

WebSite::Reply WebSite::loginPage(Request& request, const QString& problem, const QString& name) {
    // The login form's own token, kept in a cookie until the session gives one.
    QByteArray token = request.cookies.value(FormCookie);
    if (token.size() < 32)
        token = WebSessions::randomToken();
    Reply reply = pageReply(request, QStringLiteral("Accedi"),
                            WebPages::login(problem, QString::fromLatin1(token), name));
    reply.headers.append({"Set-Cookie", cookie(FormCookie, token, request.secure, false)});
    return reply;
}

QString WebSite::missingPassword() const {
    // Set, but not for the server's user (its folder made by root, say): saying "none set" would
    // send the technician looking in the wrong place.
    const QString folder = m_server.programFolder();
    const QFileInfo secrets(WebAccess::folder(folder));
    const QFileInfo password(WebPassword::filePath(folder));
    if ((secrets.exists() && !secrets.isReadable()) ||
        (password.exists() && !password.isReadable())) {
        const QString problem = QStringLiteral("La password della pagina web non è leggibile dal "
                                               "server (") +
                                password.filePath() + QLatin1Char(')');
        m_server.log(QStringLiteral("Pagina web: ") + problem);
        return problem + QStringLiteral(": reinstallare il pacchetto, poi reimpostarla con "
                                        "\"velarix-admin web-password\".");
    }
    return QStringLiteral("Nessuna password impostata: il tecnico la imposta sul server con "
                          "\"velarix-admin web-password\".");
}

WebSite::Reply WebSite::logIn(Request& request) {
    const QString name = typedName(request.value(QStringLiteral("nome")));
    if (!WebSessions::sameToken(request.value(QStringLiteral("token")).toLatin1(),
                                request.cookies.value(FormCookie)))
        return refusal(request, Status::Forbidden,
                       QStringLiteral("Modulo non valido: ricarica la pagina e riprova."));
    if (name.isEmpty())
        return loginPage(request, QStringLiteral("Scrivi il tuo nome."), name);
    const QByteArray stored = WebPassword::read(m_server.programFolder());
    if (stored.isEmpty())
        return loginPage(request, missingPassword(), name);
    if (const QString refusal = m_sessions.loginRefusal(request.address); !refusal.isEmpty()) {
        Reply reply = loginPage(request, refusal, name);
        reply.status = Status::TooManyRequests;
        return reply;
    }
    if (!WebPassword::verify(stored, request.value(QStringLiteral("password")))) {
        m_sessions.loginFailed(request.address);
        m_server.log(QStringLiteral("Pagina web: password sbagliata per ") + name +
                     QStringLiteral(" da ") + request.address);
        Reply reply = loginPage(request, QStringLiteral("Password sbagliata."), name);
        reply.status = Status::Forbidden;
        return reply;
    }
    m_sessions.loginSucceeded(request.address);
    request.session = &m_sessions.open(name, request.address);
    logAction(request, QStringLiteral("accesso"));
    Reply reply = redirect("/attesa");
    reply.headers.append(
        {"Set-Cookie", cookie(SessionCookie, request.session->id, request.secure, false)});
    reply.headers.append({"Set-Cookie", cookie(FormCookie, "", request.secure, true)});
    return reply;
}

QList<QueueEntry> WebSite::listedEntry(const QString& name) const {
    // Only a name the queue lists now: nothing the page is sent reaches another file.
    QList<QueueEntry> found;
    if (name.isEmpty() || name.contains(QLatin1Char('/')))
        return found;
    const QList<QueueEntry> queue = m_server.queue();
    for (const QueueEntry& entry : queue) {
        if (entry.fileName == name && QueueTexts::isListed(entry))
            found.append(entry);
    }
    return found;
}

WebSite::Reply WebSite::discardQuestion(Request& request) {
    if (!request.session)
        return redirect("/accesso");
    const QString name = request.query.queryItemValue(QStringLiteral("nome"), QUrl::FullyDecoded);
    const QList<QueueEntry> entry = listedEntry(name);
    if (entry.isEmpty() || !QueueTexts::canDiscard(entry.first())) {
        request.session->notice = QStringLiteral("Il documento non si può eliminare (stampato, "
                                                 "in stampa o non più in attesa): ") +
                                  name;
        return redirect("/attesa");
    }
    return pageReply(
        request, QStringLiteral("Elimina"),
        WebPages::discardQuestion(entry.first(), QString::fromLatin1(request.session->token)));
}

WebSite::Reply WebSite::queueAction(Request& request, bool discard) {
    const QString name = request.value(QStringLiteral("nome"));
    const QList<QueueEntry> entry = listedEntry(name);
    const QString verb = discard ? QStringLiteral("Elimina") : QStringLiteral("Riprova");
    QString outcome;
    if (entry.isEmpty() || !(discard ? QueueTexts::canDiscard(entry.first())
                                     : QueueTexts::canPutBack(entry.first()))) {
        outcome =
            QStringLiteral("non eseguito: il documento non è (più) in attesa in questo stato");
    } else {
        const Failure failure = discard ? m_server.discard(name) : m_server.putBack(name);
        outcome = failure
                      ? QStringLiteral("non riuscito: ") + failure.description
                      : (discard ? QStringLiteral("eliminato") : QStringLiteral("rimesso in coda"));
    }
    logAction(request, verb + QStringLiteral(" ") + name + QStringLiteral(": ") + outcome);
    request.session->notice = verb + QStringLiteral(" ") + name + QStringLiteral(": ") + outcome;
    return redirect("/attesa");
}

void WebSite::logAction(const Request& request, const QString& text) {
    m_server.log(QStringLiteral("Pagina web: ") + text + QStringLiteral(" (") +
                 request.session->user + QStringLiteral(" da ") + request.address +
                 QLatin1Char(')'));
}
