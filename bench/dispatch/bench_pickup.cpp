// Drop-to-announce latency of the new-file scan: a file written into the print folder until its
// print request is sent, with the 1-second tick alone and with folder notifications (EarlyScan),
// for a whole document and for a file that holds none (which must rest a second). Files are
// dropped at random moments between ticks. Usage: bench_dispatch_pickup [files]
#include "companycodes.h"
#include "earlyscan.h"
#include "printfolderwatcher.h"
#include "watcherhost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <utility>

namespace {
class TimingHost : public WatcherHost {
public:
    QElapsedTimer* clock = nullptr;
    QHash<QString, qint64> sentAt;
    QStringList toComplete;
    QString registryName(int slot) const override {
        return slot == 1 ? QStringLiteral("PC1") : QString();
    }
    Failure sendOnSlot(int, const QString& text) override {
        sentAt.insert(text.mid(4).chopped(1), clock->elapsed());
        toComplete.append(text.mid(4).chopped(1));
        return {};
    }
    void trace(const QString&) override {}
    void log(const QString&) override {}
    void message(const QString&) override {}
    void setStatusLabel(const QString&) override {}
    void setScanTimerEnabled(bool) override {}
};

struct Result {
    double median = 0;
    double p95 = 0;
    int lost = 0;
};

// From each file's drop to its print request; a file never requested is lost.
Result summary(const QHash<QString, qint64>& droppedAt, const QHash<QString, qint64>& sentAt) {
    QList<double> latencies;
    Result result;
    for (auto it = droppedAt.cbegin(); it != droppedAt.cend(); ++it) {
        if (!sentAt.contains(it.key())) {
            ++result.lost;
            continue;
        }
        latencies.append(double(sentAt.value(it.key()) - it.value()));
    }
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.isEmpty()) {
        result.median = latencies.at(latencies.size() / 2);
        result.p95 = latencies.at(qMin(latencies.size() - 1, qsizetype(latencies.size() * 0.95)));
    }
    return result;
}

// A one-page work order, as the management program writes it in one go.
QByteArray wholeDocument() {
    QByteArray bytes = "@PROVA^01\r\n^FL:  1 PC:PC1\r\n\r\n";
    for (int i = 1; i <= 14; ++i)
        bytes += "TESTATA " + QByteArray::number(i) + "\r\n";
    return bytes + "RIGA 1\r\n\f\r\n";
}

Result run(int files, bool early, const QByteArray& content) {
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    QElapsedTimer clock;
    clock.start();
    TimingHost host;
    host.clock = &clock;
    CompanyCodes codes;
    PrintFolderWatcher watcher(host, codes);
    watcher.setScanInterval(1000);
    watcher.setPrintFolder(folder, QString());
    EarlyScan earlyScan(watcher);
    auto scan = [&] {
        watcher.newFileScan();
        // Printed at once: the workstation gets one document at a time.
        for (const QString& path : std::exchange(host.toComplete, {})) {
            QFile::remove(path);
            watcher.completed(path);
        }
        if (early)
            earlyScan.scanDone();
    };
    QTimer tick;
    tick.setInterval(1000);
    QObject::connect(&tick, &QTimer::timeout, scan);
    if (early) {
        earlyScan.setFolder(watcher.localFolder());
        QObject::connect(&earlyScan, &EarlyScan::scanWanted, scan);
    }
    tick.start();

    QHash<QString, qint64> droppedAt;
    int dropped = 0;
    QTimer dropper;
    dropper.setSingleShot(true);
    QObject::connect(&dropper, &QTimer::timeout, [&] {
        const QString name = QStringLiteral("DOC%1.000").arg(dropped, 4, 10, QLatin1Char('0'));
        QFile f(folder + name);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        f.close();
        droppedAt.insert(folder + name + QStringLiteral(".PRN"), clock.elapsed());
        if (++dropped < files)
            dropper.start(1000 + QRandomGenerator::global()->bounded(1000));
        else
            QTimer::singleShot(3000, QCoreApplication::instance(), &QCoreApplication::quit);
    });
    dropper.start(300);
    QCoreApplication::exec();

    return summary(droppedAt, host.sentAt);
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? qMax(1, atoi(argv[1])) : 20;
    const QByteArray fragment = "@^01\r\n^ FL:  1\r\nOperatore PC:PC1 fine\r\n";
    for (bool whole : {true, false}) {
        for (bool early : {false, true}) {
            const Result r = run(files, early, whole ? wholeDocument() : fragment);
            std::printf("%-15s %-28s files=%d median=%.0f ms p95=%.0f ms not announced=%d\n",
                        whole ? "whole document" : "no document",
                        early ? "tick + folder notifications" : "1-second tick only", files,
                        r.median, r.p95, r.lost);
        }
    }
    return 0;
}
