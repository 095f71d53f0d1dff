// The main window's print commands through a recording printer and a scripted print dialog: the
// dialog's pages and copies, the orientation and paper taken back from the dialogs and kept,
// the indicator's texts, the quick print saving first, adding to the queue, the page variant by
// the queue's marking, each page carrying its own trace's values and the date of its printing,
// the batch pages in either language. Then real PDF files: an instrument's trace with markers
// read back with pdftotext against lumvaris-cli, and `lumvaris --print-pdf`.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>

#include <functional>

#include "CliInfo.h"
#include "MainFormFixture.h"
#include "ProgramRun.h"
#include "display/uGraphsCmps.h"
#include "printing/uPrintQueue.h"
#include "printing/uQtPrinter.h"
#include "printing/uTracePage.h"
#include "shell/fIndicateOperation.h"
#include "shell/uPrintPdf.h"
#include "support/PdfTools.h"
#include "support/RecordingPrinter.h"
#include "trace/NumberText.h"

using namespace lv;
using lvtest::MainFormTest;

namespace {

// A recording printer that notes, as each job begins, what the indicator window shows and runs
// the test's check of that moment.
class WatchedPrinter : public lvtest::RecordingPrinter {
public:
    QPainter* BeginDoc(const QString& title) override {
        if (auto* w = qobject_cast<TIndicateOperationForm*>(QApplication::activeModalWidget()))
            Indicator = w->windowTitle() + u'|' + w->MessageLabel()->text();
        else
            Indicator = QStringLiteral("(none)");
        if (OnBegin) OnBegin();
        return lvtest::RecordingPrinter::BeginDoc(title);
    }
    QString Indicator;
    std::function<void()> OnBegin;
};

// The print dialogs as a script: each answers through the test's function.
class ScriptedDialogs : public IPrintDialogs {
public:
    bool ExecPrint(TPrintDialogRequest& request) override {
        Asked.push_back(request);
        return Print && Print(request);
    }
    bool ExecPageSetup() override {
        ++SetupShown;
        return Setup && Setup();
    }
    std::function<bool(TPrintDialogRequest&)> Print;
    std::function<bool()> Setup;
    std::vector<TPrintDialogRequest> Asked;
    int SetupShown = 0;
};

std::vector<std::string> Lines(const lvtest::RecordedPage& page) {
    std::vector<std::string> lines;
    for (const lvtest::RecordedLine& l : page.TextLines())
        lines.push_back(l.Text.toStdString());
    return lines;
}

bool Has(const std::vector<std::string>& lines, const QString& text) {
    return std::find(lines.begin(), lines.end(), text.toStdString()) != lines.end();
}

QString Fixed(double v, int decimals, const char* unit = "") {
    return QString::fromStdString(FormatFixed(v, decimals, ",")) + QString::fromUtf8(unit);
}

class PrintCommandsTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        Form->SetPrintDevices(&Printer, &Dialogs);
        Form->PageLocale = QLocale(QLocale::Russian, QLocale::Russia);
        Form->Settings().SaveBeforePrint = false;
        // The graph prints at its size on screen: the whole width, without the events table.
        if (QAction* events = Form->Command(QStringLiteral("EventsTable1")); events->isChecked()) events->trigger();
        Form->resize(1024, 740);
        Form->show();
        Settle();
    }
    void TearDown() override {
        if (Form) Form->SetPrintDevices(nullptr, nullptr);
        MainFormTest::TearDown();
    }
    TGraphPrintSettings& Print() { return Form->MainGraph->PrintSettings(); }
    // The caption printed in the header of each recorded page (one trace per page).
    std::vector<QString> PageCaptions() const {
        std::vector<QString> captions;
        for (const lvtest::RecordedPage& page : Printer.Pages) {
            QString found;
            for (const lvtest::RecordedLine& l : page.TextLines())
                if (l.Text.startsWith(QStringLiteral("Волокно "))) found = l.Text;
            captions.push_back(found);
        }
        return captions;
    }

    WatchedPrinter Printer;
    ScriptedDialogs Dialogs;
};

} // namespace

TEST_F(PrintCommandsTest, PrintAsksForPagesAndCopiesAndTakesTheDialogsOrientationBack) {
    OpenNumbered(3); // one page each, "Волокно 3" first
    Print().SetPrintCopies(2);
    Dialogs.Print = [this](TPrintDialogRequest& r) {
        // The printer was given the graph's settings before the dialog showed.
        EXPECT_EQ(Printer.Calls.size(), 2u);
        EXPECT_EQ(Printer.Count("SetOrientation P"), 1);
        EXPECT_EQ(Printer.Count("SetPaperSize 9"), 1);
        r.Copies = 3;
        r.PageRange = true;
        r.FromPage = 2;
        r.ToPage = 3;
        // The operator turned the sheet and chose A5 there.
        Printer.Orient = TPrintOrientation::Landscape;
        Printer.Paper = 11;
        return true;
    };
    Trigger("Print1");
    ASSERT_EQ(Dialogs.Asked.size(), 1u);
    const TPrintDialogRequest& asked = Dialogs.Asked[0];
    EXPECT_EQ(asked.Copies, 2);
    EXPECT_EQ(std::tie(asked.MinPage, asked.MaxPage, asked.FromPage, asked.ToPage), std::tuple(1, 3, 1, 3));

    EXPECT_EQ(Printer.Submitted, 1);
    EXPECT_EQ(Printer.Copies, 3);
    EXPECT_EQ(PageCaptions(),
              (std::vector<QString>{QStringLiteral("Волокно 2"), QStringLiteral("Волокно 1")}));
    EXPECT_EQ(Printer.Indicator, QStringLiteral("Lumvaris|Идет печать графиков"));
    EXPECT_EQ(Print().PrintCopies(), 3);
    EXPECT_EQ(Print().PrintOrientation(), TPrintOrientation::Landscape);
    EXPECT_EQ(Print().PrintPaperSize(), 11);
    EXPECT_TRUE(Prompts.Messages.empty());

    // Cancelled: nothing printed, nothing taken.
    Dialogs.Print = [this](TPrintDialogRequest& r) {
        r.Copies = 7;
        Printer.Orient = TPrintOrientation::Portrait;
        return false;
    };
    Trigger("Print1");
    EXPECT_EQ(Printer.Submitted, 1);
    EXPECT_EQ(Print().PrintCopies(), 3);
    EXPECT_EQ(Print().PrintOrientation(), TPrintOrientation::Landscape);

    // What the dialog gave is kept with the graph's properties.
    Form->SetPrintDevices(nullptr, nullptr);
    ASSERT_TRUE(Form->close());
    Form = std::make_unique<TMainForm>(Work);
    Form->SetPrintDevices(&Printer, &Dialogs);
    EXPECT_EQ(Print().PrintOrientation(), TPrintOrientation::Landscape);
    EXPECT_EQ(Print().PrintPaperSize(), 11);
    EXPECT_EQ(Print().PrintCopies(), 3);

    // No trace: no dialog offering pages 1 to 0.
    Trigger("Print1");
    EXPECT_EQ(Dialogs.Asked.size(), 2u);
}

TEST_F(PrintCommandsTest, PrinterSetupGivesTheGraphWhatThePrinterHasAfterOk) {
    Print().SetPrintOrientation(TPrintOrientation::Landscape);
    Print().SetPrintPaperSize(8);
    for (bool ok : {false, true}) {
        Printer.Calls.clear();
        Dialogs.Setup = [this, ok] {
            EXPECT_EQ(Printer.Orient, TPrintOrientation::Landscape);
            EXPECT_EQ(Printer.Paper, 8);
            Printer.Orient = TPrintOrientation::Portrait;
            Printer.Paper = 11;
            return ok;
        };
        Trigger("PrintSetup1");
        EXPECT_EQ(Print().PrintOrientation(),
                  ok ? TPrintOrientation::Portrait : TPrintOrientation::Landscape);
        EXPECT_EQ(Print().PrintPaperSize(), ok ? 11 : 8);
        if (!ok) { // the next round starts from the graph's settings again
            Printer.Orient = TPrintOrientation::Portrait;
            Printer.Paper = 9;
        }
    }
    EXPECT_EQ(Dialogs.SetupShown, 2);
    EXPECT_EQ(Printer.Count("BeginDoc"), 0);
}

TEST_F(PrintCommandsTest, QuickPrintSavesFirstAndPrintsOneCopyWithoutADialog) {
    const QString folder = Folder() + QStringLiteral("data/");
    ASSERT_TRUE(QDir().mkpath(folder));
    Form->Settings().DataDir = folder.toStdString();
    OpenNumbered(2);
    Print().SetPrintCopies(4);
    for (bool save : {false, true}) {
        Form->Settings().SaveBeforePrint = save;
        qsizetype savedAtBegin = -1;
        Printer.OnBegin = [&] { savedAtBegin = QDir(folder).entryList(QDir::Files).size(); };
        Trigger("Print1B");
        EXPECT_EQ(savedAtBegin, save ? 2 : 0) << save;
        EXPECT_EQ(Printer.Pages.size(), 2u);
        EXPECT_EQ(Printer.Copies, 1);
        EXPECT_EQ(Printer.Indicator, QStringLiteral("Lumvaris|Идет печать графиков..."));
    }
    EXPECT_EQ(Print().PrintCopies(), 1);
    EXPECT_TRUE(Dialogs.Asked.empty());
    EXPECT_EQ(Printer.Submitted, 2);

    // A printer that cannot start: the error, the indicator gone, the graph back on screen.
    Printer.OnBegin = nullptr;
    Printer.FailsToBegin = true;
    Form->Settings().SaveBeforePrint = false;
    Trigger("Print1B");
    ASSERT_EQ(Prompts.Messages.size(), 1u);
    EXPECT_EQ(Prompts.Messages[0].Text, kMsgPrinterNotReady);
    EXPECT_EQ(Prompts.Messages[0].Type, TMsgDlgType::mtError);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_FALSE(Form->MainGraph->Printing());
    EXPECT_EQ(Printer.Submitted, 2);
}

TEST_F(PrintCommandsTest, QueuePicturesAreCompactAboveFourFramesAndPrintedPagesKeepTheSideColumn) {
    OpenNumbered(1);
    struct Row {
        int marking; // frames − 1
        bool compact;
    };
    for (Row r : {Row{2, false}, Row{3, false}, Row{4, true}, Row{5, true}, Row{7, true}}) {
        Form->PrintQueue().PrintAndClear(false);
        ChooseMarking(r.marking);
        Trigger("AddToQueueBtn");
        ASSERT_EQ(Form->PrintQueue().Count(), 1) << r.marking;
        EXPECT_EQ(Form->findChild<QLabel*>(QStringLiteral("PicturesCountPanel"))->text(),
                  QStringLiteral("1"));
        const QPicture& picture = *Form->PrintQueue().Picture(0).Picture();
        lvtest::RecordingDevice device;
        device.Size = picture.boundingRect().size();
        lvtest::RecordedPage recorded;
        device.Engine.Page = &recorded;
        QPainter painter(&device);
        painter.drawPicture(0, 0, picture);
        painter.end();
        const std::vector<QRectF> marker = recorded.Boxes(QStringLiteral("Маркер 1-2"));
        ASSERT_EQ(marker.size(), 1u) << r.marking;
        if (r.compact) // under the graph, in the last third
            EXPECT_TRUE(marker[0].top() > device.Size.height() / 2 &&
                        marker[0].left() > device.Size.width() * 0.6)
                << r.marking;
        else // in the column left of the graph
            EXPECT_LT(marker[0].right(), device.Size.width() / 5.0 + 1) << r.marking;
    }
    // Printed with the 8-frame marking selected: the side column all the same.
    Trigger("Print1B");
    ASSERT_EQ(Printer.Pages.size(), 1u);
    const std::vector<QRectF> marker = Printer.Pages[0].Boxes(QStringLiteral("Маркер 1-2"));
    const std::vector<QRectF> caption = Printer.Pages[0].Boxes(QStringLiteral("Волокно 1"));
    ASSERT_EQ(marker.size(), 1u);
    ASSERT_EQ(caption.size(), 1u);
    EXPECT_LT(marker[0].right(), caption[0].left());
    EXPECT_LT(marker[0].top(), caption[0].bottom() + 400);
}

TEST_F(PrintCommandsTest, EachPageCarriesItsOwnTracesValuesAndTheDateOfItsPrinting) {
    OpenNumbered(2);
    // Different markers on each trace; the panel shows the active one's.
    const std::pair<double, double> markers[] = {{1.0, 4.0}, {2.0, 2.5}};
    for (int i = 0; i < 2; ++i) {
        Form->Trace(i)->SetMarkerPos(0, markers[i].first);
        Form->Trace(i)->SetMarkerPos(1, markers[i].second);
    }
    Settle();
    // Ten past midnight on a Tuesday, while the date panel still shows the day it was filled.
    Form->PageClock = [] { return QDateTime(QDate(2024, 3, 5), QTime(0, 10, 7)); };
    Form->Settings().ShowFileCaption = true;
    Trigger("Print1B");
    ASSERT_EQ(Printer.Pages.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        const std::vector<std::string> lines = Lines(Printer.Pages[size_t(i)]);
        TMainDataItem* item = Form->Trace(i);
        const double d12 = item->TraceValue(tvLength12), loss12 = item->TraceValue(tvLoss12);
        ASSERT_GT(d12, 0);
        EXPECT_TRUE(Has(lines, QStringLiteral("Расстояние: ") + Fixed(d12, 3, " км"))) << i;
        EXPECT_TRUE(Has(lines, QStringLiteral("Затухание: ") + Fixed(loss12, 3, " дБ"))) << i;
        EXPECT_TRUE(Has(lines, QStringLiteral("Коэф. затух.: ") + Fixed(loss12 / d12, 3, " дБ/км"))) << i;
        EXPECT_TRUE(Has(lines, item->Caption())) << i;
        EXPECT_TRUE(Has(lines, QStringLiteral("05.03.2024   Вторник"))) << i;
        EXPECT_TRUE(Has(lines, QStringLiteral("00:10:07"))) << i;
        EXPECT_FALSE(Has(lines, Form->DatePanel()->text())) << i;
        EXPECT_TRUE(Has(lines, QStringLiteral("Табельный №0000"))) << i;
    }
    EXPECT_NE(Form->Trace(0)->TraceValue(tvLength12), Form->Trace(1)->TraceValue(tvLength12));
}

TEST_F(PrintCommandsTest, BatchPagesSpeakTheChosenLanguage) {
    OpenNumbered(2);
    for (bool russian : {true, false}) {
        Form->RusPrint = russian;
        Form->PrintBatchPages();
        ASSERT_EQ(Printer.Pages.size(), 2u) << russian;
        EXPECT_EQ(Printer.Indicator, QStringLiteral("Lumvaris|Идет печать графиков..."));
        for (int i = 0; i < 2; ++i) {
            const std::vector<std::string> lines = Lines(Printer.Pages[size_t(i)]);
            const QString file = QDir::toNativeSeparators(Form->Trace(i)->SourceFileName());
            EXPECT_TRUE(Has(lines, (russian ? QStringLiteral("Трасса: ") : QStringLiteral("Trace: ")) + file))
                << russian << " " << i;
            EXPECT_TRUE(Has(lines, russian ? QStringLiteral("Маркеры 1-2") : QStringLiteral("Markers 1-2")));
            EXPECT_FALSE(Has(lines, QStringLiteral("Маркер 1-2"))); // not the standard page
        }
    }
    // The standard page again afterwards.
    Trigger("Print1B");
    EXPECT_TRUE(Has(Lines(Printer.Pages[0]), QStringLiteral("Маркер 1-2")));
    EXPECT_EQ(Printer.Copies, 1);
}

// ---- real PDF files ---------------------------------------------------------------------------------------

namespace {

const char* const kCorpusTrace = "JamesHarrison__otdrs__example2-exfo-maxtester730c.sor";

QString CorpusTrace() {
    return QString::fromStdString(std::string(LUMVARIS_SHARED_DIR) + "/corpus/sor/" + kCorpusTrace);
}

// The boxes of the words `word` on `page`, united (a word may recur in a strip).
QRectF WordsBox(const std::vector<lvtest::PdfWord>& page, const QString& word) {
    QRectF r;
    for (const QRectF& b : lvtest::FindWord(page, word))
        r = r.isNull() ? b : r | b;
    return r;
}

} // namespace

TEST_F(PrintCommandsTest, AnInstrumentsTraceWithMarkersPrintsTheValuesTheCommandLineToolReads) {
#ifndef LUMVARIS_CLI
    GTEST_SKIP() << "the command-line tool is not built";
#else
    LVTEST_NEEDS_CORPUS(std::string("sor/") + kCorpusTrace);
    ASSERT_EQ(Form->OpenTraceFiles(QStringList{CorpusTrace()}), 1);
    Settle();
    const double at[] = {0.6, 2.0, 3.4};
    for (int i = 0; i < 3; ++i)
        Form->MainGraph->PlaceMarker(i + 1, false, at[i]);
    Form->MainGraph->SetCursorX(3.0);
    Form->MainGraph->SetCursorVisible(true);
    Form->Settings().ShowFileName = true;
    Settle();

    const lvtest::Json info = lvtest::CliInfo(CorpusTrace(), at[0], at[1], at[2]);
    ASSERT_FALSE(info.isNull());
    const lvtest::Json& r = info["results"];
    const double l12 = r["length12_km"].number(), l23 = r["length23_km"].number();
    const double loss12 = r["loss12_db"].number(), loss23 = r["loss23_db"].number();
    ASSERT_GT(l12, 0);
    ASSERT_GT(l23, 0);
    const QString expected[] = {
        QStringLiteral("Расстояние: 3,000 км"), // the cursor, no start set
        QStringLiteral("Коэф. затух.: ") + Fixed(loss12 / l12, 3, " дБ/км"),
        QStringLiteral("Дефект: ") + Fixed(r["splice_loss_db"].number(), 3, " дБ"),
        QStringLiteral("Длина волны: ") + Fixed(info["wavelength_um"].number(), 2, " мкм"),
        QStringLiteral("Диап.длин: ") + Fixed(info["range_km"].number(), 0, " км"),
        info["attenuator_db"].number() < 0
            ? QStringLiteral("Ослабление: ***")
            : QStringLiteral("Ослабление: ") + Fixed(info["attenuator_db"].number(), 2, " дБ"),
        QStringLiteral("Импульс: %1 нс").arg(info["pulse_ns"].integer()),
        QStringLiteral("Усреднение: ") + AveragesText(int(info["averages"].integer())),
        QStringLiteral("Аппроксимация: ") + AproxText(int(info["approximation"].integer())),
        QStringLiteral("No: ") + Fixed(info["group_index"].number(), 4),
        QStringLiteral("Расстояние: ") + Fixed(l12, 3, " км"),
        QStringLiteral("Затухание: ") + Fixed(loss12, 3, " дБ"),
        QStringLiteral("Расстояние: ") + Fixed(l23, 3, " км"),
        QStringLiteral("Затухание: ") + Fixed(loss23, 3, " дБ"),
        QStringLiteral("Коэф. затух.: ") + Fixed(loss23 / l23, 3, " дБ/км"),
    };

    // Printed on a sheet of its own (the side column) and through the queue's "6 кадров" (the
    // block under the graph), both into PDF files.
    const QString sidePdf = Folder() + QStringLiteral("side.pdf"),
                  compactPdf = Folder() + QStringLiteral("compact.pdf");
    {
        TQtPrinter pdf(sidePdf);
        Form->SetPrintDevices(&pdf, &Dialogs);
        Trigger("Print1B");
        Form->SetPrintDevices(nullptr, nullptr);
    }
    {
        TQtPrinter pdf(compactPdf);
        Form->SetPrintDevices(&pdf, &Dialogs);
        ChooseMarking(5);
        Trigger("AddToQueueBtn");
        Trigger("PrintQueueBtn");
        Form->SetPrintDevices(nullptr, nullptr);
    }
    ASSERT_TRUE(Prompts.Messages.empty()) << Prompts.Messages[0].Text;
    for (const QString& pdf : {sidePdf, compactPdf}) {
        const bool compact = pdf == compactPdf;
        const char* where = compact ? "compact" : "side column";
        ASSERT_EQ(lvtest::PdfPages(pdf), 1) << where;
        const QString text = QString::fromUtf8(lvtest::RunTool("pdftotext", {"-layout", pdf, "-"}));
        for (const QString& line : expected)
            EXPECT_TRUE(text.contains(line)) << line.toStdString() << " (" << where << ")";
        EXPECT_EQ(text.count(QStringLiteral("Маркер 2-3")), 1) << where;
        EXPECT_TRUE(text.contains(QDir::toNativeSeparators(CorpusTrace()))) << where;

        // Where the block stands against the graph: the operator's line and "Маркер 2-3" left of
        // the graph's left scale strip, the operator beside the graph; or both under the graph's
        // bottom strip, "Маркер 2-3" in the third column.
        const std::vector<lvtest::PdfWord> page = lvtest::PdfWords(pdf).at(0);
        const std::vector<QRectF> marker = lvtest::FindWord(page, QStringLiteral("2-3"));
        const std::vector<QRectF> worker = lvtest::FindWord(page, QStringLiteral("Табельный"));
        ASSERT_EQ(marker.size(), 1u) << where;
        ASSERT_EQ(worker.size(), 1u) << where;
        const QRectF yStrips = WordsBox(page, QStringLiteral("дБ/дел")),
                     xStrip = WordsBox(page, QStringLiteral("км/дел"));
        ASSERT_FALSE(yStrips.isNull() || xStrip.isNull()) << where << ": the graph's scale strips";
        if (compact) {
            for (const QRectF& b : {marker[0], worker[0]})
                EXPECT_GT(b.top(), std::max(xStrip.bottom(), yStrips.bottom()));
            EXPECT_GT(marker[0].left(), xStrip.left());
        } else {
            for (const QRectF& b : {marker[0], worker[0]})
                EXPECT_LT(b.right(), yStrips.left());
            EXPECT_LT(worker[0].bottom(), xStrip.top());
        }
    }

    // The batch page in English, with the instrument's own texts and time of measurement.
    const QString batchPdf = Folder() + QStringLiteral("batch.pdf");
    {
        TQtPrinter pdf(batchPdf);
        Form->SetPrintDevices(&pdf, &Dialogs);
        Form->RusPrint = false;
        Form->PrintBatchPages();
        Form->SetPrintDevices(nullptr, nullptr);
    }
    const QString batch = QString::fromUtf8(lvtest::RunTool("pdftotext", {"-layout", batchPdf, "-"}));
    const QDateTime measured = QDateTime::fromString(QString::fromStdString(info["measured_at"].str()),
                                                     QStringLiteral("yyyy-MM-dd HH:mm"));
    ASSERT_TRUE(measured.isValid());
    const QString when = QStringLiteral("Measurement Date and Time: %1.%2.%3, %4:%5:")
                             .arg(measured.date().day())
                             .arg(measured.date().month(), 2, 10, QChar(u'0'))
                             .arg(measured.date().year() % 100, 2, 10, QChar(u'0'))
                             .arg(measured.time().hour() % 12 == 0 ? 12 : measured.time().hour() % 12)
                             .arg(measured.time().minute(), 2, 10, QChar(u'0'));
    EXPECT_TRUE(batch.contains(when)) << when.toStdString();
    EXPECT_TRUE(batch.contains(measured.time().hour() < 12 ? QStringLiteral(" am") : QStringLiteral(" pm")));
    EXPECT_TRUE(
        batch.contains(QStringLiteral("Fiber ID: ") + QString::fromStdString(info["texts"]["FID"].str())));
    EXPECT_TRUE(batch.contains(QStringLiteral("Loss: ") + Fixed(loss12, 3, " dB")));
    EXPECT_TRUE(batch.contains(QStringLiteral("Length: 3,000 km")));

    // The pages as they look.
    for (const QString& pdf : {sidePdf, compactPdf, batchPdf}) {
        const QString png = pdf.chopped(4);
        lvtest::RunTool("pdftoppm", {"-r", "60", "-png", "-singlefile", pdf, png});
        const QImage image(png + QStringLiteral(".png"));
        ASSERT_FALSE(image.isNull());
        int dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                dark += qGray(image.pixel(x, y)) < 128;
        EXPECT_GT(dark, 2000) << pdf.toStdString();
    }
    // The README's picture: the upper part of the side-column page, where everything is.
    if (const char* shot = std::getenv("LUMVARIS_PRINT_SHOT")) {
        lvtest::RunTool("pdftoppm", {"-r", "110", "-png", "-singlefile", "-x", "0", "-y", "0", "-W", "910",
                                     "-H", "470", sidePdf, QString::fromLocal8Bit(shot).chopped(4)});
        EXPECT_FALSE(QImage(QString::fromLocal8Bit(shot)).isNull());
    }
#endif
}

// ---- lumvaris --print-pdf
// -----------------------------------------------------------------------------------

using PrintPdfCommand = lvtest::ProgramTest;

TEST_F(PrintPdfCommand, PrintsTheTracesIntoAPdfWithoutAWindowOrSettingsWritten) {
    QStringList traces;
    for (int i = 1; i <= 3; ++i)
        traces << Trace("f" + std::to_string(i) + ".tra", 1310, "Волокно " + std::to_string(i), uint64_t(i));
    struct Row {
        QStringList options;
        int pages;
        QString worker;
        int compact; // parameter blocks under their graph
    };
    const Row rows[] = {
        {{}, 3, QStringLiteral("Табельный №0000"), 0},
        {{"--operator", "7777", "--frames", "6"}, 1, QStringLiteral("Табельный №7777"), 3},
        {{"--frames", "2", "--operator", "Иванов"}, 2, QStringLiteral("Табельный №Иванов"), 0},
    };
    int n = 0;
    for (const Row& r : rows) {
        const QString pdf = Path("out" + std::to_string(++n) + ".pdf");
        const lvtest::ProgramRun run = Run(QStringList{"--print-pdf", pdf} + r.options + traces);
        ASSERT_EQ(run.Exit, 0) << run.Errors.toStdString();
        EXPECT_TRUE(run.Errors.isEmpty()) << run.Errors.toStdString();
        EXPECT_EQ(lvtest::PdfPages(pdf), r.pages) << n;
        const QString text = QString::fromUtf8(lvtest::RunTool("pdftotext", {"-layout", pdf, "-"}));
        EXPECT_EQ(text.count(r.worker), 3) << n;
        for (int i = 1; i <= 3; ++i)
            EXPECT_TRUE(text.contains(QStringLiteral("Волокно %1").arg(i))) << n;
        // Three columns side by side: the date, the wavelength and "Маркер 1-2" on one line.
        EXPECT_EQ(text.count(QRegularExpression(QStringLiteral("Длина волны: 1,31 мкм +Маркер 1-2"))),
                  r.compact)
            << n;
    }
    EXPECT_FALSE(QFileInfo::exists(Config + QStringLiteral("/Lumvaris/V2.0.conf")));
}

TEST_F(PrintPdfCommand, ExitsWithTheRussianMessageWhenItCannotPrint) {
    const QString trace = Trace("f.tra", 1550, "Волокно");
    const QString pdf = Path("out.pdf");
    const QString missing = Path("нет.tra");
    struct Row {
        QStringList args;
        QString message; // a part of what standard error says
    };
    const Row rows[] = {
        {{"--print-pdf", pdf, "--frames", "9", trace}, QString::fromUtf8(kMsgPrintPdfFrames)},
        {{"--print-pdf", pdf, "--frames", "два", trace}, QString::fromUtf8(kMsgPrintPdfFrames)},
        {{"--print-pdf", pdf}, QString::fromUtf8(kMsgPrintPdfNoTraces)},
        {{"--print-pdf"}, QStringLiteral("Не указано значение параметра --print-pdf.")},
        {{"--print-pdf", pdf, "--copies", "2", trace}, QStringLiteral("Неизвестный параметр --copies.")},
        {{"--print-pdf", pdf, trace, missing}, missing},
        {{"--print-pdf", Path("нет/out.pdf"), trace},
         QStringLiteral("нет/out.pdf")},
    };
    for (const Row& r : rows) {
        const lvtest::ProgramRun run = Run(r.args);
        EXPECT_EQ(run.Exit, 1) << r.args.join(u' ').toStdString();
        EXPECT_TRUE(run.Errors.contains(r.message)) << run.Errors.toStdString();
        EXPECT_FALSE(QFileInfo::exists(pdf)) << r.args.join(u' ').toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(Config + QStringLiteral("/Lumvaris/V2.0.conf")));
}
