#include "display/uGraphPrint.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

#include "display/uViewCmps.h"
#include "display/uViewCmpsData.h"

namespace lv {

TPageGrid PageGrid(int graphsOnPage, bool landscape) {
    const int n = std::clamp(graphsOnPage, 1, 8);
    int columns = 1;
    if (landscape)
        columns = n <= 2 ? 1 : n <= 6 ? 2 : 3;
    else
        columns = n <= 3 ? 1 : 2;
    return {columns, (n + columns - 1) / columns};
}

TRect PageFrameRect(int frame, const QSize& page, const TPageGrid& grid) {
    const int columns = std::max(grid.Columns, 1), rows = std::max(grid.Rows, 1);
    const int cellWidth = page.width() / columns, cellHeight = page.height() / rows;
    const int column = (frame - 1) / rows, row = (frame - 1) % rows;
    const int left = column * cellWidth, top = row * cellHeight;
    return {left + 2, top + 2, left + cellWidth - 2, top + cellHeight - 2};
}

TRect FitPictureRect(const TRect& frame, const QSize& picture) {
    if (picture.width() <= 0 || picture.height() <= 0) return {};
    const double scale =
        std::min(double(frame.Height()) / picture.height(), double(frame.Width()) / picture.width());
    const int width = int(picture.width() * scale), height = int(picture.height() * scale);
    const int left = (frame.Left + frame.Right - width) / 2, top = (frame.Top + frame.Bottom - height) / 2;
    return {left, top, left + width, top + height};
}

TRect QueuePictureRect(const QSize& view, const TRect& queueFrame) {
    const int width = int(std::lround(view.width() * 5.0 / 4.0));
    int height = view.height();
    if (queueFrame.Width() > 0) {
        const long scaled = std::lround(double(width) * queueFrame.Height() / queueFrame.Width());
        height = std::max(int(scaled), view.height());
    }
    return {0, 0, width, height};
}

int FrameStartIndex(int page, int frame, int framesPerPage, int groupSize) {
    return ((page - 1) * framesPerPage + frame - 1) * groupSize;
}

// --- print properties ---------------------------------------------------------------------------

void TGraphPrintSettings::PreparePrint(const TGraphView& view, const std::vector<TGDataItem*>& items) {
    m_items.clear();
    if (items.empty()) {
        for (int i = 0; i < view.Data().Count(); ++i)
            if (view.Data().Item(i)->Valid()) m_items.push_back(view.Data().Item(i));
    } else {
        for (TGDataItem* item : items)
            if (item && item->Valid()) m_items.push_back(item);
    }
    m_pageCount = (int(m_items.size()) + m_graphsOnPage - 1) / m_graphsOnPage;
    m_firstPage = 1;
    m_lastPage = m_pageCount;
}

void TGraphPrintSettings::SetFirstPage(int v) {
    m_firstPage = v > 0 ? std::min(m_pageCount, v) : 1;
}

void TGraphPrintSettings::SetLastPage(int v) {
    m_lastPage = v < m_firstPage ? m_firstPage : std::min(m_pageCount, v);
}

void TGraphPrintSettings::SetGraphsOnPage(int v) {
    m_graphsOnPage = std::clamp(v, 1, 8);
}

void TGraphPrintSettings::SetGroupGraphsOnPrint(int v) {
    m_groupGraphsOnPrint = std::max(v, 1);
}

void TGraphPrintSettings::SetPrintCopies(int v) {
    m_printCopies = std::max(v, 1);
}

std::vector<TGraphPrintSettings::TQueueFrame>
TGraphPrintSettings::QueueFrames(const QSize& view, const IPictureSink& sink) const {
    std::vector<TQueueFrame> frames;
    const int n = sink.FramesPerPage();
    if (n <= 0) return frames;
    for (int page = m_firstPage; page <= m_lastPage; ++page)
        for (int frame = 1; frame <= n; ++frame) {
            const int start = FrameStartIndex(page, frame, n, m_groupGraphsOnPrint);
            if (start >= int(m_items.size())) return frames;
            frames.push_back({start, QueuePictureRect(view, sink.FrameRect(frame))});
        }
    return frames;
}

// --- output mode --------------------------------------------------------------------------------

TGraphOutputMode::TGraphOutputMode(TGraphView& view)
    : m_view(view), m_wasMonochrome(view.Monochrome()), m_swatch(view.HeaderShowGraphColor()),
      m_wasUpdating(view.updatesEnabled()) {
    // Notices still on their way (a trace's new data, an active curve) are taken in first.
    QCoreApplication::sendPostedEvents();
    view.BeginUpdate();
    if (!m_wasMonochrome) view.SetMonochrome(true);
    view.SetHeaderShowGraphColor(false);
    view.setUpdatesEnabled(false); // the screen keeps its picture meanwhile
    view.SetPrinting(true);
}

TGraphOutputMode::~TGraphOutputMode() {
    m_view.SetHeaderShowGraphColor(m_swatch);
    if (!m_wasMonochrome) m_view.SetMonochrome(false);
    m_view.setUpdatesEnabled(m_wasUpdating);
    m_view.SetPrinting(false);
    m_view.EndUpdate();
}

} // namespace lv
