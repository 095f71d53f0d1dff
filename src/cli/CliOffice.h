#pragma once
// The office a report command works through: the user's own one when a workbook is to be shown,
// or a private headless one (its own profile folder and pipe) for a workbook that is only
// stored, ended and removed with this object.

#include <memory>
#include <string>

#include "reports/uSpreadsheet.h"

namespace lvcli {

class CliOffice {
public:
    explicit CliOffice(bool own);
    ~CliOffice();
    CliOffice(const CliOffice&) = delete;
    CliOffice& operator=(const CliOffice&) = delete;

    lv::ISpreadsheetApp& app() { return *m_app; }

private:
    bool m_own;
    std::string m_profile;
    std::unique_ptr<lv::ISpreadsheetApp> m_app;
};

} // namespace lvcli
