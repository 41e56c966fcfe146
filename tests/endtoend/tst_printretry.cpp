// A document that could not be printed is kept by the server and printed later, exactly once;
// one file that keeps failing never starves the others; a file nobody can print is set aside.
// Intervals are shortened with VELARIX_TIMER_SCALE (the periodic pass runs every second here) and
// the expiry with VELARIX_EXPIRY_HOURS.
#include "installation.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {
const QString WS = QStringLiteral("RETRY");

void breakTemplate(const QString& path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("questo non è un modello\n@@@\n");
}

QByteArray invoice(const QString& line) {
    return Installation::printFile(QStringLiteral("10"), WS, {QStringLiteral("FATTURA")}, {line},
                                   {QStringLiteral("TOTALE")}, 16, 24);
}
} // namespace

class TestPrintRetry : public QObject {
    Q_OBJECT

private slots:
    void failedPrintStaysPendingAndPrintsOnceMended() {
        Installation inst(60);
        QVERIFY(inst.valid());
        QVERIFY(inst.startServer());
        QVERIFY(inst.startClient(WS));
        QVERIFY(inst.waitRegistered(WS));
        const QString folder = inst.clientFolder(WS);
        const QString good = folder + QStringLiteral("/FOM.rpt.good");
        QVERIFY(QFile::copy(folder + QStringLiteral("/FOM.rpt"), good));
        breakTemplate(folder + QStringLiteral("/FOM.rpt"));

        inst.dropBytes(QStringLiteral("GUASTO.002"),
                       invoice(QStringLiteral("Riga da non perdere")));
        QTRY_VERIFY_WITH_TIMEOUT(
            !inst.clientLog(WS).filter(QStringLiteral("Errore stampante: ")).isEmpty(), 20000);
        QVERIFY(inst.clientLog(WS).filter(QStringLiteral("Stampa Ok")).isEmpty());
        QVERIFY(inst.clientLog(WS).filter(QStringLiteral("DEL:")).isEmpty());
        QCOMPARE(inst.printFolderEntries(), QStringList{QStringLiteral("GUASTO.002.PRN")});
        // Offered again by the periodic pass, failing again.
        QTRY_VERIFY_WITH_TIMEOUT(
            inst.clientLog(WS).filter(QStringLiteral("Errore stampante: ")).size() >= 2, 20000);
        QCOMPARE(inst.pdfs(WS).size(), 0);

        QVERIFY(QFile::remove(folder + QStringLiteral("/FOM.rpt")));
        QVERIFY(QFile::rename(good, folder + QStringLiteral("/FOM.rpt")));
        QTRY_COMPARE_WITH_TIMEOUT(inst.pdfs(WS).size(), 1, 20000);
        QVERIFY(inst.printMarker(WS));
        QCOMPARE(inst.printedTexts(WS).filter(QStringLiteral("Riga da non perdere")).size(), 1);
    }

    void aFailingFileDoesNotStarveTheOthers() {
        Installation inst(60);
        QVERIFY(inst.valid());
        QVERIFY(inst.startServer());
        QVERIFY(inst.startClient(WS));
        QVERIFY(inst.waitRegistered(WS));
        breakTemplate(inst.clientFolder(WS) + QStringLiteral("/FOM.rpt"));

        // First in listing order, and never printable.
        inst.dropBytes(QStringLiteral("AAA.002"), invoice(QStringLiteral("sempre in errore")));
        QTRY_VERIFY_WITH_TIMEOUT(
            !inst.clientLog(WS).filter(QStringLiteral("Errore stampante: ")).isEmpty(), 20000);
        // A file accepted earlier whose announcement was lost: only a periodic pass can find it.
        inst.dropBytes(QStringLiteral("ZZZ.001.PRN"),
                       Installation::printFile(QStringLiteral("01"), WS, {},
                                               {QStringLiteral("annuncio perso")}, {}, 14, 40));
        QTRY_COMPARE_WITH_TIMEOUT(inst.pdfs(WS).size(), 1, 30000);
        QVERIFY(inst.pdfText(inst.pdfFolder(WS) + QLatin1Char('/') + inst.pdfs(WS).first())
                    .contains(QStringLiteral("annuncio perso")));
        QCOMPARE(inst.printFolderEntries(), QStringList{QStringLiteral("AAA.002.PRN")});
    }

    void fileNobodyCanPrintIsSetAsideWithALogLine() {
        Installation inst(60);
        inst.setEnv(QStringLiteral("VELARIX_EXPIRY_HOURS"), QStringLiteral("0.0003")); // about 1 s
        QVERIFY(inst.valid());
        QVERIFY(inst.startServer());
        QVERIFY(inst.startClient(WS));
        QVERIFY(inst.waitRegistered(WS));
        breakTemplate(inst.clientFolder(WS) + QStringLiteral("/FOM.rpt"));
        inst.dropBytes(QStringLiteral("SCADUTO.002"), invoice(QStringLiteral("mai stampato")));
        QTRY_COMPARE_WITH_TIMEOUT(inst.printFolderEntries(),
                                  QStringList{QStringLiteral("SCADUTO.002.PRN.ERR")}, 40000);
        const QStringList lines = inst.serverLog().filter(QStringLiteral("SCADUTO.002.PRN"));
        QVERIFY(!lines.filter(WS).isEmpty());
        QCOMPARE(inst.pdfs(WS).size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPrintRetry)
#include "tst_printretry.moc"
