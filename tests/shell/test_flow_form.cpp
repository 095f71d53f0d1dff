// The construction window on the main window's graph: its commands and their twins, the markers
// it puts and follows, the overlay, the splice file at close, the report button; and the dialog
// of the construction parameters.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>

#include <sys/stat.h>

#include "MainFormFixture.h"
#include "ShellTestSupport.h"
#include "display/ViewFixture.h"
#include "display/uGraphsCmps.h"
#include "reports/uSpreadsheetFake.h"
#include "shell/fFlowForm.h"
#include "shell/fFlowParams.h"
#include "shell/fParamsPanel.h"
#include "support/SyntheticLine.h"

namespace {

using namespace lv;
using lvtest::SyntheticLine;

const QColor kYellow = QColor::fromRgb(kFlowOverlayRgb);

class FlowFormTest : public lvtest::MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        LineFolder = Dir.path() + "/Л1/";
        Line.LengthKm = 20;
        Line.SplicesKm = {4, 9, 14};
        Line.Samples = 4000;
        std::vector<lvtest::LineFibre> fibres;
        for (int n : {1, 2}) {
            lvtest::LineFibre f;
            f.Number = n;
            f.LossAB = f.LossBA = {0.1, 0.05, 0.2};
            fibres.push_back(f);
        }
        Line.Write(LineFolder, fibres);
        Form->resize(1100, 760);
        Form->show();
        Settle();
        Form->SetProcessingMode(pmConstruction);
    }
    void TearDown() override {
        Flow.reset();
        MainFormTest::TearDown();
    }

    std::string MifPath() const { return LineFolder + "Л1.mif"; }
    TFlowForm& Open(std::vector<TSpliceRecord> records = {}) {
        Flow = std::make_unique<TFlowForm>(LineFolder, "Л1", TSpliceFileChoice{MifPath(), std::move(records)},
                                           *Form);
        Settle();
        return *Flow;
    }
    TMainGraph& Graph() const { return *Form->MainGraph; }
    // The operator puts the cursor at `km` and presses the main window's splice button.
    void PlaceAt(double km) {
        Graph().SetCursorX(km);
        Trigger("Muff1B");
        Settle();
    }
    bool FlowEnabled(const char* command) const {
        return Flow->Command(QString::fromLatin1(command))->isEnabled();
    }
    TSpliceMarkers GraphMarkers() const {
        auto at = [](const TMarker* m) { return m->Shown() ? TOptKm(m->X()) : std::nullopt; };
        return {at(Graph().Marker(1)), at(Graph().Marker(2)), at(Graph().YMarker()), at(Graph().Marker(3))};
    }
    QImage Render() { return lvtest::RenderView(Graph()); }

    SyntheticLine Line;
    std::string LineFolder;
    std::unique_ptr<TFlowForm> Flow;
};

TEST_F(FlowFormTest, OpensTheLinesTracesFromAAndItsTable) {
    const std::vector<TSpliceRecord> stored = Line.Table().Table().Records();
    TFlowForm& f = Open(stored);
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Л1"));
    EXPECT_EQ(f.DirectionLabel()->text(), QString::fromUtf8(kFlowDirectionAB));
    ASSERT_EQ(Form->TraceCount(), 2);
    EXPECT_NE(Form->ActiveTrace()->SourceFileName().indexOf(QStringLiteral("/AB/001.tra")), -1)
        << "fibre 1 is opened last and active";
    EXPECT_EQ(f.Editor().End(), 20.0);

    // The grid: names and distances from A and from B with three decimals, ordered from A.
    QTableWidget& grid = *f.Grid();
    const QStringList headers = {QStringLiteral("Название"), QStringLiteral("А-Муфта, км"),
                                 QStringLiteral("В-Муфта, км")};
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(grid.horizontalHeaderItem(c)->text(), headers[c]);
    ASSERT_EQ(grid.rowCount(), 3);
    const QChar point = QLocale().decimalPoint().front();
    EXPECT_EQ(grid.item(0, 0)->text(), QStringLiteral("Муфта 1"));
    EXPECT_EQ(grid.item(0, 1)->text(), QStringLiteral("4.000").replace(u'.', point));
    EXPECT_EQ(grid.item(0, 2)->text(), QStringLiteral("16.000").replace(u'.', point));
    EXPECT_EQ(grid.item(2, 1)->text(), QStringLiteral("14.000").replace(u'.', point));

    // The current splice's markers are on the graph, whatever their order.
    EXPECT_EQ(GraphMarkers(), f.Editor().CurrentMarkers());
    EXPECT_EQ(GraphMarkers().M2, f.Editor().Table().Current()->MPosF);
    EXPECT_TRUE(Prompts.Messages.empty());
}

// The command states after every change, the main window's twins and the graph menu's items with
// them; after the window has gone the twins are dead.
TEST_F(FlowFormTest, CommandStatesAndTheirTwins) {
    TFlowForm& f = Open();
    QMenu& popup = *Form->GraphPopup();
    auto popupItem = [&](const char* name) {
        EXPECT_TRUE(Graph().Popup({40, 40}));
        popup.hide();
        return Form->PopupItem(QString::fromLatin1(name))->isEnabled();
    };
    struct Expect {
        const char* Step;
        bool SetMuff, SetEnd1, NotEmpty, Changes;
    };
    auto check = [&](const Expect& e) {
        SCOPED_TRACE(e.Step);
        EXPECT_TRUE(FlowEnabled("SetStart1"));
        EXPECT_TRUE(Enabled("Start1B"));
        EXPECT_EQ(FlowEnabled("SetMuff"), e.SetMuff);
        EXPECT_EQ(Enabled("Muff1B"), e.SetMuff);
        EXPECT_EQ(popupItem("SetMuff"), e.SetMuff);
        EXPECT_EQ(FlowEnabled("SetEnd1"), e.SetEnd1);
        EXPECT_EQ(Enabled("End1B"), e.SetEnd1);
        EXPECT_EQ(popupItem("SetEnd1"), e.SetEnd1);
        for (const char* n : {"DelMuff", "NoteMuff", "ReportBtn"})
            EXPECT_EQ(FlowEnabled(n), e.NotEmpty) << n;
        for (const char* n : {"RollBackBtn", "ApplyBtn"})
            EXPECT_EQ(FlowEnabled(n), e.Changes) << n;
    };
    check({"no cursor, no splices", false, false, false, false});
    Graph().SetCursorX(4);
    check({"cursor on the trace", true, false, false, false});
    Trigger("Muff1B");
    check({"one splice", true, true, true, true});
    f.Command(QStringLiteral("ApplyBtn"))->trigger();
    check({"applied", true, true, true, false});
    Graph().SetCursorX(25); // beyond the trace: the cursor is reported hidden
    check({"cursor off the trace", false, false, true, false});
    f.Command(QStringLiteral("SetStart1"))->trigger();
    EXPECT_EQ(f.Editor().Start(), 0.0) << "a hidden cursor sets no start";
    EXPECT_FALSE(FlowEnabled("RollBackBtn"));
    f.Command(QStringLiteral("DelMuff"))->trigger();
    check({"deleted", false, false, false, true});

    Graph().SetCursorX(5);
    f.close();
    EXPECT_FALSE(f.isVisible());
    for (const char* n : {"Start1B", "Muff1B", "End1B"})
        EXPECT_FALSE(Enabled(n)) << n;
    const int count = f.Editor().Table().Count();
    Form->Command(QStringLiteral("Muff1B"))->setEnabled(true);
    Trigger("Muff1B");
    EXPECT_EQ(f.Editor().Table().Count(), count) << "the twin no longer runs the window's command";
}

// Splices placed from the main window, records chosen in the grid, a deletion and a roll-back:
// each time the current record's markers are on the graph.
TEST_F(FlowFormTest, TheCurrentRecordsMarkersArePutOnTheGraph) {
    TFlowForm& f = Open();
    PlaceAt(4);
    PlaceAt(9);
    PlaceAt(14);
    ASSERT_EQ(f.Grid()->rowCount(), 3);
    EXPECT_EQ(f.Grid()->currentRow(), 2);
    const TSpliceMarkers third = f.Editor().CurrentMarkers();
    EXPECT_EQ(third.M2, 14.0);
    EXPECT_EQ(third.M1, 13.0);
    EXPECT_EQ(GraphMarkers(), third);

    f.Grid()->setCurrentCell(0, 0); // the operator picks the first splice
    EXPECT_EQ(f.Editor().Table().CurrentIndex(), 0);
    EXPECT_EQ(GraphMarkers().M2, 4.0);
    EXPECT_EQ(GraphMarkers(), f.Editor().CurrentMarkers());

    f.Command(QStringLiteral("DelMuff"))->trigger();
    EXPECT_EQ(f.Grid()->rowCount(), 2);
    EXPECT_EQ(GraphMarkers().M2, 9.0) << "the next splice became current";

    f.Command(QStringLiteral("RollBackBtn"))->trigger();
    EXPECT_EQ(f.Grid()->rowCount(), 0);
    EXPECT_EQ(GraphMarkers(), TSpliceMarkers{}) << "no splice, no markers";
    EXPECT_FALSE(FlowEnabled("RollBackBtn"));
}

// A switch of the active trace shows that trace's own markers; the record stays as it was.
// What the operator then drags is followed, and only that.
TEST_F(FlowFormTest, AnActiveTraceSwitchLeavesTheRecordAndDragsAreFollowed) {
    TFlowForm& f = Open();
    PlaceAt(9);
    f.Command(QStringLiteral("ApplyBtn"))->trigger();
    const TSpliceRecord placed = *f.Editor().Table().Current();

    // Fibre 2 remembers markers of its own from earlier work.
    TMainDataItem* fibre1 = Form->ActiveTrace();
    TMainDataItem* fibre2 = Form->Trace(1) == fibre1 ? Form->Trace(0) : Form->Trace(1);
    fibre2->SetMarkerPos(0, 2.0);
    fibre2->SetMarkerPos(1, 6.0);
    Graph().Data().CycleItems(true);
    Settle();
    ASSERT_EQ(Form->ActiveTrace(), fibre2);
    ASSERT_EQ(GraphMarkers().M1, 2.0);
    EXPECT_EQ(*f.Editor().Table().Current(), placed);
    EXPECT_FALSE(FlowEnabled("RollBackBtn"));

    // The operator drags fibre 2's M2 to about 7 km: only M2 is written.
    const TMarker& m2 = *Graph().Marker(2);
    const QPoint grip = m2.Bounds().topLeft() + QPoint(TMarker::kStemColumn, 20);
    const QPoint to(Graph().Geometry().XMap().ToPixel(7.0), grip.y());
    QWidget* port = Graph().viewport();
    lvtest::SendMouse(port, QEvent::MouseButtonPress, grip, true);
    lvtest::SendMouse(port, QEvent::MouseMove, to, true);
    lvtest::SendMouse(port, QEvent::MouseButtonRelease, to, false);
    Settle();
    const TSpliceRecord& now = *f.Editor().Table().Current();
    EXPECT_NEAR(*now.M2F, 7.0, 0.05);
    EXPECT_EQ(now.M2F, m2.X());
    EXPECT_EQ(now.M1F, placed.M1F) << "fibre 2's own M1 is not the splice's";
    EXPECT_EQ(now.MYF, placed.MYF);
    EXPECT_EQ(now.M3F, placed.M3F);
    EXPECT_EQ(now.MPosF, placed.MPosF);
    EXPECT_TRUE(FlowEnabled("RollBackBtn"));

    // Back on fibre 1: the record is untouched by its markers as well.
    Graph().Data().CycleItems(true);
    Settle();
    EXPECT_EQ(*f.Editor().Table().Current(), now);
}

// The lines and labels of the start, the end and the splices stand where they are only while
// they are inside the visible range, and never on paper.
TEST_F(FlowFormTest, TheOverlayDrawsOnlyWhatIsVisibleAndOnlyOnScreen) {
    TFlowForm& f = Open();
    PlaceAt(9);
    Graph().SetCursorX(1);
    f.Command(QStringLiteral("SetStart1"))->trigger();
    Graph().SetCursorX(19);
    f.Command(QStringLiteral("SetEnd1"))->trigger();
    Graph().SetCursorVisible(false); // its red line would cover the end's
    Graph().HideAllMarkers();        // the Y marker is yellow too
    ASSERT_EQ(f.Editor().Start(), 1.0);
    ASSERT_EQ(f.Editor().End(), 19.0);

    // The lines are pure yellow; the labels' letters are smoothed into the black (shades of
    // yellow). The curves stay below the top strip, where the labels are.
    auto countIn = [&](const QImage& img, int left, int right, int top, int bottom, bool shades) {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = std::max(left, 0); x < std::min(right, img.width()); ++x) {
                const QColor c(img.pixel(x, y));
                n += shades ? c.red() > 64 && c.red() == c.green() && c.blue() == 0 : c == kYellow;
            }
        return n;
    };
    auto yellowIn = [&](const QImage& img, int left, int right, int top, int bottom) {
        return countIn(img, left, right, top, bottom, false);
    };
    auto lettersIn = [&](const QImage& img, int left, int right, int top, int bottom) {
        return countIn(img, left, right, top, bottom, true);
    };
    struct Case {
        double From, To;
        std::vector<double> Lines; // km of the lines that show
    };
    const Case cases[] = {
        {0, 20, {1, 9, 19}},
        {1.5, 18.5, {9}}, // the start and end just outside
        {10, 18.5, {}},   // nothing inside
        {0.5, 1.5, {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.From);
        Graph().ZoomTo({c.From, -40, c.To, 60});
        Settle();
        const QImage img = Render();
        const TRect content = Graph().ContentRect();
        const TAxisMap x = Graph().Geometry().XMap();
        const int stripBottom = content.Top + QFontMetrics(Graph().ContentFont().Font).height() + 4;
        int lines = 0;
        for (double km : c.Lines) {
            const int px = x.ToPixel(km);
            // The whole height of the plot, one pixel wide.
            for (int y : {content.Top + 1, (content.Top + content.Bottom) / 2, content.Bottom - 2})
                EXPECT_EQ(QColor(img.pixel(px, y)), kYellow) << km << " at " << y;
            EXPECT_NE(QColor(img.pixel(px - 2, content.Top + 30)), kYellow) << km;
            ++lines;
        }
        // Beside the lines, only their labels: a strip of yellow text at the top, nothing else.
        EXPECT_EQ(yellowIn(img, content.Left, content.Right, stripBottom, content.Bottom),
                  lines * (content.Bottom - stripBottom));
        const int letters = lettersIn(img, content.Left, content.Right, content.Top, stripBottom);
        int beside = 0;
        for (double km : c.Lines) {
            const int px = x.ToPixel(km);
            const int near = lettersIn(img, px - 60, px + 61, content.Top, stripBottom);
            EXPECT_GT(near - (stripBottom - content.Top), 20) << "label beside " << km;
            beside += near;
        }
        EXPECT_EQ(letters, beside) << "no label of a line that is not shown";
    }

    // A printed picture carries none of it.
    Graph().ShowAll();
    Graph().PreparePrint({Form->ActiveTrace()});
    const std::string bmp = Dir.file("picture.bmp");
    Graph().SavePicture(QString::fromStdString(bmp), 1);
    const QImage paper(QString::fromStdString(bmp));
    ASSERT_FALSE(paper.isNull());
    EXPECT_EQ(yellowIn(paper, 0, paper.width(), 0, paper.height()), 0);
}

TEST_F(FlowFormTest, ChangingTheDirectionOpensTheOtherSetWithItsMarkers) {
    TFlowForm& f = Open(Line.Table().Table().Records());
    f.Grid()->setCurrentCell(1, 0);
    f.Command(QStringLiteral("ChangeDir1B"))->trigger();
    Settle();
    EXPECT_EQ(f.Editor().Direction(), TFlowDirection::BA);
    EXPECT_EQ(f.DirectionLabel()->text(), QString::fromUtf8(kFlowDirectionBA));
    ASSERT_EQ(Form->TraceCount(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_NE(Form->Trace(i)->SourceFileName().indexOf(QStringLiteral("/BA/")), -1);
    const TSpliceRecord& current = *f.Editor().Table().Current();
    EXPECT_EQ(GraphMarkers(), current.Markers(TFlowDirection::BA));
    EXPECT_EQ(GraphMarkers().M2, 11.0); // 0 + 20 − 9

    // The grid's splices from B; a splice placed from B edits the current record.
    Graph().SetCursorX(11.5);
    Trigger("Muff1B");
    EXPECT_EQ(f.Editor().Table().Count(), 3);
    EXPECT_EQ(f.Editor().Table().Current()->MPosR, 11.5);
    EXPECT_EQ(GraphMarkers().M2, 11.5);

    // A direction without traces: the warning, and nothing open.
    std::filesystem::remove_all(LineFolder + "AB");
    f.Command(QStringLiteral("ChangeDir1B"))->trigger();
    ASSERT_EQ(Prompts.Messages.size(), 1u);
    EXPECT_EQ(Prompts.Messages[0].Text, kMsgDirectionHasNoData);
    EXPECT_EQ(Form->TraceCount(), 0);
}

TEST_F(FlowFormTest, NamingASpliceAndTheEndBeforeTheStart) {
    TFlowForm& f = Open();
    PlaceAt(9);
    lvtest::WhenModal([](QWidget* box) {
        EXPECT_EQ(box->windowTitle(), QString::fromUtf8(kSpliceNameTitle));
        QLineEdit* edit = box->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->text(), QStringLiteral("Муфта 1"));
        EXPECT_NE(box->findChild<QLabel*>()->text().indexOf(QString::fromUtf8(kSpliceNamePrompt)), -1);
        edit->setText(QStringLiteral("Колодец 12"));
        lvtest::ButtonText(box, QStringLiteral("OK"))->click();
    });
    f.Command(QStringLiteral("NoteMuff"))->trigger();
    EXPECT_EQ(f.Editor().CurrentName(), "Колодец 12");
    EXPECT_EQ(f.Grid()->item(0, 0)->text(), QStringLiteral("Колодец 12"));

    Graph().SetCursorX(5);
    f.Command(QStringLiteral("SetStart1"))->trigger();
    Graph().SetCursorX(3);
    Trigger("End1B");
    ASSERT_EQ(Prompts.Messages.size(), 1u);
    EXPECT_EQ(Prompts.Messages[0].Text, kMsgEndBeforeStart);
    EXPECT_EQ(f.Editor().End(), 0.0);
}

// The table is written when the window closes; a write that fails keeps the window and the
// table, and the next close writes it.
TEST_F(FlowFormTest, ClosingWritesTheTableAndAFailedWriteKeepsTheWindow) {
    TFlowForm& f = Open();
    f.show();
    PlaceAt(4);
    PlaceAt(14);
    int closed = 0;
    QObject::connect(&f, &TFlowForm::Closed, [&] { ++closed; });

    SaveSpliceFile(MifPath(), {});
    ASSERT_EQ(::chmod(MifPath().c_str(), 0444), 0);
    EXPECT_FALSE(f.close());
    ASSERT_EQ(Prompts.Messages.size(), 1u);
    EXPECT_EQ(Prompts.Messages[0].Type, TMsgDlgType::mtError);
    EXPECT_NE(Prompts.Messages[0].Text.find("Л1.mif"), std::string::npos);
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(closed, 0);
    EXPECT_TRUE(LoadSpliceFile(MifPath()).empty());
    EXPECT_EQ(f.Editor().Table().Count(), 2);
    EXPECT_TRUE(Enabled("Start1B")) << "still the window's command";

    ASSERT_EQ(::chmod(MifPath().c_str(), 0644), 0);
    EXPECT_TRUE(f.close());
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(LoadSpliceFile(MifPath()), f.Editor().Table().Records());
}

// An existing file that cannot be read is never written over: the operator is asked, and the
// table goes into the side file.
TEST_F(FlowFormTest, AnUnreadableSpliceFileIsNeverOverwritten) {
    lvtest::writeBytes(MifPath(), {'M', 'D', 0, 1});
    Prompts.Answers = {mrNo};
    EXPECT_EQ(TFlowForm::OpenForLine(LineFolder, "Л1", *Form), nullptr);
    EXPECT_EQ(Form->TraceCount(), 0);

    Prompts.Answers = {mrYes};
    QPointer<TFlowForm> f = TFlowForm::OpenForLine(LineFolder, "Л1", *Form);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->SpliceFile(), SpliceSideFileName(MifPath()));
    EXPECT_EQ(Form->TraceCount(), 2);
    PlaceAt(4);
    ASSERT_TRUE(f->close());
    Settle();
    EXPECT_TRUE(f.isNull()) << "freed after closing";
    EXPECT_EQ(lvtest::readBytes(MifPath()), (std::vector<uint8_t>{'M', 'D', 0, 1}));
    EXPECT_EQ(LoadSpliceFile(SpliceSideFileName(MifPath())).size(), 1u);
}

// The report button hands the report the table, both sets and the parameters; a refusal comes
// before any office work.
TEST_F(FlowFormTest, TheReportButtonMakesTheReportFromTheTable) {
    TFlowForm& f = Open();
    TFakeSpreadsheetApp office;
    f.SetOffice(&office);
    PlaceAt(4);
    f.Command(QStringLiteral("ReportBtn"))->trigger();
    ASSERT_EQ(Prompts.Messages.size(), 1u);
    EXPECT_EQ(Prompts.Messages[0].Text, kMsgEndNotSet);
    EXPECT_TRUE(office.Log.empty());

    PlaceAt(9);
    Graph().SetCursorX(20);
    Trigger("End1B");
    Form->Settings().FibCount = 2;
    Form->Settings().AutoFib = false;
    const TConstructionInput in = f.ReportInput();
    EXPECT_EQ(in.LineName, "Л1");
    EXPECT_EQ(in.TracesAB.size(), 2u);
    EXPECT_EQ(in.TracesBA.size(), 2u);
    EXPECT_EQ(in.Splices, f.Editor().Table().Records());
    EXPECT_EQ(in.EndKm, 20.0);
    EXPECT_EQ(in.Params.FibCount, 2);
    EXPECT_EQ(in.Approximation, Form->ParamsPanel()->AproxCode());

    f.Command(QStringLiteral("ReportBtn"))->trigger();
    Settle();
    EXPECT_FALSE(f.ReportRunning());
    ASSERT_EQ(office.Books.size(), 1u);
    const TFakeSheet* summary = office.Books[0]->FindSheet("Сводка");
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(summary->Value(1, 6), TCellValue::Text("Л1"));
    EXPECT_NE(office.Books[0]->FindSheet("Муфта 2"), nullptr);
    EXPECT_TRUE(office.Books[0]->Visible);
}

// ---- the parameters dialog -------------------------------------------------------------------------

class FlowParamsTest : public lvtest::MainFormTest {
protected:
    // Runs "Параметры (Строит. док.)..." with `act` on the dialog once it shows.
    void RunDialog(std::function<void(TFlowParamsFrm&)> act) {
        lvtest::WhenModal([act](QWidget* w) {
            auto* d = qobject_cast<TFlowParamsFrm*>(w);
            ASSERT_NE(d, nullptr);
            act(*d);
        });
        Trigger("ConditFlow1B");
        EXPECT_TRUE(Form->findChildren<TFlowParamsFrm*>().isEmpty()) << "a new dialog each time";
    }
    static void Type(TFlowParamsFrm& d, const char* name, const QString& text) {
        auto* edit = qobject_cast<QDoubleSpinBox*>(d.Control(QString::fromLatin1(name)));
        ASSERT_NE(edit, nullptr) << name;
        QLineEdit* line = edit->findChild<QLineEdit*>();
        ASSERT_NE(line, nullptr);
        line->setText(text);
    }
    static void Press(TFlowParamsFrm& d, const char* button) {
        qobject_cast<QPushButton*>(d.Control(QString::fromLatin1(button)))->click();
    }
};

TEST_F(FlowParamsTest, ShowsTheSettingsAndStoresThemRoundedOnOk) {
    TMainSettings& s = Form->Settings();
    s.DistM12 = 1500;
    s.FibCount = 48;
    s.AutoFib = false;
    s.FlowTmpFile = "/шаблоны/стр.xls";
    const QString point = QLocale().decimalPoint();
    RunDialog([&](TFlowParamsFrm& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Параметры (Строит. документация)"));
        EXPECT_EQ(d.Values(), FlowParamsOf(s));
        EXPECT_EQ(qobject_cast<QDoubleSpinBox*>(d.Control(QStringLiteral("DistM12")))->text(),
                  QStringLiteral("1500"));
        EXPECT_EQ(qobject_cast<QDoubleSpinBox*>(d.Control(QStringLiteral("FibCount")))->maximum(), 300.0);
        for (const char* b : {"OkBtn", "CancelBtn", "HelpBtn"})
            EXPECT_NE(d.Control(QString::fromLatin1(b)), nullptr);
        EXPECT_EQ(qobject_cast<QPushButton*>(d.Control(QStringLiteral("OkBtn")))->text(),
                  QStringLiteral("ОК"));
        Type(d, "DistM12", QStringLiteral("1000") + point + QStringLiteral("6"));
        Type(d, "DistMY3", QStringLiteral("2") + point + QStringLiteral("5"));
        // Beyond its range an editor holds its limit.
        qobject_cast<QDoubleSpinBox*>(d.Control(QStringLiteral("FibCount")))->setValue(500);
        qobject_cast<QCheckBox*>(d.Control(QStringLiteral("Cut")))->setChecked(true);
        Press(d, "HelpBtn"); // does nothing
        EXPECT_TRUE(d.isVisible());
        Press(d, "OkBtn");
    });
    EXPECT_EQ(s.DistM12, 1001);
    EXPECT_EQ(s.DistMY3, 2);
    EXPECT_EQ(s.FibCount, 300);
    EXPECT_TRUE(s.CutFib);
    EXPECT_FALSE(s.AutoFib);

    const TMainSettings before = s;
    RunDialog([&](TFlowParamsFrm& d) {
        Type(d, "DistM2Y", QStringLiteral("7"));
        Press(d, "CancelBtn");
    });
    EXPECT_EQ(FlowParamsOf(s), FlowParamsOf(before));
}

TEST_F(FlowParamsTest, TheTemplateIsChosenOnlyOutsideTheWorkModes) {
    Prompts.FileAnswers = {{"/data/мой шаблон.xls"}};
    RunDialog([](TFlowParamsFrm& d) {
        auto* file = qobject_cast<QLineEdit*>(d.Control(QStringLiteral("TmpFile")));
        auto* choose = qobject_cast<QToolButton*>(d.Control(QStringLiteral("TmpChoose")));
        EXPECT_FALSE(file->isReadOnly());
        EXPECT_FALSE(choose->isHidden());
        EXPECT_EQ(choose->toolTip(), QStringLiteral("Выбрать шаблон"));
        choose->click();
        EXPECT_EQ(file->text(), QStringLiteral("/data/мой шаблон.xls"));
        Press(d, "OkBtn");
    });
    ASSERT_EQ(Prompts.Dialogs.size(), 1u);
    EXPECT_EQ(Prompts.Dialogs[0].Filter, "Файлы Excel|*.xls|Все файлы|*.*");
    EXPECT_EQ(Prompts.Dialogs[0].DefaultExt, "xls");
    EXPECT_EQ(Form->Settings().FlowTmpFile, "/data/мой шаблон.xls");

    for (int mode : {int(pmConstruction), 2, 3}) {
        Form->SetProcessingMode(mode);
        RunDialog([](TFlowParamsFrm& d) {
            auto* file = qobject_cast<QLineEdit*>(d.Control(QStringLiteral("TmpFile")));
            EXPECT_TRUE(file->isReadOnly());
            EXPECT_EQ(file->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Button));
            EXPECT_TRUE(d.Control(QStringLiteral("TmpChoose"))->isHidden());
            Press(d, "OkBtn");
        });
        EXPECT_EQ(Form->Settings().FlowTmpFile, "/data/мой шаблон.xls");
    }
    Form->SetProcessingMode(pmNormal);
}

// ---- a line made by the command-line tool, splices placed by mouse -----------------------------------

// Run under Xvfb by tools/flow-shot.sh (the clicks through the X server, LUMVARIS_FLOW_SHOT naming
// the PNG of the screen); offscreen the clicks are sent to the widgets.
class FlowShotTest : public lvtest::MainFormTest {};

TEST_F(FlowShotTest, ThreeSplicesPlacedByMouseOnALineOfTheCommandLineTool) {
#ifndef LUMVARIS_CLI
    GTEST_SKIP() << "the command-line tool is not built";
#else
    // Two fibres measured from both ends of a 20 km line with splices at 4, 9 and 14 km from A.
    const std::string folder = Dir.path() + "/Линия 7/";
    const double splicesKm[] = {4, 9, 14};
    for (const char* dir : {"AB", "BA"})
        for (int fibre : {1, 2}) {
            std::filesystem::create_directories(folder + dir);
            QStringList events;
            for (double km : splicesKm) {
                const double at = std::string(dir) == "AB" ? km : 20 - km;
                events << QStringLiteral("splice@%1:%2").arg(at).arg(0.05 * fibre + km / 100);
            }
            const QString file =
                QString::fromStdString(folder + dir + "/00" + std::to_string(fibre) + ".tra");
            ASSERT_EQ(
                QProcess::execute(QStringLiteral(LUMVARIS_CLI),
                                  {QStringLiteral("synth"), file, QStringLiteral("--length-km"),
                                   QStringLiteral("20"), QStringLiteral("--seed"), QString::number(fibre),
                                   QStringLiteral("--events"), events.join(u',')}),
                0);
        }

    Form->move(0, 0);
    Form->resize(1280, 800);
    Form->show();
    Settle();
    Form->SetProcessingMode(pmConstruction);
    QPointer<TFlowForm> flow = TFlowForm::OpenForLine(folder, "Линия 7", *Form);
    ASSERT_TRUE(flow);
    flow->move(860, 430);
    flow->resize(400, 300);
    Settle();

    TMainGraph& g = *Form->MainGraph;
    g.ZoomTo({-0.5, g.GetVisExts().YMin, 20.5, g.GetVisExts().YMax});
    Settle();
    QWidget* port = g.viewport();
    const int y = (g.ContentRect().Top + g.ContentRect().Bottom) / 2;
    auto clickGraph = [&](double km) {
        const double before = g.CursorX();
        lvtest::ClickAndWait(port, QPoint(g.Geometry().XMap().ToPixel(km), y),
                             [&] { return g.CursorX() != before; });
        Settle();
    };
    auto press = [&](const char* name, const std::function<bool()>& done) {
        QAction* a = Form->Command(QString::fromLatin1(name));
        ASSERT_TRUE(a->isEnabled()) << name;
        QWidget* button = Form->ToolBars()[0]->widgetForAction(a);
        lvtest::ClickAndWait(button, button->rect().center(), done);
        Settle();
    };
    for (double km : splicesKm) {
        clickGraph(km);
        const int count = flow->Editor().Table().Count();
        press("Muff1B", [&] { return flow->Editor().Table().Count() > count; });
    }
    clickGraph(19.9);
    press("End1B", [&] { return flow->Editor().End() > 0; });

    const TSpliceTable& table = flow->Editor().Table();
    ASSERT_EQ(table.Count(), 3);
    const double pixelKm = g.GetVisExts().Width() / g.ContentRect().Width();
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(*table.Record(i).MPosF, splicesKm[i], 2 * pixelKm) << i;
        EXPECT_NEAR(*table.Record(i).MPosR, flow->Editor().End() - *table.Record(i).MPosF, 1e-9) << i;
    }
    EXPECT_NEAR(flow->Editor().End(), 19.9, 2 * pixelKm);
    EXPECT_EQ(flow->Grid()->rowCount(), 3);

    // The lines of the splices and the end on the screen, in yellow.
    g.SetCursorVisible(false);
    Settle();
    const QImage screen = lvtest::RenderView(g);
    const int lower = g.ContentRect().Bottom - 3;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(QColor(screen.pixel(g.Geometry().XMap().ToPixel(*table.Record(i).MPosF), lower)), kYellow)
            << i;
    EXPECT_EQ(QColor(screen.pixel(g.Geometry().XMap().ToPixel(flow->Editor().End()), lower)), kYellow);
    g.SetCursorVisible(true);
    Settle();

    if (const char* shot = std::getenv("LUMVARIS_FLOW_SHOT")) {
        const QPixmap picture = lvtest::OnDisplay() ? Form->screen()->grabWindow(0) : Form->grab();
        EXPECT_TRUE(picture.save(QString::fromLocal8Bit(shot)));
    }
    ASSERT_TRUE(flow->close());
    Settle();
    EXPECT_EQ(LoadSpliceFile(folder + "Линия 7.mif").size(), 3u);
#endif
}

} // namespace
