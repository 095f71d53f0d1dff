#pragma once
// Summaries of a trace's samples, kept beside them so that drawing a curve and fitting a line cost
// work that follows the pixel columns or stays constant, not the samples: the min/max pyramid
// and the running sums. One of each per trace: the trace store builds them when first asked and
// every view of the trace reads the same ones.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace lv {

// Min/max pyramid over a sample block: level k holds, per block of 16^k samples, the largest and
// smallest sample (non-numbers ignored) and whether the block holds a non-number. Answers range
// queries with work of about 30 entries per level.
class TSampleSummary {
public:
    struct TRange {
        double Min;  // smallest sample that is a number; NaN when there is none
        double Max;  // largest sample that is a number; NaN when there is none
        bool HasNaN; // the range holds a non-number
    };

    void Build(const double* values, int count);
    void Clear();
    // Built over exactly this block.
    bool Covers(const double* values, int count) const { return m_values == values && m_count == count; }
    // Samples a..b inclusive, 0 <= a <= b < count.
    TRange Query(int a, int b) const;
    size_t MemoryBytes() const;

    static constexpr int kFan = 16;

private:
    struct TLevel {
        std::vector<double> Max, Min;
        std::vector<uint8_t> NaN;
    };
    const double* m_values = nullptr;
    int m_count = 0;
    std::vector<TLevel> m_levels; // level 1 upward; level 0 is the samples themselves
};

// The mean of values[a..b], a <= b: the sum is kept to about 32 significant digits, so the mean is
// the double nearest the exact mean (short of a tie closer than that). A range holding a
// non-number gives NaN, one holding an infinity (of one sign) that infinity.
double SampleMean(const double* values, int a, int b);

// A line fitted to samples by least squares, y = Slope * x + Intercept.
struct TLineFit {
    double Slope = 0;
    double Intercept = 0;
};

// The least-squares line through samples i1..i2 (i1 < i2) at x_i = x0 + dx * i, sample by sample
// in the centred form (no cancellation far from the origin). Nullopt when the line is not finite
// (a non-number among the samples, dx not above 0).
std::optional<TLineFit> LeastSquaresPlain(const double* values, int i1, int i2, double x0, double dx);

// Running sums over a sample block, for means and least-squares lines over any range at a cost
// that does not follow its length. At every kBlock-th sample it keeps the sum of the samples
// before it and the sum of index × sample, in double-double arithmetic (about 32 significant
// digits), so that a range's sums are the difference of two of them plus its partial blocks, read
// directly. Samples that are not finite or too large to sum safely are counted instead; a range
// that holds one is summed sample by sample, as the plain forms do.
class TSampleSums {
public:
    static constexpr int kBlock = 32;

    void Build(const double* values, int count);
    void Clear();
    bool Covers(const double* values, int count) const { return m_values == values && m_count == count; }
    // SampleMean of samples a..b, 0 <= a <= b < count.
    double Mean(int a, int b) const;
    // LeastSquaresPlain over samples i1..i2, 0 <= i1 < i2 < count, from the sums; the two agree
    // to about 1e-12 relative.
    std::optional<TLineFit> LeastSquares(int i1, int i2, double x0, double dx) const;
    size_t MemoryBytes() const;

    // A sum to about 32 significant digits: the value is Hi + Lo.
    struct TWide {
        double Hi = 0, Lo = 0;
    };

private:
    // Sums of y and of i·y over a..b; false when the range holds a sample that is counted out.
    bool rangeSums(int a, int b, TWide& sy, TWide& siy) const;

    const double* m_values = nullptr;
    int m_count = 0;
    // Entry k: over the samples before k * kBlock.
    std::vector<TWide> m_sum, m_indexSum;
    std::vector<int32_t> m_counted; // samples left out of the sums
};

} // namespace lv
