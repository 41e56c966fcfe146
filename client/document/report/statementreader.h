#pragma once

#include "failure.h"

#include <QString>

class ReportTemplate;
struct TemplateStatement;

// Applies one statement of a template file to the template being read: "page" and "margins" set
// the sheet, "font" declares a font, every other keyword adds an item. Logo paths are taken from
// baseFolder. A fault gives ReportError::BadTemplate with the reason (Italian) alone; the caller
// adds "<file>:<line>: ".
Failure readStatement(const TemplateStatement& statement, int lineNumber, const QString& baseFolder,
                      ReportTemplate& tpl);
