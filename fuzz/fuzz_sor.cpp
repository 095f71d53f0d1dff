// libFuzzer target for the ".sor" reader. Any input must either load or fail with one of the
// system's own errors, never read out of bounds; a trace that loads and can be saved must load
// again from its save, as the system's own file, with the same number of points.
//   fuzz/build.sh && fuzz/out/fuzz_sor -max_total_time=600 fuzz/corpus-sor

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "formats/uBellcoreConvs.h"
#include "formats/uTRAConvs.h"
#include "trace/Errors.h"

namespace {
bool registerFormats() {
    lv::RegisterTRAFormat();
    lv::RegisterBellcoreFormat();
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool registered = registerFormats();
    (void)registered;

    lv::TTheManager reader;
    lv::PDataStruct params, samples;
    try {
        reader.ReadImage(data, size, params, samples);
    } catch (const lv::Exception&) {
        return 0;
    }
    if (!params || !samples || samples->SampleCount() < 1) std::abort();

    lv::TTheManager writer;
    std::vector<uint8_t> image;
    try {
        image = writer.WriteImage(params.get(), samples.get());
    } catch (const lv::Exception&) {
        return 0; // levels or values the format cannot hold: the save is refused
    }
    lv::TTheManager again;
    lv::PDataStruct p2, s2;
    again.ReadImage(image.data(), image.size(), p2, s2);
    if (s2->SampleCount() != samples->SampleCount() || again.LoadedForeignFile()) std::abort();
    return 0;
}
