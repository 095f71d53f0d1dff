#include "trace/uDeviceIntfsDevice.h"

#include <algorithm>

#include "trace/Errors.h"
#include "trace/OwnerThread.h"

namespace lv {

const char* const kMsgUnknownDeviceError = "Неизвестная аппаратная ошибка";
const char* const kMsgDeviceNotConnected =
    "Отсутствует соединение с оборудованием.\r\nВыполнение любых команд невозможно.\r\n"
    "Выполните процедуру подключения и повторите операцию.";
const char* const kMsgCannotQueueCommand =
    "Ошибка при помещении команды в очередь. Возможно не хватает памяти";
const char* const kMsgObjectNotFound = "Объект не найден";

namespace {
using Clock = std::chrono::steady_clock;
using Deadline = std::optional<Clock::time_point>;

// Waits on `cv` until `ready`, or until the deadline when there is one; false on a time-out.
template <class Lock, class Pred>
bool waitUntil(std::condition_variable_any& cv, Lock& lock, const Deadline& deadline, Pred ready) {
    if (!deadline) {
        cv.wait(lock, ready);
        return true;
    }
    return cv.wait_until(lock, *deadline, ready);
}
} // namespace

// ---------------------------------------------------------------------------------------------
// TICommand

TICommand::TICommand(std::string text, TVariant argument, int kind)
    : m_text(std::move(text)), m_argument(std::move(argument)), m_kind(kind) {}

int TICommand::ResultCode() const {
    std::lock_guard lock(m_lock);
    return m_resultCode;
}

TVariant TICommand::Result() const {
    std::lock_guard lock(m_lock);
    return m_result;
}

bool TICommand::Done() const {
    std::lock_guard lock(m_lock);
    return m_done;
}

bool TICommand::WaitDone(std::optional<std::chrono::milliseconds> timeout) const {
    std::unique_lock lock(m_lock);
    if (!timeout) {
        m_doneSignal.wait(lock, [this] { return m_done; });
        return true;
    }
    return m_doneSignal.wait_for(lock, *timeout, [this] { return m_done; });
}

void TICommand::restart(uint32_t id) {
    std::lock_guard lock(m_lock);
    m_done = false;
    m_resultCode = 0;
    m_result = TVariant(int32_t(0));
    m_id.store(id, std::memory_order_release);
}

void TICommand::setResultCode(int code) {
    std::lock_guard lock(m_lock);
    m_resultCode = code;
}

void TICommand::finish(int code, const TVariant* result) {
    {
        std::lock_guard lock(m_lock);
        m_resultCode = code;
        if (result) m_result = *result;
        m_done = true;
    }
    m_doneSignal.notify_all();
}

// ---------------------------------------------------------------------------------------------
// TICommandExecuter

TICommandExecuter::TICommandExecuter(TIDevice* device) : m_device(device) {}

TICommandExecuter::~TICommandExecuter() {
    // The device joins its worker before freeing it; this only guards an executer that was
    // started and dropped by someone else.
    if (m_thread.joinable()) m_thread.join();
}

std::string TICommandExecuter::PendingErrorText() const {
    std::lock_guard lock(m_errorLock);
    return m_pendingError;
}

TMsgDlgType TICommandExecuter::PendingErrorType() const {
    std::lock_guard lock(m_errorLock);
    return m_pendingErrorType;
}

void TICommandExecuter::launch() {
    m_thread = std::thread([this] {
        try {
            Execute();
        } catch (...) {
            // A worker that died must not leave its callers waiting: what is queued is released
            // below, and the queue refuses new commands until the worker is started again.
        }
        TIDevice::TQueueLock lock(m_device->m_queueLock);
        m_device->m_stopped = true;
        m_device->m_holding = false;
        m_device->m_room.notify_all();
        lock.unlock();
        m_device->releaseQueued(crNotConnected);
    });
}

void TICommandExecuter::join() {
    if (m_thread.joinable()) m_thread.join();
}

void TICommandExecuter::Execute() {
    TIDevice& d = *m_device;
    for (;;) {
        TCommandRef command;
        int queued = 0;
        {
            TIDevice::TQueueLock lock(d.m_queueLock);
            d.m_control.wait(lock, [this] { return m_terminated.load() || !m_paused.load(); });
            if (m_terminated) return;
            // Counted afresh on every pass, also while holding: the hold ends by this count.
            queued = static_cast<int>(d.m_queue.size());
            if (queued == 0) {
                lock.unlock();
                d.m_queueEvent.WaitFor();
                continue;
            }
            if (!d.m_holding) d.m_holding = queued > kHighWater;
            command = std::move(d.m_queue.front());
            d.m_queue.pop_front();
        }
        runOne(command, queued);
    }
}

void TICommandExecuter::runOne(const TCommandRef& command, int queuedBefore) {
    int code = crOk;
    TVariant result(int32_t(0));
    if (!command->Text().empty()) {
        try {
            code = RunCommand(*command, result);
        } catch (...) {
            code = crFailed;
        }
        // Whatever happens in the report, the command's waiters must be answered.
        try {
            if (code != crOk) ReportError(code, *command);
        } catch (...) {
        }
    }
    TIDevice& d = *m_device;
    TIDevice::TQueueLock lock(d.m_queueLock);
    d.release(command, code, &result);
    if (d.m_holding && queuedBefore < kLowWater) {
        d.m_holding = false;
        d.m_room.notify_all();
    }
}

void TICommandExecuter::ReportError(int code, const TICommand&) {
    std::string text = m_device->GetErrorText(code);
    {
        std::lock_guard lock(m_errorLock);
        m_pendingError = text;
        m_pendingErrorType = TMsgDlgType::mtError;
        if (!m_showErrors) return;
        m_pendingError.clear();
    }
    // The worker never opens a window: the box is the owner thread's, and the worker goes on.
    RunOnOwnerThread([text] {
        try {
            MessageDlg(text, TMsgDlgType::mtError, mbOK);
        } catch (...) {
        }
    });
}

int TICommandExecuter::RunCommand(TICommand&, TVariant& result) {
    result = TVariant(int32_t(0));
    return crOk;
}

// ---------------------------------------------------------------------------------------------
// TIDevice: life cycle

TIDevice::TIDevice(TComponent* owner) : TComponent(owner), m_gate(GetUniqueName()) {}

TIDevice::~TIDevice() {
    StopExecuter(true);
    {
        // Everything queued or running is done now; callers still inside a wait leave at once.
        TQueueLock lock(m_queueLock);
        m_left.wait(lock, [this] { return m_waiters == 0 && m_producersWaiting == 0; });
    }
    try {
        SetConnected(false);
    } catch (...) {
    }
    // One at a time: a storage's handler may free another registered storage, which then leaves
    // the list by itself.
    for (;;) {
        TIDataStorage* storage = nullptr;
        {
            std::lock_guard lock(m_storagesLock);
            if (m_storages.empty()) break;
            storage = m_storages.front();
            m_storages.erase(m_storages.begin());
        }
        notifyStorage(storage, snaDestroying);
    }
}

void TIDevice::SetConnected(bool value) {
    if (!value && !m_connected) {
        StopExecuter(true);
        return;
    }
    if (value == m_connected) return;
    struct TBackToIdle {
        std::atomic<TConnectionState>& state;
        ~TBackToIdle() { state = TConnectionState::Idle; }
    } idle{m_state};
    bool completed = false;
    if (value) {
        m_state = TConnectionState::Connecting;
        {
            TQueueLock lock(m_queueLock);
            m_stopped = false;
        }
        if (OnBeforeConnect) OnBeforeConnect(this);
        if (!Initialize(completed)) return;
        if (OnAfterConnect) OnAfterConnect(this);
        m_connected = true;
    } else {
        m_state = TConnectionState::Disconnecting;
        if (OnBeforeDisconnect) OnBeforeDisconnect(this);
        if (!Deinitialize(completed)) return;
        if (OnAfterDisconnect) OnAfterDisconnect(this);
        m_connected = false;
    }
}

bool TIDevice::askInitHandler(const TInitEvent& handler, bool& completed) {
    completed = false;
    bool result = true;
    if (handler) {
        result = false;
        handler(this, completed, result);
    }
    return result;
}

bool TIDevice::Initialize(bool& completed) {
    try {
        if (!askInitHandler(OnInitializeEvent, completed)) return false;
        if (!completed) StartExecuter();
        return true;
    } catch (...) {
        return false;
    }
}

bool TIDevice::Deinitialize(bool& completed) {
    try {
        if (!askInitHandler(OnDeinitializeEvent, completed)) return false;
        if (!completed) StopExecuter(true);
        return true;
    } catch (...) {
        return false;
    }
}

std::unique_ptr<TICommandExecuter> TIDevice::CreateExecuter() {
    return std::make_unique<TICommandExecuter>(this);
}

void TIDevice::StartExecuter() {
    if (m_executer) {
        TQueueLock lock(m_queueLock);
        if (m_executer->m_paused) {
            m_executer->m_paused = false;
            m_control.notify_all();
        }
        return;
    }
    std::unique_ptr<TICommandExecuter> executer = CreateExecuter();
    {
        TQueueLock lock(m_queueLock);
        m_stopped = false;
    }
    m_executer = std::move(executer);
    m_executer->launch();
}

void TIDevice::StopExecuter(bool terminate) {
    if (!terminate) {
        if (!m_executer) return;
        TQueueLock lock(m_queueLock);
        m_executer->m_paused = true;
        return;
    }
    {
        TQueueLock lock(m_queueLock);
        m_stopped = true;
        m_holding = false;
        if (m_executer) {
            m_executer->m_terminated = true;
            m_executer->m_paused = false;
        }
        m_control.notify_all();
        m_room.notify_all();
    }
    if (m_executer) {
        m_queueEvent.SetState(true);
        m_executer->join();
        m_executer.reset();
    }
    // Also without a worker: nothing would ever run what is still queued.
    releaseQueued(crNotConnected);
}

// ---------------------------------------------------------------------------------------------
// TIDevice: storages

bool TIDevice::isRegistered(const TIDataStorage* storage) const {
    std::lock_guard lock(m_storagesLock);
    return std::find(m_storages.begin(), m_storages.end(), storage) != m_storages.end();
}

void TIDevice::notifyStorage(TIDataStorage* storage, TStorageNotifyAction action) {
    // A storage in its destructor has lost its derived parts and its handlers must not run.
    if (!storage || storage->Destroying()) return;
    TStorageNotifyAction own = action;
    storage->DeviceNotify(this, own);
}

uint32_t TIDevice::RegisterStorage(TIDataStorage* storage) {
    if (!storage) return 0;
    uint32_t id = 0;
    try {
        std::lock_guard lock(m_storagesLock);
        if (std::find(m_storages.begin(), m_storages.end(), storage) != m_storages.end())
            return storage->DeviceHandle();
        // The smallest number no registered storage has.
        std::vector<uint32_t> used;
        used.reserve(m_storages.size());
        for (const TIDataStorage* s : m_storages)
            used.push_back(s->DeviceHandle());
        std::sort(used.begin(), used.end());
        id = 1;
        for (uint32_t u : used) {
            if (u == id)
                ++id;
            else if (u > id)
                break;
        }
        m_storages.push_back(storage);
        storage->m_deviceHandle = id;
    } catch (...) {
        return 0;
    }
    notifyStorage(storage, snaAttached);
    if (Connected()) {
        if (HasDeviceSetup() && isRegistered(storage)) notifyStorage(storage, snaSetupChanged);
        if (HasDeviceData() && isRegistered(storage)) notifyStorage(storage, snaDataChanged);
    }
    return id;
}

uint32_t TIDevice::UnregisterStorage(TIDataStorage* storage) {
    return storage ? UnregisterStorageById(storage->DeviceHandle()) : 0;
}

uint32_t TIDevice::UnregisterStorageById(uint32_t id) {
    if (id == 0) return 0;
    TIDataStorage* removed = nullptr;
    {
        std::lock_guard lock(m_storagesLock);
        auto it = std::find_if(m_storages.begin(), m_storages.end(),
                               [id](const TIDataStorage* s) { return s->DeviceHandle() == id; });
        if (it == m_storages.end()) return 0;
        removed = *it;
        m_storages.erase(it);
    }
    notifyStorage(removed, snaDetached);
    return id;
}

void TIDevice::NotifyStorages(TStorageNotifyAction action) {
    // Not NotifyStorages again: without an installed service the task runs on this same thread.
    onOwnerThread([action](TIDevice& d) { d.notifyStoragesNow(action); });
}

void TIDevice::notifyStoragesNow(TStorageNotifyAction action) {
    // Told outside the lock: a storage's handler may ask the device anything, register or
    // unregister storages included.
    std::vector<TIDataStorage*> storages;
    {
        std::lock_guard lock(m_storagesLock);
        storages = m_storages;
    }
    for (TIDataStorage* s : storages)
        if (isRegistered(s)) notifyStorage(s, action);
}

int TIDevice::StorageCount() const {
    std::lock_guard lock(m_storagesLock);
    return static_cast<int>(m_storages.size());
}

// ---------------------------------------------------------------------------------------------
// TIDevice: data and setup

void TIDevice::onOwnerThread(std::function<void(TIDevice&)> task) {
    if (IsOwnerThread()) {
        task(*this);
        return;
    }
    TComponentRef<TIDevice> alive(this);
    OwnerThread().Post([alive, task = std::move(task)] {
        TIDevice* d = alive.get();
        if (!d) return;
        try {
            task(*d);
        } catch (...) {
            // Nobody is left to catch it: the operator sees it.
            try {
                MessageDlg(ExceptionMessage(std::current_exception(), kMsgNotEnoughMemory),
                           TMsgDlgType::mtError, mbOK);
            } catch (...) {
            }
        }
    });
}

std::string TIDevice::GetUniqueName() const {
    return ClassName();
}
std::string TIDevice::GetEventName() const {
    return "ObjectOf" + GetUniqueName();
}

void TIDevice::ReceiveData(const TVariant&) {}
void TIDevice::ReceiveSetup(const TVariant&) {}

PDataStruct TIDevice::MakeDataStruct() {
    return MakeEmptyDataStruct([this](std::exception_ptr& e) { return HandleAllocError(e); });
}

PDataStruct TIDevice::MakeSetupStruct() {
    return TIDevice::MakeDataStruct();
}

bool TIDevice::HandleAllocError(std::exception_ptr& error) {
    UseNotEnoughMemoryMessage(error);
    return false;
}

void TIDevice::DoSetupChanged(TDataStruct* data) {
    if (OnSetupChanged) OnSetupChanged(this, data);
}

void TIDevice::DoPropertyChanged(int info) {
    onOwnerThread([info](TIDevice& d) {
        if (d.OnPropertyChanged) d.OnPropertyChanged(&d, info);
    });
}

void TIDevice::DataReceived(const TVariant& arg) {
    {
        TkvWriteGuard write(m_gate);
        ReceiveData(arg);
    }
    onOwnerThread([](TIDevice& d) { d.announceData(); });
}

void TIDevice::SetupReceived(const TVariant& arg) {
    {
        TkvWriteGuard write(m_gate);
        ReceiveSetup(arg);
    }
    onOwnerThread([](TIDevice& d) { d.announceSetup(); });
}

void TIDevice::announceData() {
    PDataStruct p = LockData();
    try {
        if (OnDataChanged) OnDataChanged(this, p.get());
    } catch (...) {
        UnlockData();
        throw;
    }
    UnlockData();
    NotifyStorages(snaDataChanged);
}

void TIDevice::announceSetup() {
    PDataStruct p = LockSetup();
    try {
        DoSetupChanged(p.get());
    } catch (...) {
        UnlockSetup();
        throw;
    }
    UnlockSetup();
    NotifyStorages(snaSetupChanged);
}

PDataStruct TIDevice::LockData() {
    m_gate.BeginRead();
    try {
        return MakeDataStruct();
    } catch (...) {
        m_gate.EndRead();
        throw;
    }
}

PDataStruct TIDevice::LockSetup() {
    m_gate.BeginRead();
    try {
        return MakeSetupStruct();
    } catch (...) {
        m_gate.EndRead();
        throw;
    }
}

void TIDevice::UnlockData() {
    m_gate.EndRead();
}
void TIDevice::UnlockSetup() {
    m_gate.EndRead();
}

void TIDevice::LockDataAndSetup(PDataStruct& data, PDataStruct& setup) {
    m_gate.BeginRead();
    try {
        data = MakeDataStruct();
        setup = MakeSetupStruct();
    } catch (...) {
        m_gate.EndRead();
        throw;
    }
}

void TIDevice::UnlockDataAndSetup() {
    m_gate.EndRead();
}

TVariant TIDevice::RequestParam(int) {
    return TVariant();
}

// ---------------------------------------------------------------------------------------------
// TIDevice: commands

std::string TIDevice::GetErrorText(int code) const {
    switch (code) {
    case crOk:
        return {};
    case crNotConnected:
        return kMsgDeviceNotConnected;
    case crQueueFailed:
        return kMsgCannotQueueCommand;
    case crNotFound:
        return kMsgObjectNotFound;
    default:
        return kMsgUnknownDeviceError; // -10 too
    }
}

bool TIDevice::acceptsCommands() const {
    return Connected() || ConnectionState() == TConnectionState::Connecting;
}

Deadline TIDevice::callerDeadline() const {
    // The operator's windows must come back: their thread never waits without limit.
    if (!IsOwnerThread()) return std::nullopt;
    return Clock::now() + OwnerWaitLimit();
}

uint32_t TIDevice::nextCommandId() {
    // Ids grow: a caller holding an old id must never find another command under it. After a
    // wrap the ids still in use are skipped.
    do {
        if (++m_lastId == 0) m_lastId = 1;
    } while (m_pending.count(m_lastId));
    return m_lastId;
}

void TIDevice::setQueueEvent() {
    ++m_queueSignals;
    m_queueEvent.SetState(true);
}

int TIDevice::enqueue(const TCommandRef& command, Deadline deadline, bool willWait) {
    TQueueLock lock(m_queueLock);
    int refused = crOk;
    if (m_holding && !m_stopped) {
        ++m_producersWaiting;
        const bool room = waitUntil(m_room, lock, deadline, [this] { return !m_holding || m_stopped; });
        --m_producersWaiting;
        m_left.notify_all();
        if (!room) refused = crWaitFailed;
    }
    if (refused == crOk && m_stopped) refused = crNotConnected;
    if (refused != crOk) {
        command->setResultCode(refused);
        return refused;
    }
    // Queued twice, one command would be run, released and freed twice. Its code stays that of
    // its pending run.
    bool expected = false;
    if (!command->m_queued.compare_exchange_strong(expected, true)) return crQueueFailed;
    try {
        const uint32_t id = nextCommandId();
        m_pending.emplace(id, command);
        try {
            m_queue.push_back(command);
        } catch (...) {
            m_pending.erase(id);
            throw;
        }
        command->restart(id);
    } catch (...) {
        command->m_queued = false;
        command->setResultCode(crQueueFailed);
        return crQueueFailed;
    }
    if (willWait) ++m_waiters;
    return crOk;
}

void TIDevice::release(const TCommandRef& command, int code, const TVariant* result) {
    auto it = m_pending.find(command->Id());
    if (it != m_pending.end() && it->second == command) m_pending.erase(it);
    command->m_queued = false;
    command->finish(code, result);
}

void TIDevice::releaseQueued(int code) {
    TQueueLock lock(m_queueLock);
    while (!m_queue.empty()) {
        TCommandRef command = std::move(m_queue.back());
        m_queue.pop_back();
        release(command, code, nullptr);
    }
    // A command a dead worker had taken out of the queue and never finished.
    for (auto it = m_pending.begin(); it != m_pending.end(); it = m_pending.erase(it)) {
        it->second->m_queued = false;
        it->second->finish(code, nullptr);
    }
}

uint32_t TIDevice::QueueCommand(const TCommandRef& command) {
    if (!command) return 0;
    if (!acceptsCommands()) {
        command->setResultCode(crNotConnected);
        return 0;
    }
    if (enqueue(command, callerDeadline(), false) != crOk) return 0;
    const uint32_t id = command->Id();
    if (m_batchCount.load() == 0) setQueueEvent();
    return id;
}

uint32_t TIDevice::SendCommand(const std::string& text) {
    return QueueCommand(std::make_shared<TICommand>(text, TVariant(int32_t(0))));
}

void TIDevice::SendCommands(const std::vector<std::string>& texts) {
    ++m_batchCount;
    try {
        for (const std::string& text : texts)
            SendCommand(text);
    } catch (...) {
        if (--m_batchCount == 0) setQueueEvent();
        throw;
    }
    if (--m_batchCount == 0) setQueueEvent();
}

int TIDevice::waitFor(const TCommandRef& command, Deadline deadline, TVariant& result) {
    bool done = true;
    if (!deadline) {
        command->WaitDone();
    } else {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now());
        done = command->WaitDone(std::max(left, std::chrono::milliseconds(0)));
    }
    leave(m_waiters);
    result = command->Result();
    return done ? command->ResultCode() : crWaitFailed;
}

void TIDevice::leave(int& counter) {
    TQueueLock lock(m_queueLock);
    --counter;
    m_left.notify_all();
}

int TIDevice::ExecuteCommand(const TCommandRef& command, TVariant& result) {
    if (!command) return crQueueFailed;
    if (!acceptsCommands()) {
        command->setResultCode(crNotConnected);
        result = command->Result();
        return crNotConnected;
    }
    const Deadline deadline = callerDeadline();
    if (const int refused = enqueue(command, deadline, true); refused != crOk) {
        result = command->Result();
        return refused;
    }
    setQueueEvent();
    return waitFor(command, deadline, result);
}

int TIDevice::ExecuteText(const std::string& text, TCommandRef& command, TVariant& result) {
    command = std::make_shared<TICommand>(text, TVariant(int32_t(0)));
    return ExecuteCommand(command, result);
}

int TIDevice::WaitCommand(uint32_t id, TCommandRef& command, TVariant& result) {
    command.reset();
    if (!Connected()) return crNotConnected;
    {
        TQueueLock lock(m_queueLock);
        auto it = m_pending.find(id);
        if (it == m_pending.end()) return crNotFound;
        command = it->second;
        ++m_waiters;
    }
    return waitFor(command, callerDeadline(), result);
}

int TIDevice::QueuedCount() const {
    TQueueLock lock(m_queueLock);
    return static_cast<int>(m_queue.size());
}

bool TIDevice::Holding() const {
    TQueueLock lock(m_queueLock);
    return m_holding;
}

int TIDevice::Waiters() const {
    TQueueLock lock(m_queueLock);
    return m_waiters;
}

int TIDevice::ProducersWaiting() const {
    TQueueLock lock(m_queueLock);
    return m_producersWaiting;
}

} // namespace lv
