// Data folders of fibre traces: the data check, the naming patterns (masks) found in the
// sub-folders and the ordered listing of the fibre files, on real temporary folders read in both
// name orders.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "reports/uFolderSets.h"
#include "support/TempDir.h"

using namespace lv;
using lvtest::TempDir;

namespace {

void touch(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    lvtest::writeBytes(path, {1});
}

// The system's listing, sorted one way or the other: every result must be the same for both.
TFolderReader orderedReader(bool descending) {
    return [descending](const std::string& folder) {
        std::vector<TFolderEntry> entries = ReadFolder(folder);
        std::sort(entries.begin(), entries.end(), [descending](const TFolderEntry& a, const TFolderEntry& b) {
            return descending ? a.Name > b.Name : a.Name < b.Name;
        });
        return entries;
    };
}

std::vector<std::string> captions(const std::vector<TFibreMask>& masks) {
    std::vector<std::string> out;
    for (const TFibreMask& m : masks) out.push_back(m.Caption());
    return out;
}

std::vector<std::string> fileNames(const std::vector<TFibreFile>& files) {
    std::vector<std::string> out;
    for (const TFibreFile& f : files) out.push_back(std::filesystem::path(f.Path).filename().string());
    return out;
}

} // namespace

TEST(FolderSets, MaskCandidatesAndListingsInBothDirectoryOrders) {
    struct Row {
        const char* what;
        std::vector<std::string> files;       // inside "AB/"
        std::vector<std::string> candidates;  // dialog lines
        std::vector<std::string> listedFirst; // the listing's first names, highest fibre first
        size_t listedCount;                   // by the first candidate
        int probeNumber;                      // a fibre looked up in the listing
        const char* probeName;                // its file ("" when not listed)
    };
    std::vector<std::string> fixed3, free1, many;
    for (int n = 1; n <= 48; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "%03d.tra", n);
        fixed3.push_back(name);
        free1.push_back(std::to_string(n) + ".sor");
    }
    for (int n = 295; n <= 305; ++n) many.push_back("c" + std::to_string(n) + ".tra");
    const Row rows[] = {
        {"leading zeros", fixed3, {"***"}, {"048.tra", "047.tra"}, 48, 7, "007.tra"},
        {"no leading zeros", free1, {"*"}, {"48.sor", "47.sor"}, 48, 10, "10.sor"},
        {"two prefixes", {"a01.tra", "b01.tra"}, {"a**", "b**"}, {"a01.tra"}, 1, 1, "a01.tra"},
        {"one prefix, fixed and free", {"f1.tra", "f01.tra"}, {"f**", "f*"}, {"f01.tra"}, 1, 1, "f01.tra"},
        {".tra hides .sor", {"012.tra", "012.sor", "011.sor"}, {"***"}, {"012.tra", "011.sor"}, 2, 12, "012.tra"},
        {"no digits before the first point", {"fibre.tra", "x.1.tra", "notes.txt"}, {}, {}, 0, 1, ""},
        {"above 300 never listed", many, {"c***"}, {"c300.tra", "c299.tra"}, 6, 301, ""},
        {"letter case of names", {"A01.TRA", "a02.Sor", "a03.tRa"}, {"A**"}, {"a03.tRa", "a02.Sor", "A01.TRA"}, 3, 2, "a02.Sor"},
        {"\"?\" is a prefix, not the empty one", {"?01.tra", "01.tra"}, {"**", "?**"}, {"01.tra"}, 1, 1, "01.tra"},
        {"more than three digits stay in the prefix", {"1234.tra", "1235.tra"}, {"1***"}, {"1235.tra", "1234.tra"}, 2, 234, "1234.tra"},
        {"percent signs are plain text", {"%d01.tra", "%d02.tra"}, {"%d**"}, {"%d02.tra", "%d01.tra"}, 2, 2, "%d02.tra"},
    };
    for (const Row& row : rows) {
        TempDir dir;
        for (const std::string& f : row.files) touch(dir.path() + "/AB/" + f);
        for (bool descending : {false, true}) {
            SCOPED_TRACE(std::string(row.what) + (descending ? ", descending" : ", ascending"));
            const TFolderReader reader = orderedReader(descending);
            const std::string ab = SubFolderPath(dir.path(), kSubFolderAB, reader);
            EXPECT_EQ(captions(FindMaskCandidates({ab}, reader)), row.candidates);

            const TFibreMask mask = BuildMask(dir.path(), pmConstruction, [](const auto&) { return 0; }, reader);
            EXPECT_EQ(mask.IsEmpty(), row.candidates.empty());
            const std::vector<TFibreFile> listed = ListFibreFiles(ab, mask, reader);
            ASSERT_EQ(listed.size(), row.listedCount);
            const std::vector<std::string> names = fileNames(listed);
            EXPECT_TRUE(std::equal(row.listedFirst.begin(), row.listedFirst.end(), names.begin()));
            EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end(),
                                       [](const TFibreFile& a, const TFibreFile& b) { return a.Number > b.Number; }));
            auto probe = std::find_if(listed.begin(), listed.end(),
                                      [&](const TFibreFile& f) { return f.Number == row.probeNumber; });
            if (*row.probeName) {
                ASSERT_NE(probe, listed.end());
                EXPECT_EQ(probe->Path, ab + row.probeName);
            } else {
                EXPECT_EQ(probe, listed.end());
            }
        }
    }
}

TEST(FolderSets, MaskComesFromBothSubFoldersAndTheChoiceIsKept) {
    // "AB/" is read before "BA/": its free-width set comes first in the dialog.
    TempDir dir;
    touch(dir.file("AB/f1.tra"));
    touch(dir.file("AB/f2.tra"));
    touch(dir.file("BA/f01.sor"));
    touch(dir.file("BA/f02.tra"));
    touch(dir.file("BA/f2.sor"));
    for (bool descending : {false, true}) {
        SCOPED_TRACE(descending);
        const TFolderReader reader = orderedReader(descending);
        std::vector<std::vector<std::string>> offered;
        TFibreSet set(dir.path(), pmConstruction,
                      [&](const std::vector<TFibreMask>& c) {
                          offered.push_back(captions(c));
                          return size_t{1};
                      },
                      reader);
        EXPECT_FALSE(set.HasMask());
        const std::vector<TFibreFile> ab = set.List(kSubFolderAB);
        const std::vector<TFibreFile> ba = set.List(kSubFolderBA);
        ASSERT_EQ(offered.size(), 1u); // built once for the pair
        EXPECT_EQ(offered[0], (std::vector<std::string>{"f*", "f**"}));
        EXPECT_EQ(set.Mask(), (TFibreMask{"f", 2, true}));
        EXPECT_TRUE(ab.empty()); // "f01" is not the name of any file of "AB/"
        EXPECT_EQ(ba, (std::vector<TFibreFile>{{dir.path() + "/BA/f02.tra", 2}, {dir.path() + "/BA/f01.sor", 1}}));
    }

    // An answer outside the list takes the first entry; a single entry is taken without asking.
    EXPECT_EQ(BuildMask(dir.path(), pmConstruction, [](const auto&) { return size_t{9}; }).Caption(), "f*");
    TempDir single;
    touch(single.file("131/07.tra"));
    int asked = 0;
    EXPECT_EQ(BuildMask(single.path(), pmIncoming, [&](const auto&) { return ++asked, size_t{0}; }),
              (TFibreMask{"", 2, true}));
    EXPECT_EQ(asked, 0);
}

TEST(FolderSets, InspectionListsThe1550FolderFirst) {
    TempDir dir;
    for (const char* f : {"131/01.tra", "131/02.tra", "155/01.sor", "155/03.TRA"}) touch(dir.file(f));
    TFibreSet set(dir.path(), pmPreInstall, nullptr);
    const std::vector<TFibreFile> files = set.ListInspection();
    EXPECT_EQ(fileNames(files), (std::vector<std::string>{"03.TRA", "01.sor", "02.tra", "01.tra"}));
    EXPECT_EQ(files[0].Number, 3);
    EXPECT_EQ(files[2].Path, dir.path() + "/131/02.tra");
}

TEST(FolderSets, DataCheckOfTheSubFolderPairs) {
    struct Row {
        const char* what;
        int mode;
        std::vector<std::string> files;
        bool hasData;
        std::vector<std::string> existing;
    };
    const Row rows[] = {
        {"second folder of the pair", pmConstruction, {"AB/notes.txt", "BA/1.sor"}, true, {"AB/", "BA/"}},
        {"sub-folder named in another case", pmConstruction, {"ab/x.TRA"}, true, {"AB/"}},
        {"no trace files", pmConstruction, {"AB/readme.txt", "BA/x.tra.bak"}, false, {"AB/", "BA/"}},
        {"the other mode's folders", pmConstruction, {"131/1.tra"}, false, {}},
        {"inspection, 1550 only", pmIncoming, {"155/Fibre.SOR"}, true, {"155/"}},
        {"a folder named like a trace", pmIncoming, {"131/dir.tra/1.txt"}, false, {"131/"}},
        {"normal mode has no pair", pmNormal, {"AB/1.tra"}, false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir dir;
        for (const std::string& f : row.files) touch(dir.path() + "/" + f);
        EXPECT_EQ(DataFolderHasData(dir.path(), row.mode), row.hasData);
        EXPECT_EQ(ExistingSubFolders(dir.path(), row.mode), row.existing);
    }
}

TEST(FolderSets, PathsWithBackslashesAndFormatCharacters) {
    // A data folder stored with "\" and named like a format text is a plain path.
    TempDir dir;
    touch(dir.file("100%d/AB/001.tra"));
    touch(dir.file("100%d/AB/002.tra"));
    std::string stored = dir.path() + "\\100%d";
    const std::string folder = NormaliseDataFolder(stored);
    EXPECT_EQ(folder, dir.path() + "/100%d/");
    EXPECT_EQ(LineNameOf(stored), "100%d");
    EXPECT_TRUE(DataFolderHasData(stored, pmConstruction));
    TFibreSet set(stored, pmConstruction, nullptr);
    EXPECT_EQ(set.List(kSubFolderAB),
              (std::vector<TFibreFile>{{folder + "AB/002.tra", 2}, {folder + "AB/001.tra", 1}}));

    const std::pair<const char*, const char*> lines[] = {
        {"/data/L1/", "L1"}, {"C:\\Data\\Линия 7\\", "Линия 7"}, {"L2", "L2"}, {"/", ""}, {"", ""}};
    for (const auto& [path, line] : lines) EXPECT_EQ(LineNameOf(path), line) << path;
    EXPECT_EQ(NormaliseDataFolder(""), "");
    EXPECT_EQ(NormaliseDataFolder("a/b/"), "a/b/");
}

TEST(FolderSets, NamesDifferingOnlyInCaseAndCyrillicPrefixes) {
    TempDir dir;
    for (const char* f : {"001.TRA", "001.tra", "Муфта01.tra", "мУФТА02.sor"}) touch(dir.file(f));
    const TFolderIndex index(dir.path());
    EXPECT_EQ(index.FindFile("001.tra"), "001.tra"); // the exact name wins
    EXPECT_EQ(index.FindFile("001.Tra"), "001.TRA");
    EXPECT_EQ(index.FindFile("МУФТА01.TRA"), "Муфта01.tra");
    EXPECT_EQ(index.FindFile("002.tra"), "");
    EXPECT_EQ(index.FindFolder("001.tra"), "");
    EXPECT_EQ(captions(FindMaskCandidates({dir.path()})), (std::vector<std::string>{"***", "Муфта**"}));
    EXPECT_EQ(fileNames(ListFibreFiles(dir.path(), {"МУФТА", 2, true})),
              (std::vector<std::string>{"мУФТА02.sor", "Муфта01.tra"}));
}

TEST(FolderSets, ModeTexts) {
    EXPECT_EQ(DataFolderTitle(pmConstruction), "Укажите путь к данным (Строительная документация)");
    EXPECT_EQ(DataFolderTitle(pmIncoming), "Укажите путь к данным (Входной контроль)");
    EXPECT_EQ(DataFolderTitle(pmPreInstall), "Укажите путь к данным (Предмонтажный контроль)");
    EXPECT_EQ(DataFolderFilter(pmConstruction), "Папки|*.tra;*.sor;*.mif");
    EXPECT_EQ(DataFolderFilter(pmIncoming), "Папки|*.tra;*.sor");
    EXPECT_EQ(MaskSubFolders(pmIncoming), (std::vector<std::string>{"155/", "131/"}));
    EXPECT_EQ(DataCheckSubFolders(pmPreInstall), (std::vector<std::string>{"131/", "155/"}));
    EXPECT_EQ(MaskSubFolders(pmConstruction), DataCheckSubFolders(pmConstruction));
}
