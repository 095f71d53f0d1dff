// Named items, report templates with their temporary files, and report requests.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "formats/FileErrors.h"
#include "reports/uTemplates.h"
#include "support/TempDir.h"

namespace {

using namespace lv;
namespace fs = std::filesystem;

std::string aliasError(const std::function<void()>& f) {
    try {
        f();
    } catch (const EAliasError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(Aliases, NewItemsGetTheFirstFreeNumberOfTheirClass) {
    TReportTemplates reports;
    EXPECT_EQ(reports.Add().Name(), "TReportTemplateItem1");
    EXPECT_EQ(reports.Add().Name(), "TReportTemplateItem2");
    reports.Delete(0);
    EXPECT_EQ(reports.Add().Name(), "TReportTemplateItem1");
    TFileTemplates files;
    EXPECT_EQ(static_cast<TAliasItem&>(files.Add()).Name(), "TFileTemplateItem1");
    // Emptying a name gives the collection's unique name; outside a collection the class name.
    reports.Item(0)->SetName("");
    EXPECT_EQ(reports.Item(0)->Name(), "TReportTemplateItem3");
    TReportTemplateItem alone(nullptr);
    alone.SetName("");
    EXPECT_EQ(alone.Name(), "TReportTemplateItem");
}

TEST(Aliases, NamesAreUniqueWithoutRegardToCase) {
    TReportTemplates reports;
    TReportTemplateItem& a = reports.Add();
    TReportTemplateItem& b = reports.Add();
    a.SetName("A");
    b.SetName("Сводка");
    struct Case {
        TAliasItem* item;
        std::string name;
        std::string error; // empty: accepted
    };
    const Case cases[] = {
        {&b, "a", "Компонент с именем a уже существует"},
        {&a, "сводка", "Компонент с именем сводка уже существует"},
        {&a, "a", ""},      // the item's own name in another case
        {&b, "СВОДКА", ""}, // Cyrillic folds as well
    };
    for (const auto& c : cases) {
        const std::string before = c.item->Name();
        const std::string error = aliasError([&] { c.item->SetName(c.name); });
        if (c.error.empty()) {
            EXPECT_EQ(error, "(no error)") << c.name;
            EXPECT_EQ(c.item->Name(), c.name);
        } else {
            EXPECT_EQ(error, c.error);
            EXPECT_EQ(c.item->Name(), before);
        }
    }
    EXPECT_EQ(reports.FindByName("сводКА"), &b);
    EXPECT_EQ(reports.FindByName("B"), nullptr);
    // Assigning a name that is taken keeps the target's own.
    TReportTemplateItem& c = reports.Add();
    c.SetName("C");
    c.Assign(a);
    EXPECT_EQ(c.Name(), "C");
}

TEST(Aliases, AnItemBelongsToAnAliasCollection) {
    struct TPlainList : TCollection {
        std::string ClassName() const override { return "TPlainList"; }
        std::string ItemClassName() const override { return "TReportTemplateItem"; }
        std::unique_ptr<TCollectionItem> NewItem() override { return std::make_unique<TReportTemplateItem>(this); }
    } list;
    EXPECT_EQ(aliasError([&] { list.Add(); }),
              "Компонентом TReportTemplateItem должен владеть компонент TAliases, а не объект типа TPlainList");
    EXPECT_EQ(list.Count(), 0);
}

TEST(Aliases, ListingCarriesShortCutAndIconCopies) {
    TReportTemplateHolder holder;
    TReportTemplateItem& item = holder.Reports().Add();
    item.SetName("VhPasport");
    item.SetShortCut(0x4056);
    item.SetIcon({1, 2, 3});
    TNameList list;
    holder.ListReports(list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Name, "VhPasport");
    auto* related = dynamic_cast<TReportRelatedObject*>(list[0].Object.get());
    ASSERT_NE(related, nullptr);
    EXPECT_EQ(related->ShortCut, 0x4056);
    item.SetIcon({9});
    EXPECT_EQ(related->Icon, (std::vector<uint8_t>{1, 2, 3})) << "a copy, not the item's picture";
}

TEST(ReportTemplate, CellsNeedTheViewer) {
    struct Step {
        bool cells; // which switch is set
        bool value;
        bool viewerAfter, cellsAfter;
    };
    const Step steps[] = {
        {false, false, false, false}, // viewer off takes cells with it
        {true, true, true, true},     // cells on brings the viewer
        {true, false, true, false},   // cells off leaves the viewer
        {false, true, true, false},   // viewer on leaves cells
    };
    TReportTemplate t;
    EXPECT_TRUE(t.NeedViewer() && t.NeedCells()) << "defaults";
    for (const auto& s : steps) {
        s.cells ? t.SetNeedCells(s.value) : t.SetNeedViewer(s.value);
        EXPECT_EQ(t.NeedViewer(), s.viewerAfter);
        EXPECT_EQ(t.NeedCells(), s.cellsAfter);
    }
}

// --- temporary files ----------------------------------------------------------------------------

const std::vector<uint8_t> kFods = [] {
    const std::string x = "<?xml version=\"1.0\"?><office:document office:mimetype=\"x\"><office:spreadsheet/>";
    return std::vector<uint8_t>(x.begin(), x.end());
}();

std::vector<uint8_t> bytesOf(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

TEST(FileTemplate, ExtensionFollowsTheContent) {
    const std::string odsHead = std::string("PK\x03\x04", 4) + std::string(26, '\0') + "mimetypeapplication/vnd.oasis.opendocument.spreadsheet";
    const std::pair<std::vector<uint8_t>, std::string> cases[] = {
        {bytesOf(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "rest"), ".xls"},
        {bytesOf(std::string("PK\x03\x04", 4) + std::string(26, '\0') + "[Content_Types].xml"), ".xlsx"},
        {bytesOf(odsHead), ".ods"},
        {bytesOf(odsHead + "-template"), ".ots"},
        {kFods, ".fods"},
        {bytesOf("\xEF\xBB\xBF<?xml version=\"1.0\"?><office:document>"), ".fods"},
        {bytesOf("plain text"), ".xls"},
        {{}, ".xls"},
    };
    for (const auto& [data, ext] : cases) EXPECT_EQ(WorkbookExtension(data), ext);
}

TEST(FileTemplate, TemporaryFileLifeCycle) {
    lvtest::TempDir tmp;
    ::setenv("TMPDIR", tmp.path().c_str(), 1);
    std::string first, second;
    {
        TFileTemplate t;
        EXPECT_EQ(t.GetTemplateFileName(), "") << "no data, no file";
        EXPECT_TRUE(tmp.entries().empty());

        t.SetData(kFods);
        first = t.GetTemplateFileName();
        const fs::path p(first);
        EXPECT_EQ(p.parent_path(), fs::path(tmp.path()));
        EXPECT_EQ(p.filename().string().rfind("~ft", 0), 0u);
        EXPECT_EQ(p.extension(), ".fods");
        EXPECT_EQ(lvtest::readBytes(first), kFods);
        struct stat st {};
        ASSERT_EQ(::stat(first.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << "private to the user";
        EXPECT_EQ(t.GetTemplateFileName(), first) << "made once";

        // A replaced template gives up the old file, so the next report takes the new data.
        t.SetData(bytesOf(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "new"));
        EXPECT_FALSE(fs::exists(first));
        second = t.GetTemplateFileName();
        EXPECT_NE(second, first);
        EXPECT_EQ(fs::path(second).extension(), ".xls");

        // A file removed behind the template's back is written again.
        fs::remove(second);
        EXPECT_EQ(lvtest::readBytes(t.GetTemplateFileName()).size(), 11u);
        second = t.TempFileName();

        // Assigning copies the data and gives up the target's own file.
        TFileTemplate target;
        target.SetData(kFods);
        const std::string targetFile = target.GetTemplateFileName();
        target.AutoDeleteTempFile = true;
        t.AutoDeleteTempFile = false;
        target.Assign(&t);
        EXPECT_FALSE(fs::exists(targetFile));
        EXPECT_EQ(target.Data(), t.Data());
        EXPECT_FALSE(target.AutoDeleteTempFile);
        target.Assign(nullptr);
        EXPECT_TRUE(target.Data().empty());
        t.AutoDeleteTempFile = true;
    }
    EXPECT_FALSE(fs::exists(second)) << "deleted with the template";
    {
        TFileTemplate keep;
        keep.AutoDeleteTempFile = false;
        keep.SetData(kFods);
        first = keep.GetTemplateFileName();
    }
    EXPECT_TRUE(fs::exists(first)) << "kept when AutoDeleteTempFile is off";
    ::unsetenv("TMPDIR");
}

// --- requests -----------------------------------------------------------------------------------

TEST(ReportInfo, StatesAndMessages) {
    TReportTemplateHolder holder;
    holder.SetName("Template");
    EXPECT_EQ(holder.GetHolderName(), "Template");
    TReportTemplateItem& item = holder.Reports().Add();
    item.SetName("VhPasport");
    item.SetAddToSheet("Протокол");
    item.SetShortCut(7);

    TReportInfo fresh;
    EXPECT_EQ(fresh.Failed, -1);
    EXPECT_EQ(fresh.State, rsNotFound);

    TReportInfo missing;
    missing.Name = "Нет";
    holder.PrepareReport(missing);
    EXPECT_EQ(missing.State, rsNotFound);
    EXPECT_EQ(missing.Failed, -1);
    EXPECT_EQ(missing.GetMessage(), "Отчет Нет не найден");
    // Without a handler CanGenerate says ready even then: callers also look at Failed.
    EXPECT_EQ(missing.CanGenerate(), rsReady);
    EXPECT_EQ(missing.GetMessage(), "Не найдена процедура генерации отчета Нет");

    TReportInfo found;
    found.Name = "vhpasport";
    holder.PrepareReport(found);
    EXPECT_EQ(found.State, rsReady);
    EXPECT_EQ(found.Failed, 0);
    EXPECT_EQ(found.Holder, &holder);
    EXPECT_EQ(found.AddToSheet, "Протокол");
    EXPECT_EQ(found.ShortCut, 7);
    EXPECT_TRUE(found.NeedViewer && found.NeedCells);
    EXPECT_EQ(found.GetMessage(), "");
    found.Generate();
    EXPECT_EQ(found.Failed, -1) << "no generation handler";

    const std::pair<TCanGenerate, std::string> states[] = {
        {rsCannot, "Отчет X не может быть сформирован"},
        {rsWrongState, "Отчет X не может быть сформирован в текущем состоянии справочника"},
        {rsNoData, "Данные для отчета X не готовы"},
    };
    for (const auto& [state, text] : states) {
        int generated = 0;
        item.OnCanGenerateReport = [state = state](TReportInfo&, TCanGenerate& allow) { allow = state; };
        item.OnGenerateReport = [&](TReportInfo&, const std::any&) { ++generated; };
        TReportInfo info;
        info.Name = "VhPasport";
        holder.PrepareReport(info);
        info.Name = "X";
        info.Generate();
        EXPECT_EQ(info.State, state);
        EXPECT_EQ(generated, 0);
        EXPECT_EQ(info.GetMessage(), text);
    }
    item.OnCanGenerateReport = nullptr;
    std::any seen;
    item.OnGenerateReport = [&](TReportInfo&, const std::any& dop) { seen = dop; };
    TReportInfo info;
    info.Name = "VhPasport";
    holder.PrepareReport(info);
    info.Generate(std::any(42));
    EXPECT_EQ(std::any_cast<int>(seen), 42);
}

TEST(ReportInfo, TemplateFileIsAskedOnceOfTheHolder) {
    lvtest::TempDir tmp;
    ::setenv("TMPDIR", tmp.path().c_str(), 1);
    TReportTemplateHolder holder;
    TReportTemplateItem& item = holder.Reports().Add();
    item.SetName("PrPasport");
    item.FileTemplate().SetData(kFods);
    TReportInfo info;
    info.Name = "PrPasport";
    holder.PrepareReport(info);
    const std::string file = info.GetTemplateFileName();
    EXPECT_EQ(file, item.FileTemplate().TempFileName());
    item.FileTemplate().SetData(kFods); // gives the file up; the request keeps its answer
    EXPECT_EQ(info.GetTemplateFileName(), file);

    TReportInfo other;
    other.Name = "Нет";
    EXPECT_EQ(holder.GetTemplateFile(other), "");
    EXPECT_EQ(other.State, rsNotFound);
    EXPECT_EQ(other.Failed, -1);
    ::unsetenv("TMPDIR");
}

} // namespace
