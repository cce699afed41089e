// The PNG encoder.
#include "imaging/formats/png_encode.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <new>

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::size_t kMaxStoredBlock = 65535;
constexpr std::size_t kMaxIdatChunk = std::size_t(1) << 20;
constexpr int kCompressionLevel = 9;  // pictures are saved seldom and loaded often

const std::array<std::uint32_t, 256>& crcTable()
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

void putBE32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(std::uint8_t(v >> 24));
    out.push_back(std::uint8_t(v >> 16));
    out.push_back(std::uint8_t(v >> 8));
    out.push_back(std::uint8_t(v));
}

// Length, type, data, and the CRC over type and data.
void putChunk(std::vector<std::uint8_t>& out, const char* type, std::span<const std::uint8_t> data)
{
    putBE32(out, std::uint32_t(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const std::uint32_t crc = pngCrc32(0, std::span<const std::uint8_t>(out.data() + typeAt, 4 + data.size()));
    putBE32(out, crc);
}

// Premultiplied back to straight alpha: the smallest straight value that
// premultiplies (c * a / 255, truncated, as the reader does) to c again, so
// that loading the file gives back exactly the surface's pixels.
std::uint8_t straight(unsigned c, unsigned a)
{
    if (a == 255)
        return std::uint8_t(c);
    if (a == 0)
        return 0;
    return std::uint8_t(std::min(255u, (c * 255 + a - 1) / a));
}

// One scan line upright in straight R, G, B(, A).
void straightRow(const std::uint8_t* src, std::int32_t width, bool alpha, std::uint8_t* dst)
{
    for (std::int32_t x = 0; x < width; ++x, src += 4) {
        const unsigned a = src[3];
        *dst++ = alpha ? straight(src[2], a) : src[2];
        *dst++ = alpha ? straight(src[1], a) : src[1];
        *dst++ = alpha ? straight(src[0], a) : src[0];
        if (alpha)
            *dst++ = std::uint8_t(a);
    }
}

std::uint8_t paeth(int a, int b, int c)
{
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    if (pa <= pb && pa <= pc)
        return std::uint8_t(a);
    return std::uint8_t(pb <= pc ? b : c);
}

// The row under filter type `filter` into out; returns the sum of the
// filtered bytes read as signed values, the usual measure of how well a
// filter will compress.
std::uint32_t filterRow(int filter, const std::uint8_t* row, const std::uint8_t* above, std::size_t length,
                        std::size_t unit, std::uint8_t* out)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const int left = i >= unit ? row[i - unit] : 0;
        const int up = above[i];
        const int upperLeft = i >= unit ? above[i - unit] : 0;
        int predicted = 0;
        switch (filter) {
        case 1: predicted = left; break;
        case 2: predicted = up; break;
        case 3: predicted = (left + up) / 2; break;
        case 4: predicted = paeth(left, up, upperLeft); break;
        default: break;
        }
        const std::uint8_t v = std::uint8_t(row[i] - predicted);
        out[i] = v;
        sum += v < 128 ? v : 256u - v;
    }
    return sum;
}

// Scan lines upright, each behind the filter type that suits it best.
std::vector<std::uint8_t> filteredScanLines(const std::uint8_t* bits, std::int32_t width, std::int32_t height,
                                            bool alpha)
{
    const std::size_t unit = alpha ? 4 : 3;
    const std::size_t length = std::size_t(width) * unit;
    std::vector<std::uint8_t> raw((length + 1) * std::size_t(height));
    std::vector<std::uint8_t> rows(2 * length), candidate(length);
    std::uint8_t* row = rows.data();
    std::uint8_t* above = rows.data() + length;  // zeros above the first row
    for (std::int32_t y = 0; y < height; ++y) {
        straightRow(bits + std::size_t(height - 1 - y) * std::size_t(width) * 4, width, alpha, row);
        std::uint8_t* dst = raw.data() + std::size_t(y) * (length + 1);
        std::uint32_t best = filterRow(0, row, above, length, unit, dst + 1);
        dst[0] = 0;
        for (int filter = 1; filter <= 4; ++filter) {
            const std::uint32_t sum = filterRow(filter, row, above, length, unit, candidate.data());
            if (sum < best) {
                best = sum;
                dst[0] = std::uint8_t(filter);
                std::copy(candidate.begin(), candidate.end(), dst + 1);
            }
        }
        std::swap(row, above);
    }
    return raw;
}

std::vector<std::uint8_t> zlibCompressed(std::span<const std::uint8_t> raw, Compress2Fn compress2)
{
    const std::size_t n = raw.size();
    // zlib's own bound for compress2's output.
    unsigned long destLen = n + (n >> 12) + (n >> 14) + (n >> 25) + 13;
    std::vector<std::uint8_t> out(destLen);
    if (compress2(out.data(), &destLen, raw.data(), n, kCompressionLevel) != 0)
        return {};
    out.resize(destLen);
    return out;
}

}  // namespace

std::uint32_t pngCrc32(std::uint32_t crc, std::span<const std::uint8_t> bytes)
{
    const auto& table = crcTable();
    crc = ~crc;
    for (std::uint8_t b : bytes)
        crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t adler32(std::span<const std::uint8_t> bytes)
{
    constexpr std::uint32_t kBase = 65521;
    // 5552 bytes is the most that can be summed before the 32-bit sums
    // must be reduced.
    constexpr std::size_t kRun = 5552;
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t end = std::min(bytes.size(), i + kRun);
        for (; i < end; ++i) {
            a += bytes[i];
            b += a;
        }
        a %= kBase;
        b %= kBase;
    }
    return (b << 16) | a;
}

std::vector<std::uint8_t> zlibStored(std::span<const std::uint8_t> raw)
{
    std::vector<std::uint8_t> out;
    const std::size_t blocks = raw.empty() ? 1 : (raw.size() + kMaxStoredBlock - 1) / kMaxStoredBlock;
    out.reserve(2 + raw.size() + blocks * 5 + 4);
    // CMF 0x78: deflate with a 32 KiB window; FLG 0x01 makes CMF-FLG a
    // multiple of 31.
    out.push_back(0x78);
    out.push_back(0x01);
    std::size_t pos = 0;
    do {
        const std::size_t len = std::min(kMaxStoredBlock, raw.size() - pos);
        const bool last = pos + len == raw.size();
        // BFINAL in bit 0, BTYPE 00; the rest of the byte pads to the
        // boundary, then LEN and its complement, little-endian.
        out.push_back(last ? 1 : 0);
        out.push_back(std::uint8_t(len));
        out.push_back(std::uint8_t(len >> 8));
        out.push_back(std::uint8_t(~len));
        out.push_back(std::uint8_t(~len >> 8));
        out.insert(out.end(), raw.begin() + std::ptrdiff_t(pos), raw.begin() + std::ptrdiff_t(pos + len));
        pos += len;
    } while (pos < raw.size());
    putBE32(out, adler32(raw));
    return out;
}

std::vector<std::uint8_t> encodePng(const std::uint8_t* bits, std::int32_t width, std::int32_t height, bool alpha,
                                    Compress2Fn compress2)
{
    if (!bits || width < 1 || height < 1)
        return {};
    // The surface already fits 32-bit sizes; the scan lines add one byte a row.
    if (std::int64_t(width) * height * 4 > std::numeric_limits<std::int32_t>::max())
        return {};
    try {
        const std::vector<std::uint8_t> raw = filteredScanLines(bits, width, height, alpha);
        std::vector<std::uint8_t> zdata;
        if (compress2)
            zdata = zlibCompressed(raw, compress2);
        if (zdata.empty())
            zdata = zlibStored(raw);

        std::vector<std::uint8_t> out(kSignature, kSignature + 8);
        std::vector<std::uint8_t> ihdr;
        putBE32(ihdr, std::uint32_t(width));
        putBE32(ihdr, std::uint32_t(height));
        // Bit depth 8; colour type 6 (RGBA) or 2 (RGB); deflate; adaptive
        // filtering; not interlaced.
        ihdr.insert(ihdr.end(), {8, std::uint8_t(alpha ? 6 : 2), 0, 0, 0});
        putChunk(out, "IHDR", ihdr);
        for (std::size_t pos = 0; pos < zdata.size(); pos += kMaxIdatChunk) {
            const std::size_t len = std::min(kMaxIdatChunk, zdata.size() - pos);
            putChunk(out, "IDAT", std::span<const std::uint8_t>(zdata.data() + pos, len));
        }
        putChunk(out, "IEND", {});
        return out;
    } catch (const std::bad_alloc&) {
        return {};
    }
}
