#include "shell/fFlowParams.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "shell/Commonun.h"

namespace lv {

namespace {
// Enough digits for a typed fraction to reach the rounding; the editor shows no trailing zeros.
constexpr int kTypedDecimals = 3;

QString q(const char* utf8) {
    return QString::fromUtf8(utf8);
}
} // namespace

// ---- TFlowSpinEdit -----------------------------------------------------------------------------------

TFlowSpinEdit::TFlowSpinEdit(const TFlowIntField& field, QWidget* parent) : QDoubleSpinBox(parent) {
    setObjectName(QString::fromLatin1(field.Name));
    setDecimals(kTypedDecimals);
    setRange(field.Min, field.Max);
    setSingleStep(1);
    setValue(field.Default);
    setAlignment(Qt::AlignRight);
}

QString TFlowSpinEdit::textFromValue(double value) const {
    QLocale l = locale();
    l.setNumberOptions(l.numberOptions() | QLocale::OmitGroupSeparator);
    return l.toString(value, 'f', QLocale::FloatingPointShortest);
}

// ---- TFlowParamsFrm ------------------------------------------------------------------------------------

TFlowParamsFrm::TFlowParamsFrm(const TFlowParams& params, int processingMode, QWidget* parent)
    : QDialog(parent), m_params(params) {
    setObjectName(QStringLiteral("FlowParamsFrm"));
    setWindowTitle(q(kFlowParamsCaption));

    auto* grid = new QGridLayout;
    int row = 0;
    for (size_t i = 0; i < kFlowIntFields.size(); ++i, ++row) {
        const TFlowIntField& f = kFlowIntFields[i];
        m_ints[i] = new TFlowSpinEdit(f);
        m_ints[i]->setValue(params.*f.Member);
        auto* label = new QLabel(q(f.Label));
        label->setBuddy(m_ints[i]);
        grid->addWidget(label, row, 0);
        grid->addWidget(m_ints[i], row, 1);
        grid->addWidget(new QLabel(q(f.Unit)), row, 2);
    }
    m_auto = new QCheckBox(q(kFlowAutoLabel));
    m_auto->setObjectName(QStringLiteral("Auto"));
    m_auto->setChecked(params.Auto);
    m_cut = new QCheckBox(q(kFlowCutLabel));
    m_cut->setObjectName(QStringLiteral("Cut"));
    m_cut->setChecked(params.Cut);
    grid->addWidget(m_auto, row, 1, 1, 2);
    grid->addWidget(m_cut, ++row, 1, 1, 2);

    m_tmpFile = new QLineEdit(QString::fromStdString(params.TmpFile));
    m_tmpFile->setObjectName(QStringLiteral("TmpFile"));
    m_tmpFile->setMinimumWidth(300);
    m_tmpChoose = new QToolButton;
    m_tmpChoose->setObjectName(QStringLiteral("TmpChoose"));
    m_tmpChoose->setText(QStringLiteral("..."));
    m_tmpChoose->setToolTip(q(kFlowTemplateHint));
    connect(m_tmpChoose, &QToolButton::clicked, this, &TFlowParamsFrm::chooseTemplate);
    // The template is loaded as the construction window opens: in a work mode it stays as it is.
    if (!FlowTemplateEditable(processingMode)) {
        m_tmpFile->setReadOnly(true);
        QPalette pal = m_tmpFile->palette();
        pal.setColor(QPalette::Base, QApplication::palette().color(QPalette::Button));
        m_tmpFile->setPalette(pal);
        m_tmpChoose->hide();
    }
    auto* tmpLabel = new QLabel(q(kFlowTemplateLabel));
    tmpLabel->setBuddy(m_tmpFile);
    auto* tmpRow = new QHBoxLayout;
    tmpRow->addWidget(m_tmpFile, 1);
    tmpRow->addWidget(m_tmpChoose);
    grid->addWidget(tmpLabel, ++row, 0);
    grid->addLayout(tmpRow, row, 1, 1, 2);

    auto* ok = new QPushButton(QStringLiteral("ОК")); // Cyrillic letters, as the dialog has always said
    ok->setObjectName(QStringLiteral("OkBtn"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Отмена"));
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    auto* help = new QPushButton(QStringLiteral("Помощь"));
    help->setObjectName(QStringLiteral("HelpBtn"));
    help->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, [this] {
        m_params = Values();
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
}

TFlowParams TFlowParamsFrm::Values() const {
    TFlowParams p;
    std::array<double, 4> typed{};
    for (size_t i = 0; i < m_ints.size(); ++i) {
        m_ints[i]->interpretText(); // a text still being typed counts
        typed[i] = m_ints[i]->value();
    }
    StoreFlowValues(p, typed);
    p.Auto = m_auto->isChecked();
    p.Cut = m_cut->isChecked();
    p.TmpFile = m_tmpFile->text().toStdString();
    return p;
}

QWidget* TFlowParamsFrm::Control(const QString& name) const {
    return findChild<QWidget*>(name);
}

void TFlowParamsFrm::chooseTemplate() {
    TFileDialogRequest r;
    r.Filter = kFlowTemplateFilter;
    r.DefaultExt = kFlowTemplateExt;
    r.FileMustExist = true;
    const QFileInfo current(m_tmpFile->text());
    if (!m_tmpFile->text().isEmpty()) {
        r.InitialDir = current.absolutePath().toStdString();
        r.FileName = m_tmpFile->text().toStdString();
    }
    QString chosen;
    if (RunFileDialog(r, false, chosen)) m_tmpFile->setText(chosen);
}

} // namespace lv
