#include "letterheadimport.h"

#include "documentschema.h"
#include "updateflag.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <cmath>

namespace {

// One field of a CSV record: its text, and whether it was quoted (an empty unquoted field is null).
struct Field {
    QString text;
    bool quoted = false;
};

Failure badInput(const QString& what) {
    return {ErrorNumber::TypeMismatch, what};
}

// Splits the whole text into records of fields.
Failure splitRecords(const QString& text, QList<QList<Field>>* records) {
    QList<Field> record;
    Field field;
    bool inQuotes = false;
    bool fieldStarted = false;
    int line = 1;
    const qsizetype size = text.size();
    auto endField = [&] {
        record.append(field);
        field = Field();
        fieldStarted = false;
    };
    auto endRecord = [&] {
        endField();
        // A blank line between records carries nothing.
        if (!(record.size() == 1 && !record.first().quoted && record.first().text.isEmpty()))
            records->append(record);
        record.clear();
    };
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (inQuotes) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < size && text.at(i + 1) == QLatin1Char('"')) {
                    field.text += c;
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                if (c == QLatin1Char('\n'))
                    ++line;
                field.text += c;
            }
            continue;
        }
        if (c == QLatin1Char(',')) {
            endField();
        } else if (c == QLatin1Char('\n')) {
            endRecord();
            ++line;
        } else if (c == QLatin1Char('\r') && i + 1 < size && text.at(i + 1) == QLatin1Char('\n')) {
            continue; // CR LF ends the record at the LF
        } else if (c == QLatin1Char('"') && !fieldStarted) {
            inQuotes = true;
            field.quoted = true;
            fieldStarted = true;
        } else {
            field.text += c;
            fieldStarted = true;
        }
    }
    if (inQuotes)
        return badInput(QStringLiteral("campo tra virgolette non chiuso (riga %1)").arg(line));
    if (fieldStarted || !record.isEmpty())
        endRecord();
    return Failure::none();
}

int parseCode(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    // "nan" and "inf" read as numbers too; converting them to int is undefined.
    if (!ok || !std::isfinite(value) || value < 0 || value > 999 || value != double(int(value)))
        return -1;
    return int(value);
}

} // namespace

Failure LetterheadImport::parse(const QByteArray& csv, QList<LetterheadRow>* rows) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(csv);
    if (decoder.hasError())
        return badInput(QStringLiteral("il testo non \u00e8 UTF-8 (esportare con MDBICONV=UTF-8)"));
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);

    QList<QList<Field>> records;
    if (Failure f = splitRecords(text, &records))
        return f;
    if (records.isEmpty())
        return badInput(QStringLiteral("nessuna intestazione di colonne"));

    const QList<Field> header = records.takeFirst();
    int codeColumn = -1;
    QList<int> lineColumns(LetterheadStore::Lines, -1);
    for (int i = 0; i < header.size(); ++i) {
        const QString name = header.at(i).text.trimmed();
        if (name.compare(QStringLiteral("Codice"), Qt::CaseInsensitive) == 0)
            codeColumn = i;
        for (int line = 0; line < LetterheadStore::Lines; ++line) {
            const QString column = QStringLiteral("Intestazione") + QString::number(line + 1);
            if (name.compare(column, Qt::CaseInsensitive) == 0)
                lineColumns[line] = i;
        }
    }
    if (codeColumn < 0)
        return badInput(QStringLiteral("colonna Codice mancante"));

    QList<LetterheadRow> parsed;
    for (qsizetype r = 0; r < records.size(); ++r) {
        const QList<Field>& record = records.at(r);
        LetterheadRow row;
        row.code = codeColumn < record.size() ? parseCode(record.at(codeColumn).text) : -1;
        if (row.code < 0)
            return badInput(QStringLiteral("Codice non valido nella riga %1").arg(r + 2));
        for (int line = 0; line < LetterheadStore::Lines; ++line) {
            const int column = lineColumns.at(line);
            if (column < 0 || column >= record.size()) {
                row.lines.append(QVariant());
                continue;
            }
            const Field& field = record.at(column);
            if (!field.quoted && field.text.isEmpty())
                row.lines.append(QVariant());
            else
                row.lines.append(QVariant(field.text.left(LetterheadStore::LineLength)));
        }
        parsed.append(row);
    }
    *rows = parsed;
    return Failure::none();
}

Failure LetterheadImport::run(const QByteArray& csv, const QString& databasePath, int* imported) {
    *imported = 0;
    QList<LetterheadRow> rows;
    if (Failure f = parse(csv, &rows))
        return f;
    if (Failure f = LetterheadStore(databasePath).saveAll(rows))
        return f;
    *imported = int(rows.size());
    return Failure::none();
}

Failure LetterheadImport::intoServerDatabase(const QByteArray& csv, const QString& databasePath,
                                             bool rewriteFlag, int* imported) {
    *imported = 0;
    if (Failure f = DocumentSchema::create(databasePath))
        return {f.number, QStringLiteral("Database non utilizzabile: ") + f.description};
    if (Failure f = run(csv, databasePath, imported))
        return {f.number, QStringLiteral("Importazione non riuscita, nessuna ditta modificata: ") +
                              f.description};
    if (rewriteFlag) {
        if (Failure f = UpdateFlag::write(QFileInfo(databasePath).absolutePath()))
            return {f.number, QStringLiteral("Aggiorna.txt non riscritto: ") + f.description};
    }
    return Failure::none();
}
