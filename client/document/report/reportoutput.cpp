#include "reportoutput.h"

#include "platform/platform.h"
#include "platform/systemerror.h"
#include "reporterrors.h"
#include "reportrenderer.h"

#include <QDir>
#include <QFileInfo>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>

namespace ReportOutput {

Failure writePdf(const ReportRenderer& renderer, const QString& path, const QString& title,
                 QPagedPaintDevice::PdfVersion version) {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return {ReportError::PrintRefused,
                QStringLiteral("Cartella PDF non disponibile: %1").arg(info.absolutePath())};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {ReportError::PrintRefused,
                QStringLiteral("PDF non scrivibile: %1 (%2)").arg(path, fileErrorText(file))};
    {
        QPdfWriter writer(&file);
        writer.setPdfVersion(version);
        writer.setPageLayout(renderer.pageLayout());
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Velarix"));
        writer.setResolution(600);
        if (Failure f = renderer.render(&writer)) {
            file.cancelWriting();
            return f;
        }
    }
    if (!file.commit())
        return {ReportError::PrintRefused,
                QStringLiteral("PDF non scrivibile: %1 (%2)").arg(path, fileErrorText(file))};
    return Failure::none();
}

bool printerExists(const QString& queue) {
    return QPrinterInfo::availablePrinterNames().contains(queue);
}

Failure printOnPrinter(const ReportRenderer& renderer, const QString& queue,
                       const QString& jobName) {
    const QPrinterInfo info =
        queue.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(queue);
    if (info.isNull()) {
        if (queue.isEmpty())
            return {ReportError::NoPrinter, QStringLiteral("Nessuna stampante predefinita")};
        return {ReportError::NoPrinter, QStringLiteral("Stampante %1 non trovata").arg(queue)};
    }
    if (!Platform::current().printerAcceptsJobs(info.printerName()))
        return {ReportError::PrintRefused,
                QStringLiteral("La stampante %1 non accetta lavori").arg(info.printerName())};
    QPrinter printer(info, QPrinter::HighResolution);
    // Positions count from the paper's corner, as on the stationery.
    printer.setFullPage(true);
    const QPageLayout layout = renderer.pageLayout();
    printer.setPageSize(layout.pageSize());
    printer.setPageOrientation(layout.orientation());
    printer.setCopyCount(1);
    printer.setDocName(jobName);
    if (Failure f = renderer.render(&printer))
        return {f.number,
                f.description + QStringLiteral(" (") + info.printerName() + QStringLiteral(")")};
    if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted)
        return {ReportError::PrintRefused,
                QStringLiteral("La stampante %1 ha rifiutato il lavoro").arg(info.printerName())};
    return Failure::none();
}

QString fileNamePart(const QString& text) {
    QString safe;
    for (QChar c : text)
        safe += (c.isLetterOrNumber() || c == u'_' || c == u'-' || c == u'.') ? c : QChar(u'_');
    // Never a name of dots alone, nor one hidden on POSIX.
    if (safe.startsWith(u'.'))
        safe[0] = u'_';
    return safe;
}

QString uniquePdfPath(const QString& folder, const QString& reportName, const QString& queue,
                      int copy, const QDateTime& when) {
    // Report and queue names come from files others write; keep them to safe characters.
    const QString stem = fileNamePart(reportName) + u'_' + fileNamePart(queue) + u'_' +
                         when.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) +
                         QStringLiteral("_copia") + QString::number(copy);
    const QDir dir(folder);
    QString path = dir.filePath(stem + QStringLiteral(".pdf"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(stem + u'-' + QString::number(n) + QStringLiteral(".pdf"));
    return path;
}

} // namespace ReportOutput
