#pragma once
// The printed trace page: the graph's picture of one trace with the trace's parameter block —
// the date, the operator, the measurement's parameters and the results between its markers —
// optionally framed. The standard page puts the block in a column left of the graph, or (for the
// queue's sheets of more than four frames) in three columns under it; the batch page of the
// batch conversion puts a titled block over the graph, in Russian or English.
//
// A page is composed in two steps: its layout (sizes, frames, rules, texts with their rectangles
// and fonts) is pure arithmetic on the picture's pixels, and drawing it needs nothing but a
// painter, so one composition serves the printer, the queue, PDF and picture files alike. Every
// value comes from the trace being composed, never from the main window's panel.
//
// Units: the pixels of the graph picture (W × H); rectangles exclude their right and bottom
// edges. Distances in kilometres, losses in decibels.

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QPoint>
#include <QSize>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "display/FittedText.h"
#include "display/GraphMath.h"
#include "trace/MainSettings.h"
#include "trace/RealRect.h"

class QPainter;
class QPicture;

namespace lv {

class TMainDataItem;

// What a page prints about its trace.
struct TTracePageData {
    bool HasStore = false;
    QString Caption;       // the trace's title
    QString FileName;      // the store's file name
    double CursorPos = -1; // km, negative: no cursor
    double Reference = 0;  // km, the trace's start
    double Distance12 = 0; // km
    double Loss12 = 0;     // dB
    double Distance23 = 0; // km
    double Loss23 = 0;     // dB
    double SpliceLoss = 0; // dB, at marker 2
    double WaveLength = 0; // µm
    double GroupIndex = 0;
    double Attenuator = -1; // dB, negative: not set
    double Range = 0;       // km
    double ViewWidth = 0;   // km, the main graph's view window
    double ViewHeight = 0;  // dB
    int PulseWidth = 0;     // ns
    int Averages = 0;
    QString AveragingText;
    int ApproxMode = -1;                 // 0 two-point, 1 least squares
    std::optional<QDateTime> MeasuredAt; // none without a trace store
    QHash<QString, QString> Texts; // "CID", "FID", "OL", "TL", "OP", "SN", "MFID", "OTDR", "OMID", "OMSN"
};

// The values of `item` (nullptr: nothing known), with `viewWindow` the main graph's view window.
TTracePageData TracePageData(TMainDataItem* item, const TRealRect& viewWindow);

// The moment a page is composed and the formats it writes in. The caller reads its clock when it
// composes, so that a page printed just after midnight carries that day's date.
struct TPageContext {
    QDateTime Now;
    QLocale Locale;   // decimal point, short date, date and time separators
    QString DateText; // the date as the main window's date panel writes it, for Now
};

enum class TTracePageLayout {
    SideColumn, // the parameter block in a column left of the graph
    Compact,    // the parameter block in three columns under the graph
};

// One text of a page: its line number (1..27 on the standard page; 0 on the batch page), the
// rectangle it is fitted into (filled white first) and its font's pixel height.
struct TPageText {
    int Line = 0;
    QString Text;
    TRect Rect;
    int FontHeight = 0;
    bool Bold = false;
    TTextPlacement Placement = TTextPlacement::Start;
};

// A composed page: the graph picture goes at GraphAt, then the frames and rules (black, one pixel)
// and the texts. Size holds everything drawn.
struct TComposedPage {
    QSize Size;
    QPoint GraphAt;
    std::vector<TRect> Frames; // outlines covering their rectangles' edge pixels
    std::vector<QLine> Rules;
    std::vector<TPageText> Texts;
};

// The pixel height of the pages' font, Times New Roman of 14 points. The face name carries no
// " Cyr": fontconfig gives the metric-compatible Liberation Serif for the plain name only.
int PageFontHeight();
QFont PageFont(int pixelHeight, bool bold);

// The standard page of a graph picture of `graph` pixels for the frame `frame` it will be fitted
// into on the sheet. A frame too small to scale into (less than 10 × 5 pixels) counts as the
// picture-file frame: 5/4 of the graph wide, as high as the graph.
TComposedPage StandardPage(const QSize& graph, const TRect& frame, TTracePageLayout layout,
                           const TTracePageData& data, const TMainSettings& settings,
                           const TPageContext& context);

// The batch page: the title "Lumvaris", the date, the trace, its identification texts and its
// parameters and results above the graph, Russian (`russian`) or English. The block is laid out
// for a graph of at least kBatchMinGraphHeight pixels; when it needs more room than its area
// gives, the area grows and the graph moves down rather than being written over.
constexpr int kBatchMinGraphHeight = 300;
TComposedPage BatchPage(const QSize& graph, bool russian, const TTracePageData& data,
                        const TMainSettings& settings, const TPageContext& context);

// The batch title's font height for the pitch candidate `pitch` and the base font's height:
// twice the pitch when it lies between 2 and the base height, twice the base height when the
// pitch reaches it; the base height when the pitch is 2 or less (too little room to enlarge).
int BatchTitleFontHeight(int pitch, int baseHeight);

// Draws `page` with `graph` on any painter, from (0, 0).
void DrawComposedPage(QPainter& painter, const QPicture& graph, const TComposedPage& page);
// The page as a picture whose bounding rectangle is its size.
std::unique_ptr<QPicture> ComposedPagePicture(const QPicture& graph, const TComposedPage& page);

// Texts of the measurement time: "d/mm/yy, h:nn:ss" with the locale's separators, the English
// form in 12-hour time with " am" or " pm".
QString MeasurementTimeText(const QDateTime& at, bool russian, const QLocale& locale);

} // namespace lv
