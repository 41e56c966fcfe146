// Pieces of the server start-up: the first-start autostart registration and the pause that
// handles no events.

#include "autostartmark.h"
#include "blockingpause.h"
#include "platform/platform.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class TestStartupParts : public QObject {
    Q_OBJECT

private slots:
    void autostartOnlyOnTheFirstStart() {
        QTemporaryDir config;
        QTemporaryDir program;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        const AutostartMark mark(program.path(), QStringLiteral("VelarixSrv"));
        QVERIFY(mark.isFirstStart());
        QVERIFY(mark.registerIfFirstStart());
        QVERIFY(!mark.isFirstStart());
        QVERIFY(QFile::exists(mark.markerPath()));

        const QString desktop = QDir(Platform::current().autostartLocation())
                                    .filePath(QStringLiteral("VelarixSrv.desktop"));
        QVERIFY2(QFile::exists(desktop), qPrintable(desktop));
        QFile f(desktop);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(f.readAll())
                    .contains(program.path() + QStringLiteral("/VelarixSrv")));
        f.close();

        // Later starts leave the registration alone, even when someone removed it.
        QVERIFY(QFile::remove(desktop));
        QVERIFY(!mark.registerIfFirstStart());
        QVERIFY(!QFile::exists(desktop));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void pauseWaitsWithoutHandlingEvents() {
        QStringList traces;
        bool timerRan = false;
        QTimer::singleShot(0, this, [&] { timerRan = true; });
        QElapsedTimer clock;
        clock.start();
        // 0.25 s asked, scaled to the same here.
        pauseWithoutEvents(
            0.25, [&](const QString& t) { traces << t; }, [](int ms) { return ms; });
        const qint64 waited = clock.elapsed();
        QVERIFY2(waited >= 245, qPrintable(QString::number(waited)));
        QCOMPARE(traces, QStringList{QStringLiteral("Pausa")});
        QVERIFY(!timerRan);
        QTRY_VERIFY(timerRan);
    }

    void pauseKeepsFourDecimals() {
        int asked = -1;
        pauseWithoutEvents(1.23456, {}, [&](int ms) {
            asked = ms;
            return 0;
        });
        QCOMPARE(asked, 1235); // 1.2346 s
    }
};

QTEST_GUILESS_MAIN(TestStartupParts)
#include "tst_startupparts.moc"
