// The table "События" of the main window: an instrument's events of the active trace against the
// file's independent reading, the cursor and view following a selection, M1 and M2 around a
// double-clicked event, the command that hides the table and the settings that remember it, and
// the ticks on screen and on paper. Under a display (tools/events-shot.sh) the picture of the
// window goes to docs/.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QTableWidget>

#include <cmath>
#include <functional>

#include "MainFormFixture.h"
#include "display/CurveTicks.h"
#include "display/NumberFormat.h"
#include "shell/fEventsDock.h"
#include "support/MiniJson.h"
#include "trace/TraceParams.h"

using namespace lv;
using lvtest::MainFormTest;

namespace {

QString fixed(double value, int decimals) {
    return FormatFloat(value, TFloatFormat::Fixed, decimals, QLocale().decimalPoint());
}

QImage render(TGraphView& g) {
    QImage img(g.ClientRect().size(), QImage::Format_RGB32);
    QPainter p(&img);
    g.PaintView(p, g.ClientRect());
    return img;
}

// A real instrument's file: three events, the end of the fibre at 3.734 km.
const std::string kNoyes = "JamesHarrison__otdrs__example1-noyes-ofl280.sor";
// Eight events over 10.4 km of a 20.8 km trace.
const std::string kVisa = "Paustovskiy__otdr_ml__kostkovo_1.sor";

class EventsTableTest : public MainFormTest {
protected:
    void SetUp() override {
        LVTEST_NEEDS_CORPUS("sor/" + kNoyes);
        MainFormTest::SetUp();
        Sor = CorpusCopy(kNoyes, "noyes.sor");
        Ref = lvtest::Json::parseFile(lvtest::corpusDir() + "/reference/" + kNoyes + ".json");
    }
    TEventsDock& Dock() { return *Form->EventsDock(); }
    QTableWidget& Table() { return *Dock().Table(); }
    QString Cell(int row, int column) { return Table().item(row, column)->text(); }
    TMainGraph& Graph() { return *Form->MainGraph; }
    void Open(const QString& file) {
        ASSERT_EQ(Form->OpenTraceFiles({file}), 1);
        Settle();
    }
    QString Sor;
    lvtest::Json Ref;
};

TEST_F(EventsTableTest, ShowsTheActiveTracesEventsAsTheFileHoldsThem) {
    EXPECT_EQ(Table().rowCount(), 0);
    Open(Sor);
    const lvtest::Json& events = Ref["KeyEvents"]["events"];
    ASSERT_EQ(Table().rowCount(), int(events.size()));
    for (int row = 0; row < Table().rowCount(); ++row) {
        const lvtest::Json& e = events[size_t(row)];
        const double metres = Ref["derived"]["event_distance_m_one_way"][size_t(row)].number();
        EXPECT_EQ(Cell(row, TEventsDock::colNumber), QString::number(e["event_number"].integer()));
        EXPECT_NEAR(Dock().EventDistances()[size_t(row)] * 1000, metres, 1.0) << row;
        EXPECT_EQ(Cell(row, TEventsDock::colDistance), fixed(metres / 1000, 3)) << row;
        EXPECT_EQ(Cell(row, TEventsDock::colLoss), fixed(e["event_loss_raw"].number() / 1000, 3)) << row;
    }
    EXPECT_EQ(Cell(0, TEventsDock::colReflectance), fixed(-46.671, 3));
    EXPECT_EQ(Cell(1, TEventsDock::colReflectance), QString()) << "a non-reflective event has no reading";
    EXPECT_EQ(Cell(0, TEventsDock::colType), QStringLiteral("отражающее"));
    EXPECT_EQ(Cell(1, TEventsDock::colType), QStringLiteral("неотражающее"));
    EXPECT_EQ(Cell(2, TEventsDock::colType), QStringLiteral("конец волокна"));
    EXPECT_EQ(Dock().LinkLossLabel()->text(), QStringLiteral("Потери линии: ") + fixed(0.576, 3) + " дБ");
    // This instrument starts its samples 2147 × 100 ps (43.9 m) before its connector, which the
    // distances count from: the events are drawn that much further on.
    const double panelKm = 2147e-10 * kLightSpeed / 1.4675 / 1000;
    EXPECT_EQ(Dock().FrontPanelLabel()->text(),
              QStringLiteral("Расстояния отсчитаны от разъёма прибора, на графике он на ") +
                  fixed(panelKm, 3) + " км");
    for (size_t i = 0; i < 3; ++i)
        EXPECT_NEAR(Dock().EventPositions()[i], Dock().EventDistances()[i] + panelKm, 1e-12);

    // Another group index moves the samples, and the events with them.
    const double end = Dock().EventDistances()[2];
    Form->ActiveTrace()->SetRefractiveIndex(1.5);
    Settle();
    EXPECT_NEAR(Dock().EventDistances()[2], end * 1.4675 / 1.5, 1e-12);
    EXPECT_EQ(Cell(2, TEventsDock::colDistance), fixed(end * 1.4675 / 1.5, 3));

    // A file without an event table shows an empty one; the instrument's trace brings its back.
    Open(TraceFile("own.tra"));
    EXPECT_EQ(Table().rowCount(), 0);
    EXPECT_TRUE(Dock().LinkLossLabel()->text().isEmpty());
    EXPECT_TRUE(Dock().FrontPanelLabel()->text().isEmpty());
    Trigger("Close1");
    Settle();
    EXPECT_EQ(Table().rowCount(), 3);
    Trigger("CloseAll1");
    Settle();
    EXPECT_EQ(Table().rowCount(), 0);
}

TEST_F(EventsTableTest, SelectionMovesTheCursorAndCentresTheViewAndADoubleClickMeasures) {
    Form->resize(1200, 800);
    Form->show();
    Settle();
    Open(Sor);
    TMainGraph& g = Graph();
    g.ZoomTo({0.5, 5, 1.0, 25});
    Settle();

    Table().setCurrentCell(2, TEventsDock::colType);
    Settle();
    const double end = Dock().EventPositions()[2];
    EXPECT_DOUBLE_EQ(g.CursorX(), end);
    EXPECT_DOUBLE_EQ(Form->PanelCursorX, end);
    const TRealRect v = g.GetVisExts();
    EXPECT_NEAR((v.XMin + v.XMax) / 2, end, v.Width() * 0.01);
    const double level = *Form->ActiveTrace()->ValueAt(end);
    EXPECT_NEAR((v.YMin + v.YMax) / 2, level, v.Height() * 0.05);

    // Markers of the operator's that stand in the way go; the others stay.
    g.SetCursorX(3.0);
    g.MarkerAtCursor(3, false);
    g.PlaceMarker(1, false, 1.0);
    g.PlaceMarker(2, false, 1.5);
    g.PlaceMarker(2, true, 2.0);
    ASSERT_EQ(g.MarkersMask(), 1 | 2 | 4 | 16);

    // A double-click on the second event (10.9 m after the first): M1 halfway back to the first,
    // M2 four pulse lengths (30 ns) on.
    QWidget* port = Table().viewport();
    const QPoint at = Table().visualItemRect(Table().item(1, TEventsDock::colNumber)).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, QPointF(at), port->mapToGlobal(QPointF(at)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(port, &e);
    }
    Settle();
    const double connector = Dock().EventPositions()[0], splice = Dock().EventPositions()[1];
    const double pulseKm = 30e-9 * kLightSpeed / (2 * 1.4675) / 1000;
    EXPECT_DOUBLE_EQ(g.CursorX(), splice);
    ASSERT_TRUE(g.Marker(1)->Shown() && g.Marker(2)->Shown());
    EXPECT_NEAR(g.Marker(1)->X(), (connector + splice) / 2, 1e-12);
    EXPECT_NEAR(g.Marker(2)->X(), splice + 4 * pulseKm, 1e-12);
    EXPECT_TRUE(g.YMarker()->Shown() && g.Marker(3)->Shown());
    // Written into the trace, which measures the section; the panel shows it.
    EXPECT_NEAR(Form->ActiveTrace()->MarkerPos(0), (connector + splice) / 2, 1e-12);
    EXPECT_NEAR(Form->PanelValues.Distance12, (splice - connector) / 2 + 4 * pulseKm, 1e-12);

    // Around the end of the fibre the Y marker and M3 stood in the way.
    Table().setCurrentCell(2, 0);
    emit Table().cellDoubleClicked(2, 0);
    Settle();
    EXPECT_LT(g.Marker(1)->X(), end);
    EXPECT_GT(g.Marker(2)->X(), end);
    EXPECT_EQ(g.MarkersMask(), 1 | 2);
}

TEST_F(EventsTableTest, TicksMarkTheEventsOnScreenAndOnPaperOnlyWhenAskedFor) {
    class PrintableGraph : public TMainGraph {
    public:
        using TMainGraph::SetPrinting;
    } g;
    g.resize(900, 500);
    g.show();
    Settle();
    TEventsDock dock(g);
    auto* store = new TRDataStorage(&Work);
    auto* item = new TMainDataItem(&g.Data());
    item->SetStorage(store);
    ASSERT_TRUE(item->LoadFromFile(Sor.toStdString(), false));
    Settle();
    ASSERT_EQ(dock.Table()->rowCount(), 3);
    const double splice = dock.EventPositions()[1];
    const double level = *item->ValueAt(splice);
    g.SetMaxZoomRatio(3000);
    g.ZoomTo({0.03, level - 10, 0.08, level + 10});
    Settle();

    const QImage screen = render(g);
    const int px = g.Geometry().XMap().ToPixel(splice);
    const int py = g.Geometry().YMap().ToPixel(level);
    EXPECT_EQ(QColor(screen.pixel(px, py - kCurveTickHalf)), QColor(255, 128, 0));
    EXPECT_EQ(QColor(screen.pixel(px, py + kCurveTickHalf)), QColor(255, 128, 0));

    // On paper (black on white) nothing unless the operator asks; then black ticks, and only
    // there.
    auto paper = [&](bool printEvents) {
        dock.SetPrintEvents(printEvents);
        g.SetMonochrome(true);
        g.SetPrinting(true);
        const QImage img = render(g);
        g.SetPrinting(false);
        g.SetMonochrome(false);
        return img;
    };
    const QImage plain = paper(false), marked = paper(true);
    EXPECT_EQ(QColor(plain.pixel(px, py - kCurveTickHalf)), QColor(Qt::white));
    EXPECT_EQ(QColor(marked.pixel(px, py - kCurveTickHalf)), QColor(Qt::black));
    int changed = 0, away = 0;
    std::vector<int> columns;
    for (double km : dock.EventPositions())
        columns.push_back(g.Geometry().XMap().ToPixel(km));
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x) {
            if (plain.pixel(x, y) == marked.pixel(x, y)) continue;
            ++changed;
            // A tick, or its number above it.
            const bool near =
                std::any_of(columns.begin(), columns.end(), [x](int c) { return std::abs(x - c) <= 8; });
            if (!near) ++away;
        }
    EXPECT_GT(changed, 0);
    EXPECT_EQ(away, 0);
    delete item;
}

TEST_F(MainFormTest, TheEventsTableIsShownAndHiddenByItsCommandAndRemembered) {
    QAction* command = Form->Command(QStringLiteral("EventsTable1"));
    ASSERT_NE(command, nullptr);
    QMenu* setup = Form->menuBar()->findChild<QMenu*>(QStringLiteral("Setup1"));
    ASSERT_NE(setup, nullptr);
    EXPECT_TRUE(setup->actions().contains(command));
    TEventsDock& dock = *Form->EventsDock();
    EXPECT_EQ(dock.windowTitle(), QStringLiteral("События"));
    EXPECT_TRUE(command->isChecked() && dock.TableShown()) << "shown at the first start";
    EXPECT_FALSE(dock.PrintEvents());

    Form->show();
    Settle();
    command->trigger();
    EXPECT_FALSE(dock.isVisible());
    EXPECT_FALSE(dock.TableShown());
    command->trigger();
    EXPECT_TRUE(dock.isVisible());
    dock.close(); // its own close button
    EXPECT_FALSE(command->isChecked());
    dock.PrintEventsBox()->click();

    ASSERT_TRUE(Form->CloseQuery());
    Form.reset();
    Form = std::make_unique<TMainForm>(Work);
    EXPECT_FALSE(Form->EventsDock()->TableShown());
    EXPECT_FALSE(Form->Command(QStringLiteral("EventsTable1"))->isChecked());
    EXPECT_TRUE(Form->EventsDock()->PrintEvents());
}

// Under a display (QT_QPA_PLATFORM=xcb, xdotool on the path) the clicks go through the X server,
// and LUMVARIS_EVENTS_SHOT names a PNG of the window to write (tools/events-shot.sh).
class EventsShotTest : public MainFormTest {};

TEST_F(EventsShotTest, TicksStandOnTheTraceWhereTheTableSays) {
    LVTEST_NEEDS_CORPUS("sor/" + kVisa);
    const bool onDisplay = QGuiApplication::platformName() == QStringLiteral("xcb");
    Form->move(0, 0);
    Form->resize(1280, 800);
    Form->show();
    Settle();
    ASSERT_EQ(Form->OpenTraceFiles({QString::fromStdString(lvtest::corpusDir() + "/sor/" + kVisa)}), 1);
    Settle();
    TMainGraph& g = *Form->MainGraph;
    TEventsDock& dock = *Form->EventsDock();
    QTableWidget& table = *dock.Table();
    ASSERT_EQ(table.rowCount(), 8);
    g.ZoomTo({-0.3, g.GetVisExts().YMin, 11.0, g.GetVisExts().YMax});
    Settle();

    // A click on the fourth event's row, through the X server when there is one.
    const QPoint at = table.visualItemRect(table.item(3, TEventsDock::colDistance)).center();
    if (onDisplay) {
        const QPoint global = table.viewport()->mapToGlobal(at);
        QProcess::execute(QStringLiteral("xdotool"),
                          {QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(global.x()),
                           QString::number(global.y()), QStringLiteral("click"), QStringLiteral("1")});
        QElapsedTimer clock;
        clock.start();
        while (table.currentRow() != 3 && clock.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
    } else {
        table.setCurrentCell(3, TEventsDock::colDistance);
    }
    Settle();
    ASSERT_EQ(table.currentRow(), 3);
    EXPECT_DOUBLE_EQ(g.CursorX(), dock.EventPositions()[3]);

    // Each tick where its row says, on the curve, the selected one too (the cursor runs under it).
    const QImage img = g.viewport()->grab().toImage();
    const TGraphGeometry geometry = g.Geometry();
    for (int row = 0; row < table.rowCount(); ++row) {
        const double km = dock.EventPositions()[size_t(row)];
        EXPECT_EQ(dock.EventDistances()[size_t(row)], km)
            << "this instrument's samples start at its connector";
        EXPECT_EQ(table.item(row, TEventsDock::colDistance)->text(), fixed(km, 3));
        const QPoint base =
            QPoint(geometry.XMap().ToPixel(km), geometry.YMap().ToPixel(*Form->ActiveTrace()->ValueAt(km)));
        EXPECT_EQ(QColor(img.pixel(base + QPoint(0, -kCurveTickHalf))), QColor(255, 128, 0)) << row;
    }

    if (const char* shot = std::getenv("LUMVARIS_EVENTS_SHOT")) {
        const QPixmap picture = onDisplay ? Form->screen()->grabWindow(Form->winId()) : Form->grab();
        EXPECT_TRUE(picture.save(QString::fromLocal8Bit(shot)));
    }
}

} // namespace
