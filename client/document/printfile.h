#pragma once

#include "failure.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One body line of a document: its number (from 1, running on across pages) and its text, cut to
// 80 characters (or 80 blanks for a filler line of an ODL/PRE page that ended early).
struct PrintBodyLine {
    int number = 0;
    QString text;
};

// How far the reading of one page got, so that the import can show the progress lines of each
// page in the order the page was read.
struct PrintPage {
    enum class Break { None, Header, Body, Totals };

    int number = 0;    // page number as shown in "Preparo: Testata Pagina n"
    int firstBody = 0; // index of the page's first line in PrintDocument::body
    int bodyCount = 0; // body lines of this page (fillers included)
    Break broken = Break::None;
};

// Everything the client takes from one print file.
struct PrintDocument {
    enum class Outcome {
        NoDocument, // no page was read: nothing to print, the file is done with
        BrokenPage, // a page was broken off (short file, failed read): print nothing, keep the file
        Complete    // at least one page and no broken page: write the tables and print
    };

    QString kind; // "ODL", "PRE", "FOM", "FVV"; empty when no known document code was found
    QString code; // document code of the recognised document-start line ("01", "02", "10", "11")
    int headerLineCount = 0;
    int bodyLineCount = 0;
    int copiesEntry = -1; // position of the kind's copy count in the copies table
    int branch = 0;       // branch number of the control line after the recognised start line

    // One entry per document-start line met (a line beginning with "@" that holds a "^"), in file
    // order: the kind it selected, or an empty string for an unknown code.
    QStringList startKinds;

    QStringList header;        // header lines of page 1, one leading vertical tab removed
    QList<PrintBodyLine> body; // body lines of every page
    QStringList totals;        // always 14 entries, empty where no totals line was gathered
    QList<PrintPage> pages;    // pages in reading order (the last one may be broken)

    Outcome outcome = Outcome::NoDocument;
    // Set when the data ended by a failed read instead of the end of the file.
    Failure readFailure;

    int pageCount() const { return int(pages.size()); }
};

// The print-file reader: a pure function of the file's bytes. A carriage return ends a line and a
// line feed right after it belongs to the line end; every other byte (a lone line feed, NUL, form
// feeds inside a line) is kept. Lines are decoded with TextCodec; only the lines that are kept are
// decoded and copied.
class PrintFile {
public:
    static constexpr int BodyWidth = 80;
    static constexpr int TotalsLines = 14;

    // Reads a whole file. When readFailure is set, the bytes stop where reading failed: reading
    // past them fails (as a broken read) instead of meeting the end of the file.
    static PrintDocument read(const QByteArray& bytes, const Failure& readFailure = {});

    // Company code of a delivered path: the numeric value of the three characters in front of the
    // four-character extension; 0 becomes 1.
    static int companyCodeFromPath(const QString& path);

    // Report name of a kind: kind, then "_" + company (3 digits) when perCompany, then "-" +
    // branch (2 digits) when perBranch and branch > 0. An empty kind gives an empty name.
    static QString reportName(const QString& kind, int company, int branch, bool perCompany,
                              bool perBranch);

    // Numeric value of a text: blanks ignored, read as a decimal number from its start up to the
    // first character that cannot continue it; no digits gives 0. Rounded half to even.
    static qint64 numericValue(QStringView text);

    // Whole-number value of a copies setting; false when the text is not a number.
    static bool wholeNumber(const QString& text, int* value);
};
