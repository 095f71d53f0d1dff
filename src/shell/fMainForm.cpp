#include "shell/fMainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "display/uGraphsCmps.h"
#include "printing/uPrintQueue.h"
#include "printing/uQtPrinter.h"
#include "shell/Commonun.h"
#include "reports/uFlowParams.h"
#include "shell/fEventsDock.h"
#include "shell/fParamsPanel.h"
#include "shell/fRegisterForm.h"
#include "shell/mDataOld.h"
#include "shell/uHelpViewer.h"
#include "shell/uMainGraphProps.h"
#include "shell/uPathNameCompacting.h"
#include "shell/uStartup.h"
#include "trace/Errors.h"

namespace lv {

const char* const kMainFormCaption = "Измеритель параметров оптического кабеля";
const char* const kMsgCannotExit =
    "В данный момент невозможно завершить программу, так как Вы работаете в режиме потоковой обработки "
    "трасс.\r\nЗавершите режим потоковой обработки трасс и повторите попытку.";

namespace {

constexpr int kSplitterWidth = 5;
constexpr int kUnknownClientHeight = 1 << 20;
constexpr int kDatePanelWidth = 142;
constexpr int kClockWidth = 88;
constexpr int kWorkerNumWidth = 121;
constexpr QSize kToolIconSize{22, 22};
const QTime kDateAlarm{0, 34, 0};

const char* const kFramesPerPage[] = {"1 кадр",   "2 кадра",  "3 кадра",  "4 кадра",
                                      "5 кадров", "6 кадров", "7 кадров", "8 кадров"};

QLabel* makePanelLabel(const QString& hint, int width, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setToolTip(hint);
    label->setAlignment(Qt::AlignCenter);
    // The designed width is a minimum: the desktop's font may need more (the longest weekdays).
    if (width > 0) label->setMinimumWidth(width);
    label->setMinimumHeight(22);
    return label;
}

} // namespace

// ---- TNamePanel -------------------------------------------------------------------------------------

TNamePanel::TNamePanel(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("NamePanel"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setMinimumSize(260, 22);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    refresh();
}

void TNamePanel::SetFileName(const QString& fileName) {
    if (m_fileName == fileName) return;
    m_fileName = fileName;
    refresh();
}

void TNamePanel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    refresh();
}

void TNamePanel::refresh() {
    if (m_fileName.isEmpty()) {
        setToolTip(QStringLiteral("Имя файла"));
        clear();
        return;
    }
    setToolTip(QDir::toNativeSeparators(m_fileName));
    setText(CompactPathName(m_fileName, fontMetrics(), contentsRect().width() - 5));
}

// ---- creation ------------------------------------------------------------------------------------------

TMainForm::TMainForm(TWorkDataOld& workData, QWidget* parent) : QMainWindow(parent), m_workData(workData) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QString::fromUtf8(kMainFormCaption));
    setWindowIcon(ProgramIcon());
    EnsureShellResources();
    // A first start: a window that fits a small screen, centred.
    resize(1024, 740);
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());

    createGraphs();
    createEventsDock();
    createPrintQueue();
    createCommands();
    createModeCommands();
    createMenus();
    createToolBars();
    createLayout();
    createGraphPopup();

    // The graph's double-click titles the trace; every change of the list sets the commands.
    MainGraph->OnDblClick = [this](TGraphView*) { titleByDoubleClick(); };
    MainGraph->Data().AfterChange = [this](TGData*, int, int) { listChanged(); };
    // The parameter panel follows the cursor and the markers; its two active fields act.
    MainGraph->OnCursorVisibleChanged = [this](TMainGraph* g, bool visible, double x, double) {
        cursorVisibleChanged(g, visible, x);
    };
    MainGraph->OnMarkersChanged = [this](TMainGraph*, TMainDataItem* item) { markersChanged(item); };
    connectPrintEvents();
    connect(m_params, &TParamsPanel::AproxClicked, this,
            [this] { runCommand([this] { ToggleApproximation(); }); });
    connect(m_params, &TParamsPanel::GroupIndexDoubleClicked, this,
            [this] { runCommand([this] { EditGroupIndex(); }); });
    UpdateCommands();

    restoreSettings();

    OverviewGraph->SetMainGraph(MainGraph);
    OverviewGraph->SetTracking(true);
    OverviewGraph->SetCurveColor(RGBToColor(255, 255, 0));

    fillDatePanel();
    m_clockTimer = new QTimer(this);
    connect(m_clockTimer, &QTimer::timeout, this, &TMainForm::clockTick);
    m_clockTimer->start(1000);
    clockTick();
}

TMainForm::~TMainForm() {
    // The queue goes first; the overview follows the main graph: it goes next, then the graph
    // with its traces.
    m_printQueue.reset();
    // The table follows the graph: it goes before it.
    delete m_eventsDock;
    m_eventsDock = nullptr;
    MainGraph->Data().AfterChange = nullptr;
    MainGraph->OnCursorVisibleChanged = nullptr;
    MainGraph->OnMarkersChanged = nullptr;
    MainGraph->OnAfterCreateMetafile = nullptr;
    MainGraph->OnAfterCreateQueueMetafile = nullptr;
    delete OverviewGraph;
    OverviewGraph = nullptr;
    delete MainGraph;
    MainGraph = nullptr;
    HelpQuit();
}

void TMainForm::createGraphs() {
    m_graphArea = new QWidget;
    m_graphArea->setObjectName(QStringLiteral("Panel3"));
    auto* graphLayout = new QVBoxLayout(m_graphArea);
    graphLayout->setContentsMargins(0, 0, 0, 0);
    MainGraph = new TMainGraph(m_graphArea);
    MainGraph->setObjectName(QStringLiteral("MainGraph"));
    graphLayout->addWidget(MainGraph);

    TMainGraph& g = *MainGraph;
    g.SetShowChanger(true);
    g.SetXGridsCount(10);
    g.SetYGridsCount(10);
    g.SetXGridsColor(RGBToColor(0, 128, 0));
    g.SetYGridsColor(RGBToColor(0, 128, 0));
    g.SetXLabelVisible(false);
    g.SetXLabelUnits(QStringLiteral("км"));
    g.SetXRulsSize(4);
    g.SetHeaderContent(hcCaption);
    g.SetYLabelVisible(false);
    g.SetYLabelUnits(QStringLiteral("дБ"));
    g.SetYRulsPos(ylpBoth);
    g.SetYSPPos(ylpBoth);
    g.SetXPowerVisible(false);
    g.SetYPowerVisible(false);
    setStartExtents();
    g.SetMaxZoomRatio(3000);
    g.SetMaxYMargin(10);
    m_graphProps = std::make_unique<TMainGraphPersistence>(g);

    m_lowerArea = new QWidget;
    m_lowerArea->setObjectName(QStringLiteral("Panel4"));
    auto* lower = new QHBoxLayout(m_lowerArea);
    lower->setContentsMargins(0, 0, 0, 0);
    lower->setSpacing(2);
    m_params = new TParamsPanel(m_lowerArea);
    lower->addWidget(m_params, 0, Qt::AlignTop);
    m_overviewArea = new QWidget(m_lowerArea);
    m_overviewArea->setObjectName(QStringLiteral("Panel7"));
    auto* overviewLayout = new QVBoxLayout(m_overviewArea);
    overviewLayout->setContentsMargins(0, 0, 0, 0);
    OverviewGraph = new TOverviewGraph(m_overviewArea);
    OverviewGraph->setObjectName(QStringLiteral("OverviewGraph"));
    overviewLayout->addWidget(OverviewGraph);
    lower->addWidget(m_overviewArea, 1);
}

void TMainForm::createEventsDock() {
    m_eventsDock = new TEventsDock(*MainGraph, this);
    // Beside the graph: below it the table would take the height the graph and its lower area
    // share by the splitter.
    m_eventsDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    addDockWidget(Qt::RightDockWidgetArea, m_eventsDock);
    resizeDocks({m_eventsDock}, {430}, Qt::Horizontal);
    auto* shown = new QAction(QStringLiteral("События"), this);
    shown->setObjectName(QStringLiteral("EventsTable1"));
    shown->setCheckable(true);
    shown->setChecked(m_eventsDock->TableShown());
    connect(shown, &QAction::triggered, m_eventsDock, &TEventsDock::SetTableShown);
    connect(m_eventsDock, &TEventsDock::TableShownChanged, shown, &QAction::setChecked);
}

void TMainForm::createPrintQueue() {
    m_printer = std::make_unique<TQtPrinter>();
    m_printDialogs = std::make_unique<TQtPrintDialogs>(*m_printer, this);
    m_printQueue = std::make_unique<TPrintQueue>();
    SetPrintDevices(nullptr, nullptr);
    m_printQueue->AddStandardMarkings();
    m_printQueue->SelectMarking(2);
}

QAction* TMainForm::addCommand(const char* name, const QString& text, const char* icon,
                               const QKeySequence& shortcut) {
    auto* a = new QAction(text, this);
    a->setObjectName(QString::fromLatin1(name));
    if (icon) a->setIcon(ToolbarIcon(QString::fromLatin1(icon)));
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    // A button's hint names its key too.
    a->setToolTip(shortcut.isEmpty()
                      ? text
                      : QStringLiteral("%1 (%2)").arg(text, shortcut.toString(QKeySequence::NativeText)));
    return a;
}

void TMainForm::createCommands() {
    auto bind = [this](QAction* a, void (TMainForm::*slot)()) {
        connect(a, &QAction::triggered, this,
                [this, slot] { runCommand([this, slot] { (this->*slot)(); }); });
    };
    auto pending = [this](QAction* a) {
        a->setEnabled(false);
        m_pending << a;
    };

    // Menu "Файл".
    bind(addCommand("Open1", QStringLiteral("Открыть..."), nullptr, QKeySequence(Qt::CTRL | Qt::Key_O)),
         &TMainForm::OpenTraces);
    bind(addCommand("Close1", QStringLiteral("Закрыть")), &TMainForm::CloseTrace);
    bind(addCommand("CloseAll1", QStringLiteral("Закрыть все")), &TMainForm::CloseAllTraces);
    bind(addCommand("Save1", QStringLiteral("Сохранить"), nullptr, QKeySequence(Qt::CTRL | Qt::Key_S)),
         &TMainForm::SaveTrace);
    bind(addCommand("SaveAs1", QStringLiteral("Сохранить как...")), &TMainForm::SaveTraceAs);
    bind(addCommand("SaveAll1", QStringLiteral("Сохранить все")), &TMainForm::SaveAllTraces);
    bind(addCommand("Export1", QStringLiteral("Экспорт...")), &TMainForm::ExportCommand);
    bind(addCommand("Print1", QStringLiteral("Печать..."), nullptr, QKeySequence(Qt::CTRL | Qt::Key_P)),
         &TMainForm::PrintWithDialog);
    bind(addCommand("PrintSetup1", QStringLiteral("Настройка принтера...")), &TMainForm::PrinterSetup);
    connect(addCommand("Exit1", QStringLiteral("Выход")), &QAction::triggered, this, &QWidget::close);

    // Toolbar buttons of the file commands.
    bind(addCommand("Open1B", QStringLiteral("Открыть"), "open"), &TMainForm::OpenTraces);
    bind(addCommand("Close1B", QStringLiteral("Закрыть"), "close"), &TMainForm::CloseTrace);
    // The button runs "save as" while DoSaveAs is set, looked up at each press.
    connect(addCommand("Save1B", QStringLiteral("Сохранить"), "save"), &QAction::triggered, this,
            [this] { runCommand([this] { m_settings.DoSaveAs ? SaveTraceAs() : SaveTrace(); }); });
    bind(addCommand("Export1B", QStringLiteral("Экспорт"), "export"), &TMainForm::ExportCommand);
    bind(addCommand("Print1B", QStringLiteral("Печать"), "print"), &TMainForm::QuickPrint);
    bind(addCommand("AddToQueueBtn", QStringLiteral("Поместить в очередь на печать"), "queue_add"),
         &TMainForm::AddToQueue);
    connect(addCommand("PrintQueueBtn", QStringLiteral("Напечатать очередь"), "queue_print"),
            &QAction::triggered, this, [this] { runCommand([this] { m_printQueue->PrintAndClear(true); }); });
    connect(addCommand("ClearQueueBtn", QStringLiteral("Очистить очередь"), "queue_clear"),
            &QAction::triggered, this,
            [this] { runCommand([this] { m_printQueue->PrintAndClear(false); }); });

    // Reference and markers, all disabled until the cursor stands on a trace. Their keys are the
    // operator's quick way (listed in the help on the graph).
    auto marker = [this](QAction* a, int number, bool isY) {
        connect(a, &QAction::triggered, this,
                [this, number, isY] { runCommand([this, number, isY] { MarkerCommand(number, isY); }); });
    };
    bind(addCommand("RefBtn", QStringLiteral("Установить начало трассы"), "ref_set",
                    QKeySequence(Qt::Key_Home)),
         &TMainForm::SetStartCommand);
    bind(addCommand("RefDelBtn", QStringLiteral("Стереть начало трассы"), "ref_del",
                    QKeySequence(Qt::SHIFT | Qt::Key_Home)),
         &TMainForm::DeleteStartCommand);
    marker(addCommand("M1Btn", QStringLiteral("Маркер 1"), "m1", QKeySequence(Qt::Key_1)), 1, false);
    marker(addCommand("M2Btn", QStringLiteral("Маркер 2"), "m2", QKeySequence(Qt::Key_2)), 2, false);
    marker(addCommand("MYBtn", QStringLiteral("Маркер Y2"), "my", QKeySequence(Qt::Key_Y)), 2, true);
    marker(addCommand("M3Btn", QStringLiteral("Маркер 3"), "m3", QKeySequence(Qt::Key_3)), 3, false);
    bind(addCommand("ClearMarkersBtn", QStringLiteral("Стереть маркеры"), "markers_clear",
                    QKeySequence(Qt::Key_Delete)),
         &TMainForm::ClearMarkersCommand);
    for (const char* n : {"RefBtn", "RefDelBtn", "M1Btn", "M2Btn", "MYBtn", "M3Btn", "ClearMarkersBtn"})
        Command(QString::fromLatin1(n))->setEnabled(false);

    // Construction documentation only: the construction window binds them to its commands and
    // keeps their states while it is open.
    for (QAction* a : {addCommand("Start1B", QStringLiteral("Установить начало трассы"), "trace_start"),
                       addCommand("Muff1B", QStringLiteral("Поставить муфту"), "muff"),
                       addCommand("End1B", QStringLiteral("Установить конец трассы"), "trace_end")}) {
        a->setEnabled(false);
        a->setVisible(false);
    }

    // Menu "Настройка" and its buttons.
    bind(addCommand("ConditDispley1", QStringLiteral("Параметры интерфейса...")), &TMainForm::DisplayParamsCommand);
    bind(addCommand("ConditFlow1", QString::fromUtf8(kFlowParamsCommand)), &TMainForm::FlowParamsCommand);
    bind(addCommand("ConditIntfs1B", QStringLiteral("Параметры интерфейса"), "params_interface"),
         &TMainForm::DisplayParamsCommand);
    bind(addCommand("ConditFlow1B", QString::fromUtf8(kFlowParamsHint), "params_flow"), &TMainForm::FlowParamsCommand);

    // View window. Fitting has keys of its own: in the full-graph layout a view that the
    // resized graph shows cut off or empty is one key away from the whole trace.
    QAction* fit = addCommand("FitInWnd1B", QStringLiteral("В размер окна"), "fit_window");
    fit->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_0), QKeySequence(Qt::Key_0)});
    fit->setToolTip(QStringLiteral("В размер окна (%1, %2)")
                        .arg(fit->shortcuts()[0].toString(QKeySequence::NativeText),
                             fit->shortcuts()[1].toString(QKeySequence::NativeText)));
    bind(fit, &TMainForm::FitInWindow);
    bind(addCommand("RestoreWndBtn", QStringLiteral("Восстановить окно"), "restore_window"),
         &TMainForm::RestoreViewWindow);
    bind(addCommand("SaveWndBtn", QStringLiteral("Сохранить окно"), "save_window"), &TMainForm::SaveViewWindow);
    bind(addCommand("FullScreen1B", QStringLiteral("Полное окно"), "full_graph"),
         &TMainForm::ToggleFullGraph);

    // Menu "Обработка трасс" and its buttons.
    pending(addCommand("InControl1", QStringLiteral("Входной контроль..."), nullptr,
                       QKeySequence(Qt::CTRL | Qt::Key_I)));
    pending(addCommand("BeforeControl1", QStringLiteral("Предмонтажный контроль..."), nullptr,
                       QKeySequence(Qt::CTRL | Qt::Key_A)));
    pending(addCommand("Flow1", QStringLiteral("Строительная документация..."), nullptr,
                       QKeySequence(Qt::CTRL | Qt::Key_F)));
    pending(addCommand("ProcessSOR1", QStringLiteral("Обработать потоком в Bellcore..."), nullptr,
                       QKeySequence(Qt::CTRL | Qt::Key_B)));
    pending(addCommand("InControl1B", QStringLiteral("Входной контроль"), "in_control"));
    pending(addCommand("BeforeControl1B", QStringLiteral("Предмонтажный контроль"), "before_control"));
    pending(addCommand("Flow1B", QStringLiteral("Строительная документация"), "flow"));
    pending(addCommand("ProcessSOR1B", QStringLiteral("Обработать потоком"), "process_sor"));

    // Menu "?".
    connect(addCommand("HelpHot", QStringLiteral("Помощь"), nullptr, QKeySequence(Qt::Key_F1)),
            &QAction::triggered, this, [] { HelpIndex(); });
    connect(addCommand("Content1", QStringLiteral("Содержание")), &QAction::triggered, this,
            [] { HelpContents(); });
    connect(addCommand("Index1", QStringLiteral("Индекс")), &QAction::triggered, this, [] { HelpIndex(); });
    connect(addCommand("Help1B", QStringLiteral("Помощь"), "help"), &QAction::triggered, this,
            [] { HelpContents(); });
    connect(addCommand("About1", QStringLiteral("О программе")), &QAction::triggered, this,
            [this] { ShowAboutBox(this); });
}

QAction* TMainForm::Command(const QString& name) const {
    return findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
}

void TMainForm::createMenus() {
    auto add = [this](QMenu* menu, const char* name) { menu->addAction(Command(QString::fromLatin1(name))); };
    QMenu* file = menuBar()->addMenu(QStringLiteral("Файл"));
    file->setObjectName(QStringLiteral("File1"));
    for (const char* n : {"Open1", "Close1", "CloseAll1"})
        add(file, n);
    file->addSeparator();
    for (const char* n : {"Save1", "SaveAs1", "SaveAll1", "Export1"})
        add(file, n);
    file->addSeparator();
    for (const char* n : {"Print1", "PrintSetup1"})
        add(file, n);
    file->addSeparator();
    add(file, "Exit1");

    QMenu* setup = menuBar()->addMenu(QStringLiteral("Настройка"));
    setup->setObjectName(QStringLiteral("Setup1"));
    add(setup, "ConditDispley1");
    add(setup, "ConditFlow1");
    setup->addSeparator();
    add(setup, "EventsTable1");

    QMenu* traces = menuBar()->addMenu(QStringLiteral("Обработка трасс"));
    traces->setObjectName(QStringLiteral("Traces1"));
    for (const char* n : {"InControl1", "BeforeControl1", "Flow1", "ProcessSOR1"})
        add(traces, n);

    QMenu* help = menuBar()->addMenu(QStringLiteral("?"));
    help->setObjectName(QStringLiteral("Help1"));
    for (const char* n : {"HelpHot", "Content1", "Index1"})
        add(help, n);
    help->addSeparator();
    add(help, "About1");
}

void TMainForm::createToolBars() {
    auto makeBar = [this](int i, const QString& title) {
        auto* bar = new QToolBar(title, this);
        bar->setObjectName(QStringLiteral("ToolBar%1").arg(i + 1));
        bar->setIconSize(kToolIconSize);
        bar->setMovable(true);
        bar->setFloatable(false);
        bar->setAllowedAreas(Qt::TopToolBarArea);
        m_toolBars[size_t(i)] = bar;
        return bar;
    };
    auto group = [this](QToolBar* bar, std::initializer_list<const char*> names) {
        if (!bar->actions().isEmpty()) bar->addSeparator();
        for (const char* n : names)
            bar->addAction(Command(QString::fromLatin1(n)));
    };

    QToolBar* b1 = makeBar(0, QStringLiteral("Команды"));
    group(b1, {"Open1B", "Close1B", "Save1B", "Export1B"});
    group(b1, {"Print1B"});
    group(b1, {"AddToQueueBtn", "PrintQueueBtn", "ClearQueueBtn"});
    m_framesPerPage = new QComboBox(b1);
    m_framesPerPage->setObjectName(QStringLiteral("ComboBox1"));
    m_framesPerPage->setToolTip(QStringLiteral("Кадров на странице"));
    for (const char* text : kFramesPerPage)
        m_framesPerPage->addItem(QString::fromUtf8(text));
    m_framesPerPage->setCurrentIndex(m_printQueue->MarkingIndex());
    connect(m_framesPerPage, &QComboBox::activated, this, &TMainForm::framesPerPageChosen);
    b1->addWidget(m_framesPerPage);
    m_picturesCount = makePanelLabel(QStringLiteral("Рисунков в очереди"), 28, b1);
    m_picturesCount->setObjectName(QStringLiteral("PicturesCountPanel"));
    m_picturesCount->setText(QStringLiteral("0"));
    m_printQueue->OnQueueChanged = [this](TPrintQueue*, int count) {
        m_picturesCount->setText(QString::number(count));
    };
    b1->addWidget(m_picturesCount);
    group(b1, {"RefBtn", "RefDelBtn", "M1Btn", "M2Btn", "MYBtn", "M3Btn", "ClearMarkersBtn"});
    // The construction-documentation group and its divider show only in that mode.
    m_spliceDivider = b1->addSeparator();
    for (const char* n : {"Start1B", "Muff1B", "End1B"})
        b1->addAction(Command(QString::fromLatin1(n)));
    group(b1, {"ConditIntfs1B", "ConditFlow1B"});
    group(b1, {"FitInWnd1B", "RestoreWndBtn", "SaveWndBtn"});
    group(b1, {"FullScreen1B"});
    group(b1, {"Help1B"});

    QToolBar* b2 = makeBar(1, QStringLiteral("Дата и время"));
    m_datePanel = makePanelLabel(QStringLiteral("Дата"), kDatePanelWidth, b2);
    m_datePanel->setObjectName(QStringLiteral("Panel6"));
    b2->addWidget(m_datePanel);
    m_clock = makePanelLabel(QStringLiteral("Время"), kClockWidth, b2);
    m_clock->setObjectName(QStringLiteral("RxClock1"));
    b2->addWidget(m_clock);

    QToolBar* b3 = makeBar(2, QStringLiteral("Имя файла"));
    m_namePanel = new TNamePanel(b3);
    b3->addWidget(m_namePanel);

    QToolBar* b4 = makeBar(3, QStringLiteral("Обработка трасс"));
    group(b4, {"InControl1B", "BeforeControl1B", "Flow1B", "ProcessSOR1B"});
    b4->addSeparator();
    auto* worker = new QWidget(b4);
    auto* row = new QHBoxLayout(worker);
    row->setContentsMargins(2, 0, 2, 0);
    row->setSpacing(0);
    m_workerNumEd = new QLineEdit(worker);
    m_workerNumEd->setObjectName(QStringLiteral("WorkerNumEd"));
    m_workerNumEd->setFixedWidth(kWorkerNumWidth);
    m_workerNumEd->setToolTip(QStringLiteral("Табельный номер"));
    m_workerNumEd->setReadOnly(true);
    m_workerNumEd->setFocusPolicy(Qt::NoFocus);
    QPalette pal = m_workerNumEd->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    m_workerNumEd->setPalette(pal);
    m_reRegisterBtn = new QToolButton(worker);
    m_reRegisterBtn->setObjectName(QStringLiteral("WorkerNumEdButton"));
    m_reRegisterBtn->setText(QStringLiteral("…"));
    m_reRegisterBtn->setToolTip(QStringLiteral("Перерегистрация"));
    m_reRegisterBtn->setFixedHeight(m_workerNumEd->sizeHint().height());
    connect(m_reRegisterBtn, &QToolButton::clicked, this, &TMainForm::reRegister);
    row->addWidget(m_workerNumEd);
    row->addWidget(m_reRegisterBtn);
    worker->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    b4->addWidget(worker);

    // The commands fill the first line; the file name ends the second, where the last toolbar
    // of a line takes the space left over.
    addToolBar(Qt::TopToolBarArea, b1);
    addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, b2);
    addToolBar(Qt::TopToolBarArea, b4);
    addToolBar(Qt::TopToolBarArea, b3);
}

void TMainForm::createLayout() {
    m_hSplitter = new QSplitter(Qt::Vertical, this);
    m_hSplitter->setObjectName(QStringLiteral("HSplitter"));
    m_hSplitter->setHandleWidth(kSplitterWidth);
    m_hSplitter->setChildrenCollapsible(false);
    m_hSplitter->addWidget(m_graphArea);
    m_hSplitter->addWidget(m_lowerArea);
    // The graph area keeps its height when the window is resized; the lower area takes the rest.
    m_hSplitter->setStretchFactor(0, 0);
    m_hSplitter->setStretchFactor(1, 1);
    // The areas follow the stored heights even in a window too small for them.
    m_graphArea->setMinimumHeight(1);
    m_lowerArea->setMinimumHeight(1);
    connect(m_hSplitter, &QSplitter::splitterMoved, this,
            [this] { m_settings.OldGraphPosY = m_graphArea->height(); });
    setCentralWidget(m_hSplitter);
}

TMainFormParts TMainForm::formParts() {
    TMainFormParts parts;
    parts.Window = this;
    parts.ToolBars = m_toolBars;
    parts.MainGraph = m_graphProps.get();
    // The client height is known only once the window is on screen (maximized, toolbar lines):
    // the stored graph height is read unclamped and fitted when the window is first shown, where
    // a missing one becomes the client height less 150.
    parts.ClientHeight = kUnknownClientHeight;
    return parts;
}

void TMainForm::restoreSettings() {
    auto settings = OpenSettings();
    m_settings = RestoreMainForm(*settings, formParts());
    m_printQueue->SelectMarking(ClampMarkingType(m_settings.MarkingType));
    m_framesPerPage->setCurrentIndex(m_printQueue->MarkingIndex());
    m_workerNumEd->setText(QString::fromStdString(m_settings.WorkerNum));
    m_eventsDock->RestoreSettings(*settings);
}

void TMainForm::saveSettings() {
    // A window never shown has no layout of its own: its values go back as they came.
    if (m_shownOnce) {
        if (!FullGraphLayout()) m_settings.OldGraphPosY = GraphAreaHeight();
        m_settings.FullScreen = FullGraphLayout();
    }
    m_settings.MarkingType = ClampMarkingType(m_framesPerPage->currentIndex());
    auto settings = OpenSettings();
    m_eventsDock->SaveSettings(*settings);
    SaveMainForm(*settings, formParts(), m_settings);
}

int TMainForm::ClientAreaHeight() const {
    return centralWidget()->height();
}

int TMainForm::GraphAreaHeight() const {
    return m_graphArea->height();
}

// ---- registration, date and clock ----------------------------------------------------------------------

bool TMainForm::registerOperator(QWidget* parent) {
    QString worker = QString::fromStdString(m_settings.WorkerNum);
    if (!RunRegistration(worker, parent)) return false;
    m_settings.WorkerNum = worker.toStdString();
    m_workerNumEd->setText(worker);
    return true;
}

bool TMainForm::RegisterAtStart() {
    return registerOperator(nullptr);
}

void TMainForm::reRegister() {
    registerOperator(this);
}

// ---- the main graph's cursor and markers, as the report windows use them --------------------------------

namespace {
// The graph's marker for a report marker, and whether it is the Y marker.
std::pair<int, bool> graphMarker(TReportMarker marker) {
    switch (marker) {
    case TReportMarker::M1:
        return {1, false};
    case TReportMarker::M2:
        return {2, false};
    case TReportMarker::MY:
        return {2, true};
    case TReportMarker::M3:
        break;
    }
    return {3, false};
}
} // namespace

double TMainForm::CursorPosition() const {
    return MainGraph->ActiveTrace() && MainGraph->CursorVisible() ? MainGraph->CursorX() : -1.0;
}

double TMainForm::MarkerPosition(TReportMarker marker) const {
    const auto [number, isY] = graphMarker(marker);
    const TMarker* m = isY ? MainGraph->YMarker() : MainGraph->Marker(number);
    return MainGraph->ActiveTrace() && m->Shown() ? m->X() : -1.0;
}

void TMainForm::SetMarkerPosition(TReportMarker marker, double km) {
    const auto [number, isY] = graphMarker(marker);
    if (km < 0)
        MainGraph->HideMarker(number, isY);
    else
        MainGraph->PlaceMarker(number, isY, km);
}

void TMainForm::ClearMarkers() {
    MainGraph->HideAllMarkers();
}

QString TMainForm::DatePanelText(const QDate& date, const QLocale& locale) {
    // Qt counts Monday 1 … Sunday 7; the weekday names count Sunday 1 … Saturday 7.
    return locale.toString(date, QLocale::ShortFormat) + QStringLiteral("   ") +
           WeekdayName(date.dayOfWeek() % 7 + 1);
}

void TMainForm::fillDatePanel() {
    const QDateTime now = QDateTime::currentDateTime();
    m_datePanel->setText(DatePanelText(now.date()));
    m_alarmDate = now.time() >= kDateAlarm ? now.date() : now.date().addDays(-1);
}

void TMainForm::clockTick() {
    const QDateTime now = QDateTime::currentDateTime();
    m_clock->setText(QLocale().toString(now.time(), QStringLiteral("HH:mm:ss")));
    // The date panel changes once a day, at the alarm time.
    if (now.time() >= kDateAlarm && now.date() != m_alarmDate) fillDatePanel();
}

// ---- command enabling ------------------------------------------------------------------------------------

void TMainForm::UpdateCommands() {
    const bool any = MainGraph->Data().Count() > 0;
    for (const char* n : {"Close1", "CloseAll1", "Close1B", "Save1", "SaveAs1", "SaveAll1", "ProcessSOR1",
                          "ProcessSOR1B", "Save1B", "Export1B", "Export1"}) {
        QAction* a = Command(QString::fromLatin1(n));
        a->setEnabled(any && !m_pending.contains(a));
    }
    if (!any) {
        m_params->ClearValues();
        m_namePanel->SetFileName({});
    }
}

void TMainForm::listChanged() {
    UpdateCommands();
    TMainDataItem* active = ActiveTrace();
    m_namePanel->SetFileName(active ? active->SourceFileName() : QString());
}

// ---- the print queue's marking ---------------------------------------------------------------------------

void TMainForm::framesPerPageChosen(int index) {
    runCommand([this, index] { m_printQueue->SelectMarking(index); });
    // Cancelled, or the pictures could not be printed first: the queue's marking stands.
    if (m_printQueue->MarkingIndex() != index) m_framesPerPage->setCurrentIndex(m_printQueue->MarkingIndex());
}

// ---- full-graph layout -----------------------------------------------------------------------------------

bool TMainForm::FullGraphLayout() const {
    return m_lowerArea->isHidden();
}

void TMainForm::ToggleFullGraph() {
    TGraphView::TUpdateGuard guard(*MainGraph);
    if (FullGraphLayout())
        leaveFullGraph();
    else
        enterFullGraph(true);
}

void TMainForm::enterFullGraph(bool recordHeight) {
    if (recordHeight) m_settings.OldGraphPosY = GraphAreaHeight();
    m_lowerArea->hide();
    Command(QStringLiteral("FullScreen1B"))
        ->setIcon(ToolbarIcon(QStringLiteral("full_graph_restore")));
}

void TMainForm::leaveFullGraph() {
    const int client = ClientAreaHeight();
    if (m_settings.OldGraphPosY >= client) m_settings.OldGraphPosY = FittingGraphHeight(client);
    m_lowerArea->show();
    setGraphHeight(m_settings.OldGraphPosY);
    Command(QStringLiteral("FullScreen1B"))->setIcon(ToolbarIcon(QStringLiteral("full_graph")));
}

void TMainForm::setGraphHeight(int height) {
    const int total = m_hSplitter->height() - m_hSplitter->handleWidth();
    m_hSplitter->setSizes({height, std::max(total - height, 0)});
}

void TMainForm::setStartExtents() {
    TMainGraph& g = *MainGraph;
    // Each lower bound before its upper one: the world never turns inside out on the way.
    g.SetXMin(0);
    g.SetXMax(80);
    g.SetYMin(0);
    g.SetYMax(50);
}

void TMainForm::applyStartLayout() {
    // The graph takes the keys first: the menu key and Shift+F10 open its menu from the start.
    MainGraph->setFocus(Qt::OtherFocusReason);
    m_settings.OldGraphPosY = ClampGraphHeight(m_settings.OldGraphPosY, ClientAreaHeight());
    if (m_settings.FullScreen)
        enterFullGraph(false);
    else
        setGraphHeight(m_settings.OldGraphPosY);
    if (TraceCount() == 0) {
        // The graph got its extents before the window laid it out, and growing keeps the scale:
        // an empty graph showed three times the 50 dB. The start extents are meant for the area
        // the graph has now (the splitter lays out a hidden lower area only when asked).
        m_hSplitter->refresh();
        setStartExtents();
    }
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_shownOnce) return;
    m_shownOnce = true;
    applyStartLayout();
}

// ---- closing -------------------------------------------------------------------------------------------

bool TMainForm::CloseQuery() {
    if (m_processingMode != pmNormal) {
        MessageDlg(kMsgCannotExit, TMsgDlgType::mtInformation, mbOK);
        return false;
    }
    try {
        saveSettings();
    } catch (...) {
        // The settings store reports its own failure; the program ends all the same.
    }
    return true;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!CloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    emit Closed();
}

void TMainForm::runCommand(const std::function<void()>& command) {
    try {
        command();
    } catch (...) {
        // std::bad_alloc carries no text of its own: the operator gets the system's message.
        MessageDlg(ExceptionMessage(std::current_exception(), kMsgNotEnoughMemory), TMsgDlgType::mtError, mbOK);
    }
}

} // namespace lv
