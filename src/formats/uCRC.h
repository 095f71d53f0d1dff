#pragma once
// The checksum of SOR files: CRC-16 with polynomial 0x1021, most significant bit first, no final
// inversion. With the start value 0xFFFF this is the CRC-16/CCITT-FALSE parameter set (check
// value 0x29B1 for "123456789").

#include <cstddef>
#include <cstdint>

namespace lv {

constexpr uint16_t kCRC16Start = 0xFFFF;

// Continues the CRC `crc` over `length` bytes at `data`.
uint16_t CRC16(const void* data, size_t length, uint16_t crc = kCRC16Start);

} // namespace lv
