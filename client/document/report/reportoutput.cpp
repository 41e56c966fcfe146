#include "reportoutput.h"

#include "platform/platform.h"
#include "reporterrors.h"
#include "reportrenderer.h"

#include <QDir>
#include <QFileInfo>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>

namespace ReportOutput {

Failure writePdf(const ReportRenderer& renderer, const QString& path, const QString& title) {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return {ReportError::PrintRefused,
                QStringLiteral("Cartella PDF non disponibile: %1").arg(info.absolutePath())};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {ReportError::PrintRefused,
                QStringLiteral("PDF non scrivibile: %1 (%2)").arg(path, file.errorString())};
    {
        QPdfWriter writer(&file);
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
                QStringLiteral("PDF non scrivibile: %1 (%2)").arg(path, file.errorString())};
    return Failure::none();
}

Failure printOnDefaultPrinter(const ReportRenderer& renderer, const QString& jobName) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return {ReportError::NoPrinter, QStringLiteral("Nessuna stampante predefinita")};
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

QString uniquePdfPath(const QString& folder, const QString& reportName, int copy,
                      const QDateTime& when) {
    // Report names come from print files; keep them to characters every file system takes.
    QString safe;
    for (QChar c : reportName)
        safe += (c.isLetterOrNumber() || c == u'_' || c == u'-') ? c : QChar(u'_');
    const QString stem = safe + u'_' + when.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) +
                         QStringLiteral("_copia") + QString::number(copy);
    const QDir dir(folder);
    QString path = dir.filePath(stem + QStringLiteral(".pdf"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(stem + u'-' + QString::number(n) + QStringLiteral(".pdf"));
    return path;
}

} // namespace ReportOutput
