// The device layer's synchronisation objects: events, the readers-writer gate, the owner thread.

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/Watchdog.h"
#include "trace/Gatekeeper.h"
#include "trace/OwnerThread.h"
#include "trace/Win32Event.h"

using namespace lv;
using lvtest::Eventually;
using lvtest::Watchdog;

TEST(Win32Event, AutomaticResetLetsOneWaiterThrough) {
    struct Row {
        bool initial, manual;
        bool first, second; // WaitFor(0) twice
    };
    const Row rows[] = {
        {false, false, false, false},
        {true, false, true, false},
        {false, true, false, false},
        {true, true, true, true},
    };
    for (const Row& r : rows) {
        TkvWin32Event e(r.initial, r.manual);
        EXPECT_EQ(e.WaitFor(0), r.first) << r.initial << r.manual;
        EXPECT_EQ(e.WaitFor(0), r.second) << r.initial << r.manual;
        e.SetState(true);
        EXPECT_TRUE(e.WaitFor(0));
        EXPECT_EQ(e.IsSet(), r.manual);
        e.SetState(false);
        EXPECT_FALSE(e.WaitFor(1)); // a time-out is not a success
    }

    // Set from another thread, it wakes a waiter without limit.
    Watchdog dog("an event set from another thread");
    TkvWin32Event e(false, false);
    std::thread setter([&] { e.SetState(true); });
    EXPECT_TRUE(e.WaitFor());
    setter.join();
}

TEST(Gatekeeper, AReaderArrivingWhileAWriterWaitsComesAfterIt) {
    Watchdog dog("gate: reader after a waiting writer");
    TkvGatekeeper gate("Gate");
    std::mutex logLock;
    std::vector<std::string> log;
    auto note = [&](const char* s) {
        std::lock_guard lock(logLock);
        log.push_back(s);
    };

    gate.BeginRead();
    std::thread writer([&] {
        gate.BeginWrite();
        note("writer");
        gate.EndWrite();
    });
    ASSERT_TRUE(Eventually([&] { return gate.WaitingWriters() == 1; }));
    std::thread reader([&] {
        gate.BeginRead();
        note("reader");
        gate.EndRead();
    });
    ASSERT_TRUE(Eventually([&] { return gate.WaitingReaders() == 1; }));
    {
        std::lock_guard lock(logLock);
        EXPECT_TRUE(log.empty());
    }
    gate.EndRead();
    writer.join();
    reader.join();
    EXPECT_EQ(log, (std::vector<std::string>{"writer", "reader"}));
}

TEST(Gatekeeper, AWriterLeavingAdmitsEveryWaitingReader) {
    Watchdog dog("gate: readers after a writer");
    TkvGatekeeper gate;
    gate.BeginWrite();
    std::mutex release;
    release.lock(); // the readers hold the gate until the test lets them go
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i)
        readers.emplace_back([&] {
            gate.BeginRead();
            std::lock_guard wait(release);
            gate.EndRead();
        });
    ASSERT_TRUE(Eventually([&] { return gate.WaitingReaders() == 3; }));
    std::thread writer([&] {
        gate.BeginWrite();
        gate.EndWrite();
    });
    ASSERT_TRUE(Eventually([&] { return gate.WaitingWriters() == 1; }));

    gate.EndWrite();
    EXPECT_EQ(gate.ActiveReaders(), 3);
    EXPECT_EQ(gate.WaitingReaders(), 0);
    EXPECT_EQ(gate.ActiveWriters(), 0);
    EXPECT_EQ(gate.WaitingWriters(), 1);
    release.unlock();
    for (std::thread& t : readers)
        t.join();
    writer.join();
    EXPECT_EQ(gate.ActiveReaders() + gate.ActiveWriters() + gate.WaitingWriters(), 0);

    // Without waiting readers the write role passes straight to the next writer.
    gate.BeginWrite();
    std::thread next([&] {
        gate.BeginWrite();
        gate.EndWrite();
    });
    ASSERT_TRUE(Eventually([&] { return gate.WaitingWriters() == 1; }));
    gate.EndWrite();
    EXPECT_EQ(gate.WaitingWriters(), 0);
    next.join();
    EXPECT_EQ(gate.ActiveWriters(), 0);
}

TEST(OwnerThread, WithoutAServiceWorkRunsAtOnce) {
    EXPECT_TRUE(IsOwnerThread());
    int ranHere = 0;
    RunOnOwnerThread([&] { ++ranHere; });
    EXPECT_EQ(ranHere, 1);

    bool otherIsOwner = true;
    std::thread::id ranOn;
    std::thread other([&] {
        otherIsOwner = IsOwnerThread();
        RunOnOwnerThread([&] { ranOn = std::this_thread::get_id(); });
    });
    const std::thread::id otherId = other.get_id();
    other.join();
    EXPECT_FALSE(otherIsOwner);
    EXPECT_EQ(ranOn, otherId);
}
