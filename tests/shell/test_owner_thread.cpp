// The GUI thread as the owner thread: work handed over from other threads runs on the event loop.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <thread>
#include <vector>

#include "shell/uQtOwnerThread.h"
#include "support/ScriptedPrompts.h"
#include "trace/uDeviceIntfsDevice.h"

using namespace lv;

namespace {

struct InstalledOwnerThread {
    TQtOwnerThread service;
    IOwnerThread* previous = SetOwnerThread(&service);
    ~InstalledOwnerThread() { SetOwnerThread(previous); }
};

// Runs the event loop until `done` holds or a generous limit passes (a hang guard, not a timing).
template <class Pred> bool processUntil(Pred done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

struct FailingExecuter : TICommandExecuter {
    using TICommandExecuter::TICommandExecuter;
    int RunCommand(TICommand&, TVariant&) override { return crNotFound; }
};

struct FailingDevice : TIDevice {
    std::unique_ptr<TICommandExecuter> CreateExecuter() override {
        return std::make_unique<FailingExecuter>(this);
    }
};

} // namespace

TEST(QtOwnerThread, WorkFromAnotherThreadRunsOnTheEventLoopInOrder) {
    InstalledOwnerThread owner;
    std::vector<int> order;
    QThread* ranOn = nullptr;
    bool workerIsOwner = true;
    std::thread worker([&] {
        workerIsOwner = IsOwnerThread();
        RunOnOwnerThread([&] {
            order.push_back(1);
            ranOn = QThread::currentThread();
        });
        RunOnOwnerThread([&] { order.push_back(2); });
    });
    worker.join();
    EXPECT_FALSE(workerIsOwner);
    EXPECT_TRUE(order.empty()); // queued, not run by the worker
    ASSERT_TRUE(processUntil([&] { return order.size() == 2; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(ranOn, QCoreApplication::instance()->thread());

    EXPECT_TRUE(IsOwnerThread());
    RunOnOwnerThread([&] { order.push_back(3); }); // on the GUI thread: at once
    EXPECT_EQ(order.size(), 3u);
}

TEST(QtOwnerThread, AWorkerErrorBoxIsShownOnTheGuiThread) {
    InstalledOwnerThread owner;
    lvtest::ScriptedPrompts prompts;
    FailingDevice device;
    device.SetConnected(true);
    auto command = std::make_shared<TICommand>("LAM?");
    ASSERT_NE(device.QueueCommand(command), 0u);
    ASSERT_TRUE(command->WaitDone(std::chrono::seconds(30)));
    EXPECT_TRUE(prompts.Messages.empty());
    ASSERT_TRUE(processUntil([&] { return !prompts.Messages.empty(); }));
    EXPECT_EQ(prompts.Messages[0].Text, "Объект не найден");
    EXPECT_EQ(prompts.Messages[0].Type, TMsgDlgType::mtError);
}
