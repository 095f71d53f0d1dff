// The overview graph following a main graph: its curve is the active trace, its frame the main
// graph's visible window; clicks and drags of the frame zoom and scroll the main graph.

#include <gtest/gtest.h>

#include <memory>

#include "TraceStores.h"
#include "ViewFixture.h"
#include "display/uGraphsCmps.h"

using namespace lv;
using lvtest::AddTrace;
using lvtest::Fibre;
using lvtest::RenderView;
using lvtest::SendMouse;
using lvtest::Settle;

namespace {

struct Pair {
    std::unique_ptr<TGraphView> Main = std::make_unique<TGraphView>();
    std::unique_ptr<TOverviewGraph> Overview = std::make_unique<TOverviewGraph>();

    Pair() {
        lvtest::SizeContent(*Main, 800, 400);
        lvtest::SizeContent(*Overview, 400, 100);
        Overview->SetMainGraph(Main.get());
    }

    TMainDataItem* Add(int n, double stepKm, double firstKm = 0) {
        TMainDataItem* item = AddTrace(*Main, Fibre(n), stepKm, firstKm);
        Sync();
        return item;
    }

    // The main graph paints (and so reports its extents); posted notices arrive.
    void Sync() {
        Settle();
        RenderView(*Main);
        Settle();
    }

    QWidget* Port() const { return Overview->viewport(); }
    QPoint PixelOf(double km, double db) const {
        const TGraphGeometry g = Overview->Geometry();
        return {g.XMap().ToPixel(km), g.YMap().ToPixel(db)};
    }
    // Zooms the main graph to km a..b, keeping its visible levels.
    void ZoomX(double a, double b) {
        const TRealRect v = Main->GetVisExts();
        Main->ZoomTo({a, v.YMin, b, v.YMax});
        Sync();
    }
    void Drag(QPoint from, QPoint to) {
        SendMouse(Port(), QEvent::MouseButtonPress, from, true);
        SendMouse(Port(), QEvent::MouseMove, to, true);
        SendMouse(Port(), QEvent::MouseButtonRelease, to, false);
    }
};

double centre(const TRealRect& r) {
    return (r.XMin + r.XMax) / 2;
}

} // namespace

TEST(Overview, ShowsTheActiveTraceAndTheVisibleWindow) {
    Pair p;
    TMainDataItem* a = p.Add(1001, 0.01); // 0 .. 10 km
    EXPECT_EQ(p.Overview->Curve()->Storage(), a->Storage());
    EXPECT_EQ(p.Overview->GetExts(), p.Main->GetExts());
    TMainDataItem* b = p.Add(2001, 0.01); // 0 .. 20 km, active now
    EXPECT_EQ(p.Overview->Curve()->Storage(), b->Storage());
    p.Main->Data().CycleItems(true);
    EXPECT_EQ(p.Overview->Curve()->Storage(), a->Storage());
    EXPECT_EQ(p.Overview->Curve()->Colour(), clWhite);
    p.Overview->SetCurveColor(clYellow);
    EXPECT_EQ(p.Overview->CurveColor(), clYellow);
    // Nothing ever scrolls here: no scroll bars take room from the picture.
    EXPECT_FALSE(p.Overview->PlatformBar(sbHorizontal)->isVisible());
    EXPECT_FALSE(p.Overview->PlatformBar(sbVertical)->isVisible());
    EXPECT_EQ(p.Overview->ClientRect().size(), p.Overview->viewport()->size());
    EXPECT_EQ(p.Overview->ClientRect().size(), p.Overview->contentsRect().size());

    // Zooming the main graph moves the frame, not the overview's own scale.
    const TRealRect world = p.Overview->GetExts();
    const int virtualWidth = p.Overview->VirtualWidth();
    p.ZoomX(4, 8);
    EXPECT_EQ(p.Overview->WindowExts(), p.Main->GetVisExts());
    EXPECT_EQ(p.Overview->GetExts(), world);
    EXPECT_EQ(p.Overview->VirtualWidth(), virtualWidth);
    RenderView(*p.Overview);
    const TRect frame = p.Overview->WindowFrame();
    EXPECT_EQ(frame, p.Overview->Geometry().WorldRectToPixel(p.Main->GetVisExts()));
    EXPECT_EQ(p.Overview->HitTest({(frame.Left + frame.Right) / 2, (frame.Top + frame.Bottom) / 2}),
              TOverviewGraph::fgMove);
    EXPECT_EQ(p.Overview->HitTest({frame.Left, frame.Top + 1}), TOverviewGraph::fgTopLeft);
    EXPECT_EQ(p.Overview->HitTest({frame.Right - 1, frame.Bottom - 2}), TOverviewGraph::fgBottomRight);
    EXPECT_EQ(p.Overview->HitTest({frame.Right + 1, (frame.Top + frame.Bottom) / 2}),
              TOverviewGraph::fgRight);
    EXPECT_EQ(p.Overview->HitTest({frame.Right + 10, frame.Top}), TOverviewGraph::fgNewFrame);
}

TEST(Overview, AClickOutsideTheFrameCentresTheWindowThereAtTheSameZoom) {
    Pair p;
    p.Add(2001, 0.01); // 0 .. 20 km
    p.ZoomX(2, 5);
    const TRealRect before = p.Main->GetVisExts();
    const TRealRect world = p.Main->GetExts();
    const int virtualWidth = p.Main->VirtualWidth(), virtualHeight = p.Main->VirtualHeight();
    const QPoint click = p.PixelOf(12, (before.YMin + before.YMax) / 2);
    SendMouse(p.Port(), QEvent::MouseButtonPress, click, true);
    SendMouse(p.Port(), QEvent::MouseButtonRelease, click, false);
    const TRealRect after = p.Main->GetVisExts();
    EXPECT_EQ(p.Main->GetExts(), world);
    EXPECT_EQ(p.Main->VirtualWidth(), virtualWidth);
    EXPECT_EQ(p.Main->VirtualHeight(), virtualHeight);
    EXPECT_NEAR(after.Width(), before.Width(), 1e-9);
    EXPECT_NEAR(after.Height(), before.Height(), 1e-9);
    const double mainPixel = before.Width() / 800, overviewPixel = p.Overview->GetExts().Width() / 400;
    EXPECT_NEAR(centre(after), p.Overview->Geometry().XMap().ToWorld(click.x()), mainPixel + 1e-9);
    EXPECT_NEAR(centre(after), 12.0, overviewPixel);
    EXPECT_EQ(p.Main->Data().HoldDepth(), 0); // the stores are released again

    // A click near the end puts the window against the world's edge.
    const QPoint edge = p.PixelOf(19.9, (before.YMin + before.YMax) / 2);
    SendMouse(p.Port(), QEvent::MouseButtonPress, edge, true);
    SendMouse(p.Port(), QEvent::MouseButtonRelease, edge, false);
    EXPECT_NEAR(p.Main->GetVisExts().XMax, p.Main->XMax(), mainPixel);
    EXPECT_NEAR(p.Main->GetVisExts().Width(), before.Width(), 1e-9);
}

TEST(Overview, FramesStayAtLeastEightPixelsAndInsideTheContent) {
    Pair p;
    p.Add(2001, 0.01);
    p.ZoomX(4, 10);
    RenderView(*p.Overview);
    const TRect c = p.Overview->ContentRect();
    TRect f = p.Overview->WindowFrame();
    const int midY = (f.Top + f.Bottom) / 2;

    // The right edge dragged far past the left one stops 8 pixels right of it. (Once released,
    // the frame shows what the main graph makes of it.)
    SendMouse(p.Port(), QEvent::MouseButtonPress, {f.Right - 1, midY}, true);
    SendMouse(p.Port(), QEvent::MouseMove, {c.Left - 50, midY}, true);
    EXPECT_EQ(p.Overview->WindowFrame().Width(), TOverviewGraph::kMinFrame);
    EXPECT_EQ(p.Overview->WindowFrame().Left, f.Left);
    SendMouse(p.Port(), QEvent::MouseButtonRelease, {c.Left - 50, midY}, false);
    RenderView(*p.Main);
    Settle();

    // The bottom edge pulled up: 8 pixels high.
    f = p.Overview->WindowFrame();
    const int midX = (f.Left + f.Right) / 2;
    SendMouse(p.Port(), QEvent::MouseButtonPress, {midX, f.Bottom - 1}, true);
    SendMouse(p.Port(), QEvent::MouseMove, {midX, c.Top - 30}, true);
    EXPECT_EQ(p.Overview->WindowFrame().Height(), TOverviewGraph::kMinFrame);
    SendMouse(p.Port(), QEvent::MouseButtonRelease, {midX, c.Top - 30}, false);

    // The whole frame dragged far right and down stays inside the content.
    f = p.Overview->WindowFrame();
    const QPoint inside((f.Left + f.Right) / 2, (f.Top + f.Bottom) / 2);
    ASSERT_EQ(p.Overview->HitTest(inside), TOverviewGraph::fgMove);
    p.Drag(inside, inside + QPoint(5000, 5000));
    EXPECT_EQ(p.Overview->WindowFrame().Right, c.Right);
    EXPECT_EQ(p.Overview->WindowFrame().Bottom, c.Bottom);
    EXPECT_EQ(p.Overview->WindowFrame().Width(), f.Width());
    EXPECT_LE(p.Main->GetVisExts().XMax, p.Main->XMax() + 1e-9);

    // While a new frame is drawn its dotted outline runs through the press point and the
    // pointer, not a pixel beyond.
    p.Overview->SetCurveColor(clYellow); // white is the outline's alone
    const QPoint from(c.Left + 30, c.Top + 20), to(c.Left + 90, c.Top + 60);
    SendMouse(p.Port(), QEvent::MouseButtonPress, from, true);
    SendMouse(p.Port(), QEvent::MouseMove, to, true);
    const QImage drawing = RenderView(*p.Overview);
    auto whiteIn = [&](int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                n += drawing.pixel(x, y) == qRgb(255, 255, 255);
        return n;
    };
    EXPECT_GT(whiteIn(to.x(), from.y() + 2, to.x(), to.y() - 2), 0);
    EXPECT_EQ(whiteIn(to.x() + 1, from.y() + 2, to.x() + 1, to.y() - 2), 0);
    EXPECT_GT(whiteIn(from.x() + 2, to.y(), to.x() - 2, to.y()), 0);
    EXPECT_EQ(whiteIn(from.x() + 2, to.y() + 1, to.x() - 2, to.y() + 1), 0);
    SendMouse(p.Port(), QEvent::MouseButtonRelease, to, false);

    // A new frame drawn from outside the content to beyond it is clamped to the content.
    SendMouse(p.Port(), QEvent::MouseButtonPress, {c.Left + 10, c.Top + 10}, true);
    SendMouse(p.Port(), QEvent::MouseMove, {c.Right + 40, c.Bottom + 40}, true);
    SendMouse(p.Port(), QEvent::MouseButtonRelease, {c.Right + 40, c.Bottom + 40}, false);
    EXPECT_NEAR(p.Main->GetVisExts().XMax, p.Overview->Geometry().XMap().ToWorld(c.Right), 0.05);
}

TEST(Overview, TrackingZoomsDuringTheDragOtherwiseOnRelease) {
    for (bool tracking : {false, true}) {
        Pair p;
        p.Overview->SetTracking(tracking);
        p.Add(2001, 0.01);
        p.ZoomX(4, 10);
        RenderView(*p.Overview);
        const TRect f = p.Overview->WindowFrame();
        const int midY = (f.Top + f.Bottom) / 2;
        const TRealRect before = p.Main->GetVisExts();
        SendMouse(p.Port(), QEvent::MouseButtonPress, {f.Right - 1, midY}, true);
        SendMouse(p.Port(), QEvent::MouseMove, {f.Right + 60, midY}, true);
        EXPECT_EQ(p.Main->GetVisExts().XMax > before.XMax + 1, tracking) << tracking;
        SendMouse(p.Port(), QEvent::MouseMove, {f.Right + 80, midY}, true);
        const double during = p.Main->GetVisExts().XMax;
        SendMouse(p.Port(), QEvent::MouseButtonRelease, {f.Right + 80, midY}, false);
        EXPECT_GT(p.Main->GetVisExts().XMax, before.XMax + 1) << tracking;
        if (tracking) {
            EXPECT_NEAR(p.Main->GetVisExts().XMax, during, 1e-9);
        }
        // The left edge stays where it was, to the main graph's pixel.
        EXPECT_NEAR(p.Main->GetVisExts().XMin, before.XMin, p.Main->GetVisExts().Width() / 800) << tracking;
        EXPECT_NEAR(p.Main->GetVisExts().Height(), before.Height(), 1e-9) << tracking;
    }
}

TEST(Overview, KeepsItsLastPictureWhenTheMainGraphGoes) {
    Pair p;
    p.Add(1001, 0.01);
    p.ZoomX(2, 6);
    const QImage before = RenderView(*p.Overview);
    p.Main.reset();
    Settle();
    EXPECT_EQ(p.Overview->MainGraph(), nullptr);
    ASSERT_TRUE(p.Overview->Curve()->Valid());
    EXPECT_EQ(RenderView(*p.Overview), before);
    // A frame can still be drawn; it reaches no graph and leaves the overview's world alone.
    const TRealRect world = p.Overview->GetExts();
    p.Drag({20, 20}, {60, 60});
    EXPECT_EQ(p.Overview->FrameGesture(), TOverviewGraph::fgNone);
    EXPECT_EQ(p.Overview->WindowFrame(), (TRect{20, 20, 61, 61}));
    EXPECT_EQ(p.Overview->GetExts(), world);
}

// Notices of the main graph are ignored while the frame is dragged; once the gesture is over the
// overview shows the main graph as it is again.
TEST(Overview, AfterAGestureFrameAndCurveFollowTheMainGraphAgain) {
    Pair p;
    p.Overview->SetTracking(true);
    TMainDataItem* a = p.Add(2001, 0.01); // 0 .. 20 km
    p.ZoomX(5, 10);
    RenderView(*p.Overview);
    const TRect f = p.Overview->WindowFrame();
    const int midY = (f.Top + f.Bottom) / 2;
    // The right edge pulled onto the left one asks for more zoom than the main graph allows; it
    // shows a wider window, and paints (and reports it) while the pointer moves.
    SendMouse(p.Port(), QEvent::MouseButtonPress, {f.Right - 1, midY}, true);
    for (int x = f.Right - 5; x > f.Left - 20; x -= 5) {
        SendMouse(p.Port(), QEvent::MouseMove, {x, midY}, true);
        p.Sync();
    }
    SendMouse(p.Port(), QEvent::MouseButtonRelease, {f.Left - 20, midY}, false);
    p.Sync();
    EXPECT_EQ(p.Overview->WindowExts(), p.Main->GetVisExts());
    EXPECT_EQ(p.Overview->WindowFrame(), p.Overview->Geometry().WorldRectToPixel(p.Main->GetVisExts()));

    // The active trace closed during a drag: afterwards the overview shows the one active now.
    TMainDataItem* b = p.Add(1001, 0.01);
    ASSERT_EQ(p.Overview->Curve()->Storage(), b->Storage());
    RenderView(*p.Overview);
    const TRect g = p.Overview->WindowFrame();
    const QPoint inside((g.Left + g.Right) / 2, (g.Top + g.Bottom) / 2);
    SendMouse(p.Port(), QEvent::MouseButtonPress, inside, true);
    delete b;
    p.Sync();
    SendMouse(p.Port(), QEvent::MouseButtonRelease, inside, false);
    EXPECT_EQ(p.Overview->Curve()->Storage(), a->Storage());

    // Hiding the overview ends a drag as well, and lets the main graph's stores go.
    SendMouse(p.Port(), QEvent::MouseButtonPress, inside, true);
    ASSERT_EQ(p.Main->Data().HoldDepth(), 1);
    p.Overview->setVisible(false);
    EXPECT_EQ(p.Overview->FrameGesture(), TOverviewGraph::fgNone);
    EXPECT_EQ(p.Main->Data().HoldDepth(), 0);
}

// The window frame is painted over the overview's curve, white between dark edges, never by
// inverting: where the curve crosses it the frame stays white (inverted, a yellow curve turned it
// blue) and the curve beside the frame keeps its colour.
TEST(Overview, TheFramePaintsOverTheCurveInsteadOfInvertingIt) {
    Pair p;
    p.Add(2000, 0.01);
    p.Overview->SetCurveColor(clYellow);
    p.ZoomX(5, 12);
    const QImage img = RenderView(*p.Overview);
    const TRect f = p.Overview->WindowFrame();
    const TRect c = p.Overview->ContentRect();
    ASSERT_GT(f.Left, c.Left + 2);
    int crossings = 0;
    for (int y = f.Top; y < f.Bottom; ++y) {
        EXPECT_EQ(img.pixel(f.Left, y), qRgb(255, 255, 255)) << y;
        EXPECT_EQ(img.pixel(f.Left - 1, y), qRgb(0, 0, 0)) << y;
        crossings += img.pixel(f.Left - 3, y) == qRgb(255, 255, 0); // the curve just beside it
    }
    EXPECT_GT(crossings, 0);
}
