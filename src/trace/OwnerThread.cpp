#include "trace/OwnerThread.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace lv {

namespace {

class TInlineOwnerThread : public IOwnerThread {
public:
    bool IsOwnerThread() const override { return std::this_thread::get_id() == m_owner; }
    void Post(TOwnerTask task) override {
        std::lock_guard lock(m_running);
        if (task) task();
    }

private:
    const std::thread::id m_owner = std::this_thread::get_id();
    std::recursive_mutex m_running; // a task may post another
};

IOwnerThread& inlineService() {
    static TInlineOwnerThread service;
    return service;
}

// Made while the program loads, on its main thread, which is then the owner thread.
[[maybe_unused]] IOwnerThread& g_loadTimeService = inlineService();

// Read by any thread that posts; written by the owner at start-up and in tests.
std::atomic<IOwnerThread*> g_service{nullptr};

} // namespace

IOwnerThread& OwnerThread() {
    IOwnerThread* s = g_service.load(std::memory_order_acquire);
    return s ? *s : inlineService();
}

IOwnerThread* SetOwnerThread(IOwnerThread* service) {
    return g_service.exchange(service, std::memory_order_acq_rel);
}

void RunOnOwnerThread(TOwnerTask task) {
    IOwnerThread& service = OwnerThread();
    if (service.IsOwnerThread()) {
        if (task) task();
    } else {
        service.Post(std::move(task));
    }
}

bool IsOwnerThread() {
    return OwnerThread().IsOwnerThread();
}

} // namespace lv
