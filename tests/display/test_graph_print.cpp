// Graph printing beside the view: the page arithmetic, the print properties and page ranges, the
// queue's frames, the output mode, and printing on a recording printer (sheets, frames, copies,
// grouping, the view left as it was after a failure).

#include <gtest/gtest.h>

#include <QFile>
#include <QPicture>
#include <QTimer>

#include "TraceStores.h"
#include "display/uGraphPrint.h"
#include "support/RecordingPrinter.h"
#include "support/TempDir.h"

using namespace lv;
using lvtest::AddTrace;
using lvtest::Fibre;
using lvtest::RecordedPage;
using lvtest::RecordingPrinter;

namespace {

// A page marking of frames for the queue's side.
struct FakeSink : IPictureSink {
    std::vector<TRect> Frames;
    std::vector<std::unique_ptr<QPicture>> Pictures;
    int Waiting = 0;
    void BeginAdd() override {}
    void EndAdd(bool) override {}
    int Count() const override { return Waiting + int(Pictures.size()); }
    int FramesPerPage() const override { return int(Frames.size()); }
    TRect FrameRect(int frame) const override { return Frames.at(size_t(frame - 1)); }
    void AddPicture(std::unique_ptr<QPicture> p, bool) override { Pictures.push_back(std::move(p)); }
};

// A main graph as the main window sets it up, with `n` traces captioned "Трасса 1" … (the last
// one added is the first in the list, and active).
struct PrintFixture {
    TMainGraph G;
    std::vector<TMainDataItem*> Traces; // in the order added
    explicit PrintFixture(int n) {
        G.SetHeaderContent(hcCaption);
        lvtest::SizeContent(G, 600, 300);
        for (int i = 0; i < n; ++i)
            Traces.push_back(AddTrace(G, Fibre(300 + 40 * i, unsigned(i + 1)), 0.01, 0,
                                      "Трасса " + std::to_string(i + 1)));
    }
    // The captions in print order (the list's order).
    QString Caption(int listIndex) const { return G.Data().Item(listIndex)->Caption(); }
};

// The cell of frame k on a printer's sheet, as the graph lays it out.
QRectF Cell(const RecordingPrinter& p, int graphsOnPage, int k) {
    const TPageGrid grid = PageGrid(graphsOnPage, p.CanOrient() && p.Orient == TPrintOrientation::Landscape);
    return PageFrameRect(k, p.PageSize(), grid).ToQRect();
}

// The captions a sheet shows, each with the frame it lies in (0: none).
std::vector<std::pair<QString, int>> CaptionsByFrame(const RecordedPage& page, const RecordingPrinter& p,
                                                     int graphsOnPage, const QStringList& captions) {
    std::vector<std::pair<QString, int>> found;
    for (const QString& c : captions)
        for (const QRectF& box : page.Boxes(c)) {
            int frame = 0;
            for (int k = 1; k <= graphsOnPage; ++k)
                if (Cell(p, graphsOnPage, k).contains(box.center())) frame = k;
            found.emplace_back(c, frame);
        }
    return found;
}

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

TEST(GraphPrint, PageCountsIncludeTheGrouping) {
    struct Row {
        int items, graphsOnPage, group, pages;
    };
    // Without the grouping 5 traces, 2 a sheet and 2 a frame would make 3 sheets, the last blank.
    const Row rows[] = {{5, 4, 1, 2}, {0, 4, 1, 0}, {4, 2, 2, 1}, {5, 2, 2, 2}, {8, 8, 1, 1},
                        {9, 8, 1, 2}, {3, 1, 3, 1}, {7, 3, 2, 2}, {1, 0, 0, 1}};
    for (const Row& r : rows)
        EXPECT_EQ(PrintPageCount(r.items, r.graphsOnPage, r.group), r.pages)
            << r.items << " items, " << r.graphsOnPage << " a sheet, " << r.group << " a frame";
}

TEST(GraphPrint, PreparedItemsGivePagesAndTheRangeRules) {
    TGraphView v;
    lvtest::SizeContent(v, 800, 400);
    std::vector<TGDataItem*> traces;
    for (int i = 0; i < 5; ++i)
        traces.push_back(AddTrace(v, Fibre(200, unsigned(i + 1)), 0.01));
    new TMainDataItem(&v.Data()); // no data: never printed

    TGraphPrintSettings& s = v.PrintSettings();
    s.SetGraphsOnPage(4);
    v.PreparePrint();
    ASSERT_EQ(s.PrintCount(), 5);
    EXPECT_EQ(s.PrintItem(0), v.Data().Item(1)); // the list's order, the empty item skipped
    EXPECT_EQ(s.PageCount(), 2);
    EXPECT_EQ(s.FirstPage(), 1);
    EXPECT_EQ(s.LastPage(), 2);

    v.PreparePrint({traces[0], nullptr, traces[2]});
    EXPECT_EQ(s.PrintItems(), (std::vector<TGDataItem*>{traces[0], traces[2]}));
    EXPECT_EQ(s.PageCount(), 1);

    // Page range rules.
    v.PreparePrint();
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

    // A trace closed after the preparation is gone from the print, not left dangling.
    delete traces[2];
    EXPECT_EQ(s.PrintItem(2), nullptr);
    s.SetGroupGraphsOnPrint(2);
    EXPECT_EQ(s.PrintGroupAt(2), (std::vector<TGDataItem*>{s.PrintItem(3)}));

    // Nothing to print: no sheet is offered.
    TGraphView empty;
    empty.PreparePrint();
    EXPECT_EQ(empty.PrintSettings().PageCount(), 0);
    EXPECT_EQ(empty.PrintSettings().LastPage(), 0);
}

TEST(GraphPrint, EveryItemGoesToTheQueueWhateverTheSheetsOfTheGraph) {
    TGraphView v;
    lvtest::SizeContent(v, 800, 400);
    for (int i = 0; i < 5; ++i)
        AddTrace(v, Fibre(200, unsigned(i + 1)), 0.01);
    const QSize view(800, 400);
    const TRect tall{10, 10, 190, 277}, flat{10, 10, 260, 100};

    struct Row {
        int graphsOnPage, group, waiting;
        std::vector<TRect> frames;
        std::vector<int> starts;
        std::vector<TRect> shapes; // the frame each picture is shaped after
    };
    const Row rows[] = {
        // 3 graphs a sheet, "1 кадр": the graph's 2 sheets once took only 2 of the 5 traces.
        {3, 1, 0, {flat}, {0, 1, 2, 3, 4}, {flat, flat, flat, flat, flat}},
        // Two a frame: groups start at 0, 2, 4.
        {4, 2, 0, {tall, flat}, {0, 2, 4}, {tall, flat, tall}},
        // One picture waits: the first new one lands in the second frame.
        {1, 2, 1, {tall, flat}, {0, 2, 4}, {flat, tall, flat}},
        // No marking: nothing.
        {1, 1, 0, {}, {}, {}},
    };
    for (const Row& r : rows) {
        FakeSink sink;
        sink.Frames = r.frames;
        sink.Waiting = r.waiting;
        v.PrintSettings().SetGraphsOnPage(r.graphsOnPage);
        v.PrintSettings().SetGroupGraphsOnPrint(r.group);
        v.PreparePrint();
        std::vector<int> starts;
        std::vector<TRect> shapes;
        for (const auto& f : v.PrintSettings().QueueFrames(view, sink)) {
            starts.push_back(f.StartIndex);
            shapes.push_back(f.PictureRect);
        }
        std::vector<TRect> expected;
        for (const TRect& frame : r.shapes)
            expected.push_back(QueuePictureRect(view, frame));
        EXPECT_EQ(starts, r.starts) << r.graphsOnPage << " " << r.group << " " << r.waiting;
        EXPECT_EQ(shapes, expected) << r.graphsOnPage << " " << r.group << " " << r.waiting;

        v.PrintToQueue(sink);
        EXPECT_EQ(sink.Pictures.size(), r.starts.size());
        for (const auto& p : sink.Pictures)
            EXPECT_EQ(PictureSize(*p), v.ClientRect().size());
    }
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

TEST(GraphPrint, SheetsCarryTheirFramesCellByCell) {
    struct Row {
        int traces, graphsOnPage;
        TPrintOrientation orientation;
        std::vector<std::vector<int>> sheets; // the list indices on each sheet, frame by frame
    };
    const Row rows[] = {
        {5, 4, TPrintOrientation::Portrait, {{0, 1, 2, 3}, {4}}},
        {3, 3, TPrintOrientation::Landscape, {{0, 1, 2}}}, // two columns of two rows
        {3, 3, TPrintOrientation::Portrait, {{0, 1, 2}}},  // one column of three
        {2, 1, TPrintOrientation::Portrait, {{0}, {1}}},
    };
    for (const Row& r : rows) {
        PrintFixture f(r.traces);
        RecordingPrinter printer;
        printer.Orient = r.orientation;
        f.G.PrintSettings().SetGraphsOnPage(r.graphsOnPage);
        f.G.PrintSettings().SetPrintOrientation(r.orientation);
        f.G.PreparePrint();
        f.G.PrintGraphs(printer);
        ASSERT_EQ(printer.Submitted, 1);
        ASSERT_EQ(printer.Pages.size(), r.sheets.size()) << r.traces << " traces, " << r.graphsOnPage;
        QStringList all;
        for (int i = 0; i < r.traces; ++i)
            all << f.Caption(i);
        for (size_t s = 0; s < r.sheets.size(); ++s) {
            std::vector<std::pair<QString, int>> expected;
            for (size_t k = 0; k < r.sheets[s].size(); ++k)
                expected.emplace_back(f.Caption(r.sheets[s][k]), int(k + 1));
            auto found = CaptionsByFrame(printer.Pages[s], printer, r.graphsOnPage, all);
            std::sort(found.begin(), found.end(), [](auto& a, auto& b) { return a.second < b.second; });
            EXPECT_EQ(found, expected)
                << "sheet " << s + 1 << " of " << r.traces << " traces, " << r.graphsOnPage;
        }
    }
}

TEST(GraphPrint, CopiesAreMadeByHandSheetBySheetWhenThePrinterCannot) {
    struct Row {
        bool makesCopies, refuses;
        int sheets;
    };
    const Row rows[] = {{true, false, 2}, {false, false, 4}, {true, true, 4}};
    for (const Row& r : rows) {
        PrintFixture f(3);
        RecordingPrinter printer;
        printer.MakesCopies = r.makesCopies;
        printer.RefusesCopies = r.refuses;
        f.G.PrintSettings().SetGraphsOnPage(2);
        f.G.PrintSettings().SetPrintCopies(2);
        f.G.PreparePrint();
        f.G.PrintGraphs(printer);
        ASSERT_EQ(printer.Pages.size(), size_t(r.sheets));
        const QStringList all{f.Caption(0), f.Caption(1), f.Caption(2)};
        std::vector<int> firstFrames; // the list index in frame 1 of each sheet
        for (const RecordedPage& page : printer.Pages)
            for (const auto& [caption, frame] : CaptionsByFrame(page, printer, 2, all))
                if (frame == 1) firstFrames.push_back(int(all.indexOf(caption)));
        const std::vector<int> expected =
            r.sheets == 2 ? std::vector<int>{0, 2} : std::vector<int>{0, 0, 2, 2};
        EXPECT_EQ(firstFrames, expected) << r.makesCopies << r.refuses;
        // The printer makes the copies, or is left at one.
        EXPECT_EQ(printer.Copies, r.sheets == 2 ? 2 : 1);
    }
}

TEST(GraphPrint, GroupingDrawsTheFollowingCurvesUnderTheFirstCaption) {
    PrintFixture f(3);
    RecordingPrinter printer;
    f.G.PrintSettings().SetGraphsOnPage(2);
    f.G.PrintSettings().SetGroupGraphsOnPrint(2);
    f.G.PreparePrint();
    EXPECT_EQ(f.G.PrintSettings().PageCount(), 1);
    f.G.PrintGraphs(printer);
    ASSERT_EQ(printer.Pages.size(), 1u);
    const RecordedPage& page = printer.Pages[0];
    const QStringList all{f.Caption(0), f.Caption(1), f.Caption(2)};
    // Frame 1: the first trace's caption over its own curve and the second's; frame 2: the third.
    EXPECT_EQ(CaptionsByFrame(page, printer, 2, all),
              (std::vector<std::pair<QString, int>>{{all[0], 1}, {all[2], 2}}));
    EXPECT_EQ(page.CurvesIn(Cell(printer, 2, 1)), 2);
    EXPECT_EQ(page.CurvesIn(Cell(printer, 2, 2)), 1);
}

TEST(GraphPrint, EachFrameShowsItsOwnTracesMarkersAndTheGraphKeepsItsOwn) {
    PrintFixture f(2);
    TMainDataItem* active = f.Traces[1];
    TMainDataItem* other = f.Traces[0];
    ASSERT_EQ(f.G.ActiveTrace(), active);
    other->SetMarkerPos(0, 1.0); // M1 of the other trace only
    f.G.PlaceMarker(2, false, 2.0);
    ASSERT_TRUE(f.G.Marker(2)->Shown());

    RecordingPrinter printer;
    f.G.PrintSettings().SetGraphsOnPage(2);
    f.G.PreparePrint();
    f.G.PrintGraphs(printer);
    ASSERT_EQ(printer.Pages.size(), 1u);
    auto labelsIn = [&](int frame, const QString& label) {
        int n = 0;
        for (const QRectF& box : printer.Pages[0].Boxes(label))
            n += Cell(printer, 2, frame).contains(box.center());
        return n;
    };
    EXPECT_EQ(labelsIn(1, QStringLiteral("2")), 1); // the active trace's M2
    EXPECT_EQ(labelsIn(1, QStringLiteral("1")), 0);
    EXPECT_EQ(labelsIn(2, QStringLiteral("1")), 1); // the other trace's M1
    EXPECT_EQ(labelsIn(2, QStringLiteral("2")), 0);

    EXPECT_TRUE(f.G.Marker(2)->Shown());
    EXPECT_DOUBLE_EQ(f.G.Marker(2)->X(), 2.0);
    EXPECT_FALSE(f.G.Marker(1)->Shown());
    EXPECT_EQ(active->MarkerPos(0), -1.0);
}

TEST(GraphPrint, AFailureAbortsTheJobAndLeavesTheViewAsItWas) {
    enum class Failure { AfterFrame, NewPage, NoPrinter };
    for (Failure failure : {Failure::AfterFrame, Failure::NewPage, Failure::NoPrinter}) {
        PrintFixture f(3);
        f.G.SetContentBkColor(clBlack);
        f.G.SetHeaderShowGraphColor(true);
        f.G.SetCursorX(1.5);
        f.G.PlaceMarker(1, false, 1.0);
        const TRealRect exts = f.G.GetExts(), vis = f.G.GetVisExts();
        TGDataItem* active = f.G.Data().ActiveItem();

        RecordingPrinter printer;
        printer.FailsToBegin = failure == Failure::NoPrinter;
        printer.FailNewPageAt = failure == Failure::NewPage ? 1 : 0;
        int frames = 0;
        f.G.OnAfterCreateMetafile = [&](TGraphView*, std::unique_ptr<QPicture>&, TGDataItem*, TRect&) {
            if (failure == Failure::AfterFrame && ++frames == 2) throw Exception("кадр не собран");
        };
        f.G.PrintSettings().SetGraphsOnPage(2);
        f.G.PreparePrint();
        try {
            f.G.PrintGraphs(printer);
            ADD_FAILURE() << "no failure reported";
        } catch (const EPrintError& e) {
            EXPECT_NE(failure, Failure::AfterFrame);
            if (failure == Failure::NoPrinter) {
                EXPECT_EQ(e.Message(), kMsgPrinterNotReady);
            }
        } catch (const Exception& e) {
            EXPECT_EQ(failure, Failure::AfterFrame);
            EXPECT_EQ(e.Message(), "кадр не собран");
        }
        EXPECT_EQ(printer.Submitted, 0);
        EXPECT_EQ(printer.Aborted, failure == Failure::NoPrinter ? 0 : 1);
        EXPECT_FALSE(printer.InJob());

        EXPECT_FALSE(f.G.Printing());
        EXPECT_FALSE(f.G.Monochrome());
        EXPECT_EQ(f.G.ContentBkColor(), clBlack);
        EXPECT_EQ(f.G.CursorColor(), clRed);
        EXPECT_TRUE(f.G.HeaderShowGraphColor());
        EXPECT_EQ(f.G.UpdateCount(), 0);
        EXPECT_TRUE(f.G.updatesEnabled());
        EXPECT_TRUE(f.G.PrintGroup().empty());
        EXPECT_EQ(f.G.Data().ActiveItem(), active);
        EXPECT_EQ(f.G.Data().Item(0), active);
        EXPECT_EQ(f.G.GetExts(), exts);
        EXPECT_EQ(f.G.GetVisExts(), vis);
        EXPECT_DOUBLE_EQ(f.G.CursorX(), 1.5);
        EXPECT_TRUE(f.G.Marker(1)->Shown());
        EXPECT_DOUBLE_EQ(f.G.Marker(1)->X(), 1.0);
    }
}

TEST(GraphPrint, NothingToPrintStartsNoJobAndAClosedTraceIsLeftOut) {
    PrintFixture none(0);
    RecordingPrinter printer;
    none.G.PreparePrint();
    none.G.PrintGraphs(printer);
    EXPECT_TRUE(printer.Calls.empty()); // not even a blank sheet
    FakeSink sink;
    sink.Frames = {{10, 10, 190, 142}};
    none.G.PrintToQueue(sink);
    EXPECT_TRUE(sink.Pictures.empty());

    // A trace that goes while the output takes pending notices in is not printed, nor touched.
    PrintFixture f(3);
    f.G.PrintSettings().SetGraphsOnPage(4);
    f.G.PreparePrint();
    const QString gone = f.Caption(1);
    TMainDataItem* victim = f.Traces[1];
    QTimer::singleShot(0, [victim] { delete victim; });
    f.G.PrintGraphs(printer);
    ASSERT_EQ(printer.Pages.size(), 1u);
    EXPECT_TRUE(printer.Pages[0].Boxes(gone).empty());
    EXPECT_EQ(printer.Pages[0].Boxes(f.Caption(0)).size(), 1u);
    EXPECT_EQ(printer.Pages[0].Boxes(f.Caption(1)).size(), 1u);
}

TEST(GraphPrint, APictureFileHoldsTheOneTraceAsASixteenColourBitmap) {
    lvtest::TempDir dir;
    PrintFixture f(2);
    const QString bmp = QString::fromStdString(dir.file("trace.bmp"));

    f.G.PreparePrint(); // two traces: no file
    f.G.SavePicture(bmp, 1);
    EXPECT_FALSE(QFile::exists(bmp));

    f.G.PreparePrint({f.Traces[0]});
    TRect given;
    f.G.OnAfterCreateQueueMetafile = [&](TGraphView*, std::unique_ptr<QPicture>&, TGDataItem*,
                                         const TRect& r) { given = r; };
    f.G.SavePicture(bmp, 1);
    const QSize view = f.G.ClientRect().size();
    EXPECT_EQ(given, (TRect{0, 0, int(std::lround(view.width() * 1.25)), view.height()}));
    QFile file(bmp);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(30);
    EXPECT_EQ(head.left(2), "BM");
    EXPECT_EQ(uint8_t(head[28]), 4); // bits per pixel
    const QImage image(bmp);
    EXPECT_EQ(image.size(), view);
    int white = 0; // black on white
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            white += image.pixel(x, y) == 0xFFFFFFFFu;
    EXPECT_GT(white, image.width() * image.height() * 8 / 10);
    EXPECT_FALSE(f.G.Printing());

    // Metafiles and the other kinds go through the writer the program installs; without one
    // nothing is written.
    const QString emf = QString::fromStdString(dir.file("trace.emf"));
    EXPECT_THROW(f.G.SavePicture(emf, pfMetafile), EPrintError);
    EXPECT_FALSE(QFile::exists(emf));
    QSize written;
    std::vector<int> formats;
    f.G.SetPictureWriter([&](const QPicture& p, const QString& name, int format) {
        written = PictureSize(p);
        formats.push_back(format);
        EXPECT_EQ(name, emf);
    });
    for (int format : {pfMetafile, pfPdf, pfSvg, pfPng})
        f.G.SavePicture(emf, format);
    EXPECT_EQ(written, view);
    EXPECT_EQ(formats, (std::vector<int>{pfMetafile, pfPdf, pfSvg, pfPng}));
    EXPECT_FALSE(f.G.Printing());
}
