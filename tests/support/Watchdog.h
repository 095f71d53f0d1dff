#pragma once
// Hang guards for tests with threads. A deadlock cannot be failed like an assertion: the
// watchdog ends the program with a message naming what hung. Limits are generous; they catch
// hangs, never slowness.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace lvtest {

class Watchdog {
public:
    explicit Watchdog(std::string what, std::chrono::seconds limit = std::chrono::seconds(120))
        : m_what(std::move(what)), m_thread([this, limit] {
              std::unique_lock lock(m_lock);
              if (m_cv.wait_for(lock, limit, [this] { return m_disarmed; })) return;
              std::fprintf(stderr, "Watchdog: \"%s\" hung; the program ends here.\n", m_what.c_str());
              std::fflush(stderr);
              std::abort();
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(m_lock);
            m_disarmed = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::string m_what;
    std::mutex m_lock;
    std::condition_variable m_cv;
    bool m_disarmed = false;
    std::thread m_thread;
};

// Polls `done()` until it holds; false when `limit` ran out first.
template <class Pred> bool Eventually(Pred done, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return done();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

} // namespace lvtest
