#pragma once
// Numbers written for the operator (the panel, the strips of the graph, printed pages, reports):
// fixed notation with N decimals, or N significant digits in the exponent form of the strips
// ("1.2E+002": a capital E, a sign and at least three exponent digits).
//
// Both round half away from zero on the decimal number the value stands for, its shortest form
// that reads back exactly: 1.625 with two decimals is "1.63", 0.5 with none is "1", 1.005 with
// two is "1.01". printf rounds exact binary ties to even and sees 1.005 as 1.00499…, so it shows
// "1.62", "0" and "1.00", which is not how anyone reads those numbers.

#include <string>
#include <string_view>

namespace lv {

// `value` with `decimals` digits after the separator (below 0 counts as 0, above 30 as 30). A
// result that rounds to zero carries no minus sign. Non-finite values give "NAN", "INF", "-INF".
std::string FormatFixed(double value, int decimals, std::string_view separator = ".");

// `value` with `digits` significant digits (at least 1, at most 30) as d[.ddd]E±xxx.
std::string FormatExponent(double value, int digits, std::string_view separator = ".");

} // namespace lv
