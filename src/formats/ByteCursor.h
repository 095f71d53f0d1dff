#pragma once
// Little-endian reading and writing of binary file layouts. A reader knows where its block ends:
// every read is checked against that end and a read past it raises EInvalidDataFormat with the
// message the caller chose, so a malformed file can never make the program read out of bounds.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "trace/Errors.h"
#include "trace/ValueHelpers.h"

namespace lv {

class TLEReader {
public:
    // `what` is the message of the error raised on a read past the end.
    TLEReader(const uint8_t* data, size_t size, std::string what = "Неверный формат данных")
        : m_data(data), m_size(size), m_what(std::move(what)) {}
    // The message is `pattern` with its "%s" replaced by `subject`, made only when it is raised
    // (a reader per block of every file loaded would otherwise format one each time).
    TLEReader(const uint8_t* data, size_t size, const char* pattern, std::string subject)
        : m_data(data), m_size(size), m_what(std::move(subject)), m_pattern(pattern) {}

    size_t Position() const { return m_pos; }
    size_t Size() const { return m_size; }
    size_t Remaining() const { return m_size - m_pos; }
    bool AtEnd() const { return m_pos >= m_size; }
    const uint8_t* Data() const { return m_data; }
    const uint8_t* Current() const { return m_data + m_pos; }

    void Seek(size_t pos) {
        if (pos > m_size) fail();
        m_pos = pos;
    }
    void Skip(size_t n) { need(n), m_pos += n; }
    void Require(size_t n) const { need(n); }

    uint8_t U8() { return static_cast<uint8_t>(read<1>()); }
    uint16_t U16() { return static_cast<uint16_t>(read<2>()); }
    int16_t I16() { return static_cast<int16_t>(read<2>()); }
    uint32_t U32() { return static_cast<uint32_t>(read<4>()); }
    int32_t I32() { return static_cast<int32_t>(read<4>()); }
    uint64_t U64() { return read<8>(); }
    double F64() {
        uint64_t bits = read<8>();
        double d;
        std::memcpy(&d, &bits, 8);
        return d;
    }
    // `n` raw bytes.
    std::string Bytes(size_t n) {
        need(n);
        std::string s(reinterpret_cast<const char*>(m_data + m_pos), n);
        m_pos += n;
        return s;
    }
    // A zero-terminated string that must end inside the block; the terminator is consumed.
    // Longer strings are cut to `maxLength` bytes (the rest is skipped).
    std::string ZString(size_t maxLength = SIZE_MAX) {
        const void* z = std::memchr(m_data + m_pos, 0, m_size - m_pos);
        if (!z) fail();
        size_t len = static_cast<const uint8_t*>(z) - (m_data + m_pos);
        std::string s(reinterpret_cast<const char*>(m_data + m_pos), len < maxLength ? len : maxLength);
        m_pos += len + 1;
        return s;
    }

    [[noreturn]] void fail() const {
        throw EInvalidDataFormat(m_pattern ? FormatS(m_pattern, m_what) : m_what);
    }

private:
    void need(size_t n) const {
        if (n > m_size - m_pos) fail();
    }
    template <int N> uint64_t read() {
        need(N);
        uint64_t v = 0;
        for (int i = N - 1; i >= 0; --i) v = (v << 8) | m_data[m_pos + i];
        m_pos += N;
        return v;
    }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    std::string m_what;
    const char* m_pattern = nullptr;
};

class TLEWriter {
public:
    explicit TLEWriter(std::vector<uint8_t>& out) : m_out(out) {}
    size_t Position() const { return m_out.size(); }
    void U8(uint8_t v) { m_out.push_back(v); }
    void U16(uint16_t v) { put(v, 2); }
    void I16(int16_t v) { put(static_cast<uint16_t>(v), 2); }
    void U32(uint32_t v) { put(v, 4); }
    void I32(int32_t v) { put(static_cast<uint32_t>(v), 4); }
    void F64(double d) {
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        put(bits, 8);
    }
    void Bytes(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        m_out.insert(m_out.end(), b, b + n);
    }
    void Bytes(const std::string& s) { Bytes(s.data(), s.size()); }
    void ZString(const std::string& s) { Bytes(s), U8(0); }
    void Zeros(size_t n) { m_out.insert(m_out.end(), n, 0); }
    // Overwrites bytes already written (sizes and checksums known only at the end).
    void PatchU16(size_t at, uint16_t v) { patch(at, v, 2); }
    void PatchU32(size_t at, uint32_t v) { patch(at, v, 4); }

private:
    void put(uint64_t v, int n) {
        for (int i = 0; i < n; ++i) m_out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void patch(size_t at, uint64_t v, int n) {
        for (int i = 0; i < n; ++i) m_out.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
    }
    std::vector<uint8_t>& m_out;
};

} // namespace lv
