#pragma once
// The shared corpus of real instrument files lives beside the checkout (../shared/corpus), never
// inside it. A clone of the project alone has none: the tests that read it skip and name the
// folder they looked for. CI sets LUMVARIS_REQUIRE_CORPUS=1, under which a missing corpus fails.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace lvtest {

// The corpus folder (sor/, reference/, tools/).
inline std::string corpusDir() {
    return std::string(LUMVARIS_SHARED_DIR) + "/corpus";
}

inline bool corpusRequired() {
    const char* v = std::getenv("LUMVARIS_REQUIRE_CORPUS");
    return v && std::string(v) == "1";
}

// Empty when `relative` (a path inside the corpus folder) exists; else why a test cannot run.
inline std::string corpusMissing(const std::string& relative) {
    const std::string path = corpusDir() + "/" + relative;
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) return {};
    return "the real-file corpus is missing: no " + path + " (the shared folder beside the checkout)";
}

} // namespace lvtest

// In a test body or a fixture's SetUp: skips the test when `relative` is not in the corpus, or
// fails it when the corpus is required.
#define LVTEST_NEEDS_CORPUS(relative)                                                                        \
    do {                                                                                                     \
        const std::string lvtestWhy = lvtest::corpusMissing(relative);                                       \
        if (!lvtestWhy.empty()) {                                                                            \
            if (lvtest::corpusRequired()) FAIL() << lvtestWhy;                                               \
            GTEST_SKIP() << lvtestWhy;                                                                       \
        }                                                                                                    \
    } while (0)
