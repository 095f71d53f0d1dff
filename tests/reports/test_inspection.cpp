// The inspection protocols on the fake office: synthetic traces of "131/" and "155/" loaded by
// the trace store, the whole report run through the template holder, and the cells, formats,
// deletions and messages it leaves.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "reports/uFolderSets.h"
#include "reports/uInspection.h"
#include "reports/uSpreadsheetFake.h"
#include "reports/uWorkbookModel.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TraceFiles.h"

namespace {

using namespace lv;
using V = TCellValue;

TEST(Inspection, FibreNumbersOfFileNames) {
    const std::pair<const char*, int> cases[] = {
        {"/data/line/131/005.tra", 5},  {"005.tra", 5},         {"12", 12},
        {"C:\\data\\155\\012.SOR", 12}, {"300.sor", 300},       {"0005.tra", 5},
        {"5a.tra", 0},                  {"0.tra", 0},           {"301.tra", 0},
        {"x.1.tra", 0},                 {"-5.tra", 0},          {" 5.tra", 0},
        {".tra", 0},                    {"", 0},                {"99999999999999999999.tra", 0},
        {"/data/131/", 0},
    };
    for (const auto& [name, fibre] : cases) EXPECT_EQ(FibreNumberOfFile(name), fibre) << name;
}

TEST(Inspection, LengthByTheMarksIsANumberOnlyWhenItIsOne) {
    const std::pair<const char*, V> cases[] = {
        {"2015", V::Num(2015)},       {"2015,5", V::Num(2015.5)}, {" 2015.5 ", V::Num(2015.5)},
        {"2 015", V::Text("2 015")},  {"0x10", V::Text("0x10")},  {"inf", V::Text("inf")},
        {"около 2000", V::Text("около 2000")}, {"", V::Text("")},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(LengthByMarksValue(text), value) << text;
}

TEST(Inspection, TemplatesByMode) {
    EXPECT_EQ(InspectionTemplateName(pmIncoming), "VhPasport");
    EXPECT_EQ(InspectionTemplateName(pmPreInstall), "PrPasport");
    EXPECT_EQ(InspectionTemplateName(pmConstruction), "");
    EXPECT_EQ(InspectionTemplateName(pmNormal), "");
    EXPECT_EQ(&InspectionLayout("PrPasport"), &kPrPasportLayout);
    EXPECT_THROW(InspectionLayout("SimplePasport"), EListError);
}

// Never cancels until told; counts the traces it was told of.
class CountingProgress : public IProgress {
public:
    void Step(int done, int, const std::string&) override { last = done; ++steps; }
    bool Cancelled() const override { return cancelAfter >= 0 && steps > cancelAfter; }
    int steps = 0, last = -1, cancelAfter = -1;
};

class InspectionReport : public ::testing::Test {
protected:
    // A trace file of a fibre `lengthKm` long written into the data folder and loaded, standing
    // for the fibre its name reads as (as a listing of the unprefixed mask would number it).
    TRDataStorage* trace(const std::string& sub, const std::string& name, int nm, double lengthKm = 10) {
        const std::string folder = tmp.file(sub);
        std::filesystem::create_directories(folder);
        TSynthOptions o;
        o.lengthKm = lengthKm;
        o.samples = int(lengthKm * 200);
        o.wavelengthNm = nm;
        o.seed = stores.size() + 1;
        const std::string path = folder + "/" + name;
        lvtest::WriteTraceFile(path, o, name);
        auto store = std::make_unique<TRDataStorage>();
        store->SetAutoFree(false);
        EXPECT_TRUE(store->LoadFromFile(path, false)) << path;
        stores.push_back(std::move(store));
        request.Data.Traces.push_back({stores.back().get(), FibreNumberOfFile(name)});
        return stores.back().get();
    }

    // The operator's move on the current trace before the report.
    void placeOnReference(TRDataStorage* ref, double startKm, double cursorKm) {
        request.Data.Reference = ref;
        ref->SetReference(startKm);
        ref->SetCursor(cursorKm);
        ref->SetMarker(0, 1.0);
        ref->SetMarker(1, 9.0);
        ref->SetApproximation(0);
    }

    // Loss per km between 1 and 9 km as a fresh store measures it by the two-point fit.
    static double attenuation(TRDataStorage* t) {
        auto fresh = std::make_unique<TRDataStorage>();
        fresh->SetAutoFree(false);
        const std::string file = t->Caption();
        EXPECT_TRUE(fresh->LoadFromFile(file, false));
        fresh->SetApproximation(0);
        fresh->SetMarker(0, 1.0);
        fresh->SetMarker(1, 9.0);
        EXPECT_NEAR(fresh->Length12, 8.0, 1e-12);
        return fresh->SectionLoss12 / fresh->Length12;
    }

    TInspectionResult generate(int mode) {
        request.Mode = mode;
        return report.Generate(request, office, progress);
    }

    const TFakeSheet& sheet() { return *office.Books.back()->FindSheet("Протокол"); }

    void SetUp() override {
        lvtest::EnsureTraceFormats();
        TInspectionHeader& h = request.Data.Header;
        h.LineName = "Линия Север-2";
        h.DrumNum = "0012";
        h.MarkEd = "ОКЛ-0,22-16";
        h.LengthEd = "2015";
        h.SEd = "01000";
        h.EEd = "03015";
        h.Operator = "Иванов";
        h.Today = 45000.75;
    }

    lvtest::TempDir tmp;
    lvtest::ScriptedPrompts prompts;
    std::vector<std::unique_ptr<TRDataStorage>> stores;
    TInspectionRequest request;
    TInspectionReport report;
    TFakeSpreadsheetApp office;
    CountingProgress progress;
};

TEST_F(InspectionReport, BothFoldersSkippedNamesAShortFibreAndFibre300) {
    // The graph's order: the last opened first, "131/" before "155/".
    TRDataStorage* ref = trace("131", "001.tra", 1310);
    TRDataStorage* f5 = trace("131", "005.tra", 1310);
    TRDataStorage* short7 = trace("131", "007.tra", 1310, 4.0);
    trace("131", "5a.tra", 1310);
    trace("131", "0.tra", 1310);
    trace("131", "301.tra", 1310);
    TRDataStorage* f5b = trace("155", "005.tra", 1550);
    TRDataStorage* f300 = trace("155", "300.sor", 1550);
    placeOnReference(ref, 0.5, 9.5);

    const TInspectionResult r = generate(pmIncoming);
    ASSERT_TRUE(r.Run.Generated);
    const TFakeSheet& s = sheet();
    // The header: texts as texts (the drum keeps its zeros), the date a whole day.
    EXPECT_EQ(s.Value(4, 2), V::Text("Линия Север-2"));
    EXPECT_EQ(s.Value(4, 9), V::Date(45000));
    EXPECT_EQ(s.Value(6, 3), V::Text("ОКЛ-0,22-16"));
    EXPECT_EQ(s.Value(6, 9), V::Text("0012"));
    EXPECT_EQ(s.Value(14, 4), V::Text("01000; 03015"));
    EXPECT_EQ(s.Value(15, 5), V::Num(2015));

    // Fibre n in row n + 26: the length from the copied cursor and start, 9.5 - 0.5 km.
    EXPECT_EQ(s.Value(27, 4), V::Num(9000));
    EXPECT_EQ(s.Value(27, 6), V::Num(attenuation(ref)));
    EXPECT_EQ(s.Value(31, 4), V::Num(9000));
    EXPECT_EQ(s.Value(31, 6), V::Num(attenuation(f5))) << "1310 nm";
    EXPECT_EQ(s.Value(31, 8), V::Num(attenuation(f5b))) << "1550 nm";
    EXPECT_GT(s.Value(31, 6).number, s.Value(31, 8).number);
    EXPECT_GT(s.Value(31, 8).number, 0.15);
    EXPECT_EQ(s.Value(33, 4), V::Num(9000));
    EXPECT_EQ(s.Value(33, 6), V()) << "a fibre shorter than M2 gets no attenuation, not 0";
    EXPECT_EQ(s.Value(326, 8), V::Num(attenuation(f300)));
    for (int row : {28, 32, 34, 325})
        for (int column : {4, 6, 8}) EXPECT_EQ(s.Value(row, column), V()) << row << "," << column;
    EXPECT_EQ(s.Value(331, 5), V::Text("Иванов"));

    // Fibre 300 fills the last row: the line goes under it and nothing is deleted.
    EXPECT_EQ(office.LogOf("SetBorder"), std::vector<std::string>{"SetBorder Протокол!A326:I326 bottom"});
    EXPECT_TRUE(office.LogOf("DeleteRange").empty());
    EXPECT_TRUE(office.Books.back()->Visible);
    EXPECT_EQ(office.Books.back()->Selection, TCellRange::Cell(1, 1));

    // Every fibre trace carries the reference's settings now; the skipped ones are untouched.
    for (TRDataStorage* t : {f5, short7, f5b, f300}) {
        EXPECT_EQ(t->GetMarker(0), 1.0);
        EXPECT_EQ(t->GetMarker(1), 9.0);
        EXPECT_EQ(t->GetCursor(), 9.5);
        EXPECT_EQ(t->GetReference(), 0.5);
        EXPECT_EQ(t->GetApproximation(), 0);
    }
    EXPECT_EQ(stores[3]->GetMarker(1), -1.0) << "5a.tra";

    EXPECT_EQ(r.Outcome.LastRow, 326);
    EXPECT_EQ(r.Outcome.ShortFibres, (std::vector<TInspectionShortFibre>{{7, 1310, short7->Caption()}}));
    ASSERT_EQ(prompts.Messages.size(), 1u);
    EXPECT_EQ(prompts.Messages[0].Type, TMsgDlgType::mtWarning);
    EXPECT_EQ(prompts.Messages[0].Text,
              "Файлы, имя которых не номер волокна от 1 до 300, в протокол не вошли: 131/5a.tra, 131/0.tra, 131/301.tra.\r\n"
              "Участок между маркерами M1 и M2 выходит за конец рефлектограммы, затухание не записано: 7 (1310 нм, 131/007.tra).");
    EXPECT_EQ(progress.last, 8) << "told of every trace";
}

TEST_F(InspectionReport, LengthsKeepTheSmallestPositiveValue) {
    // A chosen template that already holds lengths: a larger one is replaced, a smaller kept, a
    // text that is no number replaced.
    TBookModel model = BuiltInTemplateModel("VhPasport");
    TBookSheet& t = model.Sheets.front();
    t.Number(27, 4, 20000);
    t.Number(28, 4, 5000);
    t.Text(29, 4, "4000");
    t.Text(30, 4, "нет");
    request.TemplateFile = tmp.file("мой.fods");
    std::ofstream(request.TemplateFile) << WriteFlatOds(model);

    TRDataStorage* ref = trace("131", "001.tra", 1310);
    for (const char* name : {"002.tra", "003.tra", "004.tra", "005.tra"}) trace("131", name, 1310);
    struct Case {
        double startKm, cursorKm;
        V d27, d28, d29, d30, d31;
    };
    const Case cases[] = {
        {0.5, 9.5, V::Num(9000), V::Num(5000), V::Text("4000"), V::Num(9000), V::Num(9000)},
        // A cursor left of the start: no negative length wins the comparison.
        {0.5, 0.2, V::Num(20000), V::Num(5000), V::Text("4000"), V::Text("нет"), V()},
        // No cursor: lengths stay, attenuations are still written.
        {0.5, -1, V::Num(20000), V::Num(5000), V::Text("4000"), V::Text("нет"), V()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cursorKm);
        placeOnReference(ref, c.startKm, c.cursorKm);
        generate(pmIncoming);
        request.TemplateFile.clear(); // the chosen template stays for the window's life
        const TFakeSheet& s = sheet();
        EXPECT_EQ(s.Value(27, 4), c.d27);
        EXPECT_EQ(s.Value(28, 4), c.d28);
        EXPECT_EQ(s.Value(29, 4), c.d29);
        EXPECT_EQ(s.Value(30, 4), c.d30);
        EXPECT_EQ(s.Value(31, 4), c.d31);
        EXPECT_EQ(s.Value(31, 6), V::Num(attenuation(stores[4].get())));
    }
    EXPECT_EQ(stores[2]->GetCursor(), -1.0);
    EXPECT_EQ(stores[2]->Param(prmCU).AsDouble(), -1.0) << "no cursor is -1 m, as the files hold it";
}

TEST_F(InspectionReport, TwelveFibresInBothTemplates) {
    struct Case {
        int mode;
        int lastFibreRow;
        // Every write in order: six header cells, one block per measured column, the operator.
        std::vector<std::string> writes;
        const char* deleted;
        int operatorRow; // after the rows below moved up
    };
    const Case cases[] = {
        {pmIncoming, 38, {"B4", "I4", "C6", "I6", "D14", "E15", "D27:D38", "H27:H38", "E331"}, "A39:I326", 331 - 288},
        {pmPreInstall, 33, {"B4", "I4", "C7", "E6", "G9", "E10", "D22:D33", "H22:H33", "E332"}, "A34:I321", 332 - 288},
    };
    TRDataStorage* ref = nullptr;
    for (int n = 12; n >= 1; --n) {
        char name[16];
        std::snprintf(name, sizeof name, "%03d.sor", n);
        TRDataStorage* t = trace("155", name, 1550);
        if (n == 1) ref = t;
    }
    std::reverse(request.Data.Traces.begin(), request.Data.Traces.end());
    placeOnReference(ref, 0, 9.75);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        office.Log.clear();
        generate(c.mode);
        const TFakeSheet& s = sheet();
        std::vector<std::string> writes;
        for (const auto& entry : office.LogOf("PutValues Протокол!")) writes.push_back(entry.substr(entry.find('!') + 1));
        EXPECT_EQ(writes, c.writes);
        const TCellRange mark = ParseRange(c.writes[2]), drum = ParseRange(c.writes[3]), marks = ParseRange(c.writes[4]),
                         length = ParseRange(c.writes[5]);
        EXPECT_EQ(s.Value(mark.Top, mark.Left), V::Text("ОКЛ-0,22-16"));
        EXPECT_EQ(s.Value(drum.Top, drum.Left), V::Text("0012"));
        EXPECT_EQ(s.Value(marks.Top, marks.Left), V::Text("01000; 03015"));
        EXPECT_EQ(s.Value(length.Top, length.Left), V::Num(2015));
        const int first = c.lastFibreRow - 11;
        for (int n = 1; n <= 12; ++n) {
            EXPECT_EQ(s.Value(first + n - 1, 1), V::Num(n));
            EXPECT_EQ(s.Value(first + n - 1, 4), V::Num(9750));
            EXPECT_EQ(s.Value(first + n - 1, 8).kind, V::Kind::Number);
        }
        EXPECT_EQ(office.LogOf("SetBorder"), std::vector<std::string>{"SetBorder Протокол!A" + std::to_string(c.lastFibreRow) + ":I" +
                                                                      std::to_string(c.lastFibreRow) + " bottom"});
        EXPECT_EQ(office.LogOf("DeleteRange"), std::vector<std::string>{std::string("DeleteRange Протокол!") + c.deleted + " up"});
        EXPECT_EQ(s.Value(c.lastFibreRow + 1, 1), V()) << "fibre 13's row is gone";
        EXPECT_EQ(s.Value(c.operatorRow, 5), V::Text("Иванов")) << "written before the rows below moved up";
    }
    EXPECT_TRUE(prompts.Messages.empty());
}

TEST_F(InspectionReport, WithoutAReferenceOnlyTheHeaderAndTheOperatorRemain) {
    trace("131", "001.tra", 1310); // open, but no current trace
    generate(pmIncoming);
    const TFakeSheet& s = sheet();
    EXPECT_EQ(s.Value(4, 2), V::Text("Линия Север-2"));
    EXPECT_EQ(office.LogOf("SetBorder"), std::vector<std::string>{"SetBorder Протокол!A26:I26 bottom"});
    EXPECT_EQ(office.LogOf("DeleteRange"), std::vector<std::string>{"DeleteRange Протокол!A27:I326 up"});
    EXPECT_EQ(s.Value(331 - 300, 5), V::Text("Иванов"));
    EXPECT_EQ(s.Value(28, 1), V::Text("Заключение:")) << "the template's text below the table moved up";
}

TEST_F(InspectionReport, FailuresAndCancelLeaveTheWorkbookShown) {
    TRDataStorage* ref = trace("131", "001.tra", 1310);
    trace("131", "5a.tra", 1310);
    trace("155", "001.tra", 1550);
    placeOnReference(ref, 0, 9);

    struct Case {
        const char* failOn;
        int occurrence;
        bool tableWritten;
    };
    // The seventh write is the first of the table, after the six header cells.
    for (const Case& c : {Case{"DeleteRange", 1, true}, Case{"PutValues", 7, false}, Case{"GetValues", 1, false}}) {
        SCOPED_TRACE(c.failOn);
        office.FailOn(c.failOn, c.occurrence);
        EXPECT_THROW(generate(pmIncoming), ESpreadsheetError);
        const TFakeBook& b = *office.Books.back();
        EXPECT_TRUE(b.Visible);
        EXPECT_EQ(b.Selection, TCellRange::Cell(1, 1));
        EXPECT_FALSE(office.Connected());
        EXPECT_EQ(b.FindSheet("Протокол")->Value(4, 2), V::Text("Линия Север-2"));
        EXPECT_EQ(b.FindSheet("Протокол")->Value(27, 4).kind == V::Kind::Number, c.tableWritten);
    }
    EXPECT_TRUE(prompts.Messages.empty()) << "no end message after a failure";

    // A cancel stops before the table: the header stays, the rest of the template is as it was.
    progress.steps = 0;
    progress.cancelAfter = 1;
    const TInspectionResult r = generate(pmIncoming);
    EXPECT_TRUE(r.Outcome.Cancelled);
    EXPECT_TRUE(office.Books.back()->Visible);
    EXPECT_EQ(sheet().Value(27, 4), V());
    EXPECT_EQ(sheet().Value(331, 5), V());
    EXPECT_TRUE(prompts.Messages.empty());
}

TEST_F(InspectionReport, AMissingTemplateFileKeepsTheBuiltInOne) {
    request.TemplateFile = tmp.file("нет такого.xls");
    generate(pmPreInstall);
    EXPECT_EQ(office.Books.back()->FindSheet("Протокол")->Value(1, 1),
              V::Text("ПРОТОКОЛ ПРЕДМОНТАЖНОГО КОНТРОЛЯ ОПТИЧЕСКОГО КАБЕЛЯ"));
    EXPECT_EQ(office.Books.back()->FindSheet("Протокол")->Value(22, 1), V()) << "no fibre: every row deleted";

    office.Installed = false;
    EXPECT_THROW(generate(pmIncoming), ESpreadsheetError);
    EXPECT_EQ(office.Books.size(), 1u);
}

TEST_F(InspectionReport, APrefixedSetKeepsTheFibreNumbersOfItsListing) {
    // "a05.tra" reads as no number by its name: the listing's number is the one that counts.
    for (const auto& [sub, nm] : {std::pair{"131", 1310}, std::pair{"155", 1550}})
        for (const char* name : {"a01.tra", "a05.tra", "a12.tra"}) {
            std::filesystem::create_directories(tmp.file(sub));
            lvtest::WriteTraceFile(tmp.file(std::string(sub) + "/" + name), nm, name);
        }
    TFibreSet set(tmp.path(), pmIncoming, nullptr);
    const std::vector<TFibreFile> files = set.ListInspection();
    ASSERT_EQ(files.size(), 6u);
    // Opened in list order, each in front: the graph holds them the other way round.
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        auto store = std::make_unique<TRDataStorage>();
        store->SetAutoFree(false);
        ASSERT_TRUE(store->LoadFromFile(it->Path, false));
        request.Data.Traces.push_back({store.get(), it->Number});
        stores.push_back(std::move(store));
    }
    placeOnReference(stores.front().get(), 0, 9.5);
    generate(pmIncoming);
    const TFakeSheet& s = sheet();
    for (int fibre : {1, 5, 12}) {
        SCOPED_TRACE(fibre);
        EXPECT_EQ(s.Value(26 + fibre, 4), V::Num(9500));
        EXPECT_EQ(s.Value(26 + fibre, 6).kind, V::Kind::Number);
        EXPECT_EQ(s.Value(26 + fibre, 8).kind, V::Kind::Number);
    }
    EXPECT_EQ(office.LogOf("DeleteRange"), std::vector<std::string>{"DeleteRange Протокол!A39:I326 up"});
    EXPECT_TRUE(prompts.Messages.empty()) << "no file is left out";
}

} // namespace
