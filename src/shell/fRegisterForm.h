#pragma once
// Operator registration "Регистрация": the operator's personnel number or name. Any non-empty
// text is accepted exactly as typed (blanks included); there is no password and no list.

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

namespace lv {

class TRegisteringForm : public QDialog {
    Q_OBJECT
public:
    explicit TRegisteringForm(const QString& workerNum, QWidget* parent = nullptr);

    // The accepted identifier (valid after the dialog closed with OK).
    QString WorkerNum() const { return m_workerNum; }

    QLineEdit* TabNumEd() const { return m_tabNum; }
    QPushButton* OkBtn() const { return m_ok; }
    QPushButton* CancelBtn() const { return m_cancel; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void okClicked();

    QLineEdit* m_tabNum = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QString m_workerNum;
};

// Shows the dialog proposing `workerNum`; on OK stores the new identifier there and answers true.
// Cancel (also from the empty-identifier error) answers false and leaves `workerNum` unchanged.
bool RunRegistration(QString& workerNum, QWidget* parent = nullptr);

} // namespace lv
