// Loading real trace files: every ".sor" file of a folder (by default the shared corpus beside the
// checkout), one pass after another, three ways side by side:
//   file bytes  - the files read into memory, nothing decoded (the floor the page cache sets);
//   SOR reader  - the "Bellcore" converter alone, file to parameter and sample blocks;
//   trace store - TRDataStorage::LoadFromFile, the way the program opens a trace.
// A first pass in a fresh process pays for cold memory and code, so each way runs in processes of
// its own: the first pass of each process and the passes after it are reported apart, as medians
// over the processes.
//
// Run: build/bench/bench_load [FOLDER] [--processes N] [--passes N]

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "formats/SafeFile.h"
#include "formats/uBellcoreConvs.h"
#include "formats/uTRAConvs.h"
#include "trace/ValueHelpers.h"
#include "trace/uGraphIntfs.h"

using namespace lv;

namespace {

using Clock = std::chrono::steady_clock;

enum class Way { Bytes, Reader, Store };
const char* const kWayNames[] = {"bytes", "reader", "store"};
const char* const kWayTitles[] = {"file bytes", "SOR reader", "trace store"};

struct Folder {
    std::vector<std::string> files; // in name order
    int others = 0;                 // regular files without the ".sor" extension
};

Folder listFolder(const std::string& dir) {
    Folder f;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        if (!e.is_regular_file()) continue;
        if (HasSorExtension(e.path().string()))
            f.files.push_back(e.path().string());
        else
            ++f.others;
    }
    std::sort(f.files.begin(), f.files.end());
    return f;
}

// One pass; answers the samples loaded (the same every pass) or -1 when a file failed.
long long onePass(Way way, const std::vector<std::string>& files) {
    long long samples = 0;
    for (const std::string& path : files) {
        switch (way) {
        case Way::Bytes: {
            const std::vector<uint8_t> bytes = ReadWholeFile(path);
            samples += static_cast<long long>(bytes.size() > 0);
            break;
        }
        case Way::Reader: {
            std::unique_ptr<IFileFormat> reader = GetFileFormat("Bellcore");
            PDataStruct params, data;
            if (!reader->LoadTraceFrom(params, data, path)) return -1;
            samples += data->SampleCount();
            break;
        }
        case Way::Store: {
            TRDataStorage store;
            store.SetAutoFree(false);
            if (!store.LoadFromFile(path, false)) return -1;
            samples += store.Param(prmDBIR).Count();
            break;
        }
        }
    }
    return samples;
}

// The child: prints "<samples> <first ms> <later ms>..." on one line.
int runChild(Way way, const std::string& dir, int passes) {
    RegisterTRAFormat();
    RegisterBellcoreFormat();
    const Folder folder = listFolder(dir);
    std::ostringstream line;
    long long samples = 0;
    for (int p = 0; p < passes; ++p) {
        const auto t0 = Clock::now();
        samples = onePass(way, folder.files);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        if (samples < 0) {
            std::cerr << "bench_load: a file did not load (" << kWayTitles[int(way)] << ")\n";
            return 1;
        }
        line << ' ' << ms;
    }
    std::cout << samples << line.str() << "\n";
    return 0;
}

// Runs this program again as a child for `way`; answers its line.
bool spawn(const std::string& self, Way way, const std::string& dir, int passes, std::string& out) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return false;
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        const std::string passesText = std::to_string(passes);
        ::execl(self.c_str(), self.c_str(), "--child", kWayNames[int(way)], dir.c_str(), passesText.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    char buf[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

struct Figures {
    std::vector<double> first, later;
    long long samples = 0;
};

int usage() {
    std::cerr << "Использование: bench_load [ПАПКА] [--processes N] [--passes N]\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--child") == 0) {
        for (int w = 0; w < 3; ++w)
            if (std::strcmp(argv[2], kWayNames[w]) == 0) return runChild(Way(w), argv[3], std::atoi(argv[4]));
        return usage();
    }
    std::string dir = LUMVARIS_DEFAULT_CORPUS;
    int processes = 9, passes = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "--processes" || a == "--passes") && i + 1 < argc) {
            const int v = std::atoi(argv[++i]);
            if (v < 1) return usage();
            (a == "--processes" ? processes : passes) = v;
        } else if (!a.empty() && a[0] != '-') {
            dir = a;
        } else {
            return usage();
        }
    }
    if (!std::filesystem::is_directory(dir)) {
        std::cerr << "bench_load: no folder " << dir << "\n";
        return 1;
    }
    const Folder folder = listFolder(dir);
    if (folder.files.empty()) {
        std::cerr << "bench_load: no .sor files in " << dir << "\n";
        return 1;
    }
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();

    Figures figures[3];
    // The ways take turns, so that a busy moment of the machine spreads over all three.
    for (int p = 0; p < processes; ++p) {
        for (int w = 0; w < 3; ++w) {
            std::string out;
            if (!spawn(self, Way(w), dir, passes + 1, out)) {
                std::cerr << "bench_load: the " << kWayTitles[w] << " run failed\n";
                return 1;
            }
            std::istringstream in(out);
            in >> figures[w].samples;
            double ms = 0;
            for (int k = 0; in >> ms; ++k)
                (k == 0 ? figures[w].first : figures[w].later).push_back(ms);
        }
    }

    const double per100 = 100.0 / double(folder.files.size());
    std::printf("%s: %zu files, %lld samples", dir.c_str(), folder.files.size(),
                figures[int(Way::Store)].samples);
    if (folder.others) std::printf(" (%d files without the .sor extension left out)", folder.others);
    std::printf("\nmedians of %d processes; later passes: %d per process\n\n", processes, passes);
    std::printf("%-12s %14s %16s %14s %16s\n", "", "first pass", "", "later passes", "");
    std::printf("%-12s %14s %16s %14s %16s\n", "", "ms/100 files", "samples/s", "ms/100 files", "samples/s");
    double firstMs[3], laterMs[3];
    for (int w = 0; w < 3; ++w) {
        firstMs[w] = median(figures[w].first);
        laterMs[w] = median(figures[w].later);
        const double samples = double(figures[int(Way::Store)].samples);
        std::printf("%-12s %14.2f %16.3g %14.2f %16.3g\n", kWayTitles[w], firstMs[w] * per100,
                    samples / (firstMs[w] / 1000), laterMs[w] * per100, samples / (laterMs[w] / 1000));
    }
    std::printf("\ntrace store / SOR reader: first pass %.2f x, later passes %.2f x\n",
                firstMs[int(Way::Store)] / firstMs[int(Way::Reader)],
                laterMs[int(Way::Store)] / laterMs[int(Way::Reader)]);
    return 0;
}
