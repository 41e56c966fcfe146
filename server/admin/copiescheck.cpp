#include "copiescheck.h"

#include "copiesfile.h"

#include <QDir>
#include <QFileInfo>

namespace {
const char* const Kinds[] = {"ODL", "PRE", "FOM", "FVV"};
const int UsedSlots[] = {0, 1, 3, 4};

bool isDigits(const QString& text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}
} // namespace

QString CopiesCheck::slotCaption(int slot) {
    switch (slot) {
    case 0:
    case 5:
        return QStringLiteral("Ordini/Preventivi Fronte-Retro");
    case 1:
    case 2:
        return QStringLiteral("Preordini Fronte-Retro");
    case 3:
        return QStringLiteral("Fatture/Bolle Officina");
    case 4:
        return QStringLiteral("Fatture Auto");
    default:
        return {};
    }
}

int CopiesCheck::firstInvalidSlot(const CopiesSettings& settings) {
    for (int slot = 0; slot < settings.copies.size(); ++slot) {
        if (!isDigits(settings.copies.at(slot).trimmed()))
            return slot;
    }
    return -1;
}

QStringList CopiesCheck::kindsWithoutCopies(const CopiesSettings& settings) {
    QStringList kinds;
    for (const int slot : UsedSlots) {
        if (CopiesFile::numericValue(settings.copies.value(slot)) == 0)
            kinds.append(slotCaption(slot));
    }
    return kinds;
}

QStringList CopiesCheck::missingTemplates(const QString& clientFolder, const QList<int>& companies,
                                          bool perCompany, bool perBranch) {
    const QDir folder(clientFolder);
    QStringList bases;
    for (const char* kind : Kinds) {
        if (!perCompany) {
            bases.append(QLatin1String(kind));
            continue;
        }
        for (const int company : companies)
            bases.append(QLatin1String(kind) + QLatin1Char('_') +
                         QString::number(company).rightJustified(3, QLatin1Char('0')));
    }
    QStringList missing;
    for (const QString& base : bases) {
        if (perCompany && !QFileInfo(folder.filePath(base + QStringLiteral(".rpt"))).isFile())
            missing.append(base + QStringLiteral(".rpt"));
        if (perBranch &&
            folder.entryList({base + QStringLiteral("-[0-9][0-9].rpt")}, QDir::Files).isEmpty())
            missing.append(base + QStringLiteral("-NN.rpt"));
    }
    return missing;
}
