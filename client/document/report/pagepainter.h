#pragma once

#include "devicescale.h"

#include <QRectF>
#include <QString>

class QPaintDevice;
class QFont;
class QPainter;
struct PlacedItem;
struct TemplateItem;

// Draws placed items on the pages of one document: the letterhead, header and totals blocks, the
// body rows of the page (banded when the template asks for it), fixed texts with their page
// numbers, rules, boxes and the logo. The painter is already active on the device.
class PagePainter {
public:
    PagePainter(QPainter& painter, QPaintDevice* device, const DeviceScale& scale,
                const QRectF& printableArea, int pageCount, int rowsPerPage);

    // Draws the item when it belongs on this page (pages=first, last, notlast...).
    void draw(const PlacedItem& p, int page);

private:
    bool isOnPage(const TemplateItem& it, int page) const;
    void drawTextLine(const PlacedItem& p, const QString& text, double top, const QFont& font,
                      bool clip);
    void drawBlock(const PlacedItem& p);
    void drawBody(const PlacedItem& p, int page);
    void drawStripes(const PlacedItem& p, int from, int to);
    void drawText(const PlacedItem& p, int page);
    void drawRule(const TemplateItem& it);
    void drawBox(const TemplateItem& it);
    void drawLogo(const TemplateItem& it);

    QPainter& m_painter;
    QPaintDevice* m_device;
    DeviceScale m_scale;
    QRectF m_area; // printable area in device pixels
    int m_pageCount;
    int m_rowsPerPage;
};
