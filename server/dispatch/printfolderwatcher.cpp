#include "printfolderwatcher.h"

#include "printfilerules.h"

PrintFolderWatcher::PrintFolderWatcher(WatcherHost& host, CompanyCodes& codes)
    : m_book(host, codes), m_intake(m_book), m_passes(m_book) {}

void PrintFolderWatcher::setPrintFolder(const QString& folder, const QString& shareRoot) {
    if (m_book.setPrintFolder(folder, shareRoot)) {
        m_passes.reset();
        m_intake.reset();
    }
}

QString PrintFolderWatcher::workstationOf(const QString& path) const {
    const QString folder = m_book.folder();
    if (folder.isEmpty() || !path.startsWith(folder, Qt::CaseInsensitive))
        return {};
    const QString name = path.mid(folder.size());
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return {};
    const PrintJob job = m_book.jobs().value(name);
    if (job.workstationKnown)
        return job.workstation;
    const PrintFileRules::WorkstationLine line =
        PrintFileRules::readWorkstationLine(m_book.localPath(name));
    if (line.status == PrintFileRules::WorkstationLine::Status::NotFound) {
        // Set aside since it was announced: still its workstation's to complete.
        const QString aside = m_book.setAsideAs(name);
        return aside.isEmpty() ? QString() : m_book.jobs().value(aside).workstation;
    }
    return line.status == PrintFileRules::WorkstationLine::Status::Found ? line.name : QString();
}
