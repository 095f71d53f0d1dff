#pragma once
// Graph printing beside the graph view rather than inside it: the print properties a view
// publishes (what to print, how many frames per page, the page range, copies, paper), the page
// arithmetic of printing several graphs on a sheet and of the print queue's frames as pure
// functions, the output mode a view is in while it renders pictures for paper or a file, and the
// picture helpers the outputs share. The outputs themselves (TGraphView::PrintGraphs,
// PrintToQueue, SavePicture) are in uGraphPrint.cpp.
//
// Pictures are QPictures whose bounding rectangle is their nominal size, from (0, 0), in the
// pixels of the view that painted them.

#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "display/GraphMath.h"
#include "display/uPictureSink.h"
#include "display/uPrinter.h"

class QPainter;
class QPicture;

namespace lv {

class TGDataItem;
class TGData;
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
// (sizes truncated) and centred. Empty for an empty picture.
TRect FitPictureRect(const TRect& frame, const QSize& picture);

// The picture a view of `view` pixels renders for a queue frame of `queueFrame`: as wide as
// 5/4 of the view, as high as that width at the frame's proportions but never lower than the view.
TRect QueuePictureRect(const QSize& view, const TRect& queueFrame);

// The first print item of frame `frame` (1-based) on page `page` (1-based).
int FrameStartIndex(int page, int frame, int framesPerPage, int groupSize);

// Sheets for `items` print items, `graphsOnPage` frames a sheet, `groupSize` items a frame.
int PrintPageCount(int items, int graphsOnPage, int groupSize);

// The print properties of a view, with the rules their setters follow, and the items prepared
// for output. Items are held by their serial numbers: one that leaves the view's list meanwhile
// is gone from the print (PrintItem answers nullptr), never a dangling pointer.
class TGraphPrintSettings {
public:
    // The items to print: those of `items` that have data, in order; all items of the view that
    // have data when `items` is empty. PageCount counts the sheets they fill (grouping included);
    // the page range becomes 1..PageCount (1..0 without items: nothing to print).
    void PreparePrint(const TGraphView& view, const std::vector<TGDataItem*>& items = {});

    int PrintCount() const { return int(m_serials.size()); }
    // The i-th prepared item, or nullptr when it has left the list (or i is out of range).
    TGDataItem* PrintItem(int i) const;
    std::vector<TGDataItem*> PrintItems() const;
    // The items of the frame that starts at `start`: up to GroupGraphsOnPrint of them, gone ones
    // left out.
    std::vector<TGDataItem*> PrintGroupAt(int start) const;

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
    // The pictures a view of `view` pixels adds to `sink`: one for every group of print items,
    // each shaped after the frame of the sink's marking it will land in (the sink's waiting
    // pictures fill the frames before them). None without a marking.
    std::vector<TQueueFrame> QueueFrames(const QSize& view, const IPictureSink& sink) const;

private:
    const TGData* m_list = nullptr;
    std::vector<uint64_t> m_serials;
    int m_pageCount = 1, m_firstPage = 1, m_lastPage = 1;
    int m_graphsOnPage = 1;
    int m_groupGraphsOnPrint = 1;
    int m_printCopies = 1;
    TPrintOrientation m_orientation = TPrintOrientation::Portrait;
    int m_paperSize = 9;
};

// Print events of a view (the main window composes its trace page in the after-events).
// Sender.
using TPageMetafileEvent = std::function<void(TGraphView* sender)>;
// Sender, in-out the frame's picture, the first item of the frame, in-out the frame's rectangle
// on the page (device pixels).
using TPrintMetafileEvent = std::function<void(TGraphView* sender, std::unique_ptr<QPicture>& picture,
                                               TGDataItem* graphToPrint, TRect& r)>;
// Sender, in-out the picture, the first item of the frame, the rectangle the picture is meant to
// fill (view pixels: 5/4 of the view wide).
using TPostMetafileEvent = std::function<void(TGraphView* sender, std::unique_ptr<QPicture>& picture,
                                              TGDataItem* graphToPrint, const TRect& r)>;
// The formats of SavePicture: the 16-colour bitmap and the metafile of the system, and the
// document, vector and raster kinds beyond them.
enum TPictureFormat : int { pfBitmap = 1, pfMetafile = 2, pfPdf = 3, pfSvg = 4, pfPng = 5 };
// Writes a picture as a file of any format but the bitmap (the writers of metafiles and the rest
// live above the display layer; the program installs them); raises on failure.
using TPictureWriter = std::function<void(const QPicture& picture, const QString& fileName, int format)>;

// Lets posted notices (a trace's new data, a changed curve) arrive before output, without user
// input: a click on "Закрыть" must not free items while pictures of them are made.
void ProcessPendingOutputEvents();

// The output mode of a view for its lifetime: pending notices are taken in first; the view waits
// with its screen updates, is in black on white (its header's colour swatch off meanwhile) and
// paints for output (Printing()). Leaving — on every path, errors included — restores the swatch
// and the colours (unless the view was monochrome already) and repaints.
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

// The nominal size of a picture (its bounding rectangle).
QSize PictureSize(const QPicture& picture);
// Draws `picture` with its bounding rectangle mapped onto `target` (stretched when the
// proportions differ; FitPictureRect keeps them).
void DrawPictureInto(QPainter& painter, const QPicture& picture, const TRect& target);
// Writes `picture` as a 16-colour bitmap file of the picture's size on white, replacing the file
// atomically (lv::Exception on failure).
void SaveBitmap16(const QPicture& picture, const QString& fileName);

} // namespace lv
