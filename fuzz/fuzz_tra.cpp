// libFuzzer target for the native TRA and Setup readers: any input is decoded as a trace and as
// a setup, once as it is and once with its checksum blocks made to match (so that mutations reach
// the checks and the decoding behind the checksums); whatever decodes is encoded again, and what
// the encoder writes must decode.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "formats/uTRAConvs.h"
#include "trace/Errors.h"

namespace {
void roundTrip(bool trace, const uint8_t* data, size_t size) {
    lv::TTRAConverter conv;
    lv::PDataStruct params, samples;
    try {
        const bool ok = trace ? conv.TraceFromBuffer(data, size, params, samples)
                              : conv.SetupFromBuffer(data, size, params);
        if (!ok) return;
    } catch (const lv::Exception&) {
        return; // malformed input is an error, never a crash
    }
    int32_t written = 0;
    std::vector<uint8_t> image;
    try {
        conv.SetRaiseErrors(true);
        if (trace)
            conv.TraceToBuffer(params.get(), samples.get(), written, image);
        else
            conv.SetupToBuffer(params.get(), written, image);
    } catch (const lv::Exception&) {
        return; // a decoded value the layout refuses (an attenuator step above 18, ...)
    }
    lv::PDataStruct again, againSamples;
    try {
        const bool ok = trace ? conv.TraceFromBuffer(image.data(), image.size(), again, againSamples)
                              : conv.SetupFromBuffer(image.data(), image.size(), again);
        if (!ok) std::abort();
    } catch (...) {
        std::abort(); // the writer produced a file its own reader rejects
    }
}
// Walks the block headers as far as they stay inside the buffer and writes the sum and the
// position every checksum block should hold.
void repairChecksums(uint8_t* data, size_t size) {
    uint64_t pos = 0;
    uint32_t sum = 0;
    while (size - pos >= 14) {
        const int16_t type = static_cast<int16_t>(data[pos] | (data[pos + 1] << 8));
        int32_t length;
        std::memcpy(&length, data + pos + 4, 4);
        if (length < 0 || static_cast<uint64_t>(length) > size - pos - 14) break;
        if ((type == 7 || type == 10) && length >= 6) {
            data[pos + 14] = static_cast<uint8_t>(sum);
            data[pos + 15] = static_cast<uint8_t>(sum >> 8);
            const auto at = static_cast<uint32_t>(pos);
            std::memcpy(data + pos + 16, &at, 4);
        }
        const uint64_t next = pos + 14 + static_cast<uint64_t>(length);
        for (uint64_t i = pos; i < next; ++i)
            sum += data[i];
        pos = next;
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A buffer of exactly the input's size, so that any read past it is caught.
    std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
    if (size) std::memcpy(copy.get(), data, size);
    roundTrip(true, copy.get(), size);
    roundTrip(false, copy.get(), size);
    repairChecksums(copy.get(), size);
    roundTrip(true, copy.get(), size);
    roundTrip(false, copy.get(), size);
    return 0;
}
