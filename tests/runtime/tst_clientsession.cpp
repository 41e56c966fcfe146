// The client session without a window: its start-up against a real share folder (hand-over to
// the updater, the rule after an update round, the search, a stop request), and its one message
// queue against a fake server.
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
    std::function<void()> duringCheck;
    QString searchServer(const QString&, const QString&) override {
        ++searches;
        return searchAnswer;
    }
    UpdateCheck::Outcome checkForUpdate(const UpdateCheck& check, bool collectAll) override {
        if (duringCheck)
            duringCheck();
        return check.run(collectAll);
    }
};

// Prints nothing; runs a hook while the first document is in print.
struct HookedPrinter : ReportPrinter {
    std::function<void()> duringPrint;
    int Stampa(int, const QString&, int) override {
        if (auto hook = std::exchange(duringPrint, nullptr))
            hook();
        return 0;
    }
};

// A workstation whose program folder holds what the share's Client folder holds (nothing due),
// an updater stand-in on the share that notes its argument, and a fake server on loopback.
struct Workstation {
    QTemporaryDir root;
    QString install = root.filePath(QStringLiteral("cl")) + QLatin1Char('/');
    QString share = root.filePath(QStringLiteral("share"));
    FakeServer server;
    ScriptedPrompts prompts;
    ScriptedDialogs dialogs;
    HookedPrinter* printer = nullptr;
    std::unique_ptr<ClientSession> session;

    Workstation() {
        const QString client = share + QStringLiteral("/Client");
        if (!ClientFolder::layOut(client, QStringLiteral("\\\\srv\\Velarix\\Stampe\\"), {}))
            qFatal("cannot lay out the share");
        QDir().mkpath(install);
        // Copies made after the originals are never older: nothing is due.
        for (const QString& name : QDir(client).entryList(QDir::Files))
            QFile::copy(client + QLatin1Char('/') + name, install + name);
        writeFile(install + QStringLiteral("IPHost.set"), "127.0.0.1\r\n");
        writeFile(share + QStringLiteral("/VelarixUpd"),
                  "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/started.txt\"\n");
        QFile::setPermissions(share + QStringLiteral("/VelarixUpd"),
                              QFile::ReadOwner | QFile::ExeOwner);
        server.listen(TestPorts::freeRange(25));
    }
    ClientSession::Startup start(bool afterUpdate = false) {
        ClientSession::Options options;
        options.installFolder = install;
        options.afterUpdate = afterUpdate;
        options.logFile = install + QStringLiteral("VXCreg.txt");
        options.env.shareRoot = share;
        options.env.basePort = server.port();
        options.env.pcName = QStringLiteral("UFFICIO1");
        options.env.timerScale = 50;
        session =
            std::make_unique<ClientSession>(prompts, options, [this](const QString&, ImportHost&) {
                auto made = std::make_unique<HookedPrinter>();
                printer = made.get();
                return made;
            });
        return session->startUp(dialogs);
    }
    QStringList log() const {
        return QString::fromUtf8(readFile(install + QStringLiteral("VXCreg.txt")))
            .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)
            .replaceInStrings(QRegularExpression(QStringLiteral("^\\S+ \\S+ ")), QString());
    }
    QString updaterArgument() const {
        return QString::fromUtf8(readFile(share + QStringLiteral("/started.txt")));
    }
};
} // namespace

class ClientSessionTest : public QObject {
    Q_OBJECT
private slots:
    void handsOverWhenAnUpdateIsDue();
    void afterAnUpdateGoesOnWithWhatItHas();
    void searchesOnlyWithoutAServer();
    void stopDuringTheCheckEndsTheStartUp();
    void repeatedRequestDuringAnImportIsDropped();
};

void ClientSessionTest::handsOverWhenAnUpdateIsDue() {
    Workstation ws;
    writeFile(ws.share + QStringLiteral("/Client/Aggiorna.txt"), "1");
    QCOMPARE(ws.start(), ClientSession::Startup::Ended);
    QTRY_COMPARE(ws.updaterArgument(), ws.install + QLatin1Char('\n'));
    QCOMPARE(ws.log(), (QStringList{"****Apertura Programma****", "Controllo Aggiornamenti",
                                    "Aggiornamento rilevato", "Chiusura Porta",
                                    "****Chiusura Programma****"}));
    QVERIFY(ws.prompts.messages.isEmpty());
}

void ClientSessionTest::afterAnUpdateGoesOnWithWhatItHas() {
    Workstation ws;
    writeFile(ws.share + QStringLiteral("/Client/Aggiorna.txt"), "1");
    QSignalSpy registered(&ws.server, &FakeServer::registered);
    QCOMPARE(ws.start(true), ClientSession::Startup::Resident);
    QCOMPARE(ws.prompts.messages,
             QStringList{"|Aggiornamento non completato. File non aggiornati: Aggiorna.txt"});
    QTRY_COMPARE(registered.size(), 1);
    QVERIFY(ws.log().contains("Aggiornamento incompleto, file non aggiornati: Aggiorna.txt"));
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
    QCOMPARE(ws.server.workstation(), QStringLiteral("UFFICIO1"));
}

void ClientSessionTest::stopDuringTheCheckEndsTheStartUp() {
    Workstation ws;
    ws.dialogs.duringCheck = [&] { ws.session->shutdown(); };
    QCOMPARE(ws.start(), ClientSession::Startup::Ended);
    QVERIFY(ws.session->hasEnded());
    QCOMPARE(ws.log().count(QStringLiteral("****Chiusura Programma****")), 1);
    QVERIFY(!ws.log().contains(QStringLiteral("Timer1")));
}

void ClientSessionTest::repeatedRequestDuringAnImportIsDropped() {
    Workstation ws;
    const QString stampe = ws.share + QStringLiteral("/Stampe/");
    writeFile(stampe + QStringLiteral("A.001.PRN"),
              readFile(QStringLiteral(VELARIX_SOURCE_DIR "/examples/ODL00412.001")));
    writeFile(stampe + QStringLiteral("B.001.PRN"),
              readFile(QStringLiteral(VELARIX_SOURCE_DIR "/examples/ODL00412.001")));
    const QString a = QStringLiteral("\\\\srv\\Velarix\\Stampe\\A.001.PRN");
    const QString b = QStringLiteral("\\\\srv\\Velarix\\Stampe\\B.001.PRN");
    QSignalSpy registered(&ws.server, &FakeServer::registered);
    QSignalSpy completed(&ws.server, &FakeServer::completionReceived);
    QCOMPARE(ws.start(), ClientSession::Startup::Resident);
    QTRY_COMPARE(registered.size(), 1);

    // While A is in print the server offers it again, and the session takes the offer in.
    ws.printer->duringPrint = [&] {
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

QTEST_GUILESS_MAIN(ClientSessionTest)
#include "tst_clientsession.moc"
