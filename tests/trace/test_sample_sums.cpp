// The running sums of a trace's samples: means over any range equal the exactly rounded mean of a
// scan, least-squares lines equal the sample-by-sample fit, and the trace store's fits during a
// marker drag equal those right after a load.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "support/ScriptedPrompts.h"
#include "support/SorSupport.h"
#include "trace/SampleSummary.h"
#include "trace/SyntheticTrace.h"
#include "trace/TraceParams.h"
#include "trace/uFileFormats.h"
#include "trace/uGraphIntfs.h"

using namespace lv;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

enum class Shape { Fibre, Thousandths, WithNaN, WithInfinity, Huge };

// A fibre's levels with noise, and variants: levels at 0.001 dB (as files hold them), and traces
// holding samples the sums leave out.
std::vector<double> samples(int n, Shape shape, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 0.05);
    std::vector<double> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        double x = 30.0 - 25.0 * i / n + noise(rng);
        if (shape == Shape::Thousandths) x = std::round(x * 1000) / 1000;
        v[size_t(i)] = x;
    }
    for (int i = 7; i < n; i += 997) {
        if (shape == Shape::WithNaN) v[size_t(i)] = kNaN;
        if (shape == Shape::WithInfinity) v[size_t(i)] = kInf;
        if (shape == Shape::Huge) v[size_t(i)] = 3e200;
    }
    return v;
}

// The mean rounded once from a sum in quadruple precision.
double quadMean(const std::vector<double>& v, int a, int b) {
    __float128 sum = 0;
    for (int i = a; i <= b; ++i)
        sum += v[size_t(i)];
    return static_cast<double>(sum / (b - a + 1));
}

// Ranges worth asking: single samples, runs inside one block, across one block boundary, exactly
// whole blocks, just short of and just past two blocks, the whole block and random ones.
std::vector<std::pair<int, int>> ranges(int n, unsigned seed) {
    const int B = TSampleSums::kBlock;
    std::vector<std::pair<int, int>> r = {{0, 0},         {0, n - 1},     {n - 1, n - 1}, {1, B - 2},
                                          {B - 3, B + 2}, {B, 3 * B - 1}, {5, 2 * B + 3}, {3, 2 * B + 1},
                                          {B + 1, 3 * B}, {n / 3, n - 2}};
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pick(0, n - 1);
    for (int q = 0; q < 300; ++q) {
        int a = pick(rng), b = pick(rng);
        r.push_back({std::min(a, b), std::max(a, b)});
    }
    std::vector<std::pair<int, int>> inside;
    for (auto [a, b] : r)
        if (a >= 0 && b < n && a <= b) inside.push_back({a, b});
    return inside;
}

void expectSameFit(const std::optional<TLineFit>& plain, const std::optional<TLineFit>& sums,
                   const char* what) {
    ASSERT_EQ(plain.has_value(), sums.has_value()) << what;
    if (!plain) return;
    EXPECT_LE(std::fabs(sums->Slope - plain->Slope), 1e-9 * std::fabs(plain->Slope)) << what;
    EXPECT_LE(std::fabs(sums->Intercept - plain->Intercept), 1e-9 * std::fabs(plain->Intercept)) << what;
}

} // namespace

TEST(SampleSums, MeansAreTheExactlyRoundedMeansOfAScan) {
    for (Shape shape : {Shape::Fibre, Shape::Thousandths, Shape::WithNaN, Shape::WithInfinity, Shape::Huge}) {
        for (int n : {1, 31, 32, 33, 64, 65, 1000, 70001}) {
            const std::vector<double> v = samples(n, shape, unsigned(n));
            TSampleSums sums;
            sums.Build(v.data(), n);
            ASSERT_TRUE(sums.Covers(v.data(), n));
            for (auto [a, b] : ranges(n, unsigned(n) + 1)) {
                const double scan = SampleMean(v.data(), a, b);
                const double fast = sums.Mean(a, b);
                const double exact = quadMean(v, a, b);
                if (std::isnan(exact)) {
                    ASSERT_TRUE(std::isnan(scan) && std::isnan(fast)) << n << " " << a << ".." << b;
                    continue;
                }
                ASSERT_EQ(scan, exact) << "shape " << int(shape) << " n " << n << " " << a << ".." << b;
                ASSERT_EQ(fast, exact) << "shape " << int(shape) << " n " << n << " " << a << ".." << b;
            }
        }
    }
}

TEST(SampleSums, LeastSquaresAgreeWithTheFitSampleBySample) {
    TSynthOptions o;
    o.samples = 400000;
    const std::vector<double> fibre = SynthesizeTrace(o).levels;
    const int n = o.samples;
    const int B = TSampleSums::kBlock;
    struct Range {
        const char* what;
        int i1, i2;
    } rangesOfFit[] = {
        {"two samples", 0, 1},
        {"inside a block", 3, 20},
        {"two blocks less one", 1, 2 * B - 1},
        {"two blocks", 5 * B, 7 * B - 1},
        {"across two boundaries", 5 * B - 3, 7 * B + 4},
        {"a splice", 100000, 140000},
        {"far out, short", n - 3 * B - 7, n - 1},
        {"half the fibre", n / 4, 3 * n / 4},
        {"the whole fibre", 0, n - 1},
    };
    TSampleSums sums;
    sums.Build(fibre.data(), n);
    for (double x0 : {0.0, 12.5}) {
        for (const Range& r : rangesOfFit) {
            SCOPED_TRACE(r.what);
            expectSameFit(LeastSquaresPlain(fibre.data(), r.i1, r.i2, x0, 0.00025),
                          sums.LeastSquares(r.i1, r.i2, x0, 0.00025), r.what);
        }
    }

    // Samples the sums leave out: the fit over them is the plain one, over the others the sums'.
    for (Shape shape : {Shape::WithNaN, Shape::WithInfinity, Shape::Huge}) {
        const std::vector<double> v = samples(5000, shape, 5);
        TSampleSums s;
        s.Build(v.data(), 5000);
        expectSameFit(LeastSquaresPlain(v.data(), 0, 4999, 0, 0.001), s.LeastSquares(0, 4999, 0, 0.001),
                      "holding one");
        expectSameFit(LeastSquaresPlain(v.data(), 8, 1000, 0, 0.001), s.LeastSquares(8, 1000, 0, 0.001),
                      "between");
    }
    EXPECT_FALSE(LeastSquaresPlain(samples(100, Shape::WithNaN, 1).data(), 0, 99, 0, 0.001));
}

// The store reads the samples directly right after they arrive and from the running sums while a
// marker moves: both give the same sections.
TEST(SampleSums, TheStoresFitsDuringADragEqualThoseAfterALoad) {
    lvtest::SorFormats formats;
    lvtest::ScriptedPrompts prompts;
    TRDataStorage store;
    store.SetAutoFree(false);
    TSynthOptions o;
    o.samples = 200000;
    FillSyntheticTrace(store, o, "drag");
    const double end = store.GetBound(bkLastX);
    const double positions[][4] = {{0.1, 0.45, 0.9, -1}, {0.02, 0.5, 0.51, 0.505}, {0.3, 0.3001, 0.7, -1}};
    for (const auto& p : positions) {
        PDataStruct setup = store.LockSetup();
        PDataStruct params = MakeParamBlock();
        *params->Params() = *setup->Params();
        store.UnlockSetup();
        TVariant m = TVariant::DoubleArray(1, 3, -1.0), y = TVariant::DoubleArray(1, 3, -1.0);
        for (int k = 0; k < 3; ++k)
            m.SetElement(k + 1, TVariant(p[k] * end * 1000));
        y.SetElement(2, TVariant(p[3] < 0 ? -1.0 : p[3] * end * 1000));
        (*params->Params())[prmM] = m;
        (*params->Params())[prmY] = y;

        // A fresh trace with these markers: its first recalculation reads the samples.
        TRDataStorage fresh;
        fresh.SetAutoFree(false);
        PDataStruct data = store.LockData();
        fresh.DataArrived(MakeSampleBlock(data->Samples(), data->SampleCount()).get());
        store.UnlockData();
        fresh.SetupArrived(params.get());
        ASSERT_GT(fresh.Length12, 0);

        // The same markers set one by one on the dragged trace.
        for (int k = 0; k < 3; ++k)
            store.SetMarker(k, p[k] * end);
        store.SetMarker(4, p[3] < 0 ? -1.0 : p[3] * end);
        ASSERT_NE(store.SampleSums(), nullptr);
        for (auto [dragged, loaded] : {std::pair{store.Slope12, fresh.Slope12},
                                       {store.Slope23, fresh.Slope23},
                                       {store.Intercept12, fresh.Intercept12},
                                       {store.Intercept23, fresh.Intercept23},
                                       {store.JointLoss, fresh.JointLoss}})
            EXPECT_LE(std::fabs(dragged - loaded), 1e-9 * std::fabs(loaded))
                << p[0] << " " << p[1] << " " << p[2];
    }
}
