#include "shell/fIndicateOperation.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace lv {

namespace {
constexpr int kClientWidth = 474;
constexpr int kClientHeight = 130;
} // namespace

TIndicateOperationForm::TIndicateOperationForm(const QString& caption, const QString& message,
                                               std::function<void()> cancelHandler,
                                               std::function<void()> operation, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_cancelHandler(std::move(cancelHandler)), m_operation(std::move(operation)) {
    setWindowTitle(caption);
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(4, 4, kClientWidth - 8, 81);
    m_label = new QLabel(message, frame);
    m_label->setGeometry(4, 8, 457, 65);
    m_label->setWordWrap(true);
    m_label->setAlignment(Qt::AlignCenter);
    QFont f = m_label->font();
    f.setPointSize(12);
    f.setBold(true);
    m_label->setFont(f);
    QPalette p = m_label->palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 255));
    m_label->setPalette(p);

    m_cancel = new QPushButton(QStringLiteral("&Отмена"), this);
    m_cancel->setGeometry((kClientWidth - 75) / 2, 94, 75, 25);
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_cancelHandler) m_cancelHandler();
    });
}

void TIndicateOperationForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_started) return;
    m_started = true;
    if (!m_cancelHandler) {
        m_cancel->hide();
        setFixedSize(kClientWidth, m_cancel->geometry().top());
    }
    if (!parentWidget())
        if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    repaint();
    QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(kStartEvent)));
}

bool TIndicateOperationForm::event(QEvent* e) {
    if (e->type() != static_cast<QEvent::Type>(kStartEvent)) return QDialog::event(e);
    m_running = true;
    try {
        if (m_operation) m_operation();
    } catch (...) {
        // Raised again by RunIndicated once the modal loop has ended; left here it would
        // leave the window open with nothing to close it.
        m_failure = std::current_exception();
    }
    m_running = false;
    accept();
    return true;
}

void TIndicateOperationForm::reject() {
    // Escape is Cancel; the window itself closes only when the operation ends.
    if (m_cancelHandler && !m_cancel->isHidden()) m_cancelHandler();
}

void TIndicateOperationForm::closeEvent(QCloseEvent* event) {
    if (m_running || !m_started) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace lv
