// The graph view as a widget: world extents, zoom, fit, resizing, panning, notifications and the
// texts of its strips.

#include <gtest/gtest.h>

#include <QLocale>
#include <memory>

#include "ViewFixture.h"
#include "trace/Errors.h"

using namespace lv;
using lvtest::SendMouse;
using lvtest::TestView;

namespace {

constexpr TRealRect kData{0, 0, 80, 50};

void expectRect(const TRealRect& got, const TRealRect& want, double tolerance = 1e-9) {
    EXPECT_NEAR(got.XMin, want.XMin, tolerance);
    EXPECT_NEAR(got.XMax, want.XMax, tolerance);
    EXPECT_NEAR(got.YMin, want.YMin, tolerance);
    EXPECT_NEAR(got.YMax, want.YMax, tolerance);
}

// A shown view with a 500 x 300 content showing the data 0..80 x 0..50.
std::unique_ptr<TestView> dataView() {
    auto v = std::make_unique<TestView>();
    v->Data = kData;
    lvtest::SizeContent(*v, 500, 300);
    v->ShowAll();
    return v;
}

class RussianLocale {
public:
    RussianLocale() : m_saved(QLocale()) { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    ~RussianLocale() { QLocale::setDefault(m_saved); }

private:
    QLocale m_saved;
};

} // namespace

TEST(GraphView, DefaultsAndSetterRules) {
    TestView v;
    EXPECT_EQ(v.GetExts(), (TRealRect{-1000, -1000, 1000, 1000}));
    EXPECT_FALSE(v.AutoScroll());
    EXPECT_EQ(v.HorzScrollBar().Size(), 10);
    EXPECT_EQ(v.HorzScrollBar().Increment(), 10);
    EXPECT_TRUE(v.VertScrollBar().Tracking());
    EXPECT_EQ(v.XGridsCount(), 5);
    EXPECT_EQ(v.XRulsPerGrd(), 10);
    EXPECT_EQ(v.XLabelPos(), xlpBottom);
    EXPECT_EQ(v.YRulsPos(), ylpLeft);
    EXPECT_EQ(v.XLabelSize(), FontPixelHeight(v.XLabelFont().Font) + 2);
    EXPECT_EQ(v.HeaderSize(), FontPixelHeight(v.HeaderFont().Font) + 2);
    EXPECT_EQ(v.XRulsSize(), 6);

    // Counts and ratios are clamped.
    v.SetXGridsCount(0);
    EXPECT_EQ(v.XGridsCount(), 1);
    v.SetYGridsCount(-3);
    EXPECT_EQ(v.YGridsCount(), 1);
    v.SetXRulsPerGrd(0);
    EXPECT_EQ(v.XRulsPerGrd(), 1);
    v.SetMaxZoomRatio(50);
    EXPECT_EQ(v.MaxXZoomRatio(), 100);
    EXPECT_EQ(v.MaxYZoomRatio(), 100);
    v.SetMaxYZoomRatio(3000);
    EXPECT_EQ(v.MaxZoomRatio(), 100);
    v.SetMaxYMargin(-4);
    EXPECT_EQ(v.MaxYMargin(), 0);

    // A strip is never thinner than its font needs; a larger font widens it.
    const int labelDefault = v.XLabelSize();
    v.SetXLabelSize(3);
    EXPECT_EQ(v.XLabelSize(), labelDefault);
    TGraphFont big = v.XLabelFont();
    big.Font.setPixelSize(20);
    v.SetXLabelFont(big);
    EXPECT_EQ(v.XLabelSize(), 22);
    v.SetXLabelSize(30);
    v.SetXLabelFont(MakeStripFont(8, false, clRed));
    EXPECT_EQ(v.XLabelSize(), 30);
    // Ticks longer than the ruler strip widen it; tick lengths are at least 2.
    v.SetXRulsBigSize(10);
    EXPECT_EQ(v.XRulsSize(), 10);
    v.SetXRulsNormSize(1);
    EXPECT_EQ(v.XRulsNormSize(), 2);
    v.SetYRulsSize(2);
    EXPECT_EQ(v.YRulsSize(), 6);
    // A new header content clears the header text.
    v.SetHeader("Заголовок");
    v.SetHeaderContent(hcCaption);
    EXPECT_TRUE(v.Header().isEmpty());
}

TEST(GraphView, WorldEdgesAndTransforms) {
    TestView v;
    lvtest::SizeContent(v, 500, 300);
    EXPECT_EQ(v.ClientRect(), v.viewport()->rect());
    // The main window's settings, edge by edge.
    v.SetXMin(0);
    v.SetXMax(80);
    v.SetYMin(0);
    v.SetYMax(50);
    EXPECT_EQ(v.GetExts(), kData);
    // An edge that would cross the other one is ignored.
    v.SetXMax(0);
    v.SetXMax(-5);
    v.SetXMin(80);
    v.SetYMin(60);
    EXPECT_EQ(v.GetExts(), kData);

    const TRect c = v.ContentRect();
    EXPECT_EQ(v.VirtualWidth(), 500);
    EXPECT_EQ(v.XOffset(), 0);
    const TGraphGeometry g = v.Geometry();
    EXPECT_EQ(g.XMap().ToPixel(0), c.Left);
    EXPECT_EQ(g.XMap().ToPixel(80), c.Right);
    EXPECT_EQ(g.YMap().ToPixel(50), c.Top);
    EXPECT_EQ(g.YMap().ToPixel(0), c.Bottom);
    expectRect(v.GetVisExts(), kData);
}

TEST(GraphView, ZoomLimitsAndTheWorldFollowingTheZoom) {
    auto v = dataView();
    expectRect(v->GetVisExts(), kData);
    EXPECT_EQ(v->GetExts(), kData);

    struct Row {
        TRealRect asked, shown;
    };
    const Row rows[] = {
        {{36, 10, 44, 20}, {36, 10, 44, 20}}, // ten times narrower: as asked
        {{38, 10, 42, 20}, {36, 10, 44, 20}}, // twenty times: a tenth around the centre
        {{0.5, 10, 4.5, 20}, {0, 10, 8, 20}}, // ... kept at the data's left edge
        {{10, 20, 50, 45}, {10, 20, 50, 45}},
    };
    for (const Row& r : rows) {
        v->ZoomTo(r.asked);
        expectRect(v->GetVisExts(), r.shown, 1e-6);
        EXPECT_EQ(v->GetExts(), kData);
    }
    EXPECT_EQ(v->VirtualWidth(), 1000);

    // A rectangle reaching beyond the world grows it; showing all shrinks it back.
    v->ZoomTo({60, 0, 120, 50});
    EXPECT_EQ(v->GetExts(), (TRealRect{0, 0, 120, 50}));
    expectRect(v->GetVisExts(), {60, 0, 120, 50}, 1e-6);
    v->ShowAll();
    EXPECT_EQ(v->GetExts(), kData);
    expectRect(v->GetVisExts(), kData, 1e-6);
    EXPECT_EQ(v->VirtualWidth(), 500);

    // An empty rectangle changes nothing.
    v->ZoomTo({30, 10, 30, 20});
    EXPECT_EQ(v->GetExts(), kData);
    expectRect(v->GetVisExts(), kData, 1e-6);

    // The zoom events see the rectangle and may change it.
    std::vector<TRealRect> after;
    v->OnBeforeZoom = [](TGraphView*, TRealRect& r) { r.XMax = r.XMin + 20; };
    v->OnAfterZoom = [&](TGraphView*, TRealRect& r) { after.push_back(r); };
    v->ZoomTo({10, 10, 90, 40});
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0], (TRealRect{10, 10, 30, 40}));
    expectRect(v->GetVisExts(), {10, 10, 30, 40}, 1e-6);

    // A ratio of 100 % re-zooms at once to the data.
    v->SetMaxZoomRatio(100);
    expectRect(v->GetVisExts(), kData, 1e-6);
}

TEST(GraphView, ResizeKeepsTheScaleOrTheVisibleExtent) {
    for (bool keep : {false, true}) {
        auto v = dataView();
        v->SetXKeepVisExt(keep);
        v->SetYKeepVisExt(keep);
        lvtest::SizeContent(*v, 600, 240);
        ASSERT_EQ(v->ContentRect().Width(), 600);
        if (keep) {
            // The same kilometres stretched over the new width.
            expectRect(v->GetVisExts(), kData, 1e-6);
        } else {
            // The same scale: more kilometres to the right, fewer decibels at the top.
            expectRect(v->GetVisExts(), {0, 0, 96, 40}, 1e-6);
            EXPECT_EQ(v->GetExts(), (TRealRect{0, 0, 96, 50}));
        }
    }
}

TEST(GraphView, AdoptingItemExtents) {
    TestView v;
    lvtest::SizeContent(v, 500, 300);
    v.SetMaxYMargin(10);
    // The first trace, alone: the world becomes its extents plus a tenth of the height on top,
    // and the view fits it.
    v.AdoptExtents({0, 0, 80, 40}, true, true);
    EXPECT_EQ(v.GetExts(), (TRealRect{0, 0, 80, 44}));
    expectRect(v.GetVisExts(), {0, 0, 80, 44}, 1e-6);
    v.Data = TRealRect{0, 0, 80, 44}; // what the item list would report
    // Zoomed in, a change of another trace only grows the world; the window stays.
    v.ZoomTo({20, 10, 40, 30});
    const TRealRect window = v.GetVisExts();
    v.AdoptExtents({-10, 5, 60, 48}, false, false);
    EXPECT_EQ(v.GetExts().XMin, -10);
    EXPECT_NEAR(v.GetExts().YMax, 48 + 4.3, 1e-9);
    expectRect(v.GetVisExts(), window, 0.1);
    // A new active trace is fitted, margins included, inside the grown world.
    v.AdoptExtents({20, 10, 40, 30}, false, true);
    EXPECT_EQ(v.GetExts().XMin, -10);
    expectRect(v.GetVisExts(), {20, 10, 40, 32}, 0.1);
    // Degenerate extents leave the world alone.
    v.AdoptExtents({5, 5, 5, 5}, true, true);
    EXPECT_EQ(v.GetExts().XMin, -10);
}

TEST(GraphView, ScrollingReportsLimitedDeltasAndMovesTheRightAreas) {
    auto v = dataView();
    v->ZoomTo({36, 10, 44, 20});
    std::vector<std::pair<int, int>> moves;
    v->OnAfterScrollContentBy = [&](TGraphView*, int dx, int dy) { moves.emplace_back(dx, dy); };
    const int x0 = v->XOffset();
    v->SetXOffset(x0 + 100);
    v->SetXOffset(x0 + 100); // no change, no report
    v->SetYOffset(v->YOffset() - 40);
    EXPECT_EQ(moves, (std::vector<std::pair<int, int>>{{-100, 0}, {0, -40}}));
    // A handler that cancels the move: no after-event.
    v->OnBeforeScrollContentBy = [](TGraphView*, int& dx, int& dy) { dx = dy = 0; };
    v->SetXOffset(0);
    EXPECT_EQ(moves.size(), 2u);

    // The content and the ruler strip beside it move as one block.
    const TRect c = v->ContentRect();
    const TGraphScrollInfo h = v->CreateScrollInfo(-5, 0);
    ASSERT_EQ(h.Count(), 1);
    EXPECT_EQ(h.Rect(0), c.United(v->AreaRect(woXRuls)));
    const TGraphScrollInfo hv = v->CreateScrollInfo(-5, 3);
    EXPECT_EQ(hv.Count(), 3);
    try {
        hv.Rect(3);
        FAIL() << "no error for a missing rectangle";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), "Неверная иныормация о скролинге в позиции 3");
    }
}

TEST(GraphView, PanningByTheRulers) {
    auto v = dataView();
    v->ZoomTo({36, 10, 44, 20});
    QWidget* vp = v->viewport();
    const TRect c = v->ContentRect();
    const TRect xr = v->AreaRect(woXRuls), yr = v->AreaRect(woYRuls);

    // Over the strips the pointer shows the direction of panning.
    SendMouse(vp, QEvent::MouseMove, {c.Left + 50, xr.Top + 2}, false);
    EXPECT_EQ(vp->cursor().shape(), Qt::SizeHorCursor);
    EXPECT_EQ(v->AreaAt(), std::make_pair(woXRuls, 0));
    SendMouse(vp, QEvent::MouseMove, {c.Left + 50, v->AreaRect(woXValues).Top + 2}, false);
    EXPECT_EQ(vp->cursor().shape(), Qt::SizeHorCursor);
    SendMouse(vp, QEvent::MouseMove, {yr.Left + 2, c.Top + 50}, false);
    EXPECT_EQ(vp->cursor().shape(), Qt::SizeVerCursor);
    SendMouse(vp, QEvent::MouseMove, {c.Left + 50, c.Top + 50}, false);
    EXPECT_EQ(vp->cursor().shape(), Qt::ArrowCursor);

    // Dragging the X ruler to the right moves the curves right by as many pixels.
    const int px40 = v->Geometry().XMap().ToPixel(40);
    SendMouse(vp, QEvent::MouseButtonPress, {c.Left + 100, xr.Top + 2}, true);
    EXPECT_EQ(v->RulerDrag(), TGraphView::TRulerDrag::Horizontal);
    SendMouse(vp, QEvent::MouseMove, {c.Left + 130, c.Top + 10}, true);
    EXPECT_EQ(v->Geometry().XMap().ToPixel(40), px40 + 30);
    EXPECT_EQ(vp->cursor().shape(), Qt::SizeHorCursor);

    // Held left of the content the view keeps scrolling, one increment per timer tick.
    SendMouse(vp, QEvent::MouseMove, {c.Left - 20, c.Top + 10}, true);
    const int held = v->XOffset();
    ASSERT_TRUE(lvtest::WaitFor([&] { return v->XOffset() >= held + 20; }));
    EXPECT_EQ((v->XOffset() - held) % v->HorzScrollBar().Increment(), 0);
    SendMouse(vp, QEvent::MouseButtonRelease, {c.Left - 20, c.Top + 10}, false);
    EXPECT_EQ(v->RulerDrag(), TGraphView::TRulerDrag::None);
    const int released = v->XOffset();
    lvtest::WaitFor([] { return false; }, 250);
    EXPECT_EQ(v->XOffset(), released);

    // The Y ruler pans vertically: dragging down moves the curves down.
    const int py15 = v->Geometry().YMap().ToPixel(15);
    SendMouse(vp, QEvent::MouseButtonPress, {yr.Left + 2, c.Top + 100}, true);
    SendMouse(vp, QEvent::MouseMove, {yr.Left + 2, c.Top + 125}, true);
    SendMouse(vp, QEvent::MouseButtonRelease, {yr.Left + 2, c.Top + 125}, false);
    EXPECT_EQ(v->Geometry().YMap().ToPixel(15), py15 + 25);
}

TEST(GraphView, ExtentsChangesAreReportedAfterPaintsAndDestructionToo) {
    std::vector<TMessageValue> codes;
    std::vector<TExtsPair> pairs;
    TReceiver overview;
    overview.OnMessage = [&](TMessageValue code, TMessageValue payload) {
        codes.push_back(code);
        if (code == gnExtsChanged) pairs.push_back(*reinterpret_cast<const TExtsPair*>(payload));
        return TMessageValue(0);
    };
    int events = 0;
    {
        auto v = dataView();
        v->Messager().AddReceiver(&overview);
        v->OnExtsChanged = [&](TGraphView*, const TRealRect&, const TRealRect&) { ++events; };
        v->ZoomTo({10, 10, 50, 40});
        v->viewport()->repaint();
        ASSERT_EQ(pairs.size(), 1u);
        EXPECT_EQ(pairs[0].Exts, kData);
        expectRect(pairs[0].VisExts, {10, 10, 50, 40}, 1e-6);
        EXPECT_EQ(events, 1);
        v->viewport()->repaint(); // nothing changed: nothing reported
        EXPECT_EQ(events, 1);

        // While updates are locked the view does not paint, so nothing is reported either.
        v->BeginUpdate();
        v->ZoomTo({36, 10, 44, 20});
        v->viewport()->repaint();
        EXPECT_EQ(events, 1);
        v->EndUpdate();
        v->viewport()->repaint();
        EXPECT_EQ(events, 2);
        expectRect(pairs.back().VisExts, {36, 10, 44, 20}, 1e-6);
    }
    EXPECT_EQ(codes.back(), gnViewDestroyed);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), gnExtsChanged), 2);
}

TEST(GraphView, ScaleAndValuesTexts) {
    RussianLocale russian;
    TestView v;
    lvtest::SizeContent(v, 500, 300);
    // 500 px, 5 grids of 10 ticks: one division is a fifth of the world's width.
    v.SetXMin(0);
    v.SetXMax(12.5);
    v.SetXLabelUnits("км");
    v.Render();
    EXPECT_EQ(v.ScaleText(TAxis::X), "2,50 км/дел");
    EXPECT_EQ(v.TextsIn(woXScale, 0), (std::vector<QString>{"2,50 км/дел"}));
    v.SetXLabelUnits("");
    EXPECT_EQ(v.ScaleText(TAxis::X), "2,50 ../дел");
    v.SetXScaleVisible(false);
    EXPECT_EQ(v.ScaleText(TAxis::X), " ");
    v.SetXScaleVisible(true);

    // XMax 80: no power text, plain values under the grid lines.
    v.SetXMax(80);
    v.Render();
    EXPECT_TRUE(v.PowerText(TAxis::X).isEmpty());
    std::vector<QString> plain;
    for (const TStripText& t : v.ValueTexts(TAxis::X, 0))
        plain.push_back(t.Text);
    EXPECT_EQ(plain, (std::vector<QString>{"0,00", "16,00", "32,00", "48,00", "64,00", "80,00"}));
    EXPECT_EQ(v.TextsIn(woXValues, 0), plain);

    // XMax 2000: "10^3" in the scale strip and the values in thousands.
    v.SetXMax(2000);
    v.Render();
    EXPECT_EQ(v.PowerText(TAxis::X), "10^3");
    EXPECT_EQ(v.TextsIn(woXScale, 0), (std::vector<QString>{"400,00 ../дел", "10^3"}));
    std::vector<QString> thousands;
    for (const TStripText& t : v.ValueTexts(TAxis::X, 0))
        thousands.push_back(t.Text);
    EXPECT_EQ(thousands, (std::vector<QString>{"0,00", "0,40", "0,80", "1,20", "1,60", "2,00"}));
    // The boxes are centred on the grid lines, shortened where they leave the strip.
    const auto boxes = v.ValueTexts(TAxis::X, 0);
    const TRect c = v.ContentRect();
    EXPECT_EQ(boxes[1].Box.Left, c.Left + 100 - 50);
    EXPECT_EQ(boxes[1].Box.Right, c.Left + 100 + 50);
    EXPECT_EQ(boxes[0].Box.Left, c.Left);
    EXPECT_EQ(boxes[5].Box.Right, c.Right);
    // Without the power the values use the exponent form beyond 1000.
    v.SetXPowerVisible(false);
    v.SetXMax(20000);
    EXPECT_EQ(v.ValueTexts(TAxis::X, 0)[1].Text, "4,0E+003");
}

// On a small graph the values of every grid line would be narrowed into strokes: only every
// k-th line is labelled then, each text keeps its own width, and the grid itself stays whole.
TEST(GraphView, ValueTextsThinOutInsteadOfRunningTogether) {
    RussianLocale russian;
    for (const int size : {600, 300, 200, 120}) {
        TestView v;
        v.SetXGridsCount(10);
        v.SetYGridsCount(10);
        v.SetXMax(80);
        v.SetYMax(50);
        lvtest::SizeContent(v, size, size);
        const QImage img = v.Render();
        const TRect c = v.ContentRect();
        for (const TAxis axis : {TAxis::X, TAxis::Y}) {
            const bool y = axis == TAxis::Y;
            const TRect strip = v.AreaRect(y ? woYValues : woXValues);
            const QFontMetrics metrics((y ? v.YValuesFont() : v.XValuesFont()).Font);
            const auto texts = v.ValueTexts(axis, 0);
            ASSERT_FALSE(texts.empty()) << size;
            for (size_t i = 0; i < texts.size(); ++i) {
                const TRect& b = texts[i].Box;
                const int length = y ? b.Height() : b.Width();
                const int advance = metrics.horizontalAdvance(texts[i].Text);
                const bool end = y ? (b.Top <= strip.Top || b.Bottom >= strip.Bottom)
                                   : (b.Left <= strip.Left || b.Right >= strip.Right);
                if (end) {
                    EXPECT_GE(3 * length, 2 * advance) << size << " " << texts[i].Text.toStdString();
                } else {
                    EXPECT_GE(length, advance) << size << " " << texts[i].Text.toStdString();
                }
                if (i > 0) {
                    const TRect& a = texts[i - 1].Box;
                    EXPECT_FALSE(a.Intersects(b)) << size;
                }
            }
            // The grid: one line at every grid tick, labelled or not.
            int gridLines = 0, inside = 0;
            for (const TTick& t : VisibleTicks(y ? v.YRulers() : v.XRulers(), y, y ? c.Top : c.Right)) {
                if (t.Phase != 0) continue;
                ++gridLines;
                inside += y ? t.Pos >= c.Top && t.Pos < c.Bottom : t.Pos >= c.Left && t.Pos < c.Right;
            }
            int drawn = 0;
            const QColor grid = ColorToQColor(v.XGridsColor());
            for (int k = y ? c.Top : c.Left; k < (y ? c.Bottom : c.Right); ++k)
                drawn += QColor(y ? img.pixel(c.Left + 3, k) : img.pixel(k, c.Top + 3)) == grid;
            EXPECT_EQ(drawn, inside) << size;
            if (size == 600) {
                EXPECT_EQ(int(texts.size()), gridLines); // room for every value
            } else if (size <= 200) {
                EXPECT_LT(int(texts.size()), gridLines);
            }
        }
    }
}

TEST(GraphView, LabelsOnBothSidesAndTheHeaderText) {
    TestView v;
    lvtest::SizeContent(v, 500, 300);
    v.SetXLabel("Расстояние");
    v.SetXLabelUnits("км");
    v.SetYLabelUnits("дБ");
    v.SetXLabelPos(xlpBoth);
    lvtest::SizeContent(v, 500, 300);
    const TRect top = v.AreaRect(woXLabel, 0), bottom = v.AreaRect(woXLabel, 1);
    EXPECT_EQ(top.Height(), v.XLabelSize());
    EXPECT_EQ(bottom.Height(), v.XLabelSize());
    EXPECT_LE(top.Bottom, v.ContentRect().Top);
    EXPECT_GE(bottom.Top, v.ContentRect().Bottom);
    v.Render();
    EXPECT_EQ(v.TextsIn(woXLabel, 0), (std::vector<QString>{"Расстояние, км"}));
    EXPECT_EQ(v.TextsIn(woXLabel, 1), (std::vector<QString>{"Расстояние, км"}));
    EXPECT_EQ(v.TextsIn(woYLabel, 0), (std::vector<QString>{"дБ"}));

    v.SetHeader("Заголовок");
    EXPECT_EQ(v.HeaderText(), "Заголовок");
    v.Active = TActiveItemInfo{clRed, "Трасса 1", "D:\\Линия\\131\\f01.sor"};
    EXPECT_EQ(v.HeaderText(), "Заголовок");
    v.SetHeaderContent(hcCaption);
    EXPECT_EQ(v.HeaderText(), "Трасса 1");
    v.SetHeaderContent(hcFileName);
    EXPECT_EQ(v.HeaderText(), "f01.sor");
    v.Active.reset();
    EXPECT_EQ(v.HeaderText(), "");
}

TEST(GraphView, DegenerateGeometryAbandonsThePaintSilently) {
    TestView v;
    v.resize(60, 40); // the strips leave no content
    v.show();
    QApplication::processEvents();
    EXPECT_TRUE(v.ContentRect().IsEmpty());
    int reports = 0;
    v.OnExtsChanged = [&](TGraphView*, const TRealRect&, const TRealRect&) { ++reports; };
    const QImage img = v.Render();
    EXPECT_EQ(reports, 0);
    EXPECT_TRUE(v.Texts.empty());
    EXPECT_EQ(img.pixel(0, 0), ColorToQColor(v.Color()).rgb());
    // Zooming or scrolling there does not fault either.
    v.ZoomTo({0, 0, 10, 10});
    v.ScrollToX(5);
    v.SetVirtualWidth(1000);
}

TEST(GraphView, PaintEventsReplaceTheirSteps) {
    auto v = dataView();
    // OnPaintContent: the background is filled, then the four parts are asked for in order.
    std::vector<TWhatContent> parts;
    v->OnPaintContent = [&](TGraphView*, TGContentPainter& gp, TWhatContent what) {
        parts.push_back(what);
        EXPECT_FALSE(gp.DS()->PaintRect.IsEmpty());
        EXPECT_EQ(gp.XToPixel(0), v->ContentRect().Left);
    };
    QImage img = v->Render();
    EXPECT_EQ(parts, (std::vector<TWhatContent>{wcoXGrids, wcoYGrids, wcoGraphs, wcoObjects}));
    const TRect c = v->ContentRect();
    // No grid was drawn: the content is all background.
    EXPECT_EQ(img.pixel(c.Left, c.Top + 3), qRgb(0, 0, 0));
    // OnPaintObject: asked for every strip, header to Y rulers; the content is left to it.
    std::vector<TWhatObject> objects;
    v->OnPaintObject = [&](TGraphView*, TDrawStruct&, TWhatObject what) { objects.push_back(what); };
    parts.clear();
    v->Render();
    EXPECT_EQ(objects.size(), 9u);
    EXPECT_EQ(objects.front(), woHeader);
    EXPECT_EQ(objects.back(), woYRuls);
    EXPECT_TRUE(parts.empty());
    EXPECT_TRUE(v->Texts.empty());
}

TEST(GraphView, PrintingFramesTheContentAndDotsTheGrid) {
    auto v = dataView();
    v->SetXGridsVisible(false);
    v->SetPrinting(true);
    const QImage img = v->Render();
    const TRect c = v->ContentRect();
    const QRgb grid = ColorToQColor(v->XGridsColor()).rgb();
    // The frame lines one pixel inside the content, even without the X grid.
    EXPECT_EQ(img.pixel(c.Left + 1, c.Top + 40), grid);
    EXPECT_EQ(img.pixel(c.Right - 1, c.Top + 40), grid);
    EXPECT_EQ(img.pixel(c.Left + 40, c.Top + 1), grid);
    EXPECT_EQ(img.pixel(c.Left + 40, c.Bottom - 1), grid);
    EXPECT_NE(img.pixel(c.Left + 100, c.Top + 40), grid); // no X grid line
    // The Y grid is dotted on paper: along a grid row some pixels are background.
    const int row = c.Bottom - 60;
    int on = 0;
    for (int x = c.Left + 2; x < c.Right - 2; ++x)
        on += img.pixel(x, row) == grid;
    EXPECT_GT(on, 50);
    EXPECT_LT(on, c.Width() - 50);
}
