#pragma once
// Number texts of the graph strips, formatted as the system's "%.Nf" and "%.Ne" do: fixed with N
// decimals, or N significant digits with a capital E, a sign and at least three exponent digits
// (123.4 with "%.2e" gives 1.2E+002), rounded half away from zero as the core's number texts are
// (trace/NumberText.h). The decimal separator is passed in (the locale's).

#include <QString>

namespace lv {

enum class TFloatFormat { Fixed, Exponent };

// `value` in the given format with `precision` (decimals for Fixed, significant digits for
// Exponent; below 0 counts as 0, and Exponent shows at least one digit). Non-finite values give
// "NAN", "INF" or "-INF".
QString FormatFloat(double value, TFloatFormat format, int precision, const QString& decimalSeparator);

// The decimal exponent floor(log10 |v|), exact at powers of ten; 1 for 0 and for non-finite values.
int DecimalExponent(double value);

// The world size of one grid division as the scale strip shows it: "%.2e" when its exponent is
// below -2 or above 5, else "%.2f", then " <units>/дел" or " ../дел" without units. A hidden
// scale shows a single space.
QString ScaleText(double division, const QString& units, bool scaleVisible, const QString& decimalSeparator);

// How the values strip of an axis writes its numbers, from the axis's upper world edge.
struct TValuesFormat {
    int Exponent = 1;   // decimal exponent of the upper edge
    double Divisor = 1; // values are divided by this before formatting
    TFloatFormat Format = TFloatFormat::Fixed;
    int Precision = 2;
    bool ShowPower = false; // the scale strip carries "10^Exponent"
};
TValuesFormat ValuesFormat(double axisMax, bool powerVisible, int precision);

// "10^<exponent>".
QString PowerText(int exponent);

// The texts "ДТМ" and "АПР" of the approximation codes 0 and 1 (two-point, least squares); empty
// for any other code.
QString AproxText(int code);

// "%d (2^%d)": the count and the integer part of its base-2 logarithm (1000 gives
// "1000 (2^9)"); empty below 1.
QString AveragesText(int count);

} // namespace lv
