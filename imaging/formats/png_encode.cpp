// The PNG encoder.
#include "imaging/formats/png_encode.h"

#include <array>
#include <limits>
#include <new>

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::size_t kMaxStoredBlock = 65535;
constexpr std::size_t kMaxIdatChunk = std::size_t(1) << 20;
constexpr int kCompressionLevel = 6;

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

// Scan lines upright, each behind filter byte 0; premultiplied colours go
// back to straight alpha, rounded to the nearest value.
std::vector<std::uint8_t> rawScanLines(const std::uint8_t* bits, std::int32_t width, std::int32_t height, bool alpha)
{
    const std::size_t channels = alpha ? 4 : 3;
    const std::size_t rowBytes = 1 + std::size_t(width) * channels;
    std::vector<std::uint8_t> raw(rowBytes * std::size_t(height));
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* src = bits + std::size_t(height - 1 - y) * std::size_t(width) * 4;
        std::uint8_t* dst = raw.data() + std::size_t(y) * rowBytes;
        *dst++ = 0;
        for (std::int32_t x = 0; x < width; ++x, src += 4) {
            const unsigned a = src[3];
            for (int k = 0; k < 3; ++k) {
                unsigned c = src[2 - k];
                if (alpha && a != 255)
                    c = a == 0 ? 0 : std::min(255u, (c * 255 + a / 2) / a);
                *dst++ = std::uint8_t(c);
            }
            if (alpha)
                *dst++ = std::uint8_t(a);
        }
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
        const std::vector<std::uint8_t> raw = rawScanLines(bits, width, height, alpha);
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
