#pragma once
// Bellcore SR-4731 trace files (".sor"): a Map that lists the blocks of the file, then the blocks.
// The converter reads the revision-1 and revision-2 layouts as instruments write them and writes
// the revision-1 layout with revision number 100. The system's own files carry one more block,
// "TRA", holding the trace's Setup image, so that a trace saved as ".sor" keeps every parameter
// (markers, settings) that the standard blocks have no room for.
//
// Reading is bounded everywhere: each block is placed by the Map sizes and read only inside its
// own bytes, every count and string is checked before use, and a malformed file makes the load
// answer false. The converter itself never shows a message; the trace store does.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "trace/TraceEvents.h"
#include "trace/uFileFormats.h"

namespace lv {

class TLEReader;
class TLEWriter;
class TTheManager;

// Registers TTheManager under "Bellcore". Programs call it after the TRA registration.
void RegisterBellcoreFormat();

// Whether the file is a ".sor" this system wrote (what LoadedForeignFile tells after a load),
// judged by its Map alone. False for a file that cannot be read or has no readable Map.
bool IsOwnSorFile(const std::string& path);

// Names of the blocks in the Map.
extern const char* const kSorGenParams; // "GenParams"
extern const char* const kSorSupParams; // "SupParams"
extern const char* const kSorFxdParams; // "FxdParams"
extern const char* const kSorKeyEvents; // "KeyEvents"
extern const char* const kSorLnkParams; // "LnkParams"
extern const char* const kSorDataPts;   // "DataPts"
extern const char* const kSorCksum;     // "Cksum"
extern const char* const kSorTRA;       // "TRA"

// Texts inside blocks are kept as the file's Windows-1251 bytes; the longest kept is 255.
constexpr size_t kSorMaxText = 255;

// Cuts a Windows-1251 text to 255 bytes and makes it end with an odd length and no zero byte, so
// that together with its terminator it fills an even number of bytes. Zero bytes inside the text
// become spaces: written, they would end the string early and shift every later field.
std::string SorEvenLengthText(std::string text);

// Base of the block objects: nothing but the converter that owns them.
class TBlockData {
public:
    explicit TBlockData(TTheManager* owner) : m_owner(owner) {}
    virtual ~TBlockData() = default;
    TBlockData(const TBlockData&) = default;
    TBlockData& operator=(const TBlockData&) = default;
    TTheManager* Owner() const { return m_owner; }

private:
    TTheManager* m_owner;
};

struct TSorMapEntry {
    std::string Name;
    int16_t Revision = 100;
    int32_t Size = 0; // bytes, the block's name of a revision-2 file included
};

class TMapBlock : public TBlockData {
public:
    explicit TMapBlock(TTheManager* owner);

    uint16_t Revision = 100;
    int32_t MapSize = 0;    // bytes from the start of the file to the first block
    int16_t BlockCount = 6; // the Map itself included
    std::vector<TSorMapEntry> Entries;

    // `r` spans the whole file; it stands at the Map's revision (after "Map\0" in revision 2).
    // The entries are read from the Map's own bytes only, at most BlockCount - 1 of them.
    void Read(TLEReader& r);
    void Write(TLEWriter& w) const;
    int32_t DataSize() const; // as written: 8 + the sum of (name length + 7)
    bool HasEntry(const std::string& name) const;
};

class TGenParams : public TBlockData {
public:
    explicit TGenParams(TTheManager* owner);

    std::string LanguageCode = "EN"; // 2 bytes
    std::string CableId = " ";
    std::string FiberId = " ";
    int16_t WaveLength = 1310; // nm
    std::string OriginatingLocation = " ";
    std::string TerminatingLocation = " ";
    std::string CableCode = " ";
    std::string BuildCondition = "CC"; // 2 bytes
    int32_t UserOffset = 0;
    std::string Operator = " ";
    std::string Comment = " ";

    void Read(TLEReader& r, bool revision2);
    void Write(TLEWriter& w) const;
    int32_t DataSize() const;
    // Parameters 2, 57 and 136 (an array [0..4] of the five identifying texts).
    void ToParams(TParamBlock& p) const;
    void FromParams(const TParamBlock& p);
};

class TSupParams : public TBlockData {
public:
    explicit TSupParams(TTheManager* owner);

    // Supplier, mainframe id, mainframe serial number, module id, module serial number,
    // software revision, other.
    std::string Texts[7] = {" ", " ", " ", " ", " ", " ", " "};

    void Read(TLEReader& r, bool revision2);
    void Write(TLEWriter& w) const;
    int32_t DataSize() const;
    // Parameter 137, an array [0..6] of the seven texts.
    void ToParams(TParamBlock& p) const;
    void FromParams(const TParamBlock& p);
};

class TFixParams : public TBlockData {
public:
    explicit TFixParams(TTheManager* owner);

    uint32_t DateTimeStamp = 0; // wall-clock seconds since 1970-01-01 00:00
    std::string UnitsOfDistance = "km";
    int16_t ActualWaveLength = 13100; // 0.1 nm
    int32_t AcquisitionOffset = 0;
    // One entry per pulse width; never empty.
    std::vector<int16_t> PulseWidths{0}; // ns
    std::vector<int32_t> DataSpacing{0}; // time of 10000 points, 100 ps
    std::vector<int32_t> PointsPerPulse{0};
    int32_t GroupIndex = 146800; // × 100000
    int16_t BackscatterCoefficient = 800;
    int32_t Averages = 10;
    int32_t AcquisitionRange = 0;
    int32_t FrontPanelOffset = 0;
    uint16_t NoiseFloorLevel = 51415;
    int16_t NoiseFloorScaleFactor = 1000;
    int16_t PowerOffsetFirstPoint = 0;
    uint16_t LossThreshold = 200;
    uint16_t ReflectanceThreshold = 40000;
    uint16_t EndOfFiberThreshold = 3000;

    void Read(TLEReader& r, bool revision2);
    void Write(TLEWriter& w) const;
    int32_t DataSize() const;
    // Parameters 3, 4, 5, 8, 22..26 and 122. Raises EInvalidDataFormat when the data spacing is
    // not above 0; a group index not above 0 reads as kDefaultGroupIndex.
    void ToParams(TParamBlock& p) const;
    // Parameters 8 and 122 alone, when the block holds them: the Setup image of the system's own
    // files keeps the averages as a power of two and the spacing in whole picoseconds, this block
    // keeps both exactly.
    void ExactValuesToParams(TParamBlock& p) const;
    // Takes the owner's GenParams wavelength, so GenParams converts first.
    void FromParams(const TParamBlock& p);
};

// Wall-clock seconds of the stamp ↔ parameters 22..26 (year, month, day, hour, minute).
void SorStampToParams(uint32_t stamp, TParamBlock& p);
// The stamp of parameters 22..26, or of the current time when they form no date the stamp can hold.
uint32_t SorStampFromParams(const TParamBlock& p);

struct TKeyEvent {
    uint16_t Number = 0;
    uint32_t PropagationTime = 0; // one way, 100 ps
    int16_t AttenuationCoefficient = 0;
    int16_t EventLoss = 0;
    int32_t Reflectance = 0;
    std::string EventCode;       // 6 bytes
    std::string LossMeasurement; // 2 bytes
    std::string Comment;
};

// Read only; the trace store keeps it as data beside the trace (LoadedKeyEvents), nothing of it
// reaches the parameters.
class TKeyEvents : public TBlockData {
public:
    explicit TKeyEvents(TTheManager* owner);

    std::vector<TKeyEvent> Events;
    int32_t EndToEndLoss = 0;
    // The start may lie before the first sample, the end not.
    int32_t EndToEndStart = 0;
    uint32_t EndToEndEnd = 0;
    uint16_t OpticalReturnLoss = 0;
    int32_t ReturnLossStart = 0;
    uint32_t ReturnLossEnd = 0;
    bool Readable = false; // the block was found and its fields were readable

    // Never fails: the instrument's analysis must not make its file unreadable.
    void Read(TLEReader& r, bool revision2);
    // The events in the store's units (losses in dB, texts in UTF-8, positions as read).
    TTraceEvents ToTraceEvents() const;
};

struct TLandmark {
    int16_t Number = 0;
    std::string Code; // 2 bytes
    int32_t Location = 0;
    int16_t RelatedEvent = 0;
    int32_t Longitude = 0;
    int32_t Latitude = 0;
    int16_t FiberCorrection = 0;
    int32_t SheathEntering = 0;
    int32_t SheathLeaving = 0;
    std::string SheathUnits; // 2 bytes
    int16_t ModeFieldDiameter = 0;
    std::string Comment;
};

// Read only; nothing of it reaches the trace.
class TLinkParams : public TBlockData {
public:
    explicit TLinkParams(TTheManager* owner);

    std::vector<TLandmark> Landmarks;
    bool Readable = false;

    // Never fails, like TKeyEvents::Read.
    void Read(TLEReader& r, bool revision2);
};

struct TDataPointsStruct {
    int32_t Count = 0;
    int16_t ScaleFactor = 1000;
    // The values to write: (largest value − value) for each point, so that 0 is the highest level.
    // Reading keeps none (see TDataPoints::Read).
    std::vector<uint16_t> Values;
};

class TDataPoints : public TBlockData {
public:
    explicit TDataPoints(TTheManager* owner);

    int32_t TotalPoints = 1;
    std::vector<TDataPointsStruct> Groups; // at least one group with at least one point

    // Checks every group against the block's bytes and keeps their counts and scale factors. The
    // first group's points stay where they lie, to be decoded once, straight into the trace's
    // samples, by DecodeFirstGroup while those bytes live.
    void Read(TLEReader& r, bool revision2);
    void Write(TLEWriter& w) const;
    int64_t DataSize() const;
    // One group of the samples at 0.001 dB with scale factor 1000. Raises EConvertError when a
    // level is not finite or the levels span more than 65.535 dB.
    void FromSamples(const double* samples, int32_t count);
    // The first group's levels in dB into `levels` (Groups[0].Count of them): the highest point
    // reads 0, any other (highest value − value) × scale factor / 1000000. Only right after Read,
    // with the bytes it read still alive.
    void DecodeFirstGroup(double* levels) const;
    // Forgets where the read bytes were (they are the caller's and go).
    void ForgetReadBytes() { m_firstPoints = nullptr; }

private:
    const uint8_t* m_firstPoints = nullptr; // the first group's little-endian values, as read
    uint16_t m_firstTop = 0;                // their largest value
};

class TCheckSum : public TBlockData {
public:
    explicit TCheckSum(TTheManager* owner);

    uint16_t Value = 0;

    void Read(TLEReader& r, bool revision2);
    // Stores the CRC of the `length` bytes written before it.
    void Write(TLEWriter& w, const uint8_t* start, size_t length);
    int32_t DataSize() const { return 2; }
};

class TTRABlock : public TBlockData {
public:
    explicit TTRABlock(TTheManager* owner);

    std::vector<uint8_t> Buffer; // a Setup image
    bool HasBuffer = false;

    void Read(TLEReader& r, bool revision2);
    void Write(TLEWriter& w) const;
    int64_t DataSize() const { return static_cast<int64_t>(Buffer.size()) + 4; }
};

// The converter for ".sor" files. Every failure answers false (the raise-errors switch is always
// on in name only); LastError() keeps the reason for tools and tests.
class TTheManager : public TVirtInterfacedObject, public IFileFormat, public IFileOrigin, public IFileDiagnostics {
public:
    TTheManager();
    ~TTheManager() override;

    bool SaveTrace(const TDataStruct* params, const TDataStruct* samples) override;
    bool SaveTraceAs(const TDataStruct* params, const TDataStruct* samples,
                     const std::string& fileName) override;
    bool TraceToBuffer(const TDataStruct*, const TDataStruct*, int32_t&, std::vector<uint8_t>&) override {
        return false;
    }
    bool LoadTrace(PDataStruct& params, PDataStruct& samples) override;
    bool LoadTraceFrom(PDataStruct& params, PDataStruct& samples, const std::string& fileName) override;
    bool TraceFromBuffer(const uint8_t*, size_t, PDataStruct&, PDataStruct&) override { return false; }
    bool SaveSetup(const TDataStruct*) override { return true; }
    bool SaveSetupAs(const TDataStruct*, const std::string&) override { return true; }
    bool SetupToBuffer(const TDataStruct*, int32_t&, std::vector<uint8_t>&) override { return false; }
    bool LoadSetup(PDataStruct&) override { return true; }
    bool LoadSetupFrom(PDataStruct&, const std::string&) override { return true; }
    bool SetupFromBuffer(const uint8_t*, size_t, PDataStruct&) override { return false; }
    bool NewParams(PDataStruct&) override { return true; }
    bool NewSetupRecord(PFormatRecord&) override { return true; }
    bool NewSetupImage(PFormatRecord&) override { return true; }
    bool NewTraceRecord(PFormatRecord&) override { return true; }
    bool NewTraceImage(PFormatRecord&) override { return true; }
    bool ParamsToSetupRecord(const TDataStruct*, PFormatRecord&) override { return true; }
    bool ParamsToSetupImage(const TDataStruct*, PFormatRecord&) override { return true; }
    bool SetupRecordToParams(const TFormatRecord*, PDataStruct&) override { return true; }
    bool SetupImageToParams(const TFormatRecord*, PDataStruct&) override { return true; }
    bool FreeSetupRecord(PFormatRecord&, bool) override { return true; }
    bool ParamsToTraceRecord(const TDataStruct*, const TDataStruct*, PFormatRecord&) override { return true; }
    bool ParamsToTraceImage(const TDataStruct*, const TDataStruct*, PFormatRecord&) override { return true; }
    bool TraceRecordToParams(const TFormatRecord*, PDataStruct&, PDataStruct&) override { return true; }
    bool TraceImageToParams(const TFormatRecord*, PDataStruct&, PDataStruct&) override { return true; }
    bool FreeTraceRecord(PFormatRecord&, bool) override { return true; }
    int Subscribe(TFormatCallback, void*) override { return 0; }
    void Unsubscribe(int) override {}
    bool GetRaiseErrors() const override { return true; }
    void SetRaiseErrors(bool) override {}
    std::string GetTraceFileName() const override { return m_fileName; }
    std::string GetSetupFileName() const override { return {}; }
    std::string GetTraceExtension() const override { return ".sor"; }
    std::string GetSetupExtension() const override { return {}; }

    // A ".sor" is the system's own when its Map lists a "TRA" block, no block outside those the
    // system writes, and a revision below 200.
    bool LoadedForeignFile() const override { return m_foreign; }
    // The KeyEvents block of the file loaded last, when it had a readable one.
    const TTraceEvents* LoadedKeyEvents() const override { return m_events ? &*m_events : nullptr; }
    std::vector<std::string> LoadedBlocksNotKept() const override { return m_notKept; }

    // Decodes a whole file held in memory into two new descriptors. Raises on malformed input
    // (EInvalidDataFormat) and passes on the TRA converter's failures.
    void ReadImage(const uint8_t* data, size_t size, PDataStruct& params, PDataStruct& samples);
    // The bytes of a save of `params` and `samples` (either may be absent). Raises when the
    // trace cannot be written (a level or a parameter out of the file's range, a failed TRA
    // encoding).
    std::vector<uint8_t> WriteImage(const TDataStruct* params, const TDataStruct* samples);

    bool Revision2() const { return m_revision2; }
    // The reason of the last failure, empty after a success.
    const std::string& LastError() const { return m_lastError; }
    std::string LastErrorText() const override { return m_lastError; }

    TMapBlock& Map() { return m_map; }
    TGenParams& GenParams() { return m_genParams; }
    TSupParams& SupParams() { return m_supParams; }
    TFixParams& FixParams() { return m_fixParams; }
    TKeyEvents& KeyEvents() { return m_keyEvents; }
    TLinkParams& LinkParams() { return m_linkParams; }
    TDataPoints& DataPoints() { return m_dataPoints; }
    TCheckSum& CheckSum() { return m_checkSum; }
    TTRABlock& TRABlock() { return m_traBlock; }

private:
    void resetBlocks();

    // Declared in the order the blocks are made; destroyed in the reverse order.
    TMapBlock m_map;
    TGenParams m_genParams;
    TSupParams m_supParams;
    TFixParams m_fixParams;
    TKeyEvents m_keyEvents;
    TLinkParams m_linkParams;
    TDataPoints m_dataPoints;
    TCheckSum m_checkSum;
    TTRABlock m_traBlock;

    std::string m_fileName;
    bool m_revision2 = false;
    bool m_foreign = false;
    std::optional<TTraceEvents> m_events;
    std::vector<std::string> m_notKept;
    std::string m_lastError;
};

} // namespace lv
