#pragma once
// One report from a prepared request to a workbook in front of the operator: the office attached
// or started, the workbook made from the template (or found by its AddToSheet sheet), the
// handler run, and a final step that happens whatever the handler did — the first cell selected,
// automatic calculation restored, the workbook shown (or stored where no window can show it) —
// and the office released, still running.

#include <any>
#include <string>

#include "reports/uSpreadsheet.h"
#include "reports/uTemplates.h"

namespace lv {

extern const char* const kMsgTemplateNoSheet; // "В шаблоне отчета %s нет листа \"%s\"."
extern const char* const kMsgReportStored;    // "Отчет сохранен в файле \"%s\"."

struct TReportRunOptions {
    std::string FirstSheet;         // the sheet the handler starts on: "Протокол", "Сводка"
    bool ManualCalculation = false; // calculation off while the handler fills (construction documentation)
    // Scripts: the workbook is stored there (format by extension) and closed instead of shown.
    std::string StoreFile;
    // Where the workbook is stored when the office cannot show it (no desktop office or no
    // display); a file that exists is not replaced, " (2)", " (3)", … is added to the name.
    // A message names the file. Empty: the user's temporary folder, named after the report.
    std::string FallbackFile;
};

struct TReportRunResult {
    bool Generated = false;  // the handler ran to its end
    std::string StoredFile;  // where the workbook was stored, when it was not shown
};

// Runs the report of `info` (prepared by the holder) through `office`. Nothing happens when
// CanGenerate is not rsReady. An office that cannot start, a template it cannot open and a
// template without FirstSheet raise ESpreadsheetError (a workbook made for the report is closed
// unsaved first); an error of the handler is raised again after the final step.
TReportRunResult RunReport(TReportInfo& info, ISpreadsheetApp& office, const TReportRunOptions& options,
                           const std::any& dopInfo = {});

// `path`, or the first of "<stem> (2)<ext>", "<stem> (3)<ext>", … that does not exist.
std::string FreeFileName(const std::string& path);

} // namespace lv
