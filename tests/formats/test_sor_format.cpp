// The ".sor" converter on files of its own making and on small hand-made files: the layout it
// writes, the rules of each field, both revisions as instruments write them, and malformed input.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "formats/ByteCursor.h"
#include "formats/uBellcoreConvs.h"
#include "formats/uCRC.h"
#include "support/FakeConverter.h"
#include "support/ScriptedPrompts.h"
#include "support/SorSupport.h"
#include "support/TempDir.h"
#include "trace/DateTime.h"
#include "trace/TraceParams.h"
#include "trace/uGraphIntfs.h"

using namespace lv;
using lvtest::Bytes;
using lvtest::SorBlock;
using lvtest::SorBuilder;

namespace {

struct SorTest : ::testing::Test {
    lvtest::SorFormats formats;
    lvtest::ScriptedPrompts prompts;
    lvtest::TempDir dir;

    static PDataStruct traceParams() {
        PDataStruct d = MakeParamBlock();
        TParamBlock& p = *d->Params();
        p[prmLAM] = TVariant(int32_t(1550));
        p[prmR] = TVariant(int32_t(32));
        p[prmPW] = TVariant(int32_t(100));
        p[prmIOR] = TVariant(1.4681);
        p[prmNUM] = TVariant(int32_t(20480));
        p[prmRESR] = TVariant(1041666 / 500000.0);
        p[prmYEA] = TVariant(int32_t(2010));
        p[prmMTH] = TVariant(int32_t(6));
        p[prmDAY] = TVariant(int32_t(1));
        p[prmHOU] = TVariant(int32_t(12));
        p[prmMIN] = TVariant(int32_t(1));
        p[prmM] = TVariant::DoubleArray(1, 3, -1.0);
        p[prmM].SetElement(2, TVariant(1250.0));
        p[prmL] = TVariant("Трасса 7");
        TVariant gen = TVariant::VariantArray(0, 4);
        const char* g[5] = {"", "AB", "Кабель", "x", "Иванов"};
        for (int i = 0; i < 5; ++i)
            gen.SetElement(i, TVariant(g[i]));
        p[prmPRN] = gen;
        TVariant sup = TVariant::VariantArray(0, 6);
        for (int i = 0; i < 7; ++i)
            sup.SetElement(i, TVariant("s" + std::to_string(i)));
        p[prmXYA] = sup;
        return d;
    }
    static PDataStruct samples(const std::vector<double>& v) {
        return MakeSampleBlock(v.data(), static_cast<int32_t>(v.size()));
    }
    std::vector<uint8_t> save(const TDataStruct* params, const TDataStruct* samples) {
        TTheManager m;
        const std::string path = dir.file("t.sor");
        EXPECT_TRUE(m.SaveTraceAs(params, samples, path)) << m.LastError();
        return lvtest::readBytes(path);
    }
    // Loads a file image; false with the converter's reason in `error`.
    static bool load(const std::vector<uint8_t>& bytes, PDataStruct& p, PDataStruct& s, TTheManager& m,
                     std::string* error = nullptr) {
        try {
            m.ReadImage(bytes.data(), bytes.size(), p, s);
            return true;
        } catch (const Exception& e) {
            if (error) *error = e.Message();
            return false;
        }
    }
    static std::vector<double> levels(const PDataStruct& s) {
        return std::vector<double>(s->Samples(), s->Samples() + s->SampleCount());
    }
};

// The blocks of a file of the system, walked by the Map sizes.
struct WrittenFile {
    struct Entry {
        std::string Name;
        int16_t Revision;
        int32_t Size;
        size_t Offset;
    };
    uint16_t Revision = 0;
    int32_t MapSize = 0;
    int16_t Count = 0;
    std::vector<Entry> Entries;

    explicit WrittenFile(const std::vector<uint8_t>& b) {
        TLEReader r(b.data(), b.size());
        Revision = r.U16();
        MapSize = r.I32();
        Count = r.I16();
        size_t offset = static_cast<size_t>(MapSize);
        for (int i = 0; i < Count - 1; ++i) {
            Entry e;
            e.Name = r.ZString();
            e.Revision = r.I16();
            e.Size = r.I32();
            e.Offset = offset;
            offset += static_cast<size_t>(e.Size);
            Entries.push_back(e);
        }
        EXPECT_EQ(r.Position(), static_cast<size_t>(MapSize));
    }
    const Entry& at(const std::string& name) const {
        for (const Entry& e : Entries)
            if (e.Name == name) return e;
        throw std::runtime_error("no block " + name);
    }
};

} // namespace

TEST(SorCrc, IsCcittFalseAndContinues) {
    const char* digits = "123456789";
    EXPECT_EQ(CRC16(digits, 9), 0x29B1);
    EXPECT_EQ(CRC16(digits + 4, 5, CRC16(digits, 4)), 0x29B1);
    EXPECT_EQ(CRC16(digits, 0), kCRC16Start);
}

TEST(SorText, EvenLengthFixUp) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"A", "A"},
        {"AB", "AB "},
        {std::string("A\0", 2), "A"},
        {std::string("AB\0", 3), "AB "},
        {std::string("A\0BC", 4), "A BC "}, // a zero inside would end the string early
        {std::string(300, 'x'), std::string(255, 'x')},
        {std::string(254, 'x'), std::string(254, 'x') + " "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SorEvenLengthText(c.in), c.out) << c.in.size();
}

TEST_F(SorTest, SaveWithParametersHasTheLayoutOfTheFormat) {
    const std::vector<uint8_t> b = save(traceParams().get(), samples({1.0, 0.5, 1.25}).get());
    WrittenFile f(b);
    EXPECT_EQ(f.Revision, 100);
    EXPECT_EQ(f.MapSize, 92);
    EXPECT_EQ(f.Count, 7);
    const char* order[] = {"GenParams", "SupParams", "FxdParams", "DataPts", "TRA", "Cksum"};
    ASSERT_EQ(f.Entries.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(f.Entries[i].Name, order[i]);
        EXPECT_EQ(f.Entries[i].Revision, 100);
    }
    EXPECT_EQ(f.Entries.back().Offset + 2, b.size()) << "the file ends right after the checksum";

    // GenParams: texts of parameter 136 with the even-length fix-up, the comment as it stands.
    const auto& gen = f.at("GenParams");
    TLEReader g(b.data() + gen.Offset, static_cast<size_t>(gen.Size));
    EXPECT_EQ(g.Bytes(2), "EN");
    EXPECT_EQ(g.ZString(), "");    // an empty text is a single zero byte
    EXPECT_EQ(g.ZString(), "AB "); // even length gets a space
    EXPECT_EQ(g.I16(), 1550);
    EXPECT_EQ(g.ZString(), "\xCA\xE0\xE1\xE5\xEB\xFC "); // "Кабель" in Windows-1251, plus a space
    EXPECT_EQ(g.ZString(), "x");
    EXPECT_EQ(g.ZString(), " ");
    EXPECT_EQ(g.Bytes(2), "CC");
    EXPECT_EQ(g.I32(), 0);
    EXPECT_EQ(g.ZString(), "\xC8\xE2\xE0\xED\xEE\xE2 ");
    EXPECT_EQ(g.ZString(), "\xD2\xF0\xE0\xF1\xF1\xE0 7");
    EXPECT_TRUE(g.AtEnd());

    const auto& fxd = f.at("FxdParams");
    EXPECT_EQ(fxd.Size, 54);
    TLEReader x(b.data() + fxd.Offset, 54);
    EXPECT_EQ(x.U32(), 1275393660u) << "2010-06-01 12:01 as a wall clock, no time zone";
    EXPECT_EQ(x.Bytes(2), "km");
    EXPECT_EQ(x.I16(), 15500);
    EXPECT_EQ(x.I32(), 0);
    EXPECT_EQ(x.I16(), 1);
    EXPECT_EQ(x.I16(), 1000);    // pulse width, ns
    EXPECT_EQ(x.I32(), 1041666); // data spacing
    EXPECT_EQ(x.I32(), 3) << "the number of data points is the DataPts count";
    EXPECT_EQ(x.I32(), 146810);
    EXPECT_EQ(x.I16(), 800);
    EXPECT_EQ(x.I32(), 20480);
    EXPECT_EQ(x.I32(), 1600000);
    x.Skip(4);
    const uint16_t tail[] = {51415, 1000, 0, 200, 40000, 3000};
    for (uint16_t t : tail)
        EXPECT_EQ(x.U16(), t);

    // Samples 1.000, 0.500, 1.250 dB: the highest stored as 0.
    const auto& dp = f.at("DataPts");
    TLEReader d(b.data() + dp.Offset, static_cast<size_t>(dp.Size));
    EXPECT_EQ(d.I32(), 3);
    EXPECT_EQ(d.I16(), 1);
    EXPECT_EQ(d.I32(), 3);
    EXPECT_EQ(d.I16(), 1000);
    EXPECT_EQ(d.U16(), 250);
    EXPECT_EQ(d.U16(), 750);
    EXPECT_EQ(d.U16(), 0);
    EXPECT_TRUE(d.AtEnd());

    const auto& tra = f.at("TRA");
    TLEReader t(b.data() + tra.Offset, static_cast<size_t>(tra.Size));
    EXPECT_EQ(t.I32(), tra.Size - 4);

    TLEReader c(b.data() + b.size() - 2, 2);
    EXPECT_EQ(c.U16(), CRC16(b.data(), b.size() - 2));
}

TEST_F(SorTest, OwnFileReadsBackItsParametersAndShiftedLevels) {
    PDataStruct in = traceParams();
    const std::vector<uint8_t> b = save(in.get(), samples({1.0, 0.5, 1.25}).get());
    TTheManager m;
    PDataStruct p, s;
    ASSERT_TRUE(load(b, p, s, m));
    EXPECT_FALSE(m.LoadedForeignFile());
    // Levels come back so that the lowest is 0 dB.
    const std::vector<double> expected{0.5, 0.0, 0.75};
    ASSERT_EQ(s->SampleCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(s->Samples()[i], expected[i], 1e-12);

    // Everything the standard blocks cannot hold comes from the "TRA" block (markers are kept
    // there as times of 10 ps) ...
    const TParamBlock& out = *p->Params();
    EXPECT_NEAR(out[prmM].Element(2).AsDouble(), 1250.0, 0.01);
    EXPECT_EQ(out[prmR].AsInteger(), 32);
    EXPECT_EQ(out[prmMIN].AsInteger(), 1);
    // ... except what FxdParams keeps more exactly: averages that are no power of two, and the
    // spacing to less than a picosecond.
    EXPECT_EQ(out[prmNUM].AsInteger(), 20480);
    EXPECT_DOUBLE_EQ(out[prmRESR].AsDouble(), 1041666 / 500000.0);
    // ... and the texts of GenParams and SupParams are laid over it.
    EXPECT_EQ(out[prmPRN].Element(1).AsText(), "AB ");
    EXPECT_EQ(out[prmPRN].Element(2).AsText(), "Кабель ");
    EXPECT_EQ(out[prmXYA].Element(6).AsText(), "s6 ");
    EXPECT_EQ(out[prmL].AsText(), "Трасса 7");
}

TEST_F(SorTest, SaveWithoutParametersWritesFiveBlocksWithDefaults) {
    const std::vector<uint8_t> b = save(nullptr, samples({3.0, 2.0}).get());
    WrittenFile f(b);
    EXPECT_EQ(f.MapSize, 82);
    EXPECT_EQ(f.Count, 6);
    EXPECT_THROW(f.at("TRA"), std::runtime_error);
    // The highest level is stored as 0, lower ones as larger numbers.
    TLEReader points(b.data() + f.at("DataPts").Offset, static_cast<size_t>(f.at("DataPts").Size));
    points.Skip(12);
    EXPECT_EQ(points.U16(), 0);
    EXPECT_EQ(points.U16(), 1000);
    TTheManager m;
    PDataStruct p, s;
    // Without parameters there is no data spacing, and such a file gives its samples no distances:
    // reading refuses it as it refuses an instrument's file without one, after reading the blocks.
    std::string error;
    EXPECT_FALSE(load(b, p, s, m, &error));
    EXPECT_NE(error.find("FxdParams"), std::string::npos) << error;
    EXPECT_EQ(m.GenParams().CableId, " ");
    EXPECT_EQ(m.SupParams().Texts[3], " ");
    EXPECT_EQ(m.FixParams().DataSpacing[0], 0);
    EXPECT_EQ(m.FixParams().GroupIndex, 146800);
    EXPECT_EQ(m.FixParams().Averages, 10);
    EXPECT_EQ(m.FixParams().PointsPerPulse[0], 2);
}

TEST_F(SorTest, TextsAreTakenOnlyFromArraysOfTheRightBounds) {
    TVariant shifted = TVariant::VariantArray(1, 5);
    for (int i = 1; i <= 5; ++i)
        shifted.SetElement(i, TVariant("t"));
    for (const TVariant& texts : {shifted, TVariant("plain")}) {
        PDataStruct in = traceParams();
        (*in->Params())[prmPRN] = texts;
        (*in->Params())[prmXYA] = texts;
        TTheManager m;
        PDataStruct p, s;
        ASSERT_TRUE(load(save(in.get(), samples({1.0}).get()), p, s, m));
        for (const std::string* t : {&m.GenParams().CableId, &m.GenParams().FiberId, &m.GenParams().Operator})
            EXPECT_EQ(*t, " ");
        EXPECT_EQ(m.SupParams().Texts[0], " ");
    }
}

TEST_F(SorTest, ForeignFieldsFollowTheReadingRules) {
    struct Case {
        int16_t pulseNs;
        int32_t range;
        int32_t groupIndex;
        double pulseParam;
        double rangeKm;
        double groupIndexParam;
    } cases[] = {
        {1000, 1600000, 150000, 100, 32, 1.5},    // the range as written: km × 50000
        {0, 204805, 146832, 10, 4.0961, 1.46832}, // no pulse width: 10; an instrument's 4.1 km
        {-5, 0, 0, 10, 5, 1.48},                  // no range: 5 km; no group index: 1.48
        {25, 2750000, -146800, 2.5, 55, 1.48},
    };
    for (const Case& c : cases) {
        SorBuilder sb = SorBuilder::standard(false, {5, 1, 3});
        sb.Blocks[2].Body = SorBuilder::fxdParams(false, 0, c.pulseNs, 1000000, c.groupIndex, 64, c.range);
        TTheManager m;
        PDataStruct p, s;
        ASSERT_TRUE(load(sb.build(), p, s, m));
        const TParamBlock& out = *p->Params();
        EXPECT_DOUBLE_EQ(out[prmPW].AsDouble(), c.pulseParam);
        EXPECT_DOUBLE_EQ(out[prmR].AsDouble(), c.rangeKm);
        EXPECT_DOUBLE_EQ(out[prmRESR].AsDouble(), 2.0);
        EXPECT_DOUBLE_EQ(out[prmIOR].AsDouble(), c.groupIndexParam);
        EXPECT_EQ(out[prmNUM].AsInteger(), 64);
        EXPECT_EQ(out[prmLSA].AsInteger(), 1);
        EXPECT_EQ(out[prmYEA].AsInteger(), 1970);
        EXPECT_EQ(out[prmHOU].AsInteger(), 0);
        // Only the parameters a foreign file defines are set.
        int set = 0;
        for (const TVariant& v : out)
            set += v.IsSet();
        EXPECT_EQ(set, 15);
    }
}

TEST_F(SorTest, DateTimeIsTheInstrumentsWallClock) {
    struct Case {
        uint32_t stamp;
        int y, mo, d, h, mi;
    } cases[] = {
        {1275393719, 2010, 6, 1, 12, 1},
        {0, 1970, 1, 1, 0, 0},
        {951825599, 2000, 2, 29, 11, 59},
        {4294967295u, 2106, 2, 7, 6, 28},
    };
    for (const Case& c : cases) {
        TParamBlock p(kParamCount);
        SorStampToParams(c.stamp, p);
        EXPECT_EQ(p[prmYEA].AsInteger(), c.y);
        EXPECT_EQ(p[prmMTH].AsInteger(), c.mo);
        EXPECT_EQ(p[prmDAY].AsInteger(), c.d);
        EXPECT_EQ(p[prmHOU].AsInteger(), c.h);
        EXPECT_EQ(p[prmMIN].AsInteger(), c.mi);
        EXPECT_EQ(SorStampFromParams(p), c.stamp - c.stamp % 60) << "seconds are dropped, nothing else";
    }
}

TEST_F(SorTest, ParametersWithoutAValidDateWriteTheCurrentTime) {
    auto nowSeconds = [] { return static_cast<uint32_t>(ToUnixWallSeconds(Now())); };
    TParamBlock none(kParamCount);
    TParamBlock month13(kParamCount);
    SorStampToParams(1275393719, month13);
    month13[prmMTH] = TVariant(int32_t(13));
    TParamBlock before1970(kParamCount);
    SorStampToParams(0, before1970);
    before1970[prmYEA] = TVariant(int32_t(1969));
    for (const TParamBlock* p : {&none, &month13, &before1970}) {
        const uint32_t lo = nowSeconds();
        const uint32_t stamp = SorStampFromParams(*p);
        EXPECT_GE(stamp, lo - 1);
        EXPECT_LE(stamp, nowSeconds() + 1);
    }
    // And the save goes through.
    PDataStruct in = traceParams();
    (*in->Params())[prmDAY] = TVariant(int32_t(31)); // June 31st
    save(in.get(), samples({1.0}).get());
}

TEST_F(SorTest, LevelsAreRefusedOnlyWhenTheirSpanDoesNotFit) {
    struct Case {
        std::vector<double> levels;
        bool ok;
    } cases[] = {
        {{-20.0, 45.535}, true},      // span 65.535 dB: fits, whatever the levels
        {{70.0, 100.0, 120.0}, true}, // high levels alone are no problem
        {{0.0, 65.536}, false},
        {{1.0, std::nan("")}, false},
        {{1.0, std::numeric_limits<double>::infinity()}, false},
        {{3e9, 3e9}, false}, // 1000 × level beyond 32 bits
    };
    const std::string path = dir.file("keep.sor");
    lvtest::writeBytes(path, {1, 2, 3});
    for (const Case& c : cases) {
        TTheManager m;
        EXPECT_EQ(m.SaveTraceAs(traceParams().get(), samples(c.levels).get(), path), c.ok) << c.levels[1];
        if (!c.ok) {
            EXPECT_FALSE(m.LastError().empty());
            EXPECT_EQ(m.GetTraceFileName(), "");
            continue;
        }
        TTheManager r;
        PDataStruct p, s;
        ASSERT_TRUE(r.LoadTraceFrom(p, s, path)) << r.LastError();
        const double lowest = *std::min_element(c.levels.begin(), c.levels.end());
        for (size_t i = 0; i < c.levels.size(); ++i)
            EXPECT_NEAR(s->Samples()[i], c.levels[i] - lowest, 1e-9);
        lvtest::writeBytes(path, {1, 2, 3});
    }
    EXPECT_EQ(lvtest::readBytes(path), (std::vector<uint8_t>{1, 2, 3}))
        << "a refused save leaves the old file";
}

TEST_F(SorTest, BothRevisionsReadAsInstrumentsWriteThem) {
    for (bool rev2 : {false, true}) {
        SorBuilder sb = SorBuilder::standard(rev2, {100, 40, 0, 7000});
        sb.Blocks[2].Padding = 48;                                                    // a padded FxdParams
        sb.Blocks.insert(sb.Blocks.begin() + 3, SorBlock{"Vendor", {1, 2, 3, 4, 5}}); // a maker's block
        sb.Blocks.insert(
            sb.Blocks.begin() + 3,
            SorBlock{"KeyEvents", Bytes().u16(0).u32(1).u32(2).u32(3).u16(4).u32(5).u32(6).b, 100, 30});
        sb.Trailing = {9, 9, 9};
        sb.CountAdjust = 3; // a count beyond the entries never reads past the Map's size
        TTheManager m;
        PDataStruct p, s;
        std::string error;
        ASSERT_TRUE(load(sb.build(), p, s, m, &error)) << error;
        EXPECT_EQ(m.Revision2(), rev2);
        EXPECT_TRUE(m.LoadedForeignFile());
        EXPECT_TRUE(m.KeyEvents().Readable);
        EXPECT_EQ(m.KeyEvents().EndToEndLoss, 1);
        const TParamBlock& out = *p->Params();
        EXPECT_EQ(out[prmLAM].AsInteger(), 1550);
        EXPECT_EQ(out[prmPRN].Element(2).AsText(), "A");
        EXPECT_EQ(out[prmPRN].Element(4).AsText(), "op");
        EXPECT_EQ(out[prmL].AsText(), "comment");
        EXPECT_EQ(out[prmXYA].Element(6).AsText(), "other");
        EXPECT_DOUBLE_EQ(out[prmPW].AsDouble(), 100.0);
        EXPECT_DOUBLE_EQ(out[prmRESR].AsDouble(), 1041666 / 500000.0);
        EXPECT_DOUBLE_EQ(out[prmIOR].AsDouble(), 1.4681);
        EXPECT_EQ(out[prmNUM].AsInteger(), 20480);
        EXPECT_EQ(out[prmDAY].AsInteger(), 1);
        EXPECT_EQ(levels(s), (std::vector<double>{6.9, 6.96, 7.0, 0.0}));
    }
}

TEST_F(SorTest, ScaleFactorAndSeveralGroups) {
    SorBuilder sb = SorBuilder::standard(true, {});
    Bytes d;
    d.u32(5).u16(2).u32(3).u16(1470).u16(1000).u16(0).u16(500).u32(2).u16(1000).u16(1).u16(2);
    sb.Blocks[3].Body = d.b;
    TTheManager m;
    PDataStruct p, s;
    ASSERT_TRUE(load(sb.build(), p, s, m));
    ASSERT_EQ(s->SampleCount(), 3) << "only the first group becomes samples";
    EXPECT_NEAR(s->Samples()[0], 0.0, 1e-12);
    EXPECT_NEAR(s->Samples()[1], 1.47, 1e-12);
    EXPECT_NEAR(s->Samples()[2], 0.735, 1e-12);
    EXPECT_EQ(m.DataPoints().Groups.size(), 2u);
}

TEST_F(SorTest, ReadOnlyBlocksNeverFailALoad) {
    SorBuilder sb = SorBuilder::standard(false, {1, 2});
    sb.Blocks.insert(sb.Blocks.begin() + 3, SorBlock{"KeyEvents", Bytes().u16(5).u16(1).b});
    sb.Blocks.insert(sb.Blocks.begin() + 3, SorBlock{"LnkParams", Bytes().u16(1).raw("xx").b});
    TTheManager m;
    PDataStruct p, s;
    ASSERT_TRUE(load(sb.build(), p, s, m));
    EXPECT_FALSE(m.KeyEvents().Readable);
    EXPECT_TRUE(m.KeyEvents().Events.empty());
    EXPECT_FALSE(m.LinkParams().Readable);
}

TEST_F(SorTest, AnInstrumentsEventsStayOnTheSamplesTheyDescribe) {
    using Event = SorBuilder::KeyEvent;
    std::vector<uint16_t> points(2000);
    for (size_t i = 0; i < points.size(); ++i)
        points[i] = static_cast<uint16_t>(i);
    SorBuilder sb = SorBuilder::standard(true, points);
    // The samples start 5 spacings before the front panel the events are timed from.
    const int32_t frontPanel = 5 * 1041666 / 10000;
    sb.Blocks[2].Body =
        SorBuilder::fxdParams(true, 1275393719, 1000, 1041666, 146810, 20480, 213332, 1, frontPanel);
    sb.Blocks.insert(sb.Blocks.begin() + 3, SorBlock{"Vendor", {1, 2}});
    sb.Blocks.insert(sb.Blocks.begin() + 3,
                     SorBlock{"KeyEvents", SorBuilder::keyEvents(true,
                                                                 {Event{1, 0, -215, -46671, "1F9999"},
                                                                  Event{2, 104166, 374, 0, "0F9999",
                                                                        "\xd1\xe2\xe0\xf0\xea\xe0"},
                                                                  Event{3, 0x80000000u, 0, 0, "0A9999"},
                                                                  Event{4, 1874999, -950, -23027, "2E9999"}},
                                                                 576, 1875000, 24516)});
    const std::string path = dir.file("instrument.sor");
    lvtest::writeBytes(path, sb.build());

    TRDataStorage store;
    store.SetAutoFree(false);
    ASSERT_TRUE(store.LoadFromFile(path, false));
    ASSERT_NE(store.KeyEvents(), nullptr);
    const TTraceEvents& e = *store.KeyEvents();
    ASSERT_EQ(e.Events.size(), 4u);
    EXPECT_EQ(e.Events[1].Number, 2);
    EXPECT_DOUBLE_EQ(e.Events[0].LossDb, -0.215);
    EXPECT_DOUBLE_EQ(e.Events[0].ReflectanceDb, -46.671);
    EXPECT_DOUBLE_EQ(e.Events[1].LeadInAttenuation, 0.025);
    EXPECT_EQ(e.Events[1].Code, "0F9999");
    EXPECT_EQ(e.Events[1].Technique, "LS");
    EXPECT_EQ(e.Events[1].Comment, "Сварка");
    EXPECT_DOUBLE_EQ(e.EndToEndLossDb, 0.576);
    EXPECT_EQ(e.EndToEndMarkers.second, 1875000);
    EXPECT_DOUBLE_EQ(e.ReturnLossDb, 24.516);
    EXPECT_EQ(store.SorBlocksNotKept(), (std::vector<std::string>{"KeyEvents", "Vendor"}));

    // Each event's distance is its time in sample spacings (10,000 points take the data
    // spacing) times the step, from the front panel; on the drawn samples it lies the front
    // panel offset further on. Both follow the group index the trace is given.
    EXPECT_EQ(e.FrontPanelOffset, frontPanel);
    const auto expectOnTheSamples = [&](const char* when) {
        for (size_t i : {0, 1, 3}) {
            const double t = static_cast<double>(e.Events[i].PropagationTime);
            EXPECT_NEAR(store.EventDistanceKm(e.Events[i]), t * 1e4 / 1041666 * store.GetStep(), 1e-12)
                << when << " " << i;
            EXPECT_NEAR(store.EventTraceKm(e.Events[i]),
                        store.GetOrigin() + (t + frontPanel) * 1e4 / 1041666 * store.GetStep(), 1e-12)
                << when << " " << i;
        }
        EXPECT_TRUE(std::isnan(store.EventDistanceKm(e.Events[2]))) << "a file's \"no position\"";
        EXPECT_TRUE(std::isnan(store.EventTraceKm(e.Events[2])));
    };
    expectOnTheSamples("as read");
    const double end = store.EventDistanceKm(e.Events[3]);
    store.SetRefIndex(1.5);
    expectOnTheSamples("at another group index");
    EXPECT_NEAR(store.EventDistanceKm(e.Events[3]), end * 1.4681 / 1.5, 1e-12);

    // The system writes no events: the saved file has none and is the system's own, while the
    // trace in memory still shows the instrument's analysis of its unchanged samples.
    const std::string copy = dir.file("copy.sor");
    ASSERT_TRUE(store.SaveToFile(copy, false));
    EXPECT_FALSE(store.SorForeign());
    EXPECT_TRUE(store.SorBlocksNotKept().empty());
    EXPECT_NE(store.KeyEvents(), nullptr);
    TRDataStorage back;
    back.SetAutoFree(false);
    ASSERT_TRUE(back.LoadFromFile(copy, false));
    EXPECT_EQ(back.KeyEvents(), nullptr);
    // Samples from elsewhere are not those the events describe.
    PDataStruct other = samples({1, 2, 3});
    store.SetData(other.get());
    EXPECT_EQ(store.KeyEvents(), nullptr);
    EXPECT_TRUE(prompts.Messages.empty());
}

TEST_F(SorTest, MalformedFilesFailCleanly) {
    struct Case {
        const char* what;
        std::function<void(SorBuilder&)> spoil;
        std::function<void(std::vector<uint8_t>&)> spoilBytes;
    };
    const Case cases[] = {
        {"comment without terminator", [](SorBuilder& b) { b.Blocks[0].Body.pop_back(); }, {}},
        {"no pulse width",
         [](SorBuilder& b) { b.Blocks[2].Body = SorBuilder::fxdParams(false, 0, 10, 1, 1, 1, 1, 0); },
         {}},
        {"pulse widths beyond the block",
         [](SorBuilder& b) {
             b.Blocks[2].Body = SorBuilder::fxdParams(false, 0, 10, 1, 1, 1, 1, 40);
             b.Blocks[2].Body.resize(60);
         },
         {}},
        {"no data spacing",
         [](SorBuilder& b) { b.Blocks[2].Body = SorBuilder::fxdParams(false, 0, 10, 0, 146800, 1, 1); },
         {}},
        {"no group", [](SorBuilder& b) { b.Blocks[3].Body = Bytes().u32(0).u16(0).b; }, {}},
        {"first group without points",
         [](SorBuilder& b) { b.Blocks[3].Body = Bytes().u32(0).u16(1).u32(0).u16(1000).b; },
         {}},
        {"points beyond the block",
         [](SorBuilder& b) { b.Blocks[3].Body = Bytes().u32(9).u16(1).u32(9).u16(1000).u16(1).b; },
         {}},
        {"negative point count",
         [](SorBuilder& b) { b.Blocks[3].Body = Bytes().u32(9).u16(1).u32(0xFFFFFFFF).u16(1000).b; },
         {}},
        {"no DataPts", [](SorBuilder& b) { b.Blocks.erase(b.Blocks.begin() + 3); }, {}},
        {"no FxdParams", [](SorBuilder& b) { b.Blocks.erase(b.Blocks.begin() + 2); }, {}},
        {"count too small", [](SorBuilder& b) { b.CountAdjust = -3; }, {}},
        {"TRA longer than its block",
         [](SorBuilder& b) {
             b.Blocks.insert(b.Blocks.begin() + 4, SorBlock{"TRA", Bytes().u32(100).u32(0).b});
         },
         {}},
        {"TRA image that does not decode",
         [](SorBuilder& b) {
             b.Blocks.insert(b.Blocks.begin() + 4, SorBlock{"TRA", Bytes().u32(4).raw("junk").b});
         },
         {}},
        {"Map size beyond the file", {}, [](std::vector<uint8_t>& f) { f[2] = 0xFF, f[3] = 0xFF; }},
        {"Map size inside the header",
         {},
         [](std::vector<uint8_t>& f) { f[2] = 4, f[3] = 0, f[4] = 0, f[5] = 0; }},
        {"block size beyond the file", {}, [](std::vector<uint8_t>& f) { f[8 + 10 + 2 + 3] = 0x7F; }},
        {"negative block size", {}, [](std::vector<uint8_t>& f) { std::memset(&f[8 + 10 + 2], 0xFF, 4); }},
        {"cut inside the checksum", {}, [](std::vector<uint8_t>& f) { f.pop_back(); }},
        {"empty file", {}, [](std::vector<uint8_t>& f) { f.clear(); }},
        {"only the revision-2 mark",
         {},
         [](std::vector<uint8_t>& f) {
             f.assign({'M', 'a', 'p', 0});
         }},
    };
    for (const Case& c : cases) {
        SorBuilder sb = SorBuilder::standard(false, {1, 2, 3});
        if (c.spoil) c.spoil(sb);
        std::vector<uint8_t> bytes = sb.build();
        if (c.spoilBytes) c.spoilBytes(bytes);
        TTheManager m;
        PDataStruct p, s;
        std::string error;
        EXPECT_FALSE(load(bytes, p, s, m, &error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_FALSE(p || s) << c.what;

        // Through the file operation the same answer is a plain false.
        const std::string path = dir.file("bad.sor");
        lvtest::writeBytes(path, bytes);
        EXPECT_FALSE(m.LoadTraceFrom(p, s, path)) << c.what;
        EXPECT_EQ(m.LastError(), error) << c.what;
        EXPECT_EQ(m.GetTraceFileName(), "");
    }
}

// A group index of 0 reads as the store's default, so the samples get their distances and the
// trace can be saved in either format.
TEST_F(SorTest, AForeignFileWithoutGroupIndexIsMeasuredAtTheDefault) {
    SorBuilder sb = SorBuilder::standard(false, {3, 2, 1});
    sb.Blocks[2].Body = SorBuilder::fxdParams(false, 0, 10, 1000000, 0, 64, 100000);
    const std::string in = dir.file("no-index.sor");
    lvtest::writeBytes(in, sb.build());
    TRDataStorage store;
    store.SetAutoFree(false);
    ASSERT_TRUE(store.LoadFromFile(in, false));
    EXPECT_DOUBLE_EQ(store.RefIndex, kDefaultGroupIndex);
    EXPECT_DOUBLE_EQ(store.GetStep(), 2.0 * 1e-8 * kLightSpeed / (kDefaultGroupIndex * 2 * 1000));
    EXPECT_DOUBLE_EQ(store.GetBound(bkLastX), 2 * store.GetStep());
    for (const char* name : {"copy.tra", "copy.sor"}) {
        ASSERT_TRUE(store.SaveToFile(dir.file(name), false)) << name;
        TRDataStorage back;
        back.SetAutoFree(false);
        ASSERT_TRUE(back.LoadFromFile(dir.file(name), false)) << name;
        EXPECT_NEAR(back.RefIndex, kDefaultGroupIndex, 1e-6) << name;
    }
    EXPECT_TRUE(prompts.Messages.empty());
}

TEST_F(SorTest, FilesTellWhetherTheyAreTheSystemsOwn) {
    int32_t length = 0;
    std::vector<uint8_t> image;
    ASSERT_TRUE(GetFileFormat("TRA")->SetupToBuffer(traceParams().get(), length, image));
    const SorBlock tra{"TRA", Bytes().u32(static_cast<uint32_t>(length)).b};
    struct Case {
        const char* what;
        bool withTra, vendor;
        uint16_t revision;
        bool foreign;
    } cases[] = {
        {"own", true, false, 100, false},
        {"no TRA block", false, false, 100, true},
        {"a maker's block", true, true, 100, true},
        {"revision 200", true, false, 200, true},
    };
    for (const Case& c : cases) {
        SorBuilder sb = SorBuilder::standard(false, {1, 2});
        sb.Revision = c.revision;
        if (c.withTra) {
            SorBlock b = tra;
            b.Body.insert(b.Body.end(), image.begin(), image.end());
            sb.Blocks.insert(sb.Blocks.begin() + 4, b);
        }
        if (c.vendor) sb.Blocks.insert(sb.Blocks.begin() + 1, SorBlock{"Maker", {0}});
        TTheManager m;
        PDataStruct p, s;
        ASSERT_TRUE(load(sb.build(), p, s, m)) << c.what;
        EXPECT_EQ(m.LoadedForeignFile(), c.foreign) << c.what;
        // The same answer from the file's Map alone, without loading it.
        const std::string file = dir.file(std::string(c.what) + ".sor");
        lvtest::writeBytes(file, sb.build());
        EXPECT_EQ(IsOwnSorFile(file), !c.foreign) << c.what;
    }
    // Nothing that cannot be read as far as a Map is the system's.
    lvtest::writeBytes(dir.file("text.sor"), {'n', 'o', 't', ' ', 'a', ' ', 's', 'o', 'r'});
    lvtest::writeBytes(dir.file("empty.sor"), {});
    for (const char* name : {"text.sor", "empty.sor", "missing.sor", ""})
        EXPECT_FALSE(IsOwnSorFile(name[0] ? dir.file(name) : dir.path())) << name;
}

TEST_F(SorTest, ConverterContract) {
    TTheManager m;
    m.SetRaiseErrors(false);
    EXPECT_TRUE(m.GetRaiseErrors());
    m.SetRaiseErrors(true);
    PDataStruct p, s;
    EXPECT_FALSE(m.LoadTraceFrom(p, s, dir.file("missing.sor"))) << "answers false, never raises";
    EXPECT_FALSE(m.LastError().empty());
    EXPECT_EQ(m.GetTraceExtension(), ".sor");
    EXPECT_EQ(m.GetSetupExtension(), "");
    int32_t size = 0;
    std::vector<uint8_t> buffer;
    EXPECT_FALSE(m.SetupToBuffer(traceParams().get(), size, buffer));
    EXPECT_FALSE(m.SetupFromBuffer(nullptr, 0, p));
    EXPECT_FALSE(m.TraceToBuffer(nullptr, nullptr, size, buffer));
    EXPECT_TRUE(m.NewParams(p));
    EXPECT_FALSE(p) << "placeholders leave their arguments alone";
    EXPECT_EQ(GetFileFormat("bellcore")->GetTraceExtension(), ".sor");
}

TEST_F(SorTest, DialogsAndFileNames) {
    // A cancelled open dialog: false, no name.
    TTheManager m;
    PDataStruct p, s;
    EXPECT_FALSE(m.LoadTrace(p, s));
    ASSERT_EQ(prompts.Dialogs.size(), 1u);
    EXPECT_EQ(prompts.Dialogs[0].Title, "Открыть файл SOR");
    EXPECT_EQ(prompts.Dialogs[0].Filter, "Файлы SOR (*.sor)|*.sor|Все файлы|*.*");
    EXPECT_EQ(prompts.Dialogs[0].FilterIndex, 1);
    EXPECT_EQ(prompts.Dialogs[0].DefaultExt, "sor");
    EXPECT_FALSE(prompts.Dialogs[0].Save);

    // A name from the dialog that fails to load is forgotten again.
    prompts.FileAnswers.push_back({dir.file("missing.sor")});
    EXPECT_FALSE(m.LoadTrace(p, s));
    EXPECT_EQ(m.GetTraceFileName(), "");

    // A cancelled save dialog writes nothing.
    EXPECT_FALSE(m.SaveTrace(traceParams().get(), samples({1.0}).get()));
    ASSERT_EQ(prompts.Dialogs.size(), 3u);
    EXPECT_EQ(prompts.Dialogs[2].Title, "Сохранить файл SOR");
    EXPECT_TRUE(prompts.Dialogs[2].Save);
    EXPECT_TRUE(prompts.Dialogs[2].OverwritePrompt);
    EXPECT_TRUE(dir.entries().empty());

    // The name of a successful save stays; a failed SaveTraceAs restores it.
    const std::string good = dir.file("a.sor");
    prompts.FileAnswers.push_back({good});
    ASSERT_TRUE(m.SaveTrace(traceParams().get(), samples({1.0}).get()));
    EXPECT_EQ(m.GetTraceFileName(), good);
    EXPECT_FALSE(m.SaveTraceAs(traceParams().get(), samples({1.0}).get(), dir.file("no/such/dir.sor")));
    EXPECT_EQ(m.GetTraceFileName(), good);

    // Saving over a larger file leaves exactly the new file.
    const std::string big = dir.file("big.sor");
    lvtest::writeBytes(big, std::vector<uint8_t>(100000, 7));
    TTheManager w;
    ASSERT_TRUE(w.SaveTraceAs(traceParams().get(), samples({1.0, 2.0}).get(), big));
    const std::vector<uint8_t> written = lvtest::readBytes(big);
    WrittenFile f(written);
    EXPECT_EQ(written.size(), f.Entries.back().Offset + 2);
    EXPECT_EQ(dir.entries().size(), 2u) << "no temporary file is left";
}

TEST_F(SorTest, TheStoreNamesTheFileThatFailed) {
    TRDataStorage* store = new TRDataStorage();
    store->SetAutoFree(false);
    const std::string bad = dir.file("bad.SOR");
    lvtest::writeBytes(bad, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_FALSE(store->LoadFromFile(bad, false));
    ASSERT_EQ(prompts.Messages.size(), 1u);
    // The file's name, and on the next line why.
    const std::string& readText = prompts.Messages[0].Text;
    EXPECT_EQ(readText.rfind("Не удается прочитать файл \"" + bad + "\".\r\n", 0), 0u) << readText;
    EXPECT_GT(readText.size(), ("Не удается прочитать файл \"" + bad + "\".\r\n").size());
    EXPECT_FALSE(store->LoadedAsSor());

    // An instrument's file without a data spacing would put every sample at 0 km.
    SorBuilder noSpacing = SorBuilder::standard(true, {3, 2, 1});
    noSpacing.Blocks[2].Body = SorBuilder::fxdParams(true, 0, 10, 0, 146800, 1, 1);
    const std::string flat = dir.file("flat.sor");
    lvtest::writeBytes(flat, noSpacing.build());
    EXPECT_FALSE(store->LoadFromFile(flat, false));
    const std::string why =
        "Файл SOR поврежден: в блоке FxdParams шаг между точками рефлектограммы не больше нуля.";
    EXPECT_EQ(prompts.Messages.back().Text, "Не удается прочитать файл \"" + flat + "\".\r\n" + why);
    EXPECT_FALSE(store->DataPresent());

    const std::string good = dir.file("good.sor");
    lvtest::writeBytes(good, SorBuilder::standard(true, {3, 2, 1}).build());
    ASSERT_TRUE(store->LoadFromFile(good, false));
    EXPECT_TRUE(store->SorForeign());
    // Levels spanning more than the format holds: the save is refused with the file's name.
    std::vector<double> wide{0.0, 80.0};
    store->DataArrived(MakeSampleBlock(wide.data(), 2).get());
    const std::string out = dir.file("out.sor");
    EXPECT_FALSE(store->SaveToFile(out, false));
    const std::string& writeText = prompts.Messages.back().Text;
    EXPECT_EQ(writeText.rfind("Не удается записать файл \"" + out + "\".\r\n", 0), 0u) << writeText;
    EXPECT_NE(writeText.find("65,535"), std::string::npos) << writeText;
    EXPECT_EQ(store->Caption(), good);
    EXPECT_TRUE(store->SorForeign());
    delete store;
}
