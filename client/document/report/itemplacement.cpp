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
            fitText(p, p.lines, 0);
            break;
        case TemplateItem::Kind::Header:
            p.lines = fieldTexts(data.header, it.first, it.last);
            fitText(p, p.lines, 0);
            break;
        case TemplateItem::Kind::Totals:
            p.lines = fieldTexts(data.totals, it.first, it.last);
            fitText(p, p.lines, 0);
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

    // Shrinks the font until the widest line fits its place.
    void fitText(PlacedItem& p, const QStringList& measured, int minimumColumns) const {
        const TemplateItem& it = *p.item;
        p.x = m_scale.x(it.x);
        p.y = m_scale.y(it.y);
        p.boxWidth = it.width > 0 ? m_scale.x(it.width) : m_areaRight - p.x;
        QFont fitted = font(it.font, 1.0);
        const double widest = widestLine(fitted, measured, minimumColumns);
        double scale = 1.0;
        if (widest > p.boxWidth && p.boxWidth > 0) {
            scale = std::max(MinimumShrink, p.boxWidth / widest * 0.999);
            fitted = font(it.font, scale);
        }
        p.clip = widest * scale > p.boxWidth;
        p.font = fitted;
        p.ascent = QFontMetricsF(fitted, m_device).ascent();
        // The step keeps its place even for a shrunk font: rows stay on the stationery's lines.
        p.step = it.step > 0 ? m_scale.y(it.step)
                             : QFontMetricsF(font(it.font, 1.0), m_device).lineSpacing();
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
