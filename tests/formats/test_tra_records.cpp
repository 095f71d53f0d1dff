// Native TRA and Setup images: block layout, checksums, validation, records, wrapped errors, and
// sweeps of truncated and corrupted files.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <set>
#include <stdexcept>

#include "formats/Cp1251.h"
#include "formats/TRARecords.h"
#include "formats/uTRAConvs.h"
#include "support/TraceFixtures.h"
#include "trace/TraceParams.h"

using namespace lv;

namespace {

const std::string kBadFormat = "Неизвестный формат данных, отличный от TRA или Setup";

std::vector<uint8_t> setupImage(const TDataStruct* params) {
    TTRAConverter conv;
    conv.SetRaiseErrors(true);
    int32_t size = 0;
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(conv.SetupToBuffer(params, size, bytes));
    EXPECT_EQ(static_cast<size_t>(size), bytes.size());
    return bytes;
}

std::vector<uint8_t> traceImage(const TDataStruct* params, const TDataStruct* samples) {
    TTRAConverter conv;
    conv.SetRaiseErrors(true);
    int32_t size = 0;
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(conv.TraceToBuffer(params, samples, size, bytes));
    return bytes;
}

// Recomputes the checksum block whose header starts at `at`.
void fixChecksum(std::vector<uint8_t>& image, size_t at) {
    uint32_t sum = 0;
    for (size_t i = 0; i < at; ++i)
        sum += image[i];
    PutU16(image.data() + at + 14, static_cast<uint16_t>(sum));
    PutI32(image.data() + at + 16, static_cast<int32_t>(at));
}

// An empty vector may have no storage at all; an empty buffer is still a buffer.
const uint8_t* dataOf(const std::vector<uint8_t>& bytes) {
    static const uint8_t none = 0;
    return bytes.empty() ? &none : bytes.data();
}

std::string readError(TTRAKind kind, const std::vector<uint8_t>& bytes) {
    try {
        ReadTRAImage(kind, dataOf(bytes), bytes.size());
    } catch (const EInvalidDataFormat& e) {
        return e.Message();
    }
    return "(read)";
}

} // namespace

TEST(TRARecords, SetupImageOfAShortCommentHasTheDocumentedLayout) {
    PDataStruct params = lvtest::makeTraceParams("abc");
    const std::vector<uint8_t> img = setupImage(params.get());
    ASSERT_EQ(img.size(), 859u);

    auto image = ReadTRAImage(TTRAKind::Setup, img.data(), img.size());
    const std::vector<std::pair<int, size_t>> layout = {{0, 0}, {1, 18}, {2, 232}, {8, 406}, {7, 838}};
    ASSERT_EQ(image->Blocks.size(), layout.size());
    for (size_t i = 0; i < layout.size(); ++i) {
        EXPECT_EQ(image->Blocks[i].Type, layout[i].first);
        EXPECT_EQ(image->Blocks[i].Offset, layout[i].second);
        EXPECT_EQ(image->Blocks[i].Version, 12);
        EXPECT_TRUE(std::all_of(img.begin() + static_cast<long>(layout[i].second) + 8,
                                img.begin() + static_cast<long>(layout[i].second) + 14,
                                [](uint8_t b) { return b == 0; }))
            << "reserved bytes of block " << layout[i].first;
    }
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(img.data() + 14), 4), std::string("abc\0", 4));
    EXPECT_EQ(GetI32(img.data() + 838 + 14 + 2), 838);
    uint32_t sum = 0;
    for (size_t i = 0; i < 838; ++i)
        sum += img[i];
    EXPECT_EQ(GetU16(img.data() + 838 + 14), sum & 0xFFFF);
    EXPECT_EQ(img[858], 0);
    // Block 1 texts as the file holds them: "OFF", "OFF", averaging mode 2 "LOW", "20k", "TPA".
    const uint8_t* b1 = img.data() + 18 + 14;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b1), 4), std::string("OFF\0", 4));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b1 + 8), 4), std::string("LOW\0", 4));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b1 + 40), 4), std::string("20k\0", 4));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b1 + 176), 4), std::string("TPA\0", 4));
}

TEST(TRARecords, ChangedByteOfBlock2GivesTheWrappedChecksumMessage) {
    PDataStruct params = lvtest::makeTraceParams("abc");
    std::vector<uint8_t> img = setupImage(params.get());
    img[232 + 14 + 40] ^= 0x01;
    EXPECT_EQ(readError(TTRAKind::Setup, img), kBadFormat + ". \r\nНеверная контрольная сумма");

    // Decoding a buffer raises whatever the raise-errors switch says.
    TTRAConverter conv;
    PDataStruct out;
    try {
        conv.SetupFromBuffer(img.data(), img.size(), out);
        FAIL() << "a corrupted setup was read";
    } catch (const EInvalidDataFormat& e) {
        EXPECT_EQ(e.Message(), kBadFormat + ". \r\nНеверная контрольная сумма");
    }
    EXPECT_FALSE(out);
}

TEST(TRARecords, WrongBlockTypeOrFixedLengthGivesTheHeadTextAlone) {
    PDataStruct params = lvtest::makeTraceParams("abc");
    std::vector<uint8_t> img = setupImage(params.get());
    std::vector<uint8_t> wrongType = img;
    PutI16(wrongType.data() + 232, 3);
    EXPECT_EQ(readError(TTRAKind::Setup, wrongType), kBadFormat);
    std::vector<uint8_t> wrongLength = img;
    PutI32(wrongLength.data() + 232 + 4, 161);
    EXPECT_EQ(readError(TTRAKind::Setup, wrongLength), kBadFormat);
    // A Setup is not a TRA: block 3 is expected after block 8.
    EXPECT_EQ(readError(TTRAKind::Trace, img), kBadFormat);
    EXPECT_EQ(readError(TTRAKind::Setup, {}), kBadFormat);
    try {
        ReadTRAImage(TTRAKind::Trace, nullptr, 0);
        FAIL();
    } catch (const EInvalidDataFormat& e) {
        EXPECT_EQ(e.Message(), kBadFormat + ". \r\nПустой указатель на структуру PTRAStructPhis");
    }
}

TEST(TRARecords, Version11TraceHasNoBlocks9And10) {
    PDataStruct params = lvtest::makeTraceParams();
    PDataStruct samples = lvtest::makeTraceSamples(40);
    const std::vector<uint8_t> v12 = traceImage(params.get(), samples.get());
    auto full = ReadTRAImage(TTRAKind::Trace, v12.data(), v12.size());
    ASSERT_EQ(full->Blocks.size(), 11u);
    const TTRAImage::Block* b7 = full->Find(7);
    ASSERT_TRUE(b7);

    // The same trace as an older instrument writes it: version 11, the file ends after block 7.
    std::vector<uint8_t> v11(v12.begin(), v12.begin() + static_cast<long>(b7->Offset + 14 + 7));
    for (const TTRAImage::Block& b : full->Blocks)
        if (b.Offset < v11.size()) PutI16(v11.data() + b.Offset + 2, 11);
    fixChecksum(v11, b7->Offset);
    auto old = ReadTRAImage(TTRAKind::Trace, v11.data(), v11.size());
    ASSERT_EQ(old->Blocks.size(), 9u);
    EXPECT_EQ(old->Find(9), nullptr);

    auto record = TRAImageToRecord(*old);
    EXPECT_TRUE(std::all_of(record->Block9.begin(), record->Block9.end(), [](uint8_t b) { return b == 0; }));
    EXPECT_TRUE(
        std::all_of(record->Block10.begin(), record->Block10.end(), [](uint8_t b) { return b == 0; }));
    for (const TTRABlockHeader& h : record->Headers)
        EXPECT_EQ(h.BlockVersion, 12);
    // Written again, it is a version-12 file with all eleven blocks: the original bytes.
    auto again = TRARecordToImage(*record);
    EXPECT_EQ(again->Bytes(), v12);

    // The reading of an older file ignores what follows block 7.
    std::vector<uint8_t> withTail = v11;
    withTail.insert(withTail.end(), {1, 2, 3});
    EXPECT_NO_THROW(ReadTRAImage(TTRAKind::Trace, withTail.data(), withTail.size()));
}

TEST(TRARecords, Block1TextsAreComparedWithTheirSpaceAndWithoutLetterCase) {
    struct Case {
        TBlock1Text field;
        const char* text;
        uint8_t index;
    };
    const Case cases[] = {
        {btFirst, "on ", 1},  {btFirst, "Off", 0},   {btFirst, "OFF!", 1},  {btSecond, "xyz", 1},
        {btAverage, "hi", 2}, {btAverage, "hI ", 1}, {btAverage, "off", 0}, {btAverage, "LOW", 2},
        {btRate, "5K ", 0},   {btRate, "5k", 1},     {btRate, "20k", 1},    {btApprox, "lsa", 0},
        {btApprox, "tpa", 1}, {btApprox, "", 1},
    };
    for (const Case& c : cases) {
        uint8_t field[4] = {};
        std::memcpy(field, c.text, std::min<size_t>(std::strlen(c.text), 4));
        EXPECT_EQ(Block1FieldIndex(c.field, field), c.index) << c.text;
    }
}

TEST(TRARecords, CommentIsCutTo36EncodedCharacters) {
    const std::string latin(40, 'x');
    std::string cyrillic;
    for (int i = 0; i < 40; ++i)
        cyrillic += "Ж";
    for (const std::string& comment : {latin, cyrillic}) {
        PDataStruct params = lvtest::makeTraceParams(comment);
        const std::vector<uint8_t> img = setupImage(params.get());
        EXPECT_EQ(GetI32(img.data() + 4), 37);
        EXPECT_EQ(img.size(), 36u + 15 + 841);
        TTRAConverter conv;
        PDataStruct back;
        ASSERT_TRUE(conv.SetupFromBuffer(img.data(), img.size(), back));
        EXPECT_EQ((*back->Params())[prmL].AsText(), TruncateCp1251(comment, 36));
        EXPECT_EQ(Cp1251Length((*back->Params())[prmL].AsText()), 36u);
    }
}

TEST(TRARecords, Block6TextsSplitAtZeroBytes) {
    PDataStruct params = lvtest::makeTraceParams();
    TVariant texts = TVariant::VariantArray(1, 3);
    texts.SetElement(1, TVariant("один"));
    texts.SetElement(2, TVariant(""));
    texts.SetElement(3, TVariant("three"));
    (*params->Params())[prmEN] = texts;
    PDataStruct samples = lvtest::makeTraceSamples(10);
    auto record = ParamsToTRARecord(TTRAKind::Trace, params.get(), samples.get());
    const size_t comment = Cp1251Length("Волокно 7, муфта 3");
    EXPECT_EQ(TRAImageSize(*record),
              (comment + 15) + (14 + 2 * 10) + (14 + (4 + 1) + 1 + (5 + 1) + 98) + 4582);

    const std::vector<uint8_t> img = TRARecordToImage(*record)->Bytes();
    TTRAConverter conv;
    PDataStruct back, backSamples;
    ASSERT_TRUE(conv.TraceFromBuffer(img.data(), img.size(), back, backSamples));
    const TVariant& got = (*back->Params())[prmEN];
    ASSERT_TRUE(got.IsArray());
    EXPECT_EQ(got.LowBound(), 1);
    EXPECT_EQ(got.HighBound(), 101);
    EXPECT_EQ(got.Element(1).AsText(), "один");
    EXPECT_EQ(got.Element(2).AsText(), "");
    EXPECT_EQ(got.Element(3).AsText(), "three");
    for (int i = 4; i <= 101; ++i)
        EXPECT_EQ(got.Element(i).AsText(), "") << i;

    // Without any text the parameter stays unset.
    (*params->Params())[prmEN].Clear();
    const std::vector<uint8_t> bare = traceImage(params.get(), samples.get());
    ASSERT_TRUE(conv.TraceFromBuffer(bare.data(), bare.size(), back, backSamples));
    EXPECT_FALSE((*back->Params())[prmEN].IsSet());
}

TEST(TRARecords, Block0AndBlock6WithoutTerminatorsAreRejected) {
    PDataStruct params = lvtest::makeTraceParams("abc");
    PDataStruct samples = lvtest::makeTraceSamples(10);
    std::vector<uint8_t> img = traceImage(params.get(), samples.get());
    auto image = ReadTRAImage(TTRAKind::Trace, img.data(), img.size());
    const size_t b7 = image->Find(7)->Offset, b10 = image->Find(10)->Offset;
    auto withChecksums = [&](std::vector<uint8_t> bytes) {
        fixChecksum(bytes, b7);
        fixChecksum(bytes, b10);
        return bytes;
    };
    ASSERT_EQ(readError(TTRAKind::Trace, withChecksums(img)), "(read)");

    std::vector<uint8_t> comment = img;
    comment[14 + 3] = 'd'; // "abcd" fills block 0 without its zero byte
    EXPECT_EQ(readError(TTRAKind::Trace, withChecksums(comment)), kBadFormat);

    std::vector<uint8_t> texts = img;
    const TTRAImage::Block* b6 = image->Find(6);
    texts[b6->Offset + 14 + static_cast<size_t>(b6->DataLength) - 1] = 'z';
    EXPECT_EQ(readError(TTRAKind::Trace, withChecksums(texts)), kBadFormat);
}

TEST(TRARecords, FailuresAreWrappedOnceWithTheFirstMessage) {
    auto wrapped = [](auto error) -> std::pair<std::string, std::string> {
        try {
            TRAGuard([&]() -> int { throw error; });
        } catch (const ETRAInvalidData& e) {
            return {"data", e.Message()};
        } catch (const ETRAOutOfMemory& e) {
            return {"memory", e.Message()};
        } catch (const ETRALimitError& e) {
            return {"limit", e.Message()};
        } catch (const ETRASetupError& e) {
            return {"other", e.Message()};
        }
        return {};
    };
    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(wrapped(std::bad_alloc()),
              P("memory", "Недостаточно памяти для размещения структуры TRA или Setup. "
                          "Недостаточно памяти для размещения структуры"));
    EXPECT_EQ(wrapped(EInvalidDataFormat("")), P("data", kBadFormat));
    EXPECT_EQ(wrapped(EConvertError("x")),
              P("other", "Неизвестная ошибка при манипулировании структурами TRA или Setup. x"));
    EXPECT_EQ(wrapped(std::runtime_error("y")),
              P("other", "Неизвестная ошибка при манипулировании структурами TRA или Setup. y"));
    EXPECT_EQ(wrapped(ETRAInvalidData(kBadFormat + ". z")), P("data", kBadFormat + ". z"));
    EXPECT_EQ(wrapped(ETRALimitError("limit")), P("limit", "limit"));
}

TEST(TRARecords, ImageSizesFollowTheFormulas) {
    for (size_t commentLength : {0u, 1u, 36u, 50u})
        for (int32_t n : {0, 1, 1000}) {
            PDataStruct params = lvtest::makeTraceParams(std::string(commentLength, 'c'));
            PDataStruct samples = lvtest::makeTraceSamples(n);
            auto trace = ParamsToTRARecord(TTRAKind::Trace, params.get(), samples.get());
            auto setup = ParamsToTRARecord(TTRAKind::Setup, params.get(), nullptr);
            const size_t c = std::min<size_t>(commentLength, 36);
            const size_t texts = (Cp1251Length("Кабель ОКЛ-0,22") + 1) + (7 + 1) + (4 + 1) + 98;
            EXPECT_EQ(TRARecordToImage(*trace)->Size(), (c + 15) + (14 + 2 * n) + (14 + texts) + 4582);
            EXPECT_EQ(TRARecordToImage(*setup)->Size(), (c + 15) + 841);
        }
}

// Every prefix of a valid file, and every single changed byte that the checksums cover, is the
// malformed-data error and never a read outside the buffer (each copy is its own allocation of
// exactly its size, so AddressSanitizer sees any overrun).
TEST(TRARecords, TruncatedAndCorruptedFilesAreRejected) {
    PDataStruct params = lvtest::makeTraceParams("sweep");
    PDataStruct samples = lvtest::makeTraceSamples(60);
    const std::vector<std::pair<TTRAKind, std::vector<uint8_t>>> files = {
        {TTRAKind::Trace, traceImage(params.get(), samples.get())},
        {TTRAKind::Setup, setupImage(params.get())},
    };
    for (const auto& [kind, valid] : files) {
        TTRAConverter conv;
        auto decode = [&](const std::vector<uint8_t>& bytes) {
            PDataStruct p, s;
            return kind == TTRAKind::Trace ? conv.TraceFromBuffer(dataOf(bytes), bytes.size(), p, s)
                                           : conv.SetupFromBuffer(dataOf(bytes), bytes.size(), p);
        };
        auto rejects = [&](const std::vector<uint8_t>& bytes) {
            try {
                decode(bytes);
            } catch (const EInvalidDataFormat& e) {
                return e.Message().rfind(kBadFormat, 0) == 0;
            }
            return false;
        };
        ASSERT_TRUE(decode(valid));
        for (size_t len = 0; len < valid.size(); ++len) {
            std::vector<uint8_t> cut(valid.begin(), valid.begin() + static_cast<long>(len));
            ASSERT_TRUE(rejects(cut)) << "prefix of " << len << " bytes";
        }

        // Bytes no checksum covers: the version and reserved bytes of the last checksum block's
        // header and its final zero. Reading ignores them by design.
        auto image = ReadTRAImage(kind, valid.data(), valid.size());
        const size_t last = image->Blocks.back().Offset;
        const std::set<size_t> uncovered = {last + 2,  last + 3,  last + 8,  last + 9, last + 10,
                                            last + 11, last + 12, last + 13, last + 20};
        for (size_t pos = 0; pos < valid.size(); ++pos)
            for (uint8_t flip : {0x01, 0x80, 0xFF}) {
                std::vector<uint8_t> bad = valid;
                bad[pos] ^= flip;
                if (uncovered.count(pos)) {
                    EXPECT_TRUE(decode(bad)) << "byte " << pos;
                } else {
                    ASSERT_TRUE(rejects(bad)) << "byte " << pos << " ^ " << int(flip);
                }
            }
    }
}
