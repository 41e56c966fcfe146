#include "documentschema.h"

#include "database.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {
QAtomicInteger<quint64> g_schemaCounter;
}

namespace DocumentSchema {
QStringList tables() {
    return {QStringLiteral("Testata"), QStringLiteral("Riga"), QStringLiteral("Totali"),
            QStringLiteral("Ditta")};
}

QStringList columns(const QString& table) {
    auto numbered = [](const QString& stem, int count) {
        QStringList list{QStringLiteral("Codice")};
        for (int i = 1; i <= count; ++i)
            list.append(stem + QString::number(i));
        return list;
    };
    if (table.compare(QLatin1String("Testata"), Qt::CaseInsensitive) == 0)
        return numbered(QStringLiteral("Testo"), HeaderColumns);
    if (table.compare(QLatin1String("Riga"), Qt::CaseInsensitive) == 0)
        return {QStringLiteral("Codice"), QStringLiteral("Riga"), QStringLiteral("Testo")};
    if (table.compare(QLatin1String("Totali"), Qt::CaseInsensitive) == 0)
        return numbered(QStringLiteral("Testo"), TotalsColumns);
    if (table.compare(QLatin1String("Ditta"), Qt::CaseInsensitive) == 0)
        return numbered(QStringLiteral("Intestazione"), LetterheadLines);
    return {};
}

QString createStatement(const QString& table) {
    const QStringList cols = columns(table);
    if (cols.isEmpty())
        return QString();
    QStringList defs;
    for (const QString& c : cols) {
        const bool integer = c == QLatin1String("Codice") || c == QLatin1String("Riga");
        defs.append(c + (integer ? QStringLiteral(" INTEGER") : QStringLiteral(" TEXT")));
    }
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2)")
        .arg(table, defs.join(QStringLiteral(", ")));
}

Failure create(const QString& path) {
    const QFileInfo info(path);
    if (!info.absoluteDir().exists()) {
        return {ErrorNumber::PathNotFound,
                QStringLiteral("Percorso non trovato: '%1'.").arg(info.absolutePath())};
    }
    const QString name =
        QStringLiteral("velarix-schema-%1").arg(g_schemaCounter.fetchAndAddRelaxed(1) + 1);
    Failure result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(
            QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(Database::BusyTimeoutMs));
        if (!db.open()) {
            result = databaseFailure(db.lastError());
        } else {
            QSqlQuery query(db);
            if (!db.transaction()) {
                result = databaseFailure(db.lastError());
            } else {
                for (const QString& table : tables()) {
                    const QString statement = createStatement(table);
                    if (!query.exec(statement)) {
                        result = databaseFailure(query.lastError());
                        break;
                    }
                }
                if (result.ok() && !db.commit())
                    result = databaseFailure(db.lastError());
                if (!result.ok())
                    db.rollback();
            }
            query.finish();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (!result.ok())
        result.description += QStringLiteral(" [") + path + QLatin1Char(']');
    return result;
}
} // namespace DocumentSchema
