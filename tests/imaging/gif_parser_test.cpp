// The GIF reader against GIFs written by libgif's encoder (a test-only
// dependency), with the expected pixels worked out from the images' own
// indices and tables; libgif's decoder cross-checks the LZW decoder.
#include <gtest/gtest.h>

#include <gif_lib.h>

#include <random>

#include <QFile>
#include <QTemporaryDir>

#include "imaging/formats/gif_lzw.h"
#include "imaging/formats/gif_parser.h"
#include "platform/picture/picture.h"
#include "tests/imaging/image_test_util.h"

using namespace testutil;

namespace {

struct Frame {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlace = false;
    std::vector<GifColorType> localMap;
    std::vector<std::uint8_t> indices;  // top-down rows
    std::vector<std::array<std::uint8_t, 4>> controls;  // graphic control extensions before the frame
};

struct GifPlan {
    int screenWidth = 0, screenHeight = 0;
    std::vector<GifColorType> globalMap;
    bool gif89 = true;
    std::vector<Frame> frames;
};

int writeToVector(GifFileType* gif, const GifByteType* data, int length)
{
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

std::array<std::uint8_t, 4> control(int transparent)
{
    return {std::uint8_t(transparent >= 0 ? 1 : 0), 0, 0, std::uint8_t(transparent >= 0 ? transparent : 0)};
}

Bytes encodeGif(const GifPlan& plan)
{
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeToVector, &error);
    EXPECT_NE(gif, nullptr);
    EGifSetGifVersion(gif, plan.gif89);
    ColorMapObject* global =
        plan.globalMap.empty() ? nullptr : GifMakeMapObject(int(plan.globalMap.size()), plan.globalMap.data());
    EGifPutScreenDesc(gif, plan.screenWidth, plan.screenHeight, 8, 0, global);
    for (const Frame& f : plan.frames) {
        for (const auto& gce : f.controls)
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce.data());
        ColorMapObject* local =
            f.localMap.empty() ? nullptr : GifMakeMapObject(int(f.localMap.size()), f.localMap.data());
        EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlace, local);
        // An interlaced image is written in its stored row order.
        std::vector<int> rows;
        const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < (f.interlace ? 4 : 1); ++pass)
            for (int y = f.interlace ? starts[pass] : 0; y < f.height; y += f.interlace ? steps[pass] : 1)
                rows.push_back(y);
        for (int y : rows)
            EGifPutLine(gif, const_cast<GifPixelType*>(f.indices.data() + std::size_t(y) * f.width), f.width);
        if (local)
            GifFreeMapObject(local);
    }
    EGifCloseFile(gif, &error);
    if (global)
        GifFreeMapObject(global);
    return out;
}

std::vector<GifColorType> palette(int count)
{
    std::vector<GifColorType> map(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        map[std::size_t(i)] = {std::uint8_t(i * 7 + 3), std::uint8_t(255 - i), std::uint8_t(i * 13 % 256)};
    return map;
}

std::vector<std::uint8_t> pattern(int width, int height, int colours, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> indices(std::size_t(width) * height);
    for (auto& i : indices)
        i = std::uint8_t(rng() % colours);
    return indices;
}

// What the surface must hold for frame 0: table colours, the transparent
// index all zero.
void expectFrame(const c32bppDIB& s, const Frame& f, const std::vector<GifColorType>& table, int transparent)
{
    ASSERT_NE(s.Handle(), nullptr);
    ASSERT_EQ(s.Width(), f.width);
    ASSERT_EQ(s.Height(), f.height);
    EXPECT_EQ(s.ImageType(), ImageGIF);
    EXPECT_EQ(s.Alpha(), transparent >= 0);
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const int i = f.indices[std::size_t(y) * f.width + x];
            const std::vector<int> want = i == transparent
                                              ? std::vector<int>{0, 0, 0, 0}
                                              : std::vector<int>{table[i].Blue, table[i].Green, table[i].Red, 255};
            ASSERT_EQ(px(s, x, y), want) << x << "," << y;
        }
}

ReadOutcome load(const Bytes& gif, c32bppDIB& s)
{
    return cGIFparser().LoadStream(array(gif), s, 0, std::int32_t(gif.size()));
}

Frame frame(int width, int height, int colours, unsigned seed)
{
    Frame f;
    f.width = width;
    f.height = height;
    f.indices = pattern(width, height, colours, seed);
    return f;
}

TEST(GifReader, Version87aWithGlobalTable)
{
    GifPlan plan{9, 5, palette(4), false, {frame(9, 5, 4, 1)}};
    const Bytes gif = encodeGif(plan);
    ASSERT_EQ(std::string(gif.begin(), gif.begin() + 6), "GIF87a");
    c32bppDIB s;
    EXPECT_EQ(load(gif, s), ReadOutcome::Accepted);
    expectFrame(s, plan.frames[0], plan.globalMap, -1);
}

struct DepthCase {
    const char* name;
    int colours;
    int transparent;
    bool localTable;
    bool interlace;
};

const DepthCase kDepthCases[] = {
    {"oneBitOpaque", 2, -1, false, false},       {"oneBitTransparent", 2, 1, false, false},
    {"fourBitsOpaque", 16, -1, false, false},    {"fourBitsTransparent", 16, 9, false, false},
    {"eightBitsOpaque", 256, -1, false, false},  {"eightBitsTransparent", 256, 200, false, false},
    {"localTransparent", 16, 3, true, false},    {"interlaced", 8, -1, false, true},
    {"interlacedTransparent", 8, 0, true, true},
};

class GifDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(GifDepth, ColoursAndTransparencyFollowTheTable)
{
    const DepthCase& c = GetParam();
    Frame f = frame(13, 19, c.colours, 7);
    if (c.transparent >= 0)
        f.controls.push_back(control(c.transparent));
    f.interlace = c.interlace;
    GifPlan plan{13, 19, {}, true, {}};
    if (c.localTable)
        f.localMap = palette(c.colours);
    else
        plan.globalMap = palette(c.colours);
    plan.frames.push_back(f);
    c32bppDIB s;
    EXPECT_EQ(load(encodeGif(plan), s), ReadOutcome::Accepted);
    expectFrame(s, f, palette(c.colours), c.transparent);
}

INSTANTIATE_TEST_SUITE_P(Tables, GifDepth, ::testing::ValuesIn(kDepthCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GifReader, AnimatedGifYieldsItsFirstFrameAtItsOwnSize)
{
    Frame first = frame(5, 6, 4, 3);
    first.left = 3;
    first.top = 4;
    first.controls.push_back(control(2));
    Frame second = frame(20, 20, 4, 4);
    second.controls.push_back(control(-1));
    GifPlan plan{20, 20, palette(4), true, {first, second}};
    c32bppDIB s;
    EXPECT_EQ(load(encodeGif(plan), s), ReadOutcome::Accepted);
    expectFrame(s, first, plan.globalMap, 2);
}

TEST(GifReader, TheLastControlExtensionBeforeTheImageApplies)
{
    Frame f = frame(6, 4, 4, 5);
    f.controls = {control(1), control(3)};
    GifPlan plan{6, 4, palette(4), true, {f}};
    c32bppDIB s;
    load(encodeGif(plan), s);
    expectFrame(s, f, plan.globalMap, 3);

    plan.frames[0].controls = {control(1), control(-1)};
    c32bppDIB t;
    load(encodeGif(plan), t);
    expectFrame(t, f, plan.globalMap, -1);
}

TEST(GifReader, OnlyTheTransparentIndexOfTwoEqualColoursIsTransparent)
{
    std::vector<GifColorType> map = palette(4);
    map[2] = map[1];
    Frame f = frame(8, 8, 4, 6);
    f.controls.push_back(control(2));
    GifPlan plan{8, 8, map, true, {f}};
    c32bppDIB s;
    load(encodeGif(plan), s);
    expectFrame(s, f, map, 2);
}

TEST(GifReader, SignatureIsCheckedWithoutCase)
{
    GifPlan plan{4, 4, palette(2), true, {frame(4, 4, 2, 8)}};
    Bytes gif = encodeGif(plan);
    gif[5] = 'A';
    c32bppDIB s;
    EXPECT_EQ(load(gif, s), ReadOutcome::Accepted);
    gif[4] = '8';
    EXPECT_EQ(load(gif, s), ReadOutcome::NotMine);
}

TEST(GifReader, NoColourTableAtAllIsNotTaken)
{
    // libgif refuses to write such a file: 1 x 1, no tables, codes clear, 0, end.
    const Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0,     // screen, no global table
                       44,  0,   0,   0,   0,   1,   0, 1, 0, 0,             // descriptor, no local table
                       2,   2,   0x44, 0x01, 0, 59};                         // code size, data, trailer
    c32bppDIB s;
    EXPECT_EQ(load(gif, s), ReadOutcome::NotMine);
    EXPECT_EQ(s.Handle(), nullptr);
}

TEST(GifReader, HugeSizeClaimedByATinyFileIsRefusedBeforeAllocating)
{
    // 20000 x 20000 with a two-colour global table and three codes of data.
    const Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 0x20, 0x4E, 0x20, 0x4E, 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
                       44,  0,   0,   0,   0,   0x20, 0x4E, 0x20, 0x4E, 0,
                       2,   2,   0x44, 0x01, 0, 59};
    constexpr std::int64_t kDescriptor = 19;
    GifIndexImage image;
    EXPECT_EQ(decodeGifImage(gif, kDescriptor, std::int64_t(1) << 40, image), GifDecodeError::SizeBeyondData);
    EXPECT_TRUE(image.indices.empty());
    EXPECT_EQ(decodeGifImage(gif, kDescriptor, 20000 * 20000 - 1, image), GifDecodeError::TooManyPixels);
    EXPECT_TRUE(image.indices.empty());
    // A GIF that fails loads nothing, and no later reader gets to try.
    c32bppDIB s;
    s.setPixelLimit(std::int64_t(1) << 40);
    EXPECT_EQ(load(gif, s), ReadOutcome::Accepted);
    EXPECT_EQ(s.Handle(), nullptr);
    EXPECT_EQ(s.LastError(), LoadError::SizeBeyondData);
    c32bppDIB limited;
    EXPECT_EQ(load(gif, limited), ReadOutcome::Accepted);
    EXPECT_EQ(limited.LastError(), LoadError::TooManyPixels);
}

TEST(GifLzw, NoiseDecodesAsLibgifDecodesIt)
{
    // Random 8-bit noise fills the code table many times over, so the
    // encoder's clear codes and the 12-bit limit are exercised.
    GifPlan plan{160, 120, palette(256), true, {frame(160, 120, 256, 10)}};
    plan.frames[0].interlace = true;
    const Bytes gif = encodeGif(plan);

    // No extensions: the descriptor follows the 256-entry global table.
    GifIndexImage mine;
    ASSERT_EQ(decodeGifImage(gif, 13 + 3 * 256, std::int64_t(1) << 40, mine), GifDecodeError::None);

    struct Reader {
        const Bytes* bytes;
        std::size_t pos;
    } reader{&gif, 0};
    auto readFn = [](GifFileType* g, GifByteType* buf, int n) -> int {
        auto* r = static_cast<Reader*>(g->UserData);
        const int count = int(std::min<std::size_t>(std::size_t(n), r->bytes->size() - r->pos));
        std::copy_n(r->bytes->begin() + std::ptrdiff_t(r->pos), count, buf);
        r->pos += std::size_t(count);
        return count;
    };
    int error = 0;
    GifFileType* ref = DGifOpen(&reader, readFn, &error);
    ASSERT_NE(ref, nullptr);
    ASSERT_EQ(DGifSlurp(ref), GIF_OK);
    const SavedImage& image = ref->SavedImages[0];
    EXPECT_EQ(mine.indices, std::vector<std::uint8_t>(image.RasterBits, image.RasterBits + 160 * 120));
    EXPECT_EQ(mine.indices, plan.frames[0].indices);
    DGifCloseFile(ref, &error);
}

TEST(GifLzw, LongRunsDecodeAsLibgifDecodesThem)
{
    // Flat areas make long strings: copies of many bytes at once, strings
    // that overlap their own copy (a run of one colour), and strings that
    // run into the end of the image. Widths of 1 to 67 cut the strings at
    // every offset of a word.
    for (int width : {1, 7, 8, 9, 31, 67}) {
        const int height = 4000 / width + 3;
        Frame f;
        f.width = width;
        f.height = height;
        f.indices.resize(std::size_t(width) * height);
        std::mt19937 rng{unsigned(width)};
        for (std::size_t i = 0; i < f.indices.size(); ++i)
            f.indices[i] = (i / 300) % 3 == 0 ? std::uint8_t(5) : (i / 41) % 2 ? std::uint8_t(i % 13) : std::uint8_t(rng() % 4);
        GifPlan plan{width, height, palette(16), true, {f}};
        const Bytes gif = encodeGif(plan);
        GifIndexImage mine;
        ASSERT_EQ(decodeGifImage(gif, 13 + 3 * 16, std::int64_t(1) << 40, mine), GifDecodeError::None) << width;
        EXPECT_EQ(mine.indices, f.indices) << width;
        // Every prefix of the image decodes to the same first pixels: the
        // output's end may fall anywhere in a string.
        const std::int64_t data = 13 + 3 * 16 + 10;  // the LZW minimum code size byte
        std::vector<std::uint8_t> codes;
        for (std::int64_t pos = data + 1; gif[std::size_t(pos)] != 0; pos += 1 + gif[std::size_t(pos)])
            codes.insert(codes.end(), gif.begin() + pos + 1, gif.begin() + pos + 1 + gif[std::size_t(pos)]);
        for (std::size_t size : {std::size_t(1), std::size_t(299), std::size_t(301), f.indices.size() - 1}) {
            std::vector<std::uint8_t> out(size, 0xEE);
            ASSERT_EQ(decodeGifLzw(codes, gif[std::size_t(data)], out), GifDecodeError::None) << width << " " << size;
            EXPECT_TRUE(std::equal(out.begin(), out.end(), f.indices.begin())) << width << " " << size;
        }
    }
}

// Hand-made code streams, minimum code size 2 (clear 4, end 5, 3-bit codes
// packed from the lowest bit).
TEST(GifLzw, HandMadeCodeStreams)
{
    struct Case {
        const char* name;
        Bytes data;
        int minCodeSize;
        std::size_t outSize;
        GifDecodeError error;
        Bytes expected;
    };
    const Case cases[] = {
        // clear, 1, 6 (the entry being made: 1 1), end
        {"kwkwk", {0x8C, 0x0B}, 2, 3, GifDecodeError::None, {1, 1, 1}},
        // clear, 1, 7: no entry 7 yet
        {"codePastTable", {0xCC, 0x01}, 2, 3, GifDecodeError::BadCode, {}},
        // clear, 6: the first code after a clear must be a literal
        {"firstCodeNotLiteral", {0x34}, 2, 3, GifDecodeError::BadCode, {}},
        // clear, 1, then two bits of a code
        {"cutShort", {0x8C}, 2, 3, GifDecodeError::Truncated, {}},
        // clear, 1, end before three pixels
        {"endTooEarly", {0x4C, 0x01}, 2, 3, GifDecodeError::Truncated, {}},
        {"codeSizeNine", {0x00}, 9, 1, GifDecodeError::BadCodeSize, {}},
        {"codeSizeOne", {0x00}, 1, 1, GifDecodeError::BadCodeSize, {}},
    };
    for (const Case& c : cases) {
        Bytes out(c.outSize, 0xEE);
        EXPECT_EQ(decodeGifLzw(c.data, c.minCodeSize, out), c.error) << c.name;
        if (c.error == GifDecodeError::None) {
            EXPECT_EQ(out, c.expected) << c.name;
        }
    }
}

TEST(GifReader, CutAndDamagedFilesNeverLoadHalfAnImage)
{
    Frame f = frame(11, 7, 16, 11);
    f.controls.push_back(control(4));
    GifPlan plan{11, 7, palette(16), true, {f}};
    const Bytes gif = encodeGif(plan);
    // Every prefix: either nothing with a reason, or (with the image data
    // complete) the image. Once the signature is there the GIF reader keeps
    // the bytes (Accepted), so no later reader shows half a picture.
    for (std::size_t n = 0; n <= gif.size(); ++n) {
        Bytes cut(gif.begin(), gif.begin() + std::ptrdiff_t(n));
        cut.push_back(0);  // keeps a zero-length array out of the way
        c32bppDIB s;
        const ReadOutcome outcome = cGIFparser().LoadStream(array(cut), s, 0, std::int32_t(n));
        if (s.Handle()) {
            expectFrame(s, f, plan.globalMap, 4);
        } else {
            EXPECT_TRUE(outcome == ReadOutcome::NotMine || s.LastError() != LoadError::None) << n;
            EXPECT_EQ(outcome == ReadOutcome::Accepted, n >= 6) << n;
        }
    }
    // Random damage: any outcome, but never a crash, and a reason on failure.
    std::mt19937 rng(12);
    for (int round = 0; round < 3000; ++round) {
        Bytes bad = gif;
        for (int k = 0; k < 3; ++k)
            bad[rng() % bad.size()] = std::uint8_t(rng());
        c32bppDIB s;
        const ReadOutcome outcome = load(bad, s);
        if (outcome == ReadOutcome::Accepted && !s.Handle()) {
            EXPECT_NE(s.LastError(), LoadError::None);
        }
        if (outcome != ReadOutcome::Accepted) {
            EXPECT_EQ(s.Handle(), nullptr);
        }
    }
}

// The front door keeps to the GIF reader's verdict for files too: a GIF cut
// inside its image data loads nothing, although the platform's own picture
// loader (the BMP reader's fallback) would show the half it can decode.
TEST(GifReader, CutInsideTheImageDataLoadsNothingFromAFileEither)
{
    GifPlan plan{24, 16, palette(16), true, {frame(24, 16, 16, 5)}};
    const Bytes gif = encodeGif(plan);
    const std::size_t dataStart = 13 + 3 * 16 + 10 + 1;  // screen, table, descriptor, code size
    ASSERT_GT(gif.size(), dataStart + 40);
    QTemporaryDir dir;
    const struct {
        const char* name;
        std::size_t length;
    } cuts[] = {
        {"inside the first sub-block", dataStart + 20},
        {"a byte short of the image data", gif.size() - 3},
        {"before the terminating block", gif.size() - 2},
    };
    for (const auto& cut : cuts) {
        const Bytes bytes(gif.begin(), gif.begin() + std::ptrdiff_t(cut.length));
        ASSERT_NE(picture::ArrayToPicture(bytes, 1 << 20), nullptr) << cut.name;  // what a fallback would show
        const QString path = dir.filePath(QString::fromLatin1(cut.name) + ".gif");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        file.close();
        c32bppDIB fromFile, fromArray;
        EXPECT_FALSE(fromFile.LoadPicture_File(path, 0, 0, true)) << cut.name;
        EXPECT_EQ(fromFile.Handle(), nullptr) << cut.name;
        EXPECT_EQ(fromFile.LastError(), LoadError::Truncated) << cut.name;
        EXPECT_FALSE(fromArray.LoadPicture_Stream(array(bytes), 0, 0, 0, 0, false)) << cut.name;
        EXPECT_EQ(fromArray.LastError(), LoadError::Truncated) << cut.name;
    }
}

}  // namespace
