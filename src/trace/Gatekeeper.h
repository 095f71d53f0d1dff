#pragma once
// TkvGatekeeper: a readers-writer gate that prefers writers. Readers share the gate; a writer has
// it alone. A reader that arrives while a writer is active or waiting waits until that writer has
// finished, so a stream of readers cannot starve a writer. When a writer leaves, every reader
// waiting at that moment is admitted at once; otherwise the write role passes straight to a
// waiting writer.
//
// Not reentrant: a thread that already reads and asks to read again waits behind a waiting
// writer, which waits for the first read: take everything needed under one read.

#include <condition_variable>
#include <cstdint>
#include <string>

#include "trace/Padlock.h"

namespace lv {

class TkvGatekeeper {
public:
    explicit TkvGatekeeper(std::string name = {});
    TkvGatekeeper(const TkvGatekeeper&) = delete;
    TkvGatekeeper& operator=(const TkvGatekeeper&) = delete;

    void BeginRead();
    void EndRead();
    void BeginWrite();
    void EndWrite();

    const std::string& Name() const { return m_name; }

    // The counters, read under the gate's lock (for callers that need to see who waits).
    int WaitingReaders();
    int ActiveReaders();
    int WaitingWriters();
    int ActiveWriters();

private:
    int counter(const int& c);

    std::string m_name;
    TkvPadlock m_lock;
    std::condition_variable_any m_readEvent;
    std::condition_variable_any m_writeEvent;
    int m_waitingReaders = 0;
    int m_activeReaders = 0;
    int m_activeWriters = 0;
    int m_waitingWriters = 0;
    // Readers are admitted in groups: a waiting reader waits for the group number it joined to
    // be admitted, so one wake-up reaches every reader of the group and no later one.
    uint64_t m_readerGroup = 0;
    // Write roles handed to waiting writers and not yet taken up.
    int m_writeGrants = 0;
};

// Holds the gate's writer side for a scope.
class TkvWriteGuard {
public:
    explicit TkvWriteGuard(TkvGatekeeper& gate) : m_gate(gate) { m_gate.BeginWrite(); }
    ~TkvWriteGuard() { m_gate.EndWrite(); }
    TkvWriteGuard(const TkvWriteGuard&) = delete;
    TkvWriteGuard& operator=(const TkvWriteGuard&) = delete;

private:
    TkvGatekeeper& m_gate;
};

} // namespace lv
