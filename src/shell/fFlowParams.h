#pragma once
// TFlowParamsFrm, the modal dialog "Параметры (Строит. документация)": the distances that place
// the measurement markers around a splice, the cable's fibre count and how the report table is
// sized to it, and a workbook that replaces the built-in report template. It edits a copy of the
// values and hands them back on "ОК", the integers rounded; "Отмена" changes nothing. A new dialog
// is made for every opening.

#include <QDialog>
#include <QDoubleSpinBox>

#include <array>

#include "reports/uFlowParams.h"

class QCheckBox;
class QLineEdit;
class QToolButton;

namespace lv {

// A spin editor of a whole-number setting that takes a fraction as typed (rounded when stored)
// and shows its value without trailing zeros or digit groups.
class TFlowSpinEdit : public QDoubleSpinBox {
    Q_OBJECT
public:
    explicit TFlowSpinEdit(const TFlowIntField& field, QWidget* parent = nullptr);

protected:
    QString textFromValue(double value) const override;
};

class TFlowParamsFrm : public QDialog {
    Q_OBJECT
public:
    // Shows `params`; in a work mode (`processingMode` ≠ 0) the template can only be looked at.
    TFlowParamsFrm(const TFlowParams& params, int processingMode, QWidget* parent = nullptr);

    // The values as the controls hold them now, the integers rounded into their ranges.
    TFlowParams Values() const;
    // The values accepted by "ОК" (the opening ones before that).
    const TFlowParams& Params() const { return m_params; }

    // A control by component name ("DistM12", "Auto", "TmpFile", "TmpChoose", "OkBtn", ...).
    QWidget* Control(const QString& name) const;

private:
    void chooseTemplate();

    TFlowParams m_params;
    std::array<TFlowSpinEdit*, 4> m_ints{};
    QCheckBox* m_auto = nullptr;
    QCheckBox* m_cut = nullptr;
    QLineEdit* m_tmpFile = nullptr;
    QToolButton* m_tmpChoose = nullptr;
};

} // namespace lv
