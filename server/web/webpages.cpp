#include "webpages.h"

#include "queuetexts.h"
#include "weblayout.h"

using WebLayout::escape;

namespace WebPages {
namespace {
QString cell(const QString& label, const QString& html, const QString& cls = QString()) {
    return QStringLiteral("<td data-label=\"%1\"%2>%3</td>")
        .arg(label, cls.isEmpty() ? QString() : QStringLiteral(" class=\"%1\"").arg(cls), html);
}

QString head(const QStringList& titles) {
    QString html = QStringLiteral("<table><thead><tr>");
    for (const QString& title : titles)
        html += QStringLiteral("<th>") + title + QStringLiteral("</th>");
    return html + QStringLiteral("</tr></thead><tbody>");
}

QString when(const QDateTime& time) {
    return time.toString(time.date() == QDate::currentDate() ? QStringLiteral("HH:mm:ss")
                                                             : QStringLiteral("dd/MM/yyyy HH:mm"));
}

QString actions(const QueueEntry& entry, const QString& token) {
    QString html;
    if (QueueTexts::canPutBack(entry))
        html += WebLayout::postButton(QStringLiteral("/riprova"), QStringLiteral("Riprova"),
                                      {{QStringLiteral("nome"), entry.fileName}}, token);
    if (QueueTexts::canDiscard(entry))
        html += QStringLiteral("<form method=\"get\" action=\"/elimina\">"
                               "<input type=\"hidden\" name=\"nome\" value=\"") +
                escape(entry.fileName) + QStringLiteral("\"><button>Elimina</button></form>");
    return html;
}
} // namespace

QString status(const Status& status) {
    QString html = QStringLiteral("<dl><dt>Stampa</dt><dd>");
    html += status.starting ? QStringLiteral("in avvio")
            : status.stopped.isEmpty()
                ? QStringLiteral("<span class=\"running\">in corso</span>")
                : QStringLiteral("<span class=\"stopped\">ferma</span>: ") +
                      escape(QueueTexts::printingStoppedNotice(status.stopped));
    html += QStringLiteral("</dd><dt>Cartella di stampa</dt><dd>") +
            (status.printFolder.isEmpty() ? QStringLiteral("non impostata")
                                          : escape(status.printFolder)) +
            QStringLiteral("</dd><dt>Postazioni collegate</dt><dd>") +
            QString::number(status.connected) +
            QStringLiteral("</dd><dt>Documenti in attesa</dt><dd>") +
            QString::number(status.waiting) + QStringLiteral("</dd><dt>Versione</dt><dd>") +
            escape(status.version) + QStringLiteral("</dd><dt>In esecuzione dal</dt><dd>") +
            status.since.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) +
            QStringLiteral("</dd></dl>");
    return html;
}

QString workstations(const QList<PortPool::Connection>& connections,
                     const QList<QueueEntry>& queue) {
    if (connections.isEmpty())
        return QStringLiteral("<p>Nessuna postazione collegata.</p>");
    QString html = head({QStringLiteral("Postazione"), QStringLiteral("Indirizzo"),
                         QStringLiteral("Porta"), QStringLiteral("Collegata dalle"),
                         QStringLiteral("Stampati oggi"), QStringLiteral("Non riesce a stampare")});
    for (const PortPool::Connection& connection : connections) {
        QString failing;
        for (const QueueEntry& entry : queue) {
            if (entry.workstationFailed &&
                entry.workstation.compare(connection.name, Qt::CaseInsensitive) == 0)
                failing += QStringLiteral("<div class=\"failure\">") + escape(entry.fileName) +
                           QStringLiteral(": ") + escape(entry.reason) + QStringLiteral("</div>");
        }
        html += QStringLiteral("<tr>") +
                cell(QStringLiteral("Postazione"), escape(connection.name)) +
                cell(QStringLiteral("Indirizzo"), escape(connection.address)) +
                cell(QStringLiteral("Porta"), QString::number(connection.port)) +
                cell(QStringLiteral("Collegata dalle"), when(connection.since)) +
                cell(QStringLiteral("Stampati oggi"), QString::number(connection.printedToday)) +
                cell(QStringLiteral("Non riesce a stampare"),
                     failing.isEmpty() ? QStringLiteral("-") : failing) +
                QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</tbody></table>");
}

QString queue(const QList<QueueEntry>& queue, bool canAct, const QString& token) {
    QString rows;
    for (const QueueEntry& entry : queue) {
        if (!QueueTexts::isListed(entry))
            continue;
        rows +=
            QStringLiteral("<tr>") +
            cell(QStringLiteral("Stato"), escape(QueueTexts::state(entry))) +
            cell(QStringLiteral("File"), escape(entry.fileName), QStringLiteral("file")) +
            cell(QStringLiteral("Postazione"),
                 entry.workstation.isEmpty() ? QStringLiteral("-") : escape(entry.workstation)) +
            cell(QStringLiteral("Attesa"), escape(QueueTexts::waited(entry.ageMs))) +
            cell(QStringLiteral("Motivo"), escape(entry.reason));
        if (canAct)
            rows += cell(QStringLiteral("Azioni"), actions(entry, token));
        rows += QStringLiteral("</tr>");
    }
    QString html = canAct ? QString()
                          : QStringLiteral("<p><a href=\"/accesso\">Accedi</a> per rimettere in "
                                           "coda o eliminare un documento.</p>");
    if (rows.isEmpty())
        return html + QStringLiteral("<p>Nessuna stampa nella cartella.</p>");
    QStringList titles = {QStringLiteral("Stato"), QStringLiteral("File"),
                          QStringLiteral("Postazione"), QStringLiteral("Attesa"),
                          QStringLiteral("Motivo")};
    if (canAct)
        titles << QStringLiteral("Azioni");
    return html + head(titles) + rows + QStringLiteral("</tbody></table>");
}

QString discardQuestion(const QueueEntry& entry, const QString& token) {
    return QStringLiteral("<p class=\"question\">") + escape(QueueTexts::discardQuestion(entry)) +
           QStringLiteral("</p>") +
           WebLayout::postButton(QStringLiteral("/elimina"), QStringLiteral("Elimina"),
                                 {{QStringLiteral("nome"), entry.fileName}}, token) +
           QStringLiteral(" <a href=\"/attesa\">Annulla</a>");
}

QString log(const QStringList& newestFirst, const QString& query, int total) {
    QString html = QStringLiteral("<form method=\"get\" action=\"/registro\" role=\"search\">"
                                  "<label for=\"q\">Cerca nel registro</label>"
                                  "<input type=\"search\" id=\"q\" name=\"q\" value=\"") +
                   escape(query) + QStringLiteral("\"> <button>Cerca</button></form>");
    html += QStringLiteral("<p>%1 righe, le più recenti per prime.</p>").arg(total);
    if (newestFirst.isEmpty())
        return html + QStringLiteral("<p>Nessuna riga.</p>");
    html += QStringLiteral("<pre>");
    for (const QString& line : newestFirst)
        html += escape(line) + QLatin1Char('\n');
    return html + QStringLiteral("</pre>");
}

QString companies(const QList<LetterheadRow>& rows, const QString& problem) {
    if (!problem.isEmpty())
        return QStringLiteral("<p class=\"failure\">") + escape(problem) + QStringLiteral("</p>");
    if (rows.isEmpty())
        return QStringLiteral("<p>Nessuna ditta.</p>");
    QString html = head({QStringLiteral("Codice"), QStringLiteral("Intestazione")});
    for (const LetterheadRow& row : rows) {
        QStringList lines;
        for (const QVariant& line : row.lines)
            lines.append(escape(line.toString()));
        while (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        html += QStringLiteral("<tr>") +
                cell(QStringLiteral("Codice"),
                     QStringLiteral("%1").arg(row.code, 3, 10, QLatin1Char('0'))) +
                cell(QStringLiteral("Intestazione"), lines.join(QStringLiteral("<br>"))) +
                QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</tbody></table>");
}

QString login(const QString& problem, const QString& formToken, const QString& name) {
    QString html;
    if (!problem.isEmpty())
        html += QStringLiteral("<p class=\"failure\">") + escape(problem) + QStringLiteral("</p>");
    return html + QStringLiteral("<form method=\"post\" action=\"/accesso\">") +
           WebLayout::tokenField(formToken) +
           QStringLiteral("<label for=\"nome\">Nome (per il registro)</label>"
                          "<input type=\"text\" id=\"nome\" name=\"nome\" maxlength=\"40\" "
                          "autocomplete=\"username\" required value=\"") +
           escape(name) +
           QStringLiteral("\"><label for=\"password\">Password</label>"
                          "<input type=\"password\" id=\"password\" name=\"password\" "
                          "autocomplete=\"current-password\" required>"
                          "<p><button>Accedi</button></p></form>");
}

} // namespace WebPages
