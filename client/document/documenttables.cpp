#include "documenttables.h"

#include "database.h"
#include "printfile.h"

#include <QVariant>

namespace {
// Empty texts are written as empty strings, never as null: only unset columns are null.
QString notNull(const QString& text) {
    return text.isNull() ? QStringLiteral("") : text;
}

QString textColumn(int n) {
    return QStringLiteral("Testo") + QString::number(n);
}
} // namespace

DocumentTables::DocumentTables(Database& db) : m_db(db) {}

Failure DocumentTables::begin() {
    return m_db.beginTransaction();
}

Failure DocumentTables::commit() {
    return m_db.commit();
}

Failure DocumentTables::clear() {
    Failure first;
    for (const char* statement :
         {"Delete from Testata", "Delete from Riga", "Delete from Totali"}) {
        const Failure f = m_db.execute(QString::fromLatin1(statement));
        if (f && first.ok())
            first = f;
    }
    return first;
}

Failure DocumentTables::appendBody(int company, const QList<PrintBodyLine>& lines, qsizetype from,
                                   qsizetype count) {
    TableAppender riga;
    if (Failure f = riga.open(m_db, QStringLiteral("Riga")))
        return f;
    const QString codice = QStringLiteral("Codice");
    const QString number = QStringLiteral("Riga");
    const QString testo = QStringLiteral("Testo");
    for (qsizetype i = from; i < from + count; ++i) {
        const PrintBodyLine& line = lines.at(i);
        riga.addNew();
        Failure f = riga.set(codice, company);
        if (f.ok())
            f = riga.set(number, line.number);
        if (f.ok())
            f = riga.set(testo, notNull(line.text));
        if (f.ok())
            f = riga.save();
        if (f) {
            riga.close();
            return f;
        }
    }
    riga.close();
    return {};
}

Failure DocumentTables::appendHeader(int company, const QStringList& header) {
    TableAppender testata;
    if (Failure f = testata.open(m_db, QStringLiteral("Testata")))
        return f;
    testata.addNew();
    Failure f = testata.set(QStringLiteral("Codice"), company);
    for (int i = 0; f.ok() && i < header.size(); ++i)
        f = testata.set(textColumn(i + 1), notNull(header.at(i)));
    if (f.ok())
        f = testata.save();
    testata.close();
    return f;
}

Failure DocumentTables::appendTotals(int company, const QStringList& totals) {
    TableAppender totali;
    if (Failure f = totali.open(m_db, QStringLiteral("Totali")))
        return f;
    totali.addNew();
    Failure f = totali.set(QStringLiteral("Codice"), company);
    // Written empty, not null, where no totals line was gathered.
    for (int j = 0; f.ok() && j < PrintFile::TotalsLines; ++j)
        f = totali.set(textColumn(j + 1), notNull(totals.value(j)));
    if (f.ok())
        f = totali.save();
    totali.close();
    return f;
}
