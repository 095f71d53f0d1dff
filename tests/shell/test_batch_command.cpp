// "Обработать потоком в Bellcore..." with scripted dialogs and questions: the dialog "Потоковая
// обработка" filled from the current trace and kept in the settings, the target folder made or
// refused, the three tasks on synthetic traces with the overwrite questions and the completion
// list, the batch pages in both languages as PDF, and the inspection window's own dialog.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>

#include "ModeFixture.h"
#include "ShellTestSupport.h"
#include "formats/uBellcoreConvs.h"
#include "printing/uQtPrinter.h"
#include "shell/fSORFlow.h"
#include "shell/uMainSettings.h"
#include "support/PdfTools.h"
#include "support/RecordingPrinter.h"
#include "trace/SyntheticTrace.h"
#include "trace/uGraphIntfs.h"

using namespace lv;
using lvtest::ModeTest;

namespace {

// The batch command's dialog, run by `action` once it is on screen.
void WithDialog(std::function<void(TSORFlowForm&)> action) {
    lvtest::WhenModal([action](QWidget* w) {
        auto* form = qobject_cast<TSORFlowForm*>(w);
        ASSERT_NE(form, nullptr) << w->metaObject()->className();
        action(*form);
    });
}

void Tasks(TSORFlowForm& f, bool process, bool save, bool print, bool russian) {
    f.Task("ParT")->setChecked(process);
    f.Task("SaveT")->setChecked(save);
    f.Task("PrintT")->setChecked(print);
    f.Task("RusPrint")->setChecked(russian);
}

class BatchTest : public ModeTest {
protected:
    void SetUp() override {
        ModeTest::SetUp();
        Form->SetPrintDevices(&Printer, nullptr);
        // The graph prints at its size on screen.
        Form->resize(1024, 740);
        Form->show();
        Settle();
    }
    void TearDown() override {
        if (Form) Form->SetPrintDevices(nullptr, nullptr);
        ModeTest::TearDown();
    }
    QString StoredValue(const char* name) {
        auto s = OpenSettings();
        return s->value(QStringLiteral("TSORFlowForm/") + QString::fromLatin1(name)).toString();
    }
    std::vector<std::string> Questions() const {
        std::vector<std::string> q;
        for (const auto& m : Prompts.Messages)
            if (m.Type == TMsgDlgType::mtConfirmation) q.push_back(m.Text);
        return q;
    }

    lvtest::RecordingPrinter Printer;
};

} // namespace

TEST_F(BatchTest, TheDialogTakesTheCurrentTraceAndKeepsTheOperatorsChoice) {
    OpenNumbered(2);
    Form->ActiveTrace()->SetTextParam(QStringLiteral("CID"), QStringLiteral("  ОКЛ-9 "));
    Form->ActiveTrace()->SetTextParam(QStringLiteral("OP"), QString());
    Form->Settings().WorkerNum = "0042";
    QStringList labels;
    WithDialog([&](TSORFlowForm& f) {
        EXPECT_EQ(f.windowTitle(), QStringLiteral("Потоковая обработка"));
        EXPECT_EQ(f.ParamsGroup()->title(), QStringLiteral(" Параметры "));
        EXPECT_EQ(f.TasksGroup()->title(), QStringLiteral(" Задания "));
        for (QLabel* l : f.ParamsGroup()->findChildren<QLabel*>())
            labels << l->text();
        EXPECT_EQ(f.TextField("CID")->text(), QStringLiteral("ОКЛ-9"));
        EXPECT_EQ(f.TextField("OP")->text(), QStringLiteral("0042")) << "the registered operator";
        for (const char* task : {"ParT", "SaveT", "PrintT", "RusPrint"})
            EXPECT_TRUE(f.Task(task)->isChecked()) << task;
        EXPECT_FALSE(f.Task("DirActive")->isChecked());
        EXPECT_EQ(f.Task("DirActive")->text(), QStringLiteral("Помещать в папку при сохранении:"));
        EXPECT_EQ(f.DefPathEd()->palette().color(QPalette::Base), f.palette().color(QPalette::Button));
        f.Task("DirActive")->setChecked(true);
        EXPECT_EQ(f.DefPathEd()->palette().color(QPalette::Base), f.palette().color(QPalette::Base));
        f.Task("DirActive")->setChecked(false);
        f.TextField("FID")->setText(QStringLiteral("волокно 3"));
        Tasks(f, false, false, false, false);
        lvtest::ButtonText(&f, QStringLiteral("OK"))->click();
    });
    Trigger("ProcessSOR1");
    Settle();
    QStringList expected;
    for (const auto& t : kSORFlowTextFields)
        expected << QString::fromUtf8(t.Label);
    EXPECT_EQ(labels, expected);
    EXPECT_TRUE(Prompts.Messages.empty()) << "no task: nothing but the stored values";
    EXPECT_TRUE(Printer.Pages.empty());
    EXPECT_EQ(StoredValue("FID_Text"), QStringLiteral("волокно 3"));
    EXPECT_EQ(StoredValue("CID_Text"), QStringLiteral("ОКЛ-9"));
    EXPECT_EQ(StoredValue("ParT_Checked"), QStringLiteral("0"));
    EXPECT_EQ(StoredValue("DefPathEd_Color"), QString::number(0x8000000F));

    // The next time: the stored values, the trace's texts over them; Cancel changes nothing.
    Form->ActiveTrace()->SetTextParam(QStringLiteral("CID"), QStringLiteral("ОКЛ-10"));
    WithDialog([&](TSORFlowForm& f) {
        EXPECT_EQ(f.TextField("FID")->text(), QStringLiteral("волокно 3"));
        EXPECT_EQ(f.TextField("CID")->text(), QStringLiteral("ОКЛ-10"));
        EXPECT_FALSE(f.Task("ParT")->isChecked());
        EXPECT_FALSE(f.Task("RusPrint")->isChecked());
        f.TextField("FID")->setText(QStringLiteral("отменено"));
        lvtest::ButtonText(&f, QStringLiteral("Отмена"))->click();
    });
    Trigger("ProcessSOR1B");
    Settle();
    EXPECT_EQ(StoredValue("FID_Text"), QStringLiteral("волокно 3"));
    EXPECT_TRUE(Prompts.Messages.empty());
}

TEST_F(BatchTest, ARelativeTargetFolderIsMadeInTheDataFolderOrTheDialogStays) {
    OpenNumbered(1);
    Form->Settings().DataDir = Dir.file("data") + "/";
    lvtest::writeBytes(Dir.file("blocker"), {1});
    WithDialog([&](TSORFlowForm& f) {
        Tasks(f, false, false, false, true);
        f.Task("DirActive")->setChecked(true);
        f.DefPathEd()->setText(QString::fromStdString(Dir.file("blocker") + "/sor"));
        lvtest::ButtonText(&f, QStringLiteral("OK"))->click();
        EXPECT_TRUE(f.isVisible()) << "the folder could not be made";
        ASSERT_EQ(Prompts.Messages.size(), 1u);
        EXPECT_EQ(Prompts.Messages[0].Text, "Не удается создать указанную папку.");
        EXPECT_EQ(Prompts.Messages[0].Type, TMsgDlgType::mtError);
        f.DefPathEd()->setText(QStringLiteral("out\\sor"));
        lvtest::ButtonText(&f, QStringLiteral("OK"))->click();
        EXPECT_EQ(f.DefPathEd()->text().toStdString(), Dir.file("data/out/sor/")) << "shown absolute";
    });
    Trigger("ProcessSOR1");
    Settle();
    EXPECT_TRUE(std::filesystem::is_directory(Dir.file("data/out/sor")));
    EXPECT_EQ(StoredValue("DefPathEd_Text").toStdString(), Dir.file("data/out/sor/"));
    EXPECT_EQ(StoredValue("DefPathEd_Color"), QString::number(0x80000005));
}

TEST_F(BatchTest, TheTasksOnSyntheticTracesAskBeforeLosingAFileAndListWhatWasNotSaved) {
    // The set as the inspection window opens it: "155/" from the top, then "131/".
    WriteSet("Линия", "155", {"001.tra", "002.tra"}, 1550);
    const std::string line = WriteSet("Линия", "131", {"001.tra", "002.tra"});
    QStringList files;
    for (const char* f : {"/155/002.tra", "/155/001.tra", "/131/002.tra", "/131/001.tra"})
        files << QString::fromStdString(line + f);
    ASSERT_EQ(Form->OpenTraceFiles(files), 4);
    Settle();
    Form->ActiveTrace()->SetMarkerPos(0, 1.0);
    Form->ActiveTrace()->SetMarkerPos(1, 8.0);
    const std::string out = Dir.file("sor") + "/";
    const QString pdfRu = QString::fromStdString(Dir.file("ru.pdf")),
                  pdfEn = QString::fromStdString(Dir.file("en.pdf"));

    lvtest::IndicatorWatch watch;
    Prompts.Answers = {mrNo, mrYes};
    {
        TQtPrinter pdf(pdfRu);
        Form->SetPrintDevices(&pdf, nullptr);
        WithDialog([&](TSORFlowForm& f) {
            Tasks(f, true, true, true, true);
            f.TextField("CID")->setText(QStringLiteral("ОКЛ-5"));
            f.Task("DirActive")->setChecked(true);
            f.DefPathEd()->setText(QString::fromStdString(out));
            lvtest::ButtonText(&f, QStringLiteral("OK"))->click();
        });
        Trigger("ProcessSOR1");
        Settle();
        Form->SetPrintDevices(&Printer, nullptr);
    }
    // "131/" reaches the folder first; its "155/" twins are asked about.
    EXPECT_EQ(Questions(), (std::vector<std::string>{"Перезаписать файл " + out + "001.sor?",
                                                     "Перезаписать файл " + out + "002.sor?"}));
    ASSERT_FALSE(Prompts.Messages.empty());
    const lvtest::RecordedMessage& done = Prompts.Messages.back();
    EXPECT_EQ(done.Type, TMsgDlgType::mtWarning);
    EXPECT_EQ(done.Text, "Потоковая обработка завершена!!!\r\n\r\nНе сохранены:\r\n155/001.tra — файл " +
                             out + "001.sor не перезаписан");
    EXPECT_EQ(Prompts.Messages.size(), 3u) << "no file check failed";
    EXPECT_EQ(watch.Shown, (std::vector<QString>{QStringLiteral("Lumvaris|Потоковая обработка..."),
                                                 QStringLiteral("Lumvaris|Идет печать графиков...")}));
    for (const char* name : {"001.sor", "002.sor"})
        EXPECT_TRUE(IsOwnSorFile(out + name)) << name;
    for (int i = 0; i < 4; ++i) {
        TMainDataItem* t = Form->Trace(i);
        EXPECT_EQ(t->GetTextParam(QStringLiteral("CID")), QStringLiteral("ОКЛ-5")) << i;
        EXPECT_EQ(t->MarkerPos(1), 8.0) << i;
    }
    EXPECT_EQ(Form->Trace(0)->SourceFileName().toStdString(), out + "001.sor");
    EXPECT_EQ(Form->Trace(2)->SourceFileName().toStdString(), line + "/155/001.tra")
        << "not saved: its own file still";
    EXPECT_EQ(Form->NamePanel()->toolTip().toStdString(), out + "001.sor")
        << Form->ActiveTrace()->SourceFileName().toStdString();

    // The pages of all four traces; then the same pages in English, nothing else done.
    Prompts.Messages.clear();
    {
        TQtPrinter pdf(pdfEn);
        Form->SetPrintDevices(&pdf, nullptr);
        WithDialog([&](TSORFlowForm& f) {
            Tasks(f, false, false, true, false);
            lvtest::ButtonText(&f, QStringLiteral("OK"))->click();
        });
        Trigger("ProcessSOR1");
        Settle();
        Form->SetPrintDevices(&Printer, nullptr);
    }
    ASSERT_EQ(Prompts.Messages.size(), 1u);
    EXPECT_EQ(Prompts.Messages[0].Text, "Потоковая обработка завершена!!!");
    EXPECT_EQ(Prompts.Messages[0].Type, TMsgDlgType::mtInformation);
    for (const auto& [pdf, russian] : {std::pair{pdfRu, true}, std::pair{pdfEn, false}}) {
        SCOPED_TRACE(russian);
        EXPECT_EQ(lvtest::PdfPages(pdf), 4);
        const QString text = QString::fromUtf8(lvtest::RunTool("pdftotext", {"-layout", pdf, "-"}));
        EXPECT_EQ(text.count(russian ? QStringLiteral("Трасса: ") : QStringLiteral("Trace: ")), 4);
        EXPECT_TRUE(text.contains(russian ? QStringLiteral("Маркеры 1-2") : QStringLiteral("Markers 1-2")));
        EXPECT_TRUE(
            text.contains(russian ? QStringLiteral("Кабель: ОКЛ-5") : QStringLiteral("Cabel ID: ОКЛ-5")));
        EXPECT_TRUE(text.contains(QString::fromStdString(out + "002.sor")));
    }
}

TEST_F(BatchTest, ATraceWithoutAFileIsOfferedTheBellcoreSaveDialog) {
    // A trace that never was in a file, as an instrument would hand it over.
    auto* store = new TRDataStorage(&Work);
    auto* item = new TMainDataItem(&Form->MainGraph->Data());
    item->SetStorage(store);
    TSynthOptions o;
    o.wavelengthNm = 1550;
    FillSyntheticTrace(*store, o, "Барабан 12");
    Settle();
    Form->Settings().DataDir = Dir.path() + "/";
    const std::string chosen = Dir.file("Барабан 12(155).sor");
    Prompts.FileAnswers.push_back({chosen});
    WithDialog([&](TSORFlowForm& f) {
        Tasks(f, false, true, false, true);
        lvtest::ButtonText(&f, QStringLiteral("OK"))->click();
    });
    Trigger("ProcessSOR1");
    Settle();
    ASSERT_EQ(Prompts.Dialogs.size(), 1u);
    const TFileDialogRequest& r = Prompts.Dialogs[0];
    EXPECT_TRUE(r.Save);
    EXPECT_EQ(r.Title, "Сохранить файл Bellcore");
    EXPECT_EQ(r.Filter, "Файлы Bellcore (*.sor)|*.sor|Все файлы|*.*");
    EXPECT_EQ(r.DefaultExt, "sor");
    EXPECT_TRUE(r.OverwritePrompt);
    EXPECT_EQ(r.FileName, Dir.path() + "/Барабан 12(155)") << "the description is the wavelength code";
    EXPECT_TRUE(IsOwnSorFile(chosen));
    ASSERT_EQ(Prompts.Messages.size(), 1u);
    EXPECT_EQ(Prompts.Messages[0].Text, "Потоковая обработка завершена!!!");
}

TEST_F(BatchTest, InAnInspectionModeTheWindowsOwnDialogIsUsed) {
    const std::string line = WriteSet("Линия", "131", {"001.tra", "002.tra"});
    Enter("InControl1", line);
    TInBeforeForm* window = Inspection();
    ASSERT_NE(window, nullptr);
    TSORFlowForm* shown = nullptr;
    WithDialog([&](TSORFlowForm& f) {
        shown = &f;
        f.TextField("OMID")->setText(QStringLiteral("Модуль 7"));
        Tasks(f, false, false, false, true);
        lvtest::ButtonText(&f, QStringLiteral("OK"))->click();
    });
    window->Command(QStringLiteral("ProcessSOR1B"))->trigger();
    Settle();
    EXPECT_EQ(shown, &window->FlowDialog());
    EXPECT_EQ(window->Field(QStringLiteral("OMID"))->text(), QStringLiteral("Модуль 7"))
        << "the copy follows";
    EXPECT_TRUE(Prompts.Messages.empty());
}
