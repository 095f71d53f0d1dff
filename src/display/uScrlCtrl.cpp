#include "display/uScrlCtrl.h"

#include <QResizeEvent>
#include <QSignalBlocker>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "display/GraphMath.h"

namespace lv {

namespace {

// A Qt scroll bar whose thickness can be set (0: the style's).
class TPlatformScrollBar : public QScrollBar {
public:
    explicit TPlatformScrollBar(Qt::Orientation o) : QScrollBar(o) {}
    void setExtent(int px) {
        if (px == m_extent) return;
        m_extent = px;
        updateGeometry();
    }
    int extent() const { return orientation() == Qt::Horizontal ? sizeHint().height() : sizeHint().width(); }
    QSize sizeHint() const override {
        QSize s = QScrollBar::sizeHint();
        if (m_extent > 0) {
            if (orientation() == Qt::Horizontal)
                s.setHeight(m_extent);
            else
                s.setWidth(m_extent);
        }
        return s;
    }

private:
    int m_extent = 0;
};

TPlatformScrollBar* platformBar(QScrollBar* b) {
    return static_cast<TPlatformScrollBar*>(b);
}

} // namespace

// --- TVisControlScrollBar -----------------------------------------------------------------------

TVisControlScrollBar::TVisControlScrollBar(TVisScrollingWinControl* owner, TScrollBarKind kind)
    : m_owner(owner), m_kind(kind) {}

QScrollBar* TVisControlScrollBar::bar() const {
    return m_owner->PlatformBar(m_kind);
}

void TVisControlScrollBar::Assign(const TVisControlScrollBar& source) {
    if (&source == this) return;
    SetVisible(source.m_visible);
    SetRange(source.m_range);
    SetPosition(source.m_position);
    SetIncrement(source.m_increment);
}

void TVisControlScrollBar::SetIncrement(int value) {
    m_increment = std::clamp(value, 1, 32767);
}

void TVisControlScrollBar::pushPosition() {
    QScrollBar* b = bar();
    if (b->value() == m_position && b->sliderPosition() == m_position) return;
    QSignalBlocker block(b);
    b->setValue(m_position);
    b->setSliderPosition(m_position);
}

void TVisControlScrollBar::SetPosition(int value) {
    int v = std::clamp(value, 0, std::max(m_maxPosition, 0));
    if (v != m_position) {
        int old = m_position;
        m_position = v;
        pushPosition();
        int delta = old - v;
        if (m_kind == sbHorizontal)
            m_owner->ScrollContent(delta, 0);
        else
            m_owner->ScrollContent(0, delta);
    }
    pushPosition();
}

void TVisControlScrollBar::SetRange(int value) {
    m_owner->m_autoScroll = false;
    m_rangeScaled = true;
    m_range = std::max(value, 0);
    m_owner->RefreshBars();
}

void TVisControlScrollBar::SetVisible(bool value) {
    if (value == m_visible) return;
    m_visible = value;
    m_owner->RefreshBars();
}

void TVisControlScrollBar::SetButtonSize(int value) {
    if (value == m_buttonSize) return;
    m_buttonSize = value;
    m_updateNeeded = true;
    m_owner->RefreshBars();
}

void TVisControlScrollBar::SetThumbSize(int value) {
    if (value == m_thumbSize) return;
    m_thumbSize = value;
    m_updateNeeded = true;
    m_owner->RefreshBars();
}

void TVisControlScrollBar::SetSize(int value) {
    if (value == m_size) return;
    m_size = value;
    m_updateNeeded = true;
    m_owner->RefreshBars();
}

void TVisControlScrollBar::SetStyle(TScrollBarStyle value) {
    if (value == m_style) return;
    m_style = value;
    m_updateNeeded = true;
    m_owner->RefreshBars();
}

void TVisControlScrollBar::SetColor(TColor value) {
    if (value == m_color) return;
    m_color = value;
    m_parentColor = false;
    m_updateNeeded = true;
    m_owner->RefreshBars();
}

void TVisControlScrollBar::SetParentColor(bool value) {
    if (value == m_parentColor) return;
    m_parentColor = value;
    if (value) {
        m_color = clBtnHighlight;
        m_updateNeeded = true;
        m_owner->RefreshBars();
    }
}

int TVisControlScrollBar::VisibleExtent(bool controlSB, bool assumeSB) const {
    int extent = m_kind == sbHorizontal ? m_owner->ClientWidth() : m_owner->ClientHeight();
    if (!controlSB) {
        TScrollBarKind other = m_kind == sbHorizontal ? sbVertical : sbHorizontal;
        bool shown = (other == sbVertical ? m_owner->verticalScrollBarPolicy()
                                          : m_owner->horizontalScrollBarPolicy()) != Qt::ScrollBarAlwaysOff;
        int thickness = platformBar(m_owner->PlatformBar(other))->extent();
        if (assumeSB && !shown)
            extent -= thickness;
        else if (!assumeSB && shown)
            extent += thickness;
    }
    return std::max(extent, 0);
}

void TVisControlScrollBar::RefreshBar(bool controlSB, bool assumeSB) {
    const int extent = VisibleExtent(controlSB, assumeSB);
    m_maxPosition = m_visible ? std::max(0, m_range - extent) : 0;

    QScrollBar* b = bar();
    if (m_updateNeeded) {
        // Qt's bars have no flat or hot-track look, nor separate button and thumb sizes; the
        // thickness and an explicitly chosen colour carry over.
        platformBar(b)->setExtent(std::max(m_size, 0));
        QPalette pal = m_owner->palette();
        if (!m_parentColor) {
            QColor c = ColorToQColor(m_color, pal);
            pal.setColor(QPalette::Window, c);
            pal.setColor(QPalette::Button, c);
        }
        b->setPalette(pal);
        m_updateNeeded = false;
        m_owner->relayoutBars();
    }
    {
        QSignalBlocker block(b);
        b->setRange(0, m_maxPosition);
        b->setPageStep(std::max(extent, 1));
        b->setSingleStep(m_increment);
        b->setValue(std::min(m_position, m_maxPosition));
    }
    SetPosition(m_position);

    m_pageIncrement = std::clamp(VisibleExtent(true, false) * 9 / 10, 0, 32767);
    if (m_smooth) SetIncrement(m_pageIncrement / 10);
}

void TVisControlScrollBar::smoothScroll(int total, int div) {
    using clock = std::chrono::steady_clock;
    const std::vector<int> steps = SmoothSteps(total, div);
    const bool hasRest = div >= 1 && std::abs(total) % div != 0;
    const size_t timed = steps.size() - (hasRest ? 1 : 0);
    clock::time_point started{};
    for (size_t i = 0; i < steps.size(); ++i) {
        if (i < timed) {
            if (i > 0) std::this_thread::sleep_until(started + std::chrono::milliseconds(m_delay));
            started = clock::now();
        }
        SetPosition(m_position + steps[i]);
        m_owner->viewport()->repaint();
    }
}

void TVisControlScrollBar::ScrollCommand(int code, int thumbPos) {
    if (!m_visible) return;
    switch (code) {
    case scLineUp:
    case scLineDown: {
        int sign = code == scLineUp ? -1 : 1;
        if (m_smooth)
            smoothScroll(sign * m_increment, m_lineDiv);
        else
            SetPosition(m_position + sign * m_increment);
        break;
    }
    case scPageUp:
    case scPageDown: {
        int sign = code == scPageUp ? -1 : 1;
        if (m_smooth)
            smoothScroll(sign * m_pageIncrement, m_pageDiv);
        else
            SetPosition(m_position + sign * VisibleExtent(true, false));
        break;
    }
    case scTrack:
        if (!m_tracking) break;
        [[fallthrough]];
    case scPosition:
        // The request carries 16 bits only; larger ranges read the bar's own track position.
        SetPosition(m_maxPosition > 32767 ? bar()->sliderPosition() : thumbPos);
        break;
    case scTop:
        SetPosition(0);
        break;
    case scBottom:
        SetPosition(m_maxPosition);
        break;
    default:
        break;
    }
}

// --- TVisScrollingWinControl --------------------------------------------------------------------

TVisScrollingWinControl::TVisScrollingWinControl(QWidget* parent) : QAbstractScrollArea(parent) {
    setHorizontalScrollBar(new TPlatformScrollBar(Qt::Horizontal));
    setVerticalScrollBar(new TPlatformScrollBar(Qt::Vertical));
    // Both bars are always shown; one with nothing to scroll shows a thumb over its whole length.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_horz = std::make_unique<TVisControlScrollBar>(this, sbHorizontal);
    m_vert = std::make_unique<TVisControlScrollBar>(this, sbVertical);
    connectBar(sbHorizontal);
    connectBar(sbVertical);
    RefreshBars();
}

TVisScrollingWinControl::~TVisScrollingWinControl() = default;

QScrollBar* TVisScrollingWinControl::PlatformBar(TScrollBarKind kind) const {
    return kind == sbHorizontal ? horizontalScrollBar() : verticalScrollBar();
}

void TVisScrollingWinControl::connectBar(TScrollBarKind kind) {
    QScrollBar* b = PlatformBar(kind);
    connect(b, &QAbstractSlider::actionTriggered, this,
            [this, kind](int action) { onBarAction(kind, action); });
    connect(b, &QAbstractSlider::sliderReleased, this, [this, kind] { onBarReleased(kind); });
}

void TVisScrollingWinControl::onBarAction(TScrollBarKind kind, int action) {
    if (m_barSync) return;
    TVisControlScrollBar& model = kind == sbHorizontal ? *m_horz : *m_vert;
    QScrollBar* b = PlatformBar(kind);
    int code;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        code = scLineUp;
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        code = scLineDown;
        break;
    case QAbstractSlider::SliderPageStepSub:
        code = scPageUp;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        code = scPageDown;
        break;
    case QAbstractSlider::SliderToMinimum:
        code = scTop;
        break;
    case QAbstractSlider::SliderToMaximum:
        code = scBottom;
        break;
    case QAbstractSlider::SliderMove:
        if (b->isSliderDown()) {
            // Without tracking the thumb follows the pointer alone; the release moves the content.
            if (!model.Tracking()) return;
            code = scTrack;
        } else {
            // The wheel over a bar: a line step in its direction.
            if (b->sliderPosition() == model.Position()) return;
            code = b->sliderPosition() < model.Position() ? scLineUp : scLineDown;
        }
        break;
    default:
        return;
    }
    model.ScrollCommand(code, b->sliderPosition() & 0xFFFF);
    // Qt applies the slider position after this slot returns: make it the model's.
    m_barSync = true;
    b->setSliderPosition(model.Position());
    m_barSync = false;
}

void TVisScrollingWinControl::onBarReleased(TScrollBarKind kind) {
    TVisControlScrollBar& model = kind == sbHorizontal ? *m_horz : *m_vert;
    QScrollBar* b = PlatformBar(kind);
    model.ScrollCommand(scPosition, b->sliderPosition() & 0xFFFF);
    m_barSync = true;
    b->setSliderPosition(model.Position());
    b->setValue(model.Position());
    m_barSync = false;
}

void TVisScrollingWinControl::relayoutBars() {
    // Setting a policy makes the scroll area lay out its bars and viewport again.
    setHorizontalScrollBarPolicy(horizontalScrollBarPolicy());
    setVerticalScrollBarPolicy(verticalScrollBarPolicy());
}

QRect TVisScrollingWinControl::ClientRect() const {
    QRect c = contentsRect();
    int w = c.width(), h = c.height();
    if (verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff) w -= platformBar(verticalScrollBar())->extent();
    if (horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff)
        h -= platformBar(horizontalScrollBar())->extent();
    return QRect(0, 0, std::max(w, 0), std::max(h, 0));
}

void TVisScrollingWinControl::RefreshBars() {
    if (m_refreshing) return;
    m_refreshing = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_refreshing};
    m_horz->RefreshBar(false, true);
    m_vert->RefreshBar(true, false);
}

void TVisScrollingWinControl::SetAutoScroll(bool value) {
    if (value == m_autoScroll) return;
    m_autoScroll = value;
    if (!value) {
        m_horz->m_range = 0;
        m_vert->m_range = 0;
        RefreshBars();
    } else {
        AdjustAutoRange();
    }
}

void TVisScrollingWinControl::AdjustAutoRange() {
    if (!m_autoScroll || !AutoScrollEnabled() || m_sizeChanging > 0) return;
    int right = 0, bottom = 0;
    for (QObject* o : viewport()->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || w->isHidden()) continue;
        right = std::max(right, m_horz->Position() + w->x() + w->width());
        bottom = std::max(bottom, m_vert->Position() + w->y() + w->height());
    }
    m_horz->m_range = right > 0 ? right + m_horz->Margin() : 0;
    m_vert->m_range = bottom > 0 ? bottom + m_vert->Margin() : 0;
    RefreshBars();
}

void TVisScrollingWinControl::ChangeScale(int m, int d) {
    if (m == d) return;
    for (TVisControlScrollBar* b : {m_horz.get(), m_vert.get()}) {
        b->m_rangeScaled = true;
        b->SetPosition(0);
    }
    if (!m_autoScroll)
        for (TVisControlScrollBar* b : {m_horz.get(), m_vert.get()})
            if (b->m_rangeScaled) b->m_range = std::max(ScaleRange(b->m_range, m, d), 0);
    m_horz->m_rangeScaled = false;
    m_vert->m_rangeScaled = false;
    RefreshBars();
}

void TVisScrollingWinControl::ScrollContent(int deltaX, int deltaY) {
    viewport()->scroll(deltaX, deltaY);
}

void TVisScrollingWinControl::resizeEvent(QResizeEvent* event) {
    ++m_sizeChanging;
    if (m_horz->Visible() || m_vert->Visible()) RefreshBars();
    --m_sizeChanging;
    AdjustAutoRange();
    QAbstractScrollArea::resizeEvent(event);
}

} // namespace lv
