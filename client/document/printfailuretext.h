#pragma once

#include "failure.h"

#include <QString>

// What the people at a workstation read when a document did not print: "Errore stampante: " +
// number, then " - " and the failure's reason, so the list, the log and the notice say why
// ("Errore stampante: 20502 - immagine logo.png non trovata"). The log keeps the whole
// description in its "Stampa Err." line for the technician.
QString printFailureText(const Failure& failure);

// A failure description without what only a developer or technician needs: a leading
// "<file>:<line>: ", a closing "(...)" with the database's or the system's own words, and the
// folders of file paths (a path keeps its file name, unquoted).
QString plainReason(const QString& description);
