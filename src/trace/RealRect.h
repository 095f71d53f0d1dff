#pragma once
// A rectangle in world coordinates (in the main graph X in kilometres, Y in decibels) and the
// value operations the graph and the shell share on it.

namespace lv {

// XMin, YMin, XMax, YMax in this order. Rectangles produced by the graph are normalised;
// a rectangle read from elsewhere may not be, hence NormalizeRealRect.
struct TRealRect {
    double XMin = 0.0;
    double YMin = 0.0;
    double XMax = 0.0;
    double YMax = 0.0;
};

// The same rectangle with XMin <= XMax and YMin <= YMax.
inline TRealRect NormalizeRealRect(const TRealRect& r) {
    TRealRect n = r;
    if (n.XMin > n.XMax) {
        n.XMin = r.XMax;
        n.XMax = r.XMin;
    }
    if (n.YMin > n.YMax) {
        n.YMin = r.YMax;
        n.YMax = r.YMin;
    }
    return n;
}

// Neither side has zero length (the sides may run backwards).
inline bool RealRectNonEmpty(const TRealRect& r) {
    return r.XMin != r.XMax && r.YMin != r.YMax;
}

// Both sides run forwards and have a length: a view window that can be zoomed to.
inline bool RealRectValid(const TRealRect& r) {
    return r.XMin < r.XMax && r.YMin < r.YMax;
}

inline bool RealRectsDiffer(const TRealRect& a, const TRealRect& b) {
    return a.XMin != b.XMin || a.YMin != b.YMin || a.XMax != b.XMax || a.YMax != b.YMax;
}

} // namespace lv
