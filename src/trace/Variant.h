#pragma once
// The value of one trace parameter: empty, null, 32-bit integer, 64-bit float, currency
// (value × 10000 in a 64-bit integer), text (UTF-8), or a one-dimensional array with explicit
// bounds holding 64-bit floats or variants.
//
// Arrays are shared between copies and copied on the first write, so handing the samples of a
// trace around (they are an array of a million floats) costs nothing. A pinned array
// (LockArray) stays alive for whoever holds the pin, even when its owner replaces it.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "trace/NoInitAllocator.h"

namespace lv {

enum class TVarType : uint8_t { Empty, Null, Integer, Double, Currency, Text, Array };

struct TCurrency {
    int64_t Value = 0; // units of 1/10000
    static TCurrency FromDouble(double v);
    double ToDouble() const { return static_cast<double>(Value) / 10000.0; }
    bool operator==(const TCurrency&) const = default;
};

class TVariant;

struct TVarArray {
    int LowBound = 0;
    bool OfDoubles = false;
    // When OfDoubles. Growing it leaves the new elements unset: whoever grows it writes them.
    std::vector<double, TNoInitAllocator<double>> Doubles;
    std::vector<TVariant> Items;   // otherwise
    int Locks = 0;                 // open LockArray pins
    int Count() const;
};

class TVariant {
public:
    TVariant() = default; // empty
    TVariant(int32_t v) : m_type(TVarType::Integer), m_int(v) {}
    TVariant(double v) : m_type(TVarType::Double), m_double(v) {}
    TVariant(TCurrency v) : m_type(TVarType::Currency), m_currency(v.Value) {}
    TVariant(std::string v) : m_type(TVarType::Text), m_text(std::move(v)) {}
    TVariant(const char* v) : m_type(TVarType::Text), m_text(v) {}

    static TVariant Null();
    // An array [low..high] of 64-bit floats, every element `fill`.
    static TVariant DoubleArray(int low, int high, double fill = 0.0);
    // An array [low..high] of empty variants.
    static TVariant VariantArray(int low, int high);
    // An array [low..low+n-1] of floats taken from `values`.
    static TVariant DoubleArrayFrom(int low, const double* values, size_t n);
    // The array itself, shared (not copied): a write through the variant copies it first.
    static TVariant SharedArray(std::shared_ptr<TVarArray> array);

    TVarType Type() const { return m_type; }
    bool IsEmpty() const { return m_type == TVarType::Empty; }
    bool IsNull() const { return m_type == TVarType::Null; }
    // "Set" means neither empty nor null.
    bool IsSet() const { return m_type != TVarType::Empty && m_type != TVarType::Null; }
    bool IsArray() const { return m_type == TVarType::Array; }
    bool IsNumeric() const;

    void Clear();

    // Conversions; EVariantError when the value cannot be read so. An empty variant reads as 0 or
    // as an empty text; null and arrays never convert.
    double AsDouble() const;
    int32_t AsInteger() const;  // floats round half to even
    int64_t AsInt64() const;
    std::string AsText() const;
    TCurrency AsCurrency() const;

    // Array access; EVariantError outside the bounds or on a non-array.
    int LowBound() const;
    int HighBound() const;
    int Count() const;
    bool IsDoubleArray() const { return m_type == TVarType::Array && m_array->OfDoubles; }
    TVariant Element(int index) const;
    void SetElement(int index, const TVariant& value);
    // Read-only view of a float array's elements (nullptr for an empty or non-float array).
    const double* DoubleData() const;

    // Pins a float array: the returned holder keeps its elements alive and counts one lock.
    std::shared_ptr<const TVarArray> LockArray() const;
    // Releases one lock; false when the array has none open.
    bool UnlockArray() const;
    int LockCount() const { return m_type == TVarType::Array ? m_array->Locks : 0; }

    bool SameAs(const TVariant& other) const; // same type and equal value

private:
    void detach(); // copy-on-write for arrays

    TVarType m_type = TVarType::Empty;
    int32_t m_int = 0;
    double m_double = 0.0;
    int64_t m_currency = 0;
    std::string m_text;
    std::shared_ptr<TVarArray> m_array;
};

// Parses a number written with "." or "," as decimal separator; false when it is not one.
bool TryParseNumber(const std::string& text, double& value);

} // namespace lv
