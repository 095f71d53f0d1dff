// Filling the workbook "SimplePasport" from the readings of a construction line: the cells of
// every sheet are gathered in buffers first and written in blocks, the shading in one range
// collection per colour, and the statistics read from "СВТ" in one block after recalculation.

#include <algorithm>
#include <cmath>
#include <map>

#include "formats/FileErrors.h"
#include "reports/uConstructionReport.h"
#include "reports/uSpliceEdit.h"
#include "reports/uTemplateBooks.h"

namespace lv {

namespace {

using L = TConstructionLayout;

constexpr double kShadeFromDb = 0.1; // a splice or average loss this large (by absolute value) is shaded
constexpr double kMeanWideColumn = 10.86;

TCellValue number(const std::optional<double>& v) { return v ? TCellValue::Num(*v) : TCellValue::Empty(); }

bool isNumber(const TCellValue& v) { return v.kind == TCellValue::Kind::Number && std::isfinite(v.number); }

bool shaded(double lossDb) { return std::fabs(lossDb) >= kShadeFromDb; }

// Single cells joined into runs down a column: the office formats one range faster than many.
std::vector<TCellRange> columnRuns(std::vector<std::pair<int, int>> cells) {
    std::sort(cells.begin(), cells.end(), [](auto a, auto b) { return a.second != b.second ? a.second < b.second : a.first < b.first; });
    std::vector<TCellRange> runs;
    for (auto [row, column] : cells) {
        if (!runs.empty() && runs.back().Left == column && runs.back().Bottom + 1 == row)
            runs.back().Bottom = row;
        else
            runs.push_back(TCellRange::Cell(row, column));
    }
    return runs;
}

// The distance from A of a splice placed from A, from B of one placed from B.
std::optional<double> fromA(const TSpliceRecord& r) { return r.MPosF && *r.MPosF > 0 ? r.MPosFC() : std::nullopt; }
std::optional<double> fromB(const TSpliceRecord& r) { return r.MPosR && *r.MPosR > 0 ? r.MPosRC() : std::nullopt; }

class Filler {
public:
    Filler(ISpreadsheetBook& book, TSheetHandle summary, const TConstructionInput& in, const TConstructionReadings& rd)
        : m_book(book), m_summary(summary), m_in(in), m_rd(rd), m_splices(static_cast<int>(in.Splices.size())) {}

    void run() {
        m_book.Select(m_summary, TCellRange::Cell(1, 1));
        m_book.PutValues(m_summary, L::LineRow, L::LineColumn, {{TCellValue::Text(m_in.LineName)}});
        readSpliceNumbers();
        // Every splice gets its headers and its sheet from the table, before either direction is
        // read: a splice measured only from B, or a line with no A-to-B trace, keeps its values.
        writeSpliceHeaders();
        makeSpliceSheets();
        gatherRows();
        writeRows();
        m_book.Calculate();
        writeLossStatistics();
        m_book.SetAutomaticCalculation(true);
        trim(PlanConstructionTrim(m_lastRow, m_splices ? L::SpliceColumn(m_splices) + 2 : 9, m_in.Params));
        m_book.Select(m_summary, TCellRange::Cell(1, 1));
    }

private:
    int column(int k) const { return L::SpliceColumn(k + 1); } // k from 0
    int firstSpliceColumn() const { return column(0); }

    // The template numbers its splice groups in row 3; a group without a number counts by its place.
    void readSpliceNumbers() {
        m_numbers.resize(static_cast<size_t>(m_splices));
        if (!m_splices) return;
        const TCellRow row = m_book.GetValues(m_summary, {L::SpliceNumberRow, firstSpliceColumn(), L::SpliceNumberRow,
                                                          column(m_splices - 1)})[0];
        for (int k = 0; k < m_splices; ++k) {
            const TCellValue& v = row[static_cast<size_t>(column(k) - firstSpliceColumn())];
            m_numbers[k] = isNumber(v) && std::fabs(v.number) < 1e6 ? static_cast<int>(std::lround(v.number)) : k + 1;
        }
    }

    void writeSpliceHeaders() {
        if (!m_splices) return;
        TCellBlock head(2, TCellRow(static_cast<size_t>(3 * m_splices)));
        for (int k = 0; k < m_splices; ++k) {
            const TSpliceRecord& r = m_in.Splices[static_cast<size_t>(k)];
            const std::string g = std::to_string(m_numbers[k]);
            const bool last = k == m_splices - 1;
            const size_t at = static_cast<size_t>(3 * k);
            head[0][at] = TCellValue::Text("A-M" + g);
            head[0][at + 1] = TCellValue::Text("B-M" + g);
            head[0][at + 2] = TCellValue::Text(last ? "B-M" + g : "M" + std::to_string(m_numbers[k] + 1) + "-M" + g);
            head[1][at] = number(fromA(r));
            head[1][at + 1] = number(fromB(r));
            if (last) head[1][at + 2] = number(fromB(r));
            if (k > 0) {
                const auto here = fromA(r), before = fromA(m_in.Splices[static_cast<size_t>(k - 1)]);
                if (here && before) head[1][at - 1] = TCellValue::Num(*here - *before);
            }
            // The name sits between the template's number and the next group: one cell each.
            m_book.PutValues(m_summary, L::SpliceNumberRow, column(k) + 1, {{TCellValue::Text(r.MName)}});
        }
        m_book.PutValues(m_summary, L::SpliceHeaderRow, firstSpliceColumn(), head);
    }

    // Copies of "Муфта" in front of it for every splice but the last, which takes "Муфта" itself.
    // The office refuses some names: they are made acceptable and unique, and read back.
    void makeSpliceSheets() {
        if (!m_splices) return;
        const TSheetHandle model = m_book.Sheet(L::Splice);
        std::vector<std::string> names = m_book.SheetNames();
        const TDateTime today = m_in.Today > 0 ? m_in.Today : std::floor(Now());
        for (int k = 0; k < m_splices; ++k) {
            const TSpliceRecord& r = m_in.Splices[static_cast<size_t>(k)];
            const std::string wanted = r.MName.empty() ? kSpliceNamePrefix + std::to_string(m_numbers[k]) : r.MName;
            TSheetHandle sheet;
            if (k < m_splices - 1) {
                sheet = m_book.CopySheet(model, model, MakeSheetName(wanted, names));
            } else {
                std::vector<std::string> others = names;
                const std::string own = m_book.SheetName(model);
                const auto self = std::find(others.begin(), others.end(), own);
                if (self != others.end()) others.erase(self);
                m_book.RenameSheet(model, MakeSheetName(wanted, others));
                names = others;
                sheet = model;
            }
            names.push_back(m_book.SheetName(sheet));
            m_book.PutValues(sheet, L::SpliceNumberCellRow, L::SpliceNumberCellColumn, {{TCellValue::Num(m_numbers[k])}});
            m_book.PutValues(sheet, L::SpliceDateRow, L::SpliceDateColumn, {{TCellValue::Date(today)}});
            m_spliceSheets.push_back(sheet);
        }
    }

    // One row of "Сводка": columns B..G, and the splice groups from column J on.
    struct SummaryRow {
        TCellRow left = TCellRow(6);
        TCellRow groups;
    };

    SummaryRow& rowOf(int fibre) {
        SummaryRow& r = m_rows[fibre + L::SummaryRowOffset];
        r.groups.resize(static_cast<size_t>(3 * m_splices));
        m_lastRow = std::max(m_lastRow, fibre + L::SummaryRowOffset);
        return r;
    }

    // The trace's label, total loss and attenuation: columns B..D from A, E..G from B.
    SummaryRow& traceRow(const TFibreReading& f, TFlowDirection dir) {
        SummaryRow& row = rowOf(f.Number);
        const size_t at = dir == TFlowDirection::AB ? 0 : 3;
        row.left[at] = TCellValue::Text(f.Label);
        row.left[at + 1] = number(f.TotalLossDb);
        row.left[at + 2] = number(f.AttenuationDbKm);
        return row;
    }

    void gatherRows() {
        for (const TFibreReading& f : m_rd.AB) {
            SummaryRow& row = traceRow(f, TFlowDirection::AB);
            for (int k = 0; k < m_splices; ++k) {
                const auto& loss = f.SpliceLossDb[static_cast<size_t>(k)];
                row.groups[static_cast<size_t>(3 * k)] = number(loss);
                if (loss && shaded(*loss)) m_yellow.push_back({f.Number + L::SummaryRowOffset, column(k)});
            }
        }
        for (const TFibreReading& f : m_rd.BA) {
            const int at = f.Number + L::SummaryRowOffset;
            SummaryRow& row = traceRow(f, TFlowDirection::BA);
            for (int k = 0; k < m_splices; ++k) {
                const auto& loss = f.SpliceLossDb[static_cast<size_t>(k)];
                if (!loss) continue;
                row.groups[static_cast<size_t>(3 * k + 1)] = TCellValue::Num(*loss);
                if (shaded(*loss)) m_yellow.push_back({at, column(k) + 1});
                const TCellValue& a = row.groups[static_cast<size_t>(3 * k)];
                if (!isNumber(a)) continue;
                const double mean = (a.number + *loss) / 2;
                row.groups[static_cast<size_t>(3 * k + 2)] = TCellValue::Num(mean);
                if (shaded(mean)) m_red.push_back({at, column(k) + 2});
            }
        }
    }

    int fibreRows() const { return m_lastRow - L::SummaryRowOffset; }

    void writeRows() {
        if (fibreRows() <= 0) return;
        const size_t n = static_cast<size_t>(fibreRows());
        TCellBlock left(n, TCellRow(6)), groups(n, TCellRow(static_cast<size_t>(3 * m_splices)));
        std::vector<TCellBlock> perSplice(static_cast<size_t>(m_splices), TCellBlock(n, TCellRow(3)));
        for (const auto& [row, r] : m_rows) {
            const size_t i = static_cast<size_t>(row - L::SummaryRowOffset - 1);
            left[i] = r.left;
            groups[i] = r.groups;
            // The splice sheets list the same three values per fibre.
            for (int k = 0; k < m_splices; ++k)
                for (size_t j = 0; j < 3; ++j) perSplice[static_cast<size_t>(k)][i][j] = r.groups[static_cast<size_t>(3 * k) + j];
        }
        const int first = L::SummaryRowOffset + 1;
        m_book.PutValues(m_summary, first, 2, left);
        if (m_splices) m_book.PutValues(m_summary, first, firstSpliceColumn(), groups);
        if (!m_yellow.empty()) m_book.SetInterior(m_summary, columnRuns(m_yellow), kColorIndexYellow);
        if (!m_red.empty()) m_book.SetInterior(m_summary, columnRuns(m_red), kColorIndexRed);
        for (int k = 0; k < m_splices; ++k)
            m_book.PutValues(m_spliceSheets[static_cast<size_t>(k)], L::SpliceRowOffset + 1, L::SpliceFromAColumn,
                             perSplice[static_cast<size_t>(k)]);
    }

    // "Потери" row d + 8 for "Сводка" row d: the counts and shares of the fibre's mean splice
    // losses that "СВТ" computed.
    void writeLossStatistics() {
        if (fibreRows() <= 0 || !m_splices) return;
        const int first = L::SummaryRowOffset + 1;
        const TCellBlock means = m_book.GetValues(m_book.Sheet(L::MeanLoss), {first, 2, m_lastRow, m_splices + 1});
        TCellBlock out(means.size(), TCellRow(4));
        for (size_t i = 0; i < means.size(); ++i) {
            const auto s = CountLossShares(means[i]);
            if (!s) continue;
            out[i] = {TCellValue::Num(s->UpTo005), TCellValue::Num(s->UpTo01), TCellValue::Num(100.0 * s->UpTo005 / s->Count),
                      TCellValue::Num(100.0 * s->UpTo01 / s->Count)};
        }
        m_book.PutValues(m_book.Sheet(L::Losses), first + L::LossRowShift, 4, out);
    }

    void trim(const TConstructionTrim& t) {
        if (t.TrimRows) {
            m_book.SetBorder(m_summary, t.SummaryBottomLines, TBorderEdge::Bottom);
            m_book.ClearRange(m_summary, t.SummaryRowsClear, TClearWhat::All);
            for (TSheetHandle s : m_spliceSheets) m_book.DeleteRange(s, t.SpliceRowsDelete, TDeleteShift::Up);
            m_book.DeleteRange(m_book.Sheet(L::MeanLoss), t.MeanRowsDelete, TDeleteShift::Up);
            m_book.DeleteRange(m_book.Sheet(L::Measurements), t.MeasurementRowsDelete, TDeleteShift::Up);
            const TSheetHandle losses = m_book.Sheet(L::Losses);
            if (t.LossRowsClear) m_book.ClearRange(losses, *t.LossRowsClear, TClearWhat::Contents);
            m_book.DeleteRange(losses, t.LossRowsDelete, TDeleteShift::Up);
            m_book.SetBorder(losses, {t.LossTopLine}, TBorderEdge::Top);
        }
        if (t.TrimColumns) {
            const TSheetHandle mean = m_book.Sheet(L::MeanLoss);
            if (t.MeanColumnsClear) m_book.ClearRange(mean, *t.MeanColumnsClear, TClearWhat::Contents);
            if (t.MeanColumnsDelete) m_book.DeleteRange(mean, *t.MeanColumnsDelete, TDeleteShift::Left);
            m_book.SetColumnWidth(mean, t.MeanWideColumn, kMeanWideColumn);
            m_book.ClearRange(m_summary, t.SummaryColumnsClear, TClearWhat::All);
        }
    }

    ISpreadsheetBook& m_book;
    const TSheetHandle m_summary;
    const TConstructionInput& m_in;
    const TConstructionReadings& m_rd;
    const int m_splices;
    std::vector<int> m_numbers;               // g of each splice
    std::vector<TSheetHandle> m_spliceSheets; // in splice order
    std::map<int, SummaryRow> m_rows;         // by row of "Сводка"
    int m_lastRow = L::SummaryRowOffset;
    std::vector<std::pair<int, int>> m_yellow, m_red; // (row, column) of "Сводка"
};

} // namespace

std::optional<TLossShares> CountLossShares(const TCellRow& meanLosses) {
    TLossShares s;
    for (const TCellValue& v : meanLosses) {
        if (!isNumber(v)) continue;
        // Compared to 1/10000 dB, as the limits are fixed-point values.
        const long long tenThousandths = std::llround(std::fabs(v.number) * 10000.0);
        ++s.Count;
        if (tenThousandths <= 500) ++s.UpTo005;
        if (tenThousandths <= 1000) ++s.UpTo01;
    }
    if (!s.Count) return std::nullopt;
    return s;
}

TConstructionTrim PlanConstructionTrim(int lastRow, int lastColumn, const TFlowParams& params) {
    TConstructionTrim t;
    if (!params.Auto) {
        const int found = lastRow - L::SummaryRowOffset;
        if (found < params.FibCount || (found > params.FibCount && params.Cut)) lastRow = params.FibCount + L::SummaryRowOffset;
    }
    t.LastRow = lastRow;
    const int m = lastRow + 1;
    if (m <= L::SummaryLastRow) {
        t.TrimRows = true;
        t.SummaryBottomLines = {{lastRow, 1, lastRow, 7}, {lastRow, 9, lastRow, L::SummaryLastColumn}};
        t.SummaryRowsClear = {m, 1, L::SummaryLastRow, L::SummaryLastColumn};
        // The sheets that list fibre n in row n + offset lose the rows after the last fibre's.
        const int fibres = lastRow - L::SummaryRowOffset;
        t.SpliceRowsDelete = {fibres + L::SpliceRowOffset + 1, 1, L::SpliceLastRow, 6};
        t.MeanRowsDelete = {m, 1, L::MeanLastRow, L::MeanLastColumn};
        t.MeasurementRowsDelete = {fibres + L::MeasurementRowOffset + 1, 1, L::MeasurementLastRow, L::MeasurementLastColumn};
        // The statistics keep their first sixteen rows whatever the fibre count; those below the
        // last fibre lose their formulas, which would point at the deleted rows of "СВТ".
        const int r = m >= 24 ? m + L::LossRowShift : 32;
        t.LossRowsDelete = {r, 1, L::LossLastRow, L::LossLastColumn};
        if (m + L::LossRowShift < r) t.LossRowsClear = TCellRange{m + L::LossRowShift, 2, r - 1, L::LossLastColumn};
        t.LossTopLine = TCellRange::Cell(r, L::LossLastColumn);
    }
    if (lastColumn <= 198) {
        t.TrimColumns = true;
        // "СВТ", counted from its cell A8 as the office's relative addresses are: splice k is in
        // column k + 1, and b is the column after the last splice, seen from column A.
        const int fromRow = 8, fromColumn = 1;
        int b = (lastColumn - 9) / 3 + 1;
        if (b < 18) {
            // "A1:R<last row>" at the offset (0, b): the formulas of the next 18 splices go quiet.
            t.MeanColumnsClear = TCellRange{fromRow, fromColumn + b, fromRow + lastRow - 1, fromColumn + b + 17};
            b = 18;
        }
        // "A1:A302" at the offset (-2, b), deleted and shifted left once for each of b..64: the
        // columns from 1 + b up to that of splice 64, at once.
        const int top = fromRow - 2, left = fromColumn + b;
        if (b <= L::MaxSplices) t.MeanColumnsDelete = TCellRange{top, left, top + 301, left + L::MaxSplices - b};
        t.MeanWideColumn = left + 1; // "B1:B302" at that offset
        // "Сводка" from A1: "A1:GS305" at the offset (2, last column).
        t.SummaryColumnsClear = {3, 1 + lastColumn, 3 + 304, std::min(lastColumn + L::SummaryLastColumn, kMaxColumns)};
    }
    return t;
}

void FillConstructionReport(ISpreadsheetBook& book, TSheetHandle summary, const TConstructionInput& input,
                            const TConstructionReadings& readings) {
    Filler(book, summary, input, readings).run();
}

} // namespace lv
