#pragma once
// An office in memory for unit tests of the reports: workbooks made from .fods templates (the
// built-in ones), cells with values and the formats the reports set, the office's sheet-name
// rules, deletions that shift cells, and a log of every operation. Formulas are kept as text and
// never evaluated or adjusted.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "reports/uSpreadsheet.h"

namespace lv {

struct TFakeCell {
    TCellValue Value;
    std::string Formula;
    int ColorIndex = 0;            // shading, 0 = none
    bool BorderTop = false, BorderBottom = false;
    bool DateFormat = false;
};

struct TFakeSheet {
    int Id = 0;                    // the handle, kept across renames and moves
    std::string Name;
    std::map<std::pair<int, int>, TFakeCell> Cells; // (row, column)
    std::map<int, double> ColumnWidths;             // column -> characters

    const TFakeCell* Find(int row, int column) const;
    TCellValue Value(int row, int column) const;
};

struct TFakeBook {
    std::string TemplateFile;      // empty for a new empty workbook
    std::vector<TFakeSheet> Sheets;
    bool Visible = false;
    bool Closed = false;
    bool AutomaticCalculation = true;
    int Calculations = 0;
    int SelectedSheet = 0;         // id
    TCellRange Selection;
    std::vector<std::string> StoredTo;
    int NextId = 1;

    TFakeSheet* FindSheet(const std::string& name);
    const TFakeSheet* FindSheet(const std::string& name) const;
    TFakeSheet& SheetById(int id);
    std::vector<std::string> SheetNames() const;
};

class TFakeSpreadsheetApp : public ISpreadsheetApp {
public:
    // Every workbook made or found, in order of making (closed ones stay, marked).
    std::vector<std::shared_ptr<TFakeBook>> Books;
    // "Connect", "AddBook <file>", "PutValues <sheet>!<range>", "DeleteRange <sheet>!<range> up", …
    std::vector<std::string> Log;
    bool Installed = true;         // false: Connect raises as on a machine without an office
    bool Windows = true;           // CanShow

    // The `occurrence`-th call of `operation` (a Log word such as "PutValues") raises
    // ESpreadsheetError instead of acting.
    void FailOn(const std::string& operation, int occurrence = 1) { m_failures[operation] = occurrence; }
    // Log entries that start with `prefix`.
    std::vector<std::string> LogOf(const std::string& prefix) const;

    void Connect() override;
    bool Connected() const override { return m_connected; }
    void Disconnect() override;
    std::unique_ptr<ISpreadsheetBook> AddBook(const std::string& templateFile) override;
    std::unique_ptr<ISpreadsheetBook> FindBookWithSheet(const std::string& sheetName) override;
    bool CanShow() const override { return Windows; }

    // Logs the operation and raises when it is set to fail. Used by the workbook handles.
    void Step(const std::string& operation, const std::string& detail = {});

private:
    bool m_connected = false;
    std::map<std::string, int> m_failures;
};

} // namespace lv
