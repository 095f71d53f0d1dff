// Graph printing beside the view: the page arithmetic, the print properties and page ranges, the
// frames of the print queue, and the output mode a view enters and leaves.

#include <gtest/gtest.h>

#include <QPicture>

#include "TraceStores.h"
#include "display/uGraphPrint.h"

using namespace lv;
using lvtest::AddTrace;
using lvtest::Fibre;

namespace {

// A page marking of frames for the queue's side.
struct FakeSink : IPictureSink {
    std::vector<TRect> Frames;
    void BeginAdd() override {}
    void EndAdd() override {}
    int FramesPerPage() const override { return int(Frames.size()); }
    TRect FrameRect(int frame) const override { return Frames.at(size_t(frame - 1)); }
    void AddPicture(std::unique_ptr<QPicture>, bool) override {}
};

} // namespace

TEST(GraphPrint, PageGridFillsColumnsByOrientation) {
    struct Row {
        int graphs;
        bool landscape;
        TPageGrid grid;
    };
    const Row rows[] = {
        {1, false, {1, 1}}, {3, false, {1, 3}}, {4, false, {2, 2}}, {8, false, {2, 4}}, {2, true, {1, 2}},
        {3, true, {2, 2}},  {6, true, {2, 3}},  {7, true, {3, 3}},  {0, false, {1, 1}}, {12, true, {3, 3}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(PageGrid(r.graphs, r.landscape), r.grid) << r.graphs << (r.landscape ? " landscape" : "");
}

TEST(GraphPrint, FramesFillThePageColumnByColumnAndPicturesAreCentred) {
    const QSize page(1001, 1402);
    const TPageGrid grid{2, 2};
    EXPECT_EQ(PageFrameRect(1, page, grid), (TRect{2, 2, 498, 699}));
    EXPECT_EQ(PageFrameRect(2, page, grid), (TRect{2, 703, 498, 1400}));
    EXPECT_EQ(PageFrameRect(3, page, grid), (TRect{502, 2, 998, 699}));

    // A picture twice as wide as high in a tall frame: the width sets the scale, centred in height.
    EXPECT_EQ(FitPictureRect({0, 0, 300, 400}, QSize(600, 300)), (TRect{0, 125, 300, 275}));
    // Sizes are truncated (300 / 7 is 42.86); an empty picture has no place.
    EXPECT_EQ(FitPictureRect({10, 10, 110, 110}, QSize(3, 7)), (TRect{39, 10, 81, 110}));
    EXPECT_TRUE(FitPictureRect({0, 0, 100, 100}, QSize(0, 5)).IsEmpty());

    // A queue picture is 5/4 of the view wide and takes its frame's proportions, never lower than
    // the view.
    EXPECT_EQ(QueuePictureRect(QSize(800, 400), TRect{10, 10, 190, 97}), (TRect{0, 0, 1000, 483}));
    EXPECT_EQ(QueuePictureRect(QSize(800, 400), TRect{10, 10, 260, 100}), (TRect{0, 0, 1000, 400}));
}

TEST(GraphPrint, PreparedItemsGivePagesAndQueueFrames) {
    TGraphView v;
    lvtest::SizeContent(v, 800, 400);
    std::vector<TGDataItem*> traces;
    for (int i = 0; i < 5; ++i)
        traces.push_back(AddTrace(v, Fibre(200, unsigned(i + 1)), 0.01));
    new TMainDataItem(&v.Data()); // no data: never printed

    TGraphPrintSettings s;
    s.SetGraphsOnPage(4);
    s.PreparePrint(v);
    ASSERT_EQ(s.PrintItems().size(), 5u);
    EXPECT_EQ(s.PrintItems().front(), v.Data().Item(1)); // the list's order, the empty item skipped
    EXPECT_EQ(s.PageCount(), 2);
    EXPECT_EQ(s.FirstPage(), 1);
    EXPECT_EQ(s.LastPage(), 2);

    s.PreparePrint(v, {traces[0], nullptr, traces[2]});
    EXPECT_EQ(s.PrintItems(), (std::vector<TGDataItem*>{traces[0], traces[2]}));
    EXPECT_EQ(s.PageCount(), 1);

    // Page range rules.
    s.PreparePrint(v);
    s.SetFirstPage(5);
    EXPECT_EQ(s.FirstPage(), 2);
    s.SetFirstPage(0);
    EXPECT_EQ(s.FirstPage(), 1);
    s.SetFirstPage(2);
    s.SetLastPage(1);
    EXPECT_EQ(s.LastPage(), 2);
    s.SetLastPage(9);
    EXPECT_EQ(s.LastPage(), 2);

    // Setter limits.
    s.SetGraphsOnPage(0);
    EXPECT_EQ(s.GraphsOnPage(), 1);
    s.SetGraphsOnPage(9);
    EXPECT_EQ(s.GraphsOnPage(), 8);
    s.SetGroupGraphsOnPrint(-3);
    EXPECT_EQ(s.GroupGraphsOnPrint(), 1);
    s.SetPrintCopies(0);
    EXPECT_EQ(s.PrintCopies(), 1);

    // The queue: a marking of 2 frames, 2 traces drawn together per frame, pages 1..2 of the
    // prepared range: groups start at 0, 2, 4 and stop when the traces run out.
    FakeSink sink;
    sink.Frames = {{10, 10, 190, 142}, {10, 145, 190, 277}};
    s.SetGraphsOnPage(4);
    s.SetGroupGraphsOnPrint(2);
    s.PreparePrint(v);
    std::vector<int> starts;
    for (const auto& f : s.QueueFrames(QSize(800, 400), sink)) {
        starts.push_back(f.StartIndex);
        EXPECT_EQ(f.PictureRect, QueuePictureRect(QSize(800, 400), sink.Frames[starts.size() % 2 ? 0 : 1]));
    }
    EXPECT_EQ(starts, (std::vector<int>{0, 2, 4}));
    s.SetFirstPage(2);
    const auto second = s.QueueFrames(QSize(800, 400), sink); // the queue's page 2: one group left
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].StartIndex, 4);
    sink.Frames.clear();
    s.SetFirstPage(1);
    EXPECT_TRUE(s.QueueFrames(QSize(800, 400), sink).empty()); // no marking: nothing
}

TEST(GraphPrint, OutputModeIsBlackOnWhiteAndLeavesTheViewAsItWas) {
    lvtest::TestView v;
    lvtest::SizeContent(v, 400, 300);
    v.SetContentBkColor(clGreen);
    v.SetHeaderShowGraphColor(true);
    for (bool alreadyMonochrome : {false, true}) {
        if (alreadyMonochrome) v.SetMonochrome(true);
        const TColor background = v.ContentBkColor();
        {
            TGraphOutputMode mode(v);
            EXPECT_TRUE(v.Printing());
            EXPECT_TRUE(v.Monochrome());
            EXPECT_EQ(v.ContentBkColor(), clWhite);
            EXPECT_FALSE(v.HeaderShowGraphColor());
            EXPECT_EQ(v.UpdateCount(), 1);
            EXPECT_FALSE(v.updatesEnabled());
        }
        EXPECT_FALSE(v.Printing());
        EXPECT_EQ(v.Monochrome(), alreadyMonochrome);
        EXPECT_EQ(v.ContentBkColor(), background);
        EXPECT_TRUE(v.HeaderShowGraphColor());
        EXPECT_EQ(v.UpdateCount(), 0);
        EXPECT_TRUE(v.updatesEnabled());
    }
}
