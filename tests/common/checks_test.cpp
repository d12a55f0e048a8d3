#include "common/checks.h"

#include "tests/support/testing.h"

#include <gtest/gtest.h>

namespace {

// The start-up window and the configuration editor take a start time and a
// CPU limit by these rules; a limit must fit its 16-bit field.
TEST(SharedChecks, StartTimesCpuLimitsAndSixteenBitFields) {
    const struct {
        const char* text;
        bool ok;
    } times[] = {{"00:00", true},  {"23:59", true}, {"07:05", true},  {"24:00", false},
                 {"12:60", false}, {"7:05", false}, {"07:5", false},  {"0700", false},
                 {"ab:cd", false}, {"", false},     {" 07:05", false}};
    for (const auto& t : times) EXPECT_EQ(IsClockTime(S(t.text)), t.ok) << t.text;

    const struct {
        const char* text;
        bool ok;
    } limits[] = {{"0", true},    {"32767", true}, {" 25 ", true}, {"32768", false}, {"-1", false},
                  {"2.5", false}, {"", false},     {"9x", false},  {"1e3", false}};
    for (const auto& l : limits) EXPECT_EQ(IsCpuLimit(S(l.text)), l.ok) << l.text;

    EXPECT_EQ(ClampToInt16(40000), 32767);
    EXPECT_EQ(ClampToInt16(-40000), -32768);
    EXPECT_EQ(ClampToInt16(-5), -5);
}

}  // namespace
