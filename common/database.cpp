#include "database.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

Q_LOGGING_CATEGORY(lcDatabase, "velarix.database")

namespace {
const QLatin1String DataSourceKey("Data Source=");

QAtomicInteger<quint64> g_connectionCounter;

// SQLite's primary result codes, as the QSQLITE driver reports them in nativeErrorCode().
enum SqliteCode {
    SqliteError = 1,
    SqliteBusy = 5,
    SqliteLocked = 6,
    SqliteReadOnly = 8,
    SqliteIoErr = 10,
    SqliteCorrupt = 11,
    SqliteFull = 13,
    SqliteCantOpen = 14,
    SqliteNotADb = 26,
};

int primaryCode(const QSqlError& error) {
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? (code & 0xff) : -1;
}

QString quoted(const QString& path) {
    return QLatin1Char('\'') + path + QLatin1Char('\'');
}

Failure closedFailure() {
    return {ErrorNumber::DatabaseClosed,
            QStringLiteral("Operazione non consentita: la connessione al database è chiusa.")};
}

Failure statementFailure(const QString& detail, const QString& statement) {
    QString text = QStringLiteral("Istruzione non valida: ") + detail;
    if (!statement.isEmpty())
        text += QStringLiteral(" (") + statement + QLatin1Char(')');
    return {ErrorNumber::DatabaseStatement, text};
}

Failure mapError(const QSqlError& error, const QString& path, const QString& statement) {
    const QString detail = error.driverText().isEmpty() ? error.text() : error.driverText();
    const QString file = path.isEmpty() ? QStringLiteral("Documenti.mdb") : path;
    switch (primaryCode(error)) {
    case SqliteBusy:
    case SqliteLocked:
        return {ErrorNumber::DatabaseLocked,
                QStringLiteral("Il database %1 è bloccato da un altro utente.").arg(quoted(file))};
    case SqliteReadOnly:
    case SqliteCantOpen: // after a successful open: the journal cannot be created beside the file
        return {ErrorNumber::DatabaseReadOnly,
                QStringLiteral("Impossibile scrivere nel database %1: file o cartella di sola "
                               "lettura.")
                    .arg(quoted(file))};
    case SqliteNotADb:
    case SqliteCorrupt:
    case SqliteIoErr:
        return {ErrorNumber::DatabaseUnreadable,
                QStringLiteral("Il file %1 non è un database valido o è danneggiato (%2).")
                    .arg(quoted(file), detail)};
    case SqliteFull:
        return {
            ErrorNumber::DiskFull,
            QStringLiteral("Disco pieno: impossibile scrivere nel database %1.").arg(quoted(file))};
    default:
        return statementFailure(detail, statement);
    }
}
} // namespace

Failure databaseFailure(const QSqlError& error) {
    return mapError(error, QString(), QString());
}

// --- Database ---------------------------------------------------------------------------------

Database::Database()
    : m_name(QStringLiteral("velarix-db-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1) + 1)) {}

Database::~Database() {
    if (QSqlDatabase::contains(m_name)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
}

QString Database::connectionText(const QString& path) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path;
}

QString Database::dataSource(const QString& connectionText) {
    const qsizetype at = connectionText.indexOf(DataSourceKey, 0, Qt::CaseInsensitive);
    if (at < 0) {
        // A bare path is accepted as its own data source.
        return connectionText.contains(QLatin1Char('=')) ? QString() : connectionText.trimmed();
    }
    const qsizetype begin = at + DataSourceKey.size();
    qsizetype end = connectionText.indexOf(QLatin1Char(';'), begin);
    if (end < 0)
        end = connectionText.size();
    QString path = connectionText.mid(begin, end - begin).trimmed();
    if (path.size() >= 2 && path.startsWith(QLatin1Char('"')) && path.endsWith(QLatin1Char('"')))
        path = path.mid(1, path.size() - 2);
    return path;
}

Failure Database::failureFor(const QSqlError& error, const QString& statement) const {
    return mapError(error, m_path, statement);
}

Failure Database::open(const QString& connectionText) {
    if (m_open)
        close();

    m_path = dataSource(connectionText);
    const QFileInfo info(m_path);
    if (m_path.isEmpty() || !info.exists() || info.isDir()) {
        return {ErrorNumber::DatabaseNotFound,
                QStringLiteral("Impossibile trovare il file %1.").arg(quoted(m_path))};
    }

    QSqlDatabase db = QSqlDatabase::contains(m_name)
                          ? QSqlDatabase::database(m_name, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    if (!db.isValid()) {
        return {
            ErrorNumber::DatabaseUnreadable,
            QStringLiteral("Driver SQLite non disponibile per il file %1.").arg(quoted(m_path))};
    }
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    if (!db.open()) {
        const Failure f = failureFor(db.lastError());
        qCWarning(lcDatabase) << "open failed" << m_path << db.lastError().text();
        if (f.number == ErrorNumber::DatabaseLocked)
            return f;
        return {ErrorNumber::DatabaseUnreadable,
                QStringLiteral("Impossibile aprire il database %1 (%2).")
                    .arg(quoted(m_path), db.lastError().driverText())};
    }

    // SQLite opens any file lazily; reading the schema proves it is a database.
    {
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
            Failure f = failureFor(probe.lastError());
            if (f.number == ErrorNumber::DatabaseStatement)
                f = {ErrorNumber::DatabaseUnreadable,
                     QStringLiteral("Il file %1 non è un database valido o è danneggiato (%2).")
                         .arg(quoted(m_path), probe.lastError().driverText())};
            probe.finish();
            db.close();
            return f;
        }
    }
    m_open = true;
    return Failure::none();
}

Failure Database::close() {
    if (!m_open)
        return closedFailure();
    m_open = false;
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    db.close();
    return Failure::none();
}

bool Database::isOpen() const {
    return m_open && QSqlDatabase::database(m_name, false).isOpen();
}

QSqlDatabase Database::handle() const {
    return QSqlDatabase::database(m_name, false);
}

Failure Database::execute(const QString& statement) {
    if (!isOpen())
        return closedFailure();
    QSqlQuery query(handle());
    if (!query.exec(statement))
        return failureFor(query.lastError(), statement);
    return Failure::none();
}

Failure Database::beginTransaction() {
    if (!isOpen())
        return closedFailure();
    QSqlDatabase db = handle();
    if (!db.transaction())
        return failureFor(db.lastError(), QStringLiteral("BEGIN"));
    return Failure::none();
}

Failure Database::commit() {
    if (!isOpen())
        return closedFailure();
    QSqlDatabase db = handle();
    if (!db.commit())
        return failureFor(db.lastError(), QStringLiteral("COMMIT"));
    return Failure::none();
}

Failure Database::rollback() {
    if (!isOpen())
        return closedFailure();
    QSqlDatabase db = handle();
    if (!db.rollback())
        return failureFor(db.lastError(), QStringLiteral("ROLLBACK"));
    return Failure::none();
}

// --- RowReader --------------------------------------------------------------------------------

RowReader::RowReader() = default;
RowReader::~RowReader() = default;

Failure RowReader::open(Database& db, const QString& statement) {
    close();
    if (!db.isOpen())
        return closedFailure();
    m_query = std::make_unique<QSqlQuery>(db.handle());
    m_query->setForwardOnly(true);
    if (!m_query->exec(statement)) {
        const Failure f = db.failureFor(m_query->lastError(), statement);
        m_query.reset();
        return f;
    }
    m_atEnd = !m_query->next();
    return Failure::none();
}

bool RowReader::atEnd() const {
    return m_atEnd;
}

bool RowReader::hasColumn(const QString& column) const {
    return m_query && m_query->record().indexOf(column) >= 0;
}

QVariant RowReader::value(const QString& column) const {
    if (m_atEnd || !m_query)
        return QVariant();
    const int index = m_query->record().indexOf(column);
    if (index < 0)
        return QVariant();
    return m_query->value(index);
}

void RowReader::next() {
    if (m_atEnd || !m_query)
        return;
    m_atEnd = !m_query->next();
}

void RowReader::close() {
    if (m_query)
        m_query->finish();
    m_query.reset();
    m_atEnd = true;
}

// --- TableAppender ----------------------------------------------------------------------------

TableAppender::TableAppender() = default;

TableAppender::~TableAppender() {
    close();
}

Failure TableAppender::open(Database& db, const QString& table) {
    close();
    if (!db.isOpen())
        return closedFailure();

    QSqlDatabase handle = db.handle();
    // PRAGMA table_info names the columns; it also proves the table exists.
    QSqlQuery info(handle);
    const QString pragma =
        QStringLiteral("PRAGMA table_info(\"%1\")")
            .arg(QString(table).replace(QLatin1Char('"'), QStringLiteral("\"\"")));
    if (!info.exec(pragma))
        return db.failureFor(info.lastError(), pragma);
    QStringList columns;
    while (info.next())
        columns.append(info.value(1).toString());
    if (columns.isEmpty()) {
        return statementFailure(QStringLiteral("tabella '%1' inesistente").arg(table), QString());
    }
    m_db = &db;
    m_table = table;
    m_columns = columns;
    return Failure::none();
}

void TableAppender::addNew() {
    m_row.clear();
    m_pending = m_db != nullptr;
}

Failure TableAppender::set(const QString& column, const QVariant& value) {
    if (!m_db || !m_db->isOpen())
        return closedFailure();
    if (!m_pending)
        return statementFailure(QStringLiteral("nessuna riga nuova in corso (manca addNew)"),
                                QString());
    QString name;
    for (const QString& c : std::as_const(m_columns)) {
        if (c.compare(column, Qt::CaseInsensitive) == 0) {
            name = c;
            break;
        }
    }
    if (name.isEmpty()) {
        return statementFailure(
            QStringLiteral("colonna '%1' inesistente nella tabella '%2'").arg(column, m_table),
            QString());
    }
    for (auto& entry : m_row) {
        if (entry.first == name) {
            entry.second = value;
            return Failure::none();
        }
    }
    m_row.append({name, value});
    return Failure::none();
}

Failure TableAppender::save() {
    if (!m_db || !m_db->isOpen())
        return closedFailure();
    if (!m_pending)
        return Failure::none();

    // Columns in table order, so rows that set the same columns share one prepared statement.
    QStringList names;
    QVariantList values;
    for (const QString& c : std::as_const(m_columns)) {
        for (const auto& entry : std::as_const(m_row)) {
            if (entry.first == c) {
                names.append(c);
                values.append(entry.second);
                break;
            }
        }
    }
    m_pending = false;
    m_row.clear();

    const QString key = names.join(QLatin1Char(','));
    std::shared_ptr<QSqlQuery> query = m_inserts.value(key);
    QString statement;
    auto quote = [](const QString& id) {
        return QLatin1Char('"') + QString(id).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
               QLatin1Char('"');
    };
    if (names.isEmpty()) {
        statement = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quote(m_table));
    } else {
        QStringList quotedNames, marks;
        for (const QString& n : std::as_const(names)) {
            quotedNames.append(quote(n));
            marks.append(QStringLiteral("?"));
        }
        statement = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                        .arg(quote(m_table), quotedNames.join(QStringLiteral(", ")),
                             marks.join(QStringLiteral(", ")));
    }
    if (!query) {
        query = std::make_shared<QSqlQuery>(m_db->handle());
        if (!query->prepare(statement))
            return m_db->failureFor(query->lastError(), statement);
        m_inserts.insert(key, query);
    }
    for (int i = 0; i < values.size(); ++i)
        query->bindValue(i, values.at(i));
    if (!query->exec())
        return m_db->failureFor(query->lastError(), statement);
    query->finish();
    return Failure::none();
}

void TableAppender::close() {
    for (auto& q : m_inserts)
        q->finish();
    m_inserts.clear();
    m_db = nullptr;
    m_table.clear();
    m_columns.clear();
    m_row.clear();
    m_pending = false;
}
