// Settings: the main window's values, window placement, toolbar layout, the graph's display
// properties file, and the save error.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QToolBar>

#include "ShellTestSupport.h"
#include "shell/uGraphData.h"
#include "shell/uMainSettings.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "trace/Errors.h"

using namespace lv;
using lvtest::ScriptedPrompts;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        OpenSettings()->clear();
        QFile::remove(MainGraphDataPath());
    }
    void TearDown() override { SetUp(); }
};

// A stand-in for the main graph: a few display properties with built-in defaults.
class FakeGraph : public IPersistentGraph {
public:
    QVariantMap Defaults{{"CursorType", 0},
                         {"XGridsColor", 0x8000},
                         {"HeaderFont", QFont("Arial", 8)},
                         {"XLabelUnits", QStringLiteral("км")},
                         {"YGridsVisible", true},
                         {"PrintScale", 1.0}};
    QVariantMap Values = Defaults;

    QVariantMap PersistentProperties() const override {
        QVariantMap changed;
        for (auto it = Values.cbegin(); it != Values.cend(); ++it)
            if (Defaults.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
        return changed;
    }
    bool ApplyPersistentProperty(const QString& name, const QVariant& value) override {
        if (!Defaults.contains(name) || Defaults.value(name).typeId() != value.typeId()) return false;
        Values[name] = value;
        return true;
    }
};

} // namespace

TEST_F(SettingsTest, FirstStartGivesTheDefaults) {
    auto s = OpenSettings();
    EXPECT_EQ(s->fileName(), qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Lumvaris/V2.0.conf"));
    const TMainSettings v = ReadMainSettings(*s, 600);
    EXPECT_EQ(v.OldGraphPosY, 450);
    EXPECT_FALSE(v.FullScreen);
    EXPECT_TRUE(v.DoSaveAs);
    EXPECT_EQ(v.MarkingType, 2);
    EXPECT_EQ(v.WorkerNum, "0000");
    EXPECT_TRUE(v.ShowWorkerNum);
    EXPECT_TRUE(v.SaveBeforePrint);
    EXPECT_EQ(v.DistM12, 1000);
    EXPECT_EQ(v.DistMY3, 1000);
    EXPECT_EQ(v.DistM2Y, 1000);
    EXPECT_EQ(v.FibCount, 16);
    EXPECT_TRUE(v.AutoFib);
    EXPECT_FALSE(v.CutFib);
    EXPECT_TRUE(v.DataDir.empty());
    EXPECT_TRUE(v.FlowDir.empty());
    EXPECT_EQ(ReadMainSettings(*s, 120).OldGraphPosY, 50); // never below 50 pixels
}

TEST_F(SettingsTest, ValuesAreStoredAsTextAndClampedOnWriting) {
    TMainSettings v;
    v.OldGraphPosY = 333;
    v.FullScreen = true;
    v.DoSaveAs = false;
    v.DataDir = "/data/Линия 1/";
    v.ShowWorkerNum = false; // always stored as 1
    v.WorkerNum = "  Иванов ";
    v.MarkingType = 9;
    v.DistM12 = 0;
    v.DistMY3 = -5;
    v.DistM2Y = 250;
    v.FibCount = 500;
    v.CutFib = true;
    v.FlowTmpFile = "/шаблоны/a,b.xls";
    {
        auto s = OpenSettings();
        WriteMainSettings(*s, v);
        s->sync();
        ASSERT_EQ(s->status(), QSettings::NoError);
    }
    auto s = OpenSettings();
    s->beginGroup(QStringLiteral("TMainForm"));
    const std::pair<const char*, const char*> stored[] = {
        {"OldGraphPosY", "333"}, {"FullScreen", "1"}, {"DoSaveAs", "0"},   {"ShowWorkerNum", "1"},
        {"MarkingType", "2"},    {"DistM12", "1000"}, {"DistMY3", "1000"}, {"DistM2Y", "250"},
        {"FibCount", "300"},     {"CutFib", "1"},     {"AutoFib", "1"},    {"WorkerNum", "  Иванов "},
    };
    for (const auto& [name, text] : stored) {
        const QVariant value = s->value(QString::fromLatin1(name));
        EXPECT_EQ(value.typeId(), QMetaType::QString) << name;
        EXPECT_EQ(value.toString(), QString::fromUtf8(text)) << name;
    }
    s->endGroup();

    const TMainSettings back = ReadMainSettings(*s, 600);
    EXPECT_EQ(back.OldGraphPosY, 333);
    EXPECT_TRUE(back.FullScreen);
    EXPECT_FALSE(back.DoSaveAs);
    EXPECT_EQ(back.DataDir, v.DataDir);
    EXPECT_EQ(back.WorkerNum, v.WorkerNum);
    EXPECT_EQ(back.FlowTmpFile, v.FlowTmpFile);
    EXPECT_EQ(back.FibCount, 300);

    v.FibCount = 0;
    WriteMainSettings(*s, v);
    EXPECT_EQ(s->value(QStringLiteral("TMainForm/FibCount")).toString(), QStringLiteral("1"));
}

TEST_F(SettingsTest, BadOrOutOfRangeStoredValuesGiveDefaultsOrClamps) {
    auto s = OpenSettings();
    s->beginGroup(QStringLiteral("TMainForm"));
    s->setValue(QStringLiteral("OldGraphPosY"), QStringLiteral("700")); // taller than the client area
    s->setValue(QStringLiteral("DoSaveAs"), QStringLiteral(""));
    s->setValue(QStringLiteral("FibCount"), QStringLiteral("abc"));
    s->setValue(QStringLiteral("MarkingType"), QStringLiteral("12"));
    s->setValue(QStringLiteral("DistM12"), QStringLiteral(" 1500 "));
    s->setValue(QStringLiteral("AutoFib"), QStringLiteral("0"));
    s->endGroup();
    const TMainSettings v = ReadMainSettings(*s, 600);
    EXPECT_EQ(v.OldGraphPosY, 450);
    EXPECT_TRUE(v.DoSaveAs);
    EXPECT_EQ(v.FibCount, 16);
    EXPECT_EQ(v.MarkingType, 2);
    EXPECT_EQ(v.DistM12, 1500);
    EXPECT_FALSE(v.AutoFib);
    EXPECT_EQ(ClampGraphHeight(599, 600), 599);
    EXPECT_EQ(ClampGraphHeight(600, 600), 450);
    EXPECT_EQ(ClampGraphHeight(600, 180), 50);
}

TEST(CoolBar, RecordsAreTwelveBytesLittleEndian) {
    const TCoolBarLayout layout{{{2, false, 300}, {0, true, -1}, {1, false, 0x01020304}, {3, true, 90}}};
    const QByteArray bytes = EncodeCoolBar(layout);
    ASSERT_EQ(bytes.size(), 48);
    EXPECT_EQ(bytes.mid(0, 12), QByteArray::fromHex("02000000"
                                                    "00000000"
                                                    "2c010000"));
    EXPECT_EQ(bytes.mid(12, 12), QByteArray::fromHex("00000000"
                                                     "01000000"
                                                     "ffffffff"));
    EXPECT_EQ(bytes.mid(24, 12), QByteArray::fromHex("01000000"
                                                     "00000000"
                                                     "04030201"));
    EXPECT_EQ(DecodeCoolBar(bytes), layout);

    QByteArray padded = bytes;
    padded[5] = 'x'; // padding is ignored
    padded[16] = 7;  // any non-zero flag is a line break
    const auto decoded = DecodeCoolBar(padded);
    ASSERT_TRUE(decoded);
    EXPECT_TRUE((*decoded)[1].Break);
    EXPECT_EQ(*decoded, layout);

    EXPECT_FALSE(DecodeCoolBar(bytes.left(36)));
    EXPECT_FALSE(DecodeCoolBar(bytes + QByteArray(1, '\0')));
}

namespace {
struct ToolbarWindow {
    QMainWindow window;
    std::array<QToolBar*, 4> bars{};
    ToolbarWindow() {
        for (int i = 0; i < 4; ++i) {
            bars[i] = new QToolBar(QStringLiteral("ToolBar%1").arg(i + 1), &window);
            bars[i]->setObjectName(QStringLiteral("ToolBar%1").arg(i + 1));
            bars[i]->addAction(QStringLiteral("Команда %1").arg(i + 1));
            window.addToolBar(Qt::TopToolBarArea, bars[i]);
        }
        window.resize(900, 500);
    }
    // Names of the toolbars line by line, left to right.
    QStringList lines() {
        window.show();
        QCoreApplication::processEvents();
        std::array<int, 4> order{0, 1, 2, 3};
        std::sort(order.begin(), order.end(), [&](int a, int b) {
            const QPoint pa = bars[a]->pos(), pb = bars[b]->pos();
            return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
        });
        QStringList out;
        int y = bars[order[0]]->y();
        QString line;
        for (int i : order) {
            if (bars[i]->y() != y) {
                out << line.trimmed();
                line.clear();
                y = bars[i]->y();
            }
            line += QStringLiteral("%1 ").arg(i + 1);
        }
        out << line.trimmed();
        return out;
    }
};
} // namespace

TEST(CoolBar, LayoutMapsOntoToolbarOrderAndLineBreaks) {
    ToolbarWindow w;
    EXPECT_EQ(w.lines(), QStringList{"1 2 3 4"});
    // ToolBar3 first, ToolBar1 second, then a new line with ToolBar4 and ToolBar2.
    const TCoolBarLayout layout{{{1, false, 0}, {3, false, 0}, {0, false, 0}, {2, true, 0}}};
    ApplyToolBarLayout(w.window, w.bars, layout);
    EXPECT_EQ(w.lines(), (QStringList{"3 1", "4 2"}));

    const TCoolBarLayout captured = CaptureToolBarLayout(w.window, w.bars);
    EXPECT_EQ(captured[2].Index, 0);
    EXPECT_EQ(captured[0].Index, 1);
    EXPECT_EQ(captured[3].Index, 2);
    EXPECT_EQ(captured[1].Index, 3);
    EXPECT_TRUE(captured[3].Break);
    EXPECT_FALSE(captured[0].Break);
    EXPECT_FALSE(captured[1].Break);
    EXPECT_GT(captured[0].Width, 0);

    // The captured layout brings the same arrangement back in a window of the designed layout.
    ToolbarWindow fresh;
    ApplyToolBarLayout(fresh.window, fresh.bars, captured);
    EXPECT_EQ(fresh.lines(), (QStringList{"3 1", "4 2"}));
}

TEST_F(SettingsTest, ThirtySixByteCoolBarIsIgnored) {
    ToolbarWindow w;
    auto s = OpenSettings();
    const TCoolBarLayout reversed{{{3, false, 0}, {2, false, 0}, {1, false, 0}, {0, false, 0}}};
    s->setValue(QStringLiteral("TMainForm/MainCoolBar"), EncodeCoolBar(reversed).left(36));
    TMainFormParts parts;
    parts.Window = &w.window;
    parts.ToolBars = w.bars;
    RestoreMainForm(*s, parts);
    EXPECT_EQ(w.lines(), QStringList{"1 2 3 4"});

    s->setValue(QStringLiteral("TMainForm/MainCoolBar"), EncodeCoolBar(reversed));
    RestoreMainForm(*s, parts);
    EXPECT_EQ(w.lines(), QStringList{"4 3 2 1"});
}

TEST_F(SettingsTest, PlacementPrefersTheScreenQualifiedNameAndFallsBackToThePlainOne) {
    QWidget window;
    const QSize screen = PlacementScreenSize(window);
    const int ppi = PlacementPixelsPerInch(window);
    ASSERT_TRUE(screen.isValid());
    EXPECT_EQ(ScreenQualifiedName(QStringLiteral("NormPos"), QSize(1024, 768)),
              QStringLiteral("NormPos(1024x768)"));

    auto s = OpenSettings();
    s->beginGroup(QStringLiteral("TMainForm"));
    s->setValue(QStringLiteral("PixelsPerInch"), QString::number(ppi));
    s->setValue(QStringLiteral("NormPos"), QStringLiteral("10,20,410,320"));
    // Recorded on another screen size: not ours.
    s->setValue(QStringLiteral("NormPos(1x1)"), QStringLiteral("50,50,60,60"));
    s->endGroup();
    ASSERT_TRUE(RestoreWindowPlacement(*s, QStringLiteral("TMainForm"), window));
    EXPECT_EQ(window.geometry(), QRect(10, 20, 400, 300));

    s->setValue(QStringLiteral("TMainForm/") + ScreenQualifiedName(QStringLiteral("NormPos"), screen),
                QStringLiteral("30,40,330,240"));
    ASSERT_TRUE(RestoreWindowPlacement(*s, QStringLiteral("TMainForm"), window));
    EXPECT_EQ(window.geometry(), QRect(30, 40, 300, 200));
}

TEST_F(SettingsTest, PlacementRoundTripAndItsConditions) {
    QWidget window;
    window.setGeometry(40, 50, 320, 240);
    auto s = OpenSettings();
    SaveWindowPlacement(*s, QStringLiteral("TDisplayParamsFrm"), window);
    s->beginGroup(QStringLiteral("TDisplayParamsFrm"));
    EXPECT_EQ(s->value(QStringLiteral("NormPos")).toString(), QStringLiteral("40,50,360,290"));
    EXPECT_EQ(
        s->value(ScreenQualifiedName(QStringLiteral("NormPos"), PlacementScreenSize(window))).toString(),
        QStringLiteral("40,50,360,290"));
    EXPECT_EQ(s->value(QStringLiteral("ShowCmd")).toString(), QStringLiteral("1"));
    EXPECT_EQ(s->value(QStringLiteral("FormVersion")).toString(), QStringLiteral("0"));
    EXPECT_TRUE(s->contains(QStringLiteral("MinMaxPos")));
    s->endGroup();

    QWidget other;
    other.setGeometry(0, 0, 100, 100);
    EXPECT_FALSE(RestoreWindowPlacement(*s, QStringLiteral("TDisplayParamsFrm"), other, 1)); // older version
    EXPECT_EQ(other.geometry(), QRect(0, 0, 100, 100));
    ASSERT_TRUE(RestoreWindowPlacement(*s, QStringLiteral("TDisplayParamsFrm"), other));
    EXPECT_EQ(other.geometry(), QRect(40, 50, 320, 240));

    QWidget fixed;
    fixed.setFixedSize(150, 80);
    ASSERT_TRUE(RestoreWindowPlacement(*s, QStringLiteral("TDisplayParamsFrm"), fixed));
    EXPECT_EQ(fixed.geometry(), QRect(40, 50, 150, 80)); // takes the position only

    // Another resolution: positions stay as they are; a stored maximized state still applies.
    s->setValue(QStringLiteral("TDisplayParamsFrm/PixelsPerInch"),
                QString::number(PlacementPixelsPerInch(other) + 24));
    s->setValue(QStringLiteral("TDisplayParamsFrm/ShowCmd"), QStringLiteral("3"));
    QWidget third;
    third.setGeometry(1, 2, 100, 100);
    ASSERT_TRUE(RestoreWindowPlacement(*s, QStringLiteral("TDisplayParamsFrm"), third));
    EXPECT_EQ(third.geometry(), QRect(1, 2, 100, 100));
    EXPECT_TRUE(third.windowState() & Qt::WindowMaximized);

    // Nothing stored, or nonsense: the window keeps its designed geometry.
    s->setValue(QStringLiteral("TDisplayParamsFrm/NormPos"), QStringLiteral("1,2,3"));
    s->remove(QStringLiteral("TDisplayParamsFrm/") +
              ScreenQualifiedName(QStringLiteral("NormPos"), PlacementScreenSize(other)));
    EXPECT_FALSE(RestoreWindowPlacement(*s, QStringLiteral("TDisplayParamsFrm"), other));
    EXPECT_FALSE(RestoreWindowPlacement(*s, QStringLiteral("NoSuchForm"), other));
}

TEST_F(SettingsTest, AWindowRecordedOnAMissingMonitorComesBackOnScreen) {
    QWidget window;
    auto s = OpenSettings();
    s->beginGroup(QStringLiteral("TMainForm"));
    s->setValue(QStringLiteral("PixelsPerInch"), QString::number(PlacementPixelsPerInch(window)));
    s->setValue(QStringLiteral("NormPos"), QStringLiteral("5000,5000,5400,5300"));
    s->endGroup();
    ASSERT_TRUE(RestoreWindowPlacement(*s, QStringLiteral("TMainForm"), window));
    EXPECT_EQ(window.size(), QSize(400, 300));
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().intersects(window.geometry()));
}

TEST(GraphData, RoundTripOfEveryValueKind) {
    const QVariantMap props{{"CursorType", 1},
                            {"XGridsColor", 0x80000018u},
                            {"Big", qlonglong(1) << 40},
                            {"HeaderFont", QFont("Times New Roman", 14, QFont::Bold)},
                            {"XLabelUnits", QStringLiteral("к\\м\nдБ\r")},
                            {"YGridsVisible", false},
                            {"PrintScale", 0.1},
                            {"ContentColor", QColor(1, 2, 3, 4)}};
    const QByteArray bytes = EncodeGraphData(props);
    EXPECT_TRUE(bytes.startsWith("# "));
    EXPECT_TRUE(bytes.contains("\nLumvarisGraphData=1\n"));
    EXPECT_TRUE(bytes.contains("\nCursorType=int:1\n"));
    EXPECT_TRUE(bytes.contains("\nXLabelUnits=text:к\\\\м\\nдБ\\r\n"));
    const QVariantMap back = DecodeGraphData(bytes);
    ASSERT_EQ(back.size(), props.size());
    EXPECT_EQ(back["CursorType"], QVariant(1));
    EXPECT_EQ(back["XGridsColor"].toUInt(), 0x80000018u);
    EXPECT_EQ(back["Big"].toLongLong(), qlonglong(1) << 40);
    EXPECT_EQ(back["HeaderFont"].value<QFont>(), props["HeaderFont"].value<QFont>());
    EXPECT_EQ(back["XLabelUnits"].toString(), props["XLabelUnits"].toString());
    EXPECT_EQ(back["YGridsVisible"], QVariant(false));
    EXPECT_EQ(back["PrintScale"].toDouble(), 0.1);
    EXPECT_EQ(back["ContentColor"].value<QColor>(), QColor(1, 2, 3, 4));

    EXPECT_THROW(EncodeGraphData({{"Pos", QPoint(1, 2)}}), EConvertError);
    EXPECT_THROW(EncodeGraphData({{"bad name", 1}}), EConvertError);
}

TEST(GraphData, BadEntriesAreSkippedAndForeignFilesIgnored) {
    const QByteArray mixed = "# comment\r\n"
                             "LumvarisGraphData=1\r\n"
                             "CursorType=int:1\r\n"
                             "XGridsCount=int:ten\r\n"
                             "YGridsVisible=bool:2\r\n"
                             "HeaderFont=font:\r\n"
                             "Unknown=shape:circle\r\n"
                             "no equals sign\r\n"
                             "=int:3\r\n"
                             "bad name=int:3\r\n"
                             "ContentColor=color:nonsense\r\n"
                             "XLabel=text:\r\n";
    const QVariantMap v = DecodeGraphData(mixed);
    EXPECT_EQ(v.keys(), (QStringList{"CursorType", "XLabel"}));
    EXPECT_EQ(v["XLabel"].toString(), QString());

    EXPECT_TRUE(DecodeGraphData("CursorType=int:1\n").isEmpty());                      // no version line
    EXPECT_TRUE(DecodeGraphData("LumvarisGraphData=2\nCursorType=int:1\n").isEmpty()); // another version
    EXPECT_TRUE(DecodeGraphData(QByteArray("TPF0\x0aTMainGraph", 15)).isEmpty());      // not ours
    EXPECT_TRUE(DecodeGraphData("").isEmpty());
}

TEST_F(SettingsTest, GraphDataFileLivesInTheConfigFolderAndMissingGivesDefaults) {
    EXPECT_EQ(MainGraphDataPath(),
              qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Lumvaris/V2.0/MainGraphData.dat"));
    ScriptedPrompts prompts;
    FakeGraph graph;
    graph.Values["CursorType"] = 1;
    graph.Values["HeaderFont"] = QFont("Arial", 12);
    SaveMainGraphData(graph);
    ASSERT_TRUE(QFile::exists(MainGraphDataPath()));
    EXPECT_EQ(QDir(QFileInfo(MainGraphDataPath()).absolutePath()).entryList(QDir::Files),
              QStringList{"MainGraphData.dat"}); // no temporary file left

    FakeGraph restored;
    EXPECT_EQ(LoadMainGraphData(restored), 2);
    EXPECT_EQ(restored.Values, graph.Values);

    QFile::remove(MainGraphDataPath());
    FakeGraph fresh;
    EXPECT_EQ(LoadMainGraphData(fresh), 0);
    EXPECT_EQ(fresh.Values, fresh.Defaults);
    EXPECT_TRUE(prompts.Messages.empty());

    // Entries the graph refuses (unknown name, wrong kind) are skipped.
    WriteGraphDataFile(MainGraphDataPath(),
                       {{"CursorType", QStringLiteral("крест")}, {"Gone", 1}, {"PrintScale", 2.5}});
    FakeGraph partly;
    EXPECT_EQ(LoadMainGraphData(partly), 1);
    EXPECT_EQ(partly.Values["PrintScale"], QVariant(2.5));
    EXPECT_EQ(partly.Values["CursorType"], QVariant(0));
}

TEST_F(SettingsTest, SaveAndRestoreTheMainWindowAsAWhole) {
    ScriptedPrompts prompts;
    FakeGraph graph;
    graph.Values["XGridsColor"] = 0xFF;
    {
        ToolbarWindow w;
        w.window.setGeometry(20, 30, 800, 600);
        w.lines();
        TMainSettings values;
        values.WorkerNum = "1234";
        values.OldGraphPosY = 321;
        TMainFormParts parts{&w.window, w.bars, &graph, {}, -1};
        auto s = OpenSettings();
        ApplyToolBarLayout(w.window, w.bars, {{{0, false, 0}, {1, false, 0}, {2, true, 0}, {3, false, 0}}});
        EXPECT_TRUE(SaveMainForm(*s, parts, values));
        EXPECT_EQ(s->value(QStringLiteral("TMainForm/MainCoolBar")).toByteArray().size(), 48);
    }
    EXPECT_TRUE(prompts.Messages.empty());

    ToolbarWindow w;
    FakeGraph fresh;
    auto s = OpenSettings();
    const TMainSettings values = RestoreMainForm(*s, {&w.window, w.bars, &fresh, {}, 600});
    EXPECT_EQ(values.WorkerNum, "1234");
    EXPECT_EQ(values.OldGraphPosY, 321);
    EXPECT_EQ(w.window.size(), QSize(800, 600));
    EXPECT_EQ(w.lines(), (QStringList{"1 2", "3 4"}));
    EXPECT_EQ(fresh.Values["XGridsColor"], QVariant(0xFF));
}

TEST_F(SettingsTest, AFailedSaveShowsTheMessage) {
    ScriptedPrompts prompts;
    lvtest::TempDir dir;
    // The store's file cannot be written where a folder of the same name stands.
    const QString blocked = QString::fromStdString(dir.file("V2.0.conf"));
    QDir().mkpath(blocked + QStringLiteral("/x"));
    QSettings s(blocked, QSettings::IniFormat);
    EXPECT_FALSE(SaveMainForm(s, {}, TMainSettings{}));
    ASSERT_EQ(prompts.Messages.size(), 1u);
    EXPECT_EQ(prompts.Messages[0].Text,
              "Ошибка при записи настроек интерфейса.\r\n"
              "Если ошибка будет повторяться в дальнейшем, обратитесь к разработчику.");
    EXPECT_EQ(prompts.Messages[0].Type, TMsgDlgType::mtError);
    EXPECT_EQ(prompts.Messages[0].Buttons, static_cast<TMsgDlgButtons>(mbOK));

    // The graph file failing is the same error; the store itself was written.
    prompts.Messages.clear();
    FakeGraph graph;
    graph.Values["CursorType"] = 1;
    const QString graphBlocked = QString::fromStdString(dir.file("graph.dat"));
    QDir().mkpath(graphBlocked + QStringLiteral("/x"));
    auto good = OpenSettings();
    EXPECT_FALSE(SaveMainForm(*good, {nullptr, {}, &graph, graphBlocked, -1}, TMainSettings{}));
    EXPECT_EQ(prompts.Messages.size(), 1u);
    EXPECT_EQ(good->value(QStringLiteral("TMainForm/WorkerNum")).toString(), QStringLiteral("0000"));
}
