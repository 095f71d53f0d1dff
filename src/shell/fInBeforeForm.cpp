#include "shell/fInBeforeForm.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

#include "display/uGraphsCmps.h"
#include "reports/uSORFlow.h"
#include "shell/Commonun.h"
#include "shell/fChooseMask.h"
#include "shell/fMainForm.h"
#include "reports/uSpreadsheet.h"
#include "shell/uUsersOffice.h"
#include "shell/fSORFlow.h"
#include "shell/uHelpViewer.h"
#include "shell/uIndicatedWork.h"
#include "shell/uMainSettings.h"
#include "trace/DateTime.h"
#include "trace/Errors.h"
#include "trace/uDeviceIntfs.h"
#include "trace/uGraphIntfs.h"


namespace lv {

const char* const kInBeforeSection = "TInBeforeForm";
const char* const kInBeforeTemplateFilter = "Файлы Excel|*.xls;*.xlsx;*.ods|Все файлы|*.*";

namespace {

// The cable data the operator types, with their labels, kept in the settings.
const std::pair<const char*, const char*> kCableFields[] = {
    {"DrumNum", "Номер барабана"}, {"MarkEd", "Марка кабеля"}, {"LengthEd", "Длина по меткам, м"},
    {"SEd", "Начало кабеля"},      {"EEd", "Конец кабеля"},
};
const char* const kTemplateFields[] = {"TmpInFile", "TmpBeforeFile"};

QString textKey(const QString& control) {
    return control + QStringLiteral("_Text");
}

} // namespace

TInBeforeForm::TInBeforeForm(TMainForm& main, int mode, const QString& dataFolder)
    : QWidget(&main, Qt::Tool | Qt::WindowStaysOnTopHint), m_main(main), m_mode(mode),
      m_dataFolder(dataFolder) {
    setObjectName(QString::fromLatin1(kInBeforeSection));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(main.LineName());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);

    auto* bar = new QToolBar(this);
    bar->setIconSize(QSize(22, 22));
    auto command = [this, bar](const char* name, const QString& hint, const char* icon) {
        auto* a =
            bar->addAction(QIcon(QStringLiteral(":/icons/tb/%1.svg").arg(QString::fromLatin1(icon))), hint);
        a->setObjectName(QString::fromLatin1(name));
        a->setToolTip(hint);
        return a;
    };
    connect(command("ReportBtn", QStringLiteral("Сгенерировать отчет"), "report"), &QAction::triggered, this,
            &TInBeforeForm::GenerateReport);
    // The main window's batch command, enabled as it is.
    QAction* process = command("ProcessSOR1B", QStringLiteral("Обработать потоком"), "process_sor");
    QAction* mainProcess = main.Command(QStringLiteral("ProcessSOR1"));
    connect(process, &QAction::triggered, mainProcess, &QAction::trigger);
    process->setEnabled(mainProcess->isEnabled());
    connect(mainProcess, &QAction::changed, process,
            [process, mainProcess] { process->setEnabled(mainProcess->isEnabled()); });
    bar->addSeparator();
    connect(command("ParamsBtn", QStringLiteral("Параметры"), "params_interface"), &QAction::triggered, this,
            &TInBeforeForm::ShowParams);
    connect(command("HelpBtn", QStringLiteral("Помощь"), "help"), &QAction::triggered, this,
            [] { HelpIndex(); });
    layout->addWidget(bar);

    auto* cable = new QGroupBox(this);
    auto* grid = new QGridLayout(cable);
    int row = 0;
    for (const auto& [name, label] : kCableFields) {
        QLineEdit* edit = addEdit(name, false);
        auto* l = new QLabel(QString::fromUtf8(label), cable);
        l->setBuddy(edit);
        grid->addWidget(l, row, 0);
        grid->addWidget(edit, row, 1, 1, 2);
        ++row;
    }
    // Both template fields exist; the one of the mode shows.
    auto* templateLabel = new QLabel(QStringLiteral("Шаблон"), cable);
    grid->addWidget(templateLabel, row, 0);
    for (const char* name : kTemplateFields)
        grid->addWidget(addEdit(name, false), row, 1);
    Field(QStringLiteral("TmpInFile"))->setVisible(mode == pmIncoming);
    Field(QStringLiteral("TmpBeforeFile"))->setVisible(mode != pmIncoming);
    templateLabel->setBuddy(TemplateField());
    auto* choose = new QToolButton(cable);
    auto* chooseAction = new QAction(QStringLiteral("..."), this);
    chooseAction->setObjectName(QStringLiteral("TmpChoose"));
    // A button text of its own: the text derived from "..." would drop the dots.
    chooseAction->setIconText(QStringLiteral("..."));
    chooseAction->setToolTip(QStringLiteral("Выбрать шаблон"));
    choose->setDefaultAction(chooseAction);
    choose->setToolButtonStyle(Qt::ToolButtonTextOnly);
    connect(chooseAction, &QAction::triggered, this, &TInBeforeForm::ChooseTemplate);
    grid->addWidget(choose, row, 2);
    layout->addWidget(cable);

    auto* params = new QGroupBox(this);
    auto* copies = new QGridLayout(params);
    for (size_t i = 0; i < kSORFlowTextCount; ++i) {
        QLineEdit* edit = addEdit(kSORFlowTextFields[i].Name, true);
        auto* l = new QLabel(QString::fromUtf8(kSORFlowTextFields[i].Label), params);
        l->setBuddy(edit);
        const int r = static_cast<int>(i % 5), c = static_cast<int>(i / 5) * 2;
        copies->addWidget(l, r, c);
        copies->addWidget(edit, r, c + 1);
    }
    layout->addWidget(params);
    restoreSettings();

    // The set opens when the window is made, the mask asked for over the main window.
    TFibreSet set(m_dataFolder.toStdString(), mode, DialogMaskChooser(&main));
    const std::vector<TFibreFile> files = set.ListInspection();
    if (files.empty())
        MessageDlg(kMsgSetHasNoData, TMsgDlgType::mtWarning, mbOK);
    else
        main.OpenFibreSet(files);

    m_flow = new TSORFlowForm(this);
    m_flow->LoadStored();
    m_flow->SetDataFolder(m_dataFolder);
    if (TMainDataItem* current = main.ActiveTrace(); current && current->Trace()) {
        TSORFlowParams p = m_flow->Params();
        FillSORFlowFromTrace(p, *current->Trace(), main.Settings().WorkerNum);
        m_flow->SetParams(p);
    }
    RefreshParams();
}

TInBeforeForm::~TInBeforeForm() = default;

QLineEdit* TInBeforeForm::addEdit(const char* name, bool readOnly) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    if (readOnly) {
        edit->setReadOnly(true);
        QPalette p = edit->palette();
        p.setColor(QPalette::Base, p.color(QPalette::Button));
        edit->setPalette(p);
    }
    m_fields[edit->objectName()] = edit;
    return edit;
}

QLineEdit* TInBeforeForm::Field(const QString& name) const {
    const auto it = m_fields.find(name);
    return it == m_fields.end() ? nullptr : it->second;
}

QLineEdit* TInBeforeForm::TemplateField() const {
    return Field(QString::fromLatin1(kTemplateFields[m_mode == pmIncoming ? 0 : 1]));
}

QAction* TInBeforeForm::Command(const QString& name) const {
    return findChild<QAction*>(name);
}

void TInBeforeForm::RefreshParams() {
    const TSORFlowParams p = m_flow->Params();
    for (size_t i = 0; i < kSORFlowTextCount; ++i)
        Field(QString::fromLatin1(kSORFlowTextFields[i].Name))->setText(QString::fromStdString(p.Texts[i]));
}

void TInBeforeForm::ShowParams() {
    if (m_flow->ExecParameters()) RefreshParams();
}

void TInBeforeForm::ChooseTemplate() {
    QLineEdit* field = TemplateField();
    const QString current = field->text().trimmed();
    TFileDialogRequest r;
    r.Filter = kInBeforeTemplateFilter;
    r.DefaultExt = "xls";
    r.InitialDir = (current.isEmpty() ? m_dataFolder : QFileInfo(current).absolutePath()).toStdString();
    QString chosen;
    if (RunFileDialog(r, false, chosen)) field->setText(chosen);
}

TInspectionRequest TInBeforeForm::MakeRequest() const {
    TInspectionRequest request;
    request.Mode = m_mode;
    request.TemplateFile = TemplateField()->text().trimmed().toStdString();
    TInspectionHeader& h = request.Data.Header;
    h.LineName = m_main.LineName().toStdString();
    h.DrumNum = Field(QStringLiteral("DrumNum"))->text().toStdString();
    h.MarkEd = Field(QStringLiteral("MarkEd"))->text().toStdString();
    h.LengthEd = Field(QStringLiteral("LengthEd"))->text().toStdString();
    h.SEd = Field(QStringLiteral("SEd"))->text().toStdString();
    h.EEd = Field(QStringLiteral("EEd"))->text().toStdString();
    h.Operator = *m_flow->Params().Text("OP");
    h.Today = std::floor(Now());
    for (int i = 0; i < m_main.TraceCount(); ++i)
        if (TRDataStorage* store = m_main.Trace(i) ? m_main.Trace(i)->Trace() : nullptr)
            request.Data.Traces.push_back({store, m_main.FibreNumberOf(store)});
    TMainDataItem* current = m_main.ActiveTrace();
    request.Data.Reference = current ? current->Trace() : nullptr;
    request.FallbackFile =
        (m_dataFolder + QString::fromStdString(InspectionTemplateName(m_mode)) + QStringLiteral(".xlsx"))
            .toStdString();
    return request;
}

ISpreadsheetApp& TInBeforeForm::office() {
    if (m_office) return *m_office;
    if (!m_ownOffice) m_ownOffice = NewUsersOffice();
    return *m_ownOffice;
}

void TInBeforeForm::GenerateReport() {
    QCoreApplication::processEvents();
    const TInspectionRequest request = MakeRequest();
    try {
        RunIndicatedWork(QStringLiteral("Lumvaris"), QStringLiteral("Идет формирование отчета..."),
                         [&](IProgress& progress) {
                             // Every trace gets the current trace's markers: the graphs paint once,
                             // afterwards.
                             TGraphView::TUpdateGuard mainLock(*m_main.MainGraph);
                             TGraphView::TUpdateGuard overviewLock(*m_main.OverviewGraph);
                             m_report.Generate(request, office(), progress);
                         });
    } catch (...) {
        MessageDlg(ExceptionMessage(std::current_exception(), kMsgNotEnoughMemory), TMsgDlgType::mtError,
                   mbOK);
    }
    // Every trace got the current trace's markers: the graph and the panel show them.
    m_main.RefreshTraceViews();
}

void TInBeforeForm::restoreSettings() {
    auto settings = OpenSettings();
    settings->beginGroup(QString::fromLatin1(kInBeforeSection));
    for (const auto& [name, edit] : m_fields)
        if (!edit->isReadOnly()) edit->setText(ReadTextValue(*settings, textKey(name)));
    settings->endGroup();
    RestoreWindowPlacement(*settings, QString::fromLatin1(kInBeforeSection), *this);
}

void TInBeforeForm::saveSettings() {
    auto settings = OpenSettings();
    settings->beginGroup(QString::fromLatin1(kInBeforeSection));
    for (const auto& [name, edit] : m_fields)
        if (!edit->isReadOnly()) settings->setValue(textKey(name), edit->text());
    settings->endGroup();
    SaveWindowPlacement(*settings, QString::fromLatin1(kInBeforeSection), *this);
}

void TInBeforeForm::closeEvent(QCloseEvent* event) {
    try {
        saveSettings();
    } catch (...) {
        // The fields are the operator's convenience: a store that fails does not keep the mode.
    }
    QWidget::closeEvent(event);
    m_main.LeaveProcessingMode();
}

} // namespace lv
