#include "shell/fDisplayParams.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "shell/Commonun.h"
#include "shell/uHelpViewer.h"
#include "shell/uMainSettings.h"

namespace lv {

const char* const kDisplayParamsSection = "TDisplayParamsFrm";
const char* const kMsgNoDataFolder = "Папка \"%s\" не найдена.\r\nВыберите существующую папку для данных.";

namespace {

const char* const kActiveControl = "ActiveControl";
const char* const kActivePage = "PageControl1_ActivePage";
const char* const kPageNames[] = {"TraceViewSheet", "PrintSheet"};

// The radio items of "Вывод значений" in TDisplayMethod order; a method beyond them (dmSelf, each
// curve its own) shows as the first.
constexpr int kShownMethods = 4;

constexpr int kGraphsOnPageMax = 8;
constexpr int kGroupGraphsMax = 20000;

QCheckBox* checkBox(const char* name, const QString& text) {
    auto* c = new QCheckBox(text);
    c->setObjectName(QString::fromLatin1(name));
    return c;
}

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

// ---- the values ------------------------------------------------------------------------------------

namespace {

// The values that live in the settings, member by member, in the dialog's order.
template <class T> using TSettingsField = std::pair<T TDisplayParams::*, T TMainSettings::*>;
const TSettingsField<bool> kSettingsFlags[] = {
    {&TDisplayParams::DoSaveAs, &TMainSettings::DoSaveAs},
    {&TDisplayParams::ShowSetNum, &TMainSettings::ShowSetNum},
    {&TDisplayParams::ShowWorkerNum, &TMainSettings::ShowWorkerNum},
    {&TDisplayParams::ShowFileCaption, &TMainSettings::ShowFileCaption},
    {&TDisplayParams::ShowFileName, &TMainSettings::ShowFileName},
    {&TDisplayParams::ParamsBorder, &TMainSettings::ParamsBorder},
    {&TDisplayParams::GraphBorder, &TMainSettings::GraphBorder},
    {&TDisplayParams::SaveBeforePrint, &TMainSettings::SaveBeforePrint},
};
const TSettingsField<std::string> kSettingsTexts[] = {
    {&TDisplayParams::DataDir, &TMainSettings::DataDir},
    {&TDisplayParams::SetNum, &TMainSettings::SetNum},
    {&TDisplayParams::WorkerNum, &TMainSettings::WorkerNum},
};

} // namespace

TDisplayParams ReadDisplayParams(const TMainGraph& graph, const TMainSettings& s) {
    TDisplayParams p;
    p.CursorType = graph.CursorType();
    p.DisplayMethod = graph.DisplayMethod();
    p.HeaderContent = graph.HeaderContent();
    p.XGridsVisible = graph.XGridsVisible();
    p.YGridsVisible = graph.YGridsVisible();
    p.GraphsOnPage = graph.PrintSettings().GraphsOnPage();
    p.GroupGraphsOnPrint = graph.PrintSettings().GroupGraphsOnPrint();
    for (const auto& [mine, theirs] : kSettingsFlags)
        p.*mine = s.*theirs;
    for (const auto& [mine, theirs] : kSettingsTexts)
        p.*mine = s.*theirs;
    return p;
}

std::optional<std::string> ValidateDisplayParams(const TDisplayParams& p) {
    if (!p.DataDir.empty() && !QFileInfo(q(p.DataDir)).isDir()) {
        QString text = QString::fromUtf8(kMsgNoDataFolder);
        text.replace(QStringLiteral("%s"), QDir::toNativeSeparators(q(p.DataDir)));
        return text.toStdString();
    }
    return std::nullopt;
}

void ApplyDisplayParams(const TDisplayParams& p, TMainGraph& graph, TMainSettings& s) {
    graph.SetCursorType(p.CursorType);
    graph.SetDisplayMethod(p.DisplayMethod);
    graph.SetHeaderContent(p.HeaderContent);
    graph.SetXGridsVisible(p.XGridsVisible);
    graph.SetYGridsVisible(p.YGridsVisible);
    graph.PrintSettings().SetGraphsOnPage(std::clamp(p.GraphsOnPage, 1, kGraphsOnPageMax));
    graph.PrintSettings().SetGroupGraphsOnPrint(std::clamp(p.GroupGraphsOnPrint, 1, kGroupGraphsMax));
    // DoSaveAs among them: the save button looks it up at each press.
    for (const auto& [mine, theirs] : kSettingsFlags)
        s.*theirs = p.*mine;
    for (const auto& [mine, theirs] : kSettingsTexts)
        s.*theirs = p.*mine;
}

// ---- TRadioGroup, TArrowSpinBox ---------------------------------------------------------------------------

TRadioGroup::TRadioGroup(const QString& title, const QStringList& items, int columns, QWidget* parent)
    : QGroupBox(title, parent), m_buttons(new QButtonGroup(this)) {
    auto* grid = new QGridLayout(this);
    const int perColumn = (int(items.size()) + columns - 1) / std::max(columns, 1);
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i]);
        m_buttons->addButton(b, i);
        // Filled column by column, as the platform's radio groups are.
        grid->addWidget(b, i % perColumn, i / perColumn);
    }
}

int TRadioGroup::ItemIndex() const {
    return m_buttons->checkedId();
}

void TRadioGroup::SetItemIndex(int index) {
    if (QAbstractButton* b = m_buttons->button(index)) b->setChecked(true);
}

QStringList TRadioGroup::Items() const {
    QStringList items;
    for (QAbstractButton* b : m_buttons->buttons())
        items << b->text();
    return items;
}

QWidget* TRadioGroup::FocusTarget() const {
    if (QAbstractButton* b = m_buttons->checkedButton()) return b;
    return m_buttons->button(0);
}

TArrowSpinBox::TArrowSpinBox(int minimum, int maximum, QWidget* parent) : QSpinBox(parent) {
    setRange(minimum, maximum);
    lineEdit()->setReadOnly(true);
}

// ---- the dialog -----------------------------------------------------------------------------------------

TDisplayParamsFrm::TDisplayParamsFrm(const TDisplayParams& params, QWidget* parent)
    : QDialog(parent), m_params(params) {
    setObjectName(QStringLiteral("DisplayParamsFrm"));
    setWindowTitle(QStringLiteral("Параметры интерфейса"));
    m_pages = new QTabWidget;
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    buildTraceViewPage();
    buildPrintPage();

    auto* ok = new QPushButton(QStringLiteral("ОК")); // Cyrillic letters, as the dialog has always said
    ok->setObjectName(QStringLiteral("OkBtn"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Отмена"));
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    auto* defaults = new QPushButton(QStringLiteral("По умолчанию"));
    defaults->setObjectName(QStringLiteral("DefaultBtn"));
    defaults->setAutoDefault(false);
    auto* help = new QPushButton(QStringLiteral("Помощь"));
    help->setObjectName(QStringLiteral("HelpBtn"));
    help->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &TDisplayParamsFrm::okClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(defaults, &QPushButton::clicked, this, &TDisplayParamsFrm::ResetShownPage);
    connect(help, &QPushButton::clicked, this, [] {
        THelpViewer* v = HelpViewer();
        v->ShowPage(QStringLiteral("settings.html"));
        v->ExecModal();
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(defaults);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addLayout(buttons);

    showValues(params);

    auto settings = OpenSettings();
    const QString section = QString::fromLatin1(kDisplayParamsSection);
    RestoreWindowPlacement(*settings, section, *this);
    settings->beginGroup(section);
    const QString page = ReadTextValue(*settings, QString::fromLatin1(kActivePage));
    m_storedFocus = ReadTextValue(*settings, QString::fromLatin1(kActiveControl));
    settings->endGroup();
    for (int i = 0; i < m_pages->count(); ++i)
        if (m_pages->widget(i)->objectName() == page) m_pages->setCurrentIndex(i);
}

void TDisplayParamsFrm::buildTraceViewPage() {
    auto* page = new QWidget;
    page->setObjectName(QString::fromLatin1(kPageNames[psTraceView]));
    m_cursor = new TRadioGroup(QStringLiteral("Тип курсора : "), {QStringLiteral("Крест"), QStringLiteral("Линия")}, 2);
    m_cursor->setObjectName(QStringLiteral("GraphCursor"));
    m_display = new TRadioGroup(QStringLiteral("Вывод значений : "),
                                {QStringLiteral("Разреженный"), QStringLiteral("Среднее"),
                                 QStringLiteral("Максимум"), QStringLiteral("Все")},
                                2);
    m_display->setObjectName(QStringLiteral("GraphDisplay"));
    m_caption = new TRadioGroup(QStringLiteral("Заголовок "),
                                {QStringLiteral("Не показывать"), QStringLiteral("Название трассы"),
                                 QStringLiteral("Имя файла")},
                                1);
    m_caption->setObjectName(QStringLiteral("CaptionType"));

    auto* grids = new QGroupBox(QStringLiteral("Сетка "));
    m_horzGrid = checkBox("HorzGrid", QStringLiteral("Горизонтальная сетка"));
    m_vertGrid = checkBox("VertGrid", QStringLiteral("Вертикальная сетка"));
    auto* gridsLayout = new QVBoxLayout(grids);
    gridsLayout->addWidget(m_horzGrid);
    gridsLayout->addWidget(m_vertGrid);
    gridsLayout->addStretch();

    auto* saving = new QGroupBox(QStringLiteral("Сохранение "));
    m_doSaveAs = checkBox("DoSaveAsEd", QStringLiteral("Сохранять в новый файл"));
    auto* dirLabel = new QLabel(QStringLiteral("Папка дла данных :"));
    m_dataDir = new QLineEdit;
    m_dataDir->setObjectName(QStringLiteral("DataDirEd"));
    m_dataDir->setReadOnly(true);
    m_dataDir->setMinimumWidth(260);
    dirLabel->setBuddy(m_dataDir);
    m_chDir = new QPushButton(QStringLiteral("..."));
    m_chDir->setObjectName(QStringLiteral("ChDirBtn"));
    m_chDir->setAutoDefault(false);
    m_chDir->setFixedWidth(m_chDir->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 20);
    connect(m_chDir, &QPushButton::clicked, this, &TDisplayParamsFrm::chooseDataDir);
    auto* dirRow = new QHBoxLayout;
    dirRow->addWidget(m_dataDir, 1);
    dirRow->addWidget(m_chDir);
    auto* savingLayout = new QVBoxLayout(saving);
    savingLayout->addWidget(m_doSaveAs);
    savingLayout->addWidget(dirLabel);
    savingLayout->addLayout(dirRow);

    auto* layout = new QGridLayout(page);
    layout->addWidget(m_cursor, 0, 0);
    layout->addWidget(m_display, 1, 0);
    layout->addWidget(m_caption, 0, 1);
    layout->addWidget(grids, 1, 1);
    layout->addWidget(saving, 2, 0, 1, 2);
    layout->setRowStretch(3, 1);
    m_pages->addTab(page, QStringLiteral("Вывод трассы"));
}

void TDisplayParamsFrm::buildPrintPage() {
    auto* page = new QWidget;
    page->setObjectName(QString::fromLatin1(kPageNames[psPrint]));

    auto* params = new QGroupBox(QStringLiteral("Параметры "));
    m_showSetNum = checkBox("ShowSetNum", QStringLiteral("Номер партии"));
    m_setNum = new QLineEdit;
    m_setNum->setObjectName(QStringLiteral("SetNumEd"));
    connect(m_showSetNum, &QCheckBox::toggled, this, &TDisplayParamsFrm::setNumFollowsItsBox);
    // The operator's number is printed always; it stays in the dialog, hidden, and goes back as
    // it came.
    m_showWorkerNum = checkBox("ShowWorkerNum", QStringLiteral("Табельный номер измерителя"));
    m_workerNum = new QLineEdit;
    m_workerNum->setObjectName(QStringLiteral("WorkerNumEd"));
    m_showWorkerNum->hide();
    m_workerNum->hide();
    m_showFileCaption = checkBox("ShowFileCaption", QStringLiteral("Печатать заголовок файла"));
    m_showFileName = checkBox("ShowFileName", QStringLiteral("Печатать имя файла"));
    m_paramsBorder = checkBox("ParamsBorder", QStringLiteral("Рамка вокруг параметров"));
    auto* paramsLayout = new QGridLayout(params);
    paramsLayout->addWidget(m_showSetNum, 0, 0);
    paramsLayout->addWidget(m_setNum, 0, 1);
    paramsLayout->addWidget(m_showWorkerNum, 1, 0);
    paramsLayout->addWidget(m_workerNum, 1, 1);
    paramsLayout->addWidget(m_showFileCaption, 2, 0, 1, 2);
    paramsLayout->addWidget(m_showFileName, 3, 0, 1, 2);
    paramsLayout->addWidget(m_paramsBorder, 4, 0, 1, 2);
    paramsLayout->setColumnStretch(1, 1);

    auto* graph = new QGroupBox(QStringLiteral("График "));
    auto* perPageLabel = new QLabel(QStringLiteral("Графиков на странице при печати: "));
    m_graphsPerPage = new TArrowSpinBox(1, kGraphsOnPageMax);
    m_graphsPerPage->setObjectName(QStringLiteral("GraphsPerPage"));
    perPageLabel->setBuddy(m_graphsPerPage);
    auto* groupLabel = new QLabel(QStringLiteral("Объединять графики по  "));
    m_graphGroup = new TArrowSpinBox(1, kGroupGraphsMax);
    m_graphGroup->setObjectName(QStringLiteral("GraphGroup"));
    groupLabel->setBuddy(m_graphGroup);
    m_graphBorder = checkBox("GraphBorder", QStringLiteral("Рамка вокруг графика"));
    auto* graphLayout = new QGridLayout(graph);
    graphLayout->addWidget(perPageLabel, 0, 0);
    graphLayout->addWidget(m_graphsPerPage, 0, 1);
    graphLayout->addWidget(groupLabel, 1, 0);
    graphLayout->addWidget(m_graphGroup, 1, 1);
    graphLayout->addWidget(m_graphBorder, 2, 0, 1, 2);
    graphLayout->setColumnStretch(2, 1);

    m_saveBeforePrint = checkBox("SaveBeforePrintBox", QStringLiteral("Сохранять перед печатью"));

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(params);
    layout->addWidget(graph);
    layout->addWidget(m_saveBeforePrint);
    layout->addStretch();
    m_pages->addTab(page, QStringLiteral("Печать"));
}

void TDisplayParamsFrm::showValues(const TDisplayParams& p) {
    m_cursor->SetItemIndex(p.CursorType == ctLine ? 1 : 0);
    m_display->SetItemIndex(p.DisplayMethod < kShownMethods ? int(p.DisplayMethod) : 0);
    m_caption->SetItemIndex(int(p.HeaderContent));
    m_horzGrid->setChecked(p.YGridsVisible);
    m_vertGrid->setChecked(p.XGridsVisible);
    m_doSaveAs->setChecked(p.DoSaveAs);
    m_dataDir->setText(q(p.DataDir));
    m_showSetNum->setChecked(p.ShowSetNum);
    m_setNum->setText(q(p.SetNum));
    m_showWorkerNum->setChecked(p.ShowWorkerNum);
    m_workerNum->setText(q(p.WorkerNum));
    m_showFileCaption->setChecked(p.ShowFileCaption);
    m_showFileName->setChecked(p.ShowFileName);
    m_paramsBorder->setChecked(p.ParamsBorder);
    m_graphsPerPage->setValue(p.GraphsOnPage);
    m_graphGroup->setValue(p.GroupGraphsOnPrint);
    m_graphBorder->setChecked(p.GraphBorder);
    m_saveBeforePrint->setChecked(p.SaveBeforePrint);
    setNumFollowsItsBox();
}

TDisplayParams TDisplayParamsFrm::Values() const {
    TDisplayParams p;
    p.CursorType = m_cursor->ItemIndex() == 1 ? ctLine : ctCross;
    p.DisplayMethod = TDisplayMethod(std::clamp(m_display->ItemIndex(), 0, kShownMethods - 1));
    p.HeaderContent = THeaderContent(std::clamp(m_caption->ItemIndex(), int(hcHeader), int(hcFileName)));
    p.XGridsVisible = m_vertGrid->isChecked();
    p.YGridsVisible = m_horzGrid->isChecked();
    p.DoSaveAs = m_doSaveAs->isChecked();
    p.DataDir = m_dataDir->text().toStdString();
    p.GraphsOnPage = m_graphsPerPage->value();
    p.GroupGraphsOnPrint = m_graphGroup->value();
    p.ShowSetNum = m_showSetNum->isChecked();
    p.SetNum = m_setNum->text().toStdString();
    p.ShowWorkerNum = m_showWorkerNum->isChecked();
    p.WorkerNum = m_workerNum->text().toStdString();
    p.ShowFileCaption = m_showFileCaption->isChecked();
    p.ShowFileName = m_showFileName->isChecked();
    p.ParamsBorder = m_paramsBorder->isChecked();
    p.GraphBorder = m_graphBorder->isChecked();
    p.SaveBeforePrint = m_saveBeforePrint->isChecked();
    return p;
}

void TDisplayParamsFrm::ResetShownPage() {
    if (m_pages->currentIndex() == psTraceView) {
        m_cursor->SetItemIndex(0);
        m_display->SetItemIndex(0);
        m_caption->SetItemIndex(int(hcCaption));
        m_horzGrid->setChecked(true);
        m_vertGrid->setChecked(true);
        m_doSaveAs->setChecked(true);
        m_dataDir->clear();
    } else {
        m_graphsPerPage->setValue(3);
        m_graphGroup->setValue(1);
        m_showSetNum->setChecked(false);
        m_showWorkerNum->setChecked(true);
        m_showFileCaption->setChecked(false);
        m_showFileName->setChecked(false);
        m_paramsBorder->setChecked(false);
        m_graphBorder->setChecked(false);
        m_saveBeforePrint->setChecked(true);
        setNumFollowsItsBox();
    }
}

void TDisplayParamsFrm::setNumFollowsItsBox() {
    const bool on = m_showSetNum->isChecked();
    m_setNum->setEnabled(on);
    // White while it can be typed into, the buttons' grey while it cannot.
    const QPalette app = QApplication::palette();
    QPalette pal = m_setNum->palette();
    pal.setColor(QPalette::Base, app.color(on ? QPalette::Base : QPalette::Button));
    m_setNum->setPalette(pal);
}

void TDisplayParamsFrm::chooseDataDir() {
    QString folder = m_dataDir->text();
    if (ChooseFolder(QStringLiteral("Выберите папку"), 0, folder)) m_dataDir->setText(folder);
}

void TDisplayParamsFrm::okClicked() {
    const TDisplayParams values = Values();
    // Everything is checked before anything is applied: "ОК" applies all or nothing.
    if (const auto error = ValidateDisplayParams(values)) {
        MessageDlg(*error, TMsgDlgType::mtError, mbOK);
        m_pages->setCurrentIndex(psTraceView);
        m_chDir->setFocus();
        return;
    }
    m_params = values;
    accept();
}

// ---- kept state ---------------------------------------------------------------------------------------

QStringList TDisplayParamsFrm::ControlNames() {
    return {QStringLiteral("GraphCursor"),     QStringLiteral("GraphDisplay"),   QStringLiteral("CaptionType"),
            QStringLiteral("HorzGrid"),        QStringLiteral("VertGrid"),       QStringLiteral("DoSaveAsEd"),
            QStringLiteral("DataDirEd"),       QStringLiteral("ChDirBtn"),       QStringLiteral("ShowSetNum"),
            QStringLiteral("SetNumEd"),        QStringLiteral("ShowWorkerNum"),  QStringLiteral("WorkerNumEd"),
            QStringLiteral("ShowFileCaption"), QStringLiteral("ShowFileName"),   QStringLiteral("ParamsBorder"),
            QStringLiteral("GraphsPerPage"),   QStringLiteral("GraphGroup"),     QStringLiteral("GraphBorder"),
            QStringLiteral("SaveBeforePrintBox"), QStringLiteral("OkBtn"),       QStringLiteral("CancelBtn"),
            QStringLiteral("DefaultBtn"),      QStringLiteral("HelpBtn")};
}

QWidget* TDisplayParamsFrm::Control(const QString& name) const {
    return ControlNames().contains(name) ? findChild<QWidget*>(name) : nullptr;
}

QString TDisplayParamsFrm::focusedControl() const {
    const QStringList names = ControlNames();
    for (QWidget* w = QApplication::focusWidget(); w && w != this; w = w->parentWidget())
        if (names.contains(w->objectName())) return w->objectName();
    return {};
}

void TDisplayParamsFrm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_focusRestored) {
        m_focusRestored = true;
        restoreFocus();
    }
}

void TDisplayParamsFrm::restoreFocus() {
    QWidget* w = Control(m_storedFocus);
    // A control that cannot take the focus now (disabled, hidden, on the other page) is passed by.
    if (!w || !w->isEnabled() || !w->isVisible()) return;
    if (auto* group = qobject_cast<TRadioGroup*>(w)) w = group->FocusTarget();
    w->setFocus(Qt::OtherFocusReason);
}

void TDisplayParamsFrm::saveState() {
    auto settings = OpenSettings();
    const QString section = QString::fromLatin1(kDisplayParamsSection);
    SaveWindowPlacement(*settings, section, *this);
    settings->beginGroup(section);
    settings->setValue(QString::fromLatin1(kActiveControl), focusedControl());
    settings->setValue(QString::fromLatin1(kActivePage), m_pages->currentWidget()->objectName());
    settings->endGroup();
}

void TDisplayParamsFrm::done(int result) {
    saveState();
    QDialog::done(result);
}

} // namespace lv
