#pragma once

#include "failure.h"

#include <QDateTime>
#include <QString>

class ReportRenderer;

// Where a rendered document goes: a PDF file or the workstation's default printer. Failures carry
// ReportError::NoPrinter or ReportError::PrintRefused.
namespace ReportOutput {

// Writes the PDF under a temporary name in the same folder and renames it when complete, so a
// folder watcher never sees half a file. An existing file is replaced.
Failure writePdf(const ReportRenderer& renderer, const QString& path, const QString& title);

// One job on the default printer (through CUPS on Linux), named jobName.
Failure printOnDefaultPrinter(const ReportRenderer& renderer, const QString& jobName);

// "<report>_<yyyyMMdd-HHmmss-zzz>_copia<k>.pdf" in folder; "-2", "-3"... before ".pdf" while the
// name is taken.
QString uniquePdfPath(const QString& folder, const QString& reportName, int copy,
                      const QDateTime& when);

} // namespace ReportOutput
