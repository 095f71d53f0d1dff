#include "shell/fParamsPanel.h"

#include <QLabel>
#include <QPainter>

namespace lv {

namespace {
constexpr int kFieldHeight = 19;
constexpr int kLabelGap = 4;
constexpr int kFirstLineY = 24; // the line under the first row
constexpr int kMiddleLineX = 305;
constexpr int kRightLineX = 392;
} // namespace

TParamsPanel::TParamsPanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Panel8"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setFixedSize(kWidth, kHeight);
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(8);
    setFont(f);

    addLabel(QStringLiteral("Расстояние"), 112, 3);
    addField(QStringLiteral("Distance"), 112, 3, 78);
    addLabel(QStringLiteral("Потери"), 268, 3);
    addField(QStringLiteral("SpliceLoss"), 268, 3, 85);
    QLabel* aprox = addField(QStringLiteral("Aprox"), 404, 3, 61);
    aprox->setAlignment(Qt::AlignCenter);
    aprox->setStyleSheet(QStringLiteral("QLabel { background: #ff0000; color: white; }"));

    addLabel(QStringLiteral("Длина волны"), 88, 26);
    addField(QStringLiteral("WaveLength"), 88, 26, 65);
    addLabel(QStringLiteral("Ослабление"), 232, 26);
    addField(QStringLiteral("Attenuation"), 232, 26, 73 - 4);
    auto* head12 = new QLabel(QStringLiteral("Маркер 1-2"), this);
    head12->move(316, 30);
    auto* head23 = new QLabel(QStringLiteral("Маркер 2-3"), this);
    head23->move(405, 30);

    addLabel(QStringLiteral("Диап. длин"), 88, 46);
    addField(QStringLiteral("LengthRange"), 88, 46, 65);
    addLabel(QStringLiteral("Усреднение"), 232, 46);
    addField(QStringLiteral("AvrgTimes"), 232, 46, 73 - 4);
    addField(QStringLiteral("Loss12"), 316, 47, 74);
    addField(QStringLiteral("Loss23"), 404, 47, 77);

    addLabel(QStringLiteral("Импульс"), 88, 66);
    addField(QStringLiteral("PulsWidth"), 88, 66, 65);
    addLabel(QStringLiteral("Метод усред."), 232, 66);
    addField(QStringLiteral("AvrgMethod"), 232, 66, 73 - 4);
    addField(QStringLiteral("Distance12"), 316, 68, 74);
    addField(QStringLiteral("Distance23"), 404, 68, 77);

    addLabel(QStringLiteral("Показатель преломления"), 152, 88, 137);
    addField(QStringLiteral("GroupIndex"), 152, 88, 153 - 4);
    addField(QStringLiteral("RelativeLoss12"), 316, 89, 74);
    addField(QStringLiteral("RelativeLoss23"), 404, 89, 77);

    ClearValues();
}

QLabel* TParamsPanel::addField(const QString& name, int x, int y, int width) {
    auto* field = new QLabel(this);
    field->setObjectName(name);
    field->setGeometry(x, y, width, kFieldHeight);
    field->setFrameShape(QFrame::Panel);
    field->setFrameShadow(QFrame::Sunken);
    field->setAutoFillBackground(true);
    field->setStyleSheet(QStringLiteral("QLabel { background: #000080; color: white; padding-left: 2px; }"));
    // Nothing computes these values yet: the fields show nothing and take no clicks.
    field->setEnabled(false);
    m_fields.insert(name, field);
    return field;
}

void TParamsPanel::addLabel(const QString& text, int rightX, int y, int width) {
    auto* label = new QLabel(text, this);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const int w = width > 0 ? width : label->sizeHint().width();
    label->setGeometry(rightX - kLabelGap - w, y, w, kFieldHeight);
}

void TParamsPanel::ClearValues() {
    for (QLabel* field : std::as_const(m_fields))
        field->clear();
    m_aproxCode = -1;
}

void TParamsPanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter p(this);
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(2, kFirstLineY, width() - 3, kFirstLineY);
    p.drawLine(kMiddleLineX, kFirstLineY, kMiddleLineX, height() - 3);
    p.drawLine(kRightLineX, kFirstLineY, kRightLineX, height() - 3);
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(2, kFirstLineY + 1, width() - 3, kFirstLineY + 1);
    p.drawLine(kMiddleLineX + 1, kFirstLineY + 1, kMiddleLineX + 1, height() - 3);
    p.drawLine(kRightLineX + 1, kFirstLineY + 1, kRightLineX + 1, height() - 3);
}

} // namespace lv
