#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace lvcli {

enum ExitCode { kExitOk = 0, kExitFileError = 1, kExitUsage = 2 };

// Runs one command line (without the program name). The converters must be registered.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace lvcli
