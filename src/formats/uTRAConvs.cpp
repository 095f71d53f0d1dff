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

// --- offsets inside the blocks (image offsets)
namespace b1 {
constexpr size_t Wavelength = 12, Pulse = 14, Attenuation = 16, Count = 18, Range = 20, Origin = 32,
                 Spacing = 36, AverageExp = 44, Cursor = 52, Markers = 56, YMarkers = 68, Reference = 164,
                 Splice = 182, Backscatter = 184, EndOfFibre = 196;
}
namespace b2 {
constexpr size_t Setting112 = 0, GroupIndex = 4, Filter = 118;
}
namespace b8 {
constexpr size_t Setting1 = 0, Filter = 2, TimeCode = 4, Rate = 6, Setting10 = 8, Average = 10, Approx = 12,
                 Setting20 = 20, Year = 26, Month = 28, Day = 29, Hour = 30, Minute = 31, Setting29 = 32,
                 Setting30 = 34, Setting31 = 36, Display = 38, Beep = 44, Setting43 = 92, Setting44 = 94;
}

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
            throw ETRALimitError(
                FormatS(kMsgTRAFieldRange, formatNumber(number(index, def)), std::to_string(index),
                        formatNumber(static_cast<double>(lo) * scale), formatNumber(static_cast<double>(hi) * scale)));
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

    // A position in metres (default -1) as a time; a failure writes -1.
    int32_t time(int index, double k) const {
        try {
            auto t = metresToTime(number(index, -1), k);
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

void putRepeated(uint8_t* at, int32_t value, int count) {
    for (int i = 0; i < count; ++i)
        PutI32(at + 4 * i, value);
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
        if (n > kTRAMaxSamples)
            throw ETRALimitError(FormatS(kMsgTRATooManySamples, std::to_string(n)));
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
        const double k = TRADistanceFactor(e.number(prmIOR, 0));

        r->Comment = e.text(prmL, "0");

        uint8_t* p1 = r->Block1.data();
        r->TextIndex[btFirst] = 0;
        r->TextIndex[btSecond] = 0;
        const int64_t average = e.scaled(prmAVE, 1, 1);
        if (average < 0 || average > 2) propertyTypeError();
        r->TextIndex[btAverage] = static_cast<uint8_t>(average);
        e.field(p1 + b1::Wavelength, Width::I16, prmLAM, 1310, 0.1);
        if (e.scaled(prmPW, 10, 0.1) <= 0) propertyTypeError();
        e.field(p1 + b1::Pulse, Width::I16, prmPW, 10, 0.1);
        const int64_t step = e.scaled(prmAT, 1, 1);
        if (step < 0 || step > 18) propertyTypeError();
        PutU16(p1 + b1::Attenuation, static_cast<uint16_t>(Round(static_cast<double>(step) * 1.25 / 0.001)));
        if (trace)
            PutU16(p1 + b1::Count, static_cast<uint16_t>(n));
        else
            e.field(p1 + b1::Count, Width::I16, prmDNR, 5000, 0.5);
        e.field(p1 + b1::Range, Width::I32, prmR, 5, 1e-6);
        PutI32(p1 + 24, 5000);
        PutI32(p1 + 28, 20000000);
        e.field(p1 + b1::Origin, Width::I32, prmDU, 0, 1e-6);
        e.field(p1 + b1::Spacing, Width::I32, prmRESR, 4, 1e-4);
        const int64_t rate = e.scaled(prmDS, 0, 1);
        if (rate < 0 || rate > 1) propertyTypeError();
        r->TextIndex[btRate] = static_cast<uint8_t>(rate);
        int exponent = 0;
        std::frexp(e.number(prmNUM, 4096), &exponent);
        PutI16(p1 + b1::AverageExp, static_cast<int16_t>(exponent - 1));
        PutI16(p1 + 46, 10);
        PutI16(p1 + 48, 10);
        PutI16(p1 + 50, 10);
        PutI32(p1 + b1::Cursor, e.time(prmCU, k));
        e.markers(p1 + b1::Markers, prmM, k);
        e.markers(p1 + b1::YMarkers, prmY, k);
        putRepeated(p1 + 80, -1, 21);
        PutI32(p1 + b1::Reference, e.time(prmREF, k));
        PutI32(p1 + 168, -1);
        PutI32(p1 + 172, -1);
        r->TextIndex[btApprox] = e.scaled(prmLSA, 0, 1) == 0 ? 1 : 0; // "TPA" : "LSA"
        PutI16(p1 + 180, 0);
        e.field(p1 + b1::Splice, Width::U16, prmSPL, 0.2, 0.001);
        e.field(p1 + b1::Backscatter, Width::I32, prmBSL, 50, 0.001);
        PutI16(p1 + 188, 52);
        PutI16(p1 + 190, 50);
        PutI16(p1 + 192, 52);
        PutI16(p1 + 194, 50);
        e.field(p1 + b1::EndOfFibre, Width::U16, prmEFL, 3, 0.001);
        PutI16(p1 + 198, 2);

        uint8_t* p2 = r->Block2.data();
        e.field(p2 + b2::Setting112, Width::I16, prmMD, 0);
        for (size_t off : {b2::GroupIndex, b2::GroupIndex + 4, b2::GroupIndex + 8})
            e.field(p2 + off, Width::I32, prmIOR, 1.465, 1e-6);
        PutI16(p2 + 20, 8);
        PutI16(p2 + 22, 8);
        PutI16(p2 + 28, 5);
        const int32_t block2Ints[] = {40, 20, 10, 5, 2, 1, 160000};
        for (size_t i = 0; i < 7; ++i)
            PutI32(p2 + 32 + 4 * i, block2Ints[i]);
        PutI32(p2 + 62, 50000);
        PutI32(p2 + 66, 156250);
        PutI32(p2 + 70, 65536);
        putRepeated(p2 + 76, -1, 5);
        e.field(p2 + b2::Filter, Width::I16, prmFIL, 0);
        PutI32(p2 + 120, 60274);

        uint8_t* p8 = r->Block8.data();
        const TDateTimeParts now = DecodeDateTime(Now());
        e.field(p8 + b8::Setting1, Width::I16, prmASU, 0);
        e.field(p8 + b8::Filter, Width::I16, prmFIL, 0);
        // The code follows the whole count (a count of 65536 is not 0 averages).
        PutI16(p8 + b8::TimeCode, static_cast<int16_t>(averagingTimeCode(e.scaled(prmNUM, 1, 1))));
        e.field(p8 + b8::Rate, Width::I16, prmDS, 0);
        e.field(p8 + b8::Setting10, Width::I16, prmPC, 1);
        e.field(p8 + b8::Average, Width::I16, prmAVE, 1);
        e.field(p8 + b8::Approx, Width::I16, prmLSA, 0);
        e.field(p8 + b8::Setting20, Width::I16, prmDM, 0);
        e.field(p8 + b8::Year, Width::I16, prmYEA, now.Year);
        e.field(p8 + b8::Month, Width::U8, prmMTH, now.Month);
        e.field(p8 + b8::Day, Width::U8, prmDAY, now.Day);
        e.field(p8 + b8::Hour, Width::U8, prmHOU, now.Hour);
        e.field(p8 + b8::Minute, Width::U8, prmMIN, now.Minute);
        e.field(p8 + b8::Setting29, Width::I16, prmLD, 1);
        e.field(p8 + b8::Setting30, Width::I16, prmGD, 1);
        e.field(p8 + b8::Setting31, Width::I16, prmAVD, 1);
        e.field(p8 + b8::Display, Width::I16, prmDOT, 1);
        PutI16(p8 + 88, 3);
        PutI16(p8 + 90, 3);
        PutI16(p8 + 96, 6);
        p8[98] = '\\';
        PutI16(p8 + 235, 6);
        p8[237] = '\\';
        PutI16(p8 + 374, 1);
        PutI16(p8 + 384, 1);

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
        const uint8_t* p1 = r.Block1.data();
        const uint8_t* p2 = r.Block2.data();
        const uint8_t* p8 = r.Block8.data();
        auto set = [&](int i, TVariant v) { p[static_cast<size_t>(i)] = std::move(v); };
        auto i16 = [](const uint8_t* at) { return TVariant(int32_t(GetI16(at))); };
        auto u8 = [](const uint8_t* at) { return TVariant(int32_t(*at)); };

        set(prmASU, i16(p8 + b8::Setting1));
        set(prmLAM, int32_t(GetI16(p1 + b1::Wavelength) / 10));
        set(prmR, int32_t(Round(GetI32(p1 + b1::Range) / 1000000.0)));
        set(prmPW, GetI16(p1 + b1::Pulse) / 10.0);
        std::optional<double> groupIndex;
        for (size_t off : {b2::GroupIndex + 4, b2::GroupIndex, b2::GroupIndex + 8}) {
            const int32_t v = GetI32(p2 + off);
            if (v > 1000000) {
                groupIndex = v / 1000000.0;
                break;
            }
        }
        if (groupIndex)
            set(prmIOR, *groupIndex);
        else
            set(prmIOR, TCurrency::FromDouble(1.48));
        const double k = TRADistanceFactor(groupIndex.value_or(1.48));
        set(prmAT, int32_t(GetU16(p1 + b1::Attenuation) / 1250));
        set(prmFIL, i16(p8 + b8::Filter));
        const double averages = std::ldexp(1.0, GetI16(p1 + b1::AverageExp));
        if (!std::isfinite(averages)) throw EInvalidDataFormat("");
        set(prmNUM, averages);
        set(prmDS, i16(p8 + b8::Rate));
        set(prmPC, i16(p8 + b8::Setting10));
        set(prmAVE, i16(p8 + b8::Average));
        set(prmSPL, GetU16(p1 + b1::Splice) / 1000.0);
        set(prmBSL, GetI32(p1 + b1::Backscatter) / 1000.0);
        set(prmEFL, GetU16(p1 + b1::EndOfFibre) / 1000.0);
        set(prmLSA, int32_t(r.TextIndex[btApprox] == 0 ? 1 : 0));
        set(prmDM, i16(p8 + b8::Setting20));
        set(prmYEA, i16(p8 + b8::Year));
        set(prmMTH, u8(p8 + b8::Month));
        set(prmDAY, u8(p8 + b8::Day));
        set(prmHOU, u8(p8 + b8::Hour));
        set(prmMIN, u8(p8 + b8::Minute));
        set(prmLD, i16(p8 + b8::Setting29));
        set(prmGD, i16(p8 + b8::Setting30));
        set(prmAVD, i16(p8 + b8::Setting31));
        set(prmDOT, i16(p8 + b8::Display));
        set(prmBEEP, i16(p8 + b8::Beep));
        set(prmRM, i16(p8 + b8::Setting43));
        set(prmAS, i16(p8 + b8::Setting44));
        auto position = [&](int32_t time) { return time >= 0 ? time / 1000.0 * k : -1.0; };
        TVariant m = TVariant::DoubleArray(1, 3, -1.0), y = TVariant::DoubleArray(1, 3, -1.0);
        for (int i = 0; i < 3; ++i) {
            m.SetElement(i + 1, position(GetI32(p1 + b1::Markers + 4 * static_cast<size_t>(i))));
            y.SetElement(i + 1, position(GetI32(p1 + b1::YMarkers + 4 * static_cast<size_t>(i))));
        }
        set(prmM, m);
        set(prmY, y);
        set(prmL, Cp1251ToUtf8(r.Comment));
        set(prmREF, GetI32(p1 + b1::Reference) / 1000.0 * k);
        set(prmST, int32_t(0));
        set(prmDU, GetI32(p1 + b1::Origin) / 1000000.0);
        set(prmCU, position(GetI32(p1 + b1::Cursor)));
        set(prmMD, i16(p2 + b2::Setting112));
        set(prmSRQ, int32_t(0));
        set(prmRESR, GetI32(p1 + b1::Spacing) / 10000.0);

        PDataStruct outSamples;
        if (samples) {
            bool anyText = false;
            for (const std::string& t : r.Texts)
                anyText = anyText || !t.empty();
            if (anyText) {
                TVariant texts = TVariant::VariantArray(1, kTRATextCount);
                for (int i = 0; i < kTRATextCount; ++i)
                    texts.SetElement(i + 1, TVariant(Cp1251ToUtf8(r.Texts[static_cast<size_t>(i)])));
                set(prmEN, texts);
            }
            const auto n = static_cast<int32_t>(r.Block3.size() / 2);
            outSamples = MakeSampleBlock(n);
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
