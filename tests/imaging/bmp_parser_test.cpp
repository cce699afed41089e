// The BMP reader: 32-bpp files read directly with their alpha settled, every
// other depth and compression through the platform picture loader.
#include <gtest/gtest.h>

#include <random>

#include "imaging/formats/bmp_parser.h"
#include "tests/imaging/image_test_util.h"
#include "platform/picture/picture.h"

using namespace testutil;

namespace {

struct AlphaCase {
    const char* name;
    Bytes pixels;  // B, G, R, A per pixel
    bool hasAlpha;
    std::int32_t imageType;
    Bytes afterPremultiply;
};

const AlphaCase kAlphaCases[] = {
    {"allAlphaZeroIsUnused", {5, 6, 7, 0, 1, 2, 3, 0}, false, ImageBitmap, {5, 6, 7, 0, 1, 2, 3, 0}},
    {"colourAboveAlphaIsStraight", {200, 100, 50, 128, 1, 1, 1, 255}, true, ImageBitmapARGB,
     {100, 50, 25, 128, 1, 1, 1, 255}},
    {"colourWithinAlphaIsPremultiplied", {100, 50, 25, 128, 0, 0, 0, 0}, true, ImageBitmapPARGB,
     {100, 50, 25, 128, 0, 0, 0, 0}},
    {"opaqueIsPremultiplied", {9, 9, 9, 255}, true, ImageBitmapPARGB, {9, 9, 9, 255}},
    // Colour under zero alpha, then an opaque pixel: straight; the zero-alpha
    // pixel is cleared.
    {"colourUnderZeroAlpha", {9, 9, 9, 0, 4, 4, 4, 255}, true, ImageBitmapARGB, {0, 0, 0, 0, 4, 4, 4, 255}},
    // Colour under zero alpha with a partial alpha after it: straight.
    {"colourUnderZeroThenPartial", {9, 9, 9, 0, 10, 10, 10, 100}, true, ImageBitmapARGB,
     {0, 0, 0, 0, 3, 3, 3, 100}},
};

class ValidateAlphaTest : public ::testing::TestWithParam<AlphaCase> {};

TEST_P(ValidateAlphaTest, ClassifiesAndPremultiplies)
{
    const AlphaCase& c = GetParam();
    Bytes pixels = c.pixels;
    const AlphaCheck check = ValidateAlpha(pixels.data(), std::int32_t(pixels.size() / 4), 1, true);
    EXPECT_EQ(check.hasAlpha, c.hasAlpha);
    EXPECT_EQ(check.imageType, c.imageType);
    EXPECT_EQ(pixels, c.afterPremultiply);
}

INSTANTIATE_TEST_SUITE_P(Cases, ValidateAlphaTest, ::testing::ValuesIn(kAlphaCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BmpReader, ThirtyTwoBitsStraightAlphaIsPremultiplied)
{
    // 2 x 1, one straight pixel (200, 100, 50, 128) and one opaque.
    const Bytes bmp = makeBmp(2, 1, 32, 0, {}, {200, 100, 50, 128, 10, 20, 30, 255});
    c32bppDIB s;
    EXPECT_EQ(cBMPparser().LoadStream(array(bmp), s, 0, std::int32_t(bmp.size())), ReadOutcome::Accepted);
    ASSERT_NE(s.Handle(), nullptr);
    EXPECT_EQ(s.ImageType(), ImageBitmapARGB);
    EXPECT_TRUE(s.Alpha());
    EXPECT_EQ(px(s, 0, 0), (std::vector<int>{100, 50, 25, 128}));
    EXPECT_EQ(px(s, 1, 0), (std::vector<int>{10, 20, 30, 255}));
}

TEST(BmpReader, TopDownMatchesBottomUpInsideALargerArray)
{
    // Rows listed bottom row first for the positive height.
    const Bytes bottomRow = {1, 2, 3, 255};
    const Bytes topRow = {4, 5, 6, 255};
    Bytes up = bottomRow;
    up.insert(up.end(), topRow.begin(), topRow.end());
    Bytes down = topRow;
    down.insert(down.end(), bottomRow.begin(), bottomRow.end());
    const Bytes bottomUp = makeBmp(1, 2, 32, 0, {}, up);
    Bytes padded(7, 0xAA);
    const Bytes topDown = makeBmp(1, -2, 32, 0, {}, down);
    padded.insert(padded.end(), topDown.begin(), topDown.end());
    padded.insert(padded.end(), 5, 0xBB);

    c32bppDIB a, b;
    cBMPparser().LoadStream(array(bottomUp), a, 0, std::int32_t(bottomUp.size()));
    cBMPparser().LoadStream(array(padded, -3), b, 4, std::int32_t(topDown.size()));
    ASSERT_NE(a.Handle(), nullptr);
    ASSERT_NE(b.Handle(), nullptr);
    EXPECT_EQ(px(a, 0, 0), (std::vector<int>{4, 5, 6, 255}));
    EXPECT_EQ(px(b, 0, 0), px(a, 0, 0));
    EXPECT_EQ(px(b, 0, 1), px(a, 0, 1));
    EXPECT_EQ(b.ImageType(), ImageBitmapPARGB);
}

// Every other BMP goes to the platform loader. Each case is 3 x 2 with
// known colours; rows in the files are bottom-up.
struct DepthCase {
    const char* name;
    std::uint16_t bitCount;
    std::uint32_t compression;
    Bytes extra;
    Bytes pixels;
    std::vector<std::vector<std::vector<int>>> expectedTopDown;  // B, G, R per pixel, top row first
    std::int32_t imageType;
    int tolerance;  // the loader may widen 5- and 6-bit channels by shifting alone
};

const Bytes kPal = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 10, 20, 30, 0};  // red, green, blue, (10,20,30)
const std::vector<int> kRed = {0, 0, 255}, kGreen = {0, 255, 0}, kBlue = {255, 0, 0}, kGrey = {10, 20, 30};

Bytes masks565()
{
    Bytes b;
    put32(b, 0xF800);
    put32(b, 0x07E0);
    put32(b, 0x001F);
    return b;
}

const DepthCase kDepthCases[] = {
    // 1 bit: bottom row 0,1,0 -> 0x40; top row 1,1,0 -> 0xC0.
    {"oneBit", 1, 0, Bytes(kPal.begin(), kPal.begin() + 8), {0x40, 0, 0, 0, 0xC0, 0, 0, 0},
     {{kGreen, kGreen, kRed}, {kRed, kGreen, kRed}}, ImageBitmap, 0},
    // 4 bits: bottom 2,3,0 ; top 1,0,2.
    {"fourBits", 4, 0, kPal, {0x23, 0x00, 0, 0, 0x10, 0x20, 0, 0}, {{kGreen, kRed, kBlue}, {kBlue, kGrey, kRed}},
     ImageBitmap, 0},
    {"eightBits", 8, 0, kPal, {3, 2, 1, 0, 0, 0, 3, 0}, {{kRed, kRed, kGrey}, {kGrey, kBlue, kGreen}}, ImageBitmap, 0},
    // RLE8: bottom row run of 3 x index 1, end of line; top row 2 x 0 then
    // 1 x 3, end of bitmap.
    {"rle8", 8, 1, kPal, {3, 1, 0, 0, 2, 0, 1, 3, 0, 1}, {{kRed, kRed, kGrey}, {kGreen, kGreen, kGreen}},
     ImageBitmap, 0},
    // RLE4: a run of 3 alternating 2 and 1 ; top row 3 x 3.
    {"rle4", 4, 2, kPal, {3, 0x21, 0, 0, 3, 0x33, 0, 1}, {{kGrey, kGrey, kGrey}, {kBlue, kGreen, kBlue}},
     ImageBitmap, 0},
    // 16 bits 5-5-5: red 0x7C00, green 0x03E0, blue 0x001F.
    {"sixteen555", 16, 0, {}, {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0, 0, 0x1F, 0x00, 0x1F, 0x00, 0x00, 0x7C, 0, 0},
     {{kBlue, kBlue, kRed}, {kRed, kGreen, kBlue}}, ImageBitmap, 7},
    // 16 bits 5-6-5 bit fields: green is 0x07E0.
    {"sixteen565", 16, 3, masks565(), {0xE0, 0x07, 0xE0, 0x07, 0x00, 0xF8, 0, 0, 0x1F, 0, 0x1F, 0, 0x1F, 0, 0, 0},
     {{kBlue, kBlue, kBlue}, {kGreen, kGreen, kRed}}, ImageBitmap, 7},
    {"twentyFour", 24, 0, {}, {255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 10, 20, 30, 10, 20, 30, 10, 20, 30, 0, 0, 0},
     {{kGrey, kGrey, kGrey}, {kBlue, kGreen, kRed}}, ImageBitmap, 0},
};

class BmpDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(BmpDepth, ComesThroughThePictureLoader)
{
    const DepthCase& c = GetParam();
    const std::uint32_t clrUsed = c.bitCount <= 8 ? std::uint32_t(c.extra.size() / 4) : 0;
    const Bytes bmp = makeBmp(3, 2, c.bitCount, c.compression, c.extra, c.pixels, clrUsed);
    c32bppDIB s;
    EXPECT_EQ(cBMPparser().LoadStream(array(bmp), s, 0, std::int32_t(bmp.size())), ReadOutcome::Accepted);
    ASSERT_NE(s.Handle(), nullptr);
    ASSERT_EQ(s.Width(), 3);
    ASSERT_EQ(s.Height(), 2);
    EXPECT_EQ(s.ImageType(), c.imageType);
    EXPECT_FALSE(s.Alpha());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const std::vector<int> p = px(s, x, y);
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(p[k], c.expectedTopDown[y][x][k], c.tolerance) << x << "," << y << " byte " << k;
        }
}

INSTANTIATE_TEST_SUITE_P(Depths, BmpDepth, ::testing::ValuesIn(kDepthCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BmpReader, ThirtyTwoBitFieldsAreExaminedForAlpha)
{
    Bytes masks;
    put32(masks, 0x00FF0000);
    put32(masks, 0x0000FF00);
    put32(masks, 0x000000FF);
    const Bytes bmp = makeBmp(1, 1, 32, 3, masks, {30, 20, 10, 0});
    c32bppDIB s;
    cBMPparser().LoadStream(array(bmp), s, 0, std::int32_t(bmp.size()));
    ASSERT_NE(s.Handle(), nullptr);
    EXPECT_EQ(px(s, 0, 0), (std::vector<int>{30, 20, 10, 255}));
    EXPECT_EQ(s.ImageType(), ImageBitmapPARGB);  // opaque once decoded
}

TEST(BmpReader, JpegAndPngComeThroughAsOpaqueBitmaps)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(QColor(200, 40, 90));
    for (const char* format : {"JPEG", "PNG"}) {
        const Bytes bytes = encodeWithQt(image, format);
        c32bppDIB s;
        EXPECT_EQ(cBMPparser().LoadStream(array(bytes), s, 0, std::int32_t(bytes.size())), ReadOutcome::Accepted)
            << format;
        ASSERT_NE(s.Handle(), nullptr) << format;
        EXPECT_EQ(s.Width(), 8);
        EXPECT_EQ(s.ImageType(), ImageBitmap);
        EXPECT_FALSE(s.Alpha());
        const std::vector<int> p = px(s, 4, 4);
        EXPECT_NEAR(p[2], 200, 4);
        EXPECT_NEAR(p[1], 40, 4);
        EXPECT_NEAR(p[0], 90, 4);
    }
}

TEST(BmpReader, MalformedDataLoadsNothing)
{
    struct Bad {
        const char* name;
        Bytes bytes;
        ReadOutcome outcome;
    };
    Bytes zeroWidth = makeBmp(1, 1, 32, 0, {}, {1, 2, 3, 4});
    set32(zeroWidth, 18, 0);
    Bytes zeroHeight = makeBmp(1, 1, 32, 0, {}, {1, 2, 3, 4});
    set32(zeroHeight, 22, 0);
    Bytes offsetPastEnd = makeBmp(2, 2, 32, 0, {}, Bytes(16, 7));
    set32(offsetPastEnd, 10, 0x7FFFFFF0);
    const Bytes rowsCutShort = makeBmp(3, 2, 24, 0, {}, Bytes(24, 9));
    Bytes hugeWidth = makeBmp(1, 1, 32, 0, {}, Bytes(60, 7));
    set32(hugeWidth, 18, 0x7FFFFFFF);
    const Bad cases[] = {
        {"zeroWidth", zeroWidth, ReadOutcome::NotMine},
        {"zeroHeight", zeroHeight, ReadOutcome::NotMine},
        {"offsetPastEnd", offsetPastEnd, ReadOutcome::Failed},
        {"rowsCutShort", Bytes(rowsCutShort.begin(), rowsCutShort.end() - 1), ReadOutcome::Failed},
        {"hugeWidth", hugeWidth, ReadOutcome::Failed},
        {"headerCutShort", Bytes{'B', 'M', 1, 2, 3}, ReadOutcome::NotMine},
        {"noFormatAtAll", Bytes(80, 0x5A), ReadOutcome::NotMine},
    };
    for (const Bad& c : cases) {
        c32bppDIB s;
        EXPECT_EQ(cBMPparser().LoadStream(array(c.bytes), s, 0, std::int32_t(c.bytes.size())), c.outcome) << c.name;
        EXPECT_EQ(s.Handle(), nullptr) << c.name;
    }
}

TEST(BmpReader, RangeOutsideTheArrayFails)
{
    const Bytes bmp = makeBmp(1, 1, 32, 0, {}, {1, 2, 3, 4});
    c32bppDIB s;
    EXPECT_EQ(cBMPparser().LoadStream(array(bmp), s, 1, std::int32_t(bmp.size())), ReadOutcome::Failed);
    EXPECT_EQ(cBMPparser().LoadStream(array(bmp), s, -1, 10), ReadOutcome::Failed);
    EXPECT_EQ(s.Handle(), nullptr);
}

TEST(BmpPicture, NoPictureIsRefused)
{
    c32bppDIB s;
    EXPECT_FALSE(cBMPparser().ConvertstdPicTo32bpp(nullptr, s, 0));
}

}  // namespace

namespace {

TEST(BmpReader, RandomHeaderDamageNeverCrashes)
{
    Bytes pixels(4 * 5 * 4);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = std::uint8_t(i * 13);
    const Bytes good = makeBmp(5, 4, 32, 0, {}, pixels);
    std::mt19937 rng(4);
    for (int round = 0; round < 3000; ++round) {
        Bytes bad = good;
        for (int k = 0; k < 2; ++k)
            bad[rng() % 54] = std::uint8_t(rng());
        c32bppDIB s;
        const ReadOutcome outcome = cBMPparser().LoadStream(array(bad), s, 0, std::int32_t(bad.size()));
        if (outcome != ReadOutcome::Accepted) {
            EXPECT_EQ(s.Handle(), nullptr);
        }
    }
}

}  // namespace
