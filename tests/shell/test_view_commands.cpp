// The graph's popup menu and the view-window commands: the items and their states against the
// toolbar buttons, each item running its button's command, remembering and restoring the zoom,
// fitting by key in every layout, and the work modes' switch of markers and splice commands.

#include <gtest/gtest.h>

#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QToolBar>

#include "MainFormFixture.h"
#include "display/uGraphsCmps.h"

using namespace lv;
using lvtest::MainFormTest;

namespace {

const char* const kItems[] = {"RestoreWnd", "SaveWnd",    "FitGraph",  "Marker1", "Marker2", "MarkerY",
                              "Marker3",    "ClearMarks", "SetStart1", "SetMuff", "SetEnd1"};
const char* const kButtons[] = {"RestoreWndBtn", "SaveWndBtn",      "FitInWnd1B", "M1Btn",  "M2Btn", "MYBtn",
                                "M3Btn",         "ClearMarkersBtn", "Start1B",    "Muff1B", "End1B"};

class ViewCommandsTest : public MainFormTest {
protected:
    TMainGraph& Graph() { return *Form->MainGraph; }
    QAction* Item(const char* name) { return Form->PopupItem(QString::fromLatin1(name)); }
    // The window on screen with a trace open and active; answers the trace's extents.
    TRealRect OpenTrace() {
        if (!Form->isVisible()) {
            Form->resize(1000, 760);
            Form->show();
            Settle();
        }
        EXPECT_EQ(Form->OpenTraceFiles({TraceFile("a.tra")}), 1);
        Settle();
        return Form->ActiveTrace()->Extents();
    }
    // The popup as the right button opens it, closed again at once.
    void OpenPopup() {
        ASSERT_TRUE(Graph().Popup({40, 40}));
        ASSERT_TRUE(Form->GraphPopup()->isVisible());
        Form->GraphPopup()->hide();
    }
    static void ExpectRect(const TRealRect& a, const TRealRect& b) {
        const double tx = (b.XMax - b.XMin) * 1e-3, ty = (b.YMax - b.YMin) * 1e-3;
        EXPECT_NEAR(a.XMin, b.XMin, tx);
        EXPECT_NEAR(a.XMax, b.XMax, tx);
        EXPECT_NEAR(a.YMin, b.YMin, ty);
        EXPECT_NEAR(a.YMax, b.YMax, ty);
    }
};

TEST_F(ViewCommandsTest, ThePopupHoldsItsItemsInOrder) {
    EXPECT_EQ(Graph().PopupMenu(), Form->GraphPopup());
    Form->show();
    Settle();
    EXPECT_EQ(Form->focusWidget(), &Graph()); // its keys reach the graph from the start
    EXPECT_EQ(Form->GraphPopup()->objectName(), QStringLiteral("PopupMenu1"));
    QStringList layout;
    for (QAction* a : Form->GraphPopup()->actions())
        layout << (a->isSeparator() ? QStringLiteral("-") : a->objectName() + u'=' + a->text());
    EXPECT_EQ(layout.join(u'|'),
              QStringLiteral("RestoreWnd=Восстановить размер окна|SaveWnd=Запомнить размер окна|"
                             "FitGraph=График в размер окна|-|Marker1=Маркер 1|Marker2=Маркер 2|"
                             "MarkerY=Маркер Y|Marker3=Маркер 3|ClearMarks=Стереть маркеры|"
                             "SetStart1=Установить начало трассы|SetMuff=Поставить муфту|"
                             "SetEnd1=Установить конец трассы"));

    // Under a display, LUMVARIS_DIALOG_SHOTS names the folder for a picture of the window with
    // the menu open at the cursor (tools/dialog-shots.sh).
    const QByteArray shots = qgetenv("LUMVARIS_DIALOG_SHOTS");
    if (shots.isEmpty()) return;
    Form->resize(1000, 760);
    const TRealRect e = OpenTrace();
    Graph().SetCursorX(e.XMin + (e.XMax - e.XMin) * 0.3);
    Form->MarkerCommand(1, false);
    Graph().SetCursorX(e.XMin + (e.XMax - e.XMin) * 0.45);
    Settle();
    QKeyEvent menuKey(QEvent::KeyPress, Qt::Key_Menu, Qt::NoModifier);
    QApplication::sendEvent(&Graph(), &menuKey);
    ASSERT_TRUE(Form->GraphPopup()->isVisible());
    for (int i = 0; i < 20; ++i) {
        QTest::qWait(20);
        Settle();
    }
    const QRect area = Form->frameGeometry();
    const QPixmap screen = Form->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    EXPECT_TRUE(screen.save(QString::fromLocal8Bit(shots) + QStringLiteral("/popup.png")));
    Form->GraphPopup()->hide();
}

// When the menu opens its items take the buttons' states (whatever they showed before): the
// markers only with the cursor on the trace and where their order allows, "Стереть маркеры"
// while markers stand, the view window's items and the trace start always.
TEST_F(ViewCommandsTest, PopupItemsTakeTheButtonsStatesWhenTheMenuOpens) {
    const TRealRect e = OpenTrace();
    const double quarter = e.XMin + (e.XMax - e.XMin) / 4, middle = (e.XMin + e.XMax) / 2;
    struct Row {
        bool CursorOnTrace, Markers; // the cursor shown on the trace, or hidden
    };
    for (const Row r : {Row{true, false}, Row{true, true}, Row{false, true}, Row{false, false}}) {
        SCOPED_TRACE(testing::Message() << "cursor " << r.CursorOnTrace << ", markers " << r.Markers);
        Form->ClearMarkersCommand();
        if (r.Markers) {
            Graph().SetCursorX(quarter);
            Form->MarkerCommand(1, false);
            ASSERT_TRUE(Graph().Marker(1)->Shown());
        }
        Graph().SetCursorX(middle);
        Graph().SetCursorVisible(r.CursorOnTrace);
        Settle();
        for (const char* name : kItems)
            Item(name)->setEnabled(!Item(name)->isEnabled());
        OpenPopup();
        for (size_t i = 0; i < std::size(kItems); ++i) {
            // A hidden item (the splice ones outside construction documentation) is never enabled.
            const bool alwaysOn = i < 2 || std::string(kItems[i]) == "SetStart1";
            const bool expected = Item(kItems[i])->isVisible() &&
                                  (alwaysOn || Form->Command(QString::fromLatin1(kButtons[i]))->isEnabled());
            EXPECT_EQ(Item(kItems[i])->isEnabled(), expected) << kItems[i];
        }
        EXPECT_TRUE(Item("FitGraph")->isEnabled());
        for (const char* marker : {"Marker1", "Marker2", "Marker3"})
            EXPECT_EQ(Item(marker)->isEnabled(), r.CursorOnTrace) << marker;
        EXPECT_EQ(Item("MarkerY")->isEnabled(), false); // no M2 yet
        EXPECT_EQ(Item("ClearMarks")->isEnabled(), r.Markers);
        EXPECT_FALSE(Item("SetMuff")->isEnabled());
    }
}

TEST_F(ViewCommandsTest, EachItemRunsItsButtonsCommand) {
    const TRealRect e = OpenTrace();
    Graph().SetCursorX((e.XMin + e.XMax) / 2);
    OpenPopup();
    Item("Marker2")->trigger();
    EXPECT_TRUE(Graph().Marker(2)->Shown());
    EXPECT_DOUBLE_EQ(Graph().Marker(2)->X(), Graph().CursorX());
    OpenPopup();
    Item("ClearMarks")->trigger();
    EXPECT_EQ(Graph().MarkersMask(), 0);

    Graph().ShowAll();
    const TRealRect whole = Graph().GetVisExts();
    Graph().ZoomTo({e.XMin + 0.1, 5, e.XMin + 0.4, 10});
    Settle();
    OpenPopup();
    Item("FitGraph")->trigger();
    ExpectRect(Graph().GetVisExts(), whole);

    // The splice items run nothing until construction documentation gives their buttons work.
    Form->SetProcessingMode(pmConstruction);
    Graph().ZoomTo({e.XMin + 0.1, 5, e.XMin + 0.4, 10});
    const TRealRect zoomed = Graph().GetVisExts();
    for (const char* splice : {"SetStart1", "SetMuff", "SetEnd1"})
        Item(splice)->trigger();
    EXPECT_EQ(Graph().GetVisExts(), zoomed);
    EXPECT_EQ(Graph().MarkersMask(), 0);
    EXPECT_TRUE(Prompts.Messages.empty());
    Form->SetProcessingMode(pmNormal);
}

// "Восстановить окно" returns to the window "Сохранить окно" remembered; before any, it fits
// the graph as "В размер окна" does. The toolbar buttons and the popup's items alike.
TEST_F(ViewCommandsTest, TheViewWindowIsRememberedAndRestored) {
    const TRealRect e = OpenTrace();
    Graph().ShowAll();
    const TRealRect whole = Graph().GetVisExts();
    const TRealRect part{e.XMin + 0.2, 6, e.XMin + 0.9, 14};
    Graph().ZoomTo(part);
    Settle();
    Trigger("RestoreWndBtn"); // nothing saved yet
    ExpectRect(Graph().GetVisExts(), whole);
    EXPECT_EQ(Form->SavedViewWindow, TRealRect{});

    Graph().ZoomTo(part);
    Settle();
    const TRealRect shown = Graph().GetVisExts();
    Trigger("SaveWndBtn");
    EXPECT_EQ(Form->SavedViewWindow, shown);
    Trigger("FitInWnd1B");
    ExpectRect(Graph().GetVisExts(), whole);
    Trigger("RestoreWndBtn");
    ExpectRect(Graph().GetVisExts(), shown);
    Trigger("FitInWnd1B");
    Item("SaveWnd")->trigger(); // the whole now
    Graph().ZoomTo(part);
    Item("RestoreWnd")->trigger();
    ExpectRect(Graph().GetVisExts(), whole);
}

// A view left cut off or empty by the layout (the full-graph layout keeps the scale) is one key
// away from the whole trace: Ctrl+0 or 0, in either layout.
TEST_F(ViewCommandsTest, FittingHasKeysThatWorkInEveryLayout) {
    QAction* fit = Form->Command(QStringLiteral("FitInWnd1B"));
    EXPECT_EQ(fit->shortcuts(), (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+0")), QKeySequence(QStringLiteral("0"))}));
    // Named in the button's hint and in the help on the graph.
    const QString keys = fit->shortcuts()[0].toString(QKeySequence::NativeText) + QStringLiteral(", ") +
                         fit->shortcuts()[1].toString(QKeySequence::NativeText);
    EXPECT_EQ(fit->toolTip(), QStringLiteral("В размер окна (%1)").arg(keys));
    QFile help(QStringLiteral(":/help/graph.html"));
    ASSERT_TRUE(help.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(help.readAll()).contains(QStringLiteral("<tr><td>%1</td><td>В размер окна</td></tr>").arg(keys)));
    const TRealRect e = OpenTrace();
    QApplication::setActiveWindow(Form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    for (const bool fullGraph : {false, true}) {
        if (fullGraph != Form->FullGraphLayout()) Form->ToggleFullGraph();
        Settle();
        Graph().ShowAll();
        const TRealRect whole = Graph().GetVisExts();
        for (const QKeyCombination key : {Qt::CTRL | Qt::Key_0, QKeyCombination(Qt::Key_0)}) {
            Graph().ZoomTo({e.XMin + 0.1, 5, e.XMin + 0.3, 8});
            Settle();
            for (const char* n : {"FitInWnd1B", "RestoreWndBtn", "SaveWndBtn"})
                EXPECT_TRUE(Form->Command(QString::fromLatin1(n))->isEnabled()) << n;
            QTest::keyClick(Graph().viewport(), key.key(), key.keyboardModifiers());
            Settle();
            ExpectRect(Graph().GetVisExts(), whole);
        }
    }
}

// Construction documentation shows the splice, start and end commands instead of the markers
// (toolbar and popup alike); the inspection modes keep the markers, which their protocols read.
TEST_F(ViewCommandsTest, TheWorkModesSwitchMarkersAndSpliceCommands) {
    const char* const markerItems[] = {"Marker1", "Marker2", "MarkerY", "Marker3", "ClearMarks"};
    const char* const markerButtons[] = {"M1Btn", "M2Btn", "MYBtn", "M3Btn", "ClearMarkersBtn"};
    const char* const spliceItems[] = {"SetStart1", "SetMuff", "SetEnd1"};
    const char* const spliceButtons[] = {"Start1B", "Muff1B", "End1B"};
    QToolBar* bar = Form->ToolBars()[0];
    for (const int mode : {int(pmConstruction), 2, 3, int(pmNormal)}) {
        Form->SetProcessingMode(mode);
        EXPECT_EQ(Form->ProcessingMode(), mode);
        const bool construction = mode == pmConstruction;
        for (const char* n : markerItems)
            EXPECT_EQ(Item(n)->isVisible(), !construction) << n << " in mode " << mode;
        for (const char* n : spliceItems)
            EXPECT_EQ(Item(n)->isVisible(), construction) << n << " in mode " << mode;
        for (const char* n : markerButtons)
            EXPECT_EQ(Form->Command(QString::fromLatin1(n))->isVisible(), !construction) << n;
        for (const char* n : spliceButtons) {
            QAction* a = Form->Command(QString::fromLatin1(n));
            EXPECT_EQ(a->isVisible(), construction) << n;
            EXPECT_TRUE(bar->actions().contains(a)) << n;
        }
        for (const char* n : {"RestoreWnd", "SaveWnd", "FitGraph"})
            EXPECT_TRUE(Item(n)->isVisible()) << n;
    }
}

} // namespace
