#pragma once
// The parameter panel of the main window (488 × 114 pixels, lower left): the active trace's
// measurement parameters and the results between its markers. The fields stand here in their
// places; what fills them is the measurement panel's work, and until that exists they stay
// empty and disabled.

#include <QFrame>
#include <QMap>
#include <QString>

class QLabel;

namespace lv {

class TParamsPanel : public QFrame {
    Q_OBJECT
public:
    static constexpr int kWidth = 488;
    static constexpr int kHeight = 114;

    explicit TParamsPanel(QWidget* parent = nullptr);

    // A value field by its name ("Distance", "SpliceLoss", "Aprox", "WaveLength", "Attenuation",
    // "LengthRange", "AvrgTimes", "PulsWidth", "AvrgMethod", "GroupIndex", "Loss12", "Loss23",
    // "Distance12", "Distance23", "RelativeLoss12", "RelativeLoss23"); nullptr for another name.
    QLabel* Field(const QString& name) const { return m_fields.value(name); }
    QStringList FieldNames() const { return m_fields.keys(); }

    // The approximation field's code: 0 two-point, 1 least squares, −1 none.
    int AproxCode() const { return m_aproxCode; }
    // Empties every value field and sets the approximation code to −1 with empty text.
    void ClearValues();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* addField(const QString& name, int x, int y, int width);
    void addLabel(const QString& text, int rightX, int y, int width = 0);

    QMap<QString, QLabel*> m_fields;
    int m_aproxCode = -1;
};

} // namespace lv
