// Rounding half to even, in floating point and in integer division.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>

#include "platform/runtime/numeric.h"

namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

TEST(Numeric, RoundHalfEven)
{
    const struct {
        double value;
        std::int64_t expected;
    } cases[] = {
        {0.5, 0},          {1.5, 2},       {2.5, 2},      {3.5, 4},     {-0.5, 0},     {-1.5, -2},
        {-2.5, -2},        {2.4999, 2},    {2.5001, 3},   {-2.5001, -3}, {7.6667, 8},  {0.0, 0},
        {1e15 + 0.5, 1000000000000000},    {4503599627370497.0, 4503599627370497},
        {1e30, kMax},      {-1e30, kMin},  {9223372036854775808.0, kMax},
        {-9223372036854775808.0, kMin},    {INFINITY, kMax}, {-INFINITY, kMin}, {NAN, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(runtime::roundHalfEven(c.value), c.expected) << c.value;
}

TEST(Numeric, RoundHalfEvenIgnoresTheRoundingMode)
{
    const int mode = std::fegetround();
    for (int direction : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        std::fesetround(direction);
        EXPECT_EQ(runtime::roundHalfEven(2.5), 2);
        EXPECT_EQ(runtime::roundHalfEven(-3.5), -4);
        EXPECT_EQ(runtime::roundHalfEven(2.6), 3);
    }
    std::fesetround(mode);
}

TEST(Numeric, DivideHalfEven)
{
    const struct {
        std::int64_t numerator, denominator, expected;
    } cases[] = {
        {5, 2, 2},     {7, 2, 4},     {-5, 2, -2},   {-7, 2, -4},    {1, 3, 0},       {2, 3, 1},
        {-1, 3, 0},    {-2, 3, -1},   {0, 7, 0},     {50 * 255, 100, 128}, {25 * 255, 100, 64},
        {635 * 3 + 317, 635, 3},      {635 * 3 + 318, 635, 4},       {-(635 * 3 + 318), 635, -4},
        {(std::int64_t(1) << 62) - 1, 2, std::int64_t(1) << 61},
    };
    for (const auto& c : cases)
        EXPECT_EQ(runtime::divideHalfEven(c.numerator, c.denominator), c.expected)
            << c.numerator << " / " << c.denominator;
}

}  // namespace
