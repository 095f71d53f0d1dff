// The construction documentation report on synthetic lines with splices at known places and
// losses, filled into the built-in "SimplePasport" in the in-memory office: the readings, the
// cells, shading and sheets, the statistics, the trimming arithmetic, and the faults mended
// (sheet names, splices measured only from B, empty cells in the statistics, a missing
// approximation, too many splices, the row label, short and unreadable traces).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "formats/FileErrors.h"
#include "reports/uConstructionReport.h"
#include "reports/uSpreadsheetFake.h"
#include "reports/uTemplateBooks.h"
#include "support/ForwardingBook.h"
#include "support/ScriptedPrompts.h"
#include "support/SyntheticLine.h"
#include "support/TempDir.h"

namespace {

using namespace lv;
using L = TConstructionLayout;
using V = TCellValue;

// --- a line and its folder ------------------------------------------------------------------------

// 20 km, splices at 4, 9 and 14 km. Losses (A-B / B-A): 0.03 / 0.05, 0.12 / 0.02, -0.15 / 0.40:
// splice 2 is shaded from A, splice 3 from both ends and in its average (0.125); splice 1 nowhere.
const std::vector<double> kLossAB{0.03, 0.12, -0.15}, kLossBA{0.05, 0.02, 0.40};

lvtest::SyntheticLine line() {
    lvtest::SyntheticLine l;
    l.SplicesKm = {4, 9, 14};
    return l;
}

// Fibres 1..4 seen from both ends, titled "ОВ n из A" and "ОВ n из B", but fibre 2: a Bellcore
// file without a title. Written once.
class ConstructionLine : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new lvtest::TempDir;
        std::vector<lvtest::LineFibre> fibres;
        for (int n = 1; n <= 4; ++n) {
            const std::string title = n == 2 ? "" : "ОВ " + std::to_string(n) + " из ";
            fibres.push_back({n, kLossAB, kLossBA, 0, title.empty() ? "" : title + "A", title.empty() ? "" : title + "B",
                              true, true, n == 2 ? ".sor" : ".tra"});
        }
        line().Write(folder(), fibres);
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    static std::string folder() { return s_dir->path() + "/Линия 7/"; }

    void SetUp() override {
        ::setenv("TMPDIR", tmp.path().c_str(), 1);
        AddConstructionTemplate(holder, "");
        input = lineInput();
        options.StoreFile = tmp.file("report.xlsx");
    }
    // The line's folder as the construction window hands it over.
    static TConstructionInput lineInput() {
        TConstructionInput in = line().Input(folder());
        in.Today = 46000;
        return in;
    }
    void forgetWorkbooks() {
        office.Books.clear();
        office.Log.clear();
        prompts.Messages.clear();
    }
    void TearDown() override { ::unsetenv("TMPDIR"); }

    TConstructionReportResult make(IProgress& progress) { return MakeConstructionReport(holder, office, input, progress, options); }
    TConstructionReportResult make() {
        TSilentProgress silent;
        return make(silent);
    }
    const TFakeBook& book() const { return *office.Books.back(); }
    const TFakeSheet& sheet(const std::string& name) const {
        const TFakeSheet* s = book().FindSheet(name);
        if (!s) throw std::runtime_error("no sheet " + name);
        return *s;
    }

    static lvtest::TempDir* s_dir;
    lvtest::TempDir tmp;
    lvtest::ScriptedPrompts prompts;
    TReportTemplateHolder holder;
    TFakeSpreadsheetApp office;
    TConstructionInput input;
    TReportRunOptions options;
};
lvtest::TempDir* ConstructionLine::s_dir = nullptr;

// The in-memory office computes no formula; these workbooks compute the template's "СВТ" when
// asked to: each fibre's mean loss of splice k from "Сводка", or an empty text.
class CalculatingOffice : public lvtest::ForwardingOffice {
public:
    CalculatingOffice() : ForwardingOffice(fake) {}
    TFakeSpreadsheetApp fake;

protected:
    std::unique_ptr<ISpreadsheetBook> wrap(std::unique_ptr<ISpreadsheetBook> book) override {
        return std::make_unique<Book>(std::move(book), fake.Books.back());
    }

private:
    class Book : public lvtest::ForwardingBook {
    public:
        Book(std::unique_ptr<ISpreadsheetBook> inner, std::shared_ptr<TFakeBook> data)
            : ForwardingBook(std::move(inner)), d(std::move(data)) {}
        void Calculate() override {
            ForwardingBook::Calculate();
            TFakeSheet* summary = d->FindSheet(L::Summary);
            TFakeSheet* mean = d->FindSheet(L::MeanLoss);
            for (int row = 8; row <= L::SummaryLastRow; ++row)
                for (int k = 1; k <= L::MaxSplices; ++k) {
                    const V v = summary->Value(row, L::SpliceColumn(k) + 2);
                    mean->Cells[{row, k + 1}].Value = v.kind == V::Kind::Number ? v : V::Text("");
                }
        }

    private:
        std::shared_ptr<TFakeBook> d;
    };
};

double num(const V& v) {
    EXPECT_EQ(v.kind, V::Kind::Number) << "text \"" << v.text << "\"";
    return v.number;
}

// Records the steps of the work and cancels after `cancelAfter` of them.
struct RecordingProgress : IProgress {
    std::vector<std::pair<int, int>> steps;
    int cancelAfter = -1;
    void Step(int done, int total, const std::string&) override { steps.push_back({done, total}); }
    bool Cancelled() const override { return cancelAfter >= 0 && static_cast<int>(steps.size()) >= cancelAfter; }
};

// --- readings -------------------------------------------------------------------------------------

TEST_F(ConstructionLine, ReadingsMatchTheSplicesLossesFromBothEnds) {
    TSilentProgress silent;
    const TConstructionReadings r = MeasureConstruction(input, silent);
    ASSERT_EQ(r.AB.size(), 4u);
    ASSERT_EQ(r.BA.size(), 4u);
    EXPECT_TRUE(r.Skipped.empty());
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(r.AB[i].Number, static_cast<int>(i) + 1) << "ascending fibre numbers";
        for (size_t k = 0; k < 3; ++k) {
            ASSERT_TRUE(r.AB[i].SpliceLossDb[k] && r.BA[i].SpliceLossDb[k]);
            EXPECT_NEAR(*r.AB[i].SpliceLossDb[k], kLossAB[k], 0.01) << "fibre " << i + 1 << " splice " << k + 1;
            EXPECT_NEAR(*r.BA[i].SpliceLossDb[k], kLossBA[k], 0.01) << "fibre " << i + 1 << " splice " << k + 1;
        }
        // The fitted line over the whole span: fibre loss plus the splices, within a tenth of a dB.
        const double expected = TypicalAttenuation(1310) * 20 + 0.03 + 0.12 - 0.15;
        EXPECT_NEAR(*r.AB[i].TotalLossDb, expected, 0.1);
        EXPECT_DOUBLE_EQ(*r.AB[i].AttenuationDbKm, *r.AB[i].TotalLossDb / 20);
    }
    // The label: the trace's comment, or the file's name without its extension.
    EXPECT_EQ(r.AB[0].Label, "ОВ 1 из A");
    EXPECT_EQ(r.BA[3].Label, "ОВ 4 из B");
    EXPECT_EQ(r.AB[1].Label, "002");
    EXPECT_EQ(r.BA[1].Label, "002");
}

TEST_F(ConstructionLine, WithoutAnActiveTraceTheFitIsLeastSquares) {
    input.TracesBA.clear();
    auto firstLoss = [&](int approximation) {
        input.Approximation = approximation;
        TSilentProgress silent;
        return *MeasureConstruction(input, silent).AB[0].SpliceLossDb[1];
    };
    const double leastSquares = firstLoss(1);
    EXPECT_EQ(firstLoss(-1), leastSquares);
    EXPECT_NE(firstLoss(0), leastSquares) << "the two-point fit reads another value";
}

// --- the whole report -------------------------------------------------------------------------

TEST_F(ConstructionLine, TheWorkbookFromTheReadings) {
    CalculatingOffice calc;
    TSilentProgress silent;
    const TConstructionReportResult res = MakeConstructionReport(holder, calc, input, silent, options);
    ASSERT_TRUE(res.Generated);
    EXPECT_EQ(res.StoredFile, options.StoreFile);
    EXPECT_TRUE(prompts.Messages.empty());
    const TFakeBook& b = *calc.fake.Books.back();
    EXPECT_EQ(b.SheetNames(), (std::vector<std::string>{"Сводка", "СВТ", "Измерения", "Потери", "Муфта 1", "Муфта 2", "Муфта 3"}));
    EXPECT_TRUE(b.AutomaticCalculation);
    EXPECT_EQ(b.Calculations, 1);
    EXPECT_EQ(b.Selection, TCellRange::Cell(1, 1));
    EXPECT_EQ(b.SelectedSheet, b.FindSheet("Сводка")->Id);

    const TFakeSheet& s = *b.FindSheet("Сводка");
    EXPECT_EQ(s.Value(1, 6), V::Text("Линия 7"));
    // Splice groups at 10-12, 13-15 and 16-18: numbers, names, headers, distances.
    const std::vector<std::string> head4{"A-M1", "B-M1", "M2-M1", "A-M2", "B-M2", "M3-M2", "A-M3", "B-M3", "B-M3"};
    for (int c = 10; c <= 18; ++c) EXPECT_EQ(s.Value(4, c), V::Text(head4[c - 10])) << c;
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(s.Value(3, L::SpliceColumn(k)), V::Num(k));
        EXPECT_EQ(s.Value(3, L::SpliceColumn(k) + 1), V::Text("Муфта " + std::to_string(k)));
    }
    const double pos5[] = {4, 16, 5, 9, 11, 5, 14, 6, 6};
    for (int c = 10; c <= 18; ++c) EXPECT_NEAR(num(s.Value(5, c)), pos5[c - 10], 1e-9) << c;

    for (int n = 1; n <= 4; ++n) {
        const int row = n + 7;
        SCOPED_TRACE("fibre " + std::to_string(n));
        EXPECT_EQ(s.Value(row, 2), V::Text(n == 2 ? "002" : "ОВ " + std::to_string(n) + " из A"));
        EXPECT_EQ(s.Value(row, 5), V::Text(n == 2 ? "002" : "ОВ " + std::to_string(n) + " из B"));
        EXPECT_NEAR(num(s.Value(row, 4)), num(s.Value(row, 3)) / 20, 1e-12);
        EXPECT_NEAR(num(s.Value(row, 7)), num(s.Value(row, 6)) / 20, 1e-12);
        for (int k = 1; k <= 3; ++k) {
            const int c = L::SpliceColumn(k);
            const double a = num(s.Value(row, c)), bb = num(s.Value(row, c + 1));
            EXPECT_NEAR(a, kLossAB[k - 1], 0.01);
            EXPECT_NEAR(bb, kLossBA[k - 1], 0.01);
            EXPECT_NEAR(num(s.Value(row, c + 2)), (a + bb) / 2, 1e-12);
            // Shading: yellow for a splice loss of 0.1 dB or more either way, red for such an average.
            auto colour = [&](int column) { const TFakeCell* cell = s.Find(row, column); return cell ? cell->ColorIndex : 0; };
            EXPECT_EQ(colour(c), k == 1 ? 0 : kColorIndexYellow) << k;
            EXPECT_EQ(colour(c + 1), k == 3 ? kColorIndexYellow : 0) << k;
            EXPECT_EQ(colour(c + 2), k == 3 ? kColorIndexRed : 0) << k;
            // The splice's own sheet lists the same three values.
            const TFakeSheet& m = *b.FindSheet("Муфта " + std::to_string(k));
            EXPECT_EQ(m.Value(n + 11, 4), s.Value(row, c));
            EXPECT_EQ(m.Value(n + 11, 5), s.Value(row, c + 1));
            EXPECT_EQ(m.Value(n + 11, 6), s.Value(row, c + 2));
        }
    }
    for (int k = 1; k <= 3; ++k) {
        const TFakeSheet& m = *b.FindSheet("Муфта " + std::to_string(k));
        EXPECT_EQ(m.Value(4, 3), V::Num(k));
        EXPECT_EQ(m.Value(4, 5), V::Date(46000));
    }

    // Statistics of each fibre's three means (0.04, 0.07, 0.125): one up to 0.05 dB, two up to 0.1 dB.
    const TFakeSheet& losses = *b.FindSheet("Потери");
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(losses.Value(n + 15, 4), V::Num(1));
        EXPECT_EQ(losses.Value(n + 15, 5), V::Num(2));
        EXPECT_NEAR(num(losses.Value(n + 15, 6)), 100.0 / 3, 1e-9);
        EXPECT_NEAR(num(losses.Value(n + 15, 7)), 200.0 / 3, 1e-9);
    }

    // Trimmed after fibre 4 and splice 3: the line under the table, nothing of group 4 left.
    EXPECT_TRUE(s.Find(11, 1)->BorderBottom);
    EXPECT_TRUE(s.Find(11, 18)->BorderBottom);
    EXPECT_EQ(s.Find(12, 1), nullptr) << "fibre 5's row is cleared";
    EXPECT_EQ(s.Find(3, 19), nullptr) << "the number of splice group 4";
    EXPECT_EQ(s.Find(6, 19), nullptr);
    EXPECT_EQ(s.Value(6, 18), V::Text("Среднее, дБ")) << "group 3 keeps its last column";
    EXPECT_EQ(b.FindSheet("Муфта 1")->Find(16, 1), nullptr) << "fibre 5's row is deleted";
    EXPECT_EQ(b.FindSheet("Муфта 1")->Value(15, 1), V::Num(4));
}

TEST_F(ConstructionLine, ProgressCountsEveryFileAndACancelLeavesTheOfficeAlone) {
    RecordingProgress progress;
    ASSERT_TRUE(make(progress).Generated);
    ASSERT_FALSE(progress.steps.empty());
    for (size_t i = 0; i < progress.steps.size(); ++i) {
        EXPECT_EQ(progress.steps[i], std::make_pair(static_cast<int>(i), 9)) << i;
    }
    EXPECT_EQ(progress.steps.size(), 10u) << "eight files, the workbook, the end";

    RecordingProgress cancelling;
    cancelling.cancelAfter = 3;
    TFakeSpreadsheetApp untouched;
    const auto r = MakeConstructionReport(holder, untouched, input, cancelling, options);
    EXPECT_TRUE(r.Cancelled);
    EXPECT_FALSE(r.Generated);
    EXPECT_TRUE(untouched.Log.empty()) << "no office for a cancelled report";
    EXPECT_TRUE(prompts.Messages.empty());
}

// --- mended faults --------------------------------------------------------------------------------

TEST_F(ConstructionLine, RefusalsComeBeforeAnyWork) {
    struct Case {
        double start, end;
        size_t splices;
        std::string message;
    };
    const Case cases[] = {
        {-0.1, 20, 3, kMsgStartNegative},
        {5, 5, 3, kMsgEndNotSet},
        {0, 0, 3, kMsgEndNotSet},
        {0, 20, 65, FormatS(kMsgTooManySplices, "65")},
    };
    for (const Case& c : cases) {
        input.StartKm = c.start;
        input.EndKm = c.end;
        input.Splices.resize(c.splices, input.Splices.front());
        prompts.Messages.clear();
        EXPECT_FALSE(make().Generated);
        ASSERT_EQ(prompts.Messages.size(), 1u);
        EXPECT_EQ(prompts.Messages[0].Text, c.message);
        EXPECT_EQ(prompts.Messages[0].Buttons, mbOK);
        EXPECT_TRUE(office.Log.empty());
    }
    EXPECT_EQ(std::string(kMsgEndNotSet),
              "Невозможно создать отчет.\r\nМаркер конеца трассы не установлен или установлен некорректно.\r\n"
              "Установите маркер End на конец трассы и повторите попытку.");

    // 64 splices fit the template's groups.
    input.Splices.resize(64, input.Splices.front());
    EXPECT_EQ(ConstructionPrecondition(input), "");

    TReportTemplateHolder empty;
    input.Splices.resize(3);
    EXPECT_FALSE(MakeConstructionReport(empty, office, input, *std::make_unique<TSilentProgress>(), options).Generated);
    EXPECT_EQ(prompts.Messages.back().Text, "Отчет SimplePasport не найден");
}

TEST_F(ConstructionLine, AnOfficeFailureEndsTheReportWithTheWorkbookShown) {
    options.StoreFile.clear();
    office.FailOn("DeleteRange");
    EXPECT_THROW(make(), ESpreadsheetError);
    EXPECT_TRUE(book().Visible);
    EXPECT_TRUE(book().AutomaticCalculation);
    EXPECT_FALSE(office.Connected());
    EXPECT_TRUE(prompts.Messages.empty()) << "no list of skipped files for a report that failed";
}

TEST_F(ConstructionLine, SheetNamesTheOfficeTakesWhileTheTableKeepsItsOwn) {
    const std::string longName(40, 'x');
    const std::vector<std::string> names{"М1/2", "Муфта 1", "Муфта 1", "сводка", longName};
    lv::TSpliceEditor table = line().Table({2, 5, 8, 11, 17});
    input.Splices = table.Table().Records();
    for (size_t k = 0; k < names.size(); ++k) input.Splices[k].MName = names[k];
    ASSERT_TRUE(make().Generated);
    EXPECT_EQ(book().SheetNames(), (std::vector<std::string>{"Сводка", "СВТ", "Измерения", "Потери", "М1_2", "Муфта 1",
                                                             "Муфта 1 (2)", "сводка (2)", std::string(31, 'x')}));
    for (size_t k = 0; k < names.size(); ++k)
        EXPECT_EQ(sheet("Сводка").Value(3, L::SpliceColumn(int(k) + 1) + 1), V::Text(names[k])) << k;
    EXPECT_EQ(sheet("Муфта 1 (2)").Value(4, 3), V::Num(3));
}

TEST_F(ConstructionLine, BToAValuesNeedNoAToBPass) {
    struct Case {
        const char* what;
        bool noAB, firstABUnreadable, spliceOnlyFromB;
    };
    const Case cases[] = {{"no A-B traces", true, false, false},
                          {"the only A-B trace unreadable", false, true, false},
                          {"splice 2 placed only from B", false, false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        forgetWorkbooks();
        input = lineInput();
        if (c.noAB) input.TracesAB.clear();
        if (c.firstABUnreadable) {
            lvtest::writeBytes(tmp.file("001.tra"), {'n', 'o', 't'});
            input.TracesAB = {{tmp.file("001.tra"), 1}};
        }
        if (c.spliceOnlyFromB) {
            input.Splices[1].MPosF.reset();
            input.Splices[1].SetMarkers(TFlowDirection::AB, {});
        }
        ASSERT_TRUE(make().Generated);
        EXPECT_EQ(book().SheetNames().size(), 7u);
        const TFakeSheet& s = sheet("Сводка");
        const int c2 = L::SpliceColumn(2);
        EXPECT_EQ(s.Value(4, c2 + 1), V::Text("B-M2"));
        EXPECT_NEAR(num(s.Value(5, c2 + 1)), 11, 1e-9);
        for (int n = 1; n <= 4; ++n) {
            EXPECT_NEAR(num(s.Value(n + 7, c2 + 1)), kLossBA[1], 0.01) << n;
            EXPECT_NEAR(num(sheet("Муфта 2").Value(n + 11, 5)), kLossBA[1], 0.01) << n;
            const bool fromA = !c.noAB && !c.firstABUnreadable && !c.spliceOnlyFromB;
            EXPECT_EQ(s.Value(n + 7, c2).kind, fromA ? V::Kind::Number : V::Kind::Empty) << n;
            EXPECT_EQ(s.Value(n + 7, c2 + 2).kind, fromA ? V::Kind::Number : V::Kind::Empty) << "no average without A";
        }
        if (c.spliceOnlyFromB) {
            EXPECT_EQ(s.Value(5, c2), V::Empty()) << "no distance from A";
            EXPECT_EQ(s.Value(5, c2 - 1), V::Empty()) << "nor from the splice before";
        }
    }
}

TEST_F(ConstructionLine, ShortAndUnreadableTracesAreListedOnceAndGiveNoValue) {
    lvtest::SyntheticLine l = line();
    const std::string own = tmp.path() + "/own/";
    // Fibre 5 ends at 12 km: splice 3 (M3 at 15 km) and the end at 20 km lie beyond its samples
    // (12 × 1.25 km); fibre 6's B-A file is not a trace.
    l.Write(own, {{5, kLossAB, kLossBA, 12, "", "", true, false, ".sor"}, {6, kLossAB, kLossBA, 0, "", "", true, true}});
    lvtest::writeBytes(lvtest::SyntheticLine::TraceFile(own, TFlowDirection::BA, 6), {0, 1, 2, 3});
    input.TracesAB = ListFibreFiles(own + "AB/", {"", 3, true});
    input.TracesBA = ListFibreFiles(own + "BA/", {"", 3, true});
    const TConstructionReportResult r = make();
    ASSERT_TRUE(r.Generated);
    ASSERT_EQ(r.Skipped.size(), 2u);
    EXPECT_EQ(r.Skipped[0].Reason, FormatS(kMsgTraceShorter, "Муфта 3, " + std::string(kTraceSpan)));
    EXPECT_EQ(r.Skipped[1].Direction, TFlowDirection::BA);
    EXPECT_EQ(r.Skipped[1].Number, 6);
    ASSERT_EQ(prompts.Messages.size(), 1u) << "one message, after the workbook";
    EXPECT_EQ(prompts.Messages[0].Type, TMsgDlgType::mtWarning);
    EXPECT_EQ(prompts.Messages[0].Text, std::string(kMsgReportIncomplete) +
                                            "\r\nA-B, волокно 5 (005.sor): трасса короче маркеров: Муфта 3, начало и конец трассы"
                                            "\r\nB-A, волокно 6 (006.tra): " + r.Skipped[1].Reason);
    EXPECT_FALSE(r.Skipped[1].Reason.empty());

    const TFakeSheet& s = sheet("Сводка");
    EXPECT_NEAR(num(s.Value(12, L::SpliceColumn(2))), kLossAB[1], 0.01) << "what fibre 5 reaches is read";
    EXPECT_EQ(s.Value(12, L::SpliceColumn(3)), V::Empty()) << "not 0 dB";
    EXPECT_EQ(s.Value(12, 3), V::Empty());
    EXPECT_EQ(s.Value(12, 2), V::Text("005"));
    EXPECT_EQ(s.Value(13, 5), V::Empty()) << "fibre 6 from B";
    EXPECT_NEAR(num(s.Value(13, 3)), num(s.Value(13, 4)) * 20, 1e-9);
}

TEST(ConstructionMessages, TheSkippedListStopsAtThirtyLines) {
    std::vector<TConstructionSkip> skipped;
    for (int n = 1; n <= 33; ++n) skipped.push_back({TFlowDirection::BA, n, "/x/BA/" + std::to_string(n) + ".sor", "плохо\r\nсовсем"});
    const std::string text = ConstructionSkippedMessage(skipped);
    EXPECT_EQ(text.rfind(std::string(kMsgReportIncomplete) + "\r\nB-A, волокно 1 (1.sor): плохо совсем\r\n", 0), 0u) << text;
    EXPECT_NE(text.find("B-A, волокно 30 (30.sor)"), std::string::npos);
    EXPECT_EQ(text.find("волокно 31 "), std::string::npos);
    EXPECT_EQ(text.substr(text.rfind("\r\n") + 2), "… и еще 3");
    EXPECT_EQ(ConstructionSkippedMessage({}), "");
}

// --- statistics and trimming ----------------------------------------------------------------------

TEST(ConstructionStatistics, OnlyNumbersCountAndBothSignsAlike) {
    struct Case {
        const char* what;
        TCellRow row;
        std::optional<TLossShares> shares;
    };
    const Case cases[] = {
        {"empty cells and texts are no splices", {V{}, V::Text(""), V::Num(0.02)}, TLossShares{1, 1, 1}},
        {"a gainer counts by its size", {V::Num(-0.03), V::Num(-0.07), V::Num(-0.2)}, TLossShares{3, 1, 2}},
        {"limits to 1/10000 dB", {V::Num(0.05), V::Num(0.05004), V::Num(0.05005), V::Num(0.10004), V::Num(0.1001)}, TLossShares{5, 2, 4}},
        {"no number, no share", {V{}, V::Text("")}, std::nullopt},
        {"no splice at all", {}, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(CountLossShares(c.row), c.shares) << c.what;
}

TEST(ConstructionTrim, RelativeOffsetsAsAbsoluteRanges) {
    struct Case {
        int found, splices, fibCount;
        bool autoSize, cut;
        int lastRow;
        const char* summaryClear; // "" when the rows stay
        const char* lossDelete;
        const char* meanClear;    // "" when none
        const char* meanDelete;   // "" when the columns stay
        int wideColumn;
        const char* summaryColumnsClear;
    };
    const Case cases[] = {
        // 16 fibres and 3 splices: 17 splice columns stay on "СВТ", the statistics keep 16 rows.
        {16, 3, 16, true, false, 23, "A24:GS307", "A32:H316", "E8:V30", "S6:BM307", 20, "S3:HK307"},
        {16, 3, 16, false, false, 23, "A24:GS307", "A32:H316", "E8:V30", "S6:BM307", 20, "S3:HK307"},
        // Fewer fibres than the cable has: the table keeps the cable's rows.
        {10, 3, 16, false, false, 23, "A24:GS307", "A32:H316", "E8:V30", "S6:BM307", 20, "S3:HK307"},
        {10, 3, 16, true, false, 17, "A18:GS307", "A32:H316", "E8:V24", "S6:BM307", 20, "S3:HK307"},
        // More: cut only when asked.
        {20, 3, 16, false, false, 27, "A28:GS307", "A36:H316", "E8:V34", "S6:BM307", 20, "S3:HK307"},
        {20, 3, 16, false, true, 23, "A24:GS307", "A32:H316", "E8:V30", "S6:BM307", 20, "S3:HK307"},
        {17, 20, 16, true, false, 24, "A25:GS307", "A33:H316", "", "V6:BM307", 23, "BR3:JJ307"},
        {300, 20, 16, true, false, 307, "", "", "", "V6:BM307", 23, "BR3:JJ307"},
        {0, 0, 16, true, false, 7, "A8:GS307", "A32:H316", "B8:S14", "S6:BM307", 20, "J3:HB307"},
        {16, 63, 16, true, false, 23, "A24:GS307", "A32:H316", "", "BM6:BM307", 66, "GQ3:OI307"},
        {16, 64, 16, true, false, 23, "A24:GS307", "A32:H316", "", "", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.found) + " fibres, " + std::to_string(c.splices) + " splices, auto " +
                     std::to_string(c.autoSize) + ", cut " + std::to_string(c.cut));
        TFlowParams p;
        p.FibCount = c.fibCount;
        p.Auto = c.autoSize;
        p.Cut = c.cut;
        const TConstructionTrim t = PlanConstructionTrim(7 + c.found, c.splices ? L::SpliceColumn(c.splices) + 2 : 9, p);
        EXPECT_EQ(t.LastRow, c.lastRow);
        EXPECT_EQ(t.TrimRows, *c.summaryClear != 0);
        if (t.TrimRows) {
            const int m = c.lastRow + 1;
            EXPECT_EQ(RangeAddress(t.SummaryRowsClear), c.summaryClear);
            EXPECT_EQ(t.SummaryBottomLines, (std::vector<TCellRange>{{c.lastRow, 1, c.lastRow, 7}, {c.lastRow, 9, c.lastRow, 201}}));
            // Fibre n is in row n + 11 of a splice sheet and n + 12 of "Измерения".
            EXPECT_EQ(RangeAddress(t.SpliceRowsDelete), "A" + std::to_string(m - 8 + 12) + ":F318");
            EXPECT_EQ(RangeAddress(t.MeanRowsDelete), "A" + std::to_string(m) + ":BO308");
            EXPECT_EQ(RangeAddress(t.MeasurementRowsDelete), "A" + std::to_string(m - 8 + 13) + ":M320");
            EXPECT_EQ(RangeAddress(t.LossRowsDelete), c.lossDelete);
            EXPECT_EQ(t.LossTopLine, TCellRange::Cell(t.LossRowsDelete.Top, 8));
            // Kept rows of "Потери" after the last fibre: no formulas into deleted rows.
            const std::string keptClear = m + 8 < 32 ? "B" + std::to_string(m + 8) + ":H31" : "";
            EXPECT_EQ(t.LossRowsClear ? RangeAddress(*t.LossRowsClear) : "", keptClear);
        }
        EXPECT_EQ(t.TrimColumns, *c.meanDelete != 0);
        if (t.TrimColumns) {
            EXPECT_EQ(t.MeanColumnsClear ? RangeAddress(*t.MeanColumnsClear) : "", c.meanClear);
            EXPECT_EQ(t.MeanColumnsDelete ? RangeAddress(*t.MeanColumnsDelete) : "", c.meanDelete);
            EXPECT_EQ(t.MeanWideColumn, c.wideColumn);
            EXPECT_EQ(RangeAddress(t.SummaryColumnsClear), c.summaryColumnsClear);
        }
    }
}

TEST_F(ConstructionLine, TrimmingAppliedAcrossFibresSplicesAndSizing) {
    struct Case {
        int splices, fibCount;
        bool autoSize, cut;
        int lastRow;
    };
    // Four fibres found.
    const Case cases[] = {{3, 16, true, false, 11}, {3, 16, false, false, 23}, {1, 2, false, true, 9}, {2, 2, false, false, 11}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.splices) + " splices, fibre count " + std::to_string(c.fibCount));
        forgetWorkbooks();
        input.Splices.resize(static_cast<size_t>(c.splices));
        input.Params.FibCount = c.fibCount;
        input.Params.Auto = c.autoSize;
        input.Params.Cut = c.cut;
        ASSERT_TRUE(make().Generated);
        const TFakeSheet& s = sheet("Сводка");
        EXPECT_TRUE(s.Find(c.lastRow, 1)->BorderBottom);
        EXPECT_EQ(s.Find(c.lastRow + 1, 1), nullptr);
        EXPECT_EQ(s.Value(c.lastRow, 1), V::Num(c.lastRow - 7)) << "the template's fibre number stays";
        const int lastColumn = L::SpliceColumn(c.splices) + 2;
        EXPECT_EQ(s.Value(6, lastColumn), V::Text("Среднее, дБ"));
        EXPECT_EQ(s.Find(3, lastColumn + 1), nullptr);
        EXPECT_EQ(s.Find(6, lastColumn + 1), nullptr);
        // Cut to two fibres: fibres 3 and 4 are gone from every sheet.
        EXPECT_EQ(s.Find(10, 2) != nullptr, c.lastRow >= 10);
        for (int k = 1; k <= c.splices; ++k) {
            const TFakeSheet& m = sheet("Муфта " + std::to_string(k));
            EXPECT_EQ(m.Value(c.lastRow + 4, 1), V::Num(c.lastRow - 7));
            EXPECT_EQ(m.Find(c.lastRow + 5, 1), nullptr);
        }
        const TFakeSheet& losses = sheet("Потери");
        EXPECT_FALSE(losses.Find(c.lastRow + 8, 3)->Formula.empty()) << "the last fibre's count";
        if (c.lastRow + 9 < 32) {
            EXPECT_TRUE(losses.Find(c.lastRow + 9, 3)->Formula.empty()) << "a kept row after it";
        }
        const TFakeSheet& mean = sheet("СВТ");
        EXPECT_EQ(mean.Value(c.lastRow, 1), V::Num(c.lastRow - 7));
        EXPECT_EQ(mean.Find(c.lastRow + 1, 1), nullptr);
        EXPECT_EQ(mean.ColumnWidths.at(20), 10.86);
        EXPECT_NE(mean.Find(6, 18), nullptr) << "17 splice columns stay";
        EXPECT_TRUE(mean.Find(8, 18)->Formula.empty()) << "those after the last splice without formulas";
        EXPECT_EQ(mean.Value(6, 20), V::Text("Наибольшие, дБ")) << "the maximum column moved next to the sum";
        EXPECT_FALSE(mean.Find(8, 20)->Formula.empty());
    }
}

} // namespace
