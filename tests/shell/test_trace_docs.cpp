// Trace documents of the main window: open, close, save, save as, save all, save before print,
// titles and the names made from them.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include "MainFormFixture.h"
#include "ShellTestSupport.h"
#include "display/uGraphsCmps.h"
#include "formats/FileErrors.h"
#include "shell/uTraceNames.h"
#include "support/Corpus.h"

using namespace lv;
using lvtest::MainFormTest;

namespace {

std::string bytesOf(const QString& path, int count) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.read(count).toStdString();
}

// Bellcore data as the system writes it: revision-1 layout, revision number 100, "GenParams" first.
bool isSorData(const QString& path) {
    const std::string head = bytesOf(path, 17);
    return head.size() == 17 && head.compare(0, 2, std::string("d\0", 2)) == 0 &&
           head.compare(8, 9, std::string("GenParams")) == 0;
}

// Answers the next title prompt with `text`.
void AnswerTitle(const QString& text) {
    lvtest::WhenModal([text](QWidget* w) {
        w->findChild<QLineEdit*>()->setText(text);
        lvtest::ButtonText(w, QStringLiteral("OK"))->click();
    });
}

// ---- names ----------------------------------------------------------------------------------------

TEST(TraceNames, TitlePromptRemovesItsCharactersAfterCuttingTo32) {
    const struct {
        const char* Answer;
        const char* Title;
    } rows[] = {
        {"Line 1/2: test.", "Line 12 test"},
        {"Барабан 12", "Барабан 12"},
        {"a\"b%c'd,e.f/g:h;i<j=k>l?m@n\\o`p{q", "abcdefghijklmnop"},
        {"Київ", "Кив"}, // ї is Windows-1251 code 191, in the removal set
        {"x\ty\r\nz", "xyz"},
        {"0123456789012345678901234567890123456789", "01234567890123456789012345678901"},
        {"...............................ab", "a"}, // the cut comes first, then the removal
        {"*|", "*|"},                               // harmless in a title; file names drop them
    };
    for (const auto& r : rows)
        EXPECT_EQ(CleanTitle(QString::fromUtf8(r.Answer)), QString::fromUtf8(r.Title)) << r.Answer;
}

TEST(TraceNames, WavelengthCodeAndDerivedNames) {
    EXPECT_EQ(WavelengthCode(1.55), QStringLiteral("155"));
    EXPECT_EQ(WavelengthCode(1.31), QStringLiteral("131"));
    EXPECT_EQ(WavelengthCode(1.625), QStringLiteral("162")); // half to even
    EXPECT_EQ(WavelengthCode(0), QString());
    EXPECT_EQ(WavelengthCode(-1.55), QString());
    EXPECT_EQ(WavelengthCode(std::nan("")), QString());
    EXPECT_EQ(SuggestedSaveName(QStringLiteral("Барабан 12"), 1.55), QStringLiteral("Барабан 12(155)"));
    EXPECT_EQ(DataFolderName(QStringLiteral("D:\\Data\\"), QStringLiteral("Барабан 12"), 1.31),
              QStringLiteral("D:/Data/Барабан 12(131).tra"));
    EXPECT_EQ(DataFolderName(QStringLiteral("/data"), QStringLiteral("x"), 0),
              QStringLiteral("/data/x().tra"));
}

TEST(TraceNames, NamePartsNeverLeaveTheirFolder) {
    const struct {
        const char* Caption;
        const char* Part;
    } rows[] = {
        {"../../x", "x"},
        {"a*b|c\\d/e", "abcde"},
        {"...", "Без имени"},
        {"", "Без имени"},
        {"  .profile ", "profile"},
        {"C:\\Windows\\win.ini", "CWindowswinini"},
        {"Барабан 12", "Барабан 12"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(SafeNamePart(QString::fromUtf8(r.Caption)), QString::fromUtf8(r.Part)) << r.Caption;
    EXPECT_TRUE(LiesDirectlyIn(DataFolderName(QStringLiteral("/tmp/d/"), QStringLiteral("../../x"), 1.31),
                               QStringLiteral("/tmp/d/")));
    EXPECT_FALSE(LiesDirectlyIn(QStringLiteral("/tmp/d/../x.tra"), QStringLiteral("/tmp/d/")));
}

// ---- open and close ---------------------------------------------------------------------------------

TEST_F(MainFormTest, OpenLoadsTheChosenFilesInOrderAndTheLastBecomesActive) {
    const QString a = TraceFile("a.tra", 1310, "A"), b = TraceFile("b.tra", 1550, "B"),
                  c = TraceFile("c.sor", 1550, "C");
    Prompts.FileAnswers = {{a.toStdString(), b.toStdString(), c.toStdString()}};
    Trigger("Open1");
    ASSERT_EQ(Prompts.Dialogs.size(), 1u);
    const TFileDialogRequest& r = Prompts.Dialogs[0];
    EXPECT_EQ(r.Title, "Открыть файл");
    EXPECT_EQ(r.Filter, kTraceFileFilter);
    EXPECT_EQ(r.FilterIndex, 3);
    EXPECT_EQ(r.DefaultExt, "tra");
    EXPECT_TRUE(r.AllowMultiSelect);
    EXPECT_FALSE(r.Save);

    ASSERT_EQ(Form->TraceCount(), 3);
    EXPECT_EQ(Form->Trace(0)->SourceFileName(), c);
    EXPECT_EQ(Form->Trace(1)->SourceFileName(), b);
    EXPECT_EQ(Form->Trace(2)->SourceFileName(), a);
    EXPECT_EQ(Form->ActiveTrace(), Form->Trace(0));
    EXPECT_EQ(Form->ActiveTrace()->Caption(), QStringLiteral("C"));
    EXPECT_EQ(Form->LastOpenDir, Folder());
    EXPECT_TRUE(Prompts.Messages.empty());

    // One file chosen: the folder stays; the next dialog starts there.
    Form->LastOpenDir = QStringLiteral("/elsewhere/");
    Prompts.FileAnswers = {{a.toStdString()}};
    Trigger("Open1B");
    EXPECT_EQ(Prompts.Dialogs.back().InitialDir, "/elsewhere/");
    EXPECT_EQ(Form->TraceCount(), 4);
    EXPECT_EQ(Form->LastOpenDir, QStringLiteral("/elsewhere/"));
}

// The open dialog starts in the folder of the last several files opened, else the data folder,
// else the working folder; the save dialog in the data folder, else beside the trace's file.
TEST_F(MainFormTest, DialogsStartInTheirOwnFolders) {
    const QString here = QDir::currentPath() + u'/';
    const QString a = TraceFile("a.tra");
    struct Row {
        QString LastOpenDir, DataDir, Open, Save;
    };
    const Row rows[] = {
        {QString(), QString(), here, Folder()},
        {QString(), QStringLiteral("/data/"), QStringLiteral("/data/"), QStringLiteral("/data/")},
        {QStringLiteral("/last/"), QStringLiteral("/data/"), QStringLiteral("/last/"), QStringLiteral("/data/")},
    };
    ASSERT_EQ(Form->OpenTraceFiles({a}), 1);
    for (const Row& r : rows) {
        Form->LastOpenDir = r.LastOpenDir;
        Form->Settings().DataDir = r.DataDir.toStdString();
        Prompts.Dialogs.clear();
        Trigger("Open1");   // cancelled
        Trigger("SaveAs1"); // cancelled
        ASSERT_EQ(Prompts.Dialogs.size(), 2u);
        EXPECT_EQ(QString::fromStdString(Prompts.Dialogs[0].InitialDir), r.Open);
        EXPECT_EQ(QString::fromStdString(Prompts.Dialogs[1].InitialDir), r.Save);
    }
}

TEST_F(MainFormTest, AFileThatFailsStopsTheRestOfTheSelection) {
    const QString a = TraceFile("a.tra"), c = TraceFile("c.tra");
    const std::string broken = Dir.file("broken.tra");
    lvtest::writeBytes(broken, std::vector<uint8_t>(3000, 0x5A));
    Prompts.FileAnswers = {{a.toStdString(), broken, c.toStdString()}};
    Trigger("Open1");
    ASSERT_EQ(Form->TraceCount(), 1);
    EXPECT_EQ(Form->Trace(0)->SourceFileName(), a);
    // The failing file's store went with its item; only the open trace's store is left.
    EXPECT_EQ(Work.ComponentCount(), 1);
    // The operator is told which file failed and which were not opened after it.
    ASSERT_FALSE(Prompts.Messages.empty());
    EXPECT_EQ(Prompts.Messages.back().Text,
              "Файл \"" + broken + "\" не открыт.\r\nНе открыты и выбранные после него файлы (1):\r\nc.tra");
    EXPECT_EQ(Prompts.Messages.back().Type, TMsgDlgType::mtError);

    // From the command line every file is tried on its own.
    Form->CloseAllTraces();
    Form->OpenCommandLineFiles(
        {a, QString::fromStdString(broken), QString::fromStdString(Dir.file("none.tra")), c});
    ASSERT_EQ(Form->TraceCount(), 2);
    EXPECT_EQ(Form->Trace(0)->SourceFileName(), c);
    EXPECT_EQ(Form->Trace(1)->SourceFileName(), a);
}

// Files a second start handed over: opened as command-line files; during a processing
// window's work, whose traces are its own, not opened, with a word why.
TEST_F(MainFormTest, FilesHandedOverByASecondStartAreOpened) {
    const QString a = TraceFile("a.tra", 1310, "A"), b = TraceFile("b.tra", 1550, "B");
    Form->SetProcessingMode(2);
    Form->OpenHandedOverFiles({a, b});
    EXPECT_EQ(Form->TraceCount(), 0);
    ASSERT_EQ(Prompts.Messages.size(), 1u);
    EXPECT_EQ(Prompts.Messages[0].Text, kMsgFilesDuringProcessing);
    Form->SetProcessingMode(0);
    Form->OpenHandedOverFiles({a, QString::fromStdString(Dir.file("none.tra")), b});
    ASSERT_EQ(Form->TraceCount(), 2);
    EXPECT_EQ(Form->ActiveTrace()->SourceFileName(), b);
}

// Traces named on the command line arrive one by one, as if the operator opened them so (the
// first alone sets the graph's world), but the main graph paints once, when all of them are in.
TEST_F(MainFormTest, CommandLineTracesArePaintedOnceInTheWorldOfOpeningThemOneByOne) {
    const QStringList files = {TraceFile("a.tra", 1310, "A", 1), TraceFile("b.tra", 1550, "B", 2),
                               TraceFile("c.tra", 1625, "C", 3)};
    Form->show();
    Settle();
    for (const QString& f : files) {
        ASSERT_EQ(Form->OpenTraceFiles({f}), 1);
        Settle();
    }
    const TRealRect world = Form->MainGraph->GetExts(), shown = Form->MainGraph->GetVisExts();

    Form = std::make_unique<TMainForm>(Work);
    Form->show();
    Settle();
    struct PaintCounter : QObject {
        TGraphView* graph;
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            // A graph whose updates are held skips the paint.
            if (e->type() == QEvent::Paint && graph->UpdateCount() == 0 && graph->Data().Count() > 0)
                ++paints;
            return false;
        }
    } counter;
    counter.graph = Form->MainGraph;
    Form->MainGraph->viewport()->installEventFilter(&counter);
    Form->OpenCommandLineFiles(files);
    Settle();
    ASSERT_EQ(Form->TraceCount(), 3);
    EXPECT_EQ(counter.paints, 1);
    EXPECT_EQ(Form->MainGraph->GetExts(), world);
    EXPECT_EQ(Form->MainGraph->GetVisExts(), shown);
    Form->MainGraph->viewport()->removeEventFilter(&counter);
}

TEST_F(MainFormTest, CloseTakesTheFrontTraceAndCloseAllTakesEveryOne) {
    const QString a = TraceFile("a.tra", 1310, "A"), b = TraceFile("b.tra", 1550, "B");
    ASSERT_EQ(Form->OpenTraceFiles({a, b}), 2);
    Settle();
    Trigger("Close1B");
    ASSERT_EQ(Form->TraceCount(), 1);
    EXPECT_EQ(Form->ActiveTrace()->Caption(), QStringLiteral("A"));
    Settle();
    EXPECT_EQ(Form->NamePanel()->toolTip(), a);

    ASSERT_EQ(Form->OpenTraceFiles({b}), 1);
    Trigger("CloseAll1");
    EXPECT_EQ(Form->TraceCount(), 0);
    Settle();
    // Every store went, the overview's hold on the last one included.
    EXPECT_EQ(Work.ComponentCount(), 0);
    EXPECT_EQ(Form->OverviewGraph->Curve()->Storage(), nullptr);
    EXPECT_FALSE(Enabled("CloseAll1"));
}

// A double-click on the graph's header titles the active trace.
TEST_F(MainFormTest, DoubleClickOnTheHeaderRetitlesTheActiveTrace) {
    ASSERT_EQ(Form->OpenTraceFiles({TraceFile("a.tra", 1550, "Старый")}), 1);
    Form->show();
    Settle();
    TMainGraph* g = Form->MainGraph;
    const TRect header = g->AreaRect(woHeader);
    ASSERT_FALSE(header.IsEmpty());
    auto doubleClick = [g](QPoint at) {
        QMouseEvent e(QEvent::MouseButtonDblClick, QPointF(at), g->viewport()->mapToGlobal(QPointF(at)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(g->viewport(), &e);
    };
    const QPoint inHeader((header.Left + header.Right) / 2, (header.Top + header.Bottom) / 2);

    QString prompt;
    lvtest::WhenModal([&prompt](QWidget* w) {
        prompt = w->findChild<QLabel*>()->text();
        w->findChild<QLineEdit*>()->setText(QStringLiteral("Новый: заголовок"));
        lvtest::ButtonText(w, QStringLiteral("OK"))->click();
    });
    doubleClick(inHeader);
    EXPECT_EQ(prompt, QStringLiteral("Введите заголовок для графика (Белый)"));
    EXPECT_EQ(Form->ActiveTrace()->Caption(), QStringLiteral("Новый заголовок"));

    // A title differing only in letter case is not taken; the content area asks nothing.
    AnswerTitle(QStringLiteral("НОВЫЙ ЗАГОЛОВОК"));
    doubleClick(inHeader);
    EXPECT_EQ(Form->ActiveTrace()->Caption(), QStringLiteral("Новый заголовок"));
    bool asked = false;
    QTimer::singleShot(50, [&asked] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            asked = true;
            w->close();
        }
    });
    const TRect content = g->ContentRect();
    doubleClick(QPoint((content.Left + content.Right) / 2, (content.Top + content.Bottom) / 2));
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 100)
        QApplication::processEvents();
    EXPECT_FALSE(asked);
}

// ---- saving ---------------------------------------------------------------------------------------------

TEST_F(MainFormTest, SaveKeepsTheFormatOfTheFileAndSaveAsTakesTheChosenOne) {
    const QString sor = TraceFile("own.sor", 1550, "Старое");
    ASSERT_EQ(Form->OpenTraceFiles({sor}), 1);
    Form->ActiveTrace()->SetCaption(QStringLiteral("Новое"));
    Trigger("Save1");
    EXPECT_TRUE(Prompts.Messages.empty()); // our own file: no question, and the file check passes
    EXPECT_TRUE(isSorData(sor));
    EXPECT_EQ(lvtest::ReadTraceFile(sor.toStdString()).Caption, "Новое");

    Form->Settings().DataDir = Folder().toStdString();
    const QString tra = Folder() + QStringLiteral("copy.tra");
    Prompts.FileAnswers = {{tra.toStdString()}};
    Trigger("SaveAs1");
    ASSERT_EQ(Prompts.Dialogs.size(), 1u);
    const TFileDialogRequest& r = Prompts.Dialogs[0];
    EXPECT_TRUE(r.Save);
    EXPECT_EQ(r.Title, "Сохранить файл");
    EXPECT_EQ(r.FilterIndex, 1);
    EXPECT_TRUE(r.OverwritePrompt);
    EXPECT_EQ(QString::fromStdString(r.InitialDir), Folder());
    EXPECT_EQ(QString::fromStdString(r.FileName), Folder() + QStringLiteral("Новое(155)"));
    ASSERT_TRUE(QFileInfo::exists(tra));
    EXPECT_FALSE(isSorData(tra));
    EXPECT_EQ(lvtest::ReadTraceFile(tra.toStdString()).Caption, "Новое");
    EXPECT_EQ(Form->ActiveTrace()->SourceFileName(), tra);
    EXPECT_EQ(Form->NamePanel()->toolTip(), tra);
    EXPECT_TRUE(Prompts.Messages.empty());
}

TEST_F(MainFormTest, SaveButtonRunsSaveAsWhileDoSaveAsIsSet) {
    const QString a = TraceFile("a.tra");
    ASSERT_EQ(Form->OpenTraceFiles({a}), 1);
    Form->Settings().DoSaveAs = true;
    Prompts.FileAnswers = {{}}; // the dialog is cancelled
    Trigger("Save1B");
    EXPECT_EQ(Prompts.Dialogs.size(), 1u);
    // Without the switch the button saves into the trace's own file, as the menu item always does.
    Form->Settings().DoSaveAs = false;
    Form->ActiveTrace()->SetCaption(QStringLiteral("Кнопка"));
    Trigger("Save1B");
    EXPECT_EQ(lvtest::ReadTraceFile(a.toStdString()).Caption, "Кнопка");
    Form->ActiveTrace()->SetCaption(QStringLiteral("Меню"));
    Trigger("Save1");
    EXPECT_EQ(lvtest::ReadTraceFile(a.toStdString()).Caption, "Меню");
    EXPECT_EQ(Prompts.Dialogs.size(), 1u);
}

TEST_F(MainFormTest, SaveAsAsksForTheMissingTitleFirst) {
    const QString a = TraceFile("untitled.tra", 1550, "");
    ASSERT_EQ(Form->OpenTraceFiles({a}), 1);
    ASSERT_TRUE(Form->ActiveTrace()->Caption().isEmpty());
    Form->Settings().DataDir = Folder().toStdString();
    Prompts.FileAnswers = {{}};
    AnswerTitle(QStringLiteral("Line 1/2: test."));
    Trigger("SaveAs1");
    EXPECT_EQ(Form->ActiveTrace()->Caption(), QStringLiteral("Line 12 test"));
    ASSERT_EQ(Prompts.Dialogs.size(), 1u);
    EXPECT_EQ(QString::fromStdString(Prompts.Dialogs[0].FileName),
              Folder() + QStringLiteral("Line 12 test(155)"));
}

TEST_F(MainFormTest, SaveAllAsksForEachTraceWithAFile) {
    const QString a = TraceFile("a.tra", 1310, "A"), b = TraceFile("b.tra", 1550, "B");
    ASSERT_EQ(Form->OpenTraceFiles({a, b}), 2);
    Form->Trace(0)->SetCaption(QStringLiteral("B2"));
    Form->Trace(1)->SetCaption(QStringLiteral("A2"));
    Prompts.Answers = {mrYes, mrNo};
    Trigger("SaveAll1");
    ASSERT_EQ(Prompts.Messages.size(), 2u);
    EXPECT_EQ(QString::fromStdString(Prompts.Messages[0].Text),
              QStringLiteral("Перезаписать файл ") + b + u'?');
    EXPECT_EQ(Prompts.Messages[0].Buttons, TMsgDlgButtons(mbYes | mbNo));
    EXPECT_EQ(QString::fromStdString(Prompts.Messages[1].Text),
              QStringLiteral("Перезаписать файл ") + a + u'?');
    EXPECT_EQ(lvtest::ReadTraceFile(b.toStdString()).Caption, "B2");
    EXPECT_EQ(lvtest::ReadTraceFile(a.toStdString()).Caption, "A");
}

TEST_F(MainFormTest, SaveBeforePrintWritesIntoTheDataFolderAndAsksBeforeOverwriting) {
    const QString a = TraceFile("a.tra", 1310, "Барабан 12");
    ASSERT_EQ(Form->OpenTraceFiles({a}), 1);
    const QString data = Folder() + QStringLiteral("Data/");
    ASSERT_TRUE(QDir().mkpath(data));
    Form->Settings().DataDir = data.toStdString();
    const QString expected = data + QStringLiteral("Барабан 12(131).tra");

    EXPECT_EQ(Form->SaveTracesBeforePrint(), 1);
    EXPECT_TRUE(Prompts.Messages.empty());
    ASSERT_TRUE(QFileInfo::exists(expected));
    EXPECT_EQ(Form->ActiveTrace()->SourceFileName(), expected);

    Prompts.Answers = {mrNo};
    EXPECT_EQ(Form->SaveTracesBeforePrint(), 0);
    ASSERT_EQ(Prompts.Messages.size(), 1u);
    EXPECT_EQ(QString::fromStdString(Prompts.Messages[0].Text),
              QStringLiteral("Перезаписать файл ") + expected + u'?');
    Prompts.Answers = {mrYes};
    EXPECT_EQ(Form->SaveTracesBeforePrint(), 1);
}

TEST_F(MainFormTest, SaveBeforePrintWithoutADataFolderStaysBesideTheTrace) {
    const QString a = TraceFile("a.tra", 1550, "Барабан 3");
    ASSERT_EQ(Form->OpenTraceFiles({a}), 1);
    Form->Settings().DataDir.clear();
    EXPECT_EQ(Form->SaveTracesBeforePrint(), 1);
    EXPECT_TRUE(QFileInfo::exists(Folder() + QStringLiteral("Барабан 3(155).tra")));
}

TEST_F(MainFormTest, ACaptionWithFoldersStillSavesInsideTheDataFolder) {
    const QString data = Folder() + QStringLiteral("d1/d2/");
    ASSERT_TRUE(QDir().mkpath(data));
    const QString a = TraceFile("a.tra", 1310, "../../x");
    ASSERT_EQ(Form->OpenTraceFiles({a}), 1);
    ASSERT_EQ(Form->ActiveTrace()->Caption(), QStringLiteral("../../x"));
    Form->Settings().DataDir = data.toStdString();
    EXPECT_EQ(Form->SaveTracesBeforePrint(), 1);
    EXPECT_TRUE(QFileInfo::exists(data + QStringLiteral("x(131).tra")));
    EXPECT_FALSE(QFileInfo::exists(Folder() + QStringLiteral("x(131).tra")));

    Prompts.FileAnswers = {{}};
    Trigger("SaveAs1");
    EXPECT_EQ(QString::fromStdString(Prompts.Dialogs.back().FileName), data + QStringLiteral("x(131)"));
}

// ---- instruments' own files ----------------------------------------------------------------------------

class ForeignSorTest : public MainFormTest {
protected:
    void SetUp() override {
        LVTEST_NEEDS_CORPUS("sor/JamesHarrison__otdrs__example1-noyes-ofl280.sor");
        MainFormTest::SetUp();
        Sor = CorpusCopy("JamesHarrison__otdrs__example1-noyes-ofl280.sor", "foreign.sor");
        Original = lvtest::readBytes(Sor.toStdString());
    }
    QString Sor;
    std::vector<uint8_t> Original;
};

TEST_F(ForeignSorTest, ExplicitSaveAsksFirstAndImplicitSavesNeverRewriteIt) {
    // Construction documentation switches the fit of every loaded trace; an instrument's file
    // keeps its bytes, the change stays in memory.
    Form->SetProcessingMode(1);
    ASSERT_EQ(Form->OpenTraceFiles({Sor}), 1);
    EXPECT_EQ(Form->ActiveTrace()->ApproxMode(), 1);
    EXPECT_EQ(lvtest::readBytes(Sor.toStdString()), Original);

    // "Сохранить" names what the file would lose, offers a copy, and keeps the file on Enter.
    Trigger("Save1");
    ASSERT_EQ(Prompts.Choices.size(), 1u);
    const TChoiceRequest q = Prompts.Choices[0];
    EXPECT_EQ(q.Buttons, (std::vector<std::string>{"Да", "Нет", "Сохранить как…"}));
    EXPECT_EQ(q.Buttons.at(size_t(q.DefaultButton)), "Нет");
    EXPECT_EQ(q.CancelButton, q.DefaultButton);
    for (const std::string& part :
         {QDir::toNativeSeparators(Sor).toStdString(), std::string("таблицы событий прибора (событий: 3)"),
          std::string("блоки FodParams, Fod02Params, Fod04Params, Fod03Params"),
          std::string("«Сохранить как…»")})
        EXPECT_NE(q.Text.find(part), std::string::npos) << part << "\n" << q.Text;
    EXPECT_EQ(q.Text.find("KeyEvents"), std::string::npos) << "the event table is named as such";
    EXPECT_TRUE(Prompts.Messages.empty()) << "no second, plain question";
    EXPECT_EQ(lvtest::readBytes(Sor.toStdString()), Original);

    // "Сохранить все" asks the same, and "Сохранить как…" writes a copy: the instrument's file
    // stays as it was, the trace now belongs to the copy.
    const QString copy = Folder() + QStringLiteral("copy.sor");
    Prompts.ChoiceAnswers = {2};
    Prompts.FileAnswers = {{copy.toStdString()}};
    Trigger("SaveAll1");
    ASSERT_EQ(Prompts.Choices.size(), 2u);
    EXPECT_EQ(Prompts.Choices[1].Text, q.Text);
    EXPECT_TRUE(isSorData(copy));
    EXPECT_EQ(Form->ActiveTrace()->SourceFileName(), copy);
    EXPECT_EQ(lvtest::readBytes(Sor.toStdString()), Original);

    // "Да" rewrites it in the system's layout; after that it is the system's own file.
    Trigger("Close1");
    ASSERT_EQ(Form->OpenTraceFiles({Sor}), 1);
    Prompts.ChoiceAnswers = {0};
    Trigger("Save1");
    EXPECT_TRUE(isSorData(Sor));
    const size_t asked = Prompts.Choices.size();
    Trigger("Save1");
    EXPECT_EQ(Prompts.Choices.size(), asked);
    EXPECT_TRUE(Prompts.Messages.empty());
}

TEST_F(MainFormTest, ConstructionDocumentationSavesTheLeastSquaresFitIntoOwnFiles) {
    const QString a = TraceFile("a.tra", 1550, "A", 1, 0);
    ASSERT_EQ(lvtest::ReadTraceFile(a.toStdString()).Approximation, 0);
    Form->SetProcessingMode(1);
    ASSERT_EQ(Form->OpenTraceFiles({a}), 1);
    EXPECT_EQ(lvtest::ReadTraceFile(a.toStdString()).Approximation, 1);
}

} // namespace

TEST_F(MainFormTest, ReportWindowsWorkThroughTheHostInterface) {
    IReportHost& host = *Form;
    const std::string a = TraceFile("1.tra", 1310, "Волокно 1").toStdString();
    const std::string b = TraceFile("2.tra", 1550, "Волокно 2").toStdString();
    // A file that fails ends the list: the one after it is not opened.
    EXPECT_THROW(host.OpenTraceFiles({a, b, Dir.file("3.tra"), a}), EFileError);
    ASSERT_EQ(Form->TraceCount(), 2);
    EXPECT_EQ(Form->ActiveTrace()->Caption(), QStringLiteral("Волокно 2"));

    struct Row {
        TReportMarker marker;
        double km;
        int storeIndex;
    };
    const Row rows[] = {{TReportMarker::M1, 1.0, 0},
                        {TReportMarker::M2, 4.0, 1},
                        {TReportMarker::MY, 5.0, 4},
                        {TReportMarker::M3, 8.0, 2}};
    for (const Row& r : rows) {
        EXPECT_EQ(host.MarkerPosition(r.marker), -1.0);
        host.SetMarkerPosition(r.marker, r.km);
    }
    for (const Row& r : rows) {
        EXPECT_DOUBLE_EQ(host.MarkerPosition(r.marker), r.km);
        EXPECT_DOUBLE_EQ(Form->ActiveTrace()->MarkerPos(r.storeIndex), r.km); // kept by the trace
    }
    host.SetMarkerPosition(TReportMarker::M3, 0.5); // before M1: the order refuses it
    EXPECT_DOUBLE_EQ(host.MarkerPosition(TReportMarker::M3), 8.0);
    host.SetMarkerPosition(TReportMarker::MY, -1);
    EXPECT_EQ(host.MarkerPosition(TReportMarker::MY), -1.0);
    host.ClearMarkers();
    for (const Row& r : rows)
        EXPECT_EQ(host.MarkerPosition(r.marker), -1.0);

    Form->MainGraph->SetCursorX(3.0);
    EXPECT_NEAR(host.CursorPosition(), 3.0, 0.01);

    host.Settings().DataDir = Folder().toStdString() + "Data/";
    ASSERT_TRUE(QDir().mkpath(Folder() + QStringLiteral("Data")));
    EXPECT_EQ(host.SaveTracesBeforePrint(), 2);
    EXPECT_TRUE(QFileInfo::exists(Folder() + QStringLiteral("Data/Волокно 1(131).tra")));

    host.SetProcessingMode(pmIncoming);
    EXPECT_EQ(Form->ProcessingMode(), pmIncoming);
    EXPECT_FALSE(Form->CloseQuery()); // no exit while a work mode is on
    host.SetProcessingMode(pmNormal);
    host.CloseAllTraces();
    EXPECT_EQ(Form->TraceCount(), 0);
    EXPECT_EQ(host.CursorPosition(), -1.0);
    EXPECT_EQ(host.MarkerPosition(TReportMarker::M1), -1.0);
}
