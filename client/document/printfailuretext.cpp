#include "printfailuretext.h"

#include "report/reporterrors.h"

#include <QRegularExpression>

namespace {

enum class Cause { Printer, Letterhead, Template, Database, Disk, Archive, Other };

bool diskFull(const Failure& failure) {
    // The system's words for ENOSPC, as Qt gives them in either language, and the database's.
    static const QRegularExpression words(
        QStringLiteral("no space left|spazio esaurito|disco pieno|disk (is )?full"),
        QRegularExpression::CaseInsensitiveOption);
    return failure.number == ErrorNumber::DiskFull || failure.description.contains(words);
}

Cause causeOf(const Failure& failure) {
    if (failure.number == ReportError::ArchiveFailed)
        return Cause::Archive;
    if (diskFull(failure))
        return Cause::Disk;
    switch (failure.number) {
    case ReportError::NoLetterhead:
        return Cause::Letterhead;
    case ReportError::MissingTemplate:
    case ReportError::BadTemplate:
        return Cause::Template;
    case ReportError::DatabaseUnreadable:
    case ReportError::NoDocument:
        return Cause::Database;
    default:
        break;
    }
    if (failure.number >= 3000 && failure.number <= 3999)
        return Cause::Database;
    if (failure.number >= 20500 && failure.number <= 20599)
        return Cause::Printer;
    return Cause::Other;
}

QString causeName(Cause cause) {
    switch (cause) {
    case Cause::Printer:
        return QStringLiteral("stampante");
    case Cause::Letterhead:
        return QStringLiteral("carta intestata");
    case Cause::Template:
        return QStringLiteral("modello");
    case Cause::Database:
        return QStringLiteral("database");
    case Cause::Disk:
        return QStringLiteral("disco");
    case Cause::Archive:
        return QStringLiteral("archivio");
    case Cause::Other:
        break;
    }
    return QStringLiteral("stampa");
}

QString errorLine(Cause cause, const Failure& failure) {
    QString text = QStringLiteral("Errore ") + causeName(cause) + QStringLiteral(": ") +
                   QString::number(failure.number);
    const QString reason = plainReason(failure.description);
    if (!reason.isEmpty())
        text += QStringLiteral(" - ") + reason;
    return text;
}

// The short reason, and the two sentences of the notice: where it is mended, and when the
// document comes out.
struct Words {
    QString reason;
    QString mend;
    QString when;
};

Words wordsFor(Cause cause, const Failure& failure, int company, const QString& report) {
    const QString plain = plainReason(failure.description);
    const QString rpt = report + QStringLiteral(".rpt");
    switch (cause) {
    case Cause::Letterhead:
        return {QStringLiteral("Manca la carta intestata della ditta %1").arg(company),
                QStringLiteral("Si inserisce sul server, in \"Dati Ditta\"."),
                QStringLiteral("appena la carta intestata della ditta sarà inserita")};
    case Cause::Template:
        return {failure.number == ReportError::MissingTemplate
                    ? QStringLiteral("Manca il modello ") + rpt
                    : QStringLiteral("Modello ") + rpt + QStringLiteral(" non valido: ") + plain,
                QStringLiteral("I modelli stanno nella cartella Client del server, da cui le "
                               "postazioni li prendono da sole."),
                QStringLiteral("appena il modello sarà a posto")};
    case Cause::Database:
        return {QStringLiteral("Database dei documenti non utilizzabile sulla postazione"),
                QStringLiteral("Va controllato Documenti.mdb nella cartella del programma di "
                               "questa postazione (") +
                    plain + QStringLiteral(")."),
                QStringLiteral("appena il database sarà di nuovo utilizzabile")};
    case Cause::Disk:
        return {QStringLiteral("Disco pieno sulla postazione"),
                QStringLiteral("Va liberato spazio sul disco di questo computer."),
                QStringLiteral("appena ci sarà spazio")};
    case Cause::Printer:
        if (failure.number == ReportError::NoPrinter)
            return {plain + QStringLiteral(" sulla postazione"),
                    QStringLiteral("La stampante di ogni documento si sceglie in Impostazioni → "
                                   "Stampanti, su questa postazione."),
                    QStringLiteral("appena la stampante sarà disponibile")};
        return {QStringLiteral("Stampante non raggiungibile"),
                QStringLiteral("Controllare che la stampante sia accesa, collegata e con la carta "
                               "(") +
                    plain + QStringLiteral(")."),
                QStringLiteral("appena la stampante risponderà")};
    case Cause::Archive:
    case Cause::Other:
        break;
    }
    return {plain, QString(), QStringLiteral("appena il problema sarà risolto")};
}

} // namespace

PrintFailureText describePrintFailure(const Failure& failure, int companyCode,
                                      const QString& reportName, const QString& fileName) {
    const Cause cause = causeOf(failure);
    const Words words = wordsFor(cause, failure, companyCode, reportName);
    PrintFailureText text;
    text.number = failure.number;
    text.line = errorLine(cause, failure);
    text.reason = words.reason;
    text.notice = words.reason + QStringLiteral(".\n");
    if (!words.mend.isEmpty())
        text.notice += words.mend + QLatin1Char('\n');
    text.notice += QStringLiteral("Il documento ") + fileName +
                   QStringLiteral(" sarà stampato da solo ") + words.when + QStringLiteral(".\n(") +
                   text.line.section(QStringLiteral(" - "), 0, 0) + QLatin1Char(')');
    return text;
}

QString archiveFailureNotice(const Failure& failure, const QString& fileName) {
    return QStringLiteral("Il documento ") + fileName +
           QStringLiteral(" è stato stampato, ma non archiviato: ") +
           plainReason(failure.description) +
           QStringLiteral(".\nNon va ristampato. La cartella dell'archivio si imposta in "
                          "Impostazioni → Stampanti, su questa postazione.\n(") +
           errorLine(Cause::Archive, failure).section(QStringLiteral(" - "), 0, 0) +
           QLatin1Char(')');
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
