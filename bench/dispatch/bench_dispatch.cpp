// Cost of the new-file scan (one tick of the scan timer) and of a periodic pass with 5,000 pending
// files in the print folder.
#include "companycodes.h"
#include "printfolderwatcher.h"
#include "watcherhost.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {
class QuietHost : public WatcherHost {
public:
    bool traceOn = false;
    QStringList traces;
    QString registryName(int slot) const override {
        return slot == 1 ? QStringLiteral("PC1") : QString();
    }
    Failure sendOnSlot(int, const QString&) override { return {}; }
    void trace(const QString& label) override {
        if (traceOn)
            traces.append(QStringLiteral("SpY:") + label);
    }
    void log(const QString&) override {}
    void message(const QString&) override {}
    void setStatusLabel(const QString&) override {}
    void setScanTimerEnabled(bool) override {}
};

struct Folder {
    QTemporaryDir root;
    QString local;
    explicit Folder(int pending) {
        QDir(root.path()).mkdir(QStringLiteral("Stampe"));
        local = root.filePath(QStringLiteral("Stampe"));
        const QByteArray body = QByteArray("@^01\r\n^ FL:  1\r\n") + QByteArray(2000, 'x') +
                                "\r\nOperatore PC:PC1 fine\r\n";
        for (int i = 0; i < pending; ++i) {
            QFile f(local + QStringLiteral("/DOC%1.001.PRN").arg(i, 5, 10, QLatin1Char('0')));
            f.open(QIODevice::WriteOnly);
            f.write(body);
        }
    }
};

void scanWithPending(benchmark::State& state) {
    Folder folder(int(state.range(0)));
    QuietHost host;
    host.traceOn = state.range(1) != 0;
    CompanyCodes codes;
    PrintFolderWatcher watcher(host, codes);
    watcher.setPrintFolder(folder.local + QLatin1Char('/'), QString());
    for (auto _ : state) {
        watcher.newFileScan();
        host.traces.clear();
    }
    state.counters["entries"] = double(state.range(0));
}
BENCHMARK(scanWithPending)
    ->ArgsProduct({{0, 500, 5000}, {0, 1}})
    ->ArgNames({"pending", "trace"})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void periodicPassWithPending(benchmark::State& state) {
    Folder folder(int(state.range(0)));
    QuietHost host;
    CompanyCodes codes;
    PrintFolderWatcher watcher(host, codes);
    watcher.setPrintFolder(folder.local + QLatin1Char('/'), QString());
    watcher.setReofferInterval(0); // every pass offers a file, as with failing prints
    for (auto _ : state)
        watcher.dispatchPass(PassKind::Periodic, QString());
}
BENCHMARK(periodicPassWithPending)
    ->Arg(5000)
    ->ArgName("pending")
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
