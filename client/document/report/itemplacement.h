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
};

// Places every item of the template for the document, in drawing order. Lines that are too wide
// for their place shrink together (so fixed-pitch columns stay aligned) down to half size, and
// are cut beyond that; the body is measured as at least 80 columns wide. Fixed texts are measured
// with the page numbers of the last page.
QList<PlacedItem> placeItems(const ReportTemplate& tpl, const ReportData& data, int pageCount,
                             const DeviceScale& scale, QPaintDevice* device);
