#pragma once
// The instrument's command dictionary. Index i of every table belongs to trace parameter i of the
// parameter block (TraceParams.h names the ones the system uses); "NOOP" marks an index without a
// command.

#include <array>
#include <string_view>

namespace lv {

constexpr int kDictionarySize = 144;

extern const std::array<std::string_view, kDictionarySize> kFirstSetCommands;
extern const std::array<std::string_view, kDictionarySize> kFirstSetReplies;
extern const std::array<std::string_view, kDictionarySize> kSecondSetCommands;
extern const std::array<std::string_view, kDictionarySize> kSecondSetQueries;
// The instrument models the dictionary speaks to.
extern const std::array<std::string_view, 3> kDeviceModels;

constexpr std::string_view kNoCommand = "NOOP";

} // namespace lv
