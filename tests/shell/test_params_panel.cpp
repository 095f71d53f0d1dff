// The parameter panel in a Russian locale: the posted updates and the text of every field, the
// marker and start buttons, the approximation toggle and the group index with what they do to
// the trace files, and the panel's readings of an instrument's file against the command-line
// tool's.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QProcess>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>

#include <cstdlib>
#include <functional>
#include <map>

#include "CliInfo.h"
#include "MainFormFixture.h"
#include "ShellTestSupport.h"
#include "display/uGraphsCmps.h"
#include "shell/fParamsPanel.h"
#include "support/MiniJson.h"
#include "trace/NumberText.h"
#include "trace/TraceParams.h"

using namespace lv;

namespace {

// A left-button event of `type` at `at` (the centre when not given) of `w`.
void mouse(QWidget* w, QEvent::Type type, QPoint at = {}) {
    if (at.isNull()) at = w->rect().center();
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void click(QWidget* w, QPoint at = {}) {
    mouse(w, QEvent::MouseButtonPress, at);
    mouse(w, QEvent::MouseButtonRelease, at);
}

void doubleClick(QWidget* w) {
    click(w);
    mouse(w, QEvent::MouseButtonDblClick);
    mouse(w, QEvent::MouseButtonRelease);
}

// Answers the coming input boxes in turn (a null answer cancels), noting the text each offered.
void answerPrompts(QStringList answers, QStringList* offered, QWidget* previous = nullptr) {
    lvtest::WhenModal(
        [answers, offered](QWidget* w) mutable {
            auto* edit = w->findChild<QLineEdit*>();
            offered->append(edit->text());
            const QString answer = answers.takeFirst();
            if (!answers.isEmpty()) answerPrompts(answers, offered, w);
            if (answer.isNull()) {
                lvtest::ButtonText(w, QStringLiteral("Отмена"))->click();
            } else {
                edit->setText(answer);
                lvtest::ButtonText(w, QStringLiteral("OK"))->click();
            }
        },
        previous);
}

class PanelTest : public lvtest::MainFormTest {
protected:
    void SetUp() override {
        // The operator's locale: a comma before the decimals.
        m_locale = QLocale();
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        MainFormTest::SetUp();
    }
    void TearDown() override {
        MainFormTest::TearDown();
        QLocale::setDefault(m_locale);
    }

    QString Text(const char* field) const { return Form->ParamsPanel()->Text(QString::fromLatin1(field)); }
    QLabel* Field(const char* field) const { return Form->ParamsPanel()->Field(QString::fromLatin1(field)); }
    TMainGraph& Graph() const { return *Form->MainGraph; }
    // Opens the files (the last becomes active) and lets the posted updates run.
    void Open(const QStringList& files) {
        ASSERT_EQ(Form->OpenTraceFiles(files), files.size());
        Settle();
    }
    // Text "<fixed> <unit>" as the panel writes a number.
    static QString Fixed(double v, int decimals, const char* unit = "") {
        return QString::fromStdString(FormatFixed(v, decimals, ",")) + QString::fromUtf8(unit);
    }

private:
    QLocale m_locale;
};

// ---- the fields -------------------------------------------------------------------------------------------

TEST(PanelTexts, AveragesApproximationAndTheGroupIndexTyped) {
    // clang-format off
    const std::pair<int, const char*> averages[] = {{0, ""}, {-4, ""}, {1, "1 (2^0)"}, {2, "2 (2^1)"},
        {1000, "1000 (2^9)"}, {4096, "4096 (2^12)"}, {65535, "65535 (2^15)"}};
    // clang-format on
    for (auto [count, text] : averages)
        EXPECT_EQ(AveragesText(count), QString::fromLatin1(text)) << count;
    EXPECT_EQ(AproxText(0), QStringLiteral("ДТМ"));
    EXPECT_EQ(AproxText(1), QStringLiteral("АПР"));
    EXPECT_TRUE(AproxText(-1).isEmpty());

    // TRA keeps n in millionths of a 32-bit field and reads 1 or less as missing.
    struct Row {
        const char* text;
        double n; // 0: refused
    };
    // clang-format off
    const Row typed[] = {{"1,4682", 1.4682}, {"1.4682", 1.4682}, {" 1,47 ", 1.47},
                         {"2,147483647", 2.147483647}, {"1", 0}, {"0,9", 0}, {"-1,5", 0}, {"2,1474837", 0},
                         {"3000", 0}, {"1,4.6", 0}, {"abc", 0}, {"", 0}};
    // clang-format on
    for (const Row& r : typed) {
        const std::optional<double> n = ParseGroupIndex(QString::fromUtf8(r.text));
        EXPECT_EQ(n.has_value(), r.n > 0) << r.text;
        if (n) {
            EXPECT_DOUBLE_EQ(*n, r.n) << r.text;
        }
    }
}

TEST_F(PanelTest, EveryFieldFollowsItsRule) {
    Open({TraceFile("a.tra")});
    TMainDataItem* item = Form->ActiveTrace();
    TRDataStorage& t = *item->Trace();
    struct Row {
        std::vector<double> markers; // M1, M2, M3, km: the first ones placed
        TVariant attenuator, averages, pulse;
        int wavelengthNm;
        double rangeKm;
        int approximation, averaging;
        const char *attenuation, *avrgTimes, *pulsWidth, *waveLength, *lengthRange, *aprox, *avrgMethod;
    };
    const TVariant unset;
    // clang-format off
    const Row rows[] = {
        {{}, unset, TVariant(0), unset, 1310, 0.5, 0, 0, "", "", "", "1,31 мкм", "1 км", "ДТМ", "Обычное"},
        {{2, 5}, TVariant(0), TVariant(1), TVariant(1), 1625, 12, 1, 2,
         "0,00 дБ", "1 (2^0)", "10 нс", "1,63 мкм", "12 км", "АПР", "Точное"},
        {{2, 5, 8.5}, TVariant(1), TVariant(1000), TVariant(1), 1550, 0, 1, 7,
         "1,25 дБ", "1000 (2^9)", "10 нс", "1,55 мкм", "", "АПР", ""},
    };
    // clang-format on
    for (const Row& r : rows) {
        t.SetParam(prmAT, r.attenuator);
        t.SetParam(prmNUM, r.averages);
        t.SetParam(prmPW, r.pulse);
        t.SetParam(prmLAM, TVariant(int32_t(r.wavelengthNm)));
        t.SetParam(prmR, TVariant(r.rangeKm));
        t.SetParam(prmAVE, TVariant(int32_t(r.averaging)));
        t.SetApproximation(r.approximation);
        t.Recalculate();
        Graph().HideAllMarkers();
        for (size_t i = 0; i < r.markers.size(); ++i)
            Graph().PlaceMarker(int(i) + 1, false, r.markers[i]);
        Settle();
        const bool first = r.markers.size() >= 2, second = r.markers.size() == 3;
        SCOPED_TRACE(r.markers.size());
        EXPECT_EQ(Text("Distance12"), first ? QStringLiteral("3,000 км") : QString());
        EXPECT_EQ(Text("Loss12"), first ? Fixed(t.SectionLoss12, 3, " дБ") : QString());
        EXPECT_EQ(Text("RelativeLoss12"), first ? Fixed(t.SectionLoss12 / 3, 3, " дБ/км") : QString());
        EXPECT_EQ(Text("Distance23"), second ? QStringLiteral("3,500 км") : QString());
        EXPECT_EQ(Text("Loss23"), second ? Fixed(t.SectionLoss23, 3, " дБ") : QString());
        EXPECT_EQ(Text("RelativeLoss23"), second ? Fixed(t.SectionLoss23 / 3.5, 3, " дБ/км") : QString());
        EXPECT_EQ(Text("SpliceLoss"), second ? Fixed(t.JointLoss, 3, " дБ") : QString());
        if (first) {
            EXPECT_GT(t.SectionLoss12, 0.1); // a real section of fibre, not a zero shown
        }
        EXPECT_EQ(Text("Attenuation"), QString::fromUtf8(r.attenuation));
        EXPECT_EQ(Text("AvrgTimes"), QString::fromUtf8(r.avrgTimes));
        EXPECT_EQ(Text("PulsWidth"), QString::fromUtf8(r.pulsWidth));
        EXPECT_EQ(Text("WaveLength"), QString::fromUtf8(r.waveLength));
        EXPECT_EQ(Text("LengthRange"), QString::fromUtf8(r.lengthRange));
        EXPECT_EQ(Text("GroupIndex"), QStringLiteral("1,4650"));
        EXPECT_EQ(Text("Aprox"), QString::fromUtf8(r.aprox));
        EXPECT_EQ(Form->ParamsPanel()->AproxCode(), r.approximation);
        EXPECT_EQ(Text("AvrgMethod"), QString::fromUtf8(r.avrgMethod));
    }
}

TEST_F(PanelTest, TheHandlersPostTheirUpdatesInsteadOfWritingTheFields) {
    const QString file = TraceFile("a.tra");
    Open({file});
    EXPECT_EQ(Form->NamePanel()->FileName(), file);
    const QString distance = Text("Distance");
    Graph().SetCursorX(3);
    Graph().PlaceMarker(1, false, 1);
    Graph().PlaceMarker(2, false, 4);
    // Inside the graph's events nothing is written yet.
    EXPECT_EQ(Text("Distance"), distance);
    EXPECT_TRUE(Text("Distance12").isEmpty());
    EXPECT_DOUBLE_EQ(Form->PanelValues.Distance12, 3.0); // the snapshot is taken at once
    Settle();
    EXPECT_EQ(Text("Distance"), QStringLiteral("3,000 км"));
    EXPECT_EQ(Text("Distance12"), QStringLiteral("3,000 км"));

    // An empty list empties everything.
    Trigger("Close1");
    Settle();
    for (const QString& field : Form->ParamsPanel()->FieldNames())
        EXPECT_TRUE(Form->ParamsPanel()->Field(field)->text().isEmpty()) << field.toStdString();
    EXPECT_EQ(Form->ParamsPanel()->AproxCode(), -1);
    EXPECT_TRUE(Form->NamePanel()->FileName().isEmpty());
}

// ---- the marker and start buttons ------------------------------------------------------------------------

TEST_F(PanelTest, ButtonsOfferWhatTheCursorAndTheMarkerOrderAllow) {
    Open({TraceFile("a.tra")});
    // The cursor is hidden by the display options; the graph reports it when it paints.
    Form->show();
    const char* const buttons[] = {"M1Btn",           "M2Btn",  "MYBtn",    "M3Btn",
                                   "ClearMarkersBtn", "RefBtn", "RefDelBtn"};
    struct Row {
        double cursorKm; // negative: the cursor hidden
        std::vector<double> markers;
        double startKm;
        const char* enabled; // one digit per button, in the order above
    };
    const Row rows[] = {
        {3, {}, 0, "1101010"},        {3, {2, 5, 8}, 0, "1100110"}, {6, {2, 5, 8}, 0, "0111110"},
        {9, {2, 5, 8}, 0, "0001110"}, {3, {}, 1.5, "1101011"},      {-1, {2, 5, 8}, 0, "0000100"},
        {-1, {}, 1.5, "0000000"},     {4, {2}, 0, "1101110"},
    };
    for (const Row& r : rows) {
        Graph().HideAllMarkers();
        Graph().SetStart(r.startKm);
        for (size_t i = 0; i < r.markers.size(); ++i)
            Graph().PlaceMarker(int(i) + 1, false, r.markers[i]);
        const bool shown = r.cursorKm >= 0;
        Graph().SetCursorVisible(shown);
        Graph().SetShowMarkersLine(shown);
        if (shown) Graph().SetCursorX(r.cursorKm);
        Settle();
        QString states;
        for (const char* b : buttons)
            states += Enabled(b) ? u'1' : u'0';
        EXPECT_EQ(states, QString::fromLatin1(r.enabled))
            << "cursor " << r.cursorKm << ", " << r.markers.size() << " markers, start " << r.startKm;
        EXPECT_EQ(Text("Distance").isEmpty(), !shown);
    }
}

TEST_F(PanelTest, MarkerCommandsPlaceAtTheCursorAndTheirKeysAreOnTheButtons) {
    Open({TraceFile("a.tra")});
    struct Row {
        const char* button;
        const char* key;
        double cursorKm;
        int mask; // MarkersMask afterwards
    };
    const Row rows[] = {{"M1Btn", "1", 2, 1},
                        {"M3Btn", "3", 8, 5},
                        {"M2Btn", "2", 4, 7},
                        {"MYBtn", "Y", 6, 23},
                        {"ClearMarkersBtn", "Del", 6, 0}};
    for (const Row& r : rows) {
        QAction* a = Form->Command(QString::fromLatin1(r.button));
        EXPECT_EQ(a->shortcut(), QKeySequence(QString::fromLatin1(r.key))) << r.button;
        Graph().SetCursorX(r.cursorKm);
        a->trigger();
        EXPECT_EQ(Graph().MarkersMask(), r.mask) << r.button;
    }
    EXPECT_EQ(Form->Command(QStringLiteral("RefBtn"))->shortcut(), QKeySequence(QStringLiteral("Home")));
    EXPECT_EQ(Form->Command(QStringLiteral("RefDelBtn"))->shortcut(),
              QKeySequence(QStringLiteral("Shift+Home")));
    // Each key is named in the button's hint and in the help on the graph.
    QFile help(QStringLiteral(":/help/graph.html"));
    ASSERT_TRUE(help.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(help.readAll());
    for (const char* name : {"M1Btn", "M2Btn", "MYBtn", "M3Btn", "ClearMarkersBtn", "RefBtn", "RefDelBtn"}) {
        QAction* a = Form->Command(QString::fromLatin1(name));
        const QString key = a->shortcut().toString(QKeySequence::NativeText);
        EXPECT_EQ(a->toolTip(), QStringLiteral("%1 (%2)").arg(a->text(), key)) << name;
        EXPECT_TRUE(page.contains(QStringLiteral("<tr><td>%1</td><td>%2</td></tr>").arg(key, a->text())))
            << name;
    }
    EXPECT_EQ(Form->Command(QStringLiteral("M1Btn"))->text(), QStringLiteral("Маркер 1"));
    // The trace keeps what the buttons placed.
    Graph().SetCursorX(2);
    Form->Command(QStringLiteral("M1Btn"))->trigger();
    EXPECT_EQ(Graph().MarkersMask(), 1);
    EXPECT_NEAR(Form->ActiveTrace()->MarkerPos(0), 2, 1e-9);
}

TEST_F(PanelTest, TheDistanceCountsFromTheStartAndFollowsItAtOnce) {
    Open({TraceFile("a.tra")});
    Graph().SetCursorX(1.5);
    Settle();
    EXPECT_EQ(Text("Distance"), QStringLiteral("1,500 км"));
    // The start moves under a cursor that stays: the distance follows without a cursor move.
    Trigger("RefBtn");
    Settle();
    EXPECT_DOUBLE_EQ(Graph().StartX(), 1.5);
    EXPECT_EQ(Text("Distance"), QStringLiteral("0,000 км"));
    EXPECT_TRUE(Enabled("RefDelBtn"));
    Graph().SetCursorX(4);
    Settle();
    EXPECT_EQ(Text("Distance"), QStringLiteral("2,500 км"));
    Graph().SetCursorX(1);
    Settle();
    EXPECT_EQ(Text("Distance"), QStringLiteral("-0,500 км"));
    Trigger("RefDelBtn");
    Settle();
    EXPECT_EQ(Text("Distance"), QStringLiteral("1,000 км"));
    EXPECT_FALSE(Enabled("RefDelBtn"));
}

// ---- the active trace -----------------------------------------------------------------------------------

TEST_F(PanelTest, ThePanelDescribesTheActiveTraceOnly) {
    const QString a = TraceFile("a.tra", 1310, "A", 1, 1), b = TraceFile("b.tra", 1550, "B", 2, 1);
    Open({a, b});
    ASSERT_EQ(Form->ActiveTrace()->Caption(), QStringLiteral("B"));
    auto expectB = [&](const char* aprox) {
        Settle();
        EXPECT_EQ(Text("WaveLength"), QStringLiteral("1,55 мкм"));
        EXPECT_EQ(Text("Aprox"), QString::fromUtf8(aprox));
        EXPECT_EQ(Form->NamePanel()->FileName(), b);
    };
    expectB("АПР");
    // Changes of the other trace raise the graph's markers event for it.
    TMainDataItem* other = Form->Trace(1);
    other->SetApproxMode(0);
    other->SetReference(2);
    other->SetRefractiveIndex(1.47);
    expectB("АПР");
    Form->SetProcessingMode(pmIncoming);
    Form->ToggleApproximation(); // every trace: the other one first
    expectB("ДТМ");
    Form->SetProcessingMode(pmNormal);
    Trigger("Close1");
    Settle();
    EXPECT_EQ(Text("WaveLength"), QStringLiteral("1,31 мкм"));
    EXPECT_EQ(Form->NamePanel()->FileName(), a);
}

// ---- the approximation toggle -----------------------------------------------------------------------------

TEST_F(PanelTest, AClickTogglesTheFitAndRewritesOwnFilesButNeverAnInstrumentsFile) {
    LVTEST_NEEDS_CORPUS("sor/JamesHarrison__otdrs__example1-noyes-ofl280.sor");
    const QString foreign = CorpusCopy("JamesHarrison__otdrs__example1-noyes-ofl280.sor", "foreign.sor");
    struct Row {
        QString file;
        bool rewritten;
    };
    const Row rows[] = {{TraceFile("own.tra", 1550, "A", 1, 1), true},
                        {TraceFile("own.sor", 1550, "B", 1, 1), true},
                        {foreign, false}};
    for (const Row& r : rows) {
        Form->CloseAllTraces();
        Open({r.file});
        const std::vector<uint8_t> before = lvtest::readBytes(r.file.toStdString());
        const int was = Form->ActiveTrace()->ApproxMode();
        ASSERT_EQ(Form->ParamsPanel()->AproxCode(), was);
        click(Field("Aprox"));
        Settle();
        const int now = 1 - was;
        EXPECT_EQ(Form->ActiveTrace()->ApproxMode(), now) << r.file.toStdString();
        EXPECT_EQ(Form->ParamsPanel()->AproxCode(), now);
        EXPECT_EQ(Text("Aprox"), AproxText(now));
        EXPECT_EQ(lvtest::readBytes(r.file.toStdString()) != before, r.rewritten) << r.file.toStdString();
        if (r.rewritten) {
            EXPECT_EQ(lvtest::ReadTraceFile(r.file.toStdString()).Approximation, now);
        }
        // The second press of a double-click is not another click.
        doubleClick(Field("Aprox"));
        EXPECT_EQ(Form->ActiveTrace()->ApproxMode(), was);
    }
    EXPECT_TRUE(Prompts.Messages.empty());
}

TEST_F(PanelTest, InAProcessingModeTheToggleSetsEveryTrace) {
    LVTEST_NEEDS_CORPUS("sor/JamesHarrison__otdrs__example1-noyes-ofl280.sor");
    const QString foreign = CorpusCopy("JamesHarrison__otdrs__example1-noyes-ofl280.sor", "foreign.sor");
    const QString same = TraceFile("same.tra", 1310, "S", 1, 0),
                  differs = TraceFile("differs.tra", 1310, "D", 2, 1),
                  active = TraceFile("active.tra", 1310, "A", 3, 1);
    for (const int mode : {pmNormal, pmConstruction}) {
        Form->CloseAllTraces();
        Form->SetProcessingMode(pmNormal);
        for (const QString& f : {same, differs, active})
            lvtest::WriteTraceFile(f.toStdString(), 1310, "T", 1, f == same ? 0 : 1);
        Open({foreign, same, differs, active});
        const int foreignWas = Form->Trace(3)->ApproxMode();
        ASSERT_EQ(foreignWas, 1);
        std::map<QString, std::vector<uint8_t>> before;
        for (const QString& f : {foreign, same, differs})
            before[f] = lvtest::readBytes(f.toStdString());
        Form->SetProcessingMode(mode);
        Form->ToggleApproximation(); // 1 → 0
        const bool all = mode != pmNormal;
        EXPECT_EQ(Form->Trace(0)->ApproxMode(), 0);
        EXPECT_EQ(lvtest::ReadTraceFile(active.toStdString()).Approximation, 0);
        EXPECT_EQ(Form->Trace(1)->ApproxMode(), all ? 0 : 1) << mode;
        EXPECT_EQ(lvtest::ReadTraceFile(differs.toStdString()).Approximation, all ? 0 : 1) << mode;
        // Already two-point: neither changed nor saved.
        EXPECT_EQ(lvtest::readBytes(same.toStdString()), before[same]);
        // Another maker's file: changed in memory, its bytes untouched.
        EXPECT_EQ(Form->Trace(3)->ApproxMode(), all ? 0 : 1) << mode;
        EXPECT_EQ(lvtest::readBytes(foreign.toStdString()), before[foreign]);
    }
    Form->SetProcessingMode(pmNormal);
}

// ---- the group index -------------------------------------------------------------------------------------

TEST_F(PanelTest, TheGroupIndexIsAskedAgainWithTheTypedTextUntilItFits) {
    const QString own = TraceFile("own.tra");
    Open({own});
    const std::vector<uint8_t> before = lvtest::readBytes(own.toStdString());
    QStringList offered;

    // Cancelled: nothing changes.
    answerPrompts({QString()}, &offered);
    doubleClick(Field("GroupIndex"));
    EXPECT_EQ(offered, QStringList{QStringLiteral("1,4650")});
    EXPECT_EQ(lvtest::readBytes(own.toStdString()), before);

    offered.clear();
    answerPrompts({QStringLiteral("3000"), QStringLiteral("1"), QStringLiteral("1.4682")}, &offered);
    doubleClick(Field("GroupIndex"));
    EXPECT_EQ(offered, (QStringList{QStringLiteral("1,4650"), QStringLiteral("3000"), QStringLiteral("1")}));
    ASSERT_EQ(Prompts.Messages.size(), 2u);
    for (const auto& m : Prompts.Messages) {
        EXPECT_EQ(m.Text, "Неправильно задан показатель преломления.\r\nПовторите попытку.");
        EXPECT_EQ(m.Type, TMsgDlgType::mtError);
        EXPECT_EQ(m.Buttons, TMsgDlgButtons(mbOK));
    }
    EXPECT_EQ(Text("GroupIndex"), QStringLiteral("1.4682")); // as typed, until the trace reports
    Settle();
    EXPECT_EQ(Text("GroupIndex"), QStringLiteral("1,4682"));
    EXPECT_DOUBLE_EQ(Form->ActiveTrace()->TraceValue(tvRefIndex), 1.4682);
    EXPECT_NEAR(lvtest::ReadTraceFile(own.toStdString()).RefIndex, 1.4682, 1e-9);
}

TEST_F(PanelTest, TheGroupIndexGoesToTracesOfTheActiveWavelengthOnly) {
    LVTEST_NEEDS_CORPUS("sor/JamesHarrison__otdrs__example1-noyes-ofl280.sor");
    const QString foreign = CorpusCopy("JamesHarrison__otdrs__example1-noyes-ofl280.sor", "foreign.sor");
    const QString other = TraceFile("1310.tra", 1310, "O"), same = TraceFile("same.sor", 1550, "S"),
                  active = TraceFile("active.tra", 1550, "A");
    Open({other, foreign, same, active});
    ASSERT_EQ(std::lround(Form->Trace(2)->TraceValue(tvWaveLength) * 1000), 1550); // the instrument's file
    const double foreignWas = Form->Trace(2)->TraceValue(tvRefIndex);
    std::map<QString, std::vector<uint8_t>> before;
    for (const QString& f : {other, foreign, same})
        before[f] = lvtest::readBytes(f.toStdString());
    Form->SetProcessingMode(pmPreInstallation);
    QStringList offered;
    answerPrompts({QStringLiteral("1,4700")}, &offered);
    Form->EditGroupIndex();
    Form->SetProcessingMode(pmNormal);
    Settle();

    EXPECT_EQ(Text("GroupIndex"), QStringLiteral("1,4700"));
    EXPECT_NEAR(lvtest::ReadTraceFile(active.toStdString()).RefIndex, 1.47, 1e-9);
    EXPECT_NEAR(lvtest::ReadTraceFile(same.toStdString()).RefIndex, 1.47, 1e-9);
    EXPECT_NE(lvtest::readBytes(same.toStdString()), before[same]);
    // Another maker's file: the new index in memory, the old bytes on disk.
    EXPECT_DOUBLE_EQ(Form->Trace(2)->TraceValue(tvRefIndex), 1.47);
    EXPECT_NE(foreignWas, 1.47);
    EXPECT_EQ(lvtest::readBytes(foreign.toStdString()), before[foreign]);
    // The other wavelength keeps its own.
    EXPECT_DOUBLE_EQ(Form->Trace(3)->TraceValue(tvRefIndex), 1.465);
    EXPECT_EQ(lvtest::readBytes(other.toStdString()), before[other]);
}

// ---- an instrument's file, markers placed by mouse, against the command-line tool ------------------------

// Run under a display (QT_QPA_PLATFORM=xcb, xdotool on the path) the clicks go through the X
// server, and LUMVARIS_PANEL_SHOT names a PNG of the window to write (tools/panel-shot.sh).
class PanelCorpusTest : public PanelTest {
protected:
    static bool OnDisplay() { return lvtest::OnDisplay(); }
    static void ClickAndWait(QWidget* w, QPoint at, const std::function<bool()>& done) {
        lvtest::ClickAndWait(w, at, done);
        Settle();
    }
};

TEST_F(PanelCorpusTest, MarkersPlacedByMouseReadAsTheCommandLineToolReadsThem) {
#ifndef LUMVARIS_CLI
    GTEST_SKIP() << "the command-line tool is not built";
#else
    const std::string name = "JamesHarrison__otdrs__example2-exfo-maxtester730c.sor";
    const QString file = QString::fromStdString(std::string(LUMVARIS_SHARED_DIR) + "/corpus/sor/" + name);
    LVTEST_NEEDS_CORPUS("sor/" + name);
    Form->resize(1024, 740);
    Form->show();
    Settle();
    Open({file});
    TMainGraph& g = Graph();
    QWidget* content = g.viewport();
    const int y = (g.ContentRect().Top + g.ContentRect().Bottom) / 2;
    const char* const buttons[] = {"M1Btn", "M2Btn", "M3Btn"};
    const double at[] = {0.6, 2.0, 3.4}; // km, on the fibre (it ends at 3.8 km)
    for (int i = 0; i < 3; ++i) {
        const double km = at[i];
        const double before = g.CursorX();
        ClickAndWait(content, QPoint(g.Geometry().XMap().ToPixel(km), y),
                     [&] { return g.CursorX() != before; });
        QAction* a = Form->Command(QString::fromLatin1(buttons[i]));
        ASSERT_TRUE(a->isEnabled()) << buttons[i];
        QWidget* button = Form->ToolBars()[0]->widgetForAction(a);
        ClickAndWait(button, button->rect().center(), [&] { return g.Marker(i + 1)->Shown(); });
        ASSERT_TRUE(g.Marker(i + 1)->Shown()) << buttons[i];
    }

    const lvtest::Json info = lvtest::CliInfo(file, g.Marker(1)->X(), g.Marker(2)->X(), g.Marker(3)->X());
    ASSERT_FALSE(info.isNull());
    const lvtest::Json& r = info["results"];
    const double l12 = r["length12_km"].number(), l23 = r["length23_km"].number();
    const double loss12 = r["loss12_db"].number(), loss23 = r["loss23_db"].number();
    ASSERT_GT(l12, 0);
    ASSERT_GT(l23, 0);
    EXPECT_EQ(Text("Distance12"), Fixed(l12, 3, " км"));
    EXPECT_EQ(Text("Loss12"), Fixed(loss12, 3, " дБ"));
    EXPECT_EQ(Text("RelativeLoss12"), Fixed(loss12 / l12, 3, " дБ/км"));
    EXPECT_EQ(Text("Distance23"), Fixed(l23, 3, " км"));
    EXPECT_EQ(Text("Loss23"), Fixed(loss23, 3, " дБ"));
    EXPECT_EQ(Text("RelativeLoss23"), Fixed(loss23 / l23, 3, " дБ/км"));
    EXPECT_EQ(Text("SpliceLoss"), Fixed(r["splice_loss_db"].number(), 3, " дБ"));
    EXPECT_EQ(Text("WaveLength"), Fixed(info["wavelength_um"].number(), 2, " мкм"));
    EXPECT_EQ(Text("GroupIndex"), Fixed(info["group_index"].number(), 4));
    EXPECT_EQ(Text("PulsWidth"), QStringLiteral("%1 нс").arg(info["pulse_ns"].integer()));
    EXPECT_EQ(Text("Aprox"), AproxText(int(info["approximation"].integer())));
    const double attenuator = info["attenuator_db"].number(), range = info["range_km"].number();
    EXPECT_EQ(Text("Attenuation"), attenuator >= 0 ? Fixed(attenuator, 2, " дБ") : QString());
    EXPECT_EQ(Text("LengthRange"), range > 0 ? Fixed(range, 0, " км") : QString());
    EXPECT_EQ(Text("AvrgTimes"), AveragesText(int(info["averages"].integer())));
    EXPECT_EQ(Text("Distance"), Fixed(g.Marker(3)->X(), 3, " км")); // the cursor stayed on M3, no start

    if (const char* shot = std::getenv("LUMVARIS_PANEL_SHOT")) {
        const QPixmap picture = OnDisplay() ? Form->screen()->grabWindow(Form->winId()) : Form->grab();
        EXPECT_TRUE(picture.save(QString::fromLocal8Bit(shot)));
    }
#endif
}

} // namespace
