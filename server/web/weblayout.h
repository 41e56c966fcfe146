#pragma once

#include <QByteArray>
#include <QString>

// The frame every page of the server's web page shares: the navigation, the style sheet (served
// from the server itself: the office may have no internet), the login state. Pages are plain
// HTML forms: they read and act without JavaScript, and a narrow screen stacks each table row.
namespace WebLayout {

struct Frame {
    QString title;
    QString path;           // the page shown, to mark it in the navigation
    QString user;           // "" when nobody is logged in
    QString token;          // the session's form token, for the "Esci" form
    int refreshSeconds = 0; // > 0: the browser loads the page again by itself
    QString notice;         // a line shown above the page (the outcome of an action)
};

// Text as HTML: every character that could open markup or end one of our (double-quoted)
// attributes is escaped.
QString escape(const QString& text);
// A hidden form field with the session's token.
QString tokenField(const QString& token);
// A form that posts one button, with the token and hidden fields.
QString postButton(const QString& action, const QString& label,
                   const QList<QPair<QString, QString>>& fields, const QString& token);

QByteArray page(const Frame& frame, const QString& body);
QByteArray styleSheet();

} // namespace WebLayout
