#pragma once
// Traces for format tests: a parameter block with every field the native formats carry set away
// from its default, and the samples of a synthesized fibre at the files' resolution.

#include <cstdint>
#include <string>
#include <vector>

#include "formats/uTRAConvs.h"
#include "trace/SyntheticTrace.h"
#include "trace/TraceParams.h"
#include "trace/uDeviceIntfs.h"

namespace lvtest {

inline lv::PDataStruct makeTraceParams(const std::string& comment = "Волокно 7, муфта 3") {
    using namespace lv;
    PDataStruct params = MakeParamBlock();
    TParamBlock& p = *params->Params();
    SetDefaultParams(p);
    p[prmASU] = TVariant(int32_t(3));
    p[prmLAM] = TVariant(int32_t(1550));
    p[prmR] = TVariant(int32_t(20));
    p[prmPW] = TVariant(100.0);
    p[prmIOR] = TVariant(1.4681);
    p[prmAT] = TVariant(int32_t(7));
    p[prmFIL] = TVariant(int32_t(2));
    p[prmNUM] = TVariant(int32_t(1024));
    p[prmDS] = TVariant(int32_t(1));
    p[prmPC] = TVariant(int32_t(4));
    p[prmAVE] = TVariant(int32_t(2));
    p[prmSPL] = TVariant(0.05);
    p[prmBSL] = TVariant(-79.5);
    p[prmEFL] = TVariant(5.5);
    p[prmLSA] = TVariant(int32_t(0));
    p[prmDM] = TVariant(int32_t(9));
    p[prmYEA] = TVariant(int32_t(2023));
    p[prmMTH] = TVariant(int32_t(11));
    p[prmDAY] = TVariant(int32_t(28));
    p[prmHOU] = TVariant(int32_t(14));
    p[prmMIN] = TVariant(int32_t(5));
    p[prmLD] = TVariant(int32_t(2));
    p[prmGD] = TVariant(int32_t(3));
    p[prmAVD] = TVariant(int32_t(4));
    p[prmBEEP] = TVariant(int32_t(0));
    p[prmDOT] = TVariant(int32_t(3));
    p[prmRM] = TVariant(int32_t(0));
    p[prmAS] = TVariant(int32_t(0));
    p[prmM] = TVariant::DoubleArray(1, 3, -1.0);
    p[prmM].SetElement(1, TVariant(120.5));
    p[prmM].SetElement(2, TVariant(4000.0));
    p[prmM].SetElement(3, TVariant(9000.25));
    p[prmY] = TVariant::DoubleArray(1, 3, -1.0);
    p[prmY].SetElement(2, TVariant(4100.0));
    p[prmL] = TVariant(comment);
    TVariant texts = TVariant::VariantArray(1, 101);
    texts.SetElement(1, TVariant("Кабель ОКЛ-0,22"));
    texts.SetElement(2, TVariant("fibre 7"));
    texts.SetElement(101, TVariant("last"));
    p[prmEN] = texts;
    p[prmREF] = TVariant(250.0);
    p[prmDU] = TVariant(0.002);
    p[prmCU] = TVariant(5000.0);
    p[prmMD] = TVariant(int32_t(12));
    p[prmRESR] = TVariant(2.5);
    return params;
}

// n levels in dB of a synthesized fibre, every one a whole number of thousandths as the files
// hold them.
inline std::vector<double> makeTraceLevels(int32_t n) {
    lv::TSynthOptions o;
    o.samples = n;
    o.fileResolution = true;
    return lv::SynthesizeTrace(o).levels;
}

inline lv::PDataStruct makeTraceSamples(int32_t n) {
    std::vector<double> levels = makeTraceLevels(n);
    return lv::MakeSampleBlock(levels.data(), n);
}

} // namespace lvtest
