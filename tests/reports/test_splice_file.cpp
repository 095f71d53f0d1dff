// The line's splice file: its text layout, the older layout without the trace start, damaged and
// foreign files, and the safe replacement of the file.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <filesystem>

#include "formats/FileErrors.h"
#include "reports/uSpliceEdit.h"
#include "reports/uSpliceFile.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

using namespace lv;
using lvtest::TempDir;

namespace {

std::vector<TSpliceRecord> sampleRecords() {
    TSpliceRecord b; // placed only from B, no name
    b.MPosR = 2.5;
    b.M1R = 1.5, b.M2R = 2.5, b.MYR = 2.7, b.M3R = 3.7;
    b.EndPt = 10.2, b.SrtPt = 0.1;
    TSpliceRecord a;
    a.MName = "Муфта\t«1»\\n\r\nконец";
    a.MPosF = 0.1 + 0.2; // not a short decimal: must come back bit for bit
    a.M1F = 1e-300, a.M2F = 0.30000000000000004, a.MYF = 0.5, a.M3F = -0.0;
    a.MPosR = 9.999999999999998;
    a.EndPt = 10.2, a.SrtPt = 0.1;
    return {b, a};
}

} // namespace

TEST(SpliceFile, TextLayoutAndRoundTrip) {
    TSpliceRecord r;
    r.MName = "Муфта 1";
    r.MPosF = 4.2, r.M1F = 3.2, r.M2F = 4.2, r.MYF = 4.4, r.M3F = 5.4;
    r.EndPt = 10, r.SrtPt = 0.1;
    EXPECT_EQ(EncodeSpliceFile({r}),
              "Lumvaris splice table 2\n"
              "MName\tMPosF\tM1F\tM2F\tMYF\tM3F\tMPosR\tM1R\tM2R\tMYR\tM3R\tEndPt\tSrtPt\n"
              "Муфта 1\t4.2\t3.2\t4.2\t4.4\t5.4\t\t\t\t\t\t10\t0.1\n");

    const std::vector<TSpliceRecord> records = sampleRecords();
    const std::vector<TSpliceRecord> back = DecodeSpliceFile(EncodeSpliceFile(records), "x.mif");
    EXPECT_EQ(back, records);
    EXPECT_TRUE(std::signbit(*back[1].M3F));
    EXPECT_TRUE(DecodeSpliceFile(EncodeSpliceFile({}), "x.mif").empty());

    // Lines ending in CR LF and a byte-order mark, as an editor may leave them; blank lines skipped.
    const std::string edited = "\xEF\xBB\xBFLumvaris splice table 2\r\nMName\tMPosF\r\nM 1\t1.5\r\n\r\n";
    const std::vector<TSpliceRecord> e = DecodeSpliceFile(edited, "x.mif");
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].MName, "M 1");
    EXPECT_EQ(e[0].MPosF, 1.5);
    EXPECT_FALSE(e[0].EndPt);
}

TEST(SpliceFile, OlderLayoutReadsWithAnEmptyStart) {
    const std::string older = "Lumvaris splice table 1\n"
                              "MName\tMPosF\tM1F\tM2F\tMYF\tM3F\tMPosR\tM1R\tM2R\tMYR\tM3R\tEndPt\n"
                              "Муфта 1\t4.2\t3.2\t4.2\t4.4\t5.4\t5.8\t4.8\t5.8\t6\t7\t10\n";
    const std::vector<TSpliceRecord> records = DecodeSpliceFile(older, "L.mif");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_FALSE(records[0].SrtPt);
    EXPECT_EQ(records[0].EndPt, 10.0);
    EXPECT_EQ(records[0].M3R, 7.0);
    EXPECT_EQ(*records[0].MPosFC(), 4.2); // an empty start counts as 0

    TSpliceEditor ed;
    ed.Load(records);
    EXPECT_EQ(ed.Start(), 0.0);
    EXPECT_EQ(ed.End(), 10.0);
}

TEST(SpliceFile, ForeignAndDamagedTextsAreRefused) {
    // The path holds format characters: messages must show it as it is.
    const std::string path = "/data/100%d/L%s.mif";
    const std::string head = "Lumvaris splice table 2\nMName\tMPosF\n";
    struct Row {
        std::string text;
        std::string message;
    };
    const std::string foreign = "Файл \"" + path + "\" не является таблицей муфт.";
    auto damaged = [&](int line) { return "Таблица муфт \"" + path + "\" повреждена (строка " + std::to_string(line) + ")."; };
    const Row rows[] = {
        {"", foreign},
        {std::string("\x01\x00\x00\x00MD\x02", 7), foreign},
        {"Lumvaris splice table x\n", foreign},
        {"Lumvaris splice table 0\n", foreign},
        {"Lumvaris splice table 3\nMName\n", "Таблица муфт \"" + path + "\" записана более новой версией программы."},
        {"Lumvaris splice table 2\n", damaged(2)},
        {"Lumvaris splice table 2\nMName\tLength\n", damaged(2)},
        {"Lumvaris splice table 2\nMName\tMPosF\tMPosF\n", damaged(2)},
        {head + "A\t1\nB\n", damaged(4)},
        {head + "A\t1\t2\n", damaged(3)},
        {head + "A\t1,5\n", damaged(3)},
        {head + "A\tnan\n", damaged(3)},
        {head + "A\t1e999\n", damaged(3)},
        {head + "A\\q\t1\n", damaged(3)},
        {head + "A\\\t1\n", damaged(3)},
    };
    for (const Row& r : rows) {
        try {
            DecodeSpliceFile(r.text, path);
            ADD_FAILURE() << r.text;
        } catch (const EInvalidDataFormat& e) {
            EXPECT_EQ(e.Message(), r.message) << r.text;
        }
    }
}

TEST(SpliceFile, SavingReplacesSafelyAndAFailedWriteKeepsTheOldFile) {
    TempDir dir;
    const std::string path = SpliceFileName(dir.path() + "/", "L1");
    EXPECT_EQ(path, dir.path() + "/L1.mif");
    SaveSpliceFile(path, sampleRecords());
    EXPECT_EQ(LoadSpliceFile(path), sampleRecords());
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"L1.mif"});

    const std::vector<uint8_t> old = lvtest::readBytes(path);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_THROW(SaveSpliceFile(path, {}), EFileError);
    EXPECT_EQ(lvtest::readBytes(path), old);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"L1.mif"});

    try {
        SaveSpliceFile(dir.file("gone/L1.mif"), {});
        ADD_FAILURE();
    } catch (const EFileError& e) {
        EXPECT_NE(e.Message().find("gone/L1.mif"), std::string::npos);
    }
    EXPECT_THROW(LoadSpliceFile(dir.file("missing.mif")), EFileError);
}

TEST(SpliceFile, AnUnreadableFileIsNeverOverwritten) {
    lvtest::ScriptedPrompts prompts;
    TempDir dir;
    const std::string path = dir.file("L1.mif");
    const std::string side = dir.file("L1.lumvaris.mif");
    EXPECT_EQ(SpliceSideFileName(path), side);

    // No file yet: an empty table written to the line's file.
    std::optional<TSpliceFileChoice> fresh = OpenSpliceFile(path);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->Path, path);
    EXPECT_TRUE(fresh->Records.empty());

    // Our own file is read.
    SaveSpliceFile(path, sampleRecords());
    std::optional<TSpliceFileChoice> own = OpenSpliceFile(path);
    ASSERT_TRUE(own);
    EXPECT_EQ(own->Path, path);
    EXPECT_EQ(own->Records, sampleRecords());
    EXPECT_TRUE(prompts.Messages.empty());

    // Another program's file: the operator is asked; No opens nothing.
    const std::vector<uint8_t> foreign = {0x96, 0x19, 0, 0, 0x02, 'M', 'D'};
    lvtest::writeBytes(path, foreign);
    prompts.Answers = {mrNo};
    EXPECT_FALSE(OpenSpliceFile(path));
    ASSERT_EQ(prompts.Messages.size(), 1u);
    EXPECT_EQ(prompts.Messages[0].Type, TMsgDlgType::mtConfirmation);
    EXPECT_EQ(prompts.Messages[0].Buttons, static_cast<TMsgDlgButtons>(mbYes | mbNo));
    EXPECT_EQ(prompts.Messages[0].Text,
              SpliceFileKeepAsideQuestion("Файл \"" + path + "\" не является таблицей муфт.", side));
    EXPECT_NE(prompts.Messages[0].Text.find("\"" + side + "\""), std::string::npos);

    // Yes keeps the table beside it, and from then on that file is read without asking.
    prompts.Answers = {mrYes};
    std::optional<TSpliceFileChoice> aside = OpenSpliceFile(path);
    ASSERT_TRUE(aside);
    EXPECT_EQ(aside->Path, side);
    EXPECT_TRUE(aside->Records.empty());
    SaveSpliceFile(aside->Path, sampleRecords());
    std::optional<TSpliceFileChoice> again = OpenSpliceFile(path);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Path, side);
    EXPECT_EQ(again->Records, sampleRecords());
    EXPECT_EQ(prompts.Messages.size(), 2u);
    EXPECT_EQ(lvtest::readBytes(path), foreign);

    // A damaged side file is an error: nothing opens, nothing is replaced.
    lvtest::writeBytes(side, {'L', 'u', 'm'});
    EXPECT_FALSE(OpenSpliceFile(path));
    ASSERT_EQ(prompts.Messages.size(), 3u);
    EXPECT_EQ(prompts.Messages[2].Type, TMsgDlgType::mtError);
    EXPECT_EQ(prompts.Messages[2].Text, "Файл \"" + side + "\" не является таблицей муфт.");
    EXPECT_EQ(lvtest::readBytes(side), (std::vector<uint8_t>{'L', 'u', 'm'}));
}
