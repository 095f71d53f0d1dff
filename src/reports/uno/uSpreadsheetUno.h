#pragma once
// LibreOffice Calc over UNO behind the spreadsheet layer. Only uSpreadsheetUno.cpp sees the
// office's API headers; everything else includes this file.

#include <memory>
#include <string>

#include "reports/uSpreadsheet.h"

namespace lv {

struct TUnoOfficeOptions {
    // The office's pipe; empty: "lumvaris_<user>", so that every report of the user's session
    // reaches the same office.
    std::string PipeName;
    // The profile folder; empty: the user's own profile, so a running office takes the start
    // request over (attach or start in one step).
    std::string ProfileDir;
    // No window at all (scripts, tests): started --headless, nothing is ever shown.
    bool Headless = false;
    // The office is started as this program's child and ended by TerminateOffice; otherwise it
    // is started apart from the program and keeps running after it.
    bool OwnOffice = false;
    // Empty: found on PATH or in the usual installation folder.
    std::string SofficePath;
    int StartTimeoutMs = 60000;
};

// The soffice program, or empty when no office is installed.
std::string FindSoffice();

class TUnoSpreadsheetApp : public ISpreadsheetApp {
public:
    explicit TUnoSpreadsheetApp(TUnoOfficeOptions options = {});
    ~TUnoSpreadsheetApp() override;

    void Connect() override;
    bool Connected() const override;
    void Disconnect() override;
    std::unique_ptr<ISpreadsheetBook> AddBook(const std::string& templateFile) override;
    std::unique_ptr<ISpreadsheetBook> FindBookWithSheet(const std::string& sheetName) override;
    bool CanShow() const override;

    // Ends the office (its desktop is asked to terminate) and, for an own office, waits for the
    // process. Only for offices the program started for itself: never the user's.
    void TerminateOffice();

    struct Impl;

private:
    std::shared_ptr<Impl> m_impl;
};

} // namespace lv
