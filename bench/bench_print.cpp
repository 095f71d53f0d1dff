// One sheet of 8 frames to a PDF file, each frame a trace of 10^6 samples drawn by a main graph of
// 800 x 400 pixels: through the print queue ("8 кадров", the sheet printed as soon as it is
// full) and through the graph's own printing (8 graphs a sheet). The time of an iteration is the
// time of one sheet: 8 frame pictures recorded, the sheet composed, the PDF written and renamed
// into place. Goal: under 200 ms a sheet. queueSheetPages is the queue's sheet as the main window
// prints it: each frame picture replaced by its trace page (the parameter block under the graph,
// as on sheets of more than four frames).
//
// Run: QT_QPA_PLATFORM=offscreen build/bench/bench_print      (the medians are the _median rows)
//      build/bench/bench_print --sample FILE.pdf   writes the sample sheets of docs/ instead:
//      four traces through the queue's "2 кадра"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstring>
#include <memory>
#include <vector>

#include "display/uGraphsCmps.h"
#include "formats/uTRAConvs.h"
#include "printing/uPrintQueue.h"
#include "printing/uQtPrinter.h"
#include "printing/uTracePage.h"
#include "trace/SyntheticTrace.h"
#include "trace/TraceParams.h"
#include "trace/uGraphIntfs.h"

using namespace lv;

namespace {

// A trace store of a synthesized fibre, captioned; it frees itself with its last client.
TRDataStorage* trace(int samples, unsigned seed, const std::string& caption) {
    TSynthOptions o;
    o.samples = samples;
    o.seed = seed;
    const TSynthTrace t = SynthesizeTrace(o);
    auto* store = new TRDataStorage(nullptr);
    PDataStruct setup = MakeParamBlock();
    SetDefaultParams(*setup->Params());
    (*setup->Params())[prmIOR] = TVariant(o.groupIndex);
    (*setup->Params())[prmRESR] = TVariant(t.spacing10ns);
    (*setup->Params())[prmL] = TVariant(caption);
    store->SetupArrived(setup.get());
    PDataStruct data = MakeSampleBlock(t.levels.data(), samples);
    store->DataArrived(data.get());
    return store;
}

// A main graph set up as the main window sets it up, with `n` traces.
std::unique_ptr<TMainGraph> graph(int n, int samples) {
    auto g = std::make_unique<TMainGraph>();
    g->SetXGridsCount(10);
    g->SetYGridsCount(10);
    g->SetXGridsColor(RGBToColor(0, 128, 0));
    g->SetYGridsColor(RGBToColor(0, 128, 0));
    g->SetXLabelVisible(false);
    g->SetXLabelUnits(QStringLiteral("км"));
    g->SetXRulsSize(4);
    g->SetHeaderContent(hcCaption);
    g->SetYLabelVisible(false);
    g->SetYLabelUnits(QStringLiteral("дБ"));
    g->SetYRulsPos(ylpBoth);
    g->SetYSPPos(ylpBoth);
    g->SetXPowerVisible(false);
    g->SetYPowerVisible(false);
    g->SetMaxZoomRatio(3000);
    g->SetMaxYMargin(10);
    g->resize(800, 400);
    g->show();
    for (int i = 0; i < n; ++i) {
        auto* item = new TMainDataItem(&g->Data());
        item->SetStorage(trace(samples, unsigned(i + 1), "Волокно " + std::to_string(n - i)));
    }
    QApplication::processEvents();
    g->ShowAll();
    return g;
}

void queueSheet(benchmark::State& state) {
    QTemporaryDir dir;
    auto g = graph(8, int(state.range(0)));
    TQtPrinter printer(dir.filePath(QStringLiteral("queue.pdf")));
    TPrintQueue q;
    q.AddStandardMarkings();
    q.SelectMarking(7);
    q.SetPrinter(&printer);
    for (auto _ : state) {
        g->PreparePrint();
        g->PrintToQueue(q);
        if (q.Count() != 0) state.SkipWithError("the sheet was not printed");
    }
    state.counters["samples"] = double(state.range(0));
}

void queueSheetPages(benchmark::State& state) {
    QTemporaryDir dir;
    auto g = graph(8, int(state.range(0)));
    TQtPrinter printer(dir.filePath(QStringLiteral("pages.pdf")));
    TPrintQueue q;
    q.AddStandardMarkings();
    q.SelectMarking(7);
    q.SetPrinter(&printer);
    const TMainSettings settings;
    TMainGraph* view = g.get();
    g->OnAfterCreateQueueMetafile = [view, &settings](TGraphView*, std::unique_ptr<QPicture>& picture,
                                                      TGDataItem* item, const TRect& r) {
        TPageContext context;
        context.Now = QDateTime::currentDateTime();
        context.DateText = context.Locale.toString(context.Now.date(), QLocale::ShortFormat);
        const TTracePageData data = TracePageData(dynamic_cast<TMainDataItem*>(item), view->GetVisExts());
        picture =
            ComposedPagePicture(*picture, StandardPage(PictureSize(*picture), r, TTracePageLayout::Compact,
                                                       data, settings, context));
    };
    for (auto _ : state) {
        g->PreparePrint();
        g->PrintToQueue(q);
        if (q.Count() != 0) state.SkipWithError("the sheet was not printed");
    }
    state.counters["samples"] = double(state.range(0));
}

void graphSheet(benchmark::State& state) {
    QTemporaryDir dir;
    auto g = graph(8, int(state.range(0)));
    TQtPrinter printer(dir.filePath(QStringLiteral("graphs.pdf")));
    g->PrintSettings().SetGraphsOnPage(8);
    for (auto _ : state) {
        g->PreparePrint();
        g->PrintGraphs(printer);
    }
    state.counters["samples"] = double(state.range(0));
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000000)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)->MinTime(1.0);
}

// The sample sheets of docs/: four traces of 16000 samples, two a sheet, markers on the active one.
int writeSample(const char* fileName) {
    auto g = graph(4, 16000);
    g->resize(900, 420);
    QApplication::processEvents();
    g->ShowAll();
    TMainDataItem* active = g->ActiveTrace();
    const double km = active->Extents().XMax;
    g->SetCursorX(km * 0.3);
    g->PlaceMarker(1, false, km * 0.1);
    g->PlaceMarker(2, false, km * 0.45);
    g->PlaceMarker(3, false, km * 0.8);
    TQtPrinter printer(QDir::current().absoluteFilePath(QString::fromLocal8Bit(fileName)));
    TPrintQueue q;
    q.AddStandardMarkings();
    q.SelectMarking(1);
    q.SetPrinter(&printer);
    g->PreparePrint();
    g->PrintToQueue(q);
    return q.Count() == 0 ? 0 : 1;
}

} // namespace

BENCHMARK(queueSheet)->Apply(sizes);
BENCHMARK(queueSheetPages)->Apply(sizes);
BENCHMARK(graphSheet)->Apply(sizes);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    RegisterTRAFormat();
    if (argc == 3 && std::strcmp(argv[1], "--sample") == 0) return writeSample(argv[2]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
