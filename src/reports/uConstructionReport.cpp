#include "reports/uConstructionReport.h"

#include <filesystem>

#include "formats/FileErrors.h"
#include "reports/uTemplateBooks.h"
#include "trace/PromptService.h"

namespace lv {

const char* const kConstructionTemplate = "SimplePasport";
const char* const kMsgStartNegative =
    "Невозможно создать отчет.\r\n"
    "Расстояние до начала трассы отрицательно.\r\nУстановите начало трассы и повторите попытку.";
const char* const kMsgEndNotSet =
    "Невозможно создать отчет.\r\n"
    "Маркер конеца трассы не установлен или установлен некорректно.\r\n"
    "Установите маркер End на конец трассы и повторите попытку.";
const char* const kMsgTooManySplices =
    "Невозможно создать отчет.\r\n"
    "Муфт в таблице (%s) больше, чем помещается в отчет (64).\r\nРазделите линию на участки и повторите попытку.";
const char* const kMsgReportIncomplete = "Не все данные вошли в отчет:";

namespace {

constexpr size_t kListedSkips = 30;

std::string oneLine(std::string s) {
    for (size_t p; (p = s.find("\r\n")) != std::string::npos;) s.replace(p, 2, " ");
    for (char& c : s)
        if (c == '\n' || c == '\r') c = ' ';
    return s;
}

} // namespace

std::string ConstructionPrecondition(const TConstructionInput& in) {
    if (in.StartKm < 0) return kMsgStartNegative;
    if (!(in.StartKm < in.EndKm)) return kMsgEndNotSet;
    if (in.Splices.size() > static_cast<size_t>(kMaxReportSplices))
        return FormatS(kMsgTooManySplices, std::to_string(in.Splices.size()));
    return {};
}

std::string ConstructionSkippedMessage(const std::vector<TConstructionSkip>& skipped) {
    if (skipped.empty()) return {};
    std::string text = kMsgReportIncomplete;
    for (size_t i = 0; i < skipped.size() && i < kListedSkips; ++i) {
        const TConstructionSkip& s = skipped[i];
        text += "\r\n";
        text += s.Direction == TFlowDirection::AB ? "A-B" : "B-A";
        text += ", волокно " + std::to_string(s.Number) + " (" + std::filesystem::path(s.File).filename().string() +
                "): " + oneLine(s.Reason);
    }
    if (skipped.size() > kListedSkips) text += "\r\n… и еще " + std::to_string(skipped.size() - kListedSkips);
    return text;
}

TConstructionReportResult MakeConstructionReport(IReportTemplateHolder& holder, ISpreadsheetApp& office,
                                                 const TConstructionInput& input, IProgress& progress,
                                                 TReportRunOptions runOptions) {
    TConstructionReportResult result;
    const std::string refusal = ConstructionPrecondition(input);
    if (!refusal.empty()) {
        MessageDlg(refusal, TMsgDlgType::mtError, mbOK);
        return result;
    }

    // The measuring, then one step for the workbook.
    const int files = static_cast<int>(input.TracesAB.size() + input.TracesBA.size());
    const int total = files + 1;
    const TConstructionReadings readings = MeasureConstruction(input, progress, total);
    result.Skipped = readings.Skipped;
    if (readings.Cancelled) {
        result.Cancelled = true;
        return result;
    }

    TReportInfo info;
    info.Name = kConstructionTemplate;
    holder.PrepareReport(info);
    if (info.Failed != 0) {
        MessageDlg(info.GetMessage(), TMsgDlgType::mtError, mbOK);
        return result;
    }
    // The holder supplies the workbook and its switches; the filling is this report's own.
    info.OnGenerateReport = [&](TReportInfo& request, const std::any&) {
        FillConstructionReport(*request.Book, request.Cells, input, readings);
    };
    progress.Step(files, total, "Заполнение отчета");
    runOptions.FirstSheet = TConstructionLayout::Summary;
    runOptions.ManualCalculation = true;
    const TReportRunResult run = RunReport(info, office, runOptions);
    progress.Step(total, total, {});
    result.Generated = run.Generated;
    result.StoredFile = run.StoredFile;
    if (result.Generated) {
        const std::string skipped = ConstructionSkippedMessage(result.Skipped);
        if (!skipped.empty()) MessageDlg(skipped, TMsgDlgType::mtWarning, mbOK);
    }
    return result;
}

TReportTemplateItem& AddConstructionTemplate(TReportTemplateHolder& holder, const std::string& templateFile) {
    TReportTemplateItem& item = holder.Reports().Add();
    item.SetName(kConstructionTemplate);
    std::error_code ec;
    if (!templateFile.empty() && std::filesystem::is_regular_file(templateFile, ec))
        item.FileTemplate().LoadFromFile(templateFile);
    else
        item.FileTemplate().SetData(BuiltInTemplateData(kConstructionTemplate));
    return item;
}

} // namespace lv
