#pragma once
// The converters a trace store needs, registered once for the test program.

#include "formats/uBellcoreConvs.h"
#include "formats/uTRAConvs.h"

namespace lvtest {

inline void EnsureTraceFormats() {
    static const bool done = [] {
        lv::RegisterTRAFormat();
        lv::RegisterBellcoreFormat();
        return true;
    }();
    (void)done;
}

} // namespace lvtest
