#pragma once

#include <QString>

// The template author's preview (VelarixCL --render FILE --pdf OUT.pdf): reads a print file as the
// import does, stores it in a scratch copy of the folder's Documenti.mdb (for the letterheads) and
// renders it through the folder's template of its report name. The company code comes from the
// file name (the three characters before ".PRN", or the last three of a file not yet renamed), the
// branch from the file. Returns the process exit code; problems are written to standard error.
int renderPreview(const QString& printFile, const QString& pdfPath, const QString& folder);
