#include "trace/SampleSummary.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace lv {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Running extremes that ignore non-numbers but remember having seen one.
struct TExtremes {
    double Max = kNaN, Min = kNaN;
    bool NaN = false;

    void Sample(double v) {
        if (std::isnan(v)) {
            NaN = true;
            return;
        }
        if (std::isnan(Max) || v > Max) Max = v;
        if (std::isnan(Min) || v < Min) Min = v;
    }
    void Block(double max, double min, bool nan) {
        NaN = NaN || nan;
        if (std::isnan(max)) return; // a block of non-numbers only
        if (std::isnan(Max) || max > Max) Max = max;
        if (std::isnan(Min) || min < Min) Min = min;
    }
};

} // namespace

void TSampleSummary::Clear() {
    m_values = nullptr;
    m_count = 0;
    m_levels.clear();
}

void TSampleSummary::Build(const double* values, int count) {
    Clear();
    if (!values || count <= 0) return;
    m_values = values;
    m_count = count;
    int prevSize = count;
    while (prevSize > kFan) {
        const int size = (prevSize + kFan - 1) / kFan;
        TLevel level;
        level.Max.resize(size_t(size));
        level.Min.resize(size_t(size));
        level.NaN.resize(size_t(size));
        const TLevel* prev = m_levels.empty() ? nullptr : &m_levels.back();
        for (int b = 0; b < size; ++b) {
            TExtremes e;
            const int from = b * kFan, to = std::min(from + kFan, prevSize);
            if (!prev) {
                for (int i = from; i < to; ++i)
                    e.Sample(values[i]);
            } else {
                for (int i = from; i < to; ++i)
                    e.Block(prev->Max[size_t(i)], prev->Min[size_t(i)], prev->NaN[size_t(i)] != 0);
            }
            level.Max[size_t(b)] = e.Max;
            level.Min[size_t(b)] = e.Min;
            level.NaN[size_t(b)] = e.NaN ? 1 : 0;
        }
        m_levels.push_back(std::move(level));
        prevSize = size;
    }
}

TSampleSummary::TRange TSampleSummary::Query(int a, int b) const {
    TExtremes e;
    auto take = [&](size_t level, int i) {
        if (level == 0) {
            e.Sample(m_values[i]);
        } else {
            const TLevel& l = m_levels[level - 1];
            e.Block(l.Max[size_t(i)], l.Min[size_t(i)], l.NaN[size_t(i)] != 0);
        }
    };
    size_t level = 0;
    while (a <= b) {
        if (level == m_levels.size()) {
            for (int i = a; i <= b; ++i)
                take(level, i);
            break;
        }
        while (a <= b && a % kFan != 0)
            take(level, a++);
        while (a <= b && (b + 1) % kFan != 0)
            take(level, b--);
        if (a > b) break;
        // a .. b now covers whole blocks of the next level.
        a /= kFan;
        b = (b + 1) / kFan - 1;
        ++level;
    }
    return {e.Min, e.Max, e.NaN};
}

size_t TSampleSummary::MemoryBytes() const {
    size_t bytes = 0;
    for (const TLevel& l : m_levels)
        bytes += l.Max.size() * sizeof(double) * 2 + l.NaN.size();
    return bytes;
}

// --- sums ------------------------------------------------------------------------------------

namespace {

using TWide = TSampleSums::TWide;

// Error-free transformations of IEEE double arithmetic (round to nearest, no contraction into
// fused multiply-adds): a + b and a * b as a rounded value and its exact error.
TWide twoSum(double a, double b) {
    const double s = a + b;
    const double v = s - a;
    return {s, (a - (s - v)) + (b - v)};
}

TWide fastTwoSum(double a, double b) { // |a| >= |b|
    const double s = a + b;
    return {s, b - (s - a)};
}

// Dekker's product, exact without a fused multiply-add.
TWide twoProduct(double a, double b) {
    constexpr double kSplit = 134217729.0; // 2^27 + 1
    const double ca = kSplit * a, cb = kSplit * b;
    const double ah = ca - (ca - a), al = a - ah;
    const double bh = cb - (cb - b), bl = b - bh;
    const double p = a * b;
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

TWide add(TWide a, TWide b) {
    TWide s = twoSum(a.Hi, b.Hi);
    const TWide t = twoSum(a.Lo, b.Lo);
    s.Lo += t.Hi;
    s = fastTwoSum(s.Hi, s.Lo);
    s.Lo += t.Lo;
    return fastTwoSum(s.Hi, s.Lo);
}

TWide negated(TWide a) {
    return {-a.Hi, -a.Lo};
}

TWide times(TWide a, double b) {
    TWide p = twoProduct(a.Hi, b);
    p.Lo += a.Lo * b;
    return fastTwoSum(p.Hi, p.Lo);
}

// The double nearest a / n.
double divided(TWide a, double n) {
    if (!std::isfinite(a.Hi)) return a.Hi / n;
    const double q = a.Hi / n;
    const TWide p = twoProduct(q, n);
    return q + (((a.Hi - p.Hi) - p.Lo) + a.Lo) / n;
}

// A running sum with the rounding error of every addition kept beside it (cascaded summation):
// as accurate as a sum in twice the precision, at the cost of a few additions per value.
struct TCascade {
    double Sum = 0, Error = 0;
    void Add(double x) {
        const TWide s = twoSum(Sum, x);
        Sum = s.Hi;
        Error += s.Lo;
    }
    TWide Wide() const {
        if (!std::isfinite(Sum)) return {Sum, 0};
        return twoSum(Sum, Error);
    }
};

// Samples beyond this are left out of the running sums (their products with indices could
// overflow); ranges that hold one are summed sample by sample.
constexpr double kSumLimit = 1e100;

bool summable(double x) {
    return std::fabs(x) <= kSumLimit; // false for a non-number
}

} // namespace

double SampleMean(const double* values, int a, int b) {
    TCascade s;
    for (int i = a; i <= b; ++i)
        s.Add(values[i]);
    return divided(s.Wide(), double(b - a + 1));
}

std::optional<TLineFit> LeastSquaresPlain(const double* p, int i1, int i2, double x0, double dx) {
    if (!(dx > 0) || !std::isfinite(dx) || i2 <= i1) return std::nullopt;
    const long double N = static_cast<long double>(i2 - i1 + 1);
    const long double mid = (static_cast<long double>(i1) + static_cast<long double>(i2)) / 2;
    long double sy = 0, suy = 0;
    long double u = (static_cast<long double>(i1) - mid) * dx; // stepped, not multiplied per sample
    for (int i = i1; i <= i2; ++i) {
        sy += p[i];
        suy += u * p[i];
        u += dx;
    }
    const long double suu = static_cast<long double>(dx) * dx * N * (N * N - 1) / 12;
    if (!(suu > 0)) return std::nullopt;
    const long double slope = suy / suu;
    const long double intercept = sy / N - slope * (x0 + dx * mid);
    if (!std::isfinite(static_cast<double>(slope)) || !std::isfinite(static_cast<double>(intercept)))
        return std::nullopt;
    return TLineFit{static_cast<double>(slope), static_cast<double>(intercept)};
}

void TSampleSums::Clear() {
    m_values = nullptr;
    m_count = 0;
    m_sum.clear();
    m_indexSum.clear();
    m_counted.clear();
}

void TSampleSums::Build(const double* values, int count) {
    Clear();
    if (!values || count <= 0) return;
    const size_t blocks = size_t(count / kBlock);
    m_sum.resize(blocks + 1);
    m_indexSum.resize(blocks + 1);
    m_counted.resize(blocks + 1);
    TWide sum, indexSum;
    int32_t counted = 0;
    for (size_t k = 0; k < blocks; ++k) {
        const double* v = values + k * kBlock;
        // The block's own sums: of the samples, and of the samples times their place in the
        // block; at 32 samples the latter is exact to far below a sample's resolution.
        TCascade s;
        double placed = 0;
        for (int j = 0; j < kBlock; ++j) {
            const bool ok = summable(v[j]);
            const double y = ok ? v[j] : 0.0;
            counted += ok ? 0 : 1;
            s.Add(y);
            placed += j * y;
        }
        const TWide block = s.Wide();
        sum = add(sum, block);
        indexSum = add(indexSum, add(times(block, double(k * kBlock)), TWide{placed, 0}));
        m_sum[k + 1] = sum;
        m_indexSum[k + 1] = indexSum;
        m_counted[k + 1] = counted;
    }
    m_values = values;
    m_count = count;
}

bool TSampleSums::rangeSums(int a, int b, TWide& sy, TWide& suy) const {
    // Whole blocks ka .. kb - 1 from the running sums, the samples around them one by one.
    const int ka = (a + kBlock - 1) / kBlock, kb = (b + 1) / kBlock;
    if (ka >= kb || m_counted[size_t(kb)] != m_counted[size_t(ka)]) return false;
    const double mid = (double(a) + double(b)) / 2; // a half or whole number, exact
    TCascade y, uy;
    auto take = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            if (!summable(m_values[i])) return false;
            y.Add(m_values[i]);
            uy.Add((i - mid) * m_values[i]);
        }
        return true;
    };
    if (!take(a, ka * kBlock) || !take(kb * kBlock, b + 1)) return false;
    const TWide blocks = add(m_sum[size_t(kb)], negated(m_sum[size_t(ka)]));
    const TWide indexBlocks = add(m_indexSum[size_t(kb)], negated(m_indexSum[size_t(ka)]));
    sy = add(blocks, y.Wide());
    // Σ (i − mid)·y over the blocks: two sums of about the same size whose difference is small,
    // which is why they are kept to 32 digits.
    suy = add(add(indexBlocks, negated(times(blocks, mid))), uy.Wide());
    return true;
}

double TSampleSums::Mean(int a, int b) const {
    TWide sy, suy;
    if (b - a + 1 < 2 * kBlock || !rangeSums(a, b, sy, suy)) return SampleMean(m_values, a, b);
    return divided(sy, double(b - a + 1));
}

std::optional<TLineFit> TSampleSums::LeastSquares(int i1, int i2, double x0, double dx) const {
    TWide sy, suy;
    if (i2 - i1 + 1 < 2 * kBlock || !rangeSums(i1, i2, sy, suy))
        return LeastSquaresPlain(m_values, i1, i2, x0, dx);
    if (!(dx > 0) || !std::isfinite(dx)) return std::nullopt;
    const long double N = static_cast<long double>(i2 - i1 + 1);
    const long double mid = (static_cast<long double>(i1) + static_cast<long double>(i2)) / 2;
    const long double suu = static_cast<long double>(dx) * dx * N * (N * N - 1) / 12;
    if (!(suu > 0)) return std::nullopt;
    const long double slope = (static_cast<long double>(suy.Hi) + suy.Lo) * dx / suu;
    const long double intercept = (static_cast<long double>(sy.Hi) + sy.Lo) / N - slope * (x0 + dx * mid);
    if (!std::isfinite(static_cast<double>(slope)) || !std::isfinite(static_cast<double>(intercept)))
        return std::nullopt;
    return TLineFit{static_cast<double>(slope), static_cast<double>(intercept)};
}

size_t TSampleSums::MemoryBytes() const {
    return m_sum.size() * sizeof(TWide) * 2 + m_counted.size() * sizeof(int32_t);
}

} // namespace lv
