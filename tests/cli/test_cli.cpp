// lumvaris-cli as scripts use it: exit codes, messages, and what it writes.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/Corpus.h"
#include "support/MiniJson.h"
#include "support/TempDir.h"

using lvtest::TempDir;

namespace {

struct CliRun {
    int code = -1;
    std::string out, err;
};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// `memoryKb` > 0 runs the program with that much address space (the shell's ulimit -v).
CliRun cli(const std::vector<std::string>& args, long memoryKb = 0) {
    TempDir tmp;
    std::string cmd = memoryKb > 0 ? "ulimit -v " + std::to_string(memoryKb) + "; " : std::string();
    cmd += quote(LUMVARIS_CLI);
    for (const auto& a : args) cmd += " " + quote(a);
    cmd += " >" + quote(tmp.file("out")) + " 2>" + quote(tmp.file("err")) + " </dev/null";
    CliRun r;
    int status = std::system(cmd.c_str());
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    auto slurp = [](const std::string& p) {
        std::ifstream f(p);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    };
    r.out = slurp(tmp.file("out"));
    r.err = slurp(tmp.file("err"));
    return r;
}

} // namespace

TEST(Cli, TemplateWritesAFlatWorkbookWithoutAnOffice) {
    TempDir tmp;
    const std::string out = tmp.file("simple.fods");
    CliRun r = cli({"template", "SimplePasport", out});
    ASSERT_EQ(r.code, 0) << r.err;
    std::ifstream f(out);
    std::stringstream ss;
    ss << f.rdbuf();
    const std::string xml = ss.str();
    EXPECT_EQ(xml.rfind("<?xml", 0), 0u);
    for (const char* sheet : {"Сводка", "СВТ", "Измерения", "Потери", "Муфта"})
        EXPECT_NE(xml.find("table:name=\"" + std::string(sheet) + "\""), std::string::npos) << sheet;
}

TEST(Cli, UsageErrorsExitWithTwoAndAShortUsage) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"info"},
        {"info", "a.tra", "--m9", "1"},
        {"info", "a.tra", "--m1"},
        {"info", "a.tra", "--m1", "abc"},
        {"info", "a.tra", "--approx", "2"},
        {"convert", "a.tra"},
        {"samples"},
        {"synth"},
        {"synth", "x.tra", "--samples", "1"},
        {"synth", "x.tra", "--events", "weld@3"},
        {"template", "VhPasport"},
        {"template", "Нет", "x.fods"},
        {"report", "inspection", "dir", "out.xlsx"},
        {"report", "inspection", "--incoming", "dir"},
        {"report", "inspection", "--incoming", "--pre-installation", "dir", "out.xlsx"},
        {"report", "inspection", "--incoming", "dir", "out.txt"},
        {"report", "inspection", "--incoming", "dir", "out.xlsx", "--field", "Drum=1"},
        {"report", "inspection", "--incoming", "dir", "out.xlsx", "--cursor", "abc"},
        {"report", "construction-ish"},
        {"report"},
        {"report", "inspection", "line", "out.xlsx"},
        {"report", "construction", "line"},
        {"report", "construction", "line", "out.xlsx", "--splices", "4"},
        {"report", "construction", "line", "out.xlsx", "--end", "20"},
        {"report", "construction", "line", "out.xlsx", "--splices", "4,x", "--end", "20"},
        {"report", "construction", "line", "out.xlsx", "--splices", "4,25", "--end", "20"},
        {"batch"},
        {"batch", "a", "b"},
        {"batch", "line", "--out"},
        {"batch", "line", "--texts"},
        {"batch", "line", "--texts", "XX=1"},
        {"batch", "line", "--print"},
    };
    for (const auto& args : cases) {
        CliRun r = cli(args);
        std::string line;
        for (const auto& a : args) line += a + " ";
        EXPECT_EQ(r.code, 2) << line;
        EXPECT_NE(r.err.find("Использование:"), std::string::npos) << line;
        EXPECT_TRUE(r.out.empty()) << line;
    }
}

TEST(Cli, UnreadableFilesExitWithOneAndTheMessage) {
    TempDir dir;
    CliRun r = cli({"info", dir.file("missing.tra")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Не удается открыть файл"), std::string::npos) << r.err;

    lvtest::writeBytes(dir.file("junk.sor"), {1, 2, 3});
    r = cli({"samples", dir.file("junk.sor")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Не удается прочитать файл"), std::string::npos) << r.err;
}

namespace {
lvtest::Json parseLine(const std::string& out, size_t line = 0) {
    std::stringstream ss(out);
    std::string text;
    for (size_t i = 0; i <= line; ++i) std::getline(ss, text);
    return lvtest::Json::parse(text);
}

std::vector<std::pair<double, double>> parseSamples(const std::string& out) {
    std::vector<std::pair<double, double>> v;
    std::stringstream ss(out);
    std::string line;
    while (std::getline(ss, line)) {
        size_t comma = line.find(',');
        v.push_back({std::stod(line.substr(0, comma)), std::stod(line.substr(comma + 1))});
    }
    return v;
}
} // namespace

TEST(Cli, SynthIsDeterministicAndLooksLikeAFibre) {
    TempDir dir;
    const std::vector<std::string> opts = {"--length-km", "10", "--wavelength", "1550", "--pulse", "50",
                                           "--samples", "8000", "--events", "connector@4:0.6:15,splice@7:0.3"};
    auto synth = [&](const std::string& name, const std::string& seed) {
        std::vector<std::string> args = {"synth", dir.file(name), "--seed", seed};
        args.insert(args.end(), opts.begin(), opts.end());
        return cli(args).code;
    };
    ASSERT_EQ(synth("a.tra", "7"), 0);
    ASSERT_EQ(synth("b.tra", "7"), 0);
    ASSERT_EQ(synth("c.tra", "8"), 0);
    EXPECT_EQ(lvtest::readBytes(dir.file("a.tra")), lvtest::readBytes(dir.file("b.tra")));
    EXPECT_NE(lvtest::readBytes(dir.file("a.tra")), lvtest::readBytes(dir.file("c.tra")));

    CliRun r = cli({"samples", dir.file("a.tra")});
    ASSERT_EQ(r.code, 0) << r.err;
    auto s = parseSamples(r.out);
    ASSERT_EQ(s.size(), 8000u);
    auto levelNear = [&](double km) {
        for (auto [x, y] : s)
            if (x >= km) return y;
        return s.back().second;
    };
    auto maxIn = [&](double from, double to) {
        double m = -1e9;
        for (auto [x, y] : s)
            if (x >= from && x <= to) m = std::max(m, y);
        return m;
    };
    // Falling backscatter at about 0.19 dB/km, the two events' losses, a reflective connector and
    // fibre end, then noise well below.
    EXPECT_NEAR(levelNear(1.0) - levelNear(3.0), 2 * 0.19, 0.1);
    EXPECT_NEAR(levelNear(3.5) - levelNear(5.0), 1.5 * 0.19 + 0.6, 0.15);
    EXPECT_NEAR(levelNear(6.5) - levelNear(8.0), 1.5 * 0.19 + 0.3, 0.15);
    EXPECT_GT(maxIn(3.99, 4.05) - levelNear(3.9), 10.0);
    EXPECT_GT(maxIn(9.99, 10.05) - levelNear(9.9), 8.0);
    EXPECT_LT(levelNear(11.5), levelNear(9.5) - 10.0);
}

TEST(Cli, InfoReportsTheTraceAndTheResultsOfGivenMarkers) {
    TempDir dir;
    ASSERT_EQ(cli({"synth", dir.file("t.tra"), "--length-km", "20", "--events", "splice@9:0.4"}).code, 0);
    CliRun plain = cli({"info", dir.file("t.tra"), dir.file("t.tra")});
    ASSERT_EQ(plain.code, 0) << plain.err;
    lvtest::Json a = parseLine(plain.out, 0);
    parseLine(plain.out, 1); // one object per file, one per line
    for (const char* key : {"file", "format", "samples", "origin_km", "step_km", "level_min_db", "level_max_db",
                            "levels_head", "levels_tail", "wavelength_um", "pulse_ns", "averages", "group_index",
                            "range_km", "attenuator_db", "averaging", "approximation", "measured_at", "comment",
                            "texts", "markers_km", "cursor_km", "reference_km", "results", "params"})
        EXPECT_TRUE(a.has(key)) << key;
    EXPECT_FALSE(a.has("sor"));
    EXPECT_EQ(a["events"].size(), 0u) << "a file of the system carries no event table";
    EXPECT_FALSE(a.has("end_to_end_loss_db"));
    EXPECT_EQ(a["format"].str(), "TRA");
    EXPECT_EQ(a["samples"].integer(), 16000);
    EXPECT_EQ(a["levels_head"].size(), 5u);
    EXPECT_EQ(a["measured_at"].str(), "2026-03-16 10:30");
    EXPECT_EQ(a["markers_km"]["M2"].number(), -1);
    EXPECT_EQ(a["results"]["length12_km"].number(), 0);
    EXPECT_EQ(a["params"]["2"].number(), 1310);
    EXPECT_FALSE(a["params"].has("119"));

    CliRun m = cli({"info", dir.file("t.tra"), "--m1", "2", "--m2", "8.5", "--m3", "15", "--y2", "9.5"});
    ASSERT_EQ(m.code, 0) << m.err;
    lvtest::Json b = parseLine(m.out);
    EXPECT_EQ(b["markers_km"]["M2"].number(), 8.5);
    EXPECT_EQ(b["markers_km"]["Y2"].number(), 9.5);
    EXPECT_NEAR(b["results"]["length12_km"].number(), 6.5, 1e-12);
    EXPECT_NEAR(b["results"]["loss12_db"].number(), 6.5 * 0.33, 0.05);
    EXPECT_NEAR(b["results"]["splice_loss_db"].number(), 0.4, 0.05); // Y2 starts the second fit past the splice
    EXPECT_EQ(b["params"]["51"][1].number(), 8500);

    CliRun tp = cli({"info", dir.file("t.tra"), "--m1", "2", "--m2", "8.5", "--approx", "0", "--ref", "1.5"});
    lvtest::Json c = parseLine(tp.out);
    EXPECT_EQ(c["approximation"].integer(), 0);
    EXPECT_EQ(c["reference_km"].number(), 1.5);
    EXPECT_NE(c["results"]["slope12"].number(), b["results"]["slope12"].number());
}

TEST(Cli, ConvertKeepsWhatBothFormatsHold) {
    TempDir dir;
    ASSERT_EQ(cli({"synth", dir.file("t.tra"), "--samples", "5000", "--wavelength", "1550"}).code, 0);
    ASSERT_EQ(cli({"convert", dir.file("t.tra"), dir.file("t.sor")}).code, 0);
    ASSERT_EQ(cli({"convert", dir.file("t.sor"), dir.file("back.tra")}).code, 0);
    ASSERT_EQ(cli({"convert", dir.file("t.tra"), dir.file("t.set")}).code, 0);

    lvtest::Json tra = parseLine(cli({"info", dir.file("t.tra")}).out);
    lvtest::Json sor = parseLine(cli({"info", dir.file("t.sor")}).out);
    lvtest::Json back = parseLine(cli({"info", dir.file("back.tra")}).out);
    lvtest::Json set = parseLine(cli({"info", dir.file("t.set")}).out);
    EXPECT_EQ(sor["format"].str(), "Bellcore");
    EXPECT_FALSE(sor["sor"]["foreign"].boolean());
    EXPECT_EQ(sor["sor"]["revision"].integer(), 100);
    for (const lvtest::Json* j : {&sor, &back}) {
        EXPECT_EQ((*j)["samples"].integer(), 5000);
        EXPECT_DOUBLE_EQ((*j)["step_km"].number(), tra["step_km"].number());
        EXPECT_DOUBLE_EQ((*j)["wavelength_um"].number(), 1.55);
        EXPECT_EQ((*j)["comment"].str(), tra["comment"].str());
        // SR-4731 keeps levels relative to the lowest one: the shape survives, the offset does not.
        const double shift = tra["level_min_db"].number();
        EXPECT_NEAR((*j)["level_min_db"].number(), 0.0, 1e-9);
        for (size_t i = 0; i < 5; ++i) {
            EXPECT_NEAR((*j)["levels_head"][i].number(), tra["levels_head"][i].number() - shift, 1e-9);
            EXPECT_NEAR((*j)["levels_tail"][i].number(), tra["levels_tail"][i].number() - shift, 1e-9);
        }
    }
    EXPECT_EQ(set["samples"].integer(), 0);
    EXPECT_EQ(set["params"]["2"].number(), 1550);
    EXPECT_DOUBLE_EQ(set["params"]["122"].number(), tra["params"]["122"].number());
}

TEST(Cli, ATraceTheTraLayoutCannotHoldIsRefused) {
    TempDir dir;
    ASSERT_EQ(cli({"synth", dir.file("big.sor"), "--samples", "100000"}).code, 0);
    lvtest::writeBytes(dir.file("old.tra"), {1, 2, 3});
    CliRun r = cli({"convert", dir.file("big.sor"), dir.file("old.tra")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("65535"), std::string::npos) << r.err;
    EXPECT_EQ(lvtest::readBytes(dir.file("old.tra")), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(cli({"synth", dir.file("big.tra"), "--samples", "70000"}).code, 1);
    EXPECT_FALSE(std::ifstream(dir.file("big.tra")).good());
}

TEST(Cli, InfoOnAnInstrumentFileAgreesWithItsReference) {
    const std::string name = "DASDAE__test_data__ofl100_1.sor";
    LVTEST_NEEDS_CORPUS("sor/" + name);
    const std::string corpus = lvtest::corpusDir() + "/";
    lvtest::Json ref = lvtest::Json::parseFile(corpus + "reference/" + name + ".json");
    CliRun r = cli({"info", corpus + "sor/" + name});
    ASSERT_EQ(r.code, 0) << r.err;
    lvtest::Json j = parseLine(r.out);
    const lvtest::Json& group = ref["DataPts"]["groups"][0];
    EXPECT_EQ(j["samples"].integer(), group["points"].integer());
    EXPECT_EQ(j["wavelength_um"].number(), ref["GenParams"]["nominal_wavelength_nm"].number() / 1000.0);
    EXPECT_EQ(j["pulse_ns"].integer(), ref["FxdParams"]["pulse_widths_used_ns"][0].integer());
    // 4,182 m at the file's group index; the range as written: one way at 1.5.
    EXPECT_DOUBLE_EQ(j["range_km"].number(),
                     ref["FxdParams"]["acquisition_range_raw_100ps"].number() / 50000);
    EXPECT_NEAR(j["range_km"].number(), ref["derived"]["acquisition_range_m_one_way"].number() / 1000, 0.1);
    EXPECT_EQ(j["texts"]["OL"].str(), ref["GenParams"]["originating_location"]["text"].str());
    const double largest = group["max"].number(), scale = group["scale_factor_raw"].number();
    for (size_t i = 0; i < 5; ++i)
        EXPECT_NEAR(j["levels_head"][i].number(), (largest - group["first5"][i].number()) * scale / 1e6, 1e-9);
    const lvtest::Json& map = ref["map"];
    EXPECT_EQ(j["sor"]["revision"].integer(), map["revision"].integer());
    ASSERT_EQ(j["sor"]["blocks"].size(), map["entries"].size());
    for (size_t i = 0; i < map["entries"].size(); ++i) {
        EXPECT_EQ(j["sor"]["blocks"][i]["name"].str(), map["entries"][i]["name"].str());
        EXPECT_EQ(j["sor"]["blocks"][i]["size"].integer(), map["entries"][i]["size"].integer());
    }
    EXPECT_TRUE(j["sor"]["foreign"].boolean());

    // The instrument's event table, each event where the trace is drawn.
    const lvtest::Json& events = ref["KeyEvents"]["events"];
    ASSERT_EQ(j["events"].size(), events.size());
    for (size_t i = 0; i < events.size(); ++i) {
        const lvtest::Json& e = j["events"][i];
        EXPECT_EQ(e["number"].integer(), events[i]["event_number"].integer());
        EXPECT_NEAR(e["distance_km"].number() * 1000, ref["derived"]["event_distance_m_one_way"][i].number(),
                    1.0);
        EXPECT_NEAR(e["loss_db"].number(), events[i]["event_loss_raw"].number() / 1000, 1e-9);
        EXPECT_NEAR(e["reflectance_db"].number(), events[i]["event_reflectance_raw"].number() / 1000, 1e-9);
        EXPECT_EQ(e["code"].str(), events[i]["event_code"].str());
        EXPECT_FALSE(e["type"].str().empty());
        EXPECT_EQ(e["comment"].str(), events[i]["comment"]["text"].str());
    }
    EXPECT_EQ(j["events"][events.size() - 1]["type"].str(), "конец волокна");
    EXPECT_NEAR(j["end_to_end_loss_db"].number(),
                ref["KeyEvents"]["summary"]["end_to_end_loss_raw"].number() / 1000, 1e-9);
}

TEST(Cli, AFileLargerThanTheMemoryAtHandFailsWithTheMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's allocator ends the process instead of raising std::bad_alloc";
#else
    // 256 MB (sparse) that can be mapped but not copied within 400 MB of address space.
    TempDir dir;
    const std::string big = dir.file("big.tra");
    lvtest::writeBytes(big, {});
    std::filesystem::resize_file(big, 256u << 20);
    CliRun r = cli({"info", big}, 400000);
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.err.find("Недостаточно памяти для размещения данных"), std::string::npos) << r.err;
#endif
}

TEST(Cli, ReportInspectionStoresTheProtocolOfAFolderSet) {
    TempDir dir;
    const std::string line = dir.file("Линия 7");
    std::filesystem::create_directories(line + "/131");
    CliRun r = cli({"report", "inspection", "--incoming", line, dir.file("p.xlsx")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "Папка \"" + line + "/\" не содержит файлов данных!\n");

    std::filesystem::create_directories(line + "/155");
    for (const char* n : {"001", "002", "003"}) {
        ASSERT_EQ(cli({"synth", line + "/131/" + n + ".tra", "--samples", "4000"}).code, 0);
        ASSERT_EQ(cli({"synth", line + "/155/" + n + ".sor", "--samples", "4000", "--wavelength", "1550"}).code, 0);
    }
    const std::string out = dir.file("p.xlsx");
    r = cli({"report", "inspection", "--pre-installation", line, out, "--field", "DrumNum=0012", "--field", "OP=Петров",
             "--field", "LengthEd=20 015", "--cursor", "19.5", "--ref", "0.25", "--m1", "1", "--m2", "30"});
    if (r.code == 1 && r.err.find("LibreOffice") != std::string::npos) {
        const char* required = std::getenv("LUMVARIS_REQUIRE_OFFICE");
        if (required && std::string(required) == "1") FAIL() << r.err;
        GTEST_SKIP() << r.err;
    }
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, out + "\n");
    EXPECT_EQ(r.err, "Участок между маркерами M1 и M2 выходит за конец рефлектограммы, затухание не записано: "
                     "1 (1310 нм, 131/001.tra), 2 (1310 нм, 131/002.tra), 3 (1310 нм, 131/003.tra), "
                     "1 (1550 нм, 155/001.sor), 2 (1550 нм, 155/002.sor), 3 (1550 нм, 155/003.sor).\n");
    const std::string cmd = "/usr/bin/python3 " + quote(std::string(LUMVARIS_SOURCE_DIR) + "/tests/office/read_xlsx.py") + " " +
                            quote(out) + " > " + quote(out + ".json");
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const lvtest::Json cells = lvtest::Json::parseFile(out + ".json")["sheets"].items().at(0)["cells"];
    EXPECT_EQ(cells["B4"]["v"].str(), "Линия 7");
    EXPECT_TRUE(cells["I4"]["date"].boolean());
    EXPECT_EQ(cells["E6"]["v"].str(), "0012");
    EXPECT_EQ(cells["E10"]["v"].str(), "20 015");
    // Fibres 1 to 3 in rows 22 to 24: the length from the cursor the current trace got.
    for (const char* a : {"D22", "D23", "D24"}) EXPECT_EQ(cells[a]["v"].number(), 19250) << a;
    EXPECT_FALSE(cells.has("F22")) << "M2 lies past every trace";
    EXPECT_EQ(cells["A24"]["bottom"].str(), "thin");
    EXPECT_EQ(cells["E" + std::to_string(332 - 297)]["v"].str(), "Петров");
}

TEST(Cli, BatchConvertsASetAndAnswersEveryOverwriteQuestionWithNo) {
    TempDir dir;
    const std::string line = dir.file("Линия 7");
    for (const auto& [sub, nm] : {std::pair{"131", "1310"}, std::pair{"155", "1550"}}) {
        std::filesystem::create_directories(line + "/" + sub);
        for (const char* n : {"001", "002"})
            ASSERT_EQ(cli({"synth", line + "/" + sub + "/" + n + ".tra", "--samples", "3000", "--wavelength", nm}).code, 0);
    }
    // The graph's order: "131/" first; its fibres reach the folder before their "155/" twins.
    const std::string out = dir.file("sor");
    CliRun r = cli({"batch", line, "--out", out, "--texts", "CID=ОКЛ-7", "FID=волокно"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "Сохранен: " + line + "/131/001.tra -> " + out + "/001.sor\n"
                     "Сохранен: " + line + "/131/002.tra -> " + out + "/002.sor\n"
                     "Пропущен: " + line + "/155/001.tra (файл " + out + "/001.sor не перезаписан)\n"
                     "Пропущен: " + line + "/155/002.tra (файл " + out + "/002.sor не перезаписан)\n"
                     "Потоковая обработка завершена!!! Сохранено: 2, пропущено: 2, ошибок: 0.\n");
    EXPECT_NE(r.err.find("Перезаписать файл " + out + "/001.sor?\n(вопрос без ответа: отмена)"), std::string::npos) << r.err;
    lvtest::Json info = lvtest::Json::parse(cli({"info", out + "/002.sor"}).out);
    EXPECT_EQ(info["texts"]["CID"].str(), "ОКЛ-7");
    EXPECT_EQ(info["wavelength_um"].number(), 1.31);

    // Beside their own files every trace converts; without processing the texts stay.
    r = cli({"batch", line, "--no-process", "--texts", "CID=другой"});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Сохранено: 4, пропущено: 0, ошибок: 0."), std::string::npos);
    info = lvtest::Json::parse(cli({"info", line + "/155/001.sor"}).out);
    EXPECT_EQ(info["texts"]["CID"].str(), " ") << "the trace's own empty text, as the format writes it";
    EXPECT_EQ(info["wavelength_um"].number(), 1.55);

    // A plain folder is a set of its own; a file of the set that does not open fails the run.
    const std::string plain = dir.file("plain");
    std::filesystem::create_directories(plain);
    ASSERT_EQ(cli({"synth", plain + "/f1.tra", "--samples", "3000"}).code, 0);
    lvtest::writeBytes(plain + "/f2.tra", {1, 2, 3});
    r = cli({"batch", plain});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("Сохранен: " + plain + "/f1.tra -> " + plain + "/f1.sor\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Не открыт: " + plain + "/f2.tra\n"), std::string::npos) << r.out;
    r = cli({"batch", dir.file("пусто")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "Указанная папка не содержит файлов данных!\n");
}

namespace {

bool officeInstalled() {
    return std::system("command -v soffice >/dev/null 2>&1 || test -x /usr/lib/libreoffice/program/soffice") == 0;
}

std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

} // namespace

TEST(Cli, ReportConstructionFromTheLinesTableOrGivenSplices) {
    TempDir dir;
    const std::string line = dir.file("Линия 3");
    std::filesystem::create_directories(line + "/AB");
    std::filesystem::create_directories(line + "/BA");
    for (const char* n : {"1", "2"}) {
        ASSERT_EQ(cli({"synth", line + "/AB/" + n + ".tra", "--length-km", "10", "--events", "splice@4:0.1"}).code, 0);
        ASSERT_EQ(cli({"synth", line + "/BA/" + n + ".tra", "--length-km", "10", "--events", "splice@6:0.1"}).code, 0);
    }
    // Refused before any office: a folder without traces, a line without its table.
    CliRun r = cli({"report", "construction", dir.path(), dir.file("out.xlsx")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("не содержит файлов данных"), std::string::npos) << r.err;
    r = cli({"report", "construction", line, dir.file("out.xlsx")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Линия 3.mif"), std::string::npos) << r.err;
    // An end before the start is refused with the report's own message.
    std::ofstream(line + "/Линия 3.mif")
        << "Lumvaris splice table 2\nMName\tMPosF\tM1F\tM2F\tMYF\tM3F\tMPosR\tM1R\tM2R\tMYR\tM3R\tEndPt\tSrtPt\n"
           "Муфта 1\t4\t3\t4\t4.02\t5.02\t6\t5\t6\t6.02\t7.02\t\t\n";
    r = cli({"report", "construction", line, dir.file("out.xlsx")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Маркер конеца трассы не установлен"), std::string::npos) << r.err;

    if (!officeInstalled()) {
        if (const char* v = std::getenv("LUMVARIS_REQUIRE_OFFICE"); v && std::string(v) == "1") FAIL() << "no office";
        GTEST_SKIP() << "LibreOffice is not installed: no workbook to make";
    }
    std::ofstream(line + "/Линия 3.mif")
        << "Lumvaris splice table 2\nMName\tMPosF\tM1F\tM2F\tMYF\tM3F\tMPosR\tM1R\tM2R\tMYR\tM3R\tEndPt\tSrtPt\n"
           "Муфта 1\t4\t3\t4\t4.02\t5.02\t6\t5\t6\t6.02\t7.02\t10\t0\n";
    for (const std::vector<std::string>& extra : {std::vector<std::string>{}, {"--splices", "4", "--end", "10"}}) {
        const std::string out = dir.file(extra.empty() ? "table.xlsx" : "given.xlsx");
        std::vector<std::string> args{"report", "construction", line, out};
        args.insert(args.end(), extra.begin(), extra.end());
        r = cli(args);
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, out + "\n");
        EXPECT_EQ(slurp(out).substr(0, 2), "PK") << "an .xlsx workbook";
    }
}
