// The interface parameters dialog "Параметры интерфейса": every control against the property it
// reads and writes, the defaults of each page, Cancel, OK applying all or nothing with one
// repaint, the kept page, focus and placement, and its texts shown whole. Run with
// LUMVARIS_DIALOG_SHOTS naming a folder, it also writes a picture of each page there
// (tools/dialog-shots.sh, under Xvfb).

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>

#include <functional>

#include "MainFormFixture.h"
#include "ShellTestSupport.h"
#include "display/uGraphsCmps.h"
#include "shell/fDisplayParams.h"
#include "shell/uHelpViewer.h"

using namespace lv;
using lvtest::MainFormTest;

namespace {

// A control's value as the operator sees it: a radio group's item, a box's tick, a spin box's
// number, an edit's text.
QVariant controlValue(QWidget* w) {
    if (auto* r = qobject_cast<TRadioGroup*>(w)) return r->ItemIndex();
    if (auto* c = qobject_cast<QCheckBox*>(w)) return c->isChecked();
    if (auto* s = qobject_cast<QSpinBox*>(w)) return s->value();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    return {};
}

void setControl(QWidget* w, const QVariant& v) {
    if (auto* r = qobject_cast<TRadioGroup*>(w)) r->SetItemIndex(v.toInt());
    if (auto* c = qobject_cast<QCheckBox*>(w)) c->setChecked(v.toBool());
    if (auto* s = qobject_cast<QSpinBox*>(w)) s->setValue(v.toInt());
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(v.toString());
}

TDisplayParamsFrm* asDialog(QWidget* w) {
    auto* d = qobject_cast<TDisplayParamsFrm*>(w);
    EXPECT_NE(d, nullptr);
    return d;
}

class DisplayParamsTest : public MainFormTest {
protected:
    // Opens the dialog through the menu command and runs `inside` on it while it is up.
    void RunDialog(const std::function<void(TDisplayParamsFrm*)>& inside) {
        bool ran = false;
        lvtest::WhenModal([&](QWidget* w) {
            ran = true;
            if (TDisplayParamsFrm* d = asDialog(w)) {
                inside(d);
                if (d->isVisible()) d->reject();
            } else {
                w->close();
            }
        });
        Trigger("ConditDispley1");
        EXPECT_TRUE(ran);
    }
    static void Click(TDisplayParamsFrm* d, const char* button) {
        qobject_cast<QPushButton*>(d->Control(QString::fromLatin1(button)))->click();
    }
    TMainGraph& Graph() { return *Form->MainGraph; }
};

// Each control shows the value it reads and writes back what the operator set, into its own
// property and no other: "Вертикальная сетка" is the X grid, "Горизонтальная" the Y grid, a
// method beyond the four shows as "Разреженный" and comes back as it, and the hidden operator
// fields go back as they came.
TEST_F(DisplayParamsTest, EachControlReadsAndWritesItsOwnProperty) {
    using Get = std::function<QVariant(TMainForm&)>;
    using Set = std::function<void(TMainForm&, const QVariant&)>;
    auto graph = [](TMainForm& f) -> TMainGraph& { return *f.MainGraph; };
    auto text = [](const std::string& s) { return QString::fromStdString(s); };
    struct Row {
        const char* Control;
        Get Read;
        Set Write;
        QVariant Source, Shown; // the property's value, and what the control shows for it
        QVariant Typed, Result; // what the operator sets (invalid: nothing), and the property after OK
    };
    const QString folder = Folder();
    const Row rows[] = {
        {"GraphCursor", [&](TMainForm& f) { return QVariant(int(graph(f).CursorType())); },
         [&](TMainForm& f, const QVariant& v) { graph(f).SetCursorType(TCursorType(v.toInt())); }, int(ctLine), 1,
         0, int(ctCross)},
        {"GraphDisplay", [&](TMainForm& f) { return QVariant(int(graph(f).DisplayMethod())); },
         [&](TMainForm& f, const QVariant& v) { graph(f).SetDisplayMethod(TDisplayMethod(v.toInt())); }, int(dmMax),
         2, 3, int(dmLinkLine)},
        {"GraphDisplay", [&](TMainForm& f) { return QVariant(int(graph(f).DisplayMethod())); },
         [&](TMainForm& f, const QVariant& v) { graph(f).SetDisplayMethod(TDisplayMethod(v.toInt())); },
         int(dmSelf), 0, {}, int(dmEliminate)},
        {"CaptionType", [&](TMainForm& f) { return QVariant(int(graph(f).HeaderContent())); },
         [&](TMainForm& f, const QVariant& v) { graph(f).SetHeaderContent(THeaderContent(v.toInt())); },
         int(hcFileName), 2, 0, int(hcHeader)},
        {"HorzGrid", [&](TMainForm& f) { return QVariant(graph(f).YGridsVisible()); },
         [&](TMainForm& f, const QVariant& v) { graph(f).SetYGridsVisible(v.toBool()); }, false, false, true, true},
        {"VertGrid", [&](TMainForm& f) { return QVariant(graph(f).XGridsVisible()); },
         [&](TMainForm& f, const QVariant& v) { graph(f).SetXGridsVisible(v.toBool()); }, false, false, true, true},
        {"DoSaveAsEd", [](TMainForm& f) { return QVariant(f.Settings().DoSaveAs); },
         [](TMainForm& f, const QVariant& v) { f.Settings().DoSaveAs = v.toBool(); }, true, true, false, false},
        {"DataDirEd", [&](TMainForm& f) { return QVariant(text(f.Settings().DataDir)); },
         [](TMainForm& f, const QVariant& v) { f.Settings().DataDir = v.toString().toStdString(); }, QString(),
         QString(), folder, folder},
        {"GraphsPerPage", [&](TMainForm& f) { return QVariant(graph(f).PrintSettings().GraphsOnPage()); },
         [&](TMainForm& f, const QVariant& v) { graph(f).PrintSettings().SetGraphsOnPage(v.toInt()); }, 5, 5, 8, 8},
        {"GraphGroup", [&](TMainForm& f) { return QVariant(graph(f).PrintSettings().GroupGraphsOnPrint()); },
         [&](TMainForm& f, const QVariant& v) { graph(f).PrintSettings().SetGroupGraphsOnPrint(v.toInt()); }, 250,
         250, 20000, 20000},
        {"ShowSetNum", [](TMainForm& f) { return QVariant(f.Settings().ShowSetNum); },
         [](TMainForm& f, const QVariant& v) { f.Settings().ShowSetNum = v.toBool(); }, true, true, false, false},
        {"SetNumEd", [&](TMainForm& f) { return QVariant(text(f.Settings().SetNum)); },
         [](TMainForm& f, const QVariant& v) { f.Settings().SetNum = v.toString().toStdString(); },
         QStringLiteral("П-17"), QStringLiteral("П-17"), QStringLiteral(" 18/2 "), QStringLiteral(" 18/2 ")},
        {"ShowWorkerNum", [](TMainForm& f) { return QVariant(f.Settings().ShowWorkerNum); },
         [](TMainForm& f, const QVariant& v) { f.Settings().ShowWorkerNum = v.toBool(); }, false, false, {}, false},
        {"WorkerNumEd", [&](TMainForm& f) { return QVariant(text(f.Settings().WorkerNum)); },
         [](TMainForm& f, const QVariant& v) { f.Settings().WorkerNum = v.toString().toStdString(); },
         QStringLiteral(" Иванов 7 "), QStringLiteral(" Иванов 7 "), {}, QStringLiteral(" Иванов 7 ")},
        {"ShowFileCaption", [](TMainForm& f) { return QVariant(f.Settings().ShowFileCaption); },
         [](TMainForm& f, const QVariant& v) { f.Settings().ShowFileCaption = v.toBool(); }, true, true, false, false},
        {"ShowFileName", [](TMainForm& f) { return QVariant(f.Settings().ShowFileName); },
         [](TMainForm& f, const QVariant& v) { f.Settings().ShowFileName = v.toBool(); }, true, true, false, false},
        {"ParamsBorder", [](TMainForm& f) { return QVariant(f.Settings().ParamsBorder); },
         [](TMainForm& f, const QVariant& v) { f.Settings().ParamsBorder = v.toBool(); }, true, true, false, false},
        {"GraphBorder", [](TMainForm& f) { return QVariant(f.Settings().GraphBorder); },
         [](TMainForm& f, const QVariant& v) { f.Settings().GraphBorder = v.toBool(); }, true, true, false, false},
        {"SaveBeforePrintBox", [](TMainForm& f) { return QVariant(f.Settings().SaveBeforePrint); },
         [](TMainForm& f, const QVariant& v) { f.Settings().SaveBeforePrint = v.toBool(); }, false, false, true,
         true},
    };
    // The graph starts with each curve's own method, which the dialog shows as "Разреженный"
    // and gives back as it: one of the four here, so that only the row's own property changes.
    Graph().SetDisplayMethod(dmAverage);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Control);
        r.Write(*Form, r.Source);
        std::vector<QVariant> before;
        for (const Row& o : rows)
            before.push_back(o.Read(*Form));
        RunDialog([&](TDisplayParamsFrm* d) {
            QWidget* c = d->Control(QString::fromLatin1(r.Control));
            ASSERT_NE(c, nullptr);
            EXPECT_EQ(controlValue(c), r.Shown);
            if (r.Typed.isValid()) setControl(c, r.Typed);
            Click(d, "OkBtn");
            EXPECT_EQ(d->result(), QDialog::Accepted);
        });
        EXPECT_EQ(r.Read(*Form), r.Result);
        for (size_t i = 0; i < std::size(rows); ++i) {
            if (std::string(rows[i].Control) == r.Control) continue;
            EXPECT_EQ(rows[i].Read(*Form), before[i]) << rows[i].Control;
        }
    }
    EXPECT_TRUE(Prompts.Messages.empty());
}

TEST_F(DisplayParamsTest, DefaultsResetOnlyTheShownPageAndCancelChangesNothing) {
    TDisplayParams odd;
    odd.CursorType = ctLine;
    odd.DisplayMethod = dmMax;
    odd.HeaderContent = hcFileName;
    odd.XGridsVisible = odd.YGridsVisible = false;
    odd.DoSaveAs = false;
    odd.DataDir = Folder().toStdString();
    odd.GraphsOnPage = 7;
    odd.GroupGraphsOnPrint = 40;
    odd.ShowSetNum = true;
    odd.SetNum = "12";
    odd.ShowWorkerNum = false;
    odd.WorkerNum = "Петров";
    odd.ShowFileCaption = odd.ShowFileName = odd.ParamsBorder = odd.GraphBorder = true;
    odd.SaveBeforePrint = false;

    TDisplayParams traceViewReset = odd;
    traceViewReset.CursorType = ctCross;
    traceViewReset.DisplayMethod = dmEliminate;
    traceViewReset.HeaderContent = hcCaption;
    traceViewReset.XGridsVisible = traceViewReset.YGridsVisible = true;
    traceViewReset.DoSaveAs = true;
    traceViewReset.DataDir.clear();
    TDisplayParams printReset = odd;
    printReset.GraphsOnPage = 3;
    printReset.GroupGraphsOnPrint = 1;
    printReset.ShowSetNum = false;
    printReset.ShowWorkerNum = true;
    printReset.ShowFileCaption = printReset.ShowFileName = false;
    printReset.ParamsBorder = printReset.GraphBorder = false;
    printReset.SaveBeforePrint = true;

    for (const auto& [page, expected] : {std::pair{0, traceViewReset}, std::pair{1, printReset}}) {
        TDisplayParamsFrm d(odd);
        d.PageControl()->setCurrentIndex(page);
        EXPECT_EQ(d.Values(), odd);
        qobject_cast<QPushButton*>(d.Control(QStringLiteral("DefaultBtn")))->click();
        EXPECT_EQ(d.Values(), expected) << "page " << page;
        EXPECT_EQ(d.Control(QStringLiteral("SetNumEd"))->isEnabled(), expected.ShowSetNum);
        d.reject();
        EXPECT_EQ(d.Params(), odd); // what the dialog hands back is what it was given
    }

    // Through the window: "По умолчанию" on both pages, then "Отмена".
    ApplyDisplayParams(odd, Graph(), Form->Settings());
    RunDialog([](TDisplayParamsFrm* d) {
        for (int page : {0, 1}) {
            d->PageControl()->setCurrentIndex(page);
            Click(d, "DefaultBtn");
        }
        Click(d, "CancelBtn");
    });
    EXPECT_EQ(ReadDisplayParams(Graph(), Form->Settings()), odd);
}

// The batch number can be typed only while "Номер партии" is ticked: white then, grey otherwise,
// from the moment the dialog opens.
TEST_F(DisplayParamsTest, TheBatchNumberFollowsItsBox) {
    const QColor white = QApplication::palette().color(QPalette::Base);
    const QColor grey = QApplication::palette().color(QPalette::Button);
    for (const bool ticked : {false, true}) {
        TDisplayParams p;
        p.ShowSetNum = ticked;
        TDisplayParamsFrm d(p);
        auto* box = qobject_cast<QCheckBox*>(d.Control(QStringLiteral("ShowSetNum")));
        QWidget* edit = d.Control(QStringLiteral("SetNumEd"));
        for (int click = 0; click < 3; ++click) {
            const bool on = ticked != (click % 2 == 1);
            EXPECT_EQ(edit->isEnabled(), on);
            EXPECT_EQ(edit->palette().color(QPalette::Base), on ? white : grey);
            box->click();
        }
    }
}

// The spin boxes take their arrows, the arrow keys and the wheel, not typed digits.
TEST_F(DisplayParamsTest, SpinBoxesCannotBeTypedInto) {
    TDisplayParams p;
    p.GraphsOnPage = 3;
    TDisplayParamsFrm d(p);
    auto* spin = qobject_cast<QSpinBox*>(d.Control(QStringLiteral("GraphsPerPage")));
    ASSERT_NE(spin, nullptr);
    EXPECT_EQ(spin->minimum(), 1);
    EXPECT_EQ(spin->maximum(), 8);
    EXPECT_EQ(qobject_cast<QSpinBox*>(d.Control(QStringLiteral("GraphGroup")))->maximum(), 20000);
    for (const Qt::Key key : {Qt::Key_7, Qt::Key_Backspace, Qt::Key_Delete}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(QChar(key == Qt::Key_7 ? '7' : 0)));
        QApplication::sendEvent(spin, &press);
        EXPECT_EQ(spin->value(), 3) << key;
    }
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(spin, &up);
    EXPECT_EQ(spin->value(), 4);
    spin->stepBy(10);
    EXPECT_EQ(spin->value(), 8);
}

// OK checks everything before it applies anything: a data folder that has gone refuses the whole
// change with a message and leaves the dialog open; a folder chosen with "..." then goes through,
// and every change reaches the graph in one repaint.
TEST_F(DisplayParamsTest, OkAppliesAllOrNothingWithOneRepaint) {
    Form->resize(900, 700);
    Form->show();
    lvtest::MainFormTest::Settle();
    struct PaintCounter : QObject {
        int Paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            Paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    Graph().viewport()->installEventFilter(&counter);
    const TDisplayParams before = ReadDisplayParams(Graph(), Form->Settings());
    const QString gone = Folder() + QStringLiteral("нет такой/");
    const QString chosen = Folder();
    Prompts.FileAnswers.push_back({chosen.toStdString()});
    RunDialog([&](TDisplayParamsFrm* d) {
        for (const char* name : {"HorzGrid", "VertGrid", "DoSaveAsEd", "ShowFileName", "GraphBorder"})
            setControl(d->Control(QString::fromLatin1(name)), !controlValue(d->Control(QString::fromLatin1(name))).toBool());
        setControl(d->Control(QStringLiteral("GraphCursor")), 1);
        setControl(d->Control(QStringLiteral("GraphDisplay")), 1);
        setControl(d->Control(QStringLiteral("DataDirEd")), gone);
        Click(d, "OkBtn");
        EXPECT_TRUE(d->isVisible());
        ASSERT_EQ(Prompts.Messages.size(), 1u);
        EXPECT_EQ(Prompts.Messages[0].Type, TMsgDlgType::mtError);
        EXPECT_NE(Prompts.Messages[0].Text.find(gone.chopped(1).toStdString()), std::string::npos)
            << Prompts.Messages[0].Text;
        EXPECT_EQ(ReadDisplayParams(Graph(), Form->Settings()), before);

        Click(d, "ChDirBtn");
        ASSERT_EQ(Prompts.Dialogs.size(), 1u);
        EXPECT_TRUE(Prompts.Dialogs[0].SelectFolder);
        EXPECT_EQ(Prompts.Dialogs[0].Title, "Выберите папку");
        EXPECT_EQ(QString::fromStdString(Prompts.Dialogs[0].InitialDir), gone);
        EXPECT_EQ(controlValue(d->Control(QStringLiteral("DataDirEd"))).toString(), chosen);
        lvtest::MainFormTest::Settle();
        counter.Paints = 0;
        Click(d, "OkBtn");
    });
    lvtest::MainFormTest::Settle();
    EXPECT_EQ(counter.Paints, 1);
    const TDisplayParams after = ReadDisplayParams(Graph(), Form->Settings());
    EXPECT_EQ(after.YGridsVisible, !before.YGridsVisible);
    EXPECT_EQ(after.XGridsVisible, !before.XGridsVisible);
    EXPECT_EQ(after.CursorType, ctLine);
    EXPECT_EQ(after.DisplayMethod, dmAverage);
    EXPECT_EQ(QString::fromStdString(after.DataDir), chosen);
    EXPECT_EQ(Prompts.Messages.size(), 1u);
    Graph().viewport()->removeEventFilter(&counter);
}

// Clearing "Сохранять в новый файл" makes the toolbar's save button save into the trace's own
// file at once, with no dialog.
TEST_F(DisplayParamsTest, ClearingSaveToANewFileMakesTheButtonSaveInPlace) {
    const QString file = TraceFile("a.tra");
    ASSERT_EQ(Form->OpenTraceFiles({file}), 1);
    lvtest::MainFormTest::Settle();
    Trigger("Save1B"); // "save as": a dialog (cancelled here)
    ASSERT_EQ(Prompts.Dialogs.size(), 1u);
    EXPECT_TRUE(Prompts.Dialogs[0].Save);
    RunDialog([](TDisplayParamsFrm* d) {
        setControl(d->Control(QStringLiteral("DoSaveAsEd")), false);
        Click(d, "OkBtn");
    });
    QFile::remove(file);
    Trigger("Save1B");
    EXPECT_EQ(Prompts.Dialogs.size(), 1u);
    EXPECT_TRUE(QFile::exists(file));
}

// The page and the focused control are kept when the dialog closes and come back at the next
// opening, the focus only to a control that can take it now; the placement comes back too.
TEST_F(DisplayParamsTest, PageFocusAndPlacementComeBack) {
    auto focusedControl = [](QWidget* dialog) {
        for (QWidget* w = QApplication::focusWidget(); w && w != dialog; w = w->parentWidget())
            if (TDisplayParamsFrm::ControlNames().contains(w->objectName())) return w->objectName();
        return QString();
    };
    QRect placed;
    {
        TDisplayParamsFrm d(TDisplayParams{});
        d.show();
        QApplication::setActiveWindow(&d);
        d.PageControl()->setCurrentIndex(TDisplayParamsFrm::psPrint);
        d.Control(QStringLiteral("GraphGroup"))->setFocus();
        d.move(d.pos() + QPoint(17, 9));
        lvtest::MainFormTest::Settle();
        ASSERT_EQ(focusedControl(&d), QStringLiteral("GraphGroup"));
        placed = d.geometry();
        d.reject();
    }
    auto s = OpenSettings();
    EXPECT_EQ(s->value(QStringLiteral("TDisplayParamsFrm/PageControl1_ActivePage")).toString(), "PrintSheet");
    EXPECT_EQ(s->value(QStringLiteral("TDisplayParamsFrm/ActiveControl")).toString(), "GraphGroup");

    struct Row {
        const char* Page;
        const char* Focus;
        bool SetNumTicked;
        const char* Expected; // the control holding the focus; "" when the stored one cannot
    };
    const Row rows[] = {
        {"PrintSheet", "GraphGroup", false, "GraphGroup"},
        {"TraceViewSheet", "GraphDisplay", false, "GraphDisplay"}, // a radio group: its chosen button
        {"PrintSheet", "SetNumEd", true, "SetNumEd"},
        {"PrintSheet", "SetNumEd", false, ""},         // disabled now
        {"PrintSheet", "WorkerNumEd", false, ""},      // never shown
        {"PrintSheet", "HorzGrid", false, ""},         // on the other page
        {"NoSuchSheet", "NoSuchControl", false, ""},   // edited by hand: the first page, no harm
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Focus);
        s->setValue(QStringLiteral("TDisplayParamsFrm/PageControl1_ActivePage"), QString::fromLatin1(r.Page));
        s->setValue(QStringLiteral("TDisplayParamsFrm/ActiveControl"), QString::fromLatin1(r.Focus));
        s->sync();
        TDisplayParams p;
        p.ShowSetNum = r.SetNumTicked;
        TDisplayParamsFrm d(p);
        EXPECT_EQ(d.PageControl()->currentWidget()->objectName(),
                  QString::fromLatin1(r.Page) == QStringLiteral("PrintSheet") ? "PrintSheet" : "TraceViewSheet");
        d.show();
        QApplication::setActiveWindow(&d);
        lvtest::MainFormTest::Settle();
        EXPECT_EQ(d.geometry(), placed);
        if (*r.Expected) {
            EXPECT_EQ(focusedControl(&d), QString::fromLatin1(r.Expected));
        } else {
            EXPECT_NE(focusedControl(&d), QString::fromLatin1(r.Focus));
        }
        if (QString::fromLatin1(r.Expected) == QStringLiteral("GraphDisplay")) {
            auto* radio = qobject_cast<QRadioButton*>(QApplication::focusWidget());
            ASSERT_NE(radio, nullptr);
            EXPECT_TRUE(radio->isChecked());
        }
        d.reject();
    }
}

// The dialog's own texts, and every one of them shown whole on both pages.
TEST_F(DisplayParamsTest, TextsAreTheDialogsOwnAndShownWhole) {
    TDisplayParamsFrm d(TDisplayParams{});
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Параметры интерфейса"));
    EXPECT_EQ(d.PageControl()->tabText(0), QStringLiteral("Вывод трассы"));
    EXPECT_EQ(d.PageControl()->tabText(1), QStringLiteral("Печать"));
    const std::pair<const char*, const char*> captions[] = {
        {"GraphCursor", "Тип курсора : "},
        {"GraphDisplay", "Вывод значений : "},
        {"CaptionType", "Заголовок "},
        {"HorzGrid", "Горизонтальная сетка"},
        {"VertGrid", "Вертикальная сетка"},
        {"DoSaveAsEd", "Сохранять в новый файл"},
        {"ChDirBtn", "..."},
        {"ShowSetNum", "Номер партии"},
        {"ShowWorkerNum", "Табельный номер измерителя"},
        {"ShowFileCaption", "Печатать заголовок файла"},
        {"ShowFileName", "Печатать имя файла"},
        {"ParamsBorder", "Рамка вокруг параметров"},
        {"GraphBorder", "Рамка вокруг графика"},
        {"SaveBeforePrintBox", "Сохранять перед печатью"},
        {"OkBtn", "\u041e\u041a"}, // Cyrillic О and К
        {"CancelBtn", "Отмена"},
        {"DefaultBtn", "По умолчанию"},
        {"HelpBtn", "Помощь"},
    };
    for (const auto& [name, caption] : captions) {
        QWidget* w = d.Control(QString::fromLatin1(name));
        ASSERT_NE(w, nullptr) << name;
        const QString shown = qobject_cast<QGroupBox*>(w)        ? qobject_cast<QGroupBox*>(w)->title()
                              : qobject_cast<QAbstractButton*>(w) ? qobject_cast<QAbstractButton*>(w)->text()
                                                                  : QString();
        EXPECT_EQ(shown, QString::fromUtf8(caption)) << name;
    }
    EXPECT_EQ(qobject_cast<TRadioGroup*>(d.Control(QStringLiteral("GraphCursor")))->Items(),
              (QStringList{"Крест", "Линия"}));
    EXPECT_EQ(qobject_cast<TRadioGroup*>(d.Control(QStringLiteral("GraphDisplay")))->Items(),
              (QStringList{"Разреженный", "Среднее", "Максимум", "Все"}));
    EXPECT_EQ(qobject_cast<TRadioGroup*>(d.Control(QStringLiteral("CaptionType")))->Items(),
              (QStringList{"Не показывать", "Название трассы", "Имя файла"}));
    QStringList labels;
    for (QLabel* l : d.findChildren<QLabel*>())
        labels << l->text();
    for (const char* label : {"Папка дла данных :", "Графиков на странице при печати: ", "Объединять графики по  "})
        EXPECT_TRUE(labels.contains(QString::fromUtf8(label))) << label;
    EXPECT_FALSE(d.Control(QStringLiteral("ShowWorkerNum"))->isVisibleTo(&d));
    EXPECT_FALSE(d.Control(QStringLiteral("WorkerNumEd"))->isVisibleTo(&d));
    EXPECT_TRUE(qobject_cast<QPushButton*>(d.Control(QStringLiteral("OkBtn")))->isDefault());

    d.show();
    const char* const pictures[] = {"params-trace-view.png", "params-print.png"};
    for (int page : {0, 1}) {
        d.PageControl()->setCurrentIndex(page);
        lvtest::MainFormTest::Settle();
        // Nothing cut: every text has at least the room its font asks for.
        lvtest::ExpectShownWhole(d.PageControl()->currentWidget(), " on page " + std::to_string(page));
        lvtest::SaveDialogShot(&d, QString::fromLatin1(pictures[page]));
    }
    d.reject();
}

TEST_F(DisplayParamsTest, HelpOpensTheSettingsPage) {
    TDisplayParamsFrm d(TDisplayParams{});
    d.show();
    QString page;
    lvtest::WhenModal(
        [&](QWidget* w) {
            page = HelpViewer()->CurrentPage();
            w->close();
        },
        &d);
    qobject_cast<QPushButton*>(d.Control(QStringLiteral("HelpBtn")))->click();
    EXPECT_EQ(page, QStringLiteral("settings.html"));
    d.reject();
    HelpQuit();
}

} // namespace
