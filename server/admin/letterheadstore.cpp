#include "letterheadstore.h"

#include "database.h"
#include "wiremessages.h"

namespace {

QString lineColumn(int index) {
    return QStringLiteral("Intestazione") + QString::number(index + 1);
}

QStringList shownLines(const RowReader& rows) {
    QStringList lines;
    for (int i = 0; i < LetterheadStore::Lines; ++i) {
        const QVariant value = rows.value(lineColumn(i));
        lines.append(value.isNull() ? QString()
                                    : LetterheadStore::trimBlanks(
                                          value.toString().left(LetterheadStore::LineLength)));
    }
    return lines;
}

Failure replaceRow(Database& db, const LetterheadRow& row) {
    if (Failure f = db.execute(QStringLiteral("Delete from Ditta where Codice = ") +
                               QString::number(row.code)))
        return f;
    TableAppender table;
    if (Failure f = table.open(db, QStringLiteral("Ditta")))
        return f;
    table.addNew();
    Failure failure = table.set(QStringLiteral("Codice"), row.code);
    for (int i = 0; !failure && i < LetterheadStore::Lines; ++i) {
        const QVariant value = i < row.lines.size() ? row.lines.at(i) : QVariant();
        failure = table.set(lineColumn(i), value);
    }
    if (!failure)
        failure = table.save();
    table.close();
    return failure;
}

} // namespace

LetterheadStore::LetterheadStore(QString databasePath) : m_path(std::move(databasePath)) {}

QString LetterheadStore::connectionText() const {
    return Database::connectionText(m_path);
}

QString LetterheadStore::trimBlanks(const QString& text) {
    return Wire::trimBlanks(text);
}

Failure LetterheadStore::load(int code, QStringList* lines, bool* found) const {
    *found = false;
    Database db;
    if (Failure f = db.open(connectionText()))
        return f;
    RowReader rows;
    if (Failure f = rows.open(db, QStringLiteral("Select * from Ditta where Codice = ") +
                                      QString::number(code))) {
        db.close();
        return f;
    }
    if (!rows.atEnd()) {
        *found = true;
        *lines = shownLines(rows);
    }
    rows.close();
    db.close();
    return Failure::none();
}

Failure LetterheadStore::list(QList<LetterheadRow>* result) const {
    result->clear();
    Database db;
    if (Failure f = db.open(connectionText()))
        return f;
    RowReader rows;
    if (Failure f = rows.open(db, QStringLiteral("Select * from Ditta Order By Codice"))) {
        db.close();
        return f;
    }
    for (; !rows.atEnd(); rows.next()) {
        LetterheadRow row;
        row.code = rows.value(QStringLiteral("Codice")).toInt();
        for (const QString& line : shownLines(rows))
            row.lines.append(line);
        result->append(row);
    }
    rows.close();
    db.close();
    return Failure::none();
}

Failure LetterheadStore::remove(int code, bool* found) const {
    QStringList lines;
    if (Failure f = load(code, &lines, found); f || !*found)
        return f;
    Database db;
    if (Failure f = db.open(connectionText()))
        return f;
    Failure failure =
        db.execute(QStringLiteral("Delete from Ditta where Codice = ") + QString::number(code));
    db.close();
    return failure;
}

Failure LetterheadStore::save(int code, const QStringList& lines) const {
    LetterheadRow row;
    row.code = code;
    // An empty line is stored as an empty text, not as null: the database layer binds a null
    // QString as NULL.
    for (const QString& line : lines)
        row.lines.append(line.isNull() ? QStringLiteral("") : line);
    return saveAll({row});
}

Failure LetterheadStore::saveAll(const QList<LetterheadRow>& rows) const {
    Database db;
    if (Failure f = db.open(connectionText()))
        return f;
    if (Failure f = db.beginTransaction()) {
        db.close();
        return f;
    }
    Failure failure;
    for (const LetterheadRow& row : rows) {
        failure = replaceRow(db, row);
        if (failure)
            break;
    }
    if (!failure)
        failure = db.commit();
    if (failure)
        db.rollback(); // the old rows stay; the first failure is the one worth reporting
    db.close();
    return failure;
}
