#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct CopiesSettings;

// What "Salva" of the copies window refuses or asks about before Copie.txt is written: settings
// that would make the workstations stop printing a kind without a word.
namespace CopiesCheck {
// Caption of a copy slot as the window shows it ("Fatture Auto"); slots 2 and 5 are the second
// number of their row.
QString slotCaption(int slot);
// The first slot whose box is not a whole number of digits (an empty box included), or -1.
int firstInvalidSlot(const CopiesSettings& settings);
// Captions of the slots the workstations use (0, 1, 3, 4) that are set to 0 copies.
QStringList kindsWithoutCopies(const CopiesSettings& settings);
// Template file names a switch turned on needs and the Client folder lacks: with per-company
// reports "<KIND>_<ccc>.rpt" for every kind and company; with per-branch reports at least one
// "<name>-NN.rpt" for each name the documents without a branch print through.
QStringList missingTemplates(const QString& clientFolder, const QList<int>& companies,
                             bool perCompany, bool perBranch);
} // namespace CopiesCheck
