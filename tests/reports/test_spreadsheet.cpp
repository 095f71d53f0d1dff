// The spreadsheet layer's rules, its in-memory office, the report run around a handler, and the
// built-in template workbooks.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "reports/uReportRun.h"
#include "reports/uSpreadsheetFake.h"
#include "reports/uTemplateBooks.h"
#include "reports/uWorkbookModel.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace {

using namespace lv;
using V = TCellValue;

TEST(CellRanges, AddressesBothWays) {
    const std::pair<std::string, TCellRange> cases[] = {
        {"A1", {1, 1, 1, 1}},      {"B4", {4, 2, 4, 2}},           {"A39:I326", {39, 1, 326, 9}},
        {"$A$1:$B$2", {1, 1, 2, 2}}, {"GS305", {305, 201, 305, 201}}, {"AMJ1", {1, 1024, 1, 1024}},
    };
    for (const auto& [text, range] : cases) {
        EXPECT_EQ(ParseRange(text), range) << text;
        if (text[0] != '$') {
            EXPECT_EQ(RangeAddress(range), text);
        }
    }
    // An inverted range raises, as the office does, instead of being turned round.
    for (const char* bad : {"A327:I326", "B1:A1", "1A", "A0", "", "AMK1", "A1:", "ZZZZ1"})
        EXPECT_THROW(ParseRange(bad), ESpreadsheetError) << bad;
    EXPECT_THROW(CheckRange({327, 1, 326, 9}), ESpreadsheetError);
    EXPECT_EQ(ColumnNumber("bo"), 67);
    EXPECT_EQ(ColumnWidthHundredthsMm(10.86), 2144);
}

TEST(SheetNames, TheOfficesRules) {
    for (const char* good : {"Сводка", "Муфта (2)", "a'b", "x"}) EXPECT_TRUE(IsValidSheetName(good)) << good;
    for (const std::string& bad : std::vector<std::string>{"", "a/b", "a\\b", "a:b", "a?b", "a*b", "[a]", "'a", "a'", std::string(32, 'x')})
        EXPECT_FALSE(IsValidSheetName(bad)) << bad;
    const std::vector<std::string> existing{"Сводка", "Муфта", "муфта (2)", std::string(31, 'x')};
    const std::pair<std::string, std::string> cases[] = {
        {"М1/2", "М1_2"},
        {"муфта", "муфта (3)"},
        {"'Ящик'", "_Ящик_"},
        {"", "_"},
        {std::string(40, 'x'), std::string(27, 'x') + " (2)"},
    };
    for (const auto& [wanted, made] : cases) EXPECT_EQ(MakeSheetName(wanted, existing), made);
    std::string longCyrillic;
    for (int i = 0; i < 35; ++i) longCyrillic += "Ж";
    const std::string cut = MakeSheetName(longCyrillic, existing);
    EXPECT_EQ(cut.size(), 31u * 2) << "cut by characters, not bytes";
    EXPECT_TRUE(IsValidSheetName(cut));
}

// --- the in-memory office -------------------------------------------------------------------------

class FakeOffice : public ::testing::Test {
protected:
    void SetUp() override {
        office.Connect();
        book = office.AddBook("");
        s = book->Sheet("Лист1");
    }
    TFakeSheet& sheet() { return office.Books.back()->SheetById(s); }

    TFakeSpreadsheetApp office;
    std::unique_ptr<ISpreadsheetBook> book;
    TSheetHandle s = kNoSheet;
};

TEST_F(FakeOffice, DeletionsShiftTheCellsAfterThem) {
    TCellBlock grid;
    for (int r = 1; r <= 4; ++r) grid.push_back({V::Num(r * 10 + 1), V::Num(r * 10 + 2), V::Num(r * 10 + 3)});
    struct Case {
        const char* range;
        TDeleteShift shift;
        TCellBlock after;
    };
    const Case cases[] = {
        {"A2:B3", TDeleteShift::Up, {{V::Num(11), V::Num(12), V::Num(13)}, {V::Num(41), V::Num(42), V::Num(23)},
                                     {V{}, V{}, V::Num(33)}, {V{}, V{}, V::Num(43)}}},
        {"A1:A2", TDeleteShift::Left, {{V::Num(12), V::Num(13), V{}}, {V::Num(22), V::Num(23), V{}},
                                       {V::Num(31), V::Num(32), V::Num(33)}, {V::Num(41), V::Num(42), V::Num(43)}}},
    };
    for (const auto& c : cases) {
        book->PutValues(s, 1, 1, grid);
        book->DeleteRange(s, ParseRange(c.range), c.shift);
        EXPECT_EQ(book->GetValues(s, ParseRange("A1:C4")), c.after) << c.range;
        book->ClearRange(s, ParseRange("A1:C4"), TClearWhat::All);
    }
}

TEST_F(FakeOffice, FormatsValuesAndNames) {
    book->PutValues(s, 1, 1, {{V::Text("=1+1"), V::Date(45000), V::Num(0.5)}});
    EXPECT_EQ(book->ShownText(s, 1, 1), "=1+1");
    EXPECT_EQ(book->ShownText(s, 1, 2), "15.03.2023");
    EXPECT_EQ(book->GetValues(s, ParseRange("B1"))[0][0], V::Num(45000)) << "a date reads back as its number";
    book->SetInterior(s, {ParseRange("A1:B1")}, kColorIndexYellow);
    book->SetBorder(s, {ParseRange("A3:C3")}, TBorderEdge::Bottom);
    book->ClearRange(s, ParseRange("A1"), TClearWhat::Contents);
    book->ClearRange(s, ParseRange("B1"), TClearWhat::All);
    EXPECT_EQ(sheet().Find(1, 1)->ColorIndex, kColorIndexYellow) << "contents only";
    EXPECT_EQ(sheet().Find(1, 2), nullptr);
    EXPECT_TRUE(sheet().Find(3, 3)->BorderBottom);
    EXPECT_THROW(book->SetInterior(s, {ParseRange("A1")}, 9), ESpreadsheetError);

    const TSheetHandle copy = book->CopySheet(s, s, "Копия");
    EXPECT_THROW(book->CopySheet(s, s, "копия"), ESpreadsheetError);
    EXPECT_THROW(book->RenameSheet(copy, "a*b"), ESpreadsheetError);
    book->RenameSheet(copy, "КОПИЯ");
    EXPECT_EQ(book->SheetNames(), (std::vector<std::string>{"КОПИЯ", "Лист1"}));
    EXPECT_THROW(book->Sheet("Нет"), ESpreadsheetError);
    EXPECT_THROW(book->PutValues(s, 0, 1, {{V::Num(1)}}), ESpreadsheetError);
}

TEST_F(FakeOffice, InjectedFailuresAndTheLog) {
    office.FailOn("PutValues", 2);
    book->PutValues(s, 1, 1, {{V::Num(1)}});
    EXPECT_THROW(book->PutValues(s, 2, 1, {{V::Num(2)}}), ESpreadsheetError);
    book->PutValues(s, 3, 1, {{V::Num(3)}, {V::Num(4)}});
    EXPECT_EQ(office.LogOf("PutValues"),
              (std::vector<std::string>{"PutValues Лист1!A1", "PutValues Лист1!A2", "PutValues Лист1!A3:A4"}));
    book->Close();
    EXPECT_THROW(book->Show(), ESpreadsheetError) << "a closed workbook";
    office.Disconnect();
    EXPECT_THROW(office.AddBook(""), ESpreadsheetError) << "not connected";
}

// --- the report run -------------------------------------------------------------------------------

class ReportRun : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TMPDIR", tmp.path().c_str(), 1);
        item = &holder.Reports().Add();
        item->SetName("VhPasport");
        item->FileTemplate().SetData(BuiltInTemplateData("VhPasport"));
        options.FirstSheet = "Протокол";
    }
    void TearDown() override { ::unsetenv("TMPDIR"); }

    TReportRunResult run() {
        TReportInfo info;
        info.Name = "VhPasport";
        holder.PrepareReport(info);
        TReportRunResult r = RunReport(info, office, options);
        EXPECT_EQ(info.Application, nullptr) << "released";
        EXPECT_EQ(info.Book, nullptr);
        return r;
    }

    lvtest::TempDir tmp;
    TReportTemplateHolder holder;
    TReportTemplateItem* item = nullptr;
    TFakeSpreadsheetApp office;
    TReportRunOptions options;
};

TEST_F(ReportRun, FillsThenShowsAndLetsGo) {
    options.ManualCalculation = true;
    item->OnGenerateReport = [](TReportInfo& info, const std::any&) {
        EXPECT_FALSE(info.Book->HasSheet("Сводка"));
        info.Book->PutValues(info.Cells, 4, 2, {{V::Text("Линия")}});
    };
    EXPECT_TRUE(run().Generated);
    const auto& log = office.Log;
    ASSERT_GE(log.size(), 8u);
    EXPECT_EQ(log.front(), "Connect");
    EXPECT_EQ(log[1].rfind("AddBook " + tmp.path() + "/~ft", 0), 0u) << log[1];
    const std::vector<std::string> tail(log.end() - 5, log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"PutValues Протокол!B4", "Select Протокол!A1",
                                              "SetAutomaticCalculation on", "Show", "Disconnect"}));
    EXPECT_EQ(office.LogOf("SetAutomaticCalculation off").size(), 1u);
    const TFakeBook& b = *office.Books.back();
    EXPECT_TRUE(b.Visible);
    EXPECT_EQ(b.FindSheet("Протокол")->Value(4, 2), V::Text("Линия"));
    EXPECT_EQ(b.FindSheet("Протокол")->Value(27, 1), V::Num(1)) << "the built-in template's fibre numbers";
}

TEST_F(ReportRun, AFailingHandlerStillLeavesTheWorkbookShownAndCalculating) {
    options.ManualCalculation = true;
    office.FailOn("DeleteRange");
    item->OnGenerateReport = [](TReportInfo& info, const std::any&) {
        info.Book->DeleteRange(info.Cells, ParseRange("A39:I326"), TDeleteShift::Up);
    };
    EXPECT_THROW(run(), ESpreadsheetError);
    const TFakeBook& b = *office.Books.back();
    EXPECT_TRUE(b.Visible);
    EXPECT_TRUE(b.AutomaticCalculation);
    EXPECT_FALSE(office.Connected());
}

TEST_F(ReportRun, ATemplateWithoutTheSheetIsClosedAndNamed) {
    options.FirstSheet = "Сводка";
    bool ran = false;
    item->OnGenerateReport = [&](TReportInfo&, const std::any&) { ran = true; };
    try {
        run();
        FAIL() << "no error";
    } catch (const ESpreadsheetError& e) {
        EXPECT_STREQ(e.what(), "В шаблоне отчета VhPasport нет листа \"Сводка\".");
    }
    EXPECT_FALSE(ran);
    EXPECT_TRUE(office.Books.back()->Closed);
    EXPECT_FALSE(office.Books.back()->Visible);
    EXPECT_FALSE(office.Connected());
}

TEST_F(ReportRun, RefusalsStopBeforeTheOffice) {
    int ran = 0;
    item->OnGenerateReport = [&](TReportInfo&, const std::any&) { ++ran; };
    item->OnCanGenerateReport = [](TReportInfo&, TCanGenerate& allow) { allow = rsNoData; };
    EXPECT_FALSE(run().Generated);
    EXPECT_TRUE(office.Log.empty());

    item->OnCanGenerateReport = nullptr;
    item->SetNeedViewer(false);
    TReportInfo info;
    info.Name = "VhPasport";
    holder.PrepareReport(info);
    RunReport(info, office, options);
    EXPECT_EQ(info.Failed, 0) << "no cells were asked for";
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(office.Log.empty()) << "no viewer, no office";

    item->SetNeedCells(true);
    office.Installed = false;
    try {
        run();
        FAIL() << "no error";
    } catch (const ESpreadsheetError& e) {
        EXPECT_STREQ(e.what(), kMsgCannotStartOffice);
    }
    EXPECT_EQ(ran, 1);
}

TEST_F(ReportRun, AddToSheetGoesToTheOpenWorkbook) {
    item->SetAddToSheet("Протокол");
    item->OnGenerateReport = [](TReportInfo& info, const std::any&) {
        info.Book->PutValues(info.Cells, 1, 1, {{V::Num(info.Book->GetValues(info.Cells, ParseRange("A1"))[0][0].number + 1)}});
    };
    run();
    run();
    ASSERT_EQ(office.LogOf("AddBook").size(), 1u);
    EXPECT_EQ(office.Books.front()->FindSheet("Протокол")->Value(1, 1), V::Num(2));
}

TEST_F(ReportRun, ANewlyChosenTemplateIsUsedByTheNextReport) {
    item->OnGenerateReport = [](TReportInfo&, const std::any&) {};
    run();
    TBookModel mine;
    mine.AddSheet("Протокол").Text(1, 1, "мой шаблон");
    const std::string xml = WriteFlatOds(mine);
    item->FileTemplate().SetData(std::vector<uint8_t>(xml.begin(), xml.end()));
    run();
    ASSERT_EQ(office.Books.size(), 2u);
    EXPECT_EQ(office.Books[1]->FindSheet("Протокол")->Value(1, 1), V::Text("мой шаблон"));
    EXPECT_NE(office.Books[0]->TemplateFile, office.Books[1]->TemplateFile);
}

TEST_F(ReportRun, WithoutAWindowTheWorkbookIsStoredAndNamed) {
    lvtest::ScriptedPrompts prompts;
    office.Windows = false;
    item->OnGenerateReport = [](TReportInfo&, const std::any&) {};
    options.FallbackFile = tmp.file("Протокол.xlsx");
    std::ofstream(options.FallbackFile) << "the operator's";
    const TReportRunResult r = run();
    EXPECT_EQ(r.StoredFile, tmp.file("Протокол (2).xlsx")) << "an existing file is not replaced";
    EXPECT_EQ(office.Books.back()->StoredTo, std::vector<std::string>{r.StoredFile});
    EXPECT_TRUE(office.Books.back()->Closed);
    ASSERT_EQ(prompts.Messages.size(), 1u);
    EXPECT_EQ(prompts.Messages[0].Text, "Отчет сохранен в файле \"" + r.StoredFile + "\".");

    options.StoreFile = tmp.file("out.xlsx"); // scripts: stored quietly
    EXPECT_EQ(run().StoredFile, options.StoreFile);
    EXPECT_EQ(prompts.Messages.size(), 1u);
}

// --- the built-in workbooks -----------------------------------------------------------------------

TEST(TemplateBooks, NoMergedAreaCrossesABlockTheReportsDelete) {
    using L = TConstructionLayout;
    struct Block {
        const char* book;
        const char* sheet;
        TCellRange range; // rows and columns the reports delete, clear or shift
    };
    const Block blocks[] = {
        {"VhPasport", "Протокол", {kVhPasportLayout.FirstRow(), 1, kVhPasportLayout.LastRow, 9}},
        {"PrPasport", "Протокол", {kPrPasportLayout.FirstRow(), 1, kPrPasportLayout.LastRow, 9}},
        {"SimplePasport", L::Summary, {8, 1, L::SummaryLastRow, L::SummaryLastColumn}},
        {"SimplePasport", L::Summary, {3, L::SpliceColumn(1), L::SummaryLastRow, L::SummaryLastColumn}},
        {"SimplePasport", L::MeanLoss, {6, 2, 307, 65}},
        {"SimplePasport", L::MeanLoss, {L::MeanFirstRow, 1, L::MeanLastRow, L::MeanLastColumn}},
        {"SimplePasport", L::Measurements, {L::MeasurementRowOffset + 1, 1, L::MeasurementLastRow, L::MeasurementLastColumn}},
        {"SimplePasport", L::Losses, {16, 1, L::LossLastRow, L::LossLastColumn}},
        {"SimplePasport", L::Splice, {L::SpliceRowOffset + 1, 1, L::SpliceLastRow, 6}},
    };
    for (const auto& b : blocks) {
        const TBookModel model = BuiltInTemplateModel(b.book);
        const TBookSheet* sheet = model.FindSheet(b.sheet);
        ASSERT_NE(sheet, nullptr) << b.book << " " << b.sheet;
        for (const auto& [pos, cell] : sheet->Cells) {
            if (cell.MergeRows == 1 && cell.MergeColumns == 1) continue;
            const TCellRange m{pos.first, pos.second, pos.first + cell.MergeRows - 1, pos.second + cell.MergeColumns - 1};
            const bool overlaps = m.Top <= b.range.Bottom && m.Bottom >= b.range.Top && m.Left <= b.range.Right &&
                                  m.Right >= b.range.Left;
            EXPECT_FALSE(overlaps) << b.book << " " << b.sheet << " " << RangeAddress(m);
        }
    }
}

TEST(TemplateBooks, StoredWorkbooksReadBackWithTheirAnchors) {
    using L = TConstructionLayout;
    for (const auto& name : BuiltInTemplateNames()) {
        const std::vector<uint8_t> data = BuiltInTemplateData(name);
        EXPECT_EQ(WorkbookExtension(data), ".fods");
        const TBookModel back = ReadFlatOds(std::string(data.begin(), data.end()));
        const TBookModel model = BuiltInTemplateModel(name);
        ASSERT_EQ(back.Sheets.size(), model.Sheets.size()) << name;
        for (size_t i = 0; i < model.Sheets.size(); ++i) {
            EXPECT_EQ(back.Sheets[i].Name, model.Sheets[i].Name);
            for (const auto& [pos, cell] : model.Sheets[i].Cells) {
                if (cell.Value.kind == V::Kind::Empty && cell.Formula.empty()) continue;
                const TBookCell* got = back.Sheets[i].Cells.count(pos) ? &back.Sheets[i].Cells.at(pos) : nullptr;
                ASSERT_NE(got, nullptr) << name << " " << model.Sheets[i].Name << " " << RangeAddress(TCellRange::Cell(pos.first, pos.second));
                EXPECT_EQ(got->Value, cell.Value);
                EXPECT_EQ(got->Formula, cell.Formula);
            }
        }
    }
    const TBookModel simple = BuiltInTemplateModel("SimplePasport");
    const TBookSheet& summary = *simple.FindSheet(L::Summary);
    for (int k = 1; k <= L::MaxSplices; ++k) EXPECT_EQ(summary.Value(L::SpliceNumberRow, L::SpliceColumn(k)), V::Num(k));
    EXPECT_EQ(L::SpliceColumn(L::MaxSplices) + 2, L::SummaryLastColumn) << "the last group ends at GS";
    for (const TProtocolLayout* at : {&kVhPasportLayout, &kPrPasportLayout}) {
        const TBookModel m = BuiltInTemplateModel(at == &kVhPasportLayout ? "VhPasport" : "PrPasport");
        const TBookSheet& p = *m.FindSheet("Протокол");
        EXPECT_EQ(p.Value(at->FirstRow(), 1), V::Num(1));
        EXPECT_EQ(p.Value(at->LastRow, 1), V::Num(kMaxFibres));
        EXPECT_EQ(p.Value(at->LastRow + 1, 1), V{});
    }
}

TEST(TemplateBooks, FlatOdsEscapesAndRepeats) {
    TBookModel m;
    TBookSheet& s = m.AddSheet("A&B <\"x\">");
    s.Text(1, 1, "a < b & \"c\"");
    s.Number(3, 5, -0.125);
    s.Merge(5, 2, 2, 3);
    s.Text(5, 2, "слитно");
    s.Number(5, 6, 1); // right of the merged area
    const TBookModel back = ReadFlatOds(WriteFlatOds(m));
    ASSERT_EQ(back.Sheets.size(), 1u);
    EXPECT_EQ(back.Sheets[0].Name, "A&B <\"x\">");
    EXPECT_EQ(back.Sheets[0].Value(1, 1), V::Text("a < b & \"c\""));
    EXPECT_EQ(back.Sheets[0].Value(3, 5), V::Num(-0.125));
    EXPECT_EQ(back.Sheets[0].Value(5, 6), V::Num(1)) << "covered cells keep the columns in place";
    EXPECT_EQ(back.Sheets[0].Cells.at({5, 2}).MergeColumns, 3);
    EXPECT_THROW(ReadFlatOds("<html/>"), EInvalidDataFormat);
}

} // namespace
