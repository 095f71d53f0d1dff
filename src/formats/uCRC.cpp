#include "formats/uCRC.h"

#include <array>

namespace lv {

namespace {
constexpr std::array<uint16_t, 256> makeTable() {
    std::array<uint16_t, 256> t{};
    for (unsigned b = 0; b < 256; ++b) {
        uint16_t c = static_cast<uint16_t>(b << 8);
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 0x8000) ? static_cast<uint16_t>((c << 1) ^ 0x1021) : static_cast<uint16_t>(c << 1);
        t[b] = c;
    }
    return t;
}
constexpr std::array<uint16_t, 256> kTable = makeTable();
} // namespace

uint16_t CRC16(const void* data, size_t length, uint16_t crc) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < length; ++i)
        crc = static_cast<uint16_t>((crc << 8) ^ kTable[((crc >> 8) ^ p[i]) & 0xFF]);
    return crc;
}

} // namespace lv
