#include "reports/uInspection.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "formats/FileErrors.h"
#include "reports/uFolderSets.h"
#include "trace/Numeric.h"
#include "trace/PromptService.h"
#include "trace/TraceParams.h"
#include "trace/uGraphIntfs.h"

namespace lv {

const char* const kVhPasport = "VhPasport";
const char* const kPrPasport = "PrPasport";
const char* const kInspectionSheet = "Протокол";
const char* const kMsgInspectionSkipped = "Файлы, имя которых не номер волокна от 1 до 300, в протокол не вошли: %s.";
const char* const kMsgInspectionShort =
    "Участок между маркерами M1 и M2 выходит за конец рефлектограммы, затухание не записано: %s.";

std::string InspectionTemplateName(int mode) {
    if (mode == pmIncoming) return kVhPasport;
    if (mode == pmPreInstall) return kPrPasport;
    return {};
}

const TProtocolLayout& InspectionLayout(const std::string& templateName) {
    if (templateName == kVhPasport) return kVhPasportLayout;
    if (templateName == kPrPasport) return kPrPasportLayout;
    throw EListError("Нет протокола контроля \"" + templateName + "\"");
}

namespace {

// The last path component; stored paths may still use "\".
std::string fileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool hasData(TRDataStorage* t) {
    return t && t->DataPresent() && t->SetupPresent();
}

// Markers and the cursor "not placed" are -1 m in the files; the setters take kilometres.
constexpr double kNotPlacedKm = -0.001;
double placedOrNone(double km) {
    return km >= 0 ? km : kNotPlacedKm;
}

// The length a cell already holds, when it holds one (a number, or a text that reads as one). An
// empty cell, a formula's empty text and a text that is no number hold none.
bool lengthIn(const TCellValue& v, double& length) {
    if (v.kind == TCellValue::Kind::Number || v.kind == TCellValue::Kind::Date) {
        length = v.number;
        return true;
    }
    return v.kind == TCellValue::Kind::Text && TryParseNumber(v.text, length);
}

// One column of the fibre table as read, with the cells the report changed.
struct TableColumn {
    int column = 0;
    std::vector<TCellValue> values; // fibre rows, first to last
    std::vector<bool> changed;

    void set(size_t i, TCellValue v) {
        values[i] = std::move(v);
        changed[i] = true;
    }
    // Each run of changed cells in one block: a full set is one write per column.
    void write(ISpreadsheetBook& book, TSheetHandle sheet, int firstRow) const {
        for (size_t i = 0; i < values.size();) {
            if (!changed[i]) {
                ++i;
                continue;
            }
            TCellBlock block;
            const size_t start = i;
            for (; i < values.size() && changed[i]; ++i) block.push_back({values[i]});
            book.PutValues(sheet, firstRow + static_cast<int>(start), column, block);
        }
    }
};

std::string joined(const std::vector<std::string>& items) {
    std::string s;
    for (const auto& item : items) s += (s.empty() ? "" : ", ") + item;
    return s;
}

} // namespace

int FibreNumberOfFile(const std::string& fileName) {
    std::string base = fileNameOf(fileName);
    const size_t dot = base.find_last_of('.');
    if (dot != std::string::npos) base.erase(dot);
    if (base.empty()) return 0;
    int number = 0;
    for (char c : base) {
        if (c < '0' || c > '9') return 0;
        number = number * 10 + (c - '0');
        if (number > kMaxFibreNumber) return 0; // also keeps a long name from overflowing
    }
    return number >= 1 ? number : 0;
}

TCellValue LengthByMarksValue(const std::string& text) {
    // strtod would also take hexadecimal numbers and "inf": only plain decimals count.
    const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || c == '.' || c == ',' || c == '+' || c == '-' || c == 'e' || c == 'E' ||
               c == ' ';
    });
    double v = 0;
    if (plain && TryParseNumber(text, v)) return TCellValue::Num(v);
    return TCellValue::Text(text);
}

void CopyTraceSettings(TRDataStorage& reference, TRDataStorage& trace) {
    trace.SetReference(reference.GetReference());
    trace.SetCursor(placedOrNone(reference.GetCursor()));
    // M1, M2, M3 and MY (Y2); the other Y markers are the trace's own.
    for (int index : {0, 1, 2, 4}) trace.SetMarker(index, placedOrNone(reference.GetMarker(index)));
    trace.SetApproximation(reference.GetApproximation());
}

bool SectionOnTrace(TRDataStorage& trace) {
    const TVariant& samples = trace.Param(prmDBIR);
    if (!trace.SetupPresent() || !trace.DataPresent() || !samples.IsArray()) return false;
    int last = samples.Count() - 1;
    const int limit = trace.GetLastIndex();
    if (limit >= 0 && limit < last) last = limit;
    const double x0 = trace.GetBound(0), dx = trace.GetStep();
    const double m1 = trace.GetMarker(0), m2 = trace.GetMarker(1);
    if (!(dx > 0) || m1 < 0 || m2 < 0) return false;
    // The sample index below each end, as the fit looks the levels up.
    auto onSamples = [&](double x) {
        const double t = std::floor((x - x0) / dx);
        return t >= 0 && t < last;
    };
    return onSamples(m1) && onSamples(m2);
}

std::string TInspectionOutcome::Message() const {
    std::vector<std::string> lines;
    if (!SkippedFiles.empty()) {
        std::vector<std::string> names;
        for (const auto& f : SkippedFiles) names.push_back(f.empty() ? "Без имени" : ShortTraceName(f));
        lines.push_back(FormatS(kMsgInspectionSkipped, joined(names)));
    }
    if (!ShortFibres.empty()) {
        std::vector<std::string> fibres;
        for (const auto& f : ShortFibres)
            fibres.push_back(std::to_string(f.Fibre) + " (" + std::to_string(f.WavelengthNm) + " нм, " + ShortTraceName(f.File) + ")");
        lines.push_back(FormatS(kMsgInspectionShort, joined(fibres)));
    }
    std::string text;
    for (const auto& l : lines) text += (text.empty() ? "" : "\r\n") + l;
    return text;
}

TInspectionOutcome FillInspectionProtocol(ISpreadsheetBook& book, TSheetHandle sheet, const TProtocolLayout& at,
                                          const TInspectionData& data, IProgress& progress) {
    TInspectionOutcome out;
    out.LastRow = at.HeaderRow();
    const TInspectionHeader& h = data.Header;
    auto put = [&](int row, int column, TCellValue v) { book.PutValues(sheet, row, column, {{std::move(v)}}); };

    put(at.LineRow, at.LineColumn, TCellValue::Text(h.LineName));
    put(at.DateRow, at.DateColumn, TCellValue::Date(std::floor(h.Today)));
    put(at.MarkRow, at.MarkColumn, TCellValue::Text(h.MarkEd));
    put(at.DrumRow, at.DrumColumn, TCellValue::Text(h.DrumNum));
    put(at.MarksRow, at.MarksColumn, TCellValue::Text(h.SEd + "; " + h.EEd));
    put(at.LengthRow, at.LengthColumn, LengthByMarksValue(h.LengthEd));

    TRDataStorage* reference = data.Reference;
    if (hasData(reference)) {
        const int first = at.FirstRow();
        const size_t rows = static_cast<size_t>(at.LastRow - first + 1);
        const int left = std::min({at.FibreLengthColumn, at.Attenuation1310Column, at.Attenuation1550Column});
        const int right = std::max({at.FibreLengthColumn, at.Attenuation1310Column, at.Attenuation1550Column});
        // The table as the template has it: a chosen template may hold lengths already.
        const TCellBlock table = book.GetValues(sheet, {first, left, at.LastRow, right});
        auto columnOf = [&](int column) {
            TableColumn c{column, std::vector<TCellValue>(rows), std::vector<bool>(rows, false)};
            for (size_t i = 0; i < rows && i < table.size(); ++i)
                c.values[i] = table[i][static_cast<size_t>(column - left)];
            return c;
        };
        TableColumn lengths = columnOf(at.FibreLengthColumn);
        TableColumn at1310 = columnOf(at.Attenuation1310Column);
        TableColumn at1550 = columnOf(at.Attenuation1550Column);

        const int total = static_cast<int>(data.Traces.size());
        for (int k = 0; k < total; ++k) {
            const TInspectionTrace& entry = data.Traces[static_cast<size_t>(k)];
            TRDataStorage* trace = entry.Store;
            if (progress.Cancelled()) {
                out.Cancelled = true;
                return out;
            }
            if (!hasData(trace)) continue;
            const std::string file = trace->Caption();
            progress.Step(k, total, ShortTraceName(file));
            const int fibre = entry.Fibre;
            if (fibre < 1 || fibre > kMaxFibreNumber) {
                out.SkippedFiles.push_back(file);
                continue;
            }
            if (trace != reference) CopyTraceSettings(*reference, *trace);
            const size_t i = static_cast<size_t>(fibre - 1);
            const int row = first + fibre - 1;

            const double cursor = trace->GetCursor();
            if (cursor >= 0) {
                // A cursor left of the start would give a negative length and win every comparison.
                const auto length = RoundToInt64((cursor - trace->ReferenceKm) * 1000.0);
                double there = 0;
                if (length && *length > 0 &&
                    (!lengthIn(lengths.values[i], there) || static_cast<double>(*length) < there))
                    lengths.set(i, TCellValue::Num(static_cast<double>(*length)));
            }

            TableColumn& attenuation = trace->WaveLengthUm >= 1.5 ? at1550 : at1310;
            if (trace->Length12 > 0) {
                if (SectionOnTrace(*trace))
                    attenuation.set(i, TCellValue::Num(trace->SectionLoss12 / trace->Length12));
                else
                    out.ShortFibres.push_back({fibre, static_cast<int>(std::lround(trace->WaveLengthUm * 1000.0)), file});
            }
            out.LastRow = std::max(out.LastRow, row);
        }
        progress.Step(total, total, {});
        for (const TableColumn* c : {&lengths, &at1310, &at1550}) c->write(book, sheet, first);
    }

    // Before the table is trimmed, so that the operator's row moves up with everything below.
    put(at.OperatorRow, at.OperatorColumn, TCellValue::Text(h.Operator));

    // The highest fibre may fill the table's last row: then there is nothing below to delete.
    if (out.LastRow <= at.LastRow) {
        book.SetBorder(sheet, {{out.LastRow, 1, out.LastRow, at.LastColumn()}}, TBorderEdge::Bottom);
        if (out.LastRow < at.LastRow)
            book.DeleteRange(sheet, {out.LastRow + 1, 1, at.LastRow, at.LastColumn()}, TDeleteShift::Up);
    }
    return out;
}

// --- the report command ------------------------------------------------------------------------------

namespace {

struct GenerationContext {
    const TInspectionData* data;
    IProgress* progress;
    TInspectionOutcome outcome;
};

} // namespace

TInspectionReport::TInspectionReport() {
    m_template.SetName("Template");
    for (const char* name : {kVhPasport, kPrPasport}) {
        TReportTemplateItem& item = m_template.Reports().Add();
        item.SetName(name);
        item.FileTemplate().SetData(BuiltInTemplateData(name));
        const TProtocolLayout& layout = InspectionLayout(name);
        item.OnGenerateReport = [&layout](TReportInfo& info, const std::any& dopInfo) {
            auto* context = std::any_cast<GenerationContext*>(dopInfo);
            context->outcome = FillInspectionProtocol(*info.Book, info.Cells, layout, *context->data, *context->progress);
        };
    }
}

TInspectionResult TInspectionReport::Generate(const TInspectionRequest& request, ISpreadsheetApp& office,
                                              IProgress& progress) {
    TInspectionResult result;
    const std::string name = InspectionTemplateName(request.Mode);
    if (name.empty()) return result;
    std::error_code ec;
    if (!request.TemplateFile.empty() && std::filesystem::is_regular_file(request.TemplateFile, ec))
        m_template.FindReport(name)->FileTemplate().LoadFromFile(request.TemplateFile);

    TReportInfo info;
    info.Name = name;
    m_template.PrepareReport(info);
    if (info.CanGenerate() != rsReady) return result;

    GenerationContext context{&request.Data, &progress, {}};
    TReportRunOptions options;
    options.FirstSheet = kInspectionSheet;
    options.StoreFile = request.StoreFile;
    options.FallbackFile = request.FallbackFile;
    result.Run = RunReport(info, office, options, &context);
    result.Outcome = std::move(context.outcome);
    const std::string message = result.Outcome.Message();
    if (result.Run.Generated && !result.Outcome.Cancelled && !message.empty()) MessageDlg(message, TMsgDlgType::mtWarning, mbOK);
    return result;
}

} // namespace lv
