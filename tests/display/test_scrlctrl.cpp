// The scroll-bar models: clamping, requests, tracking, 32-bit thumbs, smooth steps, rescaling.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <vector>

#include "display/uScrlCtrl.h"

using namespace lv;

namespace {

class RecordingControl : public TVisScrollingWinControl {
public:
    std::vector<std::pair<int, int>> scrolls;
    void ScrollContent(int dx, int dy) override { scrolls.emplace_back(dx, dy); }
};

// A shown control whose client area is exactly w x h.
void sizeClient(RecordingControl& c, int w, int h) {
    c.resize(w + 40, h + 40);
    c.show();
    QApplication::processEvents();
    c.resize(c.width() + w - c.ClientWidth(), c.height() + h - c.ClientHeight());
    QApplication::processEvents();
    ASSERT_EQ(c.ClientWidth(), w);
    ASSERT_EQ(c.ClientHeight(), h);
    ASSERT_EQ(c.ClientRect(), c.viewport()->rect());
}

} // namespace

TEST(ScrollBar, PositionIsClampedAndNothingScrollsWithoutRoom) {
    RecordingControl c;
    sizeClient(c, 200, 100);
    TVisControlScrollBar& h = c.HorzScrollBar();
    EXPECT_EQ(h.Increment(), 8);
    h.SetRange(150); // not larger than the client width
    EXPECT_FALSE(c.AutoScroll());
    EXPECT_EQ(h.MaxPosition(), 0);
    h.SetPosition(50);
    EXPECT_EQ(h.Position(), 0);
    h.ScrollCommand(scLineDown, 0);
    h.ScrollCommand(scBottom, 0);
    EXPECT_TRUE(c.scrolls.empty());

    h.SetRange(500);
    EXPECT_EQ(h.MaxPosition(), 300);
    EXPECT_EQ(h.PageIncrement(), 180);
    h.SetPosition(1000);
    EXPECT_EQ(h.Position(), 300);
    h.SetPosition(-5);
    EXPECT_EQ(h.Position(), 0);
    // A position increase of n moves the content by -n along the bar's axis.
    EXPECT_EQ(c.scrolls, (std::vector<std::pair<int, int>>{{-300, 0}, {300, 0}}));
    // The Qt bar shows the model.
    EXPECT_EQ(c.PlatformBar(sbHorizontal)->maximum(), 300);
    EXPECT_EQ(c.PlatformBar(sbHorizontal)->pageStep(), 200);
}

TEST(ScrollBar, Requests) {
    RecordingControl c;
    sizeClient(c, 200, 100);
    TVisControlScrollBar& v = c.VertScrollBar();
    v.SetRange(1000); // MaxPosition 900
    struct Row {
        int code, thumb, position;
    };
    const Row rows[] = {
        {scLineDown, 0, 8},     {scLineDown, 0, 16}, {scLineUp, 0, 8},   {scPageDown, 0, 108},
        {scPageUp, 0, 8},       {scPageUp, 0, 0},    {scBottom, 0, 900}, {scTop, 0, 0},
        {scPosition, 450, 450}, {scTrack, 10, 450}, // tracking is off
        {scEndScroll, 0, 450},
    };
    for (const Row& r : rows) {
        v.ScrollCommand(r.code, r.thumb);
        EXPECT_EQ(v.Position(), r.position) << r.code;
    }
    v.SetTracking(true);
    v.ScrollCommand(scTrack, 10);
    EXPECT_EQ(v.Position(), 10);
    EXPECT_EQ(c.scrolls.back(), std::make_pair(0, 440));
    // An invisible bar cannot scroll at all and ignores requests.
    v.SetVisible(false);
    EXPECT_EQ(v.MaxPosition(), 0);
    EXPECT_EQ(v.Position(), 0);
    v.ScrollCommand(scBottom, 0);
    EXPECT_EQ(v.Position(), 0);
}

TEST(ScrollBar, DraggingTheThumbWithoutTrackingMovesOnlyOnRelease) {
    RecordingControl c;
    sizeClient(c, 200, 100);
    c.HorzScrollBar().SetRange(1000);
    QScrollBar* bar = c.PlatformBar(sbHorizontal);
    bar->setSliderDown(true);
    bar->setSliderPosition(300); // dragged
    EXPECT_EQ(c.HorzScrollBar().Position(), 0);
    EXPECT_TRUE(c.scrolls.empty());
    bar->setSliderDown(false); // released
    EXPECT_EQ(c.HorzScrollBar().Position(), 300);
    EXPECT_EQ(c.scrolls, (std::vector<std::pair<int, int>>{{-300, 0}}));
    EXPECT_EQ(bar->value(), 300);
    // With tracking the content follows the drag.
    c.HorzScrollBar().SetTracking(true);
    bar->setSliderDown(true);
    bar->setSliderPosition(350);
    EXPECT_EQ(c.HorzScrollBar().Position(), 350);
    bar->setSliderDown(false);
    // A click in the groove is a page request of the model, not Qt's own step.
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(c.HorzScrollBar().Position(), 550);
    EXPECT_EQ(bar->value(), 550);
}

TEST(ScrollBar, LargeRangesReadThe32BitTrackPosition) {
    RecordingControl c;
    sizeClient(c, 200, 100);
    TVisControlScrollBar& h = c.HorzScrollBar();
    h.SetRange(100000); // MaxPosition 99800 > 32767
    QScrollBar* bar = c.PlatformBar(sbHorizontal);
    {
        QSignalBlocker block(bar);
        bar->setSliderPosition(70000);
    }
    // The request's thumb value holds only the low 16 bits.
    h.ScrollCommand(scPosition, 70000 & 0xFFFF);
    EXPECT_EQ(h.Position(), 70000);
    // Below 32768 the request's own value counts.
    h.SetRange(20000);
    h.ScrollCommand(scPosition, 1234);
    EXPECT_EQ(h.Position(), 1234);
}

TEST(ScrollBar, SmoothPageScrollSteps) {
    RecordingControl c;
    sizeClient(c, 100, 100);
    TVisControlScrollBar& h = c.HorzScrollBar();
    h.SetRange(2000);
    h.SetDelay(0);
    h.SetSmooth(true);
    c.RefreshBars();
    ASSERT_EQ(h.PageIncrement(), 90);
    EXPECT_EQ(h.Increment(), 9);
    h.ScrollCommand(scPageDown, 0);
    std::vector<std::pair<int, int>> expected(12, {-7, 0});
    expected.push_back({-6, 0});
    EXPECT_EQ(c.scrolls, expected);
    EXPECT_EQ(h.Position(), 90);
    c.scrolls.clear();
    // A line of 9 in 4 steps: 2, 2, 2, 2 and 1.
    h.ScrollCommand(scLineUp, 0);
    EXPECT_EQ(c.scrolls, (std::vector<std::pair<int, int>>{{2, 0}, {2, 0}, {2, 0}, {2, 0}, {1, 0}}));
    EXPECT_EQ(h.Position(), 81);
}

TEST(ScrollBar, ShrinkingTheRangeBelowThePositionMovesIt) {
    RecordingControl c;
    sizeClient(c, 200, 100);
    TVisControlScrollBar& h = c.HorzScrollBar();
    h.SetRange(1000);
    h.SetPosition(800);
    c.scrolls.clear();
    h.SetRange(300);
    EXPECT_EQ(h.MaxPosition(), 100);
    EXPECT_EQ(h.Position(), 100);
    EXPECT_EQ(c.scrolls, (std::vector<std::pair<int, int>>{{700, 0}}));
}

TEST(ScrollBar, RescalingAndAutomaticRanges) {
    RecordingControl c;
    sizeClient(c, 200, 100);
    // Automatic ranges follow the children plus the margin.
    auto* child = new QPushButton(c.viewport());
    child->setGeometry(50, 20, 400, 300);
    child->show();
    c.HorzScrollBar().SetMargin(10);
    c.AdjustAutoRange();
    EXPECT_EQ(c.HorzScrollBar().Range(), 460);
    EXPECT_EQ(c.VertScrollBar().Range(), 320);
    c.SetAutoScroll(false);
    EXPECT_EQ(c.HorzScrollBar().Range(), 0);
    EXPECT_EQ(c.VertScrollBar().Range(), 0);

    c.HorzScrollBar().SetRange(1001);
    c.VertScrollBar().SetRange(500);
    c.HorzScrollBar().SetPosition(300);
    c.ChangeScale(96, 120);
    EXPECT_EQ(c.HorzScrollBar().Range(), 801);
    EXPECT_EQ(c.VertScrollBar().Range(), 400);
    EXPECT_EQ(c.HorzScrollBar().Position(), 0);
    EXPECT_FALSE(c.HorzScrollBar().RangeScaled());
}
