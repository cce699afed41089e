// Rounding, the single-precision linear gradient and the caption anchors.
#include <gtest/gtest.h>

#include <cmath>

#include "controls/lumenbutton/lumen_button_primitives.h"

using namespace lumen;

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour)
{
    struct Case {
        double value;
        std::int32_t expected;
    };
    const Case cases[] = {{0.5, 0},   {1.5, 2},   {2.5, 2},       {3.5, 4},     {-0.5, 0},
                          {-1.5, -2}, {-2.5, -2}, {7.6667, 8},    {15.3333, 15}, {28.5, 28},
                          {29.5, 30}, {1e12, 2147483647}, {-1e12, -2147483647 - 1}};
    for (const Case& c : cases)
        EXPECT_EQ(roundHalfEven(c.value), c.expected) << c.value;
}

TEST(SafeDivide, ZeroOnEitherSideGivesZero)
{
    EXPECT_EQ(SafeDivide(0, 5), 0.0f);
    EXPECT_EQ(SafeDivide(5, 0), 0.0f);
    EXPECT_EQ(SafeDivide(255, 256), 0.99609375f);
    EXPECT_EQ(SafeDivide(-1, 3), float(-1.0 / 3.0));
}

TEST(LinearGradient, BlackToWhiteOver256StopsOneStepShort)
{
    const auto entries = LinearGradient(256, {0, 0, 0}, {255, 255, 255});
    ASSERT_EQ(entries.size(), 257u);
    for (int i = 0; i <= 256; ++i) {
        // 255/256 is exact in single precision, so entry i is 255 i / 256 rounded.
        const int expected = int(std::nearbyint(255.0 * i / 256.0));
        EXPECT_EQ(entries[i].red, expected) << i;
        EXPECT_EQ(entries[i].green, expected) << i;
        EXPECT_EQ(entries[i].blue, expected) << i;
    }
    EXPECT_EQ(entries[128].red, 128);  // 127.5 rounds to even
    EXPECT_EQ(entries[255].red, 254);
    EXPECT_EQ(entries[256].red, 255);
}

TEST(LinearGradient, ChannelsMoveIndependentlyAndDownwards)
{
    // Blue 200 -> 100 over 4: 200, 175, 150, 125, 100; red 0 -> 3: 0, 0.75, 1.5, 2.25, 3.
    const auto entries = LinearGradient(4, {200, 7, 0}, {100, 7, 3});
    const int blue[] = {200, 175, 150, 125, 100};
    const int red[] = {0, 1, 2, 2, 3};
    for (int i = 0; i <= 4; ++i) {
        EXPECT_EQ(entries[i].blue, blue[i]) << i;
        EXPECT_EQ(entries[i].green, 7) << i;
        EXPECT_EQ(entries[i].red, red[i]) << i;
    }
}

TEST(LinearGradient, DegenerateLengths)
{
    const auto single = LinearGradient(0, {1, 2, 3}, {9, 9, 9});
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0].blue, 1);
    EXPECT_TRUE(LinearGradient(-3, {}, {}).empty());
}

TEST(ColourTriple, SplitsRedLowBlueHigh)
{
    const ColourTriple t = tripleOf(gdi::RGB(10, 20, 30));
    EXPECT_EQ(t.red, 10);
    EXPECT_EQ(t.green, 20);
    EXPECT_EQ(t.blue, 30);
}

TEST(ToByte, OnlyZeroTo255Converts)
{
    std::uint8_t out = 77;
    EXPECT_FALSE(toByte(-1, out));
    EXPECT_FALSE(toByte(256, out));
    EXPECT_EQ(out, 77);
    EXPECT_TRUE(toByte(0, out));
    EXPECT_EQ(out, 0);
    EXPECT_TRUE(toByte(255, out));
    EXPECT_EQ(out, 255);
}

TEST(CaptionAnchor, NineAnchorsOnA75By23Surface)
{
    // Text 15 x 13 on 75 x 23: centre X = 37.5 - 7.5 - 1 = 29, right X = 75 - 15 - 3 = 57;
    // middle Y = 11.5 - 6.5 - 1 = 4, bottom Y = 23 - 13 - 1 = 9.
    struct Case {
        std::int32_t alignment;
        int offX, offY;
        std::int32_t x, y;
    };
    const Case cases[] = {{1, 0, 0, 1, 0},   {2, 0, 0, 1, 4},   {3, 0, 0, 1, 9},    {4, 0, 0, 29, 0},
                          {5, 0, 0, 29, 4},  {6, 0, 0, 29, 9},  {7, 0, 0, 57, 0},   {8, 0, 0, 57, 4},
                          {9, 0, 0, 57, 9},  {5, 3, 200, 32, 204}, {1, 255, 255, 256, 255}, {12, 5, 5, 0, 0},
                          {0, 5, 5, 0, 0}};
    for (const Case& c : cases) {
        const CaptionPoint p = captionAnchor(c.alignment, c.offX, c.offY, 15, 13, 75, 23);
        EXPECT_EQ(p.x, c.x) << c.alignment;
        EXPECT_EQ(p.y, c.y) << c.alignment;
    }
}

TEST(CaptionAnchor, HalvesRoundToEven)
{
    // X: 76/2 - 15/2 - 1 = 29.5 -> 30; 74/2 - 15/2 - 1 = 28.5 -> 28.
    // Y: 22/2 - 13/2 - 1 = 3.5 -> 4; 20/2 - 13/2 - 1 = 2.5 -> 2.
    EXPECT_EQ(captionAnchor(5, 0, 0, 15, 13, 76, 22).x, 30);
    EXPECT_EQ(captionAnchor(5, 0, 0, 15, 13, 74, 22).x, 28);
    EXPECT_EQ(captionAnchor(5, 0, 0, 15, 13, 76, 22).y, 4);
    EXPECT_EQ(captionAnchor(5, 0, 0, 15, 13, 76, 20).y, 2);
}
