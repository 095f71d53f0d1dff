#pragma once
// The report workbooks the program carries: "VhPasport" (incoming inspection), "PrPasport"
// (pre-installation inspection) and "SimplePasport" (construction documentation), described in
// code and stored as flat OpenDocument spreadsheets. The layouts below are the cells the reports
// fill, read, clear and delete; the templates are built from the same numbers.

#include <cstdint>
#include <string>
#include <vector>

#include "reports/uWorkbookModel.h"

namespace lv {

// An inspection protocol: one sheet "Протокол"; (row, column) of each item, from 1.
struct TProtocolLayout {
    const char* Sheet;
    int LineRow, LineColumn;         // line name
    int DateRow, DateColumn;         // today's date
    int MarkRow, MarkColumn;         // cable mark
    int DrumRow, DrumColumn;         // drum number
    int MarksRow, MarksColumn;       // marks at the start and the end, "S; E"
    int LengthRow, LengthColumn;     // length by the marks, m
    int FibreRowOffset;              // fibre n is in row n + offset
    int FibreLengthColumn;           // m
    int Attenuation1310Column;       // dB/km
    int Attenuation1550Column;       // dB/km
    int OperatorRow, OperatorColumn;
    int LastRow;                     // the table's last row
    int HeaderRow() const { return FibreRowOffset; }
    int FirstRow() const { return FibreRowOffset + 1; }
    int LastColumn() const { return 9; } // the table spans A..I
};

extern const TProtocolLayout kVhPasportLayout;
extern const TProtocolLayout kPrPasportLayout;

// The construction documentation workbook "SimplePasport".
struct TConstructionLayout {
    // "Сводка": fibre n in row n + SummaryRowOffset; splice k's columns start at 3k + 7.
    static constexpr const char* Summary = "Сводка";
    static constexpr int LineRow = 1, LineColumn = 6;
    static constexpr int SpliceNumberRow = 3, SpliceHeaderRow = 4, SplicePositionRow = 5;
    static constexpr int SummaryRowOffset = 7;
    static constexpr int MaxSplices = 64;
    static constexpr int SummaryLastRow = 307;
    static constexpr int SummaryLastColumn = 201; // GS
    static constexpr int SpliceColumn(int k) { return 3 * k + 7; }
    // "СВТ": mean splice loss per fibre row from row 8, splice k in column k + 1.
    static constexpr const char* MeanLoss = "СВТ";
    static constexpr int MeanFirstRow = 8, MeanLastRow = 308, MeanLastColumn = 67; // BO
    // "Измерения": fibre n in row n + 12, up to row 320, columns A..M.
    static constexpr const char* Measurements = "Измерения";
    static constexpr int MeasurementRowOffset = 12, MeasurementLastRow = 320, MeasurementLastColumn = 13;
    // "Потери": summary row d gives row d + 8; up to row 316, columns A..H.
    static constexpr const char* Losses = "Потери";
    static constexpr int LossRowShift = 8, LossLastRow = 316, LossLastColumn = 8;
    // "Муфта": one copy per splice; fibre n in row n + 11, up to row 318, columns A..F.
    static constexpr const char* Splice = "Муфта";
    static constexpr int SpliceNumberCellRow = 4, SpliceNumberCellColumn = 3;
    static constexpr int SpliceDateRow = 4, SpliceDateColumn = 5;
    static constexpr int SpliceRowOffset = 11, SpliceLastRow = 318;
    static constexpr int SpliceFromAColumn = 4, SpliceFromBColumn = 5, SpliceMeanColumn = 6;
};

constexpr int kMaxFibres = 300;

// "VhPasport", "PrPasport", "SimplePasport".
std::vector<std::string> BuiltInTemplateNames();
// The workbook of a built-in template; raises EListError for another name.
TBookModel BuiltInTemplateModel(const std::string& name);
// Its bytes as a flat OpenDocument spreadsheet.
std::vector<uint8_t> BuiltInTemplateData(const std::string& name);

} // namespace lv
