// Limits before work, and the reason a load gives when it fails: the checked
// size helper, the compressed-data bound, the pixel limit in every reader,
// and LastError through the front door.
#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <limits>
#include <zlib.h>

#include "imaging/surface/c32bppdib.h"
#include "imaging/surface/image_limits.h"
#include "platform/language/language.h"
#include "platform/zlib/zlib_library.h"
#include "tests/imaging/bit_writer.h"
#include "tests/imaging/image_test_util.h"
#include "tests/imaging/png_builder.h"

namespace {

using testutil::Bytes;

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

TEST(SurfaceBytes, ChecksEverySideAndTheProduct)
{
    const struct {
        std::int64_t width, height, limit;
        std::optional<std::int64_t> bytes;
    } cases[] = {
        {1, 1, 1, 4},
        {3, 2, 6, 24},
        {3, 2, 5, std::nullopt},  // one pixel over the limit
        {0, 5, 100, std::nullopt},
        {5, -1, 100, std::nullopt},
        {23170, 23170, INT64_MAX, std::int64_t(23170) * 23170 * 4},
        {23171, 23171, INT64_MAX, std::nullopt},  // beyond 2^31 - 1 bytes
        {kInt32Max / 4, 1, INT64_MAX, kInt32Max / 4 * 4},
        {kInt32Max / 4 + 1, 1, INT64_MAX, std::nullopt},
        {INT64_MAX, INT64_MAX, INT64_MAX, std::nullopt},  // no overflow on the way
        {8192, 8192, imaging::kDefaultPixelLimit, std::int64_t(8192) * 8192 * 4},
        {8193, 8192, imaging::kDefaultPixelLimit, std::nullopt},
        {1024, 1025, imaging::kIconPixelLimit, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(imaging::surfaceBytes(c.width, c.height, c.limit), c.bytes) << c.width << " x " << c.height;
}

TEST(CompressedCanFill, RefusesOnlyFarBeyondTheDeflateBound)
{
    const struct {
        std::int64_t expected, compressed;
        bool fills;
    } cases[] = {
        {4096, 0, true},                         // tiny images are always given the benefit
        {4097, 0, false},
        {2 * 1032 * 100 + 4096, 100, true},      // twice the bound, plus the allowance
        {2 * 1032 * 100 + 4097, 100, false},
        {std::int64_t(8192) * 8193, 11, false},  // the 68-byte 8192 x 8192 file
        {INT64_MAX, INT64_MAX / 2, true},        // no overflow
    };
    for (const auto& c : cases)
        EXPECT_EQ(imaging::compressedCanFill(c.expected, c.compressed), c.fills) << c.expected << " from " << c.compressed;
}

// A w x h GIF whose LZW data sends a clear code before every pixel, so the
// code width never grows: simple to write, and valid.
Bytes gifImage(int w, int h)
{
    BitWriter codes;
    for (int i = 0; i < w * h; ++i)
        codes.bits(4, 3).bits(std::uint32_t(i % 2), 3);
    codes.bits(5, 3);
    const Bytes data = codes.done();
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a', std::uint8_t(w), std::uint8_t(w >> 8), std::uint8_t(h),
                 std::uint8_t(h >> 8), 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
                 44, 0, 0, 0, 0, std::uint8_t(w), std::uint8_t(w >> 8), std::uint8_t(h), std::uint8_t(h >> 8), 0, 2};
    for (std::size_t at = 0; at < data.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, data.size() - at);
        gif.push_back(std::uint8_t(n));
        gif.insert(gif.end(), data.begin() + std::ptrdiff_t(at), data.begin() + std::ptrdiff_t(at + n));
    }
    gif.push_back(0);
    gif.push_back(59);
    return gif;
}

QImage opaqueImage(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(qRgb(20, 120, 220));
    return image;
}

struct Format {
    const char* name;
    std::function<Bytes(int w, int h)> make;
};

const Format kFormats[] = {
    {"png", [](int w, int h) { return pngtest::png(pngtest::ihdr(w, h, 8, 0), {}, Bytes(std::size_t(h) * (w + 1), 0)); }},
    {"gif", gifImage},
    {"bmp32", [](int w, int h) { return testutil::makeBmp(w, h, 32, 0, {}, Bytes(std::size_t(w) * h * 4, 0x40)); }},
    {"bmp24 (platform loader)", [](int w, int h) { return testutil::encodeWithQt(opaqueImage(w, h), "BMP"); }},
    {"jpeg (platform loader)", [](int w, int h) { return testutil::encodeWithQt(opaqueImage(w, h), "JPG"); }},
    {"ico", [](int w, int h) { return testutil::encodeWithQt(opaqueImage(w, h), "ICO"); }},
};

class PixelLimit : public testing::TestWithParam<Format> {};

TEST_P(PixelLimit, RefusesOnePixelOverTheLimitWithTheReason)
{
    const Format& f = GetParam();
    const Bytes bytes = f.make(20, 12);
    for (const std::int64_t limit : {std::int64_t(20 * 12), std::int64_t(20 * 12 - 1)}) {
        c32bppDIB dib;
        dib.setPixelLimit(limit);
        const bool loaded = dib.LoadPicture_Stream(ByteArray(bytes), 0, 0, 0, 0, false);
        EXPECT_EQ(loaded, limit == 20 * 12) << f.name << " limit " << limit;
        EXPECT_EQ(dib.LastError(), loaded ? LoadError::None : LoadError::TooManyPixels) << f.name;
        EXPECT_EQ(dib.PixelLimit(), limit);
        if (loaded) {
            EXPECT_EQ(dib.Width(), 20);
            EXPECT_EQ(dib.Height(), 12);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, PixelLimit, testing::ValuesIn(kFormats), [](const auto& info) {
    std::string name = info.param.name;
    name.resize(name.find_first_of(" ") == std::string::npos ? name.size() : name.find_first_of(" "));
    return name;
});

TEST(PixelLimit, TheDefaultIsGenerousAndKeptAcrossLoads)
{
    c32bppDIB dib;
    EXPECT_EQ(dib.PixelLimit(), imaging::kDefaultPixelLimit);
    dib.setPixelLimit(imaging::kIconPixelLimit);
    ASSERT_TRUE(dib.LoadPicture_Stream(ByteArray(gifImage(30, 20)), 0, 0, 0, 0, false));
    dib.DestroyDIB();
    EXPECT_EQ(dib.PixelLimit(), imaging::kIconPixelLimit);
    // Surfaces made on purpose are not loads and are not limited.
    dib.setPixelLimit(1);
    EXPECT_TRUE(dib.InitializeDIB(40, 40));
}

// A grey PNG of w x h whose zlib stream (compressed by zlib, complete and
// valid) holds only the first `rows` scan lines.
Bytes pngWithRows(int w, int h, int rows)
{
    Bytes raw;
    for (int y = 0; y < rows; ++y) {
        raw.push_back(0);
        for (int x = 0; x < w; ++x)
            raw.push_back(std::uint8_t(200));
    }
    uLongf size = compressBound(uLong(raw.size()));
    Bytes z(size);
    EXPECT_EQ(compress2(z.data(), &size, raw.data(), uLong(raw.size()), 9), Z_OK);
    z.resize(size);
    Bytes out = pngtest::signature();
    for (const Bytes& c : {pngtest::ihdr(std::uint32_t(w), std::uint32_t(h), 8, 0), pngtest::chunk("IDAT", z),
                           pngtest::chunk("IEND", {})})
        out.insert(out.end(), c.begin(), c.end());
    return out;
}

class DataShortfall : public testing::TestWithParam<bool> {
protected:
    void SetUp() override { zlib::setSimulateAbsent(!GetParam()); }
    void TearDown() override { zlib::setSimulateAbsent(false); }
};

TEST_P(DataShortfall, AStreamEndingAFewRowsEarlyStillLoads)
{
    c32bppDIB dib;
    ASSERT_TRUE(dib.LoadPicture_Stream(ByteArray(pngWithRows(300, 300, 290)), 0, 0, 0, 0, false));
    EXPECT_EQ(testutil::px(dib, 5, 289), (std::vector<int>{200, 200, 200, 255}));
    // The missing rows read as zeros: black, opaque.
    EXPECT_EQ(testutil::px(dib, 5, 290), (std::vector<int>{0, 0, 0, 255}));
    EXPECT_EQ(dib.LastError(), LoadError::None);
}

TEST_P(DataShortfall, ASizeFarBeyondTheDataIsRefusedBeforeAllocating)
{
    // One row of data for 4000 x 4000: 16 MB of scan lines from a few bytes.
    c32bppDIB dib;
    EXPECT_FALSE(dib.LoadPicture_Stream(ByteArray(pngWithRows(4000, 4000, 1)), 0, 0, 0, 0, false));
    EXPECT_EQ(dib.LastError(), LoadError::SizeBeyondData);
}

INSTANTIATE_TEST_SUITE_P(Decompressor, DataShortfall, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Zlib" : "OwnInflate"; });

TEST(LastError, EachRefusalSaysWhy)
{
    lang::setUiLanguage(lang::Language::English);
    QTemporaryDir dir;
    const QString small = dir.filePath("small.png");
    {
        QFile f(small);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(30, 'x'));
    }
    // Interlaced 2 x 2 grey: passes 1, 6 and 7 take 2 + 2 + 3 scan-line bytes.
    const Bytes badFilter = pngtest::png(pngtest::ihdr(2, 2, 8, 0, 1), {}, Bytes(7, 9));
    c32bppDIB dib;
    EXPECT_FALSE(dib.LoadPicture_File(dir.filePath("none.png"), 0, 0, false));
    EXPECT_EQ(dib.LastError(), LoadError::NoSource);
    EXPECT_FALSE(dib.LoadPicture_File(small, 0, 0, false));
    EXPECT_EQ(dib.LastError(), LoadError::TooSmall);
    EXPECT_FALSE(dib.LoadPicture_Stream(ByteArray(Bytes(100, 0x5A)), 0, 0, 0, 0, false));
    EXPECT_EQ(dib.LastError(), LoadError::UnknownFormat);
    EXPECT_FALSE(dib.LoadPicture_Stream(ByteArray(Bytes(100, 0x5A)), 0, 0, 10, 95, false));
    EXPECT_EQ(dib.LastError(), LoadError::OutsideArray);
    EXPECT_FALSE(dib.LoadPicture_Stream(ByteArray(badFilter), 0, 0, 0, 0, false));
    EXPECT_EQ(dib.LastError(), LoadError::Corrupt);
    EXPECT_EQ(dib.LastErrorText(), "The picture is damaged (unknown filter type 9).");
    lang::setUiLanguage(lang::Language::Chinese);
    EXPECT_FALSE(dib.LoadPicture_Stream(ByteArray(badFilter), 0, 0, 0, 0, false));
    EXPECT_EQ(dib.LastErrorText(), "图片已损坏（未知的过滤类型 9）。");
    lang::resetUiLanguage();
    // Success clears the reason.
    EXPECT_TRUE(dib.LoadPicture_Stream(ByteArray(gifImage(8, 8)), 0, 0, 0, 0, false));
    EXPECT_EQ(dib.LastError(), LoadError::None);
}

TEST(LastError, CompressedDataFailureNamesTheInflateStatus)
{
    lang::setUiLanguage(lang::Language::English);
    zlib::setSimulateAbsent(true);
    // A stored block whose NLEN is not LEN's complement.
    Bytes z = {0x78, 0x01, 0x01, 3, 0, 0, 0, 1, 2, 3};
    Bytes file = pngtest::signature();
    for (const Bytes& c : {pngtest::ihdr(1, 1, 8, 0), pngtest::chunk("IDAT", z), pngtest::chunk("IEND", {})})
        file.insert(file.end(), c.begin(), c.end());
    c32bppDIB dib;
    EXPECT_FALSE(dib.LoadPicture_Stream(ByteArray(file), 0, 0, 0, 0, false));
    EXPECT_EQ(dib.LastError(), LoadError::BadCompressedData);
    EXPECT_EQ(dib.LastErrorText(), "The compressed picture data is damaged (a stored block's length check fails).");
    zlib::setSimulateAbsent(false);
    lang::resetUiLanguage();
}

TEST(ByteArrayBounds, AnArrayNearTheEndOfTheIndexRangeDoesNotWrap)
{
    const Bytes gif = gifImage(8, 8);
    // The last index is the largest 32-bit one, and then one past it: the
    // bounds are counted in 64 bits, so neither wraps (the sanitizer build
    // would report a signed overflow).
    for (const std::int64_t last : {kInt32Max, kInt32Max + 1}) {
        const ByteArray array(gif, std::int32_t(last - std::int64_t(gif.size()) + 1));
        EXPECT_EQ(array.upperBound(), last);
        c32bppDIB dib;
        EXPECT_TRUE(dib.LoadPicture_Stream(array, 0, 0, array.lowerBound, 0, false)) << last;
        EXPECT_EQ(dib.Width(), 8);
    }
}

}  // namespace
