#include "shell/fSORFlow.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QToolButton>
#include <QVBoxLayout>

#include "shell/Commonun.h"
#include "shell/uMainSettings.h"

namespace lv {

const char* const kSORFlowSection = "TSORFlowForm";

namespace {

// The colours the folder field is stored with: the window colour and the button face.
constexpr qint64 kClWindow = 0x80000005;
constexpr qint64 kClBtnFace = 0x8000000F;

QString textKey(const char* control) {
    return QString::fromLatin1(control) + QStringLiteral("_Text");
}
QString checkedKey(const char* control) {
    return QString::fromLatin1(control) + QStringLiteral("_Checked");
}

struct TTaskMember {
    const char* Name;
    bool TSORFlowParams::*Member;
};
const TTaskMember kTasks[] = {
    {"ParT", &TSORFlowParams::ParT},           {"SaveT", &TSORFlowParams::SaveT},
    {"PrintT", &TSORFlowParams::PrintT},       {"RusPrint", &TSORFlowParams::RusPrint},
    {"DirActive", &TSORFlowParams::DirActive},
};

} // namespace

TSORFlowParams ReadSORFlowParams(QSettings& settings) {
    TSORFlowParams p;
    settings.beginGroup(QString::fromLatin1(kSORFlowSection));
    for (size_t i = 0; i < kSORFlowTextCount; ++i)
        p.Texts[i] = ReadTextValue(settings, textKey(kSORFlowTextFields[i].Name)).toStdString();
    for (const TTaskMember& t : kTasks)
        p.*t.Member = ReadBoolValue(settings, checkedKey(t.Name), p.*t.Member);
    p.DefPath = ReadTextValue(settings, QStringLiteral("DefPathEd_Text")).toStdString();
    settings.endGroup();
    return p;
}

void WriteSORFlowParams(QSettings& settings, const TSORFlowParams& p) {
    settings.beginGroup(QString::fromLatin1(kSORFlowSection));
    for (size_t i = 0; i < kSORFlowTextCount; ++i)
        settings.setValue(textKey(kSORFlowTextFields[i].Name), QString::fromStdString(p.Texts[i]));
    for (const TTaskMember& t : kTasks)
        WriteBoolValue(settings, checkedKey(t.Name), p.*t.Member);
    settings.setValue(QStringLiteral("DefPathEd_Text"), QString::fromStdString(p.DefPath));
    settings.setValue(QStringLiteral("DefPathEd_Color"),
                      QString::number(p.DirActive ? kClWindow : kClBtnFace));
    settings.endGroup();
}

TSORFlowForm::TSORFlowForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QString::fromLatin1(kSORFlowSection));
    setWindowTitle(QString::fromUtf8(kSORFlowCaption));
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    m_paramsGroup = new QGroupBox(QStringLiteral(" Параметры "), this);
    m_paramsGroup->setObjectName(QStringLiteral("ParamsGroup"));
    auto* grid = new QGridLayout(m_paramsGroup);
    for (size_t i = 0; i < kSORFlowTextCount; ++i) {
        auto* label = new QLabel(QString::fromUtf8(kSORFlowTextFields[i].Label), m_paramsGroup);
        m_texts[i] = new QLineEdit(m_paramsGroup);
        m_texts[i]->setObjectName(QString::fromLatin1(kSORFlowTextFields[i].Name));
        label->setBuddy(m_texts[i]);
        // Two columns of five, as the texts pair up: cable and fibre, the ends, the instrument.
        const int row = static_cast<int>(i % 5), column = static_cast<int>(i / 5) * 2;
        grid->addWidget(label, row, column);
        grid->addWidget(m_texts[i], row, column + 1);
    }
    layout->addWidget(m_paramsGroup);

    m_tasksGroup = new QGroupBox(QStringLiteral(" Задания "), this);
    m_tasksGroup->setObjectName(QStringLiteral("TasksGroup"));
    auto* tasks = new QGridLayout(m_tasksGroup);
    auto check = [this](const char* name, const QString& text) {
        auto* box = new QCheckBox(text, m_tasksGroup);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    m_parT = check("ParT", QStringLiteral("Обработать"));
    m_saveT = check("SaveT", QStringLiteral("Сохранить"));
    m_printT = check("PrintT", QStringLiteral("Печать"));
    m_rusPrint = check("RusPrint", QStringLiteral("Печать на русском языке"));
    m_dirActive = check("DirActive", QStringLiteral("Помещать в папку при сохранении:"));
    tasks->addWidget(m_parT, 0, 0);
    tasks->addWidget(m_saveT, 0, 1);
    tasks->addWidget(m_printT, 0, 2);
    tasks->addWidget(m_rusPrint, 0, 3);
    tasks->addWidget(m_dirActive, 1, 0, 1, 4);
    auto* folderRow = new QHBoxLayout;
    m_defPath = new QLineEdit(m_tasksGroup);
    m_defPath->setObjectName(QStringLiteral("DefPathEd"));
    m_chooseDir = new QToolButton(m_tasksGroup);
    m_chooseDir->setObjectName(QStringLiteral("ChooseDirBtn"));
    m_chooseDir->setText(QStringLiteral("..."));
    folderRow->addWidget(m_defPath, 1);
    folderRow->addWidget(m_chooseDir);
    tasks->addLayout(folderRow, 2, 0, 1, 4);
    layout->addWidget(m_tasksGroup);
    connect(m_dirActive, &QCheckBox::toggled, this, &TSORFlowForm::showFolderActive);
    connect(m_chooseDir, &QToolButton::clicked, this, &TSORFlowForm::chooseDir);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TSORFlowForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    SetParams(TSORFlowParams{});
}

QLineEdit* TSORFlowForm::TextField(const char* name) const {
    for (size_t i = 0; i < kSORFlowTextCount; ++i)
        if (SameText(name, kSORFlowTextFields[i].Name)) return m_texts[i];
    return nullptr;
}

QCheckBox* TSORFlowForm::Task(const char* name) const {
    return m_tasksGroup->findChild<QCheckBox*>(QString::fromLatin1(name));
}

TSORFlowParams TSORFlowForm::Params() const {
    TSORFlowParams p;
    for (size_t i = 0; i < kSORFlowTextCount; ++i)
        p.Texts[i] = m_texts[i]->text().toStdString();
    p.ParT = m_parT->isChecked();
    p.SaveT = m_saveT->isChecked();
    p.PrintT = m_printT->isChecked();
    p.RusPrint = m_rusPrint->isChecked();
    p.DirActive = m_dirActive->isChecked();
    p.DefPath = m_defPath->text().toStdString();
    return p;
}

void TSORFlowForm::SetParams(const TSORFlowParams& p) {
    for (size_t i = 0; i < kSORFlowTextCount; ++i)
        m_texts[i]->setText(QString::fromStdString(p.Texts[i]));
    m_parT->setChecked(p.ParT);
    m_saveT->setChecked(p.SaveT);
    m_printT->setChecked(p.PrintT);
    m_rusPrint->setChecked(p.RusPrint);
    m_dirActive->setChecked(p.DirActive);
    m_defPath->setText(QString::fromStdString(p.DefPath));
    showFolderActive();
}

void TSORFlowForm::LoadStored() {
    auto settings = OpenSettings();
    SetParams(ReadSORFlowParams(*settings));
}

void TSORFlowForm::Store() const {
    auto settings = OpenSettings();
    WriteSORFlowParams(*settings, Params());
}

void TSORFlowForm::showFolderActive() {
    // The folder field looks editable only while the folder is used.
    QPalette p = m_defPath->palette();
    p.setColor(QPalette::Base, palette().color(m_dirActive->isChecked() ? QPalette::Base : QPalette::Button));
    m_defPath->setPalette(p);
}

void TSORFlowForm::chooseDir() {
    QString folder = m_defPath->text().trimmed();
    if (ChooseFolder(QString::fromUtf8(kSORFlowChooseDirTitle), 0, folder))
        m_defPath->setText(QDir::toNativeSeparators(folder));
}

void TSORFlowForm::accept() {
    const TSORFlowParams p = Params();
    if (!m_tasksGroup->isHidden()) {
        const std::string folder = SORFlowTargetFolder(p, m_dataFolder.toStdString());
        if (!folder.empty()) {
            m_defPath->setText(QDir::toNativeSeparators(QString::fromStdString(folder)));
            if (!CreateTargetFolder(folder)) {
                MessageDlg(kMsgCannotCreateFolder, TMsgDlgType::mtError, mbOK);
                return;
            }
        }
    }
    Store();
    QDialog::accept();
}

bool TSORFlowForm::ExecParameters() {
    const QString caption = windowTitle();
    const QSize size = this->size();
    m_tasksGroup->hide();
    setWindowTitle(QStringLiteral("Параметры"));
    // Lower by the group's height: the layout's height without it.
    adjustSize();
    const bool ok = exec() == QDialog::Accepted;
    m_tasksGroup->show();
    setWindowTitle(caption);
    resize(size);
    return ok;
}

} // namespace lv
