#include "display/CurveReduce.h"

#include <QLine>
#include <QPainter>
#include <cmath>
#include <limits>

#include "trace/Numeric.h"

namespace lv {

std::optional<std::pair<int, int>> VisibleSampleRange(double itemXMin, double itemXMax, double step,
                                                      double visXMin, double visXMax) {
    if (!(visXMin < itemXMax) || !(itemXMin < visXMax)) return std::nullopt;
    if (!(step > 0) || !std::isfinite(step)) return std::nullopt;
    auto toIndex = [](std::optional<int64_t> v) {
        if (!v || *v < 0) return 0;
        return int(std::min<int64_t>(*v, std::numeric_limits<int>::max() - 1));
    };
    auto lo = SafeDivide(std::max(itemXMin, visXMin) - itemXMin, step);
    auto hi = SafeDivide(std::min(itemXMax, visXMax) - itemXMin, step);
    const int first = toIndex(lo ? FloorToInt64(*lo) : std::nullopt);
    const int last = toIndex(hi ? CeilToInt64(*hi) : std::nullopt);
    if (!(first < last)) return std::nullopt;
    return std::make_pair(first, last);
}

int ClampLastSample(int last, int n, int lastIndex) {
    if (lastIndex >= 0 && lastIndex < n - 1) return std::min(last, lastIndex);
    return std::min(last, n - 1);
}

// --- reduction ---------------------------------------------------------------------------------------

namespace {

bool usable(const TCurveSamples& s, int first, int last) {
    return s.Values && first >= 0 && last < s.Count && first <= last;
}

QPoint pointOf(const TCurveSamples& s, int i, const TAxisMap& x, const TAxisMap& y) {
    return {x.ToPixel(s.XOf(i)), y.ToPixel(s.Values[i])};
}

// The largest sample of first..last as the rule takes it: a later sample replaces the running
// value when it is greater or when the running value is not a number.
double plainMax(const double* v, int first, int last) {
    double m = v[first];
    for (int j = first + 1; j <= last; ++j)
        if (v[j] > m || std::isnan(m)) m = v[j];
    return m;
}

} // namespace

void ReduceCurvePlain(const TCurveSamples& s, int first, int last, TDisplayMethod method, const TAxisMap& x,
                      const TAxisMap& y, std::vector<QPoint>& out) {
    out.clear();
    if (!usable(s, first, last)) return;
    out.push_back(pointOf(s, first, x, y));
    if (EffectiveMethod(method) == dmLinkLine) {
        for (int i = first + 1; i <= last; ++i)
            out.push_back(pointOf(s, i, x, y));
        return;
    }
    int i = first;
    while (i <= last) {
        const int column = x.ToPixel(s.XOf(i));
        int j = i;
        while (j < last && x.ToPixel(s.XOf(j + 1)) <= column)
            ++j;
        double value = s.Values[j];
        if (method == dmAverage)
            value = SampleMean(s.Values, i, j);
        else if (method == dmMax)
            value = plainMax(s.Values, i, j);
        out.push_back({x.ToPixel(s.XOf(j)), y.ToPixel(value)});
        i = j + 1;
    }
}

namespace {

// The last sample of the group that starts at i (column `column`): the columns of the samples
// never decrease with their index, so the end is found by galloping and then halving.
int groupEnd(const TCurveSamples& s, int i, int last, int column, const TAxisMap& x) {
    int lo = i; // its column is at most `column`
    int hi;     // its column is greater, or it is last + 1
    int64_t step = 1;
    for (;;) {
        const int64_t probe = lo + step;
        if (probe > last) {
            hi = last + 1;
            break;
        }
        if (x.ToPixel(s.XOf(int(probe))) > column) {
            hi = int(probe);
            break;
        }
        lo = int(probe);
        step *= 2;
    }
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        if (x.ToPixel(s.XOf(mid)) > column)
            hi = mid;
        else
            lo = mid;
    }
    return lo;
}

void pushDistinct(std::vector<QPoint>& out, QPoint p) {
    if (out.empty() || out.back() != p) out.push_back(p);
}

} // namespace

void ReduceCurve(const TCurveSamples& s, int first, int last, TDisplayMethod method, const TAxisMap& x,
                 const TAxisMap& y, const TSampleSummary* summary, const TSampleSums* sums,
                 std::vector<QPoint>& out) {
    method = EffectiveMethod(method);
    if (sums && !sums->Covers(s.Values, s.Count)) sums = nullptr;
    const bool needsSummary = method == dmMax || method == dmLinkLine;
    if (needsSummary && !(summary && summary->Covers(s.Values, s.Count))) {
        ReduceCurvePlain(s, first, last, method, x, y, out);
        return;
    }
    out.clear();
    if (!usable(s, first, last)) return;
    out.push_back(pointOf(s, first, x, y));
    // Short groups are cheaper to read than to look up.
    constexpr int kScanBelow = 2 * TSampleSummary::kFan;
    int i = first;
    while (i <= last) {
        const int column = x.ToPixel(s.XOf(i));
        const int j = groupEnd(s, i, last, column, x);
        if (method == dmLinkLine) {
            // Every segment of the run i..j lies on this one column: together they cover the
            // pixels from the run's highest to its lowest sample.
            if (i != first) out.push_back(pointOf(s, i, x, y));
            if (j > i) {
                const TSampleSummary::TRange r = summary->Query(i, j);
                if (r.HasNaN) {
                    // A non-number lands at pixel row 0, out of the extremes' order.
                    for (int k = i + 1; k <= j; ++k)
                        out.push_back(pointOf(s, k, x, y));
                } else {
                    const int px = x.ToPixel(s.XOf(j));
                    pushDistinct(out, {px, y.ToPixel(r.Max)});
                    pushDistinct(out, {px, y.ToPixel(r.Min)});
                    pushDistinct(out, pointOf(s, j, x, y));
                }
            }
        } else {
            double value = s.Values[j];
            if (method == dmAverage)
                value = sums ? sums->Mean(i, j) : SampleMean(s.Values, i, j);
            else if (method == dmMax)
                value = j - i < kScanBelow ? plainMax(s.Values, i, j) : summary->Query(i, j).Max;
            out.push_back({x.ToPixel(s.XOf(j)), y.ToPixel(value)});
        }
        i = j + 1;
    }
}

void DrawCurvePoints(QPainter& painter, const std::vector<QPoint>& points) {
    if (points.empty()) return;
    if (points.size() == 1) {
        painter.drawPoint(points.front());
        return;
    }
    // In batches, to keep the line array small.
    constexpr size_t kBatch = 4096;
    QLine lines[kBatch];
    size_t count = 0;
    for (size_t i = 1; i < points.size(); ++i) {
        lines[count++] = QLine(points[i - 1], points[i]);
        if (count == kBatch) {
            painter.drawLines(lines, int(count));
            count = 0;
        }
    }
    if (count) painter.drawLines(lines, int(count));
}

} // namespace lv
