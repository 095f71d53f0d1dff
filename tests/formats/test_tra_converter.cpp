// The TRA converter: field rules both ways, file names and dialogs, files written whole or not at
// all, the layout's limits refused, round trips of a generated trace, and the trace store on top.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>

#include "formats/FileErrors.h"
#include "formats/uMapsFiles.h"
#include "formats/uTRAConvs.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TraceFixtures.h"
#include "trace/TraceParams.h"
#include "trace/uGraphIntfs.h"

using namespace lv;
using lvtest::ScriptedPrompts;
using lvtest::TempDir;

namespace {

struct TRAConverterTest : ::testing::Test {
    void SetUp() override {
        UnregisterFileFormats();
        RegisterTRAFormat();
    }
    void TearDown() override { UnregisterFileFormats(); }

    ScriptedPrompts prompts;
    TempDir dir;
};

TParamBlock& P(const PDataStruct& d) {
    return *d->Params();
}

// The data of block `type` in an image.
const uint8_t* blockData(const std::vector<uint8_t>& img, TTRAKind kind, int type) {
    static std::unique_ptr<TTRAImage> keep;
    keep = ReadTRAImage(kind, img.data(), img.size());
    return keep->DataOf(*keep->Find(type));
}

std::vector<uint8_t> encode(TTRAKind kind, const PDataStruct& params, const TDataStruct* samples = nullptr) {
    TTRAConverter conv;
    conv.SetRaiseErrors(true);
    int32_t size = 0;
    std::vector<uint8_t> bytes;
    if (kind == TTRAKind::Trace)
        conv.TraceToBuffer(params.get(), samples, size, bytes);
    else
        conv.SetupToBuffer(params.get(), size, bytes);
    return bytes;
}

PDataStruct decodeRecord(const TTRARecord& record) {
    PDataStruct params;
    TRARecordToParams(record, params, nullptr);
    return params;
}

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(no error)";
}

const char* const kPropertyError = "Неизвестная ошибка при манипулировании структурами TRA или Setup. "
                                   "Неизвестный тип свойства при формировании TRA или Setup структуры";

} // namespace

TEST_F(TRAConverterTest, PositionsAreRoundTripTimesAtTheGroupIndex) {
    EXPECT_NEAR(TRADistanceFactor(1.465), 1.023181, 1e-6);
    PDataStruct params = lvtest::makeTraceParams();
    P(params)[prmIOR] = TVariant(TCurrency::FromDouble(1.465));
    P(params)[prmM] = TVariant::DoubleArray(1, 3, -1.0);
    P(params)[prmM].SetElement(1, TVariant(1000.0));
    P(params)[prmCU] = TVariant(-1.0);
    const std::vector<uint8_t> img = encode(TTRAKind::Setup, params);
    const uint8_t* b1 = blockData(img, TTRAKind::Setup, 1);
    EXPECT_EQ(GetI32(b1 + 56), 977344);
    EXPECT_EQ(GetI32(b1 + 60), -1);
    EXPECT_EQ(GetI32(b1 + 52), -977); // round(-1000 / k)

    TTRAConverter conv;
    PDataStruct back;
    ASSERT_TRUE(conv.SetupFromBuffer(img.data(), img.size(), back));
    EXPECT_NEAR(P(back)[prmM].Element(1).AsDouble(), 1000.0, 0.001);
    EXPECT_EQ(P(back)[prmM].Element(2).AsDouble(), -1.0);
    EXPECT_EQ(P(back)[prmCU].AsDouble(), -1.0);

    // A marker array that cannot be read writes "none" for all three markers.
    P(params)[prmM] = TVariant("not an array");
    const std::vector<uint8_t> brokenImage = encode(TTRAKind::Setup, params);
    const uint8_t* broken = blockData(brokenImage, TTRAKind::Setup, 1);
    for (size_t off : {56u, 60u, 64u})
        EXPECT_EQ(GetI32(broken + off), -1);
}

TEST_F(TRAConverterTest, FieldRulesBothWays) {
    PDataStruct params = lvtest::makeTraceParams();
    P(params)[prmNUM] = TVariant(int32_t(4096));
    P(params)[prmLAM] = TVariant(int32_t(1310));
    P(params)[prmAT] = TVariant(int32_t(18));
    const std::vector<uint8_t> img = encode(TTRAKind::Setup, params);
    const uint8_t* b1 = blockData(img, TTRAKind::Setup, 1);
    EXPECT_EQ(GetI16(b1 + 44), 12);
    EXPECT_EQ(GetI16(blockData(img, TTRAKind::Setup, 8) + 4), 999);
    EXPECT_EQ(GetI16(b1 + 12), 13100);
    EXPECT_EQ(GetU16(b1 + 16), 22500);

    auto record = ParamsToTRARecord(TTRAKind::Setup, params.get(), nullptr);
    EXPECT_EQ(P(decodeRecord(*record))[prmNUM].AsDouble(), 4096.0);
    PutI16(record->Block1.data() + 12, 13109);
    PutU16(record->Block1.data() + 16, 22500);
    PDataStruct back = decodeRecord(*record);
    EXPECT_EQ(P(back)[prmLAM].AsInteger(), 1310);
    EXPECT_EQ(P(back)[prmAT].AsInteger(), 18);

    // The exponent is the count's power of two; the averaging time code is looked up by the count.
    struct Row {
        int32_t count;
        int16_t exponent, code;
    };
    for (Row row : {Row{1, 0, 10}, Row{4, 2, 20}, Row{8, 3, 180}, Row{10, 3, 600}, Row{16, 4, 999},
                    Row{3000, 11, 999}, Row{65536, 16, 999}}) {
        P(params)[prmNUM] = TVariant(row.count);
        const std::vector<uint8_t> bytes = encode(TTRAKind::Setup, params);
        EXPECT_EQ(GetI16(blockData(bytes, TTRAKind::Setup, 1) + 44), row.exponent) << row.count;
        EXPECT_EQ(GetI16(blockData(bytes, TTRAKind::Setup, 8) + 4), row.code) << row.count;
    }
}

TEST_F(TRAConverterTest, RefusedValuesFailTheEncoding) {
    struct Case {
        int index;
        TVariant value;
    };
    const Case cases[] = {
        {prmAT, TVariant(int32_t(19))}, {prmAT, TVariant(int32_t(-1))}, {prmPW, TVariant(0.0)},
        {prmDS, TVariant(int32_t(2))},  {prmAVE, TVariant(int32_t(3))}, {prmLAM, TVariant("abc")},
        {prmIOR, TVariant(0.0)},        {prmIOR, TVariant()},
    };
    for (const Case& c : cases) {
        PDataStruct params = lvtest::makeTraceParams();
        P(params)[static_cast<size_t>(c.index)] = c.value;
        TTRAConverter conv;
        int32_t size = 1;
        std::vector<uint8_t> bytes(5);
        EXPECT_FALSE(conv.SetupToBuffer(params.get(), size, bytes)) << c.index;
        EXPECT_EQ(size, 0);
        EXPECT_TRUE(bytes.empty());
        conv.SetRaiseErrors(true);
        EXPECT_EQ(errorOf([&] { conv.SetupToBuffer(params.get(), size, bytes); }), kPropertyError) << c.index;
    }
}

TEST_F(TRAConverterTest, GroupIndexIsTheFirstFieldAboveOne) {
    struct Case {
        int32_t at4, at8, at12;
        double index;
        bool currency;
    };
    const Case cases[] = {
        {0, 1475000, 0, 1.475, false},          {1470000, 0, 0, 1.47, false},
        {0, 0, 1469000, 1.469, false},          {1460000, 1461000, 0, 1.461, false},
        {1000000, 1000000, 999999, 1.48, true},
    };
    PDataStruct params = lvtest::makeTraceParams();
    auto record = ParamsToTRARecord(TTRAKind::Setup, params.get(), nullptr);
    for (const Case& c : cases) {
        PutI32(record->Block2.data() + 4, c.at4);
        PutI32(record->Block2.data() + 8, c.at8);
        PutI32(record->Block2.data() + 12, c.at12);
        const TVariant index = P(decodeRecord(*record))[prmIOR];
        EXPECT_DOUBLE_EQ(index.AsDouble(), c.index);
        EXPECT_EQ(index.Type() == TVarType::Currency, c.currency);
    }
}

TEST_F(TRAConverterTest, DefaultParametersAndNewImages) {
    TTRAConverter conv;
    PDataStruct params;
    ASSERT_TRUE(conv.NewParams(params));
    ASSERT_TRUE(params && params->Params());
    EXPECT_EQ(params->Size, 2304);
    const TParamBlock& p = P(params);
    EXPECT_EQ(p[prmIOR].Type(), TVarType::Currency);
    EXPECT_EQ(p[prmIOR].AsDouble(), 1.465);
    EXPECT_EQ(p[prmSPL].Type(), TVarType::Currency);
    EXPECT_EQ(p[prmNUM].AsInteger(), 4096);
    EXPECT_EQ(p[prmAT].AsInteger(), 5);
    EXPECT_EQ(p[prmH].AsInteger(), 6);
    EXPECT_EQ(p[prmM].Element(3).AsDouble(), -1.0);
    EXPECT_FALSE(p[prmL].IsSet());
    EXPECT_FALSE(p[prmBEEP].IsSet());
    EXPECT_EQ(p[prmYEA].AsInteger(), DecodeDateTime(Now()).Year);

    // An existing descriptor is refilled: its other entries emptied.
    P(params)[77] = TVariant("x");
    ASSERT_TRUE(conv.NewParams(params));
    EXPECT_FALSE(P(params)[77].IsSet());

    PFormatRecord setup, trace, setupRecord;
    ASSERT_TRUE(conv.NewSetupImage(setup));
    ASSERT_TRUE(conv.NewTraceImage(trace));
    ASSERT_TRUE(conv.NewSetupRecord(setupRecord));
    auto* setupImage = dynamic_cast<TTRAImage*>(setup.get());
    auto* traceImage = dynamic_cast<TTRAImage*>(trace.get());
    ASSERT_TRUE(setupImage && traceImage);
    EXPECT_EQ(setupImage->Size(), (1u + 15) + 841); // the comment "0"
    // 10000 placeholder bytes are 1250 samples of 2 bytes each in the file.
    EXPECT_EQ(traceImage->Size(), (1u + 15) + (14 + 2500) + (14 + 101) + 4582);
    ASSERT_TRUE(dynamic_cast<TTRARecord*>(setupRecord.get()));
    EXPECT_TRUE(conv.FreeSetupRecord(setup, true));
    EXPECT_FALSE(setup);
    EXPECT_TRUE(conv.FreeSetupRecord(setup, true));
}

TEST_F(TRAConverterTest, RecordsAndImagesHandedOutDecodeBack) {
    TTRAConverter conv;
    conv.SetRaiseErrors(true);
    PDataStruct params = lvtest::makeTraceParams();
    PDataStruct samples = lvtest::makeTraceSamples(300);
    PFormatRecord record, image;
    ASSERT_TRUE(conv.ParamsToTraceRecord(params.get(), samples.get(), record));
    ASSERT_TRUE(conv.ParamsToTraceImage(params.get(), samples.get(), image));
    int32_t size = 0;
    std::vector<uint8_t> buffer;
    ASSERT_TRUE(conv.TraceToBuffer(params.get(), samples.get(), size, buffer));
    EXPECT_EQ(dynamic_cast<TTRAImage*>(image.get())->Bytes(), buffer);

    for (bool isImage : {false, true}) {
        PDataStruct p, s;
        ASSERT_TRUE(isImage ? conv.TraceImageToParams(image.get(), p, s)
                            : conv.TraceRecordToParams(record.get(), p, s));
        EXPECT_EQ(P(p)[prmL].AsText(), "Волокно 7, муфта 3");
        ASSERT_EQ(s->SampleCount(), 300);
        EXPECT_EQ(s->Samples()[299], lvtest::makeTraceLevels(300)[299]);
    }
    // A trace record is not a setup record, and nothing is not a record.
    PDataStruct p;
    EXPECT_EQ(errorOf([&] { conv.SetupRecordToParams(record.get(), p); }),
              "Неизвестный формат данных, отличный от TRA или Setup. \r\nПустой указатель на структуру "
              "PSetupStruct");
    EXPECT_EQ(errorOf([&] { conv.SetupImageToParams(nullptr, p); }),
              "Неизвестный формат данных, отличный от TRA или Setup. \r\nПустой указатель на структуру "
              "PSetupStructPhis");
    conv.SetRaiseErrors(false);
    EXPECT_FALSE(conv.SetupImageToParams(image.get(), p));
    EXPECT_FALSE(p);
}

TEST_F(TRAConverterTest, GeneratedTraceRoundTripsThroughBothFiles) {
    PDataStruct params = lvtest::makeTraceParams();
    PDataStruct samples = lvtest::makeTraceSamples(20000);
    TTRAConverter conv;
    conv.SetRaiseErrors(true);
    ASSERT_TRUE(conv.SaveTraceAs(params.get(), samples.get(), dir.file("fibre7")));
    ASSERT_TRUE(conv.SaveSetupAs(params.get(), dir.file("fibre7")));
    EXPECT_EQ(conv.GetTraceFileName(), dir.file("fibre7.tra"));
    EXPECT_EQ(conv.GetSetupFileName(), dir.file("fibre7.set"));

    TTRAConverter reader;
    reader.SetRaiseErrors(true);
    PDataStruct traceParams, traceSamples, setupParams;
    ASSERT_TRUE(reader.LoadTraceFrom(traceParams, traceSamples, dir.file("fibre7.tra")));
    ASSERT_TRUE(reader.LoadSetupFrom(setupParams, dir.file("fibre7.set")));

    const int numbers[] = {prmASU,  prmLAM, prmR,   prmPW,  prmIOR, prmAT,  prmFIL, prmNUM,
                           prmDS,   prmPC,  prmAVE, prmSPL, prmBSL, prmEFL, prmLSA, prmDM,
                           prmYEA,  prmMTH, prmDAY, prmHOU, prmMIN, prmLD,  prmGD,  prmAVD,
                           prmBEEP, prmDOT, prmRM,  prmAS,  prmDU,  prmMD,  prmRESR};
    for (const PDataStruct* back : {&traceParams, &setupParams}) {
        const TParamBlock& in = P(params);
        const TParamBlock& out = P(*back);
        for (int i : numbers)
            EXPECT_DOUBLE_EQ(out[i].AsDouble(), in[i].AsDouble()) << "parameter " << i;
        // Positions pass through times of 10 ps: back within a millimetre.
        for (int i : {prmCU, prmREF})
            EXPECT_NEAR(out[i].AsDouble(), in[i].AsDouble(), 1e-3) << i;
        for (int a : {prmM, prmY})
            for (int e = 1; e <= 3; ++e)
                EXPECT_NEAR(out[a].Element(e).AsDouble(), in[a].Element(e).AsDouble(), 1e-3);
        EXPECT_EQ(out[prmL].AsText(), in[prmL].AsText());
    }
    for (int e = 1; e <= 101; ++e)
        EXPECT_EQ(P(traceParams)[prmEN].Element(e).AsText(), P(params)[prmEN].Element(e).AsText()) << e;
    EXPECT_FALSE(P(setupParams)[prmEN].IsSet());
    ASSERT_EQ(traceSamples->SampleCount(), 20000);
    const std::vector<double> levels = lvtest::makeTraceLevels(20000);
    EXPECT_TRUE(std::equal(levels.begin(), levels.end(), traceSamples->Samples()));

    // Written again from what was read, the files are the same bytes.
    const std::vector<uint8_t> first = lvtest::readBytes(dir.file("fibre7.tra"));
    ASSERT_TRUE(reader.SaveTrace(traceParams.get(), traceSamples.get()));
    EXPECT_EQ(lvtest::readBytes(dir.file("fibre7.tra")), first);
}

TEST_F(TRAConverterTest, FileNamesGetTheDefaultExtensionOnlyWithoutOne) {
    const std::pair<const char*, const char*> cases[] = {
        {"a/name", "a/name.tra"},
        {"a/name.", "a/name."},
        {"a/name.dat", "a/name.dat"},
        {"dir.x/name", "dir.x/name.tra"},
        {"", ""},
        {"c:\\dir.x\\name", "c:\\dir.x\\name.tra"},
    };
    for (auto [in, out] : cases)
        EXPECT_EQ(WithDefaultExtension(in, ".tra"), out) << in;

    PDataStruct params = lvtest::makeTraceParams();
    PDataStruct samples = lvtest::makeTraceSamples(100);
    TTRAConverter conv;
    ASSERT_TRUE(conv.SaveTraceAs(params.get(), samples.get(), dir.file("plain")));
    ASSERT_TRUE(conv.SaveTraceAs(params.get(), samples.get(), dir.file("dotted.")));
    ASSERT_TRUE(conv.SaveSetupAs(params.get(), dir.file("plain")));
    std::vector<std::string> names = dir.entries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"dotted.", "plain.set", "plain.tra"}));
}

TEST_F(TRAConverterTest, SavingOverALongerFileLeavesExactlyTheImage) {
    PDataStruct params = lvtest::makeTraceParams();
    PDataStruct samples = lvtest::makeTraceSamples(500);
    const std::string target = dir.file("old.tra");
    lvtest::writeBytes(target, std::vector<uint8_t>(200000, 0xEE));
    ::chmod(target.c_str(), 0640);
    TTRAConverter conv;
    ASSERT_TRUE(conv.SaveTraceAs(params.get(), samples.get(), target));
    EXPECT_EQ(lvtest::readBytes(target), encode(TTRAKind::Trace, params, samples.get()));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"old.tra"});
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(TRAConverterTest, TheLayoutsLimitsAreRefusedAndNothingIsWritten) {
    PDataStruct params = lvtest::makeTraceParams();
    const std::string target = dir.file("keep.tra");
    const std::vector<uint8_t> old = {1, 2, 3};
    struct Case {
        std::function<void(PDataStruct& params, std::vector<double>& levels)> change;
        std::string message;
    };
    const Case cases[] = {
        {[](PDataStruct&, std::vector<double>& l) { l.resize(100000, 1.0); },
         "Трасса содержит 100000 точек; формат TRA допускает не более 65535. Сохраните трассу в формате "
         "Bellcore (*.sor)."},
        {[](PDataStruct&, std::vector<double>& l) { l.resize(65536, 1.0); },
         "Трасса содержит 65536 точек; формат TRA допускает не более 65535. Сохраните трассу в формате "
         "Bellcore (*.sor)."},
        {[](PDataStruct&, std::vector<double>& l) { l[3] = -0.5; },
         "Уровень -0,5 дБ в точке 4 вне диапазона формата TRA (от 0 до 65,535 дБ). Сохраните трассу в "
         "формате Bellcore (*.sor)."},
        {[](PDataStruct&, std::vector<double>& l) { l[0] = 65.5355; },
         "Уровень 65,5355 дБ в точке 1 вне диапазона формата TRA (от 0 до 65,535 дБ). Сохраните трассу в "
         "формате Bellcore (*.sor)."},
        {[](PDataStruct&, std::vector<double>& l) { l[9] = std::nan(""); },
         "Уровень nan дБ в точке 10 вне диапазона формата TRA (от 0 до 65,535 дБ). Сохраните трассу в "
         "формате Bellcore (*.sor)."},
        {[](PDataStruct& p, std::vector<double>&) {
             P(p)[prmLAM] = TVariant(int32_t(4000));
         },
         "Значение 4000 параметра 2 не помещается в поле формата TRA или Setup (допустимо от -3276,8 до "
         "3276,7)."},
        {[](PDataStruct& p, std::vector<double>&) {
             P(p)[prmMTH] = TVariant(int32_t(300));
         },
         "Значение 300 параметра 23 не помещается в поле формата TRA или Setup (допустимо от 0 до 255)."},
        {[](PDataStruct& p, std::vector<double>&) {
             P(p)[prmSPL] = TVariant(-0.2);
         },
         "Значение -0,2 параметра 13 не помещается в поле формата TRA или Setup (допустимо от 0 до 65,535)."},
    };
    for (const Case& c : cases) {
        lvtest::writeBytes(target, old);
        PDataStruct p = lvtest::makeTraceParams();
        std::vector<double> levels = lvtest::makeTraceLevels(100);
        c.change(p, levels);
        PDataStruct s = MakeSampleBlock(levels.data(), static_cast<int32_t>(levels.size()));
        TTRAConverter conv;
        conv.SetRaiseErrors(true);
        EXPECT_EQ(errorOf([&] { conv.SaveTraceAs(p.get(), s.get(), target); }), c.message);
        EXPECT_EQ(conv.GetTraceFileName(), "");
        conv.SetRaiseErrors(false);
        EXPECT_FALSE(conv.SaveTraceAs(p.get(), s.get(), dir.file("new.tra")));
        EXPECT_EQ(lvtest::readBytes(target), old);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"keep.tra"});
    }

    // What fits is written as the layout says: 65535 samples up to 65.535 dB.
    std::vector<double> levels(65535, 65.535);
    levels[0] = 0.0;
    PDataStruct s = MakeSampleBlock(levels.data(), 65535);
    const std::vector<uint8_t> img = encode(TTRAKind::Trace, params, s.get());
    ASSERT_FALSE(img.empty());
    EXPECT_EQ(GetU16(blockData(img, TTRAKind::Trace, 1) + 18), 65535);
    const uint8_t* b3 = blockData(img, TTRAKind::Trace, 3);
    EXPECT_EQ(GetU16(b3), 0);
    EXPECT_EQ(GetU16(b3 + 2 * 65534), 65535);
}

TEST_F(TRAConverterTest, DialogsAskForMissingNamesThroughThePromptService) {
    PDataStruct params = lvtest::makeTraceParams();
    PDataStruct samples = lvtest::makeTraceSamples(50);
    TTRAConverter conv;

    // Cancelled: false, nothing changed.
    EXPECT_FALSE(conv.SaveTrace(params.get(), samples.get()));
    ASSERT_EQ(prompts.Dialogs.size(), 1u);
    const TFileDialogRequest& save = prompts.Dialogs[0];
    EXPECT_TRUE(save.Save);
    EXPECT_EQ(save.Title, "Сохранить файл TRA");
    EXPECT_EQ(save.Filter, "Файлы TRA (*.tra)|*.tra|Все файлы|*.*");
    EXPECT_EQ(save.FilterIndex, 1);
    EXPECT_EQ(save.DefaultExt, "tra");
    EXPECT_TRUE(save.OverwritePrompt && save.HelpButton && save.HideReadOnly);
    EXPECT_EQ(save.FileName, "");
    EXPECT_EQ(save.InitialDir, "");

    // A chosen name is kept when the save succeeds ...
    prompts.FileAnswers = {{dir.file("chosen")}};
    EXPECT_TRUE(conv.SaveTrace(params.get(), samples.get()));
    EXPECT_EQ(conv.GetTraceFileName(), dir.file("chosen.tra"));
    // ... and dropped again when it fails.
    TTRAConverter other;
    prompts.FileAnswers = {{dir.file("missing/folder/x.tra")}};
    EXPECT_FALSE(other.SaveTrace(params.get(), samples.get()));
    EXPECT_EQ(other.GetTraceFileName(), "");

    PDataStruct p, s;
    prompts.FileAnswers = {{dir.file("chosen.tra")}};
    EXPECT_TRUE(other.LoadTrace(p, s));
    EXPECT_EQ(prompts.Dialogs.back().Title, "Открыть файл TRA");
    EXPECT_FALSE(prompts.Dialogs.back().OverwritePrompt);
    EXPECT_EQ(s->SampleCount(), 50);

    EXPECT_FALSE(other.LoadSetup(p));
    EXPECT_EQ(prompts.Dialogs.back().Title, "Открыть файл настроек");
    EXPECT_EQ(prompts.Dialogs.back().Filter, "Файлы настроек (*.set)|*.set|Все фаайлы|*.*");
    EXPECT_EQ(prompts.Dialogs.back().DefaultExt, "set");
    EXPECT_FALSE(other.SaveSetup(params.get()));
    EXPECT_EQ(prompts.Dialogs.back().Title, "Сохранить файл настроек");
    EXPECT_EQ(prompts.Dialogs.back().Filter, "Файлы настроек (*.set)|*.set|Все файлы|*.*");
    EXPECT_TRUE(prompts.Messages.empty());
}

TEST_F(TRAConverterTest, FailuresAnswerFalseOrRaiseAndRestoreTheName) {
    PDataStruct params = lvtest::makeTraceParams();
    PDataStruct samples = lvtest::makeTraceSamples(50);
    TTRAConverter conv;
    ASSERT_TRUE(conv.SaveTraceAs(params.get(), samples.get(), dir.file("good.tra")));

    PDataStruct p, s;
    EXPECT_FALSE(conv.LoadTraceFrom(p, s, dir.file("absent.tra")));
    EXPECT_FALSE(p || s);
    EXPECT_EQ(conv.GetTraceFileName(), dir.file("good.tra"));

    conv.SetRaiseErrors(true);
    try {
        conv.LoadTraceFrom(p, s, dir.file("absent.tra"));
        FAIL();
    } catch (const EFileError& e) {
        EXPECT_EQ(e.Message(), "Не удается открыть файл \"" + dir.file("absent.tra") + "\" для отображения");
        EXPECT_EQ(e.ErrorCode(), ENOENT);
    }
    EXPECT_EQ(conv.GetTraceFileName(), dir.file("good.tra"));

    lvtest::writeBytes(dir.file("empty.tra"), {});
    EXPECT_EQ(errorOf([&] { conv.LoadTraceFrom(p, s, dir.file("empty.tra")); }),
              "Не удается создать объект отображения для файла \"" + dir.file("empty.tra") + "\"");
    lvtest::writeBytes(dir.file("junk.tra"), std::vector<uint8_t>(100, 7));
    EXPECT_EQ(errorOf([&] { conv.LoadTraceFrom(p, s, dir.file("junk.tra")); }),
              "Неизвестный формат данных, отличный от TRA или Setup");
    // A setup file is not a trace file.
    ASSERT_TRUE(conv.SaveSetupAs(params.get(), dir.file("s.set")));
    EXPECT_THROW(conv.LoadTraceFrom(p, s, dir.file("s.set")), EInvalidDataFormat);
}

TEST_F(TRAConverterTest, BuffersDecodeAndEmptyTheCurrentName) {
    PDataStruct params = lvtest::makeTraceParams();
    PDataStruct samples = lvtest::makeTraceSamples(50);
    TTRAConverter conv;
    ASSERT_TRUE(conv.SaveTraceAs(params.get(), samples.get(), dir.file("a.tra")));
    ASSERT_TRUE(conv.SaveSetupAs(params.get(), dir.file("a.set")));
    PDataStruct p, s;
    EXPECT_FALSE(conv.TraceFromBuffer(nullptr, 10, p, s));
    EXPECT_FALSE(conv.SetupFromBuffer(nullptr, 10, p));
    EXPECT_EQ(conv.GetTraceFileName(), dir.file("a.tra"));

    const std::vector<uint8_t> trace = lvtest::readBytes(dir.file("a.tra"));
    const std::vector<uint8_t> setup = lvtest::readBytes(dir.file("a.set"));
    ASSERT_TRUE(conv.TraceFromBuffer(trace.data(), trace.size(), p, s));
    EXPECT_EQ(conv.GetTraceFileName(), "");
    EXPECT_EQ(conv.GetSetupFileName(), dir.file("a.set"));
    ASSERT_TRUE(conv.SetupFromBuffer(setup.data(), setup.size(), p));
    EXPECT_EQ(conv.GetSetupFileName(), "");
}

// A save that cannot complete, here for a file-size limit in a child process, leaves the old
// file as it was and no temporary file.
TEST_F(TRAConverterTest, ASaveThatCannotCompleteLeavesTheOldFile) {
    const std::string target = dir.file("old.tra");
    const std::vector<uint8_t> old(3000, 0x5A);
    lvtest::writeBytes(target, old);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim {
            65536, 65536
        };
        ::setrlimit(RLIMIT_FSIZE, &lim);
        PDataStruct params = lvtest::makeTraceParams();
        PDataStruct samples = lvtest::makeTraceSamples(60000);
        TTRAConverter conv;
        conv.SetRaiseErrors(true);
        try {
            conv.SaveTraceAs(params.get(), samples.get(), target);
        } catch (const EFileError& e) {
            const bool named = e.Message().find(target) != std::string::npos;
            ::_exit(e.ErrorCode() == EFBIG && named ? 0 : 2);
        } catch (...) {
            ::_exit(3);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(lvtest::readBytes(target), old);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"old.tra"});
}

TEST_F(TRAConverterTest, TheTraceStoreLoadsAndSavesThroughTheRealConverter) {
    PDataStruct params = lvtest::makeTraceParams();
    PDataStruct samples = lvtest::makeTraceSamples(2000);
    TTRAConverter conv;
    ASSERT_TRUE(conv.SaveTraceAs(params.get(), samples.get(), dir.file("t.tra")));

    auto* store = new TRDataStorage();
    store->SetAutoFree(false);
    ASSERT_TRUE(store->Converter()->GetRaiseErrors());
    ASSERT_TRUE(store->LoadFromFile(dir.file("t.tra"), false));
    EXPECT_EQ(store->GetFileName(), dir.file("t.tra"));
    EXPECT_EQ(store->GetComment(), "Волокно 7, муфта 3");
    EXPECT_NEAR(store->GetMarker(1), 4.0, 1e-6);
    EXPECT_EQ(store->AverageModeText, "Точное");
    EXPECT_GT(store->Length12, 0.0);

    store->SetComment("после сохранения");
    ASSERT_TRUE(store->SaveToFile("", true));
    TTRAConverter reader;
    PDataStruct p, s;
    ASSERT_TRUE(reader.LoadTraceFrom(p, s, dir.file("t.tra")));
    EXPECT_EQ(P(p)[prmL].AsText(), "после сохранения");
    EXPECT_EQ(s->SampleCount(), 2000);

    // Errors reach the store's caller with the texts of the format module.
    std::vector<uint8_t> bytes = lvtest::readBytes(dir.file("t.tra"));
    bytes[40] ^= 1;
    lvtest::writeBytes(dir.file("bad.tra"), bytes);
    EXPECT_EQ(errorOf([&] { store->LoadFromFile(dir.file("bad.tra"), false); }),
              "Неизвестный формат данных, отличный от TRA или Setup. \r\nНеверная контрольная сумма");
    EXPECT_EQ(store->GetFileName(), dir.file("t.tra"));
    delete store;
}

// A trace whose setup does not say how to fit (as a device may hand it over) is fitted by least
// squares, and so it is when it comes back from its file.
TEST_F(TRAConverterTest, AnUnsetApproximationIsKeptAsLeastSquares) {
    PDataStruct params = lvtest::makeTraceParams();
    P(params)[prmLSA].Clear();
    TRDataStorage store;
    store.SetAutoFree(false);
    store.SetupArrived(params.get());
    store.DataArrived(lvtest::makeTraceSamples(2000).get());
    for (int i : {0, 1, 2})
        store.SetMarker(i, 1.0 + 3.0 * i);
    ASSERT_EQ(store.GetApproximation(), 1);
    ASSERT_TRUE(store.SaveToFile(dir.file("fit.tra"), false));

    TRDataStorage back;
    back.SetAutoFree(false);
    ASSERT_TRUE(back.LoadFromFile(dir.file("fit.tra"), false));
    EXPECT_EQ(back.GetApproximation(), 1);
    EXPECT_GT(back.Length12, 0.0);
    EXPECT_NEAR(back.Slope12, store.Slope12, 1e-9);
    // Markers come back within a millimetre (times of 10 ps).
    EXPECT_NEAR(back.JointLoss, store.JointLoss, 1e-4);
}

namespace {
// Bytes as hex, a run of four or more equal bytes written as "(count*byte)", so that an image
// reads as the fields that are set.
std::string compactHex(const std::vector<uint8_t>& bytes) {
    std::string out;
    char buf[32];
    for (size_t i = 0; i < bytes.size();) {
        size_t run = 1;
        while (i + run < bytes.size() && bytes[i + run] == bytes[i])
            ++run;
        if (run >= 4) {
            std::snprintf(buf, sizeof buf, "(%zu*%02x)", run, bytes[i]);
            i += run;
        } else {
            std::snprintf(buf, sizeof buf, "%02x", bytes[i++]);
        }
        out += buf;
    }
    return out;
}

// The parameters that are set, with their types: "index=type:value" joined by spaces.
std::string paramDump(const TParamBlock& p) {
    std::string out;
    for (size_t i = 0; i < p.size(); ++i) {
        const TVariant& v = p[i];
        if (!v.IsSet()) continue;
        const char* type = "?";
        std::string value;
        switch (v.Type()) {
        case TVarType::Integer:
            type = "i", value = std::to_string(v.AsInteger());
            break;
        case TVarType::Double:
            type = "d", value = v.AsText();
            break;
        case TVarType::Currency:
            type = "c", value = v.AsText();
            break;
        case TVarType::Text:
            type = "t", value = v.AsText();
            break;
        case TVarType::Array:
            type = "a";
            for (int k = v.LowBound(); k <= v.HighBound(); ++k)
                value += (k > v.LowBound() ? "," : "") + v.Element(k).AsText();
            break;
        default:
            break;
        }
        out += std::to_string(i) + "=" + type + ":" + value + " ";
    }
    return out;
}
} // namespace

// Every field of the layout at its offset, both ways: the whole images of a block with every
// field set away from its default and of one holding only the date (every other field takes its
// default), and the parameters read back from them with their types.
TEST_F(TRAConverterTest, FieldsSitAtTheirOffsetsBothWays) {
    PDataStruct sparse = MakeParamBlock();
    const std::pair<int, int32_t> date[] = {
        {prmYEA, 2024}, {prmMTH, 2}, {prmDAY, 29}, {prmHOU, 23}, {prmMIN, 59}};
    for (auto [index, value] : date)
        P(sparse)[index] = TVariant(value);
    P(sparse)[prmIOR] = TVariant(1.4675);
    PDataStruct full = lvtest::makeTraceParams();
    const std::vector<double> levels = {0.0, 12.345, 65.535, 7.0};
    PDataStruct samples = MakeSampleBlock(levels.data(), 4);
    struct Case {
        const char* name;
        TTRAKind kind;
        const PDataStruct& params;
        const char* image;
        const char* decoded;
    };
    const Case cases[] = {
        {"sparse setup", TTRAKind::Setup, sparse,
         "00000c0002(9*00)300001000c00c8(9*00)4f4646004f464600484920002c336400e2041027404b4c008813"
         "0000002d3101(4*00)409c0000356b20000c000a000a000a002dfc(110*ff)2dfc(10*ff)4c5341000000c80"
         "050c300003400320034003200b80b020002000c00a0(13*00)6c6416006c6416006c6416(5*00)080008(5*0"
         "0)0500000028000000140000000a000000050000000200000001(4*00)710200000050c300005a6202000000"
         "01000000(20*ff)(24*00)72eb(38*00)08000c00a201(12*00)0a0000000100010001(13*00)e807021d173b010"
         "00100010001(49*00)030003(5*00)06005c(136*00)06005c(136*00)01(9*00)01(33*00)07000c0007(9*"
         "00)5ca54403000000",
         "1=i:0 2=i:1310 3=i:5 4=d:10 5=d:1.4675 6=i:1 7=i:0 8=d:4096 9=i:0 10=i:1 11=i:1 13=d:0.2"
         " 14=d:50 15=d:3 16=i:1 20=i:0 22=i:2024 23=i:2 24=i:29 25=i:23 26=i:59 29=i:1 30=i:1 31="
         "i:1 32=i:0 33=i:1 43=i:0 44=i:0 51=a:-1,-1,-1 53=a:-1,-1,-1 57=t:0 71=d:-0.9999876252129"
         "47 89=i:0 103=i:0 105=i:6 110=d:0 111=d:-1 112=i:0 116=i:0 122=d:4 "},
        {"full setup", TTRAKind::Setup, full,
         "00000c0013(9*00)c2eeebeeeaedee20372c20ecf3f4f2e020330001000c00c8(9*00)4f4646004f4646004c"
         "4f57008c3ce8032e221027002d310188130000002d3101d0070000a861000032306b000a000a000a000a0026"
         "b94a0003cd010052c73b006c818600(4*ff)e7453d00(88*ff)75bc0300(8*ff)545041000000320074c9fef"
         "f34003200340032007c15020002000c00a0(9*00)0c000000c4661600c4661600c46616(5*00)080008(5*00"
         ")0500000028000000140000000a000000050000000200000001(4*00)710200000050c300005a62020000000"
         "1000000(20*ff)(22*00)020072eb(38*00)08000c00a201(8*00)03000200e7030100040002(9*00)09(5*0"
         "0)e7070b1c0e0502000300040003(49*00)030003(5*00)06005c(136*00)06005c(136*00)01(9*00)01(33"
         "*00)07000c0007(9*00)baa65503000000",
         "1=i:3 2=i:1550 3=i:20 4=d:100 5=d:1.4681 6=i:7 7=i:2 8=d:1024 9=i:1 10=i:4 11=i:2 13=d:0"
         ".05 14=d:-79.5 15=d:5.5 16=i:0 20=i:9 22=i:2023 23=i:11 24=i:28 25=i:14 26=i:5 29=i:2 30"
         "=i:3 31=i:4 32=i:0 33=i:3 43=i:0 44=i:0 51=a:120.499802629249,4000.00043866222,9000.2496"
         "0544922 53=a:-1,4100.00019437368,-1 57=t:Волокно 7, муфта 3 71=d:249.999899788843 89=i:0"
         " 103=i:0 105=i:6 110=d:0.002 111=d:5000.00003781759 112=i:12 116=i:0 122=d:2.5 "},
        {"full trace", TTRAKind::Trace, full,
         "00000c0013(9*00)c2eeebeeeaedee20372c20ecf3f4f2e020330001000c00c8(9*00)4f4646004f4646004c"
         "4f57008c3ce8032e220400002d310188130000002d3101d0070000a861000032306b000a000a000a000a0026"
         "b94a0003cd010052c73b006c818600(4*ff)e7453d00(88*ff)75bc0300(8*ff)545041000000320074c9fef"
         "f34003200340032007c15020002000c00a0(9*00)0c000000c4661600c4661600c46616(5*00)080008(5*00"
         ")0500000028000000140000000a000000050000000200000001(4*00)710200000050c300005a62020000000"
         "1000000(20*ff)(22*00)020072eb(38*00)08000c00a201(8*00)03000200e7030100040002(9*00)09(5*0"
         "0)e7070b1c0e0502000300040003(49*00)030003(5*00)06005c(136*00)06005c(136*00)01(9*00)01(33"
         "*00)03000c0008(11*00)3930ffff581b04000c00fa03(1026*00)05000c00d008(2264*00)06000c007f(9*"
         "00)cae0e1e5ebfc20cecacb2d302c32320066696272652037(99*00)6c6173740007000c0007(9*00)d9b8de"
         "1000000009000c009401(412*00)0a000c0007(9*00)1cbc9512000000",
         "1=i:3 2=i:1550 3=i:20 4=d:100 5=d:1.4681 6=i:7 7=i:2 8=d:1024 9=i:1 10=i:4 11=i:2 13=d:0"
         ".05 14=d:-79.5 15=d:5.5 16=i:0 20=i:9 22=i:2023 23=i:11 24=i:28 25=i:14 26=i:5 29=i:2 30"
         "=i:3 31=i:4 32=i:0 33=i:3 43=i:0 44=i:0 51=a:120.499802629249,4000.00043866222,9000.2496"
         "0544922 53=a:-1,4100.00019437368,-1 57=t:Волокно 7, муфта 3 64=a:Кабель ОКЛ-0,22,fibre 7"
         ",,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,"
         ",,,,,,,,,,,last 71=d:249.999899788843 89=i:0 103=i:0 105=i:6 110=d:0.002 111=d:5000.0000"
         "3781759 112=i:12 116=i:0 122=d:2.5 "},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> img =
            encode(c.kind, c.params, c.kind == TTRAKind::Trace ? samples.get() : nullptr);
        EXPECT_EQ(compactHex(img), c.image) << c.name;
        TTRAConverter conv;
        conv.SetRaiseErrors(true);
        PDataStruct back, backSamples;
        if (c.kind == TTRAKind::Trace)
            ASSERT_TRUE(conv.TraceFromBuffer(img.data(), img.size(), back, backSamples));
        else
            ASSERT_TRUE(conv.SetupFromBuffer(img.data(), img.size(), back));
        EXPECT_EQ(paramDump(P(back)), c.decoded) << c.name;
    }
}
