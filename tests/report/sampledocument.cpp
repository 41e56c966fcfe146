#include "sampledocument.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

QString fit(const QString& text, int width = 80) {
    return text.leftJustified(width, u' ', true);
}

QString money(double value) {
    // Italian amounts: thousands with '.', decimals with ','.
    QString s = QString::number(value, 'f', 2);
    QString whole = s.section(u'.', 0, 0);
    const QString cents = s.section(u'.', 1, 1);
    for (int i = static_cast<int>(whole.size()) - 3; i > 0; i -= 3)
        whole.insert(i, u'.');
    return whole + u',' + cents;
}

struct Item {
    const char* code;
    const char* text;
    double quantity;
    double price;
};

const Item Items[] = {
    {"0986494524", "Pastiglie freno anteriori", 1, 48.5},
    {"MO-FRENI", "Manodopera: sostituzione pastiglie", 1.5, 42},
    {"OL-5W30-1L", "Olio motore 5W30 sintetico (litri)", 4, 12.9},
    {"F-OLIO-FIAT", "Filtro olio originale", 1, 14.2},
    {"F-ARIA-0455", "Filtro aria abitacolo ai carboni attivi", 1, 27.8},
    {"MO-TAGLIANDO", "Manodopera: tagliando 45.000 km", 2, 42},
    {"CIN-DISTR", "Kit cinghia distribuzione + pompa acqua", 1, 289},
    {"LAV-INT", "Lavaggio interno ed esterno (omaggio)", 1, 0},
    {"SPAZZ-650", "Spazzole tergicristallo anteriori", 2, 19.5},
    {"DIAG-OBD", "Diagnosi elettronica centralina", 1, 35},
    {"PNEU-19565", "Pneumatico 195/65 R15 91H invernale", 4, 78.4},
    {"EQUIL", "Equilibratura e convergenza", 1, 45},
};

// The kind's header lines: title, customer, vehicle and the column headings of the body.
QStringList sampleHeader(const QString& kind, int headerLines) {
    const QString title = kind.startsWith(QStringLiteral("PRE"))   ? QStringLiteral("PREVENTIVO")
                          : kind.startsWith(QStringLiteral("FOM")) ? QStringLiteral("FATTURA")
                          : kind.startsWith(QStringLiteral("FVV"))
                              ? QStringLiteral("FATTURA VENDITA VEICOLO")
                              : QStringLiteral("ORDINE DI LAVORO");
    QStringList header{
        fit(QStringLiteral("                                             %1 N. 2026/001234")
                .arg(title)),
        fit(QStringLiteral(
            "                                             Data: 07/12/2026   Pag. 1")),
        fit(QString()),
        fit(QStringLiteral("Spett.le  Bianchi Niccolò & C. S.a.s.        Cod. cliente: 004512")),
        fit(QStringLiteral("          Via Garibaldi, 12                  P.IVA: 01234567890")),
        fit(QStringLiteral("          20121 Città di Milano (MI)         Cond. pag.: 30 gg d.f.")),
        fit(QString()),
        fit(QStringLiteral("Veicolo: Fiat Panda 1.2 Easy    Targa: GA 123 BC    Km: 45.230")),
        fit(QStringLiteral(
            "Telaio: ZFA31200003456789       Immatric.: 03/2019  Accettatore: Sig.ra Lucà")),
        fit(QStringLiteral(
            "Lavori richiesti: tagliando, controllo freni, rumore sospensione anteriore")),
        fit(QString()),
        fit(QString(80, u'-')),
        fit(QStringLiteral(
            "Codice        Descrizione                          Q.tà    Prezzo €   Importo €")),
        fit(QString(80, u'-')),
    };
    while (header.size() < headerLines)
        header.insert(
            11,
            fit(QStringLiteral(
                "Riferimento ordine: DDT n. 4567 del 02/12/2026 - Reparto: officina meccanica")));
    return header;
}

// Whole pages of item rows; total adds up their amounts.
QStringList sampleBody(int bodyLines, int pages, double& total) {
    QStringList body;
    int n = 0;
    for (int page = 1; page <= pages; ++page) {
        // A full page, except the last which ends early and is padded with blank rows.
        const int filled = page < pages ? bodyLines : std::max(1, bodyLines * 2 / 3);
        for (int r = 0; r < bodyLines; ++r) {
            if (r >= filled) {
                body << QString(80, u' ');
                continue;
            }
            const Item& it = Items[n++ % (sizeof(Items) / sizeof(Items[0]))];
            const double amount = it.quantity * it.price;
            total += amount;
            body << fit(QStringLiteral("%1 %2 %3 %4 %5")
                            .arg(QString::fromUtf8(it.code).leftJustified(13, u' ', true))
                            .arg(QString::fromUtf8(it.text).leftJustified(36, u' ', true))
                            .arg(money(it.quantity), 5)
                            .arg(money(it.price), 11)
                            .arg(money(amount), 11));
        }
    }
    return body;
}

QStringList sampleTotals(double total) {
    const double vat = total * 0.22;
    return QStringList{
        fit(QString(80, u'-')),
        fit(QStringLiteral(
            "Note: è necessario ritirare il veicolo entro le ore 18 del giorno successivo.")),
        fit(QString()),
        fit(QStringLiteral("                                          Totale imponibile € %1")
                .arg(money(total), 15)),
        fit(QStringLiteral("                                          IVA 22%            € %1")
                .arg(money(vat), 15)),
        fit(QStringLiteral("                                          Sconto             € %1")
                .arg(money(0), 15)),
        fit(QStringLiteral("                                          TOTALE DOCUMENTO   € %1")
                .arg(money(total + vat), 15)),
        fit(QString()),
        fit(QStringLiteral(
            "Pagamento: bonifico bancario - IBAN IT60 X054 2811 1010 0000 0123 456")),
        fit(QStringLiteral("Garanzia ricambi 24 mesi; manodopera garantita 12 mesi.")),
        fit(QString()),
        fit(QStringLiteral("Firma del cliente per accettazione: ______________________________")),
        fit(QString()),
        QStringLiteral("Documento emesso ai sensi del D.P.R. 633/72 - operazione soggetta a IVA "
                       "ordinaria - grazie per la preferenza"),
    };
}

} // namespace

SampleDocument::Geometry SampleDocument::geometry(const QString& kind) {
    if (kind.startsWith(QStringLiteral("PRE")))
        return {14, 35};
    if (kind.startsWith(QStringLiteral("FOM")))
        return {16, 24};
    if (kind.startsWith(QStringLiteral("FVV")))
        return {14, 34};
    return {14, 40};
}

SampleDocument::SampleDocument(QString kind, int companyCode, int pages)
    : m_kind(std::move(kind)), m_company(companyCode) {
    const Geometry g = geometry(m_kind);
    header = sampleHeader(m_kind, g.headerLines);
    double total = 0;
    body = sampleBody(g.bodyLines, pages, total);
    totals = sampleTotals(total);
}

SampleDocument SampleDocument::bodyOnly(const QString& kind, int companyCode, int pages) {
    SampleDocument doc(kind, companyCode, 1);
    const Geometry g = geometry(kind);
    doc.header = QStringList();
    doc.totals = QStringList();
    doc.body.clear();
    SampleDocument full(kind, companyCode, 2);
    for (int i = 0; i < g.bodyLines * pages; ++i)
        doc.body << full.body.at(i % g.bodyLines);
    return doc;
}

namespace {

class Connection {
public:
    explicit Connection(const QString& path) {
        static int counter = 0;
        m_name = QStringLiteral("sampledocument_%1").arg(++counter);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.open();
    }
    ~Connection() {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
};

QString createTables(QSqlDatabase db) {
    QStringList testo, totali, ditta;
    for (int i = 1; i <= 16; ++i)
        testo << QStringLiteral("Testo%1 TEXT").arg(i);
    for (int i = 1; i <= 14; ++i)
        totali << QStringLiteral("Testo%1 TEXT").arg(i);
    for (int i = 1; i <= 8; ++i)
        ditta << QStringLiteral("Intestazione%1 TEXT").arg(i);
    const QStringList statements{
        QStringLiteral("CREATE TABLE IF NOT EXISTS Testata (Codice INTEGER, %1)")
            .arg(testo.join(u',')),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS Riga (Codice INTEGER, Riga INTEGER, Testo TEXT)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS Totali (Codice INTEGER, %1)")
            .arg(totali.join(u',')),
        QStringLiteral("CREATE TABLE IF NOT EXISTS Ditta (Codice INTEGER, %1)")
            .arg(ditta.join(u','))};
    for (const QString& s : statements) {
        QSqlQuery q(db);
        if (!q.exec(s))
            return q.lastError().text();
    }
    return {};
}

} // namespace

QString SampleDocument::write(const QString& databasePath) const {
    Connection c(databasePath);
    QSqlDatabase db = c.db();
    if (!db.isOpen())
        return db.lastError().text();
    if (QString e = createTables(db); !e.isEmpty())
        return e;
    db.transaction();
    QSqlQuery q(db);
    if (!header.isEmpty()) {
        QStringList cols{QStringLiteral("Codice")}, marks{QStringLiteral("?")};
        for (int i = 1; i <= header.size(); ++i) {
            cols << QStringLiteral("Testo%1").arg(i);
            marks << QStringLiteral("?");
        }
        q.prepare(QStringLiteral("INSERT INTO Testata (%1) VALUES (%2)")
                      .arg(cols.join(u','), marks.join(u',')));
        q.addBindValue(m_company);
        for (const QString& h : header)
            q.addBindValue(h);
        if (!q.exec())
            return q.lastError().text();
    }
    q.prepare(QStringLiteral("INSERT INTO Riga (Codice, Riga, Testo) VALUES (?, ?, ?)"));
    for (int i = 0; i < body.size(); ++i) {
        q.addBindValue(m_company);
        q.addBindValue(i + 1);
        q.addBindValue(body.at(i));
        if (!q.exec())
            return q.lastError().text();
    }
    if (!totals.isEmpty()) {
        QStringList cols{QStringLiteral("Codice")}, marks{QStringLiteral("?")};
        for (int i = 1; i <= totals.size(); ++i) {
            cols << QStringLiteral("Testo%1").arg(i);
            marks << QStringLiteral("?");
        }
        q.prepare(QStringLiteral("INSERT INTO Totali (%1) VALUES (%2)")
                      .arg(cols.join(u','), marks.join(u',')));
        q.addBindValue(m_company);
        for (const QString& t : totals)
            q.addBindValue(t);
        if (!q.exec())
            return q.lastError().text();
    }
    db.commit();
    return {};
}

QString SampleDocument::clear(const QString& databasePath) {
    Connection c(databasePath);
    QSqlDatabase db = c.db();
    if (QString e = createTables(db); !e.isEmpty())
        return e;
    for (const char* t : {"Testata", "Riga", "Totali"}) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("DELETE FROM ") + QLatin1String(t)))
            return q.lastError().text();
    }
    return {};
}

QString SampleDocument::loadLetterheads(const QString& databasePath) {
    QFile file(QStringLiteral(VELARIX_SOURCE_DIR "/templates/sample-letterheads.sql"));
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    Connection c(databasePath);
    QSqlDatabase db = c.db();
    if (QString e = createTables(db); !e.isEmpty())
        return e;
    for (const QString& line : lines) {
        if (!line.startsWith(QStringLiteral("DELETE")) &&
            !line.startsWith(QStringLiteral("INSERT")))
            continue;
        QSqlQuery q(db);
        if (!q.exec(line))
            return q.lastError().text() + QStringLiteral(": ") + line;
    }
    return {};
}
