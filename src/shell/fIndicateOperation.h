#pragma once
// The modal progress window of a long operation (see RunIndicated in Commonun.h).

#include <QDialog>

#include <exception>
#include <functional>

class QLabel;
class QPushButton;

namespace lv {

class TIndicateOperationForm : public QDialog {
    Q_OBJECT
public:
    // The start request the window posts to itself once it is on screen.
    static constexpr int kStartEvent = 1000 + 200; // QEvent::User + 200

    TIndicateOperationForm(const QString& caption, const QString& message,
                           std::function<void()> cancelHandler, std::function<void()> operation,
                           QWidget* parent = nullptr);

    QLabel* MessageLabel() const { return m_label; }
    QPushButton* CancelButton() const { return m_cancel; }
    bool Running() const { return m_running; }
    // The exception the operation ended with, if any.
    std::exception_ptr Failure() const { return m_failure; }

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    QLabel* m_label = nullptr;
    QPushButton* m_cancel = nullptr;
    std::function<void()> m_cancelHandler;
    std::function<void()> m_operation;
    bool m_started = false;
    bool m_running = false;
    std::exception_ptr m_failure;
};

} // namespace lv
