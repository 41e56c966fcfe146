#include "companycodes.h"
#include "earlyscan.h"
#include "printfolderwatcher.h"
#include "recordinghost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
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

void TestEarlyScan::newFileTakenWithoutTick() {
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
    QList<qint64> sizeSeen;
    const QString path = dir.filePath(QStringLiteral("X.000"));
    connect(&early, &EarlyScan::scanWanted, this, [&] {
        host.traces.clear();
        sizeSeen.append(QFileInfo(path).size());
        watcher.newFileScan();
        scans.append(host.traces);
        early.scanDone();
    });

    // Written in two goes: the second part comes after the folder has already reported the file.
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("@^01\r\n");
    file.flush();
    // The notification times a scan, and not before the file could have rested.
    QTRY_VERIFY(early.scheduledWait() >= 0);
    QVERIFY(early.scheduledWait() >= 1500);
    QVERIFY(scans.isEmpty());
    file.write("PC:PC1\r\n");
    file.close();
    const qint64 finalSize = QFileInfo(path).size();

    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path + QStringLiteral(".PRN")), 6000);
    QCOMPARE(host.sent.size(), 1);
    // The scan that read the file saw it complete; no polling in between.
    int reads = 0;
    for (int i = 0; i < scans.size(); ++i) {
        if (scans.at(i).contains(QStringLiteral("1.4"))) {
            ++reads;
            QCOMPARE(sizeSeen.at(i), finalSize);
        }
    }
    QCOMPARE(reads, 1);
    QVERIFY(scans.size() <= 3);
}

void TestEarlyScan::stopsWatchingOnEmptyFolder() {
    QTemporaryDir dir;
    RecordingHost host;
    CompanyCodes codes;
    PrintFolderWatcher watcher(host, codes);
    EarlyScan early(watcher);
    early.setFolder(dir.path());
    early.setFolder(QString());
    // A watcher of our own tells when the change has been reported.
    QFileSystemWatcher control({dir.path()});
    QSignalSpy reported(&control, &QFileSystemWatcher::directoryChanged);
    QFile file(dir.filePath(QStringLiteral("Y.000")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QTRY_COMPARE(reported.count(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(early.scheduledWait(), -1);
}

QTEST_GUILESS_MAIN(TestEarlyScan)
#include "tst_earlyscan.moc"
