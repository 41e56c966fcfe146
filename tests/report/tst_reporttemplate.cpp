// Template files: the shipped templates parse with the print files' geometry, and every kind of
// fault is reported with the template's file name and line number.
#include "reporterrors.h"
#include "reporttemplate.h"
#include "templatetokenizer.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

class TestReportTemplate : public QObject {
    Q_OBJECT

private slots:
    void shippedTemplates_data();
    void shippedTemplates();
    void tokenizer();
    void faults_data();
    void faults();
    void missingFile();
    void notUtf8();
    void optionsApplied();
    void companyLogo();
};

void TestReportTemplate::shippedTemplates_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("headerLines");
    QTest::addColumn<int>("bodyRows");
    QTest::newRow("ODL") << "ODL" << 14 << 40;
    QTest::newRow("PRE") << "PRE" << 14 << 35;
    QTest::newRow("FOM") << "FOM" << 16 << 24;
    QTest::newRow("FVV") << "FVV" << 14 << 34;
}

void TestReportTemplate::shippedTemplates() {
    QFETCH(QString, name);
    QFETCH(int, headerLines);
    QFETCH(int, bodyRows);
    ReportTemplate tpl;
    const Failure f =
        ReportTemplate::load(QStringLiteral(VELARIX_SOURCE_DIR "/templates/") + name + ".rpt", tpl);
    QVERIFY2(f.ok(), qPrintable(f.description));
    QCOMPARE(tpl.body().rows, bodyRows);
    QCOMPARE(tpl.pageSize.id(), QPageSize::A4);
    QCOMPARE(tpl.orientation, QPageLayout::Portrait);

    // Every header, totals and letterhead field is placed exactly once.
    QMap<TemplateItem::Kind, QList<int>> placed;
    bool hasLogo = false, hasPageNumber = false;
    for (const TemplateItem& it : tpl.items) {
        for (int n = it.first; n <= it.last; ++n)
            if (it.kind == TemplateItem::Kind::Header || it.kind == TemplateItem::Kind::Totals ||
                it.kind == TemplateItem::Kind::Letterhead)
                placed[it.kind] << n;
        hasLogo |= it.kind == TemplateItem::Kind::Logo && !it.image.isNull();
        hasPageNumber |= it.kind == TemplateItem::Kind::Text && it.text.contains("{page}") &&
                         it.text.contains("{pages}");
        if (it.kind == TemplateItem::Kind::Totals)
            QCOMPARE(it.pages, TemplateItem::Pages::Last);
    }
    auto range = [](int n) {
        QList<int> r;
        for (int i = 1; i <= n; ++i)
            r << i;
        return r;
    };
    QCOMPARE(placed.value(TemplateItem::Kind::Header), range(headerLines));
    QCOMPARE(placed.value(TemplateItem::Kind::Totals), range(14));
    QCOMPARE(placed.value(TemplateItem::Kind::Letterhead), range(8));
    QVERIFY(hasLogo);
    QVERIFY(hasPageNumber);

    // The body block stays inside the printable area of the sheet.
    const TemplateItem& body = tpl.body();
    const QRectF area = tpl.printableArea();
    QVERIFY(body.y + body.rows * body.step <= area.bottom());
    QVERIFY(body.x + body.width <= area.right());
}

void TestReportTemplate::tokenizer() {
    TemplateStatement st;
    QVERIFY(
        TemplateTokenizer::split(
            R"(  TEXT x=1,5 color=#1f3a5f family="Liberation Mono" bold "Il \"Totale\" è \\ €" # nota)",
            st)
            .ok());
    QCOMPARE(st.keyword, QString("text"));
    QCOMPARE(st.options.size(), 3);
    QCOMPARE(st.options.at(0), (QPair<QString, QString>("x", "1,5")));
    QCOMPARE(st.options.at(1), (QPair<QString, QString>("color", "#1f3a5f")));
    QCOMPARE(st.options.at(2), (QPair<QString, QString>("family", "Liberation Mono")));
    QCOMPARE(st.flags, QStringList{"bold"});
    QCOMPARE(st.texts, QStringList{QString::fromUtf8("Il \"Totale\" è \\ €")});

    QVERIFY(TemplateTokenizer::split("   # solo commento", st).ok());
    QVERIFY(st.keyword.isEmpty());

    // A malformed line says why; the template reader adds where.
    const Failure f = TemplateTokenizer::split("text x=\"1", st);
    QCOMPARE(f.number, ReportError::BadTemplate);
    QCOMPARE(f.description, QString("virgolette non chiuse"));
}

void TestReportTemplate::faults_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("message");

    const QString body = "body x=10 y=50 rows=40 step=4\n";
    QTest::newRow("unknown keyword") << "page size=A4\n\nhedaer line=1 x=1 y=1\n" + body << 3
                                     << "parola chiave sconosciuta \"hedaer\"";
    QTest::newRow("open quote") << body + "text x=1 y=1 \"Pagina\n" << 2 << "virgolette non chiuse";
    QTest::newRow("unknown option") << body + "box x=1 y=1 width=2 height=2 colour=red\n"
                                    << 2 << "opzione sconosciuta \"colour\" per \"box\"";
    QTest::newRow("repeated option")
        << "# intestazione\n" + body + "line x1=1 y1=1 x2=2 y2=2 x1=3\n"
        << 3 << "opzione \"x1\" ripetuta";
    QTest::newRow("not a number") << body + "line x1=1 y1=uno x2=2 y2=2\n"
                                  << 2 << "\"uno\" non è un numero";
    QTest::newRow("nan is no number") << body + "text x=nan y=1 \"a\"\n"
                                      << 2 << "\"nan\" non è un numero";
    QTest::newRow("off the sheet") << body + "text x=250 y=1 \"a\"\n"
                                   << 2 << "x=250 fuori dai limiti";
    QTest::newRow("header field 17") << body + "header line=1..17 x=1 y=1 step=3\n"
                                     << 2 << "line=1..17 fuori dai limiti 1..16";
    QTest::newRow("totals field 0") << body + "totals line=0..3 x=1 y=1\n"
                                    << 2 << "fuori dai limiti 1..14";
    QTest::newRow("letterhead range") << body + "letterhead line=a..b x=1 y=1\n"
                                      << 2 << "line=a..b non valido";
    QTest::newRow("missing option") << body + "letterhead line=1 x=1\n"
                                    << 2 << "manca l'opzione \"y\"";
    QTest::newRow("undeclared font")
        << "font name=a family=Arial size=9\n" + body +
               "text x=1 y=1 font=b \"x\"\nfont name=c family=Arial size=9\n"
        << 3 << "carattere \"b\" non dichiarato";
    QTest::newRow("body twice") << body + "\n" + body << 3 << "\"body\" ripetuto (già alla riga 1)";
    QTest::newRow("no body") << "page size=A4\ntext x=1 y=1 \"a\"\n"
                             << 2 << "manca la riga \"body\"";
    QTest::newRow("body off the sheet") << "body x=10 y=100 rows=60 step=4\n"
                                        << 1 << "oltre il fondo del foglio";
    QTest::newRow("rows not whole") << "body x=10 y=10 rows=4.5\n" << 1 << "numero intero";
    QTest::newRow("text without text") << body + "text x=1 y=1\n" << 2 << "senza testo";
    QTest::newRow("bad colour") << body + "line x1=1 y1=1 x2=2 y2=2 color=blu-ish\n"
                                << 2 << "colore non valido";
    QTest::newRow("bad pages") << body + "box x=1 y=1 width=2 height=2 pages=odd\n"
                               << 2 << "pages=odd non valido";
    QTest::newRow("bad page size") << "page size=B7\n" + body << 1 << "formato \"B7\" sconosciuto";
    QTest::newRow("logo missing") << body + "logo file=nologo.png x=1 y=1 width=9 height=9\n"
                                  << 2 << "nologo.png\" non trovata";
    QTest::newRow("unknown flag") << "font name=a family=Arial size=9 heavy\n" + body << 1
                                  << "parola sconosciuta \"heavy\"";
    QTest::newRow("quote inside word") << body + "text x=1 y=1 ab\"c\"\n" << 2 << "virgolette";
    QTest::newRow("text glued to a word") << body + "text x=1 y=1 \"a\"b\n"
                                          << 2 << "manca uno spazio";
    QTest::newRow("text first") << body + "\"a\" text x=1 y=1\n"
                                << 2 << "cominciare con una parola";
    QTest::newRow("option without name") << body + "text =1 \"a\"\n"
                                         << 2 << "senza nome di opzione";
    QTest::newRow("two equals") << body + "text x=1=2 y=1 \"a\"\n"
                                << 2 << "valore non valido per l'opzione \"x\"";
    QTest::newRow("empty value") << body + "text x= y=1 \"a\"\n"
                                 << 2 << "l'opzione \"x\" non ha valore";
}

void TestReportTemplate::faults() {
    QFETCH(QString, text);
    QFETCH(int, line);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath("ODL_001.rpt");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
    file.close();

    ReportTemplate tpl;
    const Failure f = ReportTemplate::load(path, tpl);
    QCOMPARE(f.number, ReportError::BadTemplate);
    const QString where = path + ':' + QString::number(line) + ": ";
    QVERIFY2(f.description.startsWith(where), qPrintable(f.description));
    QVERIFY2(f.description.contains(message), qPrintable(f.description));
}

void TestReportTemplate::missingFile() {
    QTemporaryDir dir;
    ReportTemplate tpl;
    const Failure f = ReportTemplate::load(dir.filePath("FVV.rpt"), tpl);
    QCOMPARE(f.number, ReportError::MissingTemplate);
    QVERIFY(f.description.contains(dir.filePath("FVV.rpt")));
}

void TestReportTemplate::notUtf8() {
    QTemporaryDir dir;
    const QString path = dir.filePath("PRE.rpt");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    // A technician's editor saved it in Windows-1252: "Quantità" with à as 0xE0.
    file.write("body x=10 y=50 rows=40 step=4\n\ntext x=1 y=1 \"Quantit\xE0\"\n");
    file.close();
    ReportTemplate tpl;
    const Failure f = ReportTemplate::load(path, tpl);
    QCOMPARE(f.number, ReportError::BadTemplate);
    QVERIFY2(f.description.startsWith(path + ":3: "), qPrintable(f.description));
}

void TestReportTemplate::optionsApplied() {
    ReportTemplate tpl;
    const Failure f =
        ReportTemplate::parse("\xEF\xBB\xBFpage size=A5 orientation=landscape\r\n"
                              "margins left=5 top=6 right=7 bottom=8\r\n"
                              "font name=t family=\"Liberation Sans\" size=10,5 bold italic\r\n"
                              "body x=10 y=20 rows=20 step=4,5 font=t stripe=#f1f4f8\r\n"
                              "totals line=3..5 x=10 y=110 pages=all align=right width=80\r\n"
                              "box x=1 y=2 width=30 height=20 fill=#eeeeee radius=2 pen=0\r\n",
                              "x.rpt", ".", tpl);
    QVERIFY2(f.ok(), qPrintable(f.description));
    QCOMPARE(tpl.paperSize().toSize(), QSize(210, 148));
    QCOMPARE(tpl.printableArea(), QRectF(5, 6, 210 - 12, 148 - 14));
    const TemplateFont font = tpl.fonts.value("t");
    QCOMPARE(font.size, 10.5);
    QVERIFY(font.bold && font.italic);
    QCOMPARE(tpl.body().step, 4.5);
    QCOMPARE(tpl.body().fill, QColor("#f1f4f8"));
    const TemplateItem& totals = tpl.items.at(1);
    QCOMPARE(totals.first, 3);
    QCOMPARE(totals.last, 5);
    QCOMPARE(totals.pages, TemplateItem::Pages::All);
    QCOMPARE(totals.align, Qt::AlignRight);
    QCOMPARE(tpl.items.at(2).fill, QColor("#eeeeee"));
}

// Each company prints its own logo where one lies beside the shared one, else the shared one; a
// company added later without a picture of its own gets the shared logo, not another's.
void TestReportTemplate::companyLogo() {
    QTemporaryDir dir;
    const QList<QPair<QString, QColor>> pictures = {
        {"logo.png", Qt::red}, {"logo_007.png", Qt::blue}, {"logo_12.png", Qt::green}};
    for (const auto& [name, color] : pictures) {
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(color);
        QVERIFY(image.save(dir.filePath(name)));
    }
    const QList<QPair<int, QColor>> expected = {
        {7, Qt::blue}, {12, Qt::green}, {3, Qt::red}, {70, Qt::red}, {0, Qt::red}};
    for (const auto& [company, color] : expected) {
        ReportTemplate tpl;
        QVERIFY(ReportTemplate::parse("page size=A4\nlogo file=logo.png x=10 y=10 width=20 "
                                      "height=20\nbody x=10 y=40 rows=10 step=4\n",
                                      "L.rpt", dir.path(), tpl)
                    .ok());
        tpl.useCompanyLogos(company);
        QCOMPARE(tpl.items.constFirst().image.pixelColor(1, 1), color);
    }
}

QTEST_GUILESS_MAIN(TestReportTemplate)
#include "tst_reporttemplate.moc"
