#pragma once
// Small marks standing on a curve, each with a short label above it: the main window puts the
// instrument's events on the active trace with them.

#include <QColor>
#include <QFont>
#include <QString>

#include <vector>

namespace lv {

class TGContentPainter;
class TGDataItem;

struct TCurveTick {
    double X = 0; // world
    QString Label;
};

// Half the height of a tick, in pixels: it crosses the curve from this far above to this far
// below.
constexpr int kCurveTickHalf = 6;

// Draws a vertical tick through `item`'s curve at each X where the curve has a value, with its
// label centred above it; clipped to the painter's clip and the content. Answers how many were
// drawn in or beside the content.
int PaintCurveTicks(TGContentPainter& gp, TGDataItem& item, const std::vector<TCurveTick>& ticks,
                    const QColor& colour, const QFont& font);

} // namespace lv
