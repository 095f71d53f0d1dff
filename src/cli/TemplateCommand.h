#pragma once
// lumvaris-cli template: a built-in report workbook written to a file or shown in the office.

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "reports/uSpreadsheet.h"

namespace lvcli {

// The office of one command. Own: a private headless office in a temporary profile, started for
// the command and ended with this object, so the user's office is never touched. Otherwise the
// user's office, attached to or started, where a workbook can be shown.
class TCliOffice {
public:
    explicit TCliOffice(bool own);
    ~TCliOffice();
    TCliOffice(const TCliOffice&) = delete;
    TCliOffice& operator=(const TCliOffice&) = delete;
    lv::ISpreadsheetApp& App() { return *m_app; }

private:
    std::string m_profile;
    std::unique_ptr<lv::ISpreadsheetApp> m_app;
};

// args: "template" NAME (OUT | --show). Answers the exit code; usage errors answer -1.
int RunTemplateCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace lvcli
