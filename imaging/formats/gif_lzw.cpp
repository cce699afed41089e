// GIF LZW and interlacing.
#include "imaging/formats/gif_lzw.h"

#include <algorithm>
#include <array>
#include <memory>

#include "imaging/formats/byte_view.h"

namespace {

constexpr int kMaxCodeBits = 12;
constexpr int kTableSize = 1 << kMaxCodeBits;

// Codes are packed least significant bit first, across byte boundaries.
class CodeReader {
public:
    explicit CodeReader(std::span<const std::uint8_t> data) : m_data(data) {}
    // False when fewer than width bits remain.
    bool read(int width, int& code)
    {
        while (m_count < width) {
            if (m_pos >= m_data.size())
                return false;
            m_buffer |= std::uint32_t(m_data[m_pos++]) << m_count;
            m_count += 8;
        }
        code = int(m_buffer & ((1u << width) - 1));
        m_buffer >>= width;
        m_count -= width;
        return true;
    }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
    std::uint32_t m_buffer = 0;
    int m_count = 0;
};

struct LzwTable {
    std::array<std::uint16_t, kTableSize> prefix{};
    std::array<std::uint8_t, kTableSize> suffix{};
    std::array<std::uint8_t, kTableSize> first{};  // first byte of each entry's string
    std::array<std::uint8_t, kTableSize> stack{};
};

// Writes the string of code at out[pos...]; a string is spelt backwards
// along its prefixes, so it is gathered on a stack first.
void emit(LzwTable& t, int code, int clear, std::span<std::uint8_t> out, std::size_t& pos)
{
    int depth = 0;
    while (code >= clear) {
        t.stack[std::size_t(depth++)] = t.suffix[std::size_t(code)];
        code = t.prefix[std::size_t(code)];
    }
    t.stack[std::size_t(depth++)] = std::uint8_t(code);
    while (depth > 0 && pos < out.size())
        out[pos++] = t.stack[std::size_t(--depth)];
}

// Interlaced images store rows in four passes: every 8th row from 0, every
// 8th from 4, every 4th from 2, every 2nd from 1.
void deinterlace(std::vector<std::uint8_t>& pixels, std::int32_t width, std::int32_t height)
{
    std::vector<std::uint8_t> rows(pixels.size());
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    std::size_t stored = 0;
    for (int pass = 0; pass < 4; ++pass) {
        for (std::int32_t y = kStart[pass]; y < height; y += kStep[pass]) {
            std::copy_n(pixels.begin() + std::ptrdiff_t(stored * std::size_t(width)), width,
                        rows.begin() + std::ptrdiff_t(std::size_t(y) * std::size_t(width)));
            ++stored;
        }
    }
    pixels.swap(rows);
}

// Joins the data sub-blocks that start at pos; false when they run past the end.
bool joinSubBlocks(const ByteView& v, std::int64_t pos, std::vector<std::uint8_t>& data)
{
    for (;;) {
        const auto size = v.u8(pos);
        if (!size)
            return false;
        if (*size == 0)
            return true;
        const auto block = v.sub(pos + 1, *size);
        if (block.empty())
            return false;
        data.insert(data.end(), block.begin(), block.end());
        pos += 1 + *size;
    }
}

}  // namespace

bool skipSubBlocks(const ByteView& v, std::int64_t& pos)
{
    for (;;) {
        const auto size = v.u8(pos);
        if (!size)
            return false;
        pos += 1 + *size;
        if (*size == 0)
            return true;
    }
}

GifDecodeError decodeGifLzw(std::span<const std::uint8_t> data, int minCodeSize, std::span<std::uint8_t> out)
{
    if (minCodeSize < 2 || minCodeSize > 8)
        return GifDecodeError::BadCodeSize;
    const int clear = 1 << minCodeSize;
    const int endOfInfo = clear + 1;
    auto table = std::make_unique<LzwTable>();
    for (int i = 0; i < clear; ++i)
        table->first[std::size_t(i)] = std::uint8_t(i);
    CodeReader reader(data);
    int width = minCodeSize + 1;
    int next = clear + 2;
    int prev = -1;
    std::size_t pos = 0;
    int code = 0;
    while (pos < out.size()) {
        if (!reader.read(width, code))
            return GifDecodeError::Truncated;
        if (code == clear) {
            width = minCodeSize + 1;
            next = clear + 2;
            prev = -1;
            continue;
        }
        if (code == endOfInfo)
            return GifDecodeError::Truncated;
        if (prev < 0) {
            // The first code after a clear must be a literal.
            if (code > clear)
                return GifDecodeError::BadCode;
            emit(*table, code, clear, out, pos);
            prev = code;
            continue;
        }
        // A code one past the table (the KwKwK case) names the previous
        // string plus its own first byte; it is entered before it is spelt.
        if (code > next || (code == next && next >= kTableSize))
            return GifDecodeError::BadCode;
        const std::uint8_t firstByte = code == next ? table->first[std::size_t(prev)] : table->first[std::size_t(code)];
        if (next < kTableSize) {
            table->prefix[std::size_t(next)] = std::uint16_t(prev);
            table->suffix[std::size_t(next)] = firstByte;
            table->first[std::size_t(next)] = table->first[std::size_t(prev)];
            ++next;
        }
        emit(*table, code, clear, out, pos);
        // The width grows once the next free code no longer fits; at 12
        // bits the table stays full until the encoder sends a clear.
        if (next == (1 << width) && width < kMaxCodeBits)
            ++width;
        prev = code;
    }
    return GifDecodeError::None;
}

GifDecodeError decodeGifImage(std::span<const std::uint8_t> gif, std::int64_t imagePos, std::int64_t pixelLimit,
                              GifIndexImage& out)
{
    const ByteView v(gif);
    if (v.u8(imagePos) != 44)
        return GifDecodeError::NoImage;
    const auto width = v.u16(imagePos + 5);
    const auto height = v.u16(imagePos + 7);
    const auto flags = v.u8(imagePos + 9);
    if (!width || !height || !flags)
        return GifDecodeError::Truncated;
    const std::int64_t pixels = std::int64_t(*width) * *height;
    if (pixels == 0)
        return GifDecodeError::Empty;
    // 65535 x 65535 at four bytes each still fits the 64-bit product; the
    // surface's own 32-bit limit is the caller's to check.
    if (pixels > pixelLimit)
        return GifDecodeError::TooManyPixels;
    std::int64_t pos = imagePos + 10;
    if (*flags & 0x80)
        pos += 3 * (std::int64_t(2) << (*flags & 7));
    const auto minCodeSize = v.u8(pos);
    std::vector<std::uint8_t> data;
    if (!minCodeSize || !joinSubBlocks(v, pos + 1, data))
        return GifDecodeError::Truncated;
    if (*minCodeSize < 2 || *minCodeSize > 8)
        return GifDecodeError::BadCodeSize;

    // Each code spells at most one byte more than the code before it, so n
    // codes yield at most n(n+1)/2 pixels: a tiny file cannot claim a huge
    // image and have the buffer allocated. (From 2^17 codes on the bound
    // exceeds any GIF's 2^32 pixels, and squaring could overflow.)
    const std::int64_t codes = std::int64_t(data.size()) * 8 / (*minCodeSize + 1);
    if (codes < (std::int64_t(1) << 17) && pixels > codes * (codes + 1) / 2)
        return GifDecodeError::SizeBeyondData;
    out.width = *width;
    out.height = *height;
    out.indices.assign(std::size_t(pixels), 0);
    const GifDecodeError error = decodeGifLzw(data, *minCodeSize, out.indices);
    if (error != GifDecodeError::None)
        return error;
    if (*flags & 0x40)
        deinterlace(out.indices, out.width, out.height);
    return GifDecodeError::None;
}
