#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "imaging/formats/png_parser.h"
#include "imaging/surface/c32bppdib.h"
#include "platform/zlib/zlib_library.h"
#include "tests/imaging/png_builder.h"

namespace {

using namespace pngtest;
using Pixel = std::array<int, 4>;  // B, G, R, A as stored in the surface

Pixel pixelAt(const c32bppDIB& dib, int x, int y)
{
    const std::uint8_t* p = dib.BitsPointer() + std::size_t(dib.Height() - 1 - y) * std::size_t(dib.ScanWidth()) +
                            std::size_t(x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

ReadOutcome load(const Bytes& file, c32bppDIB& dib)
{
    return cPNGparser().LoadStream(ByteArray(file), dib, 0, std::int32_t(file.size()));
}

Bytes rgb16(int r, int g, int b)
{
    return {std::uint8_t(r >> 8), std::uint8_t(r), std::uint8_t(g >> 8), std::uint8_t(g), std::uint8_t(b >> 8),
            std::uint8_t(b)};
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct Case {
    const char* name;
    std::function<Bytes()> file;
    std::vector<Pixel> row0;  // expected top row, left to right; empty: nothing loads
    bool alpha;
};

const Pixel kClear = {0, 0, 0, 0};

const Case kCases[] = {
    {"rgba is premultiplied truncating", [] { return png(ihdr(1, 1, 8, 6), {}, {0, 200, 100, 50, 128}); },
     {{25, 50, 100, 128}}, true},
    {"alpha 0 clears the colour", [] { return png(ihdr(1, 1, 8, 6), {}, {0, 200, 100, 50, 0}); }, {kClear}, true},
    {"grey alpha 16-bit by high bytes", [] { return png(ihdr(1, 1, 16, 4), {}, {0, 200, 7, 128, 9}); },
     {{100, 100, 100, 128}}, true},
    {"16-bit rgb key compares whole samples", [] {
         const Bytes key = rgb16(0x1234, 0x5678, 0x9ABC);
         return png(ihdr(3, 1, 16, 2), {chunk("tRNS", key)},
                    concat({{0}, key, rgb16(0xFF34, 0xFF78, 0xFFBC), rgb16(0x1200, 0x5600, 0x9A00)}));
     },
     {kClear, {255, 255, 255, 255}, {0x9A, 0x56, 0x12, 255}}, true},
    {"16-bit grey key compares whole samples", [] {
         return png(ihdr(3, 1, 16, 0), {chunk("tRNS", {0x12, 0x34})}, {0, 0x12, 0x34, 0x00, 0x34, 0x12, 0x00});
     },
     {kClear, {0, 0, 0, 255}, {0x12, 0x12, 0x12, 255}}, true},
    {"8-bit rgb key", [] { return png(ihdr(2, 1, 8, 2), {chunk("tRNS", rgb16(1, 2, 3))}, {0, 1, 2, 3, 1, 2, 4}); },
     {kClear, {4, 2, 1, 255}}, true},
    {"1-bit grey is black and white", [] { return png(ihdr(3, 1, 1, 0), {}, {0, 0b10100000}); },
     {{255, 255, 255, 255}, {0, 0, 0, 255}, {255, 255, 255, 255}}, false},
    {"2-bit grey levels", [] { return png(ihdr(4, 1, 2, 0), {}, {0, 0b00011011}); },
     {{0, 0, 0, 255}, {85, 85, 85, 255}, {170, 170, 170, 255}, {255, 255, 255, 255}}, false},
    {"4-bit grey key", [] { return png(ihdr(2, 1, 4, 0), {chunk("tRNS", {0, 5})}, {0, 0x5F}); },
     {kClear, {255, 255, 255, 255}}, true},
    {"palette with tRNS for the first index only", [] {
         return png(ihdr(3, 1, 8, 3), {chunk("PLTE", {255, 0, 0, 0, 255, 0, 0, 0, 255}), chunk("tRNS", {0})},
                    {0, 0, 1, 2});
     },
     {kClear, {0, 255, 0, 255}, {255, 0, 0, 255}}, true},
    {"palette alpha premultiplies", [] {
         return png(ihdr(1, 1, 8, 3), {chunk("PLTE", {200, 100, 50}), chunk("tRNS", {128})}, {0, 0});
     },
     {{25, 50, 100, 128}}, true},
    {"palette index beyond the palette", [] { return png(ihdr(1, 1, 8, 3), {chunk("PLTE", {1, 2, 3})}, {0, 1}); },
     {}, false},
    {"1-bit palette without PLTE is black and white", [] { return png(ihdr(2, 1, 1, 3), {}, {0, 0b01000000}); },
     {{0, 0, 0, 255}, {255, 255, 255, 255}}, false},
    {"sub then paeth", [] { return png(ihdr(2, 2, 8, 0), {}, {1, 10, 5, 4, 1, 2}); },
     {{10, 10, 10, 255}, {15, 15, 15, 255}}, false},
    {"unknown filter type leaves the row as stored", [] { return png(ihdr(1, 1, 8, 0), {}, {7, 42}); },
     {{42, 42, 42, 255}}, false},
    {"unknown filter type fails an interlaced image", [] { return png(ihdr(1, 1, 8, 0, 1), {}, {7, 42}); }, {},
     false},
    {"interlaced height 1 uses passes 1, 2, 4 and 6", [] {
         return png(ihdr(8, 1, 8, 0, 1), {}, {0, 0, 0, 40, 0, 20, 60, 0, 10, 30, 50, 70});
     },
     {{0, 0, 0, 255},
      {10, 10, 10, 255},
      {20, 20, 20, 255},
      {30, 30, 30, 255},
      {40, 40, 40, 255},
      {50, 50, 50, 255},
      {60, 60, 60, 255},
      {70, 70, 70, 255}},
     false},
    {"rgb without tRNS has alpha", [] { return png(ihdr(1, 1, 8, 2), {}, {0, 1, 2, 3}); }, {{3, 2, 1, 255}}, true},
    {"PLTE in a grey image is ignored", [] { return png(ihdr(1, 1, 8, 0), {chunk("PLTE", {9, 9, 9, 9})}, {0, 5}); },
     {{5, 5, 5, 255}}, false},
    {"tRNS in an RGBA image is ignored", [] { return png(ihdr(1, 1, 8, 6), {chunk("tRNS", rgb16(1, 2, 3))}, {0, 1, 2, 3, 255}); },
     {{3, 2, 1, 255}}, true},
    {"unknown critical chunk is skipped", [] { return png(ihdr(1, 1, 8, 0), {chunk("ABCD", {1, 2, 3})}, {0, 5}); },
     {{5, 5, 5, 255}}, false},
    {"PLTE length not a multiple of 3", [] { return png(ihdr(1, 1, 8, 3), {chunk("PLTE", {1, 2, 3, 4})}, {0, 0}); },
     {}, false},
    {"forbidden depth for colour type 2", [] { return png(ihdr(1, 1, 4, 2), {}, {0, 0}); }, {}, false},
    {"zero width", [] { return png(ihdr(0, 1, 8, 0), {}, {0}); }, {}, false},
    {"surface beyond 2^31 bytes", [] { return png(ihdr(23171, 23171, 1, 0), {}, {0}); }, {}, false},
    {"IDAT split over chunks with an empty one", [] {
         const Bytes z = zlibStored({0, 1, 2, 3});
         Bytes file = concat({signature(), ihdr(1, 1, 8, 2)});
         for (std::size_t i = 0; i < z.size(); ++i) {
             file = concat({file, chunk("IDAT", {z[i]})});
             if (i == 3)
                 file = concat({file, chunk("IDAT", {})});
         }
         return concat({file, chunk("IEND", {})});
     },
     {{3, 2, 1, 255}}, true},
    {"no IEND loads nothing", [] {
         Bytes file = png(ihdr(1, 1, 8, 0), {}, {0, 5});
         file.resize(file.size() - 12);
         return file;
     },
     {}, false},
    {"no IDAT loads nothing", [] { return concat({signature(), ihdr(1, 1, 8, 0), chunk("IEND", {})}); }, {}, false},
    {"broken deflate data loads nothing", [] {
         return concat({signature(), ihdr(1, 1, 8, 0), chunk("IDAT", {0x78, 0x01, 0x07, 0, 0}), chunk("IEND", {})});
     },
     {}, false},
};

class PngReaderCase : public testing::TestWithParam<std::tuple<Case, bool>> {
protected:
    void SetUp() override { zlib::setSimulateAbsent(!std::get<1>(GetParam())); }
    void TearDown() override { zlib::setSimulateAbsent(false); }
};

TEST_P(PngReaderCase, DecodesToPremultipliedPixels)
{
    const Case& c = std::get<0>(GetParam());
    c32bppDIB dib;
    EXPECT_EQ(load(c.file(), dib), ReadOutcome::Accepted);
    if (c.row0.empty()) {
        EXPECT_EQ(dib.Handle(), nullptr);
        return;
    }
    ASSERT_NE(dib.Handle(), nullptr);
    EXPECT_EQ(dib.ImageType(), ImagePNG);
    EXPECT_EQ(dib.Alpha(), c.alpha);
    for (std::size_t x = 0; x < c.row0.size(); ++x)
        EXPECT_EQ(pixelAt(dib, int(x), 0), c.row0[x]) << "x = " << x;
}

INSTANTIATE_TEST_SUITE_P(Files, PngReaderCase, testing::Combine(testing::ValuesIn(kCases), testing::Bool()),
                         [](const auto& info) {
                             std::string name = std::get<0>(info.param).name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name + (std::get<1>(info.param) ? "_zlib" : "_own");
                         });

TEST(PngReader, FiltersWithRowsAbove)
{
    // Row 1 with Paeth: x0: a=0 b=10 c=0 -> b; x1: a=11 b=15 c=10 -> b.
    // Row 1 with Average: x0: (0 + 10) / 2; x1: (6 + 15) / 2.
    struct {
        std::uint8_t filter;
        int first, second;
    } rows[] = {{4, 11, 17}, {3, 6, 12}, {2, 11, 17}};
    for (const auto& r : rows) {
        c32bppDIB dib;
        load(png(ihdr(2, 2, 8, 0), {}, {1, 10, 5, r.filter, 1, 2}), dib);
        ASSERT_NE(dib.Handle(), nullptr);
        EXPECT_EQ(pixelAt(dib, 0, 1)[0], r.first) << int(r.filter);
        EXPECT_EQ(pixelAt(dib, 1, 1)[0], r.second) << int(r.filter);
    }
}

TEST(PngReader, FirstRowOfEachPassHasNoRowAbove)
{
    // 1 x 2 interlaced: pass 1 holds row 0, pass 7 row 1; Up on pass 7's
    // first row must not add row 0.
    c32bppDIB dib;
    load(png(ihdr(1, 2, 8, 0, 1), {}, {0, 100, 2, 7}), dib);
    ASSERT_NE(dib.Handle(), nullptr);
    EXPECT_EQ(pixelAt(dib, 0, 0)[0], 100);
    EXPECT_EQ(pixelAt(dib, 0, 1)[0], 7);
}

TEST(PngReader, ChecksumsAreCheckedOnlyWithZlib)
{
    Bytes file = png(ihdr(1, 1, 8, 0), {}, {0, 5});
    file[file.size() - 13] ^= 0xFF;  // the IDAT chunk's CRC
    for (bool present : {true, false}) {
        zlib::setSimulateAbsent(!present);
        c32bppDIB dib;
        EXPECT_EQ(load(file, dib), ReadOutcome::Accepted);
        EXPECT_EQ(dib.Handle() != nullptr, !present || !zlib::IsDllFunctionAvailable("crc32"));
    }
    zlib::setSimulateAbsent(false);
}

TEST(PngReader, AStoredCrcOfZeroLeavesItsChunkUnchecked)
{
    // The IDAT's CRC field holds 0 while its bytes' CRC is another value:
    // not checked, the picture loads. Any other wrong value is refused where
    // zlib checks CRCs.
    const Bytes good = png(ihdr(1, 1, 8, 0), {}, {0, 5});
    const std::size_t idat = 8 + 12 + 13;  // behind the signature and IHDR
    const std::size_t length = std::size_t(good[idat + 2]) << 8 | good[idat + 3];
    const std::uint32_t actual = crc32(good.data() + idat + 4, length + 4);  // type and data
    const std::size_t field = idat + 8 + length;
    ASSERT_NE(actual, 0u);
    struct Row {
        const char* name;
        std::uint32_t stored;
        LoadError expected;
    } rows[] = {
        {"zero", 0, LoadError::None},
        {"one bit off", actual ^ 1, LoadError::BadChecksum},
        {"all ones", 0xFFFFFFFFu, LoadError::BadChecksum},
    };
    ASSERT_TRUE(zlib::IsDllFunctionAvailable("crc32")) << "no system zlib";
    for (const Row& r : rows) {
        Bytes file = good;
        for (int i = 0; i < 4; ++i)
            file[field + std::size_t(i)] = std::uint8_t(r.stored >> (24 - 8 * i));
        c32bppDIB dib;
        EXPECT_EQ(load(file, dib), ReadOutcome::Accepted) << r.name;
        EXPECT_EQ(dib.LastError(), r.expected) << r.name;
        EXPECT_EQ(dib.Handle() != nullptr, r.expected == LoadError::None) << r.name;
    }
}

// A zlib stream of stored blocks of at most `block` bytes, its last
// `cut` bytes missing.
Bytes storedInBlocks(const Bytes& raw, std::size_t block, std::size_t cut)
{
    Bytes out = {0x78, 0x01};
    for (std::size_t pos = 0; pos < raw.size(); pos += block) {
        const std::size_t n = std::min(block, raw.size() - pos);
        out.push_back(pos + n == raw.size() ? 1 : 0);
        out.insert(out.end(), {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(~n), std::uint8_t(~n >> 8)});
        out.insert(out.end(), raw.begin() + std::ptrdiff_t(pos), raw.begin() + std::ptrdiff_t(pos + n));
    }
    out.resize(out.size() - cut);
    return out;
}

TEST(PngReader, DataThatDoesNotDecompressOutranksABadPaletteIndex)
{
    // A palette of two colours, index 9 in the first row. Rows are made as
    // their data comes out of the decompressor; data that fails further on
    // is still the reason given, as if all had been decompressed first.
    for (int size : {40, 400}) {
        Bytes raw;
        for (int y = 0; y < size; ++y) {
            raw.push_back(0);
            for (int x = 0; x < size; ++x)
                raw.push_back(y == 0 && x == 3 ? 9 : std::uint8_t(x % 2));
        }
        const Bytes header = ihdr(std::uint32_t(size), std::uint32_t(size), 8, 3);
        const Bytes palette = chunk("PLTE", {0, 0, 0, 255, 255, 255});
        const auto file = [&](std::size_t cut) {
            return concat({signature(), header, palette, chunk("IDAT", storedInBlocks(raw, 20000, cut)),
                           chunk("IEND", {})});
        };
        for (bool present : {true, false}) {
            zlib::setSimulateAbsent(!present);
            c32bppDIB whole, cut;
            load(file(0), whole);
            load(file(10), cut);
            EXPECT_EQ(whole.LastError(), LoadError::Corrupt) << size << " zlib " << present;
            EXPECT_EQ(cut.LastError(), LoadError::BadCompressedData) << size << " zlib " << present;
            EXPECT_EQ(cut.Handle(), nullptr);
        }
    }
    zlib::setSimulateAbsent(false);
}

TEST(PngReader, NotAPngIsLeftToTheOtherReaders)
{
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(2, 2));
    Bytes file = png(ihdr(1, 1, 8, 0), {}, {0, 5});
    file[1] = 'X';
    EXPECT_EQ(load(file, dib), ReadOutcome::NotMine);
    EXPECT_NE(dib.Handle(), nullptr);  // untouched
    // A range outside the array is refused, never read.
    EXPECT_EQ(cPNGparser().LoadStream(ByteArray(file), dib, 4, std::int32_t(file.size())), ReadOutcome::Failed);
}

}  // namespace
