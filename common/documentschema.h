#pragma once

#include "failure.h"

#include <QString>

// The one description of the tables of Documenti.mdb: Testata (Codice, Testo1..Testo16),
// Riga (Codice, Riga, Testo), Totali (Codice, Testo1..Testo14) and Ditta (Codice,
// Intestazione1..Intestazione8).
namespace DocumentSchema {
constexpr int HeaderColumns = 16;
constexpr int TotalsColumns = 14;
constexpr int LetterheadLines = 8;

// Creates an empty database with the four tables; an existing file is left alone (its missing
// tables are added).
Failure create(const QString& path);
} // namespace DocumentSchema
