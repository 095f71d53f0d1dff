// The synthetic traces of the program, the command-line tool and the tests: file resolution, and a
// trace store filled as a device would.

#include <gtest/gtest.h>

#include <cmath>

#include "formats/uTRAConvs.h"
#include "trace/SyntheticTrace.h"
#include "trace/TraceParams.h"
#include "trace/uFileFormats.h"
#include "trace/uGraphIntfs.h"

using namespace lv;

TEST(SyntheticTrace, FileResolutionRoundsEachLevelToAThousandth) {
    TSynthOptions o;
    o.samples = 3000;
    const std::vector<double> exact = SynthesizeTrace(o).levels;
    o.fileResolution = true;
    const std::vector<double> filed = SynthesizeTrace(o).levels;
    ASSERT_EQ(filed.size(), exact.size());
    bool anyRounded = false;
    for (size_t i = 0; i < filed.size(); ++i) {
        EXPECT_EQ(filed[i], std::round(filed[i] * 1000.0) / 1000.0) << i;
        EXPECT_LE(std::fabs(filed[i] - exact[i]), 0.0005 + 1e-12) << i;
        anyRounded = anyRounded || filed[i] != exact[i];
    }
    EXPECT_TRUE(anyRounded);
}

TEST(SyntheticTrace, FillsAStoreWithItsParametersAndSamples) {
    RegisterTRAFormat();
    TSynthOptions o;
    o.lengthKm = 8;
    o.samples = 4000;
    o.wavelengthNm = 1550;
    o.pulseNs = 35;
    o.groupIndex = 1.4682;
    o.seed = 3;
    const TSynthTrace t = SynthesizeTrace(o);
    {
        TRDataStorage store;
        store.SetAutoFree(false);
        FillSyntheticTrace(store, o, "Волокно 3");
        EXPECT_EQ(store.GetComment(), "Волокно 3");
        EXPECT_DOUBLE_EQ(store.WaveLengthUm, 1.55);
        EXPECT_EQ(store.PulseNs, 35);
        EXPECT_EQ(store.RangeKm, 10.0);
        EXPECT_EQ(store.RefIndex, 1.4682);
        EXPECT_NEAR(store.GetStep(), t.stepKm, 1e-12);
        EXPECT_EQ(store.Param(prmYEA).AsInteger(), 2026);
        PDataStruct samples = store.LockData();
        ASSERT_EQ(samples->SampleCount(), 4000);
        EXPECT_TRUE(std::equal(t.levels.begin(), t.levels.end(), samples->Samples()));
        store.UnlockData();
    }
    UnregisterFileFormats();
}
