#include "shell/fParamsPanel.h"

#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>

#include "display/NumberFormat.h"
#include "trace/Variant.h"

namespace lv {

const double kMaxGroupIndex = 2.147483647;

std::optional<double> ParseGroupIndex(const QString& text) {
    double n = 0;
    if (!TryParseNumber(text.toStdString(), n) || !(n > 1.0 && n <= kMaxGroupIndex)) return std::nullopt;
    return n;
}

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

    aprox->installEventFilter(this);
    Field(QStringLiteral("GroupIndex"))->installEventFilter(this);
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
    // Texts from trace files are shown as they are, never read as markup.
    field->setTextFormat(Qt::PlainText);
    m_fields.insert(name, field);
    return field;
}

void TParamsPanel::addLabel(const QString& text, int rightX, int y, int width) {
    auto* label = new QLabel(text, this);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const int w = width > 0 ? width : label->sizeHint().width();
    label->setGeometry(rightX - kLabelGap - w, y, w, kFieldHeight);
}

QString TParamsPanel::Text(const QString& name) const {
    const QLabel* field = Field(name);
    return field ? field->text() : QString();
}

void TParamsPanel::setText(const QString& field, const QString& text) {
    m_fields.value(field)->setText(text);
}

void TParamsPanel::SetAprox(int code) {
    m_aproxCode = code;
    setText(QStringLiteral("Aprox"), AproxText(code));
}

void TParamsPanel::ClearValues() {
    for (QLabel* field : std::as_const(m_fields))
        field->clear();
    m_aproxCode = -1;
}

void TParamsPanel::ShowCursorDistance(double cursorX, double distanceKm) {
    const QString separator = QLocale().decimalPoint();
    setText(QStringLiteral("Distance"),
            cursorX >= 0 ? FormatFloat(distanceKm, TFloatFormat::Fixed, 3, separator) + QStringLiteral(" км")
                         : QString());
}

void TParamsPanel::ShowValues(const TPanelValues& v) {
    const QString separator = QLocale().decimalPoint();
    // `value` with `decimals` and its unit when `shown`, else nothing.
    auto fixed = [&](bool shown, double value, int decimals, const char* unit) {
        return shown ? FormatFloat(value, TFloatFormat::Fixed, decimals, separator) + QString::fromUtf8(unit)
                     : QString();
    };
    const bool first = v.Distance12 > 0, second = v.Distance23 > 0;
    setText(QStringLiteral("Distance12"), fixed(first, v.Distance12, 3, " км"));
    setText(QStringLiteral("Loss12"), fixed(first, v.Loss12, 3, " дБ"));
    setText(QStringLiteral("RelativeLoss12"), fixed(first, first ? v.Loss12 / v.Distance12 : 0, 3, " дБ/км"));
    setText(QStringLiteral("Distance23"), fixed(second, v.Distance23, 3, " км"));
    setText(QStringLiteral("Loss23"), fixed(second, v.Loss23, 3, " дБ"));
    setText(QStringLiteral("RelativeLoss23"),
            fixed(second, second ? v.Loss23 / v.Distance23 : 0, 3, " дБ/км"));
    setText(QStringLiteral("SpliceLoss"), fixed(first && second, v.SpliceLoss, 3, " дБ"));
    setText(QStringLiteral("WaveLength"), fixed(v.WaveLength > 0, v.WaveLength, 2, " мкм"));
    setText(QStringLiteral("Attenuation"), fixed(v.Attenuation >= 0, v.Attenuation, 2, " дБ"));
    setText(QStringLiteral("PulsWidth"),
            v.PulsWidth >= 1 ? QStringLiteral("%1 нс").arg(v.PulsWidth) : QString());
    setText(QStringLiteral("AvrgTimes"), AveragesText(v.AvrgTimes));
    setText(QStringLiteral("GroupIndex"), fixed(v.GroupIndex > 0, v.GroupIndex, 4, ""));
    SetAprox(v.Aprox);
    setText(QStringLiteral("LengthRange"), fixed(v.LengthRange > 0, v.LengthRange, 0, " км"));
    setText(QStringLiteral("AvrgMethod"), v.AvrgMethod);
}

bool TParamsPanel::eventFilter(QObject* watched, QEvent* event) {
    const auto* mouse = dynamic_cast<QMouseEvent*>(event);
    if (!mouse || mouse->button() != Qt::LeftButton) return QFrame::eventFilter(watched, event);
    if (watched == Field(QStringLiteral("Aprox"))) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            m_aproxPressed = true;
            break;
        case QEvent::MouseButtonDblClick:
            // The second press of a double-click is not another click.
            m_aproxPressed = false;
            break;
        case QEvent::MouseButtonRelease:
            if (m_aproxPressed &&
                static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint())) {
                m_aproxPressed = false;
                emit AproxClicked();
                return true;
            }
            m_aproxPressed = false;
            break;
        default:
            break;
        }
    } else if (watched == Field(QStringLiteral("GroupIndex")) &&
               event->type() == QEvent::MouseButtonDblClick) {
        emit GroupIndexDoubleClicked();
        return true;
    }
    return QFrame::eventFilter(watched, event);
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
