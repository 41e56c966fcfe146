#pragma once

#include "failure.h"
#include "reportdata.h"
#include "reporttemplate.h"

#include <QDateTime>
#include <QString>
#include <QTemporaryFile>
#include <future>

class ReportRenderer;

// The workstation's archive of printed documents: one PDF/A-1b file per document (with its text,
// so a desktop search finds it) under <folder>/<KIND>/<year>/, named
// "<KIND>_<company, 3 digits>_<print file>_<yyyyMMdd-HHmmss>.pdf". The print file's name is
// taken without the server's ".PRN". A name already taken gets "-2", "-3"... : an archived
// document is never overwritten, not even by another workstation writing to the same folder.
namespace DocumentArchive {

struct Entry {
    QString folder; // the archive folder, local or a mounted share
    QString kind;
    int companyCode = 0;
    QString printFile; // as the server named it; only its file name is used
    QDateTime when;
};

// The path the entry would get if nothing were in the way (no "-2").
QString plannedPath(const Entry& entry);

// Renders the document as the archive keeps it (PDF/A-1b, titled after the kind and the print
// file) into the file at path, wherever that is.
Failure render(const ReportRenderer& renderer, const Entry& entry, const QString& path);

// Renders the document into the archive. On success *written is the file's path; a failure
// (ReportError::ArchiveFailed) says which folder or file could not be written and why, and leaves
// no file behind.
Failure write(const ReportRenderer& renderer, const Entry& entry, QString* written);
// The same for a PDF/A-1b already rendered (a printed copy written as a PDF file): its bytes go
// into the archive as they are.
Failure copyIn(const QString& pdf, const Entry& entry, QString* written);

} // namespace DocumentArchive

// The archive's PDF rendered on a thread of its own while the copies go to the printer, from its
// own copy of the template and the data; it enters the archive (copyIn) only once every copy has
// printed. The file is a scratch file of the system's; it goes with the draft.
class ArchiveDraft {
public:
    ArchiveDraft() = default;
    ~ArchiveDraft();
    ArchiveDraft(const ArchiveDraft&) = delete;
    ArchiveDraft& operator=(const ArchiveDraft&) = delete;

    bool started() const { return m_result.valid(); }
    void start(const ReportTemplate& tpl, const ReportData& data,
               const DocumentArchive::Entry& entry);
    // Waits for the rendering; on success *path is the rendered file.
    Failure finish(QString* path);

private:
    QTemporaryFile m_file;
    std::future<Failure> m_result;
};
