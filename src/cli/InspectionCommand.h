#pragma once
// lumvaris-cli report inspection: the protocol of a folder set through the report code of the
// inspection window, stored by a private headless office.

#include <ostream>
#include <string>
#include <vector>

namespace lvcli {

// args: "report" "inspection" …. Answers the exit code; a usage error answers -1 with `usage` set.
int RunInspectionCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::string& usage);

} // namespace lvcli
