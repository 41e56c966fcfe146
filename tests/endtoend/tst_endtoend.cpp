// The whole road of a print job with the real VelarixSrv and VelarixCL on loopback: a file
// dropped into the print folder comes out once as a PDF on the workstation it names, and no job is
// lost to a workstation that is away, killed or reconnecting.
#include "installation.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QtTest>

#include <csignal>

namespace {
const QString WS1 = QStringLiteral("UFFICIO1");
}

// How many of the texts contain `needle`.
int count(const QStringList& texts, const QString& needle) {
    return int(texts.filter(needle).size());
}

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void droppedFilePrintsOnceWithLetterheadAndIsDeleted() {
        Installation inst(60);
        QVERIFY(inst.valid());
        QVERIFY(inst.startServer());
        QVERIFY(inst.startClient(WS1));
        QVERIFY(inst.waitRegistered(WS1));

        // A workshop invoice of company 2: its template joins the letterhead of that company.
        inst.dropBytes(QStringLiteral("F0001.002"),
                       Installation::printFile(QStringLiteral("10"), WS1,
                                               {QStringLiteral("FATTURA N. 77")},
                                               {QStringLiteral("Revisione completa àèìòù"),
                                                QStringLiteral("Ricambi vari       € 1.234,56")},
                                               {QStringLiteral("TOTALE € 1.506,16")}, 16, 24));
        QTRY_COMPARE_WITH_TIMEOUT(inst.pdfs(WS1).size(), 1, 20000);
        const QString text = inst.printedTexts(WS1).first();
        QVERIFY(text.contains(QStringLiteral("SECONDA DITTA")));
        QVERIFY(text.contains(QStringLiteral("Revisione completa àèìòù")));
        QVERIFY(text.contains(QStringLiteral("1.234,56")));
        QVERIFY(text.contains(QStringLiteral("€")));

        // No second copy comes from a later request.
        QVERIFY(inst.printMarker(WS1));
        QCOMPARE(count(inst.printedTexts(WS1), QStringLiteral("Revisione completa")), 1);

        const QStringList client = inst.clientLog(WS1);
        QCOMPARE(client.filter(QStringLiteral("Stampa Ok")).size(), 2); // the invoice, the marker
        QVERIFY(!client.filter(QStringLiteral("DEL:\\\\localhost\\Velarix\\Stampe\\F0001.002.PRN"))
                     .isEmpty());
        QVERIFY(!inst.serverLog()
                     .filter(QStringLiteral("Ricevuto il messaggio [DEL:\\\\localhost\\Velarix\\"
                                            "Stampe\\F0001.002.PRN"))
                     .isEmpty());
    }

    void fiftyQueuedFilesPrintExactlyOnce() {
        Installation inst(60);
        QVERIFY(inst.valid());
        QVERIFY(inst.startServer());
        QVERIFY(inst.startClient(WS1));
        QVERIFY(inst.waitRegistered(WS1));
        for (int i = 0; i < 50; ++i)
            inst.drop(QStringLiteral("Q%1.001").arg(i, 3, 10, QLatin1Char('0')), WS1,
                      {QStringLiteral("Lavoro numero %1 fine").arg(i)});
        QTRY_VERIFY_WITH_TIMEOUT(inst.pdfs(WS1).size() >= 50, 90000);
        QVERIFY(inst.printMarker(WS1));
        const QStringList texts = inst.printedTexts(WS1);
        QCOMPARE(texts.size(), 51);
        for (int i = 0; i < 50; ++i)
            QCOMPARE(count(texts, QStringLiteral("Lavoro numero %1 fine").arg(i)), 1);
    }

    void filesReachTheirOwnWorkstations() {
        Installation inst(60);
        QVERIFY(inst.valid());
        QVERIFY(inst.startServer());
        const QStringList stations{QStringLiteral("ALFA"), QStringLiteral("BETA"),
                                   QStringLiteral("GAMMA")};
        for (const QString& ws : stations)
            QVERIFY(inst.startClient(ws));
        for (const QString& ws : stations)
            QVERIFY(inst.waitRegistered(ws));
        for (int round = 0; round < 3; ++round)
            for (const QString& ws : stations)
                inst.drop(QStringLiteral("%1%2.001").arg(ws).arg(round), ws,
                          {QStringLiteral("Per %1 giro %2").arg(ws).arg(round)});
        for (const QString& ws : stations)
            QTRY_COMPARE_WITH_TIMEOUT(inst.pdfs(ws).size(), 3, 30000);
        for (const QString& ws : stations) {
            const QStringList texts = inst.printedTexts(ws);
            for (int round = 0; round < 3; ++round)
                QCOMPARE(count(texts, QStringLiteral("Per %1 giro %2").arg(ws).arg(round)), 1);
        }
    }

    void workstationAwayGetsItsFileWhenItComesBack() {
        Installation inst(60);
        inst.setEnv(QStringLiteral("VELARIX_HOLD_MINUTES"), QStringLiteral("2"));
        QVERIFY(inst.valid());
        QVERIFY(inst.startServer());
        inst.drop(QStringLiteral("ASSENTE.001"), WS1);
        // Accepted and kept, not deleted, while nobody can print it (how long it is kept is the
        // watcher's own test, with its clock in hand).
        QTRY_COMPARE_WITH_TIMEOUT(inst.printFolderEntries(),
                                  QStringList{QStringLiteral("ASSENTE.001.PRN")}, 10000);
        QVERIFY(inst.startClient(WS1));
        QTRY_COMPARE_WITH_TIMEOUT(inst.pdfs(WS1).size(), 1, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(inst.printFolderEntries().isEmpty(), 10000);
    }

    void clientKilledBeforeAnsweringGetsTheFileAgain() {
        Installation inst(60);
        QVERIFY(inst.valid());
        QVERIFY(inst.startServer());
        QVERIFY(inst.startClient(WS1));
        QVERIFY(inst.waitRegistered(WS1));
        // Frozen, the workstation receives the request but never answers; then it dies.
        const QList<qint64> pids = inst.clientProcesses(WS1);
        QCOMPARE(pids.size(), 1);
        const pid_t pid = pid_t(pids.first());
        ::kill(pid, SIGSTOP);
        inst.drop(QStringLiteral("INTERROTTO.001"), WS1);
        QTRY_COMPARE_WITH_TIMEOUT(inst.printFolderEntries(),
                                  QStringList{QStringLiteral("INTERROTTO.001.PRN")}, 10000);
        QVERIFY(inst.waitUnreadRequest());
        inst.stopClient(WS1, true);
        ::kill(pid, SIGCONT);
        QCOMPARE(inst.pdfs(WS1).size(), 0);

        QVERIFY(inst.startClient(WS1));
        QTRY_COMPARE_WITH_TIMEOUT(inst.pdfs(WS1).size(), 1, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(inst.printFolderEntries().isEmpty(), 10000);
    }

    void serverRestartedWhileClientsAreConnected() {
        Installation inst(60);
        QVERIFY(inst.valid());
        QVERIFY(inst.startServer());
        QVERIFY(inst.startClient(WS1));
        QVERIFY(inst.waitRegistered(WS1));
        inst.stopServer();
        QVERIFY(inst.serverLog().last().endsWith(QStringLiteral("****Chiusura Programma****")) ||
                !inst.serverLog().filter(QStringLiteral("Chiusura Porte collegate")).isEmpty());
        QVERIFY(inst.startServer());
        QVERIFY(inst.waitRegistered(WS1, 20000, 2));
        inst.drop(QStringLiteral("DOPO.001"), WS1);
        QTRY_COMPARE_WITH_TIMEOUT(inst.pdfs(WS1).size(), 1, 20000);
        QVERIFY(!inst.clientLog(WS1).filter(QStringLiteral("WSCK_Close")).isEmpty());
    }

    void newWorkstationFetchesEverythingThroughTheUpdaterThenPrints() {
        Installation inst(60);
        QVERIFY(inst.valid());
        QVERIFY(inst.startServer());
        // Only the program and the server's address: templates, copies and letterheads come from
        // the server's Client folder through the real updater, which starts the client again.
        QVERIFY(inst.startClient(WS1, Installation::Layout::ProgramOnly));
        QVERIFY(inst.waitRegistered(WS1, 30000));
        const QStringList client = inst.clientLog(WS1);
        QCOMPARE(client.filter(QStringLiteral("****Apertura Programma****")).size(), 2);
        QCOMPARE(client.filter(QStringLiteral("Aggiornamento rilevato")).size(), 1);
        for (const QString& file : {QStringLiteral("Documenti.mdb"), QStringLiteral("Copie.txt"),
                                    QStringLiteral("FOM.rpt")})
            QVERIFY(QFile::exists(inst.clientFolder(WS1) + QLatin1Char('/') + file));

        inst.dropBytes(QStringLiteral("NUOVO.002"),
                       Installation::printFile(QStringLiteral("10"), WS1,
                                               {QStringLiteral("FATTURA")},
                                               {QStringLiteral("Prima stampa")}, {}, 16, 24));
        QTRY_COMPARE_WITH_TIMEOUT(inst.pdfs(WS1).size(), 1, 20000);
        QVERIFY(inst.pdfText(inst.pdfFolder(WS1) + QLatin1Char('/') + inst.pdfs(WS1).first())
                    .contains(QStringLiteral("SECONDA DITTA")));
    }

    // A document is never lost unseen: an unknown company code (a typo in the management program)
    // and a file without its workstation line are both set aside.
    void unknownCompanyAndMissingWorkstationAreSetAside() {
        Installation inst(60);
        QVERIFY(inst.valid());
        QVERIFY(inst.startServer());
        inst.drop(QStringLiteral("ESTRANEA.009"), WS1);
        QByteArray noStation =
            Installation::printFile(QStringLiteral("01"), WS1, {}, {}, {}, 14, 40);
        noStation.replace("PC:", "XX:");
        inst.dropBytes(QStringLiteral("SENZAPC.001"), noStation);
        QTRY_COMPARE_WITH_TIMEOUT(
            inst.printFolderEntries(),
            (QStringList{QStringLiteral("ESTRANEA.009.ERR"), QStringLiteral("SENZAPC.001.ERR")}),
            10000);
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
