#include "formats/uBellcoreConvs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "formats/ByteCursor.h"
#include "formats/Cp1251.h"
#include "formats/FileErrors.h"
#include "formats/SafeFile.h"
#include "formats/uCRC.h"
#include "trace/DateTime.h"
#include "trace/Errors.h"
#include "trace/Numeric.h"
#include "trace/PromptService.h"
#include "trace/TraceParams.h"

namespace lv {

const char* const kSorGenParams = "GenParams";
const char* const kSorSupParams = "SupParams";
const char* const kSorFxdParams = "FxdParams";
const char* const kSorKeyEvents = "KeyEvents";
const char* const kSorLnkParams = "LnkParams";
const char* const kSorDataPts = "DataPts";
const char* const kSorCksum = "Cksum";
const char* const kSorTRA = "TRA";

namespace {

const char* const kMsgSorMap = "Файл SOR поврежден: неверная карта блоков.";
const char* const kMsgSorBlockFields = "Файл SOR поврежден: поля блока \"%s\" выходят за его границы.";
const char* const kMsgSorBlockOutside = "Файл SOR поврежден: блок \"%s\" выходит за конец файла.";
const char* const kMsgSorMissingBlock = "В файле SOR нет блока \"%s\".";
const char* const kMsgSorNoPulse =
    "Файл SOR поврежден: в блоке FxdParams нет ни одной длительности импульса.";
const char* const kMsgSorNoPoints = "Файл SOR поврежден: в блоке DataPts нет ни одной точки.";
const char* const kMsgSorNoSpacing =
    "Файл SOR поврежден: в блоке FxdParams шаг между точками рефлектограммы не больше нуля.";
const char* const kMsgSorTooManyPoints = "Файл SOR содержит слишком много точек рефлектограммы.";
const char* const kMsgSorSetupImage = "Файл SOR поврежден: не удается прочитать параметры из блока TRA.";
const char* const kMsgSorSetupEncode = "Не удается записать параметры рефлектограммы в блок TRA.";
const char* const kMsgSorNoSamples = "Нет точек рефлектограммы для записи в файл SOR.";
const char* const kMsgSorLevelRange = "Уровни рефлектограммы не умещаются в формат SOR (более 65,535 дБ).";
const char* const kMsgSorFieldRange = "Значение параметра не умещается в поле блока \"%s\" файла SOR.";

const char* const kOpenTitle = "Открыть файл SOR";
const char* const kSaveTitle = "Сохранить файл SOR";
const char* const kFilter = "Файлы SOR (*.sor)|*.sor|Все файлы|*.*";

// Blocks a file of the system consists of; any other block makes a file foreign.
const char* const kOwnBlocks[] = {kSorGenParams, kSorSupParams, kSorFxdParams,
                                  kSorDataPts,   kSorTRA,       kSorCksum};

// A file of the system: a "TRA" block, no block outside those the system writes, revision 1.
bool ownMap(const TMapBlock& map) {
    const bool onlyOwnBlocks = std::all_of(map.Entries.begin(), map.Entries.end(), [](const TSorMapEntry& e) {
        return std::any_of(std::begin(kOwnBlocks), std::end(kOwnBlocks), [&](const char* n) { return e.Name == n; });
    });
    return map.HasEntry(kSorTRA) && onlyOwnBlocks && map.Revision < 200;
}

std::string readText(TLEReader& r) {
    return r.ZString(kSorMaxText);
}

void writeText(TLEWriter& w, const std::string& s) {
    std::string t = s;
    std::replace(t.begin(), t.end(), '\0', ' ');
    w.ZString(t);
}

// Exactly `n` bytes: cut or padded with spaces.
void writeFixed(TLEWriter& w, const std::string& s, size_t n) {
    std::string t = s.substr(0, n);
    t.resize(n, ' ');
    w.Bytes(t);
}

int32_t textBytes(const std::string& s) {
    return static_cast<int32_t>(s.size()) + 1;
}

// A parameter's text, or an empty one when it is not set or cannot be read as a text.
std::string textOf(const TVariant& v) {
    if (!v.IsSet()) return {};
    try {
        return v.AsText();
    } catch (const EVariantError&) {
        return {};
    }
}

bool isTextArray(const TVariant& v, int high) {
    try {
        return v.IsArray() && v.LowBound() == 0 && v.HighBound() == high;
    } catch (const EVariantError&) {
        return false;
    }
}

// A parameter as a number; not set counts as 0, anything unreadable raises.
double numberOf(const TVariant& v) {
    if (!v.IsSet()) return 0.0;
    return v.AsDouble();
}

// Rounded (half to even) into a field of type T, or EConvertError naming the block.
template <class T> T fieldFrom(double value, const char* block) {
    auto r = RoundToInt64(value);
    if (!r || *r < std::numeric_limits<T>::min() || *r > std::numeric_limits<T>::max())
        throw EConvertError(FormatS(kMsgSorFieldRange, block));
    return static_cast<T>(*r);
}

std::string cutText(std::string s) {
    if (s.size() > kSorMaxText) s.resize(kSorMaxText);
    return s;
}

} // namespace

std::string SorEvenLengthText(std::string text) {
    text = cutText(std::move(text));
    const size_t n = text.size();
    if (n % 2 == 1) {
        if (text.back() == '\0') text.back() = ' ';
    } else if (n > 0) {
        if (text.back() != '\0')
            text.push_back(' ');
        else
            text.pop_back();
    }
    std::replace(text.begin(), text.end(), '\0', ' ');
    return text;
}

// ---------------------------------------------------------------------------------------------
// Map

TMapBlock::TMapBlock(TTheManager* owner) : TBlockData(owner) {
    Entries = {{kSorGenParams, 100, 0},
               {kSorSupParams, 100, 0},
               {kSorFxdParams, 100, 0},
               {kSorDataPts, 100, 0},
               {kSorCksum, 100, 2}};
}

void TMapBlock::Read(TLEReader& r) {
    Revision = r.U16();
    MapSize = r.I32();
    BlockCount = r.I16();
    const size_t headerEnd = r.Position();
    if (MapSize < 0 || static_cast<size_t>(MapSize) < headerEnd || static_cast<size_t>(MapSize) > r.Size())
        r.fail();
    // The count includes the Map itself in both revisions; the entries never pass the Map's size.
    TLEReader m(r.Data(), static_cast<size_t>(MapSize), kMsgSorMap);
    m.Seek(headerEnd);
    Entries.clear();
    for (int i = 0; i < BlockCount - 1 && !m.AtEnd(); ++i) {
        TSorMapEntry e;
        e.Name = m.ZString(kSorMaxText);
        e.Revision = m.I16();
        e.Size = m.I32();
        Entries.push_back(std::move(e));
    }
    r.Seek(static_cast<size_t>(MapSize));
}

void TMapBlock::Write(TLEWriter& w) const {
    w.U16(Revision);
    w.I32(MapSize);
    w.I16(BlockCount);
    for (const TSorMapEntry& e : Entries) {
        writeText(w, e.Name);
        w.I16(e.Revision);
        w.I32(e.Size);
    }
}

int32_t TMapBlock::DataSize() const {
    int32_t size = 8;
    for (const TSorMapEntry& e : Entries)
        size += static_cast<int32_t>(e.Name.size()) + 7;
    return size;
}

bool TMapBlock::HasEntry(const std::string& name) const {
    return std::any_of(Entries.begin(), Entries.end(), [&](const TSorMapEntry& e) { return e.Name == name; });
}

// ---------------------------------------------------------------------------------------------
// GenParams

TGenParams::TGenParams(TTheManager* owner) : TBlockData(owner) {}

void TGenParams::Read(TLEReader& r, bool revision2) {
    LanguageCode = r.Bytes(2);
    CableId = readText(r);
    FiberId = readText(r);
    if (revision2) r.Skip(2); // fibre type
    WaveLength = r.I16();
    OriginatingLocation = readText(r);
    TerminatingLocation = readText(r);
    CableCode = readText(r);
    BuildCondition = r.Bytes(2);
    UserOffset = r.I32();
    if (revision2) r.Skip(4); // user offset distance
    Operator = readText(r);
    Comment = readText(r);
}

void TGenParams::Write(TLEWriter& w) const {
    writeFixed(w, LanguageCode, 2);
    writeText(w, CableId);
    writeText(w, FiberId);
    w.I16(WaveLength);
    writeText(w, OriginatingLocation);
    writeText(w, TerminatingLocation);
    writeText(w, CableCode);
    writeFixed(w, BuildCondition, 2);
    w.I32(UserOffset);
    writeText(w, Operator);
    writeText(w, Comment);
}

int32_t TGenParams::DataSize() const {
    return 10 + textBytes(CableId) + textBytes(FiberId) + textBytes(OriginatingLocation) +
           textBytes(TerminatingLocation) + textBytes(CableCode) + textBytes(Operator) + textBytes(Comment);
}

void TGenParams::ToParams(TParamBlock& p) const {
    TVariant texts = TVariant::VariantArray(0, 4);
    const std::string* src[5] = {&CableId, &FiberId, &OriginatingLocation, &TerminatingLocation, &Operator};
    for (int i = 0; i < 5; ++i)
        texts.SetElement(i, TVariant(Cp1251ToUtf8(*src[i])));
    p[prmPRN] = texts;
    p[prmLAM] = TVariant(int32_t(WaveLength));
    p[prmL] = TVariant(Cp1251ToUtf8(Comment));
}

void TGenParams::FromParams(const TParamBlock& p) {
    const TVariant& texts = p[prmPRN];
    if (isTextArray(texts, 4)) {
        std::string* dst[5] = {&CableId, &FiberId, &OriginatingLocation, &TerminatingLocation, &Operator};
        for (int i = 0; i < 5; ++i)
            *dst[i] = SorEvenLengthText(Utf8ToCp1251(textOf(texts.Element(i))));
    }
    WaveLength = fieldFrom<int16_t>(numberOf(p[prmLAM]), kSorGenParams);
    Comment = cutText(Utf8ToCp1251(textOf(p[prmL])));
    std::replace(Comment.begin(), Comment.end(), '\0', ' ');
}

// ---------------------------------------------------------------------------------------------
// SupParams

TSupParams::TSupParams(TTheManager* owner) : TBlockData(owner) {}

void TSupParams::Read(TLEReader& r, bool) {
    for (std::string& t : Texts)
        t = readText(r);
}

void TSupParams::Write(TLEWriter& w) const {
    for (const std::string& t : Texts)
        writeText(w, t);
}

int32_t TSupParams::DataSize() const {
    int32_t size = 0;
    for (const std::string& t : Texts)
        size += textBytes(t);
    return size;
}

void TSupParams::ToParams(TParamBlock& p) const {
    TVariant texts = TVariant::VariantArray(0, 6);
    for (int i = 0; i < 7; ++i)
        texts.SetElement(i, TVariant(Cp1251ToUtf8(Texts[i])));
    p[prmXYA] = texts;
}

void TSupParams::FromParams(const TParamBlock& p) {
    const TVariant& texts = p[prmXYA];
    if (!isTextArray(texts, 6)) return;
    for (int i = 0; i < 7; ++i)
        Texts[i] = SorEvenLengthText(Utf8ToCp1251(textOf(texts.Element(i))));
}

// ---------------------------------------------------------------------------------------------
// FxdParams

namespace {
// Wall-clock seconds of a date-time already split into whole parts.
int64_t wallSeconds(TDateTime date, int hour, int minute, int second) {
    const int64_t days = static_cast<int64_t>(date) - static_cast<int64_t>(kUnixEpochDays);
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

uint32_t currentStamp() {
    const TDateTimeParts now = DecodeDateTime(Now());
    TDateTime date = 0;
    if (!TryEncodeDate(now.Year, now.Month, now.Day, date)) return 0;
    const int64_t s = wallSeconds(date, now.Hour, now.Minute, now.Second);
    return s < 0 || s > std::numeric_limits<uint32_t>::max() ? 0u : static_cast<uint32_t>(s);
}
} // namespace

void SorStampToParams(uint32_t stamp, TParamBlock& p) {
    // Instruments write their wall clock; no time zone is applied, so the operator sees the time
    // the instrument showed on any machine.
    const int64_t days = stamp / 86400;
    const int64_t ofDay = stamp % 86400;
    const TDateTimeParts d = DecodeDateTime(kUnixEpochDays + static_cast<double>(days));
    p[prmYEA] = TVariant(int32_t(d.Year));
    p[prmMTH] = TVariant(int32_t(d.Month));
    p[prmDAY] = TVariant(int32_t(d.Day));
    p[prmHOU] = TVariant(int32_t(ofDay / 3600));
    p[prmMIN] = TVariant(int32_t(ofDay % 3600 / 60));
}

uint32_t SorStampFromParams(const TParamBlock& p) {
    int parts[5];
    const int index[5] = {prmYEA, prmMTH, prmDAY, prmHOU, prmMIN};
    for (int i = 0; i < 5; ++i) {
        const TVariant& v = p[static_cast<size_t>(index[i])];
        std::optional<int32_t> n;
        try {
            if (v.IsSet()) n = RoundToInt32(v.AsDouble());
        } catch (const EVariantError&) {
        }
        if (!n) return currentStamp();
        parts[i] = *n;
    }
    TDateTime date = 0, time = 0;
    if (!TryEncodeDate(parts[0], parts[1], parts[2], date) || !TryEncodeTime(parts[3], parts[4], 0, 0, time))
        return currentStamp();
    const int64_t s = wallSeconds(date, parts[3], parts[4], 0);
    if (s < 0 || s > std::numeric_limits<uint32_t>::max()) return currentStamp();
    return static_cast<uint32_t>(s);
}

TFixParams::TFixParams(TTheManager* owner) : TBlockData(owner), DateTimeStamp(currentStamp()) {}

void TFixParams::Read(TLEReader& r, bool revision2) {
    DateTimeStamp = r.U32();
    UnitsOfDistance = r.Bytes(2);
    ActualWaveLength = r.I16();
    AcquisitionOffset = r.I32();
    if (revision2) r.Skip(4); // acquisition offset distance
    const int16_t n = r.I16();
    if (n < 1) throw EInvalidDataFormat(kMsgSorNoPulse);
    r.Require(static_cast<size_t>(n) * 10);
    PulseWidths.resize(static_cast<size_t>(n));
    DataSpacing.resize(static_cast<size_t>(n));
    PointsPerPulse.resize(static_cast<size_t>(n));
    for (auto& v : PulseWidths)
        v = r.I16();
    for (auto& v : DataSpacing)
        v = r.I32();
    for (auto& v : PointsPerPulse)
        v = r.I32();
    GroupIndex = r.I32();
    BackscatterCoefficient = r.I16();
    Averages = r.I32();
    if (revision2) r.Skip(2); // averaging time
    AcquisitionRange = r.I32();
    if (revision2) r.Skip(4); // acquisition range distance
    FrontPanelOffset = r.I32();
    NoiseFloorLevel = r.U16();
    NoiseFloorScaleFactor = r.I16();
    PowerOffsetFirstPoint = r.I16();
    LossThreshold = r.U16();
    ReflectanceThreshold = r.U16();
    EndOfFiberThreshold = r.U16();
    // Later fields of revision 2 (trace type, window coordinates) and any padding are not used.
}

void TFixParams::Write(TLEWriter& w) const {
    w.U32(DateTimeStamp);
    writeFixed(w, UnitsOfDistance, 2);
    w.I16(ActualWaveLength);
    w.I32(AcquisitionOffset);
    w.I16(static_cast<int16_t>(PulseWidths.size()));
    for (auto v : PulseWidths)
        w.I16(v);
    for (auto v : DataSpacing)
        w.I32(v);
    for (auto v : PointsPerPulse)
        w.I32(v);
    w.I32(GroupIndex);
    w.I16(BackscatterCoefficient);
    w.I32(Averages);
    w.I32(AcquisitionRange);
    w.I32(FrontPanelOffset);
    w.U16(NoiseFloorLevel);
    w.I16(NoiseFloorScaleFactor);
    w.I16(PowerOffsetFirstPoint);
    w.U16(LossThreshold);
    w.U16(ReflectanceThreshold);
    w.U16(EndOfFiberThreshold);
}

int32_t TFixParams::DataSize() const {
    return 44 + 10 * static_cast<int32_t>(PulseWidths.size());
}

void TFixParams::ToParams(TParamBlock& p) const {
    // Without a spacing every sample would lie at 0 km: no trace can be drawn or measured.
    if (DataSpacing[0] <= 0) throw EInvalidDataFormat(kMsgSorNoSpacing);
    SorStampToParams(DateTimeStamp, p);
    p[prmPW] = TVariant(PulseWidths[0] > 0 ? PulseWidths[0] / 10.0 : 10.0);
    p[prmRESR] = TVariant(DataSpacing[0] / 500000.0);
    // An index of 0 would do the same, and leave a trace that no format can store.
    p[prmIOR] = TVariant(GroupIndex > 0 ? GroupIndex / 100000.0 : kDefaultGroupIndex);
    p[prmNUM] = TVariant(Averages);
    // The inverse of the writer: the one-way time of flight at a group index of 1.5, in km, so
    // that the instrument's own range is shown, not a multiple of 10 km.
    p[prmR] = AcquisitionRange > 0 ? TVariant(AcquisitionRange / 50000.0) : TVariant(int32_t(5));
}

void TFixParams::ExactValuesToParams(TParamBlock& p) const {
    if (Averages > 0) p[prmNUM] = TVariant(Averages);
    if (DataSpacing[0] > 0) p[prmRESR] = TVariant(DataSpacing[0] / 500000.0);
}

void TFixParams::FromParams(const TParamBlock& p) {
    DateTimeStamp = SorStampFromParams(p);
    UnitsOfDistance = "km";
    ActualWaveLength = fieldFrom<int16_t>(Owner()->GenParams().WaveLength * 10.0, kSorFxdParams);
    AcquisitionOffset = 0;
    PulseWidths = {fieldFrom<int16_t>(numberOf(p[prmPW]) * 10.0, kSorFxdParams)};
    DataSpacing = {fieldFrom<int32_t>(numberOf(p[prmRESR]) * 500000.0, kSorFxdParams)};
    PointsPerPulse = {0};
    GroupIndex = fieldFrom<int32_t>(numberOf(p[prmIOR]) * 100000.0, kSorFxdParams);
    Averages = fieldFrom<int32_t>(numberOf(p[prmNUM]), kSorFxdParams);
    const int32_t rangeKm = fieldFrom<int32_t>(numberOf(p[prmR]), kSorFxdParams);
    AcquisitionRange = fieldFrom<int32_t>(rangeKm * 50000.0, kSorFxdParams);
}

// ---------------------------------------------------------------------------------------------
// KeyEvents, LnkParams

TKeyEvents::TKeyEvents(TTheManager* owner) : TBlockData(owner) {}

void TKeyEvents::Read(TLEReader& r, bool revision2) {
    Events.clear();
    Readable = false;
    try {
        const uint16_t n = r.U16();
        for (int i = 0; i < n; ++i) {
            TKeyEvent e;
            e.Number = r.U16();
            e.PropagationTime = r.U32();
            e.AttenuationCoefficient = r.I16();
            e.EventLoss = r.I16();
            e.Reflectance = r.I32();
            e.EventCode = r.Bytes(6);
            e.LossMeasurement = r.Bytes(2);
            if (revision2) r.Skip(20); // five marker locations
            e.Comment = readText(r);
            Events.push_back(std::move(e));
        }
        EndToEndLoss = r.I32();
        EndToEndStart = r.I32();
        EndToEndEnd = r.U32();
        OpticalReturnLoss = r.U16();
        ReturnLossStart = r.I32();
        ReturnLossEnd = r.U32();
        Readable = true;
    } catch (const EInvalidDataFormat&) {
        Events.clear();
    }
}

TTraceEvents TKeyEvents::ToTraceEvents() const {
    TTraceEvents out;
    for (const TKeyEvent& e : Events) {
        TTraceEvent t;
        t.Number = e.Number;
        t.PropagationTime = e.PropagationTime;
        t.LossDb = e.EventLoss / 1000.0;
        t.ReflectanceDb = e.Reflectance / 1000.0;
        t.LeadInAttenuation = e.AttenuationCoefficient / 1000.0;
        t.Code = Cp1251ToUtf8(e.EventCode);
        t.Technique = Cp1251ToUtf8(e.LossMeasurement);
        // Makers' analysis software writes its own comments, some of them in UTF-8.
        t.Comment = ForeignTextToUtf8(e.Comment);
        out.Events.push_back(std::move(t));
    }
    out.EndToEndLossDb = EndToEndLoss / 1000.0;
    out.EndToEndMarkers = {EndToEndStart, EndToEndEnd};
    out.ReturnLossDb = OpticalReturnLoss / 1000.0;
    out.ReturnLossMarkers = {ReturnLossStart, ReturnLossEnd};
    return out;
}

TLinkParams::TLinkParams(TTheManager* owner) : TBlockData(owner) {}

void TLinkParams::Read(TLEReader& r, bool) {
    Landmarks.clear();
    Readable = false;
    try {
        const int16_t n = r.I16();
        if (n < 0) r.fail();
        for (int i = 0; i < n; ++i) {
            TLandmark l;
            l.Number = r.I16();
            l.Code = r.Bytes(2);
            l.Location = r.I32();
            l.RelatedEvent = r.I16();
            l.Longitude = r.I32();
            l.Latitude = r.I32();
            l.FiberCorrection = r.I16();
            l.SheathEntering = r.I32();
            l.SheathLeaving = r.I32();
            l.SheathUnits = r.Bytes(2);
            l.ModeFieldDiameter = r.I16();
            l.Comment = readText(r);
            Landmarks.push_back(std::move(l));
        }
        Readable = true;
    } catch (const EInvalidDataFormat&) {
        Landmarks.clear();
    }
}

// ---------------------------------------------------------------------------------------------
// DataPts

TDataPoints::TDataPoints(TTheManager* owner) : TBlockData(owner) {
    Groups.push_back({1, 1000, {0}});
}

void TDataPoints::Read(TLEReader& r, bool) {
    TotalPoints = r.I32();
    const int16_t n = r.I16();
    if (n < 1) throw EInvalidDataFormat(kMsgSorNoPoints);
    std::vector<TDataPointsStruct> groups;
    const uint8_t* firstPoints = nullptr;
    uint16_t firstTop = 0;
    for (int g = 0; g < n; ++g) {
        TDataPointsStruct s;
        s.Count = r.I32();
        s.ScaleFactor = r.I16();
        if (s.Count < 0 || (g == 0 && s.Count == 0)) throw EInvalidDataFormat(kMsgSorNoPoints);
        const size_t count = static_cast<size_t>(s.Count);
        if (count > r.Remaining() / 2) r.fail();
        if (g == 0) {
            firstPoints = r.Current();
            for (size_t k = 0; k < count; ++k)
                firstTop = std::max(
                    firstTop, static_cast<uint16_t>(firstPoints[2 * k] | (firstPoints[2 * k + 1] << 8)));
        }
        r.Skip(2 * count);
        groups.push_back(std::move(s));
    }
    Groups = std::move(groups);
    m_firstPoints = firstPoints;
    m_firstTop = firstTop;
}

void TDataPoints::DecodeFirstGroup(double* levels) const {
    if (!m_firstPoints) throw EInvalidDataFormat(kMsgSorNoPoints);
    const TDataPointsStruct& g = Groups.front();
    const uint8_t* b = m_firstPoints;
    // The highest level becomes the largest value, as levels are shown.
    for (size_t k = 0; k < static_cast<size_t>(g.Count); ++k) {
        const auto value =
            static_cast<uint16_t>(m_firstTop - static_cast<uint16_t>(b[2 * k] | (b[2 * k + 1] << 8)));
        levels[k] = static_cast<double>(value) * g.ScaleFactor / 1000000.0;
    }
}

void TDataPoints::Write(TLEWriter& w) const {
    w.I32(TotalPoints);
    w.I16(static_cast<int16_t>(Groups.size()));
    for (const TDataPointsStruct& g : Groups) {
        w.I32(g.Count);
        w.I16(g.ScaleFactor);
        for (uint16_t v : g.Values)
            w.U16(v);
    }
}

int64_t TDataPoints::DataSize() const {
    int64_t size = 6;
    for (const TDataPointsStruct& g : Groups)
        size += 6 + 2 * static_cast<int64_t>(g.Values.size());
    return size;
}

void TDataPoints::FromSamples(const double* samples, int32_t count) {
    if (!samples || count < 1) throw EConvertError(kMsgSorNoSamples);
    // Levels at 0.001 dB in 32 bits; the largest is stored as 0 and lower levels as larger
    // numbers, so only the span of the trace has to fit 16 bits, not the levels themselves.
    std::vector<int32_t> v(static_cast<size_t>(count));
    int32_t hi = std::numeric_limits<int32_t>::min(), lo = std::numeric_limits<int32_t>::max();
    for (int32_t k = 0; k < count; ++k) {
        auto r = RoundToInt32(1000.0 * samples[k]);
        if (!r) throw EConvertError(kMsgSorLevelRange);
        v[static_cast<size_t>(k)] = *r;
        hi = std::max(hi, *r);
        lo = std::min(lo, *r);
    }
    if (static_cast<int64_t>(hi) - lo > 65535) throw EConvertError(kMsgSorLevelRange);
    TDataPointsStruct g;
    g.Count = count;
    g.ScaleFactor = 1000;
    g.Values.resize(static_cast<size_t>(count));
    for (size_t k = 0; k < v.size(); ++k)
        g.Values[k] = static_cast<uint16_t>(hi - v[k]);
    Groups.clear();
    Groups.push_back(std::move(g));
    TotalPoints = count;
}

// ---------------------------------------------------------------------------------------------
// Cksum, TRA

TCheckSum::TCheckSum(TTheManager* owner) : TBlockData(owner) {}

void TCheckSum::Read(TLEReader& r, bool) {
    Value = r.U16();
}

void TCheckSum::Write(TLEWriter& w, const uint8_t* start, size_t length) {
    Value = CRC16(start, length);
    w.U16(Value);
}

TTRABlock::TTRABlock(TTheManager* owner) : TBlockData(owner) {}

void TTRABlock::Read(TLEReader& r, bool) {
    const int32_t length = r.I32();
    if (length < 0 || static_cast<size_t>(length) > r.Remaining()) r.fail();
    const uint8_t* b = r.Current();
    Buffer.assign(b, b + length);
    r.Skip(static_cast<size_t>(length));
    HasBuffer = true;
}

void TTRABlock::Write(TLEWriter& w) const {
    w.I32(static_cast<int32_t>(Buffer.size()));
    w.Bytes(Buffer.data(), Buffer.size());
}

// ---------------------------------------------------------------------------------------------
// The converter

TTheManager::TTheManager()
    : m_map(this), m_genParams(this), m_supParams(this), m_fixParams(this), m_keyEvents(this),
      m_linkParams(this), m_dataPoints(this), m_checkSum(this), m_traBlock(this) {
    m_fixParams.ActualWaveLength = static_cast<int16_t>(m_genParams.WaveLength * 10);
}

TTheManager::~TTheManager() = default;

void TTheManager::resetBlocks() {
    m_map = TMapBlock(this);
    m_genParams = TGenParams(this);
    m_supParams = TSupParams(this);
    m_fixParams = TFixParams(this);
    m_fixParams.ActualWaveLength = static_cast<int16_t>(m_genParams.WaveLength * 10);
    m_keyEvents = TKeyEvents(this);
    m_linkParams = TLinkParams(this);
    m_dataPoints = TDataPoints(this);
    m_checkSum = TCheckSum(this);
    m_traBlock = TTRABlock(this);
}

void TTheManager::ReadImage(const uint8_t* data, size_t size, PDataStruct& params, PDataStruct& samples) {
    params.reset();
    samples.reset();
    resetBlocks();
    m_revision2 = false;
    m_foreign = true;
    m_events.reset();
    m_notKept.clear();
    // Nothing of the blocks points into `data` once this returns.
    struct Forget {
        TDataPoints& points;
        ~Forget() { points.ForgetReadBytes(); }
    } forget{m_dataPoints};

    TLEReader file(data, size, kMsgSorMap);
    const bool layout2 = size >= 4 && std::memcmp(data, "Map\0", 4) == 0;
    if (layout2) file.Skip(4);
    m_map.Read(file);
    m_revision2 = m_map.Revision >= 200;

    // Blocks lie one after another from the end of the Map, each as large as the Map says; a
    // block may be larger than its content, and bytes may follow the last one. A file cut short
    // fails here, before any block is parsed.
    std::vector<size_t> starts;
    size_t pos = static_cast<size_t>(m_map.MapSize);
    for (const TSorMapEntry& e : m_map.Entries) {
        if (e.Size < 0 || static_cast<size_t>(e.Size) > size - pos)
            throw EInvalidDataFormat(FormatS(kMsgSorBlockOutside, e.Name));
        starts.push_back(pos);
        pos += static_cast<size_t>(e.Size);
    }

    bool hasFixParams = false, hasDataPts = false;
    for (size_t i = 0; i < m_map.Entries.size(); ++i) {
        const TSorMapEntry& e = m_map.Entries[i];
        TLEReader r(data + starts[i], static_cast<size_t>(e.Size), kMsgSorBlockFields, e.Name);
        // A revision-2 block starts with its own name.
        if (layout2 && r.Remaining() > e.Name.size() &&
            std::memcmp(r.Current(), e.Name.c_str(), e.Name.size() + 1) == 0)
            r.Skip(e.Name.size() + 1);

        if (e.Name == kSorGenParams) {
            m_genParams.Read(r, layout2);
        } else if (e.Name == kSorSupParams) {
            m_supParams.Read(r, layout2);
        } else if (e.Name == kSorFxdParams) {
            m_fixParams.Read(r, layout2);
            hasFixParams = true;
        } else if (e.Name == kSorKeyEvents) {
            m_keyEvents.Read(r, layout2);
        } else if (e.Name == kSorLnkParams) {
            if (e.Size > 0) m_linkParams.Read(r, layout2);
        } else if (e.Name == kSorDataPts) {
            m_dataPoints.Read(r, layout2);
            hasDataPts = true;
        } else if (e.Name == kSorCksum) {
            m_checkSum.Read(r, layout2);
        } else if (e.Name == kSorTRA) {
            m_traBlock.Read(r, layout2);
        }
        // Any other block (a maker's own) is skipped by its size.
    }
    if (!hasFixParams) throw EInvalidDataFormat(FormatS(kMsgSorMissingBlock, kSorFxdParams));
    if (!hasDataPts) throw EInvalidDataFormat(FormatS(kMsgSorMissingBlock, kSorDataPts));

    const TDataPointsStruct& first = m_dataPoints.Groups.front();
    if (first.Count > std::numeric_limits<int32_t>::max() / kSampleSize)
        throw EInvalidDataFormat(kMsgSorTooManyPoints);
    // Decoded once, into the array the trace store takes over.
    PDataStruct outSamples = MakeUnfilledSampleBlock(first.Count);
    m_dataPoints.DecodeFirstGroup(outSamples->MutableSamples());

    const bool hasTRA = m_map.HasEntry(kSorTRA);
    PDataStruct outParams;
    if (hasTRA) {
        std::unique_ptr<IFileFormat> tra = GetFileFormat("TRA");
        bool decoded = false;
        try {
            decoded = tra->SetupFromBuffer(m_traBlock.Buffer.data(), m_traBlock.Buffer.size(), outParams);
        } catch (const Exception&) {
            decoded = false; // a malformed image raises whatever the switch says
        }
        if (!decoded || !outParams || !outParams->Params()) throw EInvalidDataFormat(kMsgSorSetupImage);
        outParams->Params()->resize(kParamCount);
    } else {
        outParams = MakeParamBlock();
        (*outParams->Params())[prmLSA] = TVariant(int32_t(1));
    }
    TParamBlock& p = *outParams->Params();
    for (const TSorMapEntry& e : m_map.Entries) {
        if (e.Name == kSorGenParams)
            m_genParams.ToParams(p);
        else if (e.Name == kSorSupParams)
            m_supParams.ToParams(p);
        else if (e.Name == kSorFxdParams && !hasTRA)
            m_fixParams.ToParams(p);
        else if (e.Name == kSorFxdParams)
            m_fixParams.ExactValuesToParams(p); // else an instrument's trace saved here would change
    }

    std::vector<std::string> notKept;
    for (const TSorMapEntry& e : m_map.Entries)
        if (std::none_of(std::begin(kOwnBlocks), std::end(kOwnBlocks),
                         [&](const char* n) { return e.Name == n; }))
            notKept.push_back(Cp1251ToUtf8(e.Name));
    m_foreign = !ownMap(m_map);
    if (m_map.HasEntry(kSorKeyEvents) && m_keyEvents.Readable) {
        m_events = m_keyEvents.ToTraceEvents();
        m_events->FrontPanelOffset = m_fixParams.FrontPanelOffset;
    }
    m_notKept = std::move(notKept);

    params = std::move(outParams);
    samples = std::move(outSamples);
}

std::vector<uint8_t> TTheManager::WriteImage(const TDataStruct* params, const TDataStruct* samples) {
    const TParamBlock* p = params ? params->Params() : nullptr;
    if (samples) m_dataPoints.FromSamples(samples->Samples(), samples->SampleCount());
    if (p) {
        // A "TRA" block without its Setup image is never written.
        std::unique_ptr<IFileFormat> tra = GetFileFormat("TRA");
        int32_t length = 0;
        std::vector<uint8_t> image;
        if (!tra->SetupToBuffer(params, length, image) || length < 0 ||
            static_cast<size_t>(length) > image.size())
            throw EConvertError(kMsgSorSetupEncode);
        image.resize(static_cast<size_t>(length));
        m_traBlock.Buffer = std::move(image);
        m_traBlock.HasBuffer = true;
        m_genParams.FromParams(*p);
        m_supParams.FromParams(*p);
        m_fixParams.FromParams(*p);
    }
    m_fixParams.PointsPerPulse.front() = m_dataPoints.Groups.front().Count;

    const int64_t dataSize = m_dataPoints.DataSize();
    const int64_t traSize = m_traBlock.DataSize();
    if (dataSize > std::numeric_limits<int32_t>::max() || traSize > std::numeric_limits<int32_t>::max())
        throw EConvertError(kMsgSorTooManyPoints);
    m_map.Revision = 100;
    m_map.Entries = {{kSorGenParams, 100, m_genParams.DataSize()},
                     {kSorSupParams, 100, m_supParams.DataSize()},
                     {kSorFxdParams, 100, m_fixParams.DataSize()},
                     {kSorDataPts, 100, static_cast<int32_t>(dataSize)}};
    if (m_traBlock.HasBuffer) m_map.Entries.push_back({kSorTRA, 100, static_cast<int32_t>(traSize)});
    m_map.Entries.push_back({kSorCksum, 100, m_checkSum.DataSize()});
    m_map.BlockCount = static_cast<int16_t>(m_map.Entries.size() + 1);
    m_map.MapSize = m_map.DataSize();

    int64_t total = m_map.MapSize;
    for (const TSorMapEntry& e : m_map.Entries)
        total += e.Size;
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(total));
    TLEWriter w(out);
    m_map.Write(w);
    m_genParams.Write(w);
    m_supParams.Write(w);
    m_fixParams.Write(w);
    m_dataPoints.Write(w);
    if (m_traBlock.HasBuffer) m_traBlock.Write(w);
    m_checkSum.Write(w, out.data(), out.size());
    return out;
}

bool TTheManager::LoadTrace(PDataStruct& params, PDataStruct& samples) {
    params.reset();
    samples.reset();
    m_lastError.clear();
    bool fromDialog = false;
    if (m_fileName.empty()) {
        TFileDialogRequest request;
        request.Title = kOpenTitle;
        request.Filter = kFilter;
        request.FilterIndex = 1;
        request.DefaultExt = "sor";
        request.HideReadOnly = true;
        std::vector<std::string> files;
        if (!Prompts().FileDialog(request, files) || files.empty() || files.front().empty()) return false;
        m_fileName = files.front();
        fromDialog = true;
    }
    try {
        const TFileBytes bytes = ReadFileBytes(m_fileName);
        ReadImage(bytes.data(), bytes.size(), params, samples);
        return true;
    } catch (...) {
        m_lastError = ExceptionMessage(std::current_exception(), kMsgNotEnoughMemory);
    }
    params.reset();
    samples.reset();
    if (fromDialog) m_fileName.clear();
    return false;
}

bool TTheManager::LoadTraceFrom(PDataStruct& params, PDataStruct& samples, const std::string& fileName) {
    const std::string previous = m_fileName;
    m_fileName = fileName;
    const bool ok = LoadTrace(params, samples);
    if (!ok) m_fileName = previous;
    return ok;
}

bool TTheManager::SaveTrace(const TDataStruct* params, const TDataStruct* samples) {
    m_lastError.clear();
    bool fromDialog = false;
    if (m_fileName.empty()) {
        TFileDialogRequest request;
        request.Save = true;
        request.Title = kSaveTitle;
        request.Filter = kFilter;
        request.FilterIndex = 1;
        request.DefaultExt = "sor";
        request.HideReadOnly = true;
        request.OverwritePrompt = true;
        std::vector<std::string> files;
        if (!Prompts().FileDialog(request, files) || files.empty() || files.front().empty()) return false;
        m_fileName = files.front();
        fromDialog = true;
    }
    try {
        WriteFileReplacing(m_fileName, WriteImage(params, samples));
        return true;
    } catch (...) {
        m_lastError = ExceptionMessage(std::current_exception(), kMsgNotEnoughMemory);
    }
    if (fromDialog) m_fileName.clear();
    return false;
}

bool TTheManager::SaveTraceAs(const TDataStruct* params, const TDataStruct* samples,
                              const std::string& fileName) {
    const std::string previous = m_fileName;
    m_fileName = fileName;
    const bool ok = SaveTrace(params, samples);
    if (!ok) m_fileName = previous;
    return ok;
}

void RegisterBellcoreFormat() {
    RegisterFileFormat("Bellcore", FileFormatClassOf<TTheManager>());
}

bool IsOwnSorFile(const std::string& path) {
    // The Map alone decides, and it stands at the start of the file: a few kilobytes are read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    std::vector<uint8_t> head(65536);
    ssize_t n = 0;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) n = ::read(fd, head.data(), head.size());
    ::close(fd);
    if (n <= 0) return false;
    head.resize(static_cast<size_t>(n));
    try {
        TLEReader file(head.data(), head.size(), kMsgSorMap);
        if (head.size() >= 4 && std::memcmp(head.data(), "Map\0", 4) == 0) file.Skip(4);
        TMapBlock map(nullptr);
        map.Read(file);
        return ownMap(map);
    } catch (...) {
        return false; // no readable Map: not a file of ours
    }
}

} // namespace lv
