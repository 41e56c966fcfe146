#pragma once

#include <QString>

// Line text as a printer shows it: tabs to the next multiple of 8, other control characters
// (form feed, vertical tab...) take no column.
QString printableLine(const QString& line);

// True for a line of blanks only, or an empty one: such lines print nothing.
bool isBlankLine(const QString& line);
