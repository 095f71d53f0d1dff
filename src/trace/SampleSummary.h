#pragma once
// The min/max summary of a trace's samples, kept beside them so that drawing a curve costs work
// that follows the pixel columns, not the samples. One per trace: the trace store builds it when a
// view first asks and every view of the trace reads the same one.

#include <cstddef>
#include <cstdint>
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

} // namespace lv
