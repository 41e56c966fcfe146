// Reader throughput on a 10,000-page ODL file, and the import of a 100-page document (reader and
// tables into a real SQLite Documenti.mdb, everything but the printing itself).

#include "database.h"
#include "documentimport.h"
#include "documentschema.h"
#include "importhost.h"
#include "printfile.h"
#include "reportprinter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

QByteArray odlFile(int pages) {
    QByteArray page;
    for (int i = 1; i <= 14; ++i)
        page += "Intestazione riga " + QByteArray::number(i) +
                "          Spett.le Officina Rossi s.r.l.   Via Roma 1\r\n";
    for (int i = 1; i <= 40; ++i)
        page += "ART" + QByteArray::number(1000 + i) +
                "   Descrizione dell'articolo perch\xe9 \xe8 cos\xec        2    12,40 \x80   "
                "24,80\r\n";
    page +=
        "Totale imponibile \x80 1.234,56\r\nIVA 22% \x80 271,60\r\nTotale \x80 1.506,16\r\n\f\r\n";
    QByteArray b = "@VELARIX^01 ORDINE DI LAVORO\r\n^FL:  1 PC:WS01\r\n\r\n";
    b.reserve(b.size() + page.size() * pages);
    for (int p = 0; p < pages; ++p)
        b += page;
    return b;
}

void readOdl10000Pages(benchmark::State& state) {
    static const QByteArray bytes = odlFile(10000);
    for (auto _ : state) {
        PrintDocument doc = PrintFile::read(bytes);
        benchmark::DoNotOptimize(doc.body.size());
        if (doc.body.size() != 400000)
            state.SkipWithError("wrong number of body lines");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
    state.counters["MB"] = double(bytes.size()) / 1e6;
}
BENCHMARK(readOdl10000Pages)->Unit(benchmark::kMillisecond);

class SilentHost : public ImportHost {
public:
    int replies = 0;
    void requestStarting(const QString&) override {}
    void listAdd(const QString&) override {}
    void listRedraw() override {}
    void log(const QString&) override {}
    void processEvents() override {}
    Failure sendReply(int, const QString&) override {
        ++replies;
        return {};
    }
    void documentFailed(int, const QString&, const PrintFailureText&) override {}
    void documentAnswered(const QString&) override {}
    void archiveFailed(const Failure&, const QString&) override {}
    bool prepareForDocument() override { return true; }
};

class NoPrinter : public ReportPrinter {
public:
    Failure printDocument(const PrintRequest&, PrintedCopies&) override { return {}; }
};

void import100Pages(benchmark::State& state) {
    QTemporaryDir dir;
    const QString share = dir.filePath(QStringLiteral("share"));
    QDir().mkpath(share + QStringLiteral("/Stampe"));
    const QString db = dir.filePath(QStringLiteral("Documenti.mdb"));
    DocumentSchema::create(db);
    QFile f(share + QStringLiteral("/Stampe/ODL00412.001.PRN"));
    f.open(QIODevice::WriteOnly);
    f.write(odlFile(100));
    f.close();

    SilentHost host;
    NoPrinter printer;
    DocumentImportSettings settings;
    settings.installFolder = dir.path() + u'/';
    settings.documentsConnection = Database::connectionText(db);
    settings.copiesTable = {QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"),
                            QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1")};
    settings.shareRoot = share;
    const QString message = QStringLiteral("DIR:\\\\srv\\Velarix\\Stampe\\ODL00412.001.PRN\r");
    for (auto _ : state) {
        // A fresh import each round: the memory of completed files would skip the second one.
        DocumentImport import(host, printer, settings);
        import.receive(message, 1);
    }
    if (host.replies != int(state.iterations()))
        state.SkipWithError("an import was not completed");
}
BENCHMARK(import100Pages)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
