#pragma once
// TSORFlowForm, the dialog "Потоковая обработка" of the batch conversion: the ten identification
// texts (group " Параметры ") and the tasks with the target folder (group " Задания "), kept in
// the settings group "TSORFlowForm". The inspection window shows it without its tasks as its
// "Параметры".

#include <QDialog>
#include <QString>

#include <array>

#include "reports/uSORFlow.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QSettings;
class QToolButton;

namespace lv {

extern const char* const kSORFlowSection; // "TSORFlowForm"

// The dialog's values in the settings: "<control>_Text" for the texts and the folder,
// "<control>_Checked" for the tasks, "DefPathEd_Color" for the folder field's colour.
TSORFlowParams ReadSORFlowParams(QSettings& settings);
void WriteSORFlowParams(QSettings& settings, const TSORFlowParams& params);

class TSORFlowForm : public QDialog {
    Q_OBJECT
public:
    explicit TSORFlowForm(QWidget* parent = nullptr);

    TSORFlowParams Params() const;
    void SetParams(const TSORFlowParams& params);
    // The stored values, or the defaults for a first start.
    void LoadStored();
    void Store() const;
    // The folder a relative target folder lies in.
    void SetDataFolder(const QString& folder) { m_dataFolder = folder; }

    // The inspection window's "Параметры": without the task group, captioned "Параметры" and lower
    // by the group's height; caption, height and group come back afterwards. OK stores the values.
    bool ExecParameters();

    // OK: a target folder that is used is shown absolute and made (with its parents); when it
    // cannot be, "Не удается создать указанную папку." and the dialog stays. Then the values are
    // stored.
    void accept() override;

    QLineEdit* TextField(const char* name) const;
    QGroupBox* ParamsGroup() const { return m_paramsGroup; }
    QGroupBox* TasksGroup() const { return m_tasksGroup; }
    QLineEdit* DefPathEd() const { return m_defPath; }
    QToolButton* ChooseDirBtn() const { return m_chooseDir; }
    QCheckBox* Task(const char* name) const; // "ParT", "SaveT", "PrintT", "RusPrint", "DirActive"

private:
    void chooseDir();
    void showFolderActive();

    QGroupBox* m_paramsGroup = nullptr;
    QGroupBox* m_tasksGroup = nullptr;
    std::array<QLineEdit*, kSORFlowTextCount> m_texts{};
    QCheckBox* m_parT = nullptr;
    QCheckBox* m_saveT = nullptr;
    QCheckBox* m_printT = nullptr;
    QCheckBox* m_rusPrint = nullptr;
    QCheckBox* m_dirActive = nullptr;
    QLineEdit* m_defPath = nullptr;
    QToolButton* m_chooseDir = nullptr;
    QString m_dataFolder;
};

} // namespace lv
