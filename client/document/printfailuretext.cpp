#include "printfailuretext.h"

#include <QRegularExpression>

QString printFailureText(const Failure& failure) {
    QString text = QStringLiteral("Errore stampante: ") + QString::number(failure.number);
    const QString reason = plainReason(failure.description);
    if (!reason.isEmpty())
        text += QStringLiteral(" - ") + reason;
    return text;
}

QString plainReason(const QString& description) {
    // "ODL.rpt:16: " or "/opt/velarix/ODL.rpt:16: " in front of a template fault.
    static const QRegularExpression location(QStringLiteral(R"(^\S+:\d+:\s+)"));
    // An absolute path, POSIX or Windows, quoted or not: only its last part stays.
    static const QRegularExpression path(QStringLiteral(
        R"re((?<![^\s"])"?(?:[A-Za-z]:)?(?:[\\/][^\\/"\s]+)*[\\/]([^\\/"\s]+)"?)re"));
    QString reason = description.trimmed();
    // The database's or the system's own words, in parentheses at the end.
    static const QRegularExpression detail(QStringLiteral(R"(\s*\([^()]*\)$)"));
    reason.remove(location);
    reason.remove(detail);
    reason.replace(path, QStringLiteral("\\1"));
    return reason.simplified();
}
