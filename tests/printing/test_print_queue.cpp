// The print queue: the main window's markings, frames that stay normalised, the two automatic
// limits, the selected marking, sheets printed on a recording printer (frames, proportions, paper
// and orientation), and what leaves the queue when printing fails.

#include <gtest/gtest.h>

#include <QPainter>
#include <QPicture>

#include <cmath>

#include "printing/uPrintQueue.h"
#include "support/RecordingPrinter.h"
#include "support/ScriptedPrompts.h"

using namespace lv;
using lvtest::RecordedPage;
using lvtest::RecordingPrinter;

namespace {

// A picture of w x h pixels: its outline and a label.
std::unique_ptr<QPicture> Picture(const QString& label, int w = 400, int h = 200) {
    auto p = std::make_unique<QPicture>();
    {
        QPainter painter(p.get());
        painter.drawRect(QRect(0, 0, w, h));
        painter.setFont(QFont(QStringLiteral("Arial"), 10));
        painter.drawText(QRect(0, 0, w, h), Qt::AlignCenter, label);
    }
    p->setBoundingRect(QRect(0, 0, w, h));
    return p;
}

// A queue with the main window's markings, `frames` a sheet selected, printing on `printer`.
struct QueueFixture {
    TPrintQueue Q;
    RecordingPrinter Printer;
    std::vector<int> Notices;
    explicit QueueFixture(int frames) {
        Q.AddStandardMarkings();
        Q.SelectMarking(frames - 1);
        Q.SetPrinter(&Printer);
        Q.OnQueueChanged = [this](TPrintQueue*, int count) { Notices.push_back(count); };
    }
    void Add(int n, bool batch = true) {
        if (batch) Q.BeginAdd();
        const int first = Q.Count();
        for (int i = 0; i < n; ++i)
            Q.AddPicture(Picture(QStringLiteral("P%1").arg(first + i + 1)), true);
        if (batch) Q.EndAdd();
    }
    // Where frame i (from 1) of the selected marking lands on the printer's sheet.
    QRectF Target(int i) const {
        const TMarkingData* m = Q.SelectedMarking();
        QSizeF mm(210, 297);
        if (Printer.Orient == TPrintOrientation::Landscape) mm.transpose();
        const QSize page = Printer.PageSize();
        const TRect f = m->Frames.Item(i - 1).Rect();
        const double sx = page.width() / mm.width(), sy = page.height() / mm.height();
        return QRectF(QPointF(f.Left * sx, f.Top * sy), QPointF(f.Right * sx, f.Bottom * sy));
    }
};

// The labels on a sheet with the frame (from 1) each lies in; 0: none.
std::vector<std::pair<QString, int>> Labels(const QueueFixture& f, const RecordedPage& page) {
    std::vector<std::pair<QString, int>> r;
    for (const auto& [text, box] : page.Texts) {
        int frame = 0;
        for (int i = 1; i <= f.Q.FramesPerPage(); ++i)
            if (f.Target(i).contains(box.center())) frame = i;
        r.emplace_back(text, frame);
    }
    return r;
}

} // namespace

TEST(PrintQueue, TheMainWindowsMarkingsFollowTheirRule) {
    // The table the main window's combo box offers (frames in mm: left, top, right, bottom).
    const std::vector<std::vector<TRect>> table = {
        {{10, 10, 260, 190}},
        {{10, 10, 190, 142}, {10, 145, 190, 277}},
        {{10, 10, 190, 97}, {10, 100, 190, 187}, {10, 190, 190, 277}},
        {{10, 10, 190, 74}, {10, 77, 190, 141}, {10, 144, 190, 208}, {10, 211, 190, 275}},
        {{10, 10, 98, 97}, {10, 100, 98, 187}, {10, 190, 98, 277}, {102, 10, 190, 97}, {102, 100, 190, 187}},
        {{10, 10, 98, 97},
         {10, 100, 98, 187},
         {10, 190, 98, 277},
         {102, 10, 190, 97},
         {102, 100, 190, 187},
         {102, 190, 190, 277}},
        {{10, 10, 98, 74},
         {10, 77, 98, 141},
         {10, 144, 98, 208},
         {10, 211, 98, 275},
         {102, 10, 190, 74},
         {102, 77, 190, 141},
         {102, 144, 190, 208}},
        {{10, 10, 98, 74},
         {10, 77, 98, 141},
         {10, 144, 98, 208},
         {10, 211, 98, 275},
         {102, 10, 190, 74},
         {102, 77, 190, 141},
         {102, 144, 190, 208},
         {102, 211, 190, 275}},
    };
    TPrintQueue q;
    q.AddStandardMarkings();
    ASSERT_EQ(q.MarkingCount(), 8);
    for (int n = 1; n <= 8; ++n) {
        EXPECT_EQ(StandardMarkingFrames(n), table[size_t(n - 1)]) << n << " frames";
        const TMarkingData& d = q.Marking(n - 1).Data();
        EXPECT_EQ(d.Name, QStringLiteral("Новый тип разметки"));
        EXPECT_EQ(d.PaperSize, 9);
        EXPECT_EQ(d.Orientation, n == 1 ? TPrintOrientation::Landscape : TPrintOrientation::Portrait);
        ASSERT_EQ(d.Frames.Count(), n);
        for (int i = 0; i < n; ++i)
            EXPECT_EQ(d.Frames.Item(i).Rect(), table[size_t(n - 1)][size_t(i)]);
    }
    EXPECT_TRUE(StandardMarkingFrames(0).empty());
    EXPECT_TRUE(StandardMarkingFrames(9).empty());
}

TEST(PrintQueue, FramesStayNormalised) {
    struct Row {
        const char* edge;
        int value;
        TRect expected; // starting from (30, 30, 50, 50)
    };
    const Row rows[] = {
        {"Left", 40, {40, 30, 50, 50}},   {"Left", 70, {50, 30, 70, 50}}, {"Right", 10, {10, 30, 30, 50}},
        {"Right", 45, {30, 30, 45, 50}},  {"Top", 60, {30, 50, 50, 60}},  {"Bottom", 5, {30, 5, 50, 30}},
        {"Bottom", 30, {30, 30, 50, 30}},
    };
    TFramesCollection frames;
    for (const Row& r : rows) {
        TMarkingFrame& f = frames.Add();
        ASSERT_EQ(f.Rect(), (TRect{30, 30, 50, 50}));
        const std::string edge = r.edge;
        if (edge == "Left") f.SetLeft(r.value);
        if (edge == "Right") f.SetRight(r.value);
        if (edge == "Top") f.SetTop(r.value);
        if (edge == "Bottom") f.SetBottom(r.value);
        EXPECT_EQ(f.Rect(), r.expected) << r.edge << " " << r.value;
    }
    TMarkingFrame& reversed = frames.Add(TRect{190, 277, 10, 145});
    EXPECT_EQ(reversed.Rect(), (TRect{10, 145, 190, 277}));
    frames.Item(0).Assign(reversed);
    EXPECT_EQ(frames.Item(0).Rect(), reversed.Rect());
    const TFramesCollection copy = frames;
    EXPECT_EQ(copy.Count(), frames.Count());
    EXPECT_EQ(copy.Item(0).Rect(), reversed.Rect());
    EXPECT_THROW(frames.Item(frames.Count()), EListError);
}

TEST(PrintQueue, TheTwoLimitsExcludeEachOtherAndZeroTurnsBothOff) {
    struct Row {
        std::vector<std::pair<char, int>> sets; // 'F' MaxFramesCount, 'P' MaxPagesCount
        int frames, pages;
    };
    const Row rows[] = {
        {{}, -1, 1},
        {{{'F', 5}}, 5, -1},
        {{{'F', 5}, {'F', -5}}, -5, 1},
        {{{'P', 3}}, -1, 3},
        {{{'F', 4}, {'P', 2}}, -4, 2},
        {{{'P', -2}}, 1, -2},
        {{{'F', 0}}, -1, -1},
        {{{'P', 0}}, -1, -1},
        {{{'F', 6}, {'P', 0}}, -6, -1},
        {{{'P', 0}, {'F', -3}}, -3, 1},
    };
    for (const Row& r : rows) {
        TPrintQueue q;
        for (const auto& [which, v] : r.sets)
            which == 'F' ? q.SetMaxFramesCount(v) : q.SetMaxPagesCount(v);
        EXPECT_EQ(q.MaxFramesCount(), r.frames) << r.sets.size();
        EXPECT_EQ(q.MaxPagesCount(), r.pages) << r.sets.size();
    }

    // Off: whole sheets wait until the queue is printed by hand.
    QueueFixture off(2);
    off.Q.SetMaxPagesCount(0);
    off.Add(6);
    EXPECT_EQ(off.Q.Count(), 6);
    EXPECT_TRUE(off.Printer.Calls.empty());
    // Five pictures, whatever the marking: its whole sheets are printed once five wait.
    QueueFixture five(3);
    five.Q.SetMaxFramesCount(5);
    five.Add(4, false);
    EXPECT_EQ(five.Printer.Submitted, 0);
    five.Add(1, false);
    EXPECT_EQ(five.Printer.Submitted, 1);
    EXPECT_EQ(five.Printer.Pages.size(), 1u);
    EXPECT_EQ(five.Q.Count(), 2);
}

TEST(PrintQueue, TheSelectionIsBroughtIntoRangeAndCountsWholeSheets) {
    TPrintQueue q;
    EXPECT_EQ(q.MarkingIndex(), -1);
    EXPECT_EQ(q.FramesPerPage(), 0);
    EXPECT_EQ(q.FrameRect(1), TRect{});
    q.AddStandardMarkings();
    EXPECT_EQ(q.MarkingIndex(), 0); // below 0 while markings exist
    q.SelectMarking(20);
    EXPECT_EQ(q.MarkingIndex(), 7);
    EXPECT_EQ(q.FramesPerPage(), 8);
    EXPECT_EQ(q.FrameRect(8), (TRect{102, 211, 190, 275}));
    EXPECT_EQ(q.FrameRect(9), TRect{});

    struct Row {
        int frames, pictures, fullPages;
    };
    const Row rows[] = {{3, 0, 0}, {3, 2, 0}, {3, 3, 1}, {3, 7, 2}, {1, 4, 4}, {8, 15, 1}};
    for (const Row& r : rows) {
        QueueFixture f(r.frames);
        f.Q.SetMaxPagesCount(0);
        f.Add(r.pictures);
        EXPECT_EQ(f.Q.FullPages(), r.fullPages) << r.frames << " " << r.pictures;
        EXPECT_EQ(f.Q.FullPagesPictures(), r.fullPages * r.frames);
    }
}

TEST(PrintQueue, AFullSheetIsPrintedAtOnceAndTheRestWaits) {
    QueueFixture f(3);
    f.Add(4);
    // One notice for the batch, one for the sheet that left.
    EXPECT_EQ(f.Notices, (std::vector<int>{4, 1}));
    ASSERT_EQ(f.Printer.Submitted, 1);
    ASSERT_EQ(f.Printer.Pages.size(), 1u);
    EXPECT_EQ(Labels(f, f.Printer.Pages[0]),
              (std::vector<std::pair<QString, int>>{
                  {QStringLiteral("P1"), 1}, {QStringLiteral("P2"), 2}, {QStringLiteral("P3"), 3}}));
    EXPECT_EQ(f.Q.Count(), 1);
    EXPECT_EQ(f.Q.AddNesting(), 0);

    f.Notices.clear();
    f.Q.PrintAndClear(true); // "Напечатать очередь": one frame used
    EXPECT_EQ(f.Printer.Submitted, 2);
    ASSERT_EQ(f.Printer.Pages.size(), 1u);
    EXPECT_EQ(Labels(f, f.Printer.Pages[0]),
              (std::vector<std::pair<QString, int>>{{QStringLiteral("P4"), 1}}));
    EXPECT_EQ(f.Q.Count(), 0);
    EXPECT_EQ(f.Notices, (std::vector<int>{0}));

    // Several sheets of one print in one job; "Очистить очередь" prints nothing.
    QueueFixture g(2);
    g.Q.SetMaxPagesCount(0);
    g.Add(5);
    g.Q.PrintAndClear(true);
    EXPECT_EQ(g.Printer.Submitted, 1);
    EXPECT_EQ(g.Printer.Pages.size(), 3u);
    g.Add(3);
    g.Q.PrintAndClear(false);
    EXPECT_EQ(g.Q.Count(), 0);
    EXPECT_EQ(g.Printer.Submitted, 1);
}

TEST(PrintQueue, PicturesKeepTheirProportionsInTheirFrames) {
    for (int frames : {1, 2, 7, 8}) {
        QueueFixture f(frames);
        f.Q.SetMaxPagesCount(0);
        f.Q.AddPicture(Picture(QStringLiteral("wide"), 400, 100), true);
        f.Q.AddPicture(Picture(QStringLiteral("own"), 40, 30), false);
        f.Q.PrintAndClear(true);
        ASSERT_EQ(f.Printer.Pages.size(), frames > 1 ? 1u : 2u);
        const RecordedPage& page = f.Printer.Pages[0];
        ASSERT_EQ(page.Rects.size(), frames > 1 ? 2u : 1u);
        // Stretched: 4:1 still, as wide or as high as the frame, centred in it.
        const QRectF wide = page.Rects[0], frame = f.Target(1);
        EXPECT_NEAR(wide.width() / wide.height(), 4.0, 0.1) << frames;
        EXPECT_TRUE(std::abs(wide.width() - frame.width()) < 2 ||
                    std::abs(wide.height() - frame.height()) < 2)
            << frames;
        EXPECT_NEAR(wide.center().x(), frame.center().x(), 1.5) << frames;
        EXPECT_NEAR(wide.center().y(), frame.center().y(), 1.5) << frames;
        // Not stretched: its own size at the frame's corner (second frame, or a second sheet).
        if (frames > 1) {
            const QRectF own = page.Rects[1];
            EXPECT_NEAR(own.width(), 40, 1) << frames;
            EXPECT_NEAR(own.height(), 30, 1) << frames;
            EXPECT_NEAR(own.left(), f.Target(2).left(), 1) << frames;
            EXPECT_NEAR(own.top(), f.Target(2).top(), 1) << frames;
        }
    }
}

TEST(PrintQueue, TheMarkingsPaperAndOrientationAreRequestedAndPutBack) {
    QueueFixture f(1);   // A4 landscape
    f.Printer.Paper = 1; // Letter
    f.Add(1);
    EXPECT_EQ(f.Printer.Calls, (std::vector<std::string>{"SetPaperSize 9", "SetOrientation L", "BeginDoc",
                                                         "EndDoc", "SetOrientation P", "SetPaperSize 1"}));
    EXPECT_EQ(f.Printer.Paper, 1);
    EXPECT_EQ(f.Printer.Orient, TPrintOrientation::Portrait);

    // A printer that already holds the marking's paper and orientation is left alone.
    QueueFixture g(2);
    g.Add(2);
    EXPECT_EQ(g.Printer.Calls, (std::vector<std::string>{"BeginDoc", "EndDoc"}));
}

TEST(PrintQueue, OnlyWhatWasPrintedLeavesTheQueue) {
    enum class Failure { NoPrinter, CannotBegin, NewPage, PageEvent };
    for (Failure failure : {Failure::NoPrinter, Failure::CannotBegin, Failure::NewPage, Failure::PageEvent}) {
        QueueFixture f(2);
        f.Printer.Paper = 8; // A3: put back after the failure too
        f.Q.SetMaxPagesCount(0);
        f.Add(3);
        if (failure == Failure::NoPrinter) f.Q.SetPrinter(nullptr);
        f.Printer.FailsToBegin = failure == Failure::CannotBegin;
        f.Printer.FailNewPageAt = failure == Failure::NewPage ? 1 : 0;
        if (failure == Failure::PageEvent)
            f.Q.OnAfterCreatePageMetafile = [](TPrintQueue*) { throw EPrintError("лист не собран"); };
        EXPECT_THROW(f.Q.PrintAndClear(true), EPrintError) << int(failure);
        EXPECT_EQ(f.Q.Count(), 3) << int(failure);
        EXPECT_EQ(f.Q.AddNesting(), 0);
        EXPECT_EQ(f.Printer.Submitted, 0);
        EXPECT_EQ(f.Printer.Aborted, failure == Failure::NewPage || failure == Failure::PageEvent ? 1 : 0);
        EXPECT_EQ(f.Printer.Paper, 8) << int(failure);
        EXPECT_FALSE(f.Printer.InJob());
    }

    // The automatic print fails: the picture that filled the sheet is queued all the same.
    QueueFixture g(1);
    g.Printer.FailsToBegin = true;
    EXPECT_THROW(g.Add(1, false), EPrintError);
    EXPECT_EQ(g.Q.Count(), 1);
    EXPECT_EQ(g.Notices, (std::vector<int>{1}));
}

TEST(PrintQueue, NothingToPrintStartsNoJob) {
    QueueFixture empty(3);
    empty.Q.PrintAndClear(true);
    EXPECT_TRUE(empty.Printer.Calls.empty()); // not even a blank sheet

    QueueFixture noFrames(3);
    noFrames.Q.SetMaxPagesCount(0);
    noFrames.Add(2);
    noFrames.Q.Marking(2).Data().Frames.Clear();
    noFrames.Q.PrintAndClear(true);
    EXPECT_EQ(noFrames.Q.Count(), 2);
    EXPECT_TRUE(noFrames.Printer.Calls.empty());

    QueueFixture unknownPaper(3);
    unknownPaper.Q.SetMaxPagesCount(0);
    unknownPaper.Add(2);
    unknownPaper.Q.Marking(2).Data().PaperSize = 99;
    EXPECT_EQ(unknownPaper.Q.PrintPictures(TPrintQueue::TPrintLimit::All), 0);
    EXPECT_EQ(unknownPaper.Q.Count(), 2);
    EXPECT_TRUE(unknownPaper.Printer.Calls.empty());
}

TEST(PrintQueue, ChangingTheMarkingAsksFirst) {
    struct Row {
        int answer;
        bool fails;
        int index, count, submitted;
    };
    const Row rows[] = {
        {mrYes, false, 5, 0, 1},
        {mrNo, false, 5, 0, 0},
        {mrCancel, false, 2, 2, 0},
        {mrYes, true, 2, 2, 0},
    };
    for (const Row& r : rows) {
        lvtest::ScriptedPrompts prompts;
        prompts.Answers = {r.answer};
        QueueFixture f(3);
        f.Add(2);
        f.Printer.FailsToBegin = r.fails;
        if (r.fails)
            EXPECT_THROW(f.Q.SelectMarking(5), EPrintError);
        else
            f.Q.SelectMarking(5);
        ASSERT_EQ(prompts.Messages.size(), 1u);
        EXPECT_EQ(prompts.Messages[0].Text, kMsgQueueNotPrinted);
        EXPECT_EQ(prompts.Messages[0].Buttons, unsigned(mbYes | mbNo | mbCancel));
        EXPECT_EQ(f.Q.MarkingIndex(), r.index) << r.answer;
        EXPECT_EQ(f.Q.Count(), r.count) << r.answer;
        EXPECT_EQ(f.Printer.Submitted, r.submitted) << r.answer;
    }
    // Nothing waits: no question.
    lvtest::ScriptedPrompts prompts;
    QueueFixture f(3);
    f.Q.SelectMarking(0);
    EXPECT_EQ(f.Q.MarkingIndex(), 0);
    EXPECT_TRUE(prompts.Messages.empty());
}
