#pragma once
// How a curve with more samples than pixel columns becomes a polyline of pixel points. Pure
// arithmetic on the samples and the two axis maps of a view, free of widgets.
//
// The reduction rule: from sample `first` to sample `last`, consecutive samples are grouped by
// pixel column (a group takes the following samples while their column is not greater than that
// of its first sample); each group adds one point at the column of its last sample, with the
// group's last sample (dmEliminate), the mean of its samples (dmAverage) or its largest sample
// (dmMax). Any other method adds a point for every sample. The polyline starts at sample `first`.
//
// ReduceCurvePlain applies the rule sample by sample. ReduceCurve draws the same picture with
// work that follows the pixel columns: group ends are found by searching the monotone column
// function, group extremes come from a TSampleSummary and group means from a TSampleSums. For
// the grouping methods both give the same points (a mean is the double nearest the exact mean
// either way); for every-sample drawing ReduceCurve gives each column's run as the run's first
// sample, its extremes and its last sample, which covers the same pixels as the segments between
// all samples of the run (they all lie on one pixel column).

#include <QPoint>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "display/GraphMath.h"
#include "trace/SampleSummary.h"

class QPainter;

namespace lv {

enum TDisplayMethod : uint8_t {
    dmEliminate = 0, // a group's last sample
    dmAverage = 1,   // the mean of a group
    dmMax = 2,       // the largest sample of a group
    dmLinkLine = 3,  // every sample
    dmSelf = 4,      // the item's own method
};

// The method a stored value stands for: 0..2 reduce, anything else draws every sample.
inline TDisplayMethod EffectiveMethod(int value) {
    return (value >= dmEliminate && value <= dmMax) ? TDisplayMethod(value) : dmLinkLine;
}

// Samples of one curve: sample i lies at world X XMin + i * Step.
struct TCurveSamples {
    const double* Values = nullptr;
    int Count = 0;
    double XMin = 0;
    double Step = 0;

    double XOf(int i) const { return XMin + i * Step; }
};

// The samples to draw for a world X window [visXMin, visXMax]: first = floor of the window's left
// edge in samples, last = ceiling of its right edge, both from the curve's own X range (each 0
// when negative or incomputable). Nullopt when the curve lies outside the window or first is not
// below last; the sample count and the last usable index are applied later, once the samples
// are locked.
std::optional<std::pair<int, int>> VisibleSampleRange(double itemXMin, double itemXMax, double step,
                                                      double visXMin, double visXMax);

// `last` limited to the samples there are: n - 1, or lastIndex when 0 <= lastIndex < n - 1.
int ClampLastSample(int last, int n, int lastIndex);

// The rule as written, sample by sample: the reference for ReduceCurve.
void ReduceCurvePlain(const TCurveSamples& s, int first, int last, TDisplayMethod method, const TAxisMap& x,
                      const TAxisMap& y, std::vector<QPoint>& out);

// The same picture with work following the pixel columns. `summary` and `sums` must cover the
// samples where given: the summary serves dmMax and every-sample drawing, the sums dmAverage;
// without them those methods fall back to reading every sample of a group.
void ReduceCurve(const TCurveSamples& s, int first, int last, TDisplayMethod method, const TAxisMap& x,
                 const TAxisMap& y, const TSampleSummary* summary, const TSampleSums* sums,
                 std::vector<QPoint>& out);

// Draws the segments between consecutive points with the painter's pen, each one whole from
// end to end (a lone point as a dot). Qt's polyline drawing leaves out some vertices where the
// direction turns back; separate segments cover exactly the union of their own pixels, which is
// what makes the column runs of ReduceCurve paint the same as every sample.
void DrawCurvePoints(QPainter& painter, const std::vector<QPoint>& points);

} // namespace lv
