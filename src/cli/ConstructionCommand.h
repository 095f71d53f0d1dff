#pragma once
// lumvaris-cli report construction: the construction documentation workbook of a line folder,
// made by the report code the construction window runs, through a headless office of its own.

#include <ostream>
#include <string>
#include <vector>

namespace lvcli {

// args: "report" "construction" FOLDER OUT [--splices KM[,KM...] --end KM]. The splice table is
// the line's ".mif", or splices placed at those distances from A (start 0, end at --end). Answers
// the exit code; usage errors answer -1. The caller installs the prompt service that prints.
int RunReportCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace lvcli
