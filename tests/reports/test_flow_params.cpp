// The construction-documentation parameters: fields, ranges, defaults and the rounding of the
// editors' values.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "reports/uFlowParams.h"

using namespace lv;

TEST(FlowParams, FieldsAndDefaults) {
    const TFlowParams defaults;
    const char* const names[] = {"DistM12", "DistMY3", "DistM2Y", "FibCount"};
    const char* const labels[] = {"Расстояние 1-2", "Расстояние Y-3", "Расстояние 2-Y", "Число волокон"};
    const char* const units[] = {"м", "м", "PW*10^3", "шт"};
    const int maxima[] = {1000000, 1000000, 1000000, 300};
    for (size_t i = 0; i < kFlowIntFields.size(); ++i) {
        const TFlowIntField& f = kFlowIntFields[i];
        SCOPED_TRACE(names[i]);
        EXPECT_STREQ(f.Name, names[i]);
        EXPECT_STREQ(f.Label, labels[i]);
        EXPECT_STREQ(f.Unit, units[i]);
        EXPECT_EQ(f.Min, 1);
        EXPECT_EQ(f.Max, maxima[i]);
        EXPECT_EQ(defaults.*f.Member, f.Default);
    }
    EXPECT_EQ(defaults.DistM12, 1000);
    EXPECT_EQ(defaults.FibCount, 16);
    EXPECT_TRUE(defaults.Auto);
    EXPECT_FALSE(defaults.Cut);
    EXPECT_TRUE(defaults.TmpFile.empty());

    EXPECT_TRUE(FlowTemplateEditable(0));
    for (int mode : {1, 2, 3}) EXPECT_FALSE(FlowTemplateEditable(mode)) << mode;
}

TEST(FlowParams, EditorValuesAreRoundedIntoTheirRange) {
    const TFlowIntField& dist = kFlowIntFields[0];
    const TFlowIntField& fibres = kFlowIntFields[3];
    struct Row {
        const TFlowIntField& field;
        double value;
        int stored;
    };
    const Row rows[] = {
        {dist, 1000.6, 1001},
        {dist, 2.5, 2}, // a tie goes to the even neighbour
        {dist, 3.5, 4},
        {dist, 999.4, 999},
        {dist, 0.2, 1},
        {dist, -5, 1},
        {dist, 2e9, 1000000},
        {dist, std::numeric_limits<double>::infinity(), 1000000},
        {dist, std::nan(""), 1000},
        {fibres, 300.4, 300},
        {fibres, 500, 300},
        {fibres, 16.5, 16},
    };
    for (const Row& r : rows) EXPECT_EQ(RoundFlowValue(r.value, r.field), r.stored) << r.field.Name << " " << r.value;

    TFlowParams p;
    p.TmpFile = "/t.xls";
    StoreFlowValues(p, {1000.6, 2.5, 0.5, 48.49});
    EXPECT_EQ(p.DistM12, 1001);
    EXPECT_EQ(p.DistMY3, 2);
    EXPECT_EQ(p.DistM2Y, 1);
    EXPECT_EQ(p.FibCount, 48);
    EXPECT_EQ(p.TmpFile, "/t.xls");
}

TEST(FlowParams, SettingsMapBothWaysHeldInTheDialogsRanges) {
    TMainSettings s;
    EXPECT_EQ(FlowParamsOf(s), TFlowParams{}) << "the settings' defaults are the dialog's";

    s.DistM12 = 1500;
    s.DistMY3 = 2000000; // stored by hand beyond the range
    s.DistM2Y = 250;
    s.FibCount = 0;
    s.AutoFib = false;
    s.CutFib = true;
    s.FlowTmpFile = "/шаблоны/стр.xls";
    const TFlowParams p = FlowParamsOf(s);
    EXPECT_EQ(p.DistM12, 1500);
    EXPECT_EQ(p.DistMY3, 1000000);
    EXPECT_EQ(p.DistM2Y, 250);
    EXPECT_EQ(p.FibCount, 1);
    EXPECT_FALSE(p.Auto);
    EXPECT_TRUE(p.Cut);
    EXPECT_EQ(p.TmpFile, s.FlowTmpFile);

    TMainSettings back;
    back.WorkerNum = "Иванов";
    StoreFlowParams(back, p);
    EXPECT_EQ(FlowParamsOf(back), p);
    EXPECT_EQ(back.DistMY3, 1000000);
    EXPECT_EQ(back.WorkerNum, "Иванов") << "only the construction fields change";
}
