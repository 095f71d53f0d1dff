// TGraphView: world extents, coordinates, zoom, scrolling, panning, resizing, properties.
// The painting of the strips and the content is in uViewCmpsPaint.cpp.

#include "display/uViewCmps.h"
#include "display/uViewCmpsData.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <cmath>

#include "trace/Errors.h"
#include "trace/Numeric.h"
#include "trace/ValueHelpers.h"

namespace lv {

const char* const kMsgBadScrollInfo = "Неверная иныормация о скролинге в позиции %d";

// --- TGContentPainter -----------------------------------------------------------------------------

TGContentPainter::TGContentPainter(const TGraphGeometry& geometry, const TRulerLayout& xRulers,
                                   const TRulerLayout& yRulers, TDrawStruct* ds)
    : m_geometry(geometry), m_xRulers(xRulers), m_yRulers(yRulers), m_ds(ds) {
    TRect r = (ds && !ds->PaintRect.IsEmpty()) ? ds->PaintRect : geometry.Content;
    m_paintXMin = m_geometry.XMap().ToWorld(r.Left);
    m_paintXMax = m_geometry.XMap().ToWorld(r.Right);
}

void TGContentPainter::MoveTo(double x, double y) {
    m_penPos = WorldToPixel(x, y);
}

void TGContentPainter::LineTo(double x, double y) {
    QPoint to = WorldToPixel(x, y);
    if (QPainter* p = Canvas()) p->drawLine(m_penPos, to);
    m_penPos = to;
}

void TGContentPainter::Line(double x1, double y1, double x2, double y2) {
    MoveTo(x1, y1);
    LineTo(x2, y2);
}

void TGContentPainter::Rectangle(const TRealRect& r) {
    QPainter* p = Canvas();
    if (!p) return;
    TRect px = WorldRectToPixel(r);
    p->save();
    p->setBrush(Qt::NoBrush);
    p->drawRect(QRect(px.Left, px.Top, std::max(px.Width() - 1, 0), std::max(px.Height() - 1, 0)));
    p->restore();
}

// --- TGraphScrollInfo ----------------------------------------------------------------------------

void TGraphScrollInfo::Add(const TRect& r) {
    if (r.IsEmpty()) return;
    const bool horizontal = DeltaX != 0 && DeltaY == 0;
    const bool vertical = DeltaY != 0 && DeltaX == 0;
    // Merging must not change what a move does: a horizontal move can treat two rectangles as one
    // when they are stacked with the same left and right edges (vertical alike). Side-by-side
    // rectangles would pass pixels to each other.
    for (TRect& m : m_rects) {
        if (horizontal && m.Left == r.Left && m.Right == r.Right &&
            (m.Bottom == r.Top || r.Bottom == m.Top)) {
            m = m.United(r);
            return;
        }
        if (vertical && m.Top == r.Top && m.Bottom == r.Bottom && (m.Right == r.Left || r.Right == m.Left)) {
            m = m.United(r);
            return;
        }
    }
    m_rects.push_back(r);
}

const TRect& TGraphScrollInfo::Rect(int index) const {
    if (index < 0 || index >= Count()) throw EListError(FormatS(kMsgBadScrollInfo, std::to_string(index)));
    return m_rects[size_t(index)];
}

// --- construction --------------------------------------------------------------------------------

TGraphView::TGraphView(QWidget* parent)
    : TVisScrollingWinControl(parent), m_data(std::make_unique<TGData>(this)) {
    m_headerFont = MakeStripFont(12, true, clBlue);
    for (TAxisStrips* s : {&m_x, &m_y}) {
        s->LabelFont = s->ScaleFont = s->PowerFont = s->ValuesFont = MakeStripFont(8, false, clBlue);
        s->LabelSize = defaultSize(s->LabelFont);
        s->SPSize = scaleStripDefault(*s);
        s->ValuesSize = defaultSize(s->ValuesFont);
    }
    m_x.LabelPos = m_x.SPPos = m_x.RulsPos = xlpBottom;
    m_y.LabelPos = m_y.SPPos = m_y.RulsPos = ylpLeft;
    m_contentFont = MakeStripFont(8, false, clWhite);
    m_headerSize = defaultSize(m_headerFont);

    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    // The view paints every pixel of its client area itself.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(true);
    m_dragTimer.setInterval(100);
    connect(&m_dragTimer, &QTimer::timeout, this, [this] { onDragTimer(); });

    // What the window's creation does: the ranges become explicit and the bars plain.
    SetAutoScroll(false);
    for (TVisControlScrollBar* b : {&HorzScrollBar(), &VertScrollBar()}) {
        b->SetSize(10);
        b->SetPosition(0);
        b->SetIncrement(10);
        b->SetTracking(true);
        b->SetVisible(true);
    }
    LayoutAreas();
}

TGraphView::~TGraphView() {
    m_dragTimer.stop();
    if (OnDestroy) {
        try {
            OnDestroy(this);
        } catch (...) {
            // A destructor cannot pass it on; there is no application handler at this layer.
        }
    }
    // The items go without reporting to a view that is half gone; a store they leave may live on
    // with another client (the overview keeps showing it).
    m_data->beginDestroy();
    m_messager.Broadcast(gnViewDestroyed, 0, TMessager::mdCall);
    m_data.reset();
}

// --- update lock and invalidation ----------------------------------------------------------------

void TGraphView::BeginUpdate() {
    ++m_updateCount;
}

void TGraphView::EndUpdate() {
    if (m_updateCount > 0) --m_updateCount;
    if (m_updateCount == 0) InvalidateAll();
}

void TGraphView::InvalidateAll() {
    if (m_updateCount > 0) return;
    update();
    viewport()->update();
}

QRegion TGraphView::AreaRegion(TWhatObject area) const {
    TRect r = m_layout.Area(area, 0).United(m_layout.Area(area, 1));
    return QRegion(r.ToQRect());
}

void TGraphView::InvalidateArea(TWhatObject area) {
    if (m_updateCount > 0) return;
    QRegion region = AreaRegion(area);
    if (!region.isEmpty()) viewport()->update(region);
}

std::optional<std::pair<TWhatObject, int>> TGraphView::AreaAt() const {
    return m_layout.AreaAt(m_lastPointer.x(), m_lastPointer.y());
}

// --- geometry ------------------------------------------------------------------------------------

TGraphGeometry TGraphView::geometryFor(int clientWidth, int clientHeight) const {
    TGraphGeometry g;
    g.Exts = m_exts;
    g.Content = m_layout.Content();
    const int w = std::max(g.Content.Width(), 0), h = std::max(g.Content.Height(), 0);
    const int hr = HorzScrollBar().Range(), vr = VertScrollBar().Range();
    g.VirtualWidth = hr <= 0 ? w : hr - (clientWidth - w);
    g.VirtualHeight = vr <= 0 ? h : vr - (clientHeight - h);
    g.XOffset = std::max(0, std::min(HorzScrollBar().Position(), g.VirtualWidth - w));
    int yo = g.VirtualHeight - h - VertScrollBar().Position();
    g.YOffset = (g.VirtualHeight > h && yo >= 0) ? yo : 0;
    return g;
}

TGraphGeometry TGraphView::Geometry() const {
    return geometryFor(ClientWidth(), ClientHeight());
}

int TGraphView::VirtualWidth() const {
    return Geometry().VirtualWidth;
}
int TGraphView::VirtualHeight() const {
    return Geometry().VirtualHeight;
}
int TGraphView::XOffset() const {
    return Geometry().XOffset;
}
int TGraphView::YOffset() const {
    return Geometry().YOffset;
}

double TGraphView::VisibleXMin() const {
    TGraphGeometry g = Geometry();
    auto d = SafeDivide(g.XOffset * (m_exts.XMax - m_exts.XMin), double(g.VirtualWidth));
    return m_exts.XMin + (d ? *d : 0.0);
}

double TGraphView::VisibleYMin() const {
    TGraphGeometry g = Geometry();
    auto d = SafeDivide(g.YOffset * (m_exts.YMax - m_exts.YMin), double(g.VirtualHeight));
    return m_exts.YMin + (d ? *d : 0.0);
}

TRealRect TGraphView::GetVisExts() const {
    TGraphGeometry g = Geometry();
    return g.PixelRectToWorld(g.Content);
}

void TGraphView::SetXMin(double x) {
    if (x == m_exts.XMin || !(x < m_exts.XMax) || !std::isfinite(x)) return;
    m_exts.XMin = x;
    InvalidateAll();
}

void TGraphView::SetXMax(double x) {
    if (x == m_exts.XMax || !(x > m_exts.XMin) || !std::isfinite(x)) return;
    m_exts.XMax = x;
    InvalidateAll();
}

void TGraphView::SetYMin(double y) {
    if (y == m_exts.YMin || !(y < m_exts.YMax) || !std::isfinite(y)) return;
    m_exts.YMin = y;
    InvalidateAll();
}

void TGraphView::SetYMax(double y) {
    if (y == m_exts.YMax || !(y > m_exts.YMin) || !std::isfinite(y)) return;
    m_exts.YMax = y;
    InvalidateAll();
}

void TGraphView::SetVirtualWidth(int pixels) {
    const int w = std::max(ContentRect().Width(), 0);
    const int range = RangeForVirtualSize(pixels, w, ClientWidth());
    if (range == HorzScrollBar().Range()) return;
    const double visible = VisibleXMin();
    HorzScrollBar().SetRange(range);
    if (VisibleXMin() != visible) ScrollToX(visible);
    InvalidateAll();
}

void TGraphView::SetVirtualHeight(int pixels) {
    const int h = std::max(ContentRect().Height(), 0);
    const int range = RangeForVirtualSize(pixels, h, ClientHeight());
    if (range == VertScrollBar().Range()) return;
    const double visible = VisibleYMin();
    VertScrollBar().SetRange(range);
    if (VisibleYMin() != visible) ScrollToY(visible);
    InvalidateAll();
}

void TGraphView::SetXOffset(int offset) {
    const int room = std::max(VirtualWidth() - std::max(ContentRect().Width(), 0), 0);
    HorzScrollBar().SetPosition(std::clamp(offset, 0, room));
}

void TGraphView::SetYOffset(int offset) {
    offset = std::max(offset, 0);
    const int vh = VirtualHeight(), h = std::max(ContentRect().Height(), 0);
    if (vh >= h) VertScrollBar().SetPosition(std::max(vh - h - offset, 0));
}

void TGraphView::ScrollToX(double x) {
    SetXOffset(ScaledPixels(VirtualWidth(), x - m_exts.XMin, m_exts.XMax - m_exts.XMin).value_or(0));
}

void TGraphView::ScrollToY(double y) {
    SetYOffset(ScaledPixels(VirtualHeight(), y - m_exts.YMin, m_exts.YMax - m_exts.YMin).value_or(0));
}

// --- zoom ----------------------------------------------------------------------------------------

bool TGraphView::LimitZoom(const TRealRect& data, TRealRect& newRect) {
    return lv::LimitZoom(data, newRect, m_maxXZoomRatio, m_maxYZoomRatio);
}

void TGraphView::ZoomTo(TRealRect newRect) {
    TUpdateGuard lock(*this);
    DoBeforeZoom(newRect);
    const TRealRect data = DataExtents();
    // An empty or inverted rectangle has no scale to zoom to; the world stays as it is.
    if (!newRect.IsFinite() || !LimitZoom(data, newRect) || !newRect.HasArea()) return;
    m_exts = ZoomWorld(m_exts, newRect, data);
    LayoutAreas();
    CalcRulers();

    double c = GetVisExts().Width();
    if (c > 0) {
        if (c != newRect.Width()) {
            auto v = ScaledPixels(VirtualWidth(), c, newRect.Width());
            if (!v) return;
            SetVirtualWidth(*v);
        }
        if (VisibleXMin() != newRect.XMin) ScrollToX(newRect.XMin);
    }
    c = GetVisExts().Height();
    if (c > 0) {
        if (c != newRect.Height()) {
            auto v = ScaledPixels(VirtualHeight(), c, newRect.Height());
            if (!v) return;
            SetVirtualHeight(*v);
        }
        if (VisibleYMin() != newRect.YMin) ScrollToY(newRect.YMin);
    }
    DoAfterZoom(newRect);
}

TRealRect TGraphView::DataExtents() const {
    return m_data->DataExtents();
}

std::optional<TActiveItemInfo> TGraphView::ActiveItemInfo() const {
    TGDataItem* item = ShownActiveItem();
    if (!item) return std::nullopt;
    return TActiveItemInfo{item->Colour(), item->Caption(), item->FileName()};
}

void TGraphView::SetDisplayMethod(TDisplayMethod v) {
    if (m_displayMethod == v) return;
    m_displayMethod = v;
    InvalidateArea(woContent);
}

void TGraphView::SetShowChanger(bool v) {
    if (m_showChanger == v) return;
    m_showChanger = v;
    if (v && !m_changer) m_changer = new TGraphChanger(this);
    updateChanger();
}

void TGraphView::updateChanger() {
    if (!m_changer) return;
    m_changer->move(0, 0);
    m_changer->setVisible(m_showChanger);
    m_changer->setEnabled(m_data && m_data->ActiveItem() != nullptr);
}

std::vector<TColor*> TGraphView::colourSlots(bool inks) {
    if (!inks)
        return {&m_x.ValuesBkColor, &m_y.ValuesBkColor, &m_x.RulsBkColor, &m_y.RulsBkColor,
                &m_headerColor,     &m_x.LabelColor,    &m_y.LabelColor,  &m_x.SPColor,
                &m_y.SPColor,       &m_contentBkColor};
    return {&m_x.RulsColor,        &m_y.RulsColor,       &m_x.GridsColor,      &m_y.GridsColor,
            &m_contentFont.Color,  &m_headerFont.Color,  &m_x.LabelFont.Color, &m_y.LabelFont.Color,
            &m_x.ScaleFont.Color,  &m_y.ScaleFont.Color, &m_x.PowerFont.Color, &m_y.PowerFont.Color,
            &m_x.ValuesFont.Color, &m_y.ValuesFont.Color};
}

void TGraphView::SetMonochrome(bool on) {
    if (on == m_monochrome) return;
    std::vector<TColor*> places = colourSlots(false);
    const size_t backgrounds = places.size();
    for (TColor* c : colourSlots(true))
        places.push_back(c);
    if (on) {
        m_savedColours.clear();
        for (size_t i = 0; i < places.size(); ++i) {
            m_savedColours.push_back(*places[i]);
            *places[i] = i < backgrounds ? clWhite : clBlack;
        }
    } else if (m_savedColours.size() == places.size()) {
        for (size_t i = 0; i < places.size(); ++i)
            *places[i] = m_savedColours[i];
    }
    m_monochrome = on;
    InvalidateAll();
}

void TGraphView::ShowAll() {
    const TRealRect d = DataExtents();
    if (d.XMin != d.XMax && d.YMin != d.YMax) ZoomTo(d);
}

void TGraphView::AdoptExtents(const TRealRect& itemExts, bool sole, bool fit) {
    if (!itemExts.IsFinite()) return;
    TUpdateGuard lock(*this);
    const double oldWidth = m_exts.Width(), oldHeight = m_exts.Height();
    const double oldVisibleX = VisibleXMin(), oldVisibleY = VisibleYMin();
    const TRealRect e = WithMargins(itemExts, m_minXMargin, m_maxXMargin, m_minYMargin, m_maxYMargin);
    const TRealRect world = AdoptWorld(m_exts, e, sole);
    // A world without extent on an axis could not be shown; that axis keeps its edges.
    if (world.XMin < world.XMax) {
        m_exts.XMin = world.XMin;
        m_exts.XMax = world.XMax;
    }
    if (world.YMin < world.YMax) {
        m_exts.YMin = world.YMin;
        m_exts.YMax = world.YMax;
    }
    LayoutAreas();

    std::optional<int> v;
    if (fit && m_xFitInWindow) {
        v = ScaledPixels(std::max(ContentRect().Width(), 0), m_exts.Width(), e.Width());
        SetVirtualWidth(v.value_or(0));
    } else if (m_exts.Width() != oldWidth) {
        v = ScaledPixels(VirtualWidth(), m_exts.Width(), oldWidth);
        SetVirtualWidth(v.value_or(0));
    }
    if (fit && m_yFitInWindow) {
        v = ScaledPixels(std::max(ContentRect().Height(), 0), m_exts.Height(), e.Height());
        SetVirtualHeight(v.value_or(0));
    } else if (m_exts.Height() != oldHeight) {
        v = ScaledPixels(VirtualHeight(), m_exts.Height(), oldHeight);
        SetVirtualHeight(v.value_or(0));
    }
    if (fit) {
        ScrollToX(itemExts.XMin);
        ScrollToY(itemExts.YMin);
    } else {
        // A world grown to the left or below would drag the visible window along with its lower
        // edge; an item that is not fitted leaves the window where it was.
        if (VisibleXMin() != oldVisibleX) ScrollToX(oldVisibleX);
        if (VisibleYMin() != oldVisibleY) ScrollToY(oldVisibleY);
    }
}

void TGraphView::SetMaxXZoomRatio(int percent) {
    percent = std::max(percent, 100);
    if (percent == m_maxXZoomRatio) return;
    m_maxXZoomRatio = percent;
    ZoomTo(GetVisExts());
}

void TGraphView::SetMaxYZoomRatio(int percent) {
    percent = std::max(percent, 100);
    if (percent == m_maxYZoomRatio) return;
    m_maxYZoomRatio = percent;
    ZoomTo(GetVisExts());
}

void TGraphView::SetMaxZoomRatio(int percent) {
    percent = std::max(percent, 100);
    if (m_maxXZoomRatio == percent && m_maxYZoomRatio == percent) return;
    m_maxXZoomRatio = m_maxYZoomRatio = percent;
    ZoomTo(GetVisExts());
}

void TGraphView::setMargin(int& slot, int v) {
    v = std::max(v, 0);
    if (slot == v) return;
    slot = v;
    InvalidateAll();
}

void TGraphView::DoBeforeZoom(TRealRect& newRect) {
    if (OnBeforeZoom) OnBeforeZoom(this, newRect);
}

void TGraphView::DoAfterZoom(TRealRect& newRect) {
    if (OnAfterZoom) OnAfterZoom(this, newRect);
}

// --- notifications -------------------------------------------------------------------------------

void TGraphView::DoExtsChanged() {
    TExtsPair now{GetExts(), GetVisExts()};
    if (now.Exts == m_reported.Exts && now.VisExts == m_reported.VisExts) return;
    m_reported = now;
    m_messager.Broadcast(gnExtsChanged, reinterpret_cast<TMessageValue>(&now), TMessager::mdCall);
    if (OnExtsChanged) OnExtsChanged(this, now.Exts, now.VisExts);
}

void TGraphView::DoActiveItemChanged(TGDataItem* item) {
    m_messager.Broadcast(gnActiveItemChanged, reinterpret_cast<TMessageValue>(item), TMessager::mdCall);
}

void TGraphView::DoItemChanged(TGDataItem* item, bool isActive) {
    m_messager.Broadcast(gnItemChanged, reinterpret_cast<TMessageValue>(item), TMessager::mdCall);
}

// --- scrolling -----------------------------------------------------------------------------------

void TGraphView::DoBeforeScrollContentBy(int& deltaX, int& deltaY) {
    if (OnBeforeScrollContentBy) OnBeforeScrollContentBy(this, deltaX, deltaY);
}

void TGraphView::DoAfterScrollContentBy(int deltaX, int deltaY) {
    if (OnAfterScrollContentBy) OnAfterScrollContentBy(this, deltaX, deltaY);
}

TGraphScrollInfo TGraphView::CreateScrollInfo(int deltaX, int deltaY) {
    TGraphScrollInfo info(deltaX, deltaY);
    info.Add(ContentRect());
    if (deltaX != 0)
        for (int side = 0; side < 2; ++side)
            info.Add(m_layout.Area(woXRuls, side));
    if (deltaY != 0)
        for (int side = 0; side < 2; ++side)
            info.Add(m_layout.Area(woYRuls, side));
    return info;
}

void TGraphView::ScrollContent(int deltaX, int deltaY) {
    DoBeforeScrollContentBy(deltaX, deltaY);
    const TGraphGeometry g = Geometry();
    const int w = std::max(g.Content.Width(), 0), h = std::max(g.Content.Height(), 0);
    deltaX = LimitScrollDelta(HorzScrollBar().Position(), w, g.VirtualWidth, deltaX);
    deltaY = LimitScrollDelta(VertScrollBar().Position(), h, g.VirtualHeight, deltaY);
    if (deltaX == 0 && deltaY == 0) return;
    // The picture is redrawn from state rather than moved: overlays drawn over the content
    // (cursor, frames) must not travel with its pixels.
    const TGraphScrollInfo info = CreateScrollInfo(deltaX, deltaY);
    if (m_updateCount == 0)
        for (int i = 0; i < info.Count(); ++i)
            viewport()->update(info.Rect(i).ToQRect());
    if (deltaX != 0) InvalidateArea(woXValues);
    if (deltaY != 0) InvalidateArea(woYValues);
    DoAfterScrollContentBy(deltaX, deltaY);
}

// --- layout and properties -----------------------------------------------------------------------

bool TGraphView::ScaleStripShown(TAxis axis) const {
    const TAxisStrips& s = strips(axis);
    return s.ScaleVisible || s.PowerVisible;
}

void TGraphView::LayoutAreas() {
    TLayoutInput input;
    input.HeaderVisible = m_headerVisible;
    input.HeaderSize = m_headerSize;
    input.HeaderPos = m_headerPos;
    input.XLabel = {m_x.LabelVisible, m_x.LabelSize, m_x.LabelPos};
    input.YLabel = {m_y.LabelVisible, m_y.LabelSize, m_y.LabelPos};
    input.XScale = {ScaleStripShown(TAxis::X), m_x.SPSize, m_x.SPPos};
    input.YScale = {ScaleStripShown(TAxis::Y), m_y.SPSize, m_y.SPPos};
    input.XValues = {m_x.ValuesVisible, m_x.ValuesSize, m_x.RulsPos};
    input.YValues = {m_y.ValuesVisible, m_y.ValuesSize, m_y.RulsPos};
    input.XRuls = {m_x.RulsVisible, m_x.RulsSize, m_x.RulsPos};
    input.YRuls = {m_y.RulsVisible, m_y.RulsSize, m_y.RulsPos};
    const QRect client = ClientRect();
    m_layout = lv::LayoutAreas(TRect::FromQRect(client), input);
    m_layoutClient = client.size();
}

TRulerLayout TGraphView::rulersNow(TAxis axis) const {
    const TGraphGeometry g = Geometry();
    const TRect& c = g.Content;
    if (axis == TAxis::X)
        return CalcRulerLayout({c.Width(), m_x.GridsCount, m_x.RulsPerGrd, g.XOffset, c.Left, false,
                                m_exts.XMax - m_exts.XMin, g.VirtualWidth});
    return CalcRulerLayout({c.Height(), m_y.GridsCount, m_y.RulsPerGrd, g.YOffset, c.Bottom, true,
                            m_exts.YMax - m_exts.YMin, g.VirtualHeight});
}

void TGraphView::CalcRulers() {
    m_xRulers = rulersNow(TAxis::X);
    m_yRulers = rulersNow(TAxis::Y);
}

void TGraphView::relayout() {
    LayoutAreas();
    InvalidateAll();
}

void TGraphView::setColor(TColor& slot, TColor v, TWhatObject area) {
    if (slot == v) return;
    slot = v;
    InvalidateArea(area);
}

void TGraphView::setFlag(bool& slot, bool v, TWhatObject area) {
    if (slot == v) return;
    slot = v;
    InvalidateArea(area);
}

void TGraphView::setInt(int& slot, int v, TWhatObject area) {
    if (slot == v) return;
    slot = v;
    InvalidateArea(area);
}

void TGraphView::setText(QString& slot, const QString& v, std::initializer_list<TWhatObject> areas) {
    if (slot == v) return;
    slot = v;
    for (TWhatObject a : areas)
        InvalidateArea(a);
}

void TGraphView::setSize(int& slot, int v, int minimum) {
    v = std::max(v, minimum);
    if (slot == v) return;
    slot = v;
    relayout();
}

void TGraphView::setStripFont(TGraphFont& slot, const TGraphFont& f, int& size, TWhatObject area) {
    if (slot == f) return;
    const int oldHeight = FontPixelHeight(slot.Font);
    slot = f;
    const int minimum = defaultSize(slot);
    if (FontPixelHeight(f.Font) != oldHeight && size < minimum) {
        size = minimum;
        relayout();
    } else {
        InvalidateArea(area);
    }
}

void TGraphView::setScaleFont(TAxis axis, TGraphFont& slot, const TGraphFont& f) {
    if (slot == f) return;
    const int oldHeight = FontPixelHeight(slot.Font);
    slot = f;
    TAxisStrips& s = axis == TAxis::X ? m_x : m_y;
    const int minimum = scaleStripDefault(s);
    if (FontPixelHeight(f.Font) != oldHeight && s.SPSize < minimum) {
        s.SPSize = minimum;
        relayout();
    } else {
        InvalidateArea(axis == TAxis::X ? woXScale : woYScale);
    }
}

void TGraphView::setScalePart(TAxis axis, bool& slot, bool v, bool power) {
    if (slot == v) return;
    const bool wasShown = ScaleStripShown(axis);
    slot = v;
    if (wasShown && ScaleStripShown(axis)) {
        InvalidateArea(axis == TAxis::X ? woXScale : woYScale);
        if (power) InvalidateArea(axis == TAxis::X ? woXValues : woYValues);
    } else {
        relayout();
    }
}

void TGraphView::setRulsPerGrd(TAxisStrips& s, int v) {
    // The ruler layout divides by it.
    v = std::max(v, 1);
    if (s.RulsPerGrd == v) return;
    s.RulsPerGrd = v;
    // Tick spacing, grids and values all follow it: a repaint of the rulers alone would leave
    // stale grid lines and numbers.
    InvalidateAll();
}

void TGraphView::setTickSize(TAxisStrips& s, int& slot, int v, TWhatObject area) {
    v = std::max(v, 2);
    if (slot == v) return;
    slot = v;
    if (s.RulsSize < v) {
        s.RulsSize = v;
        relayout();
    } else {
        InvalidateArea(area);
    }
}

void TGraphView::SetColor(TColor v) {
    if (m_color == v) return;
    m_color = v;
    InvalidateAll();
}

void TGraphView::SetBorderStyle(TBorderStyle v) {
    if (m_borderStyle == v) return;
    m_borderStyle = v;
    setFrameStyle(v == bsSingle ? (QFrame::StyledPanel | QFrame::Sunken) : QFrame::NoFrame);
    relayout();
}

void TGraphView::SetHeaderVisible(bool v) {
    setRelayout(m_headerVisible, v);
}

void TGraphView::SetHeader(const QString& v) {
    setText(m_header, v, {woHeader});
}

void TGraphView::SetHeaderPos(THeaderPos v) {
    setRelayout(m_headerPos, v);
}

void TGraphView::SetHeaderFont(const TGraphFont& f) {
    setStripFont(m_headerFont, f, m_headerSize, woHeader);
}

void TGraphView::SetHeaderShowGraphColor(bool v) {
    setFlag(m_headerShowGraphColor, v, woHeader);
}

void TGraphView::SetHeaderSize(int v) {
    setSize(m_headerSize, v, defaultSize(m_headerFont));
}

void TGraphView::SetHeaderContent(THeaderContent v) {
    if (m_headerContent == v) return;
    m_headerContent = v;
    m_header.clear();
    InvalidateArea(woHeader);
}

void TGraphView::SetContentFont(const TGraphFont& f) {
    if (m_contentFont == f) return;
    m_contentFont = f;
    InvalidateArea(woContent);
}

// --- resizing ------------------------------------------------------------------------------------

void TGraphView::resizeEvent(QResizeEvent* event) {
    TUpdateGuard lock(*this);
    ++m_sizeChanging;
    const TRect oldC = ContentRect();
    // The world rectangle shown before the change, measured with the client size the layout
    // was made for (the client already has its new size here).
    const TGraphGeometry old = geometryFor(m_layoutClient.width(), m_layoutClient.height());
    TRealRect r = old.PixelRectToWorld(old.Content);
    RefreshBars();
    LayoutAreas();
    const TRect newC = ContentRect();
    if (!oldC.IsEmpty() && old.Valid() && r.HasArea()) {
        const bool widthChanged = newC.Width() != oldC.Width();
        const bool heightChanged = newC.Height() != oldC.Height();
        if (widthChanged && !m_xKeepVisExt)
            r.XMax = r.XMin + r.Width() * std::max(newC.Width(), 0) / oldC.Width();
        if (heightChanged && !m_yKeepVisExt)
            r.YMax = r.YMin + r.Height() * std::max(newC.Height(), 0) / oldC.Height();
        if (widthChanged || heightChanged) ZoomTo(r);
    }
    --m_sizeChanging;
    QAbstractScrollArea::resizeEvent(event);
}

// --- mouse ---------------------------------------------------------------------------------------

Qt::CursorShape TGraphView::PointerShapeAt(const QPoint& pos) const {
    auto area = m_layout.AreaAt(pos.x(), pos.y());
    if (area) {
        if (area->first == woXRuls || area->first == woXValues) return Qt::SizeHorCursor;
        if (area->first == woYRuls || area->first == woYValues) return Qt::SizeVerCursor;
    }
    return Qt::ArrowCursor;
}

void TGraphView::updatePointer() {
    Qt::CursorShape shape = m_rulerDrag == TRulerDrag::Horizontal ? Qt::SizeHorCursor
                            : m_rulerDrag == TRulerDrag::Vertical ? Qt::SizeVerCursor
                                                                  : PointerShapeAt(m_lastPointer);
    if (viewport()->cursor().shape() != shape) viewport()->setCursor(shape);
}

void TGraphView::mousePressEvent(QMouseEvent* event) {
    m_lastPointer = event->position().toPoint();
    // Qt cannot refuse the focus, so the press is never dropped for want of it.
    setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::LeftButton && m_rulerDrag == TRulerDrag::None) {
        auto area = AreaAt();
        if (area && (area->first == woXRuls || area->first == woXValues))
            m_rulerDrag = TRulerDrag::Horizontal;
        else if (area && (area->first == woYRuls || area->first == woYValues))
            m_rulerDrag = TRulerDrag::Vertical;
        if (m_rulerDrag != TRulerDrag::None) {
            m_dragAnchor = m_lastPointer;
            m_dragTimer.start();
        }
    }
    updatePointer();
}

void TGraphView::panTo(const QPoint& pos) {
    const TRect c = ContentRect();
    if (m_rulerDrag == TRulerDrag::Horizontal) {
        int x = std::clamp(pos.x(), c.Left, std::max(c.Right, c.Left));
        if (x != m_dragAnchor.x()) {
            SetXOffset(XOffset() + m_dragAnchor.x() - x);
            m_dragAnchor.setX(x);
        }
    } else if (m_rulerDrag == TRulerDrag::Vertical) {
        int y = std::clamp(pos.y(), c.Top, std::max(c.Bottom, c.Top));
        if (y != m_dragAnchor.y()) {
            SetYOffset(YOffset() + y - m_dragAnchor.y());
            m_dragAnchor.setY(y);
        }
    }
}

void TGraphView::mouseMoveEvent(QMouseEvent* event) {
    m_lastPointer = event->position().toPoint();
    if (m_rulerDrag != TRulerDrag::None) panTo(m_lastPointer);
    updatePointer();
}

void TGraphView::mouseReleaseEvent(QMouseEvent* event) {
    m_lastPointer = event->position().toPoint();
    if (event->button() == Qt::LeftButton && m_rulerDrag != TRulerDrag::None) {
        panTo(m_lastPointer);
        m_dragTimer.stop();
        m_rulerDrag = TRulerDrag::None;
    }
    updatePointer();
}

void TGraphView::mouseDoubleClickEvent(QMouseEvent* event) {
    m_lastPointer = event->position().toPoint();
    if (OnDblClick) OnDblClick(this);
}

void TGraphView::onDragTimer() {
    // The pointer outside the content keeps the world moving one step per tick.
    const TRect c = ContentRect();
    const QPoint p = m_lastPointer;
    if (m_rulerDrag == TRulerDrag::Horizontal) {
        if (p.x() < c.Left) {
            m_dragAnchor.setX(c.Left);
            SetXOffset(XOffset() + HorzScrollBar().Increment());
        } else if (p.x() > c.Right) {
            m_dragAnchor.setX(c.Right);
            SetXOffset(XOffset() - HorzScrollBar().Increment());
        }
    } else if (m_rulerDrag == TRulerDrag::Vertical) {
        if (p.y() < c.Top) {
            m_dragAnchor.setY(c.Top);
            SetYOffset(YOffset() - VertScrollBar().Increment());
        } else if (p.y() > c.Bottom) {
            m_dragAnchor.setY(c.Bottom);
            SetYOffset(YOffset() + VertScrollBar().Increment());
        }
    }
}

void TGraphView::CancelMouseMode() {
    m_dragTimer.stop();
    m_rulerDrag = TRulerDrag::None;
    updatePointer();
}

void TGraphView::focusOutEvent(QFocusEvent* event) {
    if (m_rulerDrag != TRulerDrag::None) CancelMouseMode();
    TVisScrollingWinControl::focusOutEvent(event);
}

void TGraphView::hideEvent(QHideEvent* event) {
    // A hidden view gets no more mouse events, and it may keep the focus (nothing else in its
    // window takes it): a drag going on ends here, as when the mouse is lost.
    CancelMouseMode();
    TVisScrollingWinControl::hideEvent(event);
}

void TGraphView::wheelEvent(QWheelEvent* event) {
    // The wheel does nothing over the content; the window's owner may use it.
    event->ignore();
}

void TGraphView::keyPressEvent(QKeyEvent* event) {
    // The menu key and Shift+F10 open the popup menu. Other keys are the window's (its commands
    // and short-cuts); the scroll area's own key scrolling is not part of the view. (Where the
    // platform turns the menu key into a context-menu event of its own, the open menu takes the
    // key press that follows.)
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool menuKey = event->key() == Qt::Key_Menu && mods == Qt::NoModifier;
    const bool shiftF10 = event->key() == Qt::Key_F10 && mods == Qt::ShiftModifier;
    if ((menuKey || shiftF10) && Popup(KeyboardPopupPos())) {
        event->accept();
        return;
    }
    event->ignore();
}

void TGraphView::contextMenuEvent(QContextMenuEvent* event) {
    const QPoint at = event->reason() == QContextMenuEvent::Mouse ? event->pos() : KeyboardPopupPos();
    if (Popup(at))
        event->accept();
    else
        event->ignore();
}

QPoint TGraphView::KeyboardPopupPos() const {
    const TRect c = ContentRect();
    return {c.Left + 2, c.Top + 2};
}

bool TGraphView::Popup(const QPoint& clientPos) {
    if (!m_popupMenu) return false;
    if (OnPopup) OnPopup(this);
    // The menu may have gone with its owner while OnPopup ran.
    if (!m_popupMenu) return false;
    m_popupMenu->popup(viewport()->mapToGlobal(clientPos));
    return true;
}

QString TGraphView::decimalSeparator() const {
    return QLocale().decimalPoint();
}

} // namespace lv
