#pragma once
// Colours as the system stores them: $00BBGGRR, or $80000000 plus a system colour index that
// follows the platform's palette. Fonts of the graph strips carry their colour with them.

#include <QColor>
#include <QFont>
#include <QPalette>
#include <array>
#include <cstdint>

namespace lv {

using TColor = uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clGreen = 0x008000;
constexpr TColor clSystemColor = 0x80000000;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnHighlight = clSystemColor | 20;

// Curve colours in the order they are handed out: white, red, yellow, silver, blue, lime, aqua,
// fuchsia and three pale tints.
using TColorOrder = std::array<TColor, 11>;
constexpr TColorOrder kDefaultColorOrder{0xFFFFFF, 0x0000FF, 0x00FFFF, 0xC0C0C0, 0xFF0000, 0x00FF00,
                                         0xFFFF00, 0xFF00FF, 0xFFC0FF, 0xFFFFC0, 0xC0FFFF};

constexpr TColor RGBToColor(int r, int g, int b) {
    return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}

// A plain colour as is; a system colour through the matching role of `palette`.
QColor ColorToQColor(TColor color, const QPalette& palette);
// The same with the application's palette.
QColor ColorToQColor(TColor color);

// A strip font: face, size and style, and the colour its text is drawn in.
struct TGraphFont {
    QFont Font;
    TColor Color = clBlack;
    friend bool operator==(const TGraphFont& a, const TGraphFont& b) {
        return a.Color == b.Color && a.Font == b.Font;
    }
};

// Pixel height of the font's characters: the pixel size when it is set, else the point size
// converted at the screen's logical resolution (rounded to nearest, as the platform converts).
int FontPixelHeight(const QFont& font);

// "Arial" of `points` at the screen's resolution, stored by pixel size so that the strip layout
// does not depend on the device painted on.
TGraphFont MakeStripFont(int points, bool bold, TColor color);

} // namespace lv
