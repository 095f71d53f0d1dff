#pragma once
// Small value operations used by the graph, the trace store and the shell.

#include <string>
#include <string_view>

#include "trace/Variant.h"

namespace lv {

// x = Mantissa × 10^Exponent with 1 <= |Mantissa| < 10 (the axis labels' power notation).
// 0 gives mantissa 0 and exponent 1; a value that is not finite gives itself and exponent 0.
struct TMantissa {
    double Mantissa = 0.0;
    int Exponent = 1;
};
TMantissa SplitMantissa(double x);

// Occurrences of the byte `c` in `text` up to its first NUL (counting ASCII characters of UTF-8
// text is exact, since no byte of a multi-byte sequence is below 0x80).
int CountChar(std::string_view text, char c);

// `text` without any occurrence of the byte `c`.
std::string RemoveChar(std::string_view text, char c);

// Neither empty nor null.
inline bool VarHasValue(const TVariant& v) {
    return v.IsSet();
}

// Releases every open lock of an array variant, then empties it.
void VarRelease(TVariant& v);

} // namespace lv
