#pragma once
// Guarded arithmetic. C++ raises no floating-point exceptions, so every division and every
// conversion of a float to an integer goes through these and yields a defined fallback.

#include <cmath>
#include <cstdint>
#include <optional>

namespace lv {

// Round half to even, as the system rounds; nullopt for NaN, infinities and values outside int64.
std::optional<int64_t> RoundToInt64(double value);

// Round half to even into int32; nullopt when the value does not fit.
std::optional<int32_t> RoundToInt32(double value);

// Truncation towards minus infinity into int64; nullopt when the value does not fit.
std::optional<int64_t> FloorToInt64(double value);
std::optional<int64_t> CeilToInt64(double value);

// Round half to even or raise EConvertError.
int64_t Round(double value);

// a / b, or nullopt when b is zero or the quotient is not finite.
inline std::optional<double> SafeDivide(double a, double b) {
    if (b == 0.0 || !std::isfinite(a) || !std::isfinite(b)) return std::nullopt;
    double q = a / b;
    if (!std::isfinite(q)) return std::nullopt;
    return q;
}

} // namespace lv
