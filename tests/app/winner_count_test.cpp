// The winner count as typed: what counts as a number, and its rounding.

#include <gtest/gtest.h>

#include "app/winner_count.h"
#include "platform/runtime/numeric.h"

namespace {

struct Case {
    const char* text;
    bool numeric;
    long long rounded;
};

const Case kCases[] = {
    {"1", true, 1},
    {"2.5", true, 2},
    {"3.5", true, 4},
    {"-2.5", true, -2},
    {" 3 ", true, 3},
    {"+4", true, 4},
    {".5", true, 0},
    {"1e3", true, 1000},
    {"-1", true, -1},
    {"99999999", true, 99999999},
    {"\xEF\xBC\x93", true, 3},                  // full-width 3
    {"\xE3\x80\x80" "7\xE3\x80\x80", true, 7},  // ideographic spaces around 7
    {"abc", false, 0},
    {"", false, 0},
    {" ", false, 0},
    {"1,000", false, 0},
    {"3人", false, 0},
    {"0x10", false, 0},
    {"1e", false, 0},
    {"nan", false, 0},
    {"inf", false, 0},
};

TEST(WinnerCount, NumericTestAndRounding)
{
    for (const Case& c : kCases) {
        const auto value = winnercount::ParseNumber(QString::fromUtf8(c.text));
        EXPECT_EQ(value.has_value(), c.numeric) << c.text;
        if (value) {
            EXPECT_EQ(runtime::roundHalfEven(*value), c.rounded) << c.text;
        }
    }
}

}  // namespace
