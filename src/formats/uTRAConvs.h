#pragma once
// TTRAConverter: the converter of the native formats, traces (".tra") and measurement settings
// (".set", Setup). It turns the trace store's parameter and sample blocks into records and
// images (TRARecords.h) and back, reads files through a mapped view and writes them through a
// mapped temporary file that replaces the target only when complete (uMapsFiles.h), asks for a
// file name through the prompt service when it has none, and makes the default parameters of a
// new setup. Registered as "TRA" by RegisterTRAFormat.
//
// Positions are metres in the store and round-trip times in units of 10 ps in the files; with
// n the group index (parameter 5), k = 2.99792 / (2 n): metres = time / 1000 × k.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/TRARecords.h"
#include "trace/uFileFormats.h"

namespace lv {

extern const char* const
    kMsgTRATooManySamples; // "Трасса содержит %d точек; формат TRA допускает не более 65535. ..."
extern const char* const kMsgTRALevelRange; // a level outside 0..65,535 dB
extern const char* const kMsgTRAFieldRange; // a value that does not fit its field

constexpr int32_t kTRAMaxSamples = 65535;

// k of the distance conversion; raises EConvertError when the group index is zero or not finite.
double TRADistanceFactor(double groupIndex);

// Sets the defaults of a new setup into the 144 parameters (all others emptied).
void SetDefaultParams(TParamBlock& params);

// Encodes parameters (and, for a TRA, samples) into a record. Raises the module's wrapped errors,
// or ETRALimitError when a value does not fit the layout.
std::unique_ptr<TTRARecord> ParamsToTRARecord(TTRAKind kind, const TDataStruct* params,
                                              const TDataStruct* samples);
// Decodes a record into a new parameter block and, when `samples` is given, a new sample block.
void TRARecordToParams(const TTRARecord& record, PDataStruct& params, PDataStruct* samples);

// A name without an extension (in its last path component) gets `extension` appended; an empty
// name stays empty; anything else is kept as it is ("name." keeps its lone dot).
std::string WithDefaultExtension(const std::string& fileName, const std::string& extension);

class TTRAConverter : public TVirtInterfacedObject, public IFileFormat {
public:
    TTRAConverter() = default;

    bool SaveTrace(const TDataStruct* params, const TDataStruct* samples) override;
    bool SaveTraceAs(const TDataStruct* params, const TDataStruct* samples,
                     const std::string& fileName) override;
    bool TraceToBuffer(const TDataStruct* params, const TDataStruct* samples, int32_t& size,
                       std::vector<uint8_t>& buffer) override;
    bool LoadTrace(PDataStruct& params, PDataStruct& samples) override;
    bool LoadTraceFrom(PDataStruct& params, PDataStruct& samples, const std::string& fileName) override;
    // A missing buffer answers false; a malformed one always raises (whatever the switch says).
    bool TraceFromBuffer(const uint8_t* buffer, size_t length, PDataStruct& params,
                         PDataStruct& samples) override;
    bool SaveSetup(const TDataStruct* params) override;
    bool SaveSetupAs(const TDataStruct* params, const std::string& fileName) override;
    bool SetupToBuffer(const TDataStruct* params, int32_t& size, std::vector<uint8_t>& buffer) override;
    bool LoadSetup(PDataStruct& params) override;
    bool LoadSetupFrom(PDataStruct& params, const std::string& fileName) override;
    // A missing buffer answers false; a malformed one always raises (whatever the switch says).
    bool SetupFromBuffer(const uint8_t* buffer, size_t length, PDataStruct& params) override;
    bool NewParams(PDataStruct& params) override;
    // Records are TTRARecord, images TTRAImage (Kind tells Setup from TRA).
    bool NewSetupRecord(PFormatRecord& record) override;
    bool NewSetupImage(PFormatRecord& image) override;
    bool NewTraceRecord(PFormatRecord& record) override;
    bool NewTraceImage(PFormatRecord& image) override;
    bool ParamsToSetupRecord(const TDataStruct* params, PFormatRecord& record) override;
    bool ParamsToSetupImage(const TDataStruct* params, PFormatRecord& image) override;
    bool SetupRecordToParams(const TFormatRecord* record, PDataStruct& params) override;
    bool SetupImageToParams(const TFormatRecord* image, PDataStruct& params) override;
    bool FreeSetupRecord(PFormatRecord& record, bool isImage) override;
    bool ParamsToTraceRecord(const TDataStruct* params, const TDataStruct* samples,
                             PFormatRecord& record) override;
    bool ParamsToTraceImage(const TDataStruct* params, const TDataStruct* samples,
                            PFormatRecord& image) override;
    bool TraceRecordToParams(const TFormatRecord* record, PDataStruct& params, PDataStruct& samples) override;
    bool TraceImageToParams(const TFormatRecord* image, PDataStruct& params, PDataStruct& samples) override;
    bool FreeTraceRecord(PFormatRecord& record, bool isImage) override;
    int Subscribe(TFormatCallback callback, void* owner) override { return 0; }
    void Unsubscribe(int handle) override {}
    bool GetRaiseErrors() const override { return m_raiseErrors; }
    void SetRaiseErrors(bool value) override { m_raiseErrors = value; }
    std::string GetTraceFileName() const override { return m_traceFileName; }
    std::string GetSetupFileName() const override { return m_setupFileName; }
    std::string GetTraceExtension() const override { return ".tra"; }
    std::string GetSetupExtension() const override { return ".set"; }

private:
    // Runs `body`; a failure answers false, or propagates while the raise-errors switch is on.
    template <class F> bool guarded(F&& body);
    bool save(TTRAKind kind, const TDataStruct* params, const TDataStruct* samples);
    bool load(TTRAKind kind, PDataStruct& params, PDataStruct* samples);
    bool fromBuffer(TTRAKind kind, const uint8_t* buffer, size_t length, PDataStruct& params,
                    PDataStruct* samples);
    bool toBuffer(TTRAKind kind, const TDataStruct* params, const TDataStruct* samples, int32_t& size,
                  std::vector<uint8_t>& buffer);
    bool makeRecord(TTRAKind kind, const TDataStruct* params, const TDataStruct* samples, bool defaults,
                    bool asImage, PFormatRecord& out);
    bool recordToParams(TTRAKind kind, const TFormatRecord* record, bool isImage, PDataStruct& params,
                        PDataStruct* samples);
    std::string& nameOf(TTRAKind kind) { return kind == TTRAKind::Setup ? m_setupFileName : m_traceFileName; }
    bool askFileName(TTRAKind kind, bool save, std::string& name);

    std::string m_traceFileName;
    std::string m_setupFileName;
    bool m_raiseErrors = false;
};

// Registers TTRAConverter under "TRA". Programs call it once at start-up.
void RegisterTRAFormat();

} // namespace lv
