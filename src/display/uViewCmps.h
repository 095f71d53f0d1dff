#pragma once
// TGraphView: the generic graph control under the main graph and the overview. It keeps a
// rectangle of world coordinates, shows part of it in its content rectangle and maps between
// world units and pixels; zooming changes the virtual size (how many pixels the whole world
// takes), scrolling moves the content over it through the two scroll-bar models. Around the
// content it draws up to nine strips (header, and per axis label, scale-and-power, values and
// ruler strips) and inside it the background, the grids, the curves and the content objects.
//
// Painting is one pipeline, PaintView(painter, clip), used by the screen and by any other paint
// device (pictures, printers): lay out, prepare, paint the strips and then the content, report
// the extents. Each step is a virtual operation; the content runs through a TGContentPainter that
// holds the coordinate transforms. Descendants add curves (PaintCurves), cursors, markers and
// frames (PaintContentObjects), and feed the view their data through DataExtents, AdoptExtents
// and ActiveItemInfo. Printing (print properties, page arithmetic, the output mode, the three
// outputs) lives beside the view, in uGraphPrint.h and uGraphPrint.cpp.

#include <QMenu>
#include <QPointer>
#include <QRegion>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>
#include <vector>

#include "display/CurveReduce.h"
#include "display/FittedText.h"
#include "display/GraphColors.h"
#include "display/GraphLayout.h"
#include "display/GraphMath.h"
#include "display/uGraphPrint.h"
#include "display/uMsgRsv.h"
#include "display/uScrlCtrl.h"
#include "trace/Errors.h"
#include "trace/RealRect.h"


class QPainter;

namespace lv {

class TGDataItem; // a curve of a view (uViewCmpsData.h)
class TGData;     // the view's list of curves
class TGraphChanger;
class TGraphView;

// An operation the object's state does not allow (a wrong parent, for one).
class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};

// Notices a view sends through its messager, all delivered at once (mode 0).
enum TGraphNotify : int {
    gnViewDestroyed = 1,     // second value 0
    gnActiveItemChanged = 2, // second value: the new active TGDataItem*, or 0
    gnExtsChanged = 3,       // second value: const TExtsPair*
    gnItemChanged = 4,       // second value: the changed TGDataItem*
};
struct TExtsPair {
    TRealRect Exts;
    TRealRect VisExts;
};

// The drawing record handed to the paint operations and events.
struct TDrawStruct {
    QPainter* Canvas = nullptr;
    TRect ClipRect;  // the region being painted
    int HorzPos = 0; // scroll-bar positions
    int VertPos = 0;
    TRect PaintRect; // the visible part of the content while it is painted; empty otherwise
};

// Converts world coordinates to pixels (and back) for everything drawn inside the content, and
// draws lines between world points. Made for one paint or one conversion.
class TGContentPainter {
public:
    TGContentPainter(const TGraphGeometry& geometry, const TRulerLayout& xRulers, const TRulerLayout& yRulers,
                     TDrawStruct* ds = nullptr);

    const TGraphGeometry& Geometry() const { return m_geometry; }
    const TRealRect& Exts() const { return m_geometry.Exts; }
    const TRulerLayout& XRulers() const { return m_xRulers; }
    const TRulerLayout& YRulers() const { return m_yRulers; }
    TDrawStruct* DS() const { return m_ds; }
    QPainter* Canvas() const { return m_ds ? m_ds->Canvas : nullptr; }
    // World X range of the PaintRect (the whole content when there is no drawing record).
    double PaintXMin() const { return m_paintXMin; }
    double PaintXMax() const { return m_paintXMax; }

    int XToPixel(double x) const { return m_geometry.XMap().ToPixel(x); }
    int YToPixel(double y) const { return m_geometry.YMap().ToPixel(y); }
    double PixelToX(int px) const { return m_geometry.XMap().ToWorld(px); }
    double PixelToY(int py) const { return m_geometry.YMap().ToWorld(py); }
    QPoint WorldToPixel(double x, double y) const { return {XToPixel(x), YToPixel(y)}; }
    void PixelToWorld(const QPoint& p, double& x, double& y) const {
        x = PixelToX(p.x());
        y = PixelToY(p.y());
    }
    TRect WorldRectToPixel(const TRealRect& r) const { return m_geometry.WorldRectToPixel(r); }
    TRealRect PixelRectToWorld(const TRect& r) const { return m_geometry.PixelRectToWorld(r); }

    // Drawing with the canvas's current pen (nothing without a canvas).
    void MoveTo(double x, double y);
    void LineTo(double x, double y);
    void Line(double x1, double y1, double x2, double y2);
    void Rectangle(const TRealRect& r); // outline only
    QPoint PenPos() const { return m_penPos; }

private:
    TGraphGeometry m_geometry;
    TRulerLayout m_xRulers;
    TRulerLayout m_yRulers;
    TDrawStruct* m_ds;
    double m_paintXMin = 0, m_paintXMax = 0;
    QPoint m_penPos;
};

extern const char* const kMsgBadScrollInfo; // "Неверная иныормация о скролинге в позиции %d"

// What a scroll moves: the deltas and the rectangles whose pixels shift with the content.
class TGraphScrollInfo {
public:
    TGraphScrollInfo(int deltaX, int deltaY) : DeltaX(deltaX), DeltaY(deltaY) {}
    // Adds a rectangle; empty ones are skipped. When only one delta is set, a rectangle lying
    // beside another across the scroll direction with the same span along it is merged with it
    // (the content and its ruler strip move as one block).
    void Add(const TRect& r);
    int Count() const { return int(m_rects.size()); }
    // Raises EListError for an index it does not hold.
    const TRect& Rect(int index) const;

    int DeltaX;
    int DeltaY;

private:
    std::vector<TRect> m_rects;
};

// What the header shows of the active curve.
struct TActiveItemInfo {
    TColor Colour = clWhite;
    QString Caption;
    QString FileName; // the trace's file path; the header shows its name part
};

// One text of a strip and the box it is fitted into.
struct TStripText {
    TRect Box;
    QString Text;
};

enum TBorderStyle { bsNone, bsSingle };

class TGraphView : public TVisScrollingWinControl {
    Q_OBJECT
public:
    using TZoomEvent = std::function<void(TGraphView* sender, TRealRect& newRect)>;
    using TScrollContentEvent = std::function<void(TGraphView* sender, int& deltaX, int& deltaY)>;
    using TExtsChangedEvent =
        std::function<void(TGraphView* sender, const TRealRect& exts, const TRealRect& visExts)>;
    using TDrawEvent = std::function<void(TGraphView* sender, TDrawStruct& ds)>;
    using TDrawObjectEvent = std::function<void(TGraphView* sender, TDrawStruct& ds, TWhatObject what)>;
    using TDrawContentEvent =
        std::function<void(TGraphView* sender, TGContentPainter& gp, TWhatContent what)>;
    using TNotifyEvent = std::function<void(TGraphView* sender)>;
    using TOverlayEvent = std::function<void(TGraphView* sender, TGContentPainter& gp)>;

    explicit TGraphView(QWidget* parent = nullptr);
    ~TGraphView() override;

    // Bulk changes: painting and invalidation wait until the outermost EndUpdate, which repaints
    // the whole control.
    class TUpdateGuard {
    public:
        explicit TUpdateGuard(TGraphView& view) : m_view(&view) { view.BeginUpdate(); }
        ~TUpdateGuard() {
            if (m_view) m_view->EndUpdate();
        }
        TUpdateGuard(const TUpdateGuard&) = delete;
        TUpdateGuard& operator=(const TUpdateGuard&) = delete;

    private:
        QPointer<TGraphView> m_view;
    };
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return m_updateCount; }

    // --- world extents, coordinates and zoom --------------------------------------------------
    double XMin() const { return m_exts.XMin; }
    double XMax() const { return m_exts.XMax; }
    double YMin() const { return m_exts.YMin; }
    double YMax() const { return m_exts.YMax; }
    // One edge of the world; ignored unless it changes and stays on its side of the other edge.
    void SetXMin(double x);
    void SetXMax(double x);
    void SetYMin(double y);
    void SetYMax(double y);
    TRealRect GetExts() const { return m_exts; }
    // The world rectangle of the content rectangle, normalised.
    TRealRect GetVisExts() const;
    TRealRect PixelRectToWorld(const TRect& r) const { return Geometry().PixelRectToWorld(r); }
    // Everything the transforms need, as of now.
    TGraphGeometry Geometry() const;

    int VirtualWidth() const;
    int VirtualHeight() const;
    int XOffset() const;
    int YOffset() const; // counted from the bottom
    double VisibleXMin() const;
    double VisibleYMin() const;
    void SetVirtualWidth(int pixels);
    void SetVirtualHeight(int pixels);
    void SetXOffset(int offset);
    void SetYOffset(int offset);
    void ScrollToX(double x); // the visible window starts at x
    void ScrollToY(double y); // the visible window's bottom is at y

    // Shows `newRect` (widened by LimitZoom), growing or shrinking the world around it.
    virtual void ZoomTo(TRealRect newRect);
    // Zooms to the data extents when they have an area.
    void ShowAll();
    // What the view does when a data item's extents arrive (the item list decides `sole` — the
    // item is the only visible one with data — and `fit`): the world takes or grows to the
    // extents with margins, and the virtual size fits them or keeps the scale; with `fit` the
    // view scrolls to the item's own lower-left corner.
    void AdoptExtents(const TRealRect& itemExts, bool sole, bool fit);
    // The union of the extents of the visible data items, margins included; a zero rectangle
    // when there is none.
    virtual TRealRect DataExtents() const;

    // --- curves ----------------------------------------------------------------------------------
    // The view's list of curves (owned; freed with the view).
    TGData& Data() { return *m_data; }
    const TGData& Data() const { return *m_data; }
    // How curves with more samples than pixel columns are reduced; dmSelf: each curve's own.
    TDisplayMethod DisplayMethod() const { return m_displayMethod; }
    void SetDisplayMethod(TDisplayMethod v);
    // The button pair that cycles the active curve (hidden initially).
    bool ShowChanger() const { return m_showChanger; }
    void SetShowChanger(bool v);
    TGraphChanger* Changer() const { return m_changer; }
    const TColorOrder& ColorOrder() const { return m_colorOrder; }
    void SetColorOrder(const TColorOrder& v) { m_colorOrder = v; }
    // Colours switched to black on white for output: curves are drawn black.
    bool Monochrome() const { return m_monochrome; }
    // On: every colour is saved, then backgrounds go white and pens and fonts black. Off: the
    // saved colours come back.
    virtual void SetMonochrome(bool on);
    // A trace's derived values changed through its item (the main graph tells its owner).
    virtual void ItemValuesChanged(TGDataItem* item) {}

    bool XFitInWindow() const { return m_xFitInWindow; }
    void SetXFitInWindow(bool v) { m_xFitInWindow = v; }
    bool YFitInWindow() const { return m_yFitInWindow; }
    void SetYFitInWindow(bool v) { m_yFitInWindow = v; }
    bool XKeepVisExt() const { return m_xKeepVisExt; }
    void SetXKeepVisExt(bool v) { m_xKeepVisExt = v; }
    bool YKeepVisExt() const { return m_yKeepVisExt; }
    void SetYKeepVisExt(bool v) { m_yKeepVisExt = v; }
    int MaxXZoomRatio() const { return m_maxXZoomRatio; }
    void SetMaxXZoomRatio(int percent);
    int MaxYZoomRatio() const { return m_maxYZoomRatio; }
    void SetMaxYZoomRatio(int percent);
    int MaxZoomRatio() const { return std::min(m_maxXZoomRatio, m_maxYZoomRatio); }
    void SetMaxZoomRatio(int percent);
    int MinXMargin() const { return m_minXMargin; }
    void SetMinXMargin(int v) { setMargin(m_minXMargin, v); }
    int MaxXMargin() const { return m_maxXMargin; }
    void SetMaxXMargin(int v) { setMargin(m_maxXMargin, v); }
    int MinYMargin() const { return m_minYMargin; }
    void SetMinYMargin(int v) { setMargin(m_minYMargin, v); }
    int MaxYMargin() const { return m_maxYMargin; }
    void SetMaxYMargin(int v) { setMargin(m_maxYMargin, v); }

    // --- areas -----------------------------------------------------------------------------------
    const TAreaLayout& Areas() const { return m_layout; }
    TRect ContentRect() const { return m_layout.Content(); }
    TRect AreaRect(TWhatObject area, int side = 0) const { return m_layout.Area(area, side); }
    // The area and side under the last pointer position the view saw, or none.
    std::optional<std::pair<TWhatObject, int>> AreaAt() const;
    QPoint LastPointerPos() const { return m_lastPointer; }
    void InvalidateAll();
    void InvalidateArea(TWhatObject area);
    const TRulerLayout& XRulers() const { return m_xRulers; }
    const TRulerLayout& YRulers() const { return m_yRulers; }

    // --- texts as the strips show them (after a layout and CalcRulers) ---------------------------
    QString HeaderText() const;
    QString LabelText(TAxis axis) const;
    QString ScaleText(TAxis axis) const;
    // "10^e" when the scale strip carries a power, else empty.
    QString PowerText(TAxis axis) const;
    std::vector<TStripText> ValueTexts(TAxis axis, int side) const;

    // The one render path: paints the client area (clipped to `clip`) with `painter`.
    void PaintView(QPainter& painter, const QRect& clip);
    bool Printing() const { return m_printing; }

    // --- output: the printer, the print queue, picture files (uGraphPrint.h) -------------------
    TGraphPrintSettings& PrintSettings() { return m_printSettings; }
    const TGraphPrintSettings& PrintSettings() const { return m_printSettings; }
    // The items to print (all with data when `items` is empty) and the page range 1..PageCount.
    void PreparePrint(const std::vector<TGDataItem*>& items = {}) {
        m_printSettings.PreparePrint(*this, items);
    }
    // The prepared pages on `printer`, GraphsOnPage frames a sheet, PrintCopies copies (made by
    // hand when the printer cannot). Nothing without print items; EPrintError when the printer
    // cannot start; a failure aborts the job. The view is left as it was on every path.
    virtual void PrintGraphs(IPrinter& printer);
    // One picture for every group of print items into `queue`, in one batch. Nothing without
    // print items or without a marking in the queue.
    virtual void PrintToQueue(IPictureSink& queue);
    // With exactly one print item: its picture into `fileName`, as a 16-colour bitmap (pfBitmap
    // and any unknown format) or, through the picture writer, as a metafile and the rest
    // (TPictureFormat).
    virtual void SavePicture(const QString& fileName, int format);
    void SetPictureWriter(TPictureWriter writer) { m_pictureWriter = std::move(writer); }
    // While a picture of output is made: its items, and the first of them, which stands for the
    // active item (header, cursor, markers). Empty and nullptr otherwise.
    const std::vector<TGDataItem*>& PrintGroup() const { return m_printGroup; }
    TGDataItem* PrintActiveItem() const { return m_printGroup.empty() ? nullptr : m_printGroup.front(); }
    // The item the view shows as active: the print group's first while a picture is made, else
    // the list's active item.
    TGDataItem* ShownActiveItem() const;

    TMessager& Messager() { return m_messager; }

    // --- the popup menu (the owner fills it and keeps it) ----------------------------------------
    QMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(QMenu* menu) { m_popupMenu = menu; }
    // Runs right before the popup menu shows: the owner sets its items' states there.
    TNotifyEvent OnPopup;
    // OnPopup, then the menu at a client point; false without a menu. The right button, the menu
    // key and Shift+F10 open it.
    bool Popup(const QPoint& clientPos);

    // Panning by a ruler or values strip in progress.
    enum class TRulerDrag { None, Horizontal, Vertical };
    TRulerDrag RulerDrag() const { return m_rulerDrag; }

    // --- strip properties ------------------------------------------------------------------------
    TColor Color() const { return m_color; }
    void SetColor(TColor v);
    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TBorderStyle v);

    bool HeaderVisible() const { return m_headerVisible; }
    void SetHeaderVisible(bool v);
    const QString& Header() const { return m_header; }
    void SetHeader(const QString& v);
    THeaderPos HeaderPos() const { return m_headerPos; }
    void SetHeaderPos(THeaderPos v);
    TColor HeaderColor() const { return m_headerColor; }
    void SetHeaderColor(TColor v) { setColor(m_headerColor, v, woHeader); }
    const TGraphFont& HeaderFont() const { return m_headerFont; }
    void SetHeaderFont(const TGraphFont& f);
    bool HeaderShowGraphColor() const { return m_headerShowGraphColor; }
    void SetHeaderShowGraphColor(bool v);
    int HeaderSize() const { return m_headerSize; }
    void SetHeaderSize(int v);
    THeaderContent HeaderContent() const { return m_headerContent; }
    void SetHeaderContent(THeaderContent v);

    bool XLabelVisible() const { return m_x.LabelVisible; }
    void SetXLabelVisible(bool v) { setRelayout(m_x.LabelVisible, v); }
    bool YLabelVisible() const { return m_y.LabelVisible; }
    void SetYLabelVisible(bool v) { setRelayout(m_y.LabelVisible, v); }
    const QString& XLabel() const { return m_x.Label; }
    void SetXLabel(const QString& v) { setText(m_x.Label, v, {woXLabel}); }
    const QString& YLabel() const { return m_y.Label; }
    void SetYLabel(const QString& v) { setText(m_y.Label, v, {woYLabel}); }
    TXLabelPos XLabelPos() const { return TXLabelPos(m_x.LabelPos); }
    void SetXLabelPos(TXLabelPos v) { setRelayout(m_x.LabelPos, int(v)); }
    TYLabelPos YLabelPos() const { return TYLabelPos(m_y.LabelPos); }
    void SetYLabelPos(TYLabelPos v) { setRelayout(m_y.LabelPos, int(v)); }
    TColor XLabelColor() const { return m_x.LabelColor; }
    void SetXLabelColor(TColor v) { setColor(m_x.LabelColor, v, woXLabel); }
    TColor YLabelColor() const { return m_y.LabelColor; }
    void SetYLabelColor(TColor v) { setColor(m_y.LabelColor, v, woYLabel); }
    const TGraphFont& XLabelFont() const { return m_x.LabelFont; }
    void SetXLabelFont(const TGraphFont& f) {
        setStripFont(m_x.LabelFont, f, m_x.LabelSize, woXLabel);
    }
    const TGraphFont& YLabelFont() const { return m_y.LabelFont; }
    void SetYLabelFont(const TGraphFont& f) {
        setStripFont(m_y.LabelFont, f, m_y.LabelSize, woYLabel);
    }
    int XLabelSize() const { return m_x.LabelSize; }
    void SetXLabelSize(int v) { setSize(m_x.LabelSize, v, defaultSize(m_x.LabelFont)); }
    int YLabelSize() const { return m_y.LabelSize; }
    void SetYLabelSize(int v) { setSize(m_y.LabelSize, v, defaultSize(m_y.LabelFont)); }
    const QString& XLabelUnits() const { return m_x.LabelUnits; }
    void SetXLabelUnits(const QString& v) { setText(m_x.LabelUnits, v, {woXLabel, woXScale}); }
    const QString& YLabelUnits() const { return m_y.LabelUnits; }
    void SetYLabelUnits(const QString& v) { setText(m_y.LabelUnits, v, {woYLabel, woYScale}); }
    bool XLabelUnitsVisible() const { return m_x.LabelUnitsVisible; }
    void SetXLabelUnitsVisible(bool v) { m_x.LabelUnitsVisible = v; }
    bool YLabelUnitsVisible() const { return m_y.LabelUnitsVisible; }
    void SetYLabelUnitsVisible(bool v) { m_y.LabelUnitsVisible = v; }

    int XGridsCount() const { return m_x.GridsCount; }
    void SetXGridsCount(int v) { setRelayout(m_x.GridsCount, std::max(v, 1)); }
    int YGridsCount() const { return m_y.GridsCount; }
    void SetYGridsCount(int v) { setRelayout(m_y.GridsCount, std::max(v, 1)); }
    TColor XGridsColor() const { return m_x.GridsColor; }
    void SetXGridsColor(TColor v) { setColor(m_x.GridsColor, v, woContent); }
    TColor YGridsColor() const { return m_y.GridsColor; }
    void SetYGridsColor(TColor v) { setColor(m_y.GridsColor, v, woContent); }
    bool XGridsVisible() const { return m_x.GridsVisible; }
    void SetXGridsVisible(bool v) { setFlag(m_x.GridsVisible, v, woContent); }
    bool YGridsVisible() const { return m_y.GridsVisible; }
    void SetYGridsVisible(bool v) { setFlag(m_y.GridsVisible, v, woContent); }

    bool XScaleVisible() const { return m_x.ScaleVisible; }
    void SetXScaleVisible(bool v) { setScalePart(TAxis::X, m_x.ScaleVisible, v, false); }
    bool YScaleVisible() const { return m_y.ScaleVisible; }
    void SetYScaleVisible(bool v) { setScalePart(TAxis::Y, m_y.ScaleVisible, v, false); }
    bool XPowerVisible() const { return m_x.PowerVisible; }
    void SetXPowerVisible(bool v) { setScalePart(TAxis::X, m_x.PowerVisible, v, true); }
    bool YPowerVisible() const { return m_y.PowerVisible; }
    void SetYPowerVisible(bool v) { setScalePart(TAxis::Y, m_y.PowerVisible, v, true); }
    const TGraphFont& XScaleFont() const { return m_x.ScaleFont; }
    void SetXScaleFont(const TGraphFont& f) { setScaleFont(TAxis::X, m_x.ScaleFont, f); }
    const TGraphFont& XPowerFont() const { return m_x.PowerFont; }
    void SetXPowerFont(const TGraphFont& f) { setScaleFont(TAxis::X, m_x.PowerFont, f); }
    const TGraphFont& YScaleFont() const { return m_y.ScaleFont; }
    void SetYScaleFont(const TGraphFont& f) { setScaleFont(TAxis::Y, m_y.ScaleFont, f); }
    const TGraphFont& YPowerFont() const { return m_y.PowerFont; }
    void SetYPowerFont(const TGraphFont& f) { setScaleFont(TAxis::Y, m_y.PowerFont, f); }
    TColor XSPColor() const { return m_x.SPColor; }
    void SetXSPColor(TColor v) { setColor(m_x.SPColor, v, woXScale); }
    TColor YSPColor() const { return m_y.SPColor; }
    void SetYSPColor(TColor v) { setColor(m_y.SPColor, v, woYScale); }
    TXLabelPos XSPPos() const { return TXLabelPos(m_x.SPPos); }
    void SetXSPPos(TXLabelPos v) { setRelayout(m_x.SPPos, int(v)); }
    TYLabelPos YSPPos() const { return TYLabelPos(m_y.SPPos); }
    void SetYSPPos(TYLabelPos v) { setRelayout(m_y.SPPos, int(v)); }
    int XSPSize() const { return m_x.SPSize; }
    void SetXSPSize(int v) { setSize(m_x.SPSize, v, scaleStripDefault(m_x)); }
    int YSPSize() const { return m_y.SPSize; }
    void SetYSPSize(int v) { setSize(m_y.SPSize, v, scaleStripDefault(m_y)); }

    bool XValuesVisible() const { return m_x.ValuesVisible; }
    void SetXValuesVisible(bool v) { setRelayout(m_x.ValuesVisible, v); }
    bool YValuesVisible() const { return m_y.ValuesVisible; }
    void SetYValuesVisible(bool v) { setRelayout(m_y.ValuesVisible, v); }
    const TGraphFont& XValuesFont() const { return m_x.ValuesFont; }
    void SetXValuesFont(const TGraphFont& f) {
        setStripFont(m_x.ValuesFont, f, m_x.ValuesSize, woXValues);
    }
    const TGraphFont& YValuesFont() const { return m_y.ValuesFont; }
    void SetYValuesFont(const TGraphFont& f) {
        setStripFont(m_y.ValuesFont, f, m_y.ValuesSize, woYValues);
    }
    int XValuesPrec() const { return m_x.ValuesPrec; }
    void SetXValuesPrec(int v) { setInt(m_x.ValuesPrec, std::max(v, 0), woXValues); }
    int YValuesPrec() const { return m_y.ValuesPrec; }
    void SetYValuesPrec(int v) { setInt(m_y.ValuesPrec, std::max(v, 0), woYValues); }
    int XValuesSize() const { return m_x.ValuesSize; }
    void SetXValuesSize(int v) { setSize(m_x.ValuesSize, v, defaultSize(m_x.ValuesFont)); }
    int YValuesSize() const { return m_y.ValuesSize; }
    void SetYValuesSize(int v) { setSize(m_y.ValuesSize, v, defaultSize(m_y.ValuesFont)); }
    TColor XValuesBkColor() const { return m_x.ValuesBkColor; }
    void SetXValuesBkColor(TColor v) { setColor(m_x.ValuesBkColor, v, woXValues); }
    TColor YValuesBkColor() const { return m_y.ValuesBkColor; }
    void SetYValuesBkColor(TColor v) { setColor(m_y.ValuesBkColor, v, woYValues); }

    bool XRulsVisible() const { return m_x.RulsVisible; }
    void SetXRulsVisible(bool v) { setRelayout(m_x.RulsVisible, v); }
    bool YRulsVisible() const { return m_y.RulsVisible; }
    void SetYRulsVisible(bool v) { setRelayout(m_y.RulsVisible, v); }
    TColor XRulsBkColor() const { return m_x.RulsBkColor; }
    void SetXRulsBkColor(TColor v) { setColor(m_x.RulsBkColor, v, woXRuls); }
    TColor YRulsBkColor() const { return m_y.RulsBkColor; }
    void SetYRulsBkColor(TColor v) { setColor(m_y.RulsBkColor, v, woYRuls); }
    TColor XRulsColor() const { return m_x.RulsColor; }
    void SetXRulsColor(TColor v) { setColor(m_x.RulsColor, v, woXRuls); }
    TColor YRulsColor() const { return m_y.RulsColor; }
    void SetYRulsColor(TColor v) { setColor(m_y.RulsColor, v, woYRuls); }
    TXLabelPos XRulsPos() const { return TXLabelPos(m_x.RulsPos); }
    void SetXRulsPos(TXLabelPos v) { setRelayout(m_x.RulsPos, int(v)); }
    TYLabelPos YRulsPos() const { return TYLabelPos(m_y.RulsPos); }
    void SetYRulsPos(TYLabelPos v) { setRelayout(m_y.RulsPos, int(v)); }
    int XRulsSize() const { return m_x.RulsSize; }
    void SetXRulsSize(int v) { setSize(m_x.RulsSize, v, kRulerStripSize); }
    int YRulsSize() const { return m_y.RulsSize; }
    void SetYRulsSize(int v) { setSize(m_y.RulsSize, v, kRulerStripSize); }
    int XRulsPerGrd() const { return m_x.RulsPerGrd; }
    void SetXRulsPerGrd(int v) { setRulsPerGrd(m_x, v); }
    int YRulsPerGrd() const { return m_y.RulsPerGrd; }
    void SetYRulsPerGrd(int v) { setRulsPerGrd(m_y, v); }
    bool XRulsHalf() const { return m_x.RulsHalf; }
    void SetXRulsHalf(bool v) { setFlag(m_x.RulsHalf, v, woXRuls); }
    bool YRulsHalf() const { return m_y.RulsHalf; }
    void SetYRulsHalf(bool v) { setFlag(m_y.RulsHalf, v, woYRuls); }
    int XRulsNormSize() const { return m_x.RulsNormSize; }
    void SetXRulsNormSize(int v) { setTickSize(m_x, m_x.RulsNormSize, v, woXRuls); }
    int XRulsHalfSize() const { return m_x.RulsHalfSize; }
    void SetXRulsHalfSize(int v) { setTickSize(m_x, m_x.RulsHalfSize, v, woXRuls); }
    int XRulsBigSize() const { return m_x.RulsBigSize; }
    void SetXRulsBigSize(int v) { setTickSize(m_x, m_x.RulsBigSize, v, woXRuls); }
    int YRulsNormSize() const { return m_y.RulsNormSize; }
    void SetYRulsNormSize(int v) { setTickSize(m_y, m_y.RulsNormSize, v, woYRuls); }
    int YRulsHalfSize() const { return m_y.RulsHalfSize; }
    void SetYRulsHalfSize(int v) { setTickSize(m_y, m_y.RulsHalfSize, v, woYRuls); }
    int YRulsBigSize() const { return m_y.RulsBigSize; }
    void SetYRulsBigSize(int v) { setTickSize(m_y, m_y.RulsBigSize, v, woYRuls); }

    TColor ContentBkColor() const { return m_contentBkColor; }
    void SetContentBkColor(TColor v) { setColor(m_contentBkColor, v, woContent); }
    const TGraphFont& ContentFont() const { return m_contentFont; }
    void SetContentFont(const TGraphFont& f);

    static constexpr int kRulerStripSize = 6;

    // --- events ----------------------------------------------------------------------------------
    TZoomEvent OnBeforeZoom;
    TZoomEvent OnAfterZoom;
    TScrollContentEvent OnBeforeScrollContentBy;
    TScrollContentEvent OnAfterScrollContentBy;
    TExtsChangedEvent OnExtsChanged;
    TDrawEvent OnPreparePaint;
    TDrawEvent OnPaintObjects;
    TDrawObjectEvent OnPaintObject;
    TDrawContentEvent OnPaintContent;
    // Marks of the owner over the curves, under the view's own objects (cursor, markers): run
    // for the screen and for every output picture alike; Printing() tells which.
    TOverlayEvent OnPaintOverlay;
    TNotifyEvent OnDestroy; // right before destruction; what it raises is swallowed
    TNotifyEvent OnDblClick;
    // Printing: around each sheet of PrintGraphs, around each frame picture of PrintGraphs, and
    // around each picture for the queue or a file.
    TPageMetafileEvent OnBeforeCreatePageMetafile;
    TPageMetafileEvent OnAfterCreatePageMetafile;
    TPrintMetafileEvent OnBeforeCreateMetafile;
    TPrintMetafileEvent OnAfterCreateMetafile;
    TPostMetafileEvent OnBeforeCreateQueueMetafile;
    TPostMetafileEvent OnAfterCreateQueueMetafile;

    // The content moves: the deltas are limited to the virtual area and the moved areas repaint.
    void ScrollContent(int deltaX, int deltaY) override;

protected:
    // --- overridable steps -----------------------------------------------------------------------
    virtual void LayoutAreas();
    virtual void PrepareDrawStruct(TDrawStruct& ds, QPainter& painter, const QRect& clip);
    virtual TGraphScrollInfo CreateScrollInfo(int deltaX, int deltaY);
    virtual void CalcRulers();
    // Compares (GetExts, GetVisExts) with the last pair reported; sends gnExtsChanged and calls
    // OnExtsChanged when either differs.
    virtual void DoExtsChanged();
    virtual void DoBeforeScrollContentBy(int& deltaX, int& deltaY);
    virtual void DoAfterScrollContentBy(int deltaX, int deltaY);
    virtual void DoBeforeZoom(TRealRect& newRect);
    virtual void DoAfterZoom(TRealRect& newRect);
    // Reports from the item list: the base sends gnActiveItemChanged / gnItemChanged.
    virtual void DoActiveItemChanged(TGDataItem* item);
    virtual void DoItemChanged(TGDataItem* item, bool isActive);
    // Whether an axis's scale-and-power strip is shown.
    virtual bool ScaleStripShown(TAxis axis) const;
    // The pipeline: layout, record, rulers, prepare (not when printing), objects, extents report.
    virtual void Paint(TDrawStruct& ds);
    virtual void DoPreparePaint(TDrawStruct& ds);
    virtual void PaintObjects(TDrawStruct& ds);
    virtual void PaintHeader(TDrawStruct& ds);
    virtual void PaintLabels(TDrawStruct& ds);
    virtual void PaintScales(TDrawStruct& ds);
    virtual void PaintValues(TDrawStruct& ds);
    virtual void PaintRulers(TDrawStruct& ds);
    virtual void PaintContent(TDrawStruct& ds);
    // wcoXGrids or wcoYGrids.
    virtual void PaintGrids(TGContentPainter& gp, TWhatContent which);
    // The curves of the item list, last to first.
    virtual void PaintCurves(TGContentPainter& gp);
    // Whether an item's curve is drawn (a picture of output draws only its print group).
    virtual bool PaintsItem(const TGDataItem* item) const;
    // A picture of output begins and ends: only `group`'s curves are drawn and its first item
    // stands for the active one. The item list is left alone, so the extents, the overview and
    // the active item stay as they are.
    virtual void BeginPrintGroup(const std::vector<TGDataItem*>& group);
    virtual void EndPrintGroup();
    // Cursor, markers, frames: drawn after the curves from the descendant's state. Nothing here.
    virtual void PaintContentObjects(TGContentPainter& gp);
    virtual bool LimitZoom(const TRealRect& data, TRealRect& newRect);
    virtual QRegion AreaRegion(TWhatObject area) const;
    // Every text of the strips goes through here.
    virtual void DrawStripText(TDrawStruct& ds, TWhatObject area, int side, const TRect& box,
                               const QString& text, const TGraphFont& font, TTextRotation rotation,
                               TTextPlacement placement);
    // The active curve for the header: the item list's active item, when there is one.
    virtual std::optional<TActiveItemInfo> ActiveItemInfo() const;
    // The pointer shape over a client point when no drag is going on.
    virtual Qt::CursorShape PointerShapeAt(const QPoint& pos) const;
    // The mouse was lost (focus taken away): drags end without a last move.
    virtual void CancelMouseMode();
    // Sets the pointer shape for the last pointer position (or the drag going on).
    void updatePointer();
    // Where the popup opened from the keyboard shows (client point): the content's top-left here.
    virtual QPoint KeyboardPopupPos() const;

    void SetPrinting(bool v) { m_printing = v; }

    // --- Qt events -------------------------------------------------------------------------------
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    friend class TGData;
    friend class TGraphChanger;
    friend class TGraphOutputMode;
    void updateChanger();

    struct TAxisStrips {
        QString Label;
        bool LabelVisible = true;
        int LabelPos = 0;
        TColor LabelColor = clBtnFace;
        TGraphFont LabelFont;
        int LabelSize = 0;
        QString LabelUnits;
        bool LabelUnitsVisible = true;
        int GridsCount = 5;
        TColor GridsColor = clYellow;
        bool GridsVisible = true;
        bool ScaleVisible = true;
        bool PowerVisible = true;
        TGraphFont ScaleFont, PowerFont;
        TColor SPColor = clBtnFace;
        int SPPos = 0;
        int SPSize = 0;
        bool ValuesVisible = true;
        TGraphFont ValuesFont;
        int ValuesPrec = 2;
        int ValuesSize = 0;
        TColor ValuesBkColor = clBtnFace;
        bool RulsVisible = true;
        TColor RulsBkColor = clBtnFace;
        TColor RulsColor = clBlue;
        int RulsPos = 0;
        int RulsSize = kRulerStripSize;
        int RulsPerGrd = 10;
        bool RulsHalf = true;
        int RulsNormSize = 2, RulsHalfSize = 4, RulsBigSize = 6;
    };
    const TAxisStrips& strips(TAxis a) const { return a == TAxis::X ? m_x : m_y; }

    TGraphGeometry geometryFor(int clientWidth, int clientHeight) const;
    TRulerLayout rulersNow(TAxis axis) const;
    void relayout();
    void setMargin(int& slot, int v);
    void setColor(TColor& slot, TColor v, TWhatObject area);
    void setFlag(bool& slot, bool v, TWhatObject area);
    void setInt(int& slot, int v, TWhatObject area);
    void setText(QString& slot, const QString& v, std::initializer_list<TWhatObject> areas);
    template <class T> void setRelayout(T& slot, T v) {
        if (slot == v) return;
        slot = v;
        relayout();
    }
    void setSize(int& slot, int v, int minimum);
    static int defaultSize(const TGraphFont& f) { return FontPixelHeight(f.Font) + 2; }
    static int scaleStripDefault(const TAxisStrips& s) {
        return std::max(FontPixelHeight(s.ScaleFont.Font), FontPixelHeight(s.PowerFont.Font)) + 2;
    }
    void setStripFont(TGraphFont& slot, const TGraphFont& f, int& size, TWhatObject area);
    void setScaleFont(TAxis axis, TGraphFont& slot, const TGraphFont& f);
    void setScalePart(TAxis axis, bool& slot, bool v, bool power);
    void setRulsPerGrd(TAxisStrips& s, int v);
    void setTickSize(TAxisStrips& s, int& slot, int v, TWhatObject area);
    bool sideVisible(TDrawStruct& ds, TWhatObject area, int side) const;
    QString decimalSeparator() const;
    void panTo(const QPoint& pos);
    void onDragTimer();

    // World and zoom.
    TRealRect m_exts{-1000, -1000, 1000, 1000};
    bool m_xFitInWindow = true, m_yFitInWindow = true;
    bool m_xKeepVisExt = false, m_yKeepVisExt = false;
    int m_maxXZoomRatio = 1000, m_maxYZoomRatio = 1000;
    int m_minXMargin = 0, m_maxXMargin = 0, m_minYMargin = 0, m_maxYMargin = 0;
    int m_updateCount = 0;
    TExtsPair m_reported;
    TMessager m_messager;

    // Layout and rulers.
    TAreaLayout m_layout;
    QSize m_layoutClient; // the client size m_layout was made for
    TRulerLayout m_xRulers, m_yRulers;

    // Strips.
    TColor m_color = clBtnFace;
    TBorderStyle m_borderStyle = bsSingle;
    bool m_headerVisible = true;
    QString m_header;
    THeaderPos m_headerPos = hpTop;
    TColor m_headerColor = clBtnFace;
    TGraphFont m_headerFont;
    bool m_headerShowGraphColor = true;
    int m_headerSize = 0;
    THeaderContent m_headerContent = hcHeader;
    TAxisStrips m_x, m_y;
    TColor m_contentBkColor = clBlack;
    TGraphFont m_contentFont;
    bool m_printing = false;
    bool m_monochrome = false;
    std::vector<TColor> m_savedColours; // what SetMonochrome(false) restores
    std::vector<TColor*> colourSlots(bool inks);

    // Output.
    TGraphPrintSettings m_printSettings;
    std::vector<TGDataItem*> m_printGroup;
    TPictureWriter m_pictureWriter;
    class TPrintGroupScope;
    std::unique_ptr<QPicture> framePicture(const std::vector<TGDataItem*>& group, TRect& r, bool forQueue);
    std::unique_ptr<QPicture> buildPage(int page, const TPageGrid& grid, const QSize& size);

    // Curves.
    std::unique_ptr<TGData> m_data;
    TDisplayMethod m_displayMethod = dmSelf;
    bool m_showChanger = false;
    TGraphChanger* m_changer = nullptr; // child widget
    TColorOrder m_colorOrder = kDefaultColorOrder;

    QPointer<QMenu> m_popupMenu;

    // Panning by the rulers.
    TRulerDrag m_rulerDrag = TRulerDrag::None;
    QPoint m_dragAnchor;
    QPoint m_lastPointer{-1, -1};
    QTimer m_dragTimer;
};

} // namespace lv
