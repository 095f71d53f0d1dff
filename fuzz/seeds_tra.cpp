// Writes valid TRA and Setup images into a folder, as the seed corpus of fuzz_tra:
//   fuzz/out/seeds_tra fuzz/corpus-tra

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "formats/uTRAConvs.h"
#include "trace/TraceParams.h"

using namespace lv;

namespace {
void write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

PDataStruct params(const std::string& comment, int texts) {
    PDataStruct p = MakeParamBlock();
    TParamBlock& b = *p->Params();
    SetDefaultParams(b);
    b[prmL] = TVariant(comment);
    b[prmM] = TVariant::DoubleArray(1, 3, -1.0);
    b[prmM].SetElement(1, TVariant(100.0));
    b[prmM].SetElement(2, TVariant(2500.0));
    if (texts > 0) {
        TVariant t = TVariant::VariantArray(1, texts);
        for (int i = 1; i <= texts; ++i)
            t.SetElement(i, TVariant("text " + std::to_string(i)));
        b[prmEN] = t;
    }
    return p;
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    TTRAConverter conv;
    conv.SetRaiseErrors(true);
    int index = 0;
    for (int n : {0, 1, 16, 300}) {
        for (int texts : {0, 3, 101}) {
            PDataStruct p = params(std::string(static_cast<size_t>(n % 40), 'c'), texts);
            std::vector<double> levels(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i)
                levels[static_cast<size_t>(i)] = 20.0 - i * 0.01;
            PDataStruct s = MakeSampleBlock(levels.data(), n);
            int32_t size = 0;
            std::vector<uint8_t> image;
            conv.TraceToBuffer(p.get(), s.get(), size, image);
            write(dir + "/trace-" + std::to_string(index) + ".tra", image);
            conv.SetupToBuffer(p.get(), size, image);
            write(dir + "/setup-" + std::to_string(index) + ".set", image);
            ++index;
        }
    }
    return 0;
}
