#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "platform/gdi/gdi.h"
#include "tests/support/test_canvas.h"

namespace {

using Px = TestCanvas::Bgra;
using Surface = TestCanvas;  // top-down

TEST(Blit, UnscaledCopyKeepsAllFourBytesAndClips)
{
    Surface src(2, 2);
    src.set(0, 0, {1, 2, 3, 4});
    src.set(1, 1, {5, 6, 7, 8});
    Surface dst(3, 3, {9, 9, 9, 9});
    EXPECT_TRUE(gdi::StretchBlt(dst.dc, 2, 2, 2, 2, src.dc, 0, 0, 2, 2, gdi::SRCCOPY));
    EXPECT_EQ(dst.at(2, 2), (Px{1, 2, 3, 4}));
    EXPECT_EQ(dst.at(1, 1), (Px{9, 9, 9, 9}));
    EXPECT_TRUE(gdi::StretchBlt(dst.dc, -1, -1, 2, 2, src.dc, 0, 0, 2, 2, gdi::SRCCOPY));
    EXPECT_EQ(dst.at(0, 0), (Px{5, 6, 7, 8}));
    EXPECT_FALSE(gdi::StretchBlt(dst.dc, 0, 0, 1, 1, nullptr, 0, 0, 1, 1, gdi::SRCCOPY));
    EXPECT_FALSE(gdi::StretchBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, 1, 1, 0x00EE0086));
}

TEST(Blit, StretchNearestAndHalftone)
{
    // 4 x 1 source: 0, 100, 200, 250 in blue.
    Surface src(4, 1);
    const int values[] = {0, 100, 200, 250};
    for (int x = 0; x < 4; ++x)
        src.set(x, 0, {values[x], 0, 0, 255});
    const struct {
        int mode;
        int dstWidth;
        std::array<int, 4> expected;
    } cases[] = {
        {gdi::COLORONCOLOR, 2, {100, 250, -1, -1}},  // nearest: centres of pixels 1 and 3
        {gdi::HALFTONE, 2, {50, 225, -1, -1}},       // area averages of pairs
        {gdi::HALFTONE, 8, {0, 0, 100, 100}},        // enlarging repeats pixels
        {gdi::COLORONCOLOR, 4, {0, 100, 200, 250}},
    };
    for (const auto& c : cases) {
        Surface dst(8, 1);
        gdi::SetStretchBltMode(dst.dc, c.mode);
        ASSERT_TRUE(gdi::StretchBlt(dst.dc, 0, 0, c.dstWidth, 1, src.dc, 0, 0, 4, 1, gdi::SRCCOPY));
        for (int x = 0; x < 4; ++x) {
            if (c.expected[std::size_t(x)] >= 0) {
                EXPECT_EQ(dst.at(x, 0)[0], c.expected[std::size_t(x)]) << "mode " << c.mode << " width " << c.dstWidth;
            }
        }
    }
}

TEST(Blit, AlphaBlendFormula)
{
    // dst = src x sca / 255 + dst x (255 - srcA x sca / 255) / 255, rounded.
    const struct {
        Px src;
        int sca;
        std::uint8_t format;
        Px dst;
        Px expected;
    } cases[] = {
        {{255, 255, 255, 255}, 255, gdi::AC_SRC_ALPHA, {0, 0, 200, 0}, {255, 255, 255, 255}},
        {{0, 0, 0, 0}, 255, gdi::AC_SRC_ALPHA, {10, 20, 30, 40}, {10, 20, 30, 40}},
        {{128, 128, 128, 128}, 255, gdi::AC_SRC_ALPHA, {200, 0, 0, 255}, {228, 128, 128, 255}},
        {{128, 128, 128, 128}, 128, gdi::AC_SRC_ALPHA, {200, 0, 0, 255}, {214, 64, 64, 255}},
        {{128, 128, 128, 0}, 255, 0, {200, 0, 0, 0}, {128, 128, 128, 255}},  // source alpha ignored
        {{255, 0, 0, 0}, 51, 0, {0, 0, 255, 255}, {51, 0, 204, 255}},
    };
    for (const auto& c : cases) {
        Surface src(1, 1, c.src);
        Surface dst(1, 1, c.dst);
        gdi::BLENDFUNCTION blend;
        blend.SourceConstantAlpha = std::uint8_t(c.sca);
        blend.AlphaFormat = c.format;
        ASSERT_TRUE(gdi::AlphaBlend(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, 1, 1, blend));
        EXPECT_EQ(dst.at(0, 0), c.expected) << "sca " << c.sca;
    }
}

TEST(Blit, AlphaBlendStretchesAndClips)
{
    Surface src(1, 1, {0, 0, 255, 255});
    Surface dst(4, 4);
    gdi::BLENDFUNCTION blend;
    blend.AlphaFormat = gdi::AC_SRC_ALPHA;
    ASSERT_TRUE(gdi::AlphaBlend(dst.dc, 2, 2, 5, 5, src.dc, 0, 0, 1, 1, blend));
    EXPECT_EQ(dst.at(3, 3), (Px{0, 0, 255, 255}));
    EXPECT_EQ(dst.at(1, 1), (Px{0, 0, 0, 0}));
    // A source rectangle reaching outside the source draws only what exists.
    Surface other(4, 4);
    ASSERT_TRUE(gdi::AlphaBlend(other.dc, 0, 0, 2, 2, src.dc, 0, 0, 2, 2, blend));
    EXPECT_EQ(other.at(0, 0), (Px{0, 0, 255, 255}));
    EXPECT_EQ(other.at(1, 1), (Px{0, 0, 0, 0}));
    EXPECT_FALSE(gdi::AlphaBlend(other.dc, 0, 0, -2, 2, src.dc, 0, 0, 1, 1, blend));
}

TEST(Blit, FarOffCoordinatesDoNotOverflow)
{
    Surface src(2, 2, {0, 0, 255, 255});
    gdi::BLENDFUNCTION blend;
    blend.AlphaFormat = gdi::AC_SRC_ALPHA;
    const int big = 0x7FFFFFF0;
    const struct {
        int x, y, cx, cy;
    } cases[] = {{big, big, big, big}, {-big, -big, big, big}, {-big - 15, 0, big, 4}, {0, 0, big, big}};
    for (const auto& c : cases) {
        Surface dst(4, 4);
        gdi::SetStretchBltMode(dst.dc, gdi::HALFTONE);
        EXPECT_TRUE(gdi::AlphaBlend(dst.dc, c.x, c.y, c.cx, c.cy, src.dc, 0, 0, 2, 2, blend));
        EXPECT_TRUE(gdi::StretchBlt(dst.dc, c.x, c.y, c.cx, c.cy, src.dc, 0, 0, 2, 2, gdi::SRCCOPY));
    }
    // Enlarged enough, the visible corner shows the first source pixel.
    Surface dst(4, 4);
    ASSERT_TRUE(gdi::StretchBlt(dst.dc, 0, 0, big, big, src.dc, 0, 0, 2, 2, gdi::SRCCOPY));
    EXPECT_EQ(dst.at(3, 3), (Px{0, 0, 255, 255}));
}

}  // namespace
