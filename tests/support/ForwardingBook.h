#pragma once
// A workbook that passes every operation on to another one: tests and benchmarks derive from it
// to change one operation (compute a formula, split a block write) and keep the rest.

#include <memory>
#include <string>
#include <vector>

#include "reports/uSpreadsheet.h"

namespace lvtest {

class ForwardingBook : public lv::ISpreadsheetBook {
public:
    explicit ForwardingBook(std::unique_ptr<lv::ISpreadsheetBook> inner) : m_inner(std::move(inner)) {}

    std::vector<std::string> SheetNames() override { return m_inner->SheetNames(); }
    bool HasSheet(const std::string& n) override { return m_inner->HasSheet(n); }
    lv::TSheetHandle Sheet(const std::string& n) override { return m_inner->Sheet(n); }
    std::string SheetName(lv::TSheetHandle s) override { return m_inner->SheetName(s); }
    void RenameSheet(lv::TSheetHandle s, const std::string& n) override { m_inner->RenameSheet(s, n); }
    lv::TSheetHandle CopySheet(lv::TSheetHandle s, lv::TSheetHandle b, const std::string& n) override {
        return m_inner->CopySheet(s, b, n);
    }
    void PutValues(lv::TSheetHandle s, int r, int c, const lv::TCellBlock& b) override { m_inner->PutValues(s, r, c, b); }
    lv::TCellBlock GetValues(lv::TSheetHandle s, const lv::TCellRange& r) override { return m_inner->GetValues(s, r); }
    std::string ShownText(lv::TSheetHandle s, int r, int c) override { return m_inner->ShownText(s, r, c); }
    void SetBorder(lv::TSheetHandle s, const std::vector<lv::TCellRange>& r, lv::TBorderEdge e) override {
        m_inner->SetBorder(s, r, e);
    }
    void SetInterior(lv::TSheetHandle s, const std::vector<lv::TCellRange>& r, int c) override { m_inner->SetInterior(s, r, c); }
    void DeleteRange(lv::TSheetHandle s, const lv::TCellRange& r, lv::TDeleteShift h) override { m_inner->DeleteRange(s, r, h); }
    void ClearRange(lv::TSheetHandle s, const lv::TCellRange& r, lv::TClearWhat w) override { m_inner->ClearRange(s, r, w); }
    void SetColumnWidth(lv::TSheetHandle s, int c, double w) override { m_inner->SetColumnWidth(s, c, w); }
    void SetAutomaticCalculation(bool a) override { m_inner->SetAutomaticCalculation(a); }
    void Calculate() override { m_inner->Calculate(); }
    void Select(lv::TSheetHandle s, const lv::TCellRange& r) override { m_inner->Select(s, r); }
    void Show() override { m_inner->Show(); }
    void StoreTo(const std::string& p) override { m_inner->StoreTo(p); }
    void Close() override { m_inner->Close(); }

private:
    std::unique_ptr<lv::ISpreadsheetBook> m_inner;
};

// An office that passes everything on to another one and wraps the workbooks it makes.
class ForwardingOffice : public lv::ISpreadsheetApp {
public:
    explicit ForwardingOffice(lv::ISpreadsheetApp& inner) : m_inner(inner) {}
    void Connect() override { m_inner.Connect(); }
    bool Connected() const override { return m_inner.Connected(); }
    void Disconnect() override { m_inner.Disconnect(); }
    std::unique_ptr<lv::ISpreadsheetBook> AddBook(const std::string& file) override { return wrap(m_inner.AddBook(file)); }
    std::unique_ptr<lv::ISpreadsheetBook> FindBookWithSheet(const std::string& name) override {
        auto b = m_inner.FindBookWithSheet(name);
        return b ? wrap(std::move(b)) : nullptr;
    }
    bool CanShow() const override { return m_inner.CanShow(); }

protected:
    virtual std::unique_ptr<lv::ISpreadsheetBook> wrap(std::unique_ptr<lv::ISpreadsheetBook> book) = 0;

private:
    lv::ISpreadsheetApp& m_inner;
};

} // namespace lvtest
