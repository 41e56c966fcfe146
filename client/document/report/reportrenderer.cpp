#include "reportrenderer.h"

#include "devicescale.h"
#include "itemplacement.h"
#include "pagepainter.h"
#include "printableline.h"
#include "reportdata.h"
#include "reporterrors.h"
#include "reporttemplate.h"

#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>

ReportRenderer::ReportRenderer(const ReportTemplate& tpl, const ReportData& data)
    : m_tpl(tpl), m_data(data) {
    const int rows = tpl.body().rows;
    qsizetype used = data.body.size();
    while (used > 0 && isBlankLine(data.body.at(used - 1)))
        --used;
    m_pageCount = std::max<int>(1, static_cast<int>((used + rows - 1) / rows));
}

QPageLayout ReportRenderer::pageLayout() const {
    return QPageLayout(m_tpl.pageSize, m_tpl.orientation, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Millimeter);
}

Failure ReportRenderer::render(QPagedPaintDevice* device) const {
    QPainter painter;
    if (!painter.begin(device))
        return {
            ReportError::PrintRefused,
            QStringLiteral("La stampante non accetta il lavoro (impossibile iniziare la pagina)")};

    const DeviceScale scale{static_cast<double>(device->logicalDpiX()),
                            static_cast<double>(device->logicalDpiY())};
    const QList<PlacedItem> items = placeItems(m_tpl, m_data, m_pageCount, scale, device);
    PagePainter pages(painter, device, scale, m_tpl.printableArea(), m_pageCount,
                      m_tpl.body().rows);
    for (int page = 1; page <= m_pageCount; ++page) {
        if (page > 1 && !device->newPage()) {
            painter.end();
            return {ReportError::PrintRefused,
                    QStringLiteral("La stampante non accetta il lavoro (pagina %1)").arg(page)};
        }
        for (const PlacedItem& item : items)
            pages.draw(item, page);
    }
    if (!painter.end())
        return {ReportError::PrintRefused,
                QStringLiteral("La stampante non ha accettato il lavoro")};
    return Failure::none();
}
