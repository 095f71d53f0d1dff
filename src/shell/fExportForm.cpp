#include "shell/fExportForm.h"

#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include "display/uGraphPrint.h"
#include "printing/uPictureFiles.h"
#include "shell/Commonun.h"
#include "shell/uTraceNames.h"

namespace lv {

const char* const kExportDialogCaption = "Экспорт";
const char* const kExportBrowseTitle = "Укажите файл для экспорта";
const char* const kExportFilter =
    "Растровые изображения (*.bmp)|*.bmp|Метафайлы (*.emf;*wmf)|*.emf;*.wmf|Все файлы (*.*)|*.*";
const char* const kMsgNoExportFileName = "Не указано имя файла для экспорта.";
const char* const kMsgExportFileExists = "Файл %s существует.\r\nПерезаписать?";
const char* const kMsgExportDone = "Экспортирование завершено.";

int PictureKindOfFilter(int filterIndex) {
    return filterIndex == efMetafile ? pfMetafile : pfBitmap;
}

TExportTarget ExportTarget(const QString& name, int filterIndex, const QString& folder) {
    const QDir base(folder.isEmpty() ? QDir::currentPath() : folder);
    TExportTarget t;
    t.FileName = QDir::cleanPath(base.absoluteFilePath(name.trimmed()));
    t.Kind = PictureFormatOfName(t.FileName);
    if (t.Kind == 0) t.Kind = PictureKindOfFilter(filterIndex);
    if (!HasExtension(t.FileName)) t.FileName += PictureExtension(t.Kind);
    return t;
}

TExportForm::TExportForm(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("ExportForm"));
    setWindowTitle(QString::fromUtf8(kExportDialogCaption));

    m_group = new QGroupBox(QStringLiteral(" Объект экспорта "));
    m_group->setObjectName(QStringLiteral("RadioGroup1"));
    m_printCopy = new QRadioButton(QStringLiteral("Копия распечатки"));
    m_screenCopy = new QRadioButton(QStringLiteral("Копия экранной формы"));
    m_printCopy->setChecked(true);
    auto* choices = new QVBoxLayout(m_group);
    choices->addWidget(m_printCopy);
    choices->addWidget(m_screenCopy);

    auto* label = new QLabel(QStringLiteral("Имя файла"));
    m_fileName = new QLineEdit;
    m_fileName->setObjectName(QStringLiteral("FilenameEdit1"));
    m_fileName->setMinimumWidth(320);
    label->setBuddy(m_fileName);
    m_browse = new QToolButton;
    m_browse->setText(QStringLiteral("..."));
    m_browse->setToolTip(QString::fromUtf8(kExportBrowseTitle));
    connect(m_browse, &QToolButton::clicked, this, &TExportForm::Browse);
    auto* nameRow = new QHBoxLayout;
    nameRow->setSpacing(2);
    nameRow->addWidget(m_fileName);
    nameRow->addWidget(m_browse);

    m_ok = new QPushButton(QStringLiteral("OK"));
    m_ok->setObjectName(QStringLiteral("OkBtn"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Отмена"));
    m_cancel->setObjectName(QStringLiteral("CancelBtn"));
    connect(m_ok, &QPushButton::clicked, this, &TExportForm::okClicked);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_group);
    layout->addSpacing(4);
    layout->addWidget(label);
    layout->addLayout(nameRow);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

int TExportForm::ExportObject() const {
    return m_screenCopy->isChecked() ? 1 : 0;
}

void TExportForm::SetExportObject(int index) {
    (index == 1 ? m_screenCopy : m_printCopy)->setChecked(true);
}

QString TExportForm::FileName() const {
    return m_fileName->text();
}

void TExportForm::SetFileName(const QString& name) {
    m_fileName->setText(name);
}

TExportTarget TExportForm::Target() const {
    return ExportTarget(FileName(), m_filterIndex, m_folder);
}

void TExportForm::Browse() {
    TFileDialogRequest r;
    r.Save = true;
    r.Title = kExportBrowseTitle;
    r.Filter = kExportFilter;
    r.FilterIndex = m_filterIndex;
    r.HideReadOnly = true;
    // The folder of the name in the field when it has one, else the data folder.
    const QString typed = FileName().trimmed();
    const QDir base(m_folder.isEmpty() ? QDir::currentPath() : m_folder);
    if (!typed.isEmpty()) {
        const QFileInfo current(base.absoluteFilePath(typed));
        r.InitialDir = FolderWithSeparator(current.absolutePath()).toStdString();
        r.FileName = current.absoluteFilePath().toStdString();
    } else {
        r.InitialDir = FolderWithSeparator(base.absolutePath()).toStdString();
    }
    QString chosen;
    int filter = m_filterIndex;
    if (!RunFileDialog(r, false, chosen, nullptr, &filter)) return;
    m_fileName->setText(chosen);
    m_filterIndex = filter;
}

void TExportForm::okClicked() {
    if (FileName().trimmed().isEmpty()) {
        MessageDlg(kMsgNoExportFileName, TMsgDlgType::mtError, mbOK);
        m_fileName->setFocus();
        return;
    }
    accept();
}

void TExportForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

} // namespace lv
