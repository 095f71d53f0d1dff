#pragma once
// A construction line of synthetic traces: a data folder with "AB/" and "BA/", one ".tra" file per
// fibre written by the program's own trace store, the splices of the line at known places with
// known losses as each end sees them, and the splice table the construction window would make.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "formats/uTRAConvs.h"
#include "reports/uConstructionReport.h"
#include "reports/uFolderSets.h"
#include "reports/uSpliceEdit.h"
#include "support/TraceFormats.h"
#include "trace/Errors.h"
#include "trace/SyntheticTrace.h"
#include "trace/uGraphIntfs.h"

namespace lvtest {

// A trace file made from the generator's options; an empty comment leaves the trace without one.
inline void WriteSyntheticTrace(const std::string& path, const lv::TSynthOptions& o, const std::string& comment) {
    using namespace lv;
    EnsureTraceFormats();
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const TSynthTrace t = SynthesizeTrace(o);
    auto store = std::make_unique<TRDataStorage>();
    store->SetAutoFree(false);
    PDataStruct params = MakeParamBlock();
    SetDefaultParams(*params->Params());
    SetSyntheticParams(*params->Params(), o, t, comment);
    store->SetupArrived(params.get());
    store->DataArrived(MakeSampleBlock(t.levels.data(), static_cast<int32_t>(t.levels.size())).get());
    if (!store->SaveToFile(path, false)) throw lv::Exception("test trace not written: " + path);
}

// One fibre of the line: its loss at every splice of the line as seen from A and from B.
struct LineFibre {
    int Number = 0;
    std::vector<double> LossAB, LossBA;
    double LengthKm = 0;      // 0: the line's length (a shorter one ends early seen from A)
    std::string CommentAB, CommentBA;
    bool InAB = true, InBA = true;
    std::string Extension = ".tra"; // ".sor": a Bellcore file
};

struct SyntheticLine {
    double LengthKm = 20;
    std::vector<double> SplicesKm; // from A
    int Samples = 16000;
    int PulseNs = 100;

    lv::TSynthOptions options(double lengthKm, uint64_t seed) const {
        lv::TSynthOptions o;
        o.lengthKm = lengthKm;
        o.samples = Samples;
        o.pulseNs = PulseNs;
        o.seed = seed;
        return o;
    }

    // "<folder>AB/NNN.tra" and "<folder>BA/NNN.tra".
    static std::string TraceFile(const std::string& folder, lv::TFlowDirection dir, int number,
                                 const std::string& extension = ".tra") {
        char name[16];
        std::snprintf(name, sizeof name, "%03d", number);
        return folder + (dir == lv::TFlowDirection::AB ? "AB/" : "BA/") + name + extension;
    }

    void Write(const std::string& folder, const std::vector<LineFibre>& fibres) const {
        for (const LineFibre& f : fibres) {
            const double length = f.LengthKm > 0 ? f.LengthKm : LengthKm;
            if (f.InAB) {
                lv::TSynthOptions o = options(length, 1000 + f.Number);
                for (size_t k = 0; k < SplicesKm.size(); ++k)
                    o.events.push_back({lv::TSynthEvent::Kind::Splice, SplicesKm[k], f.LossAB.at(k), 0});
                WriteSyntheticTrace(TraceFile(folder, lv::TFlowDirection::AB, f.Number, f.Extension), o, f.CommentAB);
            }
            if (f.InBA) {
                lv::TSynthOptions o = options(length, 2000 + f.Number);
                for (size_t k = 0; k < SplicesKm.size(); ++k)
                    o.events.push_back({lv::TSynthEvent::Kind::Splice, LengthKm - SplicesKm[k], f.LossBA.at(k), 0});
                WriteSyntheticTrace(TraceFile(folder, lv::TFlowDirection::BA, f.Number, f.Extension), o, f.CommentBA);
            }
        }
    }

    // The geometry of a trace of this line, as the marker rule reads it from the graph.
    lv::TTraceGeometry Geometry() const {
        const lv::TSynthTrace t = lv::SynthesizeTrace(options(LengthKm, 1));
        return {double(PulseNs), 1.465, t.stepKm * (Samples - 1)};
    }

    // The table the construction window makes: the splices placed from A at `atKm` (the line's
    // splices when empty), the trace start 0 and the end at the line's length.
    lv::TSpliceEditor Table(std::vector<double> atKm = {}, const lv::TFlowParams& params = {}) const {
        if (atKm.empty()) atKm = SplicesKm;
        lv::TSpliceEditor e;
        for (double km : atKm) e.PlaceSplice(km, params, Geometry());
        e.SetEnd(LengthKm, params, Geometry());
        return e;
    }

    // What the construction window hands the report for this line written into `folder`, with
    // the splice table of Table().
    lv::TConstructionInput Input(const std::string& folder) const {
        lv::TConstructionInput in;
        in.LineName = lv::LineNameOf(folder);
        in.TracesAB = lv::ListFibreFiles(folder + "AB/", {"", 3, true});
        in.TracesBA = lv::ListFibreFiles(folder + "BA/", {"", 3, true});
        const lv::TSpliceEditor table = Table();
        in.Splices = table.Table().Records();
        in.StartKm = table.Start();
        in.EndKm = table.End();
        return in;
    }
};

} // namespace lvtest
