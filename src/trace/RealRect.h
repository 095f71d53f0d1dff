#pragma once
// A rectangle in world coordinates (in the main graph X in kilometres, Y in decibels). Rectangles
// the graphs produce are normalised: XMin <= XMax and YMin <= YMax.

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

} // namespace lv
