#pragma once

#include <QString>

class JobBook;

// Files set aside only because no company had the code their name ends in (a company saved a
// moment later, or a slip in the management program). Once the company is there they go back in
// the queue by themselves; nobody has to look for them.
namespace UnknownCompanyFiles {
// Why such a file was set aside: "codice ditta 007 sconosciuto".
QString reason(const QString& name);
// Whether a reason is one of those.
bool isReason(const QString& text);
// Puts back (logged, see JobBook::putBack) every file set aside for that reason whose company
// the codes now know. Returns how many went back.
int putBackKnown(JobBook& book);
} // namespace UnknownCompanyFiles
