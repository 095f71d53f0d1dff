#pragma once
// The spreadsheet automation the reports are written against: an office application that makes
// workbooks from templates, and workbooks whose sheets are addressed by explicit handles (never
// "the active sheet"). Implementations: LibreOffice Calc over UNO (src/reports/uno), an in-memory
// fake for tests, and one that is not available on this machine.
//
// Rows and columns count from 1, as the reports address cells. Every failure raises
// ESpreadsheetError with a Russian message that names the cause.

#include <memory>
#include <string>
#include <vector>

#include "trace/DateTime.h"
#include "trace/Errors.h"

namespace lv {

class ESpreadsheetError : public Exception {
public:
    using Exception::Exception;
};

extern const char* const kMsgCannotStartOffice;   // no office installed / it cannot start
extern const char* const kMsgOfficeNoAnswer;      // started, but it never answered
extern const char* const kMsgOfficeLost;          // the connection broke
extern const char* const kMsgOfficeFailed;        // "Ошибка LibreOffice Calc: %s." (what was being done)
extern const char* const kMsgCannotOpenTemplate;  // "... не может открыть шаблон отчета \"%s\"."
extern const char* const kMsgNoSheet;             // "В книге нет листа \"%s\"."
extern const char* const kMsgBadSheetName;        // "Недопустимое имя листа \"%s\"."
extern const char* const kMsgSheetExists;         // "Лист с именем \"%s\" уже есть в книге."
extern const char* const kMsgBadRange;            // "Неверный диапазон ячеек %s."
extern const char* const kMsgBadColorIndex;       // "Неизвестный номер цвета %s."
extern const char* const kMsgCannotStoreBook;     // "... не удается сохранить книгу в файл \"%s\"."

// --- cells and ranges --------------------------------------------------------------------------

// The largest sheet every implementation and every stored format (.xls aside) can hold.
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 1024;

// A rectangle of cells, corners inclusive. A range whose start lies after its end is an error
// everywhere (the office raises for it), never silently turned round.
struct TCellRange {
    int Top = 1, Left = 1, Bottom = 1, Right = 1;
    static TCellRange Cell(int row, int column) { return {row, column, row, column}; }
    int Rows() const { return Bottom - Top + 1; }
    int Columns() const { return Right - Left + 1; }
    bool operator==(const TCellRange&) const = default;
};

// "A1"-style column letters: 1 -> "A", 27 -> "AA"; and back (0 for anything else).
std::string ColumnLetters(int column);
int ColumnNumber(const std::string& letters);
// "B4" or "A39:I326" (also "$A$1"); raises ESpreadsheetError for a malformed address and for
// an inverted range.
TCellRange ParseRange(const std::string& address);
// "B4" for one cell, "A39:I326" otherwise.
std::string RangeAddress(const TCellRange& range);
// Raises ESpreadsheetError unless the range lies on the sheet with its start before its end.
void CheckRange(const TCellRange& range);

// A value put into a cell or read from one. Dates are put as numbers with a date format and
// read back as numbers.
struct TCellValue {
    enum class Kind { Empty, Number, Text, Date };
    Kind kind = Kind::Empty;
    double number = 0.0;   // Number, Date (days since 1899-12-30)
    std::string text;      // Text: always a text, "=1+1" and "0012" stay as typed

    static TCellValue Empty() { return {}; }
    static TCellValue Num(double v) { return {Kind::Number, v, {}}; }
    static TCellValue Text(std::string s) { return {Kind::Text, 0.0, std::move(s)}; }
    static TCellValue Date(TDateTime d) { return {Kind::Date, d, {}}; }
    bool operator==(const TCellValue&) const = default;
};
using TCellRow = std::vector<TCellValue>;
using TCellBlock = std::vector<TCellRow>;

// --- sheet names -------------------------------------------------------------------------------

// A name the office takes for a sheet: not empty, at most 31 characters (what .xlsx keeps),
// none of : \ / ? * [ ], not starting or ending with an apostrophe.
bool IsValidSheetName(const std::string& name);
// `wanted` made acceptable: forbidden characters become "_", an empty name "_", a long one is
// cut to 31 characters, and a name already in `existing` (ignoring case) gets " (2)", " (3)", …
std::string MakeSheetName(const std::string& wanted, const std::vector<std::string>& existing);

// --- workbooks and the office ------------------------------------------------------------------

using TSheetHandle = int;
constexpr TSheetHandle kNoSheet = -1;

enum class TBorderEdge { Top, Bottom };
enum class TDeleteShift { Up, Left };
enum class TClearWhat { Contents, All }; // values and formulas / also formats

// A column width in Excel's units (characters of the standard font's 7-pixel digit, plus its
// 5 pixels of padding) in hundredths of a millimetre at 96 pixels per inch.
int ColumnWidthHundredthsMm(double characters);

// Excel's colour indexes that the reports shade with; the office has no palette.
constexpr int kColorIndexRed = 3;
constexpr int kColorIndexYellow = 6;
// The RGB value (0xRRGGBB) of a colour index 1..8 of the standard palette; raises otherwise.
unsigned ColorIndexRgb(int colorIndex);

// One workbook open in the office. A handle object holds no cell; dropping it leaves the
// workbook open (Close closes it).
class ISpreadsheetBook {
public:
    virtual ~ISpreadsheetBook() = default;

    virtual std::vector<std::string> SheetNames() = 0;
    virtual bool HasSheet(const std::string& name) = 0;
    // The sheet named `name` (ignoring case); raises kMsgNoSheet.
    virtual TSheetHandle Sheet(const std::string& name) = 0;
    // The sheet's current name.
    virtual std::string SheetName(TSheetHandle sheet) = 0;
    // Renames; raises when the name is not valid or another sheet has it (the office would
    // silently keep the old name).
    virtual void RenameSheet(TSheetHandle sheet, const std::string& name) = 0;
    // Copies `source` in front of `before` under `name` (same rules as a rename) and answers the
    // copy's handle. Nothing is copied when the name is refused.
    virtual TSheetHandle CopySheet(TSheetHandle source, TSheetHandle before, const std::string& name) = 0;

    // Writes a block with its top left corner at (row, column), rows of any length. Texts stay
    // texts (never formulas); Empty empties the cell; dates get a date format unless the cell
    // has one already (a template's own format stays).
    virtual void PutValues(TSheetHandle sheet, int row, int column, const TCellBlock& block) = 0;
    // Values of a range, row by row: numbers (formula results, dates), texts, or Empty.
    virtual TCellBlock GetValues(TSheetHandle sheet, const TCellRange& range) = 0;
    // A cell's text as shown (formatted), empty for an empty cell.
    virtual std::string ShownText(TSheetHandle sheet, int row, int column) = 0;

    // A continuous thin line of automatic colour along one edge of each range.
    virtual void SetBorder(TSheetHandle sheet, const std::vector<TCellRange>& ranges, TBorderEdge edge) = 0;
    // Solid shading of every cell of the ranges with a colour index (3 red, 6 yellow).
    virtual void SetInterior(TSheetHandle sheet, const std::vector<TCellRange>& ranges, int colorIndex) = 0;
    // Deletes the cells, shifting those below up or those to the right left; formulas that
    // refer across the gap follow.
    virtual void DeleteRange(TSheetHandle sheet, const TCellRange& range, TDeleteShift shift) = 0;
    virtual void ClearRange(TSheetHandle sheet, const TCellRange& range, TClearWhat what) = 0;
    // Width in Excel's units: characters of the standard font's digit.
    virtual void SetColumnWidth(TSheetHandle sheet, int column, double characters) = 0;

    virtual void SetAutomaticCalculation(bool automatic) = 0;
    virtual void Calculate() = 0;
    // Makes the sheet the one shown and selects the range on it.
    virtual void Select(TSheetHandle sheet, const TCellRange& range) = 0;
    // Shows the workbook's window and brings it to the front.
    virtual void Show() = 0;
    // Stores a copy in the format of the extension (".xlsx", ".ods", ".xls", ".fods").
    virtual void StoreTo(const std::string& path) = 0;
    // Closes the workbook without saving it.
    virtual void Close() = 0;
};

// The office application of a report window: attached to a running office or started, never
// quit by the program.
class ISpreadsheetApp {
public:
    virtual ~ISpreadsheetApp() = default;
    // Attaches to the office or starts it. Raises kMsgCannotStartOffice / kMsgOfficeNoAnswer.
    virtual void Connect() = 0;
    virtual bool Connected() const = 0;
    // Lets go of the office; it keeps running with its workbooks open.
    virtual void Disconnect() = 0;
    // A new hidden workbook from a template file, or an empty one for an empty name.
    virtual std::unique_ptr<ISpreadsheetBook> AddBook(const std::string& templateFile) = 0;
    // The first open workbook that has a sheet of that name, or null.
    virtual std::unique_ptr<ISpreadsheetBook> FindBookWithSheet(const std::string& sheetName) = 0;
    // Whether a workbook can be shown to the operator (a desktop office and a display).
    virtual bool CanShow() const = 0;
};

// Where no office can run: every attempt to connect raises kMsgCannotStartOffice.
class TNoSpreadsheetApp : public ISpreadsheetApp {
public:
    void Connect() override;
    bool Connected() const override { return false; }
    void Disconnect() override {}
    std::unique_ptr<ISpreadsheetBook> AddBook(const std::string&) override;
    std::unique_ptr<ISpreadsheetBook> FindBookWithSheet(const std::string&) override { return nullptr; }
    bool CanShow() const override { return false; }
};

} // namespace lv
