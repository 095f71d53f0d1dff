#pragma once
// TInBeforeForm, the tool window of the two inspection modes of the main window ("Входной
// контроль", mode 2, and "Предмонтажный контроль", mode 3): it opens the fibre traces of the data
// folder, holds the cable data the operator types, shows the batch parameters, and makes the
// inspection protocol. Always on top, captioned with the line name; closing it leaves the mode.
// Its fields and placement are kept in the settings group "TInBeforeForm".

#include <QPointer>
#include <QString>
#include <QWidget>

#include <map>
#include <memory>
#include <string>

#include "reports/uInspection.h"

class QAction;
class QLineEdit;
class QToolButton;

namespace lv {

class ISpreadsheetApp;
class TMainForm;
class TSORFlowForm;

extern const char* const kInBeforeSection;        // "TInBeforeForm"
extern const char* const kInBeforeTemplateFilter; // "Файлы Excel|*.xls;*.xlsx;*.ods|Все файлы|*.*"

class TInBeforeForm : public QWidget {
    Q_OBJECT
public:
    // Opens the set of `dataFolder` (ending with "/") in `main` and fills the batch parameters from
    // the current trace. `mode` is pmIncoming or pmPreInstallation.
    TInBeforeForm(TMainForm& main, int mode, const QString& dataFolder);
    ~TInBeforeForm() override;

    int Mode() const { return m_mode; }
    const QString& DataFolder() const { return m_dataFolder; }
    // The batch-parameter dialog of the window (the batch command uses it in this mode).
    TSORFlowForm& FlowDialog() { return *m_flow; }
    TInspectionReport& Report() { return m_report; }

    // The office the protocol is made in: the user's own (attached or started) unless another is
    // put here (not owned; nullptr: the user's again).
    void SetOffice(ISpreadsheetApp* office) { m_office = office; }

    // The report request as the window's fields and the main graph stand: the template of the
    // mode and its field, the cable data, the operator of the batch parameters, today's date,
    // every open trace with the fibre number its listing gave it, the current trace, and the
    // fallback file "<data folder><template>.xlsx".
    TInspectionRequest MakeRequest() const;
    // "Сгенерировать отчет": the protocol under the progress window; errors are shown. The main
    // graph and its panel show the settings the traces got.
    void GenerateReport();
    // "Выбрать шаблон": a workbook for the template field of the mode.
    void ChooseTemplate();
    // "Параметры": the batch-parameter dialog without its tasks; OK refreshes the copies.
    void ShowParams();
    // The ten read-only copies take the dialog's values.
    void RefreshParams();

    // An edit of the window by its control name ("DrumNum", "TmpInFile", "CID", …).
    QLineEdit* Field(const QString& name) const;
    // The template field of the mode: TmpInFile in mode 2, TmpBeforeFile in mode 3.
    QLineEdit* TemplateField() const;
    // "ReportBtn", "ProcessSOR1B", "ParamsBtn", "HelpBtn", "TmpChoose".
    QAction* Command(const QString& name) const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLineEdit* addEdit(const char* name, bool readOnly);
    void restoreSettings();
    void saveSettings();
    ISpreadsheetApp& office();

    TMainForm& m_main;
    int m_mode;
    QString m_dataFolder;
    std::map<QString, QLineEdit*> m_fields;
    TSORFlowForm* m_flow = nullptr;
    TInspectionReport m_report;
    ISpreadsheetApp* m_office = nullptr;
    std::unique_ptr<ISpreadsheetApp> m_ownOffice;
};

} // namespace lv
