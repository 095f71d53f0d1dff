#pragma once
// Trace files for the main-window tests, written by the program's own trace store from a
// synthetic reflectogram, and read back the same way.

#include <QString>

#include <cmath>
#include <memory>
#include <string>

#include "formats/uBellcoreConvs.h"
#include "formats/uFileFormats.h"
#include "formats/uTRAConvs.h"
#include "trace/SyntheticTrace.h"
#include "trace/TraceParams.h"
#include "trace/uGraphIntfs.h"
#include "support/TraceFormats.h"

namespace lvtest {

// Writes a short trace at `wavelengthNm` titled `caption` (".sor" names get Bellcore data).
// `approximation` 0 two-point, 1 least squares, -1 the format's default.
inline void WriteTraceFile(const std::string& path, int wavelengthNm, const std::string& caption,
                           uint64_t seed = 1, int approximation = -1) {
    using namespace lv;
    EnsureTraceFormats();
    TSynthOptions o;
    o.lengthKm = 10;
    o.samples = 2000;
    o.wavelengthNm = wavelengthNm;
    o.seed = seed;
    const TSynthTrace t = SynthesizeTrace(o);
    auto store = std::make_unique<TRDataStorage>();
    store->SetAutoFree(false);
    PDataStruct params;
    store->Converter()->NewParams(params);
    TParamBlock& p = *params->Params();
    p[prmLAM] = TVariant(int32_t(wavelengthNm));
    p[prmPW] = TVariant(int32_t(10));
    p[prmR] = TVariant(int32_t(16));
    p[prmRESR] = TVariant(t.spacing10ns);
    p[prmL] = TVariant(caption);
    store->SetupArrived(params.get());
    store->DataArrived(MakeSampleBlock(t.levels.data(), int32_t(t.levels.size())).get());
    if (approximation >= 0) store->SetApproximation(approximation);
    if (!store->SaveToFile(path, false)) throw lv::Exception("test trace not written: " + path);
}

// The title and approximation code of a trace file, as a fresh store loads them.
struct StoredTrace {
    std::string Caption;
    int Approximation = -1;
};
inline StoredTrace ReadTraceFile(const std::string& path) {
    EnsureTraceFormats();
    auto store = std::make_unique<lv::TRDataStorage>();
    store->SetAutoFree(false);
    if (!store->LoadFromFile(path, false)) return {};
    return {store->GetComment(), store->GetApproximation()};
}

} // namespace lvtest
