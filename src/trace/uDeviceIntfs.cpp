#include "trace/uDeviceIntfs.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "trace/Errors.h"
#include "trace/uDeviceIntfsDevice.h"

namespace lv {

const char* const kMsgNotEnoughMemory = "Недостаточно памяти для размещения данных";

// ---------------------------------------------------------------------------------------------
// Descriptors

PDataStruct MakeEmptyDataStruct() { return std::make_unique<TDataStruct>(); }

PDataStruct MakeEmptyDataStruct(const std::function<bool(std::exception_ptr&)>& handleAllocError) {
    try {
        return MakeEmptyDataStruct();
    } catch (...) {
        std::exception_ptr e = std::current_exception();
        if (handleAllocError(e)) return nullptr;
        std::rethrow_exception(e);
    }
}

void UseNotEnoughMemoryMessage(std::exception_ptr& error) {
    if (IsOutOfMemory(error)) error = std::make_exception_ptr(EOutOfMemory(kMsgNotEnoughMemory));
}

PDataStruct MakeSampleBlock(int32_t n) {
    PDataStruct d = MakeUnfilledSampleBlock(n);
    if (d->Size > 0) std::fill_n(d->MutableSamples(), d->SampleCount(), 0.0);
    return d;
}

PDataStruct MakeUnfilledSampleBlock(int32_t n) {
    auto d = std::make_unique<TDataStruct>();
    if (n <= 0) return d;
    // Size counts bytes in 32 bits: a longer block (a file claiming it) cannot be described.
    if (n > INT32_MAX / kSampleSize) throw EOutOfMemory(kMsgNotEnoughMemory);
    auto values = std::make_shared<TVarArray>();
    values->LowBound = 1;
    values->OfDoubles = true;
    values->Doubles.resize(static_cast<size_t>(n));
    d->Size = n * kSampleSize;
    d->Data = values->Doubles.data();
    d->Kind = TDataKind::Samples;
    d->Holder = values;
    d->SampleArray = std::move(values);
    return d;
}

PDataStruct MakeSampleBlock(const double* values, int32_t n) {
    if (!values) return MakeSampleBlock(n);
    auto d = MakeUnfilledSampleBlock(n);
    if (n > 0) std::memcpy(d->Data, values, static_cast<size_t>(n) * sizeof(double));
    return d;
}

PDataStruct MakeParamBlock() {
    auto block = std::make_shared<TParamBlock>(kParamCount);
    auto d = std::make_unique<TDataStruct>();
    d->Size = kParamBlockSize;
    d->Data = block.get();
    d->Kind = TDataKind::Params;
    d->Holder = block;
    return d;
}

bool IsEmptyData(const TDataStruct* d) {
    if (!d || d->Size <= 0 || !d->Data) return true;
    if (d->Kind == TDataKind::Params) {
        const TParamBlock* p = d->Params();
        return std::all_of(p->begin(), p->end(), [](const TVariant& v) { return v.IsEmpty(); });
    }
    const auto* bytes = static_cast<const unsigned char*>(d->Data);
    return std::all_of(bytes, bytes + d->Size, [](unsigned char b) { return b == 0; });
}

// ---------------------------------------------------------------------------------------------
// TIDataStorage

TIDataStorage::TBusyGuard::~TBusyGuard() {
    TIDataStorage* s = m_s;
    if (--s->m_busyCount > 0) return;
    const bool clientLeft = s->m_clientLeft;
    s->m_clientLeft = false;
    if (clientLeft && s->m_autoFree && s->m_clients.empty() && !s->m_destroying) delete s;
}

TIDataStorage::TIDataStorage(TComponent* owner) : TComponent(owner) {}

TIDataStorage::~TIDataStorage() {
    m_destroying = true;
    ++m_busyCount;
    std::vector<TIDataClient*> snapshot = m_clients;
    for (TIDataClient* c : snapshot) {
        if (IndexOfClient(c) < 0) continue;
        TStorageNotifyAction a = snaDestroying;
        c->Notify(this, a);
    }
    // A client whose Notify was overridden without calling the base must not keep a dangling
    // storage.
    for (TIDataClient* c : m_clients)
        if (c->m_storage == this) {
            c->m_storage = nullptr;
            c->m_hasData = false;
        }
    if (m_inputDevice && m_deviceHandle) m_inputDevice->UnregisterStorageById(m_deviceHandle);
    m_clients.clear();
}

int TIDataStorage::IndexOfClient(const TIDataClient* client) const {
    auto it = std::find(m_clients.begin(), m_clients.end(), client);
    return it == m_clients.end() ? -1 : static_cast<int>(it - m_clients.begin());
}

void TIDataStorage::DeviceNotify(TIDevice* device, TStorageNotifyAction& action) {
    switch (action) {
    case snaAttached: m_inputDevice = device; break;
    case snaDetached:
    case snaDestroying:
        m_inputDevice = nullptr;
        m_deviceHandle = 0;
        break;
    case snaNone: break;
    default: m_pendingNotify = true; break;
    }
    if (m_active) DoDeviceNotify(device, action);
}

void TIDataStorage::DoDeviceNotify(TIDevice* device, TStorageNotifyAction& action) {
    if (OnDeviceNotify) OnDeviceNotify(this, device, action);
}

void TIDataStorage::SetActive(bool value) {
    if (value && m_suspendCount > 0) return;
    if (value == m_active) return;
    m_active = value;
    if (value && m_inputDevice) {
        TBusyGuard guard(this);
        TIDevice* device = m_inputDevice;
        if (device->HasDeviceSetup()) {
            TStorageNotifyAction a = snaSetupChanged;
            DeviceNotify(device, a);
        }
        if (m_inputDevice && m_inputDevice->HasDeviceData()) {
            TStorageNotifyAction a = snaDataChanged;
            DeviceNotify(m_inputDevice, a);
        }
    }
}

void TIDataStorage::SetInputDevice(TIDevice* value) {
    if (value == m_inputDevice) return;
    if (m_inputDevice) m_inputDevice->UnregisterStorageById(m_deviceHandle);
    m_deviceHandle = value ? value->RegisterStorage(this) : 0;
    m_inputDevice = value;
}

int TIDataStorage::AddClient(TIDataClient* client) {
    if (!client) return -1;
    int existing = IndexOfClient(client);
    if (existing >= 0) return existing;
    TBusyGuard guard(this);
    m_clients.push_back(client);
    const int index = static_cast<int>(m_clients.size()) - 1;
    TStorageNotifyAction a = snaAttached;
    client->Notify(this, a);
    if (m_setupPresent && IndexOfClient(client) >= 0) {
        a = snaSetupChanged;
        client->Notify(this, a);
    }
    if (m_dataPresent && IndexOfClient(client) >= 0) {
        a = snaDataChanged;
        client->Notify(this, a);
    }
    return index;
}

int TIDataStorage::DeleteClient(int index) {
    if (index < 0 || index >= static_cast<int>(m_clients.size())) return -1;
    TBusyGuard guard(this);
    TIDataClient* client = m_clients[static_cast<size_t>(index)];
    TStorageNotifyAction a = snaDetached;
    client->Notify(this, a);
    // The client may have moved in the list while it was told.
    int now = IndexOfClient(client);
    if (now >= 0) m_clients.erase(m_clients.begin() + now);
    m_clientLeft = true;
    return index;
}

int TIDataStorage::RemoveClient(TIDataClient* client) {
    TBusyGuard guard(this);
    return DeleteClient(IndexOfClient(client));
}

void TIDataStorage::NotifyClients(TStorageNotifyAction action) {
    TBusyGuard guard(this);
    const std::vector<TIDataClient*> snapshot = m_clients;
    for (TIDataClient* c : snapshot) {
        if (IndexOfClient(c) < 0) continue; // left during the loop
        TStorageNotifyAction own = action;
        c->Notify(this, own);
    }
}

PDataStruct TIDataStorage::MakeDataStruct() {
    return MakeEmptyDataStruct([this](std::exception_ptr& e) { return HandleAllocError(e); });
}

PDataStruct TIDataStorage::MakeSetupStruct() { return TIDataStorage::MakeDataStruct(); }

void TIDataStorage::SetData(const TDataStruct*) { m_dataAccepted = m_dataPresent; }
void TIDataStorage::SetSetup(const TDataStruct*) { m_setupAccepted = m_setupPresent; }

std::string TIDataStorage::GetUniqueName() const { return ClassName(); }

bool TIDataStorage::HandleAllocError(std::exception_ptr& error) {
    UseNotEnoughMemoryMessage(error);
    return false;
}

double TIDataStorage::GetBound(int kind) {
    if ((kind == bkLastX || kind == bkMaxLevel) && m_dataPresent && m_setupPresent) return 1.0;
    return 0.0;
}

double TIDataStorage::GetStep() { return m_dataPresent && m_setupPresent ? 0.01 : 0.0; }
double TIDataStorage::GetOrigin() { return 0.0; }
std::string TIDataStorage::GetComment() { return {}; }
void TIDataStorage::SetComment(const std::string&) { SetupChanged(); }
int TIDataStorage::GetLastIndex() { return -1; }
void TIDataStorage::SetLastIndex(int) { SetupChanged(); }
uint8_t TIDataStorage::GetDisplayMethod() { return 0; }
void TIDataStorage::SetDisplayMethod(uint8_t) { SetupChanged(); }
TVariant TIDataStorage::GetParam(int) { return TVariant(); }
std::string TIDataStorage::GetFileName() { return {}; }

bool TIDataStorage::IsReady() const { return m_setupPresent && m_dataPresent && m_setupAccepted && m_dataAccepted; }

PDataStruct TIDataStorage::LockData() { return MakeDataStruct(); }
PDataStruct TIDataStorage::LockSetup() { return MakeSetupStruct(); }
void TIDataStorage::UnlockData() {}
void TIDataStorage::UnlockSetup() {}

void TIDataStorage::DataArrived(const TDataStruct* data) {
    TBusyGuard guard(this);
    SetData(data);
    DataChanged();
}

void TIDataStorage::SetupArrived(const TDataStruct* data) {
    TBusyGuard guard(this);
    SetSetup(data);
    SetupChanged();
}

void TIDataStorage::DataChanged() {
    TBusyGuard guard(this);
    PDataStruct d = LockData();
    try {
        if (OnDataChanged) OnDataChanged(this, d.get());
        NotifyClients(snaDataChanged);
    } catch (...) {
        UnlockData();
        throw;
    }
    UnlockData();
}

void TIDataStorage::SetupChanged() {
    TBusyGuard guard(this);
    PDataStruct d = LockSetup();
    try {
        if (OnSetupChanged) OnSetupChanged(this, d.get());
        NotifyClients(snaSetupChanged);
    } catch (...) {
        UnlockSetup();
        throw;
    }
    UnlockSetup();
}

void TIDataStorage::Accept(int kind) {
    if (kind != 2) m_setupAccepted = m_setupPresent;
    if (kind != 1) m_dataAccepted = m_dataPresent;
}

void TIDataStorage::SuspendDevice(bool resume) {
    if (!resume) {
        if (m_suspendCount++ == 0) {
            m_savedActive = m_active;
            SetActive(false);
            m_pendingNotify = false;
        }
        return;
    }
    if (m_suspendCount == 0) return;
    if (--m_suspendCount == 0 && m_savedActive) {
        if (m_pendingNotify)
            SetActive(true);
        else
            m_active = true;
    }
}

bool TIDataStorage::LoadFromFile(const std::string&, bool) { return false; }
bool TIDataStorage::SaveToFile(const std::string&, bool) { return false; }

// ---------------------------------------------------------------------------------------------
// TIDataClient

TIDataClient::~TIDataClient() {
    if (m_storage) {
        TIDataStorage* s = m_storage;
        // Told while it goes: the derived parts are gone, so only the base reacts.
        s->RemoveClient(this);
        m_storage = nullptr;
    }
}

void TIDataClient::SetStorage(TIDataStorage* newStorage) {
    if (newStorage == m_storage) return;
    TIDataStorage* old = m_storage;
    if (old) old->RemoveClient(this); // may free the old storage
    if (newStorage) newStorage->AddClient(this);
    m_storage = newStorage;
}

void TIDataClient::Notify(TIDataStorage* sender, TStorageNotifyAction& action) {
    if (OnNotify) OnNotify(this, sender, action);
    switch (action) {
    case snaAttached:
        m_storage = sender;
        m_hasData = false;
        break;
    case snaDetached:
    case snaDestroying:
        m_hasData = false;
        m_storage = nullptr;
        break;
    case snaDataChanged:
    case snaSetupChanged:
        m_hasData = m_enabled && m_storage && m_storage->DataPresent() && m_storage->SetupPresent();
        break;
    default: break;
    }
}

std::string TIDataClient::GetFileName() { return m_storage ? m_storage->GetFileName() : std::string(); }

bool TIDataClient::LoadFromFile(const std::string& fileName, bool useDialog) {
    return m_storage ? m_storage->LoadFromFile(fileName, useDialog) : false;
}

bool TIDataClient::SaveToFile(const std::string& fileName, bool toCurrent) {
    return m_storage ? m_storage->SaveToFile(fileName, toCurrent) : false;
}

} // namespace lv
