#pragma once
// An owner thread for tests: the thread that made it. Work posted from other threads waits in a
// queue until the test pumps it, as a window system's event loop would run it.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "trace/OwnerThread.h"

namespace lvtest {

class OwnerThreadQueue : public lv::IOwnerThread {
public:
    OwnerThreadQueue() { m_previous = lv::SetOwnerThread(this); }
    ~OwnerThreadQueue() override { lv::SetOwnerThread(m_previous); }

    bool IsOwnerThread() const override { return std::this_thread::get_id() == m_owner; }
    void Post(lv::TOwnerTask task) override {
        {
            std::lock_guard lock(m_lock);
            m_tasks.push_back(std::move(task));
        }
        m_posted.notify_all();
    }

    size_t Pending() const {
        std::lock_guard lock(m_lock);
        return m_tasks.size();
    }

    // Runs the tasks queued so far (and those they post); answers how many ran.
    int Pump() {
        int ran = 0;
        for (;;) {
            lv::TOwnerTask task;
            {
                std::lock_guard lock(m_lock);
                if (m_tasks.empty()) return ran;
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            if (task) task();
            ++ran;
        }
    }

    // Pumps until `done()` holds; false when `limit` ran out first (a hang, not a speed check).
    template <class Pred>
    bool PumpUntil(Pred done, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            Pump();
            if (done()) return true;
            std::unique_lock lock(m_lock);
            if (m_posted.wait_until(lock, deadline, [this] { return !m_tasks.empty(); })) continue;
            lock.unlock();
            Pump();
            return done();
        }
    }

private:
    const std::thread::id m_owner = std::this_thread::get_id();
    lv::IOwnerThread* m_previous = nullptr;
    mutable std::mutex m_lock;
    std::condition_variable m_posted;
    std::deque<lv::TOwnerTask> m_tasks;
};

} // namespace lvtest
