// The main graph with synthetic mouse events on an offscreen widget: cursor, markers and their
// order, zoom frame, paging, the write-back into each trace and the restoring from it, and the
// picture with cursor, markers and start line (kept as test-output/main_graph.png).

#include <gtest/gtest.h>

#include <QCursor>
#include <QDir>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <memory>
#include <tuple>

#include "TraceStores.h"
#include "ViewFixture.h"
#include "display/CurveTicks.h"
#include "display/Overlay.h"
#include "display/uGraphsCmps.h"

using namespace lv;
using lvtest::AddTrace;
using lvtest::FillTrace;
using lvtest::RenderView;
using lvtest::SendMouse;
using lvtest::Settle;

namespace {

// A falling fibre without noise: 30 dB at 0 km, 0.5 dB/km, `n` samples `step` km apart.
std::vector<double> line(int n, double step, double offsetDb = 0) {
    return lvtest::Levels(n, step, [offsetDb](double km) { return 30.0 - 0.5 * km + offsetDb; });
}

class Graph : public TMainGraph {
public:
    using TMainGraph::SetPrinting;
};

// The main graph as the main window sets it up, 800 x 400 pixels of content, with event logs.
struct Fixture {
    std::unique_ptr<Graph> G = std::make_unique<Graph>();
    std::vector<std::tuple<bool, double, double>> Cursor;
    std::vector<TMainDataItem*> Markers;
    std::vector<TGDataItem*> Active;

    Fixture() {
        G->SetXMin(0);
        G->SetXMax(80);
        G->SetYMin(0);
        G->SetYMax(50);
        G->SetMaxZoomRatio(3000);
        G->SetMaxYMargin(10);
        lvtest::SizeContent(*G, 800, 400);
        G->OnCursorVisibleChanged = [this](TMainGraph*, bool v, double x, double y) {
            Cursor.push_back({v, x, y});
        };
        G->OnMarkersChanged = [this](TMainGraph*, TMainDataItem* item) { Markers.push_back(item); };
        G->OnActiveDataChanged = [this](TMainGraph*, TGDataItem* item) { Active.push_back(item); };
    }

    TMainDataItem* Trace(double km = 10, double offsetDb = 0) {
        return AddTrace(*G, line(int(km / 0.005) + 1, 0.005, offsetDb), 0.005);
    }
    QWidget* Port() const { return G->viewport(); }
    int Px(double km) const { return G->Geometry().XMap().ToPixel(km); }
    int Py(double db) const { return G->Geometry().YMap().ToPixel(db); }
    double Km(int px) const { return G->Geometry().XMap().ToWorld(px); }
    // A point on the stem of a shown marker.
    QPoint Stem(const TMarker* m) const { return m->Bounds().topLeft() + QPoint(TMarker::kStemColumn, 20); }
    void Press(QPoint p) { SendMouse(Port(), QEvent::MouseButtonPress, p, true); }
    void Move(QPoint p) { SendMouse(Port(), QEvent::MouseMove, p, true); }
    void Release(QPoint p) { SendMouse(Port(), QEvent::MouseButtonRelease, p, false); }
    QPoint Pointer() const { return Port()->mapFromGlobal(QCursor::pos()); }
};

} // namespace

TEST(MainGraph, MarkersKeepTheirOrder) {
    Fixture f;
    TMainDataItem* t = f.Trace();
    TMainGraph& g = *f.G;
    g.PlaceMarker(2, false, 5);
    g.PlaceMarker(3, false, 8);
    EXPECT_EQ(g.MarkersMask(), 2 | 4);
    // M1 right of M2 is refused, left of it accepted; the trace computes the sections.
    g.PlaceMarker(1, false, 6);
    EXPECT_FALSE(g.Marker(1)->Shown());
    g.PlaceMarker(1, false, 2);
    EXPECT_EQ(g.MarkersMask(), 1 | 2 | 4);
    EXPECT_DOUBLE_EQ(t->MarkerPos(0), 2.0);
    EXPECT_NEAR(t->TraceValue(1), 3.0, 1e-9);
    EXPECT_NEAR(t->TraceValue(3), 3.0, 1e-9);
    EXPECT_NEAR(g.Marker(1)->Y(), 29.0, 1e-9);

    // Y only between M2 and M3.
    for (double x : {4.0, 5.0, 8.0, 9.0}) {
        g.PlaceMarker(2, true, x);
        EXPECT_FALSE(g.YMarker()->Shown()) << x;
    }
    g.PlaceMarker(2, true, 6.5);
    EXPECT_EQ(g.MarkersMask(), 1 | 2 | 4 | 16);
    EXPECT_DOUBLE_EQ(t->MarkerPos(4), 6.5);
    // ... and only while M2 is shown; Y as number 1 means nothing.
    g.HideMarker(2, false);
    g.HideMarker(1, true);
    EXPECT_EQ(g.MarkersMask(), 1 | 4 | 16);
    g.PlaceMarker(2, true, 7.0);
    EXPECT_DOUBLE_EQ(g.YMarker()->X(), 6.5);
    EXPECT_EQ(t->MarkerPos(1), -1.0);
    g.PlaceMarker(2, false, 5);

    // Dragging M1 to 6 km is refused; to 3 km it goes, and the cursor with it.
    const size_t reports = f.Markers.size();
    const QPoint grip = f.Stem(g.Marker(1));
    f.Press(grip);
    EXPECT_EQ(g.MouseMode(), TMainGraph::TMouseMode::MarkerDrag);
    f.Move({f.Px(6), grip.y()});
    EXPECT_DOUBLE_EQ(g.Marker(1)->X(), 2.0);
    f.Move({f.Px(3), grip.y()});
    f.Release({f.Px(3), grip.y()});
    EXPECT_NEAR(g.Marker(1)->X(), 3.0, 0.02);
    EXPECT_DOUBLE_EQ(g.CursorX(), g.Marker(1)->X());
    EXPECT_DOUBLE_EQ(t->MarkerPos(0), g.Marker(1)->X());
    EXPECT_EQ(f.Markers.size(), reports + 1);
    EXPECT_EQ(g.LockCount(), 0);
    EXPECT_EQ(g.Data().HoldDepth(), 0);

    g.HideAllMarkers();
    EXPECT_EQ(g.MarkersMask(), 0);
    for (int i : {0, 1, 2, 4})
        EXPECT_EQ(t->MarkerPos(i), -1.0) << i;

    QWidget stranger;
    EXPECT_THROW(g.Marker(1)->SetParent(&stranger), EInvalidOperation);
    EXPECT_FALSE(g.Marker(1)->SetSize(20, 24));
}

TEST(MainGraph, OnlyAMovedMarkerMakesTheTraceRecompute) {
    // Each recomputation of a least-squares trace reads every sample between the markers; a
    // drag step moves one marker and needs one.
    struct Recomputing : TRDataStorage {
        using TRDataStorage::TRDataStorage;
        void Recalculate() override {
            ++Count;
            TRDataStorage::Recalculate();
        }
        int Count = 0;
    };
    Fixture f;
    auto* store = new Recomputing(nullptr);
    TMainDataItem* t = AddTrace(*f.G, line(2001, 0.005), 0.005, 0, "", store);
    TMainGraph& g = *f.G;
    g.PlaceMarker(1, false, 1);
    g.PlaceMarker(2, false, 5);
    g.PlaceMarker(3, false, 9);
    store->Count = 0;
    g.PlaceMarker(2, false, 6);
    EXPECT_EQ(store->Count, 1);
    EXPECT_DOUBLE_EQ(t->MarkerPos(1), 6.0);
    EXPECT_NEAR(t->TraceValue(1), 5.0, 1e-9);
    EXPECT_NEAR(t->TraceValue(3), 3.0, 1e-9);
    g.HideMarker(3, false);
    EXPECT_EQ(store->Count, 2);
    EXPECT_EQ(t->MarkerPos(2), -1.0);
}

TEST(MainGraph, ClicksMoveTheCursorAndFramesZoom) {
    Fixture f;
    f.Trace();
    TMainGraph& g = *f.G;
    const TRect c = g.ContentRect();

    // A click moves the cursor and tells where it is.
    const QPoint click(c.Left + 300, c.Top + 100);
    f.Press(click);
    f.Release(click);
    EXPECT_DOUBLE_EQ(g.CursorX(), f.Km(click.x()));
    ASSERT_FALSE(f.Cursor.empty());
    EXPECT_EQ(f.Cursor.back(), std::make_tuple(true, g.CursorX(), g.CursorY()));
    EXPECT_NEAR(g.CursorY(), 30.0 - 0.5 * g.CursorX(), 1e-9);

    // 31 x 31 pixels is still a click; 100 x 10 zooms to 100 x 32, the bottom edge kept.
    const TRealRect before = g.GetVisExts();
    f.Press({c.Left + 100, c.Top + 100});
    f.Move({c.Left + 131, c.Top + 131});
    f.Release({c.Left + 131, c.Top + 131});
    EXPECT_EQ(g.GetVisExts(), before);
    EXPECT_DOUBLE_EQ(g.CursorX(), f.Km(c.Left + 100));

    const TGraphGeometry old = g.Geometry();
    const TRealRect want{old.XMap().ToWorld(c.Left + 200), old.YMap().ToWorld(c.Top + 210),
                         old.XMap().ToWorld(c.Left + 300), old.YMap().ToWorld(c.Top + 210 - 32)};
    f.Press({c.Left + 200, c.Top + 200});
    f.Move({c.Left + 250, c.Top + 205});
    EXPECT_EQ(g.MouseMode(), TMainGraph::TMouseMode::ZoomFrame);
    f.Release({c.Left + 300, c.Top + 210});
    const TRealRect got = g.GetVisExts();
    const double pxKm = before.Width() / 800, pxDb = before.Height() / 400;
    EXPECT_NEAR(got.XMin, want.XMin, pxKm);
    EXPECT_NEAR(got.XMax, want.XMax, pxKm);
    EXPECT_NEAR(got.YMin, want.YMin, pxDb);
    EXPECT_NEAR(got.YMax, want.YMax, pxDb);
    EXPECT_EQ(g.Data().HoldDepth(), 0);

    // A thin frame pulled past the world's right end stops there and widens to the left.
    g.ShowAll();
    const TGraphGeometry all = g.Geometry();
    const int right = all.XMap().ToPixel(g.XMax());
    f.Press({right - 10, c.Top + 50});
    f.Release({right + 60, c.Top + 150});
    EXPECT_NEAR(g.GetVisExts().XMax, g.XMax(), 1e-9);
    EXPECT_NEAR(g.GetVisExts().XMin, all.XMap().ToWorld(right - 32), before.Width() / 800);

    // A click whose small wobble crossed the edge and scrolled the view still puts the cursor
    // where the button went down.
    g.ZoomTo({2, 20, 4, 32});
    const QPoint edge(c.Right - 3, c.Top + 100);
    const double pressed = f.Km(edge.x());
    const int scrolled = g.XOffset();
    f.Press(edge);
    f.Move({c.Right + 1, c.Top + 101});
    ASSERT_GT(g.XOffset(), scrolled);
    f.Release(f.Pointer());
    EXPECT_DOUBLE_EQ(g.CursorX(), pressed);
}

TEST(MainGraph, AClickBeyondTheTraceLeavesTheCursorAndReportsItHidden) {
    Fixture f;
    f.Trace(10);
    TMainGraph& g = *f.G;
    g.ZoomTo({0, 20, 20, 32});
    g.SetCursorX(4);
    const QPoint beyond(f.Px(15), f.Py(25));
    f.Press(beyond);
    f.Release(beyond);
    EXPECT_DOUBLE_EQ(g.CursorX(), 4.0);
    ASSERT_FALSE(f.Cursor.empty());
    EXPECT_EQ(f.Cursor.back(), std::make_tuple(false, 0.0, 0.0));
}

TEST(MainGraph, EachTraceKeepsItsOwnCursorAndMarkers) {
    Fixture f;
    TMainGraph& g = *f.G;
    TMainDataItem* a = f.Trace(10);
    g.SetCursorX(3);
    g.PlaceMarker(1, false, 2);
    g.PlaceMarker(2, false, 5);
    EXPECT_DOUBLE_EQ(a->CursorPos(), 3.0);

    TMainDataItem* b = f.Trace(12, -3); // its own markers are all -1
    ASSERT_EQ(g.Data().ActiveItem(), b);
    EXPECT_EQ(f.Active.back(), b);
    EXPECT_EQ(f.Markers.back(), b);
    EXPECT_EQ(g.MarkersMask(), 0);
    g.SetCursorX(7);
    g.PlaceMarker(3, false, 9);

    g.Data().CycleItems(true); // back to a
    EXPECT_EQ(f.Active.back(), a);
    EXPECT_DOUBLE_EQ(g.CursorX(), 3.0);
    EXPECT_EQ(g.MarkersMask(), 1 | 2);
    EXPECT_DOUBLE_EQ(g.Marker(2)->X(), 5.0);
    EXPECT_NEAR(g.Marker(2)->Y(), 27.5, 1e-9);
    // Restoring writes nothing back: b still has its own.
    EXPECT_DOUBLE_EQ(b->CursorPos(), 7.0);
    EXPECT_DOUBLE_EQ(b->MarkerPos(2), 9.0);

    g.Data().CycleItems(true); // b again
    EXPECT_DOUBLE_EQ(g.CursorX(), 7.0);
    EXPECT_EQ(g.MarkersMask(), 4);
    EXPECT_NEAR(g.Marker(3)->Y(), 30.0 - 4.5 - 3.0, 1e-9);

    // The last trace gone: no markers, no start.
    delete a;
    delete b;
    Settle();
    EXPECT_EQ(g.MarkersMask(), 0);
    EXPECT_EQ(f.Active.back(), nullptr);
    EXPECT_EQ(g.StartX(), 0.0);
}

TEST(MainGraph, ATraceThatJustGotItsDataKeepsItsOwnCursorAndMarkers) {
    // A trace is active as soon as its data arrive, but the graph learns it only when the posted
    // notice comes; a paint or a marker placed in between must not write the previous trace's
    // cursor or markers into it.
    Fixture f;
    TMainGraph& g = *f.G;
    f.Trace(10);
    g.SetCursorX(3);
    g.PlaceMarker(1, false, 2);
    auto* store = new TRDataStorage(nullptr);
    auto* b = new TMainDataItem(&g.Data());
    b->SetStorage(store);
    FillTrace(store, line(2001, 0.005, -2), 0.005);
    store->SetCursor(7); // as stored in its file
    store->SetMarker(0, 6);
    ASSERT_EQ(g.Data().ActiveItem(), b);
    RenderView(g);
    g.MarkerAtCursor(2, false);
    EXPECT_DOUBLE_EQ(b->CursorPos(), 7.0);
    EXPECT_DOUBLE_EQ(b->MarkerPos(0), 6.0);
    EXPECT_EQ(b->MarkerPos(1), -1.0);
    Settle();
    EXPECT_DOUBLE_EQ(g.CursorX(), 7.0);
    EXPECT_EQ(g.MarkersMask(), 1);
    EXPECT_DOUBLE_EQ(g.Marker(1)->X(), 6.0);
}

TEST(MainGraph, NewDataOfTheActiveTraceKeepCursorAndMarkersAtTheirX) {
    Fixture f;
    TMainGraph& g = *f.G;
    TMainDataItem* a = f.Trace(10);
    g.SetCursorX(3);
    g.PlaceMarker(1, false, 2);
    g.PlaceMarker(2, false, 5);
    // The same store gets new samples 4 dB higher (a second arrival: the store is ready now).
    FillTrace(a->Trace(), line(2001, 0.005, 4), 0.005);
    Settle();
    ASSERT_TRUE(a->Trace()->IsReady());
    EXPECT_DOUBLE_EQ(g.CursorX(), 3.0);
    EXPECT_NEAR(g.CursorY(), 30.0 - 1.5 + 4, 1e-9);
    EXPECT_DOUBLE_EQ(g.Marker(2)->X(), 5.0);
    EXPECT_NEAR(g.Marker(2)->Y(), 27.5 + 4, 1e-9);
    // Written back into the trace, whose new samples had reset them.
    EXPECT_DOUBLE_EQ(a->MarkerPos(1), 5.0);
    EXPECT_DOUBLE_EQ(a->CursorPos(), 3.0);
}

// An owner puts a stored set of markers whatever their order; the placement event tells the
// operator's and the owner's placements from markers that only follow the active trace.
TEST(MainGraph, StoredMarkersArePutWithoutTheOrderCheckAndPlacementsAreTold) {
    Fixture f;
    TMainGraph& g = *f.G;
    std::vector<TMainDataItem*> placed;
    g.OnMarkersPlaced = [&](TMainGraph*, TMainDataItem* item) { placed.push_back(item); };
    TMainDataItem* a = f.Trace(10);
    EXPECT_TRUE(placed.empty()) << "a trace that becomes active places nothing";

    // M2 before M1, the Y marker beyond M3, M3 beyond the curve's end.
    g.PutMarkers({6.0, 4.0, 12.0, 9.0});
    EXPECT_EQ(g.MarkersMask(), 1 | 2 | 16);
    EXPECT_DOUBLE_EQ(g.Marker(1)->X(), 6.0);
    EXPECT_DOUBLE_EQ(g.Marker(2)->X(), 4.0);
    EXPECT_NEAR(g.YMarker()->Y(), 30.0 - 4.5, 1e-9);
    for (const auto& [index, km] : {std::pair{0, 6.0}, {1, 4.0}, {2, -1.0}, {4, 9.0}})
        EXPECT_DOUBLE_EQ(a->MarkerPos(index), km) << index;
    EXPECT_EQ(placed, (std::vector<TMainDataItem*>{a})) << "reported once";
    g.PutMarkers({std::nullopt, 5.0, std::nullopt, std::nullopt});
    EXPECT_EQ(g.MarkersMask(), 2);
    EXPECT_EQ(a->MarkerPos(0), -1.0);

    // The operator's placements and drags are placements ...
    placed.clear();
    g.PlaceMarker(3, false, 8);
    g.HideMarker(3, false);
    const QPoint grip = f.Stem(g.Marker(2));
    f.Press(grip);
    f.Move({f.Px(5.5), grip.y()});
    f.Release({f.Px(5.5), grip.y()});
    EXPECT_EQ(placed.size(), 3u);
    // ... a switch of the active trace and new samples of the active trace are not.
    placed.clear();
    f.Markers.clear();
    f.Trace(12, -3);
    g.Data().CycleItems(true); // back to a, whose M2 comes back
    EXPECT_DOUBLE_EQ(g.Marker(2)->X(), a->MarkerPos(1));
    FillTrace(a->Trace(), line(2001, 0.005, 4), 0.005);
    Settle();
    EXPECT_TRUE(placed.empty());
    EXPECT_GE(f.Markers.size(), 3u) << "the marker notices themselves still come";
}

TEST(MainGraph, DraggingTheCursorPastTheEdgePagesTheView) {
    Fixture f;
    f.Trace(10);
    TMainGraph& g = *f.G;
    g.ZoomTo({0, 20, 2, 32});
    g.SetCursorX(1);
    const TRect c = g.ContentRect();
    const int y = c.Top + 50;
    f.Press({f.Px(1), y});
    ASSERT_EQ(g.MouseMode(), TMainGraph::TMouseMode::CursorDrag);
    const int offset = g.XOffset();
    const double beyond = f.Km(c.Right + 5);
    f.Move({c.Right + 5, y});
    EXPECT_EQ(g.XOffset(), offset + c.Width() - 2);
    EXPECT_DOUBLE_EQ(g.CursorX(), beyond);
    // The pointer stays on the cursor, over the same world point.
    EXPECT_EQ(f.Pointer().x(), f.Px(g.CursorX()));
    EXPECT_EQ(f.Pointer().x(), c.Right + 5 - (c.Width() - 2));
    // Elsewhere the pointer is brought back onto the cursor's column.
    g.SetCursorX(g.CursorX()); // nothing
    f.Move({f.Px(g.CursorX()), y});
    f.Release(f.Pointer());
    EXPECT_EQ(g.MouseMode(), TMainGraph::TMouseMode::None);
    EXPECT_EQ(g.Data().HoldDepth(), 0);

    // A marker dragged past the edge pages the view the same way, the pointer on its stem.
    g.ZoomTo({0, 20, 2, 32});
    g.PlaceMarker(1, false, 1);
    const QPoint grip = f.Stem(g.Marker(1));
    f.Press(grip);
    ASSERT_EQ(g.MouseMode(), TMainGraph::TMouseMode::MarkerDrag);
    const int before = g.XOffset();
    const double target = f.Km(c.Right + 5);
    f.Move({c.Right + 5, grip.y()});
    EXPECT_EQ(g.XOffset(), before + c.Width() - 2);
    EXPECT_DOUBLE_EQ(g.Marker(1)->X(), target);
    EXPECT_EQ(f.Pointer().x(), f.Px(g.Marker(1)->X()));
    f.Release(f.Pointer());
    EXPECT_EQ(g.Data().HoldDepth(), 0);
}

TEST(MainGraph, AHiddenCursorLineStillReportsItsPlace) {
    Fixture f;
    f.Trace(10);
    TMainGraph& g = *f.G;
    g.SetCursorVisible(false);
    g.SetShowMarkersLine(false);
    const QImage plain = RenderView(g);
    g.SetShowMarkersLine(true);
    g.SetCursorX(4);
    const QImage shown = RenderView(g);
    EXPECT_EQ(shown, plain);
    ASSERT_FALSE(f.Cursor.empty());
    EXPECT_EQ(f.Cursor.back(), std::make_tuple(true, 4.0, 28.0));
    g.SetShowMarkersLine(false);
    RenderView(g);
    EXPECT_EQ(f.Cursor.back(), std::make_tuple(false, 0.0, 0.0));
    // Markers at the cursor need the cursor shown.
    g.MarkerAtCursor(1, false);
    EXPECT_FALSE(g.Marker(1)->Shown());
}

TEST(MainGraph, PictureWithCursorMarkersAndStart) {
    Fixture f;
    TMainDataItem* t = f.Trace(10);
    TMainGraph& g = *f.G;
    g.SetXGridsColor(clGreen);
    g.SetYGridsColor(clGreen);
    g.SetCursorX(3);
    for (auto [n, isY, x] : {std::tuple{1, false, 1.5}, {2, false, 4.0}, {2, true, 5.5}, {3, false, 8.0}}) {
        g.SetCursorX(x);
        g.MarkerAtCursor(n, isY);
    }
    g.SetCursorX(6.5);
    g.SetStart(0.8);
    EXPECT_DOUBLE_EQ(g.StartX(), 0.8);
    EXPECT_DOUBLE_EQ(t->TraceValue(15), 0.8);
    EXPECT_EQ(g.MarkersMask(), 1 | 2 | 4 | 16);

    const QImage img = RenderView(g);
    const QString dir = QStringLiteral(LUMVARIS_BINARY_DIR "/test-output");
    QDir().mkpath(dir);
    ASSERT_TRUE(img.save(dir + "/main_graph.png"));
    const TRect c = g.ContentRect();
    auto at = [&](int x, int y) { return QColor(img.pixel(x, y)); };
    // The cursor column inverts the black background to red, except where a marker stands.
    EXPECT_EQ(at(f.Px(6.5), c.Top + 5), QColor(Qt::red));
    EXPECT_EQ(at(c.Left + 5, f.Py(g.CursorY())), QColor(Qt::red));
    // The start line in yellow.
    EXPECT_EQ(at(f.Px(0.8), c.Top + 40), QColor(Qt::yellow));
    // Each glyph's head, in its own colour, above its point on the curve.
    const std::pair<const TMarker*, QColor> glyphs[] = {
        {g.Marker(1), QColor(0, 255, 0)},
        {g.Marker(2), QColor(0, 255, 255)},
        {g.YMarker(), QColor(255, 255, 0)},
        {g.Marker(3), QColor(255, 0, 255)},
    };
    for (auto [m, colour] : glyphs) {
        const QPoint head = m->Bounds().topLeft() + QPoint(2, 1);
        EXPECT_EQ(at(head.x(), head.y()), colour) << m->Label().toStdString();
        EXPECT_EQ(m->Bounds().bottom() + 1, f.Py(m->Y())) << m->Label().toStdString();
    }

    // On paper: black on white, markers as outlined glyphs, the cursor not inverted.
    g.SetMonochrome(true);
    f.G->SetPrinting(true);
    const QImage paper = RenderView(g);
    f.G->SetPrinting(false);
    g.SetMonochrome(false);
    EXPECT_EQ(g.CursorColor(), clRed);
    const QPoint m1 = g.Marker(1)->Bounds().topLeft();
    EXPECT_EQ(QColor(paper.pixel(m1)), QColor(Qt::black));                    // outline corner
    EXPECT_EQ(QColor(paper.pixel(m1 + QPoint(3, 4))), QColor(Qt::white));     // filled inside
    EXPECT_EQ(QColor(paper.pixel(f.Px(6.5), c.Top + 5)), QColor(Qt::black));  // the cursor
    EXPECT_EQ(QColor(paper.pixel(f.Px(0.8), c.Top + 40)), QColor(Qt::black)); // the start line
    EXPECT_EQ(QColor(paper.pixel(c.Left + 3, c.Bottom - 3)), QColor(Qt::white));
}

TEST(MainGraph, OverlayTicksStandOnTheActiveCurve) {
    Fixture f;
    TMainDataItem* t = f.Trace(10);
    TMainGraph& g = *f.G;
    const QColor orange(255, 128, 0);
    std::vector<bool> printing;
    int drawn = -1;
    g.OnPaintOverlay = [&](TGraphView* v, TGContentPainter& gp) {
        printing.push_back(v->Printing());
        drawn = PaintCurveTicks(gp, *t, {{2.0, "1"}, {7.5, "2"}, {12.0, "3"}}, orange, v->ContentFont().Font);
    };
    g.SetCursorX(7.5);
    const QImage img = RenderView(g);
    EXPECT_EQ(drawn, 2) << "a tick beyond the trace has no curve to stand on";
    auto at = [&](double km, int dy) { return QColor(img.pixel(f.Px(km), f.Py(*t->ValueAt(km)) + dy)); };
    for (int dy : {-kCurveTickHalf, -2, 2, kCurveTickHalf})
        EXPECT_EQ(at(2.0, dy), orange) << dy;
    EXPECT_NE(at(2.0, kCurveTickHalf + 2), orange) << "short: only across the curve";
    EXPECT_NE(QColor(img.pixel(f.Px(2.0) + 3, f.Py(*t->ValueAt(2.0)) - 3)), orange) << "one pixel wide";
    // A tick under the cursor stays whole, and the cursor's line goes on beyond it.
    EXPECT_EQ(at(7.5, -3), orange);
    EXPECT_EQ(at(7.5, -kCurveTickHalf - 3), ColorToQColor(g.CursorColor()));

    f.G->SetPrinting(true);
    RenderView(g);
    f.G->SetPrinting(false);
    EXPECT_EQ(printing, (std::vector<bool>{false, true})) << "the owner decides what goes on paper";
}

// The cursor is painted over the content, never by inverting it: where it crosses the active
// curve the curve keeps its colour (a red curve under the red cursor used to turn black along the
// cross), and next to the curves of every other colour the cursor's own line stays visible.
TEST(MainGraph, TheCursorLeavesTheActiveCurveItsColourAndStaysVisibleOverTheOthers) {
    for (const TColor curve : kDefaultColorOrder) {
        Fixture f;
        // A flat stretch under the cursor: the cross's horizontal line runs along the curve.
        const std::vector<double> levels =
            lvtest::Levels(2001, 0.005, [](double km) { return km < 4 ? 30 - km : 26.0; });
        TMainDataItem* other = AddTrace(*f.G, line(2001, 0.005, -6), 0.005);
        TMainDataItem* active = AddTrace(*f.G, levels, 0.005);
        ASSERT_EQ(f.G->ActiveTrace(), active);
        active->SetColour(curve);
        other->SetColour(curve == clRed ? clWhite : clRed);
        f.G->SetXGridsColor(clGreen); // as the main window has them
        f.G->SetYGridsColor(clGreen);
        f.G->ZoomTo({3, 20, 7, 32});
        Settle();
        f.G->SetCursorX(5);
        const TRect c = f.G->ContentRect();
        f.G->SetCursorVisible(false);
        const QImage bare = RenderView(*f.G);
        f.G->SetCursorVisible(true);
        const QImage img = RenderView(*f.G);
        const QColor mine = ColorToQColor(curve), cursor = ColorToQColor(f.G->CursorColor());
        int curvePixels = 0;
        for (int y = c.Top; y < c.Bottom; ++y)
            for (int x = c.Left; x < c.Right; ++x)
                if (QColor(bare.pixel(x, y)) == mine) {
                    ++curvePixels;
                    ASSERT_EQ(QColor(img.pixel(x, y)), mine) << std::hex << curve << " at " << x << "," << y;
                }
        EXPECT_GT(curvePixels, 300) << std::hex << curve;
        // The flat stretch lies on the cross's line: the curve shows there, the cursor beyond it.
        const int px = f.Px(5), py = f.Py(26.0);
        EXPECT_EQ(QColor(img.pixel(px + 30, py)), mine);
        EXPECT_EQ(QColor(img.pixel(px, c.Top + 3)), cursor);
        EXPECT_EQ(QColor(img.pixel(px + 1, c.Top + 3)), OverlayEdgeColor(cursor));
        // Where the other curve crosses the cursor's column the cursor stays on top, edged.
        const int crossing = f.Py(30 - 0.5 * 5 - 6);
        EXPECT_EQ(QColor(img.pixel(px, crossing)), cursor) << std::hex << curve;
        EXPECT_EQ(QColor(img.pixel(px - 1, crossing)), OverlayEdgeColor(cursor));
    }
}

// The cursor is drawn only where it stands in the content: scrolled out of the window it leaves
// no line behind (not even the cross's horizontal one), and without a trace there is none.
TEST(MainGraph, TheCursorIsDrawnOnlyInsideThePlot) {
    auto cursorPixels = [](TMainGraph& g) {
        const QImage img = RenderView(g);
        const TRect c = g.ContentRect();
        const QColor cursor = ColorToQColor(g.CursorColor());
        int n = 0;
        for (int y = c.Top; y < c.Bottom; ++y)
            for (int x = c.Left; x < c.Right; ++x)
                n += QColor(img.pixel(x, y)) == cursor;
        return n;
    };
    Fixture f;
    EXPECT_EQ(cursorPixels(*f.G), 0); // no trace
    TMainDataItem* t = f.Trace(10);
    t->SetColour(clWhite);
    f.G->SetCursorX(5);
    const TRect c = f.G->ContentRect();
    EXPECT_GE(cursorPixels(*f.G), c.Width() + c.Height() - 20);
    f.G->ZoomTo({6, 20, 9, 30}); // the cursor at 5 km lies left of the window
    Settle();
    EXPECT_EQ(cursorPixels(*f.G), 0);
    EXPECT_TRUE(std::get<0>(f.Cursor.back())); // still on the trace: the panel keeps its reading
    f.G->ZoomTo({4, 20, 7, 30});
    Settle();
    EXPECT_GT(cursorPixels(*f.G), 0);
}

// The popup menu opens from the right button at the pointer, and from the menu key or Shift+F10
// at the cursor (the content's corner while the cursor is out of sight); its owner sets the
// items first. Other keys stay the window's.
TEST(MainGraph, ThePopupOpensFromTheMouseTheMenuKeyAndShiftF10) {
    Fixture f;
    QMenu menu;
    menu.addAction(QStringLiteral("Пункт"));
    std::vector<bool> shownWhenAsked;
    f.G->OnPopup = [&](TGraphView*) { shownWhenAsked.push_back(menu.isVisible()); };
    QKeyEvent plain(QEvent::KeyPress, Qt::Key_F10, Qt::NoModifier);
    QApplication::sendEvent(f.G.get(), &plain);
    EXPECT_FALSE(plain.isAccepted());
    EXPECT_FALSE(f.G->Popup({10, 10})); // no menu yet
    f.G->SetPopupMenu(&menu);

    f.Trace(10);
    f.G->SetCursorX(4);
    const QPoint cursor(f.Px(4), f.Py(f.G->CursorY()));
    const TRect c = f.G->ContentRect();
    struct Row {
        const char* Name;
        std::function<void()> Open;
        QPoint At;
    };
    const Row rows[] = {
        {"right button",
         [&] {
             QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(100, 120), f.Port()->mapToGlobal(QPoint(100, 120)));
             QApplication::sendEvent(f.Port(), &e);
         },
         QPoint(100, 120)},
        {"menu key",
         [&] {
             QKeyEvent e(QEvent::KeyPress, Qt::Key_Menu, Qt::NoModifier);
             QApplication::sendEvent(f.G.get(), &e);
         },
         cursor},
        {"Shift+F10",
         [&] {
             QKeyEvent e(QEvent::KeyPress, Qt::Key_F10, Qt::ShiftModifier);
             QApplication::sendEvent(f.G.get(), &e);
         },
         cursor},
        {"keyboard context event, cursor scrolled away",
         [&] {
             f.G->ZoomTo({6, 20, 9, 30});
             Settle();
             QContextMenuEvent e(QContextMenuEvent::Keyboard, QPoint(), QPoint());
             QApplication::sendEvent(f.Port(), &e);
         },
         QPoint(c.Left + 2, c.Top + 2)},
    };
    for (const Row& r : rows) {
        shownWhenAsked.clear();
        r.Open();
        ASSERT_EQ(shownWhenAsked, std::vector<bool>{false}) << r.Name;
        EXPECT_TRUE(menu.isVisible()) << r.Name;
        EXPECT_EQ(menu.pos(), f.Port()->mapToGlobal(r.At)) << r.Name;
        menu.hide();
    }
}

TEST(MainGraph, SettingTheStartKeepsTheOperatorsZoom) {
    // A freshly loaded trace is fitted once; setting its start point later must not fit it again.
    Fixture f;
    TMainDataItem* t = f.Trace();
    Settle();
    f.G->ZoomTo({2.0, 26.0, 4.0, 29.0});
    Settle();
    const TRealRect zoomed = f.G->GetVisExts();
    f.G->SetCursorX(3.0);
    f.G->SetStart(f.G->CursorX());
    Settle();
    EXPECT_EQ(f.G->GetVisExts(), zoomed);
    EXPECT_NEAR(t->TraceValue(15), 3.0, 1e-9);
}

TEST(MainGraph, AGestureEndsWhenTheGraphIsHiddenOrLosesTheFocus) {
    // Inside a window that stays shown: hiding the graph alone moves no focus away from it.
    QWidget window;
    auto* g = new TMainGraph(&window);
    g->SetXMin(0);
    g->SetXMax(80);
    g->SetYMin(0);
    g->SetYMax(50);
    window.resize(900, 500);
    g->resize(880, 480);
    window.show();
    QApplication::processEvents();
    AddTrace(*g, line(2001, 0.005), 0.005);
    QWidget* port = g->viewport();
    const TRect c = g->ContentRect();

    // A zoom frame: the stores stay held until the gesture ends.
    SendMouse(port, QEvent::MouseButtonPress, {c.Left + 100, c.Top + 100}, true);
    SendMouse(port, QEvent::MouseMove, {c.Left + 200, c.Top + 200}, true);
    ASSERT_EQ(g->MouseMode(), TMainGraph::TMouseMode::ZoomFrame);
    ASSERT_EQ(g->Data().HoldDepth(), 1);
    g->setVisible(false);
    EXPECT_EQ(g->MouseMode(), TMainGraph::TMouseMode::None);
    EXPECT_EQ(g->Data().HoldDepth(), 0);
    g->setVisible(true);
    QApplication::processEvents();
    // The next press starts a gesture of its own.
    const QPoint press(c.Left + 300, c.Top + 50);
    SendMouse(port, QEvent::MouseButtonPress, press, true);
    EXPECT_EQ(g->MouseMode(), TMainGraph::TMouseMode::ZoomFrame);
    EXPECT_EQ(g->ZoomFrame().first.x(), g->Geometry().XMap().ToWorld(press.x()));
    SendMouse(port, QEvent::MouseButtonRelease, press, false);

    // Panning by a ruler ends too, and so does a cursor drag when the focus goes.
    SendMouse(port, QEvent::MouseButtonPress, {c.Left + 100, g->AreaRect(woXRuls).Top + 1}, true);
    ASSERT_EQ(g->RulerDrag(), TGraphView::TRulerDrag::Horizontal);
    g->setVisible(false);
    EXPECT_EQ(g->RulerDrag(), TGraphView::TRulerDrag::None);
    g->setVisible(true);
    QApplication::processEvents();
    SendMouse(port, QEvent::MouseButtonPress, {g->Geometry().XMap().ToPixel(g->CursorX()), c.Top + 50}, true);
    ASSERT_EQ(g->MouseMode(), TMainGraph::TMouseMode::CursorDrag);
    QFocusEvent lost(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(g, &lost);
    EXPECT_EQ(g->MouseMode(), TMainGraph::TMouseMode::None);
    EXPECT_EQ(g->Data().HoldDepth(), 0);
}
