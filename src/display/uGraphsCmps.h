#pragma once
// The graphs of the main window: the main graph (reflectograms with a cursor, four markers, a
// start line and zooming by a frame), the main data item (a curve that is the typed doorway to
// one trace store) and the overview graph (a small view that follows another graph, shows its
// active trace whole and its visible window as a frame that can be dragged).
//
// Units: X in kilometres, Y in decibels. Positions handed to and from the trace store go in
// kilometres; the store keeps them in metres, -1 meaning none.

#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QString>
#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "display/uViewCmps.h"
#include "display/uViewCmpsData.h"
#include "trace/uGraphIntfs.h"

namespace lv {

// One trace of the main graph. Reads give a neutral value (-1 for positions, 0 for results, empty
// texts) when the item has no data or its store is not a trace store; writes do nothing without
// a trace store.
class TMainDataItem : public TGDataItem {
public:
    explicit TMainDataItem(TGData* owner) : TGDataItem(owner) {}

    // The attached store when it is a trace store.
    TRDataStorage* Trace() const;

    // --- reads
    double CursorPos();      // km, or -1
    double MarkerPos(int i); // i: 0 M1, 1 M2, 2 M3, 4 Y marker; km, or -1
    // The trace's result of a TTraceValueKind (1 length M1-M2 … 15 start point); 0 for any other
    // kind.
    double TraceValue(int kind);
    int ApproxMode(); // 0 two-point, 1 least squares (1 without data)
    int PulseWidth(); // ns
    int Averages();
    QString GetTextParam(const QString& name); // "CID", "FID", "OL", "TL", "OP", ...
    QString SourceFileName();                  // the file loaded from (the .sor file when it came from one)
    QString AveragingText();

    // --- writes
    void SetCursorPos(double km);        // km or -1
    void SetMarkerPos(int i, double km); // numbering of MarkerPos; the store recomputes
    // Clamped to 0..1; the store recomputes when it changes; the graph reports new values.
    void SetApproxMode(int mode);
    // The store recomputes and reports a new setup (the step changes); the graph repaints.
    void SetRefractiveIndex(double n);
    // Start point in km (negative: none); the graph repaints its content.
    void SetReference(double km);
    void SetTextParam(const QString& name, const QString& value);
};

// A small view under the main graph: the whole world of the graph it follows, its active trace,
// and its visible window as a frame. Pressing outside the frame draws a new one (a click centres
// the window there); the frame itself moves, its edges and corners resize it.
class TOverviewGraph : public TGraphView {
    Q_OBJECT
public:
    enum TFrameGesture {
        fgNone = 0,
        fgNewFrame = 2,
        fgMove = 3,
        fgTopLeft = 4,
        fgTop = 5,
        fgTopRight = 6,
        fgRight = 7,
        fgBottomRight = 8,
        fgBottom = 9,
        fgBottomLeft = 10,
        fgLeft = 11,
    };
    // Frames are never narrower or lower than this, in pixels.
    static constexpr int kMinFrame = 8;
    // How near an edge a press grabs it, in pixels.
    static constexpr int kEdgeBand = 2;

    explicit TOverviewGraph(QWidget* parent = nullptr);
    ~TOverviewGraph() override;

    TGraphView* MainGraph() const { return m_mainGraph; }
    // Follows `graph` (nullptr: none) and takes over its extents at once.
    void SetMainGraph(TGraphView* graph);
    // On: the main graph zooms during a drag of the frame, not only on release.
    bool Tracking() const { return m_tracking; }
    void SetTracking(bool v) { m_tracking = v; }
    TColor CurveColor() const;
    void SetCurveColor(TColor c);
    // The overview's own curve.
    TGDataItem* Curve() const { return m_item; }

    const TRealRect& MainExts() const { return m_mainExts; }
    // The main graph's visible extents (world), as shown by the frame.
    const TRealRect& WindowExts() const { return m_windowExts; }
    // The frame in pixels as last drawn, or being dragged.
    const TRect& WindowFrame() const { return m_windowFrame; }
    TFrameGesture FrameGesture() const { return m_gesture; }
    // What a press at `pos` would start.
    TFrameGesture HitTest(const QPoint& pos) const;

protected:
    // A notice of the followed graph: view destroyed, active item, extents, item changed.
    virtual TMessageValue HandleNotify(TMessageValue code, TMessageValue payload);
    virtual void SyncExts(const TRealRect& exts, const TRealRect& visExts);
    // The item list's hook: a data change of the curve re-reads the main graph's extents and
    // fits the whole world into the content, instead of the default fitting.
    virtual void ItemListChanging(int code, bool& allow, int index);

    void PaintContentObjects(TGContentPainter& gp) override;
    Qt::CursorShape PointerShapeAt(const QPoint& pos) const override;
    void CancelMouseMode() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void refreshFrame();
    void dragTo(const QPoint& pos);
    enum class TFrameChange { Edges, Moved, New };
    void setFrame(const TRect& r, TFrameChange change);
    void endGesture();
    // After a gesture: the active trace and extents of the main graph as they are now (its
    // notices were ignored meanwhile).
    void followMainGraph();

    QPointer<TGraphView> m_mainGraph;
    bool m_tracking = false;
    TGDataItem* m_item = nullptr; // owned by the item list
    TRealRect m_mainExts;
    TRealRect m_windowExts;
    TRect m_windowFrame;
    TFrameGesture m_gesture = fgNone;
    QPoint m_anchor;
    QPoint m_start;
    QPointer<TGraphView> m_holding; // the graph whose stores the gesture holds
    std::unique_ptr<TReceiver> m_receiver;
};

class TMainGraph;

extern const char* const
    kMsgMarkerParent; // "Родительский компонент для маркера должен быть наследником TMainGraph"

// A marker glyph of 16 x 24 pixels standing on the active curve: M1, M2, M3 (MkNum 1..3) or the Y
// marker (IsY, MkNum 2). Its stem, column 7, is at X and its bottom edge at Y. It is drawn by its
// graph over the content, from its state; the graph hit-tests and drags it.
class TMarker {
public:
    using TPaintMarkerEvent = std::function<void(TMarker* sender, QPainter& painter)>;
    using TCreateHotRgnEvent = std::function<void(TMarker* sender, QRegion& region)>;

    static constexpr int kWidth = 16, kHeight = 24;
    static constexpr int kStemColumn = kWidth / 2 - 1;

    TMarker(TMainGraph* parent, bool isY, int number);
    virtual ~TMarker() = default;

    int MkNum() const { return m_mkNum; }
    void SetMkNum(int n) { m_mkNum = std::clamp(n, 1, 3); }
    bool IsY() const { return m_isY; }
    // Its label: the number, or "Y".
    QString Label() const { return m_isY ? QStringLiteral("Y") : QString::number(m_mkNum); }
    double X() const { return m_x; }
    double Y() const { return m_y; }
    bool Shown() const { return m_shown; }
    bool Dragging() const { return m_dragging; }

    TMainGraph* Parent() const { return m_parent; }
    // Only a main graph (or none) may hold a marker: anything else raises EInvalidOperation.
    void SetParent(QWidget* parent);
    // The size is fixed: any other is refused (false).
    bool SetSize(int width, int height) { return width == kWidth && height == kHeight; }
    int Width() const { return kWidth; }
    int Height() const { return kHeight; }

    // Top-left pixel for a stem at (px, py).
    static QPoint TopLeftFor(int px, int py) { return {px - kStemColumn, py - kHeight}; }
    // Where the glyph stands in the graph's client area (from X and Y, as of now).
    QRect Bounds() const;
    // The part that takes the mouse, in the glyph's own coordinates.
    QRegion HotRegion();
    bool Hit(const QPoint& clientPos);

    // Draws the glyph with its top-left at `topLeft` (OnPaintMarker when assigned).
    virtual void Paint(QPainter& painter, const QPoint& topLeft, bool whiteBackground);
    // The default picture, transparent around the funnel; inverted on a white background.
    virtual void Draw(QPainter& painter, const QPoint& topLeft, bool whiteBackground);
    // For paper: a white funnel outlined in black with the label.
    virtual void DrawForPrint(QPainter& painter, const QPoint& topLeft);
    // The funnel (0,0) (0,2) (6,14) (6,23) (8,23) (8,16) (15,2) (15,0).
    virtual QRegion DefaultHotRegion() const;
    // OnCreateHotRgn, given the whole rectangle, when assigned; else the default region.
    virtual QRegion CreateHotRegion();

    TPaintMarkerEvent OnPaintMarker;
    TCreateHotRgnEvent OnCreateHotRgn;

private:
    friend class TMainGraph;
    TMainGraph* m_parent;
    bool m_isY;
    int m_mkNum = 1;
    double m_x = 0, m_y = 0;
    bool m_shown = false;
    bool m_dragging = false;
};

enum TCursorType { ctCross, ctLine };

// The reflectogram graph: curves of TMainDataItem, a cursor (a vertical line, with ctCross also a
// horizontal one) on the active curve, markers M1 < M2 < Y < M3 on it, and the trace's start
// line. Cursor and marker positions are written into the active trace, so that every trace keeps
// its own; they come back when that trace becomes active again. The left button drags the cursor,
// a marker, or a zoom frame.
class TMainGraph : public TGraphView {
    Q_OBJECT
public:
    using TCursorPropsChangedEvent =
        std::function<void(TMainGraph* sender, bool visible, double x, double y)>;
    using TMarkersChangedEvent = std::function<void(TMainGraph* sender, TMainDataItem* item)>;
    using TActiveDataChangedEvent = std::function<void(TMainGraph* sender, TGDataItem* item)>;

    enum class TMouseMode { None, CursorDrag, ZoomFrame, MarkerDrag };

    // A press within this many pixels of the cursor column grabs the cursor.
    static constexpr int kCursorGrab = 2;
    // A zoom frame narrower than this in both directions is a click; in one direction, widened.
    static constexpr int kMinZoomFrame = 32;

    explicit TMainGraph(QWidget* parent = nullptr);
    ~TMainGraph() override;

    // --- cursor (world X in km; Y the active curve's value there)
    double CursorX() const { return m_cursorX; }
    double CursorY() const { return m_cursorY; }
    void SetCursorX(double x);
    TCursorType CursorType() const { return m_cursorType; }
    void SetCursorType(TCursorType v);
    bool CursorVisible() const { return m_cursorVisible; }
    void SetCursorVisible(bool v);
    TColor CursorColor() const { return m_cursorColor; }
    void SetCursorColor(TColor v);
    bool ShowMarkersLine() const { return m_showMarkersLine; }
    void SetShowMarkersLine(bool v);

    // --- markers: number 1..3; isY with number 2 is the Y marker
    // Places a marker at x on the active curve when the order allows it and the curve has a
    // value there.
    void PlaceMarker(int number, bool isY, double x);
    // PlaceMarker at the cursor (nothing while the cursor is hidden).
    void MarkerAtCursor(int number, bool isY);
    void HideMarker(int number, bool isY);
    void HideAllMarkers();
    // Puts markers where an owner stored them (M1, M2, M3, Y; nothing: hidden), without the order
    // check: a stored set was made by a rule of its own, and placing its markers one by one
    // through the check would refuse some of them. A marker the active curve has no value for is
    // hidden. Written into the active trace and reported once, as a placement.
    void PutMarkers(const std::array<std::optional<double>, 4>& x);
    TMarker* Marker(int number) const; // M1..M3, number clamped
    TMarker* YMarker() const { return m_markers[3].get(); }
    // Bit 1 M1, 2 M2, 4 M3, 16 the Y marker, for the shown ones.
    int MarkersMask() const;
    // Whether a marker may stand at x: M1 < M2 < Y < M3 among the shown ones, the Y marker only
    // while M2 is shown, and a value of the active curve at x (returned).
    std::optional<double> MarkerPlaceAllowed(const TMarker* marker, double x) const;

    // --- start point of the active trace (km; 0 none)
    double StartX() const { return m_startX; }
    void SetStart(double x);

    // --- state
    TMouseMode MouseMode() const { return m_mouseMode; }
    int LockCount() const { return m_lock.load(); }
    // The first and second corner of the zoom frame being dragged (world).
    std::pair<QPointF, QPointF> ZoomFrame() const { return {m_frameStart, m_frameEnd}; }
    TMainDataItem* ActiveTrace() const;

    // Colours for output: also the cursor goes black.
    void SetMonochrome(bool on) override;

    void ItemValuesChanged(TGDataItem* item) override;

    TCursorPropsChangedEvent OnCursorVisibleChanged;
    TMarkersChangedEvent OnMarkersChanged;
    // The markers were placed, moved or hidden on the active trace (a command, a drag,
    // PutMarkers) and written into it; not raised when they follow a change of the active trace
    // or of its values. Raised before OnMarkersChanged.
    TMarkersChangedEvent OnMarkersPlaced;
    TActiveDataChangedEvent OnActiveDataChanged;

protected:
    // Raises the lock for its lifetime: no order checks, no write-back, no marker notices.
    class TLock {
    public:
        explicit TLock(TMainGraph& g) : m_g(g) { ++m_g.m_lock; }
        ~TLock() { --m_g.m_lock; }
        TLock(const TLock&) = delete;
        TLock& operator=(const TLock&) = delete;

    private:
        TMainGraph& m_g;
    };

    virtual std::unique_ptr<TMarker> CreateMarker(int number, bool isY);
    virtual void CursorChanged(bool visible, double x, double y);
    virtual void DrawZoomFrame(TGContentPainter& gp, const QPointF& a, const QPointF& b);
    // Writes the markers into the active trace and tells the owner (not while locked).
    virtual void MarkersChanged();
    virtual void DoMarkersChanged(TMainDataItem* item);
    // The shown markers as outlined glyphs on a print picture.
    virtual void PaintMarkersForPrint(TGContentPainter& gp);

    void DoActiveItemChanged(TGDataItem* item) override;
    void DoItemChanged(TGDataItem* item, bool isActive) override;
    // A picture of another trace than the active one shows that trace's own start, cursor and
    // markers; the graph's are put back when the picture is made.
    void BeginPrintGroup(const std::vector<TGDataItem*>& group) override;
    void EndPrintGroup() override;
    // The other curves, the start line and the cursor, then the active curve on top.
    void PaintCurves(TGContentPainter& gp) override;
    // The markers and the zoom frame.
    void PaintContentObjects(TGContentPainter& gp) override;
    Qt::CursorShape PointerShapeAt(const QPoint& pos) const override;
    // A popup opened from the keyboard shows at the cursor when it stands in the content.
    QPoint KeyboardPopupPos() const override;
    void CancelMouseMode() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

    // Moves the mouse pointer to a client point (the platform's pointer; tests read it back).
    virtual void MovePointer(const QPoint& clientPos);

private:
    friend class TMarker;
    bool placeMarker(TMarker* m, double x, bool check);
    void hide(TMarker* m);
    void rereadStart();
    // The active trace when cursor and markers are its own (the list has reported it active).
    TMainDataItem* ownTrace() const;
    void storeCursor(bool visible, double x);
    TMarker* markerAt(const QPoint& pos) const;
    bool overCursor(const QPoint& pos) const;
    void startGesture(TMouseMode mode, const QPoint& pos);
    void endGesture();
    void cursorDragTo(const QPoint& pos);
    void markerDragTo(const QPoint& pos);
    void frameDragTo(const QPoint& pos);
    QPointF frameCorner(const QPoint& pos) const;
    void finishZoomFrame(const QPoint& pos);
    // Pages the view when the world X lies outside the content; answers the pixels moved.
    int pageTo(double x);
    // The edge paging of the cursor and marker drags: pages to x, the pointer moving with the
    // content, or else puts the pointer on x's column; the result is the new anchor.
    void followDrag(const QPoint& pos, double x);
    void paintCurve(TGContentPainter& gp, TGDataItem* item);
    void paintStart(TGContentPainter& gp, TGDataItem* active);
    // The cursor's lines (only while its column is inside the content) and its report.
    void paintCursor(TGContentPainter& gp, TGDataItem* active);

    double m_cursorX = 0, m_cursorY = 0;
    double m_startX = 0;
    std::array<std::unique_ptr<TMarker>, 4> m_markers; // M1, M2, M3, Y
    std::vector<TMarker*> m_zOrder;                    // back to front
    TCursorType m_cursorType = ctCross;
    bool m_cursorVisible = true;
    TColor m_cursorColor = clRed;
    TColor m_savedCursorColor = clRed;
    bool m_showMarkersLine = true;
    TMouseMode m_mouseMode = TMouseMode::None;
    QPoint m_anchor;
    QPointF m_frameStart, m_frameEnd;
    TMarker* m_dragged = nullptr;
    struct TNotified {
        bool Visible = false;
        double X = 0, Y = 0;
    } m_notified;
    std::atomic<int> m_lock{0};
    uint64_t m_lastActiveSerial = 0;
    bool m_markersFollowData = false; // markers rewritten for new samples: no placement
    // What a picture of another trace put aside.
    struct TPose {
        double CursorX = 0, CursorY = 0, StartX = 0;
        std::array<std::tuple<double, double, bool>, 4> Markers{}; // x, y, shown
    };
    std::optional<TPose> m_pose;
};

} // namespace lv
