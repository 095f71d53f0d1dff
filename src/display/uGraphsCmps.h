#pragma once
// The graphs of the main window: the main data item (a curve that is the typed doorway to one
// trace store) and the overview graph (a small view that follows another graph, shows its active
// trace whole and its visible window as a frame that can be dragged).
//
// Units: X in kilometres, Y in decibels. Positions handed to and from the trace store go in
// kilometres; the store keeps them in metres, -1 meaning none.

#include <QPointer>
#include <QString>
#include <memory>
#include <string>

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
    // Results by kind: 1 length M1-M2 (km), 2 its loss (dB), 3 length M2-M3, 4 its loss, 5/6 slope
    // (dB/km) and intercept of the first fit, 7/8 of the second, 9 splice loss at M2, 10
    // wavelength (um), 12 refractive index, 13 attenuator (dB, -1 unset), 14 range (km), 15 start
    // point (km, 0 none); 0 for any other kind.
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

} // namespace lv
