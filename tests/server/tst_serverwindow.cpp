// The server window in-process: its controls and timers, the start-up sequence in a temporary
// program folder, the first activation, the follow-up timer, the trace and message switches,
// the menu and the shutdown.

#include "testfiles.h"
#include "companycodes.h"
#include "database.h"
#include "documentschema.h"
#include "poolfixture.h"
#include "portpool.h"
#include "runtimeenv.h"
#include "serverconsole.h"
#include "serverwindow.h"
#include "userprompts.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <random>

namespace {
class RecordingPrompts : public UserPrompts {
public:
    void message(const QString& text, const QString&, Icon) override { messages << text; }
    bool question(const QString&, const QString&) override { return false; }
    QString input(const QString&, const QString&) override { return {}; }
    QStringList messages;
};

} // namespace

class TestServerWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_program; // program folder, with a blank in its name
    QString m_print;
    QString m_netArgs;
    quint16 m_base = 0;
    RecordingPrompts m_prompts;

    QString logText() const {
        QFile f(m_dir->filePath(QStringLiteral("VXreg.txt")));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    void writeCompanies(const QList<int>& codes) {
        const QString db = m_program + QStringLiteral("/Client/Documenti.mdb");
        QVERIFY(DocumentSchema::create(db).ok());
        Database database;
        QVERIFY(database.open(Database::connectionText(db)).ok());
        for (int code : codes)
            QVERIFY(database
                        .execute(QStringLiteral("INSERT INTO Ditta (Codice, Intestazione1) "
                                                "VALUES (%1, 'Ditta %1')")
                                     .arg(code))
                        .ok());
        database.close();
    }

    template <typename T> T* child(ServerWindow& w, const char* name) {
        return w.findChild<T*>(QLatin1String(name));
    }

private slots:
    void initTestCase() {
        // Short timers and a free block of ports, before anything reads the environment.
        m_base = ServerTest::freePortBlock(PortPool::Slots);
        QVERIFY(m_base != 0);
        qputenv("VELARIX_BASE_PORT", QByteArray::number(m_base));
        qputenv("VELARIX_TIMER_SCALE", "20");
        QCOMPARE(RuntimeEnv::get().basePort, int(m_base));
    }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir::setCurrent(m_dir->path())); // the log lies in the current directory
        m_program = m_dir->filePath(QStringLiteral("Velarix Srv"));
        m_print = m_dir->filePath(QStringLiteral("Stampe")) + QLatin1Char('/');
        QDir().mkpath(m_program + QStringLiteral("/Client"));
        QDir().mkpath(m_print);
        writeFile(m_program + QStringLiteral("/Client/Copie.txt"),
                  "\"" + m_print.toUtf8() + "\"\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n0\r\n0\r\n");
        // A stand-in for Samba's net that records its arguments, one per line.
        const QString bin = m_dir->filePath(QStringLiteral("bin"));
        QDir().mkpath(bin);
        m_netArgs = m_dir->filePath(QStringLiteral("net-args.txt"));
        writeFile(bin + QStringLiteral("/net"),
                  "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                      m_netArgs.toUtf8() + ".tmp' && mv '" + m_netArgs.toUtf8() + ".tmp' '" +
                      m_netArgs.toUtf8() + "'\n");
        QFile::setPermissions(bin + QStringLiteral("/net"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", bin.toUtf8() + ":" + qgetenv("PATH"));
        qputenv("XDG_CONFIG_HOME", m_dir->filePath(QStringLiteral("config")).toUtf8());
        m_prompts.messages.clear();
    }

    void cleanup() {
        QDir::setCurrent(QDir::tempPath());
        m_dir.reset();
    }

    void controlsAndTimersBeforeStartUp() {
        ServerWindow w(m_program, m_prompts);
        QCOMPARE(w.objectName(), QStringLiteral("VelarixSrv"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Velarix (Server)"));
        QCOMPARE(child<QLabel>(w, "Lbls_0")->text(), QStringLiteral("Local IP"));
        QCOMPARE(child<QLabel>(w, "Lbls_1")->text(), QStringLiteral("Stato delle porte"));
        QCOMPARE(child<QCheckBox>(w, "OPT1")->text(), QStringLiteral("Visualizza Messaggi"));
        QCOMPARE(child<QCheckBox>(w, "TraceON")->text(), QStringLiteral("Trace ON"));
        QVERIFY(!child<QCheckBox>(w, "OPT1")->isChecked());
        QVERIFY(!child<QCheckBox>(w, "TraceON")->isChecked());
        for (const char* name : {"Local_Host", "Lst_Port", "Lst_Msg", "Label1", "Picture1"})
            QVERIFY2(w.findChild<QWidget*>(QLatin1String(name)), name);
        QCOMPARE(child<QMenu>(w, "mnuImposta")->title(), QStringLiteral("Impostazioni"));
        QCOMPARE(child<QAction>(w, "mnuDatiDitta")->text(), QStringLiteral("Dati Ditta"));
        QCOMPARE(child<QAction>(w, "mnuNumCopie")->text(), QStringLiteral("Numero Copie"));

        struct Expect {
            int number;
            int interval;
            bool active;
        };
        for (const Expect& e :
             {Expect{1, 1000, false}, Expect{2, 60000, false}, Expect{3, 3000, true},
              Expect{4, 10000, true}, Expect{5, 1000, false}}) {
            QTimer* t = w.findChild<QTimer*>(QStringLiteral("Timer%1").arg(e.number));
            QVERIFY(t);
            QCOMPARE(t, w.timer(e.number));
            QCOMPARE(t->interval(), RuntimeEnv::get().interval(e.interval));
            QCOMPARE(t->isActive(), e.active);
        }
        // Nothing listens before the first activation, and the refresh has nothing to show.
        QVERIFY(!w.pool().isOpened());
        w.pool().refresh();
        QCOMPARE(child<QListWidget>(w, "Lst_Port")->count(), 0);
    }

    void startUpSequence() {
        writeCompanies({7, 3, 5});
        ServerWindow w(m_program, m_prompts);
        w.startUp();
        QCOMPARE(w.windowTitle(), QStringLiteral("Velarix (Server) - 25 porte"));
        QVERIFY(logText().contains(QStringLiteral("****Apertura Programma****")));
        QVERIFY(!child<QLineEdit>(w, "Local_Host")->text().isEmpty());
        QCOMPARE(w.printFolder(), m_print);
        QCOMPARE(w.pool().printFolder(), m_print);
        QCOMPARE(w.codes().at(0), 3);
        QCOMPARE(w.codes().at(2), 7);
        QVERIFY(w.timer(1)->isActive());
        QVERIFY(w.timer(2)->isActive());
        QVERIFY(m_prompts.messages.isEmpty());

        // The share command got the program folder, blank included, as one argument.
        QTRY_VERIFY(QFile::exists(m_netArgs));
        QFile args(m_netArgs);
        QVERIFY(args.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(args.readAll()).split(QLatin1Char('\n')),
                 (QStringList{"usershare", "add", "Velarix", m_program, "", "S-1-1-0:F",
                              "guest_ok=y", ""}));
        // First start on this machine: registered to start at log-on, marker left behind.
        QVERIFY(
            QFile::exists(m_dir->filePath(QStringLiteral("config/autostart/VelarixSrv.desktop"))));
        QVERIFY(QFile::exists(m_program + QStringLiteral("/VelarixSrv.autostart")));

        // The ports open at the first activation only.
        QVERIFY(!w.pool().isOpened());
        child<QCheckBox>(w, "TraceON")->setChecked(true);
        w.firstActivation();
        QCOMPARE(w.activationTag(), QStringLiteral("Activated"));
        QVERIFY(w.pool().isOpened());
        auto* ports = child<QListWidget>(w, "Lst_Port");
        QCOMPARE(ports->count(), 25);
        QCOMPARE(ports->item(0)->text(), QStringLiteral("Porta %1\tIn attesa").arg(m_base));
        QCOMPARE(ports->item(24)->text(), QStringLiteral("Porta %1\tIn attesa").arg(m_base + 24));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.activateWindow();
        w.firstActivation();
        QTest::qWait(50);
        QCOMPARE(logText().count(QStringLiteral("SpY:Listen")), 1);
    }

    void companyCodes_data() {
        QTest::addColumn<int>("count");
        QTest::newRow("none") << 0;
        QTest::newRow("five") << 5;
        QTest::newRow("twenty-five") << 25;
    }

    void companyCodes() {
        QFETCH(int, count);
        QList<int> codes;
        for (int i = 1; i <= count; ++i)
            codes << i * 3;
        QList<int> shuffled = codes;
        std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(count));
        writeCompanies(shuffled);
        ServerWindow w(m_program, m_prompts);
        w.startUp();
        for (int slot = 0; slot < CompanyCodes::Slots; ++slot)
            QCOMPARE(w.codes().at(slot), slot < count ? codes[slot] : 0);
    }

    void missingDatabaseLeavesZeros() {
        ServerWindow w(m_program, m_prompts);
        w.startUp();
        for (int slot = 0; slot < CompanyCodes::Slots; ++slot)
            QCOMPARE(w.codes().at(slot), 0);
        QVERIFY(w.timer(1)->isActive());
        QVERIFY(logText().contains(QStringLiteral("Lettura codici ditta non riuscita: ")));

        // A company's print file is not deleted while the codes are unknown.
        const QString file = m_print + QStringLiteral("A.004");
        writeFile(file, "PC:UFFICIO1\r\n");
        QTest::qWait(3 * w.timer(1)->interval());
        QVERIFY(QFile::exists(file));

        // The periodic pass reads the codes once the database is there; then the file is judged.
        writeCompanies({4});
        QTRY_COMPARE(w.codes().at(0), 4);
        QVERIFY(w.codes().isKnown());
        QTRY_VERIFY(!QFile::exists(file));
    }

    void blankPrintFolderAsksForIt() {
        QVERIFY(QFile::remove(m_program + QStringLiteral("/Client/Copie.txt")));
        ServerWindow w(m_program, m_prompts);
        w.startUp();
        QCOMPARE(m_prompts.messages, QStringList{QStringLiteral("Impostare percorso file Stampa")});
        QCOMPARE(w.windowTitle(), QStringLiteral("Velarix (Server) - 25 porte"));
        QVERIFY(w.timer(1)->isActive());
    }

    void completionAndRegistrationStartTheFollowUpPass() {
        ServerWindow w(m_program, m_prompts);
        w.startUp();
        w.firstActivation();
        ServerTest::Client client;
        QVERIFY(client.connectTo(quint16(m_base + 2)));
        QTRY_COMPARE(w.pool().state(3), 7);
        client.send("PC: UFFICIO3 \r");
        QTRY_COMPARE(w.registryName(3), QStringLiteral("UFFICIO3"));

        w.timer(5)->stop();
        const QString file = m_print + QStringLiteral("A.001.PRN");
        writeFile(file, "PC:UFFICIO3\r\n");
        client.send("DEL:" + file.toUtf8() + "\r");
        QTRY_VERIFY(!QFile::exists(file));
        QCOMPARE(w.followUpName(), QStringLiteral("UFFICIO3"));
        QVERIFY(w.timer(5)->isActive());
        // One tick later the follow-up pass has run: name consumed, periodic pass restarted.
        QTRY_VERIFY(!w.timer(5)->isActive());
        QCOMPARE(w.followUpName(), QString());
        QVERIFY(w.timer(2)->isActive());
    }

    void traceAndMessageSwitches() {
        ServerWindow w(m_program, m_prompts);
        w.startUp();
        w.firstActivation();
        auto* opt1 = child<QCheckBox>(w, "OPT1");
        auto* trace = child<QCheckBox>(w, "TraceON");
        auto* messages = child<QListWidget>(w, "Lst_Msg");

        ServerTest::Client a;
        QVERIFY(a.connectTo(m_base));
        QTRY_VERIFY(logText().contains(QStringLiteral(" aperta alle ")));
        QCOMPARE(messages->count(), 0);
        QVERIFY(!logText().contains(QStringLiteral("SpY:")));

        opt1->click();
        trace->click();
        ServerTest::Client b;
        QVERIFY(b.connectTo(quint16(m_base + 1)));
        QTRY_COMPARE(messages->count(), 1);
        QVERIFY(messages->item(0)->text().startsWith(
            QStringLiteral("Connessione sulla porta %1 aperta alle ").arg(m_base + 1)));
        QCOMPARE(messages->currentRow(), 0);
        QVERIFY(logText().contains(QStringLiteral("SpY:WSCK_ConnectionRequest(2)")));
        w.timer(4)->setInterval(1);
        QTRY_VERIFY(logText().contains(QStringLiteral("SpY:Timer4")));
        w.timer(4)->stop();

        trace->click();
        const qsizetype traces = logText().count(QStringLiteral("SpY:"));
        b.send("PC:B\r");
        QTRY_VERIFY(logText().contains(QStringLiteral(" al pc:B")));
        QCOMPARE(logText().count(QStringLiteral("SpY:")), traces);
        QCOMPARE(messages->count(), 3); // received, reply
    }

    void menuCommandsAreLogged() {
        ServerWindow w(m_program, m_prompts);
        w.startUp();
        // Whatever window the command opens is closed again right away.
        auto closeModal = [] {
            QTimer::singleShot(300, [] {
                if (QWidget* modal = QApplication::activeModalWidget())
                    modal->close();
            });
        };
        closeModal();
        child<QAction>(w, "mnuDatiDitta")->trigger();
        closeModal();
        child<QAction>(w, "mnuNumCopie")->trigger();
        const QString log = logText();
        QVERIFY(log.contains(QStringLiteral("Apertura Gestione Dati Ditta")));
        QVERIFY(log.contains(QStringLiteral("Apertura Gestione Copie")));
        QVERIFY(log.indexOf(QStringLiteral("Apertura Gestione Dati Ditta")) <
                log.indexOf(QStringLiteral("Apertura Gestione Copie")));
    }

    void trayHandOffRunsOnce() {
        ServerWindow w(m_program, m_prompts);
        w.startUp();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY(!w.timer(3)->isActive());
        // No notification area offscreen: the window is minimised instead of vanishing.
        QTRY_VERIFY(!w.isVisible() || w.isMinimized());
    }

    void minimisingIsTraced()
    {
        ServerWindow w(m_program, m_prompts);
        w.startUp();
        w.timer(3)->stop();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        child<QCheckBox>(w, "TraceON")->setChecked(true);
        w.showMinimized();
        QTRY_VERIFY(logText().contains(QStringLiteral("SpY:Riduci a icona")));
        // The window is either behind the icon or, without a notification area, minimised.
        QVERIFY(!w.isVisible() || w.isMinimized());
    }

    void shutdownClosesEverySlot() {
        ServerWindow w(m_program, m_prompts);
        w.startUp();
        w.firstActivation();
        ServerTest::Client client;
        QVERIFY(client.connectTo(quint16(m_base + 24)));
        QTRY_COMPARE(w.pool().state(25), 7);
        w.close();
        QTRY_VERIFY(!client.isConnected());
        w.terminate();
        const QString log = logText();
        QVERIFY(log.indexOf(QStringLiteral("Chiusura Porte collegate")) <
                log.indexOf(QStringLiteral("****Chiusura Programma****")));
        QCOMPARE(log.count(QStringLiteral("****Chiusura Programma****")), 1);
        ServerTest::Client late;
        QVERIFY(!late.connectTo(m_base, 500));
    }
};

QTEST_MAIN(TestServerWindow)
#include "tst_serverwindow.moc"
