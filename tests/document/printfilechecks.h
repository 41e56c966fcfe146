#pragma once

// What must hold for any document the reader gives, whatever bytes it was fed. Shared by the
// fuzzer and the regression test over its findings. Returns an empty string when all holds.

#include "printfile.h"

#include <QString>

inline QString printDocumentViolation(const PrintDocument& doc) {
    if (doc.totals.size() != PrintFile::TotalsLines)
        return QStringLiteral("totals not 14");
    if (doc.header.size() > doc.headerLineCount)
        return QStringLiteral("more header lines than the kind has");
    for (qsizetype i = 0; i < doc.body.size(); ++i) {
        if (doc.body[i].number != i + 1)
            return QStringLiteral("body numbers not consecutive from 1 at %1").arg(i);
        if (doc.body[i].text.size() > PrintFile::BodyWidth)
            return QStringLiteral("body line longer than 80 at %1").arg(i);
    }
    if (doc.kind.isEmpty() && (!doc.pages.isEmpty() || !doc.body.isEmpty()))
        return QStringLiteral("pages without a document kind");
    if (doc.outcome == PrintDocument::Outcome::NoDocument && !doc.pages.isEmpty())
        return QStringLiteral("no document but pages");
    if (doc.outcome != PrintDocument::Outcome::NoDocument && doc.pages.isEmpty())
        return QStringLiteral("a document without pages");
    qsizetype bodies = 0;
    for (qsizetype p = 0; p < doc.pages.size(); ++p) {
        const PrintPage& page = doc.pages[p];
        if (page.number != int(p) + 1)
            return QStringLiteral("page numbers not consecutive");
        if (page.firstBody != bodies || page.bodyCount < 0 || page.bodyCount > doc.bodyLineCount)
            return QStringLiteral("page body range wrong on page %1").arg(page.number);
        bodies += page.bodyCount;
        const bool last = p == doc.pages.size() - 1;
        if (page.broken != PrintPage::Break::None && !last)
            return QStringLiteral("a broken page that is not the last");
        // Every page but the last has its whole body.
        if (!last && page.bodyCount != doc.bodyLineCount)
            return QStringLiteral("short body on page %1").arg(page.number);
    }
    if (bodies != doc.body.size())
        return QStringLiteral("pages do not cover the body lines");
    const bool broken = !doc.pages.isEmpty() && doc.pages.last().broken != PrintPage::Break::None;
    if (broken != (doc.outcome == PrintDocument::Outcome::BrokenPage))
        return QStringLiteral("outcome does not match the last page");
    return {};
}
