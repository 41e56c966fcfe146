#include "itemplacement.h"

#include "devicescale.h"
#include "printableline.h"
#include "reportdata.h"
#include "reporttemplate.h"

#include <QFontInfo>
#include <QFontMetricsF>

#include <algorithm>
#include <utility>

namespace {

constexpr double MinimumShrink = 0.5;
// A letterhead, header or totals line is never printed smaller than this; wider, it wraps.
constexpr double SmallestLinePoints = 8.0;
// A line wraps onto at most this many rows; what is left is cut at the edge of the last one.
constexpr int MostRowsPerLine = 3;
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

    // Each line gets the largest size, from the declared one down to 8 pt (or half, if more),
    // at which it fits. A line that does not fit even so wraps at the declared size onto the next
    // rows; the lines below it move down one row per extra row, until a blank line takes up the
    // move (a field of one line grows downwards).
    void fitEachLine(PlacedItem& p) const {
        placeText(p);
        p.font = font(p.item->font, 1.0);
        const double declared = m_tpl.fonts.value(p.item->font).size;
        const double floor =
            std::min(1.0, std::max(MinimumShrink, SmallestLinePoints / std::max(declared, 0.1)));
        const QStringList lines = std::exchange(p.lines, {});
        int moved = 0;
        for (int i = 0; i < int(lines.size()); ++i) {
            const QString& line = lines.at(i);
            if (moved > 0 && isBlankLine(line)) {
                --moved;
                continue;
            }
            const double widest = widestLine(p.font, {line}, 0);
            const double scale = widest > p.boxWidth ? p.boxWidth / widest * 0.999 : 1.0;
            if (scale >= floor) {
                addRow(p, line, font(p.item->font, scale), false, i + moved);
                continue;
            }
            bool clip = false;
            const QStringList pieces = wrapped(line, p.font, p.boxWidth, &clip);
            for (int k = 0; k < int(pieces.size()); ++k)
                addRow(p, pieces.at(k), p.font, clip && k == pieces.size() - 1, i + moved + k);
            moved += int(pieces.size()) - 1;
        }
    }

    static void addRow(PlacedItem& p, const QString& text, const QFont& font, bool clip, int slot) {
        p.lines << text;
        p.lineFonts << font;
        p.lineClips << clip;
        p.lineSlots << slot;
    }

    // The line cut into rows that fit the width, at the last blank before the edge where there is
    // one; the rows after the first start at their first character that is not a blank.
    QStringList wrapped(QString line, const QFont& font, double width, bool* clip) const {
        const QFontMetricsF fm(font, m_device);
        while (line.endsWith(u' '))
            line.chop(1);
        QStringList rows;
        while (!line.isEmpty() && rows.size() < MostRowsPerLine - 1 &&
               fm.horizontalAdvance(line) > width) {
            qsizetype fits = 1; // the longest start that fits, one character at least
            for (qsizetype lo = 1, hi = line.size(); lo <= hi;) {
                const qsizetype mid = (lo + hi) / 2;
                if (fm.horizontalAdvance(line.left(mid)) <= width) {
                    fits = mid;
                    lo = mid + 1;
                } else {
                    hi = mid - 1;
                }
            }
            const qsizetype blank = line.lastIndexOf(u' ', fits);
            const qsizetype cut = blank > 0 && line.left(blank).trimmed().size() > 0 ? blank : fits;
            rows << line.left(cut);
            line = line.mid(cut);
            while (line.startsWith(u' '))
                line.remove(0, 1);
        }
        if (!line.isEmpty())
            rows << line;
        *clip = fm.horizontalAdvance(rows.constLast()) > width;
        return rows;
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
