#pragma once
// The arithmetic of the graph views, free of widgets: pixel rectangles with exclusive right and
// bottom edges, the world <-> pixel transforms, the ruler layout, the zoom limit, the world's
// growth on zooming and adopting, and the scroll-bar step arithmetic. Every division and every
// float-to-integer conversion here is guarded; failures come back as nullopt or false.

#include <QRect>
#include <cstdint>
#include <optional>
#include <vector>

#include "trace/RealRect.h"

namespace lv {

// A pixel rectangle as the layout arithmetic counts it: Right and Bottom are the first column and
// row outside. Empty when it has no width or no height.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;

    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
    bool Intersects(const TRect& r) const {
        return !IsEmpty() && !r.IsEmpty() && Left < r.Right && r.Left < Right && Top < r.Bottom &&
               r.Top < Bottom;
    }
    TRect Intersected(const TRect& r) const;
    TRect United(const TRect& r) const; // an empty operand adds nothing
    QRect ToQRect() const { return IsEmpty() ? QRect() : QRect(Left, Top, Width(), Height()); }
    static TRect FromQRect(const QRect& r) {
        return r.isEmpty() ? TRect{} : TRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    }
    friend bool operator==(const TRect&, const TRect&) = default;
};

// Nearest integer with ties to even, clamped to +-2^30 so that a point far outside the window
// still gives a drawable coordinate; NaN gives 0.
int PixelRound(double value);

// One axis of the linear map between world units and pixels.
//   X: px = Origin - Offset + (x - Min) * Virtual / (Max - Min)   (Origin = C.Left)
//   Y: py = Origin + Offset - (y - Min) * Virtual / (Max - Min)   (Origin = C.Bottom, Y grows up)
struct TAxisMap {
    double Min = 0, Max = 0; // world extents along the axis
    int Virtual = 0;         // virtual size in pixels: the whole world's span
    int Offset = 0;          // XOffset, or YOffset counted from the bottom
    int Origin = 0;
    bool Upward = false; // true for Y

    bool Valid() const; // finite extents with Min < Max and a positive virtual size
    double ToPixelF(double world) const;
    int ToPixel(double world) const { return PixelRound(ToPixelF(world)); }
    double ToWorld(double pixel) const;
};

// Both axes and the content rectangle: what a content painter needs to convert coordinates.
struct TGraphGeometry {
    TRealRect Exts;
    TRect Content;
    int VirtualWidth = 0, VirtualHeight = 0;
    int XOffset = 0, YOffset = 0;

    TAxisMap XMap() const { return {Exts.XMin, Exts.XMax, VirtualWidth, XOffset, Content.Left, false}; }
    TAxisMap YMap() const { return {Exts.YMin, Exts.YMax, VirtualHeight, YOffset, Content.Bottom, true}; }
    bool Valid() const { return XMap().Valid() && YMap().Valid(); }
    // World rectangle of a pixel rectangle (its left/right columns, bottom/top rows), normalised.
    TRealRect PixelRectToWorld(const TRect& r) const;
    // Pixel rectangle of a world rectangle, normalised.
    TRect WorldRectToPixel(const TRealRect& r) const;
};

// Tick layout of one axis (recomputed before every paint). Tick k lies at world Min + k * TickWorld
// and, counted from the first visible tick, at FirstTickPos +- (k - FirstTickIndex) * TickPx.
struct TRulerLayout {
    int TickPx = 2;
    double TickWorld = 0;
    int FirstTickIndex = 0;
    int FirstTickPos = 0;
    int TickPhase = 0; // FirstTickIndex mod ticks-per-grid
    int RulsPerGrd = 1;
};

struct TRulerInput {
    int ContentPx = 0;  // W or H
    int GridsCount = 1; // values below 1 count as 1
    int RulsPerGrd = 1; // values below 1 count as 1
    int Offset = 0;     // XOffset or YOffset
    int Origin = 0;     // C.Left, or C.Bottom for the upward axis
    bool Upward = false;
    double WorldSpan = 0; // Max - Min
    int Virtual = 0;
};
// The layout; TickWorld is 0 when the world span or the virtual size makes it incomputable.
TRulerLayout CalcRulerLayout(const TRulerInput& in);

// What a ruler tick looks like.
enum class TTickKind { Normal, Half, Big };
TTickKind TickKind(int phase, int rulsPerGrd, bool halfTicks);

// One visible tick: its pixel position, its index k and its phase (k mod ticks-per-grid).
struct TTick {
    int Pos;
    int Index;
    int Phase;
};
// Ticks from FirstTickPos in steps of TickPx while they stay within `limit` (at most C.Right for
// X, at least C.Top for the upward Y axis).
std::vector<TTick> VisibleTicks(const TRulerLayout& layout, bool upward, int limit);

// A value text of a grid line: its tick position along the strip, the grid line's number (tick
// index over ticks per grid) and the text's natural length in pixels.
struct TGridLabel {
    int Pos = 0;
    int Grid = 0;
    int Length = 0;
};
// Half the length of a value's box when every `stride`-th grid line carries a value: centred on
// its tick, the box reaches halfway to the next labelled line.
int LabelHalfBox(int tickPx, int rulsPerGrd, int stride);
// The smallest stride (1 = every grid line) at which the texts of the lines labelled (those whose
// grid number is a multiple of it) need not be narrowed: a box inside the strip [lo, hi) holds its
// text with `gap` pixels to spare, and a box cut short by the strip's end holds at least two
// thirds of it. The grid itself is not thinned.
int LabelStride(const std::vector<TGridLabel>& labels, int tickPx, int rulsPerGrd, int lo, int hi, int gap);

// The zoom limit: when the data's width over the rectangle's width exceeds maxRatioPercent / 100
// the rectangle is widened to data width / ratio around its centre, kept at or right of the data's
// left edge and at or left of its right edge; Y alike. False when a ratio is incomputable (an
// empty rectangle), with `r` unchanged.
bool LimitZoom(const TRealRect& data, TRealRect& r, int maxXRatioPercent, int maxYRatioPercent);

// World extents after a zoom to `r`: each edge follows r when r lies beyond it or when r reaches
// the data's edge, so the world always contains r and beyond the data shrinks back to it.
TRealRect ZoomWorld(const TRealRect& world, const TRealRect& r, const TRealRect& data);

// `e` widened by its own width/height divided by each margin divisor (0: nothing on that side).
TRealRect WithMargins(const TRealRect& e, int minXMargin, int maxXMargin, int minYMargin, int maxYMargin);

// World extents after adopting an item's extents `e` (margins included): the sole item with a
// proper span sets the world's edges, otherwise the world only grows to contain e. Per axis.
TRealRect AdoptWorld(const TRealRect& world, const TRealRect& e, bool sole);

// round(a * b / c) as a pixel count, or nullopt when incomputable or beyond 32 bits.
std::optional<int> ScaledPixels(double a, double b, double c);

// Horizontal range of the bar for a virtual width: v plus the pixels outside the content when
// the content is narrower than v, else 0; capped at $3FFFFFFF.
int RangeForVirtualSize(int virtualPx, int contentPx, int clientPx);

// The scroll delta limited to the virtual area (new right edge position + extent, old edge
// new edge + delta).
int LimitScrollDelta(int position, int extent, int virtualPx, int delta);

// Smooth scrolling: `div` steps of total div `div`, then the remainder when positive. Negative
// totals give negative steps. div below 1 gives one step.
std::vector<int> SmoothSteps(int total, int div);

// Range rescaled by m/d: 64-bit product, division rounded to nearest; the range when d is 0.
int ScaleRange(int range, int m, int d);

} // namespace lv
