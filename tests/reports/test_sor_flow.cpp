// The batch conversion to Bellcore on synthetic traces of a data folder: where each trace goes,
// which writes ask first, what the tasks change in the traces, and the completion list.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "formats/uBellcoreConvs.h"
#include "reports/uSORFlow.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TraceFiles.h"
#include "trace/SyntheticTrace.h"

namespace {

using namespace lv;
namespace fs = std::filesystem;

TEST(SORFlow, TargetNamesAndFolders) {
    const struct {
        const char *file, *folder, *target;
    } names[] = {
        {"/d/131/012.tra", "", "/d/131/012.sor"},
        {"/d/131/012.tra", "/out/", "/out/012.sor"},
        {"/d/131/012.tra", "/out", "/out/012.sor"},
        {"/d/155/012.sor", "", "/d/155/012.sor"},
        {"C:\\data\\131\\012.TRA", "", "C:/data/131/012.sor"},
        {"/d/x.1.tra", "", "/d/x.1.sor"},
        {"/d/a.b/fibre", "/o/", "/o/fibre.sor"},
    };
    for (const auto& n : names)
        EXPECT_EQ(SORFlowTargetName(n.file, n.folder), n.target) << n.file;

    const struct {
        bool active;
        const char *text, *dataFolder, *folder;
    } folders[] = {
        {false, "/out", "/d/", ""},
        {true, "  ", "/d/", ""},
        {true, "/out", "/d/", "/out/"},
        {true, " out ", "/d/", "/d/out/"},
        {true, "out\\sor", "/d/line", "/d/line/out/sor/"},
        {true, "../sor/", "/d/line/", "/d/sor/"},
    };
    for (const auto& f : folders) {
        TSORFlowParams p;
        p.DirActive = f.active;
        p.DefPath = f.text;
        EXPECT_EQ(SORFlowTargetFolder(p, f.dataFolder), f.folder) << f.text;
    }
}

TEST(SORFlow, TheDialogTakesTheCurrentTracesTexts) {
    lvtest::EnsureTraceFormats();
    auto store = std::make_unique<TRDataStorage>();
    store->SetAutoFree(false);
    FillSyntheticTrace(*store, TSynthOptions{}, "Волокно");
    for (const char* key : {"CID", "FID", "OL", "TL", "OP", "MFID", "OTDR", "OMID", "OMSN", "SN"})
        store->SetTextField(key, "");
    store->SetTextField("CID", "  ОКЛ 7 ");
    store->SetTextField("OMSN", "A-17");

    TSORFlowParams p;
    *p.Text("FID") = "из настроек";
    *p.Text("OMSN") = "старый";
    FillSORFlowFromTrace(p, *store, " 0042 ");
    EXPECT_EQ(*p.Text("CID"), "ОКЛ 7");
    EXPECT_EQ(*p.Text("FID"), "из настроек") << "an empty text of the trace keeps the field";
    EXPECT_EQ(*p.Text("OMSN"), "A-17");
    EXPECT_EQ(*p.Text("OP"), "0042") << "no operator in the trace: the registered one";
    EXPECT_EQ(p.Text("SR"), nullptr);

    store->SetTextField("OP", "Петров");
    FillSORFlowFromTrace(p, *store, "0042");
    EXPECT_EQ(*p.Text("OP"), "Петров");
}

class SORFlowRun : public ::testing::Test {
protected:
    void SetUp() override { lvtest::EnsureTraceFormats(); }

    // Fibres `numbers` in "131/" and "155/" written as ".tra" files, loaded as the window opens
    // the set: "155/" from the highest fibre down, then "131/", each in front of the others.
    void openSet(std::initializer_list<int> numbers) {
        stores.clear();
        traces.clear();
        std::vector<std::string> list;
        for (const auto& [sub, nm] : {std::pair{"155", 1550}, std::pair{"131", 1310}})
            for (auto it = std::rbegin(numbers); it != std::rend(numbers); ++it) {
                char name[16];
                std::snprintf(name, sizeof name, "%03d.tra", *it);
                const std::string path = tmp.file(std::string(sub) + "/" + name);
                if (!fs::exists(path)) {
                    fs::create_directories(fs::path(path).parent_path());
                    lvtest::WriteTraceFile(path, nm, name, static_cast<uint64_t>(*it));
                }
                list.push_back(path);
            }
        for (const std::string& path : list) {
            auto store = std::make_unique<TRDataStorage>();
            store->SetAutoFree(false);
            ASSERT_TRUE(store->LoadFromFile(path, false)) << path;
            traces.insert(traces.begin(), store.get());
            stores.push_back(std::move(store));
        }
        current = traces.front();
    }

    TSORFlowOutcome run(const std::string& folder = {}) {
        return RunSORFlow(params, traces, current, folder, progress);
    }

    std::vector<std::string> questions() const {
        std::vector<std::string> q;
        for (const auto& m : prompts.Messages)
            if (m.Type == TMsgDlgType::mtConfirmation) q.push_back(m.Text);
        return q;
    }

    lvtest::TempDir tmp;
    lvtest::ScriptedPrompts prompts;
    std::vector<std::unique_ptr<TRDataStorage>> stores;
    std::vector<TRDataStorage*> traces;
    TRDataStorage* current = nullptr;
    TSORFlowParams params;
    TSilentProgress progress;
};

TEST_F(SORFlowRun, ProcessingGivesEveryTraceTheTextsAndTheCurrentTracesMarkers) {
    openSet({1, 2});
    current->SetReference(0.5);
    current->SetCursor(9.5);
    current->SetMarker(0, 1.0);
    current->SetMarker(1, 8.0);
    current->SetApproximation(0);
    *params.Text("CID") = "ОКЛ-0,22-16";
    *params.Text("SN") = "Изготовитель";

    for (bool process : {false, true}) {
        SCOPED_TRACE(process);
        params.ParT = process;
        params.SaveT = false;
        const TSORFlowOutcome r = run();
        EXPECT_TRUE(r.Converted.empty());
        for (TRDataStorage* t : traces) {
            EXPECT_EQ(t->TextField("CID") == "ОКЛ-0,22-16", process);
            EXPECT_EQ(t->TextField("SN") == "Изготовитель", process);
            EXPECT_EQ(t->GetMarker(1) == 8.0, process || t == current);
            EXPECT_EQ(t->GetCursor() == 9.5, process || t == current);
            EXPECT_EQ(t->GetReference() == 0.5, process || t == current);
        }
    }
    EXPECT_FALSE(fs::exists(tmp.file("131/001.sor"))) << "nothing saved";
    EXPECT_TRUE(prompts.Messages.empty());
}

TEST_F(SORFlowRun, BesideTheirFilesTracesAreConvertedAndARunAgainIsQuiet) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        openSet({1, 2});
        *params.Text("FID") = "round " + std::to_string(round);
        const TSORFlowOutcome r = run();
        ASSERT_EQ(r.Converted.size(), 4u);
        EXPECT_TRUE(r.AllConverted());
        EXPECT_EQ(r.Converted[0], (TSORFlowEntry{tmp.file("131/001.tra"), tmp.file("131/001.sor"), {}}));
        EXPECT_EQ(r.Message(), "Потоковая обработка завершена!!!");
        for (const TSORFlowEntry& e : r.Converted) {
            EXPECT_TRUE(IsOwnSorFile(e.Target));
            auto back = std::make_unique<TRDataStorage>();
            back->SetAutoFree(false);
            ASSERT_TRUE(back->LoadFromFile(e.Target, false));
            EXPECT_EQ(back->TextField("FID"), "round " + std::to_string(round));
        }
        EXPECT_EQ(traces.front()->Caption(), tmp.file("131/001.sor")) << "the trace now names its .sor";
    }
    EXPECT_TRUE(prompts.Messages.empty()) << "the system's own files are replaced without asking";
}

TEST_F(SORFlowRun, OneTargetFolderAsksBeforeEveryWriteThatWouldLoseAFile) {
    openSet({1, 2, 3, 4});
    const std::string out = tmp.file("out") + "/";
    fs::create_directories(out + "004.sor");                               // a folder no file can replace
    lvtest::writeBytes(out + "003.sor", std::vector<uint8_t>(4096, 0x41)); // another program's
    params.ParT = false;
    // 131/001 … 131/004 first; then 155/001 and 155/002 repeat written targets: No, Yes; then
    // 155/003 and 155/004 meet what 131/ wrote and are asked again: No, No. Before them, 131/003
    // meets the foreign file (Yes) and 131/004 the folder (Yes).
    prompts.Answers = {mrYes, mrYes, mrNo, mrYes, mrNo, mrNo};
    const TSORFlowOutcome r = run(out);

    EXPECT_EQ(questions(),
              (std::vector<std::string>{
                  "Перезаписать файл " + out + "003.sor?", "Перезаписать файл " + out + "004.sor?",
                  "Перезаписать файл " + out + "001.sor?", "Перезаписать файл " + out + "002.sor?",
                  "Перезаписать файл " + out + "003.sor?", "Перезаписать файл " + out + "004.sor?"}));
    auto sources = [](const std::vector<TSORFlowEntry>& entries) {
        std::vector<std::string> s;
        for (const auto& e : entries)
            s.push_back(fs::path(e.Source).parent_path().filename().string() + "/" +
                        fs::path(e.Source).filename().string());
        return s;
    };
    EXPECT_EQ(sources(r.Converted),
              (std::vector<std::string>{"131/001.tra", "131/002.tra", "131/003.tra", "155/002.tra"}));
    EXPECT_EQ(sources(r.Skipped), (std::vector<std::string>{"155/001.tra", "155/003.tra", "155/004.tra"}));
    EXPECT_EQ(r.Skipped[0].Reason, "файл " + out + "001.sor не перезаписан");
    ASSERT_EQ(r.Failed.size(), 1u);
    EXPECT_EQ(r.Failed[0].Target, out + "004.sor");
    EXPECT_NE(r.Failed[0].Reason.find(out + "004.sor"), std::string::npos) << r.Failed[0].Reason;
    EXPECT_FALSE(r.AllConverted());
    EXPECT_EQ(prompts.Messages.size(), 6u) << "the failed save's own box went into the list";

    const std::string message = r.Message();
    EXPECT_EQ(
        message.rfind("Потоковая обработка завершена!!!\r\n\r\nНе сохранены:\r\n155/001.tra — файл ", 0), 0u)
        << message;
    EXPECT_NE(message.find("\r\n\r\nОшибки сохранения:\r\n131/004.tra: "), std::string::npos) << message;
    // 155/002 replaced 131/002 with the operator's leave: the folder holds the 1550 nm trace.
    auto back = std::make_unique<TRDataStorage>();
    back->SetAutoFree(false);
    ASSERT_TRUE(back->LoadFromFile(out + "002.sor", false));
    EXPECT_DOUBLE_EQ(back->WaveLengthUm, 1.55);
    EXPECT_TRUE(IsOwnSorFile(out + "003.sor")) << "the foreign file was replaced";
}

TEST_F(SORFlowRun, ATraceWithoutAFileIsSavedWhereTheDialogSays) {
    auto unnamed = std::make_unique<TRDataStorage>();
    unnamed->SetAutoFree(false);
    FillSyntheticTrace(*unnamed, TSynthOptions{}, "Без файла");
    traces = {unnamed.get()};
    current = unnamed.get();
    params.ParT = false;
    std::vector<std::string> answers = {"", tmp.file("chosen.sor"), tmp.file("elsewhere/x.sor")};
    std::vector<std::string> asked;
    TSORFlowHooks hooks;
    hooks.AskTargetName = [&](TRDataStorage& t) {
        asked.push_back(t.GetComment());
        const std::string a = answers.front();
        answers.erase(answers.begin());
        return a;
    };
    const struct {
        std::string folder, written;
    } cases[] = {{"", ""}, {"", tmp.file("chosen.sor")}, {tmp.file("out/"), tmp.file("out/x.sor")}};
    for (const auto& c : cases) {
        fs::create_directories(tmp.file("out"));
        const TSORFlowOutcome r = RunSORFlow(params, traces, current, c.folder, progress, hooks);
        if (c.written.empty()) {
            EXPECT_EQ(r.Skipped, (std::vector<TSORFlowEntry>{{"", "", "имя файла не выбрано"}}));
        } else {
            ASSERT_EQ(r.Converted.size(), 1u);
            EXPECT_EQ(r.Converted[0].Target, c.written);
            EXPECT_TRUE(IsOwnSorFile(c.written));
        }
        unnamed = std::make_unique<TRDataStorage>(); // a fresh trace without a file for the next case
        unnamed->SetAutoFree(false);
        FillSyntheticTrace(*unnamed, TSynthOptions{}, "Без файла");
        traces = {unnamed.get()};
        current = unnamed.get();
    }
    EXPECT_EQ(asked, (std::vector<std::string>{"Без файла", "Без файла", "Без файла"}));
}

TEST_F(SORFlowRun, ACancelStopsBeforeTheNextTrace) {
    openSet({1, 2});
    struct StopAfterTwo : IProgress {
        void Step(int, int, const std::string&) override { ++steps; }
        bool Cancelled() const override { return steps >= 2; }
        int steps = 0;
    } stop;
    const TSORFlowOutcome r = RunSORFlow(params, traces, current, {}, stop);
    EXPECT_TRUE(r.Cancelled);
    EXPECT_EQ(r.Converted.size(), 2u);
    EXPECT_FALSE(r.AllConverted());
    EXPECT_EQ(r.Message(), "Потоковая обработка завершена!!!\r\n\r\n"
                           "Обработка прервана: остальные трассы не обработаны и не сохранены.");
}

} // namespace

namespace {

// The Bellcore converter of a disk that spoils what it is given: the save reports success, and
// the file left behind is all zeros or cut short.
struct SpoilingSorConverter : TTheManager {
    static inline bool Zeros = true;
    bool SaveTraceAs(const TDataStruct* params, const TDataStruct* samples, const std::string& fileName) override {
        const bool ok = TTheManager::SaveTraceAs(params, samples, fileName);
        const auto size = static_cast<std::streamsize>(fs::file_size(fileName));
        std::ofstream(fileName, std::ios::binary | std::ios::trunc)
            .write(std::string(Zeros ? size : 100, Zeros ? '\0' : 'x').data(), Zeros ? size : 100);
        return ok;
    }
};

} // namespace

TEST_F(SORFlowRun, ASaveThatLeavesABadFileIsNotReportedAsConverted) {
    struct Case {
        bool zeros;
        const char* reason; // the start of the saved-file check's message
    };
    const Case cases[] = {{true, "были записаны нулевые данные"}, {false, "имеет длину менее 1К"}};
    // The registry asks before it replaces a converter.
    prompts.Answers = {mrYes};
    RegisterFileFormat("Bellcore", FileFormatClassOf<SpoilingSorConverter>());
    struct Restore {
        lvtest::ScriptedPrompts& prompts;
        ~Restore() {
            prompts.Answers = {mrYes};
            RegisterBellcoreFormat();
        }
    } restore{prompts};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        SpoilingSorConverter::Zeros = c.zeros;
        for (const char* spoilt : {"131/001.sor", "155/001.sor"}) fs::remove(tmp.file(spoilt));
        openSet({1});
        const TSORFlowOutcome r = run();
        EXPECT_TRUE(r.Converted.empty());
        ASSERT_EQ(r.Failed.size(), 2u);
        EXPECT_EQ(r.Failed[0].Target, tmp.file("131/001.sor"));
        EXPECT_NE(r.Failed[0].Reason.find(c.reason), std::string::npos) << r.Failed[0].Reason;
        EXPECT_FALSE(r.AllConverted());
        EXPECT_NE(r.Message().find("Ошибки сохранения:\r\n131/001.tra: "), std::string::npos) << r.Message();
    }
}
