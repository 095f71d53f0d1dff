#pragma once
// Trace stores for the display tests: a store filled with given levels at a chosen sample
// spacing and first-sample distance, as a device would hand them over (setup, then data).

#include <QApplication>
#include <cmath>
#include <functional>
#include <vector>

#include "ViewFixture.h"
#include "display/uGraphsCmps.h"
#include "display/uViewCmps.h"
#include "formats/uTRAConvs.h"
#include "trace/SyntheticTrace.h"
#include "trace/TraceParams.h"
#include "trace/uGraphIntfs.h"

namespace lvtest {

constexpr double kTestIndex = 1.5; // group index of the test traces

// The sample spacing parameter (10 ns units) that gives `stepKm` with kTestIndex.
inline double SpacingForStep(double stepKm) {
    return stepKm * kTestIndex * 2.0 * 1000.0 / (1e-8 * lv::kLightSpeed);
}

inline lv::PDataStruct TraceSetup(double stepKm, double firstKm = 0, const std::string& comment = "") {
    lv::PDataStruct params = lv::MakeParamBlock();
    lv::TParamBlock& p = *params->Params();
    lv::SetDefaultParams(p);
    p[lv::prmIOR] = lv::TVariant(kTestIndex);
    p[lv::prmRESR] = lv::TVariant(SpacingForStep(stepKm));
    p[lv::prmDU] = lv::TVariant(firstKm);
    if (!comment.empty()) p[lv::prmL] = lv::TVariant(comment);
    return params;
}

// Hands a setup and samples to `store` as a device would (markers and cursor reset).
inline void FillTrace(lv::TRDataStorage* store, const std::vector<double>& levels, double stepKm,
                      double firstKm = 0, const std::string& comment = "") {
    lv::PDataStruct setup = TraceSetup(stepKm, firstKm, comment);
    store->SetupArrived(setup.get());
    lv::PDataStruct data = lv::MakeSampleBlock(levels.data(), int32_t(levels.size()));
    store->DataArrived(data.get());
}

// n levels of f(km) for samples 0..n-1 spaced `stepKm` apart from `firstKm`.
inline std::vector<double> Levels(int n, double stepKm, const std::function<double(double)>& f,
                                  double firstKm = 0) {
    std::vector<double> v(size_t(n > 0 ? n : 0));
    for (int i = 0; i < n; ++i)
        v[size_t(i)] = f(firstKm + i * stepKm);
    return v;
}

// The n levels of a synthesized fibre (n >= 2).
inline std::vector<double> Fibre(int n, unsigned seed = 1) {
    lv::TSynthOptions o;
    o.samples = n;
    o.seed = seed;
    return lv::SynthesizeTrace(o).levels;
}

// A trace store that counts how often its samples are locked.
class CountingTrace : public lv::TRDataStorage {
public:
    using lv::TRDataStorage::TRDataStorage;
    lv::PDataStruct LockData() override {
        ++Locks;
        return lv::TRDataStorage::LockData();
    }
    int Locks = 0;
};

// Lets posted notices arrive.
inline void Settle();

// A trace as the main window opens one: store and item made, attached, then the data arrive.
inline lv::TMainDataItem* AddTrace(lv::TGraphView& v, const std::vector<double>& levels, double stepKm,
                                   double firstKm = 0, const std::string& caption = "",
                                   lv::TRDataStorage* store = nullptr) {
    if (!store) store = new lv::TRDataStorage(nullptr);
    auto* item = new lv::TMainDataItem(&v.Data());
    item->SetStorage(store);
    FillTrace(store, levels, stepKm, firstKm, caption);
    Settle();
    return item;
}

inline void Settle() {
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

} // namespace lvtest
