// Render speed of the report engine, in PDF pages per second:
//   BM_RenderBodyOnly   body rows only (a template with just its body): the engine's floor
//   BM_RenderOdlBody    body-only pages through the shipped ODL template (letterhead, logo,
//                       boxes on every page)
//   BM_PreviewFromDatabase  template parse + database read + render + PDF written to disk
#include "reportdata.h"
#include "reportoutput.h"
#include "reportpreview.h"
#include "reportrenderer.h"
#include "reporttemplate.h"
#include "sampledocument.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const char* const BodyOnlyTemplate = "page size=A4\n"
                                     "margins left=10 top=10 right=10 bottom=10\n"
                                     "body x=20 y=15 rows=40 step=6.5 font=default\n";

void renderPages(benchmark::State& state, const ReportTemplate& tpl) {
    const int pages = static_cast<int>(state.range(0));
    ReportData data;
    data.body = SampleDocument::bodyOnly("ODL", 1, pages).body;
    for (auto _ : state) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        const ReportRenderer renderer(tpl, data);
        QPdfWriter writer(&buffer);
        writer.setPageLayout(renderer.pageLayout());
        writer.setResolution(600);
        if (renderer.render(&writer)) {
            state.SkipWithError("render failed");
            break;
        }
        benchmark::DoNotOptimize(buffer.data().size());
    }
    state.counters["pages/s"] =
        benchmark::Counter(double(pages) * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_RenderBodyOnly(benchmark::State& state) {
    ReportTemplate tpl;
    if (ReportTemplate::parse(BodyOnlyTemplate, "bench.rpt", ".", tpl)) {
        state.SkipWithError("template");
        return;
    }
    renderPages(state, tpl);
}
BENCHMARK(BM_RenderBodyOnly)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RenderOdlBody(benchmark::State& state) {
    ReportTemplate tpl;
    if (ReportTemplate::load(VELARIX_SOURCE_DIR "/templates/ODL.rpt", tpl)) {
        state.SkipWithError("template");
        return;
    }
    renderPages(state, tpl);
}
BENCHMARK(BM_RenderOdlBody)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PreviewFromDatabase(benchmark::State& state) {
    const int pages = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    const QString db = dir.filePath("Documenti.mdb");
    const QString tplPath = dir.filePath("BODY.rpt");
    QFile f(tplPath);
    f.open(QIODevice::WriteOnly);
    f.write(BodyOnlyTemplate);
    f.close();
    if (!SampleDocument::bodyOnly("ODL", 1, pages).write(db).isEmpty()) {
        state.SkipWithError("database");
        return;
    }
    const QString out = dir.filePath("out.pdf");
    for (auto _ : state) {
        if (renderDocumentToPdf(tplPath, db, 1, out)) {
            state.SkipWithError("render failed");
            break;
        }
    }
    state.counters["pages/s"] =
        benchmark::Counter(double(pages) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PreviewFromDatabase)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
