#pragma once

#include "failure.h"

#include <QDateTime>
#include <QPagedPaintDevice>
#include <QString>

class ReportRenderer;

// Where a rendered document goes: a PDF file or a printer queue. Failures carry
// ReportError::NoPrinter or ReportError::PrintRefused.
namespace ReportOutput {

// Writes the PDF under a temporary name in the same folder and renames it when complete, so a
// folder watcher never sees half a file. An existing file is replaced.
Failure writePdf(const ReportRenderer& renderer, const QString& path, const QString& title,
                 QPagedPaintDevice::PdfVersion version = QPagedPaintDevice::PdfVersion_1_4);

// Whether the system knows a printer queue of that name (asks the print system every time: a
// queue may come and go while the client runs).
bool printerExists(const QString& queue);

// One job, named jobName, on the queue (through CUPS on Linux); an empty queue is the default
// printer.
Failure printOnPrinter(const ReportRenderer& renderer, const QString& queue,
                       const QString& jobName);

// "<report>_<queue>_<yyyyMMdd-HHmmss-zzz>_copia<k>.pdf" in folder; "-2", "-3"... before ".pdf"
// while the name is taken.
QString uniquePdfPath(const QString& folder, const QString& reportName, const QString& queue,
                      int copy, const QDateTime& when);

// The text as a part of a file name: characters every file system takes, others become "_".
QString fileNamePart(const QString& text);

} // namespace ReportOutput
