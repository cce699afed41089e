// GIF LZW and interlacing.
#include "imaging/formats/gif_lzw.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>

#include "imaging/formats/byte_view.h"

namespace {

constexpr int kMaxCodeBits = 12;
constexpr int kTableSize = 1 << kMaxCodeBits;

// Codes are packed least significant bit first, across byte boundaries.
class CodeReader {
public:
    explicit CodeReader(std::span<const std::uint8_t> data) : m_in(data.data()), m_end(data.data() + data.size()) {}
    // False when fewer than width bits remain.
    bool read(int width, int& code)
    {
        if (m_count < unsigned(width)) {
            refill();
            if (m_count < unsigned(width))
                return false;
        }
        code = int(m_buffer & ((1u << width) - 1));
        m_buffer >>= width;
        m_count -= unsigned(width);
        return true;
    }

private:
    // At least 56 bits, or all that is left: a word at a time where 8 bytes
    // remain, counting only the whole bytes that fit (the bits above the
    // count are the next input bits, so loading them again changes nothing).
    void refill()
    {
        if (m_end - m_in >= 8) {
            std::uint64_t word;
            std::memcpy(&word, m_in, 8);
            if constexpr (std::endian::native == std::endian::big)
                word = __builtin_bswap64(word);
            m_buffer |= word << m_count;
            m_in += (63 - m_count) >> 3;
            m_count |= 56;
            return;
        }
        while (m_count <= 56 && m_in != m_end) {
            m_buffer |= std::uint64_t(*m_in++) << m_count;
            m_count += 8;
        }
    }

    const std::uint8_t* m_in;
    const std::uint8_t* m_end;
    std::uint64_t m_buffer = 0;
    unsigned m_count = 0;
};

// Every string in the table is a prefix's string plus one byte, and the
// decoder has written each of them out already: a new entry is the string
// just written followed by the first byte of the next one, which the output
// holds side by side. So an entry is where its string lies in the output
// and how long it is, and a code's string is a copy from there.
struct LzwTable {
    std::array<std::uint32_t, kTableSize> start{};
    std::array<std::uint16_t, kTableSize> length{};
};

// Copies the `length` bytes at `from` to `pos` (forward, so that a string
// that overlaps its own copy, the KwKwK case, repeats), cut at the end of
// `out`. Far from it, and far enough from its source, whole words go at once
// and may run past the string: the bytes behind it are written later.
inline void copyString(std::span<std::uint8_t> out, std::size_t pos, std::size_t from, std::size_t length)
{
    std::uint8_t* dst = out.data() + pos;
    const std::uint8_t* src = out.data() + from;
    const std::size_t room = out.size() - pos;
    if (pos - from >= 8 && length + 8 <= room) {
        for (std::size_t i = 0; i < length; i += 8) {
            std::uint8_t word[8];
            std::memcpy(word, src + i, 8);
            std::memcpy(dst + i, word, 8);
        }
        return;
    }
    const std::size_t n = std::min(length, room);
    for (std::size_t i = 0; i < n; ++i)
        dst[i] = src[i];
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
    if (out.size() > std::size_t(65535) * 65535)  // the table holds 32-bit positions
        return GifDecodeError::TooManyPixels;
    const int clear = 1 << minCodeSize;
    const int endOfInfo = clear + 1;
    auto table = std::make_unique<LzwTable>();
    CodeReader reader(data);
    int width = minCodeSize + 1;
    int next = clear + 2;
    bool started = false;  // a code since the last clear
    std::size_t prevPos = 0;
    std::size_t prevLength = 0;
    std::size_t pos = 0;
    int code = 0;
    while (pos < out.size()) {
        if (!reader.read(width, code))
            return GifDecodeError::Truncated;
        if (code == clear) {
            width = minCodeSize + 1;
            next = clear + 2;
            started = false;
            continue;
        }
        if (code == endOfInfo)
            return GifDecodeError::Truncated;
        if (!started) {
            // The first code after a clear must be a literal.
            if (code > clear)
                return GifDecodeError::BadCode;
            out[pos] = std::uint8_t(code);
            prevPos = pos++;
            prevLength = 1;
            started = true;
            continue;
        }
        // A code one past the table (the KwKwK case) names the previous
        // string plus its own first byte; it is entered before it is spelt.
        if (code > next || (code == next && next >= kTableSize))
            return GifDecodeError::BadCode;
        if (next < kTableSize) {
            table->start[std::size_t(next)] = std::uint32_t(prevPos);
            table->length[std::size_t(next)] = std::uint16_t(prevLength + 1);
            ++next;
        }
        std::size_t length = 1;
        if (code < clear) {
            out[pos] = std::uint8_t(code);
        } else {
            length = table->length[std::size_t(code)];
            copyString(out, pos, table->start[std::size_t(code)], length);
        }
        prevPos = pos;
        prevLength = length;
        pos += length;
        // The width grows once the next free code no longer fits; at 12
        // bits the table stays full until the encoder sends a clear.
        if (next == (1 << width) && width < kMaxCodeBits)
            ++width;
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
