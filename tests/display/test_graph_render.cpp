// A graph view with a synthetic reflectogram, painted offscreen as on the screen and checked by
// pixels: content, grids, curve, rulers, values, labels and header where the layout puts them.
// The picture is kept in the build folder (test-output/graph_view.png) for a look.

#include <gtest/gtest.h>

#include <QDir>
#include <QLocale>

#include "ViewFixture.h"

using namespace lv;

namespace {

// A fibre of 75 km: 0.3 dB/km from 42 dB, a splice of 3 dB at 30 km, a reflection at 55 km, and
// the noise floor of 5 dB after the end.
double level(double km) {
    double l = 42 - 0.3 * km - (km >= 30 ? 3 : 0);
    if (km >= 55 && km < 55.4) l += 8;
    if (km >= 75) l = 5;
    return l;
}

bool near(QRgb a, QColor b, int tolerance = 12) {
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance &&
           std::abs(qBlue(a) - b.blue()) <= tolerance;
}

bool isInk(QRgb c) {
    return qGray(c) < 170;
}

} // namespace

TEST(GraphRender, StripsGridsAndCurveAreWhereTheLayoutPutsThem) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    lvtest::TestView v;
    lvtest::SizeContent(v, 600, 360);
    v.SetXMin(0);
    v.SetXMax(80);
    v.SetYMin(0);
    v.SetYMax(50);
    v.SetXGridsColor(clGreen);
    v.SetYGridsColor(clGreen);
    v.SetHeader("Рефлектограмма");
    v.SetXLabel("Расстояние");
    v.SetXLabelUnits("км");
    v.SetYLabel("Уровень");
    v.SetYLabelUnits("дБ");
    v.Data = TRealRect{0, 5, 80, 50};
    v.Curve = level;
    v.Active = TActiveItemInfo{clYellow, "Трасса 1", "f01.sor"};
    QApplication::processEvents();

    const QImage img = v.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QLocale::setDefault(saved);
    const QString dir = QStringLiteral(LUMVARIS_BINARY_DIR "/test-output");
    QDir().mkpath(dir);
    ASSERT_TRUE(img.save(dir + "/graph_view.png"));

    const QPoint o = v.viewport()->mapTo(&v, QPoint(0, 0));
    auto at = [&](int x, int y) { return img.pixel(o.x() + x, o.y() + y); };
    const QColor face = ColorToQColor(clBtnFace), blue(0, 0, 255), green(0, 128, 0);
    const TRect c = v.ContentRect();
    const TGraphGeometry g = v.Geometry();
    ASSERT_EQ(c.Width(), 600);

    // Content: black, with a green grid line every 120 px (5 grids) and every 70 px upward.
    EXPECT_TRUE(near(at(c.Left + 3, c.Top + 3), Qt::black));
    for (int m = 0; m < 5; ++m) {
        EXPECT_TRUE(near(at(c.Left + 120 * m, c.Top + 3), green)) << m;
        EXPECT_TRUE(near(at(c.Left + 120 * m + 5, c.Top + 3), Qt::black)) << m;
    }
    for (int m = 1; m <= 5; ++m)
        EXPECT_TRUE(near(at(c.Left + 5, c.Bottom - 70 * m), green)) << m;

    // The curve runs through its values.
    for (double km : {5.0, 20.0, 40.0, 50.0, 65.0}) {
        const int x = g.XMap().ToPixel(km), y = g.YMap().ToPixel(level(km));
        bool white = false;
        for (int dy = -1; dy <= 1; ++dy)
            white = white || near(at(x, y + dy), Qt::white, 40);
        EXPECT_TRUE(white) << km;
        EXPECT_TRUE(near(at(x, y - 8), Qt::black) || near(at(x, y - 8), green)) << km;
    }

    // X ruler strip under the content: big ticks of 6 at the grid lines, half ticks of 4 at the
    // fifth tick, normal ticks of 2, nothing between ticks.
    const TRect xr = v.AreaRect(woXRuls);
    EXPECT_EQ(xr.Top, c.Bottom);
    for (int row = 0; row < 6; ++row)
        EXPECT_TRUE(near(at(c.Left + 120, xr.Top + row), blue)) << row;
    EXPECT_TRUE(near(at(c.Left + 60, xr.Top + 3), blue));
    EXPECT_TRUE(near(at(c.Left + 60, xr.Top + 4), face));
    EXPECT_TRUE(near(at(c.Left + 12, xr.Top + 1), blue));
    EXPECT_TRUE(near(at(c.Left + 12, xr.Top + 2), face));
    EXPECT_TRUE(near(at(c.Left + 6, xr.Top), face));
    // Y ruler strip left of the content: ticks grow leftward from its right edge.
    const TRect yr = v.AreaRect(woYRuls);
    EXPECT_EQ(yr.Right, c.Left);
    for (int col = 1; col <= 6; ++col)
        EXPECT_TRUE(near(at(yr.Right - col, c.Bottom - 70), blue)) << col;
    EXPECT_TRUE(near(at(yr.Right - 4, c.Bottom - 35), blue));
    EXPECT_TRUE(near(at(yr.Right - 5, c.Bottom - 35), face));

    // Values under the grid lines (and only there), labels, scale texts and header in their strips.
    auto inkIn = [&](const TRect& r) {
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                n += isInk(at(x, y));
        return n;
    };
    const TRect xv = v.AreaRect(woXValues);
    EXPECT_EQ(xv.Top, xr.Bottom);
    for (int m = 1; m < 5; ++m)
        EXPECT_GT(inkIn({c.Left + 120 * m - 20, xv.Top, c.Left + 120 * m + 20, xv.Bottom}), 10);
    EXPECT_EQ(inkIn({c.Left + 55, xv.Top, c.Left + 65, xv.Bottom}), 0);
    const TRect yv = v.AreaRect(woYValues);
    EXPECT_GT(inkIn({yv.Left, c.Bottom - 90, yv.Right, c.Bottom - 50}), 10);
    EXPECT_EQ(inkIn({yv.Left, c.Bottom - 38, yv.Right, c.Bottom - 32}), 0);
    for (TWhatObject a : {woXLabel, woYLabel, woXScale, woYScale})
        EXPECT_GT(inkIn(v.AreaRect(a)), 20) << a;

    const TRect h = v.AreaRect(woHeader);
    EXPECT_EQ(h.Top, 0);
    EXPECT_EQ(h.Bottom, c.Top);
    EXPECT_TRUE(near(at(h.Left + 2, h.Top + 2), face));
    // The active curve's swatch at the start of the header box (over the content's width).
    EXPECT_TRUE(near(at(c.Left + h.Height() / 2, h.Top + h.Height() / 2), QColor(255, 255, 0)));
    EXPECT_GT(inkIn({c.Left + h.Height(), h.Top, c.Right, h.Bottom}), 30);
    // A corner outside all strips has the control's colour.
    EXPECT_TRUE(near(at(c.Left - 2, c.Bottom + 2), face));
}
