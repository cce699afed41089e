#pragma once
// Builds small PNG files for the tests: chunks with their CRC and zlib
// streams of stored blocks, computed here independently of the code under test.

#include <cstdint>
#include <string>
#include <vector>

namespace pngtest {

using Bytes = std::vector<std::uint8_t>;

inline std::uint32_t crc32(const std::uint8_t* p, std::size_t n)
{
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c ^ 0xFFFFFFFFu;
}

inline void be32(Bytes& out, std::uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(std::uint8_t(v >> s));
}

inline Bytes chunk(const std::string& type, const Bytes& data)
{
    Bytes out;
    be32(out, std::uint32_t(data.size()));
    Bytes body(type.begin(), type.end());
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    be32(out, crc32(body.data(), body.size()));
    return out;
}

inline Bytes ihdr(std::uint32_t width, std::uint32_t height, int depth, int colour, int interlace = 0)
{
    Bytes d;
    be32(d, width);
    be32(d, height);
    d.insert(d.end(), {std::uint8_t(depth), std::uint8_t(colour), 0, 0, std::uint8_t(interlace)});
    return chunk("IHDR", d);
}

// A zlib stream holding `raw` in stored blocks.
inline Bytes zlibStored(const Bytes& raw)
{
    Bytes out = {0x78, 0x01};
    std::size_t pos = 0;
    do {
        const std::size_t n = std::min<std::size_t>(raw.size() - pos, 65535);
        const bool last = pos + n == raw.size();
        out.push_back(last ? 1 : 0);
        out.insert(out.end(), {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(~n), std::uint8_t(~n >> 8)});
        out.insert(out.end(), raw.begin() + std::ptrdiff_t(pos), raw.begin() + std::ptrdiff_t(pos + n));
        pos += n;
    } while (pos < raw.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    be32(out, (b << 16) | a);
    return out;
}

inline Bytes signature()
{
    return {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
}

// A whole PNG: signature, IHDR, the extra chunks, one IDAT over the scan
// lines, IEND.
inline Bytes png(const Bytes& header, const std::vector<Bytes>& extra, const Bytes& scanLines)
{
    Bytes out = signature();
    out.insert(out.end(), header.begin(), header.end());
    for (const Bytes& c : extra)
        out.insert(out.end(), c.begin(), c.end());
    const Bytes idat = chunk("IDAT", zlibStored(scanLines));
    out.insert(out.end(), idat.begin(), idat.end());
    const Bytes end = chunk("IEND", {});
    out.insert(out.end(), end.begin(), end.end());
    return out;
}

}  // namespace pngtest
