#pragma once

#include <QString>
#include <QStringList>

// Builds a Documenti.mdb holding one realistic document of a kind (ODL, PRE, FOM, FVV), laid out
// as the import stores it: Testata with the kind's header lines, Riga with whole pages of body
// lines (the last page padded with blank lines), Totali, and the sample letterheads of
// templates/sample-letterheads.sql. Test and benchmark helper.
class SampleDocument {
public:
    struct Geometry {
        int headerLines;
        int bodyLines;
    };
    static Geometry geometry(const QString& kind);

    SampleDocument(QString kind, int companyCode, int pages);

    QStringList header;
    QStringList body;
    QStringList totals;

    // Creates the tables when missing and appends this document (earlier rows stay; use a fresh
    // file or clear() for a single document). Returns an empty string or the error text.
    QString write(const QString& databasePath) const;
    static QString clear(const QString& databasePath);
    static QString loadLetterheads(const QString& databasePath);

    // Body of page-only content: every row filled, no header or totals texts.
    static SampleDocument bodyOnly(const QString& kind, int companyCode, int pages);

private:
    QString m_kind;
    int m_company;
};
