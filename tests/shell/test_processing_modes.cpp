// The processing modes of the main window with scripted folder choices: entering and leaving each
// mode, the data check and its refusals, a window that cannot be made, the mask dialog, and a set
// that opens without the files that fail.

#include <gtest/gtest.h>

#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>

#include "ModeFixture.h"
#include "ShellTestSupport.h"
#include "display/uGraphsCmps.h"
#include "reports/uSpreadsheetFake.h"
#include "shell/fChooseMask.h"
#include "shell/fFlowForm.h"
#include "shell/uTraceNames.h"
#include "support/SyntheticLine.h"
#include "trace/SyntheticTrace.h"
#include "trace/uGraphIntfs.h"

using namespace lv;
using lvtest::ModeTest;

namespace {

bool Visible(TMainForm& form, const char* name) {
    return form.Command(QString::fromLatin1(name))->isVisible();
}

} // namespace

TEST_F(ModeTest, EachModeIsEnteredWithItsFolderAndLeftWithItsWindow) {
    const std::string inspection = WriteSet("Линия 5", "131", {"001.tra", "002.tra"});
    WriteSet("Линия 5", "155", {"001.tra"}, 1550);
    const std::string construction = WriteSet("Трасса АБ", "AB", {"001.tra"});
    struct Case {
        const char* command;
        int mode;
        std::string folder;
        const char *title, *filter, *line;
        int traces;
    };
    const Case cases[] = {
        {"InControl1", pmIncoming, inspection, "Укажите путь к данным (Входной контроль)",
         "Папки|*.tra;*.sor", "Линия 5", 3},
        {"BeforeControl1B", pmPreInstallation, inspection, "Укажите путь к данным (Предмонтажный контроль)",
         "Папки|*.tra;*.sor", "Линия 5", 3},
        {"Flow1", pmConstruction, construction, "Укажите путь к данным (Строительная документация)",
         "Папки|*.tra;*.sor;*.mif", "Трасса АБ", 1},
    };
    QString startFolder = FolderWithSeparator(QCoreApplication::applicationDirPath());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        OpenNumbered(1); // closed on the way in
        Prompts.Dialogs.clear();
        Enter(c.command, c.folder);
        ASSERT_EQ(Prompts.Dialogs.size(), 1u);
        const TFileDialogRequest& chooser = Prompts.Dialogs[0];
        EXPECT_TRUE(chooser.SelectFolder);
        EXPECT_EQ(chooser.Title, c.title);
        EXPECT_EQ(chooser.Filter, c.filter);
        EXPECT_EQ(QString::fromStdString(chooser.InitialDir), startFolder)
            << "the last data folder, at first the program's";
        startFolder = QString::fromStdString(c.folder) + u'/';

        EXPECT_EQ(Form->ProcessingMode(), c.mode);
        EXPECT_EQ(Form->Settings().FlowDir, c.folder + "/");
        ASSERT_NE(Form->ModeWindow(), nullptr);
        EXPECT_TRUE(Form->ModeWindow()->isVisible());
        EXPECT_EQ(Form->ModeWindow()->windowTitle(), QString::fromUtf8(c.line));
        // The inspection window stays on top; the construction window is a tool window of the main one.
        EXPECT_EQ(bool(Form->ModeWindow()->windowFlags() & Qt::WindowStaysOnTopHint), c.mode != pmConstruction);
        EXPECT_EQ(Inspection() != nullptr, c.mode != pmConstruction);
        EXPECT_EQ(qobject_cast<TFlowForm*>(Form->ModeWindow()) != nullptr, c.mode == pmConstruction);
        EXPECT_EQ(Form->TraceCount(), c.traces);
        // The controls of the mode.
        for (const char* name : {"Open1", "Open1B", "Close1", "Close1B", "CloseAll1"})
            EXPECT_FALSE(Visible(*Form, name)) << name;
        for (const char* name : {"InControl1", "BeforeControl1B", "Flow1"})
            EXPECT_FALSE(Enabled(name)) << name;
        const bool construction = c.mode == pmConstruction;
        for (const char* name : {"M1Btn", "MYBtn", "ClearMarkersBtn"})
            EXPECT_EQ(Visible(*Form, name), !construction) << name;
        for (const char* name : {"Start1B", "Muff1B", "End1B"})
            EXPECT_EQ(Visible(*Form, name), construction) << name;
        // No other mode from here, and no exit.
        Form->EnterProcessingMode(pmIncoming);
        EXPECT_EQ(Prompts.Dialogs.size(), 1u);
        EXPECT_FALSE(Form->CloseQuery());
        ASSERT_EQ(Prompts.Messages.size(), 1u);
        EXPECT_EQ(Prompts.Messages.back().Text, kMsgCannotExit);
        Prompts.Messages.clear();

        Form->ModeWindow()->close();
        Settle();
        EXPECT_EQ(Form->ProcessingMode(), pmNormal);
        EXPECT_EQ(Form->ModeWindow(), nullptr);
        EXPECT_EQ(Form->TraceCount(), 0);
        for (const char* name : {"Open1", "Close1", "M1Btn"})
            EXPECT_TRUE(Visible(*Form, name)) << name;
        for (const char* name : {"Open1", "InControl1", "Flow1"})
            EXPECT_TRUE(Enabled(name)) << name;
        EXPECT_FALSE(Visible(*Form, "Start1B"));
        EXPECT_TRUE(Prompts.Messages.empty());
    }
}

TEST_F(ModeTest, AFolderWithoutDataKeepsTheNormalMode) {
    const std::string empty = Dir.file("Пусто");
    std::filesystem::create_directories(empty + "/131");
    const std::string construction = WriteSet("Трасса", "BA", {"001.sor"});
    const std::string percent = WriteSet("100%d", "155", {"007.tra"}, 1550);
    struct Case {
        const char* command;
        std::string folder; // empty: the chooser is cancelled
        std::string message;
    };
    const Case cases[] = {
        {"InControl1B", "", ""},
        {"InControl1", empty, "Папка \"" + empty + "/\" не содержит файлов данных!"},
        {"BeforeControl1", construction, "Папка \"" + construction + "/\" не содержит файлов данных!"},
        {"Flow1B", percent, "Папка \"" + percent + "/\" не содержит файлов данных!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        Prompts.Messages.clear();
        if (c.folder.empty())
            Trigger(c.command); // no answer: cancelled
        else
            Enter(c.command, c.folder);
        EXPECT_EQ(Form->ProcessingMode(), pmNormal);
        EXPECT_EQ(Form->ModeWindow(), nullptr);
        if (c.message.empty()) {
            EXPECT_TRUE(Prompts.Messages.empty());
            continue;
        }
        ASSERT_EQ(Prompts.Messages.size(), 1u);
        EXPECT_EQ(Prompts.Messages[0].Text, c.message);
        EXPECT_EQ(Prompts.Messages[0].Type, TMsgDlgType::mtError);
        EXPECT_EQ(Prompts.Messages[0].Buttons, TMsgDlgButtons(mbOK));
    }
    // A folder named like a format works as any other.
    Enter("InControl1", percent);
    EXPECT_EQ(Form->ProcessingMode(), pmIncoming);
    EXPECT_EQ(Form->LineName(), QStringLiteral("100%d"));
    EXPECT_EQ(Form->TraceCount(), 1);
}

TEST_F(ModeTest, AWindowThatCannotBeMadeLeavesTheNormalModeAndTheErrorIsShown) {
    // A set whose names hold no number: the window warns while it is made, and the warning fails.
    const std::string line = WriteSet("Линия", "131", {"fibre.tra"});
    struct FailingWarning : lvtest::ScriptedPrompts {
        int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons, int help) override {
            const int answer = ScriptedPrompts::MessageDlg(text, type, buttons, help);
            if (text == kMsgSetHasNoData) throw Exception("Окно не создано");
            return answer;
        }
    } prompts;
    prompts.FileAnswers.push_back({line});
    Trigger("InControl1");
    Settle();
    EXPECT_EQ(Form->ProcessingMode(), pmNormal);
    EXPECT_EQ(Form->ModeWindow(), nullptr);
    EXPECT_TRUE(Visible(*Form, "Open1"));
    EXPECT_TRUE(Enabled("InControl1"));
    ASSERT_EQ(prompts.Messages.size(), 2u);
    EXPECT_EQ(prompts.Messages[0].Text, "Указанная папка не содержит файлов данных!");
    EXPECT_EQ(prompts.Messages[1].Text, "Окно не создано");
    EXPECT_EQ(prompts.Messages[1].Type, TMsgDlgType::mtError);
}

TEST_F(ModeTest, ConstructionDeclinedOverAnUnreadableSpliceTableKeepsTheNormalMode) {
    const std::string line = WriteSet("Трасса", "AB", {"001.tra"});
    lvtest::writeBytes(line + "/Трасса.mif", {'x', 'y', 'z'});
    Prompts.Answers.push_back(mrNo);
    Enter("Flow1", line);
    EXPECT_EQ(Form->ProcessingMode(), pmNormal);
    EXPECT_EQ(Form->ModeWindow(), nullptr);
    EXPECT_EQ(Form->TraceCount(), 0);
    EXPECT_TRUE(Visible(*Form, "M1Btn"));
    EXPECT_FALSE(Visible(*Form, "Start1B"));
    EXPECT_TRUE(Enabled("Flow1"));
    ASSERT_EQ(Prompts.Messages.size(), 1u);
    EXPECT_EQ(Prompts.Messages[0].Type, TMsgDlgType::mtConfirmation);
    EXPECT_EQ(lvtest::readBytes(line + "/Трасса.mif"), std::vector<uint8_t>({'x', 'y', 'z'})) << "the file is left as it was";
}

TEST_F(ModeTest, SeveralSetsAskForAMaskAndTheListingNumbersTheFibres) {
    WriteSet("Линия", "155", {"b01.tra", "b02.tra"}, 1550);
    const std::string line = WriteSet("Линия", "131", {"a01.tra", "a02.tra", "a07.TRA"});
    QStringList lines;
    bool closable = true;
    lvtest::WhenModal([&](QWidget* w) {
        auto* form = qobject_cast<TChooseMaskForm*>(w);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->windowTitle(), QStringLiteral("Выбор маски файлов"));
        closable = form->windowFlags() & Qt::WindowCloseButtonHint;
        for (int i = 0; i < form->List()->count(); ++i)
            lines << form->List()->item(i)->text();
        EXPECT_EQ(form->List()->currentRow(), 0);
        form->reject(); // Escape: the dialog stays
        EXPECT_TRUE(form->isVisible());
        form->List()->setCurrentRow(1);
        lvtest::ButtonText(form, QStringLiteral("OK"))->click();
    });
    Enter("InControl1", line);
    EXPECT_EQ(lines, (QStringList{QStringLiteral("b**"), QStringLiteral("a**")})) << "\"155/\" is read first";
    EXPECT_FALSE(closable);
    ASSERT_EQ(Form->TraceCount(), 3);
    // Opened from fibre 7 down: the graph holds fibre 1 in front. Upper-case names are found.
    const int expected[] = {1, 2, 7};
    for (int i = 0; i < 3; ++i) {
        TRDataStorage* store = Form->Trace(i)->Trace();
        EXPECT_EQ(Form->FibreNumberOf(store), expected[i]) << store->Caption();
    }
    EXPECT_EQ(QFileInfo(Form->Trace(2)->SourceFileName()).fileName(), QStringLiteral("a07.TRA"));
}

TEST_F(ModeTest, ASetOpensWithoutTheFilesThatFailAndNamesThemOnce) {
    WriteSet("Линия", "155", {"001.sor!", "002.sor"}, 1550);
    const std::string line = WriteSet("Линия", "131", {"001.tra", "002.tra!", "003.tra"});
    lvtest::IndicatorWatch watch;
    Enter("BeforeControl1", line);
    EXPECT_EQ(Form->TraceCount(), 3);
    ASSERT_EQ(Prompts.Messages.size(), 1u) << "one message for every file left out";
    const std::string& text = Prompts.Messages[0].Text;
    EXPECT_EQ(Prompts.Messages[0].Type, TMsgDlgType::mtWarning);
    EXPECT_EQ(text.rfind("Не удалось открыть файлы набора, они пропущены:\r\n155/001.sor: ", 0), 0u) << text;
    EXPECT_NE(text.find("\r\n131/002.tra: "), std::string::npos) << text;
    EXPECT_EQ(watch.Shown, std::vector<QString>{QStringLiteral("Lumvaris|Идет загрузка трасс...")});
    // The last one opened is the current trace: fibre 1 of "131/".
    EXPECT_EQ(Form->ActiveTrace()->SourceFileName(), QString::fromStdString(line + "/131/001.tra"));
}

TEST_F(ModeTest, ASetLeavesTheGraphAsTracesOpenedOneByOne) {
    // Fibres of different lengths: the world and the view must come out as the command line's
    // opening, trace after trace, makes them.
    const std::string line = Dir.file("Линия");
    QStringList files;
    for (const auto& [name, km] :
         {std::pair{"003.tra", 5.0}, std::pair{"002.tra", 25.0}, std::pair{"001.tra", 12.0}}) {
        TSynthOptions o;
        o.lengthKm = km;
        o.samples = 3000;
        const std::string path = line + "/131/" + name;
        std::filesystem::create_directories(line + "/131");
        lvtest::WriteTraceFile(path, o, name);
        files << QString::fromStdString(path);
    }
    Form->resize(1024, 740);
    Form->show();
    Settle();
    Enter("InControl1", line);
    ASSERT_EQ(Form->TraceCount(), 3);
    const TRealRect world = Form->MainGraph->GetExts(), view = Form->MainGraph->GetVisExts();
    Form->ModeWindow()->close();
    Settle();
    Form->OpenCommandLineFiles(files);
    Settle();
    EXPECT_EQ(Form->MainGraph->GetExts(), world);
    EXPECT_EQ(Form->MainGraph->GetVisExts(), view);
    EXPECT_GT(world.XMax, 20.0);
}

// Construction mode from the menu to the written table: the line's folder with both directions,
// splices placed from the main window's button and the graph menu, the end set, the direction
// changed, the report through the in-memory office, the window closed; entering again reads the
// table back.
TEST_F(ModeTest, ConstructionFromTheMenuToTheWrittenTable) {
    lvtest::SyntheticLine line;
    line.LengthKm = 20;
    line.SplicesKm = {4, 9};
    line.Samples = 4000;
    const std::string folder = Dir.file("Трасса 3");
    std::vector<lvtest::LineFibre> fibres(2);
    for (int n = 1; n <= 2; ++n) {
        fibres[n - 1].Number = n;
        fibres[n - 1].LossAB = fibres[n - 1].LossBA = {0.1, 0.2};
    }
    line.Write(folder + "/", fibres);
    const std::string mif = folder + "/Трасса 3.mif";
    Form->resize(1100, 760);
    Form->show();
    Settle();

    Enter("Flow1", folder);
    auto* flow = qobject_cast<TFlowForm*>(Form->ModeWindow());
    ASSERT_NE(flow, nullptr);
    EXPECT_EQ(Form->ProcessingMode(), pmConstruction);
    EXPECT_EQ(flow->windowTitle(), QStringLiteral("Трасса 3"));
    EXPECT_EQ(flow->SpliceFile(), mif);
    ASSERT_EQ(Form->TraceCount(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_NE(Form->Trace(i)->SourceFileName().indexOf(QStringLiteral("/AB/")), -1);
    TFakeSpreadsheetApp office;
    flow->SetOffice(&office);

    TMainGraph& g = *Form->MainGraph;
    auto graphM2 = [&] { return g.Marker(2)->Shown() ? TOptKm(g.Marker(2)->X()) : std::nullopt; };
    g.SetCursorX(4);
    Trigger("Muff1B");
    g.SetCursorX(9);
    ASSERT_TRUE(g.Popup({40, 40}));
    Form->GraphPopup()->hide();
    QAction* popupMuff = Form->PopupItem(QStringLiteral("SetMuff"));
    ASSERT_TRUE(popupMuff->isVisible() && popupMuff->isEnabled());
    popupMuff->trigger(); // the graph menu's twin
    g.SetCursorX(20);
    Trigger("End1B");
    Settle();
    const TSpliceTable& table = flow->Editor().Table();
    ASSERT_EQ(table.Count(), 2);
    EXPECT_EQ(table.Record(1).MName, "Муфта 2");
    EXPECT_EQ(flow->Editor().End(), 20.0);
    EXPECT_EQ(table.Record(0).MPosR, 16.0);
    EXPECT_EQ(graphM2(), 9.0) << "the current splice's markers";

    flow->Command(QStringLiteral("ChangeDir1B"))->trigger();
    Settle();
    ASSERT_EQ(Form->TraceCount(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_NE(Form->Trace(i)->SourceFileName().indexOf(QStringLiteral("/BA/")), -1);
    EXPECT_EQ(graphM2(), 11.0) << "the splice at 9 km seen from B";
    g.SetCursorX(11.2); // the operator places it where B's trace shows it
    Trigger("Muff1B");
    EXPECT_EQ(table.Count(), 2);
    EXPECT_EQ(table.Current()->MPosR, 11.2);
    EXPECT_EQ(table.Current()->MPosF, 9.0);

    flow->Command(QStringLiteral("ReportBtn"))->trigger();
    Settle();
    ASSERT_EQ(office.Books.size(), 1u);
    EXPECT_TRUE(office.Books[0]->Visible);
    EXPECT_NE(office.Books[0]->FindSheet("Муфта 1"), nullptr);
    EXPECT_NE(office.Books[0]->FindSheet("Муфта 2"), nullptr);
    EXPECT_TRUE(Prompts.Messages.empty());
    const std::vector<TSpliceRecord> written = table.Records();

    flow->close();
    Settle();
    EXPECT_EQ(Form->ProcessingMode(), pmNormal);
    EXPECT_EQ(Form->ModeWindow(), nullptr);
    EXPECT_EQ(Form->TraceCount(), 0);
    EXPECT_FALSE(Visible(*Form, "Muff1B"));
    EXPECT_TRUE(Enabled("Flow1"));
    EXPECT_EQ(LoadSpliceFile(mif), written);

    // Again: the table from its file, from A.
    Enter("Flow1B", folder);
    flow = qobject_cast<TFlowForm*>(Form->ModeWindow());
    ASSERT_NE(flow, nullptr);
    EXPECT_EQ(flow->Editor().Direction(), TFlowDirection::AB);
    EXPECT_EQ(flow->Editor().Table().Records(), written);
    EXPECT_EQ(flow->Editor().End(), 20.0);
    EXPECT_EQ(flow->Grid()->rowCount(), 2);
    EXPECT_TRUE(Prompts.Messages.empty());
}
