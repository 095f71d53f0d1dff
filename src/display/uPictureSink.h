#pragma once
// Where a graph view's pictures go when it prints to the print queue: the queue implements this,
// so that the graph (display) never includes the queue (printing). Frames are numbered from 1, in
// the units of the queue's page marking (millimetres).

#include <memory>

#include "display/GraphMath.h"

class QPicture;

namespace lv {

class IPictureSink {
public:
    virtual ~IPictureSink() = default;
    // A batch of pictures: one change notice for the batch, and a full page is printed only when
    // the outermost batch ends. `flush` false (an error path): the batch ends without printing,
    // the pictures added so far wait in the queue.
    virtual void BeginAdd() = 0;
    virtual void EndAdd(bool flush = true) = 0;
    // Pictures waiting.
    virtual int Count() const = 0;
    // Frames on one page of the current page marking; 0 when there is none.
    virtual int FramesPerPage() const = 0;
    // The place of frame `frame` (1..FramesPerPage()) on the sheet.
    virtual TRect FrameRect(int frame) const = 0;
    // Takes the picture over; `stretched`: it is fitted into its frame.
    virtual void AddPicture(std::unique_ptr<QPicture> picture, bool stretched) = 0;
};

} // namespace lv
