#include "shell/fRegisterForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "trace/PromptService.h"

namespace lv {

TRegisteringForm::TRegisteringForm(const QString& workerNum, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), m_workerNum(workerNum) {
    setWindowTitle(QStringLiteral("Регистрация"));
    auto* label = new QLabel(QStringLiteral("Введите имя оператора : "));
    m_tabNum = new QLineEdit(workerNum);
    m_tabNum->setFixedWidth(225);
    label->setBuddy(m_tabNum);

    m_ok = new QPushButton(QStringLiteral("OK"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Отмена"));
    connect(m_ok, &QPushButton::clicked, this, &TRegisteringForm::okClicked);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_tabNum);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TRegisteringForm::okClicked() {
    const QString text = m_tabNum->text();
    if (!text.isEmpty()) {
        m_workerNum = text;
        accept();
        return;
    }
    const int answer = MessageDlg("Неверно введен табельный номер измерителя.\r\nПопробуйте еще раз!",
                                  TMsgDlgType::mtError, mbOK | mbCancel);
    if (answer == mrCancel)
        reject();
    else
        m_tabNum->setFocus();
}

void TRegisteringForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

bool RunRegistration(QString& workerNum, QWidget* parent) {
    TRegisteringForm form(workerNum, parent);
    if (form.exec() != QDialog::Accepted) return false;
    workerNum = form.WorkerNum();
    return true;
}

} // namespace lv
