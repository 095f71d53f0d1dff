#include "shell/fChooseMask.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace lv {

TChooseMaskForm::TChooseMaskForm(const std::vector<TFibreMask>& candidates, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("ChooseMaskForm"));
    setWindowTitle(QString::fromUtf8(kChooseMaskCaption));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(
        QString::fromUtf8(kChooseMaskText).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), this);
    text->setWordWrap(true);
    layout->addWidget(text);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("MaskList"));
    for (const TFibreMask& m : candidates)
        m_list->addItem(QString::fromStdString(m.Caption()));
    m_list->setCurrentRow(0);
    layout->addWidget(m_list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    layout->addWidget(buttons);
    resize(360, 260);
}

size_t TChooseMaskForm::Chosen() const {
    const int row = m_list->currentRow();
    return row < 0 ? 0 : static_cast<size_t>(row);
}

TMaskChooser DialogMaskChooser(QWidget* parent) {
    return [parent](const std::vector<TFibreMask>& candidates) {
        TChooseMaskForm form(candidates, parent);
        form.exec();
        return form.Chosen();
    };
}

} // namespace lv
