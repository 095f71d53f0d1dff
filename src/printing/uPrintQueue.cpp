#include "printing/uPrintQueue.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "display/uGraphPrint.h"
#include "printing/PaperCodes.h"
#include "trace/PromptService.h"
#include "trace/ValueHelpers.h"

namespace lv {

const char* const kMsgQueueNotPrinted =
    "В очереди имеются не напечатанные кадры, которые будут потеряны при изменении "
    "разметки страницы. Напечатать эти кадры ?";
const char* const kDefaultMarkingName = "Новый тип разметки";

namespace {

const char* const kMsgFrameIndex = "Индекс кадра вне допустимого диапазона (%d)";
const char* const kMsgMarkingIndex = "Индекс разметки вне допустимого диапазона (%d)";

// An edge set past its partner swaps with it: the partner's old value becomes the edge and the
// new value the partner.
void setLowEdge(int& low, int& high, int v) {
    low = std::min(v, high);
    high = std::max(v, high);
}

void setHighEdge(int& low, int& high, int v) {
    high = std::max(v, low);
    low = std::min(v, low);
}

// Left and right columns of the markings with two columns.
constexpr int kLeftColumn[] = {10, 98};
constexpr int kRightColumn[] = {102, 190};

} // namespace

// --- frames ---------------------------------------------------------------------------------------

void TMarkingFrame::SetLeft(int v) {
    setLowEdge(m_r.Left, m_r.Right, v);
}

void TMarkingFrame::SetTop(int v) {
    setLowEdge(m_r.Top, m_r.Bottom, v);
}

void TMarkingFrame::SetRight(int v) {
    setHighEdge(m_r.Left, m_r.Right, v);
}

void TMarkingFrame::SetBottom(int v) {
    setHighEdge(m_r.Top, m_r.Bottom, v);
}

void TMarkingFrame::SetRect(const TRect& r) {
    m_r = {std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
           std::max(r.Top, r.Bottom)};
}

TFramesCollection& TFramesCollection::operator=(const TFramesCollection& other) {
    if (this == &other) return *this;
    m_frames.clear();
    for (const auto& f : other.m_frames)
        Add().Assign(*f);
    return *this;
}

TMarkingFrame& TFramesCollection::Add() {
    m_frames.push_back(std::unique_ptr<TMarkingFrame>(new TMarkingFrame));
    return *m_frames.back();
}

TMarkingFrame& TFramesCollection::Add(const TRect& r) {
    TMarkingFrame& f = Add();
    f.SetRect(r);
    return f;
}

TMarkingFrame& TFramesCollection::Item(int i) {
    if (i < 0 || i >= Count()) throw EListError(FormatS(kMsgFrameIndex, std::to_string(i)));
    return *m_frames[size_t(i)];
}

const TMarkingFrame& TFramesCollection::Item(int i) const {
    return const_cast<TFramesCollection*>(this)->Item(i);
}

void TFramesCollection::Delete(int i) {
    Item(i);
    m_frames.erase(m_frames.begin() + i);
}

void TMarkingType::SetData(std::unique_ptr<TMarkingData> data) {
    if (data) m_data = std::move(data);
}

// --- the main window's markings ---------------------------------------------------------------------

std::vector<TRect> StandardMarkingFrames(int frames) {
    std::vector<TRect> r;
    if (frames == 1) {
        r.push_back({10, 10, 260, 190});
    } else if (frames >= 2 && frames <= 4) {
        const int a = 270 / frames;
        for (int j = 1; j <= frames; ++j)
            r.push_back({10, (j - 1) * a + 10, 190, (j - 1) * a + 10 + a - 3});
    } else if (frames >= 5 && frames <= 8) {
        // Two columns: the left one holds 3 frames (5, 6) or 4 (7, 8).
        const int perColumn = frames <= 6 ? 3 : 4;
        const int pitch = frames <= 6 ? 90 : 67;
        const int height = pitch - 3;
        for (int j = 0; j < frames; ++j) {
            const int* column = j < perColumn ? kLeftColumn : kRightColumn;
            const int top = 10 + (j % perColumn) * pitch;
            r.push_back({column[0], top, column[1], top + height});
        }
    }
    return r;
}

TPrintOrientation StandardMarkingOrientation(int frames) {
    return frames == 1 ? TPrintOrientation::Landscape : TPrintOrientation::Portrait;
}

// --- the queue --------------------------------------------------------------------------------------

TPrintQueue::~TPrintQueue() {
    // Nobody listens any more while the pictures go.
    OnQueueChanged = nullptr;
}

TMarkingType& TPrintQueue::AddMarking() {
    m_markings.push_back(std::make_unique<TMarkingType>());
    return *m_markings.back();
}

void TPrintQueue::AddStandardMarkings() {
    for (int frames = 1; frames <= 8; ++frames) {
        TMarkingData& d = AddMarking().Data();
        d.Orientation = StandardMarkingOrientation(frames);
        for (const TRect& r : StandardMarkingFrames(frames))
            d.Frames.Add(r);
    }
}

TMarkingType& TPrintQueue::Marking(int i) {
    if (i < 0 || i >= MarkingCount()) throw EListError(FormatS(kMsgMarkingIndex, std::to_string(i)));
    return *m_markings[size_t(i)];
}

int TPrintQueue::MarkingIndex() const {
    if (m_markings.empty()) return -1;
    return std::clamp(m_markingIndex, 0, MarkingCount() - 1);
}

const TMarkingData* TPrintQueue::SelectedMarking() const {
    const int i = MarkingIndex();
    return i < 0 ? nullptr : &m_markings[size_t(i)]->Data();
}

void TPrintQueue::SelectMarking(int index) {
    index = m_markings.empty() ? -1 : std::clamp(index, 0, MarkingCount() - 1);
    if (index == MarkingIndex()) return;
    if (Count() > 0) {
        switch (MessageDlg(kMsgQueueNotPrinted, TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel)) {
        case mrYes:
            PrintAndClear(true);
            break;
        case mrNo:
            PrintAndClear(false);
            break;
        default:
            return;
        }
    }
    m_markingIndex = index;
}

void TPrintQueue::setLimit(int& own, int& other, int v) {
    if (v == 0) {
        // Both off: nothing is printed automatically.
        own = -1;
        other = -std::abs(other);
    } else {
        own = v;
        other = v > 0 ? -std::abs(other) : std::abs(other);
    }
}

// --- pictures ---------------------------------------------------------------------------------------

void TPrintQueue::changed() {
    if (m_batch > 0) {
        m_changedInBatch = true;
        return;
    }
    if (OnQueueChanged) OnQueueChanged(this, Count());
}

void TPrintQueue::endBatch() {
    if (m_batch == 0 || --m_batch > 0 || !m_changedInBatch) return;
    m_changedInBatch = false;
    if (OnQueueChanged) OnQueueChanged(this, Count());
}

void TPrintQueue::BeginAdd() {
    ++m_addNesting;
    beginBatch();
}

void TPrintQueue::EndAdd(bool flush) {
    if (m_addNesting == 0) return;
    --m_addNesting;
    endBatch();
    if (flush && IsFull()) FlushFullPages(true);
}

void TPrintQueue::resetNesting() {
    while (m_addNesting > 0) {
        --m_addNesting;
        endBatch();
    }
}

void TPrintQueue::AddPicture(std::unique_ptr<QPicture> picture, bool stretched) {
    m_pictures.push_back(std::make_unique<TPictureItem>(std::move(picture), stretched));
    changed();
    if (IsFull()) FlushFullPages(true);
}

void TPrintQueue::removeFront(int n) {
    n = std::min(n, Count());
    if (n <= 0) return;
    beginBatch();
    m_pictures.erase(m_pictures.begin(), m_pictures.begin() + n);
    changed();
    endBatch();
}

int TPrintQueue::FramesPerPage() const {
    const TMarkingData* m = SelectedMarking();
    return m ? m->Frames.Count() : 0;
}

TRect TPrintQueue::FrameRect(int frame) const {
    const TMarkingData* m = SelectedMarking();
    if (!m || frame < 1 || frame > m->Frames.Count()) return {};
    return m->Frames.Item(frame - 1).Rect();
}

int TPrintQueue::FullPages() const {
    const int n = FramesPerPage();
    return n > 0 ? Count() / n : 0;
}

bool TPrintQueue::IsFull() const {
    if (m_addNesting > 0) return false;
    if (m_maxFrames > 0) return Count() >= m_maxFrames;
    if (m_maxPages > 0) return FullPages() >= m_maxPages;
    return false;
}

void TPrintQueue::FlushFullPages(bool print) {
    resetNesting();
    const int n = print ? PrintPictures(TPrintLimit::WholePages) : FullPagesPictures();
    removeFront(n);
}

void TPrintQueue::PrintAndClear(bool print) {
    resetNesting();
    removeFront(print ? PrintPictures(TPrintLimit::All) : Count());
}

int TPrintQueue::PrintPictures(TPrintLimit limit) {
    const int toPrint = limit == TPrintLimit::WholePages ? FullPagesPictures() : Count();
    if (toPrint <= 0 || FramesPerPage() <= 0 || Count() == 0) return 0;
    m_print = {};
    m_print.ToPrint = toPrint;
    if (!BeginPrint()) return 0;
    try {
        for (;;) {
            ComposePage();
            OutputPage();
            if (m_print.Printed >= toPrint || m_print.Printed >= Count()) break;
            if (!m_printer->NewPage()) throw EPrintError(kMsgPrintFailed);
        }
        m_print.Job->Finish();
    } catch (...) {
        EndPrint();
        throw;
    }
    const int printed = m_print.Printed;
    EndPrint();
    return printed;
}

// --- printing steps ---------------------------------------------------------------------------------

bool TPrintQueue::BeginPrint() {
    const TMarkingData* m = SelectedMarking();
    QSizeF mm;
    if (!m || !PaperCodeSize(m->PaperSize, mm) || mm.width() <= 0 || mm.height() <= 0) return false;
    if (!m_printer) throw EPrintError(kMsgPrinterNotReady);
    IPrinter& p = *m_printer;
    // The marking's paper and orientation; what the printer had comes back after the job.
    const int paper = p.PaperSize();
    if (paper != m->PaperSize && p.SetPaperSize(m->PaperSize) && paper > 0) m_print.RestorePaper = paper;
    const std::optional<TPrintOrientation> orientation = p.Orientation();
    if (orientation != m->Orientation && p.SetOrientation(m->Orientation))
        m_print.RestoreOrientation = orientation;
    if (p.Orientation() == TPrintOrientation::Landscape) mm.transpose();
    try {
        m_print.Job = std::make_unique<TPrintJob>(p, QStringLiteral("Lumvaris"));
    } catch (...) {
        restorePrinter();
        throw;
    }
    m_print.Printable = p.PageSize();
    m_print.PaperMm = mm;
    m_print.ScaleX = m_print.Printable.width() / mm.width();
    m_print.ScaleY = m_print.Printable.height() / mm.height();
    return true;
}

void TPrintQueue::restorePrinter() {
    if (!m_printer) return;
    if (m_print.RestoreOrientation) m_printer->SetOrientation(*m_print.RestoreOrientation);
    if (m_print.RestorePaper > 0) m_printer->SetPaperSize(m_print.RestorePaper);
    m_print.RestoreOrientation.reset();
    m_print.RestorePaper = 0;
}

void TPrintQueue::EndPrint() {
    // A job not submitted by now is aborted: half a queue never reaches the paper.
    m_print.Job.reset();
    restorePrinter();
    m_print.Canvas.reset();
    m_print.Page.reset();
}

void TPrintQueue::ComposePage() {
    m_print.Canvas.reset();
    m_print.Page = std::make_unique<QPicture>();
    m_print.Canvas = std::make_unique<QPainter>(m_print.Page.get());
    DoBeforeCreatePageMetafile();
    const TMarkingData* m = SelectedMarking();
    for (int i = 0;
         m && i < m->Frames.Count() && m_print.Printed < m_print.ToPrint && m_print.Printed < Count(); ++i) {
        DrawFrame(m_pictures[size_t(m_print.Printed)].get(), i);
        ++m_print.Printed;
    }
    DoAfterCreatePageMetafile();
    m_print.Canvas->end();
    m_print.Canvas.reset();
    m_print.Page->setBoundingRect(QRect(QPoint(0, 0), m_print.Printable));
}

void TPrintQueue::OutputPage() {
    if (!m_print.Page || !m_print.Job) return;
    DrawPictureInto(m_print.Job->Painter(), *m_print.Page,
                    TRect{0, 0, m_print.Printable.width(), m_print.Printable.height()});
}

void TPrintQueue::DrawFrame(const TPictureItem* item, int i) {
    const TMarkingData* m = SelectedMarking();
    if (!item || !item->Picture() || i < 0 || !m || i >= m->Frames.Count() || !m_print.Canvas) return;
    const TRect f = m->Frames.Item(i).Rect();
    const TRect target{int(std::lround(f.Left * m_print.ScaleX)), int(std::lround(f.Top * m_print.ScaleY)),
                       int(std::lround(f.Right * m_print.ScaleX)),
                       int(std::lround(f.Bottom * m_print.ScaleY))};
    const QPicture& picture = *item->Picture();
    const QSize size = PictureSize(picture);
    // A stretched picture keeps its proportions, centred in the frame.
    if (item->Stratched)
        DrawPictureInto(*m_print.Canvas, picture, FitPictureRect(target, size));
    else
        DrawPictureInto(
            *m_print.Canvas, picture,
            TRect{target.Left, target.Top, target.Left + size.width(), target.Top + size.height()});
}

void TPrintQueue::DoBeforeCreatePageMetafile() {
    if (OnBeforeCreatePageMetafile) OnBeforeCreatePageMetafile(this);
}

void TPrintQueue::DoAfterCreatePageMetafile() {
    if (OnAfterCreatePageMetafile) OnAfterCreatePageMetafile(this);
}

} // namespace lv
