// The arithmetic of the graph views: transforms, ruler layout, zoom limit, world growth, scroll
// steps and the strip layout.

#include <gtest/gtest.h>

#include "display/GraphLayout.h"
#include "display/GraphMath.h"

using namespace lv;

TEST(GraphMath, TransformsMapWorldEdgesOntoContentEdgesAndBack) {
    // World 0..80 km x 0..50 dB in a 400 x 200 content at (30, 20), zoomed twice with an offset.
    TGraphGeometry g{{0, 0, 80, 50}, {30, 20, 430, 220}, 800, 400, 100, 50};
    EXPECT_TRUE(g.Valid());
    struct Row {
        double world;
        int px;
    };
    // x: 30 - 100 + x * 10; y: 220 + 50 - y * 8.
    for (Row r : {Row{0, -70}, Row{10, 30}, Row{50, 430}, Row{80, 730}})
        EXPECT_EQ(g.XMap().ToPixel(r.world), r.px);
    for (Row r : {Row{0, 270}, Row{6.25, 220}, Row{31.25, 20}, Row{50, -130}})
        EXPECT_EQ(g.YMap().ToPixel(r.world), r.px);
    EXPECT_DOUBLE_EQ(g.XMap().ToWorld(30), 10);
    EXPECT_DOUBLE_EQ(g.YMap().ToWorld(220), 6.25);
    // The content's world rectangle: left/right columns, bottom/top rows.
    EXPECT_EQ(g.PixelRectToWorld(g.Content), (TRealRect{10, 6.25, 50, 31.25}));
    EXPECT_EQ(g.WorldRectToPixel({10, 6.25, 50, 31.25}), g.Content);
    // Ties go to the even pixel.
    TAxisMap half{0, 4, 2, 0, 0, false};
    EXPECT_EQ(half.ToPixel(1), 0);
    EXPECT_EQ(half.ToPixel(3), 2);
}

TEST(GraphMath, DegenerateAxesAreInvalidAndConvertWithoutFaults) {
    for (TAxisMap m : {TAxisMap{5, 5, 100, 0, 0, false}, TAxisMap{0, 10, 0, 0, 0, false},
                       TAxisMap{0, std::numeric_limits<double>::infinity(), 100, 0, 0, false}}) {
        EXPECT_FALSE(m.Valid());
        EXPECT_EQ(m.ToPixel(3), 0);
        EXPECT_TRUE(std::isfinite(m.ToWorld(7)));
    }
    EXPECT_EQ(PixelRound(std::nan("")), 0);
    EXPECT_EQ(PixelRound(1e300), 1 << 30);
    EXPECT_EQ(PixelRound(-1e300), -(1 << 30));
}

TEST(GraphMath, RulerLayout) {
    struct Row {
        TRulerInput in;
        int tickPx, firstIndex, firstPos, phase;
        double tickWorld;
    };
    const Row rows[] = {
        // W 500, 5 grids, 10 ticks per grid: 10 px ticks; world 80 over V 500.
        {{500, 5, 10, 0, 30, false, 80, 500}, 10, 0, 30, 0, 1.6},
        // Scrolled by 25 px: the first visible tick is the 3rd, 5 px into the content.
        {{500, 5, 10, 25, 30, false, 80, 1000}, 10, 3, 35, 3, 0.8},
        // Upward axis: ticks counted from the bottom edge.
        {{300, 5, 10, 13, 320, true, 50, 600}, 6, 3, 315, 3, 0.5},
        // Too narrow for 2 px ticks: TickPx stays 2.
        {{30, 5, 10, 0, 0, false, 10, 30}, 2, 0, 0, 0, 2.0 / 3},
        // Ticks-per-grid and grid counts below 1 count as 1.
        {{100, 0, 0, 0, 0, false, 10, 100}, 100, 0, 0, 0, 10},
        // No virtual size: nothing to compute, TickWorld 0.
        {{100, 5, 10, 0, 0, false, 10, 0}, 2, 0, 0, 0, 0},
    };
    for (const Row& r : rows) {
        TRulerLayout l = CalcRulerLayout(r.in);
        EXPECT_EQ(l.TickPx, r.tickPx);
        EXPECT_EQ(l.FirstTickIndex, r.firstIndex);
        EXPECT_EQ(l.FirstTickPos, r.firstPos);
        EXPECT_EQ(l.TickPhase, r.phase);
        EXPECT_DOUBLE_EQ(l.TickWorld, r.tickWorld);
        EXPECT_GE(l.RulsPerGrd, 1);
    }
}

TEST(GraphMath, VisibleTicksWalkToTheContentEdgeWithTheirPhase) {
    TRulerLayout x = CalcRulerLayout({100, 2, 5, 25, 10, false, 10, 200});
    // TickPx 10, first tick index 3 at 15; ticks up to and including x = C.Right (110).
    auto ticks = VisibleTicks(x, false, 110);
    ASSERT_EQ(ticks.size(), 10u);
    EXPECT_EQ(ticks.front().Pos, 15);
    EXPECT_EQ(ticks.front().Index, 3);
    EXPECT_EQ(ticks.front().Phase, 3);
    EXPECT_EQ(ticks[2].Phase, 0);
    EXPECT_EQ(ticks[2].Index, 5);
    EXPECT_EQ(ticks.back().Pos, 105);
    TRulerLayout y = CalcRulerLayout({100, 2, 5, 0, 110, true, 10, 100});
    auto up = VisibleTicks(y, true, 10);
    ASSERT_EQ(up.size(), 11u); // 110 down to 10
    EXPECT_EQ(up.back().Pos, 10);
}

TEST(GraphMath, HalfTicksOnlyForAnEvenTickCount) {
    struct Row {
        int phase, per;
        bool half;
        TTickKind kind;
    };
    const Row rows[] = {
        {0, 10, true, TTickKind::Big},     {5, 10, true, TTickKind::Half},  {4, 10, true, TTickKind::Normal},
        {5, 10, false, TTickKind::Normal}, {2, 5, true, TTickKind::Normal}, {3, 5, true, TTickKind::Normal},
        {0, 5, true, TTickKind::Big},      {1, 2, true, TTickKind::Half},   {0, 1, true, TTickKind::Big},
    };
    for (const Row& r : rows)
        EXPECT_EQ(TickKind(r.phase, r.per, r.half), r.kind) << r.phase << "/" << r.per;
}

// Eleven grid lines, the first and last on the strip's ends: texts of a given length, and the
// stride that keeps them unnarrowed (4 px to spare inside, two thirds at the ends).
TEST(GraphMath, LabelStrideLeavesOutLinesOnlyWhereTextsWouldRunTogether) {
    struct Row {
        int tickPx, perGrid, length, stride;
    };
    const Row rows[] = {
        {6, 10, 30, 1},  // 60 px a grid: every line
        {4, 10, 30, 1},  // boxes of 40 >= 30 + 4, end boxes of 20 = 2/3 of 30
        {3, 10, 30, 2},  // boxes of 30 too short: every second line
        {2, 10, 30, 2},  // 200 px: boxes of 40, end boxes of 20
        {2, 10, 31, 3},  // the end boxes now too short: every third line
        {1, 10, 30, 4},  // boxes of 40 again
        {1, 1, 30, 11},  // nothing fits: the first line alone
    };
    for (const Row& r : rows) {
        const int grid = r.tickPx * r.perGrid;
        std::vector<TGridLabel> labels;
        for (int i = 0; i <= 10; ++i)
            labels.push_back({i * grid, i, r.length});
        EXPECT_EQ(LabelStride(labels, r.tickPx, r.perGrid, 0, 10 * grid + 1, 4), r.stride)
            << grid << " px a grid, " << r.length << " px texts";
    }
    EXPECT_EQ(LabelStride({}, 2, 10, 0, 100, 4), 1);
    EXPECT_EQ(LabelStride({{0, 0, 300}}, 2, 10, 0, 100, 4), 1); // a single text is always kept
    // Grid numbers that do not start at 0 (a scrolled view) count from the world's start.
    const std::vector<TGridLabel> scrolled{{0, 3, 30}, {20, 4, 30}, {40, 5, 30}, {60, 6, 30}, {80, 7, 30}};
    EXPECT_EQ(LabelStride(scrolled, 2, 10, -100, 200, 4), 2);
    EXPECT_EQ(LabelHalfBox(2, 10, 1), 10);
    EXPECT_EQ(LabelHalfBox(2, 10, 3), 30);
    EXPECT_EQ(LabelHalfBox(3, 1, 1), 3); // one tick a grid: the box spans one tick each way
}

TEST(GraphMath, LimitZoom) {
    const TRealRect data{0, 0, 80, 50};
    struct Row {
        TRealRect in, out;
    };
    const Row rows[] = {
        // Ten times narrower than the data with 1000 %: allowed as it is.
        {{36, 10, 44, 20}, {36, 10, 44, 20}},
        // Twenty times narrower: a tenth of the data width around its centre.
        {{38, 10, 42, 20}, {36, 10, 44, 20}},
        // Near the left edge: kept at the data's left edge.
        {{0.5, 10, 4.5, 20}, {0, 10, 8, 20}},
        // Y too: the height 1 is fifty times narrower, widened to 5 around 30.
        {{36, 29.5, 44, 30.5}, {36, 27.5, 44, 32.5}},
        // Beyond the data's right edge the width is kept around the rectangle's own centre
        // rather than coming out inverted.
        {{100, 10, 101, 20}, {96.5, 10, 104.5, 20}},
    };
    for (const Row& r : rows) {
        TRealRect z = r.in;
        EXPECT_TRUE(LimitZoom(data, z, 1000, 1000));
        EXPECT_DOUBLE_EQ(z.XMin, r.out.XMin);
        EXPECT_DOUBLE_EQ(z.XMax, r.out.XMax);
        EXPECT_DOUBLE_EQ(z.YMin, r.out.YMin);
        EXPECT_DOUBLE_EQ(z.YMax, r.out.YMax);
    }
    // 100 % forbids zooming in beyond the data at all.
    TRealRect z{10, 0, 20, 50};
    EXPECT_TRUE(LimitZoom(data, z, 100, 100));
    EXPECT_EQ(z, (TRealRect{0, 0, 80, 50}));
    // An empty rectangle has no ratio: refused, unchanged.
    TRealRect empty{5, 5, 5, 9};
    EXPECT_FALSE(LimitZoom(data, empty, 1000, 1000));
    EXPECT_EQ(empty, (TRealRect{5, 5, 5, 9}));
    // Without data (a zero rectangle) nothing limits.
    TRealRect free{1, 1, 1.001, 1.001};
    EXPECT_TRUE(LimitZoom({}, free, 1000, 1000));
    EXPECT_EQ(free, (TRealRect{1, 1, 1.001, 1.001}));
}

TEST(GraphMath, ZoomWorldGrowsToTheRectangleAndShrinksBackAtTheDataEdges) {
    const TRealRect data{0, 0, 80, 50};
    // A rectangle beyond the world grows it.
    TRealRect w = ZoomWorld({0, 0, 80, 50}, {70, -10, 120, 40}, data);
    EXPECT_EQ(w, (TRealRect{0, -10, 120, 50}));
    // Zooming to the data takes every edge that reaches the data's edge.
    EXPECT_EQ(ZoomWorld(w, data, data), data);
    // Inside the data the world keeps its edges.
    EXPECT_EQ(ZoomWorld(w, {10, 10, 20, 20}, data), w);
}

TEST(GraphMath, MarginsAndAdoptedWorld) {
    EXPECT_EQ(WithMargins({0, 0, 80, 40}, 0, 0, 0, 10), (TRealRect{0, 0, 80, 44}));
    EXPECT_EQ(WithMargins({0, 0, 80, 40}, 4, 8, 2, 0), (TRealRect{-20, -20, 90, 40}));
    const TRealRect world{-1000, -1000, 1000, 1000};
    // The sole item with a span takes the world; a degenerate axis only grows it.
    EXPECT_EQ(AdoptWorld(world, {0, 5, 80, 40}, true), (TRealRect{0, 5, 80, 40}));
    EXPECT_EQ(AdoptWorld(world, {3, 5, 3, 40}, true), (TRealRect{-1000, 5, 1000, 40}));
    // Others only grow it.
    EXPECT_EQ(AdoptWorld({0, 0, 80, 40}, {-5, 10, 60, 45}, false), (TRealRect{-5, 0, 80, 45}));
}

TEST(GraphMath, ScrollArithmetic) {
    // Virtual size and its range.
    EXPECT_EQ(RangeForVirtualSize(1000, 400, 450), 1050);
    EXPECT_EQ(RangeForVirtualSize(400, 400, 450), 0);
    EXPECT_EQ(RangeForVirtualSize(-5, 400, 450), 0);
    EXPECT_EQ(RangeForVirtualSize(0x7FFFFFFF, 400, 450), 0x3FFFFFFF);
    // Deltas limited to the virtual area.
    struct Delta {
        int position, extent, virt, delta, limited;
    };
    for (Delta d :
         {Delta{100, 400, 1000, -30, -30}, Delta{600, 400, 1000, -30, -30}, Delta{700, 400, 1000, -150, -50},
          Delta{500, 400, 1000, 200, 100}, Delta{650, 400, 1000, -80, -30}, Delta{650, 400, 1000, 80, 0}})
        EXPECT_EQ(LimitScrollDelta(d.position, d.extent, d.virt, d.delta), d.limited)
            << d.position << " " << d.delta;
    // Smooth steps: equal steps, then the remainder.
    std::vector<int> page(12, 7);
    page.push_back(6);
    EXPECT_EQ(SmoothSteps(90, 12), page);
    std::vector<int> back(12, -7);
    back.push_back(-6);
    EXPECT_EQ(SmoothSteps(-90, 12), back);
    EXPECT_EQ(SmoothSteps(8, 4), (std::vector<int>{2, 2, 2, 2}));
    EXPECT_EQ(SmoothSteps(3, 4), (std::vector<int>{3}));
    EXPECT_EQ(SmoothSteps(9, 0), (std::vector<int>{9}));
    // Rescaling rounds to nearest.
    EXPECT_EQ(ScaleRange(1000, 96, 120), 800);
    EXPECT_EQ(ScaleRange(5, 1, 2), 3);
    EXPECT_EQ(ScaleRange(7, 3, 4), 5);
    EXPECT_EQ(ScaleRange(1000, 5, 0), 1000);
    EXPECT_EQ(ScaledPixels(400, 80, 8), std::optional<int>(4000));
    EXPECT_EQ(ScaledPixels(400, 80, 0), std::nullopt);
    EXPECT_EQ(ScaledPixels(400, 1e300, 1e-300), std::nullopt);
}

namespace {

TLayoutInput defaultInput() {
    TLayoutInput s;
    s.HeaderSize = 18;
    s.XLabel = s.XScale = s.XValues = {true, 13, xlpBottom};
    s.YLabel = s.YScale = s.YValues = {true, 13, ylpLeft};
    s.XRuls = {true, 6, xlpBottom};
    s.YRuls = {true, 6, ylpLeft};
    return s;
}

} // namespace

TEST(GraphLayout, StripsAroundTheContent) {
    const TAreaLayout l = LayoutAreas({0, 0, 600, 400}, defaultInput());
    const TRect c{45, 18, 600, 355};
    EXPECT_EQ(l.Content(), c);
    EXPECT_EQ(l.Area(woHeader, 0), (TRect{0, 0, 600, 18}));
    // X strips from the bottom up, spanning the content's width; Y strips from the left.
    EXPECT_EQ(l.Area(woXLabel, 0), (TRect{45, 387, 600, 400}));
    EXPECT_EQ(l.Area(woXScale, 0), (TRect{45, 374, 600, 387}));
    EXPECT_EQ(l.Area(woXValues, 0), (TRect{45, 361, 600, 374}));
    EXPECT_EQ(l.Area(woXRuls, 0), (TRect{45, 355, 600, 361}));
    EXPECT_EQ(l.Area(woYLabel, 0), (TRect{0, 18, 13, 355}));
    EXPECT_EQ(l.Area(woYRuls, 0), (TRect{39, 18, 45, 355}));
    EXPECT_TRUE(l.Area(woXLabel, 1).IsEmpty());
    EXPECT_EQ(l.Corners[2], (TRect{0, 355, 45, 400}));
    EXPECT_TRUE(l.Corners[0].IsEmpty());
    // The pointer: content first, then the strips, side 0 before side 1.
    EXPECT_EQ(l.AreaAt(100, 100), std::make_pair(woContent, 0));
    EXPECT_EQ(l.AreaAt(100, 357), std::make_pair(woXRuls, 0));
    EXPECT_EQ(l.AreaAt(40, 100), std::make_pair(woYRuls, 0));
    EXPECT_EQ(l.AreaAt(10, 390), std::nullopt); // a corner belongs to no area
}

TEST(GraphLayout, BothSidesAndHiddenStrips) {
    TLayoutInput s = defaultInput();
    s.XLabel.Pos = xlpBoth;
    s.YRuls = {true, 6, ylpRight};
    s.YValues.Visible = false;
    s.HeaderPos = hpLeft;
    const TAreaLayout l = LayoutAreas({0, 0, 600, 400}, s);
    // xlpBoth takes the full thickness at the top and at the bottom.
    EXPECT_EQ(l.Area(woXLabel, 0), (TRect{44, 0, 594, 13}));
    EXPECT_EQ(l.Area(woXLabel, 1), (TRect{44, 387, 594, 400}));
    EXPECT_EQ(l.Area(woHeader, 0), (TRect{0, 0, 18, 400}));
    EXPECT_EQ(l.Area(woYRuls, 0), (TRect{594, 13, 600, 355}));
    EXPECT_TRUE(l.Area(woYValues, 0).IsEmpty());
    EXPECT_EQ(l.Content(), (TRect{44, 13, 594, 355}));
}

TEST(GraphLayout, ATinyClientGivesEmptyAreasNotInvertedOnes) {
    const TAreaLayout l = LayoutAreas({0, 0, 30, 20}, defaultInput());
    for (const auto& sides : l.Areas)
        for (const TRect& r : sides) {
            EXPECT_GE(r.Width(), 0);
            EXPECT_GE(r.Height(), 0);
        }
    EXPECT_TRUE(l.Content().IsEmpty());
}
