// TOverviewGraph: follows another graph through its notices and zooms it by a frame.

#include <QMouseEvent>
#include <QPainter>

#include "display/Overlay.h"
#include "display/uGraphsCmps.h"

namespace lv {

namespace {

// `r` moved, keeping its size, so that it lies within `bounds`; a side as long as the bounds'
// (to rounding) takes the bounds' edges.
TRealRect shiftInside(const TRealRect& r, const TRealRect& bounds) {
    auto axis = [](double lo, double hi, double min, double max, double& outLo, double& outHi) {
        if (hi - lo >= max - min) {
            outLo = min;
            outHi = max;
            return;
        }
        double d = 0;
        if (hi > max) d = max - hi;
        if (lo + d < min) d = min - lo;
        outLo = lo + d;
        outHi = hi + d;
    };
    TRealRect out;
    axis(r.XMin, r.XMax, bounds.XMin, bounds.XMax, out.XMin, out.XMax);
    axis(r.YMin, r.YMax, bounds.YMin, bounds.YMax, out.YMin, out.YMax);
    return out;
}

} // namespace

TOverviewGraph::TOverviewGraph(QWidget* parent) : TGraphView(parent) {
    SetXFitInWindow(false);
    SetYFitInWindow(false);
    SetXKeepVisExt(true);
    SetYKeepVisExt(true);
    SetHeaderVisible(false);
    SetXLabelVisible(false);
    SetYLabelVisible(false);
    SetXScaleVisible(false);
    SetYScaleVisible(false);
    SetXPowerVisible(false);
    SetYPowerVisible(false);
    SetXValuesVisible(false);
    SetYValuesVisible(false);
    SetXRulsVisible(false);
    SetYRulsVisible(false);
    SetXGridsVisible(false);
    SetYGridsVisible(false);
    SetDisplayMethod(dmEliminate);
    // The whole world always fits the content: there is nothing to scroll, and no bars are
    // shown to take room from the picture.
    HorzScrollBar().SetVisible(false);
    VertScrollBar().SetVisible(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RefreshBars();
    m_item = new TGDataItem(&Data());
    Data().BeforeChange = [this](TGData*, int code, bool& allow, int index) {
        ItemListChanging(code, allow, index);
    };
    m_receiver = std::make_unique<TReceiver>(this);
    m_receiver->OnMessage = [this](TMessageValue code, TMessageValue payload) {
        return HandleNotify(code, payload);
    };
}

TOverviewGraph::~TOverviewGraph() {
    if (m_holding) m_holding->Data().ReleaseStores();
    if (m_mainGraph) m_mainGraph->Messager().RemoveReceiver(m_receiver.get());
    m_receiver.reset();
}

void TOverviewGraph::SetMainGraph(TGraphView* graph) {
    if (m_mainGraph == graph) return;
    if (m_mainGraph) m_mainGraph->Messager().RemoveReceiver(m_receiver.get());
    m_mainGraph = graph;
    if (!graph) return;
    graph->Messager().AddReceiver(m_receiver.get());
    try {
        SyncExts(graph->GetExts(), graph->GetVisExts());
    } catch (...) {
    }
}

TColor TOverviewGraph::CurveColor() const {
    return m_item->Colour();
}

void TOverviewGraph::SetCurveColor(TColor c) {
    m_item->SetColour(c);
}

TMessageValue TOverviewGraph::HandleNotify(TMessageValue code, TMessageValue payload) {
    if (m_gesture != fgNone) return 0;
    switch (code) {
    case gnViewDestroyed:
        // The graph is going: keep the last picture (the curve's store stays with our item).
        m_mainGraph = nullptr;
        break;
    case gnActiveItemChanged: {
        TUpdateGuard lock(*this);
        auto* active = reinterpret_cast<TGDataItem*>(payload);
        m_item->SetStorage(active ? active->Storage() : nullptr);
        break;
    }
    case gnExtsChanged:
        if (const auto* pair = reinterpret_cast<const TExtsPair*>(payload))
            SyncExts(pair->Exts, pair->VisExts);
        break;
    default:
        break;
    }
    return 0;
}

void TOverviewGraph::SyncExts(const TRealRect& exts, const TRealRect& visExts) {
    TUpdateGuard lock(*this);
    m_mainExts = exts;
    // Edge by edge; a world that moved wholly to the right needs its right edge first, or the left
    // one would be refused for crossing the old right edge.
    if (exts.XMin < XMax()) {
        SetXMin(exts.XMin);
        SetXMax(exts.XMax);
    } else {
        SetXMax(exts.XMax);
        SetXMin(exts.XMin);
    }
    if (exts.YMin < YMax()) {
        SetYMin(exts.YMin);
        SetYMax(exts.YMax);
    } else {
        SetYMax(exts.YMax);
        SetYMin(exts.YMin);
    }
    m_windowExts = visExts;
    if (m_gesture == fgNone) refreshFrame();
}

void TOverviewGraph::ItemListChanging(int code, bool& allow, int index) {
    if (code != icDataChanged || Data().Item(index) != m_item || !m_mainGraph) return;
    TUpdateGuard lock(*this);
    SyncExts(m_mainGraph->GetExts(), m_mainGraph->GetVisExts());
    SetVirtualWidth(std::max(ContentRect().Width(), 0));
    SetVirtualHeight(std::max(ContentRect().Height(), 0));
    allow = false;
}

void TOverviewGraph::refreshFrame() {
    m_windowFrame = m_windowExts.HasArea() ? Geometry().WorldRectToPixel(m_windowExts) : TRect{};
}

// --- painting --------------------------------------------------------------------------------------

void TOverviewGraph::PaintContentObjects(TGContentPainter& gp) {
    QPainter* p = gp.Canvas();
    if (!p) return;
    p->save();
    p->setClipRect(gp.Geometry().Content.ToQRect(), Qt::IntersectClip);
    if (m_windowExts.HasArea()) {
        if (m_gesture == fgNone) m_windowFrame = gp.WorldRectToPixel(m_windowExts);
        const TRect& f = m_windowFrame;
        DrawOverlayRect(*p, QRect(f.Left, f.Top, std::max(f.Width(), 1), std::max(f.Height(), 1)), Qt::white);
    }
    if (m_gesture == fgNewFrame && m_anchor != m_start)
        // Its edges run through the press point and the pointer.
        DrawOverlayRect(*p, QRect(m_start, m_anchor).normalized(), Qt::white, Qt::DotLine);
    p->restore();
}

// --- gestures --------------------------------------------------------------------------------------

TOverviewGraph::TFrameGesture TOverviewGraph::HitTest(const QPoint& pos) const {
    const TRect& f = m_windowFrame;
    if (f.IsEmpty()) return fgNewFrame;
    const int x = pos.x(), y = pos.y();
    const int right = f.Right - 1, bottom = f.Bottom - 1;
    if (x < f.Left - kEdgeBand || x > right + kEdgeBand || y < f.Top - kEdgeBand || y > bottom + kEdgeBand)
        return fgNewFrame;
    const bool nearLeft = std::abs(x - f.Left) <= kEdgeBand, nearRight = std::abs(x - right) <= kEdgeBand;
    const bool nearTop = std::abs(y - f.Top) <= kEdgeBand, nearBottom = std::abs(y - bottom) <= kEdgeBand;
    if (nearTop) return nearLeft ? fgTopLeft : nearRight ? fgTopRight : fgTop;
    if (nearRight) return nearBottom ? fgBottomRight : fgRight;
    if (nearBottom) return nearLeft ? fgBottomLeft : fgBottom;
    if (nearLeft) return fgLeft;
    return fgMove;
}

Qt::CursorShape TOverviewGraph::PointerShapeAt(const QPoint& pos) const {
    TFrameGesture g = m_gesture;
    if (g == fgNone) {
        if (!m_item->Valid() || !ClientRect().contains(pos)) return TGraphView::PointerShapeAt(pos);
        g = HitTest(pos);
    }
    switch (g) {
    case fgMove:
        return Qt::PointingHandCursor;
    case fgTop:
    case fgBottom:
        return Qt::SizeVerCursor;
    case fgLeft:
    case fgRight:
        return Qt::SizeHorCursor;
    case fgTopLeft:
    case fgBottomRight:
        return Qt::SizeFDiagCursor;
    case fgTopRight:
    case fgBottomLeft:
        return Qt::SizeBDiagCursor;
    default:
        return TGraphView::PointerShapeAt(pos);
    }
}

void TOverviewGraph::setFrame(const TRect& r, TFrameChange change) {
    const TGraphGeometry g = Geometry();
    const TAxisMap x = g.XMap(), y = g.YMap();
    if (change == TFrameChange::New || !m_windowExts.HasArea()) {
        m_windowExts = g.PixelRectToWorld(r);
    } else if (change == TFrameChange::Moved) {
        // A moved frame keeps the window's size in world units, so the main graph's zoom stays
        // exactly as it was; only whole pixels of the overview shift it.
        const double dx = x.ToWorld(r.Left) - x.ToWorld(m_windowFrame.Left);
        const double dy = y.ToWorld(r.Bottom) - y.ToWorld(m_windowFrame.Bottom);
        m_windowExts = shiftInside(
            {m_windowExts.XMin + dx, m_windowExts.YMin + dy, m_windowExts.XMax + dx, m_windowExts.YMax + dy},
            GetExts());
    } else {
        // Only the edges that moved take the pixel grid's values; the others stay exact.
        TRealRect& w = m_windowExts;
        if (r.Left != m_windowFrame.Left) w.XMin = x.ToWorld(r.Left);
        if (r.Right != m_windowFrame.Right) w.XMax = x.ToWorld(r.Right);
        if (r.Top != m_windowFrame.Top) w.YMax = y.ToWorld(r.Top);
        if (r.Bottom != m_windowFrame.Bottom) w.YMin = y.ToWorld(r.Bottom);
        w = w.Normalized();
    }
    m_windowFrame = r;
}

void TOverviewGraph::dragTo(const QPoint& pos) {
    const TRect c = ContentRect();
    if (m_gesture == fgNewFrame) {
        const QPoint q(std::clamp(pos.x(), c.Left, std::max(c.Right - 1, c.Left)),
                       std::clamp(pos.y(), c.Top, std::max(c.Bottom - 1, c.Top)));
        if (q != m_anchor) {
            m_anchor = q;
            viewport()->update();
        }
        return;
    }
    int dx = pos.x() - m_anchor.x(), dy = pos.y() - m_anchor.y();
    TRect r = m_windowFrame;
    const TRect& wf = m_windowFrame;
    const auto left = [&] {
        r.Left += dx;
        if (r.Right - r.Left < kMinFrame) r.Left = wf.Right - kMinFrame;
        if (r.Left < c.Left) r.Left = c.Left;
        m_anchor.setX(r.Left);
    };
    const auto right = [&] {
        r.Right += dx;
        if (r.Right - r.Left < kMinFrame) r.Right = wf.Left + kMinFrame;
        if (r.Right > c.Right) r.Right = c.Right;
        m_anchor.setX(r.Right);
    };
    const auto top = [&] {
        r.Top += dy;
        if (r.Bottom - r.Top < kMinFrame) r.Top = wf.Bottom - kMinFrame;
        if (r.Top < c.Top) r.Top = c.Top;
        m_anchor.setY(r.Top);
    };
    const auto bottom = [&] {
        r.Bottom += dy;
        if (r.Bottom - r.Top < kMinFrame) r.Bottom = wf.Top + kMinFrame;
        if (r.Bottom > c.Bottom) r.Bottom = c.Bottom;
        m_anchor.setY(r.Bottom);
    };
    switch (m_gesture) {
    case fgMove: {
        if (r.Left + dx < c.Left) dx = c.Left - r.Left;
        if (r.Right + dx > c.Right) dx = c.Right - r.Right;
        if (r.Top + dy < c.Top) dy = c.Top - r.Top;
        if (r.Bottom + dy > c.Bottom) dy = c.Bottom - r.Bottom;
        r = {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
        if (r.Contains(pos.x(), pos.y()))
            m_anchor = pos;
        else
            m_anchor += QPoint(dx, dy);
        break;
    }
    case fgTopLeft:
        top();
        left();
        break;
    case fgTop:
        top();
        break;
    case fgTopRight:
        top();
        right();
        break;
    case fgRight:
        right();
        break;
    case fgBottomRight:
        bottom();
        right();
        break;
    case fgBottom:
        bottom();
        break;
    case fgBottomLeft:
        bottom();
        left();
        break;
    case fgLeft:
        left();
        break;
    default:
        return;
    }
    if (r == m_windowFrame) return;
    setFrame(r, m_gesture == fgMove ? TFrameChange::Moved : TFrameChange::Edges);
    viewport()->update();
    if (m_tracking && m_mainGraph) m_mainGraph->ZoomTo(m_windowExts);
}

void TOverviewGraph::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && m_gesture == fgNone && m_item->Valid() &&
        ContentRect().Contains(pos.x(), pos.y())) {
        refreshFrame();
        m_gesture = HitTest(pos);
        m_anchor = m_start = pos;
        if (m_mainGraph) {
            m_mainGraph->Data().HoldStores();
            m_holding = m_mainGraph;
        }
        viewport()->update();
    }
    TGraphView::mousePressEvent(event);
}

void TOverviewGraph::mouseMoveEvent(QMouseEvent* event) {
    if (m_gesture != fgNone) dragTo(event->position().toPoint());
    TGraphView::mouseMoveEvent(event);
}

void TOverviewGraph::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_gesture != fgNone) {
        const QPoint pos = event->position().toPoint();
        dragTo(pos);
        const TFrameGesture gesture = m_gesture;
        if (gesture == fgNewFrame) {
            if (m_anchor != m_start) {
                const QRect q = QRect(m_start, m_anchor).normalized();
                setFrame({q.left(), q.top(), q.right() + 1, q.bottom() + 1}, TFrameChange::New);
            } else if (m_windowExts.HasArea()) {
                // A click: the window keeps its size and is centred on the point, inside the world.
                const TGraphGeometry g = Geometry();
                const double cx = g.XMap().ToWorld(m_start.x()), cy = g.YMap().ToWorld(m_start.y());
                const double w = m_windowExts.Width(), h = m_windowExts.Height();
                m_windowExts = shiftInside({cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2}, GetExts());
                m_windowFrame = g.WorldRectToPixel(m_windowExts);
            }
        }
        endGesture();
        if (m_mainGraph && (gesture == fgNewFrame || !m_tracking)) m_mainGraph->ZoomTo(m_windowExts);
        // The main graph may show another window than the frame asked for (its zoom limit,
        // whole pixels), and it may have changed its active trace during the drag.
        followMainGraph();
    }
    TGraphView::mouseReleaseEvent(event);
}

void TOverviewGraph::endGesture() {
    m_gesture = fgNone;
    if (m_holding) m_holding->Data().ReleaseStores();
    m_holding = nullptr;
    viewport()->update();
}

void TOverviewGraph::followMainGraph() {
    if (!m_mainGraph) return;
    TUpdateGuard lock(*this);
    TGDataItem* active = m_mainGraph->Data().ActiveItem();
    m_item->SetStorage(active ? active->Storage() : nullptr);
    SyncExts(m_mainGraph->GetExts(), m_mainGraph->GetVisExts());
}

void TOverviewGraph::focusOutEvent(QFocusEvent* event) {
    // Losing the mouse ends a drag of the frame without a last move.
    if (m_gesture != fgNone) CancelMouseMode();
    TGraphView::focusOutEvent(event);
}

void TOverviewGraph::CancelMouseMode() {
    if (m_gesture != fgNone) {
        endGesture();
        refreshFrame();
        followMainGraph();
    }
    TGraphView::CancelMouseMode();
}

} // namespace lv
