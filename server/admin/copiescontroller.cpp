#include "copiescontroller.h"

#include "adminhost.h"
#include "printfoldercheck.h"
#include "userprompts.h"

#include <QDir>
#include <QFileInfo>

namespace {
const char* const NoFolder = "Inserire Percorso file Stampa";
const char* const BadFolder = "Cartella non valida";
const char* const FolderNotEmpty = "Attenzione!! La cartella non \u00e8 vuota, Continuare?";
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
    return CopiesFile::readForWindow(copiesPath());
}

bool CopiesController::save(const CopiesSettings& settings) {
    if (settings.printFolder.trimmed().isEmpty()) {
        m_host.prompts().message(QString::fromUtf8(NoFolder));
        return false;
    }
    // The typed folder is in force from here on, even if a check below refuses it; "Annulla"
    // puts the stored one back.
    m_host.setPrintFolder(settings.printFolder);
    switch (PrintFolderCheck::inspect(settings.printFolder, serverProgramFolder())) {
    case PrintFolderCheck::State::Unlistable:
        // Which folder and why: the technician has nothing else to go on.
        m_host.prompts().message(
            QString::fromUtf8(BadFolder) + QStringLiteral(": ") + settings.printFolder.trimmed() +
            u'\n' +
            PrintFolderCheck::unlistableReason(settings.printFolder, serverProgramFolder()) + u'.');
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
    resumeWatcher();
    return true;
}

bool CopiesController::cancel() {
    const QString folder = CopiesFile::readPrintFolder(copiesPath());
    m_host.setPrintFolder(folder);
    if (folder.trimmed().isEmpty()) {
        m_host.prompts().message(QString::fromUtf8(NoFolder));
        return false;
    }
    resumeWatcher();
    return true;
}

void CopiesController::resumeWatcher() {
    if (!m_paused)
        return;
    m_paused = false;
    m_host.setWatcherRunning(true);
}
