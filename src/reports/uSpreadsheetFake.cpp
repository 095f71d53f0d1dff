#include "reports/uSpreadsheetFake.h"

#include <cstdio>

#include "formats/FileErrors.h"
#include "formats/SafeFile.h"
#include "reports/uAliases.h"
#include "reports/uWorkbookModel.h"

namespace lv {

const TFakeCell* TFakeSheet::Find(int row, int column) const {
    auto it = Cells.find({row, column});
    return it == Cells.end() ? nullptr : &it->second;
}

TCellValue TFakeSheet::Value(int row, int column) const {
    const TFakeCell* c = Find(row, column);
    return c ? c->Value : TCellValue{};
}

TFakeSheet* TFakeBook::FindSheet(const std::string& name) {
    for (auto& s : Sheets)
        if (SameName(s.Name, name)) return &s;
    return nullptr;
}

const TFakeSheet* TFakeBook::FindSheet(const std::string& name) const {
    return const_cast<TFakeBook*>(this)->FindSheet(name);
}

TFakeSheet& TFakeBook::SheetById(int id) {
    for (auto& s : Sheets)
        if (s.Id == id) return s;
    throw ESpreadsheetError(FormatS(kMsgNoSheet, "#" + std::to_string(id)));
}

std::vector<std::string> TFakeBook::SheetNames() const {
    std::vector<std::string> names;
    for (const auto& s : Sheets) names.push_back(s.Name);
    return names;
}

namespace {

std::string shownNumber(double v, bool date) {
    if (date) {
        const TDateTimeParts p = DecodeDateTime(v);
        char buf[16];
        std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", p.Day, p.Month, p.Year);
        return buf;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

class TFakeBookHandle : public ISpreadsheetBook {
public:
    TFakeBookHandle(TFakeSpreadsheetApp& app, std::shared_ptr<TFakeBook> book) : m_app(app), m_book(std::move(book)) {}

    std::vector<std::string> SheetNames() override { return m_book->SheetNames(); }
    bool HasSheet(const std::string& name) override { return m_book->FindSheet(name) != nullptr; }

    TSheetHandle Sheet(const std::string& name) override {
        step("Sheet", name);
        TFakeSheet* s = m_book->FindSheet(name);
        if (!s) throw ESpreadsheetError(FormatS(kMsgNoSheet, name));
        return s->Id;
    }

    std::string SheetName(TSheetHandle sheet) override { return m_book->SheetById(sheet).Name; }

    void RenameSheet(TSheetHandle sheet, const std::string& name) override {
        step("RenameSheet", m_book->SheetById(sheet).Name + " -> " + name);
        checkNewName(name, sheet);
        m_book->SheetById(sheet).Name = name;
    }

    TSheetHandle CopySheet(TSheetHandle source, TSheetHandle before, const std::string& name) override {
        step("CopySheet", m_book->SheetById(source).Name + " -> " + name);
        checkNewName(name, kNoSheet);
        TFakeSheet copy = m_book->SheetById(source);
        copy.Id = m_book->NextId++;
        copy.Name = name;
        auto at = m_book->Sheets.begin();
        while (at != m_book->Sheets.end() && at->Id != before) ++at;
        m_book->Sheets.insert(at, copy);
        return copy.Id;
    }

    void PutValues(TSheetHandle sheet, int row, int column, const TCellBlock& block) override {
        size_t width = 0;
        for (const auto& r : block) width = std::max(width, r.size());
        if (block.empty() || width == 0) return;
        const TCellRange range{row, column, row + static_cast<int>(block.size()) - 1, column + static_cast<int>(width) - 1};
        CheckRange(range);
        TFakeSheet& s = at(sheet, "PutValues", range);
        for (size_t i = 0; i < block.size(); ++i)
            for (size_t j = 0; j < block[i].size(); ++j) {
                TFakeCell& c = s.Cells[{row + static_cast<int>(i), column + static_cast<int>(j)}];
                c.Value = block[i][j];
                c.Formula.clear();
                if (c.Value.kind == TCellValue::Kind::Date) c.DateFormat = true;
            }
    }

    TCellBlock GetValues(TSheetHandle sheet, const TCellRange& range) override {
        CheckRange(range);
        const TFakeSheet& s = at(sheet, "GetValues", range);
        TCellBlock block(static_cast<size_t>(range.Rows()), TCellRow(static_cast<size_t>(range.Columns())));
        for (int r = range.Top; r <= range.Bottom; ++r)
            for (int c = range.Left; c <= range.Right; ++c) {
                TCellValue v = s.Value(r, c);
                if (v.kind == TCellValue::Kind::Date) v.kind = TCellValue::Kind::Number;
                block[static_cast<size_t>(r - range.Top)][static_cast<size_t>(c - range.Left)] = v;
            }
        return block;
    }

    std::string ShownText(TSheetHandle sheet, int row, int column) override {
        CheckRange(TCellRange::Cell(row, column));
        const TFakeSheet& s = at(sheet, "ShownText", TCellRange::Cell(row, column));
        const TFakeCell* c = s.Find(row, column);
        if (!c) return {};
        switch (c->Value.kind) {
        case TCellValue::Kind::Empty: return {};
        case TCellValue::Kind::Text: return c->Value.text;
        case TCellValue::Kind::Number: return shownNumber(c->Value.number, c->DateFormat);
        case TCellValue::Kind::Date: return shownNumber(c->Value.number, true);
        }
        return {};
    }

    void SetBorder(TSheetHandle sheet, const std::vector<TCellRange>& ranges, TBorderEdge edge) override {
        TFakeSheet& s = atRanges(sheet, "SetBorder", ranges, edge == TBorderEdge::Top ? "top" : "bottom");
        for (const auto& r : ranges)
            for (int c = r.Left; c <= r.Right; ++c) {
                if (edge == TBorderEdge::Top)
                    s.Cells[{r.Top, c}].BorderTop = true;
                else
                    s.Cells[{r.Bottom, c}].BorderBottom = true;
            }
    }

    void SetInterior(TSheetHandle sheet, const std::vector<TCellRange>& ranges, int colorIndex) override {
        ColorIndexRgb(colorIndex);
        TFakeSheet& s = atRanges(sheet, "SetInterior", ranges, std::to_string(colorIndex));
        for (const auto& r : ranges)
            for (int row = r.Top; row <= r.Bottom; ++row)
                for (int c = r.Left; c <= r.Right; ++c) s.Cells[{row, c}].ColorIndex = colorIndex;
    }

    void DeleteRange(TSheetHandle sheet, const TCellRange& range, TDeleteShift shift) override {
        CheckRange(range);
        const bool up = shift == TDeleteShift::Up;
        TFakeSheet& s = at(sheet, "DeleteRange", range, up ? "up" : "left");
        std::map<std::pair<int, int>, TFakeCell> moved;
        for (auto& [pos, cell] : s.Cells) {
            auto [r, c] = pos;
            const bool inColumns = c >= range.Left && c <= range.Right;
            const bool inRows = r >= range.Top && r <= range.Bottom;
            if (inColumns && inRows) continue;
            if (up && inColumns && r > range.Bottom) r -= range.Rows();
            if (!up && inRows && c > range.Right) c -= range.Columns();
            moved[{r, c}] = std::move(cell);
        }
        s.Cells = std::move(moved);
    }

    void ClearRange(TSheetHandle sheet, const TCellRange& range, TClearWhat what) override {
        CheckRange(range);
        TFakeSheet& s = at(sheet, "ClearRange", range, what == TClearWhat::All ? "all" : "contents");
        for (auto it = s.Cells.lower_bound({range.Top, 0}); it != s.Cells.end() && it->first.first <= range.Bottom;) {
            const int c = it->first.second;
            if (c < range.Left || c > range.Right) {
                ++it;
            } else if (what == TClearWhat::All) {
                it = s.Cells.erase(it);
            } else {
                it->second.Value = {};
                it->second.Formula.clear();
                ++it;
            }
        }
    }

    void SetColumnWidth(TSheetHandle sheet, int column, double characters) override {
        CheckRange(TCellRange::Cell(1, column));
        at(sheet, "SetColumnWidth", TCellRange{1, column, kMaxRows, column}).ColumnWidths[column] = characters;
    }

    void SetAutomaticCalculation(bool automatic) override {
        step("SetAutomaticCalculation", automatic ? "on" : "off");
        m_book->AutomaticCalculation = automatic;
    }

    void Calculate() override {
        step("Calculate");
        ++m_book->Calculations;
    }

    void Select(TSheetHandle sheet, const TCellRange& range) override {
        CheckRange(range);
        at(sheet, "Select", range);
        m_book->SelectedSheet = sheet;
        m_book->Selection = range;
    }

    void Show() override {
        step("Show");
        m_book->Visible = true;
    }

    void StoreTo(const std::string& path) override {
        step("StoreTo", path);
        m_book->StoredTo.push_back(path);
    }

    void Close() override {
        step("Close");
        m_book->Closed = true;
    }

private:
    void step(const std::string& op, const std::string& detail = {}) {
        if (m_book->Closed) throw ESpreadsheetError(kMsgOfficeLost);
        m_app.Step(op, detail);
    }

    TFakeSheet& at(TSheetHandle sheet, const std::string& op, const TCellRange& range, const std::string& extra = {}) {
        TFakeSheet& s = m_book->SheetById(sheet);
        step(op, s.Name + "!" + RangeAddress(range) + (extra.empty() ? "" : " " + extra));
        return s;
    }

    TFakeSheet& atRanges(TSheetHandle sheet, const std::string& op, const std::vector<TCellRange>& ranges,
                         const std::string& extra) {
        TFakeSheet& s = m_book->SheetById(sheet);
        std::string list;
        for (const auto& r : ranges) {
            CheckRange(r);
            list += (list.empty() ? "" : ",") + RangeAddress(r);
        }
        step(op, s.Name + "!" + list + " " + extra);
        return s;
    }

    void checkNewName(const std::string& name, TSheetHandle renamed) {
        if (!IsValidSheetName(name)) throw ESpreadsheetError(FormatS(kMsgBadSheetName, name));
        const TFakeSheet* other = m_book->FindSheet(name);
        if (other && other->Id != renamed) throw ESpreadsheetError(FormatS(kMsgSheetExists, name));
    }

    TFakeSpreadsheetApp& m_app;
    std::shared_ptr<TFakeBook> m_book;
};

} // namespace

std::vector<std::string> TFakeSpreadsheetApp::LogOf(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& e : Log)
        if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e);
    return out;
}

void TFakeSpreadsheetApp::Step(const std::string& operation, const std::string& detail) {
    if (operation != "Connect" && !m_connected) throw ESpreadsheetError(kMsgOfficeLost);
    Log.push_back(detail.empty() ? operation : operation + " " + detail);
    auto it = m_failures.find(operation);
    if (it != m_failures.end() && --it->second == 0) {
        m_failures.erase(it);
        throw ESpreadsheetError(FormatS(kMsgOfficeFailed, "отказ, заданный тестом (" + operation + ")"));
    }
}

void TFakeSpreadsheetApp::Connect() {
    if (!Installed) throw ESpreadsheetError(kMsgCannotStartOffice);
    Step("Connect");
    m_connected = true;
}

void TFakeSpreadsheetApp::Disconnect() {
    if (m_connected) Log.push_back("Disconnect");
    m_connected = false;
}

std::unique_ptr<ISpreadsheetBook> TFakeSpreadsheetApp::AddBook(const std::string& templateFile) {
    Step("AddBook", templateFile);
    auto book = std::make_shared<TFakeBook>();
    book->TemplateFile = templateFile;
    if (templateFile.empty()) {
        book->Sheets.push_back(TFakeSheet{book->NextId++, "Лист1", {}, {}});
    } else {
        TBookModel model;
        try {
            const std::vector<uint8_t> bytes = ReadWholeFile(templateFile);
            model = ReadFlatOds(std::string(bytes.begin(), bytes.end()));
        } catch (const Exception&) {
            throw ESpreadsheetError(FormatS(kMsgCannotOpenTemplate, templateFile));
        }
        for (const auto& ms : model.Sheets) {
            TFakeSheet s{book->NextId++, ms.Name, {}, {}};
            for (const auto& [pos, cell] : ms.Cells) {
                if (cell.Value.kind == TCellValue::Kind::Empty && cell.Formula.empty()) continue;
                s.Cells[pos] = TFakeCell{cell.Value, cell.Formula};
            }
            book->Sheets.push_back(std::move(s));
        }
    }
    if (!book->Sheets.empty()) book->SelectedSheet = book->Sheets.front().Id;
    Books.push_back(book);
    return std::make_unique<TFakeBookHandle>(*this, book);
}

std::unique_ptr<ISpreadsheetBook> TFakeSpreadsheetApp::FindBookWithSheet(const std::string& sheetName) {
    Step("FindBookWithSheet", sheetName);
    for (const auto& b : Books)
        if (!b->Closed && b->FindSheet(sheetName)) return std::make_unique<TFakeBookHandle>(*this, b);
    return nullptr;
}

} // namespace lv
