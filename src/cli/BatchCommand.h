#pragma once
// lumvaris-cli batch: the batch conversion of a folder set to Bellcore files through the code of
// the main window's "Обработать потоком", every overwrite question answered No.

#include <ostream>
#include <string>
#include <vector>

namespace lvcli {

// args: "batch" FOLDER [--out DIR] [--texts KEY=VALUE...] [--no-process]. Answers the exit code
// (0 when every file of the set was converted, 1 otherwise); a usage error answers -1 with
// `usage` set.
int RunBatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    std::string& usage);

} // namespace lvcli
