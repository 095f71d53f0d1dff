#pragma once
// A rectangle in world coordinates (in the main graph X in kilometres, Y in decibels) and the
// value operations the graph and the shell share on it. Rectangles the graphs produce are
// normalised (XMin <= XMax, YMin <= YMax); one read from elsewhere may not be, hence
// NormalizeRealRect.

#include <algorithm>
#include <cmath>

namespace lv {

struct TRealRect {
    double XMin = 0, YMin = 0, XMax = 0, YMax = 0;

    double Width() const { return XMax - XMin; }
    double Height() const { return YMax - YMin; }
    bool IsFinite() const {
        return std::isfinite(XMin) && std::isfinite(YMin) && std::isfinite(XMax) && std::isfinite(YMax);
    }
    // Both edges of each axis in order and apart.
    bool HasArea() const { return XMin < XMax && YMin < YMax; }
    TRealRect Normalized() const {
        return {std::min(XMin, XMax), std::min(YMin, YMax), std::max(XMin, XMax), std::max(YMin, YMax)};
    }
    friend bool operator==(const TRealRect&, const TRealRect&) = default;
};

// The same rectangle with XMin <= XMax and YMin <= YMax.
inline TRealRect NormalizeRealRect(const TRealRect& r) { return r.Normalized(); }

// Neither side has zero length (the sides may run backwards).
inline bool RealRectNonEmpty(const TRealRect& r) { return r.XMin != r.XMax && r.YMin != r.YMax; }

// Both sides run forwards and have a length: a view window that can be zoomed to.
inline bool RealRectValid(const TRealRect& r) { return r.HasArea(); }

inline bool RealRectsDiffer(const TRealRect& a, const TRealRect& b) { return !(a == b); }

} // namespace lv
