#include "trace/SampleSummary.h"

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

} // namespace lv
