#include "formats/TRARecords.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>
#include <span>

namespace lv {

const char* const kMsgTRANoMemory = "Недостаточно памяти для размещения структуры TRA или Setup";
const char* const kMsgTRAUnknownFormat = "Неизвестный формат данных, отличный от TRA или Setup";
const char* const kMsgTRAUnknownError = "Неизвестная ошибка при манипулировании структурами TRA или Setup";
const char* const kMsgTRABadChecksum = "\r\nНеверная контрольная сумма";
const char* const kMsgTRAChecksumUnreadable =
    "Обнаружен неверный формат данных при вычислении контрольной суммы";
const char* const kMsgTRANullPointer = "\r\nПустой указатель на структуру ";
const char* const kMsgTRABlockNoMemory = "Недостаточно памяти для размещения структуры";
const char* const kMsgTRAPropertyType = "Неизвестный тип свойства при формировании TRA или Setup структуры";

namespace {
std::string withFirst(const char* head, const std::string& first) {
    return first.empty() ? std::string(head) : std::string(head) + ". " + first;
}

[[noreturn]] void malformed(const std::string& first = {}) {
    throw EInvalidDataFormat(first);
}
} // namespace

void RaiseTRAError(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const ETRAInvalidData&) {
        throw;
    } catch (const ETRAOutOfMemory&) {
        throw;
    } catch (const ETRASetupError&) {
        throw;
    } catch (const ETRALimitError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw ETRAOutOfMemory(withFirst(kMsgTRANoMemory, kMsgTRABlockNoMemory));
    } catch (const EOutOfMemory& e) {
        throw ETRAOutOfMemory(withFirst(kMsgTRANoMemory, e.Message()));
    } catch (const EInvalidDataFormat& e) {
        throw ETRAInvalidData(withFirst(kMsgTRAUnknownFormat, e.Message()));
    } catch (const Exception& e) {
        throw ETRASetupError(withFirst(kMsgTRAUnknownError, e.Message()));
    } catch (const std::exception& e) {
        throw ETRASetupError(withFirst(kMsgTRAUnknownError, e.what()));
    } catch (...) {
        throw ETRASetupError(kMsgTRAUnknownError);
    }
}

// ---------------------------------------------------------------------------------------------
// Block 1 texts

namespace {
struct FieldTexts {
    std::array<const char*, 3> Texts;
    int Count;
};
constexpr std::array<FieldTexts, 5> kFieldTexts = {{
    {{"OFF", "ON ", nullptr}, 2},
    {{"OFF", "ON ", nullptr}, 2},
    {{"OFF", "HI ", "LOW"}, 3},
    {{"5k ", "20k", nullptr}, 2},
    {{"LSA", "TPA", nullptr}, 2},
}};

bool fieldMatches(const uint8_t* field, const char* text) {
    // The field's text ends at its zero byte, or after four bytes when it has none.
    size_t len = 0;
    while (len < 4 && field[len] != 0)
        ++len;
    if (len != std::strlen(text)) return false;
    for (size_t i = 0; i < len; ++i) {
        auto a = static_cast<unsigned char>(field[i]), b = static_cast<unsigned char>(text[i]);
        if (a < 128 && b < 128 ? std::tolower(a) != std::tolower(b) : a != b) return false;
    }
    return true;
}
} // namespace

const char* Block1FieldText(TBlock1Text field, uint8_t index) {
    const FieldTexts& f = kFieldTexts[static_cast<size_t>(field)];
    if (index >= f.Count) throw EConvertError(kMsgTRAPropertyType);
    return f.Texts[index];
}

// The first text is index 0 and anything else the last index, except that the averaging field
// tells "HI " (1) from anything else (2).
uint8_t Block1FieldIndex(TBlock1Text field, const uint8_t* fourBytes) {
    const FieldTexts& f = kFieldTexts[static_cast<size_t>(field)];
    if (fieldMatches(fourBytes, f.Texts[0])) return 0;
    if (f.Count == 3 && fieldMatches(fourBytes, f.Texts[1])) return 1;
    return static_cast<uint8_t>(f.Count - 1);
}

// ---------------------------------------------------------------------------------------------
// Records and images

TTRARecord::TTRARecord(TTRAKind kind, int32_t sampleBytes) : Kind(kind) {
    for (int t = 0; t < kTRABlockCount; ++t)
        Headers[static_cast<size_t>(t)].BlockType = static_cast<int16_t>(t);
    if (kind == TTRAKind::Setup) {
        for (int t : kSetupBlockOrder)
            Present[static_cast<size_t>(t)] = true;
        return;
    }
    Present.fill(true);
    Block3.assign(static_cast<size_t>(std::max<int32_t>(sampleBytes, 0)), 0);
    Block4.assign(1018, 0);
    Block5.assign(2256, 0);
    Block9.assign(404, 0);
}

const TTRAImage::Block* TTRAImage::Find(int type) const {
    for (const Block& b : Blocks)
        if (b.Type == type) return &b;
    return nullptr;
}

std::unique_ptr<TTRAImage> ReadTRAImage(TTRAKind kind, const uint8_t* data, size_t size) {
    return TRAGuard([&] {
        if (!data)
            malformed(std::string(kMsgTRANullPointer) +
                      (kind == TTRAKind::Setup ? "PSetupStructPhis" : "PTRAStructPhis"));
        auto image = std::make_unique<TTRAImage>();
        image->Kind = kind;
        image->Borrow(data, size);

        std::vector<int> order;
        if (kind == TTRAKind::Setup)
            order.assign(kSetupBlockOrder.begin(), kSetupBlockOrder.end());
        else
            order.assign(kTraceBlockOrder.begin(), kTraceBlockOrder.end() - 2);

        uint64_t pos = 0;
        uint32_t sum = 0; // of the bytes before `pos`
        for (size_t i = 0; i < order.size(); ++i) {
            const int type = order[i];
            if (size - pos < kTRAHeaderSize) malformed();
            const uint8_t* h = data + pos;
            TTRAImage::Block b;
            b.Offset = static_cast<size_t>(pos);
            b.Type = GetI16(h);
            b.Version = GetI16(h + 2);
            b.DataLength = GetI32(h + 4);
            if (b.Type != type) malformed();
            const int32_t fixed = kTRABlockLength[static_cast<size_t>(type)];
            if (fixed >= 0 && b.DataLength != fixed) malformed();
            if (b.DataLength < 0 || static_cast<uint64_t>(b.DataLength) > size - pos - kTRAHeaderSize)
                malformed();
            const uint8_t* d = h + kTRAHeaderSize;

            if (type == 7 || type == 10) {
                if (GetU16(d) != (sum & 0xFFFF) ||
                    static_cast<uint64_t>(static_cast<int64_t>(GetI32(d + 2))) != pos)
                    malformed(kMsgTRABadChecksum);
            } else if (type == 0) {
                if (!std::memchr(d, 0, static_cast<size_t>(b.DataLength))) malformed(); // no terminator
            } else if (type == 6 && b.DataLength > 0) {
                if (d[b.DataLength - 1] != 0) malformed(); // the last text has no terminator
                if (std::count(d, d + b.DataLength, uint8_t{0}) > kTRATextCount) malformed();
            }
            if (i == 0 && kind == TTRAKind::Trace && b.Version > 11) order.insert(order.end(), {9, 10});

            const uint64_t next = pos + kTRAHeaderSize + static_cast<uint64_t>(b.DataLength);
            for (uint64_t p = pos; p < next; ++p)
                sum += data[p];
            pos = next;
            image->Blocks.push_back(b);
        }
        return image;
    });
}

std::unique_ptr<TTRARecord> TRAImageToRecord(const TTRAImage& image) {
    return TRAGuard([&] {
        if (!image.Data())
            malformed(std::string(kMsgTRANullPointer) +
                      (image.Kind == TTRAKind::Setup ? "PSetupStructPhis" : "PTRAStructPhis"));
        auto record = std::make_unique<TTRARecord>(image.Kind, 0);
        const bool trace = image.Kind == TTRAKind::Trace;
        record->Present.fill(false);
        for (const TTRAImage::Block& b : image.Blocks) {
            if (b.Type < 0 || b.Type >= kTRABlockCount) malformed();
            const auto t = static_cast<size_t>(b.Type);
            const uint8_t* d = image.DataOf(b);
            const auto len = static_cast<size_t>(b.DataLength);
            record->Present[t] = true;
            record->Headers[t] = {b.Type, trace ? kTRAVersion : b.Version};
            auto copyFixed = [&](auto& dst) {
                if (len != dst.size()) malformed();
                std::memcpy(dst.data(), d, len);
            };
            switch (b.Type) {
            case 0: {
                const void* z = std::memchr(d, 0, len);
                record->Comment.assign(reinterpret_cast<const char*>(d),
                                       z ? static_cast<size_t>(static_cast<const uint8_t*>(z) - d) : len);
                break;
            }
            case 1:
                copyFixed(record->Block1);
                for (int f = btFirst; f <= btApprox; ++f)
                    record->TextIndex[static_cast<size_t>(f)] = Block1FieldIndex(
                        static_cast<TBlock1Text>(f), d + kBlock1TextOffset[static_cast<size_t>(f)]);
                break;
            case 2:
                copyFixed(record->Block2);
                break;
            case 8:
                copyFixed(record->Block8);
                break;
            case 3:
                record->Block3.assign(d, d + len);
                break;
            case 4:
                record->Block4.assign(d, d + len);
                break;
            case 5:
                record->Block5.assign(d, d + len);
                break;
            case 9:
                record->Block9.assign(d, d + len);
                break;
            case 6: {
                size_t i = 0, start = 0;
                for (size_t p = 0; p < len && i < record->Texts.size(); ++p)
                    if (d[p] == 0) {
                        record->Texts[i++].assign(reinterpret_cast<const char*>(d + start), p - start);
                        start = p + 1;
                    }
                break;
            }
            case 7:
                copyFixed(record->Block7);
                break;
            case 10:
                copyFixed(record->Block10);
                break;
            }
        }
        if (trace) {
            // Blocks 9 and 10 of a version-11 file stay empty; a record written again gets them.
            if (!record->Present[9]) record->Block9.assign(404, 0);
            record->Present[9] = record->Present[10] = true;
            for (auto& h : record->Headers)
                h.BlockVersion = kTRAVersion;
        }
        return record;
    });
}

namespace {
std::span<const int> layoutOrder(const TTRARecord& r) {
    if (r.Kind == TTRAKind::Setup) return kSetupBlockOrder;
    return kTraceBlockOrder;
}

size_t commentLength(const TTRARecord& r) {
    return std::min(r.Comment.size(), kTRACommentMax);
}

size_t textsLength(const TTRARecord& r) {
    size_t n = 0;
    for (const std::string& t : r.Texts)
        n += t.size() + 1;
    return n;
}

size_t dataLength(const TTRARecord& r, int type) {
    switch (type) {
    case 0:
        return commentLength(r) + 1;
    case 3:
        return r.Block3.size();
    case 6:
        return textsLength(r);
    default:
        return static_cast<size_t>(kTRABlockLength[static_cast<size_t>(type)]);
    }
}
} // namespace

size_t TRAImageSize(const TTRARecord& r) {
    const size_t c = commentLength(r);
    if (r.Kind == TTRAKind::Setup) return (c + 15) + 841;
    return (c + 15) + (14 + r.Block3.size()) + (14 + textsLength(r)) + 4582;
}

void LayOutTRAImage(const TTRARecord& r, uint8_t* dst, size_t size) {
    TRAGuard([&] {
        if (!dst)
            malformed(std::string(kMsgTRANullPointer) + (r.Kind == TTRAKind::Setup
                                                             ? "для хранения физических данных Setup"
                                                             : "для хранения физических данных TRA"));
        if (size != TRAImageSize(r)) throw ETRASetupError(kMsgTRAUnknownError);
        // Blocks of a fixed length must have it (a record is only made by this module and the
        // converter, so a mismatch is a fault, not a file error).
        if (r.Kind == TTRAKind::Trace &&
            (r.Block4.size() != 1018 || r.Block5.size() != 2256 || r.Block9.size() != 404))
            throw ETRASetupError(kMsgTRAUnknownError);
        std::memset(dst, 0, size);
        size_t pos = 0;
        uint32_t sum = 0;
        for (int type : layoutOrder(r)) {
            const auto t = static_cast<size_t>(type);
            const size_t len = dataLength(r, type);
            uint8_t* h = dst + pos;
            PutI16(h, r.Headers[t].BlockType);
            PutI16(h + 2, r.Headers[t].BlockVersion);
            PutI32(h + 4, static_cast<int32_t>(len));
            uint8_t* d = h + kTRAHeaderSize;
            switch (type) {
            case 0:
                std::memcpy(d, r.Comment.data(), len - 1);
                break;
            case 1:
                std::memcpy(d, r.Block1.data(), r.Block1.size());
                for (int f = btFirst; f <= btApprox; ++f) {
                    const char* text =
                        Block1FieldText(static_cast<TBlock1Text>(f), r.TextIndex[static_cast<size_t>(f)]);
                    uint8_t* slot = d + kBlock1TextOffset[static_cast<size_t>(f)];
                    std::memcpy(slot, text, 3);
                    slot[3] = 0;
                }
                break;
            case 2:
                std::memcpy(d, r.Block2.data(), len);
                break;
            case 8:
                std::memcpy(d, r.Block8.data(), len);
                break;
            case 3:
                if (len) std::memcpy(d, r.Block3.data(), len);
                break;
            case 4:
                std::memcpy(d, r.Block4.data(), len);
                break;
            case 5:
                std::memcpy(d, r.Block5.data(), len);
                break;
            case 9:
                std::memcpy(d, r.Block9.data(), len);
                break;
            case 6: {
                uint8_t* p = d;
                for (const std::string& text : r.Texts) {
                    std::memcpy(p, text.data(), text.size());
                    p += text.size() + 1;
                }
                break;
            }
            case 7:
            case 10:
                PutU16(d, static_cast<uint16_t>(sum & 0xFFFF));
                PutI32(d + 2, static_cast<int32_t>(pos));
                d[6] = 0;
                break;
            }
            const size_t next = pos + kTRAHeaderSize + len;
            for (size_t p = pos; p < next; ++p)
                sum += dst[p];
            pos = next;
        }
    });
}

std::unique_ptr<TTRAImage> TRARecordToImage(const TTRARecord& r) {
    return TRAGuard([&] {
        std::vector<uint8_t> bytes(TRAImageSize(r));
        LayOutTRAImage(r, bytes.data(), bytes.size());
        auto image = std::make_unique<TTRAImage>();
        image->Kind = r.Kind;
        image->Own(std::move(bytes));
        size_t pos = 0;
        for (size_t i = 0; i < layoutOrder(r).size(); ++i) {
            const uint8_t* h = image->Data() + pos;
            image->Blocks.push_back({pos, GetI16(h), GetI16(h + 2), GetI32(h + 4)});
            pos += kTRAHeaderSize + static_cast<size_t>(GetI32(h + 4));
        }
        return image;
    });
}

} // namespace lv
