#include "imaging/surface/c32bppdib.h"

#include <gtest/gtest.h>

#include "tests/imaging/surface_helpers.h"

namespace {

TEST(Surface, NegativeHeightMakesABottomUpSurface)
{
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(10, -5));
    EXPECT_EQ(dib.Width(), 10);
    EXPECT_EQ(dib.Height(), 5);
    EXPECT_EQ(dib.ScanWidth(), 40);
    // The first bytes in memory are the bottom row.
    dib.BitsPointer()[0] = 0x11;
    dib.BitsPointer()[3] = 0xFF;
    Canvas canvas(10, 5);
    ASSERT_TRUE(dib.Render(canvas.dc, 0, 0, 0, 0, 100));
    EXPECT_EQ(canvas.at(0, 4)[0], 0x11);
    EXPECT_EQ(canvas.at(0, 0)[0], 0);
}

TEST(Surface, RefusedSizesLeaveItEmpty)
{
    const struct {
        int w, h;
    } sizes[] = {{10, 0}, {-1, 5}, {65536, 32768}};
    for (const auto& s : sizes) {
        c32bppDIB dib;
        ASSERT_TRUE(dib.InitializeDIB(2, 2));
        EXPECT_FALSE(dib.InitializeDIB(s.w, s.h)) << s.w << "x" << s.h;
        EXPECT_EQ(dib.Handle(), nullptr);
        EXPECT_EQ(dib.Width(), 0);
    }
}

TEST(Surface, DestroyEmptiesEverything)
{
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(3, 3));
    dib.setAlpha(true);
    dib.setImageType(ImagePNG);
    dib.setSourceBytes(std::vector<std::uint8_t>{1, 2, 3});
    dib.DestroyDIB();
    ByteArray out;
    EXPECT_EQ(dib.Width(), 0);
    EXPECT_EQ(dib.Height(), 0);
    EXPECT_EQ(dib.Handle(), nullptr);
    EXPECT_EQ(dib.BitsPointer(), nullptr);
    EXPECT_EQ(dib.ImageType(), ImageNone);
    EXPECT_FALSE(dib.Alpha());
    EXPECT_FALSE(dib.GetOrginalFormat(out));
}

TEST(Surface, ScaleImageModes)
{
    const struct {
        int w, h, destW, destH, mode, newW, newH;
    } cases[] = {
        {16, 16, 32, 32, 1, 16, 16},   {16, 16, 32, 32, 0, 32, 32}, {100, 50, 40, 40, 0, 40, 20},
        {100, 50, 40, 40, 1, 40, 20},  {100, 50, 40, 40, 2, 40, 40}, {100, 50, 40, 40, 3, 100, 50},
        {100, 50, 40, 40, -1, 100, 50}, {16, 16, 64, 8, 1, 8, 8},    {30, 10, 60, 50, 1, 30, 10},
        {30, 10, 60, 50, 0, 60, 20},   {1, 1, 0x7FFFFFFF, 0x7FFFFFFF, 0, 0x7FFFFFFF, 0x7FFFFFFF},
    };
    for (const auto& c : cases) {
        c32bppDIB dib;
        ASSERT_TRUE(dib.InitializeDIB(c.w, c.h));
        int newW = -7, newH = -7;
        dib.ScaleImage(c.destW, c.destH, newW, newH, c.mode);
        EXPECT_EQ(newW, c.newW) << c.w << "x" << c.h << " mode " << c.mode;
        EXPECT_EQ(newH, c.newH) << c.w << "x" << c.h << " mode " << c.mode;
    }
    c32bppDIB empty;
    int newW = -7, newH = -7;
    empty.ScaleImage(10, 10, newW, newH, 0);
    EXPECT_EQ(newW, -7);
    EXPECT_EQ(newH, -7);
}

// Opaque white drawn onto black: each colour byte becomes the constant alpha,
// round(opacity mod 100 / 100 x 255) with halves to even (0 meaning 100).
TEST(Surface, RenderOpacity)
{
    const struct {
        int opacity, expected;
    } cases[] = {{100, 255}, {200, 255}, {-100, 255}, {150, 128}, {50, 128}, {-40, 102},
                 {30, 76},   {70, 178},  {10, 26},    {1, 3},     {99, 252}};
    for (const auto& c : cases) {
        c32bppDIB dib;
        ASSERT_TRUE(dib.InitializeDIB(1, 1));
        fillSurface(dib, {255, 255, 255, 255});
        dib.setAlpha(true);
        Canvas canvas(1, 1);
        EXPECT_TRUE(dib.Render(canvas.dc, 0, 0, 0, 0, c.opacity));
        EXPECT_EQ(canvas.at(0, 0)[0], c.expected) << "opacity " << c.opacity;
        EXPECT_EQ(canvas.at(0, 0)[3], c.expected) << "opacity " << c.opacity;
    }
}

TEST(Surface, RenderOpacityZeroDrawsNothing)
{
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(1, 1));
    fillSurface(dib, {255, 255, 255, 255});
    Canvas canvas(1, 1, {9, 9, 9, 9});
    EXPECT_TRUE(dib.Render(canvas.dc, 0, 0, 0, 0, 0));
    EXPECT_EQ(canvas.at(0, 0), (std::array<int, 4>{9, 9, 9, 9}));
}

TEST(Surface, RenderPerPixelAlphaOnlyWhenAlphaIsSet)
{
    // Half-transparent white, premultiplied, over blue 200:
    // blue = 128 + 200 x 127 / 255 = 227.6 -> 228; green and red 128.
    for (bool alpha : {true, false}) {
        c32bppDIB dib;
        ASSERT_TRUE(dib.InitializeDIB(1, 1));
        fillSurface(dib, {128, 128, 128, 128});
        dib.setAlpha(alpha);
        Canvas canvas(1, 1, {200, 0, 0, 255});
        ASSERT_TRUE(dib.Render(canvas.dc, 0, 0, 0, 0, 100));
        const std::array<int, 4> expected = alpha ? std::array<int, 4>{228, 128, 128, 255}
                                                  : std::array<int, 4>{128, 128, 128, 255};
        EXPECT_EQ(canvas.at(0, 0), expected) << "alpha " << alpha;
    }
}

TEST(Surface, RenderPlacesAndStretches)
{
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(2, 2));
    fillSurface(dib, {0, 0, 255, 255});
    Canvas canvas(6, 6);
    ASSERT_TRUE(dib.Render(canvas.dc, 1, 1, 0, 0, 100));  // natural size
    EXPECT_EQ(canvas.at(1, 1)[2], 255);
    EXPECT_EQ(canvas.at(2, 2)[2], 255);
    EXPECT_EQ(canvas.at(3, 3)[2], 0);
    EXPECT_EQ(canvas.at(0, 0)[2], 0);
    ASSERT_TRUE(dib.Render(canvas.dc, 2, 2, 4, 4, 100));  // stretched, clipped at the edge
    EXPECT_EQ(canvas.at(5, 5)[2], 255);
    EXPECT_EQ(canvas.at(4, 1)[2], 0);
    // Partly outside the target: the visible part is drawn.
    ASSERT_TRUE(dib.Render(canvas.dc, -1, -1, 0, 0, 100));
}

TEST(Surface, RenderRefusals)
{
    c32bppDIB dib;
    Canvas canvas(2, 2);
    EXPECT_FALSE(dib.Render(canvas.dc, 0, 0, 0, 0, 100));
    ASSERT_TRUE(dib.InitializeDIB(1, 1));
    EXPECT_FALSE(dib.Render(nullptr, 0, 0, 0, 0, 100));
}

TEST(Surface, RenderThroughTheOwnDC)
{
    c32bppDIB dib;
    dib.setManageOwnDC(true);
    ASSERT_TRUE(dib.InitializeDIB(1, 1));
    fillSurface(dib, {1, 2, 3, 255});
    gdi::HDC own = dib.LoadDIBinDC(true);
    ASSERT_NE(own, nullptr);
    Canvas canvas(1, 1);
    EXPECT_TRUE(dib.Render(canvas.dc, 0, 0, 0, 0, 100));
    EXPECT_EQ(canvas.at(0, 0), (std::array<int, 4>{1, 2, 3, 255}));
    EXPECT_EQ(dib.LoadDIBinDC(false), nullptr);
    // The DIB is free again: a second render selects it on its own.
    Canvas second(1, 1);
    EXPECT_TRUE(dib.Render(second.dc, 0, 0, 0, 0, 100));
    EXPECT_EQ(second.at(0, 0)[2], 3);
}

TEST(Surface, CopyImageTo)
{
    c32bppDIB source;
    ASSERT_TRUE(source.InitializeDIB(3, 2));
    for (int i = 0; i < 24; ++i)
        source.BitsPointer()[i] = std::uint8_t(i);
    source.setAlpha(true);
    source.setImageType(ImageGIF);
    source.setSourceBytes(ByteArray({7, 8, 9}, 5));
    for (bool withFormat : {true, false}) {
        c32bppDIB target;
        ASSERT_TRUE(target.InitializeDIB(9, 9));
        source.CopyImageTo(&target, withFormat);
        ASSERT_EQ(target.Width(), 3);
        ASSERT_EQ(target.Height(), 2);
        EXPECT_EQ(std::memcmp(target.BitsPointer(), source.BitsPointer(), 24), 0);
        EXPECT_TRUE(target.Alpha());
        EXPECT_EQ(target.ImageType(), ImageGIF);
        ByteArray kept;
        EXPECT_EQ(target.GetOrginalFormat(kept), withFormat);
        if (withFormat) {
            EXPECT_EQ(kept.data, (std::vector<std::uint8_t>{7, 8, 9}));
            EXPECT_EQ(kept.lowerBound, 5);
        }
    }
    c32bppDIB empty, target;
    ASSERT_TRUE(target.InitializeDIB(1, 1));
    empty.CopyImageTo(&target, true);
    EXPECT_NE(target.Handle(), nullptr);  // nothing happens from an empty surface
    source.CopyImageTo(nullptr, true);
}

}  // namespace
