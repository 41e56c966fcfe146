#include "reporttemplate.h"

#include "platform/systemerror.h"
#include "reporterrors.h"
#include "statementreader.h"
#include "templatetokenizer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace {

// The fault with the place the technician must look at: "<file>:<line>: <reason>".
Failure located(const QString& fileName, int line, const Failure& fault) {
    return {fault.number,
            QStringLiteral("%1:%2: %3").arg(fileName).arg(line).arg(fault.description)};
}

Failure templateError(const QString& fileName, int line, const QString& message) {
    return located(fileName, line, {ReportError::BadTemplate, message});
}

// Templates are UTF-8; a file saved in another encoding is named by its first bad line.
Failure decodeUtf8(const QByteArray& bytes, const QString& path, QString& text) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    text = decoder(bytes);
    if (!decoder.hasError())
        return Failure::none();
    const QList<QByteArray> lines = bytes.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QStringDecoder lineDecoder(QStringDecoder::Utf8);
        (void)lineDecoder(lines.at(i)).operator QString();
        if (lineDecoder.hasError())
            return templateError(path, i + 1,
                                 QStringLiteral("testo non in UTF-8 (salvare il file come UTF-8)"));
    }
    return templateError(path, 1, QStringLiteral("testo non in UTF-8"));
}

// Every font an item names was declared somewhere in the file.
Failure fontsDeclared(const ReportTemplate& tpl, const QString& fileName) {
    for (const TemplateItem& item : tpl.items) {
        if (!item.font.isEmpty() && !tpl.fonts.contains(item.font))
            return templateError(
                fileName, item.sourceLine,
                QStringLiteral("carattere \"%1\" non dichiarato (manca la riga font name=%1)")
                    .arg(item.font));
    }
    return Failure::none();
}

} // namespace

QSizeF ReportTemplate::paperSize() const {
    const QSizeF s = pageSize.size(QPageSize::Millimeter);
    return orientation == QPageLayout::Landscape ? s.transposed() : s;
}

QRectF ReportTemplate::printableArea() const {
    return QRectF(QPointF(0, 0), paperSize()).marginsRemoved(margins);
}

void ReportTemplate::useCompanyLogos(int companyCode) {
    if (companyCode <= 0)
        return;
    const QString codes[] = {QString::number(companyCode).rightJustified(3, u'0'),
                             QString::number(companyCode)};
    for (TemplateItem& it : items) {
        if (it.kind != TemplateItem::Kind::Logo)
            continue;
        const QFileInfo shared(it.text);
        for (const QString& code : codes) {
            const QString own = shared.dir().filePath(shared.completeBaseName() + u'_' + code +
                                                      u'.' + shared.suffix());
            QImage image;
            // An unreadable picture of the company's own leaves the shared one in place.
            if (QFileInfo(own).isFile() && image.load(own)) {
                it.image = image;
                it.text = own;
                break;
            }
        }
    }
}

Failure ReportTemplate::load(const QString& path, ReportTemplate& out) {
    QFile file(path);
    if (!file.exists())
        return {ReportError::MissingTemplate,
                QStringLiteral("Modello di stampa non trovato: %1").arg(path)};
    if (!file.open(QIODevice::ReadOnly))
        return {ReportError::BadTemplate,
                QStringLiteral("%1: non leggibile (%2)").arg(path, fileErrorText(file))};
    const QByteArray bytes = file.readAll();
    file.close();
    QString text;
    if (Failure f = decodeUtf8(bytes, path, text))
        return f;
    return parse(text, path, QFileInfo(path).absolutePath(), out);
}

Failure ReportTemplate::parse(const QString& text, const QString& fileName,
                              const QString& baseFolder, ReportTemplate& out) {
    ReportTemplate tpl;
    tpl.fonts.insert(ReportTemplate::DefaultFont,
                     TemplateFont{QStringLiteral("Liberation Mono"), 9.0, false, false});

    QString body = text;
    if (body.startsWith(QChar(0xFEFF)))
        body.remove(0, 1);
    const QStringList lines = body.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(u'\r'))
            line.chop(1);
        TemplateStatement st;
        if (Failure f = TemplateTokenizer::split(line, st))
            return located(fileName, i + 1, f);
        if (st.keyword.isEmpty())
            continue;
        if (Failure f = readStatement(st, i + 1, baseFolder, tpl))
            return located(fileName, i + 1, f);
    }
    if (Failure f = fontsDeclared(tpl, fileName))
        return f;
    int lastLine = static_cast<int>(lines.size());
    if (lastLine > 1 && lines.constLast().isEmpty())
        --lastLine; // the newline that ends the file starts no line
    if (tpl.bodyItem < 0)
        return templateError(fileName, lastLine,
                             QStringLiteral("manca la riga \"body\" (posizione delle righe)"));
    out = tpl;
    return Failure::none();
}
