#pragma once
// TkvPadlock: the device layer's critical section. A plain process-local mutex that also meets the
// standard Lockable requirements, so it works with std::unique_lock and condition_variable_any.

#include <mutex>

namespace lv {

class TkvPadlock {
public:
    TkvPadlock() = default;
    TkvPadlock(const TkvPadlock&) = delete;
    TkvPadlock& operator=(const TkvPadlock&) = delete;

    // Enters on true, leaves on false.
    void Lock(bool enter) {
        if (enter)
            m_mutex.lock();
        else
            m_mutex.unlock();
    }

    void lock() { m_mutex.lock(); }
    void unlock() { m_mutex.unlock(); }
    bool try_lock() { return m_mutex.try_lock(); }

private:
    std::mutex m_mutex;
};

} // namespace lv
