#include "reportrenderer.h"

#include "reportdata.h"
#include "reporterrors.h"
#include "reporttemplate.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QVector>

#include <algorithm>
#include <cmath>

namespace {

constexpr double MinimumShrink = 0.5;
constexpr int BodyColumns = 80;

bool isBlank(const QString& s) {
    for (QChar c : s)
        if (c != u' ')
            return false;
    return true;
}

// One template item ready to draw: fonts measured on the device, lengths in device pixels.
struct Prepared {
    const TemplateItem* item = nullptr;
    QFont font;
    double ascent = 0;
    double step = 0;
    double x = 0, y = 0;
    double boxWidth = 0; // the place a text line may fill
    bool clip = false;   // some line is still too wide after shrinking
    QStringList lines;   // letterhead, header and totals texts, ready to print
};

} // namespace

ReportRenderer::ReportRenderer(const ReportTemplate& tpl, const ReportData& data)
    : m_tpl(tpl), m_data(data) {
    const int rows = tpl.body().rows;
    qsizetype used = data.body.size();
    while (used > 0 && isBlank(data.body.at(used - 1)))
        --used;
    m_pageCount = std::max<int>(1, static_cast<int>((used + rows - 1) / rows));
}

QPageLayout ReportRenderer::pageLayout() const {
    return QPageLayout(m_tpl.pageSize, m_tpl.orientation, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Millimeter);
}

QString ReportRenderer::printable(const QString& line) {
    bool plain = true;
    for (QChar c : line)
        if (c.unicode() < 32 || c.unicode() == 127) {
            plain = false;
            break;
        }
    if (plain)
        return line;
    QString out;
    out.reserve(line.size() + 8);
    for (QChar c : line) {
        if (c == u'\t')
            out += QString(8 - out.size() % 8, u' ');
        else if (c.unicode() >= 32 && c.unicode() != 127)
            out += c;
    }
    return out;
}

Failure ReportRenderer::render(QPagedPaintDevice* device) const {
    QPainter painter;
    if (!painter.begin(device))
        return {
            ReportError::PrintRefused,
            QStringLiteral("La stampante non accetta il lavoro (impossibile iniziare la pagina)")};

    const double dpiX = device->logicalDpiX();
    const double dpiY = device->logicalDpiY();
    auto px = [dpiX](double mm) { return mm * dpiX / 25.4; };
    auto py = [dpiY](double mm) { return mm * dpiY / 25.4; };
    const QRectF area = m_tpl.printableArea();
    const QRectF areaPx(px(area.left()), py(area.top()), px(area.width()), py(area.height()));

    auto makeFont = [&](const QString& name, double scale) {
        const TemplateFont tf = m_tpl.fonts.value(name);
        QFont f(tf.family);
        f.setPointSizeF(tf.size * scale);
        f.setBold(tf.bold);
        f.setItalic(tf.italic);
        f.setKerning(false);
        f.setHintingPreference(QFont::PreferNoHinting);
        return f;
    };

    auto fieldTexts = [](const QStringList& fields, int first, int last) {
        QStringList out;
        for (int i = first; i <= last; ++i) {
            const QString v = i - 1 < fields.size() ? fields.at(i - 1) : QString();
            out << printable(v);
        }
        return out;
    };

    // Measures the widest line (trailing blanks do not count) and shrinks the font to fit.
    auto prepareText = [&](Prepared& p, const QStringList& measured, int minimumColumns) {
        const TemplateItem& it = *p.item;
        p.x = px(it.x);
        p.y = py(it.y);
        p.boxWidth = it.width > 0 ? px(it.width) : areaPx.right() - p.x;
        QFont font = makeFont(it.font, 1.0);
        QFontMetricsF fm(font, device);
        double widest =
            minimumColumns > 0 ? fm.horizontalAdvance(QString(minimumColumns, u'0')) : 0;
        // A fixed-pitch font is measured by the column count: long documents stay fast.
        const bool fixedPitch = QFontInfo(font).fixedPitch();
        const double column = fm.horizontalAdvance(QStringLiteral("0"));
        qsizetype widestColumns = 0;
        for (const QString& line : measured) {
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
        widest = std::max(widest, column * static_cast<double>(widestColumns));
        double scale = 1.0;
        if (widest > p.boxWidth && p.boxWidth > 0) {
            scale = std::max(MinimumShrink, p.boxWidth / widest * 0.999);
            font = makeFont(it.font, scale);
            fm = QFontMetricsF(font, device);
        }
        p.clip = widest * scale > p.boxWidth;
        p.font = font;
        p.ascent = fm.ascent();
        // The step keeps its place even for a shrunk font: rows stay on the stationery's lines.
        p.step =
            it.step > 0 ? py(it.step) : QFontMetricsF(makeFont(it.font, 1.0), device).lineSpacing();
    };

    QVector<Prepared> prepared;
    prepared.reserve(m_tpl.items.size());
    for (const TemplateItem& it : m_tpl.items) {
        Prepared p;
        p.item = &it;
        switch (it.kind) {
        case TemplateItem::Kind::Letterhead:
            p.lines = fieldTexts(m_data.letterhead, it.first, it.last);
            prepareText(p, p.lines, 0);
            break;
        case TemplateItem::Kind::Header:
            p.lines = fieldTexts(m_data.header, it.first, it.last);
            prepareText(p, p.lines, 0);
            break;
        case TemplateItem::Kind::Totals:
            p.lines = fieldTexts(m_data.totals, it.first, it.last);
            prepareText(p, p.lines, 0);
            break;
        case TemplateItem::Kind::Body: {
            QStringList body;
            body.reserve(m_data.body.size());
            for (const QString& line : m_data.body)
                body << printable(line);
            p.lines = body;
            prepareText(p, p.lines, BodyColumns);
            break;
        }
        case TemplateItem::Kind::Text: {
            // Widest case: the page numbers of the last page.
            QString sample = it.text;
            sample.replace(QStringLiteral("{page}"), QString::number(m_pageCount));
            sample.replace(QStringLiteral("{pages}"), QString::number(m_pageCount));
            prepareText(p, {sample}, 0);
            break;
        }
        default:
            break;
        }
        prepared << p;
    }

    const int rows = m_tpl.body().rows;
    for (int page = 1; page <= m_pageCount; ++page) {
        if (page > 1 && !device->newPage()) {
            painter.end();
            return {ReportError::PrintRefused,
                    QStringLiteral("La stampante non accetta il lavoro (pagina %1)").arg(page)};
        }
        const bool last = page == m_pageCount;
        for (const Prepared& p : std::as_const(prepared)) {
            const TemplateItem& it = *p.item;
            switch (it.pages) {
            case TemplateItem::Pages::All:
                break;
            case TemplateItem::Pages::First:
                if (page != 1)
                    continue;
                break;
            case TemplateItem::Pages::Last:
                if (!last)
                    continue;
                break;
            case TemplateItem::Pages::NotLast:
                if (last)
                    continue;
                break;
            }

            auto drawLine = [&](const QString& text, double top) {
                if (text.isEmpty())
                    return;
                double x = p.x;
                if (it.align != Qt::AlignLeft) {
                    const double w = QFontMetricsF(p.font, device).horizontalAdvance(text);
                    x += it.align == Qt::AlignRight ? p.boxWidth - w : (p.boxWidth - w) / 2;
                    x = std::max(x, p.x);
                }
                if (p.clip) {
                    painter.save();
                    painter.setClipRect(QRectF(p.x, top, p.boxWidth, p.step * 2),
                                        Qt::IntersectClip);
                    painter.drawText(QPointF(x, top + p.ascent), text);
                    painter.restore();
                } else {
                    painter.drawText(QPointF(x, top + p.ascent), text);
                }
            };

            switch (it.kind) {
            case TemplateItem::Kind::Letterhead:
            case TemplateItem::Kind::Header:
            case TemplateItem::Kind::Totals:
                painter.setFont(p.font);
                painter.setPen(it.color);
                for (int i = 0; i < p.lines.size(); ++i)
                    drawLine(p.lines.at(i), p.y + i * p.step);
                break;
            case TemplateItem::Kind::Body: {
                const int from = (page - 1) * rows;
                const int to = std::min<int>(from + rows, static_cast<int>(p.lines.size()));
                if (it.fill.isValid()) {
                    // Every other row banded across the printable width, as on continuous
                    // stationery, down to the last row that holds text; each band is centred
                    // between the top of the capitals and the foot of the descenders.
                    int used = to;
                    while (used > from && isBlank(p.lines.at(used - 1)))
                        --used;
                    const QFontMetricsF fm(p.font, device);
                    const double middle = fm.ascent() - fm.capHeight() / 2 + fm.descent() / 2;
                    for (int r = 1; r < used - from; r += 2) {
                        const double centre = p.y + r * p.step + middle;
                        painter.fillRect(
                            QRectF(areaPx.left(), centre - p.step / 2, areaPx.width(), p.step),
                            it.fill);
                    }
                }
                painter.setFont(p.font);
                painter.setPen(it.color);
                for (int r = from; r < to; ++r)
                    drawLine(p.lines.at(r), p.y + (r - from) * p.step);
                break;
            }
            case TemplateItem::Kind::Text: {
                QString text = it.text;
                text.replace(QStringLiteral("{page}"), QString::number(page));
                text.replace(QStringLiteral("{pages}"), QString::number(m_pageCount));
                painter.setFont(p.font);
                painter.setPen(it.color);
                drawLine(text, p.y);
                break;
            }
            case TemplateItem::Kind::Line: {
                QPen pen(it.color, px(it.pen));
                pen.setCapStyle(Qt::FlatCap);
                painter.setPen(pen);
                painter.drawLine(QPointF(px(it.x), py(it.y)), QPointF(px(it.x2), py(it.y2)));
                break;
            }
            case TemplateItem::Kind::Box: {
                const QRectF r(px(it.x), py(it.y), px(it.width), py(it.height));
                if (it.pen > 0) {
                    QPen pen(it.color, px(it.pen));
                    pen.setJoinStyle(Qt::MiterJoin);
                    painter.setPen(pen);
                } else {
                    painter.setPen(Qt::NoPen);
                }
                painter.setBrush(it.fill.isValid() ? QBrush(it.fill) : QBrush(Qt::NoBrush));
                if (it.radius > 0)
                    painter.drawRoundedRect(r, px(it.radius), py(it.radius));
                else
                    painter.drawRect(r);
                painter.setBrush(Qt::NoBrush);
                break;
            }
            case TemplateItem::Kind::Logo: {
                const QRectF box(px(it.x), py(it.y), px(it.width), py(it.height));
                QSizeF size = QSizeF(it.image.size()).scaled(box.size(), Qt::KeepAspectRatio);
                double left = box.left();
                if (it.align == Qt::AlignHCenter)
                    left += (box.width() - size.width()) / 2;
                else if (it.align == Qt::AlignRight)
                    left += box.width() - size.width();
                const QRectF target(QPointF(left, box.top() + (box.height() - size.height()) / 2),
                                    size);
                painter.setRenderHint(QPainter::SmoothPixmapTransform);
                painter.drawImage(target, it.image);
                break;
            }
            }
        }
    }
    if (!painter.end())
        return {ReportError::PrintRefused,
                QStringLiteral("La stampante non ha accettato il lavoro")};
    return Failure::none();
}
