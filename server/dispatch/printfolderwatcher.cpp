#include "printfolderwatcher.h"

PrintFolderWatcher::PrintFolderWatcher(WatcherHost& host, CompanyCodes& codes)
    : m_book(host, codes), m_intake(m_book), m_passes(m_book) {}

void PrintFolderWatcher::setPrintFolder(const QString& folder, const QString& shareRoot) {
    if (m_book.setPrintFolder(folder, shareRoot)) {
        m_passes.reset();
        m_intake.reset();
    }
}
