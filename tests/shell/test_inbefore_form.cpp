// The inspection window offscreen: its fields and captions, the request its fields and the main
// graph make, the template chooser, the settings kept between runs, "Параметры", the protocol on
// the in-memory office, and once through a real headless LibreOffice read back with openpyxl.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QSettings>

#include <cmath>
#include <cstdlib>

#include "ModeFixture.h"
#include "ShellTestSupport.h"
#include "display/uGraphsCmps.h"
#include "reports/uSpreadsheetFake.h"
#include "shell/fSORFlow.h"
#include "shell/uMainSettings.h"
#include "support/MiniJson.h"
#include "trace/DateTime.h"
#include "trace/uGraphIntfs.h"

#ifdef LUMVARIS_HAVE_UNO
#include "reports/uno/uSpreadsheetUno.h"
#endif

using namespace lv;
using lvtest::ModeTest;

namespace {

class InBeforeTest : public ModeTest {
protected:
    // "Линия 9" with fibres 1, 2 and 12 named "f01.tra" … in "131/" and "155/".
    std::string WriteLine() {
        WriteSet("Линия 9", "155", {"f01.tra", "f02.tra", "f12.tra"}, 1550);
        return WriteSet("Линия 9", "131", {"f01.tra", "f02.tra", "f12.tra"});
    }
    void SetUp() override {
        ModeTest::SetUp();
        Form->resize(1024, 740);
        Form->show();
        Settle();
    }
    // The operator's start, cursor and markers on the current trace.
    void PlaceOnCurrent() {
        Form->ActiveTrace()->SetReference(0.5);
        Form->MainGraph->SetCursorX(9.5);
        Form->MainGraph->PlaceMarker(1, false, 1.0);
        Form->MainGraph->PlaceMarker(2, false, 9.0);
        Settle();
        ASSERT_EQ(Form->ActiveTrace()->MarkerPos(1), 9.0);
        ASSERT_EQ(Form->ActiveTrace()->CursorPos(), 9.5);
    }
    void Fill(TInBeforeForm& w) {
        const std::pair<const char*, const char*> values[] = {{"DrumNum", "0012"},
                                                              {"MarkEd", "ОКЛ-0,22-16"},
                                                              {"LengthEd", "10015"},
                                                              {"SEd", "01000"},
                                                              {"EEd", "11015"}};
        for (const auto& [name, value] : values)
            w.Field(QString::fromLatin1(name))->setText(QString::fromUtf8(value));
    }
};

} // namespace

TEST_F(InBeforeTest, TheWindowShowsItsFieldsAndTheBatchParameters) {
    const std::string line = WriteLine();
    Form->Settings().WorkerNum = "Петров";
    for (int mode : {pmIncoming, pmPreInstallation}) {
        SCOPED_TRACE(mode);
        Enter(mode == pmIncoming ? "InControl1" : "BeforeControl1", line);
        TInBeforeForm* w = Inspection();
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Линия 9"));
        QStringList labels;
        for (QLabel* l : w->findChildren<QLabel*>())
            if (l->window() == w && l->isVisibleTo(w)) labels << l->text();
        for (const char* text :
             {"Номер барабана", "Марка кабеля", "Длина по меткам, м", "Начало кабеля", "Конец кабеля",
              "Шаблон", "Cabel ID", "Fiber ID", "Orig. Loc.", "Term. Loc.", "Оператор", "Mainframe",
              "Mainfr. S/N", "Module ID", "Mod. S/N", "Производитель прибора"})
            EXPECT_TRUE(labels.contains(QString::fromUtf8(text))) << text;
        EXPECT_EQ(w->Field(QStringLiteral("TmpInFile"))->isVisibleTo(w), mode == pmIncoming);
        EXPECT_EQ(w->Field(QStringLiteral("TmpBeforeFile"))->isVisibleTo(w), mode != pmIncoming);
        for (const auto& [name, hint] :
             {std::pair{"ReportBtn", "Сгенерировать отчет"}, std::pair{"ProcessSOR1B", "Обработать потоком"},
              std::pair{"ParamsBtn", "Параметры"}, std::pair{"HelpBtn", "Помощь"},
              std::pair{"TmpChoose", "Выбрать шаблон"}})
            EXPECT_EQ(w->Command(QString::fromLatin1(name))->toolTip(), QString::fromUtf8(hint)) << name;
        // The copies are read-only and hold the dialog's values: the current trace's operator is
        // empty, so the registered one.
        for (const auto& t : kSORFlowTextFields)
            EXPECT_TRUE(w->Field(QString::fromLatin1(t.Name))->isReadOnly()) << t.Name;
        EXPECT_EQ(w->Field(QStringLiteral("OP"))->text(), QStringLiteral("Петров"));
        EXPECT_FALSE(w->Field(QStringLiteral("DrumNum"))->isReadOnly());
        w->close();
        Settle();
    }
}

TEST_F(InBeforeTest, TheRequestCarriesTheFieldsAndTheListingsFibreNumbers) {
    const std::string line = WriteLine();
    Enter("InControl1", line);
    TInBeforeForm* w = Inspection();
    ASSERT_NE(w, nullptr);
    Fill(*w);
    w->FlowDialog().TextField("OP")->setText(QStringLiteral("Иванов"));
    const TInspectionRequest r = w->MakeRequest();
    EXPECT_EQ(r.Mode, pmIncoming);
    const TInspectionHeader& h = r.Data.Header;
    EXPECT_EQ(h.LineName, "Линия 9");
    EXPECT_EQ(h.DrumNum, "0012");
    EXPECT_EQ(h.MarkEd, "ОКЛ-0,22-16");
    EXPECT_EQ(h.LengthEd, "10015");
    EXPECT_EQ(h.SEd, "01000");
    EXPECT_EQ(h.EEd, "11015");
    EXPECT_EQ(h.Operator, "Иванов");
    EXPECT_EQ(h.Today, std::floor(Now()));
    ASSERT_EQ(r.Data.Traces.size(), 6u);
    // "f01.tra" reads as no number by its name: the listing gave it fibre 1.
    const int fibres[] = {1, 2, 12, 1, 2, 12};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(r.Data.Traces[i].Store, Form->Trace(int(i))->Trace()) << i;
        EXPECT_EQ(r.Data.Traces[i].Fibre, fibres[i]) << i;
    }
    EXPECT_EQ(r.Data.Reference, Form->ActiveTrace()->Trace());
    EXPECT_EQ(r.FallbackFile, line + "/VhPasport.xlsx");
    EXPECT_EQ(r.TemplateFile, "");

    // The template chooser fills the field of the mode, which the request then names.
    const std::string chosen = Dir.file("мой шаблон.xlsx");
    Prompts.FileAnswers.push_back({chosen});
    w->Command(QStringLiteral("TmpChoose"))->trigger();
    ASSERT_EQ(Prompts.Dialogs.size(), 2u);
    const TFileDialogRequest& d = Prompts.Dialogs[1];
    EXPECT_FALSE(d.Save);
    EXPECT_EQ(d.Filter, "Файлы Excel|*.xls;*.xlsx;*.ods|Все файлы|*.*");
    EXPECT_EQ(d.DefaultExt, "xls");
    EXPECT_EQ(d.InitialDir, line + "/");
    EXPECT_EQ(w->TemplateField()->text().toStdString(), chosen);
    EXPECT_EQ(w->MakeRequest().TemplateFile, chosen);

    // Under a display (tools/inspection-shot.sh) LUMVARIS_INSPECTION_SHOT names a PNG of the
    // screen: the window over the main window with the set open.
    if (const char* shot = std::getenv("LUMVARIS_INSPECTION_SHOT")) {
        PlaceOnCurrent();
        Form->move(0, 0);
        w->adjustSize();
        w->move(Form->width() - w->width() - 24, 96);
        w->raise();
        Settle();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 500)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        const QPixmap picture = QGuiApplication::platformName() == QStringLiteral("xcb")
                                    ? Form->screen()->grabWindow(0, 0, 0, Form->frameGeometry().right() + 1,
                                                                 Form->frameGeometry().bottom() + 1)
                                    : Form->grab();
        EXPECT_TRUE(picture.save(QString::fromLocal8Bit(shot)));
    }
}

TEST_F(InBeforeTest, FieldsAndPlacementAreKeptBetweenRuns) {
    const std::string line = WriteLine();
    Enter("BeforeControl1", line);
    TInBeforeForm* w = Inspection();
    ASSERT_NE(w, nullptr);
    Fill(*w);
    w->Field(QStringLiteral("TmpBeforeFile"))->setText(QStringLiteral("/шаблоны/пр.xlsx"));
    w->move(140, 90);
    w->close();
    Settle();
    {
        auto s = OpenSettings();
        s->beginGroup(QStringLiteral("TInBeforeForm"));
        EXPECT_EQ(s->value(QStringLiteral("DrumNum_Text")).toString(), QStringLiteral("0012"));
        EXPECT_EQ(s->value(QStringLiteral("TmpBeforeFile_Text")).toString(),
                  QStringLiteral("/шаблоны/пр.xlsx"));
        EXPECT_EQ(s->value(QStringLiteral("TmpInFile_Text")).toString(), QString());
        EXPECT_TRUE(s->contains(QStringLiteral("NormPos")));
        EXPECT_FALSE(s->contains(QStringLiteral("CID_Text"))) << "the copies belong to the batch dialog";
    }
    Enter("InControl1", line);
    w = Inspection();
    ASSERT_NE(w, nullptr);
    for (const auto& [name, value] :
         {std::pair{"DrumNum", "0012"}, std::pair{"MarkEd", "ОКЛ-0,22-16"}, std::pair{"LengthEd", "10015"},
          std::pair{"SEd", "01000"}, std::pair{"EEd", "11015"},
          std::pair{"TmpBeforeFile", "/шаблоны/пр.xlsx"}})
        EXPECT_EQ(w->Field(QString::fromLatin1(name))->text(), QString::fromUtf8(value)) << name;
    EXPECT_TRUE(w->TemplateField()->text().isEmpty()) << "mode 2 has a template field of its own";
}

TEST_F(InBeforeTest, ParametersShowTheBatchDialogWithoutItsTasks) {
    Enter("InControl1", WriteLine());
    TInBeforeForm* w = Inspection();
    ASSERT_NE(w, nullptr);
    TSORFlowForm& dialog = w->FlowDialog();
    lvtest::WhenModal([&](QWidget* shown) {
        EXPECT_EQ(shown, &dialog);
        EXPECT_EQ(shown->windowTitle(), QStringLiteral("Параметры"));
        EXPECT_FALSE(dialog.TasksGroup()->isVisible());
        dialog.TextField("CID")->setText(QStringLiteral("ОК-16"));
        dialog.Task("DirActive")->setChecked(true); // hidden: no folder is made for it
        dialog.DefPathEd()->setText(QStringLiteral("нигде"));
        lvtest::ButtonText(&dialog, QStringLiteral("OK"))->click();
    });
    w->Command(QStringLiteral("ParamsBtn"))->trigger();
    EXPECT_EQ(w->Field(QStringLiteral("CID"))->text(), QStringLiteral("ОК-16"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Потоковая обработка"));
    EXPECT_FALSE(dialog.TasksGroup()->isHidden());
    EXPECT_FALSE(std::filesystem::exists(Dir.file("Линия 9/нигде")));
    EXPECT_EQ(ReadSORFlowParams(*OpenSettings()).Texts[0], "ОК-16");
    EXPECT_TRUE(Prompts.Messages.empty());
}

TEST_F(InBeforeTest, TheReportFillsTheProtocolAndTheGraphShowsTheCopiedMarkers) {
    Enter("InControl1", WriteLine());
    TInBeforeForm* w = Inspection();
    ASSERT_NE(w, nullptr);
    Fill(*w);
    PlaceOnCurrent();
    TFakeSpreadsheetApp office;
    w->SetOffice(&office);
    lvtest::IndicatorWatch watch;
    w->Command(QStringLiteral("ReportBtn"))->trigger();
    Settle();
    EXPECT_EQ(watch.Shown, std::vector<QString>{QStringLiteral("Lumvaris|Идет формирование отчета...")});
    ASSERT_EQ(office.Books.size(), 1u);
    const TFakeSheet& s = *office.Books[0]->FindSheet("Протокол");
    EXPECT_EQ(s.Value(4, 2), TCellValue::Text("Линия 9"));
    EXPECT_EQ(s.Value(6, 9), TCellValue::Text("0012"));
    for (int fibre : {1, 2, 12}) {
        EXPECT_EQ(s.Value(26 + fibre, 4), TCellValue::Num(9000)) << fibre;
        EXPECT_EQ(s.Value(26 + fibre, 6).kind, TCellValue::Kind::Number) << fibre;
        EXPECT_EQ(s.Value(26 + fibre, 8).kind, TCellValue::Kind::Number) << fibre;
    }
    EXPECT_TRUE(office.Books[0]->Visible);
    for (int i = 0; i < Form->TraceCount(); ++i)
        EXPECT_EQ(Form->Trace(i)->MarkerPos(1), 9.0) << i;
    EXPECT_TRUE(Prompts.Messages.empty());

    // An office that cannot start: the error is shown, the window stays.
    office.Installed = false;
    w->Command(QStringLiteral("ReportBtn"))->trigger();
    Settle();
    ASSERT_EQ(Prompts.Messages.size(), 1u);
    EXPECT_EQ(Prompts.Messages[0].Type, TMsgDlgType::mtError);
    EXPECT_EQ(Form->ModeWindow(), w);
}

TEST_F(InBeforeTest, TheReportThroughARealOfficeIsStoredBesideTheTraces) {
#ifndef LUMVARIS_HAVE_UNO
    GTEST_SKIP() << "built without the LibreOffice SDK";
#else
    const char* required = std::getenv("LUMVARIS_REQUIRE_OFFICE");
    const bool mustRun = required && std::string(required) == "1";
    if (FindSoffice().empty()) {
        if (mustRun) FAIL() << "LibreOffice is not installed";
        GTEST_SKIP()
            << "LibreOffice is not installed (no soffice on PATH or in /usr/lib/libreoffice/program)";
    }
    const std::string line = WriteLine();
    Enter("BeforeControl1", line);
    TInBeforeForm* w = Inspection();
    ASSERT_NE(w, nullptr);
    Fill(*w);
    w->FlowDialog().TextField("OP")->setText(QStringLiteral("Петров"));
    PlaceOnCurrent();

    // A private headless office: it cannot show the workbook, so the window stores it in the
    // data folder and says where.
    lvtest::TempDir profile;
    TUnoOfficeOptions o;
    o.PipeName = "lumvaris_shell_test_" + std::to_string(::getpid());
    o.ProfileDir = profile.path();
    o.Headless = true;
    o.OwnOffice = true;
    TUnoSpreadsheetApp office(o);
    w->SetOffice(&office);
    w->Command(QStringLiteral("ReportBtn"))->trigger();
    Settle();
    office.TerminateOffice();
    const std::string stored = line + "/PrPasport.xlsx";
    ASSERT_EQ(Prompts.Messages.size(), 1u);
    if (Prompts.Messages[0].Type == TMsgDlgType::mtError && !mustRun)
        GTEST_SKIP() << "the office did not start: " << Prompts.Messages[0].Text;
    EXPECT_EQ(Prompts.Messages[0].Text, "Отчет сохранен в файле \"" + stored + "\".");

    const std::string json = stored + ".json";
    const std::string cmd = "/usr/bin/python3 '" + std::string(LUMVARIS_SOURCE_DIR) +
                            "/tests/office/read_xlsx.py' '" + stored + "' > '" + json + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    const lvtest::Json cells = lvtest::Json::parseFile(json)["sheets"].items().at(0)["cells"];
    EXPECT_EQ(cells["B4"]["v"].str(), "Линия 9");
    EXPECT_TRUE(cells["I4"]["date"].boolean());
    EXPECT_EQ(cells["C7"]["v"].str(), "ОКЛ-0,22-16");
    EXPECT_EQ(cells["E6"]["v"].str(), "0012");
    EXPECT_EQ(cells["G9"]["v"].str(), "01000; 11015");
    EXPECT_EQ(cells["E10"]["v"].number(), 10015);
    // Fibres 1, 2 and 12 in rows 22, 23 and 33: the length from the cursor the traces got.
    for (const char* a : {"D22", "D23", "D33"})
        EXPECT_EQ(cells[a]["v"].number(), 9000) << a;
    for (const char* a : {"F22", "H22", "F33", "H33"})
        EXPECT_GT(cells[a]["v"].number(), 0.1) << a;
    EXPECT_FALSE(cells.has("D24")) << "fibre 3 has no trace";
    EXPECT_EQ(cells["A33"]["bottom"].str(), "thin");
    EXPECT_EQ(cells["E" + std::to_string(332 - 288)]["v"].str(), "Петров");
#endif
}
