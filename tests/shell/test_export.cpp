// Picture export: the dialog's texts and its memory during the run, the file and kind a typed
// name and the browse filter ask for, and "Экспорт..." of the main window driven through the
// dialog with scripted messages and file dialogs in a temporary folder: every kind read back by
// its own reader, the print copy at its composed page's size (compact above 4 frames in the
// queue), the screen copy as a bitmap whatever its name, the question before a file is replaced,
// failures shown without the completion message. Then `lumvaris --export` as a process.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QToolButton>

#include <cmath>
#include <functional>

#include "MainFormFixture.h"
#include "ProgramRun.h"
#include "ShellTestSupport.h"
#include "display/uGraphPrint.h"
#include "display/uGraphsCmps.h"
#include "printing/uMetafileWriter.h"
#include "printing/uPrintQueue.h"
#include "printing/uTracePage.h"
#include "shell/fExportForm.h"
#include "shell/uExportScript.h"
#include "support/MetafileRecords.h"
#include "support/PdfTools.h"
#include "trace/ValueHelpers.h"

using namespace lv;
using lvtest::MainFormTest;

namespace {

// What the operator does in the export dialog once it shows.
struct DialogAction {
    int object = 0;       // 0 print copy, 1 screen copy
    QString name;         // typed into the field
    bool cancel = false;  // "Отмена" instead of "OK"
};

void WhenExportDialog(const DialogAction& a, TExportForm** seen = nullptr) {
    lvtest::WhenModal([a, seen](QWidget* w) {
        auto* form = qobject_cast<TExportForm*>(w);
        ASSERT_NE(form, nullptr) << w->metaObject()->className();
        if (seen) *seen = form;
        form->SetExportObject(a.object);
        form->FilenameEdit1()->setText(a.name);
        (a.cancel ? form->CancelBtn() : form->OkBtn())->click();
    });
}

std::vector<uint8_t> Bytes(const QString& file) {
    return lvtest::readBytes(file.toStdString());
}

// The share of white pixels, per mille.
int WhiteShare(const QImage& image) {
    int white = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            white += (image.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
    return int(int64_t(white) * 1000 / (int64_t(image.width()) * image.height()));
}

class ExportTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        // A window of a known size on the screen: the graph's print copy and the screen copy
        // follow it.
        Form->resize(1000, 720);
        Form->show();
        Settle();
        OpenNumbered(1);
    }

    // "Экспорт..." with the dialog answered by `a`.
    void Export(const DialogAction& a, TExportForm** seen = nullptr) {
        WhenExportDialog(a, seen);
        Trigger("Export1");
        Settle();
    }
    QString Path(const std::string& name) const { return QString::fromStdString(Dir.file(name)); }
    bool Done() const {
        return !Prompts.Messages.empty() && Prompts.Messages.back().Text == kMsgExportDone &&
               Prompts.Messages.back().Type == TMsgDlgType::mtInformation;
    }
    QSize Graph() const { return Form->MainGraph->ClientRect().size(); }
    // The page the graph's print copy is composed into.
    QSize PageSize(TTracePageLayout layout) const {
        const QSize g = Graph();
        return StandardPage(g, TRect{0, 0, int(std::lround(g.width() * 1.25)), g.height()}, layout,
                            TTracePageData{}, Form->Settings(), TPageContext{})
            .Size;
    }
};

} // namespace

TEST(ExportTarget, TheTypedExtensionChoosesTheKindElseTheBrowseFilter) {
    struct Row {
        const char* name;
        int filter;
        const char* file; // under /data
        int kind;
    };
    const Row rows[] = {
        {"снимок", efMetafile, "снимок.emf", pfMetafile},
        {"снимок", efBitmap, "снимок.bmp", pfBitmap},
        {"снимок", efAll, "снимок.bmp", pfBitmap},
        {"снимок.WMF", efBitmap, "снимок.WMF", pfMetafile},
        {"снимок.bmp", efMetafile, "снимок.bmp", pfBitmap},
        {"снимок.pdf", efMetafile, "снимок.pdf", pfPdf},
        {"снимок.svg", efBitmap, "снимок.svg", pfSvg},
        {"снимок.png", efAll, "снимок.png", pfPng},
        {"снимок.jpg", efMetafile, "снимок.jpg", pfMetafile}, // an extension of no kind stays
        {"папка.emf/снимок", efBitmap, "папка.emf/снимок.bmp", pfBitmap},
        {"../отчёт/снимок.emf", efBitmap, "../отчёт/снимок.emf", pfMetafile},
        {"  снимок  ", efMetafile, "снимок.emf", pfMetafile},
    };
    for (const Row& r : rows) {
        const TExportTarget t = ExportTarget(QString::fromUtf8(r.name), r.filter, QStringLiteral("/data/"));
        EXPECT_EQ(t.FileName, QDir::cleanPath(QStringLiteral("/data/") + QString::fromUtf8(r.file))) << r.name;
        EXPECT_EQ(t.Kind, r.kind) << r.name;
    }
    // An absolute name ignores the folder.
    EXPECT_EQ(ExportTarget(QStringLiteral("/tmp/a"), efMetafile, QStringLiteral("/data")).FileName,
              QStringLiteral("/tmp/a.emf"));
}

TEST(ExportForm, ShowsItsTextsAndRefusesAnEmptyName) {
    lvtest::ScriptedPrompts prompts;
    TExportForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Экспорт"));
    EXPECT_EQ(form.RadioGroup1()->title(), QStringLiteral(" Объект экспорта "));
    QStringList choices;
    for (QRadioButton* b : form.RadioGroup1()->findChildren<QRadioButton*>())
        choices << b->text();
    EXPECT_EQ(choices, (QStringList{"Копия распечатки", "Копия экранной формы"}));
    EXPECT_EQ(form.ExportObject(), 0);
    QStringList labels;
    for (QLabel* l : form.findChildren<QLabel*>())
        labels << l->text();
    EXPECT_EQ(labels, QStringList{"Имя файла"});
    EXPECT_EQ(form.OkBtn()->text(), QStringLiteral("OK"));
    EXPECT_TRUE(form.OkBtn()->isDefault());
    EXPECT_EQ(form.CancelBtn()->text(), QStringLiteral("Отмена"));

    // Shown whole: every text has the room its font asks for. With LUMVARIS_DIALOG_SHOTS naming a
    // folder, the README's picture of it (tools/dialog-shots.sh, under Xvfb).
    form.SetFileName(QStringLiteral("/home/оператор/Отчёты/линия 12.emf"));
    form.show();
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
    lvtest::ExpectShownWhole(&form);
    lvtest::SaveDialogShot(&form, QStringLiteral("export-dialog.png"));
    form.hide();
    form.SetFileName(QString());

    // OK with nothing (or blanks) in the field: the message, and the dialog stays.
    bool finished = false;
    int result = -1;
    lvtest::WhenModal([&](QWidget*) {
        form.FilenameEdit1()->setText(QStringLiteral("   "));
        form.OkBtn()->click();
        QApplication::processEvents();
        EXPECT_TRUE(form.isVisible());
        ASSERT_EQ(prompts.Messages.size(), 1u);
        EXPECT_EQ(prompts.Messages[0].Text, kMsgNoExportFileName);
        EXPECT_EQ(prompts.Messages[0].Type, TMsgDlgType::mtError);
        EXPECT_EQ(prompts.Messages[0].Buttons, TMsgDlgButtons(mbOK));
        form.FilenameEdit1()->setText(QStringLiteral("снимок"));
        form.OkBtn()->click();
        finished = true;
    });
    result = form.exec();
    EXPECT_TRUE(finished);
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(prompts.Messages.size(), 1u);
}

TEST(ExportForm, BrowsingProposesTheNameAndKeepsTheChosenFilter) {
    lvtest::ScriptedPrompts prompts;
    TExportForm form;
    form.SetFolder(QStringLiteral("/data/"));
    form.SetFileName(QStringLiteral("отчёт/снимок.bmp"));
    prompts.FileAnswers.push_back({"/tmp/линия"});
    prompts.FilterAnswers.push_back(efMetafile);
    form.BrowseBtn()->click();
    ASSERT_EQ(prompts.Dialogs.size(), 1u);
    const TFileDialogRequest& r = prompts.Dialogs[0];
    EXPECT_TRUE(r.Save);
    EXPECT_EQ(r.Title, "Укажите файл для экспорта");
    EXPECT_EQ(r.Filter,
              "Растровые изображения (*.bmp)|*.bmp|Метафайлы (*.emf;*wmf)|*.emf;*.wmf|Все файлы (*.*)|*.*");
    EXPECT_EQ(r.FilterIndex, efBitmap);
    EXPECT_TRUE(r.HideReadOnly);
    EXPECT_EQ(r.InitialDir, "/data/отчёт/");
    EXPECT_EQ(r.FileName, "/data/отчёт/снимок.bmp");
    EXPECT_EQ(form.FileName(), QStringLiteral("/tmp/линия"));
    EXPECT_EQ(form.FilterIndex(), efMetafile);
    EXPECT_EQ(form.Target(), (TExportTarget{QStringLiteral("/tmp/линия.emf"), pfMetafile}));

    // The next browse starts with that filter; a cancelled one changes nothing.
    prompts.FileAnswers.push_back({});
    form.BrowseBtn()->click();
    ASSERT_EQ(prompts.Dialogs.size(), 2u);
    EXPECT_EQ(prompts.Dialogs[1].FilterIndex, efMetafile);
    EXPECT_EQ(form.FileName(), QStringLiteral("/tmp/линия"));
    EXPECT_EQ(form.FilterIndex(), efMetafile);
}

TEST_F(ExportTest, APrintCopyIsEveryKindAtItsComposedPageSize) {
    const QSize side = PageSize(TTracePageLayout::SideColumn);
    // Not the frame the page was fitted to: the picture's own size.
    ASSERT_NE(side, QSize(int(std::lround(Graph().width() * 1.25)), Graph().height()));
    for (const char* name : {"p.bmp", "p.emf", "p.wmf", "p.pdf", "p.svg", "p.png"}) {
        Prompts.Messages.clear();
        Export({0, Path(name)});
        EXPECT_TRUE(Done()) << name << ": " << (Prompts.Messages.empty() ? "" : Prompts.Messages[0].Text);
    }

    // A 16-colour bitmap, black on white.
    const std::vector<uint8_t> bmp = Bytes(Path("p.bmp"));
    ASSERT_GT(bmp.size(), 30u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[28], 4);
    const QImage image(Path("p.bmp"), "BMP");
    EXPECT_EQ(image.size(), side);
    EXPECT_EQ(image.pixel(image.width() - 3, image.height() / 2) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_GT(WhiteShare(image), 800);
    EXPECT_LT(WhiteShare(image), 995);

    // Metafiles whose records hold the parameter block as text, left of the graph.
    for (const char* name : {"p.emf", "p.wmf"}) {
        SCOPED_TRACE(name);
        const bool wmf = QString::fromUtf8(name).endsWith(QStringLiteral(".wmf"));
        const std::vector<uint8_t> bytes = Bytes(Path(name));
        const lvtest::ParsedMetafile m = wmf ? lvtest::ParseWmf(bytes) : lvtest::ParseEmf(bytes);
        ASSERT_TRUE(m.Ok()) << m.Error;
        const int u = TMetafileDevice(side, wmf ? TMetafileFormat::Wmf : TMetafileFormat::Emf).UnitsPerPixel();
        EXPECT_EQ(m.Extent, side * u);
        const std::vector<QString> lines = m.Lines(u);
        for (const char* prefix : {"Длина волны: 1", "Импульс: ", "Маркер 1-2", "Маркер 2-3", "Расстояние: "}) {
            const auto line = std::find_if(lines.begin(), lines.end(), [&](const QString& l) {
                return l.startsWith(QString::fromUtf8(prefix));
            });
            EXPECT_NE(line, lines.end()) << prefix;
        }
        for (const lvtest::MetafileText& t : m.Texts) {
            if (t.Text.startsWith(QStringLiteral("Маркер"))) {
                EXPECT_LT(t.At.x(), m.Extent.width() / 5) << t.Text.toStdString();
            }
        }
    }

    EXPECT_EQ(lvtest::PdfPages(Path("p.pdf")), 1);
    EXPECT_TRUE(QString::fromUtf8(lvtest::RunTool("pdftotext", {Path("p.pdf"), "-"})).contains(QStringLiteral("Маркер 1-2")));
    QSvgRenderer svg(Path("p.svg"));
    ASSERT_TRUE(svg.isValid());
    EXPECT_EQ(svg.viewBox().size(), side);
    EXPECT_EQ(QImage(Path("p.png"), "PNG").size(), side);
}

TEST_F(ExportTest, AboveFourFramesInTheQueueThePrintCopyCarriesTheBlockUnderTheGraph) {
    ChooseMarking(5); // 6 frames
    Settle();
    ASSERT_EQ(Form->PrintQueue().FramesPerPage(), 6);
    ASSERT_GT(Graph().height(), 200);
    // Twice the graph's height, under the graph: not the frame the side column is fitted to.
    const QSize compact = PageSize(TTracePageLayout::Compact);
    ASSERT_EQ(compact.height(), 2 * Graph().height() + 1);
    Export({0, Path("c.bmp")});
    Export({0, Path("c.emf")});
    EXPECT_EQ(QImage(Path("c.bmp"), "BMP").size(), compact);
    const lvtest::ParsedMetafile m = lvtest::ParseEmf(Bytes(Path("c.emf")));
    ASSERT_TRUE(m.Ok()) << m.Error;
    int block = 0;
    for (const lvtest::MetafileText& t : m.Texts)
        if (t.Text.startsWith(QStringLiteral("Маркер")) || t.Text.startsWith(QStringLiteral("Длина волны"))) {
            ++block;
            EXPECT_GT(t.At.y(), m.Extent.height() / 2) << t.Text.toStdString();
        }
    EXPECT_GE(block, 3);
}

TEST_F(ExportTest, AScreenCopyIsTheWindowAsABitmapWhateverItsName) {
    Export({1, Path("screen.emf")});
    EXPECT_TRUE(Done());
    const std::vector<uint8_t> bytes = Bytes(Path("screen.emf"));
    ASSERT_GT(bytes.size(), 30u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    const QImage image(Path("screen.emf"), "BMP");
    EXPECT_EQ(image.size(), Form->size());
    // The graph's black field is in it: this is the screen, not the printed page.
    EXPECT_LT(WhiteShare(image), 500);
}

TEST_F(ExportTest, TheDialogIsKeptWithItsChoiceAndNameAndRelativeNamesLieInTheDataFolder) {
    Form->Settings().DataDir = Dir.path();
    TExportForm* first = nullptr;
    Export({1, QStringLiteral("экран")}, &first);
    EXPECT_TRUE(Done());
    EXPECT_TRUE(QFileInfo::exists(Path("экран.bmp")));
    ASSERT_NE(first, nullptr);

    // Shown again, it is the same dialog with the screen copy and the name still set.
    TExportForm* second = nullptr;
    int object = -1;
    QString name;
    lvtest::WhenModal([&](QWidget* w) {
        second = qobject_cast<TExportForm*>(w);
        ASSERT_NE(second, nullptr);
        object = second->ExportObject();
        name = second->FileName();
        second->CancelBtn()->click();
    });
    Prompts.Messages.clear();
    Trigger("Export1B");
    Settle();
    EXPECT_EQ(second, first);
    EXPECT_EQ(object, 1);
    EXPECT_EQ(name, QStringLiteral("экран"));
    // Cancel: nothing asked, nothing written.
    EXPECT_TRUE(Prompts.Messages.empty());
    EXPECT_EQ(Dir.entries().size(), 2u); // the trace and the picture

    // A name without an extension after the metafile filter was chosen is a metafile.
    {
        Prompts.FileAnswers.push_back({Dir.file("линия")});
        Prompts.FilterAnswers.push_back(efMetafile);
        lvtest::WhenModal([](QWidget* w) {
            auto* form = qobject_cast<TExportForm*>(w);
            ASSERT_NE(form, nullptr);
            form->SetExportObject(0);
            form->BrowseBtn()->click();
            form->OkBtn()->click();
        });
        Trigger("Export1");
        Settle();
    }
    EXPECT_TRUE(Done());
    EXPECT_TRUE(lvtest::ParseEmf(Bytes(Path("линия.emf"))).Ok());
}

TEST_F(ExportTest, AnExistingFileIsReplacedOnlyAfterYes) {
    const QString file = Path("old.bmp");
    lvtest::writeBytes(file.toStdString(), {'o', 'l', 'd'});
    struct Row {
        int answer;
        bool replaced;
    };
    for (const Row r : {Row{mrNo, false}, Row{mrYes, true}}) {
        Prompts.Messages.clear();
        Prompts.Answers.push_back(r.answer);
        Export({0, file});
        ASSERT_GE(Prompts.Messages.size(), 1u);
        EXPECT_EQ(Prompts.Messages[0].Text, FormatS(kMsgExportFileExists, file.toStdString()));
        EXPECT_EQ(Prompts.Messages[0].Text, "Файл " + file.toStdString() + " существует.\r\nПерезаписать?");
        EXPECT_EQ(Prompts.Messages[0].Type, TMsgDlgType::mtConfirmation);
        EXPECT_EQ(Prompts.Messages[0].Buttons, TMsgDlgButtons(mbYes | mbNo));
        EXPECT_EQ(Prompts.Messages.size(), r.replaced ? 2u : 1u);
        EXPECT_EQ(Done(), r.replaced);
        EXPECT_EQ(Bytes(file) == std::vector<uint8_t>({'o', 'l', 'd'}), !r.replaced);
    }
    EXPECT_EQ(QImageReader(file).format(), "bmp");
}

TEST_F(ExportTest, AFailedWriteIsShownWithoutTheCompletionMessage) {
    lvtest::writeBytes(Dir.file("plain.txt"), {'x'});
    const std::vector<std::string> before = Dir.entries();
    for (const char* name : {"нет/p.bmp", "нет/p.emf", "plain.txt/p.wmf", "plain.txt/p.pdf"}) {
        for (int object : {0, 1}) {
            SCOPED_TRACE(std::string(name) + (object ? " screen" : " print"));
            Prompts.Messages.clear();
            Export({object, Path(name)});
            ASSERT_EQ(Prompts.Messages.size(), 1u);
            EXPECT_EQ(Prompts.Messages[0].Type, TMsgDlgType::mtError);
            EXPECT_NE(Prompts.Messages[0].Text.find(name), std::string::npos) << Prompts.Messages[0].Text;
        }
    }
    EXPECT_EQ(Dir.entries(), before);
    EXPECT_FALSE(Form->MainGraph->Printing());
}

namespace {

// Where a picture has ink, on a grid of `columns` × `rows` cells over its inked part: the same
// page drawn by different readers at different resolutions agrees cell by cell.
std::vector<bool> InkGrid(const QImage& picture, int columns, int rows) {
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 160) ink |= QRect(x, y, 1, 1);
    std::vector<bool> grid(size_t(columns * rows), false);
    if (ink.isEmpty()) return grid;
    for (int y = ink.top(); y <= ink.bottom(); ++y)
        for (int x = ink.left(); x <= ink.right(); ++x)
            if (qGray(image.pixel(x, y)) < 160) {
                const int c = std::min(columns - 1, (x - ink.left()) * columns / ink.width());
                const int r = std::min(rows - 1, (y - ink.top()) * rows / ink.height());
                grid[size_t(r * columns + c)] = true;
            }
    return grid;
}

double Agreement(const std::vector<bool>& a, const std::vector<bool>& b) {
    int same = 0;
    for (size_t i = 0; i < a.size(); ++i)
        same += a[i] == b[i];
    return double(same) / double(a.size());
}

double InkAspect(const QImage& picture) {
    QRect ink;
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 160) ink |= QRect(x, y, 1, 1);
    return ink.isEmpty() ? 0 : double(ink.width()) / ink.height();
}

} // namespace

TEST_F(ExportTest, LibreOfficeDrawsTheExportedMetafilesAsThePdfPageShowsIt) {
    const QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (office.isEmpty()) {
        if (qEnvironmentVariableIntValue("LUMVARIS_REQUIRE_OFFICE")) FAIL() << "soffice is missing";
        GTEST_SKIP() << "no soffice to render metafiles";
    }
    for (const char* name : {"page.pdf", "page-emf.emf", "page-wmf.wmf"})
        Export({0, Path(name)});
    QProcess p;
    p.start(office, QStringList{QStringLiteral("--headless"), QStringLiteral("--norestore"),
                                QStringLiteral("-env:UserInstallation=file://") + Path("profile"),
                                QStringLiteral("--convert-to"), QStringLiteral("png"),
                                QStringLiteral("--outdir"), Path("office"), Path("page-emf.emf"),
                                Path("page-wmf.wmf")});
    ASSERT_TRUE(p.waitForFinished(180000)) << "soffice did not finish";
    lvtest::RunTool("pdftoppm", {"-r", "96", "-png", "-singlefile", Path("page.pdf"), Path("pdf-page")});
    const QImage pdf(Path("pdf-page.png"));
    ASSERT_FALSE(pdf.isNull());
    constexpr int kColumns = 100, kRows = 40;
    const std::vector<bool> expected = InkGrid(pdf, kColumns, kRows);
    // The grid tells pages apart: the page upside down is far from itself.
    ASSERT_LT(Agreement(expected, InkGrid(pdf.mirrored(true, true), kColumns, kRows)), 0.8);
    for (const char* name : {"office/page-emf.png", "office/page-wmf.png"}) {
        SCOPED_TRACE(name);
        const QImage drawn(Path(name));
        ASSERT_FALSE(drawn.isNull()) << p.readAllStandardError().toStdString();
        EXPECT_NEAR(InkAspect(drawn), InkAspect(pdf), 0.03 * InkAspect(pdf));
        EXPECT_GT(Agreement(InkGrid(drawn, kColumns, kRows), expected), 0.95);
    }
}

// ---- lumvaris --export
// ------------------------------------------------------------------------------------

using ExportScript = lvtest::ProgramTest;

TEST_F(ExportScript, WritesEveryKindWithoutAWindowOrSettingsWritten) {
    const QString trace = Trace("f.tra", 1310, "Волокно 7");
    struct Row {
        QStringList args;
        const char* file;
        QByteArray magic;
    };
    const Row rows[] = {
        {{"--export", "p.bmp", trace}, "p.bmp", "BM"},
        {{"--export", "p.emf", trace}, "p.emf", QByteArray("\x01\0\0\0", 4)},
        {{trace, "--export", "p.wmf"}, "p.wmf", QByteArray("\xD7\xCD\xC6\x9A", 4)},
        {{"--export", "p.pdf", trace}, "p.pdf", "%PDF"},
        {{"--export", "p.svg", trace}, "p.svg", "<?xm"},
        {{"--export", "p.png", trace}, "p.png", "\x89PNG"},
        {{"--export", "s.emf", "--screen", trace}, "s.emf", "BM"},
        {{"--screen", "--export", "s", trace}, "s.bmp", "BM"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.args.join(u' ').toStdString());
        const lvtest::ProgramRun run = Run(r.args, QString::fromStdString(Dir.path()));
        ASSERT_EQ(run.Exit, 0) << run.Errors.toStdString();
        EXPECT_TRUE(run.Errors.isEmpty()) << run.Errors.toStdString();
        QFile f(Path(r.file));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.read(r.magic.size()), r.magic);
    }
    // The print copy of the script is the dialog's: the page with the trace's own values.
    const lvtest::ParsedMetafile m = lvtest::ParseWmf(lvtest::readBytes(Dir.file("p.wmf")));
    ASSERT_TRUE(m.Ok()) << m.Error;
    const std::vector<QString> lines = m.Lines(20);
    EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                           [](const QString& l) { return l.startsWith(QStringLiteral("Длина волны: 1,31")); }),
              lines.end());
    EXPECT_TRUE(QString::fromUtf8(lvtest::RunTool("pdftotext", {Path("p.pdf"), "-"}))
                    .contains(QStringLiteral("Длина волны: 1,31 мкм")));
    EXPECT_FALSE(QFileInfo::exists(Config + QStringLiteral("/Lumvaris/V2.0.conf")));
}

TEST_F(ExportScript, ExitsWithTheRussianMessageWhenItCannotExport) {
    const QString trace = Trace("f.tra", 1550, "Волокно");
    const QString missing = Path("нет.tra");
    const QString out = Path("out.emf");
    struct Row {
        QStringList args;
        QString message; // a part of what standard error says
    };
    const Row rows[] = {
        {{"--export", Path("out.jpg"), trace}, QString::fromUtf8(kMsgExportKind)},
        {{"--export", out}, QString::fromUtf8(kMsgExportOneTrace)},
        {{"--export", out, trace, trace}, QString::fromUtf8(kMsgExportOneTrace)},
        {{"--export"}, QStringLiteral("Не указано значение параметра --export.")},
        {{"--export", "", trace}, QString::fromUtf8(kMsgNoExportFileName)},
        {{"--export", out, "--frames", "2", trace}, QStringLiteral("Неизвестный параметр --frames.")},
        {{"--export", out, missing}, missing},
        {{"--export", Path("нет/out.emf"), trace}, QStringLiteral("нет/out.emf")},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.args.join(u' ').toStdString());
        const lvtest::ProgramRun run = Run(r.args);
        EXPECT_EQ(run.Exit, 1);
        EXPECT_TRUE(run.Errors.contains(r.message)) << run.Errors.toStdString();
    }
    EXPECT_EQ(Dir.entries(), std::vector<std::string>{"f.tra"});
}
