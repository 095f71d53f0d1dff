#pragma once
// Helpers for the ".sor" tests: the shared corpus of real files, the converters registered for a
// test, and a builder of small synthetic SR-4731 files (revision 1 or 2) for the cases the real
// files do not show.

#include <cstdint>
#include <string>
#include <vector>

namespace lvtest {

// Full paths of the corpus's ".sor" files in name order; empty when the folder is missing.
std::vector<std::string> sorCorpusFiles();
// The reference reading of a corpus file.
std::string sorReferenceOf(const std::string& sorPath);

// Registers the real "TRA" and "Bellcore" converters for the test's lifetime.
class SorFormats {
public:
    SorFormats();
    ~SorFormats();
};

// Little-endian byte appender for hand-made blocks.
struct Bytes {
    std::vector<uint8_t> b;
    Bytes& u8(uint8_t v) { return b.push_back(v), *this; }
    Bytes& u16(uint16_t v) { return u8(uint8_t(v)).u8(uint8_t(v >> 8)); }
    Bytes& u32(uint32_t v) { return u16(uint16_t(v)).u16(uint16_t(v >> 16)); }
    Bytes& raw(const std::string& s) { return b.insert(b.end(), s.begin(), s.end()), *this; }
    Bytes& str(const std::string& s) { return raw(s).u8(0); }
};

struct SorBlock {
    std::string Name;
    std::vector<uint8_t> Body; // without the name a revision-2 block starts with
    uint16_t Revision = 100;
    uint32_t Padding = 0; // zero bytes after the body, counted in the block's size
};

// Writes a Map with the right sizes and a block count that includes the Map (plus
// CountAdjust), then the blocks and the trailing bytes.
struct SorBuilder {
    bool Revision2 = false;
    uint16_t Revision = 100;
    int CountAdjust = 0;
    std::vector<SorBlock> Blocks;
    std::vector<uint8_t> Trailing;

    std::vector<uint8_t> build() const;

    // Block bodies in the layout of the given revision.
    static std::vector<uint8_t> genParams(bool rev2, const std::vector<std::string>& texts7,
                                          int16_t waveLength);
    static std::vector<uint8_t> supParams(const std::vector<std::string>& texts7);
    static std::vector<uint8_t> fxdParams(bool rev2, uint32_t stamp, int16_t pulseNs, int32_t spacing,
                                          int32_t groupIndex, int32_t averages, int32_t range,
                                          int16_t pulses = 1, int32_t frontPanelOffset = 0);
    static std::vector<uint8_t> dataPts(const std::vector<uint16_t>& values, int16_t scale = 1000);
    struct KeyEvent {
        uint16_t Number;
        uint32_t Time; // one way, 100 ps
        int16_t Loss;  // 0.001 dB
        int32_t Reflectance;
        std::string Code;         // six characters
        std::string Comment = ""; // Windows-1251 bytes
    };
    // A KeyEvents body: the events, then the end-to-end loss and markers, the return loss and
    // its markers.
    static std::vector<uint8_t> keyEvents(bool rev2, const std::vector<KeyEvent>& events,
                                          int32_t endToEndLoss, uint32_t endToEndEnd, uint16_t returnLoss);
    // A standard revision-1 or revision-2 file: GenParams, SupParams, FxdParams, DataPts, Cksum.
    static SorBuilder standard(bool rev2, const std::vector<uint16_t>& values);
};

} // namespace lvtest
