// The ICO and CUR reader: icons assembled byte by byte here, checked against
// colours worked out from their entries and against Qt's icon reader.
#include <gtest/gtest.h>

#include <random>

#include "imaging/formats/ico_parser.h"
#include "tests/imaging/image_test_util.h"
#include "platform/gdi/dib_convert.h"
#include "platform/picture/picture.h"

using namespace testutil;

namespace {

// One entry as the test describes it: straight ARGB pixels and a mask,
// both top-down.
struct Entry {
    int width = 0, height = 0, bitCount = 0;
    std::vector<QRgb> pixels;
    std::vector<bool> masked;
    int directoryBits = -1;  // what the directory says; -1: bitCount
    int headerBits = -1;     // what the BITMAPINFOHEADER says; -1: bitCount
    Bytes png;               // when set, the entry is this PNG
};

QRgb colourAt(int x, int y, int bitCount)
{
    if (bitCount <= 8) {
        // As many distinct colours as the depth holds, at most 16.
        const int levels = bitCount == 1 ? 2 : bitCount == 4 ? 16 : 16;
        const int i = (x + 3 * y) % levels;
        return qRgb(i * 16, 255 - i * 16, (i * 40) % 256);
    }
    if (bitCount == 16)  // 5-bit channels survive exactly when their low 3 bits are 0
        return qRgb((x * 8) % 256, (y * 16) % 256, 248);
    return qRgba(x * 9 % 256, y * 11 % 256, (x + y) * 5 % 256, bitCount == 32 ? (x * 37 + y) % 256 : 255);
}

Entry makeEntry(int width, int height, int bitCount, unsigned maskSeed = 1)
{
    Entry e;
    e.width = width;
    e.height = height;
    e.bitCount = bitCount;
    std::mt19937 rng(maskSeed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            e.pixels.push_back(colourAt(x, y, bitCount));
            e.masked.push_back(maskSeed != 0 && rng() % 4 == 0);
        }
    return e;
}

// The BITMAPINFOHEADER, full palette, colour rows and mask rows of an entry.
Bytes bitmapData(const Entry& e)
{
    Bytes b;
    putInfoHeader(b, e.width, 2 * e.height, std::uint16_t(e.headerBits >= 0 ? e.headerBits : e.bitCount));
    std::vector<QRgb> palette;
    if (e.bitCount <= 8) {
        for (QRgb c : e.pixels)
            if (std::find(palette.begin(), palette.end(), c) == palette.end())
                palette.push_back(c);
        palette.resize(std::size_t(1) << e.bitCount, 0);
        for (QRgb c : palette)
            b.insert(b.end(), {std::uint8_t(qBlue(c)), std::uint8_t(qGreen(c)), std::uint8_t(qRed(c)), 0});
    }
    const std::size_t row = std::size_t(gdi::rowStride(e.bitCount, e.width));
    const std::size_t maskRow = std::size_t(gdi::rowStride(1, e.width));
    Bytes colour(row * e.height), mask(maskRow * e.height);
    for (int y = 0; y < e.height; ++y) {
        std::uint8_t* dst = colour.data() + std::size_t(e.height - 1 - y) * row;
        std::uint8_t* m = mask.data() + std::size_t(e.height - 1 - y) * maskRow;
        for (int x = 0; x < e.width; ++x) {
            const QRgb c = e.pixels[std::size_t(y) * e.width + x];
            if (e.masked[std::size_t(y) * e.width + x])
                m[x / 8] |= std::uint8_t(0x80 >> (x % 8));
            if (e.bitCount <= 8) {
                const std::size_t i = std::size_t(std::find(palette.begin(), palette.end(), c) - palette.begin());
                const int bitPos = x * e.bitCount;
                dst[bitPos / 8] |= std::uint8_t(i << (8 - e.bitCount - bitPos % 8));
            } else if (e.bitCount == 16) {
                const unsigned v = unsigned(qRed(c) >> 3) << 10 | unsigned(qGreen(c) >> 3) << 5 | unsigned(qBlue(c) >> 3);
                dst[x * 2] = std::uint8_t(v);
                dst[x * 2 + 1] = std::uint8_t(v >> 8);
            } else {
                const int n = e.bitCount / 8;
                dst[x * n] = std::uint8_t(qBlue(c));
                dst[x * n + 1] = std::uint8_t(qGreen(c));
                dst[x * n + 2] = std::uint8_t(qRed(c));
                if (n == 4)
                    dst[x * n + 3] = std::uint8_t(qAlpha(c));
            }
        }
    }
    b.insert(b.end(), colour.begin(), colour.end());
    b.insert(b.end(), mask.begin(), mask.end());
    return b;
}

Bytes makeIcon(const std::vector<Entry>& entries, std::uint16_t type = 1)
{
    Bytes file;
    put16(file, 0);
    put16(file, type);
    put16(file, std::uint16_t(entries.size()));
    std::vector<Bytes> data;
    std::size_t offset = 6 + 16 * entries.size();
    for (const Entry& e : entries) {
        data.push_back(e.png.empty() ? bitmapData(e) : e.png);
        file.push_back(std::uint8_t(e.width == 256 ? 0 : e.width));
        file.push_back(std::uint8_t(e.height == 256 ? 0 : e.height));
        file.push_back(0);
        file.push_back(0);
        put16(file, 1);
        put16(file, std::uint16_t(e.directoryBits >= 0 ? e.directoryBits : e.bitCount));
        put32(file, std::uint32_t(data.back().size()));
        put32(file, std::uint32_t(offset));
        offset += data.back().size();
    }
    for (const Bytes& d : data)
        file.insert(file.end(), d.begin(), d.end());
    return file;
}

ReadOutcome load(const Bytes& icon, c32bppDIB& s, int cx = 0, int cy = 0)
{
    return cICOparser().LoadStream(array(icon), cx, cy, s, 0, std::int32_t(icon.size()));
}

// The surface pixel an entry's pixel must become.
std::vector<int> expected(const Entry& e, int x, int y)
{
    const std::size_t i = std::size_t(y) * e.width + x;
    const QRgb c = e.pixels[i];
    if (e.bitCount == 32)
        return premultiplied(c);
    if (e.masked[i])
        return {0, 0, 0, 0};
    return {qBlue(c), qGreen(c), qRed(c), 255};
}

void expectEntry(const c32bppDIB& s, const Entry& e)
{
    ASSERT_NE(s.Handle(), nullptr);
    ASSERT_EQ(s.Width(), e.width);
    ASSERT_EQ(s.Height(), e.height);
    for (int y = 0; y < e.height; ++y)
        for (int x = 0; x < e.width; ++x) {
            const std::vector<int> got = px(s, x, y);
            const std::vector<int> want = expected(e, x, y);
            // 5-bit channels widen to 8 bits by scaling, never more than 7 off.
            const int tolerance = e.bitCount == 16 ? 7 : 0;
            for (int k = 0; k < 4; ++k)
                ASSERT_NEAR(got[k], want[k], tolerance) << x << "," << y << " byte " << k;
        }
}

struct DepthCase {
    const char* name;
    int size, bitCount;
    std::uint16_t type;
    std::int32_t imageType;
};

const DepthCase kDepthCases[] = {
    {"oneBit", 32, 1, 1, ImageIcon},          {"fourBits", 16, 4, 1, ImageIcon},
    {"eightBits", 48, 8, 1, ImageIcon},       {"sixteenBits", 20, 16, 1, ImageIcon},
    {"twentyFourBits", 24, 24, 1, ImageIcon}, {"thirtyTwoBits", 32, 32, 1, ImageIconARGB},
    {"cursorEightBits", 32, 8, 2, ImageCursor}, {"cursorThirtyTwo", 32, 32, 2, ImageCursorARGB},
    // Full width for the mask rows: 256 is stored as 0 in the directory.
    {"wide256FourBits", 256, 4, 1, ImageIcon},
};

class IcoDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(IcoDepth, LoadsWithItsMaskOrAlpha)
{
    const DepthCase& c = GetParam();
    const Entry e = makeEntry(c.size, c.size, c.bitCount);
    c32bppDIB s;
    EXPECT_EQ(load(makeIcon({e}, c.type), s), ReadOutcome::Accepted);
    expectEntry(s, e);
    EXPECT_EQ(s.ImageType(), c.imageType);
    EXPECT_TRUE(s.Alpha());
}

INSTANTIATE_TEST_SUITE_P(Depths, IcoDepth, ::testing::ValuesIn(kDepthCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IcoReader, AgreesWithQtsIconReader)
{
    // Qt's reader ignores the AND mask of 24-bit entries, so those are left out.
    for (int bits : {1, 4, 8, 32}) {
        const Bytes icon = makeIcon({makeEntry(16, 16, bits, 7)});
        const QImage reference = QImage::fromData(icon.data(), int(icon.size()), "ICO");
        ASSERT_FALSE(reference.isNull()) << bits;
        const QImage argb = reference.convertToFormat(QImage::Format_ARGB32);
        c32bppDIB s;
        load(icon, s);
        ASSERT_NE(s.Handle(), nullptr);
        // Qt may round partial alpha through its own premultiplied form.
        const int tolerance = bits == 32 ? 1 : 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const std::vector<int> got = px(s, x, y), want = premultiplied(argb.pixel(x, y));
                for (int k = 0; k < 4; ++k)
                    ASSERT_NEAR(got[k], want[k], tolerance) << bits << ": " << x << "," << y;
            }
    }
}

TEST(IcoReader, HeaderAndDirectoryStandInForEachOthersMissingDepth)
{
    Entry dirZero = makeEntry(16, 16, 8);
    dirZero.directoryBits = 0;
    Entry headerZero = makeEntry(16, 16, 8, 3);
    headerZero.headerBits = 0;
    for (const Entry& e : {dirZero, headerZero}) {
        c32bppDIB s;
        EXPECT_EQ(load(makeIcon({e}), s), ReadOutcome::Accepted);
        expectEntry(s, e);
    }
    Entry bothZero = makeEntry(16, 16, 8);
    bothZero.directoryBits = 0;
    bothZero.headerBits = 0;
    c32bppDIB s;
    EXPECT_EQ(load(makeIcon({bothZero}), s), ReadOutcome::NotMine);
}

TEST(IcoReader, ZeroAlphaWinsOverAClearMask)
{
    Entry e = makeEntry(8, 8, 32, 0);  // seed 0: no mask bit set
    for (QRgb& c : e.pixels)
        c = qRgba(qRed(c), qGreen(c), qBlue(c), 0);
    c32bppDIB s;
    load(makeIcon({e}), s);
    expectEntry(s, e);
    EXPECT_EQ(px(s, 3, 3), (std::vector<int>{0, 0, 0, 0}));
}

TEST(IcoChoice, ScoresFollowSizeAndDepth)
{
    auto entry = [](int size, int bits) {
        IconDirEntry e;
        e.widthByte = std::uint8_t(size == 256 ? 0 : size);
        e.heightByte = e.widthByte;
        e.bitCount = bits;
        return e;
    };
    struct Case {
        const char* name;
        std::vector<IconDirEntry> entries;
        int cx, cy;
        int chosen;
    };
    const Case cases[] = {
        {"zeroMeansThirtyTwo", {entry(16, 32), entry(32, 32)}, 0, 0, 1},
        {"smallestPositiveScore", {entry(16, 32), entry(32, 32)}, 24, 24, 1},  // scores -32 and 16
        {"passTwoTakesTheClosest", {entry(16, 32), entry(32, 32)}, 48, 48, 1},
        {"firstOfEqualsInPassOne", {entry(32, 8), entry(32, 8)}, 16, 16, 0},
        {"lastOfEqualsInPassTwo", {entry(16, 32), entry(16, 32)}, 48, 48, 1},
        {"exactMatchAtOnce", {entry(48, 32), entry(32, 32), entry(32, 24)}, 32, 32, 1},
        {"depthCounts", {entry(32, 4), entry(32, 24)}, 32, 32, 1},
        {"largerPreferred", {entry(16, 32), entry(256, 32)}, 32, 32, 1},
        {"singleWithoutDepth", {entry(16, 0)}, 16, 16, -1},
        {"depthlessSkippedInPassOne", {entry(16, 0), entry(64, 32)}, 32, 32, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(chooseIconEntry(c.entries, c.cx, c.cy), c.chosen) << c.name;
}

TEST(IcoReader, LoadsTheChosenEntry)
{
    const Entry small = makeEntry(16, 16, 32, 2);
    const Entry large = makeEntry(32, 32, 32, 3);
    const Bytes icon = makeIcon({small, large});
    c32bppDIB s;
    load(icon, s, 24, 24);
    expectEntry(s, large);
    c32bppDIB t;
    load(icon, t, 16, 16);
    expectEntry(t, small);
}

TEST(IcoReader, PngEntryGoesToThePngReader)
{
    QImage image(256, 256, QImage::Format_ARGB32);
    image.fill(qRgba(10, 200, 30, 128));
    Entry png;
    png.width = png.height = 256;
    png.png = encodeWithQt(image, "PNG");
    const Bytes icon = makeIcon({makeEntry(16, 16, 8), png});
    c32bppDIB s;
    EXPECT_EQ(load(icon, s, 256, 256), ReadOutcome::Accepted);
    ASSERT_NE(s.Handle(), nullptr);
    EXPECT_EQ(s.Width(), 256);
    EXPECT_EQ(s.ImageType(), ImagePNGIcon);
}

TEST(IcoReader, BadDirectoriesAreNotIcons)
{
    const Bytes good = makeIcon({makeEntry(16, 16, 8)});
    auto with = [&good](std::size_t at, std::uint8_t value) {
        Bytes b = good;
        b[at] = value;
        return b;
    };
    Bytes sizesTooLarge = good;
    set32(sizesTooLarge, 6 + 8, std::uint32_t(good.size()));
    const std::pair<const char*, Bytes> cases[] = {
        {"reservedOne", with(0, 1)},   {"typeThree", with(2, 3)},           {"countZero", with(4, 0)},
        {"countNegative", with(5, 0x80)}, {"sizesPastTheEnd", sizesTooLarge}, {"tooShort", Bytes(good.begin(), good.begin() + 5)},
    };
    for (const auto& [name, bytes] : cases) {
        c32bppDIB s;
        EXPECT_EQ(load(bytes, s), ReadOutcome::NotMine) << name;
        EXPECT_EQ(s.Handle(), nullptr) << name;
    }
}

TEST(IcoReader, OffsetsOutsideTheDataFailCleanly)
{
    Bytes offsetPastEnd = makeIcon({makeEntry(16, 16, 8)});
    set32(offsetPastEnd, 6 + 12, 0x7FFFFFF0);
    Bytes maskCut = makeIcon({makeEntry(16, 16, 8)});
    set32(maskCut, 6 + 8, 40);  // the mask would start before the entry
    Bytes rowsPastEnd = makeIcon({makeEntry(16, 16, 24)});
    rowsPastEnd[6] = 200;  // the directory claims 200 pixels wide
    for (const Bytes& bad : {offsetPastEnd, maskCut, rowsPastEnd}) {
        c32bppDIB s;
        EXPECT_EQ(load(bad, s), ReadOutcome::Failed);
        EXPECT_EQ(s.Handle(), nullptr);
    }
}

TEST(IcoReader, RandomDamageNeverCrashes)
{
    const Bytes good = makeIcon({makeEntry(16, 16, 4), makeEntry(32, 32, 32)});
    std::mt19937 rng(5);
    for (int round = 0; round < 3000; ++round) {
        Bytes bad = good;
        for (int k = 0; k < 2; ++k)
            bad[rng() % 70] = std::uint8_t(rng());  // the header and directory
        bad[rng() % bad.size()] = std::uint8_t(rng());
        c32bppDIB s;
        const ReadOutcome outcome = load(bad, s, int(rng() % 300), int(rng() % 300));
        if (outcome != ReadOutcome::Accepted) {
            EXPECT_EQ(s.Handle(), nullptr);
        }
    }
}

TEST(IcoPicture, IconPictureObjectsConvertWithTheirMask)
{
    const Entry e = makeEntry(32, 32, 8, 9);
    const Bytes icon = makeIcon({e});
    const auto pic = picture::ArrayToPicture(icon);
    ASSERT_NE(pic, nullptr);
    ASSERT_EQ(pic->Type(), picture::PICTYPE_ICON);
    c32bppDIB s;
    ASSERT_TRUE(cICOparser().ConvertstdPicTo32bpp(pic.get(), s));
    expectEntry(s, e);
    EXPECT_EQ(s.ImageType(), ImageIcon);
    EXPECT_TRUE(s.Alpha());

    QImage bitmapImage(4, 4, QImage::Format_RGB32);
    bitmapImage.fill(Qt::red);
    const auto bitmap = picture::ArrayToPicture(encodeWithQt(bitmapImage, "BMP"));
    ASSERT_NE(bitmap, nullptr);
    EXPECT_FALSE(cICOparser().ConvertstdPicTo32bpp(bitmap.get(), s));
    EXPECT_FALSE(cICOparser().ConvertstdPicTo32bpp(nullptr, s));
}

}  // namespace
