#include "support/FakeConverter.h"

#include <cstring>

#include "trace/Errors.h"
#include "trace/TraceParams.h"

namespace lvtest {

using namespace lv;

bool FakeConverter::FailAll = false;

std::map<std::string, FakeFile>& FakeDisk() {
    static std::map<std::string, FakeFile> disk;
    return disk;
}

bool FakeConverter::fail() {
    if (m_raise && m_ext == ".tra") throw EInvalidDataFormat("fake failure");
    return false;
}

bool FakeConverter::SaveTrace(const TDataStruct* params, const TDataStruct* samples) {
    if (FailAll || m_traceName.empty() || !params || !params->Params()) return fail();
    FakeFile f;
    f.Params = std::make_shared<TParamBlock>(*params->Params());
    (*f.Params)[prmDBIR].Clear();
    f.Samples.assign(samples->Samples(), samples->Samples() + samples->SampleCount());
    FakeDisk()[m_traceName] = f;
    return true;
}

bool FakeConverter::SaveTraceAs(const TDataStruct* params, const TDataStruct* samples, const std::string& fileName) {
    std::string old = m_traceName;
    m_traceName = fileName;
    bool ok = false;
    try {
        ok = SaveTrace(params, samples);
    } catch (...) {
        m_traceName = old;
        throw;
    }
    if (!ok) m_traceName = old;
    return ok;
}

bool FakeConverter::LoadTrace(PDataStruct& params, PDataStruct& samples) {
    auto it = FakeDisk().find(m_traceName);
    if (FailAll || it == FakeDisk().end()) return fail();
    params = MakeParamBlock();
    *params->Params() = *it->second.Params;
    samples = MakeSampleBlock(it->second.Samples.data(), static_cast<int32_t>(it->second.Samples.size()));
    return true;
}

bool FakeConverter::LoadTraceFrom(PDataStruct& params, PDataStruct& samples, const std::string& fileName) {
    std::string old = m_traceName;
    m_traceName = fileName;
    bool ok = false;
    try {
        ok = LoadTrace(params, samples);
    } catch (...) {
        m_traceName = old;
        throw;
    }
    if (!ok) m_traceName = old;
    return ok;
}

bool FakeConverter::NewParams(PDataStruct& params) {
    if (!params) params = MakeParamBlock();
    TParamBlock& p = *params->Params();
    for (auto& v : p) v.Clear();
    p[prmLAM] = TVariant(int32_t(1310));
    p[prmIOR] = TVariant(TCurrency::FromDouble(1.465));
    p[prmRESR] = TVariant(int32_t(4));
    p[prmM] = TVariant::DoubleArray(1, 3, -1);
    p[prmY] = TVariant::DoubleArray(1, 3, -1);
    return true;
}

FakeFormats::FakeFormats() {
    UnregisterFileFormats();
    RegisterFileFormat("TRA", FileFormatClassOf<FakeConverter>());
    RegisterFileFormat("Bellcore", FileFormatClassOf<FakeSorConverter>());
    FakeDisk().clear();
    FakeConverter::FailAll = false;
}

FakeFormats::~FakeFormats() {
    UnregisterFileFormats();
    FakeDisk().clear();
    FakeConverter::FailAll = false;
}

} // namespace lvtest
