// The command queue: its worker, waiters, the holding band, batches, refusals, termination, the
// owner thread's bounded wait and the worker's error boxes.

#include <gtest/gtest.h>

#include <set>

#include "devices/DeviceFixtures.h"
#include "support/OwnerThreadQueue.h"
#include "support/ScriptedPrompts.h"
#include "support/Watchdog.h"

using namespace lv;
using lvtest::Eventually;
using lvtest::expectedResult;
using lvtest::FakeDevice;
using lvtest::runCommand;
using lvtest::Watchdog;

namespace {
constexpr auto kLongWait = std::chrono::seconds(60);
}

TEST(DeviceCommands, ConcurrentWaitersEachGetTheirOwnResult) {
    Watchdog dog("1200 queued commands with waiters");
    FakeDevice dev;
    dev.SetConnected(true);
    dev.StopExecuter(false); // paused: everything below is queued before anything runs

    constexpr int kQueued = 1200;
    std::vector<TCommandRef> commands;
    std::set<uint32_t> ids;
    for (int k = 0; k < kQueued; ++k) {
        commands.push_back(runCommand(k));
        ids.insert(dev.QueueCommand(commands.back()));
    }
    ASSERT_EQ(ids.size(), size_t(kQueued));
    ASSERT_EQ(ids.count(0), 0u);

    struct Answer {
        uint32_t id = 0;
        int32_t expected = 0;
        int code = 99;
        int32_t value = -1;
    };
    constexpr int kByIdWaiters = 24, kExecutors = 8;
    std::vector<Answer> answers(kByIdWaiters + kExecutors);
    std::vector<std::thread> threads;
    for (int w = 0; w < kByIdWaiters; ++w) {
        const int k = w * 50 + 7;
        answers[w].id = commands[k]->Id();
        answers[w].expected = expectedResult(k);
        threads.emplace_back([&dev, &a = answers[w]] {
            TCommandRef found;
            TVariant result;
            a.code = dev.WaitCommand(a.id, found, result);
            a.value = result.AsInteger();
        });
    }
    for (int e = 0; e < kExecutors; ++e) {
        Answer& a = answers[kByIdWaiters + e];
        a.expected = expectedResult(10000 + e);
        threads.emplace_back([&dev, &a, e] {
            TVariant result;
            a.code = dev.ExecuteCommand(runCommand(10000 + e), result);
            a.value = result.AsInteger();
        });
    }
    ASSERT_TRUE(Eventually([&] { return dev.Waiters() == kByIdWaiters + kExecutors; }));

    // Producers arriving while the worker drains the held queue wait for room, then for their own
    // commands.
    constexpr int kLate = 4, kLatePer = 25;
    std::vector<int> lateWrong(kLate, 0);
    dev.StartExecuter();
    for (int p = 0; p < kLate; ++p)
        threads.emplace_back([&dev, &wrong = lateWrong[p], p] {
            for (int i = 0; i < kLatePer; ++i) {
                const int32_t argument = 20000 + p * 100 + i;
                TVariant result;
                if (dev.ExecuteCommand(runCommand(argument), result) != crOk ||
                    result.AsInteger() != expectedResult(argument))
                    ++wrong;
            }
        });
    for (std::thread& t : threads)
        t.join();

    for (const Answer& a : answers) {
        EXPECT_EQ(a.code, crOk) << a.id;
        EXPECT_EQ(a.value, a.expected) << a.id;
    }
    EXPECT_EQ(lateWrong, std::vector<int>(kLate, 0));
    for (int k = 0; k < kQueued; ++k) {
        ASSERT_TRUE(commands[k]->Done()) << k;
        EXPECT_EQ(commands[k]->Result().AsInteger(), expectedResult(k)) << k;
    }
    EXPECT_EQ(dev.Ran.load(), kQueued + kExecutors + kLate * kLatePer);
}

TEST(DeviceCommands, ProducersWaitWhileTheQueueIsHeld) {
    Watchdog dog("the holding band");
    FakeDevice dev;
    dev.Permits.Close();
    dev.SetConnected(true);
    dev.StopExecuter(false); // the worker's first pass comes after the whole batch
    dev.SendCommands(std::vector<std::string>(1200, "RUN"));
    dev.StartExecuter();
    // The first pass saw 1200 queued, more than 1100: the queue is held, command 1 runs.
    ASSERT_TRUE(Eventually([&] { return dev.QueuedCount() == 1199; }));
    EXPECT_TRUE(dev.Holding());

    std::atomic<uint32_t> lateId{0};
    std::thread producer([&] { lateId = dev.SendCommand("RUN"); });
    ASSERT_TRUE(Eventually([&] { return dev.ProducersWaiting() == 1; }));

    // Command 201 runs; its pass began with 1000 queued: still held.
    dev.Permits.Let(200);
    ASSERT_TRUE(Eventually([&] { return dev.QueuedCount() == 999; }));
    EXPECT_TRUE(dev.Holding());
    EXPECT_EQ(dev.ProducersWaiting(), 1);
    // Command 202 began with 999: the hold ends when it is done.
    dev.Permits.Let(1);
    ASSERT_TRUE(Eventually([&] { return dev.QueuedCount() == 998; }));
    EXPECT_TRUE(dev.Holding());
    EXPECT_EQ(lateId.load(), 0u);
    dev.Permits.Let(1);
    producer.join();
    EXPECT_FALSE(dev.Holding());
    EXPECT_EQ(lateId.load(), 1201u);
    dev.Permits.Open();
    ASSERT_TRUE(Eventually([&] { return dev.Ran.load() == 1201; }));
}

TEST(DeviceCommands, ABatchWakesTheWorkerOnce) {
    Watchdog dog("a batch");
    FakeDevice dev;
    dev.SetConnected(true);
    const int before = dev.QueueSignals();
    dev.SendCommands({"RUN", "RUN", "RUN", "RUN", "RUN"});
    EXPECT_EQ(dev.QueueSignals(), before + 1);
    EXPECT_EQ(dev.BatchCount(), 0);
    for (int i = 0; i < 3; ++i)
        dev.SendCommand("RUN");
    EXPECT_EQ(dev.QueueSignals(), before + 4);
    ASSERT_TRUE(Eventually([&] { return dev.Ran.load() == 8; }));
}

TEST(DeviceCommands, RefusalsAnswerTheirCodes) {
    Watchdog dog("refusals");
    FakeDevice dev;
    TCommandRef command;
    TVariant result;
    // Disconnected: nothing is queued.
    EXPECT_EQ(dev.ExecuteText("RUN", command, result), crNotConnected);
    EXPECT_EQ(command->ResultCode(), crNotConnected);
    EXPECT_EQ(dev.SendCommand("RUN"), 0u);
    EXPECT_EQ(dev.WaitCommand(1, command, result), crNotConnected);
    EXPECT_EQ(dev.QueuedCount(), 0);

    dev.SetConnected(true);
    dev.StopExecuter(false);
    TCommandRef queued = runCommand(5);
    const uint32_t id = dev.QueueCommand(queued);
    ASSERT_NE(id, 0u);
    // Queued and not done: a second queueing is refused and the pending run keeps its code.
    EXPECT_EQ(dev.QueueCommand(queued), 0u);
    EXPECT_EQ(dev.ExecuteCommand(queued, result), crQueueFailed);
    EXPECT_EQ(queued->ResultCode(), crOk);
    EXPECT_EQ(dev.QueuedCount(), 1);
    EXPECT_EQ(dev.WaitCommand(id + 100, command, result), crNotFound);
    EXPECT_EQ(command, nullptr);

    dev.StartExecuter();
    ASSERT_TRUE(queued->WaitDone(kLongWait));
    EXPECT_EQ(queued->Result().AsInteger(), expectedResult(5));
    // Done and released: its id is gone; queued again it runs again under a new id.
    EXPECT_EQ(dev.WaitCommand(id, command, result), crNotFound);
    EXPECT_EQ(dev.ExecuteCommand(queued, result), crOk);
    EXPECT_GT(queued->Id(), id);
    EXPECT_EQ(result.AsInteger(), expectedResult(5));
}

TEST(DeviceCommands, ARunningCommandStaysFindableAndIdsAreNotReused) {
    Watchdog dog("a running command");
    FakeDevice dev;
    dev.Permits.Close();
    dev.SetConnected(true);
    std::vector<TCommandRef> commands{runCommand(1), runCommand(2), runCommand(3)};
    for (uint32_t i = 0; i < commands.size(); ++i)
        EXPECT_EQ(dev.QueueCommand(commands[i]), i + 1);
    // Command 1 is out of the queue and running.
    ASSERT_TRUE(Eventually([&] { return dev.QueuedCount() == 2; }));

    int code = 99;
    int32_t value = -1;
    std::thread waiter([&] {
        TCommandRef found;
        TVariant result;
        code = dev.WaitCommand(1, found, result);
        value = result.AsInteger();
    });
    ASSERT_TRUE(Eventually([&] { return dev.Waiters() == 1; }));
    dev.Permits.Open();
    waiter.join();
    EXPECT_EQ(code, crOk);
    EXPECT_EQ(value, expectedResult(1));

    ASSERT_TRUE(commands[2]->WaitDone(kLongWait));
    // A late caller still holding id 1 must never find another command under it.
    EXPECT_EQ(dev.SendCommand("RUN"), 4u);
}

TEST(DeviceCommands, StoppingAnswersPendingWaitersWithNoConnection) {
    Watchdog dog("stopping with waiters");
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroyed" : "disconnected");
        auto dev = std::make_unique<FakeDevice>();
        dev->SetConnected(true);
        dev->StopExecuter(false);
        TCommandRef first = runCommand(1);
        const uint32_t id = dev->QueueCommand(first);
        ASSERT_NE(dev->SendCommand("RUN"), 0u);

        std::vector<int> codes(3, 99);
        std::vector<std::thread> threads;
        FakeDevice* d = dev.get();
        threads.emplace_back([d, id, &code = codes[0]] {
            TCommandRef found;
            TVariant result;
            code = d->WaitCommand(id, found, result);
        });
        for (int i = 1; i < 3; ++i)
            threads.emplace_back([d, i, &code = codes[i]] {
                TVariant result;
                code = d->ExecuteCommand(runCommand(i), result);
            });
        ASSERT_TRUE(Eventually([&] { return dev->Waiters() == 3; }));

        if (destroy)
            dev.reset();
        else
            dev->SetConnected(false);
        for (std::thread& t : threads)
            t.join();
        EXPECT_EQ(codes, std::vector<int>(3, crNotConnected));
        EXPECT_TRUE(first->Done());
        EXPECT_EQ(first->ResultCode(), crNotConnected);
        if (destroy) continue;
        EXPECT_EQ(dev->QueuedCount(), 0);
        EXPECT_EQ(dev->Executer(), nullptr);
        EXPECT_EQ(dev->SendCommand("RUN"), 0u);
        EXPECT_EQ(dev->Ran.load(), 0);
    }
}

TEST(DeviceCommands, TheOwnerThreadWaitsWithABound) {
    Watchdog dog("the owner thread's bound");
    lvtest::OwnerThreadQueue owner;
    FakeDevice dev;
    dev.Permits.Close();
    dev.SetConnected(true);
    dev.SetOwnerWaitLimit(std::chrono::milliseconds(20));

    TCommandRef command;
    TVariant result;
    EXPECT_EQ(dev.ExecuteText("RUN", command, result), crWaitFailed);
    EXPECT_FALSE(command->Done());
    TCommandRef found;
    EXPECT_EQ(dev.WaitCommand(command->Id(), found, result), crWaitFailed);
    EXPECT_EQ(found, command);
    EXPECT_EQ(dev.Waiters(), 0);

    // Another thread waits as long as it takes.
    int code = 99;
    std::thread other([&] {
        TVariant r;
        code = dev.ExecuteCommand(runCommand(2), r);
    });
    ASSERT_TRUE(Eventually([&] { return dev.Waiters() == 1; }));
    dev.Permits.Open();
    other.join();
    EXPECT_EQ(code, crOk);
    EXPECT_TRUE(command->Done());
    EXPECT_EQ(command->ResultCode(), crOk);
}

TEST(DeviceCommands, WorkerErrorsAreShownOnTheOwnerThread) {
    Watchdog dog("worker errors");
    lvtest::OwnerThreadQueue owner;
    lvtest::ScriptedPrompts prompts;
    FakeDevice dev;
    dev.SetConnected(true);

    // A failing command and one whose transport raised: the worker goes on after both.
    const std::pair<const char*, int> rows[] = {{"FAIL", 7}, {"THROW", crFailed}};
    for (const auto& [text, code] : rows) {
        auto failing = std::make_shared<TICommand>(text);
        ASSERT_NE(dev.QueueCommand(failing), 0u);
        ASSERT_TRUE(failing->WaitDone(kLongWait));
        EXPECT_EQ(failing->ResultCode(), code);
        // Handed to the owner thread, not shown by the worker.
        EXPECT_TRUE(prompts.Messages.empty());
        ASSERT_EQ(owner.Pending(), 1u);
        owner.Pump();
        ASSERT_EQ(prompts.Messages.size(), 1u);
        EXPECT_EQ(prompts.Messages[0].Text, "Неизвестная аппаратная ошибка");
        EXPECT_EQ(prompts.Messages[0].Type, TMsgDlgType::mtError);
        EXPECT_EQ(prompts.Messages[0].Buttons, TMsgDlgButtons(mbOK));
        prompts.Messages.clear();
    }

    // Not shown: it stays pending.
    dev.Executer()->SetShowErrors(false);
    auto failing = std::make_shared<TICommand>("FAIL");
    ASSERT_NE(dev.QueueCommand(failing), 0u);
    ASSERT_TRUE(failing->WaitDone(kLongWait));
    EXPECT_EQ(owner.Pending(), 0u);
    EXPECT_EQ(dev.Executer()->PendingErrorText(), "Неизвестная аппаратная ошибка");
    EXPECT_EQ(dev.Executer()->PendingErrorType(), TMsgDlgType::mtError);
}
