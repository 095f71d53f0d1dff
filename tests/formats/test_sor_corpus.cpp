// Real instrument files: every file of the shared corpus loads into a trace store that agrees
// with the file's independent reference reading; the system's own saves of them read back and
// are read by the reference reader; cut and damaged copies fail cleanly.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>

#include "formats/ByteCursor.h"
#include "formats/Cp1251.h"
#include "formats/uBellcoreConvs.h"
#include "formats/uCRC.h"
#include "support/Corpus.h"
#include "support/MiniJson.h"
#include "support/ScriptedPrompts.h"
#include "support/SorSupport.h"
#include "support/TempDir.h"
#include "trace/DateTime.h"
#include "trace/TraceEvents.h"
#include "trace/TraceParams.h"
#include "trace/uGraphIntfs.h"

using namespace lv;
using lvtest::Json;

namespace {

const char* const kGenTexts[][2] = {{"CID", "cable_id"},
                                    {"FID", "fiber_id"},
                                    {"OL", "originating_location"},
                                    {"TL", "terminating_location"},
                                    {"OP", "operator"}};
const char* const kSupTexts[][2] = {{"SN", "supplier_name"},
                                    {"MFID", "otdr_mainframe_id"},
                                    {"OTDR", "otdr_mainframe_sn"},
                                    {"OMID", "optical_module_id"},
                                    {"OMSN", "optical_module_sn"},
                                    {"SR", "software_revision"},
                                    {"OT", "other"}};

using Store = std::unique_ptr<TRDataStorage>;

Store newStore() {
    Store s = std::make_unique<TRDataStorage>();
    s->SetAutoFree(false);
    return s;
}

std::string fileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

struct SorCorpus : ::testing::Test {
    lvtest::SorFormats formats;
    lvtest::ScriptedPrompts prompts;
    lvtest::TempDir dir;
    std::vector<std::string> files;

    void SetUp() override {
        LVTEST_NEEDS_CORPUS("sor");
        files = lvtest::sorCorpusFiles();
        ASSERT_FALSE(files.empty()) << "no .sor files in " << lvtest::corpusDir() << "/sor";
    }

    std::string corpusFile(const std::string& name) const {
        for (const std::string& f : files)
            if (fileName(f) == name) return f;
        ADD_FAILURE() << "corpus file " << name << " is missing";
        return {};
    }
};

// The level of a raw point by the format's rule: (largest raw value − value) × scale / 10⁶.
double levelOf(double raw, double largest, double scale) {
    return (largest - raw) * scale / 1e6;
}

void expectAgreesWithReference(TRDataStorage& store, const Json& ref) {
    const Json& gen = ref["GenParams"];
    const Json& fxd = ref["FxdParams"];
    const Json& group = ref["DataPts"]["groups"][0];

    EXPECT_EQ(store.Param(prmLAM).AsInteger(), gen["nominal_wavelength_nm"].integer());
    EXPECT_DOUBLE_EQ(store.WaveLengthUm, gen["nominal_wavelength_nm"].number() / 1000.0);
    const long long pulse = fxd["pulse_widths_used_ns"][0].integer();
    EXPECT_EQ(store.PulseNs, pulse > 0 ? pulse : 100);
    EXPECT_DOUBLE_EQ(store.RefIndex, fxd["group_index_raw"].number() / 100000.0);
    EXPECT_EQ(store.AverageCount, fxd["number_of_averages"].integer());

    // The step by the system's formula (2.99792e8 m/s, out and back), and against the
    // reference's one-way spacing with 299792458 m/s.
    const double spacing = fxd["data_spacing_raw"][0].number();
    const double index = fxd["group_index_raw"].number() / 100000.0;
    const double stepKm = (spacing / 500000.0 * 1e-8) * 2.99792e8 / (index * 2 * 1000);
    EXPECT_NEAR(store.GetStep(), stepKm, stepKm * 1e-12);
    if (ref.has("derived")) {
        const double refKm = ref["derived"]["sample_spacing_m_one_way"].number() / 1000.0;
        EXPECT_NEAR(store.GetStep(), refKm, refKm * 2e-6);
        // The range as the instrument set it, read at a group index of 1.5 (the reference reads it
        // at the file's own index).
        const double rangeKm = ref["derived"]["acquisition_range_m_one_way"].number() / 1000.0;
        EXPECT_NEAR(store.RangeKm, rangeKm, rangeKm * 0.03);
    }

    // Samples: the first group, with the highest level at 0 dB.
    const int points = static_cast<int>(group["points"].integer());
    const double scale = group["scale_factor_raw"].number();
    const double largest = group["max"].number();
    const TVariant& samples = store.Param(prmDBIR);
    ASSERT_EQ(samples.Count(), points);
    const double* p = samples.DoubleData();
    for (size_t i = 0; i < 5 && i < group["first5"].size(); ++i)
        EXPECT_NEAR(p[i], levelOf(group["first5"][i].number(), largest, scale), 1e-9) << "first " << i;
    const size_t lastCount = group["last5"].size();
    for (size_t i = 0; i < lastCount; ++i)
        EXPECT_NEAR(p[points - lastCount + i], levelOf(group["last5"][i].number(), largest, scale), 1e-9)
            << "last " << i;
    EXPECT_NEAR(store.GetBound(1), levelOf(largest, largest, scale), 1e-9);
    EXPECT_NEAR(store.GetBound(3), levelOf(group["min"].number(), largest, scale), 1e-9);

    for (const auto& t : kGenTexts)
        EXPECT_EQ(store.TextField(t[0]), gen[t[1]]["text"].str()) << t[0];
    EXPECT_EQ(store.GetComment(), gen["comment"]["text"].str());
    for (const auto& t : kSupTexts)
        EXPECT_EQ(store.TextField(t[0]), ref["SupParams"][t[1]]["text"].str()) << t[0];

    // The instrument's wall clock, to the minute: the reference's reading where it has one, else
    // the C library's reading of the raw stamp as a clock without time zone.
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (ref.has("derived")) {
        ASSERT_EQ(std::sscanf(ref["derived"]["date_time_utc"].str().c_str(), "%d-%d-%dT%d:%d:%d", &y, &mo, &d,
                              &h, &mi, &s),
                  6);
    } else {
        const std::time_t t = static_cast<std::time_t>(fxd["date_time_stamp_raw"].integer());
        std::tm u{};
        ASSERT_TRUE(gmtime_r(&t, &u));
        y = u.tm_year + 1900, mo = u.tm_mon + 1, d = u.tm_mday, h = u.tm_hour, mi = u.tm_min;
    }
    const TDateTimeParts at = DecodeDateTime(store.MeasuredAt);
    EXPECT_EQ(at.Year, y);
    EXPECT_EQ(at.Month, mo);
    EXPECT_EQ(at.Day, d);
    EXPECT_EQ(at.Hour, h);
    EXPECT_EQ(at.Minute, mi);
    EXPECT_EQ(at.Second, 0);
}

// Facts of a file the system wrote: the Map lists 7 blocks in 92 bytes, the blocks fill the file,
// and the checksum is the CRC-16/CCITT-FALSE of every byte before it.
void expectOwnLayout(const std::vector<uint8_t>& b) {
    TLEReader r(b.data(), b.size());
    EXPECT_EQ(r.U16(), 100);
    EXPECT_EQ(r.I32(), 92);
    ASSERT_EQ(r.I16(), 7);
    size_t total = 92;
    for (int i = 0; i < 6; ++i) {
        r.ZString();
        EXPECT_EQ(r.I16(), 100);
        total += static_cast<size_t>(r.I32());
    }
    EXPECT_EQ(total, b.size());
    TLEReader c(b.data() + b.size() - 2, 2);
    EXPECT_EQ(c.U16(), CRC16(b.data(), b.size() - 2));
}

// A text as the format writes it: a non-empty text of even length (in Windows-1251) gains a space.
std::string writtenText(const std::string& utf8) {
    const size_t n = Cp1251Length(utf8);
    return n > 0 && n % 2 == 0 ? utf8 + " " : utf8;
}

} // namespace

TEST_F(SorCorpus, EveryFileAgreesWithItsReferenceReading) {
    for (const std::string& path : files) {
        SCOPED_TRACE(fileName(path));
        const Json ref = Json::parseFile(lvtest::sorReferenceOf(path));
        Store store = newStore();
        ASSERT_TRUE(store->LoadFromFile(path, false));
        EXPECT_TRUE(store->LoadedAsSor());
        EXPECT_EQ(store->SorFileName(), path);
        EXPECT_EQ(store->Caption(), path);
        EXPECT_TRUE(store->SorForeign()) << "every corpus file comes from an instrument or another program";
        EXPECT_FALSE(IsOwnSorFile(path));
        expectAgreesWithReference(*store, ref);
    }
    EXPECT_TRUE(prompts.Messages.empty());
}

TEST_F(SorCorpus, InstrumentEventsAgreeWithTheReferenceAndLieOnTheDrawnTrace) {
    int filesWithEvents = 0;
    for (const std::string& path : files) {
        SCOPED_TRACE(fileName(path));
        const Json ref = Json::parseFile(lvtest::sorReferenceOf(path));
        Store store = newStore();
        ASSERT_TRUE(store->LoadFromFile(path, false));
        // What a save would not write: every block outside the system's own.
        std::vector<std::string> notKept;
        for (const Json& entry : ref["map"]["entries"].items()) {
            const std::string& name = entry["name"].str();
            if (name != "GenParams" && name != "SupParams" && name != "FxdParams" && name != "DataPts" &&
                name != "Cksum" && name != "TRA")
                notKept.push_back(name);
        }
        EXPECT_EQ(store->SorBlocksNotKept(), notKept);
        if (!ref.has("KeyEvents")) {
            EXPECT_EQ(store->KeyEvents(), nullptr);
            continue;
        }
        ++filesWithEvents;
        ASSERT_NE(store->KeyEvents(), nullptr);
        const TTraceEvents& events = *store->KeyEvents();
        const Json& block = ref["KeyEvents"];
        const Json& distances = ref["derived"]["event_distance_m_one_way"];
        const double spacing = ref["FxdParams"]["data_spacing_raw"][0].number(); // 10,000 points, 100 ps
        const double frontPanel = ref["FxdParams"]["front_panel_offset_raw_100ps"].number();
        ASSERT_EQ(events.Events.size(), block["events"].size());
        for (size_t i = 0; i < events.Events.size(); ++i) {
            SCOPED_TRACE("event " + std::to_string(i + 1));
            const TTraceEvent& e = events.Events[i];
            const Json& r = block["events"][i];
            EXPECT_EQ(e.Number, r["event_number"].integer());
            EXPECT_EQ(e.Code, r["event_code"].str());
            EXPECT_EQ(e.Comment, r["comment"]["text"].str());
            EXPECT_NEAR(e.LossDb, r["event_loss_raw"].number() / 1000, 1e-9);
            EXPECT_NEAR(e.ReflectanceDb, r["event_reflectance_raw"].number() / 1000, 1e-9);
            const double km = store->EventDistanceKm(e);
            if (r["propagation_time_raw_100ps"].integer() == TTraceEvent::kNoPosition) {
                EXPECT_TRUE(std::isnan(km)) << "the file gives this event no position";
                continue;
            }
            EXPECT_NEAR(km * 1000, distances[i].number(), 1.0);
            // On the drawn curve: the sample the time stands for, counted from the front panel,
            // which lies the front panel offset after the first sample.
            const double index = (r["propagation_time_raw_100ps"].number() + frontPanel) * 1e4 / spacing;
            EXPECT_NEAR(store->EventTraceKm(e), store->GetOrigin() + index * store->GetStep(), 1e-9);
        }
        EXPECT_NEAR(events.EndToEndLossDb, block["summary"]["end_to_end_loss_raw"].number() / 1000, 1e-9);
        EXPECT_NEAR(events.ReturnLossDb, block["summary"]["optical_return_loss_raw"].number() / 1000, 1e-9);
    }
    EXPECT_GT(filesWithEvents, 0);
    EXPECT_TRUE(prompts.Messages.empty());
}

// A file whose samples start 1.07 km before the instrument's front panel: the events stand on
// their reflections only with that offset.
TEST_F(SorCorpus, EventsStandOnTheirReflections) {
    Store store = newStore();
    ASSERT_TRUE(store->LoadFromFile(corpusFile("mjuenema__otdrparser__issue14.sor"), false));
    const TTraceEvents& events = *store->KeyEvents();
    const TVariant& samples = store->Param(prmDBIR);
    // The front panel's connector (event 1) and the end of the fibre (event 11) rise sharply,
    // within a few samples after where the events put them.
    for (size_t i : {size_t(0), events.Events.size() - 1}) {
        const double at = (store->EventTraceKm(events.Events[i]) - store->GetOrigin()) / store->GetStep();
        int steepest = 0;
        double rise = 0;
        for (int k = std::max(1, int(at) - 300); k < std::min(samples.Count(), int(at) + 300); ++k)
            if (samples.DoubleData()[k] - samples.DoubleData()[k - 1] > rise)
                rise = samples.DoubleData()[k] - samples.DoubleData()[k - 1], steepest = k;
        EXPECT_GT(rise, 10.0) << i;
        EXPECT_GE(steepest, at - 1) << i;
        EXPECT_LE(steepest, at + 10) << i;
    }
}

TEST_F(SorCorpus, SavedFilesReadBackAndBecomeTheSystemsOwn) {
    for (const std::string& path : files) {
        SCOPED_TRACE(fileName(path));
        Store store = newStore();
        ASSERT_TRUE(store->LoadFromFile(path, false));
        const std::string out = dir.file("copy.sor");
        ASSERT_TRUE(store->SaveToFile(out, false));
        EXPECT_FALSE(store->SorForeign());
        EXPECT_TRUE(IsOwnSorFile(out));
        EXPECT_EQ(store->Caption(), out);
        expectOwnLayout(lvtest::readBytes(out));

        Store back = newStore();
        ASSERT_TRUE(back->LoadFromFile(out, false));
        EXPECT_FALSE(back->SorForeign());
        EXPECT_DOUBLE_EQ(back->WaveLengthUm, store->WaveLengthUm);
        EXPECT_EQ(back->PulseNs, store->PulseNs);
        EXPECT_EQ(back->AverageCount, store->AverageCount);
        EXPECT_NEAR(back->RefIndex, store->RefIndex, 1e-5);
        EXPECT_NEAR(back->GetStep(), store->GetStep(), store->GetStep() * 1e-6);
        EXPECT_NEAR(back->MeasuredAt, store->MeasuredAt, 1e-6);
        EXPECT_EQ(back->GetComment(), store->GetComment());
        for (const auto& t : kGenTexts)
            EXPECT_EQ(back->TextField(t[0]), writtenText(store->TextField(t[0]))) << t[0];
        for (const auto& t : kSupTexts)
            EXPECT_EQ(back->TextField(t[0]), writtenText(store->TextField(t[0]))) << t[0];
        const TVariant& a = store->Param(prmDBIR);
        const TVariant& b = back->Param(prmDBIR);
        ASSERT_EQ(b.Count(), a.Count());
        // Levels are kept at 0.001 dB; files with another scale factor round to it.
        for (int i = 0; i < a.Count(); ++i)
            ASSERT_NEAR(b.DoubleData()[i], a.DoubleData()[i], 0.0005 + 1e-9) << i;

        // Saving the trace again in place keeps it the system's own.
        ASSERT_TRUE(back->SaveToFile("", true));
        EXPECT_FALSE(back->SorForeign());
    }
    EXPECT_TRUE(prompts.Messages.empty());
}

TEST_F(SorCorpus, TheReferenceReaderReadsTheSystemsFiles) {
    if (std::system("python3 -c pass >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 is not available: the reference reader cannot run (the layout facts are "
                        "checked in C++ by SavedFilesReadBackAndBecomeTheSystemsOwn)";
    // Revision 1, revision 2 with scale factor 1470 and makers' blocks, Cyrillic texts.
    const char* picks[] = {"Paustovskiy__otdr_ml__100601_12015.sor",
                           "fabry44__otdr-parser__F1_TT07_FO_004_1310_OE.sor",
                           "Ravskij__otdr-parser__RFG1550НМ_1.sor"};
    for (const char* name : picks) {
        SCOPED_TRACE(name);
        Store store = newStore();
        ASSERT_TRUE(store->LoadFromFile(corpusFile(name), false));
        const std::string out = dir.file("own.sor");
        const std::string json = dir.file("own.json");
        ASSERT_TRUE(store->SaveToFile(out, false));
        const std::string command =
            "python3 '" + lvtest::corpusDir() + "/tools/sorref.py' '" + out + "' > '" + json + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const Json r = Json::parseFile(json);
        EXPECT_EQ(r["map"]["nblocks_interpretation"].str(), "count INCLUDES Map");
        EXPECT_TRUE(r["map"]["entries_exactly_fill_map"].boolean());
        EXPECT_EQ(r["map"]["map_size_field"].integer(), 92);
        EXPECT_TRUE(r["blocks_exactly_fill_file"].boolean());
        for (const char* block : {"GenParams", "SupParams", "FxdParams", "DataPts", "Cksum"}) {
            EXPECT_FALSE(r[block].has("error")) << block;
            EXPECT_EQ(r[block]["bytes_consumed"].integer(), r[block]["block_size"].integer()) << block;
        }
        EXPECT_EQ(r["vendor_blocks"].size(), 1u); // "TRA"
        EXPECT_EQ(r["Cksum"]["stored"].integer(),
                  r["Cksum"]["computed_ccitt_false"]["A_bytes_0_to_value"].integer());
        EXPECT_EQ(r["FxdParams"]["n_data_points_per_pulse_width"][0].integer(),
                  r["DataPts"]["groups"][0]["points"].integer());

        // The reference reading of the saved file agrees with the trace it came from.
        Store back = newStore();
        ASSERT_TRUE(back->LoadFromFile(out, false));
        expectAgreesWithReference(*back, r);
    }
}

// Copies cut at every length fail; copies with one byte changed either fail or give a trace that
// the store can work with. Each copy is a buffer of its own exact size, so that AddressSanitizer
// sees any read past its end.
TEST_F(SorCorpus, CutAndDamagedCopiesFailCleanly) {
    // Revision 1; revision 2; makers' blocks; padded blocks with bytes after the last one.
    const char* picks[] = {"Paustovskiy__otdr_ml__100601_12015.sor", "Ravskij__otdr-parser__RFG1310НМ_1_.sor",
                           "Ravskij__otdr-parser__Modified_OTDR.sor", "mjuenema__otdrparser__otdr1.sor"};
    int loaded = 0, failed = 0;
    for (const char* name : picks) {
        SCOPED_TRACE(name);
        const std::string path = corpusFile(name);
        const std::vector<uint8_t> bytes = lvtest::readBytes(path);
        const Json ref = Json::parseFile(lvtest::sorReferenceOf(path));
        const size_t declaredEnd =
            bytes.size() - static_cast<size_t>(ref["bytes_after_last_block"].integer());

        // Positions worth trying: everything before the samples (up to 1 KiB), a band around each
        // block start, the end of the file, and a sparse sample of the rest. Small files are cut at
        // every length.
        std::vector<size_t> starts;
        size_t dataStart = 0, fxdStart = 0, fxdEnd = 0;
        for (const Json& b : ref["blocks"].items()) {
            starts.push_back(static_cast<size_t>(b["offset"].integer()));
            if (b["name"].str() == "DataPts") dataStart = starts.back();
            if (b["name"].str() == "FxdParams") {
                fxdStart = starts.back();
                fxdEnd = fxdStart + static_cast<size_t>(b["size"].integer());
            }
        }
        std::vector<size_t> positions, cuts;
        for (size_t i = 0; i < bytes.size(); ++i) {
            bool near = false;
            for (size_t s : starts)
                near = near || (i + 8 >= s && i < s + 48);
            const bool worth =
                i < std::min<size_t>(dataStart, 1024) || near || i % 499 == 0 || i + 8 >= bytes.size();
            if (worth) positions.push_back(i);
            if (worth || bytes.size() <= 5000) cuts.push_back(i);
        }

        for (size_t len : cuts) {
            if (len >= declaredEnd) continue;
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(len));
            TTheManager m;
            PDataStruct p, s;
            EXPECT_THROW(m.ReadImage(cut.data(), cut.size(), p, s), EInvalidDataFormat) << "cut at " << len;
        }
        for (size_t len = declaredEnd; len <= bytes.size(); ++len) {
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(len));
            TTheManager m;
            PDataStruct p, s;
            EXPECT_NO_THROW(m.ReadImage(cut.data(), cut.size(), p, s))
                << "only bytes after the last block cut: " << len;
        }

        for (size_t pos : positions) {
            // Bits that flip signs, sizes and terminators.
            for (uint8_t change : {uint8_t(0xFF), uint8_t(0x80), uint8_t(0x01)}) {
                std::vector<uint8_t> damaged = bytes;
                damaged[pos] ^= change;
                TTheManager m;
                PDataStruct p, s;
                try {
                    m.ReadImage(damaged.data(), damaged.size(), p, s);
                } catch (const EInvalidDataFormat&) {
                    ++failed;
                    continue;
                }
                ++loaded;
                ASSERT_TRUE(p && s) << pos;
                ASSERT_GT(s->SampleCount(), 0) << pos;
                for (int i = 0; i < s->SampleCount(); ++i)
                    ASSERT_TRUE(std::isfinite(s->Samples()[i])) << pos;
                ASSERT_EQ(p->Params()->size(), static_cast<size_t>(kParamCount));
                // The store takes whatever acquisition parameters the file gives and computes
                // without failing.
                if (pos < fxdStart || pos >= fxdEnd) continue;
                Store store = newStore();
                store->SetupArrived(p.get());
                store->DataArrived(s.get());
                store->SetMarker(0, 0.0);
                store->SetMarker(1, store->GetBound(2) / 2);
                store->SetMarker(2, store->GetBound(2));
                EXPECT_TRUE(store->DataPresent() && store->SetupPresent());
                for (double r :
                     {store->GetStep(), store->Length12, store->Slope12, store->Slope23, store->JointLoss})
                    EXPECT_TRUE(std::isfinite(r)) << pos;
            }
        }
    }
    EXPECT_GT(loaded, 0);
    EXPECT_GT(failed, 0);
    EXPECT_TRUE(prompts.Messages.empty());
}
