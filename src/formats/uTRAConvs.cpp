#include "formats/uTRAConvs.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

#include "formats/Cp1251.h"
#include "formats/uMapsFiles.h"
#include "trace/DateTime.h"
#include "trace/Numeric.h"
#include "trace/PromptService.h"
#include "trace/TraceParams.h"
#include "trace/ValueHelpers.h"

namespace lv {

const char* const kMsgTRATooManySamples = "Трасса содержит %d точек; формат TRA допускает не более 65535. "
                                          "Сохраните трассу в формате Bellcore (*.sor).";
const char* const kMsgTRALevelRange =
    "Уровень %s дБ в точке %d вне диапазона формата TRA (от 0 до 65,535 дБ). "
    "Сохраните трассу в формате Bellcore (*.sor).";
const char* const kMsgTRAFieldRange = "Значение %s параметра %d не помещается в поле формата TRA или Setup "
                                      "(допустимо от %s до %s).";

namespace {

std::string formatNumber(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    std::string s = buf;
    for (char& c : s)
        if (c == '.') c = ',';
    return s;
}

[[noreturn]] void propertyTypeError() {
    throw EConvertError(kMsgTRAPropertyType);
}

enum class Width { U8, I16, U16, I32 };

// Positions (metres) to round-trip times in 10 ps.
std::optional<int32_t> metresToTime(double metres, double k) {
    auto q = SafeDivide(metres, k);
    if (!q) return std::nullopt;
    return RoundToInt32(*q / 0.001);
}

class Encoder {
public:
    explicit Encoder(const TDataStruct* params) : m_p(params ? params->Params() : nullptr) {}

    const TVariant& param(int index) const {
        static const TVariant empty;
        if (!m_p || index < 0 || static_cast<size_t>(index) >= m_p->size()) return empty;
        return (*m_p)[static_cast<size_t>(index)];
    }

    // The parameter as a finite number, `def` when it is not set.
    double number(int index, double def) const {
        const TVariant& v = param(index);
        if (!v.IsSet()) return def;
        double d = 0;
        try {
            d = v.AsDouble();
        } catch (const EVariantError&) {
            propertyTypeError();
        }
        if (!std::isfinite(d)) propertyTypeError();
        return d;
    }

    // round(value / scale).
    int64_t scaled(int index, double def, double scale) const {
        auto q = SafeDivide(number(index, def), scale);
        std::optional<int64_t> r = q ? RoundToInt64(*q) : std::nullopt;
        if (!r) propertyTypeError();
        return *r;
    }

    // The generic rule: the parameter (or its default) scaled and stored at the field's width.
    // A value outside the width is refused instead of keeping its low bytes.
    void field(uint8_t* at, Width w, int index, double def, double scale = 1.0) const {
        const int64_t v = scaled(index, def, scale);
        int64_t lo = 0, hi = 0;
        switch (w) {
        case Width::U8:
            lo = 0, hi = UINT8_MAX;
            break;
        case Width::I16:
            lo = INT16_MIN, hi = INT16_MAX;
            break;
        case Width::U16:
            lo = 0, hi = UINT16_MAX;
            break;
        case Width::I32:
            lo = INT32_MIN, hi = INT32_MAX;
            break;
        }
        if (v < lo || v > hi)
            throw ETRALimitError(FormatS(kMsgTRAFieldRange, formatNumber(number(index, def)),
                                         std::to_string(index), formatNumber(static_cast<double>(lo) * scale),
                                         formatNumber(static_cast<double>(hi) * scale)));
        switch (w) {
        case Width::U8:
            *at = static_cast<uint8_t>(v);
            break;
        case Width::I16:
            PutI16(at, static_cast<int16_t>(v));
            break;
        case Width::U16:
            PutU16(at, static_cast<uint16_t>(v));
            break;
        case Width::I32:
            PutI32(at, static_cast<int32_t>(v));
            break;
        }
    }

    // A position in metres as a time; a failure writes -1.
    int32_t time(int index, double def, double k) const {
        try {
            auto t = metresToTime(number(index, def), k);
            return t ? *t : -1;
        } catch (const Exception&) {
            return -1;
        }
    }

    // Elements 1..3 of a marker array as times; a negative time is -1; any failure makes all -1.
    void markers(uint8_t* at, int index, double k) const {
        std::array<int32_t, 3> t{-1, -1, -1};
        try {
            const TVariant& v = param(index);
            for (int i = 1; i <= 3; ++i) {
                double metres = -1;
                if (v.IsSet()) {
                    TVariant element = v.Element(i);
                    if (element.IsSet()) metres = element.AsDouble();
                }
                auto time = metresToTime(metres, k);
                if (!time) throw EConvertError(kMsgTRAPropertyType);
                t[static_cast<size_t>(i - 1)] = *time < 0 ? -1 : *time;
            }
        } catch (const Exception&) {
            t = {-1, -1, -1};
        }
        for (size_t i = 0; i < 3; ++i)
            PutI32(at + 4 * i, t[i]);
    }

    std::string text(int index, const std::string& def) const {
        const TVariant& v = param(index);
        std::string s = def;
        if (v.IsSet()) {
            try {
                s = v.AsText();
            } catch (const EVariantError&) {
                propertyTypeError();
            }
        }
        return fileText(s);
    }

    // Windows-1251, cut at a zero character (it would end the text in the file).
    static std::string fileText(const std::string& utf8) {
        std::string s = Utf8ToCp1251(utf8);
        size_t z = s.find('\0');
        if (z != std::string::npos) s.resize(z);
        return s;
    }

private:
    const TParamBlock* m_p;
};

int32_t averagingTimeCode(int64_t averages) {
    static const int32_t codes[] = {10, 10, 10, 10, 20, 30, 60, 120, 180, 300, 600};
    return averages >= 0 && averages <= 10 ? codes[averages] : 999;
}

// ---------------------------------------------------------------------------------------------
// The fields of blocks 1, 2 and 8 and the text indexes of block 1, in one table that both
// directions walk. Encoding runs it in order (the first value refused names itself); decoding reads
// every row that has a reading.

enum class TPlace : uint8_t { Block1, Block2, Block8, TextIndex };

// A field's unit: the parameter is divided by Step when written, the raw value divided by PerValue
// when read (both exact: 1 / Step is PerValue in floating point).
struct TUnit {
    double Step;
    double PerValue;
};
constexpr TUnit kOnes{1, 1};
constexpr TUnit kTenths{0.1, 10};
constexpr TUnit kHalves{0.5, 2};
constexpr TUnit kThousandths{0.001, 1000};
constexpr TUnit kTenThousandths{1e-4, 1e4};
constexpr TUnit kMillionths{1e-6, 1e6};

enum class TRule : uint8_t {
    Real,          // the parameter in units at the width, refused outside it; read back as a real
    Whole,         // the same, read back as a whole number
    Truncated,     // the same, read back as a whole number of units rounded towards zero
    Rounded,       // the same, read back as the nearest whole number of units
    Positive,      // Real, and a value of 0 units or less is refused as a wrong type
    WriteOnly,     // the same rule writing; the parameter is read from another field
    ReadOnly,      // never written (stays 0); read back as a whole number
    Now,           // Whole, defaulting to a part of the current time (Default: 0 year .. 4 minute)
    Constant,      // Default written Count times in a row; nothing read
    Attenuator,    // the step 0..18 written as its attenuation in 0.001 dB; read back as raw ÷ 1250
    Exponent,      // the count's exponent of two; read back as 2 to that power
    TimeCode,      // the averaging time code of the count; nothing read
    SampleCount,   // a trace's sample count, a Setup's parameter in units; nothing read
    GroupIndex,    // the same value in Count fields; read back from the first that holds one
    Cursor,        // metres as a round-trip time at the group index; read back, negatives as -1
    Reference,     // the same, read back as it stands
    Markers,       // elements 1..3 as Cursor
    Choice,        // a text index 0..Count; nothing read (the value comes from block 8)
    Approximation, // "LSA" (index 0) for least squares, "TPA" (1) for two points; read back
};

struct TField {
    TPlace Place;
    uint16_t Offset; // in the block's data; the TBlock1Text for a text index
    Width Size;
    int Param;      // -1 for none
    double Default; // written when the parameter is not set; a constant's value
    TRule Rule;
    TUnit Unit = kOnes;
    uint8_t Count = 1; // fields in a row (constants, the group index); a choice's largest index
};

using P = TPlace;
using W = Width;
using R = TRule;

// clang-format off
const TField kFields[] = {
    {P::TextIndex, btFirst,   W::U8,  -1,      0,        R::Constant},
    {P::TextIndex, btSecond,  W::U8,  -1,      0,        R::Constant},
    {P::TextIndex, btAverage, W::U8,  prmAVE,  1,        R::Choice, kOnes, 2},
    {P::Block1,    12,        W::I16, prmLAM,  1310,     R::Truncated, kTenths},
    {P::Block1,    14,        W::I16, prmPW,   10,       R::Positive, kTenths},
    {P::Block1,    16,        W::U16, prmAT,   1,        R::Attenuator},
    {P::Block1,    18,        W::I16, prmDNR,  5000,     R::SampleCount, kHalves},
    {P::Block1,    20,        W::I32, prmR,    5,        R::Rounded, kMillionths},
    {P::Block1,    24,        W::I32, -1,      5000,     R::Constant},
    {P::Block1,    28,        W::I32, -1,      20000000, R::Constant},
    {P::Block1,    32,        W::I32, prmDU,   0,        R::Real, kMillionths},
    {P::Block1,    36,        W::I32, prmRESR, 4,        R::Real, kTenThousandths},
    {P::TextIndex, btRate,    W::U8,  prmDS,   0,        R::Choice, kOnes, 1},
    {P::Block1,    44,        W::I16, prmNUM,  4096,     R::Exponent},
    {P::Block1,    46,        W::I16, -1,      10,       R::Constant, kOnes, 3},
    {P::Block1,    52,        W::I32, prmCU,   -1,       R::Cursor},
    {P::Block1,    56,        W::I32, prmM,    -1,       R::Markers},
    {P::Block1,    68,        W::I32, prmY,    -1,       R::Markers},
    {P::Block1,    80,        W::I32, -1,      -1,       R::Constant, kOnes, 21},
    {P::Block1,    164,       W::I32, prmREF,  -1,       R::Reference},
    {P::Block1,    168,       W::I32, -1,      -1,       R::Constant, kOnes, 2},
    {P::TextIndex, btApprox,  W::U8,  prmLSA,  1,        R::Approximation},
    {P::Block1,    180,       W::I16, -1,      0,        R::Constant},
    {P::Block1,    182,       W::U16, prmSPL,  0.2,      R::Real, kThousandths},
    {P::Block1,    184,       W::I32, prmBSL,  50,       R::Real, kThousandths},
    {P::Block1,    188,       W::I16, -1,      52,       R::Constant},
    {P::Block1,    190,       W::I16, -1,      50,       R::Constant},
    {P::Block1,    192,       W::I16, -1,      52,       R::Constant},
    {P::Block1,    194,       W::I16, -1,      50,       R::Constant},
    {P::Block1,    196,       W::U16, prmEFL,  3,        R::Real, kThousandths},
    {P::Block1,    198,       W::I16, -1,      2,        R::Constant},

    {P::Block2,    0,         W::I16, prmMD,   0,        R::Whole},
    {P::Block2,    4,         W::I32, prmIOR,  1.465,    R::GroupIndex, kMillionths, 3},
    {P::Block2,    20,        W::I16, -1,      8,        R::Constant, kOnes, 2},
    {P::Block2,    28,        W::I16, -1,      5,        R::Constant},
    {P::Block2,    32,        W::I32, -1,      40,       R::Constant},
    {P::Block2,    36,        W::I32, -1,      20,       R::Constant},
    {P::Block2,    40,        W::I32, -1,      10,       R::Constant},
    {P::Block2,    44,        W::I32, -1,      5,        R::Constant},
    {P::Block2,    48,        W::I32, -1,      2,        R::Constant},
    {P::Block2,    52,        W::I32, -1,      1,        R::Constant},
    {P::Block2,    56,        W::I32, -1,      160000,   R::Constant},
    {P::Block2,    62,        W::I32, -1,      50000,    R::Constant},
    {P::Block2,    66,        W::I32, -1,      156250,   R::Constant},
    {P::Block2,    70,        W::I32, -1,      65536,    R::Constant},
    {P::Block2,    76,        W::I32, -1,      -1,       R::Constant, kOnes, 5},
    {P::Block2,    118,       W::I16, prmFIL,  0,        R::WriteOnly},
    {P::Block2,    120,       W::I32, -1,      60274,    R::Constant},

    {P::Block8,    0,         W::I16, prmASU,  0,        R::Whole},
    {P::Block8,    2,         W::I16, prmFIL,  0,        R::Whole},
    {P::Block8,    4,         W::I16, prmNUM,  1,        R::TimeCode},
    {P::Block8,    6,         W::I16, prmDS,   0,        R::Whole},
    {P::Block8,    8,         W::I16, prmPC,   1,        R::Whole},
    {P::Block8,    10,        W::I16, prmAVE,  1,        R::Whole},
    {P::Block8,    12,        W::I16, prmLSA,  1,        R::WriteOnly},
    {P::Block8,    20,        W::I16, prmDM,   0,        R::Whole},
    {P::Block8,    26,        W::I16, prmYEA,  0,        R::Now},
    {P::Block8,    28,        W::U8,  prmMTH,  1,        R::Now},
    {P::Block8,    29,        W::U8,  prmDAY,  2,        R::Now},
    {P::Block8,    30,        W::U8,  prmHOU,  3,        R::Now},
    {P::Block8,    31,        W::U8,  prmMIN,  4,        R::Now},
    {P::Block8,    32,        W::I16, prmLD,   1,        R::Whole},
    {P::Block8,    34,        W::I16, prmGD,   1,        R::Whole},
    {P::Block8,    36,        W::I16, prmAVD,  1,        R::Whole},
    {P::Block8,    38,        W::I16, prmDOT,  1,        R::Whole},
    {P::Block8,    44,        W::I16, prmBEEP, 0,        R::ReadOnly},
    {P::Block8,    88,        W::I16, -1,      3,        R::Constant, kOnes, 2},
    {P::Block8,    92,        W::I16, prmRM,   0,        R::ReadOnly},
    {P::Block8,    94,        W::I16, prmAS,   0,        R::ReadOnly},
    {P::Block8,    96,        W::I16, -1,      6,        R::Constant},
    {P::Block8,    98,        W::U8,  -1,      '\\',     R::Constant},
    {P::Block8,    235,       W::I16, -1,      6,        R::Constant},
    {P::Block8,    237,       W::U8,  -1,      '\\',     R::Constant},
    {P::Block8,    374,       W::I16, -1,      1,        R::Constant},
    {P::Block8,    384,       W::I16, -1,      1,        R::Constant},
};
// clang-format on

size_t widthBytes(Width w) {
    switch (w) {
    case Width::U8:
        return 1;
    case Width::I16:
    case Width::U16:
        return 2;
    case Width::I32:
        return 4;
    }
    return 0;
}

void put(uint8_t* at, Width w, int64_t v) {
    switch (w) {
    case Width::U8:
        *at = static_cast<uint8_t>(v);
        break;
    case Width::I16:
        PutI16(at, static_cast<int16_t>(v));
        break;
    case Width::U16:
        PutU16(at, static_cast<uint16_t>(v));
        break;
    case Width::I32:
        PutI32(at, static_cast<int32_t>(v));
        break;
    }
}

int64_t get(const uint8_t* at, Width w) {
    switch (w) {
    case Width::U8:
        return *at;
    case Width::I16:
        return GetI16(at);
    case Width::U16:
        return GetU16(at);
    case Width::I32:
        return GetI32(at);
    }
    return 0;
}

// The field's bytes in the record (a const record gives const bytes).
template <class Record> auto placeOf(Record& r, const TField& f) {
    switch (f.Place) {
    case TPlace::Block1:
        return r.Block1.data() + f.Offset;
    case TPlace::Block2:
        return r.Block2.data() + f.Offset;
    case TPlace::Block8:
        return r.Block8.data() + f.Offset;
    case TPlace::TextIndex:
        break;
    }
    return r.TextIndex.data() + f.Offset;
}

// What encoding needs beyond the parameters.
struct TEncoding {
    const Encoder& Params;
    double K;           // the distance factor of the group index
    bool Trace;         // a TRA, not a Setup
    int64_t Samples;    // a TRA's sample count
    TDateTimeParts Now; // the defaults of the date fields
};

void writeField(const TField& f, const TEncoding& c, TTRARecord& r) {
    const Encoder& e = c.Params;
    uint8_t* at = placeOf(r, f);
    switch (f.Rule) {
    case TRule::Real:
    case TRule::Whole:
    case TRule::Truncated:
    case TRule::Rounded:
    case TRule::WriteOnly:
        e.field(at, f.Size, f.Param, f.Default, f.Unit.Step);
        break;
    case TRule::Positive:
        if (e.scaled(f.Param, f.Default, f.Unit.Step) <= 0) propertyTypeError();
        e.field(at, f.Size, f.Param, f.Default, f.Unit.Step);
        break;
    case TRule::ReadOnly:
        break;
    case TRule::Now: {
        const int parts[] = {c.Now.Year, c.Now.Month, c.Now.Day, c.Now.Hour, c.Now.Minute};
        e.field(at, f.Size, f.Param, parts[static_cast<int>(f.Default)]);
        break;
    }
    case TRule::Constant:
        for (size_t i = 0; i < f.Count; ++i)
            put(at + i * widthBytes(f.Size), f.Size, static_cast<int64_t>(f.Default));
        break;
    case TRule::Attenuator: {
        const int64_t step = e.scaled(f.Param, f.Default, 1);
        if (step < 0 || step > 18) propertyTypeError();
        PutU16(at, static_cast<uint16_t>(Round(static_cast<double>(step) * 1.25 / 0.001)));
        break;
    }
    case TRule::Exponent: {
        int exponent = 0;
        std::frexp(e.number(f.Param, f.Default), &exponent);
        PutI16(at, static_cast<int16_t>(exponent - 1));
        break;
    }
    case TRule::TimeCode:
        // The code follows the whole count (a count of 65536 is not 0 averages).
        PutI16(at, static_cast<int16_t>(averagingTimeCode(e.scaled(f.Param, f.Default, 1))));
        break;
    case TRule::SampleCount:
        if (c.Trace)
            PutU16(at, static_cast<uint16_t>(c.Samples));
        else
            e.field(at, f.Size, f.Param, f.Default, f.Unit.Step);
        break;
    case TRule::GroupIndex:
        for (size_t i = 0; i < f.Count; ++i)
            e.field(at + i * widthBytes(f.Size), f.Size, f.Param, f.Default, f.Unit.Step);
        break;
    case TRule::Cursor:
    case TRule::Reference:
        PutI32(at, e.time(f.Param, f.Default, c.K));
        break;
    case TRule::Markers:
        e.markers(at, f.Param, c.K);
        break;
    case TRule::Choice: {
        const int64_t v = e.scaled(f.Param, f.Default, 1);
        if (v < 0 || v > f.Count) propertyTypeError();
        *at = static_cast<uint8_t>(v);
        break;
    }
    case TRule::Approximation:
        *at = e.scaled(f.Param, f.Default, 1) == 0 ? 1 : 0;
        break;
    }
}

// The group index of a record: the first of its fields (the second first) above 1.
std::optional<double> readGroupIndex(const TTRARecord& r, const TField& f) {
    const uint8_t* at = placeOf(r, f);
    for (size_t i : {size_t(1), size_t(0), size_t(2)}) {
        const int32_t v = GetI32(at + 4 * i);
        if (v > 1000000) return v / 1000000.0;
    }
    return std::nullopt;
}

bool hasReading(TRule rule) {
    switch (rule) {
    case TRule::WriteOnly:
    case TRule::Constant:
    case TRule::TimeCode:
    case TRule::SampleCount:
    case TRule::Choice:
        return false;
    default:
        return true;
    }
}

void readField(const TField& f, const TTRARecord& r, double k, TParamBlock& p) {
    if (!hasReading(f.Rule)) return;
    const uint8_t* at = placeOf(r, f);
    TVariant& out = p[static_cast<size_t>(f.Param)];
    const auto position = [&](int32_t time) { return time >= 0 ? time / 1000.0 * k : -1.0; };
    switch (f.Rule) {
    case TRule::Real:
    case TRule::Positive:
        out = TVariant(static_cast<double>(get(at, f.Size)) / f.Unit.PerValue);
        break;
    case TRule::Whole:
    case TRule::ReadOnly:
    case TRule::Now:
        out = TVariant(static_cast<int32_t>(get(at, f.Size)));
        break;
    case TRule::Truncated:
        out = TVariant(static_cast<int32_t>(get(at, f.Size) / static_cast<int64_t>(f.Unit.PerValue)));
        break;
    case TRule::Rounded:
        out = TVariant(static_cast<int32_t>(Round(static_cast<double>(get(at, f.Size)) / f.Unit.PerValue)));
        break;
    case TRule::Attenuator:
        out = TVariant(static_cast<int32_t>(get(at, f.Size) / 1250));
        break;
    case TRule::Exponent: {
        const double averages = std::ldexp(1.0, static_cast<int>(get(at, f.Size)));
        if (!std::isfinite(averages)) throw EInvalidDataFormat("");
        out = TVariant(averages);
        break;
    }
    case TRule::GroupIndex: {
        const std::optional<double> n = readGroupIndex(r, f);
        out = n ? TVariant(*n) : TVariant(TCurrency::FromDouble(kDefaultGroupIndex));
        break;
    }
    case TRule::Cursor:
        out = TVariant(position(GetI32(at)));
        break;
    case TRule::Reference:
        out = TVariant(GetI32(at) / 1000.0 * k);
        break;
    case TRule::Markers: {
        TVariant m = TVariant::DoubleArray(1, 3, -1.0);
        for (int i = 0; i < 3; ++i)
            m.SetElement(i + 1, position(GetI32(at + 4 * static_cast<size_t>(i))));
        out = m;
        break;
    }
    case TRule::Approximation:
        out = TVariant(int32_t(*at == 0 ? 1 : 0));
        break;
    default:
        break;
    }
}

const TField& groupIndexField() {
    for (const TField& f : kFields)
        if (f.Rule == TRule::GroupIndex) return f;
    throw EConvertError(kMsgTRAPropertyType);
}

} // namespace

double TRADistanceFactor(double groupIndex) {
    auto k = SafeDivide(2.99792, 2.0 * groupIndex);
    if (!k) throw EConvertError(kMsgTRAPropertyType);
    return *k;
}

void SetDefaultParams(TParamBlock& p) {
    p.assign(kParamCount, TVariant());
    const TDateTimeParts now = DecodeDateTime(Now());
    auto set = [&](int i, TVariant v) { p[static_cast<size_t>(i)] = std::move(v); };
    set(prmASU, int32_t(0));
    set(prmLAM, int32_t(1310));
    set(prmR, int32_t(5));
    set(prmPW, int32_t(10));
    set(prmIOR, TCurrency::FromDouble(1.465));
    set(prmAT, int32_t(5));
    set(prmFIL, int32_t(0));
    set(prmNUM, int32_t(4096));
    set(prmDS, int32_t(0));
    set(prmPC, int32_t(1));
    set(prmAVE, int32_t(1));
    set(prmSPL, TCurrency::FromDouble(0.2));
    set(prmBSL, int32_t(50));
    set(prmEFL, int32_t(3));
    set(prmLSA, int32_t(1));
    set(prmDM, int32_t(0));
    set(prmYEA, int32_t(now.Year));
    set(prmMTH, int32_t(now.Month));
    set(prmDAY, int32_t(now.Day));
    set(prmHOU, int32_t(now.Hour));
    set(prmMIN, int32_t(now.Minute));
    set(prmLD, int32_t(1));
    set(prmGD, int32_t(1));
    set(prmAVD, int32_t(1));
    set(prmDOT, int32_t(1));
    set(prmRM, int32_t(0));
    set(prmAS, int32_t(0));
    set(prmM, TVariant::DoubleArray(1, 3, -1.0));
    set(prmY, TVariant::DoubleArray(1, 3, -1.0));
    set(prmREF, int32_t(-1));
    set(prmFF, int32_t(0));
    set(prmST, int32_t(0));
    set(prmH, int32_t(6));
    set(prmCU, int32_t(-1));
    set(prmSRQ, int32_t(0));
    set(prmRESR, int32_t(4));
}

std::unique_ptr<TTRARecord> ParamsToTRARecord(TTRAKind kind, const TDataStruct* params,
                                              const TDataStruct* samples) {
    return TRAGuard([&] {
        const bool trace = kind == TTRAKind::Trace;
        const Encoder e(params);

        // The samples first: the layout's limits are what a large trace runs into.
        int64_t n = 0;
        if (trace && samples && samples->Data && samples->Size > 0) n = samples->Size / kSampleSize;
        if (n > kTRAMaxSamples) throw ETRALimitError(FormatS(kMsgTRATooManySamples, std::to_string(n)));
        auto r = std::make_unique<TTRARecord>(kind, static_cast<int32_t>(2 * n));
        if (trace) {
            const auto* bytes = static_cast<const uint8_t*>(samples ? samples->Data : nullptr);
            for (int64_t i = 0; i < n; ++i) {
                double level;
                std::memcpy(&level, bytes + i * kSampleSize, sizeof level);
                auto v = RoundToInt64(level * 1000.0);
                if (!v || *v < 0 || *v > UINT16_MAX)
                    throw ETRALimitError(
                        FormatS(kMsgTRALevelRange, formatNumber(level), std::to_string(i + 1)));
                PutU16(r->Block3.data() + 2 * i, static_cast<uint16_t>(*v));
            }
        }

        // The distance factor needs a group index that is set and not zero.
        if (!e.param(prmIOR).IsSet()) propertyTypeError();
        const TEncoding c{e, TRADistanceFactor(e.number(prmIOR, 0)), trace, n, DecodeDateTime(Now())};

        r->Comment = e.text(prmL, "0");
        for (const TField& f : kFields)
            writeField(f, c, *r);

        if (trace) {
            const TVariant& texts = e.param(prmEN);
            if (texts.IsSet() && texts.IsArray()) {
                const int lo = texts.LowBound(), hi = texts.HighBound();
                for (int i = 1; i <= kTRATextCount; ++i) {
                    if (i < lo || i > hi) continue;
                    const TVariant element = texts.Element(i);
                    if (!element.IsSet()) continue;
                    try {
                        r->Texts[static_cast<size_t>(i - 1)] = Encoder::fileText(element.AsText());
                    } catch (const EVariantError&) {
                        propertyTypeError();
                    }
                }
            }
        }
        return r;
    });
}

void TRARecordToParams(const TTRARecord& r, PDataStruct& params, PDataStruct* samples) {
    TRAGuard([&] {
        PDataStruct out = MakeParamBlock();
        TParamBlock& p = *out->Params();
        SetDefaultParams(p);
        // Positions need the group index: a record without one is read at the store's 1.48.
        const double k = TRADistanceFactor(readGroupIndex(r, groupIndexField()).value_or(kDefaultGroupIndex));
        for (const TField& f : kFields)
            readField(f, r, k, p);
        p[prmL] = TVariant(Cp1251ToUtf8(r.Comment));
        p[prmST] = TVariant(int32_t(0));
        p[prmSRQ] = TVariant(int32_t(0));

        PDataStruct outSamples;
        if (samples) {
            bool anyText = false;
            for (const std::string& t : r.Texts)
                anyText = anyText || !t.empty();
            if (anyText) {
                TVariant texts = TVariant::VariantArray(1, kTRATextCount);
                for (int i = 0; i < kTRATextCount; ++i)
                    texts.SetElement(i + 1, TVariant(Cp1251ToUtf8(r.Texts[static_cast<size_t>(i)])));
                p[prmEN] = texts;
            }
            const auto n = static_cast<int32_t>(r.Block3.size() / 2);
            outSamples = MakeUnfilledSampleBlock(n);
            double* levels = outSamples->MutableSamples();
            for (int32_t i = 0; i < n; ++i)
                levels[i] = GetU16(r.Block3.data() + 2 * i) / 1000.0;
        }
        params = std::move(out);
        if (samples) *samples = std::move(outSamples);
    });
}

std::string WithDefaultExtension(const std::string& fileName, const std::string& extension) {
    if (fileName.empty() || !PathExtension(fileName).empty()) return fileName;
    return fileName + extension;
}

// ---------------------------------------------------------------------------------------------
// TTRAConverter

namespace {
struct DialogTexts {
    const char* Title;
    const char* Filter;
};
const DialogTexts kOpenTrace{"Открыть файл TRA", "Файлы TRA (*.tra)|*.tra|Все файлы|*.*"};
const DialogTexts kSaveTrace{"Сохранить файл TRA", "Файлы TRA (*.tra)|*.tra|Все файлы|*.*"};
const DialogTexts kOpenSetup{"Открыть файл настроек", "Файлы настроек (*.set)|*.set|Все фаайлы|*.*"};
const DialogTexts kSaveSetup{"Сохранить файл настроек", "Файлы настроек (*.set)|*.set|Все файлы|*.*"};

const char* extensionOf(TTRAKind kind) {
    return kind == TTRAKind::Setup ? ".set" : ".tra";
}

// What a record or image given to the converter must be; anything else is "no structure".
template <class T> const T* structOf(const TFormatRecord* given, TTRAKind kind, const char* name) {
    const T* s = dynamic_cast<const T*>(given);
    if (!s || s->Kind != kind) throw EInvalidDataFormat(std::string(kMsgTRANullPointer) + name);
    return s;
}

// Makes `fileName` the current name in `slot` and runs `operation`; a false answer or an
// exception restores the previous name.
template <class F>
bool withCurrentName(std::string& slot, const std::string& fileName, const char* extension, F&& operation) {
    const std::string previous = slot;
    slot = WithDefaultExtension(fileName, extension);
    bool ok = false;
    try {
        ok = operation();
    } catch (...) {
        slot = previous;
        throw;
    }
    if (!ok) slot = previous;
    return ok;
}
} // namespace

template <class F> bool TTRAConverter::guarded(F&& body) {
    try {
        return body();
    } catch (...) {
        if (m_raiseErrors) throw;
        return false;
    }
}

bool TTRAConverter::askFileName(TTRAKind kind, bool save, std::string& name) {
    const DialogTexts& t =
        kind == TTRAKind::Setup ? (save ? kSaveSetup : kOpenSetup) : (save ? kSaveTrace : kOpenTrace);
    TFileDialogRequest request;
    request.Save = save;
    request.Title = t.Title;
    request.Filter = t.Filter;
    request.FilterIndex = 1;
    request.DefaultExt = extensionOf(kind) + 1;
    request.OverwritePrompt = save;
    request.HelpButton = true;
    request.HideReadOnly = true;
    std::vector<std::string> files;
    if (!Prompts().FileDialog(request, files) || files.empty() || files.front().empty()) return false;
    name = files.front();
    return true;
}

bool TTRAConverter::save(TTRAKind kind, const TDataStruct* params, const TDataStruct* samples) {
    std::string& name = nameOf(kind);
    bool fromDialog = false;
    if (name.empty()) {
        std::string chosen;
        if (!askFileName(kind, true, chosen)) return false;
        name = WithDefaultExtension(chosen, extensionOf(kind));
        fromDialog = true;
    }
    try {
        // Encoded before the file is touched: a refused trace writes nothing.
        std::unique_ptr<TTRARecord> record = ParamsToTRARecord(kind, params, samples);
        const size_t size = TRAImageSize(*record);
        WriteFileMapped(name, size, [&](uint8_t* view) { LayOutTRAImage(*record, view, size); });
        return true;
    } catch (...) {
        if (fromDialog) name.clear();
        if (m_raiseErrors) throw;
        return false;
    }
}

bool TTRAConverter::load(TTRAKind kind, PDataStruct& params, PDataStruct* samples) {
    params.reset();
    if (samples) samples->reset();
    std::string& name = nameOf(kind);
    bool fromDialog = false;
    if (name.empty()) {
        std::string chosen;
        if (!askFileName(kind, false, chosen)) return false;
        name = WithDefaultExtension(chosen, extensionOf(kind));
        fromDialog = true;
    }
    try {
        const std::vector<uint8_t> bytes = ReadFileMapped(name);
        std::unique_ptr<TTRAImage> image = ReadTRAImage(kind, bytes.data(), bytes.size());
        std::unique_ptr<TTRARecord> record = TRAImageToRecord(*image);
        TRARecordToParams(*record, params, samples);
        return true;
    } catch (...) {
        params.reset();
        if (samples) samples->reset();
        if (fromDialog) name.clear();
        if (m_raiseErrors) throw;
        return false;
    }
}

bool TTRAConverter::fromBuffer(TTRAKind kind, const uint8_t* buffer, size_t length, PDataStruct& params,
                               PDataStruct* samples) {
    params.reset();
    if (samples) samples->reset();
    if (!buffer) return false;
    std::unique_ptr<TTRAImage> image = ReadTRAImage(kind, buffer, length); // raises whatever the switch
    return guarded([&] {
        std::unique_ptr<TTRARecord> record = TRAImageToRecord(*image);
        try {
            TRARecordToParams(*record, params, samples);
        } catch (...) {
            params.reset();
            if (samples) samples->reset();
            throw;
        }
        nameOf(kind).clear();
        return true;
    });
}

bool TTRAConverter::toBuffer(TTRAKind kind, const TDataStruct* params, const TDataStruct* samples,
                             int32_t& size, std::vector<uint8_t>& buffer) {
    size = 0;
    buffer.clear();
    return guarded([&] {
        try {
            std::unique_ptr<TTRARecord> record = ParamsToTRARecord(kind, params, samples);
            std::vector<uint8_t> bytes(TRAImageSize(*record));
            LayOutTRAImage(*record, bytes.data(), bytes.size());
            size = static_cast<int32_t>(bytes.size());
            buffer = std::move(bytes);
        } catch (...) {
            size = 0;
            buffer.clear();
            throw;
        }
        return true;
    });
}

bool TTRAConverter::makeRecord(TTRAKind kind, const TDataStruct* params, const TDataStruct* samples,
                               bool defaults, bool asImage, PFormatRecord& out) {
    return guarded([&] {
        PDataStruct defaultParams, placeholder;
        if (defaults) {
            defaultParams = MakeParamBlock();
            TRAGuard([&] { SetDefaultParams(*defaultParams->Params()); });
            params = defaultParams.get();
            if (kind == TTRAKind::Trace) {
                placeholder = MakeSampleBlock(kTRAPlaceholderSampleBytes / kSampleSize);
                samples = placeholder.get();
            }
        }
        std::unique_ptr<TTRARecord> record = ParamsToTRARecord(kind, params, samples);
        if (asImage)
            out = TRARecordToImage(*record);
        else
            out = std::move(record);
        return true;
    });
}

bool TTRAConverter::recordToParams(TTRAKind kind, const TFormatRecord* given, bool isImage,
                                   PDataStruct& params, PDataStruct* samples) {
    return guarded([&] {
        PDataStruct p, s;
        TRAGuard([&] {
            const bool setup = kind == TTRAKind::Setup;
            if (isImage) {
                const auto* image =
                    structOf<TTRAImage>(given, kind, setup ? "PSetupStructPhis" : "PTRAStructPhis");
                TRARecordToParams(*TRAImageToRecord(*image), p, samples ? &s : nullptr);
            } else {
                const auto* record = structOf<TTRARecord>(given, kind, setup ? "PSetupStruct" : "PTRAStruct");
                TRARecordToParams(*record, p, samples ? &s : nullptr);
            }
        });
        params = std::move(p);
        if (samples) *samples = std::move(s);
        return true;
    });
}

bool TTRAConverter::SaveTrace(const TDataStruct* params, const TDataStruct* samples) {
    return save(TTRAKind::Trace, params, samples);
}

bool TTRAConverter::SaveTraceAs(const TDataStruct* params, const TDataStruct* samples,
                                const std::string& fileName) {
    return withCurrentName(m_traceFileName, fileName, ".tra", [&] { return SaveTrace(params, samples); });
}

bool TTRAConverter::TraceToBuffer(const TDataStruct* params, const TDataStruct* samples, int32_t& size,
                                  std::vector<uint8_t>& buffer) {
    return toBuffer(TTRAKind::Trace, params, samples, size, buffer);
}

bool TTRAConverter::LoadTrace(PDataStruct& params, PDataStruct& samples) {
    return load(TTRAKind::Trace, params, &samples);
}

bool TTRAConverter::LoadTraceFrom(PDataStruct& params, PDataStruct& samples, const std::string& fileName) {
    return withCurrentName(m_traceFileName, fileName, ".tra", [&] { return LoadTrace(params, samples); });
}

bool TTRAConverter::TraceFromBuffer(const uint8_t* buffer, size_t length, PDataStruct& params,
                                    PDataStruct& samples) {
    return fromBuffer(TTRAKind::Trace, buffer, length, params, &samples);
}

bool TTRAConverter::SaveSetup(const TDataStruct* params) {
    return save(TTRAKind::Setup, params, nullptr);
}

bool TTRAConverter::SaveSetupAs(const TDataStruct* params, const std::string& fileName) {
    return withCurrentName(m_setupFileName, fileName, ".set", [&] { return SaveSetup(params); });
}

bool TTRAConverter::SetupToBuffer(const TDataStruct* params, int32_t& size, std::vector<uint8_t>& buffer) {
    return toBuffer(TTRAKind::Setup, params, nullptr, size, buffer);
}

bool TTRAConverter::LoadSetup(PDataStruct& params) {
    return load(TTRAKind::Setup, params, nullptr);
}

bool TTRAConverter::LoadSetupFrom(PDataStruct& params, const std::string& fileName) {
    return withCurrentName(m_setupFileName, fileName, ".set", [&] { return LoadSetup(params); });
}

bool TTRAConverter::SetupFromBuffer(const uint8_t* buffer, size_t length, PDataStruct& params) {
    return fromBuffer(TTRAKind::Setup, buffer, length, params, nullptr);
}

bool TTRAConverter::NewParams(PDataStruct& params) {
    const bool made = !params;
    try {
        TRAGuard([&] {
            if (made) params = MakeParamBlock();
            if (!params->Params()) {
                PDataStruct block = MakeParamBlock();
                params->Data = block->Data;
                params->Kind = TDataKind::Params;
                params->Holder = block->Holder;
            }
            params->Size = kParamBlockSize;
            SetDefaultParams(*params->Params());
        });
        return true;
    } catch (...) {
        if (params && params->Params()) params->Params()->assign(kParamCount, TVariant());
        if (made) params.reset();
        if (m_raiseErrors) throw;
        return false;
    }
}

bool TTRAConverter::NewSetupRecord(PFormatRecord& record) {
    return makeRecord(TTRAKind::Setup, nullptr, nullptr, true, false, record);
}
bool TTRAConverter::NewSetupImage(PFormatRecord& image) {
    return makeRecord(TTRAKind::Setup, nullptr, nullptr, true, true, image);
}
bool TTRAConverter::NewTraceRecord(PFormatRecord& record) {
    return makeRecord(TTRAKind::Trace, nullptr, nullptr, true, false, record);
}
bool TTRAConverter::NewTraceImage(PFormatRecord& image) {
    return makeRecord(TTRAKind::Trace, nullptr, nullptr, true, true, image);
}
bool TTRAConverter::ParamsToSetupRecord(const TDataStruct* params, PFormatRecord& record) {
    return makeRecord(TTRAKind::Setup, params, nullptr, false, false, record);
}
bool TTRAConverter::ParamsToSetupImage(const TDataStruct* params, PFormatRecord& image) {
    return makeRecord(TTRAKind::Setup, params, nullptr, false, true, image);
}
bool TTRAConverter::SetupRecordToParams(const TFormatRecord* record, PDataStruct& params) {
    return recordToParams(TTRAKind::Setup, record, false, params, nullptr);
}
bool TTRAConverter::SetupImageToParams(const TFormatRecord* image, PDataStruct& params) {
    return recordToParams(TTRAKind::Setup, image, true, params, nullptr);
}
bool TTRAConverter::FreeSetupRecord(PFormatRecord& record, bool isImage) {
    record.reset();
    return true;
}
bool TTRAConverter::ParamsToTraceRecord(const TDataStruct* params, const TDataStruct* samples,
                                        PFormatRecord& record) {
    return makeRecord(TTRAKind::Trace, params, samples, false, false, record);
}
bool TTRAConverter::ParamsToTraceImage(const TDataStruct* params, const TDataStruct* samples,
                                       PFormatRecord& image) {
    return makeRecord(TTRAKind::Trace, params, samples, false, true, image);
}
bool TTRAConverter::TraceRecordToParams(const TFormatRecord* record, PDataStruct& params,
                                        PDataStruct& samples) {
    return recordToParams(TTRAKind::Trace, record, false, params, &samples);
}
bool TTRAConverter::TraceImageToParams(const TFormatRecord* image, PDataStruct& params,
                                       PDataStruct& samples) {
    return recordToParams(TTRAKind::Trace, image, true, params, &samples);
}
bool TTRAConverter::FreeTraceRecord(PFormatRecord& record, bool isImage) {
    record.reset();
    return true;
}

void RegisterTRAFormat() {
    RegisterFileFormat("TRA", FileFormatClassOf<TTRAConverter>());
}

} // namespace lv
