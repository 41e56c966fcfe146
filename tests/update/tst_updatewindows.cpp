// The update-check and server-search windows as the client's start-up shows them.
#include "scriptedprompts.h"
#include "serversearchdialog.h"
#include "testfiles.h"
#include "updatecheckdialog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString Share = QStringLiteral("\\\\srv\\Velarix\\");

struct Workstation {
    QTemporaryDir root;
    QString shareRoot() const { return root.filePath(QStringLiteral("share")); }
    QString install() const { return root.filePath(QStringLiteral("cl")) + '/'; }
};
} // namespace

class UpdateWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void checkWindowShowsTheUpdate();
    void waitLightsOneLampAtATime();
    void searchWindowRunsTheSearch();
    void searchWindowWithAKnownServer();
};

void UpdateWindowsTest::initTestCase() {
    // The check window's one second becomes 20 ms.
    qputenv("VELARIX_TIMER_SCALE", "50");
}

void UpdateWindowsTest::checkWindowShowsTheUpdate() {
    Workstation ws;
    writeFile(ws.shareRoot() + "/Client/Copie.txt", "x", QDateTime::currentDateTime());
    QDir().mkpath(ws.install());
    UpdateCheckDialog window(UpdateCheck(Share, ws.shareRoot(), ws.install()), false, 10);
    QCOMPARE(window.exec(), int(QDialog::Accepted));
    QCOMPARE(window.labelText(), QStringLiteral("Aggiornamento rilevato...."));
    QCOMPARE(window.outcome().status, UpdateCheck::Status::UpdateDue);
}

void UpdateWindowsTest::waitLightsOneLampAtATime() {
    // Each wait starts from half past a whole second on a clock that moves 100 ms at each look.
    auto wait = [](double seconds, qint64* took) {
        ScriptedPrompts prompts;
        ServerSearchDialog window(QString(), QString(), prompts, {});
        window.show();
        const qint64 start = 10'500;
        qint64 now = start;
        window.setClock([&] { return now; }, [&] { now += 100; });
        QList<int> steps;
        window.setLampObserver([&](int lit) {
            steps.append(lit);
            for (int i = 0; i < 4; ++i) {
                if (window.lampLit(i) != (i == lit))
                    steps.append(-1); // not the one lamp alone
            }
        });
        window.pauseWithLamps(seconds);
        *took = now - start;
        return steps;
    };
    qint64 took = 0;
    QCOMPARE(wait(2.3, &took), (QList<int>{0, 1})); // at 11 s and 12 s
    QCOMPARE(took, qint64(2300));
    // A longer wait goes round the four lamps and starts again.
    QCOMPARE(wait(5.0, &took), (QList<int>{0, 1, 2, 3, 0}));
    QCOMPARE(took, qint64(5000));
}

void UpdateWindowsTest::searchWindowRunsTheSearch() {
    QTemporaryDir root;
    qputenv("XDG_CONFIG_HOME", root.filePath(QStringLiteral("config")).toUtf8());
    const QString install = root.path() + '/';
    ScriptedPrompts prompts;
    QStringList status;
    QStringList scripts;
    ServerSearch::Hooks hooks;
    hooks.runScript = [&](const QString& script) {
        scripts.append(QFileInfo(script).fileName());
        return true;
    };
    hooks.pause = [](double) {};
    hooks.status = [&](const QString& text) { status.append(text); };
    prompts.inputAnswer = QStringLiteral("10.1.1.1");

    const QString previous = QDir::currentPath();
    QDir::setCurrent(root.path()); // the work files go into the current directory
    ServerSearchDialog window(QString(), install, prompts, hooks);
    window.exec();
    QDir::setCurrent(previous);

    QCOMPARE(window.serverHost(), QStringLiteral("10.1.1.1"));
    QCOMPARE(scripts, QStringList{"TESTSRV.BAT"});
    QCOMPARE(status, QStringList{"Ricerca Nome Server..."});
    QVERIFY(QFile::exists(root.filePath(QStringLiteral("TESTSRV.BAT"))));
    QFile hostFile(install + "IPHost.set");
    QVERIFY(hostFile.open(QIODevice::ReadOnly));
    QCOMPARE(hostFile.readAll(), QByteArray("10.1.1.1\r\n"));
    QVERIFY(QFile::exists(root.filePath(QStringLiteral("config/autostart/VelarixCL.desktop"))));
}

void UpdateWindowsTest::searchWindowWithAKnownServer() {
    QTemporaryDir root;
    ScriptedPrompts prompts;
    ServerSearchDialog window(QStringLiteral("srv"), root.path() + '/', prompts, {});
    window.exec();
    QCOMPARE(window.serverHost(), QStringLiteral("srv"));
    QVERIFY(prompts.questions.isEmpty());
    QVERIFY(!QFile::exists(root.filePath(QStringLiteral("IPHost.set"))));
}

QTEST_MAIN(UpdateWindowsTest)
#include "tst_updatewindows.moc"
