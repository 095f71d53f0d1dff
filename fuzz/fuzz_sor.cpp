// libFuzzer target for the ".sor" reader. Any input must either load or fail with one of the
// system's own errors, never read out of bounds; a trace that loads must save, and its save must
// load again with the same number of points.
//   fuzz/build.sh && fuzz/out/fuzz_sor -max_total_time=600 fuzz/corpus-sor

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "formats/uBellcoreConvs.h"
#include "trace/Errors.h"

namespace {
bool registerFormats() {
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
        image = writer.WriteImage(nullptr, samples.get());
    } catch (const lv::EConvertError&) {
        return 0; // levels spanning more than the format holds
    }
    lv::TTheManager again;
    lv::PDataStruct p2, s2;
    again.ReadImage(image.data(), image.size(), p2, s2);
    if (s2->SampleCount() != samples->SampleCount()) std::abort();
    return 0;
}
