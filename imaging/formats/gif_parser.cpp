// The GIF reader: the walk finds the first image, its colour table and the
// transparent index; the image is decoded to colour indices in place and
// mapped through the true colour table. Once the signature says GIF, any
// failure loads nothing and no later reader is tried.
#include "imaging/formats/gif_parser.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstring>
#include <string>

#include "imaging/formats/gif_lzw.h"
#include "imaging/formats/byte_view.h"
#include "imaging/surface/c32bppdib.h"
#include "platform/language/language.h"

namespace {

constexpr std::uint8_t kExtension = 33;
constexpr std::uint8_t kImageDescriptor = 44;
constexpr std::uint8_t kApplicationLabel = 255;
constexpr std::uint8_t kGraphicControlLabel = 249;
constexpr std::int64_t kGraphicControlSize = 8;
constexpr std::int64_t kScreenEnd = 13;

enum class Walk { Ok, NotGif, Broken };

// Where the walk found things, as offsets in the source.
struct GifLayout {
    std::int64_t tableEnd = kScreenEnd;  // P_ct: end of the global colour table
    std::int32_t colourCount = 0;        // C, of the table that applies
    std::int64_t tablePos = kScreenEnd;  // the table that applies
    std::int32_t transparent = -1;       // T
    std::int64_t imagePos = 0;           // P_img
    std::int64_t imageEnd = 0;           // P_end
};

bool isGifSignature(const ByteView& v)
{
    const auto sig = v.sub(0, 6);
    if (sig.empty())
        return false;
    std::string text(sig.begin(), sig.end());
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text == "gif89a" || text == "gif87a";
}

// Steps over the extensions in front of the first image, remembering the
// last graphic control extension.
Walk walkExtensions(const ByteView& v, GifLayout& g, std::int64_t& pos)
{
    for (;;) {
        const auto b = v.u8(pos);
        if (!b)
            return Walk::Broken;
        if (*b == 0) {
            ++pos;
            continue;
        }
        if (*b != kExtension)
            return Walk::Ok;
        const auto label = v.u8(pos + 1);
        if (!label)
            return Walk::Broken;
        if (*label == kApplicationLabel) {
            const auto fixed = v.u8(pos + 2);
            if (!fixed)
                return Walk::Broken;
            pos += 3 + *fixed;
            if (!skipSubBlocks(v, pos))
                return Walk::Broken;
        } else if (*label == kGraphicControlLabel) {
            const auto flags = v.u8(pos + 3);
            const auto index = v.u8(pos + 6);
            if (!flags || !index || !v.contains(pos, kGraphicControlSize))
                return Walk::Broken;
            g.transparent = (*flags & 1) ? *index : -1;
            pos += kGraphicControlSize;
        } else {
            pos += 2;
            if (!skipSubBlocks(v, pos))
                return Walk::Broken;
        }
    }
}

Walk walkGif(const ByteView& v, GifLayout& g)
{
    if (!isGifSignature(v))
        return Walk::NotGif;
    const auto screenFlags = v.u8(10);
    if (!screenFlags)
        return Walk::Broken;
    if (*screenFlags & 0x80) {
        g.colourCount = 2 << (*screenFlags & 7);
        g.tableEnd = kScreenEnd + 3 * std::int64_t(g.colourCount);
    }
    std::int64_t pos = g.tableEnd;
    const Walk walk = walkExtensions(v, g, pos);
    if (walk != Walk::Ok)
        return walk;
    if (v.u8(pos) != kImageDescriptor)
        return Walk::NotGif;
    g.imagePos = pos;
    const auto imageFlags = v.u8(pos + 9);
    if (!imageFlags)
        return Walk::Broken;
    pos += 10;
    if (*imageFlags & 0x80) {
        g.colourCount = 2 << (*imageFlags & 7);
        g.tablePos = pos;
        pos += 3 * std::int64_t(g.colourCount);
    }
    ++pos;  // LZW minimum code size
    if (!skipSubBlocks(v, pos) || pos > v.size())
        return Walk::Broken;
    g.imageEnd = pos;
    if (g.imageEnd - g.imagePos < 4 || g.imagePos == 0 || g.colourCount == 0)
        return Walk::NotGif;
    return Walk::Ok;
}

// Writes the surface from decoded indices: the true colours come from the
// source's table, looked up once per colour; the transparent index stays
// all zero. Indices past the table show black.
void paint(const ByteView& v, const GifLayout& g, const GifIndexImage& image, c32bppDIB& host)
{
    const auto table = v.sub(g.tablePos, 3 * std::int64_t(g.colourCount));
    std::array<std::uint32_t, 256> colours;
    for (std::size_t i = 0; i < colours.size(); ++i) {
        std::uint32_t bgra = 0xFF000000u;
        if (i * 3 + 2 < table.size())
            bgra |= std::uint32_t(table[i * 3 + 2]) | std::uint32_t(table[i * 3 + 1]) << 8 |
                    std::uint32_t(table[i * 3]) << 16;
        colours[i] = std::int32_t(i) == g.transparent ? 0 : bgra;
    }
    for (std::int32_t y = 0; y < image.height; ++y) {
        // Surface rows run bottom-up.
        std::uint8_t* row = host.BitsPointer() + std::size_t(image.height - 1 - y) * std::size_t(host.ScanWidth());
        const std::uint8_t* indices = image.indices.data() + std::size_t(y) * std::size_t(image.width);
        for (std::int32_t x = 0; x < image.width; ++x) {
            std::uint32_t bgra = colours[indices[x]];
            if constexpr (std::endian::native == std::endian::big)
                bgra = __builtin_bswap32(bgra);
            std::memcpy(row + std::size_t(x) * 4, &bgra, 4);
        }
    }
}

std::string decodeErrorText(GifDecodeError error)
{
    switch (error) {
    case GifDecodeError::None: return {};
    case GifDecodeError::Truncated: return lang::tr("the image data ends early", "图像数据提前结束");
    case GifDecodeError::NoImage: return lang::tr("no image descriptor", "没有图像描述符");
    case GifDecodeError::BadCodeSize: return lang::tr("the LZW code size is out of range", "LZW 码长超出范围");
    case GifDecodeError::BadCode: return lang::tr("an LZW code names no entry", "LZW 编码指向不存在的条目");
    case GifDecodeError::Empty: return lang::tr("the image has no pixels", "图像没有像素");
    case GifDecodeError::TooManyPixels: return {};
    case GifDecodeError::SizeBeyondData: return {};
    }
    return {};
}

LoadError loadError(GifDecodeError error)
{
    switch (error) {
    case GifDecodeError::Truncated: return LoadError::Truncated;
    case GifDecodeError::NoImage:
    case GifDecodeError::Empty: return LoadError::Corrupt;
    case GifDecodeError::TooManyPixels: return LoadError::TooManyPixels;
    case GifDecodeError::SizeBeyondData: return LoadError::SizeBeyondData;
    default: return LoadError::BadCompressedData;
    }
}

}  // namespace

ReadOutcome cGIFparser::LoadStream(const ByteArray& inStream, c32bppDIB& cHost, std::int32_t streamOffset,
                                   std::int32_t streamLength)
{
    if (streamLength < 1)
        return ReadOutcome::NotMine;
    const ByteView v(inStream.range(streamOffset, streamLength));
    if (v.size() == 0)
        return ReadOutcome::Failed;
    GifLayout g;
    const Walk walk = walkGif(v, g);
    if (walk == Walk::NotGif)
        return ReadOutcome::NotMine;
    // From here on the bytes are a GIF: a failure loads nothing, and the
    // other readers (the platform loader among them) do not get to show a
    // half-decoded picture.
    if (walk == Walk::Broken) {
        cHost.failLoad(LoadError::Truncated, lang::tr("the blocks run past the end", "数据块超出了结尾"));
        return ReadOutcome::Accepted;
    }
    GifIndexImage image;
    const GifDecodeError error = decodeGifImage(v.bytes(), g.imagePos, cHost.PixelLimit(), image);
    if (error != GifDecodeError::None) {
        cHost.failLoad(loadError(error), decodeErrorText(error));
        return ReadOutcome::Accepted;
    }
    if (!cHost.acceptsSize(image.width, image.height))
        return ReadOutcome::Accepted;
    if (!cHost.InitializeDIB(image.width, image.height)) {
        cHost.failLoad(LoadError::OutOfMemory);
        return ReadOutcome::Accepted;
    }
    paint(v, g, image, cHost);
    cHost.setAlpha(g.transparent >= 0);
    cHost.setImageType(ImageGIF);
    return ReadOutcome::Accepted;
}
