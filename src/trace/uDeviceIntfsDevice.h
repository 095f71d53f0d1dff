#pragma once
// The device base: a measuring instrument with a connection life cycle, the trace storages it
// feeds, and a queue of text commands that a worker thread sends to the instrument one at a time.
// No concrete instrument is built in; a driver derives from TIDevice (data, setup, parameters)
// and from TICommandExecuter (RunCommand: the transport), and nothing here has to change.
//
// Threads. The device is made, connected, destroyed and asked for data on the owner thread (the
// operator's windows, OwnerThread.h). Commands may be queued, executed and waited for from any
// thread. Whatever the worker or a transport thread reports to the operator or to the storages
// (error boxes, data and setup notices, property changes) is handed to the owner thread, so no
// handler ever runs on the worker. Data and setup are written under the gate's writer side and
// read under its reader side.
//
// Result codes of commands: 0 done; -10 waiting failed (a caller on the owner thread waits at
// most OwnerWaitLimit); -11 no connection (also for commands still queued when the worker
// stops); -12 the command could not be queued (or is already queued and not done); -13 no
// command with that id.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "trace/Component.h"
#include "trace/Gatekeeper.h"
#include "trace/Padlock.h"
#include "trace/PromptService.h"
#include "trace/Variant.h"
#include "trace/Win32Event.h"
#include "trace/uDeviceIntfs.h"

namespace lv {

enum TCommandResultCode : int {
    crOk = 0,
    crFailed = -1, // the transport raised instead of answering a code
    crWaitFailed = -10,
    crNotConnected = -11,
    crQueueFailed = -12,
    crNotFound = -13,
};

extern const char* const kMsgUnknownDeviceError; // "Неизвестная аппаратная ошибка"
extern const char* const kMsgDeviceNotConnected;
extern const char* const kMsgCannotQueueCommand;
extern const char* const kMsgObjectNotFound;

class TIDevice;
class TICommandExecuter;

// One command for the instrument. Shared by whoever holds it (the queue, the caller, waiters); the
// last holder frees it. Its done signal is its own, made with it, and guarded by the same lock as
// its done flag and its results, so a waiter can neither miss the signal nor wake before its
// command ran.
class TICommand {
public:
    explicit TICommand(std::string text = {}, TVariant argument = TVariant(int32_t(0)), int kind = 0);
    TICommand(const TICommand&) = delete;
    TICommand& operator=(const TICommand&) = delete;

    const std::string& Text() const { return m_text; }
    const TVariant& Argument() const { return m_argument; }
    int Kind() const { return m_kind; } // 0 for a command made from a text
    // Given by the device each time the command is queued; 0 before.
    uint32_t Id() const { return m_id.load(std::memory_order_acquire); }

    int ResultCode() const;
    TVariant Result() const;
    bool Done() const;
    // Waits until the command is done, at most `timeout` (none: without limit). True when done.
    bool WaitDone(std::optional<std::chrono::milliseconds> timeout = std::nullopt) const;

private:
    friend class TIDevice;
    friend class TICommandExecuter;
    void restart(uint32_t id);
    void setResultCode(int code);
    void finish(int code, const TVariant* result);

    const std::string m_text;
    const TVariant m_argument;
    const int m_kind;
    std::atomic<uint32_t> m_id{0};
    // In a device's queue (or running) and not yet done; a second queueing is refused.
    std::atomic<bool> m_queued{false};

    mutable std::mutex m_lock;
    mutable std::condition_variable m_doneSignal;
    int m_resultCode = 0;
    TVariant m_result{int32_t(0)};
    bool m_done = false;
};

using TCommandRef = std::shared_ptr<TICommand>;

// The worker: takes the device's commands one at a time and runs them. A pass that finds more
// than kHighWater commands queued holds the queue: producers wait until a pass that began with
// fewer than kLowWater queued is done. Pausing is cooperative (between commands); no thread is
// ever suspended from outside.
class TICommandExecuter {
public:
    static constexpr int kHighWater = 1100;
    static constexpr int kLowWater = kHighWater - 100;

    explicit TICommandExecuter(TIDevice* device);
    virtual ~TICommandExecuter();
    TICommandExecuter(const TICommandExecuter&) = delete;
    TICommandExecuter& operator=(const TICommandExecuter&) = delete;

    TIDevice* Device() const { return m_device; }
    // Errors are shown (on the owner thread) as they happen; off, the last one stays pending.
    bool ShowErrors() const { return m_showErrors.load(); }
    void SetShowErrors(bool value) { m_showErrors = value; }
    std::string PendingErrorText() const;
    TMsgDlgType PendingErrorType() const;
    // Termination was requested: a long RunCommand may look and give up early.
    bool Terminated() const { return m_terminated.load(); }
    bool Paused() const { return m_paused.load(); }
    bool Running() const { return m_thread.joinable(); }

protected:
    // The loop of the worker thread.
    virtual void Execute();
    // Makes the device's text for `code` the pending error and, with ShowErrors on, shows it on
    // the owner thread in an error box with OK.
    virtual void ReportError(int code, const TICommand& command);
    // Sends the command to the instrument and answers its result code; `result` is the answer.
    // Runs on the worker thread.
    virtual int RunCommand(TICommand& command, TVariant& result);

private:
    friend class TIDevice;
    void launch();
    void join();
    void runOne(const TCommandRef& command, int queuedBefore);

    TIDevice* const m_device;
    std::thread m_thread;
    std::atomic<bool> m_showErrors{true};
    std::atomic<bool> m_terminated{false}; // written under the device's queue lock
    std::atomic<bool> m_paused{false};     // written under the device's queue lock
    mutable std::mutex m_errorLock;
    std::string m_pendingError;
    TMsgDlgType m_pendingErrorType = TMsgDlgType::mtError;
};

enum class TConnectionState : int { Idle = 0, Connecting = 1, Disconnecting = 2 };

class TIDevice : public TComponent {
public:
    using TNotifyEvent = std::function<void(TIDevice* sender)>;
    using TInitEvent = std::function<void(TIDevice* sender, bool& completed, bool& initRes)>;
    using TDataEvent = std::function<void(TIDevice* sender, TDataStruct* data)>;
    using TPropChangedEvent = std::function<void(TIDevice* sender, int info)>;

    explicit TIDevice(TComponent* owner = nullptr);
    // Stops and joins the worker before anything else goes. A driver whose executer uses the
    // driver's own members stops it (StopExecuter(true)) in its own destructor.
    ~TIDevice() override;
    std::string ClassName() const override { return "TIDevice"; }

    bool Connected() const { return m_connected.load(); }
    void SetConnected(bool value);
    TConnectionState ConnectionState() const { return m_state.load(); }
    bool HasDeviceData() const { return m_hasDeviceData.load(); }
    bool HasDeviceSetup() const { return m_hasDeviceSetup.load(); }

    virtual void StartExecuter();
    // Terminate: the worker finishes its command and ends; commands still queued are released
    // with -11 and their waiters woken. Otherwise the worker pauses after its command.
    // Not to be called from the worker itself.
    virtual void StopExecuter(bool terminate);
    virtual uint32_t RegisterStorage(TIDataStorage* storage);
    virtual uint32_t UnregisterStorage(TIDataStorage* storage);
    virtual uint32_t UnregisterStorageById(uint32_t id);
    // Every registered storage gets its own copy of `action`; called off the owner thread, the
    // notice is delivered there later.
    virtual void NotifyStorages(TStorageNotifyAction action);
    // A new, not yet started worker for this device.
    virtual std::unique_ptr<TICommandExecuter> CreateExecuter();
    virtual std::string GetEventName() const;
    virtual std::string GetUniqueName() const;
    // Read the instrument's data or setup (called under the gate's writer side).
    virtual void ReceiveData(const TVariant& arg);
    virtual void ReceiveSetup(const TVariant& arg);
    // Describe the device's data and setup (called under the gate's reader side).
    virtual PDataStruct MakeDataStruct();
    virtual PDataStruct MakeSetupStruct();
    virtual bool Initialize(bool& completed);
    virtual bool Deinitialize(bool& completed);
    virtual bool HandleAllocError(std::exception_ptr& error);
    virtual void DoSetupChanged(TDataStruct* data);
    // Fires OnPropertyChanged on the owner thread.
    virtual void DoPropertyChanged(int info);
    // Takes the instrument's data (or setup) under the writer side, then, on the owner thread,
    // fires OnDataChanged (OnSetupChanged) with the block and notifies the storages.
    virtual void DataReceived(const TVariant& arg);
    virtual void SetupReceived(const TVariant& arg);
    virtual PDataStruct LockData();
    virtual PDataStruct LockSetup();
    virtual void UnlockData();
    virtual void UnlockSetup();
    // Both blocks under one read: two reads in a row would wait behind a writer that arrived in
    // between, which itself waits for the first read.
    virtual void LockDataAndSetup(PDataStruct& data, PDataStruct& setup);
    virtual void UnlockDataAndSetup();
    virtual int WaitCommand(uint32_t id, TCommandRef& command, TVariant& result);
    virtual std::string GetErrorText(int code) const;
    // Queues the command and answers its id, or 0 (the reason in its result code).
    virtual uint32_t QueueCommand(const TCommandRef& command);
    virtual uint32_t SendCommand(const std::string& text);
    // Queues every text and wakes the worker once, after the last one.
    virtual void SendCommands(const std::vector<std::string>& texts);
    // Queues the command and waits until it is done; answers its result code.
    virtual int ExecuteCommand(const TCommandRef& command, TVariant& result);
    virtual int ExecuteText(const std::string& text, TCommandRef& command, TVariant& result);
    // One trace parameter from the instrument; the base has none.
    virtual TVariant RequestParam(int index);

    // How long a caller on the owner thread waits for its command before answering -10.
    std::chrono::milliseconds OwnerWaitLimit() const { return m_ownerWaitLimit.load(); }
    void SetOwnerWaitLimit(std::chrono::milliseconds limit) { m_ownerWaitLimit = limit; }

    // What a driver or a caller may need to see of the queue.
    int StorageCount() const;
    int QueuedCount() const;                                   // commands waiting for the worker
    bool Holding() const;                                      // producers are held back
    int ProducersWaiting() const;                              // callers waiting for room in the queue
    int Waiters() const;                                       // callers waiting for a command to be done
    int QueueSignals() const { return m_queueSignals.load(); } // times the worker was woken
    int BatchCount() const { return m_batchCount.load(); }
    TICommandExecuter* Executer() const { return m_executer.get(); }
    TkvGatekeeper& Gate() { return m_gate; }

    TNotifyEvent OnBeforeConnect;
    TNotifyEvent OnAfterConnect;
    TNotifyEvent OnBeforeDisconnect;
    TNotifyEvent OnAfterDisconnect;
    TInitEvent OnInitializeEvent;
    TInitEvent OnDeinitializeEvent;
    TDataEvent OnDataChanged;
    TDataEvent OnSetupChanged;
    TPropChangedEvent OnPropertyChanged;

protected:
    void SetHasDeviceData(bool value) { m_hasDeviceData = value; }
    void SetHasDeviceSetup(bool value) { m_hasDeviceSetup = value; }

private:
    friend class TICommandExecuter;
    using TQueueLock = std::unique_lock<TkvPadlock>;

    // Without a handler the answer is yes; Completed tells that the handler did the work itself.
    bool askInitHandler(const TInitEvent& handler, bool& completed);
    bool acceptsCommands() const;
    // Appends under the queue lock and, for a caller that will wait for it, counts the waiter in
    // the same step; answers 0 on success or the refusal's code.
    int enqueue(const TCommandRef& command, std::optional<std::chrono::steady_clock::time_point> deadline,
                bool willWait);
    // Waits for a command whose waiter is already counted, then counts it out. Touches nothing of
    // the device after that: the device may go as soon as its last waiter has left.
    int waitFor(const TCommandRef& command, std::optional<std::chrono::steady_clock::time_point> deadline,
                TVariant& result);
    void leave(int& counter);
    std::optional<std::chrono::steady_clock::time_point> callerDeadline() const;
    uint32_t nextCommandId();
    void setQueueEvent();
    // Marks the command done and forgets it; under the queue lock.
    void release(const TCommandRef& command, int code, const TVariant* result);
    // Releases with `code` every command that nothing will run any more: the queued ones, last
    // first, then any a worker took and never finished.
    void releaseQueued(int code);
    // Runs `task` on the owner thread: at once there, else later while the device still lives.
    void onOwnerThread(std::function<void(TIDevice&)> task);
    void announceData();
    void announceSetup();
    bool isRegistered(const TIDataStorage* storage) const;
    void notifyStoragesNow(TStorageNotifyAction action);
    void notifyStorage(TIDataStorage* storage, TStorageNotifyAction action);

    std::atomic<bool> m_connected{false};
    std::atomic<TConnectionState> m_state{TConnectionState::Idle};
    std::atomic<bool> m_hasDeviceData{false};
    std::atomic<bool> m_hasDeviceSetup{false};
    std::atomic<std::chrono::milliseconds> m_ownerWaitLimit{std::chrono::milliseconds(10000)};

    mutable std::mutex m_storagesLock;
    std::vector<TIDataStorage*> m_storages;

    // The queue and everything the worker and the producers agree on.
    mutable TkvPadlock m_queueLock;
    std::deque<TCommandRef> m_queue;
    std::unordered_map<uint32_t, TCommandRef> m_pending; // queued or running, by id
    uint32_t m_lastId = 0;
    bool m_holding = false;
    bool m_stopped = false; // the worker has stopped: nothing queued would ever run
    int m_producersWaiting = 0;
    int m_waiters = 0;
    std::condition_variable_any m_room;    // holding ended, or stopped
    std::condition_variable_any m_control; // pause ended, or termination requested
    std::condition_variable_any m_left;    // a waiting caller has left

    TkvWin32Event m_queueEvent{false, false};
    std::atomic<int> m_batchCount{0};
    std::atomic<int> m_queueSignals{0};
    TkvGatekeeper m_gate;
    std::unique_ptr<TICommandExecuter> m_executer;
};

} // namespace lv
