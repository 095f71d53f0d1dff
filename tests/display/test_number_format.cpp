// Number texts of the strips: "%.Nf" / "%.Ne" with the locale's separator, exponents, the scale
// text and the values format.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "display/NumberFormat.h"

using namespace lv;

TEST(NumberFormat, FixedAndExponentForms) {
    const QString comma = QStringLiteral(","), dot = QStringLiteral(".");
    struct Row {
        double v;
        TFloatFormat f;
        int prec;
        QString sep;
        const char* text;
    };
    const Row rows[] = {
        {123.4, TFloatFormat::Exponent, 2, dot, "1.2E+002"},
        {123.4, TFloatFormat::Exponent, 2, comma, "1,2E+002"},
        {0.000123, TFloatFormat::Exponent, 3, comma, "1,23E-004"},
        {-98765.0, TFloatFormat::Exponent, 2, dot, "-9.9E+004"},
        {1e-100, TFloatFormat::Exponent, 2, dot, "1.0E-100"},
        {5e5, TFloatFormat::Exponent, 0, dot, "5E+005"}, // at least one digit
        {0, TFloatFormat::Exponent, 2, dot, "0.0E+000"},
        {2.5, TFloatFormat::Fixed, 2, comma, "2,50"},
        {16, TFloatFormat::Fixed, 0, comma, "16"},
        {-3.14159, TFloatFormat::Fixed, 3, dot, "-3.142"},
        {-0.001, TFloatFormat::Fixed, 2, comma, "0,00"}, // no "-0,00"
        {1.625, TFloatFormat::Fixed, 2, comma, "1,63"},  // ties away from zero, as the operator reads them
        {0.125, TFloatFormat::Exponent, 2, comma, "1,3E-001"},
        {-1e-9, TFloatFormat::Exponent, 1, dot, "-1E-009"},
        {1e20, TFloatFormat::Fixed, 1, dot, "100000000000000000000.0"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(FormatFloat(r.v, r.f, r.prec, r.sep), QString::fromUtf8(r.text)) << r.text;
    EXPECT_EQ(FormatFloat(std::nan(""), TFloatFormat::Fixed, 2, dot), "NAN");
    EXPECT_EQ(FormatFloat(-std::numeric_limits<double>::infinity(), TFloatFormat::Exponent, 2, dot), "-INF");
}

TEST(NumberFormat, DecimalExponentIsExactAtPowersOfTen) {
    struct Row {
        double v;
        int e;
    };
    for (Row r : {Row{80, 1}, Row{2000, 3}, Row{1000, 3}, Row{999.99, 2}, Row{0.001, -3}, Row{0.00099, -4},
                  Row{1e-300, -300}, Row{1e15, 15}, Row{-50, 1}, Row{0, 1}, Row{1, 0}, Row{9.999999, 0}})
        EXPECT_EQ(DecimalExponent(r.v), r.e) << r.v;
    EXPECT_EQ(DecimalExponent(std::nan("")), 1);
}

TEST(NumberFormat, ScaleText) {
    const QString comma = QStringLiteral(",");
    struct Row {
        double division;
        const char* units;
        bool visible;
        const char* text;
    };
    const Row rows[] = {
        {2.5, "км", true, "2,50 км/дел"},
        {2.5, "", true, "2,50 ../дел"},
        {2.5, "км", false, " "},
        {0.01, "", true, "0,01 ../дел"}, // exponent -2 is not below -2
        {0.001, "", true, "1,0E-003 ../дел"},
        {0.0004, "дБ", true, "4,0E-004 дБ/дел"}, // below -2: "%.2e"
        {123456, "", true, "123456,00 ../дел"},  // exponent 5
        {1234567, "", true, "1,2E+006 ../дел"},  // above 5
        {0, "", true, "0,00 ../дел"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ScaleText(r.division, QString::fromUtf8(r.units), r.visible, comma),
                  QString::fromUtf8(r.text))
            << r.text;
}

TEST(NumberFormat, ValuesFormatFollowsTheUpperEdge) {
    struct Row {
        double max;
        bool power;
        int prec;
        int exponent;
        double divisor;
        TFloatFormat format;
        bool showPower;
    };
    const Row rows[] = {
        {2000, true, 2, 3, 1000, TFloatFormat::Fixed, true}, // "10^3", values in thousands
        {80, true, 2, 1, 1, TFloatFormat::Fixed, false},     // e = 1: plain values
        {5, true, 2, 0, 1, TFloatFormat::Fixed, false},      // e = 0: divided by 1, no power text
        {0.5, true, 2, -1, 0.1, TFloatFormat::Fixed, true},
        {0, true, 2, 1, 1, TFloatFormat::Fixed, false},
        {20000, false, 2, 4, 1, TFloatFormat::Exponent, false}, // p > 1000
        {2000, false, 2, 3, 1, TFloatFormat::Fixed, false},
        {0.001, false, 2, -3, 1, TFloatFormat::Exponent, false}, // p < 10^-2
        {0.01, false, 2, -2, 1, TFloatFormat::Fixed, false},
    };
    for (const Row& r : rows) {
        TValuesFormat f = ValuesFormat(r.max, r.power, r.prec);
        EXPECT_EQ(f.Exponent, r.exponent) << r.max;
        EXPECT_DOUBLE_EQ(f.Divisor, r.divisor) << r.max;
        EXPECT_EQ(f.Format, r.format) << r.max;
        EXPECT_EQ(f.ShowPower, r.showPower) << r.max;
        EXPECT_EQ(f.Precision, r.prec);
    }
    EXPECT_EQ(PowerText(3), "10^3");
    EXPECT_EQ(PowerText(-2), "10^-2");
}
