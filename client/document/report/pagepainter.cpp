#include "pagepainter.h"

#include "itemplacement.h"
#include "printableline.h"
#include "reporttemplate.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

PagePainter::PagePainter(QPainter& painter, QPaintDevice* device, const DeviceScale& scale,
                         const QRectF& printableArea, int pageCount, int rowsPerPage)
    : m_painter(painter), m_device(device), m_scale(scale), m_area(scale.rect(printableArea)),
      m_pageCount(pageCount), m_rowsPerPage(rowsPerPage) {}

bool PagePainter::isOnPage(const TemplateItem& it, int page) const {
    const bool last = page == m_pageCount;
    switch (it.pages) {
    case TemplateItem::Pages::All:
        return true;
    case TemplateItem::Pages::First:
        return page == 1;
    case TemplateItem::Pages::Last:
        return last;
    case TemplateItem::Pages::NotLast:
        return !last;
    }
    return true;
}

void PagePainter::draw(const PlacedItem& p, int page) {
    const TemplateItem& it = *p.item;
    if (!isOnPage(it, page))
        return;
    switch (it.kind) {
    case TemplateItem::Kind::Letterhead:
    case TemplateItem::Kind::Header:
    case TemplateItem::Kind::Totals:
        drawBlock(p);
        break;
    case TemplateItem::Kind::Body:
        drawBody(p, page);
        break;
    case TemplateItem::Kind::Text:
        drawText(p, page);
        break;
    case TemplateItem::Kind::Line:
        drawRule(it);
        break;
    case TemplateItem::Kind::Box:
        drawBox(it);
        break;
    case TemplateItem::Kind::Logo:
        drawLogo(it);
        break;
    }
}

// One line of text in the item's place, aligned in it and cut at its edge when still too wide.
// The painter already holds the font; a shrunk line keeps the baseline of its full-size
// neighbours.
void PagePainter::drawTextLine(const PlacedItem& p, const QString& text, double top,
                               const QFont& font, bool clip) {
    if (text.isEmpty())
        return;
    const TemplateItem& it = *p.item;
    double x = p.x;
    if (it.align != Qt::AlignLeft) {
        const double w = QFontMetricsF(font, m_device).horizontalAdvance(text);
        x += it.align == Qt::AlignRight ? p.boxWidth - w : (p.boxWidth - w) / 2;
        x = std::max(x, p.x);
    }
    if (clip) {
        m_painter.save();
        m_painter.setClipRect(QRectF(p.x, top, p.boxWidth, p.step * 2), Qt::IntersectClip);
        m_painter.drawText(QPointF(x, top + p.ascent), text);
        m_painter.restore();
    } else {
        m_painter.drawText(QPointF(x, top + p.ascent), text);
    }
}

// Letterhead, header and totals: the same lines on every page they belong to.
void PagePainter::drawBlock(const PlacedItem& p) {
    m_painter.setPen(p.item->color);
    for (int i = 0; i < p.lines.size(); ++i) {
        m_painter.setFont(p.lineFonts.at(i));
        drawTextLine(p, p.lines.at(i), p.y + p.lineSlots.at(i) * p.step, p.lineFonts.at(i),
                     p.lineClips.at(i));
    }
}

void PagePainter::drawBody(const PlacedItem& p, int page) {
    const int from = (page - 1) * m_rowsPerPage;
    const int to = std::min<int>(from + m_rowsPerPage, static_cast<int>(p.lines.size()));
    if (p.item->fill.isValid())
        drawStripes(p, from, to);
    m_painter.setFont(p.font);
    m_painter.setPen(p.item->color);
    for (int r = from; r < to; ++r)
        drawTextLine(p, p.lines.at(r), p.y + (r - from) * p.step, p.font, p.clip);
}

// Every other row banded across the printable width, as on continuous stationery, down to the
// last row that holds text; each band is centred between the top of the capitals and the foot of
// the descenders.
void PagePainter::drawStripes(const PlacedItem& p, int from, int to) {
    int used = to;
    while (used > from && isBlankLine(p.lines.at(used - 1)))
        --used;
    const QFontMetricsF fm(p.font, m_device);
    const double middle = fm.ascent() - fm.capHeight() / 2 + fm.descent() / 2;
    for (int r = 1; r < used - from; r += 2) {
        const double centre = p.y + r * p.step + middle;
        m_painter.fillRect(QRectF(m_area.left(), centre - p.step / 2, m_area.width(), p.step),
                           p.item->fill);
    }
}

// A fixed text such as the page number or the continuation note.
void PagePainter::drawText(const PlacedItem& p, int page) {
    QString text = p.item->text;
    text.replace(QStringLiteral("{page}"), QString::number(page));
    text.replace(QStringLiteral("{pages}"), QString::number(m_pageCount));
    m_painter.setFont(p.font);
    m_painter.setPen(p.item->color);
    drawTextLine(p, text, p.y, p.font, p.clip);
}

void PagePainter::drawRule(const TemplateItem& it) {
    QPen pen(it.color, m_scale.x(it.pen));
    pen.setCapStyle(Qt::FlatCap);
    m_painter.setPen(pen);
    m_painter.drawLine(QPointF(m_scale.x(it.x), m_scale.y(it.y)),
                       QPointF(m_scale.x(it.x2), m_scale.y(it.y2)));
}

void PagePainter::drawBox(const TemplateItem& it) {
    const QRectF r = m_scale.rect(QRectF(it.x, it.y, it.width, it.height));
    if (it.pen > 0) {
        QPen pen(it.color, m_scale.x(it.pen));
        pen.setJoinStyle(Qt::MiterJoin);
        m_painter.setPen(pen);
    } else {
        m_painter.setPen(Qt::NoPen);
    }
    m_painter.setBrush(it.fill.isValid() ? QBrush(it.fill) : QBrush(Qt::NoBrush));
    if (it.radius > 0)
        m_painter.drawRoundedRect(r, m_scale.x(it.radius), m_scale.y(it.radius));
    else
        m_painter.drawRect(r);
    m_painter.setBrush(Qt::NoBrush);
}

// The image scaled into its box, keeping its proportions, centred vertically.
void PagePainter::drawLogo(const TemplateItem& it) {
    const QRectF box = m_scale.rect(QRectF(it.x, it.y, it.width, it.height));
    const QSizeF size = QSizeF(it.image.size()).scaled(box.size(), Qt::KeepAspectRatio);
    double left = box.left();
    if (it.align == Qt::AlignHCenter)
        left += (box.width() - size.width()) / 2;
    else if (it.align == Qt::AlignRight)
        left += box.width() - size.width();
    const QRectF target(QPointF(left, box.top() + (box.height() - size.height()) / 2), size);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
    m_painter.drawImage(target, it.image);
}
