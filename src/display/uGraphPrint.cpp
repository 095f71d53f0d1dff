#include "display/uGraphPrint.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QPicture>
#include <algorithm>
#include <cmath>

#include "display/uViewCmps.h"
#include "display/uViewCmpsData.h"
#include "formats/FileErrors.h"
#include "formats/SafeFile.h"

namespace lv {

namespace {

const char* const kMsgNoMetafileWriter = "Запись метафайлов недоступна.";

// The sixteen colours of a 16-colour bitmap.
const QList<QRgb> kBitmapColours = {
    0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080, 0xFFC0C0C0,
    0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF,
};

void newPage(IPrinter& printer) {
    if (!printer.NewPage()) throw EPrintError(kMsgPrintFailed);
}

// A sheet played onto the printer's printable area less the offsets on both sides, less one
// pixel, keeping its proportions.
void playSheet(QPainter& painter, const QPicture& sheet, const QSize& area, const QPoint& offset) {
    const QSize size = PictureSize(sheet);
    if (size.isEmpty()) return;
    const double s = std::min(double(area.height() - 2 * offset.y()) / size.height(),
                              double(area.width() - 2 * offset.x()) / size.width());
    const int w = int(size.width() * s), h = int(size.height() * s);
    DrawPictureInto(painter, sheet, TRect{offset.x(), offset.y(), offset.x() + w - 1, offset.y() + h - 1});
}

} // namespace

// --- page arithmetic -----------------------------------------------------------------------------

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

int PrintPageCount(int items, int graphsOnPage, int groupSize) {
    if (items <= 0) return 0;
    const int perPage = std::max(graphsOnPage, 1) * std::max(groupSize, 1);
    return (items + perPage - 1) / perPage;
}

// --- print properties ---------------------------------------------------------------------------

void TGraphPrintSettings::PreparePrint(const TGraphView& view, const std::vector<TGDataItem*>& items) {
    m_list = &view.Data();
    m_serials.clear();
    auto take = [this](const TGDataItem* item) {
        if (item && item->Valid() && m_list->IndexOf(item) >= 0) m_serials.push_back(item->Serial());
    };
    if (items.empty()) {
        for (int i = 0; i < m_list->Count(); ++i)
            take(m_list->Item(i));
    } else {
        for (const TGDataItem* item : items)
            take(item);
    }
    m_pageCount = PrintPageCount(PrintCount(), m_graphsOnPage, m_groupGraphsOnPrint);
    m_firstPage = 1;
    m_lastPage = m_pageCount;
}

TGDataItem* TGraphPrintSettings::PrintItem(int i) const {
    if (!m_list || i < 0 || i >= PrintCount()) return nullptr;
    for (int k = 0; k < m_list->Count(); ++k)
        if (m_list->Item(k)->Serial() == m_serials[size_t(i)]) return m_list->Item(k);
    return nullptr;
}

std::vector<TGDataItem*> TGraphPrintSettings::PrintItems() const {
    std::vector<TGDataItem*> items;
    for (int i = 0; i < PrintCount(); ++i)
        items.push_back(PrintItem(i));
    return items;
}

std::vector<TGDataItem*> TGraphPrintSettings::PrintGroupAt(int start) const {
    std::vector<TGDataItem*> group;
    for (int i = std::max(start, 0); i < std::min(start + m_groupGraphsOnPrint, PrintCount()); ++i)
        if (TGDataItem* item = PrintItem(i)) group.push_back(item);
    return group;
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
    const int waiting = sink.Count();
    for (int start = 0, k = 0; start < PrintCount(); start += m_groupGraphsOnPrint, ++k)
        frames.push_back({start, QueuePictureRect(view, sink.FrameRect((waiting + k) % n + 1))});
    return frames;
}

// --- output mode --------------------------------------------------------------------------------

void ProcessPendingOutputEvents() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

TGraphOutputMode::TGraphOutputMode(TGraphView& view)
    : m_view(view), m_wasMonochrome(view.Monochrome()), m_swatch(view.HeaderShowGraphColor()),
      m_wasUpdating(view.updatesEnabled()) {
    ProcessPendingOutputEvents();
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

// --- pictures -----------------------------------------------------------------------------------

QSize PictureSize(const QPicture& picture) {
    return picture.boundingRect().size();
}

void DrawPictureInto(QPainter& painter, const QPicture& picture, const TRect& target) {
    const QRect source = picture.boundingRect();
    if (source.isEmpty() || target.IsEmpty()) return;
    painter.save();
    painter.translate(target.Left, target.Top);
    painter.scale(double(target.Width()) / source.width(), double(target.Height()) / source.height());
    painter.drawPicture(-source.topLeft(), picture);
    painter.restore();
}

void SaveBitmap16(const QPicture& picture, const QString& fileName) {
    const QSize size = PictureSize(picture);
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    // The picture's text keeps its size only at the resolution it was recorded in.
    const int dotsPerMetre = int(std::lround(PictureResolution() / 0.0254));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        DrawPictureInto(painter, picture, TRect{0, 0, size.width(), size.height()});
    }
    const QImage indexed =
        image.convertToFormat(QImage::Format_Indexed8, kBitmapColours, Qt::ThresholdDither);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!indexed.save(&buffer, "BMP"))
        throw EFileError(FormatS(kMsgCannotSaveFile, fileName.toStdString()), EIO);
    WriteFileReplacing(fileName.toStdString(), std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

// --- the view's outputs -------------------------------------------------------------------------

class TGraphView::TPrintGroupScope {
public:
    TPrintGroupScope(TGraphView& view, const std::vector<TGDataItem*>& group) : m_view(view) {
        view.BeginPrintGroup(group);
    }
    ~TPrintGroupScope() { m_view.EndPrintGroup(); }
    TPrintGroupScope(const TPrintGroupScope&) = delete;
    TPrintGroupScope& operator=(const TPrintGroupScope&) = delete;

private:
    TGraphView& m_view;
};

void TGraphView::BeginPrintGroup(const std::vector<TGDataItem*>& group) {
    m_printGroup = group;
}

void TGraphView::EndPrintGroup() {
    m_printGroup.clear();
}

bool TGraphView::PaintsItem(const TGDataItem* item) const {
    return m_printGroup.empty() ||
           std::find(m_printGroup.begin(), m_printGroup.end(), item) != m_printGroup.end();
}

TGDataItem* TGraphView::ShownActiveItem() const {
    return m_printGroup.empty() ? m_data->ActiveItem() : m_printGroup.front();
}

std::unique_ptr<QPicture> TGraphView::framePicture(const std::vector<TGDataItem*>& group, TRect& r,
                                                   bool forQueue) {
    TGDataItem* first = group.front();
    auto picture = std::make_unique<QPicture>();
    {
        TPrintGroupScope scope(*this, group);
        if (forQueue && OnBeforeCreateQueueMetafile)
            OnBeforeCreateQueueMetafile(this, picture, first, r);
        else if (!forQueue && OnBeforeCreateMetafile)
            OnBeforeCreateMetafile(this, picture, first, r);
        if (!picture) picture = std::make_unique<QPicture>();
        const QRect client = ClientRect();
        QPainter painter(picture.get());
        PaintView(painter, client);
        painter.end();
        picture->setBoundingRect(QRect(QPoint(0, 0), client.size()));
    }
    if (forQueue && OnAfterCreateQueueMetafile)
        OnAfterCreateQueueMetafile(this, picture, first, r);
    else if (!forQueue && OnAfterCreateMetafile)
        OnAfterCreateMetafile(this, picture, first, r);
    return picture;
}

std::unique_ptr<QPicture> TGraphView::buildPage(int page, const TPageGrid& grid, const QSize& size) {
    if (OnBeforeCreatePageMetafile) OnBeforeCreatePageMetafile(this);
    const TGraphPrintSettings& s = m_printSettings;
    auto sheet = std::make_unique<QPicture>();
    {
        QPainter painter(sheet.get());
        for (int k = 1; k <= s.GraphsOnPage(); ++k) {
            const int start = FrameStartIndex(page, k, s.GraphsOnPage(), s.GroupGraphsOnPrint());
            if (start >= s.PrintCount()) break;
            const std::vector<TGDataItem*> group = s.PrintGroupAt(start);
            if (group.empty()) continue;
            TRect r = PageFrameRect(k, size, grid);
            const std::unique_ptr<QPicture> picture = framePicture(group, r, false);
            if (picture) DrawPictureInto(painter, *picture, FitPictureRect(r, PictureSize(*picture)));
        }
    }
    sheet->setBoundingRect(QRect(QPoint(0, 0), size));
    if (OnAfterCreatePageMetafile) OnAfterCreatePageMetafile(this);
    return sheet;
}

void TGraphView::PrintGraphs(IPrinter& printer) {
    const TGraphPrintSettings& s = m_printSettings;
    if (s.PrintCount() == 0 || s.FirstPage() < 1 || s.FirstPage() > s.LastPage()) return;
    ProcessPendingOutputEvents();
    // The printer's settings; what it refuses is left as it is.
    const int copies = s.PrintCopies();
    bool byHand = !printer.SetCopies(copies);
    if (printer.Orientation() != s.PrintOrientation()) printer.SetOrientation(s.PrintOrientation());
    if (printer.PaperSize() != s.PrintPaperSize()) printer.SetPaperSize(s.PrintPaperSize());
    if (!printer.CanCopy()) byHand = true;
    if (byHand && copies > 1) printer.SetCopies(1); // the copies are ours then

    TPrintJob job(printer, QStringLiteral("Lumvaris"));
    {
        TGraphOutputMode mode(*this);
        const QSize area = printer.PageSize();
        const QPoint offset = printer.PrintingOffset();
        const QSize size(area.width() - 2 * offset.x(), area.height() - 2 * offset.y());
        if (size.isEmpty()) throw EPrintError(kMsgPrinterNotReady);
        const bool landscape = printer.CanOrient() && printer.Orientation() == TPrintOrientation::Landscape;
        const TPageGrid grid = PageGrid(s.GraphsOnPage(), landscape);
        for (int page = s.FirstPage(); page <= s.LastPage(); ++page) {
            const std::unique_ptr<QPicture> sheet = buildPage(page, grid, size);
            if (page > s.FirstPage()) newPage(printer);
            for (int copy = 1; byHand && copy < copies; ++copy) {
                playSheet(job.Painter(), *sheet, area, offset);
                newPage(printer);
            }
            playSheet(job.Painter(), *sheet, area, offset);
        }
    }
    job.Finish();
}

void TGraphView::PrintToQueue(IPictureSink& queue) {
    const TGraphPrintSettings& s = m_printSettings;
    if (s.PrintCount() == 0 || queue.FramesPerPage() <= 0) return;
    TGraphOutputMode mode(*this);
    const std::vector<TGraphPrintSettings::TQueueFrame> frames = s.QueueFrames(ClientRect().size(), queue);
    queue.BeginAdd();
    try {
        for (const TGraphPrintSettings::TQueueFrame& f : frames) {
            const std::vector<TGDataItem*> group = s.PrintGroupAt(f.StartIndex);
            if (group.empty()) continue;
            TRect r = f.PictureRect;
            std::unique_ptr<QPicture> picture = framePicture(group, r, true);
            if (picture) queue.AddPicture(std::move(picture), true);
        }
    } catch (...) {
        queue.EndAdd(false);
        throw;
    }
    queue.EndAdd();
}

void TGraphView::SavePicture(const QString& fileName, int format) {
    const TGraphPrintSettings& s = m_printSettings;
    if (s.PrintCount() != 1) return;
    const bool bitmap = format < pfMetafile || format > pfPng;
    if (!bitmap && !m_pictureWriter) throw EPrintError(kMsgNoMetafileWriter);
    TGraphOutputMode mode(*this);
    const std::vector<TGDataItem*> group = s.PrintGroupAt(0);
    if (group.empty()) return;
    const QSize view = ClientRect().size();
    TRect r{0, 0, int(std::lround(view.width() * 5.0 / 4.0)), view.height()};
    const std::unique_ptr<QPicture> picture = framePicture({group.front()}, r, true);
    if (!picture) return;
    if (bitmap)
        SaveBitmap16(*picture, fileName);
    else
        m_pictureWriter(*picture, fileName, format);
}

} // namespace lv
