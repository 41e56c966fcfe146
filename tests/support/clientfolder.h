#pragma once

#include <QList>
#include <QPair>
#include <QString>

// Lays out a server's Client folder as an installation has it: Documenti.mdb with the given
// letterheads (company code, first letterhead line), Copie.txt naming the print folder with one
// copy of everything, and the shipped templates and logo. The folder is created when missing.
// Returns false (with the reason on the test log) when something could not be written.
namespace ClientFolder {
using Letterhead = QPair<int, QString>;
bool layOut(const QString& folder, const QString& printFolder,
            const QList<Letterhead>& letterheads);
} // namespace ClientFolder
