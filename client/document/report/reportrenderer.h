#pragma once

#include "failure.h"

#include <QPageLayout>

class QPagedPaintDevice;
class ReportTemplate;
struct ReportData;

// Lays one document out on the pages of a template and draws it with QPainter. The body runs over
// as many pages as it needs (rows per page from the template; blank rows at the end of the
// document start no page of their own), header and letterhead repeat on every page, the totals
// go on the last one. How lines are fitted to their place: see placeItems.
class ReportRenderer {
public:
    ReportRenderer(const ReportTemplate& tpl, const ReportData& data);

    int pageCount() const { return m_pageCount; }
    // The sheet of the template with no margins: positions count from the paper's corner.
    QPageLayout pageLayout() const;

    // Begins a painter on the device (its page layout already set), draws every page, ends it.
    // A device that refuses the painter gives ReportError::PrintRefused.
    Failure render(QPagedPaintDevice* device) const;

private:
    const ReportTemplate& m_tpl;
    const ReportData& m_data;
    int m_pageCount = 1;
};
