#include "shell/fAboutForm.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "shell/uStartup.h"

namespace lv {

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("О программе"));

    auto* icon = new QLabel;
    icon->setPixmap(ProgramIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignTop);

    auto* title = new QLabel(QStringLiteral("Lumvaris"));
    QFont f = title->font();
    f.setPointSize(f.pointSize() + 6);
    f.setBold(true);
    title->setFont(f);
    const QString version = QCoreApplication::applicationVersion().isEmpty()
                                ? QStringLiteral("2.0")
                                : QCoreApplication::applicationVersion();
    auto* text = new QLabel(QStringLiteral("Измеритель параметров оптического кабеля\n"
                                           "Версия ") +
                            version +
                            QStringLiteral("\n\nПросмотр и измерение рефлектограмм оптического\n"
                                           "кабеля, печать и протоколы контроля."));

    auto* texts = new QVBoxLayout;
    texts->addWidget(title);
    texts->addWidget(text);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(texts);

    m_ok = new QPushButton(QStringLiteral("OK"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TAboutForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

} // namespace lv
