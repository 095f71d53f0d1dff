#pragma once
// Trace file formats are handled by converters: objects that turn a parameter block and a sample
// block into a file or a memory image and back. A process-wide registry maps a format name to a
// converter class; every lookup gives the caller a new converter of its own, because converters
// keep per-instance state (current file names, the raise-errors switch).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "trace/TraceEvents.h"
#include "trace/uDeviceIntfs.h"

namespace lv {

// Base of every object the registry can make. Converter classes derive from it and IFileFormat.
class TVirtInterfacedObject {
public:
    virtual ~TVirtInterfacedObject() = default;
};

// A converter's in-memory form of a file: a record (fields decoded) or an image (the exact bytes).
class TFormatRecord {
public:
    virtual ~TFormatRecord() = default;
};
using PFormatRecord = std::unique_ptr<TFormatRecord>;

using TFormatCallback = std::function<void(void* owner)>;

// Every Boolean operation answers true on success; on failure it answers false while the
// raise-errors switch is off and lets the exception propagate while it is on.
class IFileFormat {
public:
    virtual ~IFileFormat() = default;

    virtual bool SaveTrace(const TDataStruct* params, const TDataStruct* samples) = 0;
    virtual bool SaveTraceAs(const TDataStruct* params, const TDataStruct* samples, const std::string& fileName) = 0;
    virtual bool TraceToBuffer(const TDataStruct* params, const TDataStruct* samples, int32_t& size,
                               std::vector<uint8_t>& buffer) = 0;
    virtual bool LoadTrace(PDataStruct& params, PDataStruct& samples) = 0;
    virtual bool LoadTraceFrom(PDataStruct& params, PDataStruct& samples, const std::string& fileName) = 0;
    virtual bool TraceFromBuffer(const uint8_t* buffer, size_t length, PDataStruct& params, PDataStruct& samples) = 0;
    virtual bool SaveSetup(const TDataStruct* params) = 0;
    virtual bool SaveSetupAs(const TDataStruct* params, const std::string& fileName) = 0;
    virtual bool SetupToBuffer(const TDataStruct* params, int32_t& size, std::vector<uint8_t>& buffer) = 0;
    virtual bool LoadSetup(PDataStruct& params) = 0;
    virtual bool LoadSetupFrom(PDataStruct& params, const std::string& fileName) = 0;
    virtual bool SetupFromBuffer(const uint8_t* buffer, size_t length, PDataStruct& params) = 0;
    virtual bool NewParams(PDataStruct& params) = 0;
    virtual bool NewSetupRecord(PFormatRecord& record) = 0;
    virtual bool NewSetupImage(PFormatRecord& image) = 0;
    virtual bool NewTraceRecord(PFormatRecord& record) = 0;
    virtual bool NewTraceImage(PFormatRecord& image) = 0;
    virtual bool ParamsToSetupRecord(const TDataStruct* params, PFormatRecord& record) = 0;
    virtual bool ParamsToSetupImage(const TDataStruct* params, PFormatRecord& image) = 0;
    virtual bool SetupRecordToParams(const TFormatRecord* record, PDataStruct& params) = 0;
    virtual bool SetupImageToParams(const TFormatRecord* image, PDataStruct& params) = 0;
    virtual bool FreeSetupRecord(PFormatRecord& record, bool isImage) = 0;
    virtual bool ParamsToTraceRecord(const TDataStruct* params, const TDataStruct* samples, PFormatRecord& record) = 0;
    virtual bool ParamsToTraceImage(const TDataStruct* params, const TDataStruct* samples, PFormatRecord& image) = 0;
    virtual bool TraceRecordToParams(const TFormatRecord* record, PDataStruct& params, PDataStruct& samples) = 0;
    virtual bool TraceImageToParams(const TFormatRecord* image, PDataStruct& params, PDataStruct& samples) = 0;
    virtual bool FreeTraceRecord(PFormatRecord& record, bool isImage) = 0;
    virtual int Subscribe(TFormatCallback callback, void* owner) = 0;
    virtual void Unsubscribe(int handle) = 0;
    virtual bool GetRaiseErrors() const = 0;
    virtual void SetRaiseErrors(bool value) = 0;
    virtual std::string GetTraceFileName() const = 0;
    virtual std::string GetSetupFileName() const = 0;
    virtual std::string GetTraceExtension() const = 0;
    virtual std::string GetSetupExtension() const = 0;
};

// Optional beside IFileFormat: a converter that can tell whether the file it loaded last was
// written by this system or by an instrument (or another program). The trace store keeps the
// answer, so that later work never rewrites an instrument's original file by a harmless action.
class IFileOrigin {
public:
    virtual ~IFileOrigin() = default;
    virtual bool LoadedForeignFile() const = 0;
    // The instrument's key events of the file loaded last; nullptr when it had none (or none
    // that could be read).
    virtual const TTraceEvents* LoadedKeyEvents() const { return nullptr; }
    // The blocks of the file loaded last that a save of this system does not write, by name in
    // file order (the event table, landmarks, a maker's own blocks).
    virtual std::vector<std::string> LoadedBlocksNotKept() const { return {}; }
};

// Optional beside IFileFormat: a converter that answers false instead of raising can tell why its
// last operation failed (a Russian text, empty after a success).
class IFileDiagnostics {
public:
    virtual ~IFileDiagnostics() = default;
    virtual std::string LastErrorText() const = 0;
};

// A converter class for the registry: makes a new instance. An empty function is "no class".
using TFileFormatClass = std::function<std::unique_ptr<TVirtInterfacedObject>()>;

template <class T> TFileFormatClass FileFormatClassOf() {
    return [] { return std::unique_ptr<TVirtInterfacedObject>(std::make_unique<T>()); };
}

// Adds or replaces the entry for `name`; reports every failure itself through the prompt
// service and never raises.
void RegisterFileFormat(const std::string& name, const TFileFormatClass& converterClass);
// A new instance of the class registered under `name` (letter case ignored); the caller owns it.
// Raises EListError "Объект преобразования формата <name> не найден" when there is none.
std::unique_ptr<IFileFormat> GetFileFormat(const std::string& name);
// Empties the registry.
void UnregisterFileFormats();
// The registered names in registration order.
std::vector<std::string> RegisteredFileFormats();

} // namespace lv
