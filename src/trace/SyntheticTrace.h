#pragma once
// Synthetic but physically plausible reflectograms: the demonstration traces of the program, the
// traces of lumvaris-cli synth, and the fixtures of the tests and benchmarks. Deterministic for a
// seed on every platform.

#include <cstdint>
#include <string>
#include <vector>

#include "trace/uDeviceIntfs.h"

namespace lv {

class TRDataStorage;

struct TSynthEvent {
    enum class Kind { Splice, Connector };
    Kind kind = Kind::Splice;
    double positionKm = 0;
    double lossDb = 0;
    double reflectionDb = 0; // height of the reflective peak above the backscatter (connectors)
};

struct TSynthOptions {
    double lengthKm = 20.0;
    int wavelengthNm = 1310;
    int pulseNs = 100;
    int samples = 16000;
    uint64_t seed = 1;
    double groupIndex = 1.465;
    std::vector<TSynthEvent> events; // empty: a default set spread along the fibre
    // Levels rounded to 0.001 dB, the resolution of the trace files: a trace written and read
    // back then compares equal, level by level.
    bool fileResolution = false;
};

struct TSynthTrace {
    std::vector<double> levels; // dB, as an OTDR shows them (one-way)
    double spacing10ns = 0;     // sample spacing in units of 10 ns, rounded to 1 ps
    double stepKm = 0;          // the distance step that spacing gives at the group index
    double attenuationDbKm = 0; // fibre loss used
};

// Fibre loss per km of a typical single-mode fibre at the wavelength.
double TypicalAttenuation(int wavelengthNm);

// Parses "splice@5:0.08,connector@10.5:0.4:12" (kind@km[:loss dB[:reflection dB]]).
// False with `error` set when the text is not of that form.
bool ParseSynthEvents(const std::string& spec, std::vector<TSynthEvent>& events, std::string& error);

TSynthTrace SynthesizeTrace(const TSynthOptions& options);

// Gives `store` a synthesized trace as a device hands one over (setup, then samples): the
// parameters of a new setup with the options' wavelength, pulse, range (a quarter longer than the
// fibre), group index and sample spacing, the title `comment`, and a fixed measurement date, so
// that a seed always makes the same file. The store's "TRA" converter supplies the defaults.
void FillSyntheticTrace(TRDataStorage& store, const TSynthOptions& options, const std::string& comment);

// Puts what a synthetic trace was made with into a parameter block that holds a new setup's
// defaults: wavelength, pulse width, distance range, sample spacing, a fixed measurement date (the
// same file for a seed) and the comment (left as it is when empty).
void SetSyntheticParams(TParamBlock& params, const TSynthOptions& options, const TSynthTrace& trace,
                        const std::string& comment);

} // namespace lv
