#include "trace/ValueHelpers.h"

#include <cctype>
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

std::string TrimText(std::string_view text) {
    const size_t a = text.find_first_not_of(" \t\r\n");
    if (a == std::string_view::npos) return {};
    return std::string(text.substr(a, text.find_last_not_of(" \t\r\n") - a + 1));
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string FormatArgs(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(pattern.size() + 32);
    auto next = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        const bool placeholder =
            pattern[i] == '%' && i + 1 < pattern.size() && (pattern[i + 1] == 's' || pattern[i + 1] == 'd');
        if (placeholder && next != args.end()) {
            out += *next++;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

namespace {
size_t lastSeparator(std::string_view path) {
    return path.find_last_of("/\\");
}
} // namespace

std::string_view PathNamePart(std::string_view path) {
    const size_t slash = lastSeparator(path);
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view PathFolderPart(std::string_view path) {
    const size_t slash = lastSeparator(path);
    if (slash == std::string_view::npos) return {};
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string_view PathExtension(std::string_view path) {
    const std::string_view name = PathNamePart(path);
    const size_t dot = name.find_last_of('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

bool HasExtension(std::string_view path, std::string_view extension) {
    const std::string_view name = PathNamePart(path);
    return name.size() >= extension.size() &&
           SameText(name.substr(name.size() - extension.size()), extension);
}

void VarRelease(TVariant& v) {
    while (v.UnlockArray()) {
    }
    v.Clear();
}

} // namespace lv
