#pragma once
// The owner thread is the thread the operator's windows live on. Work that another thread (the
// device layer's worker) needs done there — an error box, a notice to the trace stores — is
// handed over through this service, which the program installs: the shell a Qt one that queues
// the work onto the GUI thread's event loop, tests one they pump themselves.
//
// Without an installed service the program's main thread is the owner thread and posted work runs
// at once on the posting thread, one task at a time: a program without an event loop has nowhere
// to queue it.

#include <functional>

namespace lv {

using TOwnerTask = std::function<void()>;

class IOwnerThread {
public:
    virtual ~IOwnerThread() = default;
    // True on the owner thread.
    virtual bool IsOwnerThread() const = 0;
    // Runs `task` on the owner thread later, in posting order; never waits for it. Callable from
    // any thread.
    virtual void Post(TOwnerTask task) = 0;
};

// The installed service (the inline default until the program installs its own).
IOwnerThread& OwnerThread();
// Installs `service` (not owned) and answers the previous one; nullptr restores the default.
// Install before any other thread posts, and uninstall only when none can post any more.
IOwnerThread* SetOwnerThread(IOwnerThread* service);

// Runs `task` at once when called on the owner thread, else posts it there.
void RunOnOwnerThread(TOwnerTask task);
bool IsOwnerThread();

} // namespace lv
