#include "trace/ValueHelpers.h"

#include <cmath>

namespace lv {

TMantissa SplitMantissa(double x) {
    if (x == 0.0) return {0.0, 1};
    if (!std::isfinite(x)) return {x, 0};
    int e = static_cast<int>(std::floor(std::log10(std::fabs(x))));
    // Dividing by 10^e directly overflows or underflows at the ends of the range
    // (10^-324 is 0), so scale in two steps there.
    auto scaled = [x](int exponent) {
        if (exponent < -300) return (x * 1e300) / std::pow(10.0, exponent + 300);
        if (exponent > 300) return (x / 1e300) / std::pow(10.0, exponent - 300);
        return x / std::pow(10.0, exponent);
    };
    double m = scaled(e);
    // log10 is not exact near powers of ten (log10(1e23) may come out a hair below 23), and the
    // division rounds: correct the exponent so the mantissa lands in [1, 10).
    if (std::fabs(m) < 1.0) {
        --e;
        m = scaled(e);
    }
    if (std::fabs(m) >= 10.0) {
        ++e;
        m /= 10.0;
    }
    return {m, e};
}

int CountChar(std::string_view text, char c) {
    int n = 0;
    for (char ch : text) {
        if (ch == '\0') break;
        if (ch == c) ++n;
    }
    return n;
}

std::string RemoveChar(std::string_view text, char c) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text)
        if (ch != c) out.push_back(ch);
    return out;
}

void VarRelease(TVariant& v) {
    while (v.UnlockArray()) {
    }
    v.Clear();
}

} // namespace lv
