#pragma once
// A converter for tests of the trace core: keeps "files" in memory, so that a trace store can be
// created and loaded without the real native format.

#include <map>
#include <memory>
#include <string>

#include "trace/uFileFormats.h"

namespace lvtest {

struct FakeFile {
    std::shared_ptr<lv::TParamBlock> Params;
    std::vector<double> Samples;
};

// Shared "disk" of the fake converters; cleared by each test that uses it.
std::map<std::string, FakeFile>& FakeDisk();

class FakeConverter : public lv::TVirtInterfacedObject, public lv::IFileFormat {
public:
    bool SaveTrace(const lv::TDataStruct* params, const lv::TDataStruct* samples) override;
    bool SaveTraceAs(const lv::TDataStruct* params, const lv::TDataStruct* samples, const std::string& fileName) override;
    bool TraceToBuffer(const lv::TDataStruct*, const lv::TDataStruct*, int32_t&, std::vector<uint8_t>&) override { return false; }
    bool LoadTrace(lv::PDataStruct& params, lv::PDataStruct& samples) override;
    bool LoadTraceFrom(lv::PDataStruct& params, lv::PDataStruct& samples, const std::string& fileName) override;
    bool TraceFromBuffer(const uint8_t*, size_t, lv::PDataStruct&, lv::PDataStruct&) override { return false; }
    bool SaveSetup(const lv::TDataStruct*) override { return true; }
    bool SaveSetupAs(const lv::TDataStruct*, const std::string&) override { return true; }
    bool SetupToBuffer(const lv::TDataStruct*, int32_t&, std::vector<uint8_t>&) override { return false; }
    bool LoadSetup(lv::PDataStruct&) override { return true; }
    bool LoadSetupFrom(lv::PDataStruct&, const std::string&) override { return true; }
    bool SetupFromBuffer(const uint8_t*, size_t, lv::PDataStruct&) override { return false; }
    bool NewParams(lv::PDataStruct& params) override;
    bool NewSetupRecord(lv::PFormatRecord&) override { return true; }
    bool NewSetupImage(lv::PFormatRecord&) override { return true; }
    bool NewTraceRecord(lv::PFormatRecord&) override { return true; }
    bool NewTraceImage(lv::PFormatRecord&) override { return true; }
    bool ParamsToSetupRecord(const lv::TDataStruct*, lv::PFormatRecord&) override { return true; }
    bool ParamsToSetupImage(const lv::TDataStruct*, lv::PFormatRecord&) override { return true; }
    bool SetupRecordToParams(const lv::TFormatRecord*, lv::PDataStruct&) override { return true; }
    bool SetupImageToParams(const lv::TFormatRecord*, lv::PDataStruct&) override { return true; }
    bool FreeSetupRecord(lv::PFormatRecord& r, bool) override { r.reset(); return true; }
    bool ParamsToTraceRecord(const lv::TDataStruct*, const lv::TDataStruct*, lv::PFormatRecord&) override { return true; }
    bool ParamsToTraceImage(const lv::TDataStruct*, const lv::TDataStruct*, lv::PFormatRecord&) override { return true; }
    bool TraceRecordToParams(const lv::TFormatRecord*, lv::PDataStruct&, lv::PDataStruct&) override { return true; }
    bool TraceImageToParams(const lv::TFormatRecord*, lv::PDataStruct&, lv::PDataStruct&) override { return true; }
    bool FreeTraceRecord(lv::PFormatRecord& r, bool) override { r.reset(); return true; }
    int Subscribe(lv::TFormatCallback, void*) override { return 0; }
    void Unsubscribe(int) override {}
    bool GetRaiseErrors() const override { return m_raise; }
    void SetRaiseErrors(bool v) override { m_raise = v; }
    std::string GetTraceFileName() const override { return m_traceName; }
    std::string GetSetupFileName() const override { return {}; }
    std::string GetTraceExtension() const override { return m_ext; }
    std::string GetSetupExtension() const override { return ".set"; }

    // Test switch: every save and load fails (answers false, or raises with raise-errors on).
    static bool FailAll;

protected:
    std::string m_ext = ".tra";

private:
    bool fail();
    bool m_raise = false;
    std::string m_traceName;
};

// The same fake under the Bellcore name: never raises, like the real one.
class FakeSorConverter : public FakeConverter {
public:
    FakeSorConverter() { m_ext = ".sor"; }
    bool GetRaiseErrors() const override { return true; }
    void SetRaiseErrors(bool) override {}
};

// Registers FakeConverter as "TRA" (and FakeSorConverter as "Bellcore") for the test's lifetime.
class FakeFormats {
public:
    FakeFormats();
    ~FakeFormats();
};

} // namespace lvtest
