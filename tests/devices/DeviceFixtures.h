#pragma once
// A device for tests. Its worker answers "RUN" commands with 3 × argument + 1 after a short
// sleep, "FAIL" with the code 7, "THROW" by raising, and "SETUP" by taking a setup from the instrument. While the
// permits are closed each command waits for one, so a test can hold the worker at a known command.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "trace/uDeviceIntfsDevice.h"

namespace lvtest {

// Permits for the fake worker: closed, each command takes one; open, none are needed.
class CommandGate {
public:
    void Close() {
        std::lock_guard lock(m_lock);
        m_open = false;
    }
    void Let(int commands) {
        {
            std::lock_guard lock(m_lock);
            m_permits += commands;
        }
        m_cv.notify_all();
    }
    void Open() {
        {
            std::lock_guard lock(m_lock);
            m_open = true;
        }
        m_cv.notify_all();
    }
    void Pass() {
        std::unique_lock lock(m_lock);
        m_cv.wait(lock, [this] { return m_open || m_permits > 0; });
        if (!m_open) --m_permits;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_cv;
    bool m_open = true;
    int m_permits = 0;
};

inline int32_t expectedResult(int32_t argument) {
    return 3 * argument + 1;
}

class FakeDevice;

class FakeExecuter : public lv::TICommandExecuter {
public:
    explicit FakeExecuter(FakeDevice* device);

protected:
    int RunCommand(lv::TICommand& command, lv::TVariant& result) override;

private:
    FakeDevice* m_fake;
};

class FakeDevice : public lv::TIDevice {
public:
    using lv::TIDevice::SetHasDeviceData;
    using lv::TIDevice::SetHasDeviceSetup;

    FakeDevice() = default;
    ~FakeDevice() override {
        Permits.Open();
        StopExecuter(true); // the worker uses this object's members
    }
    std::string ClassName() const override { return "FakeDevice"; }
    std::unique_ptr<lv::TICommandExecuter> CreateExecuter() override {
        return std::make_unique<FakeExecuter>(this);
    }

    CommandGate Permits;
    std::atomic<int> Ran{0};
    std::chrono::microseconds Sleep{20};
};

inline FakeExecuter::FakeExecuter(FakeDevice* device) : lv::TICommandExecuter(device), m_fake(device) {}

inline int FakeExecuter::RunCommand(lv::TICommand& command, lv::TVariant& result) {
    m_fake->Permits.Pass();
    ++m_fake->Ran;
    if (command.Text() == "FAIL") return 7;
    if (command.Text() == "THROW") throw lv::Exception("обрыв связи");
    if (command.Text() == "SETUP") {
        m_fake->SetupReceived(command.Argument());
        return lv::crOk;
    }
    std::this_thread::sleep_for(m_fake->Sleep);
    result = lv::TVariant(expectedResult(command.Argument().AsInteger()));
    return lv::crOk;
}

inline lv::TCommandRef runCommand(int32_t argument) {
    return std::make_shared<lv::TICommand>("RUN", lv::TVariant(argument));
}

} // namespace lvtest
