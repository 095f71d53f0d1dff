#include "trace/Gatekeeper.h"

#include <mutex>

namespace lv {

TkvGatekeeper::TkvGatekeeper(std::string name) : m_name(std::move(name)) {}

void TkvGatekeeper::BeginRead() {
    std::unique_lock lock(m_lock);
    if (m_activeWriters == 0 && m_waitingWriters == 0) {
        ++m_activeReaders;
        return;
    }
    ++m_waitingReaders;
    const uint64_t group = m_readerGroup;
    // EndWrite counts the reader as active before it wakes.
    m_readEvent.wait(lock, [&] { return m_readerGroup != group; });
}

void TkvGatekeeper::EndRead() {
    std::unique_lock lock(m_lock);
    if (m_activeReaders > 0) --m_activeReaders;
    if (m_activeReaders == 0 && m_waitingWriters > 0) {
        --m_waitingWriters;
        ++m_activeWriters;
        ++m_writeGrants;
        m_writeEvent.notify_all();
    }
}

void TkvGatekeeper::BeginWrite() {
    std::unique_lock lock(m_lock);
    if (m_activeWriters == 0 && m_activeReaders == 0) {
        ++m_activeWriters;
        return;
    }
    ++m_waitingWriters;
    m_writeEvent.wait(lock, [&] { return m_writeGrants > 0; });
    --m_writeGrants;
}

void TkvGatekeeper::EndWrite() {
    std::unique_lock lock(m_lock);
    if (m_activeWriters > 0) --m_activeWriters;
    if (m_waitingReaders > 0) {
        m_activeReaders += m_waitingReaders;
        m_waitingReaders = 0;
        ++m_readerGroup;
        m_readEvent.notify_all();
    } else if (m_waitingWriters > 0) {
        --m_waitingWriters;
        ++m_activeWriters;
        ++m_writeGrants;
        m_writeEvent.notify_all();
    }
}

int TkvGatekeeper::counter(const int& c) {
    std::lock_guard lock(m_lock);
    return c;
}

int TkvGatekeeper::WaitingReaders() {
    return counter(m_waitingReaders);
}
int TkvGatekeeper::ActiveReaders() {
    return counter(m_activeReaders);
}
int TkvGatekeeper::WaitingWriters() {
    return counter(m_waitingWriters);
}
int TkvGatekeeper::ActiveWriters() {
    return counter(m_activeWriters);
}

} // namespace lv
