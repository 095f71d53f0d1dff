#pragma once
// lumvaris-cli template: a built-in report workbook written to a file or shown in the office.

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "reports/uSpreadsheet.h"

namespace lvcli {

// args: "template" NAME (OUT | --show). Answers the exit code; usage errors answer -1.
int RunTemplateCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace lvcli
