// Measuring the fibre traces of a construction line at the splices of its table.

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>

#include "formats/FileErrors.h"
#include "reports/uConstructionReport.h"
#include "trace/PromptService.h"
#include "trace/ValueHelpers.h"
#include "trace/uGraphIntfs.h"

namespace lv {

const char* const kMsgTraceShorter = "трасса короче маркеров: %s";
const char* const kTraceSpan = "начало и конец трассы";

namespace {

// What the trace store would show in boxes while one file loads. The report tells every failed
// file once, at the end, instead of a box per file in the middle of the run.
class TCollectedPrompts : public IPromptService {
public:
    TCollectedPrompts() { m_previous = SetPromptService(this); }
    ~TCollectedPrompts() override { SetPromptService(m_previous); }
    TCollectedPrompts(const TCollectedPrompts&) = delete;
    TCollectedPrompts& operator=(const TCollectedPrompts&) = delete;

    int MessageDlg(const std::string& text, TMsgDlgType, TMsgDlgButtons buttons, int) override {
        if (First.empty()) First = text;
        if (buttons & mbCancel) return mrCancel;
        if (buttons & mbNo) return mrNo;
        return mrOk;
    }
    bool FileDialog(const TFileDialogRequest&, std::vector<std::string>&) override { return false; }

    std::string First;

private:
    IPromptService* m_previous = nullptr;
};

// The distances a trace has samples for. The two-point fit has no level before the first sample
// or at and after the last usable one; the least-squares fit takes the samples inside its range,
// so a range that starts before the first sample is fine, but one that ends beyond the last
// would fit a line to the wrong part of the trace.
struct TraceSpan {
    double firstKm = 0, endKm = 0;
    bool twoPoint = false;
    bool covers(double fromKm, double toKm) const { return toKm < endKm && (!twoPoint || fromKm >= firstKm); }
};

TraceSpan spanOf(TRDataStorage& store) {
    TraceSpan span;
    PDataStruct samples = store.LockData();
    int last = samples ? samples->SampleCount() - 1 : -1;
    store.UnlockData();
    const int limit = store.GetLastIndex();
    if (limit >= 0 && limit < last) last = limit;
    span.firstKm = store.GetBound(0);
    span.endKm = last > 0 ? span.firstKm + store.GetStep() * last : span.firstKm;
    span.twoPoint = store.GetApproximation() == 0;
    return span;
}

// The store's markers cleared, then M1, M2, MY (Y2) and M3 placed (-1: not placed).
void placeMarkers(TRDataStorage& store, double m1, double m2, double my, double m3) {
    for (int i = 0; i < 6; ++i) store.SetMarker(i, -1);
    store.SetMarker(0, m1);
    store.SetMarker(1, m2);
    store.SetMarker(4, my);
    store.SetMarker(2, m3);
}

enum class Outcome { Value, Short, None };

Outcome readSplice(TRDataStorage& store, const TraceSpan& span, const TSpliceMarkers& m, double& lossDb) {
    if (!m.M1 || !m.M2 || !m.M3) return Outcome::None;
    double lo = std::min({*m.M1, *m.M2, *m.M3}), hi = std::max({*m.M1, *m.M2, *m.M3});
    if (m.MY) lo = std::min(lo, *m.MY), hi = std::max(hi, *m.MY);
    if (!span.covers(lo, hi)) return Outcome::Short;
    placeMarkers(store, *m.M1, *m.M2, m.MY.value_or(-1), *m.M3);
    if (!(store.Length12 > 0 && store.Length23 > 0) || !std::isfinite(store.JointLoss)) return Outcome::None;
    lossDb = store.JointLoss;
    return Outcome::Value;
}

std::string directionName(TFlowDirection dir) { return dir == TFlowDirection::AB ? "A-B" : "B-A"; }

std::vector<TFibreFile> ascending(std::vector<TFibreFile> files) {
    std::sort(files.begin(), files.end(), [](const TFibreFile& a, const TFibreFile& b) { return a.Number < b.Number; });
    return files;
}

class Measurer {
public:
    Measurer(const TConstructionInput& in, IProgress& progress, int totalSteps, TConstructionReadings& out)
        : m_in(in), m_progress(progress), m_total(totalSteps), m_out(out) {}

    // False when the operator cancelled.
    bool pass(TFlowDirection dir) {
        std::vector<TFibreReading>& readings = dir == TFlowDirection::AB ? m_out.AB : m_out.BA;
        for (const TFibreFile& f : ascending(dir == TFlowDirection::AB ? m_in.TracesAB : m_in.TracesBA)) {
            if (m_progress.Cancelled()) return false;
            m_progress.Step(m_done, m_total, directionName(dir) + ": " + std::filesystem::path(f.Path).filename().string());
            ++m_done;
            std::string reason;
            try {
                if (auto r = fibre(dir, f, reason)) readings.push_back(std::move(*r));
            } catch (...) {
                reason = ExceptionMessage(std::current_exception(), kMsgNotEnoughMemory);
            }
            if (!reason.empty()) m_out.Skipped.push_back({dir, f.Number, f.Path, reason});
        }
        return true;
    }

private:
    // The readings of one file; none when it cannot be read. `reason` tells what is missing.
    std::optional<TFibreReading> fibre(TFlowDirection dir, const TFibreFile& f, std::string& reason) {
        auto store = std::make_unique<TRDataStorage>();
        store->SetAutoFree(false);
        bool loaded = false;
        {
            TCollectedPrompts prompts;
            try {
                loaded = store->LoadFromFile(f.Path, false);
            } catch (...) {
                reason = ExceptionMessage(std::current_exception(), kMsgNotEnoughMemory);
                return std::nullopt;
            }
            if (!loaded || store->GetBound(2) <= store->GetBound(0)) {
                reason = prompts.First.empty() ? FormatS(kMsgCannotReadFile, f.Path) : prompts.First;
                return std::nullopt;
            }
        }
        store->SetApproximation(m_in.Approximation == 0 ? 0 : 1);
        const TraceSpan span = spanOf(*store);

        TFibreReading r;
        r.Number = f.Number;
        r.File = f.Path;
        r.Label = TrimText(store->GetComment());
        if (r.Label.empty()) r.Label = std::filesystem::path(f.Path).stem().string();
        r.SpliceLossDb.resize(m_in.Splices.size());
        std::string shortOf;
        auto noteShort = [&](const std::string& what) { shortOf += (shortOf.empty() ? "" : ", ") + what; };

        for (size_t k = 0; k < m_in.Splices.size(); ++k) {
            const TSpliceRecord& rec = m_in.Splices[k];
            const TOptKm pos = rec.Position(dir);
            if (!pos || !(*pos > 0)) continue;
            double loss = 0;
            switch (readSplice(*store, span, rec.Markers(dir), loss)) {
            case Outcome::Value: r.SpliceLossDb[k] = loss; break;
            case Outcome::Short: noteShort(rec.MName); break;
            case Outcome::None: break;
            }
        }

        const double s = m_in.StartKm, t = m_in.EndKm;
        if (span.covers(s, t)) {
            placeMarkers(*store, s, t, -1, -1);
            if (store->Length12 > 0 && std::isfinite(store->SectionLoss12)) {
                r.TotalLossDb = store->SectionLoss12;
                r.AttenuationDbKm = store->SectionLoss12 / store->Length12;
            }
        } else {
            noteShort(kTraceSpan);
        }
        if (!shortOf.empty()) reason = FormatS(kMsgTraceShorter, shortOf);
        return r;
    }

    const TConstructionInput& m_in;
    IProgress& m_progress;
    int m_total;
    int m_done = 0;
    TConstructionReadings& m_out;
};

} // namespace

TConstructionReadings MeasureConstruction(const TConstructionInput& input, IProgress& progress, int totalSteps) {
    TConstructionReadings out;
    if (totalSteps <= 0) totalSteps = static_cast<int>(input.TracesAB.size() + input.TracesBA.size());
    Measurer m(input, progress, totalSteps, out);
    out.Cancelled = !m.pass(TFlowDirection::AB) || !m.pass(TFlowDirection::BA);
    return out;
}

} // namespace lv
