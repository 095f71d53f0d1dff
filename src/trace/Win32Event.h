#pragma once
// TkvWin32Event: a process-local event, set or reset, waking its waiters when set. An
// automatically resetting event lets exactly one waiter through per setting and is reset by that
// waiter; a manually resetting one stays set and lets every waiter through until it is reset.
// Events have no name: two events are never one object.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "trace/Errors.h"

namespace lv {

// An event that cannot be made: "Win32 event error: %d" with the system's error code.
class EWin32EventError : public Exception {
public:
    explicit EWin32EventError(int code);
    int Code() const { return m_code; }

private:
    int m_code;
};

class TkvWin32Event {
public:
    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

    TkvWin32Event(bool initialState, bool manualReset);
    TkvWin32Event(const TkvWin32Event&) = delete;
    TkvWin32Event& operator=(const TkvWin32Event&) = delete;

    // Sets (true) or resets (false) the event.
    void SetState(bool state);
    // Waits until the event is set, at most `milliseconds` (kInfinite: without limit). True when
    // the event was set; false on a time-out. An automatically resetting event is reset by the
    // waiter it lets through.
    bool WaitFor(uint32_t milliseconds = kInfinite);
    bool IsSet() const;
    bool ManualReset() const { return m_manualReset; }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_state;
    const bool m_manualReset;
};

} // namespace lv
