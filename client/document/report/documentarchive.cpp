#include "documentarchive.h"

#include "platform/systemerror.h"
#include "reporterrors.h"
#include "reportoutput.h"
#include "reportrenderer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <functional>

namespace {

Failure archiveFailure(const QString& text) {
    return {ReportError::ArchiveFailed, text};
}

QString printFileStem(const QString& printFile) {
    // The server's paths use backslashes; a local path may use either.
    QString name = printFile.section(u'\\', -1).section(u'/', -1);
    if (name.endsWith(QStringLiteral(".PRN"), Qt::CaseInsensitive))
        name.chop(4);
    return name;
}

QString stem(const DocumentArchive::Entry& entry) {
    return ReportOutput::fileNamePart(entry.kind) + u'_' +
           QStringLiteral("%1").arg(entry.companyCode, 3, 10, QLatin1Char('0')) + u'_' +
           ReportOutput::fileNamePart(printFileStem(entry.printFile)) + u'_' +
           entry.when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

QString yearFolder(const DocumentArchive::Entry& entry) {
    return QDir(entry.folder)
        .filePath(ReportOutput::fileNamePart(entry.kind) + u'/' +
                  QString::number(entry.when.date().year()));
}

// Fills a hidden scratch file in the year's folder, then gives it a name nobody has taken: the
// rename never replaces a file, so a document archived earlier (here or by another workstation)
// stays. Nothing is left behind on failure.
Failure place(const DocumentArchive::Entry& entry,
              const std::function<Failure(QTemporaryFile&)>& fill, QString* written) {
    const QString folder = yearFolder(entry);
    if (!QFileInfo(entry.folder).isDir())
        return archiveFailure(QStringLiteral("Cartella archivio non trovata: ") +
                              QDir::toNativeSeparators(entry.folder));
    if (!QDir().mkpath(folder))
        return archiveFailure(QStringLiteral("Cartella archivio non scrivibile: ") +
                              QDir::toNativeSeparators(folder));
    QTemporaryFile scratch(QDir(folder).filePath(QStringLiteral(".archivio-XXXXXX.pdf")));
    if (!scratch.open())
        return archiveFailure(QStringLiteral("Cartella archivio non scrivibile: ") +
                              QDir::toNativeSeparators(folder) + QStringLiteral(" (") +
                              fileErrorText(scratch) + u')');
    if (Failure f = fill(scratch))
        return archiveFailure(f.description);
    const QString base = QDir(folder).filePath(stem(entry));
    QString target = base + QStringLiteral(".pdf");
    for (int n = 2; n < 1000; ++n) {
        if (!QFileInfo::exists(target) && QFile::rename(scratch.fileName(), target)) {
            scratch.setAutoRemove(false);
            *written = target;
            return Failure::none();
        }
        target = base + u'-' + QString::number(n) + QStringLiteral(".pdf");
    }
    return archiveFailure(QStringLiteral("Nome non disponibile in archivio: ") +
                          QDir::toNativeSeparators(base) + QStringLiteral(".pdf"));
}

} // namespace

namespace DocumentArchive {

QString plannedPath(const Entry& entry) {
    return QDir(yearFolder(entry)).filePath(stem(entry) + QStringLiteral(".pdf"));
}

Failure render(const ReportRenderer& renderer, const Entry& entry, const QString& path) {
    const QString title = entry.kind + u' ' + printFileStem(entry.printFile);
    return ReportOutput::writePdf(renderer, path, title, QPagedPaintDevice::PdfVersion_A1b);
}

Failure write(const ReportRenderer& renderer, const Entry& entry, QString* written) {
    return place(
        entry,
        [&](QTemporaryFile& scratch) {
            scratch.close();
            return render(renderer, entry, scratch.fileName());
        },
        written);
}

Failure copyIn(const QString& pdf, const Entry& entry, QString* written) {
    return place(
        entry,
        [&](QTemporaryFile& scratch) {
            QFile source(pdf);
            if (!source.open(QIODevice::ReadOnly))
                return Failure{ReportError::ArchiveFailed, QDir::toNativeSeparators(pdf) +
                                                               QStringLiteral(": ") +
                                                               fileErrorText(source)};
            const QByteArray bytes = source.readAll();
            if (scratch.write(bytes) != bytes.size() || !scratch.flush())
                return Failure{ReportError::ArchiveFailed, fileErrorText(scratch)};
            scratch.close();
            return Failure::none();
        },
        written);
}

} // namespace DocumentArchive

ArchiveDraft::~ArchiveDraft() {
    if (m_result.valid())
        m_result.wait(); // the thread writes into m_file
}

void ArchiveDraft::start(const ReportTemplate& tpl, const ReportData& data,
                         const DocumentArchive::Entry& entry) {
    m_file.setFileTemplate(QDir::temp().filePath(QStringLiteral("velarix-archivio-XXXXXX.pdf")));
    if (!m_file.open()) {
        std::promise<Failure> refused;
        refused.set_value({ReportError::ArchiveFailed, QDir::toNativeSeparators(QDir::tempPath()) +
                                                           QStringLiteral(": ") +
                                                           fileErrorText(m_file)});
        m_result = refused.get_future();
        return;
    }
    m_file.close();
    m_result = std::async(std::launch::async, [tpl, data, entry, path = m_file.fileName()] {
        return DocumentArchive::render(ReportRenderer(tpl, data), entry, path);
    });
}

Failure ArchiveDraft::finish(QString* path) {
    const Failure f = m_result.get();
    *path = m_file.fileName();
    return f;
}
