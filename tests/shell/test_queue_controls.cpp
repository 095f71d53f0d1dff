// The main window's print-queue controls: the eight markings in ComboBox1 with the stored choice,
// the picture count in PicturesCountPanel, adding, printing and clearing the queue, the combo box
// snapping back when a change is cancelled, the error when there is no printer, and the print
// properties kept in the graph file.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPrinterInfo>

#include "MainFormFixture.h"
#include "display/uGraphsCmps.h"
#include "printing/uPrintQueue.h"
#include "support/RecordingPrinter.h"

using namespace lv;
using lvtest::MainFormTest;

namespace {

class QueueControlsTest : public MainFormTest {
protected:
    QLabel* Count() const { return Form->findChild<QLabel*>(QStringLiteral("PicturesCountPanel")); }
    lvtest::RecordingPrinter Printer;
};

TEST_F(QueueControlsTest, TheQueueStartsWithItsEightMarkingsAndTheStoredChoice) {
    QComboBox* combo = Form->FramesPerPage();
    ASSERT_EQ(combo->count(), 8);
    const char* const texts[] = {"1 кадр",   "2 кадра",  "3 кадра",  "4 кадра",
                                 "5 кадров", "6 кадров", "7 кадров", "8 кадров"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(combo->itemText(i), QString::fromUtf8(texts[i]));
        EXPECT_EQ(Form->PrintQueue().Marking(i).Data().Frames.Count(), i + 1);
    }
    EXPECT_EQ(combo->currentIndex(), 2);
    EXPECT_EQ(Form->PrintQueue().MarkingIndex(), 2);
    EXPECT_TRUE(combo->isEnabled());
    EXPECT_EQ(Count()->text(), QStringLiteral("0"));
    for (const char* name : {"AddToQueueBtn", "PrintQueueBtn", "ClearQueueBtn"})
        EXPECT_TRUE(Enabled(name)) << name; // with no trace too

    // The choice is stored at the close and comes back into the combo box and the queue.
    ChooseMarking(5);
    ASSERT_TRUE(Form->close());
    Form = std::make_unique<TMainForm>(Work);
    EXPECT_EQ(Form->FramesPerPage()->currentIndex(), 5);
    EXPECT_EQ(Form->PrintQueue().MarkingIndex(), 5);
    EXPECT_TRUE(Prompts.Messages.empty());
}

TEST_F(QueueControlsTest, AddingCountsThePicturesAndAFullSheetIsPrintedAtOnce) {
    Form->PrintQueue().SetPrinter(&Printer);
    Form->Settings().SaveBeforePrint = false;
    OpenNumbered(4);
    Trigger("AddToQueueBtn"); // "3 кадра": one sheet at once, one picture waits
    EXPECT_EQ(Printer.Submitted, 1);
    EXPECT_EQ(Printer.Pages.size(), 1u);
    EXPECT_EQ(Count()->text(), QStringLiteral("1"));
    EXPECT_EQ(Form->MainGraph->PrintSettings().PrintCopies(), 1);

    Trigger("PrintQueueBtn");
    EXPECT_EQ(Printer.Submitted, 2);
    EXPECT_EQ(Count()->text(), QStringLiteral("0"));

    ChooseMarking(7);
    Trigger("AddToQueueBtn");
    EXPECT_EQ(Count()->text(), QStringLiteral("4"));
    Trigger("ClearQueueBtn");
    EXPECT_EQ(Count()->text(), QStringLiteral("0"));
    EXPECT_EQ(Printer.Submitted, 2);
    EXPECT_TRUE(Prompts.Messages.empty());

    // Closing every trace: adding puts nothing into the queue and prints nothing.
    Trigger("CloseAll1");
    Trigger("AddToQueueBtn");
    EXPECT_EQ(Count()->text(), QStringLiteral("0"));
    EXPECT_EQ(Printer.Count("BeginDoc"), 2);
}

TEST_F(QueueControlsTest, SaveBeforePrintSavesTheTracesIntoTheDataFolderFirst) {
    Form->PrintQueue().SetPrinter(&Printer);
    const QString folder = Folder() + QStringLiteral("data/");
    ASSERT_TRUE(QDir().mkpath(folder));
    Form->Settings().DataDir = folder.toStdString();
    Form->Settings().SaveBeforePrint = true;
    OpenNumbered(2);
    Trigger("AddToQueueBtn");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
    EXPECT_EQ(Count()->text(), QStringLiteral("2"));
}

TEST_F(QueueControlsTest, TheComboBoxShowsTheQueuesMarkingAgainWhenTheChangeIsCancelled) {
    Form->PrintQueue().SetPrinter(&Printer);
    Form->Settings().SaveBeforePrint = false;
    OpenNumbered(2);
    Trigger("AddToQueueBtn");
    ASSERT_EQ(Count()->text(), QStringLiteral("2"));

    Prompts.Answers = {mrCancel};
    ChooseMarking(5);
    ASSERT_EQ(Prompts.Messages.size(), 1u);
    EXPECT_EQ(Prompts.Messages[0].Text, kMsgQueueNotPrinted);
    EXPECT_EQ(Form->FramesPerPage()->currentIndex(), 2);
    EXPECT_EQ(Form->PrintQueue().MarkingIndex(), 2);
    EXPECT_EQ(Count()->text(), QStringLiteral("2"));

    // Yes, but the printer cannot start: the error, and everything stays.
    Printer.FailsToBegin = true;
    Prompts.Answers = {mrYes};
    ChooseMarking(5);
    ASSERT_EQ(Prompts.Messages.size(), 3u);
    EXPECT_EQ(Prompts.Messages[2].Text, kMsgPrinterNotReady);
    EXPECT_EQ(Prompts.Messages[2].Type, TMsgDlgType::mtError);
    EXPECT_EQ(Form->FramesPerPage()->currentIndex(), 2);
    EXPECT_EQ(Count()->text(), QStringLiteral("2"));

    Prompts.Answers = {mrNo};
    ChooseMarking(5);
    EXPECT_EQ(Form->FramesPerPage()->currentIndex(), 5);
    EXPECT_EQ(Form->PrintQueue().MarkingIndex(), 5);
    EXPECT_EQ(Count()->text(), QStringLiteral("0"));
    EXPECT_EQ(Printer.Submitted, 0);
}

TEST_F(QueueControlsTest, WithoutAPrinterTheErrorIsShownAndThePicturesWait) {
    if (!QPrinterInfo::availablePrinters().isEmpty()) GTEST_SKIP() << "a printer is installed";
    Form->Settings().SaveBeforePrint = false;
    OpenNumbered(3);
    Trigger("AddToQueueBtn"); // a full sheet, and no printer to take it
    ASSERT_EQ(Prompts.Messages.size(), 1u);
    EXPECT_EQ(Prompts.Messages[0].Text, kMsgPrinterNotReady);
    EXPECT_EQ(Count()->text(), QStringLiteral("3"));
    Trigger("PrintQueueBtn");
    EXPECT_EQ(Prompts.Messages.size(), 2u);
    EXPECT_EQ(Form->PrintQueue().Count(), 3);
    EXPECT_FALSE(Form->MainGraph->Printing());
}

TEST_F(QueueControlsTest, ThePrintPropertiesTravelThroughTheGraphFile) {
    TGraphPrintSettings& s = Form->MainGraph->PrintSettings();
    EXPECT_EQ(s.PrintPaperSize(), 9);
    s.SetPrintCopies(3);
    s.SetPrintOrientation(TPrintOrientation::Landscape);
    s.SetPrintPaperSize(11);
    s.SetGraphsOnPage(6);
    s.SetGroupGraphsOnPrint(2);
    ASSERT_TRUE(Form->close());
    Form = std::make_unique<TMainForm>(Work);
    const TGraphPrintSettings& back = Form->MainGraph->PrintSettings();
    EXPECT_EQ(back.PrintCopies(), 3);
    EXPECT_EQ(back.PrintOrientation(), TPrintOrientation::Landscape);
    EXPECT_EQ(back.PrintPaperSize(), 11);
    EXPECT_EQ(back.GraphsOnPage(), 6);
    EXPECT_EQ(back.GroupGraphsOnPrint(), 2);
}

} // namespace
