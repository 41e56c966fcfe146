// The real VelarixCL, headless and unattended, in a temporary program folder against a fake
// server on loopback: start-up and shutdown lines, the single-instance refusal, one print request
// from "DIR:" to PDF and "DEL:", a request the server repeats during a long import, and a
// letterhead saved on the server while the client runs.
#include "clientenvironment.h"
#include "clientfolder.h"
#include "database.h"
#include "fakeserver.h"
#include "testfiles.h"
#include "testports.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <unistd.h>

namespace {
QStringList logLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (!line.trimmed().isEmpty())
            lines << QString::fromUtf8(line).trimmed();
    return lines;
}

// Index of the first line at or after `from` that ends with `text`, -1 when none.
int find(const QStringList& lines, const QString& text, int from = 0) {
    for (int i = from; i < lines.size(); ++i)
        if (lines.at(i).endsWith(text))
            return i;
    return -1;
}

// A work order of the given number of pages, each with a full body and three totals lines.
QByteArray longWorkOrder(int pages) {
    QByteArray b = "@VELARIX^01 ORDINE DI LAVORO\r\n^FL:  1 PC:UFFICIO1\r\n\r\n";
    for (int p = 1; p <= pages; ++p) {
        for (int i = 1; i <= 14 + 40 + 3; ++i)
            b += "Pagina " + QByteArray::number(p) + " riga " + QByteArray::number(i) + "\r\n";
        b += "\f\r\n";
    }
    return b;
}

bool copyInto(const QString& file, const QString& folder) {
    const QString target = folder + QLatin1Char('/') + QFileInfo(file).fileName();
    QFile::remove(target);
    return QFile::copy(file, target);
}

// This test process, and what it starts, in a network of its own whose loopback can be pulled out.
struct PrivateNetwork {
    static bool link(const char* state) {
        return QProcess::execute(QStringLiteral("ip"),
                                 {QStringLiteral("link"), QStringLiteral("set"),
                                  QStringLiteral("lo"), QLatin1String(state)}) == 0;
    }
    int home = ::open("/proc/self/ns/net", O_RDONLY);
    bool made = home >= 0 && ::unshare(CLONE_NEWNET) == 0 && link("up");
    ~PrivateNetwork() {
        if (made)
            ::setns(home, CLONE_NEWNET);
        ::close(home);
    }
};
} // namespace

class TestClientProgram : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_program; // the client's program folder
    QString m_share;   // what the server's share holds
    QString m_pdf;
    FakeServer m_server;
    quint16 m_base = 0;

    // The single-instance lock in this run's own folder: a lock left in a folder kept between
    // runs by a client that was killed, once its process id belongs to another client, would
    // look held and refuse every start.
    QProcessEnvironment environment(const QString& timerScale) const {
        QProcessEnvironment env = clientEnvironment(m_base, m_share, m_pdf, timerScale);
        env.insert(QStringLiteral("VELARIX_LOCK_DIR"), m_root.filePath(QStringLiteral("locks")));
        return env;
    }

    // Timers run twenty times faster unless a test needs the real ones.
    QProcess* start(const QStringList& args = {}, const QString& timerScale = QStringLiteral("20"),
                    const QHash<QString, QString>& extra = {},
                    const std::function<void()>& inChild = {}) {
        auto* p = new QProcess(this);
        p->setChildProcessModifier(inChild);
        QProcessEnvironment env = environment(timerScale);
        for (auto it = extra.cbegin(); it != extra.cend(); ++it)
            env.insert(it.key(), it.value());
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(m_program);
        p->start(m_program + QStringLiteral("/VelarixCL"), args);
        return p;
    }

    void stop(QProcess* p) {
        if (p && p->state() != QProcess::NotRunning) {
            ::kill(pid_t(p->processId()), SIGTERM);
            QVERIFY(p->waitForFinished(10000));
        }
    }

    QString clientLog() const { return m_program + QStringLiteral("/VXCreg.txt"); }
    bool logged(const QString& text) const { return !logLines(clientLog()).filter(text).isEmpty(); }

    // The sample work order as the print file `name` in the share's print folder.
    bool dropSample(const QString& name) {
        return QFile::copy(QStringLiteral(VELARIX_SOURCE_DIR "/examples/ODL00412.001"),
                           m_share + QStringLiteral("/Stampe/") + name);
    }

    // A client started with an empty log; true once it has registered with the fake server.
    bool startRegistered(QProcess*& client, const std::function<void()>& inChild = {}) {
        QFile::remove(clientLog());
        QSignalSpy registered(&m_server, &FakeServer::registered);
        client = start({}, QStringLiteral("20"), {}, inChild);
        return QTest::qWaitFor([&] { return !registered.isEmpty(); }, 15000);
    }

private slots:
    void initTestCase() {
        QVERIFY(m_root.isValid());
        m_program = m_root.filePath(QStringLiteral("client"));
        m_share = m_root.filePath(QStringLiteral("share"));
        m_pdf = m_root.filePath(QStringLiteral("pdf"));
        const QString client = m_share + QStringLiteral("/Client");
        for (const QString& dir : {m_program, client, m_share + QStringLiteral("/Stampe"), m_pdf})
            QVERIFY(QDir().mkpath(dir));

        // The share's Client folder first, the workstation's copies after: copies are never
        // older than their originals, so no update is due.
        QVERIFY(ClientFolder::layOut(client, QStringLiteral("\\\\srv\\Velarix\\Stampe\\"),
                                     {{1, QStringLiteral("Autofficina Rossi & Figli S.r.l.")}}));
        for (const QString& f : QDir(client).entryList(QDir::Files))
            QVERIFY(copyInto(client + QLatin1Char('/') + f, m_program));
        QVERIFY(copyInto(QStringLiteral(VELARIX_BIN_DIR "/VelarixCL"), m_program));
        QFile host(m_program + QStringLiteral("/IPHost.set"));
        QVERIFY(host.open(QIODevice::WriteOnly));
        host.write("127.0.0.1\r\n");
        host.close();

        m_base = TestPorts::freeRange(25);
        QVERIFY(m_base != 0);
        QVERIFY(m_server.listen(m_base));
    }

    void startsRegistersAndRefusesASecondInstance() {
        QFile::remove(m_program + QStringLiteral("/VXCreg.txt"));
        QSignalSpy registered(&m_server, &FakeServer::registered);
        QProcess* client = start();
        auto end = qScopeGuard([&] { stop(client); });
        QVERIFY(client->waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(registered.size(), 1, 15000);
        QCOMPARE(m_server.workstation(), QStringLiteral("UFFICIO1"));

        // Once the version reply has been through the import the client logs nothing more.
        const QString logPath = m_program + QStringLiteral("/VXCreg.txt");
        const auto replyImported = [&] {
            const QStringList lines = logLines(logPath);
            const int at = find(lines, QStringLiteral("Calcolo"));
            return at >= 0 && lines.size() > at + 1;
        };
        QTRY_VERIFY_WITH_TIMEOUT(replyImported(), 10000);
        const qint64 before = QFileInfo(logPath).size();
        QProcess* second = start();
        QVERIFY(second->waitForFinished(10000));
        QVERIFY(QString::fromUtf8(second->readAllStandardError())
                    .contains(QStringLiteral("Programma già in esecuzione!")));
        QCOMPARE(QFileInfo(logPath).size(), before);
        QCOMPARE(client->state(), QProcess::Running);

        end.dismiss();
        stop(client);
        const QStringList lines = logLines(logPath);
        int at = 0;
        for (const QString& expected :
             {QStringLiteral("****Apertura Programma****"),
              QStringLiteral("Controllo Aggiornamenti"), QStringLiteral("Timer1"),
              QStringLiteral("WSCK_Connect"), QStringLiteral("Inviato: PC:UFFICIO1"),
              QStringLiteral("Chiusura Porta"), QStringLiteral("****Chiusura Programma****")}) {
            at = find(lines, expected, at);
            QVERIFY2(at >= 0, qPrintable(expected + QStringLiteral(" missing or out of order")));
        }
    }

    void printsARequestAndAnswersWithItsPath() {
        const QString name = QStringLiteral("ODL00412.001.PRN");
        QVERIFY(dropSample(name));
        QSignalSpy completed(&m_server, &FakeServer::completionReceived);
        QProcess* client = nullptr;
        auto end = qScopeGuard([&] { stop(client); });
        QVERIFY(startRegistered(client));

        const QString path = QStringLiteral("\\\\srv\\Velarix\\Stampe\\") + name;
        const QDateTime completedFileTime =
            QFileInfo(m_share + QStringLiteral("/Stampe/") + name).lastModified();
        QVERIFY(m_server.sendPrintRequest(QStringLiteral("  ") + path + QStringLiteral("  ")));
        QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 1, 20000);
        QCOMPARE(completed.at(0).at(0).toString(), path);

        const QStringList pdfs = QDir(m_pdf).entryList({QStringLiteral("*.pdf")});
        QCOMPARE(pdfs.size(), 1);
        QProcess text;
        text.start(QStringLiteral("pdftotext"),
                   {QDir(m_pdf).filePath(pdfs.first()), QStringLiteral("-")});
        QVERIFY(text.waitForFinished(10000));
        const QString content = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY(content.contains(QStringLiteral("Olio motore 5W30")));
        QVERIFY(content.contains(QStringLiteral("Autofficina Rossi & Figli")));
        QVERIFY(content.contains(QStringLiteral("€")));

        // The same file written again with its old time kept is a new document, not a repeat.
        const QString local = m_share + QStringLiteral("/Stampe/") + name;
        writeFile(local, readFile(QStringLiteral(VELARIX_SOURCE_DIR "/examples/ODL00412.001")),
                  completedFileTime);
        QVERIFY(m_server.sendPrintRequest(path));
        QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 2, 20000);
        QCOMPARE(QDir(m_pdf).entryList({QStringLiteral("*.pdf")}).size(), 2);
    }

    void hostNameWithTrailingBlanks() {
        // A host typed by hand often keeps a blank at the end of its line; the name is still the
        // server's.
        QFile host(m_program + QStringLiteral("/IPHost.set"));
        QVERIFY(host.open(QIODevice::WriteOnly));
        host.write("localhost   \r\n");
        host.close();
        QSignalSpy registered(&m_server, &FakeServer::registered);
        QProcess* client = start();
        auto restore = qScopeGuard([&] {
            stop(client);
            QVERIFY(host.open(QIODevice::WriteOnly));
            host.write("127.0.0.1\r\n");
            host.close();
        });
        QTRY_COMPARE_WITH_TIMEOUT(registered.size(), 1, 15000);
    }

    void searchFindsTheComputerThatRunsTheServer() {
        // No server known: the client browses the network (ALFA, then BETA), asks each
        // computer's own share for the server program, and keeps BETA's address, not ALFA's.
        const QString hostFile = m_program + QStringLiteral("/IPHost.set");
        const QByteArray known = readFile(hostFile);
        QVERIFY(QFile::remove(hostFile));
        const QString network = m_root.filePath(QStringLiteral("network"));
        writeFile(network + QStringLiteral("/ALFA/Velarix/Leggimi.txt"), "non il server\r\n");
        writeFile(network + QStringLiteral("/BETA/Velarix/VelarixSrv"), "ELF");
        // The share this workstation has mounted holds the program too, whoever it belongs to.
        writeFile(m_share + QStringLiteral("/VelarixSrv"), "ELF");
        const QString bin = network + QStringLiteral("/bin/");
        writeFile(bin + QStringLiteral("smbtree"),
                  "#!/bin/sh\nprintf 'UFFICIO\\n\\t\\\\\\\\ALFA\\n\\t\\\\\\\\BETA\\n'\n");
        writeFile(bin + QStringLiteral("getent"), "#!/bin/sh\n[ \"$2\" = BETA ] && echo "
                                                  "'127.0.0.1 STREAM BETA' || echo '10.9.9.9 "
                                                  "STREAM ALFA'\n");
        for (const QString& standIn : {QStringLiteral("smbtree"), QStringLiteral("getent")})
            QVERIFY(QFile::setPermissions(bin + standIn, QFile::ReadOwner | QFile::ExeOwner));

        QSignalSpy registered(&m_server, &FakeServer::registered);
        auto* client = new QProcess(this);
        QProcessEnvironment env = environment(QStringLiteral("20"));
        env.insert(QStringLiteral("PATH"),
                   bin + QStringLiteral(":" VELARIX_SOURCE_DIR "/tests/support/standins:") +
                       env.value(QStringLiteral("PATH")));
        env.insert(QStringLiteral("VELARIX_TEST_NETWORK"), network);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_root.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("VELARIX_LAUNCHER"), QStringLiteral("/usr/bin/velarix-client"));
        client->setProcessEnvironment(env);
        client->setWorkingDirectory(m_program);
        client->start(m_program + QStringLiteral("/VelarixCL"));
        auto end = qScopeGuard([&] {
            stop(client);
            writeFile(hostFile, known);
            QFile::remove(m_share + QStringLiteral("/VelarixSrv"));
        });
        // Two four-second waits of the search (shortened by the timer scale), then the connection.
        QTRY_COMPARE_WITH_TIMEOUT(registered.size(), 1, 30000);
        QCOMPARE(readFile(hostFile), QByteArray("127.0.0.1\r\n"));
        QVERIFY(readFile(network + QStringLiteral("/asked.txt")).contains("//BETA/Velarix"));
        // Started by the package's launcher, the log-on start goes through it too.
        QVERIFY(readFile(m_root.filePath(QStringLiteral("config/autostart/VelarixCL.desktop")))
                    .contains("\nExec=/usr/bin/velarix-client\n"));
    }

    void previewFailsWithoutItsDatabase() {
        // A Documenti.mdb that cannot be copied (here a folder) must fail the preview rather
        // than render the document without its letterhead.
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QDir templates(QStringLiteral(VELARIX_SOURCE_DIR "/templates"));
        for (const QString& t :
             templates.entryList({QStringLiteral("*.rpt"), QStringLiteral("*.png")}))
            QVERIFY(QFile::copy(templates.filePath(t), folder.filePath(t)));
        QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("Documenti.mdb"))));
        const QString pdf = folder.filePath(QStringLiteral("out.pdf"));

        QProcess preview;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        preview.setProcessEnvironment(env);
        preview.start(QStringLiteral(VELARIX_BIN_DIR "/VelarixCL"),
                      {QStringLiteral("--render"),
                       QStringLiteral(VELARIX_SOURCE_DIR "/examples/ODL00412.001"),
                       QStringLiteral("--pdf"), pdf, QStringLiteral("--templates"), folder.path()});
        QVERIFY(preview.waitForFinished(20000));
        QCOMPARE(preview.exitCode(), 1);
        QVERIFY(!QFile::exists(pdf));
    }

    void requestRepeatedDuringALongImportIsAnsweredOnce() {
        // No copies of work orders: the import's reading is what takes the time.
        const QString copies = m_program + QStringLiteral("/Copie.txt");
        const QByteArray oneOfEach = readFile(copies);
        writeFile(copies, "\\\\srv\\Velarix\\Stampe\\\r\n0\r\n1\r\n1\r\n1\r\n1\r\n1\r\n0\r\n0\r\n");
        auto restore = qScopeGuard([&] { writeFile(copies, oneOfEach); });
        const QString stampe = m_share + QStringLiteral("/Stampe/");
        writeFile(stampe + QStringLiteral("LUNGO.001.PRN"), longWorkOrder(150));
        writeFile(stampe + QStringLiteral("BREVE.001.PRN"), longWorkOrder(1));
        const QString logPath = clientLog();
        QSignalSpy completed(&m_server, &FakeServer::completionReceived);
        QProcess* client = nullptr;
        auto end = qScopeGuard([&] { stop(client); });
        QVERIFY(startRegistered(client));

        const QString longOne = QStringLiteral("\\\\srv\\Velarix\\Stampe\\LUNGO.001.PRN");
        QVERIFY(m_server.sendPrintRequest(longOne));
        QTRY_VERIFY_WITH_TIMEOUT(
            find(logLines(logPath), QStringLiteral("Preparo: Testata Pagina 1")) >= 0, 15000);
        QVERIFY(m_server.sendPrintRequest(longOne));
        QTRY_VERIFY_WITH_TIMEOUT(completed.size() == 1, 30000);
        // Had the repeat been kept, its answer would come before the next document's.
        const QString shortOne = QStringLiteral("\\\\srv\\Velarix\\Stampe\\BREVE.001.PRN");
        QVERIFY(m_server.sendPrintRequest(shortOne));
        QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 2, 15000);
        QCOMPARE(completed.at(1).at(0).toString(), shortOne);
        QVERIFY(find(logLines(logPath), QStringLiteral("Richiesta doppia ignorata: ") + longOne) >=
                0);
    }

    void letterheadSavedWhileRunningIsOnTheNextDocument() {
        const QString name = QStringLiteral("NUOVA.002.PRN");
        const QString path = QStringLiteral("\\\\srv\\Velarix\\Stampe\\") + name;
        QVERIFY(dropSample(name));
        const QString logPath = clientLog();
        QSignalSpy completed(&m_server, &FakeServer::completionReceived);
        QProcess* client = nullptr;
        auto end = qScopeGuard([&] { stop(client); });
        QVERIFY(startRegistered(client));

        // Company 2 has no letterhead yet: no print, no answer, and no other company's
        // letterhead on the way.
        QVERIFY(m_server.sendPrintRequest(path));
        // The number with its reason in words, naming the company.
        QTRY_VERIFY_WITH_TIMEOUT(
            !logLines(logPath)
                 .filter(
                     QStringLiteral("Errore carta intestata: 20507 - Manca l'intestazione della "
                                    "ditta 2"))
                 .isEmpty(),
            20000);
        // The server is told why, for its queue.
        QTRY_VERIFY(m_server.messages().contains(
            QStringLiteral("ERR:20507|Manca la carta intestata della ditta 2|") + path + u'\r'));
        QVERIFY(completed.isEmpty());
        const qsizetype pdfsBefore = QDir(m_pdf).entryList({QStringLiteral("*.pdf")}).size();

        // "Dati Ditta" on the server: the row in the share's database, then the flag file.
        const QString serverFolder = m_share + QStringLiteral("/Client/");
        Database db;
        QVERIFY(
            db.open(Database::connectionText(serverFolder + QStringLiteral("Documenti.mdb"))).ok());
        QVERIFY(db.execute(QStringLiteral("Insert into Ditta (Codice, Intestazione1) values "
                                          "(2, 'Carrozzeria Nuova di Bari S.n.c.')"))
                    .ok());
        db.close();
        writeFile(serverFolder + QStringLiteral("Aggiorna.txt"), "SI\r\n");

        // The server offers the file again; the running client prints it with the new row.
        QVERIFY(m_server.sendPrintRequest(path));
        QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 1, 20000);
        QStringList pdfs =
            QDir(m_pdf).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Time);
        QCOMPARE(pdfs.size(), pdfsBefore + 1);
        QProcess text;
        text.start(QStringLiteral("pdftotext"),
                   {QDir(m_pdf).filePath(pdfs.first()), QStringLiteral("-")});
        QVERIFY(text.waitForFinished(10000));
        const QString content = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY(content.contains(QStringLiteral("Carrozzeria Nuova di Bari")));
        QVERIFY(!content.contains(QStringLiteral("Autofficina Rossi")));
        QVERIFY(find(logLines(logPath),
                     QStringLiteral("Aggiornamento dal server: Aggiorna.txt, Documenti.mdb")) >= 0);
    }

    void newProgramWithoutAnUpdaterKeepsPrinting() {
        // A new client on the share, no VelarixUpd beside it: said once, and the workstation
        // goes on printing with the program it has.
        const QString shareProgram = m_share + QStringLiteral("/Client/VelarixCL");
        writeFile(shareProgram, "#!/bin/sh\n");
        QFile program(shareProgram);
        QVERIFY(program.open(QIODevice::Append) &&
                program.setFileTime(QDateTime::currentDateTime().addDays(1),
                                    QFileDevice::FileModificationTime));
        program.close();
        auto removeProgram = qScopeGuard([&] { QFile::remove(shareProgram); });
        const QString name = QStringLiteral("SENZAUPD.001.PRN");
        QVERIFY(dropSample(name));
        const QString logPath = clientLog();
        QSignalSpy completed(&m_server, &FakeServer::completionReceived);
        QProcess* client = nullptr;
        auto end = qScopeGuard([&] { stop(client); });
        QVERIFY(startRegistered(client));
        QVERIFY(m_server.sendPrintRequest(QStringLiteral("\\\\srv\\Velarix\\Stampe\\") + name));
        QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 1, 20000);

        end.dismiss();
        stop(client);
        const QString failed = QStringLiteral("Impossibile avviare l'aggiornamento: ");
        QCOMPARE(logLines(logPath).filter(failed).size(), 1);
        QCOMPARE(QString::fromUtf8(client->readAllStandardError()).count(failed), 1);
        QVERIFY(find(logLines(logPath), QStringLiteral("Stampa Ok")) >= 0);
    }

    void printsOnTheKindsQueueAndArchivesEachDocument() {
        // The workstation's own Stampanti.txt, read at every document: no restart between the
        // changes below.
        const QString printers = m_program + QStringLiteral("/Stampanti.txt");
        const QString archive = m_root.filePath(QStringLiteral("archivio"));
        QVERIFY(QDir().mkpath(archive));
        writeFile(printers, "ODL=Officina\r\nARCHIVIO=" + archive.toLocal8Bit() + "\r\n");
        auto restore = qScopeGuard([&] { QFile::remove(printers); });
        const QString stampe = m_share + QStringLiteral("/Stampe/");
        const QString name = QStringLiteral("ARCH0001.001.PRN");
        const QString path = QStringLiteral("\\\\srv\\Velarix\\Stampe\\") + name;
        writeFile(stampe + name, longWorkOrder(2));
        const QString logPath = clientLog();
        QSignalSpy completed(&m_server, &FakeServer::completionReceived);
        QProcess* client = nullptr;
        auto end = qScopeGuard([&] { stop(client); });
        QVERIFY(startRegistered(client));
        const auto printedOn = [&](const QString& queue) {
            return QDir(m_pdf)
                .entryList({QStringLiteral("ODL_") + queue + QStringLiteral("_*.pdf")})
                .size();
        };
        const QDir year(archive + QStringLiteral("/ODL/") +
                        QString::number(QDate::currentDate().year()));
        const QStringList archived = {QStringLiteral("ODL_001_ARCH0001.001_*.pdf")};

        QVERIFY(m_server.sendPrintRequest(path));
        QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 1, 20000);
        QCOMPARE(printedOn(QStringLiteral("Officina")), 1);
        QCOMPARE(year.entryList(archived).size(), 1);

        // The management program writes the same file name again: a new document, a second
        // archive file beside the first.
        writeFile(stampe + name, longWorkOrder(1));
        QVERIFY(m_server.sendPrintRequest(path));
        QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 2, 20000);
        QCOMPARE(year.entryList(archived).size(), 2);

        // An archive that cannot be written (here the folder is a file) holds back nothing: the
        // document prints, now on the default printer, and is answered.
        writeFile(stampe + name, longWorkOrder(1) + "\r\n");
        const QString blocked = m_root.filePath(QStringLiteral("archivio-file"));
        writeFile(blocked, "x");
        writeFile(printers, "ARCHIVIO=" + blocked.toLocal8Bit() + "\r\n");
        const qsizetype onDefault = printedOn(QStringLiteral("predefinita"));
        QVERIFY(m_server.sendPrintRequest(path));
        QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 3, 20000);
        QCOMPARE(completed.at(2).at(0).toString(), path);
        QCOMPARE(printedOn(QStringLiteral("predefinita")), onDefault + 1);
        QVERIFY(find(logLines(logPath), QStringLiteral("Archivio non scritto: Cartella archivio "
                                                       "non trovata: ") +
                                            blocked) >= 0);
    }

    void endsOnSignalDuringTheUpdateCheck() {
        // The stop arrives while the update-check window waits for its timer: the client must
        // end there instead of carrying on with the start-up and staying resident.
        const QString logPath = m_program + QStringLiteral("/VXCreg.txt");
        QFile::remove(logPath);
        QProcess* client = start({}, QStringLiteral("1")); // the check's window waits a second
        QVERIFY(client->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            find(logLines(logPath), QStringLiteral("Controllo Aggiornamenti")) >= 0, 10000);
        ::kill(pid_t(client->processId()), SIGTERM);
        QVERIFY(client->waitForFinished(10000));
        const QStringList lines = logLines(logPath);
        QCOMPARE(find(lines, QStringLiteral("Timer1")), -1);
        QVERIFY(find(lines, QStringLiteral("****Chiusura Programma****")) >= 0);
    }

    void oneClientPerProgramFolder() {
        // The same user on a second computer with a network home folder: another workstation
        // name, another per-user lock folder, the same program folder.
        const QHash<QString, QString> elsewhere{
            {QStringLiteral("VELARIX_PC_NAME"), QStringLiteral("UFFICIO2")},
            {QStringLiteral("VELARIX_LOCK_DIR"), m_root.filePath(QStringLiteral("locks2"))}};
        QProcess *first = nullptr, *second = nullptr;
        auto end = qScopeGuard([&] { stop(first), stop(second); });
        QVERIFY(startRegistered(first));
        second = start({}, QStringLiteral("20"), elsewhere);
        QVERIFY(second->waitForFinished(20000));
        QVERIFY(QString::fromUtf8(second->readAllStandardError())
                    .contains(QStringLiteral("VelarixCL è già in esecuzione su UFFICIO1")));

        // A computer that lost its power leaves its lock behind: it is taken over once it has
        // stopped beating.
        ::kill(pid_t(first->processId()), SIGKILL);
        QVERIFY(first->waitForFinished(10000));
        QSignalSpy registered(&m_server, &FakeServer::registered);
        second = start({}, QStringLiteral("20"), elsewhere);
        QTRY_COMPARE_WITH_TIMEOUT(registered.size(), 1, 15000);
        QCOMPARE(m_server.workstation(), QStringLiteral("UFFICIO2"));
    }

    void waitsForTheServersShareAtStartUp() {
        const QString later = m_root.filePath(QStringLiteral("share-later"));
        QFile::remove(clientLog());
        QSignalSpy registered(&m_server, &FakeServer::registered);
        QProcess* client =
            start({}, QStringLiteral("20"), {{QStringLiteral("VELARIX_SHARE_ROOT"), later}});
        auto end = qScopeGuard([&] { stop(client), QFile::remove(later); });
        const QString waiting = QStringLiteral("Nuovo tentativo ogni 30 secondi.");
        QTRY_VERIFY_WITH_TIMEOUT(logged(waiting), 15000);
        QVERIFY(QFile::link(m_share, later)); // the server has started
        QTRY_COMPARE_WITH_TIMEOUT(registered.size(), 1, 15000);
        QCOMPARE(logLines(clientLog()).filter(waiting).size(), 1);
    }

    void databaseThatCannotBeWrittenHoldsTheDocumentUntilItCan() {
        // Another user than the database's owner (as root, the client runs as nobody).
        const QString db = m_program + QStringLiteral("/Documenti.mdb");
        auto restore = qScopeGuard([&] { QFile::setPermissions(db, QFile::Permissions(0x6644)); });
        QVERIFY(QFile::setPermissions(db, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        for (const QString& open : {m_root.path(), m_program, m_pdf})
            QVERIFY(QFile::setPermissions(open, QFile::Permissions(0x7777)));
        const QString name = QStringLiteral("SOLALETT.001.PRN");
        const QString path = QStringLiteral("\\\\srv\\Velarix\\Stampe\\") + name;
        QVERIFY(dropSample(name));
        QSignalSpy completed(&m_server, &FakeServer::completionReceived);
        QProcess* client = nullptr;
        auto end = qScopeGuard([&] { stop(client); });
        QVERIFY(startRegistered(client, [] {
            if (::geteuid() == 0 &&
                (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(97);
        }));
        QVERIFY(m_server.sendPrintRequest(path));
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("Errore database: 3060 - ")), 20000);
        QVERIFY(logged(QStringLiteral("Documenti.mdb: file o cartella di sola lettura")));
        QVERIFY(completed.isEmpty());

        // Writable again: the server's next offer prints it.
        QVERIFY(QFile::setPermissions(db, QFile::Permissions(0x6666)));
        QVERIFY(m_server.sendPrintRequest(path));
        QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 1, 20000);
    }

    void serverThatVanishesIsCalledAgainAndItsRequestPrintedOnce() {
        PrivateNetwork network;
        if (!network.made)
            QSKIP("no network namespace of our own here (needs root and unshare)");
        FakeServer server; // in the private network, on the same ports
        QVERIFY(server.listen(m_base));
        writeFile(m_share + QStringLiteral("/Stampe/SPENTO.001.PRN"), longWorkOrder(60));
        const QString path = QStringLiteral("\\\\srv\\Velarix\\Stampe\\SPENTO.001.PRN");
        QFile::remove(clientLog());
        const qsizetype pdfsBefore = QDir(m_pdf).entryList({QStringLiteral("*.pdf")}).size();
        QSignalSpy registered(&server, &FakeServer::registered);
        QSignalSpy completed(&server, &FakeServer::completionReceived);
        QProcess* client = start();
        auto end = qScopeGuard([&] { stop(client); });
        QTRY_COMPARE_WITH_TIMEOUT(registered.size(), 1, 15000);

        // The server's machine loses its power while the document prints: nothing is closed.
        QVERIFY(server.sendPrintRequest(path));
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("Preparo: Testata Pagina 1")), 15000);
        QVERIFY(network.link("down"));
        server.closeConnection();
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("Connessione con il server persa: ")),
                                 30000);
        // Back on the network, the server program not yet: every call is refused.
        server.stopListening();
        QVERIFY(network.link("up"));
        const auto refusals = [&] {
            return logLines(clientLog()).filter(QStringLiteral("WSCK_Error"));
        };
        QTRY_VERIFY_WITH_TIMEOUT(!refusals().filter(QStringLiteral("(ripetuto ")).isEmpty(), 20000);
        QVERIFY(server.listen(m_base));
        QTRY_COMPARE_WITH_TIMEOUT(registered.size(), 2, 15000);
        // The server offers what the workstation held again, at once.
        QVERIFY(server.sendPrintRequest(path));
        QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 1, 30000);
        QCOMPARE(QDir(m_pdf).entryList({QStringLiteral("*.pdf")}).size(), pdfsBefore + 1);

        // Hundreds of refused calls, a few lines.
        QVERIFY2(refusals().size() < 10, qPrintable(refusals().join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestClientProgram)
#include "tst_clientprogram.moc"
