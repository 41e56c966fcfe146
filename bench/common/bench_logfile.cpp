#include "logfile.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// One ordinary entry: the open, append and close every entry costs.
void plainEntry(benchmark::State& state) {
    QTemporaryDir dir;
    const LogFile log(dir.filePath(QStringLiteral("VXreg.txt")));
    const QString text = QStringLiteral("Ricevuto il messaggio [DEL:\\\\SERVER\\Velarix\\Stampe\\"
                                        "FATT.001.PRN\r] sulla porta 1500");
    for (auto _ : state)
        log.write(text);
    state.SetItemsProcessed(state.iterations());
}

// What a hostile peer sends: 60,000 characters with control characters, escaped and cut.
void hostileEntry(benchmark::State& state) {
    QTemporaryDir dir;
    const LogFile log(dir.filePath(QStringLiteral("VXreg.txt")));
    QString text;
    while (text.size() < 60000)
        text += QStringLiteral("PC:X\n01/01/2026 00:00:00 \x1b[2J****Chiusura Programma****\r");
    for (auto _ : state)
        log.write(text);
    state.SetItemsProcessed(state.iterations());
}

// Entries while the log is set aside every 1 MB and the oldest set-aside logs are removed to stay
// within the total (here 10 MB, so removals happen within the run).
void entriesWithSetAsides(benchmark::State& state) {
    QTemporaryDir dir;
    LogFile log(dir.filePath(QStringLiteral("VXreg.txt")));
    log.setTotalLimit(10 * LogFile::SizeLimit);
    const QString text(500, QLatin1Char('x'));
    qint64 written = 0;
    for (auto _ : state) {
        log.write(text);
        written += text.size() + 22;
    }
    state.SetBytesProcessed(written);
}

} // namespace

BENCHMARK(plainEntry);
BENCHMARK(hostileEntry);
BENCHMARK(entriesWithSetAsides)->Iterations(100000);
BENCHMARK_MAIN();
