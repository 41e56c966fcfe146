// The server search without its window: the browse list and echo test readers, and the whole
// run with scripted commands, answers and shares.
#include "scriptedprompts.h"
#include "serversearch.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
QByteArray readFileOrMissing(const QString& path) {
    return readFile(path, "<missing>");
}

const QByteArray BrowseHeading = "Nome server            Commento\r\n"
                                 "--------------------------------------------------------\r\n";

// A network in a folder: <root>/<COMPUTER>/Velarix/... stands for \\COMPUTER\Velarix\...
struct Network {
    QTemporaryDir root;
    QString work() const { return root.filePath(QStringLiteral("work")); }
    QString install() const { return root.filePath(QStringLiteral("cl")) + '/'; }
    QString config() const { return root.filePath(QStringLiteral("config")); }
    QString autostartFile() const { return config() + "/autostart/VelarixCL.desktop"; }

    QByteArray serverList;  // what TESTSRV.BAT leaves in SERVER.TXT; null: leaves nothing
    QByteArray echoOutput;  // what TESTIP.BAT leaves in IP.TXT; null: leaves nothing
    QStringList scriptsRun; // file names
    int pauses = 0;

    Network() {
        QDir().mkpath(work());
        QDir().mkpath(install());
        qputenv("XDG_CONFIG_HOME", config().toUtf8());
    }
    void addComputer(const QString& name, const QByteArray& serverProgram) {
        writeFile(root.filePath(name + "/Velarix/VelarixSrv"), serverProgram);
    }
    ServerSearch::Hooks hooks() {
        ServerSearch::Hooks hooks;
        hooks.runScript = [this](const QString& script) {
            const QString name = QFileInfo(script).fileName();
            scriptsRun.append(name);
            if (name == QLatin1String("TESTSRV.BAT") && !serverList.isNull())
                writeFile(work() + "/SERVER.TXT", serverList);
            if (name == QLatin1String("TESTIP.BAT") && !echoOutput.isNull())
                writeFile(work() + "/IP.TXT", echoOutput);
            return true;
        };
        hooks.pause = [this](double seconds) {
            QCOMPARE(seconds, 4.0);
            ++pauses;
        };
        hooks.serverProgramSize = [this](const QString& computer) {
            const QFileInfo program(root.filePath(computer + "/Velarix/VelarixSrv"));
            return program.isFile() ? program.size() : qint64(-1);
        };
        return hooks;
    }
};
} // namespace

class ServerSearchTest : public QObject {
    Q_OBJECT
private slots:
    void candidates_data();
    void candidates();
    void address_data();
    void address();
    void search_data();
    void search();
    void manualAddressSkipsTheSearch();
    void knownServerIsLeftAlone();
    void staleOutputIsNeverRead();
    void onlyComputersOfTheNetworkCount();
};

void ServerSearchTest::candidates_data() {
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("names after the rule")
        << BrowseHeading + "\\\\ALFA\r\n\\\\BETA   \r\nComando completato.\r\n"
        << QStringList{"\\\\ALFA", "\\\\BETA", "Comando completato."};
    QTest::newRow("nothing before the rule")
        << QByteArray("\\\\ALFA\r\nintro\r\n") << QStringList{};
    QTest::newRow("remark kept whole") << BrowseHeading + "\\\\ALFA        Server stampe\r\n"
                                       << QStringList{"\\\\ALFA        Server stampe"};
    QTest::newRow("comma splits a line") << BrowseHeading + "\\\\ALFA, note\r\n"
                                         << QStringList{"\\\\ALFA", "note"};
    QTest::newRow("lone LF line ends")
        << QByteArray("head\n-----\n\\\\GAMMA\n") << QStringList{"\\\\GAMMA"};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
}

void ServerSearchTest::candidates() {
    QFETCH(QByteArray, list);
    QFETCH(QStringList, names);
    QCOMPARE(ServerSearch::candidates(list), names);
}

void ServerSearchTest::address_data() {
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QString>("address");
    QTest::newRow("windows echo test")
        << QByteArray("\r\nEsecuzione di Ping ALFA [192.168.1.10] con 32 byte di dati:\r\n"
                      "Risposta da 192.168.1.10: byte=32 durata<1ms TTL=128\r\n")
        << "192.168.1.10";
    QTest::newRow("first bracketed value wins")
        << QByteArray("x [10.0.0.1]\r\ny [10.0.0.2]\r\n") << "10.0.0.1";
    QTest::newRow("no brackets") << QByteArray("Impossibile trovare l'host ALFA.\r\n") << QString();
    QTest::newRow("brackets across values are not paired")
        << QByteArray("a [10.0.0.1, x] b\r\n") << QString();
    QTest::newRow("closing before opening") << QByteArray("a ] b [ c\r\n") << QString();
    QTest::newRow("empty") << QByteArray() << QString();
}

void ServerSearchTest::address() {
    QFETCH(QByteArray, output);
    QFETCH(QString, address);
    QCOMPARE(ServerSearch::address(output), address);
}

void ServerSearchTest::search_data() {
    QTest::addColumn<QByteArray>("serverList");
    QTest::addColumn<QByteArray>("echoOutput");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QStringList>("scripts");

    const QByteArray reply = "Esito per BETA [192.168.1.20]\n";
    const QStringList both{"TESTSRV.BAT", "TESTIP.BAT"};
    QTest::newRow("second computer runs the server")
        << BrowseHeading + "\\\\ALFA\r\n\\\\BETA\r\n"
        << reply << QString() << "192.168.1.20" << both;
    QTest::newRow("remark hides the server, address typed")
        << BrowseHeading + "\\\\BETA     Server stampe\r\n"
        << reply << "10.0.0.5"
        << "10.0.0.5" << QStringList{"TESTSRV.BAT"};
    QTest::newRow("server program of 0 bytes")
        << BrowseHeading + "\\\\EMPTY\r\n"
        << reply << QString() << QString() << QStringList{"TESTSRV.BAT"};
    QTest::newRow("name not resolved, address typed")
        << BrowseHeading + "\\\\BETA\r\n"
        << QByteArray("Host BETA non trovato.\n") << "10.0.0.7"
        << "10.0.0.7" << both;
    QTest::newRow("browse list never written") << QByteArray() << reply << "10.0.0.8"
                                               << "10.0.0.8" << QStringList{"TESTSRV.BAT"};
    QTest::newRow("echo output never written") << BrowseHeading + "\\\\BETA\r\n"
                                               << QByteArray() << QString() << QString() << both;
}

void ServerSearchTest::search() {
    QFETCH(QByteArray, serverList);
    QFETCH(QByteArray, echoOutput);
    QFETCH(QString, typed);
    QFETCH(QString, host);
    QFETCH(QStringList, scripts);

    Network network;
    network.addComputer(QStringLiteral("ALFA"), QByteArray()); // share without the program
    QDir().mkpath(network.root.filePath(QStringLiteral("ALFA/Velarix")));
    QFile::remove(network.root.filePath(QStringLiteral("ALFA/Velarix/VelarixSrv")));
    network.addComputer(QStringLiteral("BETA"), "ELF");
    network.addComputer(QStringLiteral("EMPTY"), QByteArray());
    network.serverList = serverList.isEmpty() ? QByteArray() : serverList;
    network.echoOutput = echoOutput.isEmpty() ? QByteArray() : echoOutput;

    ScriptedPrompts prompts;
    prompts.answerYes = false;
    prompts.inputAnswer = typed;
    ServerSearch search(network.install(), network.work(), prompts, network.hooks());
    QCOMPARE(search.run(QStringLiteral("  ")), host);

    QCOMPARE(prompts.questions, QStringList{"Indirizzo Host Remoto|Inserire manualmente "
                                            "l'indirizzo IP del Server?"});
    QCOMPARE(network.scriptsRun, scripts);
    QCOMPARE(network.pauses, scripts.size());
    // The address is asked for exactly when the search found none.
    const bool found =
        scripts.size() == 2 && !echoOutput.isEmpty() && typed.isEmpty() && !host.isEmpty();
    QCOMPARE(prompts.inputs.size(), found ? 0 : 1);
    QCOMPARE(readFileOrMissing(network.install() + "IPHost.set"), host.toLatin1() + "\r\n");
    QCOMPARE(QFile::exists(network.autostartFile()), !host.isEmpty());
    if (scripts.contains(QStringLiteral("TESTIP.BAT")))
        QVERIFY(readFileOrMissing(network.work() + "/TESTIP.BAT").contains("NAME='BETA'"));
    QVERIFY(readFileOrMissing(network.work() + "/TESTSRV.BAT").startsWith("#!/bin/sh"));
}

void ServerSearchTest::manualAddressSkipsTheSearch() {
    Network network;
    ScriptedPrompts prompts;
    prompts.answerYes = true;
    prompts.inputAnswer = QStringLiteral("192.168.0.40");
    ServerSearch search(network.install(), network.work(), prompts, network.hooks());
    QCOMPARE(search.run(QString()), QStringLiteral("192.168.0.40"));
    QCOMPARE(prompts.inputs,
             QStringList{"Indirizzo Host Remoto|Inserire Indirizzo IP del Server:"});
    QVERIFY(network.scriptsRun.isEmpty());
    QCOMPARE(network.pauses, 0);
    QCOMPARE(readFileOrMissing(network.install() + "IPHost.set"), QByteArray("192.168.0.40\r\n"));
    const QByteArray desktop = readFileOrMissing(network.autostartFile());
    QVERIFY2(desktop.contains("Exec=" + network.install().toUtf8() + "VelarixCL\n"),
             desktop.constData());

    // Cancelled: an empty line, and no registration.
    Network cancelled;
    prompts.inputAnswer.clear();
    ServerSearch again(cancelled.install(), cancelled.work(), prompts, cancelled.hooks());
    QCOMPARE(again.run(QString()), QString());
    QCOMPARE(readFileOrMissing(cancelled.install() + "IPHost.set"), QByteArray("\r\n"));
    QVERIFY(!QFile::exists(cancelled.autostartFile()));
    QVERIFY(prompts.messages.isEmpty());

    // An IPHost.set that cannot be written (a folder stands in its place): the user is told.
    Network blocked;
    QVERIFY(QDir().mkpath(blocked.install() + "IPHost.set"));
    prompts.inputAnswer = QStringLiteral("192.168.0.40");
    ServerSearch third(blocked.install(), blocked.work(), prompts, blocked.hooks());
    QCOMPARE(third.run(QString()), QStringLiteral("192.168.0.40"));
    QCOMPARE(prompts.messages.size(), 1);
    QVERIFY2(prompts.messages.first().startsWith("|Impossibile scrivere " + blocked.install() +
                                                 "IPHost.set: "),
             qPrintable(prompts.messages.first()));
}

void ServerSearchTest::knownServerIsLeftAlone() {
    Network network;
    ScriptedPrompts prompts;
    ServerSearch search(network.install(), network.work(), prompts, network.hooks());
    QCOMPARE(search.run(QStringLiteral(" srv ")), QStringLiteral(" srv "));
    QVERIFY(prompts.questions.isEmpty());
    QVERIFY(prompts.inputs.isEmpty());
    QVERIFY(!QFile::exists(network.install() + "IPHost.set"));
    QVERIFY(!QFile::exists(network.autostartFile()));
}

void ServerSearchTest::staleOutputIsNeverRead() {
    // SERVER.TXT left by an earlier run names a server; this run's command writes nothing.
    Network network;
    network.addComputer(QStringLiteral("BETA"), "ELF");
    writeFile(network.work() + "/SERVER.TXT", BrowseHeading + "\\\\BETA\r\n");
    ScriptedPrompts prompts;
    ServerSearch search(network.install(), network.work(), prompts, network.hooks());
    QCOMPARE(search.run(QString()), QString());
    QCOMPARE(network.scriptsRun, QStringList{"TESTSRV.BAT"});
    QCOMPARE(prompts.inputs.size(), 1);
}

void ServerSearchTest::onlyComputersOfTheNetworkCount() {
    // Whatever a line of the list says, it is looked for on a share, never as a local path.
    Network network;
    network.addComputer(QStringLiteral("BETA"), "ELF");
    ScriptedPrompts prompts;
    ServerSearch::Hooks hooks = network.hooks();
    QStringList asked;
    hooks.serverProgramSize = [&asked](const QString& computer) {
        asked.append(computer);
        return qint64(3);
    };
    ServerSearch search(network.install(), network.work(), prompts, hooks);
    QVERIFY(search.hasServerProgram(QStringLiteral("\\\\BETA")));
    QVERIFY(!search.hasServerProgram(QStringLiteral("Comando completato.")));
    QVERIFY(!search.hasServerProgram(QStringLiteral("\\\\")));
    QVERIFY(!search.hasServerProgram(network.root.filePath(QStringLiteral("BETA"))));
    QCOMPARE(asked, QStringList{"BETA"});
}

QTEST_GUILESS_MAIN(ServerSearchTest)
#include "tst_serversearch.moc"
