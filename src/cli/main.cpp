// lumvaris-cli: the trace core from the command line, for scripts and servers.
// info, convert, samples and synth over the same trace store the program uses; no Qt.

#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "formats/uBellcoreConvs.h"
#include "formats/uTRAConvs.h"

int main(int argc, char** argv) {
    // A file-size limit must make a save fail, not kill the program.
    std::signal(SIGXFSZ, SIG_IGN);
    lv::RegisterTRAFormat();
    lv::RegisterBellcoreFormat();
    std::vector<std::string> args(argv + 1, argv + argc);
    return lvcli::RunCli(args, std::cout, std::cerr);
}
