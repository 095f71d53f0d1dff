// Reducing a curve to pixel points: the column-driven path against the rule applied sample by
// sample, over sample counts, zooms, scroll positions, usable-index limits and non-numbers.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <limits>
#include <random>

#include "display/CurveReduce.h"

using namespace lv;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

enum class Shape { Noise, Plateaus, WithNaN, Spikes };

std::vector<double> samples(int n, Shape shape, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 1.5);
    std::vector<double> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        double x = 40.0 - 30.0 * i / n;
        switch (shape) {
        case Shape::Noise:
            x += noise(rng);
            break;
        case Shape::Plateaus:
            x = std::floor(x / 4) * 4;
            break; // long runs of equal values
        case Shape::WithNaN:
            x += noise(rng);
            if (rng() % 50 == 0) x = kNaN;
            break;
        case Shape::Spikes:
            x += (i % 7 == 0) ? 6.0 : 0.0;
            break;
        }
        v[size_t(i)] = x;
    }
    if (shape == Shape::WithNaN && n > 40)
        for (int i = n / 2; i < n / 2 + 20; ++i) // a whole column of non-numbers
            v[size_t(i)] = kNaN;
    return v;
}

struct View {
    TAxisMap X, Y;
    double VisXMin, VisXMax;
};

// A content of `w` x 300 pixels at (10, 20) over world X 0..xMax zoomed `zoom` times, scrolled
// to `offsetFrac` of the room; Y 0..50 dB unzoomed.
View view(int w, double xMax, double zoom, double offsetFrac) {
    View v;
    const int virt = int(std::lround(w * zoom));
    const int offset = int(std::lround((virt - w) * offsetFrac));
    v.X = {0, xMax, virt, offset, 10, false};
    v.Y = {0, 50, 300, 0, 320, true};
    v.VisXMin = v.X.ToWorld(10);
    v.VisXMax = v.X.ToWorld(10 + w);
    return v;
}

struct Case {
    int N;
    int Width;
    double Zoom;
    Shape Kind;
    int LastIndex; // -1: all samples usable
};

const Case kCases[] = {
    {1, 400, 1, Shape::Noise, -1},           {2, 400, 1, Shape::Noise, -1},
    {17, 400, 1, Shape::Spikes, -1},         {17, 400, 3, Shape::Noise, -1},
    {1000, 400, 1, Shape::Noise, -1},        {1000, 400, 5.5, Shape::Plateaus, -1},
    {40000, 800, 1, Shape::Spikes, -1},      {40000, 800, 7, Shape::WithNaN, -1},
    {100003, 1600, 1, Shape::Noise, -1},     {100003, 1600, 33, Shape::Plateaus, -1},
    {100003, 1600, 100, Shape::WithNaN, -1}, {250000, 977, 2.5, Shape::Noise, 180000},
    {5000, 1600, 1, Shape::Noise, 4000},     {300, 1600, 1, Shape::Plateaus, -1},
};

} // namespace

TEST(CurveReduce, SummarisedPathGivesThePlainRulesPoints) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> frac(0.0, 1.0);
    std::vector<QPoint> plain, fast;
    for (const Case& c : kCases) {
        const std::vector<double> v = samples(c.N, c.Kind, unsigned(c.N));
        const double step = 0.0127;
        const TCurveSamples s{v.data(), c.N, 0.5, step};
        TSampleSummary summary;
        summary.Build(v.data(), c.N);
        TSampleSums sums;
        sums.Build(v.data(), c.N);
        const double xMax = 0.5 + step * std::max(c.N - 1, 1) + 1.0;
        for (int trial = 0; trial < 6; ++trial) {
            const View w = view(c.Width, xMax, c.Zoom, trial == 0 ? 0.0 : frac(rng));
            auto range = VisibleSampleRange(s.XMin, s.XOf(c.N - 1), step, w.VisXMin, w.VisXMax);
            if (!range) continue;
            const int last = ClampLastSample(range->second, c.N, c.LastIndex);
            for (TDisplayMethod m : {dmEliminate, dmAverage, dmMax, dmLinkLine}) {
                ReduceCurvePlain(s, range->first, last, m, w.X, w.Y, plain);
                ReduceCurve(s, range->first, last, m, w.X, w.Y, &summary, &sums, fast);
                if (m == dmLinkLine) {
                    // Every sample has its point in the plain rule; per column the summarised
                    // path keeps at most the run's first, extremes and last.
                    ASSERT_EQ(plain.front(), fast.front());
                    ASSERT_EQ(plain.back(), fast.back());
                    continue;
                }
                ASSERT_EQ(plain, fast) << "n " << c.N << " zoom " << c.Zoom << " method " << int(m);
            }
        }
    }
}

// The pictures themselves: the plain rule drawn one segment at a time, as its MoveTo/LineTo
// description says, against the summarised polyline.
TEST(CurveReduce, SummarisedPolylinePaintsThePlainRulesPixels) {
    auto paint = [](const std::vector<QPoint>& pts, bool segments) {
        QImage img(1620, 340, QImage::Format_RGB32);
        img.fill(Qt::black);
        QPainter p(&img);
        p.setPen(QPen(Qt::white, 1));
        if (segments) {
            for (size_t i = 1; i < pts.size(); ++i)
                p.drawLine(pts[i - 1], pts[i]);
        } else {
            DrawCurvePoints(p, pts);
        }
        return img;
    };
    std::vector<QPoint> plain, fast;
    int compared = 0;
    for (const Case& c : kCases) {
        if (c.N < 2 || c.N > 100000) continue; // the larger ones add time, not cases
        const std::vector<double> v = samples(c.N, c.Kind, 99u + unsigned(c.N));
        const double step = 0.01;
        const TCurveSamples s{v.data(), c.N, 0, step};
        TSampleSummary summary;
        summary.Build(v.data(), c.N);
        TSampleSums sums;
        sums.Build(v.data(), c.N);
        for (double offset : {0.0, 0.63}) {
            if (offset == 0.0 && c.N > 10000) continue;
            const View w = view(c.Width, step * (c.N - 1), c.Zoom, offset);
            auto range = VisibleSampleRange(0, s.XOf(c.N - 1), step, w.VisXMin, w.VisXMax);
            if (!range) continue;
            const int last = ClampLastSample(range->second, c.N, c.LastIndex);
            for (TDisplayMethod m : {dmMax, dmLinkLine}) {
                ReduceCurvePlain(s, range->first, last, m, w.X, w.Y, plain);
                ReduceCurve(s, range->first, last, m, w.X, w.Y, &summary, &sums, fast);
                ASSERT_EQ(paint(plain, true), paint(fast, false)) << "n " << c.N << " method " << int(m);
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 16);
}

TEST(CurveReduce, EverySampleDrawingShrinksToTheColumns) {
    // 40 000 samples over 800 columns: about four points per column instead of fifty.
    const std::vector<double> v = samples(40000, Shape::Noise, 3);
    const TCurveSamples s{v.data(), 40000, 0, 0.002};
    TSampleSummary summary;
    summary.Build(v.data(), 40000);
    const View w = view(800, s.XOf(39999), 1, 0);
    std::vector<QPoint> fast;
    ReduceCurve(s, 0, 39999, dmLinkLine, w.X, w.Y, &summary, nullptr, fast);
    EXPECT_LE(fast.size(), 4u * 801u);
    EXPECT_GE(fast.size(), 2u * 800u);
}

TEST(CurveReduce, MaxFollowsTheUpperEnvelopeWithOnePointPerColumn) {
    // Every seventh sample is a spike 6 dB up: with about 50 samples per column each column's
    // point sits on a spike.
    const std::vector<double> v = samples(40000, Shape::Spikes, 1);
    const TCurveSamples s{v.data(), 40000, 0, 0.002};
    TSampleSummary summary;
    summary.Build(v.data(), 40000);
    const View w = view(800, s.XOf(39999), 1, 0);
    std::vector<QPoint> pts;
    ReduceCurve(s, 0, 39999, dmMax, w.X, w.Y, &summary, nullptr, pts);
    ASSERT_GE(pts.size(), 795u);
    ASSERT_LE(pts.size(), 802u);
    for (size_t k = 1; k < pts.size(); ++k) {
        const double km = w.X.ToWorld(pts[k].x());
        const double spikeTop = 40.0 - 30.0 * (km / 0.002) / 40000 + 6.0;
        EXPECT_NEAR(w.Y.ToWorld(pts[k].y()), spikeTop, 0.3) << k;
        EXPECT_EQ(pts[k].x(), pts[k - 1].x() + (k == 1 ? 0 : 1)) << k;
    }
}

TEST(CurveReduce, SummaryAnswersLikeAScan) {
    std::mt19937 rng(11);
    for (int n : {1, 15, 16, 17, 255, 256, 257, 5000, 70001}) {
        std::vector<double> v = samples(n, Shape::WithNaN, unsigned(n));
        TSampleSummary summary;
        summary.Build(v.data(), n);
        EXPECT_TRUE(summary.Covers(v.data(), n));
        std::uniform_int_distribution<int> pick(0, n - 1);
        for (int q = 0; q < 200; ++q) {
            int a = pick(rng), b = pick(rng);
            if (a > b) std::swap(a, b);
            double mx = kNaN, mn = kNaN;
            bool nan = false;
            for (int i = a; i <= b; ++i) {
                if (std::isnan(v[size_t(i)])) {
                    nan = true;
                    continue;
                }
                if (std::isnan(mx) || v[size_t(i)] > mx) mx = v[size_t(i)];
                if (std::isnan(mn) || v[size_t(i)] < mn) mn = v[size_t(i)];
            }
            const TSampleSummary::TRange r = summary.Query(a, b);
            ASSERT_EQ(r.HasNaN, nan) << n << " " << a << ".." << b;
            if (std::isnan(mx)) {
                EXPECT_TRUE(std::isnan(r.Max));
            } else {
                ASSERT_EQ(r.Max, mx) << n << " " << a << ".." << b;
                ASSERT_EQ(r.Min, mn) << n << " " << a << ".." << b;
            }
        }
    }
}

TEST(CurveReduce, VisibleSampleRange) {
    struct Row {
        double visMin, visMax;
        bool drawn;
        int first, last;
    };
    // A curve from 1 km to 2 km, samples 0.1 km apart.
    const Row rows[] = {
        {0.0, 0.5, false, 0, 0},  // left of the curve
        {2.5, 3.0, false, 0, 0},  // right of it
        {2.0, 3.0, false, 0, 0},  // touching its last sample is not overlapping
        {0.0, 3.0, true, 0, 10},  // the whole curve
        {1.25, 1.55, true, 2, 6}, // floor of the left edge, ceiling of the right
        {1.2, 1.21, true, 1, 3},  // first < last even inside one step (rounding may make 2 3)
    };
    for (const Row& r : rows) {
        auto range = VisibleSampleRange(1.0, 2.0, 0.1, r.visMin, r.visMax);
        ASSERT_EQ(range.has_value(), r.drawn) << r.visMin << ".." << r.visMax;
        if (!range) continue;
        if (r.visMin == 1.2) {
            EXPECT_LT(range->first, range->second);
            continue;
        }
        EXPECT_EQ(range->first, r.first);
        EXPECT_EQ(range->second, r.last);
    }
    EXPECT_FALSE(VisibleSampleRange(1, 2, 0, 0, 3)); // no step, nothing to index
    EXPECT_EQ(ClampLastSample(50, 20, -1), 19);
    EXPECT_EQ(ClampLastSample(50, 20, 7), 7);
    EXPECT_EQ(ClampLastSample(5, 20, 7), 5);
    EXPECT_EQ(ClampLastSample(50, 20, 19), 19); // the last index itself is no limit
}
