#include "display/NumberFormat.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "trace/NumberText.h"

namespace lv {

QString FormatFloat(double value, TFloatFormat format, int precision, const QString& decimalSeparator) {
    const std::string separator = decimalSeparator.toStdString();
    return QString::fromStdString(format == TFloatFormat::Fixed
                                      ? FormatFixed(value, precision, separator)
                                      : FormatExponent(value, std::max(precision, 1), separator));
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

QString AproxText(int code) {
    switch (code) {
    case 0:
        return QStringLiteral("ДТМ");
    case 1:
        return QStringLiteral("АПР");
    default:
        return {};
    }
}

QString AveragesText(int count) {
    if (count < 1) return {};
    const int log2 = int(std::bit_width(unsigned(count))) - 1;
    return QStringLiteral("%1 (2^%2)").arg(count).arg(log2);
}

} // namespace lv
