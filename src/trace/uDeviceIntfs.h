#pragma once
// Data storages and their clients: a storage holds a data block and a setup block, tells its
// clients (in attachment order) when they are attached, detached, or when a block changed, and
// can follow a measuring device. With AutoFree on, a storage frees itself when its last client
// leaves, so a trace lives exactly as long as something shows it.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "trace/Component.h"
#include "trace/Variant.h"

namespace lv {

constexpr int kParamCount = 144;
constexpr int32_t kParamBlockSize = 2304; // 144 variants of 16 bytes, as the block is sized
constexpr int32_t kSampleSize = 8;        // one 64-bit float level

using TParamBlock = std::vector<TVariant>; // always kParamCount entries

// What a descriptor points at.
enum class TDataKind : uint8_t { Bytes, Samples, Params };

// The data descriptor passed between storages, devices, converters and clients: Size bytes at
// Data. A sample block is Size/8 levels in dB (64-bit floats); a parameter block is the 144
// parameter variants. `Holder` owns or pins the bytes; a descriptor without one borrows them.
struct TDataStruct {
    int32_t Size = 0;
    void* Data = nullptr;
    TDataKind Kind = TDataKind::Bytes;
    std::shared_ptr<const void> Holder;
    // A block made by MakeSampleBlock keeps its levels in an array of the trace store's own kind:
    // a store handed the block takes the array over instead of copying it, so a trace's samples
    // are decoded once and never copied on the way in. Whoever hands a block over does not write
    // into it afterwards. Null for pinned or borrowed samples.
    std::shared_ptr<TVarArray> SampleArray;

    int32_t SampleCount() const { return Size > 0 ? Size / kSampleSize : 0; }
    const double* Samples() const { return Kind == TDataKind::Samples ? static_cast<const double*>(Data) : nullptr; }
    double* MutableSamples() { return Kind == TDataKind::Samples ? static_cast<double*>(Data) : nullptr; }
    TParamBlock* Params() const { return Kind == TDataKind::Params ? static_cast<TParamBlock*>(Data) : nullptr; }
};
using PDataStruct = std::unique_ptr<TDataStruct>;

// A zeroed descriptor (both fields 0).
PDataStruct MakeEmptyDataStruct();
// The same for a storage or a device: a failure goes to `handleAllocError`, which may replace the
// exception; true answers no descriptor, false raises it.
PDataStruct MakeEmptyDataStruct(const std::function<bool(std::exception_ptr&)>& handleAllocError);
// Gives an out-of-memory failure the message "Недостаточно памяти для размещения данных".
void UseNotEnoughMemoryMessage(std::exception_ptr& error);
// A descriptor owning n zeroed samples, to be filled and handed over (see SampleArray). More
// than INT32_MAX / 8 samples raise EOutOfMemory "Недостаточно памяти для размещения данных"
// (their byte count does not fit Size).
PDataStruct MakeSampleBlock(int32_t n);
// The same with the samples left unset, for a decoder that writes every one of them next.
PDataStruct MakeUnfilledSampleBlock(int32_t n);
// A descriptor owning n samples copied from `values`.
PDataStruct MakeSampleBlock(const double* values, int32_t n);
// A descriptor owning a parameter block of 144 empty parameters (Size 2304).
PDataStruct MakeParamBlock();
// Absent, Size not positive, Data absent, or all of its contents zero (every parameter empty).
bool IsEmptyData(const TDataStruct* d);

// What GetBound answers: the abscissa of the first sample, the lowest sample, the abscissa of the
// last sample, the highest sample.
enum TBoundKind : int { bkFirstX = 0, bkMinLevel = 1, bkLastX = 2, bkMaxLevel = 3 };

enum TStorageNotifyAction : uint8_t {
    snaNone = 0,
    snaAttached = 1,
    snaDetached = 2,
    snaDataChanged = 3,
    snaSetupChanged = 4,
    snaDestroying = 5,
};

class TIDataStorage;
class TIDataClient;
class TSampleSummary;
class TSampleSums;

// The measuring device a storage can follow (trace/uDeviceIntfsDevice.h). No concrete device is
// built in.
class TIDevice;

extern const char* const kMsgNotEnoughMemory; // "Недостаточно памяти для размещения данных"

class TIDataStorage : public TComponent {
public:
    using TDeviceNotifyEvent = std::function<void(TIDataStorage* sender, TIDevice* device, TStorageNotifyAction& action)>;
    using TDataEvent = std::function<void(TIDataStorage* sender, TDataStruct* data)>;

    explicit TIDataStorage(TComponent* owner = nullptr);
    ~TIDataStorage() override;
    std::string ClassName() const override { return "TIDataStorage"; }

    virtual void DeviceNotify(TIDevice* device, TStorageNotifyAction& action);
    virtual void DoDeviceNotify(TIDevice* device, TStorageNotifyAction& action);
    virtual void SetActive(bool value);
    virtual void SetInputDevice(TIDevice* value);
    virtual int AddClient(TIDataClient* client);
    virtual int RemoveClient(TIDataClient* client);
    virtual int DeleteClient(int index);
    virtual void NotifyClients(TStorageNotifyAction action);
    virtual PDataStruct MakeDataStruct();
    virtual PDataStruct MakeSetupStruct();
    virtual void SetData(const TDataStruct* data);
    virtual void SetSetup(const TDataStruct* data);
    virtual std::string GetUniqueName() const;
    // Called inside a failing operation with its exception; may replace it. True abandons the
    // operation silently, false makes the caller raise `error`.
    virtual bool HandleAllocError(std::exception_ptr& error);
    virtual double GetBound(int kind); // a TBoundKind
    virtual double GetStep();
    virtual double GetOrigin();
    virtual std::string GetComment();
    virtual void SetComment(const std::string& s);
    virtual int GetLastIndex();
    virtual void SetLastIndex(int value);
    virtual uint8_t GetDisplayMethod();
    virtual void SetDisplayMethod(uint8_t value);
    virtual TVariant GetParam(int index);
    virtual std::string GetFileName();
    virtual bool IsReady() const;
    virtual PDataStruct LockData();
    virtual PDataStruct LockSetup();
    virtual void UnlockData();
    virtual void UnlockSetup();
    virtual void DataArrived(const TDataStruct* data);
    virtual void SetupArrived(const TDataStruct* data);
    virtual void SetupChanged();
    virtual void DataChanged();
    virtual void Accept(int kind);
    virtual void SuspendDevice(bool resume);
    virtual bool LoadFromFile(const std::string& fileName, bool useDialog);
    virtual bool SaveToFile(const std::string& fileName, bool toCurrent);
    // The min/max summary of the samples, shared by every client that draws them; valid until the
    // samples change. A storage that keeps none answers nullptr (the base).
    virtual const TSampleSummary* SampleSummary() { return nullptr; }
    // The running sums of the samples (means, least-squares lines), likewise.
    virtual const TSampleSums* SampleSums() { return nullptr; }

    bool Active() const { return m_active; }
    TIDevice* InputDevice() const { return m_inputDevice; }
    uint32_t DeviceHandle() const { return m_deviceHandle; }
    bool AutoFree() const { return m_autoFree; }
    void SetAutoFree(bool v) { m_autoFree = v; }
    int SuspendCount() const { return m_suspendCount; }
    bool PendingNotify() const { return m_pendingNotify; }
    int BusyCount() const { return m_busyCount; }
    bool DataPresent() const { return m_dataPresent; }
    bool SetupPresent() const { return m_setupPresent; }
    bool DataAccepted() const { return m_dataAccepted; }
    bool SetupAccepted() const { return m_setupAccepted; }
    int ClientCount() const { return static_cast<int>(m_clients.size()); }
    TIDataClient* Client(int index) const { return m_clients.at(static_cast<size_t>(index)); }
    int IndexOfClient(const TIDataClient* client) const;
    // In its destructor: a device no longer tells it anything.
    bool Destroying() const { return m_destroying; }

    TDeviceNotifyEvent OnDeviceNotify;
    TDataEvent OnDataChanged;
    TDataEvent OnSetupChanged;

protected:
    // Raises BusyCount for its lifetime; when the outermost guard ends with AutoFree on and no
    // client left, the storage frees itself. Declare it first in any operation that runs client
    // code and touches the storage afterwards, so that nothing of the storage is used after it.
    class TBusyGuard {
    public:
        explicit TBusyGuard(TIDataStorage* s) : m_s(s) { ++m_s->m_busyCount; }
        ~TBusyGuard();
        TBusyGuard(const TBusyGuard&) = delete;
        TBusyGuard& operator=(const TBusyGuard&) = delete;

    private:
        TIDataStorage* m_s;
    };

    bool m_dataPresent = false;
    bool m_setupPresent = false;
    bool m_dataAccepted = false;
    bool m_setupAccepted = false;

private:
    friend class TIDevice; // writes DeviceHandle when it registers the storage
    std::vector<TIDataClient*> m_clients;
    uint32_t m_deviceHandle = 0;
    bool m_active = false;
    TIDevice* m_inputDevice = nullptr;
    int m_suspendCount = 0;
    bool m_savedActive = false;
    bool m_pendingNotify = false;
    bool m_autoFree = true;
    int m_busyCount = 0;
    bool m_destroying = false;
    bool m_clientLeft = false; // a client left since the outermost guard began
};

class TIDataClient {
public:
    using TNotifyEvent = std::function<void(TIDataClient* sender, TIDataStorage* storage, TStorageNotifyAction& action)>;

    TIDataClient() = default;
    virtual ~TIDataClient();
    TIDataClient(const TIDataClient&) = delete;
    TIDataClient& operator=(const TIDataClient&) = delete;

    virtual void SetStorage(TIDataStorage* newStorage);
    virtual void Notify(TIDataStorage* sender, TStorageNotifyAction& action);
    virtual std::string GetFileName();
    virtual bool LoadFromFile(const std::string& fileName, bool useDialog);
    virtual bool SaveToFile(const std::string& fileName, bool toCurrent);

    TIDataStorage* Storage() const { return m_storage; }
    bool HasData() const { return m_hasData; }
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool v) { m_enabled = v; }

    TNotifyEvent OnNotify;

private:
    friend class TIDataStorage;
    TIDataStorage* m_storage = nullptr;
    bool m_hasData = false;
    bool m_enabled = true;
};

} // namespace lv
