#include "display/GraphLayout.h"

#include <algorithm>

namespace lv {

namespace {

// Takes up to `size` pixels off one edge of r and answers the rectangle taken.
TRect takeTop(TRect& r, int size) {
    int s = std::clamp(size, 0, std::max(r.Height(), 0));
    TRect t{r.Left, r.Top, r.Right, r.Top + s};
    r.Top += s;
    return t;
}
TRect takeBottom(TRect& r, int size) {
    int s = std::clamp(size, 0, std::max(r.Height(), 0));
    TRect t{r.Left, r.Bottom - s, r.Right, r.Bottom};
    r.Bottom -= s;
    return t;
}
TRect takeLeft(TRect& r, int size) {
    int s = std::clamp(size, 0, std::max(r.Width(), 0));
    TRect t{r.Left, r.Top, r.Left + s, r.Bottom};
    r.Left += s;
    return t;
}
TRect takeRight(TRect& r, int size) {
    int s = std::clamp(size, 0, std::max(r.Width(), 0));
    TRect t{r.Right - s, r.Top, r.Right, r.Bottom};
    r.Right -= s;
    return t;
}

void takeX(TRect& r, const TStripPlace& s, std::array<TRect, 2>& sides) {
    if (!s.Visible) return;
    if (s.Pos == xlpTop)
        sides[0] = takeTop(r, s.Size);
    else if (s.Pos == xlpBottom)
        sides[0] = takeBottom(r, s.Size);
    else {
        sides[0] = takeTop(r, s.Size);
        sides[1] = takeBottom(r, s.Size);
    }
}

void takeY(TRect& r, const TStripPlace& s, std::array<TRect, 2>& sides) {
    if (!s.Visible) return;
    if (s.Pos == ylpLeft)
        sides[0] = takeLeft(r, s.Size);
    else if (s.Pos == ylpRight)
        sides[0] = takeRight(r, s.Size);
    else {
        sides[0] = takeLeft(r, s.Size);
        sides[1] = takeRight(r, s.Size);
    }
}

} // namespace

std::optional<std::pair<TWhatObject, int>> TAreaLayout::AreaAt(int x, int y) const {
    for (int a = 0; a < kAreaCount; ++a)
        for (int side = 0; side < 2; ++side)
            if (Areas[size_t(a)][size_t(side)].Contains(x, y)) return std::make_pair(TWhatObject(a), side);
    return std::nullopt;
}

TAreaLayout LayoutAreas(const TRect& client, const TLayoutInput& input) {
    TAreaLayout l;
    TRect r = client;
    r.Right = std::max(r.Right, r.Left);
    r.Bottom = std::max(r.Bottom, r.Top);
    if (input.HeaderVisible) {
        TRect& h = l.Areas[woHeader][0];
        switch (input.HeaderPos) {
        case hpTop:
            h = takeTop(r, input.HeaderSize);
            break;
        case hpBottom:
            h = takeBottom(r, input.HeaderSize);
            break;
        case hpLeft:
            h = takeLeft(r, input.HeaderSize);
            break;
        case hpRight:
            h = takeRight(r, input.HeaderSize);
            break;
        }
    }
    const TRect outer = r;
    takeX(r, input.XLabel, l.Areas[woXLabel]);
    takeY(r, input.YLabel, l.Areas[woYLabel]);
    takeX(r, input.XScale, l.Areas[woXScale]);
    takeY(r, input.YScale, l.Areas[woYScale]);
    takeX(r, input.XValues, l.Areas[woXValues]);
    takeY(r, input.YValues, l.Areas[woYValues]);
    takeX(r, input.XRuls, l.Areas[woXRuls]);
    takeY(r, input.YRuls, l.Areas[woYRuls]);
    const TRect c = r;
    l.Areas[woContent][0] = c;

    for (TWhatObject a : {woXLabel, woXScale, woXValues, woXRuls})
        for (TRect& s : l.Areas[a])
            if (s.Height() > 0) {
                s.Left = c.Left;
                s.Right = c.Right;
            }
    for (TWhatObject a : {woYLabel, woYScale, woYValues, woYRuls})
        for (TRect& s : l.Areas[a])
            if (s.Width() > 0) {
                s.Top = c.Top;
                s.Bottom = c.Bottom;
            }
    l.Corners = {TRect{outer.Left, outer.Top, c.Left, c.Top}, TRect{c.Right, outer.Top, outer.Right, c.Top},
                 TRect{outer.Left, c.Bottom, c.Left, outer.Bottom},
                 TRect{c.Right, c.Bottom, outer.Right, outer.Bottom}};
    return l;
}

} // namespace lv
