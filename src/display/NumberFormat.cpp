#include "display/NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace lv {

namespace {

QString nonFinite(double v) {
    if (std::isnan(v)) return QStringLiteral("NAN");
    return v < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

// A result that rounds to all zeros carries no minus sign ("-0.00" reads as a fault).
void dropNegativeZero(std::string& s) {
    if (s.empty() || s[0] != '-') return;
    size_t end = s.find_first_of("eE");
    if (s.find_first_of("123456789") < end) return;
    s.erase(0, 1);
}

} // namespace

QString FormatFloat(double value, TFloatFormat format, int precision, const QString& decimalSeparator) {
    if (!std::isfinite(value)) return nonFinite(value);
    precision = std::clamp(precision, 0, 30);
    char buf[400];
    std::string s;
    if (format == TFloatFormat::Fixed) {
        std::snprintf(buf, sizeof buf, "%.*f", precision, value);
        s = buf;
        dropNegativeZero(s);
    } else {
        int digits = std::max(precision, 1);
        std::snprintf(buf, sizeof buf, "%.*e", digits - 1, value);
        s = buf;
        size_t e = s.find('e');
        std::string mantissa = s.substr(0, e);
        int exponent = std::atoi(s.c_str() + e + 1);
        std::snprintf(buf, sizeof buf, "E%c%03d", exponent < 0 ? '-' : '+', std::abs(exponent));
        s = mantissa + buf;
        dropNegativeZero(s);
    }
    QString text = QString::fromLatin1(s.c_str());
    text.replace(QLatin1Char('.'), decimalSeparator);
    return text;
}

int DecimalExponent(double value) {
    double a = std::fabs(value);
    if (a == 0 || !std::isfinite(a)) return 1;
    int e = int(std::floor(std::log10(a)));
    // log10 of a value near a power of ten may land on the wrong side of the integer.
    if (std::pow(10.0, e + 1) <= a)
        ++e;
    else if (std::pow(10.0, e) > a)
        --e;
    return e;
}

QString ScaleText(double division, const QString& units, bool scaleVisible, const QString& decimalSeparator) {
    if (!scaleVisible) return QStringLiteral(" ");
    int e = DecimalExponent(division);
    TFloatFormat f = (e < -2 || e > 5) ? TFloatFormat::Exponent : TFloatFormat::Fixed;
    QString text = FormatFloat(division, f, 2, decimalSeparator);
    if (!units.isEmpty())
        text += QStringLiteral(" ") + units + QStringLiteral("/дел");
    else
        text += QStringLiteral(" ../дел");
    return text;
}

TValuesFormat ValuesFormat(double axisMax, bool powerVisible, int precision) {
    TValuesFormat r;
    r.Exponent = DecimalExponent(axisMax);
    r.Precision = precision;
    double p = std::pow(10.0, r.Exponent);
    if (powerVisible) {
        if (r.Exponent != 1) r.Divisor = p;
        r.Format = TFloatFormat::Fixed;
        r.ShowPower = r.Exponent != 0 && r.Exponent != 1;
    } else {
        bool tiny = p < std::pow(10.0, -std::clamp(precision, 0, 300));
        r.Format = (tiny || p > 1000) ? TFloatFormat::Exponent : TFloatFormat::Fixed;
    }
    return r;
}

QString PowerText(int exponent) {
    return QStringLiteral("10^%1").arg(exponent);
}

} // namespace lv
