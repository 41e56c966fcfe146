#pragma once

// Error numbers of the report engine (the range 20500 - 20599 of the table in failure.h), as a
// print returns them and the import shows them ("Errore stampante: " + number).
// docs/templates.md lists them for the technician.
namespace ReportError {
constexpr int MissingTemplate = 20501; // <ReportName>.rpt does not exist
constexpr int BadTemplate = 20502;     // cannot be read or does not parse (file:line in the text)
constexpr int DatabaseUnreadable = 20503; // Documenti.mdb missing, locked or without its tables
constexpr int NoPrinter = 20504;          // no default printer on this workstation
constexpr int PrintRefused = 20505;       // the printer refused the job / the PDF was not written
constexpr int NoDocument = 20506;         // the tables hold no document for the company code
constexpr int NoLetterhead = 20507;       // Ditta has no row for the company code
// The document printed but its PDF could not be put into the archive: logged and shown, never
// returned by a print (the document is done with all the same).
constexpr int ArchiveFailed = 20508;
} // namespace ReportError
