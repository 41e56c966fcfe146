#include "copiescontroller.h"

#include "adminhost.h"
#include "companycodes.h"
#include "copiescheck.h"
#include "letterheadstore.h"
#include "printfoldercheck.h"
#include "userprompts.h"

#include <QDir>
#include <QFileInfo>

namespace {
const char* const NoFolder = "Inserire Percorso file Stampa";
const char* const BadFolder = "Cartella non valida";
const char* const FolderNotEmpty = "Attenzione!! La cartella non \u00e8 vuota, Continuare?";
// A long list of missing templates is cut: the first names say what is wrong.
constexpr int NamesShown = 8;

QString quotedList(const QStringList& names) {
    return QLatin1Char('"') + names.join(QStringLiteral("\", \"")) + QLatin1Char('"');
}
} // namespace

CopiesController::CopiesController(AdminHost& host) : m_host(host) {}

CopiesController::~CopiesController() {
    resumeWatcher();
}

QString CopiesController::copiesPath() const {
    return QDir(m_host.clientFolder()).filePath(QStringLiteral("Copie.txt"));
}

QString CopiesController::serverProgramFolder() const {
    return QFileInfo(QDir(m_host.clientFolder()).absolutePath()).absolutePath();
}

CopiesSettings CopiesController::open() {
    m_host.setWatcherRunning(false);
    m_paused = true;
    m_stored = CopiesFile::readForWindow(copiesPath());
    return m_stored;
}

bool CopiesController::copiesAccepted(const CopiesSettings& settings) {
    const int invalid = CopiesCheck::firstInvalidSlot(settings);
    if (invalid >= 0) {
        m_host.prompts().message(QStringLiteral("Numero di copie non valido per \"") +
                                 CopiesCheck::slotCaption(invalid) +
                                 QStringLiteral("\": scrivere una cifra da 0 a 9."));
        return false;
    }
    const QStringList none = CopiesCheck::kindsWithoutCopies(settings);
    if (none.isEmpty())
        return true;
    // 0 is a valid choice (a kind printed elsewhere), but one that is easy to make by mistake.
    return m_host.prompts().question(
        QStringLiteral("Con 0 copie i documenti ") + quotedList(none) +
        QStringLiteral(" non vengono stampati: le postazioni li danno per stampati e il server li "
                       "cancella. Salvare comunque?"));
}

QList<int> CopiesController::companies() const {
    QList<LetterheadRow> rows;
    QList<int> codes;
    if (!LetterheadStore(m_host.clientFolder() + QStringLiteral("Documenti.mdb")).list(&rows)) {
        for (const LetterheadRow& row : rows)
            codes.append(row.code);
        return codes;
    }
    for (int slot = 0; slot < m_host.companyCodes().size(); ++slot) {
        if (m_host.companyCodes().at(slot) > 0)
            codes.append(m_host.companyCodes().at(slot));
    }
    return codes;
}

bool CopiesController::templatesAccepted(const CopiesSettings& settings) {
    // Only a switch being turned on is checked: one already on is the office's running state,
    // and refusing every later save would not bring the templates back.
    const bool company = settings.perCompany && !m_stored.perCompany;
    const bool branch = settings.perBranch && !m_stored.perBranch;
    if (!company && !branch)
        return true;
    QStringList missing = CopiesCheck::missingTemplates(m_host.clientFolder(), companies(),
                                                        settings.perCompany, branch);
    if (!company)
        missing.removeIf([](const QString& name) { return !name.endsWith(u"-NN.rpt"); });
    if (missing.isEmpty())
        return true;
    QString names = missing.mid(0, NamesShown).join(QStringLiteral(", "));
    if (missing.size() > NamesShown)
        names += QStringLiteral(" e altri ") + QString::number(missing.size() - NamesShown);
    const QString which = company && branch ? QStringLiteral("per azienda e per filiale")
                          : company         ? QStringLiteral("per azienda")
                                            : QStringLiteral("per filiale");
    m_host.prompts().message(
        QStringLiteral("Le stampe divise ") + which +
        QStringLiteral(" non sono state attivate: nella cartella ") + m_host.clientFolder() +
        QStringLiteral(" mancano i modelli ") + names +
        QStringLiteral(". Senza i modelli i documenti non verrebbero stampati."));
    return false;
}

bool CopiesController::save(const CopiesSettings& settings) {
    const QString before = CopiesFile::readPrintFolder(copiesPath());
    if (settings.printFolder.trimmed().isEmpty()) {
        m_host.prompts().message(QString::fromUtf8(NoFolder));
        return false;
    }
    if (!copiesAccepted(settings) || !templatesAccepted(settings))
        return false;
    // The typed folder is in force from here on, even if a check below refuses it; "Annulla"
    // puts the stored one back.
    m_host.setPrintFolder(settings.printFolder);
    switch (PrintFolderCheck::inspect(settings.printFolder, serverProgramFolder())) {
    case PrintFolderCheck::State::Unlistable:
    case PrintFolderCheck::State::Forbidden:
        // Which folder and why: the technician has nothing else to go on.
        m_host.prompts().message(
            QString::fromUtf8(BadFolder) + QStringLiteral(": ") + settings.printFolder.trimmed() +
            u'\n' + PrintFolderCheck::refusalReason(settings.printFolder, serverProgramFolder()) +
            u'.');
        return false;
    case PrintFolderCheck::State::NotEmpty:
        if (!m_host.prompts().question(QString::fromUtf8(FolderNotEmpty)))
            return false;
        break;
    case PrintFolderCheck::State::Empty:
        break;
    }
    if (Failure failure = CopiesFile::write(copiesPath(), settings)) {
        // The stored file is unchanged; the description says why and names it.
        m_host.log(failure.description);
        m_host.prompts().message(failure.description, QString(), UserPrompts::Icon::Critical);
        return false;
    }
    offerToMoveWaiting(before, settings.printFolder);
    resumeWatcher();
    return true;
}

// Documents left waiting in the folder given up would never print: the user is asked to take
// them along (the admin command's answer is its --yes).
void CopiesController::offerToMoveWaiting(const QString& before, const QString& after) {
    const QString from = PrintFolderCheck::localPath(before, serverProgramFolder());
    const QString to = PrintFolderCheck::localPath(after, serverProgramFolder());
    if (from.isEmpty() || QFileInfo(from) == QFileInfo(to))
        return;
    const QString warning = PrintFolderCheck::waitingWarning(from, before);
    if (warning.isEmpty())
        return;
    m_host.log(warning);
    if (!m_host.prompts().question(warning + QStringLiteral("\nSpostarli nella nuova cartella?")))
        return;
    const int moved = PrintFolderCheck::moveWaitingDocuments(from, to);
    m_host.log(QStringLiteral("%1 documenti spostati in %2").arg(moved).arg(after.trimmed()));
}

bool CopiesController::cancel() {
    const QString folder = CopiesFile::readPrintFolder(copiesPath());
    m_host.setPrintFolder(folder);
    // Without a stored folder the server prints nothing; leaving is allowed once the user has
    // read that, so a first start never traps the window on screen.
    if (folder.trimmed().isEmpty() &&
        !m_host.prompts().question(QString::fromUtf8(NoFolder) +
                                   QStringLiteral(": finch\u00e9 non \u00e8 salvato, il server "
                                                  "non stampa nessun documento. Uscire comunque?")))
        return false;
    resumeWatcher();
    return true;
}

void CopiesController::resumeWatcher() {
    if (!m_paused)
        return;
    m_paused = false;
    m_host.setWatcherRunning(true);
}
