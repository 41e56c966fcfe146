#pragma once

#include <QString>

// Line text as a printer shows it: tabs to the next multiple of 8, other control characters
// (form feed, vertical tab...) take no column.
QString printableLine(const QString& line);

// True for a line of blanks only, or an empty one: such lines print nothing.
bool isBlankLine(const QString& line);

// True for a page's "Segue a pagina 2" (or "Segue alla pagina successiva"): the note says the
// document goes on, so it is never true of the totals the last page prints.
bool isContinuationNote(const QString& line);
