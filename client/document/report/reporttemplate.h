#pragma once

#include "failure.h"

#include <QColor>
#include <QHash>
#include <QImage>
#include <QList>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QString>

// A report template (<ReportName>.rpt) read into memory. The format is documented in
// docs/templates.md; every length is in millimetres from the top-left corner of the sheet and
// every font size in points. A template that cannot be read or does not parse gives a Failure
// (ReportError::MissingTemplate or ReportError::BadTemplate) whose description starts with
// "<file>:<line>: " so the technician can find the fault.
struct TemplateFont {
    QString family;
    double size = 9.0;
    bool bold = false;
    bool italic = false;
};

struct TemplateItem {
    enum class Kind { Text, Line, Box, Logo, Letterhead, Header, Body, Totals };
    enum class Pages { All, First, Last, NotLast };

    Kind kind = Kind::Text;
    Pages pages = Pages::All;
    Qt::Alignment align = Qt::AlignLeft;
    int sourceLine = 0;

    double x = 0, y = 0;          // top-left corner (text: top of the first line)
    double x2 = 0, y2 = 0;        // end point of a line
    double width = 0, height = 0; // 0: text runs to the right margin
    double step = 0;              // distance between consecutive lines
    int first = 1, last = 1;      // field numbers (Intestazione / Testo) of a line range
    int rows = 0;                 // body rows per page
    QString font;                 // font name declared with "font"
    QString text;                 // fixed text, may hold {page} and {pages}
    double pen = 0.25;            // line width of lines and boxes
    double radius = 0;            // rounded box corners
    QColor color = Qt::black;
    QColor fill;  // invalid: no fill (body: the colour of every other row)
    QImage image; // the logo, loaded when the template is read
};

class ReportTemplate {
public:
    // The font of an item without font=; always declared.
    static inline const QString DefaultFont = QStringLiteral("default");

    // Reads and parses a template file; relative logo paths are taken from the template's folder.
    static Failure load(const QString& path, ReportTemplate& out);
    // Every logo of the company's own where one lies beside the template's picture: for
    // "logo.png" and company 7, "logo_007.png" (or "logo_7.png"). The others keep the shared one.
    void useCompanyLogos(int companyCode);
    // Parses template text; fileName only serves the error texts.
    static Failure parse(const QString& text, const QString& fileName, const QString& baseFolder,
                         ReportTemplate& out);

    QPageSize pageSize = QPageSize(QPageSize::A4);
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF margins = QMarginsF(10, 10, 10, 10); // left, top, right, bottom

    QHash<QString, TemplateFont> fonts; // "default" always present
    QList<TemplateItem> items;          // drawn in this order
    int bodyItem = -1;                  // index of the body in items

    // Page size in millimetres, orientation applied.
    QSizeF paperSize() const;
    // Area inside the margins, in millimetres.
    QRectF printableArea() const;
    const TemplateItem& body() const { return items.at(bodyItem); }
};
