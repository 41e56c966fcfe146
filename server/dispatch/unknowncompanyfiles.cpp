#include "unknowncompanyfiles.h"

#include "companycodes.h"
#include "jobbook.h"
#include "printfilerules.h"

#include <QStringList>

namespace {
const QString Prefix = QStringLiteral("codice ditta ");
const QString Suffix = QStringLiteral(" sconosciuto");

// The code a set-aside file was refused for, or "" when it was set aside for another reason.
QString refusedCode(const PrintJob& job) {
    if (job.state != JobState::SetAside || job.cause != JobCause::UnknownCompany ||
        !UnknownCompanyFiles::isReason(job.reason))
        return {};
    return job.reason.mid(Prefix.size(), job.reason.size() - Prefix.size() - Suffix.size());
}
} // namespace

namespace UnknownCompanyFiles {

QString reason(const QString& name) {
    return Prefix + name.right(3) + Suffix;
}

bool isReason(const QString& text) {
    return text.startsWith(Prefix) && text.endsWith(Suffix);
}

int putBackKnown(JobBook& book) {
    if (!book.codes().isKnown())
        return 0;
    QStringList known;
    for (auto it = book.jobs().cbegin(); it != book.jobs().cend(); ++it) {
        const QString code = refusedCode(*it);
        if (!code.isEmpty() && book.codes().matches(PrintFileRules::endingValue(code)))
            known.append(it.key());
    }
    int returned = 0;
    for (const QString& name : known) {
        if (book.putBack(name).ok())
            ++returned;
    }
    return returned;
}

} // namespace UnknownCompanyFiles
