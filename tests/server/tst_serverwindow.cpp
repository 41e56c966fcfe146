// What only the server window does: it shows the print server's state as it changes, forwards the
// switches and the menu, hands itself to the notification area, and closing it stops the server.

#include "poolfixture.h"
#include "portpool.h"
#include "printserver.h"
#include "runtimeenv.h"
#include "serverconsole.h"
#include "serverwindow.h"
#include "socketarray.h"
#include "userprompts.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

namespace {
class ScriptedPrompts : public UserPrompts {
public:
    QStringList questions;
    QStringList messages;
    bool answer = false;
    void message(const QString& text, const QString&, Icon) override { messages << text; }
    bool question(const QString& text, const QString&) override {
        questions << text;
        return answer;
    }
    QString input(const QString&, const QString&) override { return {}; }
};

// Closes the next modal window as soon as it shows.
void closeNextModal(QObject* context) {
    auto* poll = new QTimer(context);
    QObject::connect(poll, &QTimer::timeout, poll, [poll] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
            poll->deleteLater();
        }
    });
    poll->start(10);
}
} // namespace

class TestServerWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ServerTest::ServerFolder> m_folder;
    ScriptedPrompts m_prompts;
    std::unique_ptr<PrintServer> m_server;
    std::unique_ptr<ServerWindow> m_window;
    quint16 m_base = 0;

    QString logText() const { return m_folder->log(); }
    template <typename T> T* child(const char* name) {
        return m_window->findChild<T*>(QLatin1String(name));
    }

private slots:
    void initTestCase() {
        qputenv("VELARIX_TIMER_SCALE", "20");
        QCOMPARE(RuntimeEnv::get().timerScale, 20.0);
    }

    void init() {
        m_folder = std::make_unique<ServerTest::ServerFolder>();
        QVERIFY(QDir::setCurrent(m_folder->dir.path()));
        qputenv("XDG_CONFIG_HOME", m_folder->path("config").toUtf8());
        qputenv("PATH", m_folder->bin.toUtf8() + ":" + qgetenv("PATH"));
        m_prompts = ScriptedPrompts();
        m_folder->writeCompanies({1});
        m_base = ServerTest::openOnFreePorts(PortPool::Slots, [this](quint16 first) {
            m_window.reset();
            m_server = std::make_unique<PrintServer>(m_folder->program, m_prompts, first);
            m_window = std::make_unique<ServerWindow>(*m_server, m_prompts);
            m_server->startUp();
            m_window->show();
            if (!QTest::qWaitForWindowExposed(m_window.get()))
                return false;
            m_window->activateWindow();
            return QTest::qWaitFor([this] { return m_server->portsOpened(); }) &&
                   m_server->pool().state(PortPool::Slots) == SocketArray::Listening;
        });
        QVERIFY(m_base != 0);
    }

    void cleanup() {
        m_window.reset();
        m_server.reset();
        QDir::setCurrent(QDir::tempPath());
        m_folder.reset();
    }

    void showsTheServerState() {
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Velarix (Server) - 25 porte"));
        QCOMPARE(child<QLineEdit>("Local_Host")->text(), m_server->localIp());
        auto* ports = child<QListWidget>("Lst_Port");
        QCOMPARE(ports->count(), 25);
        QCOMPARE(ports->item(24)->text(), QStringLiteral("Porta %1\tLibera").arg(m_base + 24));

        // A connection changes its line; with the messages shown, it is listed and selected.
        child<QCheckBox>("OPT1")->click();
        child<QCheckBox>("TraceON")->click();
        ServerTest::Client client;
        QVERIFY(client.connectTo(quint16(m_base + 1)));
        QTRY_VERIFY(ports->item(1)->text().contains(QStringLiteral("Connessa")));
        auto* messages = child<QListWidget>("Lst_Msg");
        QTRY_COMPARE(messages->count(), 1);
        QCOMPARE(messages->currentRow(), 0);
        QVERIFY(logText().contains(QStringLiteral("SpY:WSCK_ConnectionRequest(2)")));

        // Activating the window again opens nothing a second time.
        m_window->activateWindow();
        QCoreApplication::processEvents();
        QVERIFY(!logText().contains(QStringLiteral("SpY:Listen")));

        // The watcher's status reaches the label.
        m_server->setStatusLabel(QStringLiteral("Attesa...."));
        QCOMPARE(child<QLabel>("Label1")->text(), QStringLiteral("Attesa...."));
    }

    void menuCommandsAreLoggedAndPauseTheWatcher() {
        QVERIFY(m_server->isWatcherRunning());
        bool pausedWhileOpen = false;
        QSet<QString> opened; // both open in every mode, unattended too
        auto* check = new QTimer(this);
        connect(check, &QTimer::timeout, this, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                pausedWhileOpen = !m_server->isWatcherRunning();
                opened << modal->windowTitle();
            }
        });
        check->start(5);
        closeNextModal(this);
        child<QAction>("mnuDatiDitta")->trigger();
        closeNextModal(this);
        child<QAction>("mnuNumCopie")->trigger();
        delete check;
        QCOMPARE(opened, QSet<QString>({QStringLiteral("Dati Ditta"), QStringLiteral("Copie")}));
        QVERIFY(pausedWhileOpen);
        QVERIFY(m_server->isWatcherRunning());
        const QString log = logText();
        QVERIFY(log.contains(QStringLiteral("Apertura Gestione Dati Ditta")));
        QVERIFY(log.indexOf(QStringLiteral("Apertura Gestione Dati Ditta")) <
                log.indexOf(QStringLiteral("Apertura Gestione Copie")));
    }

    void handsItselfToTheNotificationArea() {
        // No notification area offscreen: the window is minimised instead of vanishing.
        QTRY_VERIFY(!m_window->isVisible() || m_window->isMinimized());
        m_window->showNormal();
        QVERIFY(m_window->isVisible() && !m_window->isMinimized());
        child<QCheckBox>("TraceON")->click();
        m_window->showMinimized();
        QTRY_VERIFY(logText().contains(QStringLiteral("SpY:Riduci a icona")));
        QVERIFY(!m_window->isVisible() || m_window->isMinimized());
    }

    // The files waiting are listed with their workstation and reason; "Riprova" and "Elimina"
    // act on the one selected, "Elimina" only after a Yes.
    void queueListShowsWhatWaitsAndActsOnIt() {
        writeFile(m_folder->print + QStringLiteral("H.001"), "PC:ASSENTE\r\n");
        writeFile(m_folder->print + QStringLiteral("E.001"), "nessuna riga\r\n");
        auto* list = child<QTreeWidget>("Lst_Coda");
        auto* retry = child<QPushButton>("Cmd_Riprova");
        auto* discard = child<QPushButton>("Cmd_Elimina");

        const auto row = [list](int i) {
            const QTreeWidgetItem* it = list->topLevelItem(i);
            return QStringList({it->text(0), it->text(1), it->text(2), it->text(4)}).join(u'|');
        };
        QTRY_COMPARE(list->topLevelItemCount(), 2);
        QTRY_COMPARE(row(0), QStringLiteral("E.001.ERR|messo da parte||manca la riga PC:"));
        QCOMPARE(
            row(1),
            QStringLiteral("H.001.PRN|postazione non collegata|ASSENTE|pc:ASSENTE non collegato"));

        list->topLevelItem(1)->setSelected(true);
        QVERIFY(!retry->isEnabled() && discard->isEnabled());
        discard->click(); // answered No
        QVERIFY(m_prompts.questions.value(0).contains(QStringLiteral("H.001.PRN")));
        QVERIFY(QFile::exists(m_folder->print + QStringLiteral("H.001.PRN")));
        m_prompts.answer = true;
        discard->click();
        QVERIFY(!QFile::exists(m_folder->print + QStringLiteral("H.001.PRN")));
        QCOMPARE(list->topLevelItemCount(), 1);

        list->topLevelItem(0)->setSelected(true);
        retry->click();
        QVERIFY(logText().contains(QStringLiteral("Stampa eliminata dalla coda: ")));
        QVERIFY(logText().contains(QStringLiteral("Stampa rimessa in coda: ")));

        // A file of a company still unknown is not put back to wait for a print that cannot be.
        writeFile(m_folder->print + QStringLiteral("U.007"), "PC:ASSENTE\r\n");
        const auto aside = [list] { return list->findItems("U.007.ERR", Qt::MatchExactly); };
        QTRY_VERIFY(!aside().isEmpty());
        aside().constFirst()->setSelected(true);
        retry->click();
        QVERIFY2(m_prompts.messages.value(0).contains(
                     QStringLiteral("la ditta 007 \u00e8 ancora sconosciuta")),
                 qPrintable(m_prompts.messages.join(u'|')));
        QVERIFY(QFile::exists(m_folder->print + QStringLiteral("U.007.ERR")));
    }

    void closingStopsTheServer() {
        ServerTest::Client client;
        QVERIFY(client.connectTo(quint16(m_base + 24)));
        QTRY_COMPARE(m_server->pool().state(25), int(SocketArray::Connected));
        // A person is asked first (an unattended run is not): No keeps the server running.
        m_window->setAskBeforeClosing(true);
        m_window->close();
        QCOMPARE(m_prompts.questions.size(), 1);
        QVERIFY(!m_server->hasShutDown());
        m_prompts.answer = true;
        m_window->close();
        QVERIFY(m_server->hasShutDown());
        QTRY_VERIFY(!client.isConnected());
        QVERIFY(logText().contains(QStringLiteral("Chiusura Porte collegate")));
    }
};

QTEST_MAIN(TestServerWindow)
#include "tst_serverwindow.moc"
