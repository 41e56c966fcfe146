// A document that could not be printed is kept by the server and printed later, exactly once;
// one file that keeps failing never starves the others; a file nobody can print is set aside.
// Every workstation is served at once, whatever the others do, and decisions do not follow the
// wall clock. Intervals are shortened with VELARIX_TIMER_SCALE and the expiry with
// VELARIX_EXPIRY_HOURS; workstations without a client are plain sockets.
#include "../server/poolfixture.h"
#include "installation.h"

#include <QDir>
#include <QFile>
#include <QProcess>
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

QByteArray request(const Installation& inst, const QString& pending) {
    return "DIR:" + inst.sharePrintFolder().toUtf8() + pending.toUtf8() + '\r';
}

// What `velarix-admin` answers for the running server.
QString admin(const Installation& inst, const QStringList& command = {QStringLiteral("queue")}) {
    QProcess admin;
    admin.start(QStringLiteral(VELARIX_BIN_DIR "/velarix-admin"),
                QStringList{QStringLiteral("--folder"), inst.serverFolder()} + command);
    admin.waitForFinished(10000);
    return QString::fromUtf8(admin.readAllStandardOutput());
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
            !inst.clientLog(WS).filter(QStringLiteral("Errore modello: ")).isEmpty(), 20000);
        QVERIFY(inst.clientLog(WS).filter(QStringLiteral("Stampa Ok")).isEmpty());
        QVERIFY(inst.clientLog(WS).filter(QStringLiteral("DEL:")).isEmpty());
        QCOMPARE(inst.printFolderEntries(), QStringList{QStringLiteral("GUASTO.002.PRN")});
        // Offered again by the periodic pass, failing again.
        QTRY_VERIFY_WITH_TIMEOUT(
            inst.clientLog(WS).filter(QStringLiteral("Errore modello: ")).size() >= 2, 20000);
        QCOMPARE(inst.pdfs(WS).size(), 0);
        // The server's queue says why, in the workstation's words.
        QVERIFY2(inst.adminQueue().contains(QStringLiteral("stampa non riuscita")) &&
                     inst.adminQueue().contains(QStringLiteral("Modello FOM.rpt non valido")),
                 qPrintable(inst.adminQueue()));

        QVERIFY(QFile::remove(folder + QStringLiteral("/FOM.rpt")));
        QVERIFY(QFile::rename(good, folder + QStringLiteral("/FOM.rpt")));
        QTRY_COMPARE_WITH_TIMEOUT(inst.pdfs(WS).size(), 1, 20000);
        // Said once the server has been told, which is after the PDF is written.
        QTRY_VERIFY(!inst.clientLog(WS).filter(QStringLiteral("Stampato dopo ")).isEmpty());
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
            !inst.clientLog(WS).filter(QStringLiteral("Errore modello: ")).isEmpty(), 20000);
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
        // About 7 s: time for the workstation to say why before the file is set aside.
        inst.setEnv(QStringLiteral("VELARIX_EXPIRY_HOURS"), QStringLiteral("0.002"));
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
        // The reason it was set aside with is the workstation's, and outlives a restart.
        const QString reason = QStringLiteral("Modello FOM.rpt non valido");
        QVERIFY(!lines.filter(reason).isEmpty());
        inst.stopServer();
        QVERIFY(inst.startServer());
        QTRY_VERIFY_WITH_TIMEOUT(inst.adminQueue().contains(reason), 20000);
    }

    void everyWorkstationIsServedAtOnce() {
        // The periodic pass and the re-offer every 30 s: what comes sooner was offered at once.
        Installation inst(2);
        QVERIFY(inst.valid() && inst.startServer());
        const QStringList names{QStringLiteral("EST"), QStringLiteral("NORD"),
                                QStringLiteral("OVEST")};
        for (const QString& ws : names) {
            inst.drop(ws + QStringLiteral("1.001"), ws);
            inst.drop(ws + QStringLiteral("2.001"), ws);
        }
        QTRY_COMPARE(inst.printFolderEntries().filter(QStringLiteral(".PRN")).size(), 6);
        // A morning: all of them register at once, and each completes its first document at the
        // same moment; each one's next document comes at once, whatever the others do.
        std::vector<std::unique_ptr<ServerTest::Client>> stations(3);
        for (int i = 0; i < 3; ++i)
            QTRY_VERIFY(
                (stations[i] = ServerTest::registerOn(inst.basePort(), names[i].toLatin1())));
        for (int round : {1, 2}) {
            for (size_t i = 0; i < stations.size(); ++i) {
                const QByteArray dir =
                    request(inst, names[i] + QString::number(round) + ".001.PRN");
                QTRY_COMPARE_WITH_TIMEOUT(stations[i]->received(), dir, 10000);
                stations[i]->clearReceived();
                stations[i]->send("DEL:" + dir.mid(4, dir.size() - 5) + '\r');
            }
        }
        // A set-aside document put back goes to its workstation at once, and the queue names it.
        QTRY_VERIFY(inst.printFolderEntries().isEmpty());
        inst.dropBytes(QStringLiteral("RIPRESA.001.PRN.ERR"),
                       Installation::printFile(QStringLiteral("01"), names[0], {}, {}, {}, 1, 1));
        admin(inst, {QStringLiteral("put-back"), QStringLiteral("RIPRESA.001.PRN.ERR")});
        const QByteArray dir = request(inst, QStringLiteral("RIPRESA.001.PRN"));
        QTRY_COMPARE_WITH_TIMEOUT(stations[0]->received(), dir, 10000);
        QVERIFY(admin(inst).contains(QStringLiteral("RIPRESA.001.PRN\tEST\t")));
        // Its client dies: the system resets the connection. What it held waits again, and its
        // next connection (on the same port, under the same name) gets it at once.
        stations[0]->socket().abort();
        QTRY_VERIFY(!admin(inst).contains(QStringLiteral("in stampa")));
        QTRY_VERIFY((stations[0] = ServerTest::registerOn(inst.basePort(), "EST")));
        QTRY_COMPARE_WITH_TIMEOUT(stations[0]->received(), dir, 10000);
    }

    void wallClockStepDecidesNothing() {
        const QString faketime =
            QStringLiteral("/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1");
        if (!QFile::exists(faketime))
            QSKIP("libfaketime missing (Debian package faketime): the wall clock cannot be moved");
        // The periodic pass and the re-offer every second; the expiry after about 11 s.
        Installation inst(60);
        const QString offset = inst.serverFolder() + QStringLiteral("/.spostamento");
        writeFile(offset, "+0\n");
        inst.setEnv(QStringLiteral("LD_PRELOAD"), faketime);
        inst.setEnv(QStringLiteral("FAKETIME_TIMESTAMP_FILE"), offset);
        inst.setEnv(QStringLiteral("FAKETIME_NO_CACHE"), QStringLiteral("1"));
        inst.setEnv(QStringLiteral("FAKETIME_DONT_FAKE_MONOTONIC"), QStringLiteral("1"));
        // Under the address sanitizer the clock library is preloaded ahead of its runtime.
        inst.setEnv(QStringLiteral("ASAN_OPTIONS"),
                    qEnvironmentVariable("ASAN_OPTIONS") +
                        QStringLiteral(":verify_asan_link_order=0"));
        inst.setEnv(QStringLiteral("VELARIX_EXPIRY_HOURS"), QStringLiteral("0.003"));
        QVERIFY(inst.valid() && inst.startServer());
        std::unique_ptr<ServerTest::Client> station;
        QTRY_VERIFY((station = ServerTest::registerOn(inst.basePort(), "OROLOGIO")));
        inst.drop(QStringLiteral("ASSENTE.001"), QStringLiteral("ASSENTE")); // held
        inst.drop(QStringLiteral("LENTA.001"), QStringLiteral("OROLOGIO"));  // never answered
        const QByteArray dir = request(inst, QStringLiteral("LENTA.001.PRN"));
        QTRY_COMPARE(station->received(), dir);
        // A day later by the wall clock: the next pass offers it again, and nothing expired.
        station->clearReceived();
        writeFile(offset, "+25h\n");
        QTRY_VERIFY(station->received().startsWith(dir));
        QCOMPARE(inst.printFolderEntries(),
                 QStringList({QStringLiteral("ASSENTE.001.PRN"), QStringLiteral("LENTA.001.PRN")}));
        // Once really expired it is set aside; its late completion still completes it.
        QTRY_VERIFY_WITH_TIMEOUT(
            inst.printFolderEntries().contains(QStringLiteral("LENTA.001.PRN.ERR")), 30000);
        station->send("DEL:" + dir.mid(4, dir.size() - 5) + '\r');
        QTRY_VERIFY(!inst.printFolderEntries().contains(QStringLiteral("LENTA.001.PRN.ERR")));
    }
};

QTEST_GUILESS_MAIN(TestPrintRetry)
#include "tst_printretry.moc"
