#include "display/GraphMath.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "trace/Numeric.h"

namespace lv {

TRect TRect::Intersected(const TRect& r) const {
    TRect x{std::max(Left, r.Left), std::max(Top, r.Top), std::min(Right, r.Right),
            std::min(Bottom, r.Bottom)};
    return x.IsEmpty() ? TRect{} : x;
}

TRect TRect::United(const TRect& r) const {
    if (IsEmpty()) return r.IsEmpty() ? TRect{} : r;
    if (r.IsEmpty()) return *this;
    return {std::min(Left, r.Left), std::min(Top, r.Top), std::max(Right, r.Right),
            std::max(Bottom, r.Bottom)};
}

int PixelRound(double value) {
    constexpr double limit = 1073741824.0;
    if (std::isnan(value)) return 0;
    if (value > limit) return int(limit);
    if (value < -limit) return -int(limit);
    return int(std::nearbyint(value));
}

bool TAxisMap::Valid() const {
    return std::isfinite(Min) && std::isfinite(Max) && Min < Max && std::isfinite(Max - Min) && Virtual > 0;
}

double TAxisMap::ToPixelF(double world) const {
    auto scale = SafeDivide(double(Virtual), Max - Min);
    if (!scale) return Origin;
    double d = (world - Min) * *scale;
    return Upward ? double(Origin) + Offset - d : double(Origin) - Offset + d;
}

double TAxisMap::ToWorld(double pixel) const {
    auto scale = SafeDivide(Max - Min, double(Virtual));
    if (!scale) return Min;
    double d = Upward ? double(Origin) + Offset - pixel : pixel - Origin + Offset;
    return Min + d * *scale;
}

TRealRect TGraphGeometry::PixelRectToWorld(const TRect& r) const {
    TAxisMap x = XMap(), y = YMap();
    return TRealRect{x.ToWorld(r.Left), y.ToWorld(r.Bottom), x.ToWorld(r.Right), y.ToWorld(r.Top)}
        .Normalized();
}

TRect TGraphGeometry::WorldRectToPixel(const TRealRect& r) const {
    TAxisMap x = XMap(), y = YMap();
    int l = x.ToPixel(r.XMin), rt = x.ToPixel(r.XMax), b = y.ToPixel(r.YMin), t = y.ToPixel(r.YMax);
    return {std::min(l, rt), std::min(t, b), std::max(l, rt), std::max(t, b)};
}

namespace {

int ceilDiv(int a, int b) { // b > 0
    int q = a / b;
    return (a % b != 0 && a > 0) ? q + 1 : q;
}

} // namespace

TRulerLayout CalcRulerLayout(const TRulerInput& in) {
    TRulerLayout l;
    int grids = std::max(in.GridsCount, 1);
    l.RulsPerGrd = std::max(in.RulsPerGrd, 1);
    l.TickPx = std::max(std::max(in.ContentPx, 0) / grids / l.RulsPerGrd, 2);
    l.FirstTickIndex = ceilDiv(in.Offset, l.TickPx);
    int shift = l.FirstTickIndex * l.TickPx - in.Offset;
    l.FirstTickPos = in.Upward ? in.Origin - shift : in.Origin + shift;
    l.TickPhase = std::abs(l.FirstTickIndex % l.RulsPerGrd);
    auto tw = SafeDivide(double(l.TickPx) * in.WorldSpan, double(in.Virtual));
    l.TickWorld = (tw && in.Virtual > 0) ? *tw : 0.0;
    return l;
}

TTickKind TickKind(int phase, int rulsPerGrd, bool halfTicks) {
    if (phase == 0) return TTickKind::Big;
    if (halfTicks && rulsPerGrd % 2 == 0 && phase == rulsPerGrd / 2) return TTickKind::Half;
    return TTickKind::Normal;
}

std::vector<TTick> VisibleTicks(const TRulerLayout& layout, bool upward, int limit) {
    std::vector<TTick> ticks;
    int step = std::max(layout.TickPx, 1);
    int per = std::max(layout.RulsPerGrd, 1);
    int phase = layout.TickPhase % per;
    long long pos = layout.FirstTickPos;
    for (int i = 0; upward ? pos >= limit : pos <= limit; ++i) {
        ticks.push_back({int(pos), layout.FirstTickIndex + i, phase});
        phase = (phase + 1) % per;
        pos += upward ? -step : step;
    }
    return ticks;
}

int LabelHalfBox(int tickPx, int rulsPerGrd, int stride) {
    return std::max(tickPx, 1) * std::max(std::max(rulsPerGrd, 1) * std::max(stride, 1) / 2, 1);
}

int LabelStride(const std::vector<TGridLabel>& labels, int tickPx, int rulsPerGrd, int lo, int hi, int gap) {
    const int count = int(labels.size());
    for (int stride = 1; stride < count; ++stride) {
        const int half = LabelHalfBox(tickPx, rulsPerGrd, stride);
        bool fits = true;
        for (const TGridLabel& l : labels) {
            if (((l.Grid % stride) + stride) % stride != 0) continue;
            const int from = std::max(l.Pos - half, lo), to = std::min(l.Pos + half, hi);
            const bool cut = from > l.Pos - half || to < l.Pos + half;
            const int room = to - from;
            if (cut ? 3 * room < 2 * l.Length : room < l.Length + gap) {
                fits = false;
                break;
            }
        }
        if (fits) return stride;
    }
    return std::max(count, 1);
}

namespace {

bool limitAxis(double dMin, double dMax, double& rMin, double& rMax, int ratioPercent) {
    double ratio = std::max(ratioPercent, 100) / 100.0;
    auto q = SafeDivide(dMax - dMin, rMax - rMin);
    if (!q) return false;
    if (*q <= ratio) return true;
    auto w = SafeDivide(dMax - dMin, ratio);
    if (!w) return false;
    double c = rMin / 2 + rMax / 2;
    double nMin = std::max(c - *w / 2, dMin);
    double nMax = std::min(nMin + *w, dMax);
    // A rectangle wholly beyond the data's right edge would come out inverted; it keeps the
    // allowed width around its own centre instead.
    if (!(nMin < nMax)) {
        nMin = c - *w / 2;
        nMax = c + *w / 2;
    }
    rMin = nMin;
    rMax = nMax;
    return true;
}

} // namespace

bool LimitZoom(const TRealRect& data, TRealRect& r, int maxXRatioPercent, int maxYRatioPercent) {
    TRealRect n = r;
    if (!limitAxis(data.XMin, data.XMax, n.XMin, n.XMax, maxXRatioPercent)) return false;
    if (!limitAxis(data.YMin, data.YMax, n.YMin, n.YMax, maxYRatioPercent)) return false;
    r = n;
    return true;
}

TRealRect ZoomWorld(const TRealRect& world, const TRealRect& r, const TRealRect& data) {
    TRealRect w = world;
    if (r.XMin < w.XMin || r.XMin <= data.XMin) w.XMin = r.XMin;
    if (r.XMax > w.XMax || r.XMax >= data.XMax) w.XMax = r.XMax;
    if (r.YMin < w.YMin || r.YMin <= data.YMin) w.YMin = r.YMin;
    if (r.YMax > w.YMax || r.YMax >= data.YMax) w.YMax = r.YMax;
    return w;
}

TRealRect WithMargins(const TRealRect& e, int minXMargin, int maxXMargin, int minYMargin, int maxYMargin) {
    TRealRect r = e;
    double dx = e.Width(), dy = e.Height();
    if (minXMargin > 0) r.XMin -= dx / minXMargin;
    if (maxXMargin > 0) r.XMax += dx / maxXMargin;
    if (minYMargin > 0) r.YMin -= dy / minYMargin;
    if (maxYMargin > 0) r.YMax += dy / maxYMargin;
    return r;
}

TRealRect AdoptWorld(const TRealRect& world, const TRealRect& e, bool sole) {
    TRealRect w = world;
    if (sole && e.XMin < e.XMax) {
        w.XMin = e.XMin;
        w.XMax = e.XMax;
    } else {
        w.XMin = std::min(w.XMin, e.XMin);
        w.XMax = std::max(w.XMax, e.XMax);
    }
    if (sole && e.YMin < e.YMax) {
        w.YMin = e.YMin;
        w.YMax = e.YMax;
    } else {
        w.YMin = std::min(w.YMin, e.YMin);
        w.YMax = std::max(w.YMax, e.YMax);
    }
    return w;
}

std::optional<int> ScaledPixels(double a, double b, double c) {
    auto q = SafeDivide(a * b, c);
    if (!q) return std::nullopt;
    return RoundToInt32(*q);
}

int RangeForVirtualSize(int virtualPx, int contentPx, int clientPx) {
    constexpr long long maxRange = 0x3FFFFFFF;
    if (contentPx >= virtualPx) return 0;
    long long r = static_cast<long long>(virtualPx) + (static_cast<long long>(clientPx) - contentPx);
    return int(std::clamp(r, 0LL, maxRange));
}

int LimitScrollDelta(int position, int extent, int virtualPx, int delta) {
    long long eNew = static_cast<long long>(position) + extent;
    long long eOld = eNew + delta;
    if (virtualPx < eNew) return eOld < virtualPx ? int(eOld - virtualPx) : 0;
    if (virtualPx < eOld) return int(virtualPx - eNew);
    return delta;
}

std::vector<int> SmoothSteps(int total, int div) {
    if (div < 1) return {total};
    int sign = total < 0 ? -1 : 1;
    long long magnitude = std::llabs(static_cast<long long>(total));
    int step = int(magnitude / div);
    int rest = int(magnitude % div);
    std::vector<int> steps;
    if (step > 0) steps.assign(size_t(div), sign * step);
    if (rest > 0) steps.push_back(sign * rest);
    return steps;
}

int ScaleRange(int range, int m, int d) {
    if (d == 0) return range;
    long long p = static_cast<long long>(range) * m;
    long long q = p / d, r = p % d;
    if (2 * std::llabs(r) >= std::llabs(static_cast<long long>(d))) q += ((p < 0) != (d < 0)) ? -1 : 1;
    return int(std::clamp(q, static_cast<long long>(std::numeric_limits<int>::min()),
                          static_cast<long long>(std::numeric_limits<int>::max())));
}

} // namespace lv
