// The spreadsheet layer against a real LibreOffice: one headless office for the whole program
// (private profile, its own pipe, ended with terminate()), every layer operation, the built-in
// templates, and the stored workbooks read back independently with openpyxl.
//
// Without an installed office the tests skip and say why; LUMVARIS_REQUIRE_OFFICE=1 (CI) turns
// that into a failure.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "formats/FileErrors.h"
#include "reports/uFolderSets.h"
#include "reports/uInspection.h"
#include "reports/uConstructionReport.h"
#include "reports/uReportRun.h"
#include "reports/uTemplateBooks.h"
#include "reports/uTemplates.h"
#include "reports/uWorkbookModel.h"
#include "support/MiniJson.h"
#include "support/ScriptedPrompts.h"
#include "support/SyntheticLine.h"
#include "support/TempDir.h"
#include "support/TraceFiles.h"

#ifdef LUMVARIS_HAVE_UNO
#include "reports/uno/uSpreadsheetUno.h"
#endif

namespace {

using namespace lv;
using lvtest::Json;

bool officeRequired() {
    const char* v = std::getenv("LUMVARIS_REQUIRE_OFFICE");
    return v && std::string(v) == "1";
}

#define SKIP_OR_FAIL(reason)                                    \
    do {                                                        \
        if (officeRequired()) FAIL() << (reason);               \
        GTEST_SKIP() << (reason);                               \
    } while (0)

#ifndef LUMVARIS_HAVE_UNO

TEST(RealOffice, NeedsTheOfficeSdk) {
    SKIP_OR_FAIL("built without the LibreOffice SDK (package libreoffice-dev): the UNO layer is not there to test");
}

#else

const char* const kPython = "/usr/bin/python3";

// The office of the whole program, started by the first test that needs it.
class OfficeEnvironment : public ::testing::Environment {
public:
    static OfficeEnvironment* instance;

    void TearDown() override {
        if (m_app) m_app->TerminateOffice();
        m_app.reset();
    }

    // Null with `reason` set when there is no office to test against.
    TUnoSpreadsheetApp* app(std::string& reason) {
        if (m_app) return m_app.get();
        if (!m_reason.empty()) {
            reason = m_reason;
            return nullptr;
        }
        if (FindSoffice().empty()) {
            m_reason = reason = "LibreOffice is not installed (no soffice on PATH or in /usr/lib/libreoffice/program)";
            return nullptr;
        }
        TUnoOfficeOptions o;
        o.PipeName = "lumvaris_test_" + std::to_string(::getpid()) + "_" + std::to_string(std::rand());
        o.ProfileDir = m_profile.path();
        o.Headless = true;
        o.OwnOffice = true;
        auto app = std::make_unique<TUnoSpreadsheetApp>(o);
        try {
            app->Connect();
        } catch (const std::exception& e) {
            m_reason = reason = std::string("the office did not start: ") + e.what();
            return nullptr;
        }
        m_app = std::move(app);
        return m_app.get();
    }

private:
    lvtest::TempDir m_profile;
    std::unique_ptr<TUnoSpreadsheetApp> m_app;
    std::string m_reason;
};

OfficeEnvironment* OfficeEnvironment::instance =
    static_cast<OfficeEnvironment*>(::testing::AddGlobalTestEnvironment(new OfficeEnvironment));

class RealOffice : public ::testing::Test {
protected:
    void SetUp() override {
        std::string reason;
        office = OfficeEnvironment::instance->app(reason);
        if (!office) SKIP_OR_FAIL(reason);
        // Each test holds its own connection, as a report does.
        if (!office->Connected()) office->Connect();
    }

    // A workbook stored as .xlsx, read back by openpyxl.
    Json readBack(const std::string& xlsx) {
        if (std::system((std::string(kPython) + " -c 'import openpyxl' 2>/dev/null").c_str()) != 0) {
            ADD_FAILURE() << "openpyxl is missing for " << kPython << " (package python3-openpyxl)";
            return Json();
        }
        const std::string json = xlsx + ".json";
        const std::string cmd = std::string(kPython) + " '" + LUMVARIS_SOURCE_DIR + "/tests/office/read_xlsx.py' '" + xlsx +
                                "' > '" + json + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return Json::parseFile(json);
    }

    static const Json& sheetOf(const Json& book, const std::string& name) {
        for (const auto& s : book["sheets"].items())
            if (s["name"].str() == name) return s;
        throw std::runtime_error("no sheet " + name);
    }

    static std::vector<std::string> sheetNames(const Json& book) {
        std::vector<std::string> names;
        for (const auto& s : book["sheets"].items()) names.push_back(s["name"].str());
        return names;
    }

    // A .fods template written from a model.
    std::string templateFile(const TBookModel& model, const std::string& name) {
        const std::string path = tmp.file(name);
        std::ofstream(path, std::ios::binary) << WriteFlatOds(model);
        return path;
    }

    TUnoSpreadsheetApp* office = nullptr;
    lvtest::TempDir tmp;
};

double num(const TCellValue& v) {
    EXPECT_EQ(v.kind, TCellValue::Kind::Number) << v.text;
    return v.number;
}

TEST(OfficeStart, AMissingProgramNamesThePackage) {
    TUnoOfficeOptions o;
    o.PipeName = "lumvaris_absent_" + std::to_string(::getpid());
    o.SofficePath = "/nonexistent/soffice";
    o.OwnOffice = true;
    TUnoSpreadsheetApp app(o);
    try {
        app.Connect();
        FAIL() << "connected without an office";
    } catch (const ESpreadsheetError& e) {
        EXPECT_STREQ(e.what(), kMsgCannotStartOffice);
    }
    EXPECT_FALSE(app.Connected());
}

TEST_F(RealOffice, EveryLayerOperationOnceAndReadBack) {
    TBookModel model;
    TBookSheet& data = model.AddSheet("Данные");
    for (int r = 1; r <= 10; ++r) data.Number(r, 1, r);
    data.Formula(1, 2, "of:=SUM([.A1:.A10])");
    model.AddSheet("Вторая").Number(1, 1, 1);
    auto book = office->AddBook(templateFile(model, "layer.fods"));
    ASSERT_EQ(book->SheetNames(), (std::vector<std::string>{"Данные", "Вторая"}));
    const TSheetHandle s = book->Sheet("данные"); // names ignore case, as in the office
    const TSheetHandle second = book->Sheet("Вторая");
    EXPECT_EQ(num(book->GetValues(s, ParseRange("B1"))[0][0]), 55) << "the template's formula is computed on load";

    // Texts stay texts; dates are numbers shown as dates; Empty empties.
    book->PutValues(s, 1, 4, {{TCellValue::Text("=1+1"), TCellValue::Text("0012"), TCellValue::Num(2.5),
                               TCellValue::Date(45000), TCellValue::Empty()},
                              {TCellValue::Text("строка")}});
    const TCellBlock back = book->GetValues(s, ParseRange("D1:H2"));
    EXPECT_EQ(back[0][0], TCellValue::Text("=1+1"));
    EXPECT_EQ(back[0][1], TCellValue::Text("0012"));
    EXPECT_EQ(back[0][2], TCellValue::Num(2.5));
    EXPECT_EQ(back[0][3], TCellValue::Num(45000));
    EXPECT_EQ(back[0][4], TCellValue::Empty());
    EXPECT_EQ(back[1][0], TCellValue::Text("строка"));
    EXPECT_EQ(back[1][1], TCellValue::Empty()) << "a shorter row leaves its neighbours alone";
    EXPECT_EQ(book->ShownText(s, 1, 7), "15.03.2023");
    EXPECT_EQ(book->ShownText(s, 1, 8), "");

    // Calculation off: a change is not computed until Calculate.
    book->SetAutomaticCalculation(false);
    book->PutValues(s, 1, 1, {{TCellValue::Num(100)}});
    EXPECT_EQ(num(book->GetValues(s, ParseRange("B1"))[0][0]), 55);
    book->Calculate();
    EXPECT_EQ(num(book->GetValues(s, ParseRange("B1"))[0][0]), 154);
    book->SetAutomaticCalculation(true);

    // Deleting rows A3:C4 shifts A5.. up and the sum follows: 100 + 2 + 5 + ... + 10.
    book->DeleteRange(s, ParseRange("A3:C4"), TDeleteShift::Up);
    EXPECT_EQ(num(book->GetValues(s, ParseRange("B1"))[0][0]), 147);
    book->PutValues(second, 1, 1, {{TCellValue::Num(1), TCellValue::Num(2), TCellValue::Num(3), TCellValue::Num(4)}});
    book->DeleteRange(second, ParseRange("B1"), TDeleteShift::Left);
    EXPECT_EQ(book->GetValues(second, ParseRange("A1:D1"))[0],
              (TCellRow{TCellValue::Num(1), TCellValue::Num(3), TCellValue::Num(4), TCellValue::Empty()}));

    book->SetBorder(s, {ParseRange("A5:C5")}, TBorderEdge::Bottom);
    book->SetBorder(s, {ParseRange("A7:C7")}, TBorderEdge::Top);
    book->SetInterior(s, {ParseRange("D2")}, kColorIndexRed);
    book->SetInterior(s, {ParseRange("E2:E3"), ParseRange("G2")}, kColorIndexYellow);
    book->PutValues(s, 2, 5, {{TCellValue::Num(7)}, {TCellValue::Num(8)}});
    book->ClearRange(s, ParseRange("E2"), TClearWhat::Contents);
    book->ClearRange(s, ParseRange("E3"), TClearWhat::All);
    book->SetColumnWidth(s, 4, 10.86);

    // Sheet names: refused names change nothing, a copy lands in front of its target.
    const TSheetHandle copy = book->CopySheet(second, s, "Копия");
    EXPECT_EQ(book->SheetName(copy), "Копия");
    EXPECT_THROW(book->CopySheet(second, s, "a/b"), ESpreadsheetError);
    EXPECT_THROW(book->RenameSheet(copy, "ДАННЫЕ"), ESpreadsheetError);
    EXPECT_THROW(book->RenameSheet(copy, std::string(32, 'x')), ESpreadsheetError);
    EXPECT_EQ(book->SheetNames(), (std::vector<std::string>{"Копия", "Данные", "Вторая"}));
    book->RenameSheet(second, "Вторая (итог)");

    book->Select(s, ParseRange("A1"));
    book->Show(); // headless: nothing to see, but no error
    EXPECT_NE(office->FindBookWithSheet("Копия"), nullptr);
    EXPECT_EQ(office->FindBookWithSheet("Нет такого листа"), nullptr);

    const std::string xlsx = tmp.file("layer.xlsx");
    book->StoreTo(xlsx);
    book->Close();
    EXPECT_EQ(office->FindBookWithSheet("Копия"), nullptr) << "closed";

    const Json j = readBack(xlsx);
    ASSERT_EQ(sheetNames(j), (std::vector<std::string>{"Копия", "Данные", "Вторая (итог)"}));
    const Json& cells = sheetOf(j, "Данные")["cells"];
    EXPECT_EQ(cells["B1"]["f"].str(), "=SUM(A1:A8)");
    EXPECT_EQ(cells["B1"]["v"].number(), 147);
    EXPECT_EQ(cells["D1"]["v"].str(), "=1+1");
    EXPECT_FALSE(cells["D1"].has("f"));
    EXPECT_EQ(cells["E1"]["v"].str(), "0012");
    EXPECT_EQ(cells["G1"]["v"].str(), "2023-03-15");
    EXPECT_EQ(cells["D2"]["fill"].str(), "FFFF0000");
    EXPECT_EQ(cells["E2"]["fill"].str(), "FFFFFF00");
    EXPECT_TRUE(cells["E2"]["v"].isNull()) << "contents cleared, shading kept";
    EXPECT_FALSE(cells.has("E3")) << "cleared with its formats";
    EXPECT_EQ(cells["G2"]["fill"].str(), "FFFFFF00");
    for (const char* a : {"A5", "B5", "C5"}) EXPECT_EQ(cells[a]["bottom"].str(), "thin") << a;
    EXPECT_EQ(cells["A7"]["top"].str(), "thin");
    EXPECT_FALSE(cells["A6"].has("bottom"));
    EXPECT_NEAR(sheetOf(j, "Данные")["widths"]["D"].number(), 10.86, 0.6);
}

// One protocol through the holder and RunReport, as the inspection report will do it: header,
// twelve fibres, the line under the last one and the unused rows deleted.
void fillProtocol(TReportInfo& info, const TProtocolLayout& at) {
    ISpreadsheetBook& b = *info.Book;
    const TSheetHandle s = info.Cells;
    const TCellBlock numbers = b.GetValues(s, {at.FirstRow(), 1, at.LastRow, 1});
    ASSERT_EQ(numbers.size(), static_cast<size_t>(kMaxFibres));
    for (int n = 1; n <= kMaxFibres; ++n) ASSERT_EQ(numbers[n - 1][0], TCellValue::Num(n)) << "fibre " << n;
    const TCellBlock header = b.GetValues(s, {at.HeaderRow(), 1, at.HeaderRow(), at.LastColumn()});
    for (const auto& v : header[0]) EXPECT_EQ(v.kind, TCellValue::Kind::Text);
    b.PutValues(s, at.LineRow, at.LineColumn, {{TCellValue::Text("Линия Север-2")}});
    b.PutValues(s, at.DateRow, at.DateColumn, {{TCellValue::Date(45000)}});
    b.PutValues(s, at.MarkRow, at.MarkColumn, {{TCellValue::Text("ОКЛ-0,22-16")}});
    b.PutValues(s, at.DrumRow, at.DrumColumn, {{TCellValue::Text("0012")}});
    b.PutValues(s, at.MarksRow, at.MarksColumn, {{TCellValue::Text("1000; 3015")}});
    b.PutValues(s, at.LengthRow, at.LengthColumn, {{TCellValue::Num(2015)}});
    // Column by column: the template's formulas sit between the measured columns.
    TCellBlock lengths, at1310, at1550;
    for (int n = 1; n <= 12; ++n) {
        lengths.push_back({TCellValue::Num(2000 + n)});
        at1310.push_back({TCellValue::Num(0.33)});
        at1550.push_back({TCellValue::Num(0.25)});
    }
    b.PutValues(s, at.FirstRow(), at.FibreLengthColumn, lengths);
    b.PutValues(s, at.FirstRow(), at.Attenuation1310Column, at1310);
    b.PutValues(s, at.FirstRow(), at.Attenuation1550Column, at1550);
    b.PutValues(s, at.OperatorRow, at.OperatorColumn, {{TCellValue::Text("Иванов")}});
    const int last = at.FibreRowOffset + 12;
    b.SetBorder(s, {{last, 1, last, at.LastColumn()}}, TBorderEdge::Bottom);
    b.DeleteRange(s, {last + 1, 1, at.LastRow, at.LastColumn()}, TDeleteShift::Up);
}

TEST_F(RealOffice, ProtocolTemplatesCarryTheirCells) {
    for (const auto& [name, layout] : {std::pair{"VhPasport", &kVhPasportLayout}, std::pair{"PrPasport", &kPrPasportLayout}}) {
        SCOPED_TRACE(name);
        const TProtocolLayout& at = *layout;
        TReportTemplateHolder holder;
        TReportTemplateItem& item = holder.Reports().Add();
        item.SetName(name);
        item.FileTemplate().SetData(BuiltInTemplateData(name));
        item.OnGenerateReport = [&](TReportInfo& info, const std::any&) { fillProtocol(info, at); };
        TReportInfo info;
        info.Name = name;
        holder.PrepareReport(info);
        TReportRunOptions o;
        o.FirstSheet = "Протокол";
        o.StoreFile = tmp.file(std::string(name) + ".xlsx");
        const TReportRunResult r = RunReport(info, *office, o);
        ASSERT_TRUE(r.Generated);
        ASSERT_EQ(r.StoredFile, o.StoreFile);

        const Json j = readBack(o.StoreFile);
        ASSERT_EQ(sheetNames(j), std::vector<std::string>{"Протокол"});
        const Json& cells = sheetOf(j, "Протокол")["cells"];
        auto at_ = [&](int row, int column) -> const Json& { return cells[ColumnLetters(column) + std::to_string(row)]; };
        EXPECT_EQ(at_(at.LineRow, at.LineColumn)["v"].str(), "Линия Север-2");
        EXPECT_EQ(at_(at.DateRow, at.DateColumn)["v"].str(), "2023-03-15");
        EXPECT_TRUE(at_(at.DateRow, at.DateColumn)["date"].boolean());
        EXPECT_EQ(at_(at.DrumRow, at.DrumColumn)["v"].str(), "0012");
        EXPECT_EQ(at_(at.MarksRow, at.MarksColumn)["v"].str(), "1000; 3015");
        const int last = at.FibreRowOffset + 12;
        EXPECT_EQ(at_(last, 1)["v"].number(), 12);
        EXPECT_EQ(at_(last, at.FibreLengthColumn)["v"].number(), 2012);
        EXPECT_NEAR(at_(last, at.Attenuation1310Column)["v"].number(), 0.33, 1e-12);
        EXPECT_EQ(at_(last, 7)["v"].str(), "норма") << "the template's verdict formulas";
        EXPECT_EQ(at_(last, 9)["v"].str(), "выше нормы");
        EXPECT_NEAR(at_(last, 5)["v"].number(), (2012.0 - 2015.0) / 2015.0 * 100, 1e-9);
        EXPECT_EQ(at_(last, 1)["bottom"].str(), "thin");
        EXPECT_EQ(at_(last, at.LastColumn())["bottom"].str(), "thin");
        EXPECT_FALSE(cells.has("A" + std::to_string(last + 1)) && at_(last + 1, 1)["v"].type() == Json::Type::Number)
            << "fibre 13's row is gone";
        const int moved = at.OperatorRow - (at.LastRow - last);
        EXPECT_EQ(at_(moved, at.OperatorColumn)["v"].str(), "Иванов") << "the operator row moved up";
        for (const auto& m : sheetOf(j, "Протокол")["merged"].items()) {
            const TCellRange mr = ParseRange(m.str());
            EXPECT_TRUE(mr.Bottom < at.FirstRow() || mr.Top > last) << "merged area in the table: " << m.str();
        }
    }
}

TEST_F(RealOffice, ConstructionTemplateSheetsAndFormulas) {
    using L = TConstructionLayout;
    const std::string file = templateFile(BuiltInTemplateModel("SimplePasport"), "simple.fods");
    auto book = office->AddBook(file);
    ASSERT_EQ(book->SheetNames(), (std::vector<std::string>{"Сводка", "СВТ", "Измерения", "Потери", "Муфта"}));
    const TSheetHandle summary = book->Sheet(L::Summary), mean = book->Sheet(L::MeanLoss),
                       losses = book->Sheet(L::Losses), splice = book->Sheet(L::Splice);
    // The report reads each splice group's number back from row 3.
    const TCellRow numbers = book->GetValues(summary, {3, 1, 3, L::SummaryLastColumn})[0];
    for (int k = 1; k <= L::MaxSplices; ++k) EXPECT_EQ(numbers[L::SpliceColumn(k) - 1], TCellValue::Num(k)) << k;

    book->SetAutomaticCalculation(false);
    // Two fibres, splice 1 averaged 0.07 and 0.12: "СВТ" takes the means, its sums follow.
    book->PutValues(summary, 8, L::SpliceColumn(1) + 2, {{TCellValue::Num(0.07)}, {TCellValue::Num(0.12)}});
    book->Calculate();
    const TCellBlock means = book->GetValues(mean, {8, 2, 9, 3});
    EXPECT_NEAR(num(means[0][0]), 0.07, 1e-12);
    EXPECT_NEAR(num(means[1][0]), 0.12, 1e-12);
    EXPECT_EQ(means[0][1], TCellValue::Text("")) << "no splice 2: an empty text, not a number";
    book->SetAutomaticCalculation(true);

    // Trimming as the report does: rows go, the summaries above follow.
    book->PutValues(losses, 16, 4, {{TCellValue::Num(1)}, {TCellValue::Num(2)}});
    book->DeleteRange(losses, {18, 1, L::LossLastRow, L::LossLastColumn}, TDeleteShift::Up);
    book->DeleteRange(mean, {6, 3, 307, 3}, TDeleteShift::Left);
    const TSheetHandle first = book->CopySheet(splice, splice, "Муфта 1");
    book->RenameSheet(splice, "Муфта 2");
    book->PutValues(first, L::SpliceNumberCellRow, L::SpliceNumberCellColumn, {{TCellValue::Num(1)}});
    const std::string xlsx = tmp.file("simple.xlsx");
    book->StoreTo(xlsx);
    book->Close();

    const Json j = readBack(xlsx);
    EXPECT_EQ(sheetNames(j), (std::vector<std::string>{"Сводка", "СВТ", "Измерения", "Потери", "Муфта 1", "Муфта 2"}));
    const Json& lossCells = sheetOf(j, "Потери")["cells"];
    EXPECT_EQ(lossCells["D4"]["f"].str(), "=COUNT(D16:D17)");
    EXPECT_EQ(lossCells["D4"]["v"].number(), 2);
    const Json& meanCells = sheetOf(j, "СВТ")["cells"];
    EXPECT_EQ(meanCells["BM8"]["f"].str(), "=IF(COUNT(B8:BL8)=0,\"\",SUM(B8:BL8))") << "the sum column moved left";
    EXPECT_NEAR(meanCells["BM8"]["v"].number(), 0.07, 1e-12);
    EXPECT_EQ(sheetOf(j, "Муфта 1")["cells"]["C4"]["v"].number(), 1);
}

// The construction documentation report of 16 fibres and 3 splices, as the construction window
// makes it, stored and read back: the sheets, the shading, the statistics from the office's own
// "СВТ" formulas, and the rows and columns trimmed away.
TEST_F(RealOffice, ConstructionReportOfSixteenFibres) {
    lvtest::SyntheticLine line;
    line.SplicesKm = {4, 9, 14};
    // Means per fibre: odd 0.04, 0.07, 0.125 (one up to 0.05 dB, two up to 0.1 dB); even 0.07,
    // 0.07, 0.125 (none, two).
    std::vector<lvtest::LineFibre> fibres;
    for (int n = 1; n <= 16; ++n)
        fibres.push_back({n, {n % 2 ? 0.03 : 0.09, 0.12, -0.15}, {0.05, 0.02, 0.40}, 0, "", "", true, true, ".tra"});
    const std::string folder = tmp.path() + "/Линия 16/";
    line.Write(folder, fibres);
    const TConstructionInput in = line.Input(folder);
    TReportTemplateHolder holder;
    AddConstructionTemplate(holder, "");
    TReportRunOptions o;
    o.StoreFile = tmp.file("line16.xlsx");
    lvtest::ScriptedPrompts prompts;
    TSilentProgress progress;
    const TConstructionReportResult r = MakeConstructionReport(holder, *office, in, progress, o);
    ASSERT_TRUE(r.Generated);
    EXPECT_TRUE(r.Skipped.empty());
    EXPECT_TRUE(prompts.Messages.empty());

    const Json j = readBack(o.StoreFile);
    EXPECT_EQ(sheetNames(j), (std::vector<std::string>{"Сводка", "СВТ", "Измерения", "Потери", "Муфта 1", "Муфта 2", "Муфта 3"}));
    const Json& summary = sheetOf(j, "Сводка")["cells"];
    EXPECT_EQ(summary["F1"]["v"].str(), "Линия 16");
    EXPECT_EQ(summary["N3"]["v"].str(), "Муфта 2");
    EXPECT_EQ(summary["R4"]["v"].str(), "B-M3");
    // Splice 2 from A, splice 3 from both ends and its average: shaded; splice 1 not.
    for (int row = 8; row <= 23; ++row) {
        const std::string n = std::to_string(row);
        EXPECT_FALSE(summary["J" + n].has("fill")) << row;
        EXPECT_EQ(summary["M" + n]["fill"].str(), "FFFFFF00") << row;
        EXPECT_FALSE(summary["N" + n].has("fill")) << row;
        EXPECT_EQ(summary["P" + n]["fill"].str(), "FFFFFF00") << row;
        EXPECT_EQ(summary["Q" + n]["fill"].str(), "FFFFFF00") << row;
        EXPECT_EQ(summary["R" + n]["fill"].str(), "FFFF0000") << row;
        EXPECT_NEAR(summary["M" + n]["v"].number(), 0.12, 0.01) << row;
    }
    // Trimmed: a line under fibre 16, nothing below it or right of splice 3's group.
    EXPECT_EQ(summary["A23"]["v"].number(), 16);
    EXPECT_EQ(summary["A23"]["bottom"].str(), "thin");
    EXPECT_EQ(summary["R23"]["bottom"].str(), "thin");
    EXPECT_FALSE(summary.has("A24"));
    EXPECT_FALSE(summary.has("S3")) << "splice group 4's number";
    EXPECT_FALSE(summary.has("S6"));

    // "Потери" counts what the office's "СВТ" formulas gave.
    const Json& losses = sheetOf(j, "Потери")["cells"];
    for (int n = 1; n <= 16; ++n) {
        const std::string row = std::to_string(n + 15);
        EXPECT_EQ(losses["C" + row]["v"].number(), 3) << n;
        EXPECT_EQ(losses["D" + row]["v"].number(), n % 2 ? 1 : 0) << n;
        EXPECT_EQ(losses["E" + row]["v"].number(), 2) << n;
        EXPECT_NEAR(losses["F" + row]["v"].number(), n % 2 ? 100.0 / 3 : 0, 1e-9) << n;
        EXPECT_NEAR(losses["G" + row]["v"].number(), 200.0 / 3, 1e-9) << n;
    }
    EXPECT_EQ(losses["D4"]["v"].number(), 16);
    EXPECT_EQ(losses["D4"]["f"].str(), "=COUNT(D16:D31)");
    EXPECT_FALSE(losses.has("A32") && losses["A32"]["v"].type() == Json::Type::Number) << "fibre 17's row is gone";
    for (const char* c : {"A32", "G32", "H32"}) EXPECT_EQ(losses[c]["top"].str(), "thin") << c;

    const Json& mean = sheetOf(j, "СВТ")["cells"];
    EXPECT_NEAR(mean["D8"]["v"].number(), 0.125, 0.01) << "splice 3's mean of fibre 1";
    EXPECT_EQ(mean["S6"]["v"].str(), "Сумма, дБ") << "17 splice columns stay, the rest are gone";
    EXPECT_EQ(mean["T6"]["v"].str(), "Наибольшие, дБ");
    EXPECT_NE(mean["E6"]["v"].type(), Json::Type::Number) << "no number over an unused splice column";
    EXPECT_NEAR(sheetOf(j, "СВТ")["widths"]["T"].number(), 10.86, 0.6);
    EXPECT_EQ(mean["A23"]["v"].number(), 16);
    EXPECT_FALSE(mean.has("A24"));
    const Json& splice = sheetOf(j, "Муфта 3")["cells"];
    EXPECT_EQ(splice["C4"]["v"].number(), 3);
    EXPECT_TRUE(splice["E4"]["date"].boolean());
    EXPECT_EQ(splice["A27"]["v"].number(), 16);
    EXPECT_FALSE(splice.has("A28"));
    EXPECT_NEAR(splice["F27"]["v"].number(), 0.125, 0.01);
    const Json& measured = sheetOf(j, "Измерения")["cells"];
    EXPECT_EQ(measured["A28"]["v"].number(), 16);
    EXPECT_FALSE(measured.has("A29"));
    std::stringstream text;
    text << std::ifstream(o.StoreFile + ".json").rdbuf();
    EXPECT_EQ(text.str().find("#REF"), std::string::npos) << "no formula lost its cells";
}

TEST_F(RealOffice, OperatorTemplatesInEveryFormat) {
    auto source = office->AddBook(templateFile(BuiltInTemplateModel("VhPasport"), "vh.fods"));
    for (const char* ext : {".xlsx", ".xls", ".ods"}) source->StoreTo(tmp.file(std::string("mine") + ext));
    source->Close();
    for (const char* ext : {".xlsx", ".xls", ".ods"}) {
        SCOPED_TRACE(ext);
        TFileTemplate t;
        t.LoadFromFile(tmp.file(std::string("mine") + ext));
        const std::string file = t.GetTemplateFileName();
        EXPECT_EQ(std::filesystem::path(file).extension().string(), ext) << "the real extension, whatever the name";
        auto book = office->AddBook(file);
        const TSheetHandle s = book->Sheet("Протокол");
        EXPECT_EQ(book->GetValues(s, ParseRange("A27:A28")), (TCellBlock{{TCellValue::Num(1)}, {TCellValue::Num(2)}}));
        book->Close();
    }
}

TEST_F(RealOffice, FailuresNameTheirCause) {
    // A template without the report's sheet: the hidden workbook goes, the error says why.
    TBookModel model;
    const std::string sheet = "Лист " + std::to_string(::getpid());
    model.AddSheet(sheet).Text(1, 1, "x");
    TReportTemplateHolder holder;
    TReportTemplateItem& item = holder.Reports().Add();
    item.SetName("Мой");
    item.FileTemplate().LoadFromFile(templateFile(model, "nosheet.fods"));
    bool ran = false;
    item.OnGenerateReport = [&](TReportInfo&, const std::any&) { ran = true; };
    TReportInfo info;
    info.Name = "Мой";
    holder.PrepareReport(info);
    TReportRunOptions o;
    o.FirstSheet = "Протокол";
    try {
        RunReport(info, *office, o);
        FAIL() << "no error";
    } catch (const ESpreadsheetError& e) {
        EXPECT_EQ(std::string(e.what()), "В шаблоне отчета Мой нет листа \"Протокол\".");
    }
    EXPECT_FALSE(ran);
    office->Connect();
    EXPECT_EQ(office->FindBookWithSheet(sheet), nullptr) << "the workbook was closed";

    // A file the office cannot read as a workbook.
    const std::string junk = tmp.file("junk.xlsx");
    std::ofstream(junk) << "\x01\x02 not a workbook";
    try {
        office->AddBook(junk);
        FAIL() << "opened junk";
    } catch (const ESpreadsheetError& e) {
        EXPECT_EQ(std::string(e.what()).rfind(FormatS(kMsgCannotOpenTemplate, junk), 0), 0u) << e.what();
    }
}

TEST_F(RealOffice, WithoutAWindowTheReportIsStoredAndNamed) {
    lvtest::ScriptedPrompts prompts;
    TReportTemplateHolder holder;
    TReportTemplateItem& item = holder.Reports().Add();
    item.SetName("PrPasport");
    item.FileTemplate().SetData(BuiltInTemplateData("PrPasport"));
    item.OnGenerateReport = [](TReportInfo& info, const std::any&) {
        info.Book->PutValues(info.Cells, 4, 2, {{TCellValue::Text("Линия")}});
    };
    TReportRunOptions o;
    o.FirstSheet = "Протокол";
    o.FallbackFile = tmp.file("Отчет.xlsx");
    std::vector<std::string> stored;
    for (int i = 0; i < 2; ++i) {
        TReportInfo info;
        info.Name = "PrPasport";
        holder.PrepareReport(info);
        stored.push_back(RunReport(info, *office, o).StoredFile);
    }
    EXPECT_EQ(stored, (std::vector<std::string>{tmp.file("Отчет.xlsx"), tmp.file("Отчет (2).xlsx")}));
    ASSERT_EQ(prompts.Messages.size(), 2u);
    EXPECT_EQ(prompts.Messages[1].Text, FormatS(kMsgReportStored, tmp.file("Отчет (2).xlsx")));
    EXPECT_EQ(sheetOf(readBack(stored[1]), "Протокол")["cells"]["B4"]["v"].str(), "Линия");
}

// --- inspection protocols --------------------------------------------------------------------------

TEST_F(RealOffice, InspectionProtocolOfTwelveFibresInEachTemplate) {
    lvtest::ScriptedPrompts prompts;
    lvtest::EnsureTraceFormats();
    std::vector<std::unique_ptr<TRDataStorage>> stores;
    TInspectionRequest request;
    TInspectionData& data = request.Data;
    data.Header = {"Линия Север-2", "0012", "ОКЛ-0,22-16", "10015", "01000", "03015", "Петров", 45000.6};
    for (const auto& [sub, nm] : {std::pair{"131", 1310}, std::pair{"155", 1550}}) {
        std::filesystem::create_directories(tmp.file(sub));
        for (int n = 1; n <= 12; ++n) {
            char name[16];
            std::snprintf(name, sizeof name, nm == 1310 ? "%03d.tra" : "%03d.sor", n);
            const std::string path = tmp.file(std::string(sub) + "/" + name);
            lvtest::WriteTraceFile(path, nm, name, static_cast<uint64_t>(n));
            auto store = std::make_unique<TRDataStorage>();
            store->SetAutoFree(false);
            ASSERT_TRUE(store->LoadFromFile(path, false));
            data.Traces.push_back({store.get(), n});
            stores.push_back(std::move(store));
        }
    }
    TRDataStorage* ref = data.Reference = stores.front().get();
    ref->SetReference(0.25);
    ref->SetCursor(9.75);
    ref->SetMarker(0, 1.0);
    ref->SetMarker(1, 9.0);

    struct Case {
        int mode;
        const char* name;
        int firstRow, lastRow, operatorRow;
        const char *mark, *drum, *marks, *length;
    };
    for (const Case& c : {Case{pmIncoming, "VhPasport", 27, 326, 331, "C6", "I6", "D14", "E15"},
                          Case{pmPreInstall, "PrPasport", 22, 321, 332, "C7", "E6", "G9", "E10"}}) {
        SCOPED_TRACE(c.name);
        TInspectionReport report;
        request.Mode = c.mode;
        request.StoreFile = tmp.file(std::string(c.name) + ".xlsx");
        TSilentProgress progress;
        const TInspectionResult r = report.Generate(request, *office, progress);
        ASSERT_EQ(r.Run.StoredFile, request.StoreFile);

        const Json j = readBack(request.StoreFile);
        ASSERT_EQ(sheetNames(j), std::vector<std::string>{"Протокол"});
        const Json& cells = sheetOf(j, "Протокол")["cells"];
        auto at = [&](int row, int column) -> const Json& { return cells[ColumnLetters(column) + std::to_string(row)]; };
        EXPECT_EQ(cells["B4"]["v"].str(), "Линия Север-2");
        EXPECT_EQ(cells["I4"]["v"].str(), "2023-03-15");
        EXPECT_TRUE(cells["I4"]["date"].boolean()) << "a real date";
        EXPECT_EQ(cells[c.mark]["v"].str(), "ОКЛ-0,22-16");
        EXPECT_EQ(cells[c.drum]["v"].str(), "0012");
        EXPECT_EQ(cells[c.marks]["v"].str(), "01000; 03015");
        EXPECT_EQ(cells[c.length]["v"].number(), 10015);

        const int last = c.firstRow + 11;
        for (int n = 1; n <= 12; ++n) {
            const int row = c.firstRow + n - 1;
            TRDataStorage* t1310 = stores[static_cast<size_t>(n - 1)].get();
            TRDataStorage* t1550 = stores[static_cast<size_t>(n + 11)].get();
            EXPECT_EQ(at(row, 1)["v"].number(), n);
            EXPECT_EQ(at(row, 4)["v"].number(), 9500) << row;
            EXPECT_NEAR(at(row, 6)["v"].number(), t1310->SectionLoss12 / t1310->Length12, 1e-12) << row;
            EXPECT_NEAR(at(row, 8)["v"].number(), t1550->SectionLoss12 / t1550->Length12, 1e-12) << row;
            EXPECT_NEAR(at(row, 5)["v"].number(), (9500.0 - 10015.0) / 10015.0 * 100, 1e-9) << "the template's formula";
        }
        for (int column = 1; column <= 9; ++column) EXPECT_EQ(at(last, column)["bottom"].str(), "thin") << column;
        const int gone = c.lastRow - last;
        EXPECT_FALSE(at(last + 1, 1).has("v") && at(last + 1, 1)["v"].type() == Json::Type::Number) << "fibre 13's row is gone";
        EXPECT_EQ(at(c.operatorRow - 3 - gone, 1)["v"].str(), "Заключение:") << "the rows below moved up";
        EXPECT_EQ(at(c.operatorRow - gone, 5)["v"].str(), "Петров");
    }
    EXPECT_TRUE(prompts.Messages.empty());
}

TEST_F(RealOffice, ADateKeepsTheDateFormatOfItsCell) {
    const std::string file = tmp.file("dates.xlsx");
    const std::string cmd = std::string(kPython) +
                            " -c 'import openpyxl,sys; b=openpyxl.Workbook(); s=b.active; s.title=\"Даты\"; "
                            "s[\"B2\"].number_format=\"YYYY-MM-DD\"; s[\"B2\"]=1; b.save(sys.argv[1])' '" + file + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    auto book = office->AddBook(file);
    const TSheetHandle s = book->Sheet("Даты");
    book->PutValues(s, 2, 2, {{TCellValue::Date(45000), TCellValue::Date(45000)}});
    EXPECT_EQ(book->ShownText(s, 2, 2), "2023-03-15") << "the template's own format";
    EXPECT_EQ(book->ShownText(s, 2, 3), "15.03.2023") << "a cell without one gets the day first";
    book->Close();
}

#endif

} // namespace
