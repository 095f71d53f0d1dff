#pragma once
// The office the report windows drive: the user's own, where workbooks are shown and stay after the
// program; without the UNO bindings, one that refuses to start with its message.

#include <memory>

namespace lv {

class ISpreadsheetApp;

std::unique_ptr<ISpreadsheetApp> NewUsersOffice();

} // namespace lv
