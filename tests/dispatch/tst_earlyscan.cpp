#include "companycodes.h"
#include "earlyscan.h"
#include "printfolderwatcher.h"
#include "recordinghost.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// A folder notification brings the scan forward, and the scan it brings still leaves a file that
// has not rested; the rest of the way is timed by the watcher, without any Timer1 tick here.
class TestEarlyScan : public QObject {
    Q_OBJECT
private slots:
    void newFileTakenWithoutTick();
    void stopsWatchingOnEmptyFolder();
};

void TestEarlyScan::newFileTakenWithoutTick()
{
    QTemporaryDir dir;
    RecordingHost host;
    host.names[1] = QStringLiteral("PC1");
    CompanyCodes codes;
    PrintFolderWatcher watcher(host, codes);
    watcher.setScanInterval(1500);
    watcher.setPrintFolder(dir.path() + QLatin1Char('/'), QString());
    EarlyScan early(watcher);
    early.setFolder(watcher.localFolder());
    QCOMPARE(early.folder(), watcher.localFolder());

    QList<QStringList> scans;
    connect(&early, &EarlyScan::scanWanted, this, [&] {
        host.traces.clear();
        watcher.newFileScan();
        scans.append(host.traces);
        early.scanDone();
    });

    QFile file(dir.filePath(QStringLiteral("X.000")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("PC:PC1\r\n");
    file.close();

    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(QStringLiteral("X.000.PRN"))), 6000);
    QVERIFY(scans.size() >= 2);
    // The first scan came from the notification and found the file too fresh to read.
    QVERIFY(scans.first().contains(QStringLiteral("1.X.000")));
    QVERIFY(!scans.first().contains(QStringLiteral("1.4")));
    // Then one timed scan took it: no polling in between.
    QVERIFY(scans.size() <= 4);
    QCOMPARE(host.sent.size(), 1);
}

void TestEarlyScan::stopsWatchingOnEmptyFolder()
{
    QTemporaryDir dir;
    RecordingHost host;
    CompanyCodes codes;
    PrintFolderWatcher watcher(host, codes);
    EarlyScan early(watcher);
    early.setFolder(dir.path());
    early.setFolder(QString());
    QSignalSpy wanted(&early, &EarlyScan::scanWanted);
    QFile file(dir.filePath(QStringLiteral("Y.000")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QTest::qWait(200);
    QCOMPARE(wanted.count(), 0);
}

QTEST_GUILESS_MAIN(TestEarlyScan)
#include "tst_earlyscan.moc"
