#pragma once
// Indices of the trace parameters in the parameter block. An index is the position of the
// matching command in the instrument's command dictionary; the names are those mnemonics.
// Indices not listed are carried unchanged by the store and the converters.

namespace lv {

enum TParamIndex : int {
    prmASU = 1,   // integer setting, carried
    prmLAM = 2,   // wavelength, nm
    prmR = 3,     // distance range, km
    prmPW = 4,    // pulse width, units of 10 ns
    prmIOR = 5,   // group refractive index
    prmAT = 6,    // attenuator step 0..18 (× 1.25 dB)
    prmFIL = 7,   // integer setting, carried
    prmNUM = 8,   // number of averages (a power of two)
    prmDS = 9,    // 0 "5k", 1 "20k"
    prmPC = 10,   // integer setting, carried
    prmAVE = 11,  // averaging mode 0..2
    prmSPL = 13,  // three-decimal value, carried
    prmBSL = 14,  // three-decimal value, carried
    prmEFL = 15,  // three-decimal value, carried
    prmLSA = 16,  // approximation: 1 least squares, 0 two-point
    prmDM = 20,   // integer setting, carried
    prmYEA = 22,  // measurement year
    prmMTH = 23,  // month
    prmDAY = 24,  // day
    prmHOU = 25,  // hour
    prmMIN = 26,  // minute
    prmLD = 29,
    prmGD = 30,
    prmAVD = 31,
    prmBEEP = 32,
    prmDOT = 33,  // the trace's own display method
    prmRM = 43,
    prmAS = 44,
    prmM = 51,    // array [1..3]: M1..M3 in metres, -1 = not placed
    prmY = 53,    // array [1..3]: Y1..Y3 in metres, -1 = not placed
    prmL = 57,    // the trace comment (caption)
    prmEN = 64,   // array [1..101] of texts carried between TRA files
    prmREF = 71,  // reference (start) position in metres, -1 = none
    prmFF = 89,
    prmST = 103,
    prmH = 105,
    prmDU = 110,  // distance of the first sample, km
    prmCU = 111,  // cursor in metres, -1 = none
    prmMD = 112,  // integer setting, carried
    prmSRQ = 116,
    prmDNR = 117, // last usable sample index; not set or negative = no limit
    prmDBIR = 119, // the samples: array [1..n] of levels in dB
    prmRESR = 122, // sample spacing, units of 10 ns
    prmPRN = 136, // array [0..4] of texts CID, FID, OL, TL, OP
    prmXYA = 137, // array [0..6] of texts SN, MFID, OTDR, OMID, OMSN, SR, OT
};

// Speed of light as the system computes sample spacing, m/s.
constexpr double kLightSpeed = 2.99792e8;

// The group index taken where a trace gives none that is usable (not above 0).
constexpr double kDefaultGroupIndex = 1.48;

} // namespace lv
