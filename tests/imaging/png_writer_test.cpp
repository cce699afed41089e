// The PNG writer: files read back by Qt's PNG reader, zlib streams inflated
// by zlib itself, checksums against published check values.
#include <gtest/gtest.h>

#include <zlib.h>

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <random>

#include "imaging/formats/png_encode.h"
#include "imaging/formats/png_parser.h"
#include "platform/zlib/zlib_library.h"
#include "tests/imaging/image_test_util.h"

using namespace testutil;

namespace {

// A surface of premultiplied pixels: random colours no brighter than their
// alpha, with fully transparent and fully opaque pixels among them.
void fill(c32bppDIB& s, int width, int height, bool alpha, unsigned seed)
{
    ASSERT_TRUE(s.InitializeDIB(width, height));
    std::mt19937 rng(seed);
    std::uint8_t* p = s.BitsPointer();
    for (int i = 0; i < width * height; ++i, p += 4) {
        const int a = i % 5 == 0 ? 0 : i % 5 == 1 ? 255 : int(rng() % 256);
        for (int k = 0; k < 3; ++k)
            p[k] = std::uint8_t(a == 0 ? 0 : rng() % (a + 1));
        p[3] = std::uint8_t(a);
    }
    s.setAlpha(alpha);
}


int zlibCompress2(unsigned char* dest, unsigned long* destLen, const unsigned char* source, unsigned long sourceLen,
                  int level)
{
    return compress2(dest, destLen, source, sourceLen, level);
}

// Walks the chunks, checking every CRC with zlib's crc32.
void expectValidChunks(const Bytes& png)
{
    ASSERT_GT(png.size(), 8u);
    std::size_t pos = 8;
    std::string last;
    while (pos + 12 <= png.size()) {
        const std::uint32_t len = std::uint32_t(png[pos]) << 24 | png[pos + 1] << 16 | png[pos + 2] << 8 | png[pos + 3];
        ASSERT_LE(pos + 12 + len, png.size());
        const std::uint32_t stored = std::uint32_t(png[pos + 8 + len]) << 24 | png[pos + 9 + len] << 16 |
                                     png[pos + 10 + len] << 8 | png[pos + 11 + len];
        EXPECT_EQ(crc32(0, png.data() + pos + 4, len + 4), stored);
        last.assign(png.begin() + std::ptrdiff_t(pos + 4), png.begin() + std::ptrdiff_t(pos + 8));
        pos += 12 + len;
    }
    EXPECT_EQ(pos, png.size());
    EXPECT_EQ(last, "IEND");
}

struct RoundTrip {
    const char* name;
    bool alpha;
    bool useZlib;
    int width, height;
};

const RoundTrip kRoundTrips[] = {
    {"alphaCompressed", true, true, 37, 23},
    {"alphaStored", true, false, 37, 23},
    {"opaqueCompressed", false, true, 20, 9},
    {"opaqueStored", false, false, 300, 250},  // more than one stored block
};

class PngRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(PngRoundTrip, ReadsBackAsTheSamePixels)
{
    const RoundTrip& c = GetParam();
    c32bppDIB s;
    fill(s, c.width, c.height, c.alpha, 3);
    const Bytes png = encodePng(s.BitsPointer(), c.width, c.height, c.alpha, c.useZlib ? zlibCompress2 : nullptr);
    expectValidChunks(png);
    EXPECT_EQ(png[25], c.alpha ? 6 : 2);  // IHDR colour type

    const QImage image = QImage::fromData(png.data(), int(png.size()), "PNG");
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.width(), c.width);
    ASSERT_EQ(image.height(), c.height);
    EXPECT_EQ(image.hasAlphaChannel(), c.alpha);
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            const std::vector<int> want = px(s, x, y);
            const QRgb got = argb.pixel(x, y);
            if (!c.alpha) {
                ASSERT_EQ((std::vector<int>{qBlue(got), qGreen(got), qRed(got), qAlpha(got)}),
                          (std::vector<int>{want[0], want[1], want[2], 255}));
                continue;
            }
            ASSERT_EQ(qAlpha(got), want[3]);
            // Straight values premultiplied again come within rounding of the surface.
            const int a = want[3];
            const int back[3] = {(qBlue(got) * a + 127) / 255, (qGreen(got) * a + 127) / 255,
                                 (qRed(got) * a + 127) / 255};
            for (int k = 0; k < 3; ++k)
                ASSERT_NEAR(back[k], want[k], 1) << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(Cases, PngRoundTrip, ::testing::ValuesIn(kRoundTrips),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PngChecksums, MatchPublishedCheckValues)
{
    const std::string nine = "123456789";
    const std::span<const std::uint8_t> digits(reinterpret_cast<const std::uint8_t*>(nine.data()), nine.size());
    EXPECT_EQ(pngCrc32(0, digits), 0xCBF43926u);
    const std::string wiki = "Wikipedia";
    EXPECT_EQ(adler32(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(wiki.data()), wiki.size())),
              0x11E60398u);
    // Long runs of 0xFF need the sums reduced in time.
    const Bytes ones(200000, 0xFF);
    EXPECT_EQ(adler32(ones), std::uint32_t(::adler32(1, ones.data(), uInt(ones.size()))));
}

TEST(PngStoredBlocks, InflateWithZlib)
{
    for (std::size_t size : {std::size_t(1), std::size_t(65535), std::size_t(65536), std::size_t(140000)}) {
        Bytes raw(size);
        for (std::size_t i = 0; i < size; ++i)
            raw[i] = std::uint8_t(i * 31 + i / 256);
        const Bytes z = zlibStored(raw);
        Bytes back(size);
        uLongf backLen = uLongf(size);
        ASSERT_EQ(uncompress(back.data(), &backLen, z.data(), uLong(z.size())), Z_OK) << size;
        EXPECT_EQ(backLen, size);
        EXPECT_EQ(back, raw);
    }
}

TEST(PngSaveTo, ReplacesFilesAndArrays)
{
    QTemporaryDir dir;
    const QString name = dir.filePath("out.png");
    {
        QFile old(name);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old contents");
    }
    QFile::setPermissions(name, QFileDevice::ReadOwner);

    c32bppDIB empty;
    ByteArray unused;
    EXPECT_FALSE(cPNGparser().SaveTo(name, unused, empty));
    {
        QFile old(name);
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), QByteArray("old contents"));
    }

    c32bppDIB s;
    fill(s, 5, 4, true, 8);
    ASSERT_TRUE(cPNGparser().SaveTo(name, unused, s));
    QFile written(name);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray fileBytes = written.readAll();

    ByteArray out(Bytes(3, 9), 5);
    ASSERT_TRUE(cPNGparser().SaveTo(QString(), out, s));
    EXPECT_EQ(out.lowerBound, 0);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(out.data.data()), qsizetype(out.data.size())), fileBytes);
    expectValidChunks(out.data);
    EXPECT_FALSE(QImage::fromData(out.data.data(), int(out.data.size()), "PNG").isNull());
}

// Saving and loading again gives back exactly the surface's pixels, for
// every premultiplied value under every alpha (value x, alpha y; values
// above their alpha cannot occur in a premultiplied surface).
TEST(PngSaveTo, EveryValueUnderEveryAlphaLoadsBackUnchanged)
{
    for (bool useZlib : {true, false}) {
        c32bppDIB s;
        ASSERT_TRUE(s.InitializeDIB(256, 256));
        for (int a = 0; a < 256; ++a)
            for (int c = 0; c < 256; ++c) {
                std::uint8_t* p = s.BitsPointer() + (std::size_t(a) * 256 + std::size_t(c)) * 4;
                const int v = std::min(c, a);
                p[0] = std::uint8_t(v);
                p[1] = std::uint8_t(a - v);
                p[2] = std::uint8_t(v / 2);
                p[3] = std::uint8_t(a);
            }
        s.setAlpha(true);
        zlib::setSimulateAbsent(!useZlib);
        ByteArray png;
        const bool saved = cPNGparser().SaveTo(QString(), png, s);
        zlib::setSimulateAbsent(false);
        ASSERT_TRUE(saved);
        c32bppDIB back;
        ASSERT_TRUE(back.LoadPicture_Stream(png, 0, 0, 0, 0, false)) << back.LastErrorText();
        ASSERT_EQ(back.Width(), 256);
        ASSERT_EQ(back.Height(), 256);
        int changed = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                if (px(back, x, y) != px(s, x, y) && changed++ < 5)
                    ADD_FAILURE() << "value " << x << " alpha " << 255 - y << (useZlib ? "" : " (stored)");
        EXPECT_EQ(changed, 0);
    }
}

// Smooth pictures get filtered rows (and come out smaller for it); the
// filters undo exactly.
TEST(PngFilters, SmoothRowsAreFilteredAndReadBackExactly)
{
    struct Picture {
        const char* name;
        bool alpha;
        int (*value)(int x, int y, int k);
    };
    const Picture pictures[] = {
        {"horizontal ramp", false, [](int x, int, int k) { return (x * (k + 1)) & 255; }},
        {"vertical ramp", true, [](int, int y, int k) { return (y * 3 + k * 40) & 255; }},
        {"diagonal shading", false, [](int x, int y, int k) { return (x * 2 + y * 3 + (x * y) / 64 + k) & 255; }},
    };
    const int width = 97, height = 61;
    for (const Picture& picture : pictures) {
        c32bppDIB s;
        ASSERT_TRUE(s.InitializeDIB(width, height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                std::uint8_t* p = s.BitsPointer() + (std::size_t(height - 1 - y) * width + std::size_t(x)) * 4;
                for (int k = 0; k < 3; ++k)
                    p[k] = std::uint8_t(picture.value(x, y, k));
                p[3] = 255;
            }
        s.setAlpha(picture.alpha);
        const Bytes png = encodePng(s.BitsPointer(), width, height, picture.alpha, zlibCompress2);
        // The IDAT data (one chunk here) inflated: a filter byte before each row.
        const std::size_t idatLength =
            std::size_t(png[33]) << 24 | std::size_t(png[34]) << 16 | std::size_t(png[35]) << 8 | png[36];
        const std::size_t rowLength = 1 + std::size_t(width) * (picture.alpha ? 4 : 3);
        Bytes raw(rowLength * height);
        uLongf rawLength = uLongf(raw.size());
        ASSERT_EQ(uncompress(raw.data(), &rawLength, png.data() + 41, uLong(idatLength)), Z_OK) << picture.name;
        int filtered = 0;
        for (int y = 0; y < height; ++y)
            filtered += raw[std::size_t(y) * rowLength] != 0;
        EXPECT_GT(filtered, height / 2) << picture.name;
        EXPECT_LT(png.size(), raw.size() / 2) << picture.name;

        const QImage image = QImage::fromData(png.data(), int(png.size()), "PNG").convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(image.isNull()) << picture.name;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const QRgb got = image.pixel(x, y);
                ASSERT_EQ((std::vector<int>{qBlue(got), qGreen(got), qRed(got), qAlpha(got)}), px(s, x, y))
                    << picture.name << " at " << x << "," << y;
            }
    }
}

}  // namespace
