// Blits and alpha blending between the bitmaps selected into two DCs.
// Sizes that differ are resampled: nearest pixel, or the average over each
// destination pixel's area when the destination's stretch mode is HALFTONE.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/gdi/gdi_internal.h"

namespace gdi {
namespace {

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
};

Rect intersect(Rect a, Rect b)
{
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// One source pixel contributing to a destination pixel along one axis.
struct Tap {
    int src;
    double weight;
};

// Source taps for destination indices i0 .. i1-1 of a destination run of
// dstLen pixels that maps onto srcLen source pixels starting at srcStart.
// Taps outside 0 .. srcLimit-1 are dropped.
// Indices are 64-bit: a destination far off the bitmap still maps exactly.
std::vector<std::vector<Tap>> axisTaps(std::int64_t dstLen, std::int64_t srcStart, std::int64_t srcLen, std::int64_t i0,
                                       std::int64_t i1, bool area, int srcLimit)
{
    std::vector<std::vector<Tap>> taps(std::size_t(i1 - i0));
    const double scale = double(srcLen) / double(dstLen);
    for (std::int64_t i = i0; i < i1; ++i) {
        auto& list = taps[std::size_t(i - i0)];
        if (!area || scale <= 1.0) {
            // Enlarging with area averaging covers a part of one source
            // pixel: that pixel, as with nearest sampling.
            const std::int64_t s =
                srcStart + std::int64_t((static_cast<long double>(2 * i + 1) * srcLen) / (2.0L * dstLen));
            if (s >= 0 && s < srcLimit)
                list.push_back({int(s), 1.0});
            continue;
        }
        const double from = double(i) * scale;
        const double to = double(i + 1) * scale;
        const auto first = std::max<std::int64_t>(std::int64_t(std::floor(from)), -srcStart);
        const auto last = std::min<std::int64_t>(std::int64_t(std::ceil(to)), srcLimit - srcStart);
        for (std::int64_t s = first; s < last; ++s) {
            const double w = std::min<double>(to, double(s + 1)) - std::max<double>(from, double(s));
            if (w > 0)
                list.push_back({int(srcStart + s), w});
        }
    }
    return taps;
}

// Destination rectangle clipped to the destination bitmap.
Rect clippedDest(const Bitmap& dst, int x, int y, int cx, int cy)
{
    // Far-off coordinates must not overflow on the way to the clip.
    const auto edge = [](int origin, int extent, int limit) {
        return int(std::clamp<std::int64_t>(std::int64_t(origin) + extent, 0, limit));
    };
    const Rect bounds{0, 0, dst.width(), dst.height()};
    return intersect({std::clamp(x, 0, dst.width()), std::clamp(y, 0, dst.height()), edge(x, cx, dst.width()),
                      edge(y, cy, dst.height())},
                     bounds);
}

// Calls write(dx, dy, pixel) for every destination pixel inside the clip
// that has at least one source pixel, with the resampled B, G, R, A bytes.
template <typename Write>
void resample(HDC dstDC, int x, int y, int cx, int cy, const Bitmap& src, int x1, int y1, int cx1, int cy1,
              Write write)
{
    const Rect clip = clippedDest(*dstDC->bitmap, x, y, cx, cy);
    if (clip.empty())
        return;
    const bool area = dstDC->stretchMode == HALFTONE;
    const auto xs = axisTaps(cx, x1, cx1, std::int64_t(clip.left) - x, std::int64_t(clip.right) - x, area, src.width());
    const auto ys = axisTaps(cy, y1, cy1, std::int64_t(clip.top) - y, std::int64_t(clip.bottom) - y, area, src.height());
    // The source is read before any destination pixel is written, so a
    // blit within one bitmap sees the original pixels.
    std::vector<std::uint8_t> out(std::size_t(clip.right - clip.left) * std::size_t(clip.bottom - clip.top) * 4);
    std::vector<bool> valid(out.size() / 4, false);
    for (int dy = clip.top; dy < clip.bottom; ++dy) {
        const auto& ty = ys[std::size_t(dy - clip.top)];
        for (int dx = clip.left; dx < clip.right; ++dx) {
            const auto& tx = xs[std::size_t(dx - clip.left)];
            double sum[4] = {0, 0, 0, 0};
            double total = 0;
            for (const Tap& vy : ty)
                for (const Tap& vx : tx) {
                    const std::uint8_t* p = const_cast<Bitmap&>(src).pixel(vx.src, vy.src);
                    const double w = vx.weight * vy.weight;
                    for (int c = 0; c < 4; ++c)
                        sum[c] += p[c] * w;
                    total += w;
                }
            if (total <= 0)
                continue;
            const std::size_t index = std::size_t(dy - clip.top) * std::size_t(clip.right - clip.left) +
                                      std::size_t(dx - clip.left);
            for (int c = 0; c < 4; ++c)
                out[index * 4 + std::size_t(c)] = std::uint8_t(std::lround(sum[c] / total));
            valid[index] = true;
        }
    }
    const std::size_t width = std::size_t(clip.right - clip.left);
    for (std::size_t index = 0; index < valid.size(); ++index)
        if (valid[index])
            write(clip.left + int(index % width), clip.top + int(index / width), &out[index * 4]);
}

bool usable(HDC dst, HDC src)
{
    return dst && src && dst->bitmap && src->bitmap;
}

// (a x b) / 255 rounded to nearest, for bytes.
inline int mul255(int a, int b)
{
    const int t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

}  // namespace

bool StretchBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int x1, int y1, int cx1, int cy1,
                std::uint32_t rop)
{
    if (!usable(dst, src) || rop != SRCCOPY || cx < 0 || cy < 0 || cx1 < 0 || cy1 < 0)
        return false;
    if (cx == 0 || cy == 0 || cx1 == 0 || cy1 == 0)
        return true;
    Bitmap& target = *dst->bitmap;
    resample(dst, x, y, cx, cy, *src->bitmap, x1, y1, cx1, cy1, [&](int dx, int dy, const std::uint8_t* p) {
        std::copy_n(p, 4, target.pixel(dx, dy));
    });
    return true;
}

bool AlphaBlend(HDC dst, int x, int y, int cx, int cy, HDC src, int x1, int y1, int cx1, int cy1,
                BLENDFUNCTION blend)
{
    if (!usable(dst, src) || blend.BlendOp != AC_SRC_OVER || cx < 0 || cy < 0 || cx1 < 0 || cy1 < 0)
        return false;
    if (cx == 0 || cy == 0 || cx1 == 0 || cy1 == 0)
        return true;
    const int sca = blend.SourceConstantAlpha;
    const bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
    Bitmap& target = *dst->bitmap;
    // Source colours are premultiplied: dst = src x sca + dst x (1 - srcAlpha x sca).
    resample(dst, x, y, cx, cy, *src->bitmap, x1, y1, cx1, cy1, [&](int dx, int dy, const std::uint8_t* p) {
        std::uint8_t* d = target.pixel(dx, dy);
        const int srcAlpha = perPixel ? mul255(p[3], sca) : sca;
        const int keep = 255 - srcAlpha;
        for (int c = 0; c < 3; ++c)
            d[c] = std::uint8_t(std::min(255, mul255(p[c], sca) + mul255(d[c], keep)));
        d[3] = std::uint8_t(std::min(255, srcAlpha + mul255(d[3], keep)));
    });
    return true;
}

}  // namespace gdi
