#pragma once

#include "failure.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// One statement of a template line, split into words:
//   keyword  key=value  key="value with blanks"  flag  "quoted text"   # comment
// Quoted texts take \" and \\ as escapes. A # at the start of a word begins a comment;
// inside a word (color=#1f3a5f) it is part of it.
struct TemplateStatement {
    QString keyword;                        // empty for a blank or comment-only line
    QList<QPair<QString, QString>> options; // key=value, in the order written
    QStringList flags;                      // bare words after the keyword
    QStringList texts;                      // quoted texts
};

class TemplateTokenizer {
public:
    // Splits one line. A malformed line gives ReportError::BadTemplate with the reason (Italian)
    // as its description; the caller adds the file name and line number.
    static Failure split(const QString& line, TemplateStatement& out);
};
