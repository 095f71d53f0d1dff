#pragma once
// A workbook described in code: sheets, cells, formulas, merged areas, column widths and cell
// styles. The built-in report templates are written this way and stored as flat OpenDocument
// spreadsheets (.fods, one XML file that every office opens, written without an office); the
// fake office reads such files back.

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "reports/uSpreadsheet.h"

namespace lv {

enum class THorzAlign { Default, Left, Center, Right };

struct TBookStyle {
    std::string NumberFormat; // "" (general), "0", "0.00", "0.000", "DD.MM.YYYY"
    bool Bold = false;
    double FontSizePt = 0;    // 0: the default 10 pt
    bool BorderLeft = false, BorderRight = false, BorderTop = false, BorderBottom = false;
    bool Wrap = false;
    THorzAlign Align = THorzAlign::Default;
    bool VertCenter = false;
    bool operator==(const TBookStyle&) const = default;

    TBookStyle& Boxed() { BorderLeft = BorderRight = BorderTop = BorderBottom = true; return *this; }
};

struct TBookCell {
    TCellValue Value;        // what the cell holds (the cached result for a formula)
    std::string Formula;     // OpenFormula text "of:=SUM([.D16:.D316])", or empty
    int Style = 0;           // index into TBookModel::Styles, 0 = the default style
    int MergeRows = 1, MergeColumns = 1;
};

struct TBookSheet {
    std::string Name;
    std::map<int, double> ColumnWidthCm;         // column -> width
    std::map<int, int> ColumnStyle;              // column -> default style of its empty cells
    std::map<std::pair<int, int>, TBookCell> Cells; // (row, column) -> cell

    // Shorthands for describing a sheet.
    TBookCell& At(int row, int column) { return Cells[{row, column}]; }
    void Text(int row, int column, const std::string& text, int style = 0);
    void Number(int row, int column, double value, int style = 0);
    void Formula(int row, int column, const std::string& formula, int style = 0);
    // Every cell of the range gets `style` (kept empty if it was).
    void Style(const TCellRange& range, int style);
    void Merge(int row, int column, int rows, int columns);
    // The cell's value, Empty when it has none.
    TCellValue Value(int row, int column) const;
};

struct TBookModel {
    std::vector<TBookStyle> Styles{TBookStyle{}}; // index 0 is the default
    std::vector<TBookSheet> Sheets;

    // The index of an equal style, added when new.
    int AddStyle(const TBookStyle& style);
    TBookSheet& AddSheet(const std::string& name);
    const TBookSheet* FindSheet(const std::string& name) const;
};

// The workbook as a flat OpenDocument spreadsheet (.fods).
std::string WriteFlatOds(const TBookModel& book);
// Sheets, values, formulas and merged areas of a .fods file (styles are not read back). Raises
// EInvalidDataFormat when the text is not a flat OpenDocument spreadsheet.
TBookModel ReadFlatOds(const std::string& xml);

} // namespace lv
