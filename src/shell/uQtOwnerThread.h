#pragma once
// The owner thread of the windowed program is the GUI thread: work the core hands over from
// another thread (the device layer's worker: its error boxes, its notices to the trace stores) is
// queued onto the GUI thread's event loop and runs there in posting order.

#include "trace/OwnerThread.h"

class QObject;

namespace lv {

class TQtOwnerThread : public IOwnerThread {
public:
    // Work runs in the thread of `context` (the application object when none is given) and is
    // dropped if the context is gone by then.
    explicit TQtOwnerThread(QObject* context = nullptr);
    bool IsOwnerThread() const override;
    void Post(TOwnerTask task) override;

private:
    QObject* m_context;
};

// Installs the GUI thread as the owner thread for the life of the program and answers the service.
TQtOwnerThread& InstallQtOwnerThread();

} // namespace lv
