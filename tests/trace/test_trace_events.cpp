// What an instrument's event codes mean, and where M1 and M2 go to measure an event.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "trace/TraceEvents.h"

using namespace lv;

TEST(TraceEvents, CodesReadAsTheOperatorNamesThem) {
    const struct {
        const char* code;
        const char* text;
    } cases[] = {
        {"0F9999", "неотражающее"},
        {"1F9999", "отражающее"},
        {"2F9999", "отражающее, насыщенное"},
        {"1E9999", "конец волокна"},
        {"0E9999", "конец волокна"},
        {"0A9999", "неотражающее (добавлено вручную)"},
        {"1M9999", "отражающее (перемещено вручную)"},
        {"0O9999", "неотражающее (вне диапазона)"},
        {"0D9999", "неотражающее"},
        {"9F9999", "неизвестное"},
        {"", "неизвестное"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EventTypeText(c.code), c.text) << c.code;
}

TEST(TraceEvents, MarkersAroundAnEventStayOnItsOwnStretchOfFibre) {
    constexpr double none = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* what;
        double event, previous, next, pulse, step, first, last;
        double m1, m2;
    } cases[] = {
        {"four pulse lengths each side", 5.0, none, none, 0.01, 0.001, 0.0, 10.0, 4.96, 5.04},
        {"at least five samples", 5.0, none, none, 0.0001, 0.001, 0.0, 10.0, 4.995, 5.005},
        {"halfway to the neighbours", 5.0, 4.98, 5.03, 0.01, 0.001, 0.0, 10.0, 4.99, 5.015},
        {"neighbours in any order", 5.0, none, 5.01, 0.01, 0.001, 0.0, 10.0, 4.96, 5.005},
        {"the start of the samples", 0.0, none, none, 0.01, 0.001, 0.0, 10.0, 0.0, 0.04},
        {"the end of the samples", 10.0, none, none, 0.01, 0.001, 0.0, 10.0, 9.96, 10.0},
        {"beyond the samples", 12.0, none, none, 0.01, 0.001, 0.0, 10.0, none, none},
        {"no step", 5.0, none, none, 0.01, 0.0, 0.0, 10.0, none, none},
    };
    for (const auto& c : cases) {
        const auto [m1, m2] = EventMarkerSpan(c.event, c.previous, c.next, c.pulse, c.step, c.first, c.last);
        if (std::isnan(c.m1)) {
            EXPECT_TRUE(std::isnan(m1) && std::isnan(m2)) << c.what;
            continue;
        }
        EXPECT_NEAR(m1, c.m1, 1e-12) << c.what;
        EXPECT_NEAR(m2, c.m2, 1e-12) << c.what;
    }
}
