#include "trace/Numeric.h"

#include "trace/Errors.h"

namespace lv {

namespace {
// 2^63 is exactly representable; every double below it fits in int64.
constexpr double kTwo63 = 9223372036854775808.0;

std::optional<int64_t> toInt64(double v) {
    if (!std::isfinite(v) || v >= kTwo63 || v < -kTwo63) return std::nullopt;
    return static_cast<int64_t>(v);
}
} // namespace

std::optional<int64_t> RoundToInt64(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    // Half to even without depending on the rounding mode of the FPU.
    double r = std::round(value);
    if (std::fabs(value - std::trunc(value)) == 0.5) r = 2.0 * std::round(value / 2.0);
    return toInt64(r);
}

std::optional<int32_t> RoundToInt32(double value) {
    auto r = RoundToInt64(value);
    if (!r || *r > INT32_MAX || *r < INT32_MIN) return std::nullopt;
    return static_cast<int32_t>(*r);
}

std::optional<int64_t> FloorToInt64(double value) { return toInt64(std::floor(value)); }
std::optional<int64_t> CeilToInt64(double value) { return toInt64(std::ceil(value)); }

int64_t Round(double value) {
    auto r = RoundToInt64(value);
    if (!r) throw EConvertError("Недопустимое числовое значение");
    return *r;
}

} // namespace lv
