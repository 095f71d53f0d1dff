// The main window: command enabling, the full-graph layout, the close query with the settings it
// saves, the registration at start, the date and file-name panels, help.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

#include "MainFormFixture.h"
#include "ShellTestSupport.h"
#include "display/uGraphsCmps.h"
#include "shell/fParamsPanel.h"
#include "shell/uHelpViewer.h"
#include "shell/uMainGraphProps.h"

using namespace lv;
using lvtest::MainFormTest;

namespace {

const char* const kListCommands[] = {"Close1",   "CloseAll1",   "Close1B",     "Save1",
                                     "SaveAs1",  "SaveAll1",    "Save1B",      "Export1",
                                     "Export1B", "ProcessSOR1", "ProcessSOR1B"};

TEST_F(MainFormTest, CommandsFollowTheListOfOpenTraces) {
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Измеритель параметров оптического кабеля"));
    for (const char* name : kListCommands)
        EXPECT_FALSE(Enabled(name)) << name;
    EXPECT_TRUE(Enabled("Open1"));
    EXPECT_TRUE(Form->NamePanel()->text().isEmpty());
    EXPECT_EQ(Form->NamePanel()->toolTip(), QStringLiteral("Имя файла"));
    EXPECT_EQ(Form->ParamsPanel()->AproxCode(), -1);
    for (const QString& field : Form->ParamsPanel()->FieldNames())
        EXPECT_TRUE(Form->ParamsPanel()->Field(field)->text().isEmpty()) << field.toStdString();

    const QString file = TraceFile("a.tra");
    ASSERT_EQ(Form->OpenTraceFiles({file}), 1);
    Settle();
    for (const char* name : {"Close1", "CloseAll1", "Close1B", "Save1", "SaveAs1", "SaveAll1", "Save1B", "Export1",
                             "Export1B", "ProcessSOR1", "ProcessSOR1B"})
        EXPECT_TRUE(Enabled(name)) << name;
    EXPECT_EQ(Form->NamePanel()->toolTip(), file);

    Trigger("Close1");
    for (const char* name : kListCommands)
        EXPECT_FALSE(Enabled(name)) << name;
    EXPECT_TRUE(Form->NamePanel()->text().isEmpty());
}

TEST_F(MainFormTest, MenusCarryTheShortcutsAndSeparators) {
    struct Row {
        const char* Name;
        const char* Text;
        QKeySequence Keys;
    };
    const Row rows[] = {
        {"Open1", "Открыть...", QKeySequence(QStringLiteral("Ctrl+O"))},
        {"Save1", "Сохранить", QKeySequence(QStringLiteral("Ctrl+S"))},
        {"Print1", "Печать...", QKeySequence(QStringLiteral("Ctrl+P"))},
        {"InControl1", "Входной контроль...", QKeySequence(QStringLiteral("Ctrl+I"))},
        {"BeforeControl1", "Предмонтажный контроль...", QKeySequence(QStringLiteral("Ctrl+A"))},
        {"Flow1", "Строительная документация...", QKeySequence(QStringLiteral("Ctrl+F"))},
        {"ProcessSOR1", "Обработать потоком в Bellcore...", QKeySequence(QStringLiteral("Ctrl+B"))},
        {"HelpHot", "Помощь", QKeySequence(QStringLiteral("F1"))},
        {"Close1", "Закрыть", {}},
    };
    for (const Row& r : rows) {
        QAction* a = Form->Command(QString::fromLatin1(r.Name));
        ASSERT_NE(a, nullptr) << r.Name;
        EXPECT_EQ(a->text(), QString::fromUtf8(r.Text));
        EXPECT_EQ(a->shortcut(), r.Keys) << r.Name;
    }
    // "Файл": separators after "Закрыть все", "Экспорт..." and "Настройка принтера...".
    QMenu* file = Form->menuBar()->findChild<QMenu*>(QStringLiteral("File1"));
    ASSERT_NE(file, nullptr);
    QStringList layout;
    for (QAction* a : file->actions())
        layout << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
    EXPECT_EQ(layout.join(u' '), QStringLiteral("Open1 Close1 CloseAll1 - Save1 SaveAs1 SaveAll1 Export1 - "
                                                "Print1 PrintSetup1 - Exit1"));
    EXPECT_EQ(Form->Command(QStringLiteral("AddToQueueBtn"))->toolTip(),
              QStringLiteral("Поместить в очередь на печать"));
    EXPECT_FALSE(Form->Command(QStringLiteral("Muff1B"))->isVisible());
}

TEST_F(MainFormTest, AFirstStartLeavesTheLowerAreaItsHundredAndFiftyPixels) {
    Form->resize(1000, 760);
    Form->show();
    Settle();
    EXPECT_FALSE(Form->FullGraphLayout());
    EXPECT_EQ(Form->GraphAreaHeight(), Form->ClientAreaHeight() - 150);
    EXPECT_EQ(Form->Settings().OldGraphPosY, Form->GraphAreaHeight());
    EXPECT_TRUE(Form->Settings().DoSaveAs);
    EXPECT_EQ(Form->FramesPerPage()->currentIndex(), 2);
    EXPECT_EQ(Form->WorkerNumEd()->text(), QStringLiteral("0000"));
    EXPECT_EQ(Form->DatePanel()->text(), TMainForm::DatePanelText(QDate::currentDate()));
}

// The graph is configured before the window has laid it out, and a resize keeps the scale: the
// start extents must still be what an empty graph shows once the window is on screen.
TEST_F(MainFormTest, AnEmptyGraphShowsEightyKilometresAndFiftyDecibelsAtStart) {
    for (const bool fullGraph : {false, true}) {
        if (fullGraph) {
            Form.reset();
            OpenSettings()->setValue(QStringLiteral("TMainForm/FullScreen"), QStringLiteral("1"));
            Form = std::make_unique<TMainForm>(Work);
        }
        Form->resize(1000, 760);
        Form->show();
        Settle();
        ASSERT_EQ(Form->FullGraphLayout(), fullGraph);
        for (const TRealRect& r : {Form->MainGraph->GetExts(), Form->MainGraph->GetVisExts()}) {
            EXPECT_DOUBLE_EQ(r.XMin, 0) << fullGraph;
            EXPECT_DOUBLE_EQ(r.XMax, 80) << fullGraph;
            EXPECT_DOUBLE_EQ(r.YMin, 0) << fullGraph;
            EXPECT_DOUBLE_EQ(r.YMax, 50) << fullGraph;
        }
    }
}

// Leaving the full-graph layout in a window smaller than the recorded graph height.
TEST_F(MainFormTest, LeavingTheFullGraphLayoutFitsTheGraphIntoASmallerWindow) {
    Form->resize(1000, 800);
    Form->show();
    Settle();
    const int recorded = Form->GraphAreaHeight();
    Form->ToggleFullGraph();
    Settle();
    EXPECT_TRUE(Form->FullGraphLayout());
    EXPECT_EQ(Form->Settings().OldGraphPosY, recorded);
    EXPECT_EQ(Form->GraphAreaHeight(), Form->ClientAreaHeight());

    for (int windowHeight : {400, 250}) {
        Form->resize(1000, windowHeight);
        Settle();
        if (!Form->FullGraphLayout()) Form->ToggleFullGraph();
        Form->Settings().OldGraphPosY = recorded;
        const int client = Form->ClientAreaHeight();
        ASSERT_LT(client, recorded);
        Form->ToggleFullGraph();
        Settle();
        const int expected = std::max(50, client - 150);
        EXPECT_FALSE(Form->FullGraphLayout());
        EXPECT_EQ(Form->Settings().OldGraphPosY, expected) << windowHeight;
        EXPECT_EQ(Form->GraphAreaHeight(), expected) << windowHeight;
    }
}

TEST_F(MainFormTest, ExitIsRefusedWhileAProcessingModeIsOn) {
    Form->show();
    Form->SetProcessingMode(2);
    EXPECT_FALSE(Form->close());
    ASSERT_EQ(Prompts.Messages.size(), 1u);
    EXPECT_EQ(Prompts.Messages[0].Text, kMsgCannotExit);
    EXPECT_EQ(Prompts.Messages[0].Type, TMsgDlgType::mtInformation);
    EXPECT_EQ(Prompts.Messages[0].Buttons, TMsgDlgButtons(mbOK));
    EXPECT_TRUE(Form->isVisible());
    EXPECT_FALSE(SettingsWritten());

    Form->SetProcessingMode(0);
    EXPECT_TRUE(Form->close());
    EXPECT_TRUE(SettingsWritten());
    EXPECT_TRUE(QFile::exists(MainGraphDataPath()));
}

// What the close query saves comes back in the next window: values, layout and graph display.
TEST_F(MainFormTest, TheNextWindowRestoresWhatTheCloseSaved) {
    Form->show();
    Settle();
    Form->Settings().WorkerNum = " 1234 ";
    Form->Settings().DataDir = Folder().toStdString();
    Form->Settings().FibCount = 500;
    Form->MainGraph->SetXGridsColor(RGBToColor(1, 2, 3));
    Form->MainGraph->SetHeaderFont(MakeStripFont(14, true, RGBToColor(200, 0, 0)));
    Form->ToggleFullGraph();
    const QVariantMap display = TMainGraphPersistence(*Form->MainGraph).PersistentProperties();
    ASSERT_TRUE(Form->close());

    Form = std::make_unique<TMainForm>(Work);
    EXPECT_EQ(Form->Settings().WorkerNum, " 1234 ");
    EXPECT_EQ(Form->WorkerNumEd()->text(), QStringLiteral(" 1234 "));
    EXPECT_EQ(Form->Settings().DataDir, Folder().toStdString());
    EXPECT_EQ(Form->Settings().FibCount, 300);
    EXPECT_EQ(Form->FramesPerPage()->currentIndex(), 2);
    EXPECT_EQ(TMainGraphPersistence(*Form->MainGraph).PersistentProperties(), display);
    Form->show();
    Settle();
    EXPECT_TRUE(Form->FullGraphLayout());

    // Without the graph file the next window has the graph's built-in display again.
    ASSERT_TRUE(Form->close());
    QFile::remove(MainGraphDataPath());
    Form = std::make_unique<TMainForm>(Work);
    EXPECT_EQ(Form->MainGraph->XGridsColor(), RGBToColor(0, 128, 0));
    EXPECT_NE(Form->MainGraph->HeaderFont().Color, RGBToColor(200, 0, 0));
}

TEST_F(MainFormTest, EveryDisplayPropertyTravelsThroughTheGraphFile) {
    TMainGraphPersistence props(*Form->MainGraph);
    const QVariantMap before = props.PersistentProperties();
    EXPECT_EQ(before.keys().size(), TMainGraphPersistence::PropertyNames().size());
    const QString path = QString::fromStdString(Dir.file("graph.dat"));
    WriteGraphDataFile(path, before);
    TMainGraph other;
    TMainGraphPersistence otherProps(other);
    EXPECT_EQ(LoadMainGraphData(otherProps, path), before.size());
    EXPECT_EQ(otherProps.PersistentProperties(), before);
    // Values of the wrong kind or out of range are refused, not applied.
    EXPECT_FALSE(otherProps.ApplyPersistentProperty(QStringLiteral("HeaderPos"), 9));
    EXPECT_FALSE(otherProps.ApplyPersistentProperty(QStringLiteral("XGridsColor"), QStringLiteral("green")));
    EXPECT_FALSE(otherProps.ApplyPersistentProperty(QStringLiteral("NoSuchProperty"), 1));
    EXPECT_EQ(otherProps.PersistentProperties(), before);
}

TEST_F(MainFormTest, CancelledRegistrationWritesNoSettings) {
    lvtest::WhenModal([](QWidget* w) { lvtest::ButtonText(w, QStringLiteral("Отмена"))->click(); });
    EXPECT_FALSE(Form->RegisterAtStart());
    Form.reset();
    EXPECT_FALSE(SettingsWritten());
    EXPECT_FALSE(QFile::exists(MainGraphDataPath()));
}

TEST_F(MainFormTest, RegistrationAndReRegistrationFillTheOperatorField) {
    EXPECT_EQ(Form->WorkerNumEd()->text(), QStringLiteral("0000"));
    EXPECT_TRUE(Form->WorkerNumEd()->isReadOnly());
    lvtest::WhenModal([](QWidget* w) {
        w->findChild<QLineEdit*>()->setText(QStringLiteral("Иванов"));
        lvtest::ButtonText(w, QStringLiteral("OK"))->click();
    });
    EXPECT_TRUE(Form->RegisterAtStart());
    EXPECT_EQ(Form->WorkerNumEd()->text(), QStringLiteral("Иванов"));

    // A cancelled re-registration changes nothing.
    QToolButton* ellipsis = Form->findChild<QToolButton*>(QStringLiteral("WorkerNumEdButton"));
    ASSERT_NE(ellipsis, nullptr);
    EXPECT_EQ(ellipsis->toolTip(), QStringLiteral("Перерегистрация"));
    lvtest::WhenModal([](QWidget* w) {
        w->findChild<QLineEdit*>()->setText(QStringLiteral("Петров"));
        lvtest::ButtonText(w, QStringLiteral("Отмена"))->click();
    });
    ellipsis->click();
    EXPECT_EQ(Form->Settings().WorkerNum, "Иванов");
    EXPECT_EQ(Form->WorkerNumEd()->text(), QStringLiteral("Иванов"));
}

TEST(MainFormPanels, DatePanelShowsShortDateThreeSpacesAndTheWeekday) {
    const QDate saturday(2024, 1, 6);
    EXPECT_EQ(TMainForm::DatePanelText(saturday),
              QLocale().toString(saturday, QLocale::ShortFormat) + QStringLiteral("   Суббота"));
    EXPECT_TRUE(TMainForm::DatePanelText(QDate(2024, 1, 7)).endsWith(QStringLiteral("   Воскресенье")));
    EXPECT_TRUE(TMainForm::DatePanelText(QDate(2024, 1, 8)).endsWith(QStringLiteral("   Понедельник")));
}

// The longest weekdays must not lose their ends to the panel's designed width.
TEST_F(MainFormTest, DateAndClockPanelsShowTheirWholeText) {
    Form->show();
    Settle();
    QLabel* date = Form->DatePanel();
    for (const QDate& day : {QDate(2024, 1, 8), QDate(2024, 1, 7), QDate(2024, 1, 6)}) {
        const QString text = TMainForm::DatePanelText(day);
        date->setText(text);
        Settle();
        EXPECT_GE(date->contentsRect().width(), date->fontMetrics().horizontalAdvance(text))
            << text.toStdString();
        EXPECT_GE(date->width(), 142);
    }
    QLabel* clock = Form->findChild<QLabel*>(QStringLiteral("RxClock1"));
    ASSERT_NE(clock, nullptr);
    EXPECT_GE(clock->contentsRect().width(),
              clock->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")));
}

// The file-name panel shortens a long path to its width less 5 pixels: the start and the file
// name stay whole, folders in the middle give way first (those nearest the file last), and only
// a panel narrower than the name itself shortens the name.
TEST(MainFormPanels, FileNamePanelKeepsTheNameAndLeavesOutMiddleFolders) {
    const QChar ellipsis(0x2026);
    const QString paths[] = {
        QStringLiteral("/data/измерения/2024/участок северный/кабель 7/131/Барабан 12(155).tra"),
        QStringLiteral("/work/shared/corpus/sor/Maker__otdr-example2-exfo-maxtester730c-hrd.sor"),
        QStringLiteral("trace folder/AB/007.sor"),
    };
    TNamePanel panel;
    panel.show();
    for (const QString& path : paths) {
        panel.SetFileName(path);
        EXPECT_EQ(panel.toolTip(), path);
        const QString name = path.section(u'/', -1);
        const QString head = path.startsWith(u'/') ? path.section(u'/', 0, 1) + u'/' : path.section(u'/', 0, 0) + u'/';
        for (int width = 40; width <= 700; width += 15) {
            panel.resize(width, 22);
            const QString shown = panel.text();
            const QFontMetrics m = panel.fontMetrics();
            const int room = panel.contentsRect().width() - 5;
            SCOPED_TRACE(testing::Message() << shown.toStdString() << " in " << room << " px");
            EXPECT_LE(m.horizontalAdvance(shown), room);
            if (m.horizontalAdvance(path) <= room) {
                EXPECT_EQ(shown, path);
                continue;
            }
            EXPECT_TRUE(shown.contains(ellipsis) || shown == name);
            if (m.horizontalAdvance(name) > room) {
                EXPECT_TRUE(shown.endsWith(name.right(3)));
                continue;
            }
            // The name whole, after whole folders that end the path.
            EXPECT_TRUE(shown.endsWith(u'/' + name) || shown == name);
            const QString tail = shown.mid(shown.indexOf(ellipsis) + 1);
            EXPECT_TRUE(path.endsWith(tail));
            if (m.horizontalAdvance(head + ellipsis + u'/' + name) <= room) {
                EXPECT_TRUE(shown.startsWith(head + ellipsis));
            }
        }
    }
    panel.SetFileName({});
    EXPECT_TRUE(panel.text().isEmpty());
    EXPECT_EQ(panel.toolTip(), QStringLiteral("Имя файла"));
}

// A disabled toolbar button reads as disabled at a glance: its picture keeps no colour and
// stands out from the toolbar far less than the enabled one.
TEST_F(MainFormTest, DisabledButtonsReadAsDisabled) {
    const QColor background = Form->ToolBars()[0]->palette().color(QPalette::Window);
    // How far a picture, laid over the toolbar, stands out from it (0 nothing).
    auto standsOut = [&](const QImage& img) {
        double sum = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                sum += c.alphaF() * std::abs(qGray(c.rgb()) - qGray(background.rgb())) / 255.0;
            }
        return sum;
    };
    int checked = 0;
    for (QToolBar* bar : Form->ToolBars())
        for (QAction* a : bar->actions()) {
            if (a->icon().isNull()) continue;
            const QImage on = a->icon().pixmap(22, QIcon::Normal).toImage().convertToFormat(QImage::Format_ARGB32);
            const QImage off = a->icon().pixmap(22, QIcon::Disabled).toImage().convertToFormat(QImage::Format_ARGB32);
            ASSERT_EQ(on.size(), QSize(22, 22)) << a->objectName().toStdString();
            ASSERT_EQ(off.size(), QSize(22, 22)) << a->objectName().toStdString();
            bool colourless = true;
            for (int y = 0; y < 22; ++y)
                for (int x = 0; x < 22; ++x) {
                    const QColor c = off.pixelColor(x, y);
                    colourless = colourless && (c.alpha() == 0 || (std::abs(c.red() - c.green()) <= 2 &&
                                                                   std::abs(c.green() - c.blue()) <= 2));
                }
            EXPECT_TRUE(colourless) << a->objectName().toStdString();
            EXPECT_LT(standsOut(off), 0.3 * standsOut(on)) << a->objectName().toStdString();
            ++checked;
        }
    EXPECT_GT(checked, 25);
}

TEST_F(MainFormTest, HelpCommandsOpenTheIndexAndTheContents) {
    Trigger("HelpHot");
    EXPECT_TRUE(HelpViewer()->IndexTabShown());
    Trigger("Content1");
    EXPECT_FALSE(HelpViewer()->IndexTabShown());
    Trigger("Index1");
    EXPECT_TRUE(HelpViewer()->IndexTabShown());
    HelpQuit();
}

} // namespace

TEST_F(MainFormTest, TheToolbarsCannotBeHiddenFromAContextMenu) {
    EXPECT_EQ(Form->createPopupMenu(), nullptr);
}
