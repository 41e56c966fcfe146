#pragma once

#include <QFont>
#include <QList>
#include <QStringList>

class QPaintDevice;
class ReportTemplate;
struct DeviceScale;
struct ReportData;
struct TemplateItem;

// One template item ready to draw on one device: its font measured there, lengths in device
// pixels, the document's lines ready to print.
struct PlacedItem {
    const TemplateItem* item = nullptr;
    QFont font;
    double ascent = 0;
    double step = 0; // from one line to the next
    double x = 0, y = 0;
    double boxWidth = 0; // the place a text line may fill
    bool clip = false;   // some line is still too wide after shrinking
    QStringList lines;   // letterhead, header, totals and body texts, ready to print
    // Letterhead, header and totals lines fit one by one: the font of each row (the item's own
    // unless that line is too wide), whether it is still cut, and the row it prints on (a wrapped
    // line takes several). Empty for the body and texts.
    QList<QFont> lineFonts;
    QList<bool> lineClips;
    QList<int> lineSlots;
};

// Places every item of the template for the document, in drawing order. Body rows that are too
// wide for their place shrink together (so fixed-pitch columns stay aligned), and the body is
// measured as at least 80 columns wide; they shrink to half size at most and are cut beyond. A
// letterhead, header or totals line that is too wide shrinks alone, so one long line leaves the
// others at the size that lines them up with the body, but never below 8 pt: a line still too
// wide wraps onto the next rows at its declared size. Fixed texts are measured
// with the page numbers of the last page. A continuation note left among the totals by an
// earlier page is not printed.
QList<PlacedItem> placeItems(const ReportTemplate& tpl, const ReportData& data, int pageCount,
                             const DeviceScale& scale, QPaintDevice* device);
