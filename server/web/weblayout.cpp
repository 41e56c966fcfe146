#include "weblayout.h"

#include <QList>
#include <QPair>

namespace WebLayout {
namespace {
struct NavigationEntry {
    const char* path;
    const char* title;
};
const NavigationEntry Navigation[] = {
    {"/", "Stato"},
    {"/postazioni", "Postazioni"},
    {"/attesa", "Documenti in attesa"},
    {"/registro", "Registro"},
    {"/ditte", "Ditte"},
};

QString navigation(const Frame& frame) {
    QString html = QStringLiteral("<nav>");
    for (const NavigationEntry& entry : Navigation) {
        const QString path = QString::fromLatin1(entry.path);
        html += QStringLiteral("<a href=\"%1\"%2>%3</a>")
                    .arg(path,
                         path == frame.path ? QStringLiteral(" aria-current=\"page\"") : QString(),
                         QString::fromUtf8(entry.title));
    }
    if (frame.user.isEmpty()) {
        html += QStringLiteral("<a class=\"login\" href=\"/accesso\">Accedi</a>");
    } else {
        html += QStringLiteral("<span class=\"login\">") + escape(frame.user) +
                postButton(QStringLiteral("/uscita"), QStringLiteral("Esci"), {}, frame.token) +
                QStringLiteral("</span>");
    }
    return html + QStringLiteral("</nav>");
}
} // namespace

QString escape(const QString& text) {
    return text.toHtmlEscaped(); // every attribute of ours is quoted with '"'
}

QString tokenField(const QString& token) {
    return QStringLiteral("<input type=\"hidden\" name=\"token\" value=\"") + escape(token) +
           QStringLiteral("\">");
}

QString postButton(const QString& action, const QString& label,
                   const QList<QPair<QString, QString>>& fields, const QString& token) {
    QString html = QStringLiteral("<form method=\"post\" action=\"") + escape(action) +
                   QStringLiteral("\">") + tokenField(token);
    for (const auto& field : fields)
        html += QStringLiteral("<input type=\"hidden\" name=\"%1\" value=\"%2\">")
                    .arg(escape(field.first), escape(field.second));
    return html + QStringLiteral("<button>") + escape(label) + QStringLiteral("</button></form>");
}

QByteArray page(const Frame& frame, const QString& body) {
    QString html =
        QStringLiteral("<!DOCTYPE html>\n<html lang=\"it\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">");
    if (frame.refreshSeconds > 0)
        html += QStringLiteral("<meta http-equiv=\"refresh\" content=\"%1\">")
                    .arg(frame.refreshSeconds);
    html += QStringLiteral("<link rel=\"stylesheet\" href=\"/stile.css\"><title>") +
            escape(frame.title) +
            QStringLiteral(" - Velarix</title></head><body><header>"
                           "<span class=\"brand\">Velarix</span>") +
            navigation(frame) + QStringLiteral("</header><main><h1>") + escape(frame.title) +
            QStringLiteral("</h1>");
    if (!frame.notice.isEmpty())
        html += QStringLiteral("<p class=\"notice\" role=\"status\">") + escape(frame.notice) +
                QStringLiteral("</p>");
    return (html + body + QStringLiteral("</main></body></html>\n")).toUtf8();
}

QByteArray styleSheet() {
    // Tables become one block per row on a phone: each cell says what it is (data-label).
    return QByteArrayLiteral(
        R"(body{margin:0;font:16px/1.4 sans-serif;color:#222;background:#f6f6f4}
header{background:#243b53;color:#fff;padding:.5em 1em;display:flex;flex-wrap:wrap;gap:.3em 1em;align-items:center}
.brand{font-weight:bold;margin-right:1em}
nav{display:flex;flex-wrap:wrap;gap:.3em 1em;align-items:center;flex:1}
nav a{color:#fff;text-decoration:none;padding:.2em 0}
nav a[aria-current]{border-bottom:2px solid #fff}
.login{margin-left:auto;display:flex;gap:.5em;align-items:center}
main{padding:1em;max-width:70em;margin:auto}
h1{font-size:1.4em;margin:.2em 0 .6em}
table{border-collapse:collapse;width:100%;background:#fff}
th,td{text-align:left;padding:.4em .6em;border-bottom:1px solid #ddd;vertical-align:top}
th{background:#e8ecf1}
td.file{overflow-wrap:anywhere}
form{display:inline;margin:0}
button{font:inherit;padding:.3em .8em;margin:.1em;cursor:pointer}
.question{white-space:pre-line}
.notice{background:#fff6d5;border:1px solid #e0c860;padding:.5em}
.stopped{color:#a00;font-weight:bold}
.running{color:#070;font-weight:bold}
.failure{color:#a00}
dl{display:grid;grid-template-columns:max-content 1fr;gap:.3em 1em;background:#fff;padding:1em}
dt{font-weight:bold}
dd{margin:0;word-break:break-word;white-space:pre-line}
pre{white-space:pre-wrap;overflow-wrap:anywhere;background:#fff;padding:.5em;font-size:.9em}
label{display:block;margin:.5em 0 .2em}
input[type=text],input[type=password],input[type=search]{font:inherit;padding:.3em;width:100%;max-width:20em;box-sizing:border-box}
@media (max-width:40em){
table,tbody,tr,td{display:block;width:auto}
thead{display:none}
tr{border:1px solid #ccc;margin:.5em 0;background:#fff}
td{border:none;padding:.2em .6em}
td[data-label]::before{content:attr(data-label) ": ";font-weight:bold}
td:empty{display:none}
dl{grid-template-columns:1fr;gap:0}
dd{margin-bottom:.5em}
header{display:block}
nav{margin-top:.3em}
}
)");
}

} // namespace WebLayout
