// Data storages and clients: attachment order, notifications, suspension, self-freeing.

#include <gtest/gtest.h>

#include <new>

#include "support/ScriptedPrompts.h"
#include "trace/Errors.h"
#include "trace/uDeviceIntfs.h"
#include "trace/uDeviceIntfsDevice.h"

using namespace lv;

namespace {

int g_destroyed = 0;

class TestStorage : public TIDataStorage {
public:
    using TIDataStorage::TIDataStorage;
    ~TestStorage() override { ++g_destroyed; }
    void setPresent(bool setup, bool data) {
        m_setupPresent = setup;
        m_dataPresent = data;
    }
};

struct RecordingClient : TIDataClient {
    std::vector<TStorageNotifyAction> seen;
    TStorageNotifyAction rewriteTo = snaNone; // changes its own copy of the code when set
    void Notify(TIDataStorage* sender, TStorageNotifyAction& action) override {
        seen.push_back(action);
        TIDataClient::Notify(sender, action);
        if (rewriteTo != snaNone) action = rewriteTo;
    }
};

class FakeDevice : public TIDevice {
public:
    uint32_t RegisterStorage(TIDataStorage*) override { return ++registered; }
    uint32_t UnregisterStorageById(uint32_t id) override {
        unregistered.push_back(id);
        return id;
    }
    using TIDevice::SetHasDeviceData;
    uint32_t registered = 0;
    std::vector<uint32_t> unregistered;
};

} // namespace

TEST(DataStorage, AttachSendsSetupThenDataAndIgnoresASecondAdd) {
    TestStorage s;
    s.SetAutoFree(false);
    s.setPresent(true, true);
    RecordingClient c;
    EXPECT_EQ(s.AddClient(&c), 0);
    EXPECT_EQ(c.seen, (std::vector<TStorageNotifyAction>{snaAttached, snaSetupChanged, snaDataChanged}));
    EXPECT_EQ(c.Storage(), &s);
    EXPECT_TRUE(c.HasData());
    EXPECT_EQ(s.AddClient(&c), 0);
    EXPECT_EQ(c.seen.size(), 3u);
    c.SetStorage(nullptr);
}

TEST(DataStorage, EachClientGetsItsOwnCopyOfTheCode) {
    TestStorage s;
    s.SetAutoFree(false);
    RecordingClient a, b;
    a.SetStorage(&s);
    b.SetStorage(&s);
    a.rewriteTo = snaDetached;
    s.NotifyClients(snaDataChanged);
    EXPECT_EQ(b.seen.back(), snaDataChanged);
    a.rewriteTo = snaNone;
    a.SetStorage(nullptr);
    b.SetStorage(nullptr);
}

TEST(DataStorage, AutoFreeFreesOnceWhenTheLastClientLeaves) {
    g_destroyed = 0;
    auto* s = new TestStorage();
    TComponentRef<TestStorage> ref(s);
    RecordingClient c;
    c.SetStorage(s);
    c.SetStorage(nullptr);
    EXPECT_FALSE(ref);
    EXPECT_EQ(g_destroyed, 1);
    EXPECT_EQ(c.seen.back(), snaDetached);

    TestStorage kept;
    kept.SetAutoFree(false);
    RecordingClient d;
    d.SetStorage(&kept);
    EXPECT_EQ(kept.RemoveClient(&d), 0);
    EXPECT_EQ(kept.ClientCount(), 0);
    EXPECT_EQ(kept.RemoveClient(&d), -1);
    EXPECT_EQ(kept.DeleteClient(-1), -1);
}

TEST(DataStorage, ClientLeavingDuringNotificationIsSafe) {
    // The first client detaches itself and the second one; the storage frees itself once, after
    // the loop, and nobody is told anything after leaving.
    g_destroyed = 0;
    auto* s = new TestStorage();
    TComponentRef<TestStorage> ref(s);
    RecordingClient a, b;
    a.SetStorage(s);
    b.SetStorage(s);
    a.OnNotify = [&](TIDataClient*, TIDataStorage*, TStorageNotifyAction& act) {
        if (act == snaDataChanged) {
            a.OnNotify = nullptr;
            b.SetStorage(nullptr);
            a.SetStorage(nullptr);
        }
    };
    b.seen.clear();
    s->NotifyClients(snaDataChanged);
    EXPECT_FALSE(ref);
    EXPECT_EQ(g_destroyed, 1);
    EXPECT_EQ(b.seen, (std::vector<TStorageNotifyAction>{snaDetached}));
}

TEST(DataStorage, StorageWithoutClientsDoesNotFreeItselfOnChanges) {
    g_destroyed = 0;
    {
        TestStorage s; // AutoFree on, but no client ever left
        s.DataArrived(nullptr);
        s.SetupArrived(nullptr);
    }
    EXPECT_EQ(g_destroyed, 1);
}

TEST(DataStorage, DestructionTellsEveryClient) {
    RecordingClient a, b;
    {
        TestStorage s;
        s.setPresent(true, true);
        a.SetStorage(&s);
        b.SetStorage(&s);
        EXPECT_TRUE(a.HasData());
    }
    for (RecordingClient* c : {&a, &b}) {
        EXPECT_EQ(c->seen.back(), snaDestroying);
        EXPECT_EQ(c->Storage(), nullptr);
        EXPECT_FALSE(c->HasData());
    }
}

TEST(DataStorage, AcceptKinds) {
    struct Row {
        int kind;
        bool setup, data;
    };
    for (Row r : {Row{0, true, true}, Row{1, true, false}, Row{2, false, true}}) {
        TestStorage s;
        s.setPresent(true, true);
        EXPECT_FALSE(s.IsReady());
        s.Accept(r.kind);
        EXPECT_EQ(s.SetupAccepted(), r.setup) << r.kind;
        EXPECT_EQ(s.DataAccepted(), r.data) << r.kind;
        EXPECT_EQ(s.IsReady(), r.setup && r.data);
    }
}

TEST(DataStorage, SuspensionNestsAndRestoresTheActiveState) {
    TestStorage s;
    FakeDevice dev;
    s.SetInputDevice(&dev);
    EXPECT_EQ(s.DeviceHandle(), 1u);
    int fired = 0;
    s.OnDeviceNotify = [&](TIDataStorage*, TIDevice*, TStorageNotifyAction&) { ++fired; };
    s.SetActive(true);
    s.SuspendDevice(false);
    s.SuspendDevice(false);
    EXPECT_FALSE(s.Active());
    s.SetActive(true); // refused while suspended
    EXPECT_FALSE(s.Active());

    TStorageNotifyAction a = snaDataChanged;
    s.DeviceNotify(&dev, a); // inactive: remembered, not handled
    EXPECT_TRUE(s.PendingNotify());
    EXPECT_EQ(fired, 0);

    s.SuspendDevice(true);
    EXPECT_FALSE(s.Active());
    dev.SetHasDeviceData(true);
    s.SuspendDevice(true); // the pending notice pulls the device's data
    EXPECT_TRUE(s.Active());
    EXPECT_EQ(fired, 1);
    s.SuspendDevice(true);
    EXPECT_EQ(s.SuspendCount(), 0);

    // Inactive at the first suspension: stays inactive after the last resume.
    s.SetActive(false);
    s.SuspendDevice(false);
    s.SuspendDevice(true);
    EXPECT_FALSE(s.Active());

    s.SetInputDevice(nullptr);
    EXPECT_EQ(dev.unregistered, (std::vector<uint32_t>{1u}));
    EXPECT_EQ(s.DeviceHandle(), 0u);
}

TEST(DataStorage, ResumeWithoutPendingNoticeActivatesSilently) {
    TestStorage s;
    FakeDevice dev;
    dev.SetHasDeviceData(true);
    s.SetInputDevice(&dev);
    int fired = 0;
    s.OnDeviceNotify = [&](TIDataStorage*, TIDevice*, TStorageNotifyAction&) { ++fired; };
    s.SetActive(true);
    EXPECT_EQ(fired, 1); // switching on takes over what the device holds
    s.SuspendDevice(false);
    s.SuspendDevice(true);
    EXPECT_TRUE(s.Active());
    EXPECT_EQ(fired, 1);
    s.SetInputDevice(nullptr);
}

TEST(DataStorage, OutOfMemoryGetsTheSystemMessage) {
    TestStorage s;
    std::exception_ptr e = std::make_exception_ptr(std::bad_alloc());
    EXPECT_FALSE(s.HandleAllocError(e));
    EXPECT_EQ(ExceptionMessage(e), "Недостаточно памяти для размещения данных");
    // Shown as it is (a window's error box), std::bad_alloc gets the text it lacks.
    EXPECT_EQ(ExceptionMessage(std::make_exception_ptr(std::bad_alloc()), kMsgNotEnoughMemory),
              "Недостаточно памяти для размещения данных");
    std::exception_ptr other = std::make_exception_ptr(EVariantError("x"));
    s.HandleAllocError(other);
    EXPECT_EQ(ExceptionMessage(other), "x");
}

TEST(DataStorage, DataChangedUnlocksAlsoWhenTheEventRaises) {
    struct Counting : TestStorage {
        int unlocks = 0;
        void UnlockData() override { ++unlocks; }
    } s;
    s.OnDataChanged = [](TIDataStorage*, TDataStruct*) { throw EVariantError("boom"); };
    EXPECT_THROW(s.DataChanged(), EVariantError);
    EXPECT_EQ(s.unlocks, 1);
}

TEST(DataStruct, EmptinessCoversAbsentZeroAndAllZeroBlocks) {
    EXPECT_TRUE(IsEmptyData(nullptr));
    EXPECT_TRUE(IsEmptyData(MakeEmptyDataStruct().get()));
    EXPECT_TRUE(IsEmptyData(MakeSampleBlock(4).get()));
    EXPECT_TRUE(IsEmptyData(MakeParamBlock().get()));
    double v[2] = {0.0, 1.5};
    EXPECT_FALSE(IsEmptyData(MakeSampleBlock(v, 2).get()));
    auto p = MakeParamBlock();
    (*p->Params())[7] = TVariant::Null();
    EXPECT_FALSE(IsEmptyData(p.get()));
    EXPECT_EQ(p->Size, 2304);
}

TEST(DataStruct, ASampleBlockBeyondItsSizeFieldIsRefused) {
    // 2^28 samples are 2^31 bytes, one more than Size can tell: refused before anything is allocated.
    const int32_t tooMany = INT32_MAX / kSampleSize + 1;
    try {
        MakeSampleBlock(tooMany);
        FAIL() << "a block of " << tooMany << " samples was made";
    } catch (const EOutOfMemory& e) {
        EXPECT_EQ(e.Message(), "Недостаточно памяти для размещения данных");
    }
    EXPECT_EQ(MakeSampleBlock(3)->Size, 24);
}
