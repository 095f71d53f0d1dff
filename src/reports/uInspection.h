#pragma once
// Incoming and pre-installation inspection protocols: for every fibre of a cable its length and
// its attenuation at 1310 and 1550 nm, written into the workbook "VhPasport" (incoming inspection)
// or "PrPasport" (pre-installation inspection). The inspection window and lumvaris-cli run the
// same code: the window hands over the traces open in its graph, the command line the traces it
// loaded from the folder set. Nothing here opens a window; the end message goes through the
// prompt service.

#include <memory>
#include <string>
#include <vector>

#include "reports/uReportRun.h"
#include "reports/uSpreadsheet.h"
#include "reports/uTemplateBooks.h"
#include "reports/uTemplates.h"
#include "trace/DateTime.h"
#include "trace/Progress.h"

namespace lv {

class TRDataStorage;

extern const char* const kVhPasport;          // "VhPasport", incoming inspection
extern const char* const kPrPasport;          // "PrPasport", pre-installation inspection
extern const char* const kInspectionSheet;    // "Протокол"
extern const char* const kMsgInspectionSkipped; // files whose name is no fibre number: "%s" lists them
extern const char* const kMsgInspectionShort;   // fibres without attenuation: "%s" lists them

// "VhPasport" in incoming inspection (pmIncoming), "PrPasport" in pre-installation inspection
// (pmPreInstall); empty in every other mode.
std::string InspectionTemplateName(int mode);
// The cells of one of the two templates; raises EListError for any other name.
const TProtocolLayout& InspectionLayout(const std::string& templateName);

// The fibre a trace file stands for by its name alone: the file name without folder and
// extension, read as a decimal integer ("005.tra" is fibre 5); 0 when that is not an integer from
// 1 to 300. Only for a trace that did not come from a set's listing: the listing knows the number
// of a prefixed name ("a005.tra") too.
int FibreNumberOfFile(const std::string& fileName);

// The length by the marks as its cell takes it: a number when the text is a decimal number
// ("." or "," as separator), otherwise the text as typed.
TCellValue LengthByMarksValue(const std::string& text);

// Gives `trace` the measuring settings of `reference`, as if the operator had placed them there:
// start position, cursor, markers M1, M2, MY and M3, and the approximation method. The trace's
// readings are recalculated.
void CopyTraceSettings(TRDataStorage& reference, TRDataStorage& trace);

// True when the fit between the markers M1 and M2 of the trace has both ends on its samples. A
// fibre shorter than the markers would otherwise read as a loss of 0 dB (two-point fit) or as the
// noise beyond its end (least squares).
bool SectionOnTrace(TRDataStorage& trace);

// The cable data the operator typed into the window, and the date of the protocol.
struct TInspectionHeader {
    std::string LineName; // the data folder's last component, the window's caption
    std::string DrumNum;  // "Номер барабана", written as a text (leading zeros kept)
    std::string MarkEd;   // "Марка кабеля"
    std::string LengthEd; // "Длина по меткам, м": a number when it is one, else the text
    std::string SEd;      // "Начало кабеля"
    std::string EEd;      // "Конец кабеля"
    std::string Operator; // "Оператор" (OP) of the batch parameters
    TDateTime Today = 0;  // the date written; only whole days count
};

// A trace of the protocol and the fibre it stands for.
struct TInspectionTrace {
    TRDataStorage* Store = nullptr; // not owned
    // The fibre number the set's listing gave the file (TFibreFile::Number); a number outside
    // 1..300 leaves the trace out of the protocol and names it in the end message.
    int Fibre = 0;
};

// What the protocol is made of. The stores are not owned; those without data are passed over.
struct TInspectionData {
    TInspectionHeader Header;
    // The traces of the main graph in its order (the newest first). Every one with a fibre number
    // gets the reference's settings copied onto it.
    std::vector<TInspectionTrace> Traces;
    // The current trace of the main graph; without one that holds data no fibre row is written.
    TRDataStorage* Reference = nullptr;
};

// A trace whose attenuation the protocol leaves out.
struct TInspectionShortFibre {
    int Fibre = 0;
    int WavelengthNm = 0;
    std::string File;
    bool operator==(const TInspectionShortFibre&) const = default;
};

struct TInspectionOutcome {
    int LastRow = 0;                          // the last fibre row written, or the header row
    std::vector<std::string> SkippedFiles;    // names that are no fibre number 1..300
    std::vector<TInspectionShortFibre> ShortFibres; // M1..M2 beyond the trace: no attenuation
    bool Cancelled = false;                   // stopped by the operator before the table

    // The operator's end message: the skipped files and the fibres without attenuation; empty
    // when there is nothing to say.
    std::string Message() const;
};

// Fills the protocol on `sheet` of an open workbook made from the template with the cells `at`:
// the header, one row per fibre (the column of the trace's wavelength), the operator, the line
// under the last fibre row and the deletion of the rows below it. Cells are read once and written
// in blocks. `progress` is told each trace; a cancel stops before the table is written.
// Spreadsheet failures raise and leave the workbook as far as it got.
TInspectionOutcome FillInspectionProtocol(ISpreadsheetBook& book, TSheetHandle sheet, const TProtocolLayout& at,
                                          const TInspectionData& data, IProgress& progress);

// One press of the report button.
struct TInspectionRequest {
    int Mode = 0;             // pmIncoming or pmPreInstall: chooses the template
    std::string TemplateFile; // the window's template field of the mode; an existing file replaces the template
    TInspectionData Data;
    std::string StoreFile;    // scripts: the workbook is stored there and closed instead of shown
    std::string FallbackFile; // where it is stored when the office cannot show it (see TReportRunOptions)
};

struct TInspectionResult {
    TReportRunResult Run;
    TInspectionOutcome Outcome;
};

// The report part of the inspection window: its template holder "Template" with the two built-in
// protocols and their handler. A template replaced from a file stays replaced as long as this
// object lives (the window's life).
class TInspectionReport {
public:
    TInspectionReport();
    TInspectionReport(const TInspectionReport&) = delete;
    TInspectionReport& operator=(const TInspectionReport&) = delete;

    TReportTemplateHolder& Template() { return m_template; }

    // The report command: the template of the mode (replaced by the request's file when that
    // exists), the workbook made through `office`, the protocol filled, the workbook shown (or
    // stored), then the end message when there is one. Office failures and a template file that
    // cannot be read raise; the workbook made so far is still shown.
    TInspectionResult Generate(const TInspectionRequest& request, ISpreadsheetApp& office,
                               IProgress& progress);

private:
    TReportTemplateHolder m_template;
};

} // namespace lv
