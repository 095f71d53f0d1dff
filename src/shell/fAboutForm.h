#pragma once
// The about box "О программе".

#include <QDialog>

class QPushButton;

namespace lv {

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);
    QPushButton* OkBtn() const { return m_ok; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* m_ok = nullptr;
};

} // namespace lv
