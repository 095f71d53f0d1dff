#pragma once
// The native trace (".tra") and settings (".set", Setup) files: sequences of typed blocks, each a
// 14-byte header (type, version, data length, 6 reserved bytes) and its data, with checksum
// blocks. Two in-memory forms exist: the *image*, the exact bytes of a file, and the *record*,
// the same blocks with the texts decoded. This module reads images with full validation,
// converts between the forms and lays images out byte for byte; what the numeric fields mean
// belongs to the converter (uTRAConvs).
//
// Every operation wraps its failure into one of three errors whose text is the module's head
// text, then ". " and the first message when there was one (see TRAGuard).

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "trace/Errors.h"
#include "trace/uFileFormats.h"

namespace lv {

enum class TTRAKind : uint8_t { Setup, Trace };

constexpr int16_t kTRAVersion = 12; // written into every block
constexpr size_t kTRAHeaderSize = 14;
constexpr int kTRATextCount = 101;                    // texts of block 6
constexpr size_t kTRACommentMax = 36;                 // comment characters (Windows-1251 bytes) written
constexpr int32_t kTRAPlaceholderSampleBytes = 10000; // block 3 of a record the converter makes
constexpr int kTRABlockCount = 11;                    // block types 0..10

// Fixed data lengths by block type (-1: any length).
constexpr std::array<int32_t, kTRABlockCount> kTRABlockLength = {-1, 200, 160, -1,  1018, 2256,
                                                                 -1, 7,   418, 404, 7};

// Block order of each file kind. A TRA whose first block has version 11 or less ends after
// block 7.
constexpr std::array<int, 5> kSetupBlockOrder = {0, 1, 2, 8, 7};
constexpr std::array<int, 11> kTraceBlockOrder = {0, 1, 2, 8, 3, 4, 5, 6, 7, 9, 10};

// The four-byte text fields of block 1 (offsets in the image); the record holds them as indexes.
enum TBlock1Text : int { btFirst, btSecond, btAverage, btRate, btApprox };
constexpr std::array<size_t, 5> kBlock1TextOffset = {0, 4, 8, 40, 176};

// --- errors

extern const char* const kMsgTRANoMemory; // "Недостаточно памяти для размещения структуры TRA или Setup"
extern const char* const kMsgTRAUnknownFormat; // "Неизвестный формат данных, отличный от TRA или Setup"
extern const char* const
    kMsgTRAUnknownError; // "Неизвестная ошибка при манипулировании структурами TRA или Setup"
extern const char* const kMsgTRABadChecksum; // "\r\nНеверная контрольная сумма"
extern const char* const
    kMsgTRAChecksumUnreadable; // "Обнаружен неверный формат данных при вычислении контрольной суммы"
extern const char* const kMsgTRANullPointer; // "\r\nПустой указатель на структуру "
extern const char* const kMsgTRABlockNoMemory; // "Недостаточно памяти для размещения структуры"
extern const char* const
    kMsgTRAPropertyType; // "Неизвестный тип свойства при формировании TRA или Setup структуры"

// Failures of the module that are neither out of memory nor malformed data.
class ETRASetupError : public Exception {
public:
    using Exception::Exception;
};
// The wrapped forms of malformed data and of out of memory (already carrying the head text).
class ETRAInvalidData : public EInvalidDataFormat {
public:
    using EInvalidDataFormat::EInvalidDataFormat;
};
class ETRAOutOfMemory : public EOutOfMemory {
public:
    using EOutOfMemory::EOutOfMemory;
};
// A value the layout cannot hold (too many samples, a level or a field out of range): the save
// is refused and nothing is written. It keeps its own clear text through the wrapping.
class ETRALimitError : public Exception {
public:
    using Exception::Exception;
};

// Raises `error` wrapped: out of memory → ETRAOutOfMemory, EInvalidDataFormat → ETRAInvalidData,
// anything else → ETRASetupError. Errors already wrapped, and ETRALimitError, pass unchanged.
[[noreturn]] void RaiseTRAError(const std::exception_ptr& error);

template <class F> decltype(auto) TRAGuard(F&& f) {
    try {
        return f();
    } catch (...) {
        RaiseTRAError(std::current_exception());
    }
}

// --- the two forms

// Little-endian fields inside block data.
inline uint16_t GetU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline int16_t GetI16(const uint8_t* p) {
    return static_cast<int16_t>(GetU16(p));
}
inline int32_t GetI32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}
inline void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v), p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutI16(uint8_t* p, int16_t v) {
    PutU16(p, static_cast<uint16_t>(v));
}
inline void PutI32(uint8_t* p, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(u >> (8 * i));
}

struct TTRABlockHeader {
    int16_t BlockType = 0;
    int16_t BlockVersion = kTRAVersion;
};

// A record (PSetupStruct, PTRAStruct): the blocks with the texts decoded. Numeric fields stay
// at their image offsets; the five text slots of Block1 are unused (see TextIndex).
class TTRARecord : public TFormatRecord {
public:
    // An empty record: every block zeroed at its fixed length, block 3 of a TRA `sampleBytes` long.
    explicit TTRARecord(TTRAKind kind, int32_t sampleBytes = kTRAPlaceholderSampleBytes);

    TTRAKind Kind;
    std::array<TTRABlockHeader, kTRABlockCount> Headers; // by block type
    std::array<bool, kTRABlockCount> Present{};          // a Setup has 0,1,2,8,7; a version-11 TRA lacks 9,10
    std::string Comment;                                 // block 0, Windows-1251, as long as it came
    std::array<uint8_t, 5> TextIndex{};                  // block 1 text fields, by TBlock1Text
    std::array<uint8_t, 200> Block1{};
    std::array<uint8_t, 160> Block2{};
    std::array<uint8_t, 418> Block8{};
    std::vector<uint8_t> Block3;                  // TRA: the samples, 2 bytes each
    std::vector<uint8_t> Block4, Block5, Block9;  // TRA: carried as they are
    std::array<std::string, kTRATextCount> Texts; // TRA: block 6, Windows-1251
    std::array<uint8_t, 7> Block7{}, Block10{};   // checksums, recomputed when laid out
};

// An image (PSetupStructPhis, PTRAStructPhis): the exact bytes of a file and where each block
// lies. An image read from a caller's buffer points into it (the buffer must outlive it).
class TTRAImage : public TFormatRecord {
public:
    struct Block {
        size_t Offset = 0; // of the header, from the image's start
        int16_t Type = 0;
        int16_t Version = 0;
        int32_t DataLength = 0;
    };

    TTRAKind Kind = TTRAKind::Setup;
    std::vector<Block> Blocks; // in file order

    const uint8_t* Data() const { return m_data; }
    size_t Size() const { return m_size; }
    bool InBuffer() const { return m_own.empty() && m_data; }
    std::vector<uint8_t> Bytes() const { return std::vector<uint8_t>(m_data, m_data + m_size); }
    // The block of that type, or nullptr.
    const Block* Find(int type) const;
    const uint8_t* DataOf(const Block& b) const { return m_data + b.Offset + kTRAHeaderSize; }

    void Borrow(const uint8_t* data, size_t size) {
        m_own.clear();
        m_data = data, m_size = size;
    }
    void Own(std::vector<uint8_t> bytes) {
        m_own = std::move(bytes);
        m_data = m_own.data(), m_size = m_own.size();
    }

private:
    std::vector<uint8_t> m_own;
    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
};

// Parses and validates an image of the given kind held in `data`: block types in order, fixed
// lengths, every block inside the buffer (64-bit checks), checksums. Blocks after the last
// expected one are not looked at. The image points into `data`.
std::unique_ptr<TTRAImage> ReadTRAImage(TTRAKind kind, const uint8_t* data, size_t size);

// Decodes the texts; every other block is copied. In a TRA record every version becomes 12.
std::unique_ptr<TTRARecord> TRAImageToRecord(const TTRAImage& image);

// The number of bytes the record's image takes.
size_t TRAImageSize(const TTRARecord& record);

// Lays the record's image out in `dst` (TRAImageSize bytes), checksums included.
void LayOutTRAImage(const TTRARecord& record, uint8_t* dst, size_t size);

// The record's image in memory of its own.
std::unique_ptr<TTRAImage> TRARecordToImage(const TTRARecord& record);

// The texts of the block-1 fields by index, and the index of a text as reading decides it.
const char* Block1FieldText(TBlock1Text field, uint8_t index);
uint8_t Block1FieldIndex(TBlock1Text field, const uint8_t* fourBytes);

} // namespace lv
