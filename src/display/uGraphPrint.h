#pragma once
// Graph printing beside the graph view rather than inside it: the print properties a view
// publishes (what to print, how many frames per page, the page range, copies, paper), the page
// arithmetic of printing several graphs on a sheet and of the print queue's frames as pure
// functions, and the output mode a view is in while it renders pictures for paper or a file.
// Printing on a printer, to the queue (through IPictureSink) and into a picture file builds on
// these.

#include <QSize>
#include <vector>

#include "display/GraphMath.h"
#include "display/uPictureSink.h"

namespace lv {

class TGDataItem;
class TGraphView;

// Columns and rows of frames on a printed sheet.
struct TPageGrid {
    int Columns = 1;
    int Rows = 1;
    friend bool operator==(const TPageGrid&, const TPageGrid&) = default;
};

// The grid of `graphsOnPage` frames (clamped to 1..8). In landscape (a printer that supports the
// orientation and is set to it): one column for up to 2 frames, two for 3..6, three for 7..8;
// otherwise one column for up to 3 frames, two for 4..8. Rows: frames ÷ columns, rounded up.
TPageGrid PageGrid(int graphsOnPage, bool landscape);

// Frame k (1-based) of a sheet of `page` pixels: cells of ⌊width ÷ columns⌋ × ⌊height ÷ rows⌋
// filled column by column, each shrunk by 2 pixels on every side.
TRect PageFrameRect(int frame, const QSize& page, const TPageGrid& grid);

// Where a picture of `picture` pixels lands in `frame`: scaled by the smaller of the two ratios
// (sizes truncated) and centred.
TRect FitPictureRect(const TRect& frame, const QSize& picture);

// The picture a view of `view` pixels renders for a queue frame of `queueFrame`: as wide as
// 5/4 of the view, as high as that width at the frame's proportions but never lower than the view.
TRect QueuePictureRect(const QSize& view, const TRect& queueFrame);

// The first print item of frame `frame` (1-based) on page `page` (1-based).
int FrameStartIndex(int page, int frame, int framesPerPage, int groupSize);

enum class TPrintOrientation { Portrait, Landscape };

// The print properties of a view, with the rules their setters follow.
class TGraphPrintSettings {
public:
    // The items to print: those of `items` that have data, in order; all items of the view that
    // have data when `items` is empty. The page range becomes the whole: 1..PageCount.
    void PreparePrint(const TGraphView& view, const std::vector<TGDataItem*>& items = {});

    const std::vector<TGDataItem*>& PrintItems() const { return m_items; }
    // ⌈print items ÷ GraphsOnPage⌉ as of the last PreparePrint.
    int PageCount() const { return m_pageCount; }
    int FirstPage() const { return m_firstPage; }
    // min(PageCount, v) for v > 0, else 1.
    void SetFirstPage(int v);
    int LastPage() const { return m_lastPage; }
    // FirstPage below it, else min(PageCount, v).
    void SetLastPage(int v);

    int GraphsOnPage() const { return m_graphsOnPage; }
    void SetGraphsOnPage(int v); // 1..8
    int GroupGraphsOnPrint() const { return m_groupGraphsOnPrint; }
    void SetGroupGraphsOnPrint(int v); // at least 1
    int PrintCopies() const { return m_printCopies; }
    void SetPrintCopies(int v); // at least 1
    TPrintOrientation PrintOrientation() const { return m_orientation; }
    void SetPrintOrientation(TPrintOrientation v) { m_orientation = v; }
    int PrintPaperSize() const { return m_paperSize; } // a paper code (9: A4)
    void SetPrintPaperSize(int code) { m_paperSize = code; }

    // One queue picture: its first print item and the picture's rectangle.
    struct TQueueFrame {
        int StartIndex;
        TRect PictureRect;
    };
    // The pictures a view of `view` pixels adds to `sink` for the page range: for each page and
    // each frame of the sink's marking, the next group of print items, until they run out.
    std::vector<TQueueFrame> QueueFrames(const QSize& view, const IPictureSink& sink) const;

private:
    std::vector<TGDataItem*> m_items;
    int m_pageCount = 1, m_firstPage = 1, m_lastPage = 1;
    int m_graphsOnPage = 1;
    int m_groupGraphsOnPrint = 1;
    int m_printCopies = 1;
    TPrintOrientation m_orientation = TPrintOrientation::Portrait;
    int m_paperSize = 9;
};

// The output mode of a view for its lifetime: the view waits with its screen updates, is in black
// on white (its header's colour swatch off meanwhile) and paints for output (Printing()). Leaving
// restores the swatch and the colours (unless the view was monochrome already) and repaints.
class TGraphOutputMode {
public:
    explicit TGraphOutputMode(TGraphView& view);
    ~TGraphOutputMode();
    TGraphOutputMode(const TGraphOutputMode&) = delete;
    TGraphOutputMode& operator=(const TGraphOutputMode&) = delete;

private:
    TGraphView& m_view;
    bool m_wasMonochrome;
    bool m_swatch;
    bool m_wasUpdating;
};

} // namespace lv
