#pragma once
// Helpers shared by the format reader tests: byte assembly and surface access.

#include <cstdint>
#include <string>
#include <vector>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>

#include "imaging/surface/byte_array.h"
#include "imaging/surface/c32bppdib.h"

namespace testutil {

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& b, std::uint32_t v)
{
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
inline void put32(Bytes& b, std::uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
inline void set32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        b[at + k] = std::uint8_t(v >> (8 * k));
}

// A 40-byte BITMAPINFOHEADER.
inline void putInfoHeader(Bytes& b, std::int32_t width, std::int32_t height, std::uint16_t bitCount,
                          std::uint32_t compression = 0, std::uint32_t clrUsed = 0)
{
    put32(b, 40);
    put32(b, std::uint32_t(width));
    put32(b, std::uint32_t(height));
    put16(b, 1);
    put16(b, bitCount);
    put32(b, compression);
    put32(b, 0);
    put32(b, 2835);
    put32(b, 2835);
    put32(b, clrUsed);
    put32(b, 0);
}

// A BMP file: file header, info header, extra (palette or masks), pixels.
inline Bytes makeBmp(std::int32_t width, std::int32_t height, std::uint16_t bitCount, std::uint32_t compression,
                     const Bytes& extra, const Bytes& pixels, std::uint32_t clrUsed = 0)
{
    Bytes b;
    put16(b, 0x4D42);
    put32(b, std::uint32_t(54 + extra.size() + pixels.size()));
    put32(b, 0);
    put32(b, std::uint32_t(54 + extra.size()));
    putInfoHeader(b, width, height, bitCount, compression, clrUsed);
    b.insert(b.end(), extra.begin(), extra.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

// Surface pixel (x, y) with y counted from the top: B, G, R, A.
inline std::vector<int> px(const c32bppDIB& s, int x, int y)
{
    const std::uint8_t* p = s.BitsPointer() + std::size_t(s.Height() - 1 - y) * s.ScanWidth() + std::size_t(x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

// The premultiplied B, G, R, A that a straight QColor pixel should become.
inline std::vector<int> premultiplied(QRgb c)
{
    const int a = qAlpha(c);
    if (a == 0)
        return {0, 0, 0, 0};
    return {qBlue(c) * a / 255, qGreen(c) * a / 255, qRed(c) * a / 255, a};
}

inline Bytes encodeWithQt(const QImage& image, const char* format)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.write(image);
    return Bytes(data.begin(), data.end());
}

inline ByteArray array(const Bytes& bytes, std::int32_t lowerBound = 0)
{
    return ByteArray(bytes, lowerBound);
}

}  // namespace testutil
