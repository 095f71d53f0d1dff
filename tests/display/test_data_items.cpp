// Curves of a graph view: the item list with its active item, colours, order, notices and
// adoption of extents; the item's painting and reading of values; the main data item's doorway
// into its trace store.

#include <gtest/gtest.h>

#include <memory>

#include "TraceStores.h"
#include "ViewFixture.h"
#include "display/uGraphsCmps.h"

using namespace lv;
using lvtest::AddTrace;
using lvtest::Fibre;
using lvtest::FillTrace;
using lvtest::RenderView;
using lvtest::Settle;

namespace {

// A view that counts the reports of new trace values.
class CurveView : public TGraphView {
public:
    int ValueReports = 0;
    void ItemValuesChanged(TGDataItem*) override { ++ValueReports; }
};

std::unique_ptr<CurveView> shownView(int w = 800, int h = 400) {
    auto v = std::make_unique<CurveView>();
    lvtest::SizeContent(*v, w, h);
    return v;
}

std::vector<double> ramp(int n) { // 10, 11, 12, ...
    std::vector<double> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        v[size_t(i)] = 10.0 + i;
    return v;
}

} // namespace

TEST(DataItems, ColoursComeInOrderAndFreedOnesComeBack) {
    auto v = shownView();
    TMainDataItem* white = AddTrace(*v, Fibre(100), 0.01);
    TMainDataItem* red = AddTrace(*v, Fibre(100), 0.01);
    TMainDataItem* yellow = AddTrace(*v, Fibre(100), 0.01);
    EXPECT_EQ(white->Colour(), clWhite);
    EXPECT_EQ(red->Colour(), clRed);
    EXPECT_EQ(yellow->Colour(), clYellow);
    delete white;
    EXPECT_EQ(AddTrace(*v, Fibre(100), 0.01)->Colour(), clWhite);

    // On a white background white counts as taken by everybody.
    auto paper = shownView();
    paper->SetContentBkColor(clWhite);
    EXPECT_EQ(AddTrace(*paper, Fibre(100), 0.01)->Colour(), clRed);
    EXPECT_EQ(AddTrace(*paper, Fibre(100), 0.01)->Colour(), clYellow);
}

TEST(DataItems, ActiveItemCyclesAndTheHeaderFollows) {
    auto v = shownView();
    v->SetHeaderContent(hcCaption);
    const std::vector<double> same = Fibre(2000);
    TMainDataItem* a = AddTrace(*v, same, 0.005, 0, "Трасса А");
    EXPECT_EQ(v->Data().ActiveItem(), a);
    TMainDataItem* b = AddTrace(*v, same, 0.005, 0, "Трасса Б");
    // The newer trace is in front and active; its curve is drawn last, on top.
    EXPECT_EQ(v->Data().Item(0), b);
    EXPECT_EQ(v->Data().ActiveItem(), b);
    EXPECT_EQ(v->HeaderText(), "Трасса Б");
    // The curves coincide: only the one drawn last shows.
    auto topColour = [&] {
        const QImage img = RenderView(*v);
        const TRect c = v->ContentRect();
        int seenA = 0, seenB = 0;
        for (int y = c.Top; y < c.Bottom; ++y)
            for (int x = c.Left; x < c.Right; ++x) {
                seenA += QColor(img.pixel(x, y)) == ColorToQColor(a->Colour());
                seenB += QColor(img.pixel(x, y)) == ColorToQColor(b->Colour());
            }
        EXPECT_TRUE(seenA == 0 || seenB == 0) << seenA << " " << seenB;
        return seenA > 0 ? ColorToQColor(a->Colour()) : ColorToQColor(b->Colour());
    };
    EXPECT_EQ(topColour(), ColorToQColor(b->Colour()));

    v->SetShowChanger(true);
    ASSERT_NE(v->Changer(), nullptr);
    EXPECT_TRUE(v->Changer()->isEnabled());
    v->Changer()->Click(true); // up: the active trace goes to the end
    EXPECT_EQ(v->Data().ActiveItem(), a);
    EXPECT_EQ(v->Data().Item(1), b);
    EXPECT_EQ(v->HeaderText(), "Трасса А");
    EXPECT_EQ(topColour(), ColorToQColor(a->Colour()));
    v->Data().CycleItems(false); // down: the last trace with data comes to the front
    EXPECT_EQ(v->Data().ActiveItem(), b);

    // A store detached from the active item leaves the next item active; with none the header
    // has neither caption nor swatch and the changer is disabled.
    b->SetStorage(nullptr);
    Settle();
    EXPECT_EQ(v->Data().ActiveItem(), a);
    EXPECT_EQ(v->HeaderText(), "Трасса А");
    a->SetStorage(nullptr);
    Settle();
    EXPECT_EQ(v->Data().ActiveItem(), nullptr);
    EXPECT_TRUE(v->HeaderText().isEmpty());
    EXPECT_FALSE(v->Changer()->isEnabled());
    // Cycling needs two traces with data.
    v->Data().CycleItems(true);
    EXPECT_EQ(v->Data().Item(0), b);

    QWidget stranger;
    EXPECT_THROW(v->Changer()->SetParentView(&stranger), EInvalidOperation);
}

// Notices are posted with the item's serial number and looked up when they arrive: an item that
// moved is found at its new place, one that is gone is not reported at all.
TEST(DataItems, PostedNoticesNameTheItemNotItsIndex) {
    TGraphView v;
    std::vector<std::pair<int, int>> changes;
    v.Data().AfterChange = [&](TGData*, int code, int index) { changes.push_back({code, index}); };

    auto* first = new TRDataStorage(nullptr);
    auto* a = new TGDataItem(&v.Data());
    a->SetStorage(first);
    FillTrace(first, Fibre(50), 0.01);
    new TGDataItem(&v.Data()); // in front now: `a` moved to index 1
    auto* second = new TRDataStorage(nullptr);
    auto* gone = new TGDataItem(&v.Data());
    gone->SetStorage(second);
    FillTrace(second, Fibre(50), 0.01);
    delete gone; // its notices are still queued
    changes.clear();
    Settle();

    int dataChanges = 0;
    for (auto [code, index] : changes) {
        if (code != icDataChanged) continue;
        ++dataChanges;
        EXPECT_EQ(v.Data().Item(index), a) << index;
    }
    EXPECT_GE(dataChanges, 2); // attached, setup and data of the first store
    EXPECT_EQ(v.Data().ActiveItem(), a);
}

TEST(DataItems, ValueAtReadsTheCurveBetweenItsEnds) {
    auto v = shownView();
    // Samples 10, 11, ... 110 from 1 km, 0.01 km apart: the last sample is at 2 km.
    TMainDataItem* item = AddTrace(*v, ramp(101), 0.01, 1.0);
    const double last = item->Extents().XMax;
    ASSERT_NEAR(last, 2.0, 1e-9);
    struct Row {
        double x;
        std::optional<double> value;
    };
    const double step = item->Step();
    const Row rows[] = {
        {1.0, 10.0},
        {1.0 + 2.5 * step, 12.5},
        {last, 110.0},                            // exactly the last sample
        {std::nextafter(1.0, 0.0), std::nullopt}, // just left of the first sample
        {last + step / 10, std::nullopt},
    };
    for (const Row& r : rows) {
        auto got = item->ValueAt(r.x);
        ASSERT_EQ(got.has_value(), r.value.has_value()) << r.x;
        if (r.value) {
            EXPECT_NEAR(*got, *r.value, 1e-9) << r.x;
        }
    }
    EXPECT_EQ(item->ValueAt(last), 110.0);

    // Beyond the last usable index the curve keeps that sample's value.
    item->Trace()->SetLastIndex(50);
    Settle();
    EXPECT_EQ(item->LastIndex(), 50);
    EXPECT_NEAR(*item->ValueAt(1.9), 60.0, 1e-9);
}

TEST(DataItems, ACurveOutsideTheWindowReadsNoSamples) {
    auto v = shownView();
    auto* store = new lvtest::CountingTrace(nullptr);
    AddTrace(*v, Fibre(5000), 0.002, 10.0, "", store); // 10 .. 20 km
    v->ZoomTo({0, 0, 5, 40});
    RenderView(*v); // the world has grown to the left; the curve is out of sight
    store->Locks = 0;
    RenderView(*v);
    EXPECT_EQ(store->Locks, 0);
    v->ZoomTo({12, 0, 14, 40});
    RenderView(*v);
    EXPECT_EQ(store->Locks, 1);
}

TEST(DataItems, SelfMethodIsTheStoresOwn) {
    auto v = shownView(400, 300);
    TMainDataItem* item = AddTrace(*v, Fibre(40000, 5), 0.001);
    for (uint8_t own : {uint8_t(dmEliminate), uint8_t(dmAverage), uint8_t(dmMax), uint8_t(dmLinkLine)}) {
        item->Trace()->SetDisplayMethod(own);
        Settle();
        ASSERT_EQ(item->OwnDisplayMethod(), own);
        v->SetDisplayMethod(dmSelf);
        const QImage self = RenderView(*v);
        v->SetDisplayMethod(TDisplayMethod(own));
        EXPECT_EQ(self, RenderView(*v)) << int(own);
        v->SetDisplayMethod(TDisplayMethod((own + 1) % 4));
        EXPECT_NE(self, RenderView(*v)) << int(own);
    }
}

TEST(DataItems, NewDataFitOrOnlyGrowTheWorld) {
    auto v = shownView();
    TMainDataItem* near = AddTrace(*v, Fibre(1001), 0.01); // 0 .. 10 km
    EXPECT_NEAR(v->GetVisExts().XMin, 0.0, 0.02);
    EXPECT_NEAR(v->GetVisExts().XMax, 10.0, 0.02);

    // A second trace comes in front, becomes active and is fitted; the world holds both.
    TMainDataItem* far = AddTrace(*v, Fibre(2501), 0.01, 5.0); // 5 .. 30 km
    EXPECT_EQ(v->Data().ActiveItem(), far);
    EXPECT_LE(v->XMin(), 0.0);
    EXPECT_GE(v->XMax(), 30.0 - 1e-9);
    const double px = 25.0 / 800;
    EXPECT_NEAR(v->GetVisExts().XMin, 5.0, px);
    EXPECT_NEAR(v->GetVisExts().XMax, 30.0, px);

    // New data for the trace that is neither sole nor active only grow the world.
    const TRealRect window = v->GetVisExts();
    FillTrace(near->Trace(), Fibre(5001), 0.01); // 0 .. 50 km
    Settle();
    EXPECT_GE(v->XMax(), 50.0 - 1e-9);
    EXPECT_NEAR(v->GetVisExts().XMin, window.XMin, px);
    EXPECT_NEAR(v->GetVisExts().XMax, window.XMax, px);
}

TEST(DataItems, MainDataItemReadsAndWritesItsTrace) {
    auto v = shownView();
    // Without data every read is neutral and writes do nothing harmful.
    auto* empty = new TMainDataItem(&v->Data());
    EXPECT_EQ(empty->CursorPos(), -1.0);
    EXPECT_EQ(empty->MarkerPos(0), -1.0);
    EXPECT_EQ(empty->TraceValue(1), 0.0);
    EXPECT_EQ(empty->ApproxMode(), 1);
    empty->SetMarkerPos(0, 1.0);
    empty->SetReference(1.0);
    EXPECT_EQ(v->ValueReports, 0);
    delete empty;

    TMainDataItem* item = AddTrace(*v, Fibre(2001), 0.005, 0, "Волокно 1"); // 0 .. 10 km
    TRDataStorage* t = item->Trace();
    item->SetMarkerPos(0, 1.0);
    item->SetMarkerPos(1, 4.0);
    item->SetMarkerPos(2, 9.0);
    item->SetMarkerPos(4, 5.0);
    item->SetCursorPos(2.5);
    EXPECT_DOUBLE_EQ(item->MarkerPos(4), 5.0);
    EXPECT_DOUBLE_EQ(item->CursorPos(), 2.5);
    EXPECT_DOUBLE_EQ(item->TraceValue(1), 3.0);
    EXPECT_DOUBLE_EQ(item->TraceValue(3), 5.0);
    const std::pair<int, double> kinds[] = {
        {2, t->SectionLoss12},
        {4, t->SectionLoss23},
        {5, t->Slope12},
        {6, t->Intercept12},
        {7, t->Slope23},
        {8, t->Intercept23},
        {9, t->JointLoss},
        {10, t->WaveLengthUm},
        {12, t->RefIndex},
        {13, t->AttenuatorDb},
        {14, t->RangeKm},
        {11, 0.0},
        {16, 0.0},
        {0, 0.0},
    };
    for (auto [kind, expected] : kinds)
        EXPECT_EQ(item->TraceValue(kind), expected) << kind;
    EXPECT_NE(item->TraceValue(5), 0.0);

    // Start point: none for a negative value, shown by kind 15.
    item->SetReference(-2);
    EXPECT_EQ(t->Param(prmREF).AsDouble(), -1.0);
    EXPECT_EQ(item->TraceValue(15), 0.0);
    item->SetReference(0.75);
    EXPECT_DOUBLE_EQ(item->TraceValue(15), 0.75);
    item->SetApproxMode(5);
    EXPECT_EQ(item->ApproxMode(), 1);
    item->SetApproxMode(-3);
    EXPECT_EQ(item->ApproxMode(), 0);
    item->SetRefractiveIndex(1.47);
    EXPECT_DOUBLE_EQ(item->TraceValue(12), 1.47);
    EXPECT_EQ(v->ValueReports, 5);

    item->SetTextParam("cid", "Кабель 7");
    EXPECT_EQ(item->GetTextParam("CID"), "Кабель 7");
    EXPECT_EQ(item->AveragingText(), QString::fromStdString(t->AverageModeText));
    // The caption goes into the store's label.
    item->SetCaption("Волокно 2");
    Settle();
    EXPECT_EQ(t->GetComment(), "Волокно 2");
    EXPECT_EQ(item->Caption(), "Волокно 2");
}
