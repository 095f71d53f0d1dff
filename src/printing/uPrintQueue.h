#pragma once
// The print queue: page pictures of traces wait here and are printed several to a sheet after a
// page marking — a named layout with a paper, an orientation and frames in millimetres. The main
// window owns one queue with eight markings for 1 to 8 frames a sheet. Once the waiting pictures
// fill a whole sheet (MaxPagesCount sheets, or MaxFramesCount pictures), that sheet is printed and
// its pictures leave the queue; only pictures actually printed ever leave it that way.

#include <QPicture>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "display/GraphMath.h"
#include "display/uPictureSink.h"
#include "display/uPrinter.h"

class QPainter;

namespace lv {

// "В очереди имеются не напечатанные кадры, которые будут потеряны при изменении разметки
// страницы. Напечатать эти кадры ?"
extern const char* const kMsgQueueNotPrinted;
extern const char* const kDefaultMarkingName; // "Новый тип разметки"

// One frame of a marking, in millimetres from the sheet's top-left corner. It stays normalised:
// an edge set past its partner swaps with it (the partner's old value becomes this edge, the new
// value the partner). Frames are made by their collection only.
class TMarkingFrame {
public:
    int Left() const { return m_r.Left; }
    int Top() const { return m_r.Top; }
    int Right() const { return m_r.Right; }
    int Bottom() const { return m_r.Bottom; }
    void SetLeft(int v);
    void SetTop(int v);
    void SetRight(int v);
    void SetBottom(int v);
    TRect Rect() const { return m_r; }
    // Reversed coordinates are swapped first.
    void SetRect(const TRect& r);
    void Assign(const TMarkingFrame& other) { m_r = other.m_r; }

private:
    friend class TFramesCollection;
    TMarkingFrame() = default;
    TRect m_r{30, 30, 50, 50};
};

// The frames of a marking in order: frame i is the place of the i-th picture of a sheet.
class TFramesCollection {
public:
    TFramesCollection() = default;
    TFramesCollection(const TFramesCollection& other) { *this = other; }
    TFramesCollection& operator=(const TFramesCollection& other);

    // A new frame (30, 30, 50, 50) at the end.
    TMarkingFrame& Add();
    TMarkingFrame& Add(const TRect& r);
    int Count() const { return int(m_frames.size()); }
    // i from 0; EListError out of range.
    TMarkingFrame& Item(int i);
    const TMarkingFrame& Item(int i) const;
    void Delete(int i);
    void Clear() { m_frames.clear(); }

private:
    std::vector<std::unique_ptr<TMarkingFrame>> m_frames;
};

struct TMarkingData {
    QString Name = QString::fromUtf8(kDefaultMarkingName);
    int PaperSize = 9; // a paper code
    TPrintOrientation Orientation = TPrintOrientation::Portrait;
    TFramesCollection Frames;
};

// A marking of the queue; it owns its data.
class TMarkingType {
public:
    TMarkingType() : m_data(std::make_unique<TMarkingData>()) {}
    TMarkingData& Data() { return *m_data; }
    const TMarkingData& Data() const { return *m_data; }
    // Takes `data` over; the previous data go.
    void SetData(std::unique_ptr<TMarkingData> data);

private:
    std::unique_ptr<TMarkingData> m_data;
};

// A waiting picture (owned); `Stratched`: fitted into its frame, else drawn at the frame's corner
// in its own size.
class TPictureItem {
public:
    TPictureItem(std::unique_ptr<QPicture> picture, bool stretched)
        : Stratched(stretched), m_picture(std::move(picture)) {}
    const QPicture* Picture() const { return m_picture.get(); }
    void SetPicture(std::unique_ptr<QPicture> picture) { m_picture = std::move(picture); }
    bool Stratched;

private:
    std::unique_ptr<QPicture> m_picture;
};

// The main window's markings: frames for `frames` (1..8) frames a sheet, in millimetres, and
// their orientation (landscape for one frame). Empty outside 1..8.
std::vector<TRect> StandardMarkingFrames(int frames);
TPrintOrientation StandardMarkingOrientation(int frames);

class TPrintQueue : public IPictureSink {
public:
    using TQueueChangedEvent = std::function<void(TPrintQueue* sender, int count)>;
    using TNotifyEvent = std::function<void(TPrintQueue* sender)>;
    enum class TPrintLimit { WholePages, All };

    TPrintQueue() = default;
    ~TPrintQueue() override;
    TPrintQueue(const TPrintQueue&) = delete;
    TPrintQueue& operator=(const TPrintQueue&) = delete;

    // The printer sheets go to (not owned; none: printing raises EPrintError).
    IPrinter* Printer() const { return m_printer; }
    void SetPrinter(IPrinter* printer) { m_printer = printer; }

    // --- markings
    TMarkingType& AddMarking();
    // The eight markings of StandardMarkingFrames, for 1 to 8 frames, appended in that order.
    void AddStandardMarkings();
    int MarkingCount() const { return int(m_markings.size()); }
    TMarkingType& Marking(int i);
    // The selected marking: the stored index brought into range (above the last: the last;
    // below 0 while there are markings: 0; none: -1).
    int MarkingIndex() const;
    const TMarkingData* SelectedMarking() const;
    // Brings `index` into range; when it differs from the selection and pictures wait, asks
    // kMsgQueueNotPrinted (Yes: print them, No: drop them, Cancel: keep everything and the
    // selection). A print that fails leaves the selection and raises.
    void SelectMarking(int index);

    // --- automatic printing. The two exclude each other: one set positive turns the other
    // negative, one set negative turns the other positive (magnitudes kept); 0 turns both off
    // (stored as -1 and the other's magnitude negative).
    int MaxFramesCount() const { return m_maxFrames; }
    void SetMaxFramesCount(int v) { setLimit(m_maxFrames, m_maxPages, v); }
    int MaxPagesCount() const { return m_maxPages; }
    void SetMaxPagesCount(int v) { setLimit(m_maxPages, m_maxFrames, v); }

    // --- pictures
    int Count() const override { return int(m_pictures.size()); }
    const TPictureItem& Picture(int i) const { return *m_pictures.at(size_t(i)); }
    void BeginAdd() override;
    void EndAdd(bool flush = true) override;
    int AddNesting() const { return m_addNesting; }
    void AddPicture(std::unique_ptr<QPicture> picture, bool stretched) override;
    int FramesPerPage() const override;
    // Frame `frame` (1..FramesPerPage) of the selected marking; (0, 0, 0, 0) without it.
    TRect FrameRect(int frame) const override;
    // Whole sheets waiting, and their pictures.
    int FullPages() const;
    int FullPagesPictures() const { return FullPages() * FramesPerPage(); }
    // Prints the whole sheets (print) or drops them, then resets the add nesting.
    void FlushFullPages(bool print);
    // Prints every waiting picture (print; the last sheet may be partly empty) and removes those
    // printed, or drops them all; then resets the add nesting.
    void PrintAndClear(bool print);
    // Prints up to the limit's pictures from the front; answers the number printed (0 without a
    // marking, frames, pictures or paper). Nothing is removed here. A failure aborts the job and
    // raises.
    int PrintPictures(TPrintLimit limit);

    TQueueChangedEvent OnQueueChanged; // after every change, or once after a batch
    TNotifyEvent OnBeforeCreatePageMetafile;
    TNotifyEvent OnAfterCreatePageMetafile;

protected:
    virtual bool IsFull() const;
    // Paper and orientation of the marking requested (the printer's put back by EndPrint), the
    // job started and the scales taken. False (nothing started) for a paper not in the table.
    virtual bool BeginPrint();
    virtual void EndPrint();
    virtual void ComposePage();
    virtual void OutputPage();
    // Picture `item` into frame i (from 0) of the sheet being composed.
    virtual void DrawFrame(const TPictureItem* item, int i);
    virtual void DoBeforeCreatePageMetafile();
    virtual void DoAfterCreatePageMetafile();

private:
    void setLimit(int& own, int& other, int v);
    void removeFront(int n);
    void resetNesting();
    void beginBatch() { ++m_batch; }
    void endBatch();
    void changed();
    void restorePrinter();

    IPrinter* m_printer = nullptr;
    std::vector<std::unique_ptr<TMarkingType>> m_markings;
    std::vector<std::unique_ptr<TPictureItem>> m_pictures;
    int m_markingIndex = -1;
    int m_maxFrames = -1;
    int m_maxPages = 1;
    int m_addNesting = 0;
    int m_batch = 0;
    bool m_changedInBatch = false;

    // While printing.
    struct TPrintState {
        std::unique_ptr<TPrintJob> Job;
        std::unique_ptr<QPicture> Page;
        std::unique_ptr<QPainter> Canvas;
        QSize Printable; // device pixels
        QSizeF PaperMm;
        double ScaleX = 0, ScaleY = 0; // pixels per millimetre
        std::optional<TPrintOrientation> RestoreOrientation;
        int RestorePaper = 0;
        int Printed = 0;
        int ToPrint = 0;
    };
    TPrintState m_print;
};

} // namespace lv
