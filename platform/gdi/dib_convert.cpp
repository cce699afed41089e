#include "platform/gdi/dib_convert.h"

#include <bit>
#include <limits>

namespace gdi {

namespace {

struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;  // largest value of the field after shifting
};

Channel makeChannel(std::uint32_t mask)
{
    Channel c;
    c.mask = mask;
    if (mask == 0)
        return c;
    c.shift = std::countr_zero(mask);
    c.max = mask >> c.shift;
    return c;
}

// Fields narrower or wider than 8 bits are scaled so that the field's
// largest value becomes 255, as 5-bit channels must reach full white.
std::uint8_t extract(const Channel& c, std::uint32_t pixel)
{
    if (c.mask == 0)
        return 0;
    const std::uint64_t v = (pixel & c.mask) >> c.shift;
    return std::uint8_t((v * 255 + c.max / 2) / c.max);
}

std::uint32_t readLE32(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

struct Layout {
    std::int32_t width = 0;
    std::int32_t height = 0;  // rows, always positive
    bool topDown = false;
    std::int64_t rowBytes = 0;
};

bool supported(const BITMAPINFOHEADER& h, std::span<const std::uint8_t> colourTable)
{
    switch (h.biBitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
        return h.biCompression == BI_RGB;
    case 16:
    case 32:
        // Bit fields need their three masks in the table.
        return h.biCompression == BI_RGB || (h.biCompression == BI_BITFIELDS && colourTable.size() >= 12);
    default:
        return false;
    }
}

// Writes one source row into one 32-bpp output row.
void convertRow(const BITMAPINFOHEADER& h, std::span<const std::uint8_t> table, const Channel* fields,
                const std::uint8_t* src, std::uint8_t* dst, std::int32_t width)
{
    const std::size_t tableEntries = table.size() / 4;
    const int bpp = h.biBitCount;
    for (std::int32_t x = 0; x < width; ++x, dst += 4) {
        if (bpp <= 8) {
            // Packed indices: the leftmost pixel sits in the highest bits.
            const std::size_t bitPos = std::size_t(x) * std::size_t(bpp);
            const int shift = 8 - bpp - int(bitPos % 8);
            const std::size_t index = (src[bitPos / 8] >> shift) & ((1u << bpp) - 1);
            if (index < tableEntries) {
                dst[0] = table[index * 4];
                dst[1] = table[index * 4 + 1];
                dst[2] = table[index * 4 + 2];
            } else {
                dst[0] = dst[1] = dst[2] = 0;
            }
            dst[3] = 255;
        } else if (bpp == 24) {
            dst[0] = src[x * 3];
            dst[1] = src[x * 3 + 1];
            dst[2] = src[x * 3 + 2];
            dst[3] = 255;
        } else if (bpp == 32 && h.biCompression == BI_RGB) {
            for (int k = 0; k < 4; ++k)
                dst[k] = src[x * 4 + k];
        } else {
            std::uint32_t pixel = 0;
            if (bpp == 16)
                pixel = std::uint32_t(src[x * 2]) | std::uint32_t(src[x * 2 + 1]) << 8;
            else
                pixel = std::uint32_t(src[x * 4]) | std::uint32_t(src[x * 4 + 1]) << 8 |
                        std::uint32_t(src[x * 4 + 2]) << 16 | std::uint32_t(src[x * 4 + 3]) << 24;
            dst[0] = extract(fields[2], pixel);
            dst[1] = extract(fields[1], pixel);
            dst[2] = extract(fields[0], pixel);
            dst[3] = 255;
        }
    }
}

}  // namespace

std::int64_t rowStride(std::int32_t bitCount, std::int64_t width, std::int32_t alignment)
{
    if (bitCount <= 0 || width <= 0 || alignment <= 0 || width > std::numeric_limits<std::int32_t>::max())
        return -1;
    const std::int64_t bytes = (std::int64_t(bitCount) * width + 7) / 8;
    const std::int64_t padded = (bytes + alignment - 1) / alignment * alignment;
    return padded > std::numeric_limits<std::int32_t>::max() ? -1 : padded;
}

bool convertDibTo32bpp(const BITMAPINFOHEADER& h, std::span<const std::uint8_t> colourTable,
                       std::span<const std::uint8_t> bits, std::span<std::uint8_t> out)
{
    if (!supported(h, colourTable) || h.biWidth <= 0 || h.biHeight == 0 ||
        h.biHeight == std::numeric_limits<std::int32_t>::min())
        return false;
    Layout l;
    l.width = h.biWidth;
    l.topDown = h.biHeight < 0;
    l.height = l.topDown ? -h.biHeight : h.biHeight;
    l.rowBytes = rowStride(h.biBitCount, l.width);
    if (l.rowBytes < 0)
        return false;
    const std::int64_t outRow = std::int64_t(l.width) * 4;
    if (std::uint64_t(outRow) * std::uint64_t(l.height) != out.size())
        return false;
    if (std::uint64_t(l.rowBytes) * std::uint64_t(l.height) > bits.size())
        return false;

    Channel fields[3];
    if (h.biCompression == BI_BITFIELDS) {
        for (int k = 0; k < 3; ++k)
            fields[k] = makeChannel(readLE32(colourTable, std::size_t(k) * 4));
    } else if (h.biBitCount == 16) {
        // Plain 16-bit DIBs are 5-5-5 with the top bit unused.
        fields[0] = makeChannel(0x7C00);
        fields[1] = makeChannel(0x03E0);
        fields[2] = makeChannel(0x001F);
    }
    const std::span<const std::uint8_t> table = h.biBitCount <= 8 ? colourTable : std::span<const std::uint8_t>();
    for (std::int32_t r = 0; r < l.height; ++r) {
        // Output row r counts from the bottom, like a bottom-up source.
        const std::int32_t srcRow = l.topDown ? l.height - 1 - r : r;
        convertRow(h, table, fields, bits.data() + std::size_t(srcRow) * std::size_t(l.rowBytes),
                   out.data() + std::size_t(r) * std::size_t(outRow), l.width);
    }
    return true;
}

}  // namespace gdi
