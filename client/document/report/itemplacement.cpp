#include "itemplacement.h"

#include "devicescale.h"
#include "printableline.h"
#include "reportdata.h"
#include "reporttemplate.h"

#include <QFontInfo>
#include <QFontMetricsF>

#include <algorithm>

namespace {

constexpr double MinimumShrink = 0.5;
constexpr int BodyColumns = 80;

// Fields first..last (numbered from 1); fields the document does not have print empty.
QStringList fieldTexts(const QStringList& fields, int first, int last) {
    QStringList out;
    for (int i = first; i <= last; ++i) {
        const QString v = i - 1 < fields.size() ? fields.at(i - 1) : QString();
        out << printableLine(v);
    }
    return out;
}

QStringList bodyTexts(const QStringList& body) {
    QStringList out;
    out.reserve(body.size());
    for (const QString& line : body)
        out << printableLine(line);
    return out;
}

// Widest case of a fixed text: the page numbers of the last page.
QString widestText(const QString& text, int pageCount) {
    QString sample = text;
    sample.replace(QStringLiteral("{page}"), QString::number(pageCount));
    sample.replace(QStringLiteral("{pages}"), QString::number(pageCount));
    return sample;
}

class ItemPlacer {
public:
    ItemPlacer(const ReportTemplate& tpl, const DeviceScale& scale, QPaintDevice* device)
        : m_tpl(tpl), m_scale(scale), m_device(device),
          m_areaRight(scale.rect(tpl.printableArea()).right()) {}

    PlacedItem place(const TemplateItem& it, const ReportData& data, int pageCount) const {
        PlacedItem p;
        p.item = &it;
        switch (it.kind) {
        case TemplateItem::Kind::Letterhead:
            p.lines = fieldTexts(data.letterhead, it.first, it.last);
            fitEachLine(p);
            break;
        case TemplateItem::Kind::Header:
            p.lines = fieldTexts(data.header, it.first, it.last);
            fitEachLine(p);
            break;
        case TemplateItem::Kind::Totals:
            p.lines = fieldTexts(data.totals, it.first, it.last);
            for (QString& line : p.lines)
                if (isContinuationNote(line))
                    line.clear();
            fitEachLine(p);
            break;
        case TemplateItem::Kind::Body:
            p.lines = bodyTexts(data.body);
            fitText(p, p.lines, BodyColumns);
            break;
        case TemplateItem::Kind::Text:
            fitText(p, {widestText(it.text, pageCount)}, 0);
            break;
        default:
            break;
        }
        return p;
    }

private:
    QFont font(const QString& name, double scale) const {
        const TemplateFont tf = m_tpl.fonts.value(name);
        QFont f(tf.family);
        f.setPointSizeF(tf.size * scale);
        f.setBold(tf.bold);
        f.setItalic(tf.italic);
        f.setKerning(false);
        f.setHintingPreference(QFont::PreferNoHinting);
        return f;
    }

    // Width of the widest line; trailing blanks do not count.
    double widestLine(const QFont& font, const QStringList& lines, int minimumColumns) const {
        const QFontMetricsF fm(font, m_device);
        double widest =
            minimumColumns > 0 ? fm.horizontalAdvance(QString(minimumColumns, u'0')) : 0;
        // A fixed-pitch font is measured by the column count: long documents stay fast.
        const bool fixedPitch = QFontInfo(font).fixedPitch();
        const double column = fm.horizontalAdvance(QStringLiteral("0"));
        qsizetype widestColumns = 0;
        for (const QString& line : lines) {
            qsizetype end = line.size();
            while (end > 0 && line.at(end - 1) == u' ')
                --end;
            if (end == 0)
                continue;
            if (fixedPitch)
                widestColumns = std::max(widestColumns, end);
            else
                widest = std::max(widest, fm.horizontalAdvance(line.left(end)));
        }
        return std::max(widest, column * static_cast<double>(widestColumns));
    }

    // The font at which lines of the given width fit the place, and whether they are still cut.
    QFont fittedFont(const QString& name, double widest, double boxWidth, bool* clip) const {
        double scale = 1.0;
        if (widest > boxWidth && boxWidth > 0)
            scale = std::max(MinimumShrink, boxWidth / widest * 0.999);
        *clip = widest * scale > boxWidth;
        return font(name, scale);
    }

    // Position, step and full-size metrics shared by every kind of text item.
    void placeText(PlacedItem& p) const {
        const TemplateItem& it = *p.item;
        p.x = m_scale.x(it.x);
        p.y = m_scale.y(it.y);
        p.boxWidth = it.width > 0 ? m_scale.x(it.width) : m_areaRight - p.x;
        const QFontMetricsF full(font(it.font, 1.0), m_device);
        p.ascent = full.ascent();
        // The step keeps its place even for a shrunk font: rows stay on the stationery's lines.
        p.step = it.step > 0 ? m_scale.y(it.step) : full.lineSpacing();
    }

    // Shrinks the font of all lines together until the widest fits its place.
    void fitText(PlacedItem& p, const QStringList& measured, int minimumColumns) const {
        placeText(p);
        const QFont declared = font(p.item->font, 1.0);
        const double widest = widestLine(declared, measured, minimumColumns);
        p.font = fittedFont(p.item->font, widest, p.boxWidth, &p.clip);
    }

    // Each line gets the largest size up to the declared one at which it fits.
    void fitEachLine(PlacedItem& p) const {
        placeText(p);
        p.font = font(p.item->font, 1.0);
        p.lineFonts.reserve(p.lines.size());
        p.lineClips.reserve(p.lines.size());
        for (const QString& line : p.lines) {
            bool clip = false;
            const double widest = widestLine(p.font, {line}, 0);
            p.lineFonts << (widest > p.boxWidth
                                ? fittedFont(p.item->font, widest, p.boxWidth, &clip)
                                : p.font);
            p.lineClips << clip;
        }
    }

    const ReportTemplate& m_tpl;
    const DeviceScale& m_scale;
    QPaintDevice* m_device;
    double m_areaRight;
};

} // namespace

QList<PlacedItem> placeItems(const ReportTemplate& tpl, const ReportData& data, int pageCount,
                             const DeviceScale& scale, QPaintDevice* device) {
    const ItemPlacer placer(tpl, scale, device);
    QList<PlacedItem> placed;
    placed.reserve(tpl.items.size());
    for (const TemplateItem& it : tpl.items)
        placed << placer.place(it, data, pageCount);
    return placed;
}
