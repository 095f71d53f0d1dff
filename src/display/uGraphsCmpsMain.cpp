// TMainGraph: cursor, markers, start line and the left-button gestures; TMarker: the glyphs.

#include <QCursor>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>
#include <array>
#include <cmath>
#include <limits>

#include "display/Overlay.h"
#include "display/uGraphsCmps.h"

// Resources of a static library are registered by hand, outside any namespace, once.
static void initDisplayResources() {
    static bool done = false;
    if (done) return;
    done = true;
    Q_INIT_RESOURCE(display);
}

namespace lv {

const char* const kMsgMarkerParent = "Родительский компонент для маркера должен быть наследником TMainGraph";

namespace {

// Order of the markers along X: M1 < M2 < Y < M3.
int rankOf(const TMarker* m) {
    if (m->IsY()) return 2;
    return m->MkNum() == 3 ? 3 : m->MkNum() - 1;
}

// The trace's marker index of m_markers[i] (M1, M2, M3, Y).
constexpr int kStoredMarker[] = {0, 1, 2, 4};

const QPoint kFunnel[] = {{0, 0}, {0, 2}, {6, 14}, {6, 23}, {8, 23}, {8, 16}, {15, 2}, {15, 0}};
const QPoint kPrintOutline[] = {{0, 0}, {0, 2}, {7, 15}, {7, 23}, {8, 23}, {8, 16}, {15, 2}, {15, 0}, {0, 0}};

// The glyph pictures, made once from the resources: index 0..2 M1..M3, 3 the Y marker; the
// second set inverted for a white background.
const QImage& glyph(int index, bool inverted) {
    static std::array<std::array<QImage, 2>, 4> images;
    QImage& img = images[size_t(index)][inverted ? 1 : 0];
    if (img.isNull()) {
        static const char* const names[] = {":/markers/M1.svg", ":/markers/M2.svg", ":/markers/M3.svg",
                                            ":/markers/MY.svg"};
        initDisplayResources();
        img = QImage(TMarker::kWidth, TMarker::kHeight, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        QSvgRenderer svg(QString::fromLatin1(names[index]));
        QPainter p(&img);
        svg.render(&p);
        p.end();
        if (inverted) img.invertPixels(QImage::InvertRgb);
    }
    return img;
}

} // namespace

// --- TMarker ---------------------------------------------------------------------------------------

TMarker::TMarker(TMainGraph* parent, bool isY, int number) : m_parent(parent), m_isY(isY) {
    SetMkNum(isY ? 2 : number);
}

void TMarker::SetParent(QWidget* parent) {
    auto* graph = dynamic_cast<TMainGraph*>(parent);
    if (parent && !graph) throw EInvalidOperation(kMsgMarkerParent);
    m_parent = graph;
}

QRect TMarker::Bounds() const {
    if (!m_parent) return {};
    const TGraphGeometry g = m_parent->Geometry();
    return QRect(TopLeftFor(g.XMap().ToPixel(m_x), g.YMap().ToPixel(m_y)), QSize(kWidth, kHeight));
}

QRegion TMarker::DefaultHotRegion() const {
    return QRegion(QPolygon(QList<QPoint>(std::begin(kFunnel), std::end(kFunnel))), Qt::WindingFill);
}

QRegion TMarker::CreateHotRegion() {
    if (!OnCreateHotRgn) return DefaultHotRegion();
    QRegion r(0, 0, kWidth, kHeight);
    OnCreateHotRgn(this, r);
    return r;
}

QRegion TMarker::HotRegion() {
    return CreateHotRegion();
}

bool TMarker::Hit(const QPoint& clientPos) {
    const QRect b = Bounds();
    return m_shown && b.contains(clientPos) && HotRegion().contains(clientPos - b.topLeft());
}

void TMarker::Paint(QPainter& painter, const QPoint& topLeft, bool whiteBackground) {
    if (OnPaintMarker) {
        painter.save();
        painter.translate(topLeft);
        OnPaintMarker(this, painter);
        painter.restore();
        return;
    }
    Draw(painter, topLeft, whiteBackground);
}

void TMarker::Draw(QPainter& painter, const QPoint& topLeft, bool whiteBackground) {
    painter.drawImage(topLeft, glyph(m_isY ? 3 : m_mkNum - 1, whiteBackground));
}

void TMarker::DrawForPrint(QPainter& painter, const QPoint& topLeft) {
    painter.save();
    painter.translate(topLeft);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawPolygon(kPrintOutline, int(std::size(kPrintOutline)));
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(7);
    painter.setFont(font);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(Qt::white);
    painter.drawText(QRect(6, 1, 6, 7), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, Label());
    painter.restore();
}

// --- TMainGraph: state -------------------------------------------------------------------------------

TMainGraph::TMainGraph(QWidget* parent) : TGraphView(parent) {
    initDisplayResources();
    m_markers[0] = CreateMarker(1, false);
    m_markers[1] = CreateMarker(2, false);
    m_markers[2] = CreateMarker(3, false);
    m_markers[3] = CreateMarker(2, true);
    for (auto& m : m_markers)
        m_zOrder.push_back(m.get());
}

TMainGraph::~TMainGraph() {
    if (m_mouseMode != TMouseMode::None) Data().ReleaseStores();
}

std::unique_ptr<TMarker> TMainGraph::CreateMarker(int number, bool isY) {
    return std::make_unique<TMarker>(this, isY, number);
}

TMainDataItem* TMainGraph::ActiveTrace() const {
    return dynamic_cast<TMainDataItem*>(Data().ActiveItem());
}

void TMainGraph::SetCursorType(TCursorType v) {
    if (m_cursorType == v) return;
    m_cursorType = v;
    InvalidateArea(woContent);
}

void TMainGraph::SetCursorVisible(bool v) {
    if (m_cursorVisible == v) return;
    m_cursorVisible = v;
    InvalidateArea(woContent);
}

void TMainGraph::SetCursorColor(TColor v) {
    if (m_cursorColor == v) return;
    m_cursorColor = v;
    InvalidateArea(woContent);
}

void TMainGraph::SetShowMarkersLine(bool v) {
    if (m_showMarkersLine == v) return;
    m_showMarkersLine = v;
    InvalidateArea(woContent);
}

void TMainGraph::SetMonochrome(bool on) {
    if (on == Monochrome()) return;
    if (on) {
        m_savedCursorColor = m_cursorColor;
        m_cursorColor = clBlack;
    } else {
        m_cursorColor = m_savedCursorColor;
    }
    TGraphView::SetMonochrome(on);
}

void TMainGraph::rereadStart() {
    TMainDataItem* t = ActiveTrace();
    m_startX = t ? t->TraceValue(tvReference) : 0.0;
}

TMainDataItem* TMainGraph::ownTrace() const {
    // A trace is the list's active item as soon as its data arrive, but cursor and markers are
    // still the previous trace's until the list reports the change (its notice is queued).
    TMainDataItem* t = ActiveTrace();
    return t && t->Serial() == m_lastActiveSerial ? t : nullptr;
}

void TMainGraph::storeCursor(bool visible, double x) {
    if (TMainDataItem* t = ownTrace()) t->SetCursorPos(visible ? x : -1.0);
    rereadStart();
}

// --- cursor ----------------------------------------------------------------------------------------

void TMainGraph::SetCursorX(double x) {
    if (x == m_cursorX) return;
    TGDataItem* active = Data().ActiveItem();
    const std::optional<double> value = active ? active->ValueAt(x) : std::nullopt;
    if (!value) {
        CursorChanged(false, 0, 0);
        return;
    }
    m_cursorX = x;
    m_cursorY = *value;
    const bool drawn = m_cursorVisible;
    if (drawn) InvalidateArea(woContent);
    if (OnCursorVisibleChanged) OnCursorVisibleChanged(this, drawn, x, *value);
    m_notified = {drawn, x, *value};
    if (m_lock.load() == 0)
        storeCursor(drawn, x);
    else
        rereadStart();
}

void TMainGraph::CursorChanged(bool visible, double x, double y) {
    if (Printing()) return;
    if (visible == m_notified.Visible && x == m_notified.X && y == m_notified.Y) return;
    if (OnCursorVisibleChanged) OnCursorVisibleChanged(this, visible, x, y);
    m_notified = {visible, x, y};
    if (m_lock.load() == 0) storeCursor(visible, x);
}

// --- markers ---------------------------------------------------------------------------------------

TMarker* TMainGraph::Marker(int number) const {
    return m_markers[size_t(std::clamp(number, 1, 3) - 1)].get();
}

int TMainGraph::MarkersMask() const {
    int mask = 0;
    if (m_markers[0]->Shown()) mask |= 1;
    if (m_markers[1]->Shown()) mask |= 2;
    if (m_markers[2]->Shown()) mask |= 4;
    if (m_markers[3]->Shown()) mask |= 16;
    return mask;
}

std::optional<double> TMainGraph::MarkerPlaceAllowed(const TMarker* marker, double x) const {
    TGDataItem* active = Data().ActiveItem();
    if (!active || !marker) return std::nullopt;
    if (m_lock.load() == 0) {
        if (marker->IsY() && !m_markers[1]->Shown()) return std::nullopt;
        const int rank = rankOf(marker);
        for (const auto& other : m_markers) {
            if (other.get() == marker || !other->Shown()) continue;
            const int r = rankOf(other.get());
            if (r < rank && !(other->X() < x)) return std::nullopt;
            if (r > rank && !(x < other->X())) return std::nullopt;
        }
    }
    return active->ValueAt(x);
}

bool TMainGraph::placeMarker(TMarker* m, double x, bool check) {
    std::optional<double> value;
    if (check) {
        value = MarkerPlaceAllowed(m, x);
    } else if (TGDataItem* active = Data().ActiveItem()) {
        value = active->ValueAt(x);
    }
    if (!value) return false;
    m->m_x = x;
    m->m_y = *value;
    m->m_shown = true;
    InvalidateArea(woContent);
    return true;
}

void TMainGraph::hide(TMarker* m) {
    if (!m->m_shown) return;
    m->m_shown = false;
    InvalidateArea(woContent);
}

void TMainGraph::PlaceMarker(int number, bool isY, double x) {
    if (number < 1 || number > 3 || (isY && number != 2)) return;
    if (placeMarker(isY ? YMarker() : Marker(number), x, true)) MarkersChanged();
}

void TMainGraph::MarkerAtCursor(int number, bool isY) {
    if (!m_cursorVisible) return;
    PlaceMarker(number, isY, m_cursorX);
}

void TMainGraph::HideMarker(int number, bool isY) {
    if (number < 1 || number > 3 || (isY && number != 2)) return;
    hide(isY ? YMarker() : Marker(number));
    MarkersChanged();
}

void TMainGraph::HideAllMarkers() {
    {
        TLock lock(*this);
        for (auto& m : m_markers)
            hide(m.get());
    }
    MarkersChanged();
}

void TMainGraph::PutMarkers(const std::array<std::optional<double>, 4>& x) {
    {
        TLock lock(*this);
        for (size_t i = 0; i < 4; ++i)
            if (!x[i] || !placeMarker(m_markers[i].get(), *x[i], false)) hide(m_markers[i].get());
    }
    MarkersChanged();
}

void TMainGraph::MarkersChanged() {
    if (m_lock.load() > 0 || !Data().ActiveItem()) return;
    rereadStart();
    TMainDataItem* t = ownTrace();
    if (!t) return;
    // Each write makes the trace recompute its sections (by least squares, over every sample
    // between the markers): a drag step writes the one marker that moved.
    for (size_t i = 0; i < 4; ++i) {
        const TMarker* m = m_markers[i].get();
        const double x = m->Shown() ? m->X() : -1.0;
        if (t->MarkerPos(kStoredMarker[i]) != x) t->SetMarkerPos(kStoredMarker[i], x);
    }
    if (OnMarkersPlaced && !m_markersFollowData) OnMarkersPlaced(this, t);
    DoMarkersChanged(t);
}

void TMainGraph::DoMarkersChanged(TMainDataItem* item) {
    if (OnMarkersChanged) OnMarkersChanged(this, item);
}

void TMainGraph::ItemValuesChanged(TGDataItem* item) {
    if (item && item == Data().ActiveItem()) rereadStart();
    DoMarkersChanged(dynamic_cast<TMainDataItem*>(item));
}

void TMainGraph::SetStart(double x) {
    TMainDataItem* t = ActiveTrace();
    if (!t) return;
    t->SetReference(x); // repaints and reports the new values
    rereadStart();
}

// --- reports of the item list ------------------------------------------------------------------------

void TMainGraph::DoActiveItemChanged(TGDataItem* item) {
    if (!item) {
        TLock lock(*this);
        for (auto& m : m_markers)
            hide(m.get());
    }
    TGraphView::DoActiveItemChanged(item);
}

void TMainGraph::DoItemChanged(TGDataItem* item, bool isActive) {
    TGraphView::DoItemChanged(item, isActive);
    if (item && !isActive) return;
    bool replaced = false;
    {
        TLock lock(*this);
        auto* trace = dynamic_cast<TMainDataItem*>(item);
        if (!item) {
            for (auto& m : m_markers)
                hide(m.get());
            m_startX = 0;
        } else {
            m_startX = trace ? trace->TraceValue(tvReference) : 0.0;
            TIDataStorage* store = item->Storage();
            replaced = store && store->IsReady() && item->Serial() == m_lastActiveSerial;
            if (replaced) {
                // The same trace with new samples: everything stays at its X, on the new curve.
                const double x = m_cursorX;
                m_cursorX = std::numeric_limits<double>::quiet_NaN();
                SetCursorX(x);
                if (std::isnan(m_cursorX)) m_cursorX = x;
                for (auto& m : m_markers)
                    if (m->Shown()) placeMarker(m.get(), m->X(), false);
            } else if (trace) {
                // Another trace: its own cursor and markers. One that cannot stand on this curve
                // is hidden rather than left where the previous trace had it.
                const double cursor = trace->CursorPos();
                if (cursor >= 0) SetCursorX(cursor);
                for (size_t i = 0; i < 4; ++i) {
                    const double p = trace->MarkerPos(kStoredMarker[i]);
                    if (p < 0 || !placeMarker(m_markers[i].get(), p, false)) hide(m_markers[i].get());
                }
            }
        }
    }
    if (replaced) {
        // The new samples came with no cursor of their own: it stays where it was.
        storeCursor(m_cursorVisible, m_cursorX);
        m_markersFollowData = true;
        MarkersChanged();
        m_markersFollowData = false;
    } else
        DoMarkersChanged(dynamic_cast<TMainDataItem*>(item));
    m_lastActiveSerial = item ? item->Serial() : 0;
    if (OnActiveDataChanged) OnActiveDataChanged(this, item);
}

void TMainGraph::BeginPrintGroup(const std::vector<TGDataItem*>& group) {
    TGraphView::BeginPrintGroup(group);
    auto* trace = dynamic_cast<TMainDataItem*>(PrintActiveItem());
    if (!trace || trace == Data().ActiveItem()) return;
    TPose pose{m_cursorX, m_cursorY, m_startX, {}};
    for (size_t i = 0; i < 4; ++i)
        pose.Markers[i] = {m_markers[i]->m_x, m_markers[i]->m_y, m_markers[i]->m_shown};
    m_pose = pose;
    // As if the trace were active, but written nowhere and told to nobody: the cursor goes to the
    // trace's own when it has one, each marker to its stored place on this curve.
    m_startX = trace->TraceValue(tvReference);
    const double cursor = trace->CursorPos();
    if (cursor >= 0) m_cursorX = cursor;
    for (size_t i = 0; i < 4; ++i) {
        TMarker* m = m_markers[i].get();
        const double p = trace->MarkerPos(kStoredMarker[i]);
        const std::optional<double> value = p >= 0 ? trace->ValueAt(p) : std::nullopt;
        m->m_shown = value.has_value();
        if (value) {
            m->m_x = p;
            m->m_y = *value;
        }
    }
}

void TMainGraph::EndPrintGroup() {
    if (m_pose) {
        m_cursorX = m_pose->CursorX;
        m_cursorY = m_pose->CursorY;
        m_startX = m_pose->StartX;
        for (size_t i = 0; i < 4; ++i)
            std::tie(m_markers[i]->m_x, m_markers[i]->m_y, m_markers[i]->m_shown) = m_pose->Markers[i];
        m_pose.reset();
    }
    TGraphView::EndPrintGroup();
}

// --- painting --------------------------------------------------------------------------------------

void TMainGraph::PaintCurves(TGContentPainter& gp) {
    // The other curves, then the start line and the cursor over them, then the active curve: the
    // cursor stays visible over background and curves alike, and the curve being measured keeps
    // its own colour where the cursor crosses it.
    TGDataItem* active = ShownActiveItem();
    TGData& data = Data();
    for (int i = data.Count() - 1; i >= 0; --i) {
        TGDataItem* item = data.Item(i);
        if (item != active && PaintsItem(item)) paintCurve(gp, item);
    }
    paintStart(gp, active);
    paintCursor(gp, active);
    if (active && PaintsItem(active)) paintCurve(gp, active);
}

void TMainGraph::paintCurve(TGContentPainter& gp, TGDataItem* item) {
    try {
        item->Paint(gp);
    } catch (...) {
        // A curve that cannot be drawn leaves the others standing.
    }
}

void TMainGraph::paintStart(TGContentPainter& gp, TGDataItem* active) {
    QPainter* p = gp.Canvas();
    if (!p || !dynamic_cast<TMainDataItem*>(active) || !(m_startX > 0 && m_startX > gp.PaintXMin() &&
                                                         m_startX < gp.PaintXMax()))
        return;
    const TRect c = gp.Geometry().Content;
    const QColor colour = Printing() ? QColor(Qt::black) : ColorToQColor(clYellow);
    const int px = gp.XToPixel(m_startX);
    p->save();
    p->setPen(QPen(colour, 1));
    p->drawLine(px, c.Top, px, c.Bottom - 1);
    p->setFont(ContentFont().Font);
    p->setBackgroundMode(Qt::OpaqueMode);
    p->setBackground(ColorToQColor(ContentBkColor()));
    const QString text = QStringLiteral("Start");
    const int h = p->fontMetrics().height();
    p->drawText(QPoint(px + 2, c.Top + 2 + p->fontMetrics().ascent()), text);
    p->drawText(QPoint(px + 2, c.Bottom - 14 - h + p->fontMetrics().ascent()), text);
    p->restore();
}

void TMainGraph::paintCursor(TGContentPainter& gp, TGDataItem* active) {
    QPainter* p = gp.Canvas();
    const bool printing = Printing();
    const std::optional<double> value = active ? active->ValueAt(m_cursorX) : std::nullopt;
    if (!(m_cursorVisible || m_showMarkersLine) || !value) {
        CursorChanged(false, 0, 0);
        return;
    }
    const TRect c = gp.Geometry().Content;
    const int px = gp.XToPixel(m_cursorX);
    // A cursor scrolled out of the window draws nothing, not even the horizontal line of its cross.
    if (p && m_cursorVisible && px >= c.Left && px < c.Right) {
        const int py = gp.YToPixel(*value);
        const QLine vertical(px, c.Top, px, c.Bottom - 1);
        const QLine horizontal(c.Left, py, c.Right - 1, py);
        const bool cross = m_cursorType == ctCross && py >= c.Top && py < c.Bottom;
        p->save();
        p->setClipRect(c.ToQRect(), Qt::IntersectClip);
        const QColor colour = ColorToQColor(m_cursorColor);
        if (printing) {
            // On paper a plain line: nothing lies under it that could hide it.
            p->setPen(QPen(colour, 1));
            p->drawLine(vertical);
            if (cross) p->drawLine(horizontal);
        } else if (cross) {
            DrawOverlayLines(*p, {vertical, horizontal}, colour);
        } else {
            DrawOverlayLines(*p, {vertical}, colour);
        }
        p->restore();
    }
    if (!printing) {
        m_cursorY = *value;
        CursorChanged(true, m_cursorX, m_cursorY);
    }
}

void TMainGraph::PaintContentObjects(TGContentPainter& gp) {
    QPainter* p = gp.Canvas();
    if (!p) return;
    const TRect c = gp.Geometry().Content;
    if (Printing()) {
        PaintMarkersForPrint(gp);
        return;
    }
    p->save();
    p->setClipRect(c.ToQRect(), Qt::IntersectClip);
    const bool white = ContentBkColor() == clWhite;
    for (TMarker* m : m_zOrder)
        if (m->Shown()) m->Paint(*p, TMarker::TopLeftFor(gp.XToPixel(m->X()), gp.YToPixel(m->Y())), white);
    p->restore();
    if (m_mouseMode == TMouseMode::ZoomFrame) DrawZoomFrame(gp, m_frameStart, m_frameEnd);
}

void TMainGraph::PaintMarkersForPrint(TGContentPainter& gp) {
    QPainter* p = gp.Canvas();
    if (!p) return;
    p->save();
    p->setClipRect(gp.Geometry().Content.ToQRect(), Qt::IntersectClip);
    for (TMarker* m : m_zOrder)
        if (m->Shown()) m->DrawForPrint(*p, TMarker::TopLeftFor(gp.XToPixel(m->X()), gp.YToPixel(m->Y())));
    p->restore();
}

void TMainGraph::DrawZoomFrame(TGContentPainter& gp, const QPointF& a, const QPointF& b) {
    QPainter* p = gp.Canvas();
    if (!p) return;
    const QRect r = QRect(gp.WorldToPixel(a.x(), a.y()), gp.WorldToPixel(b.x(), b.y())).normalized();
    p->save();
    p->setClipRect(gp.Geometry().Content.ToQRect(), Qt::IntersectClip);
    DrawOverlayRect(*p, r, Qt::white);
    p->restore();
}

// --- mouse -----------------------------------------------------------------------------------------

void TMainGraph::MovePointer(const QPoint& clientPos) {
    QCursor::setPos(viewport()->mapToGlobal(clientPos));
}

TMarker* TMainGraph::markerAt(const QPoint& pos) const {
    if (!ContentRect().Contains(pos.x(), pos.y())) return nullptr;
    for (auto it = m_zOrder.rbegin(); it != m_zOrder.rend(); ++it)
        if ((*it)->Hit(pos)) return *it;
    return nullptr;
}

bool TMainGraph::overCursor(const QPoint& pos) const {
    TGDataItem* active = Data().ActiveItem();
    if (!m_cursorVisible || !active || !ContentRect().Contains(pos.x(), pos.y())) return false;
    const TRealRect& e = active->Extents();
    if (!(m_cursorX >= e.XMin && m_cursorX <= e.XMax)) return false;
    return std::abs(pos.x() - Geometry().XMap().ToPixel(m_cursorX)) <= kCursorGrab;
}

Qt::CursorShape TMainGraph::PointerShapeAt(const QPoint& pos) const {
    switch (m_mouseMode) {
    case TMouseMode::CursorDrag:
        return Qt::SizeHorCursor;
    case TMouseMode::MarkerDrag:
        return Qt::PointingHandCursor;
    case TMouseMode::ZoomFrame:
        return Qt::CrossCursor;
    default:
        break;
    }
    if (markerAt(pos)) return Qt::PointingHandCursor;
    if (overCursor(pos)) return Qt::SizeHorCursor;
    return TGraphView::PointerShapeAt(pos);
}

QPoint TMainGraph::KeyboardPopupPos() const {
    const TRect c = ContentRect();
    const TGraphGeometry g = Geometry();
    const QPoint cursor(g.XMap().ToPixel(m_cursorX), g.YMap().ToPixel(m_cursorY));
    if (ActiveTrace() && m_cursorVisible && c.Contains(cursor.x(), cursor.y())) return cursor;
    return TGraphView::KeyboardPopupPos();
}

void TMainGraph::startGesture(TMouseMode mode, const QPoint& pos) {
    m_mouseMode = mode;
    m_anchor = pos;
    const TGraphGeometry g = Geometry();
    m_frameStart = m_frameEnd = QPointF(g.XMap().ToWorld(pos.x()), g.YMap().ToWorld(pos.y()));
    Data().HoldStores();
}

void TMainGraph::endGesture() {
    if (m_mouseMode == TMouseMode::None) return;
    if (m_dragged) m_dragged->m_dragging = false;
    m_dragged = nullptr;
    m_mouseMode = TMouseMode::None;
    Data().ReleaseStores();
    InvalidateArea(woContent);
}

void TMainGraph::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && m_mouseMode == TMouseMode::None && Data().ActiveItem() &&
        ContentRect().Contains(pos.x(), pos.y())) {
        Data().HoldStores(); // for as long as the press is handled
        if (TMarker* m = markerAt(pos)) {
            startGesture(TMouseMode::MarkerDrag, pos);
            m_dragged = m;
            m->m_dragging = true;
            SetCursorX(m->X());
            m_zOrder.erase(std::find(m_zOrder.begin(), m_zOrder.end(), m));
            m_zOrder.push_back(m);
            InvalidateArea(woContent);
        } else if (overCursor(pos)) {
            startGesture(TMouseMode::CursorDrag, pos);
            SetCursorX(Geometry().XMap().ToWorld(pos.x()));
        } else {
            startGesture(TMouseMode::ZoomFrame, pos);
        }
        Data().ReleaseStores();
    }
    TGraphView::mousePressEvent(event);
}

void TMainGraph::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    switch (m_mouseMode) {
    case TMouseMode::CursorDrag:
        cursorDragTo(pos);
        break;
    case TMouseMode::MarkerDrag:
        markerDragTo(pos);
        break;
    case TMouseMode::ZoomFrame:
        frameDragTo(pos);
        break;
    default:
        break;
    }
    TGraphView::mouseMoveEvent(event);
}

void TMainGraph::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        switch (m_mouseMode) {
        case TMouseMode::CursorDrag:
            SetCursorX(Geometry().XMap().ToWorld(pos.x()));
            endGesture();
            break;
        case TMouseMode::MarkerDrag:
            if (pos != m_anchor) markerDragTo(pos);
            endGesture();
            break;
        case TMouseMode::ZoomFrame:
            finishZoomFrame(pos);
            break;
        default:
            break;
        }
    }
    TGraphView::mouseReleaseEvent(event);
}

void TMainGraph::focusOutEvent(QFocusEvent* event) {
    if (m_mouseMode != TMouseMode::None) CancelMouseMode();
    TGraphView::focusOutEvent(event);
}

void TMainGraph::CancelMouseMode() {
    endGesture();
    TGraphView::CancelMouseMode();
}

int TMainGraph::pageTo(double x) {
    const TRect c = ContentRect();
    const int px = Geometry().XMap().ToPixel(x);
    const int page = std::max(c.Width() - 2, 0);
    int step = 0;
    if (px >= c.Right)
        step = page;
    else if (px < c.Left)
        step = -page;
    if (step == 0) return 0;
    const int before = XOffset();
    SetXOffset(before + step);
    return XOffset() - before;
}

void TMainGraph::followDrag(const QPoint& pos, double x) {
    QPoint pointer = pos;
    const int moved = pageTo(x);
    if (moved != 0) {
        // The pointer stays over the same world point, now moved with the content.
        pointer.rx() -= moved;
        MovePointer(pointer);
    } else {
        // The pointer cannot leave the cursor (or the dragged marker's stem).
        const int column = Geometry().XMap().ToPixel(x);
        if (pointer.x() != column) {
            pointer.setX(column);
            MovePointer(pointer);
        }
    }
    m_anchor = pointer;
}

void TMainGraph::cursorDragTo(const QPoint& pos) {
    if (pos.x() != m_anchor.x()) SetCursorX(Geometry().XMap().ToWorld(pos.x()));
    followDrag(pos, m_cursorX);
}

void TMainGraph::markerDragTo(const QPoint& pos) {
    TMarker* m = m_dragged;
    if (!m) return;
    if (pos.x() != m_anchor.x()) {
        const double x = Geometry().XMap().ToWorld(pos.x());
        if (const std::optional<double> value = MarkerPlaceAllowed(m, x)) {
            m->m_x = x;
            m->m_y = *value;
            m_cursorX = x;
            m_cursorY = *value;
            InvalidateArea(woContent);
            CursorChanged(m_cursorVisible, x, *value);
            MarkersChanged();
        }
    }
    followDrag(pos, m->X());
}

QPointF TMainGraph::frameCorner(const QPoint& pos) const {
    const TGraphGeometry g = Geometry();
    double x = g.XMap().ToWorld(pos.x()), y = g.YMap().ToWorld(pos.y());
    const TRealRect vis = GetVisExts(), world = GetExts();
    // Beyond what is shown and beyond the world, a corner stops at the world's edge.
    if ((x < vis.XMin || x > vis.XMax) && (x < world.XMin || x > world.XMax))
        x = std::clamp(x, world.XMin, world.XMax);
    if ((y < vis.YMin || y > vis.YMax) && (y < world.YMin || y > world.YMax))
        y = std::clamp(y, world.YMin, world.YMax);
    return {x, y};
}

void TMainGraph::frameDragTo(const QPoint& pos) {
    if (pos == m_anchor) return;
    m_frameEnd = frameCorner(pos);
    TGraphGeometry g = Geometry();
    const QPoint corner(g.XMap().ToPixel(m_frameEnd.x()), g.YMap().ToPixel(m_frameEnd.y()));
    const TRect c = ContentRect();
    int dx = 0, dy = 0; // pixels to scroll, in screen directions
    if (corner.x() >= c.Right)
        dx = corner.x() - (c.Right - 1) + 2;
    else if (corner.x() < c.Left)
        dx = -(c.Left - corner.x() + 2);
    if (corner.y() >= c.Bottom)
        dy = corner.y() - (c.Bottom - 1) + 2;
    else if (corner.y() < c.Top)
        dy = -(c.Top - corner.y() + 2);
    if (dx != 0 || dy != 0) {
        const int x0 = XOffset(), y0 = YOffset();
        if (dx != 0) SetXOffset(x0 + dx);
        if (dy != 0) SetYOffset(y0 - dy); // the Y offset counts from the bottom
        const QPoint moved(XOffset() - x0, -(YOffset() - y0));
        m_anchor = corner - moved;
        MovePointer(pos - moved);
    } else {
        m_anchor = corner;
        if (corner != pos) MovePointer(corner);
    }
    InvalidateArea(woContent);
}

void TMainGraph::finishZoomFrame(const QPoint& pos) {
    m_frameEnd = frameCorner(pos);
    const QPointF a = m_frameStart, b = m_frameEnd;
    endGesture();
    const TGraphGeometry g = Geometry();
    const TAxisMap xm = g.XMap(), ym = g.YMap();
    TRealRect f = TRealRect{a.x(), a.y(), b.x(), b.y()}.Normalized();
    const int left = xm.ToPixel(f.XMin), right = xm.ToPixel(f.XMax);
    const int top = ym.ToPixel(f.YMax), bottom = ym.ToPixel(f.YMin);
    const bool thin = right - left < kMinZoomFrame, low = bottom - top < kMinZoomFrame;
    if (thin && low) {
        // The press point in world units: the view may have scrolled since the press.
        SetCursorX(a.x());
        return;
    }
    if (thin) {
        if (f.XMax == XMax())
            f.XMin = xm.ToWorld(right - kMinZoomFrame);
        else
            f.XMax = xm.ToWorld(left + kMinZoomFrame);
    }
    if (low) {
        if (f.YMax == YMax())
            f.YMin = ym.ToWorld(top + kMinZoomFrame);
        else
            f.YMax = ym.ToWorld(bottom - kMinZoomFrame);
    }
    ZoomTo(f);
}

} // namespace lv
