// A device and the storages that follow it: registration, notices, handlers that ask the
// device, the store taking the device's blocks, and the connection life cycle.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/DeviceFixtures.h"
#include "trace/uFileFormats.h"
#include "formats/uTRAConvs.h"
#include "support/OwnerThreadQueue.h"
#include "support/Watchdog.h"
#include "trace/uGraphIntfs.h"

using namespace lv;
using lvtest::Eventually;
using lvtest::expectedResult;
using lvtest::FakeDevice;
using lvtest::runCommand;
using lvtest::Watchdog;

namespace {

struct NoticeStorage : TIDataStorage {
    std::vector<TStorageNotifyAction> seen;
    void DeviceNotify(TIDevice* device, TStorageNotifyAction& action) override {
        seen.push_back(action);
        TIDataStorage::DeviceNotify(device, action);
    }
};

using Notices = std::vector<TStorageNotifyAction>;

} // namespace

TEST(DeviceStorages, RegistrationNumbersAndNotices) {
    auto dev = std::make_unique<FakeDevice>();
    NoticeStorage a, b, c;
    a.SetInputDevice(dev.get());
    b.SetInputDevice(dev.get());
    c.SetInputDevice(dev.get());
    EXPECT_EQ(std::vector<uint32_t>({a.DeviceHandle(), b.DeviceHandle(), c.DeviceHandle()}),
              std::vector<uint32_t>({1, 2, 3}));
    EXPECT_EQ(a.seen, Notices{snaAttached}); // disconnected: the attachment alone
    EXPECT_EQ(a.InputDevice(), dev.get());

    b.SetInputDevice(nullptr);
    EXPECT_EQ(b.seen, (Notices{snaAttached, snaDetached}));
    EXPECT_EQ(b.DeviceHandle(), 0u);
    EXPECT_EQ(dev->StorageCount(), 2);
    NoticeStorage d;
    d.SetInputDevice(dev.get());
    EXPECT_EQ(d.DeviceHandle(), 2u); // the smallest number free

    // Connected with a setup and data: the attachment is followed by both, setup first.
    dev->SetHasDeviceSetup(true);
    dev->SetHasDeviceData(true);
    dev->SetConnected(true);
    NoticeStorage e;
    e.SetInputDevice(dev.get());
    EXPECT_EQ(e.DeviceHandle(), 4u);
    EXPECT_EQ(e.seen, (Notices{snaAttached, snaSetupChanged, snaDataChanged}));

    dev.reset();
    for (NoticeStorage* s : {&a, &c, &d, &e}) {
        EXPECT_EQ(s->seen.back(), snaDestroying);
        EXPECT_EQ(s->InputDevice(), nullptr);
        EXPECT_EQ(s->DeviceHandle(), 0u);
    }
    EXPECT_EQ(b.seen.back(), snaDetached);
}

TEST(DeviceStorages, AStorageBeingDestroyedIsNotTold) {
    FakeDevice dev;
    Notices told;
    auto* storage = new TIDataStorage();
    storage->SetInputDevice(&dev);
    storage->SetActive(true);
    storage->OnDeviceNotify = [&](TIDataStorage*, TIDevice*, TStorageNotifyAction& a) { told.push_back(a); };
    delete storage;
    EXPECT_TRUE(told.empty());
    EXPECT_EQ(dev.StorageCount(), 0);
    dev.NotifyStorages(snaDataChanged); // nobody left to tell
    EXPECT_TRUE(told.empty());
}

TEST(DeviceStorages, AHandlerMayCommandTheDevice) {
    Watchdog dog("a storage handler executing a command");
    lvtest::OwnerThreadQueue owner;
    FakeDevice dev;
    dev.SetConnected(true);
    TIDataStorage storage;
    storage.SetInputDevice(&dev);
    storage.SetActive(true);
    std::vector<int> codes;
    std::vector<int32_t> values;
    int storagesSeen = 0;
    storage.OnDeviceNotify = [&](TIDataStorage*, TIDevice* device, TStorageNotifyAction& a) {
        if (a != snaSetupChanged) return;
        storagesSeen = device->StorageCount();
        TVariant result;
        codes.push_back(device->ExecuteCommand(runCommand(4), result));
        values.push_back(result.AsInteger());
    };

    // Told on the owner thread at once.
    dev.NotifyStorages(snaSetupChanged);
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_EQ(storagesSeen, 1);

    // A setup arriving on the worker: the notice comes to the owner thread while the worker goes
    // on, so the command the handler asks for can run.
    ASSERT_NE(dev.SendCommand("SETUP"), 0u);
    ASSERT_TRUE(owner.PumpUntil([&] { return codes.size() == 2; }));
    EXPECT_EQ(codes, std::vector<int>(2, crOk));
    EXPECT_EQ(values, std::vector<int32_t>(2, expectedResult(4)));
    storage.SetInputDevice(nullptr);
}

TEST(DeviceStorages, WithoutAnOwnerThreadServiceTheWorkerTellsTheStorages) {
    Watchdog dog("notices without an owner-thread service");
    FakeDevice dev;
    dev.SetConnected(true);
    TIDataStorage storage;
    storage.SetInputDevice(&dev);
    storage.SetActive(true);
    std::atomic<int> setups{0};
    storage.OnDeviceNotify = [&](TIDataStorage*, TIDevice*, TStorageNotifyAction& a) {
        if (a == snaSetupChanged) ++setups;
    };
    auto setup = std::make_shared<TICommand>("SETUP");
    ASSERT_NE(dev.QueueCommand(setup), 0u);
    ASSERT_TRUE(setup->WaitDone(std::chrono::seconds(60)));
    EXPECT_EQ(setups.load(), 1); // told before the command was done
    storage.SetInputDevice(nullptr);
}

namespace {

// While a store reads its blocks, the instrument's data arrives: the writer waits for the read.
class ArrivingDataDevice : public FakeDevice {
public:
    PDataStruct MakeDataStruct() override {
        if (!m_writerStarted) {
            m_writerStarted = true;
            m_writer = std::thread([this] { DataReceived(TVariant()); });
            WriterWaited = Eventually([this] { return Gate().WaitingWriters() == 1; });
        }
        const std::vector<double> levels{20.0, 19.5, 19.0, 18.5};
        return MakeSampleBlock(levels.data(), int32_t(levels.size()));
    }
    PDataStruct MakeSetupStruct() override {
        PDataStruct params;
        GetFileFormat("TRA")->NewParams(params);
        return params;
    }
    void JoinWriter() { m_writer.join(); }
    bool WriterWaited = false;

private:
    bool m_writerStarted = false;
    std::thread m_writer;
};

} // namespace

TEST(DeviceStorages, AStoreTakesTheDeviceBlocksUnderOneRead) {
    static const bool registered = (RegisterTRAFormat(), true);
    ASSERT_TRUE(registered);
    Watchdog dog("a store reading while the device writes");
    lvtest::OwnerThreadQueue owner;
    ArrivingDataDevice dev;
    dev.SetHasDeviceSetup(true);
    dev.SetHasDeviceData(true);
    dev.SetConnected(true);
    TRDataStorage store;
    store.SetInputDevice(&dev);
    int dataNotices = 0;
    store.OnDataChanged = [&](TIDataStorage*, TDataStruct*) { ++dataNotices; };
    store.SetActive(true); // takes over the device's setup and data
    dev.JoinWriter();
    EXPECT_TRUE(dev.WriterWaited);
    EXPECT_TRUE(store.IsReady());
    EXPECT_EQ(store.Param(prmLAM).AsInteger(), 1310);
    PDataStruct samples = store.LockData();
    EXPECT_EQ(samples->SampleCount(), 4);
    store.UnlockData();
    EXPECT_EQ(dataNotices, 1);

    // The arrival is announced on the owner thread, and the store takes the data again.
    ASSERT_EQ(owner.Pending(), 1u);
    owner.Pump();
    EXPECT_EQ(dataNotices, 2);
    EXPECT_EQ(dev.Gate().ActiveReaders() + dev.Gate().ActiveWriters(), 0);
    store.SetInputDevice(nullptr);
}

TEST(DeviceLife, ConnectingAndDisconnecting) {
    enum Handler { None, Refuses, Completes, Throws };
    struct Row {
        Handler handler;
        bool connects;
        bool worker;
        std::vector<std::string> log;
    };
    const Row rows[] = {
        {None, true, true, {"before connect 1", "after connect 1"}},
        {Refuses, false, false, {"before connect 1", "initialize 1"}},
        {Completes, true, false, {"before connect 1", "initialize 1", "after connect 1"}},
        {Throws, false, false, {"before connect 1", "initialize 1"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.handler);
        FakeDevice dev;
        std::vector<std::string> log;
        auto note = [&](const char* what) {
            return [&log, what](TIDevice* d) {
                log.push_back(std::string(what) + " " + std::to_string(int(d->ConnectionState())));
            };
        };
        dev.OnBeforeConnect = note("before connect");
        dev.OnAfterConnect = note("after connect");
        dev.OnBeforeDisconnect = note("before disconnect");
        dev.OnAfterDisconnect = note("after disconnect");
        if (r.handler != None) {
            auto handler = [&log, h = r.handler](const char* what) {
                return [&log, h, what](TIDevice* d, bool& completed, bool& result) {
                    log.push_back(std::string(what) + " " + std::to_string(int(d->ConnectionState())));
                    if (h == Throws) throw Exception("нет связи");
                    result = h == Completes;
                    completed = h == Completes;
                };
            };
            dev.OnInitializeEvent = handler("initialize");
            dev.OnDeinitializeEvent = handler("deinitialize");
        }
        dev.SetConnected(true);
        EXPECT_EQ(log, r.log);
        EXPECT_EQ(dev.Connected(), r.connects);
        EXPECT_EQ(dev.Executer() != nullptr, r.worker);
        EXPECT_EQ(dev.ConnectionState(), TConnectionState::Idle);
        if (!r.connects) continue;

        log.clear();
        dev.SetConnected(false);
        std::vector<std::string> expected{"before disconnect 2"};
        if (r.handler != None) expected.push_back("deinitialize 2");
        expected.push_back("after disconnect 2");
        EXPECT_EQ(log, expected);
        EXPECT_FALSE(dev.Connected());
        EXPECT_EQ(dev.Executer(), nullptr);
    }

    // Disconnecting a disconnected device still stops a worker started by hand.
    FakeDevice dev;
    dev.StartExecuter();
    ASSERT_NE(dev.Executer(), nullptr);
    EXPECT_TRUE(dev.Executer()->Running());
    dev.SetConnected(false);
    EXPECT_EQ(dev.Executer(), nullptr);
}
