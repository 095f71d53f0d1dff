#pragma once
// The scrolling window under every graph control. Each axis has a scroll-bar model
// (TVisControlScrollBar) that owns Range and Position, a pixel offset into a virtual content
// area; the Qt scroll bars are only its view. Every position change is reported to one virtual
// operation, ScrollContent(DeltaX, DeltaY). The model knows nothing of world coordinates.

#include <QAbstractScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <memory>

#include "display/GraphColors.h"

namespace lv {

class TVisScrollingWinControl;

enum TScrollBarKind { sbHorizontal, sbVertical };
enum TScrollBarStyle { ssRegular, ssFlat, ssHotTrack };

// Scroll requests, numbered as the platform numbers them.
enum TScrollCode {
    scLineUp = 0,
    scLineDown = 1,
    scPageUp = 2,
    scPageDown = 3,
    scPosition = 4, // thumb released
    scTrack = 5,    // thumb dragged
    scTop = 6,
    scBottom = 7,
    scEndScroll = 8,
};

class TVisControlScrollBar {
public:
    TVisControlScrollBar(TVisScrollingWinControl* owner, TScrollBarKind kind);
    TVisControlScrollBar(const TVisControlScrollBar&) = delete;
    TVisControlScrollBar& operator=(const TVisControlScrollBar&) = delete;

    // Copies Visible, Range, Position and Increment.
    void Assign(const TVisControlScrollBar& source);

    TScrollBarKind Kind() const { return m_kind; }

    int Increment() const { return m_increment; }
    void SetIncrement(int value); // clamped to 1..32767
    int PageIncrement() const { return m_pageIncrement; }
    int Position() const { return m_position; }
    // Clamped to 0..MaxPosition; a change calls ScrollContent with (old - new) on this axis.
    void SetPosition(int value);
    int Range() const { return m_range; }
    // Switches the control's AutoScroll off, marks the range as explicit, stores max(0, value)
    // and refreshes both bars.
    void SetRange(int value);
    int MaxPosition() const { return m_maxPosition; }
    int Margin() const { return m_margin; }
    void SetMargin(int value) { m_margin = std::clamp(value, 0, 65535); }
    bool Visible() const { return m_visible; }
    void SetVisible(bool value);
    bool Tracking() const { return m_tracking; }
    void SetTracking(bool value) { m_tracking = value; }
    bool Smooth() const { return m_smooth; }
    void SetSmooth(bool value) { m_smooth = value; }
    int Delay() const { return m_delay; }
    void SetDelay(int ms) { m_delay = std::max(ms, 0); }
    int LineDiv() const { return m_lineDiv; }
    void SetLineDiv(int value) { m_lineDiv = value; }
    int PageDiv() const { return m_pageDiv; }
    void SetPageDiv(int value) { m_pageDiv = value; }
    int ButtonSize() const { return m_buttonSize; }
    void SetButtonSize(int value);
    int ThumbSize() const { return m_thumbSize; }
    void SetThumbSize(int value);
    // Thickness of the bar; 0 is the platform's.
    int Size() const { return m_size; }
    void SetSize(int value);
    TScrollBarStyle Style() const { return m_style; }
    void SetStyle(TScrollBarStyle value);
    TColor Color() const { return m_color; }
    void SetColor(TColor value);
    bool ParentColor() const { return m_parentColor; }
    void SetParentColor(bool value);
    bool UpdateNeeded() const { return m_updateNeeded; }
    bool RangeScaled() const { return m_rangeScaled; }

    // Client height (vertical bar) or width (horizontal bar). Without ControlSB the other bar's
    // thickness is corrected for: subtracted when AssumeSB and that bar is not shown, added when
    // not AssumeSB and it is shown.
    int VisibleExtent(bool controlSB, bool assumeSB) const;
    void RefreshBar(bool controlSB, bool assumeSB);
    // Acts on a scroll request (see TScrollCode). ThumbPos is the request's 16-bit thumb value;
    // beyond 32767 the 32-bit track position of the Qt bar is used instead.
    void ScrollCommand(int code, int thumbPos);

private:
    friend class TVisScrollingWinControl;
    void smoothScroll(int total, int div);
    void pushPosition();
    QScrollBar* bar() const;

    TVisScrollingWinControl* m_owner;
    TScrollBarKind m_kind;
    int m_increment = 8;
    int m_pageIncrement = 80;
    int m_position = 0;
    int m_range = 0;
    int m_maxPosition = 0;
    int m_margin = 0;
    bool m_visible = true;
    bool m_tracking = false;
    bool m_smooth = false;
    int m_delay = 10;
    int m_lineDiv = 4;
    int m_pageDiv = 12;
    int m_buttonSize = 0;
    int m_thumbSize = 0;
    int m_size = 0;
    TScrollBarStyle m_style = ssRegular;
    TColor m_color = clBtnHighlight;
    bool m_parentColor = true;
    bool m_updateNeeded = true;
    bool m_rangeScaled = false;
};

class TVisScrollingWinControl : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TVisScrollingWinControl(QWidget* parent = nullptr);
    ~TVisScrollingWinControl() override;

    TVisControlScrollBar& HorzScrollBar() { return *m_horz; }
    const TVisControlScrollBar& HorzScrollBar() const { return *m_horz; }
    TVisControlScrollBar& VertScrollBar() { return *m_vert; }
    const TVisControlScrollBar& VertScrollBar() const { return *m_vert; }
    void SetHorzScrollBar(const TVisControlScrollBar& source) { m_horz->Assign(source); }
    void SetVertScrollBar(const TVisControlScrollBar& source) { m_vert->Assign(source); }

    // True after construction; switching it off sets both ranges to 0, on recomputes them.
    bool AutoScroll() const { return m_autoScroll; }
    void SetAutoScroll(bool value);
    // The ranges from the visible child widgets plus Margin (only while AutoScroll is on).
    void AdjustAutoRange();

    // Refreshes the horizontal bar as if the vertical one were present, then the vertical one.
    void RefreshBars();
    // Scales the control by m/d: positions to 0 and explicit ranges scaled.
    void ChangeScale(int m, int d);

    // The client area: where the control paints, in its own coordinates from (0, 0).
    QRect ClientRect() const;
    int ClientWidth() const { return ClientRect().width(); }
    int ClientHeight() const { return ClientRect().height(); }

    // The Qt scroll bar that shows a model.
    QScrollBar* PlatformBar(TScrollBarKind kind) const;

    // The content moves by (DeltaX, DeltaY) pixels after a position change. The base moves the
    // child widgets with the pixels; graphs override it.
    virtual void ScrollContent(int deltaX, int deltaY);

protected:
    // Whether the ranges follow the children (AutoScroll).
    virtual bool AutoScrollEnabled() const { return true; }

    void resizeEvent(QResizeEvent* event) override;
    // Qt's own scrolling is replaced by the models.
    void scrollContentsBy(int, int) override {}

    int m_sizeChanging = 0; // nested size changes: the automatic range waits for the outermost

private:
    friend class TVisControlScrollBar;
    void connectBar(TScrollBarKind kind);
    void onBarAction(TScrollBarKind kind, int action);
    void onBarReleased(TScrollBarKind kind);
    void relayoutBars();

    std::unique_ptr<TVisControlScrollBar> m_horz;
    std::unique_ptr<TVisControlScrollBar> m_vert;
    bool m_autoScroll = true;
    bool m_refreshing = false;
    bool m_barSync = false; // the models are writing to the Qt bars
};

} // namespace lv
