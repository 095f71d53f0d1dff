#pragma once
// Trace files for tests and benchmarks, written by the program's own trace store from a synthetic
// reflectogram, and read back the same way.

#include <memory>
#include <string>

#include "formats/uBellcoreConvs.h"
#include "formats/uTRAConvs.h"
#include "trace/SyntheticTrace.h"
#include "trace/uGraphIntfs.h"
#include "support/TraceFormats.h"

namespace lvtest {

// Writes the synthetic trace of `o` titled `caption` (".sor" names get Bellcore data).
// `approximation` 0 two-point, 1 least squares, -1 the format's default.
inline void WriteTraceFile(const std::string& path, const lv::TSynthOptions& o, const std::string& caption,
                           int approximation = -1) {
    using namespace lv;
    EnsureTraceFormats();
    auto store = std::make_unique<TRDataStorage>();
    store->SetAutoFree(false);
    FillSyntheticTrace(*store, o, caption);
    if (approximation >= 0) store->SetApproximation(approximation);
    if (!store->SaveToFile(path, false)) throw lv::Exception("test trace not written: " + path);
}

// A short trace of a 10 km fibre at `wavelengthNm`.
inline void WriteTraceFile(const std::string& path, int wavelengthNm, const std::string& caption,
                           uint64_t seed = 1, int approximation = -1) {
    lv::TSynthOptions o;
    o.lengthKm = 10;
    o.samples = 2000;
    o.wavelengthNm = wavelengthNm;
    o.seed = seed;
    WriteTraceFile(path, o, caption, approximation);
}

// The title, approximation code and group index of a trace file, as a fresh store loads them.
struct StoredTrace {
    std::string Caption;
    int Approximation = -1;
    double RefIndex = 0;
};
inline StoredTrace ReadTraceFile(const std::string& path) {
    EnsureTraceFormats();
    auto store = std::make_unique<lv::TRDataStorage>();
    store->SetAutoFree(false);
    if (!store->LoadFromFile(path, false)) return {};
    return {store->GetComment(), store->GetApproximation(), store->RefIndex};
}

} // namespace lvtest
