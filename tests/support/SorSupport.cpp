#include "support/SorSupport.h"

#include <algorithm>
#include <filesystem>

#include "formats/uBellcoreConvs.h"
#include "formats/uTRAConvs.h"
#include "support/Corpus.h"
#include "trace/uFileFormats.h"

namespace lvtest {

std::vector<std::string> sorCorpusFiles() {
    std::vector<std::string> files;
    std::error_code ec;
    const std::filesystem::path dir = corpusDir() + "/sor";
    if (!std::filesystem::is_directory(dir, ec)) return files;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec))
        if (e.path().extension() == ".sor") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::string sorReferenceOf(const std::string& sorPath) {
    return corpusDir() + "/reference/" + std::filesystem::path(sorPath).filename().string() + ".json";
}

SorFormats::SorFormats() {
    lv::UnregisterFileFormats();
    lv::RegisterTRAFormat();
    lv::RegisterBellcoreFormat();
}

SorFormats::~SorFormats() {
    lv::UnregisterFileFormats();
}

std::vector<uint8_t> SorBuilder::build() const {
    Bytes map;
    if (Revision2) map.raw(std::string("Map\0", 4));
    uint32_t mapSize = (Revision2 ? 4 : 0) + 8;
    for (const SorBlock& b : Blocks)
        mapSize += static_cast<uint32_t>(b.Name.size()) + 7;
    map.u16(Revision).u32(mapSize).u16(static_cast<uint16_t>(Blocks.size() + 1 + CountAdjust));
    Bytes body;
    for (const SorBlock& b : Blocks) {
        const size_t start = body.b.size();
        if (Revision2) body.str(b.Name);
        body.b.insert(body.b.end(), b.Body.begin(), b.Body.end());
        body.b.insert(body.b.end(), b.Padding, 0);
        map.str(b.Name).u16(b.Revision).u32(static_cast<uint32_t>(body.b.size() - start));
    }
    std::vector<uint8_t> out = map.b;
    out.insert(out.end(), body.b.begin(), body.b.end());
    out.insert(out.end(), Trailing.begin(), Trailing.end());
    return out;
}

std::vector<uint8_t> SorBuilder::genParams(bool rev2, const std::vector<std::string>& t, int16_t waveLength) {
    // t: cable, fibre, originating, terminating, cable code, operator, comment
    Bytes g;
    g.raw("EN").str(t.at(0)).str(t.at(1));
    if (rev2) g.u16(0xBEEF); // fibre type
    g.u16(static_cast<uint16_t>(waveLength)).str(t.at(2)).str(t.at(3)).str(t.at(4)).raw("BC").u32(0);
    if (rev2) g.u32(0xDEADBEEF); // user offset distance
    g.str(t.at(5)).str(t.at(6));
    return g.b;
}

std::vector<uint8_t> SorBuilder::supParams(const std::vector<std::string>& t) {
    Bytes s;
    for (const std::string& x : t)
        s.str(x);
    return s.b;
}

std::vector<uint8_t> SorBuilder::fxdParams(bool rev2, uint32_t stamp, int16_t pulseNs, int32_t spacing,
                                           int32_t groupIndex, int32_t averages, int32_t range,
                                           int16_t pulses, int32_t frontPanelOffset) {
    Bytes f;
    f.u32(stamp).raw("km").u16(13100).u32(0);
    if (rev2) f.u32(0x7FFF7FFF); // acquisition offset distance
    f.u16(static_cast<uint16_t>(pulses));
    for (int i = 0; i < pulses; ++i)
        f.u16(static_cast<uint16_t>(pulseNs + i));
    for (int i = 0; i < pulses; ++i)
        f.u32(static_cast<uint32_t>(spacing + i));
    for (int i = 0; i < pulses; ++i)
        f.u32(5);
    f.u32(static_cast<uint32_t>(groupIndex)).u16(800).u32(static_cast<uint32_t>(averages));
    if (rev2) f.u16(0x1234); // averaging time
    f.u32(static_cast<uint32_t>(range));
    if (rev2) f.u32(0x7FFF7FFF); // acquisition range distance
    f.u32(static_cast<uint32_t>(frontPanelOffset)).u16(0).u16(1000).u16(0).u16(200).u16(40000).u16(3000);
    if (rev2) f.raw("ST").u32(1).u32(2).u32(3).u32(4); // trace type, window coordinates
    return f.b;
}

std::vector<uint8_t> SorBuilder::dataPts(const std::vector<uint16_t>& values, int16_t scale) {
    Bytes d;
    d.u32(static_cast<uint32_t>(values.size()))
        .u16(1)
        .u32(static_cast<uint32_t>(values.size()))
        .u16(static_cast<uint16_t>(scale));
    for (uint16_t v : values)
        d.u16(v);
    return d.b;
}

std::vector<uint8_t> SorBuilder::keyEvents(bool rev2, const std::vector<KeyEvent>& events,
                                           int32_t endToEndLoss, uint32_t endToEndEnd, uint16_t returnLoss) {
    Bytes k;
    k.u16(static_cast<uint16_t>(events.size()));
    for (const KeyEvent& e : events) {
        k.u16(e.Number).u32(e.Time).u16(25).u16(static_cast<uint16_t>(e.Loss));
        k.u32(static_cast<uint32_t>(e.Reflectance)).raw(e.Code).raw("LS");
        if (rev2) k.u32(1).u32(2).u32(3).u32(4).u32(5); // marker locations
        k.str(e.Comment);
    }
    k.u32(static_cast<uint32_t>(endToEndLoss))
        .u32(0)
        .u32(endToEndEnd)
        .u16(returnLoss)
        .u32(0)
        .u32(endToEndEnd);
    return k.b;
}

SorBuilder SorBuilder::standard(bool rev2, const std::vector<uint16_t>& values) {
    SorBuilder s;
    s.Revision2 = rev2;
    s.Revision = rev2 ? 200 : 100;
    s.Blocks = {
        {"GenParams", genParams(rev2, {"cab", "fib", "A", "B", "code", "op", "comment"}, 1550)},
        {"SupParams", supParams({"maker", "mf", "sn", "mod", "msn", "sw", "other"})},
        {"FxdParams", fxdParams(rev2, 1275393719, 1000, 1041666, 146810, 20480, 213332)},
        {"DataPts", dataPts(values)},
        {"Cksum", {0x34, 0x12}},
    };
    return s;
}

} // namespace lvtest
