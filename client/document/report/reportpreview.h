#pragma once

#include "failure.h"

#include <QPagedPaintDevice>
#include <QString>

// The template author's preview: renders the document held in databasePath for companyCode
// through templatePath into pdfPath, with the selection the report of that name would use (the
// report name is the template's file name without ".rpt"). Same error numbers as a print.
Failure
renderDocumentToPdf(const QString& templatePath, const QString& databasePath, int companyCode,
                    const QString& pdfPath,
                    QPagedPaintDevice::PdfVersion version = QPagedPaintDevice::PdfVersion_1_4);
