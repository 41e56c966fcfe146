#pragma once

#include "failure.h"

#include <QString>
#include <QStringList>

// The one description of the tables of Documenti.mdb: Testata (Codice, Testo1..Testo16),
// Riga (Codice, Riga, Testo), Totali (Codice, Testo1..Testo14) and Ditta (Codice,
// Intestazione1..Intestazione8).
namespace DocumentSchema {
constexpr int HeaderColumns = 16;
constexpr int TotalsColumns = 14;
constexpr int LetterheadLines = 8;

// The four table names, and the columns of one of them in order (empty for another name).
QStringList tables();
QStringList columns(const QString& table);
// "CREATE TABLE IF NOT EXISTS ..." for one of the four tables.
QString createStatement(const QString& table);

// Creates an empty database with the four tables; an existing file is left alone (its missing
// tables are added).
Failure create(const QString& path);
} // namespace DocumentSchema
