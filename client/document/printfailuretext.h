#pragma once

#include "failure.h"

#include <QString>

// What the people at a workstation, and the server's queue, read when a document did not print.
// A failure is named by what failed (stampante, carta intestata, modello, database, disco,
// archivio), never all "stampante", and keeps its number:
//   line   "Errore carta intestata: 20507 - Manca l'intestazione della ditta 7 ..." (list, log)
//   reason "Manca la carta intestata della ditta 7" (short; sent to the server for its queue)
//   notice what is wrong, where it is mended, and that the document will be printed by itself
//          once it is (the server offers it again until it prints).
struct PrintFailureText {
    int number = 0;
    QString line;
    QString reason;
    QString notice;
};

// companyCode and reportName (without ".rpt") are the document's; fileName its print file's name.
PrintFailureText describePrintFailure(const Failure& failure, int companyCode,
                                      const QString& reportName, const QString& fileName);

// A document that printed but whose archive copy could not be written: it is done with, and must
// not be printed again. The notice says so, and where the archive folder is set.
QString archiveFailureNotice(const Failure& failure, const QString& fileName);

// A failure description without what only a developer or technician needs: a leading
// "<file>:<line>: ", a closing "(...)" with the database's or the system's own words, and the
// folders of file paths (a path keeps its file name, unquoted).
QString plainReason(const QString& description);
