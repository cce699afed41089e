// Gradient fills, DIB rows, outlines and lines on the selected bitmap.
#include <algorithm>
#include <bit>
#include <cstring>
#include <cstdlib>
#include <vector>

#include "platform/gdi/dib_convert.h"
#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/gdi_shape.h"

namespace gdi {

namespace {

// Vertex channels are declared signed but carry 0..0xFF00 (byte x 256).
int channel16(std::int16_t value)
{
    return int(std::uint16_t(value));
}

struct Channels16 {
    int r, g, b, a;
};

Channels16 channelsOf(const TRIVERTEX& v)
{
    return {channel16(v.Red), channel16(v.Green), channel16(v.Blue), channel16(v.Alpha)};
}

// Colour at step i of n between two vertices, on 16-bit channels; the
// bitmap keeps the high byte. B, G, R, A in memory order.
std::uint32_t interpolated(const Channels16& from, const Channels16& to, long long i, long long n)
{
    auto mix = [&](int a, int b) { return std::uint32_t((a + (long long)(b - a) * i / n) >> 8) & 0xFF; };
    return mix(from.b, to.b) | mix(from.g, to.g) << 8 | mix(from.r, to.r) << 16 | mix(from.a, to.a) << 24;
}

void putRow(std::uint8_t* p, const std::uint32_t* colours, long long count)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, colours, std::size_t(count) * 4);
        return;
    }
    for (long long k = 0; k < count; ++k, p += 4) {
        p[0] = std::uint8_t(colours[k]);
        p[1] = std::uint8_t(colours[k] >> 8);
        p[2] = std::uint8_t(colours[k] >> 16);
        p[3] = std::uint8_t(colours[k] >> 24);
    }
}

void fillGradientRect(Bitmap& bmp, const TRIVERTEX& first, const TRIVERTEX& second, bool vertical)
{
    // The colours follow their vertices even when the caller swapped corners.
    const bool swapX = first.x > second.x;
    const bool swapY = first.y > second.y;
    const long long x0 = std::min(first.x, second.x), x1 = std::max(first.x, second.x);
    const long long y0 = std::min(first.y, second.y), y1 = std::max(first.y, second.y);
    if (x0 == x1 || y0 == y1)
        return;
    const bool swapped = vertical ? swapY : swapX;
    const Channels16 from = channelsOf(swapped ? second : first);
    const Channels16 to = channelsOf(swapped ? first : second);
    const long long cx0 = std::max<long long>(x0, 0), cx1 = std::min<long long>(x1, bmp.width());
    const long long cy0 = std::max<long long>(y0, 0), cy1 = std::min<long long>(y1, bmp.height());
    if (cx0 >= cx1 || cy0 >= cy1)
        return;
    // One row of colours serves every row: the colour changes along one
    // axis only (a vertical fill's row is a single colour).
    std::vector<std::uint32_t> row(std::size_t(cx1 - cx0));
    for (long long x = cx0; x < cx1; ++x)
        row[std::size_t(x - cx0)] = vertical ? 0 : interpolated(from, to, x - x0, x1 - x0);
    for (long long y = cy0; y < cy1; ++y) {
        if (vertical)
            std::fill(row.begin(), row.end(), interpolated(from, to, y - y0, y1 - y0));
        putRow(bmp.pixel(int(cx0), int(y)), row.data(), cx1 - cx0);
    }
}

}  // namespace

bool GradientFill(HDC dc, const TRIVERTEX* vertices, std::uint32_t vertexCount, const GRADIENT_RECT* mesh,
                  std::uint32_t meshCount, std::uint32_t mode)
{
    if (!dc || !dc->bitmap || !vertices || !mesh)
        return false;
    if (mode != GRADIENT_FILL_RECT_H && mode != GRADIENT_FILL_RECT_V)
        return false;
    for (std::uint32_t m = 0; m < meshCount; ++m)
        if (mesh[m].UpperLeft >= vertexCount || mesh[m].LowerRight >= vertexCount)
            return false;
    for (std::uint32_t m = 0; m < meshCount; ++m)
        fillGradientRect(*dc->bitmap, vertices[mesh[m].UpperLeft], vertices[mesh[m].LowerRight],
                         mode == GRADIENT_FILL_RECT_V);
    return true;
}

int SetDIBitsToDevice(HDC dc, int xDest, int yDest, std::uint32_t w, std::uint32_t h, int xSrc, int ySrc,
                      std::uint32_t startScan, std::uint32_t cLines, const void* bits,
                      const BITMAPINFOHEADER& header, std::uint32_t)
{
    if (!dc || !dc->bitmap || !bits || header.biCompression != BI_RGB)
        return 0;
    if ((header.biBitCount != 24 && header.biBitCount != 32) || header.biWidth <= 0 || header.biHeight == 0)
        return 0;
    const int bytesPerPixel = header.biBitCount / 8;
    const bool bottomUp = header.biHeight > 0;
    const long long dibHeight = std::llabs((long long)header.biHeight);
    const long long stride = rowStride(header.biBitCount, header.biWidth);
    if (stride < 0)
        return 0;
    const auto* src = static_cast<const std::uint8_t*>(bits);
    Bitmap& bmp = *dc->bitmap;
    // Source rectangle [xSrc, xSrc+w) x [ySrc, ySrc+h) in DIB coordinates; for
    // a bottom-up DIB ySrc counts from the bottom row, as GDI has it. Only
    // scan lines [startScan, startScan+cLines) are present in the buffer.
    // Both loops are clipped to the bitmap first, so huge sizes cost nothing.
    const long long shift = (long long)xDest - xSrc;
    const long long sx0 = std::max({(long long)xSrc, 0LL, -shift});
    const long long sx1 = std::min({(long long)xSrc + w, (long long)header.biWidth, bmp.width() - shift});
    const long long band0 = startScan, band1 = std::min<long long>((long long)startScan + cLines, dibHeight);
    const long long dy0 = std::max(0LL, -(long long)yDest);
    const long long dy1 = std::min((long long)h, (long long)bmp.height() - yDest);
    for (long long dy = dy0; dy < dy1; ++dy) {
        // Scan line number (counted the DIB's own way) that lands on this row.
        const long long scan = bottomUp ? (long long)ySrc + h - 1 - dy : (long long)ySrc + dy;
        if (scan < band0 || scan >= band1)
            continue;
        const std::uint8_t* row = src + (scan - band0) * stride;
        for (long long sx = sx0; sx < sx1; ++sx) {
            const std::uint8_t* s = row + sx * bytesPerPixel;
            std::uint8_t* p = bmp.pixel(int(sx + shift), int(yDest + dy));
            p[0] = s[0];
            p[1] = s[1];
            p[2] = s[2];
            p[3] = bytesPerPixel == 4 ? s[3] : 0;
        }
    }
    return int(cLines);
}

bool RoundRect(HDC dc, int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight)
{
    if (!dc)
        return false;
    // The pen traces the border pixels of the filled shape: those with a
    // side neighbour outside it. That keeps the outline one pixel wide and
    // eight-connected around the corners.
    const auto spans = roundRectSpans(left, top, right, bottom, ellipseWidth, ellipseHeight);
    const int y0 = std::min(top, bottom);
    const auto traceRange = [&](int from, int to, int y) {
        for (int x = from; x < to; ++x)
            putPixel(*dc, x, y, dc->penColour);
    };
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const auto [a, b] = spans[i];
        if (a >= b)
            continue;
        const int y = y0 + int(i);
        traceRange(a, a + 1, y);
        traceRange(b - 1, b, y);
        // The pixels of the span outside the span above, and below.
        for (const long long n : {(long long)i - 1, (long long)i + 1}) {
            if (n < 0 || n >= (long long)spans.size()) {
                traceRange(a, b, y);
                continue;
            }
            const auto [na, nb] = spans[std::size_t(n)];
            traceRange(a, std::min(b, na), y);
            traceRange(std::max(a, nb), b, y);
        }
    }
    return true;
}

bool MoveToEx(HDC dc, int x, int y)
{
    if (!dc)
        return false;
    dc->penX = x;
    dc->penY = y;
    return true;
}

bool LineTo(HDC dc, int x, int y)
{
    if (!dc)
        return false;
    const long long x0 = dc->penX, y0 = dc->penY;
    dc->penX = x;
    dc->penY = y;
    if (!dc->bitmap)
        return true;
    // Walk the major axis one pixel per step; the minor coordinate of step k
    // is the nearest to the ideal line, ties going forward (the pixels that
    // Bresenham's walk picks). Stepping only where the major coordinate lies
    // on the bitmap keeps long lines cheap. The last point is left for the
    // next segment, as GDI does.
    const long long dx = (long long)x - x0, dy = (long long)y - y0;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const long long major0 = xMajor ? x0 : y0, minor0 = xMajor ? y0 : x0;
    const long long dMajor = xMajor ? dx : dy, dMinor = xMajor ? dy : dx;
    const long long steps = std::llabs(dMajor);
    if (steps == 0)
        return true;
    const int majorStep = dMajor > 0 ? 1 : -1, minorStep = dMinor > 0 ? 1 : -1;
    const long long majorSize = xMajor ? dc->bitmap->width() : dc->bitmap->height();
    long long k0 = 0, k1 = steps;
    if (majorStep > 0) {
        k0 = std::max(k0, -major0);
        k1 = std::min(k1, majorSize - major0);
    } else {
        k0 = std::max(k0, major0 - majorSize + 1);
        k1 = std::min(k1, major0 + 1);
    }
    for (long long k = k0; k < k1; ++k) {
        const __int128 offset = ((__int128)2 * k * std::llabs(dMinor) + steps) / ((__int128)2 * steps);
        const long long major = major0 + majorStep * k;
        const long long minor = minor0 + minorStep * (long long)offset;
        const long long px = xMajor ? major : minor, py = xMajor ? minor : major;
        if (px >= 0 && py >= 0 && px < dc->bitmap->width() && py < dc->bitmap->height())
            putPixel(*dc, int(px), int(py), dc->penColour);
    }
    return true;
}

}  // namespace gdi
