// Strip texts: fitted into their rectangle by narrowing the characters, never cut.

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include "display/FittedText.h"

using namespace lv;

namespace {

// Bounding box of the pixels that are not white.
QRect inkBox(const QImage& img) {
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != qRgb(255, 255, 255)) box = box.united(QRect(x, y, 1, 1));
    return box;
}

} // namespace

TEST(FittedText, CharWidthGoesDownUntilTheTextFits) {
    // A text 200 px wide at an average width of 8 px for 17 characters; widthAt is the width at a
    // given character width.
    auto linear = [](int w) { return 25 * w; };
    struct Row {
        int available, avg, width, expected;
    };
    for (Row r : {Row{100, 8, 200, 4}, Row{99, 8, 200, 3}, Row{200, 8, 200, 8}, Row{3, 8, 200, 0},
                  Row{0, 8, 200, 0}, Row{100, 0, 200, 0}})
        EXPECT_EQ(FittedCharWidth(r.available, r.avg, r.width, linear), r.expected) << r.available;
    // A measure that rounds up needs a step further down.
    EXPECT_EQ(FittedCharWidth(100, 8, 200, [](int w) { return 25 * w + 1; }), 3);
    EXPECT_EQ(StretchForCharWidth(3, 6), 50);
    EXPECT_EQ(StretchForCharWidth(0, 6), 1);
}

TEST(FittedText, AWideTextIsNarrowedNotCut) {
    const TGraphFont font = MakeStripFont(8, false, clBlack);
    const QString text = QStringLiteral("Расстояние от начала линии, км");
    const int natural = QFontMetrics(font.Font).horizontalAdvance(text);
    const TRect r{10, 5, 10 + natural / 2, 25};
    QImage img(natural + 40, 30, QImage::Format_RGB32);
    img.fill(Qt::white);
    TFittedText result;
    {
        QPainter p(&img);
        result = DrawFittedText(p, r, text, font);
    }
    ASSERT_TRUE(result.Drawn);
    EXPECT_LT(result.Font.stretch(), 100);
    EXPECT_LE(QFontMetrics(result.Font).horizontalAdvance(text), r.Width());
    const QRect ink = inkBox(img);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_TRUE(r.ToQRect().contains(ink));
    // The whole narrowed text is there, not a cut-off part of it.
    EXPECT_GE(ink.width(), QFontMetrics(result.Font).horizontalAdvance(text) - 4);
    EXPECT_GT(ink.width(), r.Width() / 2);
}

TEST(FittedText, EmptyBoxesDrawNothingAndTurnedTextsFitTheirHeight) {
    const TGraphFont font = MakeStripFont(8, false, clBlack);
    QImage img(60, 200, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        EXPECT_FALSE(DrawFittedText(p, TRect{5, 5, 5, 50}, QStringLiteral("x"), font).Drawn);
        EXPECT_FALSE(DrawFittedText(p, TRect{5, 5, 6, 6}, QStringLiteral("a long text"), font).Drawn);
    }
    EXPECT_TRUE(inkBox(img).isEmpty());
    const TRect column{20, 10, 35, 190};
    {
        QPainter p(&img);
        EXPECT_TRUE(DrawFittedText(p, column, QStringLiteral("Уровень, дБ"), font, TTextRotation::Up).Drawn);
    }
    const QRect ink = inkBox(img);
    EXPECT_TRUE(column.ToQRect().contains(ink));
    EXPECT_GT(ink.height(), 3 * ink.width()); // it runs along the column
}

TEST(FittedText, BackgroundFillsTheBoxEvenWithoutText) {
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        DrawFittedText(p, TRect{2, 2, 12, 12}, QString(), MakeStripFont(8, false, clBlack),
                       TTextRotation::None, TTextPlacement::Centre, QColor(Qt::red));
    }
    EXPECT_EQ(img.pixel(2, 2), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(11, 11), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(12, 12), qRgb(255, 255, 255));
}
