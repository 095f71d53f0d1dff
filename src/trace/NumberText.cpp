#include "trace/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace lv {

namespace {

// A decimal number: d0.d1d2… × 10^Exponent.
struct TDecimal {
    bool Negative = false;
    std::string Digits; // the first is not 0 unless the number is 0
    int Exponent = 0;

    bool IsZero() const { return Digits.find_first_not_of('0') == std::string::npos; }
    // The digit standing for 10^power (0 outside the digits).
    char DigitAt(int power) const {
        const int i = Exponent - power;
        return i >= 0 && i < int(Digits.size()) ? Digits[size_t(i)] : '0';
    }
};

// The shortest decimal that reads back as `value` (finite).
TDecimal shortestDecimal(double value) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    const std::string_view s(buf, size_t(r.ptr - buf));
    TDecimal d;
    size_t i = 0;
    if (s[i] == '-') {
        d.Negative = true;
        ++i;
    }
    const size_t e = s.find('e');
    for (; i < e; ++i)
        if (s[i] != '.') d.Digits += s[i];
    d.Exponent = std::atoi(std::string(s.substr(e + 1)).c_str());
    return d;
}

// Keeps the first `keep` significant digits, half away from zero: the first digit dropped alone
// decides, since the digits are exact.
void roundTo(TDecimal& d, int keep) {
    if (keep >= int(d.Digits.size())) return;
    if (keep < 0) {
        // The value is below half a unit of the last place kept.
        d.Digits = "0";
        return;
    }
    const bool up = d.Digits[size_t(keep)] >= '5';
    d.Digits.resize(size_t(keep));
    if (up) {
        int i = keep - 1;
        for (; i >= 0 && d.Digits[size_t(i)] == '9'; --i)
            d.Digits[size_t(i)] = '0';
        if (i >= 0) {
            ++d.Digits[size_t(i)];
        } else {
            d.Digits.insert(0, 1, '1');
            ++d.Exponent;
        }
    }
    if (d.Digits.empty()) d.Digits = "0";
}

std::string nonFinite(double value) {
    if (std::isnan(value)) return "NAN";
    return value < 0 ? "-INF" : "INF";
}

} // namespace

std::string FormatFixed(double value, int decimals, std::string_view separator) {
    if (!std::isfinite(value)) return nonFinite(value);
    decimals = std::clamp(decimals, 0, 30);
    TDecimal d = shortestDecimal(value);
    roundTo(d, d.Exponent + 1 + decimals);
    std::string text;
    if (d.Negative && !d.IsZero()) text += '-';
    if (d.IsZero()) d.Exponent = 0;
    for (int p = std::max(d.Exponent, 0); p >= 0; --p)
        text += d.DigitAt(p);
    if (decimals > 0) {
        text += separator;
        for (int p = -1; p >= -decimals; --p)
            text += d.DigitAt(p);
    }
    return text;
}

std::string FormatExponent(double value, int digits, std::string_view separator) {
    if (!std::isfinite(value)) return nonFinite(value);
    digits = std::clamp(digits, 1, 30);
    TDecimal d = shortestDecimal(value);
    roundTo(d, digits);
    std::string text;
    if (d.Negative && !d.IsZero()) text += '-';
    if (d.IsZero()) d.Exponent = 0;
    text += d.DigitAt(d.Exponent);
    if (digits > 1) {
        text += separator;
        for (int i = 1; i < digits; ++i)
            text += d.DigitAt(d.Exponent - i);
    }
    char exponent[16];
    std::snprintf(exponent, sizeof exponent, "E%c%03d", d.Exponent < 0 ? '-' : '+', std::abs(d.Exponent));
    return text + exponent;
}

} // namespace lv
