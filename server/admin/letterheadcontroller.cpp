#include "letterheadcontroller.h"

#include "adminhost.h"
#include "companycodes.h"
#include "letterheadstore.h"
#include "updateflag.h"
#include "userprompts.h"

#include <QDir>

LetterheadController::LetterheadController(AdminHost& host) : m_host(host) {}

LetterheadController::~LetterheadController() {
    resumeWatcher();
}

QString LetterheadController::databasePath() const {
    return QDir(m_host.clientFolder()).filePath(QStringLiteral("Documenti.mdb"));
}

int LetterheadController::parseCode(const QString& text) {
    // Only whole numbers: a code such as 5.5 would be looked up as 5.5 but stored as a rounded
    // number, leaving two rows for one company.
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 9)
        return -1;
    for (QChar c : trimmed) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
    }
    const int code = trimmed.toInt();
    return code <= MaxCode ? code : -1;
}

void LetterheadController::open() {
    m_host.setWatcherRunning(false);
    m_paused = true;
}

bool LetterheadController::chooseCode(const QString& text, QStringList* lines) {
    const int code = parseCode(text);
    if (code < 0) {
        m_host.prompts().message(QStringLiteral("Inserire Cod. Ditta"));
        return false;
    }
    bool found = false;
    QStringList stored;
    if (Failure failure = LetterheadStore(databasePath()).load(code, &stored, &found)) {
        const QString message =
            QStringLiteral("Lettura dati ditta non riuscita: ") + failure.description;
        m_host.log(message);
        m_host.prompts().message(message, QString(), UserPrompts::Icon::Critical);
        return false;
    }
    if (found)
        *lines = stored;
    m_code = code;
    return true;
}

LetterheadController::SaveResult LetterheadController::save(const QStringList& lines) {
    SaveResult result;
    if (m_code < 0) {
        result.store = {ErrorNumber::TypeMismatch, QStringLiteral("codice ditta mancante")};
        return result;
    }
    QStringList trimmed;
    for (const QString& line : lines)
        trimmed.append(LetterheadStore::trimBlanks(line));
    const LetterheadStore store(databasePath());
    result.store = store.save(m_code, trimmed);
    if (!result.store)
        afterChange(&result);
    return result;
}

LetterheadController::SaveResult LetterheadController::remove(int code) {
    SaveResult result;
    bool found = false;
    result.store = LetterheadStore(databasePath()).remove(code, &found);
    if (!result.store && !found)
        result.store = {ErrorNumber::FileNotFound,
                        QStringLiteral("nessuna ditta con codice ") + QString::number(code)};
    if (!result.store)
        afterChange(&result);
    return result;
}

void LetterheadController::afterChange(SaveResult* result) {
    // The watcher accepts the new code at once; slots beyond the rows keep their values.
    const LetterheadStore store(databasePath());
    if (Failure failure = m_host.companyCodes().load(store.connectionText(), false))
        m_host.log(QStringLiteral("Lettura codici ditta non riuscita: ") + failure.description);
    result->flag = UpdateFlag::write(m_host.clientFolder());
}

bool LetterheadController::finishSave(const SaveResult& result) {
    if (result.store) {
        // The database's own text speaks of the database; the office needs to hear why.
        const QString reason =
            result.store.number == ErrorNumber::DiskFull
                ? QStringLiteral("Disco pieno: impostazioni non salvate")
                : QStringLiteral("Salvataggio non riuscito: ") + result.store.description;
        const QString message =
            reason + QStringLiteral("\nI dati della ditta non sono stati modificati.");
        m_host.log(message);
        m_host.prompts().message(message, QString(), UserPrompts::Icon::Critical);
        return false;
    }
    if (result.flag) {
        const QString message =
            QStringLiteral("Dati salvati, ma Aggiorna.txt non \u00e8 stato riscritto: ") +
            result.flag.description +
            QStringLiteral("\nLe postazioni non riceveranno i nuovi dati.");
        m_host.log(message);
        m_host.prompts().message(message, QString(), UserPrompts::Icon::Exclamation);
    }
    resumeWatcher();
    return true;
}

void LetterheadController::cancel() {
    resumeWatcher();
}

void LetterheadController::resumeWatcher() {
    if (!m_paused)
        return;
    m_paused = false;
    m_host.setWatcherRunning(true);
}
