#include "documenttables.h"

#include "database.h"
#include "printfile.h"

#include <QSqlError>
#include <QSqlQuery>
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

DocumentTables::~DocumentTables() = default;

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
    // Opening the table proves it is there with its columns, with the appender's failure texts.
    TableAppender riga;
    if (Failure f = riga.open(m_db, QStringLiteral("Riga")))
        return f;
    riga.close();

    // Several records per statement: one statement per line costs more than the reading.
    QSqlDatabase handle = m_db.handle();
    for (qsizetype done = 0; done < count;) {
        const int rows = int(std::min<qsizetype>(RowsPerInsert, count - done));
        const bool full = rows == RowsPerInsert;
        std::unique_ptr<QSqlQuery>& query = full ? m_fullInsert : m_restInsert;
        if (!query || (!full && m_restRows != rows)) {
            QString statement;
            statement = QStringLiteral("INSERT INTO Riga (Codice, Riga, Testo) VALUES ");
            for (int r = 0; r < rows; ++r)
                statement += r ? QStringLiteral(",(?,?,?)") : QStringLiteral("(?,?,?)");
            query = std::make_unique<QSqlQuery>(handle);
            if (!query->prepare(statement)) {
                const Failure f = m_db.failureFor(query->lastError(), statement);
                query.reset();
                return f;
            }
            if (!full)
                m_restRows = rows;
        }
        for (int r = 0; r < rows; ++r) {
            const PrintBodyLine& line = lines.at(from + done + r);
            query->bindValue(r * 3, company);
            query->bindValue(r * 3 + 1, line.number);
            query->bindValue(r * 3 + 2, notNull(line.text));
        }
        if (!query->exec())
            return m_db.failureFor(query->lastError(), QStringLiteral("INSERT INTO Riga"));
        query->finish();
        done += rows;
    }
    return {};
}

Failure DocumentTables::appendHeader(int company, const QStringList& header) {
    return appendTexts(QStringLiteral("Testata"), company, header, int(header.size()));
}

Failure DocumentTables::appendTotals(int company, const QStringList& totals) {
    // Written empty, not null, where no totals line was gathered.
    return appendTexts(QStringLiteral("Totali"), company, totals, PrintFile::TotalsLines);
}

Failure DocumentTables::appendTexts(const QString& table, int company, const QStringList& texts,
                                    int columns) {
    TableAppender appender;
    if (Failure f = appender.open(m_db, table))
        return f;
    appender.addNew();
    Failure f = appender.set(QStringLiteral("Codice"), company);
    for (int i = 0; f.ok() && i < columns; ++i)
        f = appender.set(textColumn(i + 1), notNull(texts.value(i)));
    if (f.ok())
        f = appender.save();
    appender.close();
    return f;
}
