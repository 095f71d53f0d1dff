#include "trace/Variant.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "trace/Errors.h"
#include "trace/Numeric.h"

namespace lv {

namespace {
const char* typeName(TVarType t) {
    switch (t) {
    case TVarType::Empty: return "Empty";
    case TVarType::Null: return "Null";
    case TVarType::Integer: return "Integer";
    case TVarType::Double: return "Double";
    case TVarType::Currency: return "Currency";
    case TVarType::Text: return "String";
    case TVarType::Array: return "Array";
    }
    return "Unknown";
}

[[noreturn]] void conversionError(TVarType from, const char* to) {
    throw EVariantError(std::string("Could not convert variant of type (") + typeName(from) + ") into type (" +
                        to + ")");
}

[[noreturn]] void indexError() { throw EVariantError("Variant or safe array index out of bounds"); }
[[noreturn]] void notArrayError() { throw EVariantError("Variant is not an array"); }
} // namespace

int TVarArray::Count() const { return OfDoubles ? static_cast<int>(Doubles.size()) : static_cast<int>(Items.size()); }

TCurrency TCurrency::FromDouble(double v) {
    auto r = RoundToInt64(v * 10000.0);
    if (!r) throw EVariantError("Could not convert variant of type (Double) into type (Currency)");
    return TCurrency{*r};
}

TVariant TVariant::Null() {
    TVariant v;
    v.m_type = TVarType::Null;
    return v;
}

TVariant TVariant::DoubleArray(int low, int high, double fill) {
    TVariant v;
    v.m_type = TVarType::Array;
    v.m_array = std::make_shared<TVarArray>();
    v.m_array->LowBound = low;
    v.m_array->OfDoubles = true;
    if (high >= low) v.m_array->Doubles.assign(static_cast<size_t>(high - low) + 1, fill);
    return v;
}

TVariant TVariant::VariantArray(int low, int high) {
    TVariant v;
    v.m_type = TVarType::Array;
    v.m_array = std::make_shared<TVarArray>();
    v.m_array->LowBound = low;
    if (high >= low) v.m_array->Items.resize(static_cast<size_t>(high - low) + 1);
    return v;
}

TVariant TVariant::DoubleArrayFrom(int low, const double* values, size_t n) {
    TVariant v;
    v.m_type = TVarType::Array;
    v.m_array = std::make_shared<TVarArray>();
    v.m_array->LowBound = low;
    v.m_array->OfDoubles = true;
    if (n) v.m_array->Doubles.assign(values, values + n);
    return v;
}

TVariant TVariant::SharedArray(std::shared_ptr<TVarArray> array) {
    TVariant v;
    if (!array) return v;
    v.m_type = TVarType::Array;
    v.m_array = std::move(array);
    return v;
}

bool TVariant::IsNumeric() const {
    return m_type == TVarType::Integer || m_type == TVarType::Double || m_type == TVarType::Currency;
}

void TVariant::Clear() {
    m_type = TVarType::Empty;
    m_text.clear();
    m_array.reset();
}

bool TryParseNumber(const std::string& text, double& value) {
    std::string s = text;
    size_t b = s.find_first_not_of(" \t");
    size_t e = s.find_last_not_of(" \t");
    if (b == std::string::npos) return false;
    s = s.substr(b, e - b + 1);
    for (char& c : s)
        if (c == ',') c = '.';
    // from_chars ignores the C library's locale: a program whose locale writes "1,5" (Qt sets
    // the C locale from the environment) reads "1.5" all the same, which strtod would not.
    const char* first = s.c_str();
    const char* last = first + s.size();
    if (*first == '+' && s.size() > 1 && s[1] != '-') ++first;
    double v = 0;
    const auto r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || r.ptr != last || !std::isfinite(v)) return false;
    value = v;
    return true;
}

double TVariant::AsDouble() const {
    switch (m_type) {
    case TVarType::Empty: return 0.0;
    case TVarType::Integer: return m_int;
    case TVarType::Double: return m_double;
    case TVarType::Currency: return TCurrency{m_currency}.ToDouble();
    case TVarType::Text: {
        double v;
        if (TryParseNumber(m_text, v)) return v;
        break;
    }
    default: break;
    }
    conversionError(m_type, "Double");
}

int64_t TVariant::AsInt64() const {
    switch (m_type) {
    case TVarType::Empty: return 0;
    case TVarType::Integer: return m_int;
    default: {
        double d = AsDouble();
        auto r = RoundToInt64(d);
        if (!r) conversionError(m_type, "Int64");
        return *r;
    }
    }
}

int32_t TVariant::AsInteger() const {
    if (m_type == TVarType::Integer) return m_int;
    if (m_type == TVarType::Empty) return 0;
    auto r = RoundToInt32(AsDouble());
    if (!r) conversionError(m_type, "Integer");
    return *r;
}

TCurrency TVariant::AsCurrency() const {
    if (m_type == TVarType::Currency) return TCurrency{m_currency};
    return TCurrency::FromDouble(AsDouble());
}

std::string TVariant::AsText() const {
    char buf[64];
    switch (m_type) {
    case TVarType::Empty: return {};
    case TVarType::Text: return m_text;
    case TVarType::Integer: return std::to_string(m_int);
    case TVarType::Double:
        std::snprintf(buf, sizeof buf, "%.15g", m_double);
        return buf;
    case TVarType::Currency:
        std::snprintf(buf, sizeof buf, "%.15g", TCurrency{m_currency}.ToDouble());
        return buf;
    default: conversionError(m_type, "String");
    }
}

int TVariant::LowBound() const {
    if (m_type != TVarType::Array) notArrayError();
    return m_array->LowBound;
}

int TVariant::HighBound() const {
    if (m_type != TVarType::Array) notArrayError();
    return m_array->LowBound + m_array->Count() - 1;
}

int TVariant::Count() const {
    if (m_type != TVarType::Array) notArrayError();
    return m_array->Count();
}

TVariant TVariant::Element(int index) const {
    if (m_type != TVarType::Array) notArrayError();
    int64_t i = static_cast<int64_t>(index) - m_array->LowBound;
    if (i < 0 || i >= m_array->Count()) indexError();
    if (m_array->OfDoubles) return TVariant(m_array->Doubles[static_cast<size_t>(i)]);
    return m_array->Items[static_cast<size_t>(i)];
}

void TVariant::detach() {
    if (m_array && m_array.use_count() > 1) {
        auto copy = std::make_shared<TVarArray>(*m_array);
        copy->Locks = 0;
        m_array = std::move(copy);
    }
}

void TVariant::SetElement(int index, const TVariant& value) {
    if (m_type != TVarType::Array) notArrayError();
    int64_t i = static_cast<int64_t>(index) - m_array->LowBound;
    if (i < 0 || i >= m_array->Count()) indexError();
    if (m_array->OfDoubles) {
        double d = value.AsDouble(); // may raise before anything changes
        detach();
        m_array->Doubles[static_cast<size_t>(i)] = d;
    } else {
        TVariant copy = value; // value may live inside this array
        detach();
        m_array->Items[static_cast<size_t>(i)] = std::move(copy);
    }
}

const double* TVariant::DoubleData() const {
    if (!IsDoubleArray() || m_array->Doubles.empty()) return nullptr;
    return m_array->Doubles.data();
}

std::shared_ptr<const TVarArray> TVariant::LockArray() const {
    if (m_type != TVarType::Array) notArrayError();
    ++m_array->Locks;
    return m_array;
}

bool TVariant::UnlockArray() const {
    if (m_type != TVarType::Array || m_array->Locks <= 0) return false;
    --m_array->Locks;
    return true;
}

bool TVariant::SameAs(const TVariant& o) const {
    if (m_type != o.m_type) return false;
    switch (m_type) {
    case TVarType::Empty:
    case TVarType::Null: return true;
    case TVarType::Integer: return m_int == o.m_int;
    case TVarType::Double: return m_double == o.m_double;
    case TVarType::Currency: return m_currency == o.m_currency;
    case TVarType::Text: return m_text == o.m_text;
    case TVarType::Array: {
        if (m_array == o.m_array) return true;
        const TVarArray& a = *m_array;
        const TVarArray& b = *o.m_array;
        if (a.LowBound != b.LowBound || a.OfDoubles != b.OfDoubles || a.Count() != b.Count()) return false;
        if (a.OfDoubles) return a.Doubles == b.Doubles;
        for (size_t i = 0; i < a.Items.size(); ++i)
            if (!a.Items[i].SameAs(b.Items[i])) return false;
        return true;
    }
    }
    return false;
}

} // namespace lv
