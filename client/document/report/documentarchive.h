#pragma once

#include "failure.h"

#include <QDateTime>
#include <QString>

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

// Renders the document into the archive. On success *written is the file's path; a failure
// (ReportError::ArchiveFailed) says which folder or file could not be written and why, and leaves
// no file behind.
Failure write(const ReportRenderer& renderer, const Entry& entry, QString* written);
// The same for a PDF/A-1b already rendered (a printed copy written as a PDF file): its bytes go
// into the archive as they are.
Failure copyIn(const QString& pdf, const Entry& entry, QString* written);

} // namespace DocumentArchive
