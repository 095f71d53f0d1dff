#pragma once
// Texts in files are Windows-1251; inside the program they are UTF-8.

#include <cstddef>
#include <cstdint>
#include <string>

namespace lv {

// UTF-8 → Windows-1251. A character without a Windows-1251 code (and a malformed UTF-8 byte)
// becomes "?".
std::string Utf8ToCp1251(const std::string& utf8);
// Windows-1251 → UTF-8. Byte 0x98, which has no character, becomes U+FFFD.
std::string Cp1251ToUtf8(const std::string& cp1251);
std::string Cp1251ToUtf8(const char* data, size_t length);
// A text another program wrote, where the format names no encoding: taken as UTF-8 when its bytes
// are well-formed UTF-8 (Cyrillic Windows-1251 letters are all lead bytes, so a Windows-1251
// text practically never is), else as Windows-1251.
std::string ForeignTextToUtf8(const std::string& bytes);
// Number of Windows-1251 bytes the UTF-8 text encodes to.
size_t Cp1251Length(const std::string& utf8);
// The longest prefix of a UTF-8 text whose Windows-1251 form has at most `maxBytes` bytes.
std::string TruncateCp1251(const std::string& utf8, size_t maxBytes);

} // namespace lv
