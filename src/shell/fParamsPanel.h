#pragma once
// The parameter panel of the main window (488 × 114 pixels, lower left): the active trace's
// measurement parameters and the results between its markers, written by the main window's
// posted updates. Two fields answer the mouse: a click on the approximation field and a
// double-click on the group index.

#include <QFrame>
#include <QMap>
#include <QString>

#include <optional>

#include "display/NumberFormat.h" // AproxText, AveragesText

class QLabel;

namespace lv {

// The active trace's values as the panel shows them (the main window keeps this snapshot).
// Cleared, it shows nothing: the attenuation is negative and the approximation code −1.
struct TPanelValues {
    double Distance12 = 0;   // km
    double Loss12 = 0;       // dB
    double Distance23 = 0;   // km
    double Loss23 = 0;       // dB
    double SpliceLoss = 0;   // dB
    double WaveLength = 0;   // µm
    double Attenuation = -1; // dB, the instrument's attenuator; negative when not recorded
    int PulsWidth = 0;       // ns
    int AvrgTimes = 0;
    double GroupIndex = 0;
    double LengthRange = 0; // km
    QString AvrgMethod;
    int Aprox = -1; // 0 two-point, 1 least squares, −1 no trace
    QString Caption;
    QString FileName;
};

// The group index the operator typed ("," or "." as separator, blanks around it ignored), when it
// lies in 1 < n ≤ kMaxGroupIndex. TRA files keep n in millionths of a 32-bit field and read 1 or
// less back as missing; the upper bound stays far inside the field, and above any real fibre's.
extern const double kMaxGroupIndex; // 2.147483647
std::optional<double> ParseGroupIndex(const QString& text);

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
    // A field's text.
    QString Text(const QString& name) const;

    // The approximation field's code: 0 two-point, 1 least squares, −1 none.
    int AproxCode() const { return m_aproxCode; }
    // Sets the code and its text.
    void SetAprox(int code);
    // Empties every value field and sets the approximation code to −1 with empty text.
    void ClearValues();

    // The distance from the trace's start to the cursor, km, with 3 decimals; nothing while the
    // cursor (`cursorX`, km) is hidden (negative).
    void ShowCursorDistance(double cursorX, double distanceKm);
    // Every field but the distance from `values`, by the rules of each field; the decimal
    // separator is the locale's.
    void ShowValues(const TPanelValues& values);

signals:
    // A left click on the approximation field (the second click of a double-click is none).
    void AproxClicked();
    // A double-click on the group index.
    void GroupIndexDoubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* addField(const QString& name, int x, int y, int width);
    void addLabel(const QString& text, int rightX, int y, int width = 0);
    void setText(const QString& field, const QString& text);

    QMap<QString, QLabel*> m_fields;
    int m_aproxCode = -1;
    bool m_aproxPressed = false;
};

} // namespace lv
