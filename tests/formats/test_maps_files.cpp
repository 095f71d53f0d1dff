// TFileMaping: the Opened/Mapped switches, refreshing on a changed setting, and its errors.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "formats/uMapsFiles.h"
#include "support/TempDir.h"

using namespace lv;
using lvtest::TempDir;

namespace {

std::vector<uint8_t> numbered(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return v;
}

struct MapsFilesTest : ::testing::Test {
    TempDir dir;
    std::vector<std::string> events;
    void watch(TFileMaping& m) {
        m.OnOpenChanged = [this](TFileMaping* s) { events.push_back(s->Opened() ? "opened" : "closed"); };
        m.OnMappedChanged = [this](TFileMaping* s) { events.push_back(s->Mapped() ? "mapped" : "unmapped"); };
    }
};

} // namespace

TEST_F(MapsFilesTest, DefaultsAndTheSwitches) {
    TFileMaping m;
    EXPECT_TRUE(m.RaiseOnExcept());
    EXPECT_TRUE(m.RefreshWhenChange());
    EXPECT_EQ(m.AccessLevelOfFile(), TAccessLevel{aaRead});
    EXPECT_EQ(m.ShareModeOfFile(), TSharedMode{saRead});
    EXPECT_EQ(m.CreateDispos(), cdOpenAlways);
    EXPECT_EQ(m.AttribsOfFile(), TFileAttribs{faNormal});
    EXPECT_TRUE(m.FlagsOfFile().Empty());
    EXPECT_EQ(m.ProtectOfMap(), pRead);
    EXPECT_EQ(m.AccessOfMap(), maRead);
    EXPECT_EQ(m.MapMaxSize(), 0);

    const std::vector<uint8_t> bytes = numbered(10000);
    lvtest::writeBytes(dir.file("a.bin"), bytes);
    watch(m);
    m.SetFileName(dir.file("a.bin"));
    m.SetMapped(true); // opens first
    ASSERT_TRUE(m.Opened() && m.Mapped());
    EXPECT_EQ(m.FileSize(), 10000);
    ASSERT_EQ(m.ViewSize(), 10000u);
    EXPECT_EQ(std::vector<uint8_t>(m.View(), m.View() + m.ViewSize()), bytes);
    EXPECT_EQ(m.CopyView(), bytes);
    EXPECT_FALSE(m.AlreadyExisted());

    m.SetOpened(false); // unmaps first
    EXPECT_FALSE(m.Opened() || m.Mapped());
    EXPECT_EQ(m.View(), nullptr);
    EXPECT_EQ(m.FileHandle(), -1);
    EXPECT_EQ(m.FileSize(), 0);
    EXPECT_EQ(events, (std::vector<std::string>{"opened", "mapped", "unmapped", "closed"}));

    EXPECT_TRUE(m.Remap());  // nothing mapped: nothing to do
    EXPECT_TRUE(m.Reopen()); // nothing open
    m.SetOpened(true);
    m.SetMapped(true);
    m.SetMapped(false); // unmapping leaves the file open
    EXPECT_TRUE(m.Opened());
    m.CloseAll();
    EXPECT_FALSE(m.Opened());
}

TEST_F(MapsFilesTest, FailuresCarryTheMessageAndTheErrorCode) {
    const std::string missing = dir.file("missing.bin");
    TFileMaping m;
    m.SetCreateDispos(cdOpenExist);
    m.SetFileName(missing);
    try {
        m.SetMapped(true);
        FAIL();
    } catch (const EFileMapError&) {
        FAIL() << "an open failure is not a mapping failure";
    } catch (const EFileError& e) {
        EXPECT_EQ(e.Message(), "Не удается открыть файл \"" + missing + "\" для отображения");
        EXPECT_EQ(e.ErrorCode(), ENOENT);
    }
    EXPECT_FALSE(m.Opened() || m.Mapped());
    try {
        m.SetOpened(true);
        FAIL();
    } catch (const EFileError& e) {
        EXPECT_EQ(e.Message(), "Не удается открыть файл \"" + missing + "\"");
    }

    // Swallowed when RaiseOnExcept is off.
    m.SetRaiseOnExcept(false);
    m.SetMapped(true);
    EXPECT_FALSE(m.Mapped());

    // An empty file has nothing to map; a view past the mapping cannot be made.
    lvtest::writeBytes(dir.file("empty.bin"), {});
    TFileMaping e;
    e.SetFileName(dir.file("empty.bin"));
    try {
        e.SetMapped(true);
        FAIL();
    } catch (const EFileMapError& err) {
        EXPECT_EQ(err.Message(),
                  "Не удается создать объект отображения для файла \"" + dir.file("empty.bin") + "\"");
    }
    EXPECT_TRUE(e.Opened());
    EXPECT_FALSE(e.Mapped());

    lvtest::writeBytes(dir.file("small.bin"), numbered(100));
    TFileMaping v;
    v.SetFileName(dir.file("small.bin"));
    v.SetMapOffset(100);
    try {
        v.SetMapped(true);
        FAIL();
    } catch (const EFileMapError& err) {
        EXPECT_EQ(err.Message(), "Не удается отобразить файл \"" + dir.file("small.bin") + "\" в память");
        EXPECT_EQ(v.MappingHandle(), 0u);
    }
    // A writable view needs writable pages.
    v.SetMapOffset(0);
    v.SetAccessOfMap(maWrite);
    EXPECT_THROW(v.SetMapped(true), EFileMapError);
    v.SetAccessOfMap(maCopy); // private pages may be written whatever the file allows
    v.SetMapped(true);
    v.View()[0] = 0xAB;
    v.CloseAll();
    EXPECT_EQ(lvtest::readBytes(dir.file("small.bin")), numbered(100));
}

TEST_F(MapsFilesTest, ALargerWritableMappingEnlargesTheFile) {
    const std::string path = dir.file("grow.bin");
    lvtest::writeBytes(path, numbered(10));
    TFileMaping m;
    m.SetFileName(path);
    m.SetMapMaxSize(5000);
    EXPECT_THROW(m.SetMapped(true), EFileMapError); // read-only pages cannot grow the file
    m.CloseAll();
    EXPECT_EQ(lvtest::readBytes(path).size(), 10u);

    m.SetAccessLevelOfFile({aaRead, aaWrite});
    m.SetProtectOfMap(pWrite);
    m.SetAccessOfMap(maAllAccess);
    m.SetMapped(true);
    EXPECT_EQ(m.FileSize(), 5000);
    ASSERT_EQ(m.ViewSize(), 5000u);
    m.View()[4999] = 0x42;
    m.Flush();
    m.SetMapped(false);
    m.SetEndOfFile(4000);
    m.CloseAll();
    const std::vector<uint8_t> got = lvtest::readBytes(path);
    ASSERT_EQ(got.size(), 4000u);
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 10), numbered(10));
    EXPECT_EQ(got[3999], 0);
}

TEST_F(MapsFilesTest, ChangedSettingsReopenOrRemap) {
    const std::vector<uint8_t> bytes = numbered(3 * 4096 + 500);
    lvtest::writeBytes(dir.file("a.bin"), bytes);
    lvtest::writeBytes(dir.file("A.bin"), numbered(50));
    TFileMaping m;
    m.SetFileName(dir.file("a.bin"));
    m.SetMapped(true);
    watch(m);

    // An offset that is not a page boundary still shows the byte at that offset.
    m.SetMapOffset(4100);
    ASSERT_TRUE(m.Mapped());
    EXPECT_EQ(m.View()[0], bytes[4100]);
    EXPECT_EQ(m.ViewSize(), bytes.size() - 4100);
    m.SetMapLength(10);
    EXPECT_EQ(m.ViewSize(), 10u);
    EXPECT_EQ(events, (std::vector<std::string>{"unmapped", "mapped", "unmapped", "mapped"}));

    events.clear();
    m.SetMapOffset(4100); // unchanged: nothing happens
    m.SetFileName(dir.file("a.bin"));
    EXPECT_TRUE(events.empty());

    // Names differ by letter case on this file system: another file is opened and mapped.
    m.SetMapOffset(0);
    m.SetMapLength(0);
    events.clear();
    m.SetFileName(dir.file("A.bin"));
    EXPECT_EQ(events, (std::vector<std::string>{"unmapped", "closed", "opened", "mapped"}));
    EXPECT_EQ(m.CopyView(), numbered(50));

    // Without refresh a change waits for the next mapping.
    m.SetRefreshWhenChange(false);
    m.SetMapOffset(20);
    EXPECT_EQ(m.View()[0], numbered(50)[0]);
    EXPECT_TRUE(m.Remap());
    EXPECT_EQ(m.View()[0], numbered(50)[20]);
}

TEST_F(MapsFilesTest, StreamedSwitchesTakeEffectWhenLoaded) {
    lvtest::writeBytes(dir.file("s.bin"), numbered(64));
    TFileMaping m;
    m.BeginLoading();
    m.SetFileName(dir.file("s.bin"));
    m.SetMapped(true);
    m.SetMapOffset(8);
    EXPECT_EQ(m.View(), nullptr);
    m.Loaded();
    ASSERT_TRUE(m.Opened() && m.Mapped());
    EXPECT_EQ(m.View()[0], numbered(64)[8]);
}

TEST_F(MapsFilesTest, WholeFilesAreWrittenThroughATemporaryFile) {
    const std::string path = dir.file("w.bin");
    lvtest::writeBytes(path, numbered(9000));
    WriteFileMapped(path, 300, [](uint8_t* v) { v[299] = 9; });
    std::vector<uint8_t> expected(300, 0);
    expected[299] = 9;
    EXPECT_EQ(ReadFileMapped(path), expected);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"w.bin"});

    EXPECT_THROW(WriteFileMapped(path, 100, [](uint8_t*) { throw std::runtime_error("layout"); }),
                 std::runtime_error);
    EXPECT_EQ(lvtest::readBytes(path), expected);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"w.bin"});

    try {
        WriteFileMapped(dir.file("no/such/w.bin"), 10, [](uint8_t*) {});
        FAIL();
    } catch (const EFileError& e) {
        EXPECT_EQ(e.ErrorCode(), ENOENT);
        EXPECT_EQ(e.Message(),
                  "Не удается открыть файл \"" + dir.file("no/such/w.bin") + "\" для отображения");
    }
}
