// DIB depth conversion: every supported depth against pixels worked out by
// hand from the DIB rules.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "platform/gdi/dib_convert.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Pixel = std::array<std::uint8_t, 4>;  // B, G, R, A

struct Case {
    const char* name;
    std::int32_t width;
    std::int32_t height;  // negative: top-down source rows
    std::uint16_t bitCount;
    std::uint32_t compression;
    Bytes table;
    Bytes bits;
    std::vector<Pixel> expected;  // bottom-up, as the output stores them
};

Bytes le32(std::uint32_t v)
{
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

Bytes masks(std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    Bytes out = le32(r);
    for (std::uint32_t m : {g, b}) {
        const Bytes part = le32(m);
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// Palette entries are B, G, R, reserved.
const Bytes kPalette = {10, 20, 30, 0, 40, 50, 60, 0, 70, 80, 90, 0};

const Case kCases[] = {
    // 1 bit: row 0 = indices 1,0,1 -> 0b101xxxxx; padded to 4 bytes.
    {"oneBit", 3, 1, 1, gdi::BI_RGB, kPalette, {0xA0, 0, 0, 0},
     {{40, 50, 60, 255}, {10, 20, 30, 255}, {40, 50, 60, 255}}},
    // 4 bits: indices 2, 1, 0 packed high nibble first.
    {"fourBits", 3, 1, 4, gdi::BI_RGB, kPalette, {0x21, 0x00, 0, 0},
     {{70, 80, 90, 255}, {40, 50, 60, 255}, {10, 20, 30, 255}}},
    // 8 bits: index 7 lies past the three-entry table and reads black.
    {"eightBitsPastTable", 2, 1, 8, gdi::BI_RGB, kPalette, {1, 7, 0, 0}, {{40, 50, 60, 255}, {0, 0, 0, 255}}},
    // 16 bits 5-5-5: red 31, green 0, blue 16 -> 0x7C10; 16 scales to 132.
    {"sixteen555", 1, 1, 16, gdi::BI_RGB, {}, {0x10, 0x7C, 0, 0}, {{132, 0, 255, 255}}},
    // 16 bits 5-6-5 bit fields: green 63 -> 0x07E0.
    {"sixteen565", 1, 1, 16, gdi::BI_BITFIELDS, masks(0xF800, 0x07E0, 0x001F), {0xE0, 0x07, 0, 0},
     {{0, 255, 0, 255}}},
    // 24 bits: two rows bottom-up, each padded to 4 bytes.
    {"twentyFour", 1, 2, 24, gdi::BI_RGB, {}, {1, 2, 3, 0, 4, 5, 6, 0}, {{1, 2, 3, 255}, {4, 5, 6, 255}}},
    // Top-down rows come out bottom-up.
    {"twentyFourTopDown", 1, -2, 24, gdi::BI_RGB, {}, {1, 2, 3, 0, 4, 5, 6, 0}, {{4, 5, 6, 255}, {1, 2, 3, 255}}},
    // 32 bits BI_RGB keeps the fourth byte.
    {"thirtyTwo", 1, 1, 32, gdi::BI_RGB, {}, {9, 8, 7, 6}, {{9, 8, 7, 6}}},
    // 32 bits bit fields in the order B, G, R of the masks' bytes.
    {"thirtyTwoFields", 1, 1, 32, gdi::BI_BITFIELDS, masks(0x000000FF, 0x0000FF00, 0x00FF0000), {11, 22, 33, 44},
     {{33, 22, 11, 255}}},
};

class DibConvert : public ::testing::TestWithParam<Case> {};

TEST_P(DibConvert, MatchesHandWorkedPixels)
{
    const Case& c = GetParam();
    gdi::BITMAPINFOHEADER h;
    h.biWidth = c.width;
    h.biHeight = c.height;
    h.biBitCount = c.bitCount;
    h.biCompression = c.compression;
    Bytes out(c.expected.size() * 4, 0xEE);
    ASSERT_TRUE(gdi::convertDibTo32bpp(h, c.table, c.bits, out));
    for (std::size_t i = 0; i < c.expected.size(); ++i)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(out[i * 4 + k], c.expected[i][k]) << "pixel " << i << " byte " << k;
}

INSTANTIATE_TEST_SUITE_P(Depths, DibConvert, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DibConvertRefusal, UnusableInputLeavesOutputUntouched)
{
    struct Refusal {
        const char* name;
        std::uint16_t bitCount;
        std::uint32_t compression;
        std::size_t bitsSize;
        std::size_t outSize;
        std::size_t tableSize;
    };
    const Refusal refusals[] = {
        {"rowsCutShort", 24, gdi::BI_RGB, 7, 8, 0},
        {"depthTwo", 2, gdi::BI_RGB, 8, 8, 0},
        {"runLengthEncoded", 8, 1, 8, 8, 0},
        {"outputWrongSize", 24, gdi::BI_RGB, 8, 12, 0},
        {"bitFieldsWithoutMasks", 16, gdi::BI_BITFIELDS, 8, 8, 8},
    };
    for (const Refusal& r : refusals) {
        gdi::BITMAPINFOHEADER h;
        h.biWidth = 1;
        h.biHeight = 2;
        h.biBitCount = r.bitCount;
        h.biCompression = r.compression;
        const Bytes bits(r.bitsSize, 1);
        const Bytes table(r.tableSize, 0xFF);
        Bytes out(r.outSize, 0xEE);
        EXPECT_FALSE(gdi::convertDibTo32bpp(h, table, bits, out)) << r.name;
        EXPECT_EQ(out, Bytes(r.outSize, 0xEE)) << r.name;
    }
}

TEST(RowStride, PadsToTheAlignmentAndRefusesOverflow)
{
    EXPECT_EQ(gdi::rowStride(1, 1), 4);
    EXPECT_EQ(gdi::rowStride(1, 33), 8);
    EXPECT_EQ(gdi::rowStride(24, 3), 12);
    EXPECT_EQ(gdi::rowStride(32, 256), 1024);
    EXPECT_EQ(gdi::rowStride(32, 0x7FFFFFFF), -1);
    EXPECT_EQ(gdi::rowStride(0, 5), -1);
    // Rows packed to the byte, as PNG scan lines are.
    EXPECT_EQ(gdi::rowStride(1, 9, 1), 2);
    EXPECT_EQ(gdi::rowStride(48, 3, 1), 18);
    EXPECT_EQ(gdi::rowStride(1, 0x7FFFFFFF, 1), 0x10000000);
    EXPECT_EQ(gdi::rowStride(64, 0x7FFFFFFF, 1), -1);
    EXPECT_EQ(gdi::rowStride(8, 5, 0), -1);
}

}  // namespace
