#pragma once
// Texts of the graph strips: drawn into a rectangle, centred or at its end, turned for vertical
// strips, and narrowed (never cut) when longer than the rectangle.

#include <QPainter>
#include <QString>
#include <functional>
#include <optional>

#include "display/GraphColors.h"
#include "display/GraphMath.h"

namespace lv {

enum class TTextRotation {
    None,
    Up,   // turned by 90 degrees, reading upward
    Down, // turned by 270 degrees, reading downward
};

enum class TTextPlacement {
    Centre,
    End,   // at the right end; on a turned text at the top end
    Start, // at the left end; on a turned text at the bottom end
};

// The character width that makes a text fit: starts at available * avgCharWidth / textWidth
// (integer) and goes down by 1 while widthAt(w) exceeds `available`; 0 when it reaches 0 (or
// starts there), meaning nothing can be drawn.
int FittedCharWidth(int available, int avgCharWidth, int textWidth, const std::function<int(int)>& widthAt);

// The font stretch (percent) that gives characters the average width `charWidth`.
int StretchForCharWidth(int charWidth, int avgCharWidth);

struct TFittedText {
    bool Drawn = false;
    QFont Font; // the font used, narrowed when the text had to be
};

// Draws `text` into r with the font's colour, clipped to r; the background, when given, fills r
// first (also when the text is empty or cannot be drawn). Nothing is drawn into an empty r.
TFittedText DrawFittedText(QPainter& painter, const TRect& r, const QString& text, const TGraphFont& font,
                           TTextRotation rotation = TTextRotation::None,
                           TTextPlacement placement = TTextPlacement::Centre,
                           std::optional<QColor> background = std::nullopt);

} // namespace lv
