#pragma once
// TDisplayParamsFrm, the modal dialog "Параметры интерфейса": how the main graph shows traces,
// how traces are saved and what a printed page carries. It edits a copy of the values (a
// TDisplayParams read from the main graph and the settings when it opens) and hands them back
// on "ОК", checked, to be applied as a whole; "Отмена" changes nothing. Its placement, its page
// and its focused control are kept under "TDisplayParamsFrm".

#include <QDialog>
#include <QGroupBox>
#include <QSpinBox>
#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "display/CurveReduce.h"
#include "display/GraphLayout.h"
#include "display/uGraphsCmps.h"
#include "trace/MainSettings.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace lv {

extern const char* const kDisplayParamsSection; // "TDisplayParamsFrm"
extern const char* const kMsgNoDataFolder;      // "Папка \"%s\" не найдена.\r\n…"

// What the dialog edits, named after the properties it writes.
struct TDisplayParams {
    TCursorType CursorType = ctCross;
    TDisplayMethod DisplayMethod = dmEliminate;
    THeaderContent HeaderContent = hcCaption;
    bool XGridsVisible = true; // "Вертикальная сетка"
    bool YGridsVisible = true; // "Горизонтальная сетка"
    bool DoSaveAs = true;
    std::string DataDir;
    int GraphsOnPage = 3;       // 1..8
    int GroupGraphsOnPrint = 1; // 1..20000
    bool ShowSetNum = false;
    std::string SetNum;
    bool ShowWorkerNum = true;
    std::string WorkerNum = "0000";
    bool ShowFileCaption = false;
    bool ShowFileName = false;
    bool ParamsBorder = false;
    bool GraphBorder = false;
    bool SaveBeforePrint = true;
    friend bool operator==(const TDisplayParams&, const TDisplayParams&) = default;
};

TDisplayParams ReadDisplayParams(const TMainGraph& graph, const TMainSettings& settings);
// Nothing when the values can be applied; else the message that says why not (a data folder
// that does not exist).
std::optional<std::string> ValidateDisplayParams(const TDisplayParams& params);
// Writes every value, in the dialog's order, into the graph and the settings. Checked values
// cannot fail here; the caller brackets the graph's changes so that it repaints once. The data
// folder only names where traces go: the process's working folder stays as it is.
void ApplyDisplayParams(const TDisplayParams& params, TMainGraph& graph, TMainSettings& settings);

// A group of radio buttons in columns, one of them chosen (ItemIndex; -1 none).
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& title, const QStringList& items, int columns, QWidget* parent = nullptr);
    int ItemIndex() const;
    void SetItemIndex(int index);
    QStringList Items() const;
    // The chosen button, or the first one when none is chosen.
    QWidget* FocusTarget() const;

private:
    QButtonGroup* m_buttons;
};

// A spin box whose value changes by its arrows, the arrow keys and the wheel only: no typing.
class TArrowSpinBox : public QSpinBox {
    Q_OBJECT
public:
    TArrowSpinBox(int minimum, int maximum, QWidget* parent = nullptr);
};

class TDisplayParamsFrm : public QDialog {
    Q_OBJECT
public:
    enum TPage { psTraceView = 0, psPrint = 1 };

    // Shows `params`; restores the stored placement and page (the focus follows once shown).
    explicit TDisplayParamsFrm(const TDisplayParams& params, QWidget* parent = nullptr);

    // The values as the controls hold them now.
    TDisplayParams Values() const;
    // The values accepted by "ОК" (the opening ones before that).
    const TDisplayParams& Params() const { return m_params; }

    // "По умолчанию": the controls of the page shown go back to their defaults.
    void ResetShownPage();
    // The page control ("PageControl1") and its pages by component name.
    QTabWidget* PageControl() const { return m_pages; }
    // A control by component name ("GraphCursor", "SetNumEd", "OkBtn", ...).
    QWidget* Control(const QString& name) const;
    // The names that can hold the focus, in page order (those "ActiveControl" may name).
    static QStringList ControlNames();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void buildTraceViewPage();
    void buildPrintPage();
    void showValues(const TDisplayParams& p);
    void okClicked();
    void chooseDataDir();
    void setNumFollowsItsBox();
    // The component name of the control that holds the focus (a radio button counts as its
    // group), or empty.
    QString focusedControl() const;
    void restoreFocus();
    void saveState();

    TDisplayParams m_params;
    QString m_storedFocus;
    bool m_focusRestored = false;
    QTabWidget* m_pages = nullptr;
    TRadioGroup* m_cursor = nullptr;
    TRadioGroup* m_display = nullptr;
    TRadioGroup* m_caption = nullptr;
    QCheckBox* m_horzGrid = nullptr;
    QCheckBox* m_vertGrid = nullptr;
    QCheckBox* m_doSaveAs = nullptr;
    QLineEdit* m_dataDir = nullptr;
    QPushButton* m_chDir = nullptr;
    QCheckBox* m_showSetNum = nullptr;
    QLineEdit* m_setNum = nullptr;
    QCheckBox* m_showWorkerNum = nullptr;
    QLineEdit* m_workerNum = nullptr;
    QCheckBox* m_showFileCaption = nullptr;
    QCheckBox* m_showFileName = nullptr;
    QCheckBox* m_paramsBorder = nullptr;
    TArrowSpinBox* m_graphsPerPage = nullptr;
    TArrowSpinBox* m_graphGroup = nullptr;
    QCheckBox* m_graphBorder = nullptr;
    QCheckBox* m_saveBeforePrint = nullptr;
};

} // namespace lv
