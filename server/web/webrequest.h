#pragma once

#include "websessions.h"
#include "website.h"

#include <QHash>
#include <QHttpServerRequest>
#include <QUrlQuery>

// One request as the web page's answers read it.
struct WebSite::Request {
    QHttpServerRequest::Method method;
    QString path;
    QUrlQuery query;
    QUrlQuery form;
    QHash<QByteArray, QByteArray> cookies;
    QString address;
    QByteArray host;
    QByteArray origin;
    bool secure = false;
    WebSessions::Session* session = nullptr;

    QString value(const QString& key) const { return form.queryItemValue(key, QUrl::FullyDecoded); }
    bool tokenMatches() const {
        return session &&
               WebSessions::sameToken(value(QStringLiteral("token")).toLatin1(), session->token);
    }
};

namespace WebCookies {
inline const QByteArray Session = "velarix_sessione";
inline const QByteArray LoginForm = "velarix_modulo"; // the login form's token, before a session
} // namespace WebCookies
