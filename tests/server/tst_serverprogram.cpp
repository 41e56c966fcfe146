// The real VelarixSrv as a black box: headless and unattended, in a temporary program folder
// (with a blank in its name) holding Client/Copie.txt and Client/Documenti.mdb, driven by plain
// sockets on loopback. The print folder is stored with blanks after it, as a user may type it.

#include "poolfixture.h"
#include "version.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

using ServerTest::Client;

class TestServerProgram : public QObject {
    Q_OBJECT

private:
    ServerTest::ServerFolder m_folder;
    QString m_program = m_folder.program;
    QString m_print = m_folder.print;
    quint16 m_base = 0;
    QProcessEnvironment m_env;
    QProcess m_server;

    QString logText() const { return m_folder.log(); }
    QString binary() const { return m_program + QStringLiteral("/VelarixSrv"); }
    // Registers a workstation on the first free port from base upwards, as the client does.
    std::unique_ptr<Client> registered(const QByteArray& name) {
        return ServerTest::registerOn(m_base, name);
    }

    // Runs velarix-admin on this server's folder: its exit code; m_said: its standard error.
    int admin(const QStringList& args) {
        QProcess admin;
        admin.start(VELARIX_BIN_DIR "/velarix-admin", QStringList{"--folder", m_program} + args);
        const bool done = admin.waitForFinished(30000);
        m_said = QString::fromUtf8(admin.readAllStandardError());
        return done ? admin.exitCode() : -1;
    }
    QString m_said;

private slots:
    void initTestCase() {
        // Root that may not read what it likes reads as a file's owner: a file closed to its
        // owner is unreadable to this server as to a service user.
        m_server.setChildProcessModifier([] {
            ::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
            ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
        });
        m_folder.writeCompanies({1});
        writeFile(m_program + QStringLiteral("/Client/Copie.txt"),
                  "\"" + m_print.toUtf8() + "  \"\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n0\r\n0\r\n");
        m_base = ServerTest::startServer(m_server, m_folder);
        m_env = m_server.processEnvironment();
        QVERIFY(m_base != 0);
        const QSet<quint16> ports = ServerTest::listeningPorts(m_server.processId());
        for (int i = 0; i < 25; ++i)
            QVERIFY(ports.contains(quint16(m_base + i)));
    }

    void startUpDidItsWork() {
        QVERIFY(logText().contains(QStringLiteral("****Apertura Programma****")));
        // The share got the program folder as one argument; start at log-on is registered.
        const QString netArgs = m_folder.path("net-args.txt");
        QTRY_VERIFY(QFile::exists(netArgs));
        QVERIFY(QString::fromUtf8(readFile(netArgs)).split(QLatin1Char('\n')).contains(m_program));
        QVERIFY(QFile::exists(m_folder.path("config/autostart/VelarixSrv.desktop")));
    }

    void secondInstanceIsRefused_data() {
        QTest::addColumn<bool>("otherFolder");
        QTest::newRow("same folder") << false;
        QTest::newRow("another installation") << true;
    }

    void secondInstanceIsRefused() {
        // One server per machine, wherever it was started from: it would take the first one's
        // free ports.
        QFETCH(bool, otherFolder);
        QString program = binary();
        if (otherFolder) {
            program = m_folder.path("Altra copia") + QStringLiteral("/VelarixSrv");
            QVERIFY(QDir().mkpath(QFileInfo(program).path()));
            QVERIFY(QFile::exists(program) || QFile::copy(binary(), program));
        }
        QProcess second;
        second.setProcessEnvironment(m_env);
        second.setWorkingDirectory(QFileInfo(program).path());
        second.start(program, {});
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QVERIFY(QString::fromUtf8(second.readAllStandardError())
                    .contains(QStringLiteral("Programma già in esecuzione!")));
        QCOMPARE(logText().count(QStringLiteral("****Apertura Programma****")), 1);
        if (otherFolder)
            QVERIFY(!QFile::exists(QFileInfo(program).path() + QStringLiteral("/VXreg.txt")));
        QCOMPARE(m_server.state(), QProcess::Running);
        QCOMPARE(ServerTest::workstationPortsListening(m_server.processId(), m_base), 25);
    }

    void lockThatCannotBeTakenIsNoSecondServer() {
        // A lock folder that cannot be made (here: below a file) says nothing about another
        // server: this one starts, says why, and serves on its own ports.
        const QString folder = m_folder.path("Senza blocco");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::copy(binary(), folder + QStringLiteral("/VelarixSrv")));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/Stampe")));
        writeFile(folder + QStringLiteral("/Client/Copie.txt"),
                  folder.toUtf8() + "/Stampe/\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n0\r\n0\r\n");
        writeFile(m_folder.path("un file"), "");
        QProcessEnvironment env = m_env;
        env.insert(QStringLiteral("VELARIX_LOCK_DIR"),
                   m_folder.path("un file") + QStringLiteral("/blocchi"));
        const quint16 base = TestPorts::freeRange(25);
        QVERIFY(base != 0);
        env.insert(QStringLiteral("VELARIX_BASE_PORT"), QString::number(base));
        QProcess other;
        other.setProcessEnvironment(env);
        other.setWorkingDirectory(folder);
        other.start(folder + QStringLiteral("/VelarixSrv"), {});
        QVERIFY(other.waitForStarted());
        const QString log = folder + QStringLiteral("/VXreg.txt");
        QTRY_VERIFY_WITH_TIMEOUT(
            QString::fromUtf8(readFile(log))
                .contains(
                    QStringLiteral("Controllo di istanza unica non riuscito (Impossibile creare il "
                                   "blocco ")),
            15000);
        QVERIFY(!QString::fromUtf8(other.readAllStandardError())
                     .contains(QStringLiteral("Programma già in esecuzione!")));
        QTRY_VERIFY_WITH_TIMEOUT(ServerTest::listeningPorts(other.processId()).contains(base),
                                 15000);
        other.terminate();
        QVERIFY(other.waitForFinished(15000));
    }

    void fileHeldOpenByItsWriterWaitsForItsClose() {
        auto client = registered("SCRITTORE");
        QVERIFY(client);
        // The writer has written the workstation line and pauses with the file open; its time
        // stamp is old enough for any rule that trusts a file at rest.
        QFile writer(m_print + QStringLiteral("LENTO.001"));
        QVERIFY(writer.open(QIODevice::WriteOnly));
        writer.write("DITTA PROVA\r\nPC:SCRITTORE FATTURA\r\n");
        QVERIFY(writer.flush());
        QVERIFY(writer.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                   QFileDevice::FileModificationTime));
        // A whole file dropped after it is taken: the scans have passed the open one by.
        writeFile(m_print + QStringLiteral("SVELTO.001"), "PC:SCRITTORE\r\n");
        const QByteArray quick = "DIR:" + m_print.toUtf8() + "SVELTO.001.PRN\r";
        QTRY_COMPARE(client->received(), quick);
        QVERIFY(QFile::exists(writer.fileName()));

        QByteArray rest;
        while (writer.size() + rest.size() < 600)
            rest += "RIGA DEL DOCUMENTO\r\n";
        writer.write(rest.left(600 - writer.size()));
        writer.close();
        QTRY_COMPARE(client->received(), quick + "DIR:" + m_print.toUtf8() + "LENTO.001.PRN\r");
        QCOMPARE(QFileInfo(m_print + QStringLiteral("LENTO.001.PRN")).size(), qint64(600));
    }

    void periodicPassRunsWhileAnotherWorkstationKeepsPrinting() {
        auto busy = registered("OCCUPATO");
        auto quiet = registered("SILENZIOSO");
        QVERIFY(busy && quiet);
        // The quiet workstation's announcement is lost: it never answers.
        writeFile(m_print + QStringLiteral("PERSO.001"), "PC:SILENZIOSO\r\n");
        const QByteArray lost = "DIR:" + m_print.toUtf8() + "PERSO.001.PRN\r";
        QTRY_COMPARE(quiet->received(), lost);

        // The busy one prints a job every tenth of a second (a follow-up pass after each).
        int jobs = 0;
        QTimer office;
        connect(&office, &QTimer::timeout, this, [&] {
            for (const QByteArray& line : busy->received().split('\r')) {
                if (line.startsWith("DIR:"))
                    busy->send("DEL:" + line.mid(4) + "\r");
            }
            busy->clearReceived();
            writeFile(m_print + QStringLiteral("B%1.001").arg(++jobs, 4, 10, QLatin1Char('0')),
                      "PC:OCCUPATO\r\n");
        });
        office.start(100);
        // The periodic pass (every second here) offers the lost file again all the same.
        QTRY_COMPARE_WITH_TIMEOUT(quiet->received(), lost + lost, 15000);
        office.stop();
        quiet->send("DEL:" + lost.mid(4));
    }

    void filesNobodyCanTakeAreSetAsideNotSent() {
        // A workstation connected but not registered, and one registered: an empty name after
        // "PC:" is neither of them; an unknown company code loses nothing either.
        ServerTest::Client unnamed; // on the lowest free port: the first slot a match would try
        for (int i = 0; i < 25 && !unnamed.isConnected(); ++i)
            unnamed.connectTo(quint16(m_base + i), 1000);
        QVERIFY(unnamed.isConnected());
        auto named = registered("UFFICIO1");
        QVERIFY(named);
        writeFile(m_print + QStringLiteral("VUOTO.001"), "DITTA PROVA\r\nPC: UFFICIO1\r\n");
        writeFile(m_print + QStringLiteral("DITTA.009"), "PC:UFFICIO1\r\n");
        QTRY_VERIFY(QFile::exists(m_print + QStringLiteral("VUOTO.001.ERR")));
        QTRY_VERIFY(QFile::exists(m_print + QStringLiteral("DITTA.009.ERR")));
        QVERIFY(logText().contains(QStringLiteral("Stampa messa da parte: ") + m_print +
                                   QStringLiteral("DITTA.009.ERR (codice ditta 009 sconosciuto)")));
        QCOMPARE(unnamed.received(), QByteArray());
        QCOMPARE(named->received(), QByteArray());
    }

    void fileWrittenInStepsIsTakenWhole() {
        // The writer closes after the first header lines and opens the file again 0.6 s later
        // for the rest: the whole file is announced, no fragment is left behind.
        auto client = registered("PASSI");
        QVERIFY(client);
        QByteArray document = "@PROVA^01\r\n^FL:  1 PC:PASSI\r\n\r\n";
        for (int i = 1; i <= 14; ++i)
            document += "TESTATA " + QByteArray::number(i) + "\r\n";
        document += "RIGA 1\r\nRIGA 2\r\n\f\r\n";
        QFile writer(m_print + QStringLiteral("PASSI.001"));
        QVERIFY(writer.open(QIODevice::WriteOnly));
        writer.write(document.left(100));
        writer.close();
        QTest::qWait(600); // the writer's own pause between its steps
        QVERIFY(writer.open(QIODevice::Append));
        writer.write(document.mid(100));
        writer.close();
        QTRY_COMPARE(client->received(), "DIR:" + QFile::encodeName(writer.fileName()) + ".PRN\r");
        QCOMPARE(readFile(writer.fileName() + QStringLiteral(".PRN")), document);
        QVERIFY(!writer.exists());
    }

    void filesThatCouldStopTheServerAreLeftAlone() {
        // A link to an endless device, a pipe nobody writes, 40 MB without a line end, a name too
        // long to take ".PRN", one that is not text and a file the server may not read: each is
        // logged once with its reason and shown so in the queue, and the files after them are
        // still served. With them in the folder the server still ends on SIGTERM (the last test).
        auto client = registered("UFFICIO2");
        QVERIFY(client);
        const QByteArray print = QFile::encodeName(m_print);
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), m_print + QStringLiteral("ZERO.001")));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), m_print + QStringLiteral("ZERO.001.PRN")));
        QCOMPARE(::mkfifo((print + "TUBO.001").constData(), 0600), 0);
        QVERIFY(::close(::open((print + "NOME\xff.001").constData(), O_CREAT | O_WRONLY, 0600)) ==
                0);
        const int closed = ::open((print + "CHIUSO.001").constData(), O_CREAT | O_WRONLY, 0200);
        QVERIFY(::write(closed, "PC:UFFICIO2\r\n", 13) == 13 && ::close(closed) == 0);
        writeFile(m_print + QString(252, QLatin1Char('L')), "PC:UFFICIO2\r\n");
        writeFile(m_print + QStringLiteral("GRANDE.001"), QByteArray(40 << 20, 'x'));
        writeFile(m_print + QStringLiteral("SERVITO.001"), "PC:UFFICIO2\r\n");
        QTRY_COMPARE(client->received(), "DIR:" + print + "SERVITO.001.PRN\r");
        QTRY_VERIFY(QFile::exists(m_print + QStringLiteral("GRANDE.001.ERR")));
        // Later scans log nothing again.
        writeFile(m_print + QStringLiteral("ANCORA.001"), "PC:UFFICIO2\r\n");
        QTRY_VERIFY(client->received().contains("ANCORA.001.PRN"));
        const QStringList reasons = {"ZERO.001 (collegamento: è un dispositivo, non un file)",
                                     "TUBO.001 (è una pipe (FIFO), non un file)",
                                     "NOME\\xFF.001 (nome del file non valido (non è testo UTF-8))",
                                     QString(252, QLatin1Char('L')) +
                                         " (nome del file troppo lungo: 252 byte, al massimo 251)",
                                     "GRANDE.001.ERR (manca la riga PC: nei primi 4 MB)",
                                     "CHIUSO.001 (non leggibile: permesso negato)"};
        QProcess admin;
        admin.start(QStringLiteral(VELARIX_BIN_DIR "/velarix-admin"),
                    {QStringLiteral("--folder"), m_program, QStringLiteral("queue")});
        QVERIFY(admin.waitForFinished(15000));
        const QString queue = QString::fromUtf8(admin.readAllStandardOutput());
        const QString log = logText();
        for (const QString& reason : reasons) {
            QVERIFY2(log.count(m_print + reason) == 1, qPrintable(reason));
            const QString name = reason.section(QLatin1Char(' '), 0, 0);
            const QString why = reason.section(QLatin1Char('('), 1).chopped(1);
            QVERIFY2(queue.contains(name) && queue.contains(why), qPrintable(queue));
        }
        // The file it may not read is named once, for that, not as a file it cannot watch.
        QCOMPARE(log.count(m_print + QStringLiteral("CHIUSO.001")), 1);
    }

    void busyPortRefusesInsteadOfResetting() {
        // Two callers reach one port while the server is not looking (here: stopped): the first
        // gets the port, the second is refused, never connected and then dropped.
        const quint16 port = quint16(m_base + 20);
        ::kill(pid_t(m_server.processId()), SIGSTOP);
        ServerTest::Client first;
        const bool firstConnected = first.connectTo(port, 5000);
        QTcpSocket second;
        QSignalSpy secondConnected(&second, &QTcpSocket::connected);
        second.connectToHost(QHostAddress::LocalHost, port); // its SYN goes out at once
        ::kill(pid_t(m_server.processId()), SIGCONT);
        QVERIFY(firstConnected);
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QAbstractSocket::UnconnectedState, 10000);
        QCOMPARE(secondConnected.count(), 0);
        QCOMPARE(second.error(), QAbstractSocket::ConnectionRefusedError);
        first.send("PC:PRIMO\r");
        QTRY_VERIFY(first.received().startsWith("Velarix 1.0 rev. "));
    }

    void unreachablePrintFolderIsToldAndRecovers() {
        auto client = registered("RITORNO");
        QVERIFY(client);
        const QString away = m_folder.path("Stampe spostate");
        QVERIFY(QDir().rename(m_print, away));
        const QString stopped =
            QStringLiteral("Stampe ferme: cartella di stampa inesistente: ") + m_print;
        QTRY_VERIFY(logText().contains(stopped));
        QVERIFY(QDir().rename(away, m_print));
        QTRY_VERIFY(logText().contains(
            QStringLiteral("Cartella di stampa di nuovo raggiungibile: ") + m_print));
        QCOMPARE(logText().count(stopped), 1);
        writeFile(m_print + QStringLiteral("DOPO.001"), "PC:RITORNO\r\n");
        QTRY_COMPARE(client->received(), "DIR:" + m_print.toUtf8() + "DOPO.001.PRN\r");
    }

    void printJobTravelsAndIsDeletedSafely() {
        auto client = registered("UFFICIO1");
        QVERIFY(client);
        writeFile(m_print + QStringLiteral("FATT.001"),
                  "DITTA PROVA\r\nPC:UFFICIO1 FATTURA\r\nRIGA 1\r\n");
        const QByteArray request = "DIR:" + m_print.toUtf8() + "FATT.001.PRN\r";
        QTRY_COMPARE_WITH_TIMEOUT(client->received(), request, 10000);
        QVERIFY(QFile::exists(m_print + QStringLiteral("FATT.001.PRN")));

        // A completion naming a file outside the print folder deletes nothing.
        const QString settings = m_program + QStringLiteral("/Client/Copie.txt");
        client->send("DEL:" + settings.toUtf8() + "\r");
        QTRY_VERIFY(logText().contains(QStringLiteral("Cancellazione rifiutata: ") + settings));
        QVERIFY(QFile::exists(settings));

        client->send("DEL:" + m_print.toUtf8() + "FATT.001.PRN\r");
        QTRY_VERIFY(!QFile::exists(m_print + QStringLiteral("FATT.001.PRN")));
    }

    void survivesConnectDropStorms() {
        for (int i = 0; i < 300; ++i) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, quint16(m_base + i % 25));
            if (s.waitForConnected(200) && i % 3 == 0)
                s.write("PC:TEMP\r");
            s.abort();
        }
        QCOMPARE(m_server.state(), QProcess::Running);
        // The storm's last connections are still being closed and their ports reopened, so a
        // pass over the ports may find them all busy; a client then tries again a little later.
        std::unique_ptr<Client> after;
        const bool served = QTest::qWaitFor(
            [&] {
                after = registered("DOPO");
                return after != nullptr;
            },
            10000);
        QVERIFY2(served, m_server.readAllStandardError().right(3000).constData());
    }

    void changesByHandAreTakenUp() {
        // A file set aside for a company that velarix-admin then saves, even across a restart,
        // goes back by itself, and the next one is accepted; Copie.txt rewritten in place (as an
        // editor does) is read.
        writeFile(m_print + "PRIMA.007", "PC:NUOVA\r\n");
        QTRY_VERIFY(QFile::exists(m_print + "PRIMA.007.ERR"));
        m_server.terminate();
        QVERIFY(m_server.waitForFinished(15000));
        m_base = ServerTest::startServer(m_server, m_folder);
        QVERIFY(m_base != 0);
        QCOMPARE(admin({"letterhead", "7", "NUOVA"}), 0);
        writeFile(m_print + "DOPO.007", "PC:NUOVA\r\n");
        QTRY_VERIFY(QFile::exists(m_print + "DOPO.007.PRN") &&
                    QFile::exists(m_print + "PRIMA.007.PRN"));
        QVERIFY(logText().contains("Stampa rimessa in coda: " + m_print + "PRIMA.007.PRN"));
        const qsizetype before = logText().count("Copie.txt modificato");
        QFile copies(m_program + "/Client/Copie.txt");
        QVERIFY(copies.open(QIODevice::ReadWrite | QIODevice::Truncate));
        QVERIFY(copies.write(m_print.toUtf8() + "\r\n2\r\n") > 0);
        copies.close();
        QTRY_COMPARE(logText().count("Copie.txt modificato"), before + 1);

        // A new print folder: the documents waiting in the old one stay without --yes, and
        // velarix-admin and the server say so; with --yes they move along.
        const QString other = m_folder.path("Nuova stampa") + u'/';
        QVERIFY(QDir().mkpath(other));
        QCOMPARE(admin({"print-folder", other}), 0);
        const QString left = " documenti in attesa nella cartella di stampa precedente: " + m_print;
        QVERIFY2(m_said.contains(left), qPrintable(m_said));
        QTRY_VERIFY(logText().contains(left));
        writeFile(other + "ALTRA.001", "PC:ASSENTE\r\n");
        QTRY_VERIFY(QFile::exists(other + "ALTRA.001.PRN"));
        QCOMPARE(admin({"--yes", "print-folder", m_print}), 0);
        QVERIFY(QFile::exists(m_print + "ALTRA.001.PRN") &&
                !QFile::exists(other + "ALTRA.001.PRN"));
        // The server takes the change up a moment later: the next test needs it done.
        writeFile(m_print + "RITORNO.001", "PC:ASSENTE\r\n");
        QTRY_VERIFY(QFile::exists(m_print + "RITORNO.001.PRN"));
    }

    void terminationClosesEverything() {
        auto client = registered("ULTIMO");
        QVERIFY(client);
        // Completions already received when the server is told to stop (it is held still so
        // that both arrive before it looks) are carried out: a restart would print them again.
        QStringList printed;
        QByteArray completions;
        for (int i = 0; i < 20; ++i) {
            printed << m_print + QStringLiteral("FINE%1.001.PRN").arg(i);
            writeFile(printed.last(), "PC:ULTIMO\r\n");
            completions += "DEL:" + printed.last().toUtf8() + "\r";
        }
        ::kill(pid_t(m_server.processId()), SIGSTOP);
        client->send(completions);
        m_server.terminate();
        ::kill(pid_t(m_server.processId()), SIGCONT);
        QVERIFY(m_server.waitForFinished(15000));
        for (const QString& file : printed)
            QVERIFY2(!QFile::exists(file), qPrintable(file));
        QCOMPARE(m_server.exitStatus(), QProcess::NormalExit);
        QTRY_VERIFY(!client->isConnected());
        const QString log = logText();
        QVERIFY(log.contains(QStringLiteral("Chiusura Porte collegate")));
        QVERIFY(log.trimmed().endsWith(QStringLiteral("****Chiusura Programma****")));
    }

    void cleanupTestCase() {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }
};

QTEST_GUILESS_MAIN(TestServerProgram)
#include "tst_serverprogram.moc"
