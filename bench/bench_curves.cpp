// Full repaints of a graph view of 1600 x 900 pixels, offscreen, with one trace of 10^4 .. 4*10^6
// samples, zoomed out (the whole trace) and zoomed in (1 % of it), drawn with dmMax and with
// dmLinkLine, and of 10^6 .. 8*10^6 samples drawn with dmAverage. "Summarised" is the view as
// built: group ends found from the pixel columns, group extremes and sums from the per-trace
// summaries. "PlainRule" is the same view whose curve is reduced sample by sample, as the rule is
// written: the figure before the summaries.
// "markerStep" is the trace store's work for one step of a marker drag (least squares), on
// 10^6 .. 8*10^6 samples.
//
// Run: QT_QPA_PLATFORM=offscreen build/bench/bench_curves   (the medians are the _median rows)

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <memory>
#include <vector>

#include "display/uGraphsCmps.h"
#include "display/uViewCmps.h"
#include "display/uViewCmpsData.h"
#include "formats/uTRAConvs.h"
#include "trace/SyntheticTrace.h"
#include "trace/TraceParams.h"
#include "trace/uGraphIntfs.h"

using namespace lv;

namespace {

std::vector<double> fibre(int samples) {
    TSynthOptions o;
    o.samples = samples;
    return SynthesizeTrace(o).levels;
}

constexpr int kWidth = 1600, kHeight = 900;
constexpr double kStepKm = 0.0005;

// A trace store with `samples` levels kStepKm apart, as a device hands them over; it frees
// itself with its last client.
TRDataStorage* trace(int samples) {
    auto* store = new TRDataStorage(nullptr);
    PDataStruct setup = MakeParamBlock();
    SetDefaultParams(*setup->Params());
    (*setup->Params())[prmIOR] = TVariant(1.5);
    (*setup->Params())[prmRESR] = TVariant(kStepKm * 3000.0 / (1e-8 * kLightSpeed));
    store->SetupArrived(setup.get());
    const std::vector<double> levels = fibre(samples);
    PDataStruct data = MakeSampleBlock(levels.data(), samples);
    store->DataArrived(data.get());
    return store;
}

// The item's painting with the plain rule in place of the summarised one.
class PlainRuleView : public TGraphView {
public:
    bool Plain = false;

protected:
    void PaintCurves(TGContentPainter& gp) override {
        if (!Plain) {
            TGraphView::PaintCurves(gp);
            return;
        }
        TGDataItem* item = Data().ActiveItem();
        if (!item || !gp.Canvas()) return;
        const TRealRect& e = item->Extents();
        auto range = VisibleSampleRange(e.XMin, e.XMax, item->Step(), gp.PaintXMin(), gp.PaintXMax());
        if (!range) return;
        PDataStruct d = item->Storage()->LockData();
        const int n = d->SampleCount();
        const int last = ClampLastSample(range->second, n, item->LastIndex());
        const TCurveSamples s{d->Samples(), n, e.XMin, item->Step()};
        ReduceCurvePlain(s, range->first, last, DisplayMethod(), gp.Geometry().XMap(), gp.Geometry().YMap(),
                         m_points);
        gp.Canvas()->save();
        gp.Canvas()->setPen(QPen(ColorToQColor(item->Colour()), 1));
        DrawCurvePoints(*gp.Canvas(), m_points);
        gp.Canvas()->restore();
        item->Storage()->UnlockData();
    }

private:
    std::vector<QPoint> m_points;
};

struct Scene {
    std::unique_ptr<PlainRuleView> View;
    QImage Image{kWidth, kHeight, QImage::Format_RGB32};

    Scene(int samples, TDisplayMethod method, bool zoomedIn, bool plain)
        : View(std::make_unique<PlainRuleView>()) {
        PlainRuleView& v = *View;
        v.Plain = plain;
        v.SetXMin(0);
        v.SetXMax(80);
        v.SetYMin(0);
        v.SetYMax(50);
        v.SetMaxXZoomRatio(1000000);
        v.SetMaxYMargin(10);
        v.SetHeader("Рефлектограмма");
        v.SetXLabel("Расстояние");
        v.SetXLabelUnits("км");
        v.SetYLabel("Уровень");
        v.SetYLabelUnits("дБ");
        v.SetDisplayMethod(method);
        v.resize(kWidth + 4, kHeight + 4);
        v.show();
        QApplication::processEvents();
        v.resize(v.width() + kWidth - v.ClientRect().width(), v.height() + kHeight - v.ClientRect().height());
        QApplication::processEvents();

        auto* item = new TGDataItem(&v.Data());
        item->SetStorage(trace(samples));
        QApplication::processEvents();
        const TRealRect d = v.DataExtents();
        if (zoomedIn) {
            const double w = d.Width() / 100, c = (d.XMin + d.XMax) / 2;
            v.ZoomTo({c - w / 2, d.YMin, c + w / 2, d.YMax});
        } else {
            v.ShowAll();
        }
        Paint(); // builds the summary once, as the first paint on the screen does
    }

    void Paint() {
        QPainter p(&Image);
        View->PaintView(p, View->ClientRect());
    }
};

void repaint(benchmark::State& state, TDisplayMethod method, bool zoomedIn, bool plain) {
    const int samples = int(state.range(0));
    Scene scene(samples, method, zoomedIn, plain);
    if (scene.View->ClientRect().size() != QSize(kWidth, kHeight)) {
        state.SkipWithError("the view did not get its size");
        return;
    }
    for (auto _ : state)
        scene.Paint();
    state.counters["samples"] = samples;
}

// Building a per-trace summary (TSampleSummary, TSampleSums) over the samples.
template <class Summary> void summaryBuild(benchmark::State& state) {
    const int n = int(state.range(0));
    const std::vector<double> levels = fibre(n);
    Summary summary;
    for (auto _ : state) {
        summary.Build(levels.data(), n);
        benchmark::DoNotOptimize(summary);
    }
    state.counters["bytes"] = double(summary.MemoryBytes());
}

// One step of a marker drag on a main graph: M2 moves between M1 and M3 and the trace store
// recomputes its sections by least squares (the work per step follows the samples between the
// markers). Painting is left out.
void markerStep(benchmark::State& state) {
    const int samples = int(state.range(0));
    TMainGraph g;
    g.resize(kWidth, kHeight);
    auto* item = new TMainDataItem(&g.Data());
    item->SetStorage(trace(samples));
    QApplication::processEvents();
    item->SetApproxMode(1);
    const double km = item->Extents().XMax;
    g.PlaceMarker(1, false, km * 0.01);
    g.PlaceMarker(2, false, km * 0.5);
    g.PlaceMarker(3, false, km * 0.99);
    bool odd = false;
    for (auto _ : state) {
        g.PlaceMarker(2, false, km * (odd ? 0.5 : 0.51));
        odd = !odd;
    }
    state.counters["samples"] = samples;
}

void sizes(benchmark::internal::Benchmark* b) {
    for (int n : {10000, 100000, 1000000, 4000000})
        b->Arg(n);
    b->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true)->MinTime(0.2);
}

void largeSizes(benchmark::internal::Benchmark* b) {
    for (int n : {1000000, 2000000, 4000000, 8000000})
        b->Arg(n);
    b->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true)->MinTime(0.2);
}

} // namespace

BENCHMARK_CAPTURE(repaint, Summarised_Max_ZoomedOut, dmMax, false, false)->Apply(sizes);
BENCHMARK_CAPTURE(repaint, Summarised_Max_ZoomedIn1pc, dmMax, true, false)->Apply(sizes);
BENCHMARK_CAPTURE(repaint, Summarised_LinkLine_ZoomedOut, dmLinkLine, false, false)->Apply(sizes);
BENCHMARK_CAPTURE(repaint, Summarised_LinkLine_ZoomedIn1pc, dmLinkLine, true, false)->Apply(sizes);
BENCHMARK_CAPTURE(repaint, PlainRule_Max_ZoomedOut, dmMax, false, true)->Apply(sizes);
BENCHMARK_CAPTURE(repaint, PlainRule_Max_ZoomedIn1pc, dmMax, true, true)->Apply(sizes);
BENCHMARK_CAPTURE(repaint, PlainRule_LinkLine_ZoomedOut, dmLinkLine, false, true)->Apply(sizes);
BENCHMARK_CAPTURE(repaint, PlainRule_LinkLine_ZoomedIn1pc, dmLinkLine, true, true)->Apply(sizes);
BENCHMARK_CAPTURE(repaint, Summarised_Average_ZoomedOut, dmAverage, false, false)->Apply(largeSizes);
BENCHMARK_CAPTURE(repaint, Summarised_Average_ZoomedIn1pc, dmAverage, true, false)->Apply(largeSizes);
BENCHMARK_CAPTURE(repaint, PlainRule_Average_ZoomedOut, dmAverage, false, true)->Apply(largeSizes);
BENCHMARK_TEMPLATE(summaryBuild, TSampleSummary)->Apply(sizes);
BENCHMARK_TEMPLATE(summaryBuild, TSampleSums)->Apply(largeSizes);
BENCHMARK(markerStep)->Apply(largeSizes)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    RegisterTRAFormat();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
