// The client session without a window: its start-up against a real share folder (hand-over to
// the updater, the rule after an update round, the search), its one message queue against a
// fake server, and how it follows the share while it runs.
#include "clientfolder.h"
#include "clientsession.h"
#include "fakeserver.h"
#include "reportprinter.h"
#include "scriptedprompts.h"
#include "startupdialogs.h"
#include "testfiles.h"
#include "testports.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// Start-up windows that run the real check at once and answer the search from a script.
struct ScriptedDialogs : StartupDialogs {
    QString searchAnswer;
    int searches = 0;
    QString searchServer(const QString&, const QString&) override {
        ++searches;
        return searchAnswer;
    }
    UpdateCheck::Outcome checkForUpdate(const UpdateCheck& check, bool collectAll) override {
        return check.run(collectAll);
    }
};

// Prints nothing; runs the hook, once, while a document is in print, and answers with the next
// scripted failure (none once they are used up).
struct HookedPrinter : ReportPrinter {
    std::function<void()>& hook;
    QList<Failure>& failures;
    HookedPrinter(std::function<void()>& duringPrint, QList<Failure>& script)
        : hook(duringPrint), failures(script) {}
    Failure printDocument(const PrintRequest&, PrintedCopies&) override {
        if (auto run = std::exchange(hook, nullptr))
            run();
        return failures.isEmpty() ? Failure() : failures.takeFirst();
    }
};

// A program folder holding copies of the share's Client folder (nothing due), an updater
// stand-in on the share that notes its argument, and a fake server on loopback.
struct Workstation {
    QTemporaryDir root;
    QString install = root.filePath(QStringLiteral("cl")) + QLatin1Char('/');
    QString share = root.filePath(QStringLiteral("share"));
    FakeServer server;
    ScriptedPrompts prompts;
    ScriptedDialogs dialogs;
    std::function<void()> duringPrint;
    QList<Failure> printFailures;
    std::unique_ptr<ClientSession> session;

    Workstation() {
        const QString client = share + QStringLiteral("/Client/");
        ClientFolder::layOut(client, QStringLiteral("\\\\srv\\Velarix\\Stampe\\"), {});
        QDir().mkpath(install);
        QDir().mkpath(share + QStringLiteral("/Stampe"));
        for (const QString& name : QDir(client).entryList(QDir::Files))
            QFile::copy(client + name, install + name);
        writeFile(install + QStringLiteral("IPHost.set"), "127.0.0.1\r\n");
        writeFile(share + QStringLiteral("/VelarixUpd"), "#!/bin/sh\necho \"$@\" > \"$0.txt\"\n");
        QFile::setPermissions(share + QStringLiteral("/VelarixUpd"),
                              QFile::ReadOwner | QFile::ExeOwner);
        server.listen(TestPorts::freeRange(25));
    }
    ClientSession::Startup start(bool afterUpdate = false) {
        ClientSession::Options options{install, afterUpdate,
                                       install + QStringLiteral("VXCreg.txt")};
        options.env.shareRoot = share;
        options.env.basePort = server.port();
        options.env.timerScale = 50;
        session =
            std::make_unique<ClientSession>(prompts, options, [this](const QString&, ImportHost&) {
                return std::make_unique<HookedPrinter>(duringPrint, printFailures);
            });
        return session->startUp(dialogs);
    }
    QString log() const { return QString::fromUtf8(readFile(install + "VXCreg.txt")); }
    QString updaterArgument() const {
        return QString::fromUtf8(readFile(share + QStringLiteral("/VelarixUpd.txt")));
    }
};
} // namespace

class ClientSessionTest : public QObject {
    Q_OBJECT
private slots:
    void updateDueAtStartUp_data();
    void updateDueAtStartUp();
    void searchesOnlyWithoutAServer();
    void repeatedRequestDuringAnImportIsDropped();
    void newProgramWhileRunningGoesThroughTheUpdater();
    void updaterThatCannotStartIsShownOnce();
    void failureReachesServerEveryTryAndPersonOncePerCause();
};

void ClientSessionTest::updateDueAtStartUp_data() {
    QTest::addColumn<bool>("afterUpdate");
    QTest::newRow("hands over to the updater") << false;
    QTest::newRow("started by the updater: goes on with what it has") << true;
}

void ClientSessionTest::updateDueAtStartUp() {
    QFETCH(bool, afterUpdate);
    Workstation ws;
    writeFile(ws.share + QStringLiteral("/Client/Aggiorna.txt"), "1");
    QSignalSpy registered(&ws.server, &FakeServer::registered);
    if (!afterUpdate) {
        QCOMPARE(ws.start(), ClientSession::Startup::Ended);
        QTRY_COMPARE(ws.updaterArgument(), ws.install + QLatin1Char('\n'));
        const QString log = ws.log();
        QVERIFY2(log.indexOf("Aggiornamento rilevato") < log.indexOf("Chiusura Porta") &&
                     log.endsWith("****Chiusura Programma****\r\n"),
                 qPrintable(log));
        return;
    }
    QCOMPARE(ws.start(true), ClientSession::Startup::Resident);
    QCOMPARE(ws.prompts.messages,
             QStringList{"|Aggiornamento non completato. File non aggiornati: Aggiorna.txt"});
    QTRY_COMPARE(registered.size(), 1);
    QCOMPARE(ws.updaterArgument(), QString());
}

void ClientSessionTest::searchesOnlyWithoutAServer() {
    Workstation ws;
    writeFile(ws.install + QStringLiteral("IPHost.set"), "  \r\n");
    ws.dialogs.searchAnswer = QStringLiteral("127.0.0.1");
    QSignalSpy registered(&ws.server, &FakeServer::registered);
    QCOMPARE(ws.start(), ClientSession::Startup::Resident);
    QCOMPARE(ws.dialogs.searches, 1);
    QTRY_COMPARE(registered.size(), 1);
}

void ClientSessionTest::repeatedRequestDuringAnImportIsDropped() {
    Workstation ws;
    for (const char* name : {"A.001.PRN", "B.001.PRN"}) {
        QVERIFY(QFile::copy(QStringLiteral(VELARIX_SOURCE_DIR "/examples/ODL00412.001"),
                            ws.share + QStringLiteral("/Stampe/") + QLatin1String(name)));
    }
    const QString a = QStringLiteral("\\\\srv\\Velarix\\Stampe\\A.001.PRN");
    const QString b = QStringLiteral("\\\\srv\\Velarix\\Stampe\\B.001.PRN");
    QSignalSpy registered(&ws.server, &FakeServer::registered);
    QSignalSpy completed(&ws.server, &FakeServer::completionReceived);
    QCOMPARE(ws.start(), ClientSession::Startup::Resident);
    QTRY_COMPARE(registered.size(), 1);

    // While A is in print the server offers it again, and the session takes the offer in.
    ws.duringPrint = [&] {
        ws.server.sendPrintRequest(a);
        QTRY_VERIFY(ws.log().contains(QStringLiteral("Richiesta doppia ignorata: ") + a));
    };
    ws.server.sendPrintRequest(a);
    QTRY_COMPARE(completed.size(), 1);
    // Had the offer been kept, its answer would come before B's.
    ws.server.sendPrintRequest(b);
    QTRY_COMPARE(completed.size(), 2);
    QCOMPARE(ws.server.completions(), (QStringList{a, b}));
}

void ClientSessionTest::newProgramWhileRunningGoesThroughTheUpdater() {
    Workstation ws;
    QVERIFY(QFile::copy(QStringLiteral(VELARIX_SOURCE_DIR "/examples/ODL00412.001"),
                        ws.share + QStringLiteral("/Stampe/A.001.PRN")));
    QSignalSpy registered(&ws.server, &FakeServer::registered);
    QSignalSpy completed(&ws.server, &FakeServer::completionReceived);
    QCOMPARE(ws.start(), ClientSession::Startup::Resident);
    QSignalSpy ended(ws.session.get(), &ClientSession::ended);
    QTRY_COMPARE(registered.size(), 1);

    // A new client program arrives on the share; the next document waits for it.
    writeFile(ws.share + QStringLiteral("/Client/VelarixCL"), "new program");
    ws.server.sendPrintRequest(QStringLiteral("\\\\srv\\Velarix\\Stampe\\A.001.PRN"));
    QTRY_COMPARE(ended.size(), 1);
    QTRY_COMPARE(ws.updaterArgument(), ws.install + QLatin1Char('\n'));
    QVERIFY(ws.session->hasEnded());
    QVERIFY(completed.isEmpty()); // the server keeps the file for the restarted client
    QVERIFY(!QFile::exists(ws.install + QStringLiteral("VelarixCL")));
}

void ClientSessionTest::updaterThatCannotStartIsShownOnce() {
    Workstation ws;
    QVERIFY(QFile::remove(ws.share + QStringLiteral("/VelarixUpd")));
    writeFile(ws.share + QStringLiteral("/Client/VelarixCL"), "new program");
    for (const char* name : {"A.001.PRN", "B.001.PRN"}) {
        QVERIFY(QFile::copy(QStringLiteral(VELARIX_SOURCE_DIR "/examples/ODL00412.001"),
                            ws.share + QStringLiteral("/Stampe/") + QLatin1String(name)));
    }
    QSignalSpy registered(&ws.server, &FakeServer::registered);
    QSignalSpy completed(&ws.server, &FakeServer::completionReceived);

    // At start-up: logged, shown, and the client goes on.
    QCOMPARE(ws.start(), ClientSession::Startup::Resident);
    const QString failure = QStringLiteral("Impossibile avviare l'aggiornamento: "
                                           "\\\\127.0.0.1\\Velarix\\VelarixUpd");
    QCOMPARE(ws.prompts.messages.size(), 1);
    QVERIFY2(ws.prompts.messages.first().startsWith(QLatin1Char('|') + failure),
             qPrintable(ws.prompts.messages.first()));
    QTRY_COMPARE(registered.size(), 1);

    // The same program is not handed over for again; the documents print.
    ws.server.sendPrintRequest(QStringLiteral("\\\\srv\\Velarix\\Stampe\\A.001.PRN"));
    QTRY_COMPARE(completed.size(), 1);
    QCOMPARE(ws.log().count(failure), 1);

    // Another program is tried for; the failure is logged again but not shown again.
    writeFile(ws.share + QStringLiteral("/Client/VelarixCL"), "newer program",
              QDateTime::currentDateTime().addSecs(120));
    ws.server.sendPrintRequest(QStringLiteral("\\\\srv\\Velarix\\Stampe\\B.001.PRN"));
    QTRY_COMPARE(completed.size(), 2);
    QCOMPARE(ws.log().count(failure), 2);
    QCOMPARE(ws.prompts.messages.size(), 1);
    QVERIFY(!ws.session->hasEnded());
}

// Every retry tells the server why (its queue shows it); the person learns each cause once, and
// once that the document came out in the end.
void ClientSessionTest::failureReachesServerEveryTryAndPersonOncePerCause() {
    Workstation ws;
    QVERIFY(QFile::copy(QStringLiteral(VELARIX_SOURCE_DIR "/examples/ODL00412.001"),
                        ws.share + QStringLiteral("/Stampe/A.001.PRN")));
    const QString a = QStringLiteral("\\\\srv\\Velarix\\Stampe\\A.001.PRN");
    const Failure letterhead{20507, QStringLiteral("Manca l'intestazione della ditta 1")};
    ws.printFailures = {letterhead, letterhead, {20505, QStringLiteral("rifiutato")}};
    QSignalSpy registered(&ws.server, &FakeServer::registered);
    QSignalSpy completed(&ws.server, &FakeServer::completionReceived);
    QCOMPARE(ws.start(), ClientSession::Startup::Resident);
    QSignalSpy notices(ws.session.get(), &ClientSession::notice);
    QTRY_COMPARE(registered.size(), 1);

    for (int tries = 1; tries <= 4; ++tries) {
        ws.server.sendPrintRequest(a);
        QTRY_COMPARE(ws.server.messages().size(), tries + 1);
    }
    QCOMPARE(completed.size(), 1);
    const QString reason = QStringLiteral("ERR:20507|Manca la carta intestata della ditta 1|");
    QCOMPARE(ws.server.messages().mid(1, 3),
             (QStringList{reason + a + u'\r', reason + a + u'\r',
                          QStringLiteral("ERR:20505|Stampante non raggiungibile|") + a + u'\r'}));
    QCOMPARE(notices.size(), 3);
    QCOMPARE(notices.at(0).at(0).toString(), QStringLiteral("Velarix - Documento non stampato"));
    QVERIFY2(notices.at(0).at(1).toString().contains(QStringLiteral("A.001.PRN sarà stampato")),
             qPrintable(notices.at(0).at(1).toString()));
    QVERIFY(notices.at(1).at(1).toString().startsWith(QStringLiteral("Stampante non")));
    QCOMPARE(notices.at(2).at(1).toString(),
             QStringLiteral("Stampato dopo 4 tentativi: A.001.PRN"));
}

QTEST_GUILESS_MAIN(ClientSessionTest)
#include "tst_clientsession.moc"
