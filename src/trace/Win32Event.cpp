#include "trace/Win32Event.h"

#include <string>
#include <system_error>

namespace lv {

EWin32EventError::EWin32EventError(int code)
    : Exception("Win32 event error: " + std::to_string(code)), m_code(code) {}

namespace {
// The condition variable is the only part that can fail to be made.
std::condition_variable makeCondition() {
    try {
        return {};
    } catch (const std::system_error& e) {
        throw EWin32EventError(e.code().value());
    }
}
} // namespace

TkvWin32Event::TkvWin32Event(bool initialState, bool manualReset)
    : m_cv(makeCondition()), m_state(initialState), m_manualReset(manualReset) {}

void TkvWin32Event::SetState(bool state) {
    {
        std::lock_guard lock(m_mutex);
        m_state = state;
    }
    if (!state) return;
    if (m_manualReset)
        m_cv.notify_all();
    else
        m_cv.notify_one();
}

bool TkvWin32Event::WaitFor(uint32_t milliseconds) {
    std::unique_lock lock(m_mutex);
    auto isSet = [this] { return m_state; };
    if (milliseconds == kInfinite)
        m_cv.wait(lock, isSet);
    else if (!m_cv.wait_for(lock, std::chrono::milliseconds(milliseconds), isSet))
        return false;
    if (!m_manualReset) m_state = false;
    return true;
}

bool TkvWin32Event::IsSet() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

} // namespace lv
