#pragma once
// The construction documentation report: every fibre trace of a line's "AB/" and "BA/" folders is
// measured at the splices of the splice table, and the workbook "SimplePasport" is filled from the
// readings — "Сводка" with a row per fibre and three columns per splice (from A, from B, their
// average), one sheet per splice closure made from "Муфта", the loss statistics on "Потери" from
// the template's "СВТ", and the unused rows and columns of every sheet removed.
//
// The traces are measured before the office is started, so that a cancelled run leaves no
// half-filled workbook behind and the office is held only while the workbook is written. Rows are
// gathered in buffers and written in blocks; nothing written is read back cell by cell.
//
// The construction window and lumvaris-cli call MakeConstructionReport with plain data, a template
// holder, an office and a progress; messages go through the prompt service.

#include <optional>
#include <string>
#include <vector>

#include "reports/uFlowParams.h"
#include "reports/uFolderSets.h"
#include "reports/uReportRun.h"
#include "reports/uSpliceTable.h"
#include "reports/uSpreadsheet.h"
#include "reports/uTemplates.h"
#include "trace/DateTime.h"
#include "trace/Progress.h"

namespace lv {

extern const char* const kConstructionTemplate;   // "SimplePasport"
extern const char* const kMsgStartNegative;       // "Невозможно создать отчет.\r\nРасстояние до начала трассы …"
extern const char* const kMsgEndNotSet;           // "Невозможно создать отчет.\r\nМаркер конеца трассы …"
extern const char* const kMsgTooManySplices;      // "Невозможно создать отчет.\r\nВ таблице %s муфт, …"
extern const char* const kMsgReportIncomplete;    // "Не все данные вошли в отчет:"
extern const char* const kMsgTraceShorter;        // "трасса короче маркеров: %s"
extern const char* const kTraceSpan;              // "начало и конец трассы" (in the list above)

// The splice groups the template "SimplePasport" has on "Сводка"; more would run past its columns.
constexpr int kMaxReportSplices = 64;

// What the report command is given. The construction window takes it from its splice table
// (records in table order, its start and end), its fibre set (the listings of "AB/" and "BA/"),
// the construction parameters and the main window's approximation method.
struct TConstructionInput {
    std::string LineName;                // written to "Сводка"
    std::vector<TFibreFile> TracesAB;    // the fibre files of "AB/", any order
    std::vector<TFibreFile> TracesBA;    // of "BA/"
    std::vector<TSpliceRecord> Splices;  // splice k is the k-th record (by MPosF)
    double StartKm = 0;                  // the table's trace start s
    double EndKm = 0;                    // and end t
    TFlowParams Params;                  // FibCount, Auto and Cut size the table
    // The main window's method: 1 least squares, 0 two-point; anything else (-1: no active trace)
    // is least squares, the method of a new trace.
    int Approximation = 1;
    TDateTime Today = 0;                 // the date on the splice sheets; 0: today
};

// One fibre trace of one direction as the report reads it. A reading that is missing was not
// measured: it never stands for 0 dB.
struct TFibreReading {
    int Number = 0;
    std::string File;
    std::string Label;                       // the trace's comment, or its file name without extension
    std::optional<double> TotalLossDb;       // between the trace start and end
    std::optional<double> AttenuationDbKm;
    std::vector<std::optional<double>> SpliceLossDb; // one per splice record
};

// A fibre file that gave no readings or only some, and why.
struct TConstructionSkip {
    TFlowDirection Direction = TFlowDirection::AB;
    int Number = 0;
    std::string File;
    std::string Reason;
    bool operator==(const TConstructionSkip&) const = default;
};

struct TConstructionReadings {
    std::vector<TFibreReading> AB, BA; // ascending fibre number
    std::vector<TConstructionSkip> Skipped;
    bool Cancelled = false;
};

// The message that stops the report before anything is done, empty when it can be made: a
// negative start, an end not after the start, more splices than the template holds.
std::string ConstructionPrecondition(const TConstructionInput& input);

// Loads every fibre file of both directions into a trace store of its own and reads it at the
// splices of its direction (position > 0) and over the trace start to end. Steps 0..(files) of
// `totalSteps` go to the progress; a cancel stops at the next file.
TConstructionReadings MeasureConstruction(const TConstructionInput& input, IProgress& progress, int totalSteps = 0);

// How many of a fibre's mean splice losses (a row of "СВТ") do not exceed 0.05 dB and 0.1 dB, both
// by absolute value to 1/10000 dB. Only numbers count, and they are also the whole: a row without
// a number has no share.
struct TLossShares {
    int Count = 0, UpTo005 = 0, UpTo01 = 0;
    bool operator==(const TLossShares&) const = default;
};
std::optional<TLossShares> CountLossShares(const TCellRow& meanLosses);

// The rows and columns removed after the report is filled, as absolute ranges.
struct TConstructionTrim {
    int LastRow = 7;                  // the last fibre row of "Сводка" after the fibre-count rule
    bool TrimRows = false;            // rows below the table go (the last row + 1 ≤ 307)
    std::vector<TCellRange> SummaryBottomLines; // "A:G" and "I:GS" of the last row
    TCellRange SummaryRowsClear;      // "Сводка", contents and formats
    TCellRange SpliceRowsDelete;      // every splice sheet, shifted up
    TCellRange MeanRowsDelete;        // "СВТ"
    TCellRange MeasurementRowsDelete; // "Измерения"
    std::optional<TCellRange> LossRowsClear; // "Потери", contents of the kept rows after the last fibre
    TCellRange LossRowsDelete;        // "Потери"
    TCellRange LossTopLine;           // "Потери", the line over the rows that moved up
    bool TrimColumns = false;         // splice columns go (the last column ≤ 198)
    std::optional<TCellRange> MeanColumnsClear; // "СВТ", contents: at least 17 splice columns stay
    std::optional<TCellRange> MeanColumnsDelete; // "СВТ", shifted left
    int MeanWideColumn = 0;           // "СВТ", width 10.86
    TCellRange SummaryColumnsClear;   // "Сводка", right of the last splice group
};
// `lastRow`: the highest fibre row written (7 for none); `lastColumn`: the last splice group's
// third column (9 for none).
TConstructionTrim PlanConstructionTrim(int lastRow, int lastColumn, const TFlowParams& params);

// The report's handler: fills the workbook made from "SimplePasport" (`summary` is its "Сводка")
// from the readings, then recalculates, counts the statistics, restores automatic calculation and
// trims. Raises ESpreadsheetError from the office.
void FillConstructionReport(ISpreadsheetBook& book, TSheetHandle summary, const TConstructionInput& input,
                            const TConstructionReadings& readings);

// The skipped files as one message (at most 30 lines listed), empty when none.
std::string ConstructionSkippedMessage(const std::vector<TConstructionSkip>& skipped);

struct TConstructionReportResult {
    bool Generated = false;  // the workbook was filled
    bool Cancelled = false;  // the operator stopped the measuring
    std::string StoredFile;  // where it was stored instead of shown
    std::vector<TConstructionSkip> Skipped;
};

// The report command: the preconditions (their message, one OK button, and nothing else), the
// traces measured with progress, the request for "SimplePasport" prepared by `holder` (a missing
// template is told), the workbook made and filled through RunReport with calculation off while
// filling, and the skipped files told in one message at the end. Office errors propagate.
// `runOptions` may set where the workbook is stored instead of shown; its sheet and calculation
// fields are the report's own.
TConstructionReportResult MakeConstructionReport(IReportTemplateHolder& holder, ISpreadsheetApp& office,
                                                 const TConstructionInput& input, IProgress& progress,
                                                 TReportRunOptions runOptions = {});

// Adds the report's template "SimplePasport" to a holder: the built-in workbook, replaced by the
// parameters' template file when that names a file that exists (an unreadable one raises EFileError).
TReportTemplateItem& AddConstructionTemplate(TReportTemplateHolder& holder, const std::string& templateFile);

} // namespace lv
