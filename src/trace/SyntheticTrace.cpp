#include "trace/SyntheticTrace.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "trace/TraceParams.h"
#include "trace/uFileFormats.h"
#include "trace/uGraphIntfs.h"

namespace lv {

double TypicalAttenuation(int nm) {
    if (nm < 900) return 2.5;   // multimode, 850 nm
    if (nm < 1400) return 0.33; // 1300-1310
    if (nm < 1600) return 0.19; // 1490-1550
    return 0.22;                // 1625
}

bool ParseSynthEvents(const std::string& spec, std::vector<TSynthEvent>& events, std::string& error) {
    events.clear();
    std::stringstream items(spec);
    std::string item;
    while (std::getline(items, item, ',')) {
        if (item.empty()) continue;
        size_t at = item.find('@');
        if (at == std::string::npos) {
            error = "нет \"@\" в \"" + item + "\"";
            return false;
        }
        TSynthEvent e;
        const std::string kind = item.substr(0, at);
        if (kind == "splice") {
            e.kind = TSynthEvent::Kind::Splice;
        } else if (kind == "connector") {
            e.kind = TSynthEvent::Kind::Connector;
            e.lossDb = 0.5;
            e.reflectionDb = 12;
        } else {
            error = "неизвестное событие \"" + kind + "\"";
            return false;
        }
        std::vector<double> nums;
        std::stringstream rest(item.substr(at + 1));
        std::string num;
        while (std::getline(rest, num, ':')) {
            char* end = nullptr;
            double v = std::strtod(num.c_str(), &end);
            if (num.empty() || *end || !std::isfinite(v)) {
                error = "не число: \"" + num + "\"";
                return false;
            }
            nums.push_back(v);
        }
        if (nums.empty() || nums.size() > 3 || nums[0] < 0) {
            error = "ожидается км[:потери[:отражение]] в \"" + item + "\"";
            return false;
        }
        e.positionKm = nums[0];
        if (nums.size() > 1) e.lossDb = nums[1];
        if (nums.size() > 2) e.reflectionDb = nums[2];
        events.push_back(e);
    }
    return true;
}

namespace {
// SplitMix64: small, fast, identical everywhere.
struct Random {
    uint64_t state;
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return (static_cast<double>(next() >> 11) + 0.5) * (1.0 / 9007199254740992.0); }
    double gaussian() { // Box-Muller
        double u1 = uniform(), u2 = uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }
};
} // namespace

TSynthTrace SynthesizeTrace(const TSynthOptions& o) {
    TSynthTrace t;
    const int n = std::max(o.samples, 2);
    const double length = std::max(o.lengthKm, 0.01);
    const double gi = o.groupIndex > 0 ? o.groupIndex : 1.465;
    // Cover the fibre and a quarter more of noise beyond its end.
    const double wantedStep = length * 1.25 / n;
    t.spacing10ns = std::max(1e-4, std::round(wantedStep * gi * 2000.0 / (kLightSpeed * 1e-8) * 1e4) / 1e4);
    t.stepKm = t.spacing10ns * 1e-8 * kLightSpeed / (gi * 2000.0);
    t.attenuationDbKm = TypicalAttenuation(o.wavelengthNm);

    std::vector<TSynthEvent> events = o.events;
    if (events.empty()) {
        events = {{TSynthEvent::Kind::Splice, length * 0.3, 0.12, 0},
                  {TSynthEvent::Kind::Connector, length * 0.55, 0.45, 14},
                  {TSynthEvent::Kind::Splice, length * 0.8, 0.2, 0}};
    }
    std::sort(events.begin(), events.end(),
              [](const TSynthEvent& a, const TSynthEvent& b) { return a.positionKm < b.positionKm; });

    // The pulse's length in the fibre, km; events are smeared over it.
    const double pulseKm = std::max(o.pulseNs * 1e-9 * kLightSpeed / (2.0 * gi) / 1000.0, 2 * t.stepKm);
    const double start = 32.0;                   // backscatter level at the launch, dB
    const double floorLin = std::pow(10.0, 0.6); // noise floor about 6 dB
    Random rnd{o.seed * 0x2545F4914F6CDD1Dull + 1};

    auto peak = [&](double x, double at, double height) {
        // A reflection: a sharp rise, then the decay of the receiver after the pulse.
        if (x < at || height <= 0) return 0.0;
        const double d = x - at;
        const double shape = d <= pulseKm ? 1.0 : std::exp(-(d - pulseKm) / (pulseKm * 0.6));
        return std::pow(10.0, (height) / 10.0) * shape;
    };

    // Levels that are the same for every sample: the launch, and the fibre's end after every loss.
    const double launchLin = std::pow(10.0, start / 10.0);
    double endLevel = start - t.attenuationDbKm * length;
    for (const TSynthEvent& e : events)
        if (e.positionKm < length) endLevel -= e.lossDb;
    const double endLin = std::pow(10.0, endLevel / 10.0);

    t.levels.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double x = i * t.stepKm;
        double signal = 0.0;
        if (x <= length) {
            double level = start - t.attenuationDbKm * x;
            for (const TSynthEvent& e : events) {
                if (e.positionKm >= length) continue;
                // A loss step ramps over one pulse length.
                const double ramp = std::clamp((x - e.positionKm) / pulseKm, 0.0, 1.0);
                level -= e.lossDb * ramp;
            }
            signal = std::pow(10.0, level / 10.0);
            const double scale = signal; // reflections ride on the local backscatter
            for (const TSynthEvent& e : events)
                if (e.kind == TSynthEvent::Kind::Connector && e.positionKm < length)
                    signal += scale * peak(x, e.positionKm, e.reflectionDb);
            signal += launchLin * peak(x, 0.0, 16.0); // launch reflection
        }
        // The end reflection and the fall to the noise floor.
        signal += endLin * peak(x, length, 14.0);
        const double noise = floorLin * std::exp(0.3 * rnd.gaussian());
        // Receiver noise is also visible on the backscatter itself, weakly.
        const double wobble = 1.0 + 0.004 * rnd.gaussian();
        // Levels stay within what every file format holds (0 dB and above).
        double level = std::max(0.0, 10.0 * std::log10(signal * std::max(wobble, 0.5) + noise));
        if (o.fileResolution) level = std::round(level * 1000.0) / 1000.0;
        t.levels[static_cast<size_t>(i)] = level;
    }
    return t;
}

void SetSyntheticParams(TParamBlock& p, const TSynthOptions& o, const TSynthTrace& t, const std::string& comment) {
    p[prmLAM] = TVariant(int32_t(o.wavelengthNm));
    p[prmPW] = o.pulseNs % 10 == 0 ? TVariant(int32_t(o.pulseNs / 10)) : TVariant(o.pulseNs / 10.0);
    p[prmR] = TVariant(int32_t(std::ceil(o.lengthKm * 1.25)));
    if (o.groupIndex > 0) p[prmIOR] = TVariant(o.groupIndex);
    p[prmRESR] = TVariant(t.spacing10ns);
    p[prmYEA] = TVariant(2026);
    p[prmMTH] = TVariant(3);
    p[prmDAY] = TVariant(16);
    p[prmHOU] = TVariant(10);
    p[prmMIN] = TVariant(30);
    if (!comment.empty()) p[prmL] = TVariant(comment);
}

void FillSyntheticTrace(TRDataStorage& store, const TSynthOptions& o, const std::string& comment) {
    const TSynthTrace t = SynthesizeTrace(o);
    PDataStruct params;
    store.Converter()->NewParams(params);
    SetSyntheticParams(*params->Params(), o, t, comment);
    (*params->Params())[prmL] = TVariant(comment); // an empty title stays empty
    store.SetupArrived(params.get());
    store.DataArrived(MakeSampleBlock(t.levels.data(), static_cast<int32_t>(t.levels.size())).get());
}

} // namespace lv
