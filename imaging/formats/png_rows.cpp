// PNG filter reconstruction and pixel conversion, one row at a time. The
// SSE2 kernels (the x86-64 baseline) work on whole pixels in vector lanes;
// elsewhere the same rules run a byte at a time.
#include "imaging/formats/png_rows.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <tmmintrin.h>
#endif

namespace pngrows {

namespace {

inline std::uint32_t load32le(const std::uint8_t* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap32(v);
    return v;
}

inline void store32le(std::uint8_t* p, std::uint32_t v)
{
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap32(v);
    std::memcpy(p, &v, 4);
}

#if defined(__SSE2__)

// One pixel's bytes in the low lanes: 4 bytes for units up to 4, else 8.
template <bool kWide>
inline __m128i loadPixel(const std::uint8_t* p)
{
    if constexpr (kWide)
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    std::int32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(v);
}

template <bool kWide>
inline void storePixel(std::uint8_t* p, __m128i v)
{
    if constexpr (kWide) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
    } else {
        const std::int32_t w = _mm_cvtsi128_si32(v);
        std::memcpy(p, &w, 4);
    }
}

// The filters that look left go a pixel at a time: each pixel needs the one
// before it finished. The lanes behind the unit carry the next pixel's bytes
// as garbage, which the next step overwrites.
template <bool kWide>
void unfilterSub(const std::uint8_t* f, std::uint8_t* out, std::size_t length, std::size_t unit)
{
    __m128i a = _mm_setzero_si128();
    for (std::size_t i = 0; i < length; i += unit) {
        a = _mm_add_epi8(loadPixel<kWide>(f + i), a);
        storePixel<kWide>(out + i, a);
    }
}

// (left + above) >> 1 without a ninth bit: with ~v = 255 - v, the rounded-up
// average of ~a and ~b is ~((a + b) >> 1). Carrying ~a from pixel to pixel,
// the new ~a is that average less the filtered byte (~(x + ~p) = p - x):
// two steps a pixel instead of four.
template <bool kWide>
void unfilterAverage(const std::uint8_t* f, const std::uint8_t* above, std::uint8_t* out, std::size_t length,
                     std::size_t unit)
{
    const __m128i ones = _mm_set1_epi8(-1);
    __m128i notA = ones;
    for (std::size_t i = 0; i < length; i += unit) {
        const __m128i notB = _mm_xor_si128(loadPixel<kWide>(above + i), ones);
        notA = _mm_sub_epi8(_mm_avg_epu8(notA, notB), loadPixel<kWide>(f + i));
        storePixel<kWide>(out + i, _mm_xor_si128(notA, ones));
    }
}

inline __m128i absolute16(__m128i v)
{
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

// The predictor in 16-bit lanes, where a + b - 2c cannot overflow; the
// first pixel sees a = c = 0 and so predicts b.
template <bool kWide>
void unfilterPaeth(const std::uint8_t* f, const std::uint8_t* above, std::uint8_t* out, std::size_t length,
                   std::size_t unit)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i lowByte = _mm_set1_epi16(0xFF);
    __m128i a = zero;
    __m128i c = zero;
    for (std::size_t i = 0; i < length; i += unit) {
        const __m128i b = _mm_unpacklo_epi8(loadPixel<kWide>(above + i), zero);
        const __m128i x = _mm_unpacklo_epi8(loadPixel<kWide>(f + i), zero);
        const __m128i bc = _mm_sub_epi16(b, c);
        const __m128i ac = _mm_sub_epi16(a, c);
        const __m128i pa = absolute16(bc);
        const __m128i pb = absolute16(ac);
        const __m128i pc = absolute16(_mm_add_epi16(ac, bc));
        const __m128i pickC = _mm_cmpgt_epi16(pb, pc);
        const __m128i nearerOfBC = _mm_or_si128(_mm_and_si128(pickC, c), _mm_andnot_si128(pickC, b));
        const __m128i notA = _mm_cmpgt_epi16(pa, _mm_min_epi16(pb, pc));
        const __m128i predicted = _mm_or_si128(_mm_and_si128(notA, nearerOfBC), _mm_andnot_si128(notA, a));
        a = _mm_and_si128(_mm_add_epi16(x, predicted), lowByte);
        storePixel<kWide>(out + i, _mm_packus_epi16(a, a));
        c = b;
    }
}

void unfilterUp(const std::uint8_t* f, const std::uint8_t* above, std::uint8_t* out, std::size_t length)
{
    for (std::size_t i = 0; i < length; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_add_epi8(x, b));
    }
}

template <bool kWide>
void unfilterLeft(std::uint8_t filter, const std::uint8_t* f, const std::uint8_t* above, std::uint8_t* out,
                  std::size_t length, std::size_t unit)
{
    if (filter == 1)
        unfilterSub<kWide>(f, out, length, unit);
    else if (filter == 3)
        unfilterAverage<kWide>(f, above, out, length, unit);
    else
        unfilterPaeth<kWide>(f, above, out, length, unit);
}

#else

// Ties go to a, then to b (the PNG standard, filter type 4).
inline std::uint8_t paethPredictor(int a, int b, int c)
{
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    const int nearerOfBC = pc < pb ? c : b;
    return std::uint8_t(std::min(pb, pc) < pa ? nearerOfBC : a);
}

void unfilterUp(const std::uint8_t* f, const std::uint8_t* above, std::uint8_t* out, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i)
        out[i] = std::uint8_t(f[i] + above[i]);
}

// Byte by byte; the first pixel has nothing to its left (a = c = 0).
void unfilterLeftBytes(std::uint8_t filter, const std::uint8_t* f, const std::uint8_t* above, std::uint8_t* out,
                       std::size_t length, std::size_t unit)
{
    for (std::size_t i = 0; i < length; ++i) {
        const int a = i >= unit ? out[i - unit] : 0;
        const int c = i >= unit ? above[i - unit] : 0;
        const int b = above[i];
        const int predicted = filter == 1 ? a : filter == 3 ? (a + b) >> 1 : paethPredictor(a, b, c);
        out[i] = std::uint8_t(f[i] + predicted);
    }
}

#endif

}  // namespace

bool unfilterRow(std::uint8_t filter, const std::uint8_t* filtered, const std::uint8_t* above, std::uint8_t* out,
                 std::size_t length, std::size_t unit)
{
    switch (filter) {
    case 0:
        std::memcpy(out, filtered, length);
        return true;
    case 2:
        unfilterUp(filtered, above, out, length);
        return true;
    case 1:
    case 3:
    case 4:
#if defined(__SSE2__)
        if (unit <= 4)
            unfilterLeft<false>(filter, filtered, above, out, length, unit);
        else
            unfilterLeft<true>(filter, filtered, above, out, length, unit);
#else
        unfilterLeftBytes(filter, filtered, above, out, length, unit);
#endif
        return true;
    default:
        return false;
    }
}

namespace {

// R | G << 8 | B << 16 (and the next pixel's red) turned round is
// B | G << 8 | R << 16 one byte up.
void rgb8ToPixelsScalar(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols)
{
    for (std::size_t k = 0; k < cols; ++k)
        store32le(dst + 4 * k, (__builtin_bswap32(load32le(samples + 3 * k)) >> 8) | 0xFF000000u);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// With SSSE3's byte shuffle, four pixels at a time.
[[gnu::target("ssse3")]] void rgb8ToPixelsSsse3(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols)
{
    const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
    const __m128i alpha = _mm_set1_epi32(std::int32_t(0xFF000000u));
    std::size_t k = 0;
    for (; k + 4 <= cols; k += 4) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + 3 * k));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * k), _mm_or_si128(_mm_shuffle_epi8(px, order), alpha));
    }
    rgb8ToPixelsScalar(samples + 3 * k, dst + 4 * k, cols - k);
}

using RowFn = void (*)(const std::uint8_t*, std::uint8_t*, std::size_t);
RowFn chooseRgb8ToPixels()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") ? rgb8ToPixelsSsse3 : rgb8ToPixelsScalar;
}
#else
auto chooseRgb8ToPixels()
{
    return rgb8ToPixelsScalar;
}
#endif

}  // namespace

void rgb8ToPixels(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols)
{
    static const auto convert = chooseRgb8ToPixels();
    convert(samples, dst, cols);
}

void rgb8KeyedToPixels(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols, std::uint32_t key)
{
    for (std::size_t k = 0; k < cols; ++k) {
        const std::uint32_t colour = __builtin_bswap32(load32le(samples + 3 * k)) >> 8;
        store32le(dst + 4 * k, colour == key ? 0 : colour | 0xFF000000u);
    }
}

#if defined(__SSE2__)
namespace {

// Swaps the first and third byte of every 32-bit lane (R, G, B, A to B, G,
// R, A) and takes the alpha bytes from `alphaBytes`.
inline __m128i swapRedBlue(__m128i v, __m128i alphaBytes)
{
    const __m128i green = _mm_set1_epi32(0x0000FF00);
    const __m128i low = _mm_set1_epi32(0x000000FF);
    const __m128i alpha = _mm_set1_epi32(std::int32_t(0xFF000000u));
    const __m128i toLow = _mm_and_si128(_mm_srli_epi32(v, 16), low);
    const __m128i toHigh = _mm_slli_epi32(_mm_and_si128(v, low), 16);
    return _mm_or_si128(_mm_or_si128(_mm_and_si128(v, green), _mm_and_si128(alphaBytes, alpha)),
                        _mm_or_si128(toLow, toHigh));
}

// Four pixels' R, G, B, A in 16-bit lanes (two in `low`, two in `high`),
// their colours scaled by their alpha; alpha itself comes from `alphaBytes`.
inline __m128i premultiply4(__m128i low, __m128i high, __m128i alphaBytes)
{
    const __m128i one = _mm_set1_epi16(1);
    // Each pixel's alpha in all four of its lanes.
    const __m128i alpha32 = _mm_srli_epi32(alphaBytes, 24);
    const __m128i alpha16 = _mm_or_si128(alpha32, _mm_slli_epi32(alpha32, 16));
    const auto scale = [&](__m128i v, __m128i alpha) {
        const __m128i product = _mm_mullo_epi16(v, alpha);
        return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(product, one), _mm_srli_epi16(product, 8)), 8);
    };
    const __m128i packed = _mm_packus_epi16(scale(low, _mm_unpacklo_epi32(alpha16, alpha16)),
                                            scale(high, _mm_unpackhi_epi32(alpha16, alpha16)));
    return swapRedBlue(packed, alphaBytes);
}

// Four RGBA pixels: opaque ones need their bytes reordered only,
// transparent ones are all zero.
inline __m128i rgbaToPixels4(__m128i px, __m128i lowLanes, __m128i highLanes)
{
    const __m128i alpha = _mm_set1_epi32(std::int32_t(0xFF000000u));
    const int opaque = _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_or_si128(px, _mm_set1_epi32(0x00FFFFFF)),
                                                         _mm_set1_epi32(-1)));
    if (opaque == 0xFFFF)
        return swapRedBlue(px, px);
    const int transparent = _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(px, alpha), _mm_setzero_si128()));
    if (transparent == 0xFFFF)
        return _mm_setzero_si128();
    return premultiply4(lowLanes, highLanes, px);
}

}  // namespace
#endif

void rgba8ToPixels(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols)
{
    std::size_t k = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; k + 4 <= cols; k += 4) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + 4 * k));
        const __m128i result = rgbaToPixels4(px, _mm_unpacklo_epi8(px, zero), _mm_unpackhi_epi8(px, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * k), result);
    }
#endif
    for (; k < cols; ++k) {
        const std::uint8_t* s = samples + 4 * k;
        store32le(dst + 4 * k, premultiplied(s[0], s[1], s[2], s[3]));
    }
}

void rgba16ToPixels(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols)
{
    std::size_t k = 0;
#if defined(__SSE2__)
    // The high byte of each big-endian sample is the low byte of a lane.
    const __m128i lowBytes = _mm_set1_epi16(0xFF);
    for (; k + 4 <= cols; k += 4) {
        const __m128i low = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + 8 * k)), lowBytes);
        const __m128i high =
            _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + 8 * k + 16)), lowBytes);
        const __m128i bytes = _mm_packus_epi16(low, high);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * k), rgbaToPixels4(bytes, low, high));
    }
#endif
    for (; k < cols; ++k) {
        const std::uint8_t* s = samples + 8 * k;
        store32le(dst + 4 * k, premultiplied(s[0], s[2], s[4], s[6]));
    }
}

void greyAlphaToPixels(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols, std::size_t sampleBytes)
{
    for (std::size_t k = 0; k < cols; ++k) {
        const std::uint8_t* s = samples + 2 * sampleBytes * k;
        store32le(dst + 4 * k, premultiplied(s[0], s[0], s[0], s[sampleBytes]));
    }
}

void rgb16ToPixels(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols, const std::uint8_t* key)
{
    for (std::size_t k = 0; k < cols; ++k, samples += 6) {
        const bool transparent = key && std::equal(samples, samples + 6, key);
        store32le(dst + 4 * k, transparent ? 0 : samples[4] | samples[2] << 8 | samples[0] << 16 | 0xFF000000u);
    }
}

int grey16ToPixels(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols, const std::uint32_t* table,
                   std::size_t entries, const std::uint8_t* key)
{
    for (std::size_t k = 0; k < cols; ++k, samples += 2) {
        if (samples[0] >= entries)
            return samples[0];
        const bool transparent = key && samples[0] == key[0] && samples[1] == key[1];
        store32le(dst + 4 * k, transparent ? 0 : table[samples[0]]);
    }
    return -1;
}

void expandLookup(int depth, const std::uint32_t* table, std::uint32_t* expanded)
{
    const int perByte = 8 / depth;
    const unsigned mask = (1u << depth) - 1;
    for (unsigned byte = 0; byte < 256; ++byte)
        for (int i = 0; i < perByte; ++i) {
            const unsigned sample = (byte >> (8 - depth * (i + 1))) & mask;
            store32le(reinterpret_cast<std::uint8_t*>(expanded + byte * unsigned(perByte) + unsigned(i)), table[sample]);
        }
}

namespace {

// Whole bytes through the expanded table, then the last samples one by one.
template <int kDepth>
int lookupPacked(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols, const std::uint32_t* table,
                 std::size_t entries, const std::uint32_t* expanded)
{
    constexpr std::size_t kPerByte = 8 / kDepth;
    std::size_t k = 0;
    if (expanded && entries > (1u << kDepth) - 1)
        for (; k + kPerByte <= cols; k += kPerByte)
            std::memcpy(dst + 4 * k, expanded + samples[k / kPerByte] * kPerByte, 4 * kPerByte);
    for (; k < cols; ++k) {
        const std::size_t bit = k * kDepth;
        const std::size_t sample = std::size_t(samples[bit / 8] >> (8 - kDepth - int(bit % 8))) & ((1u << kDepth) - 1);
        if (sample >= entries)
            return int(sample);
        store32le(dst + 4 * k, table[sample]);
    }
    return -1;
}

}  // namespace

int lookupToPixels(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols, int depth,
                   const std::uint32_t* table, std::size_t entries, const std::uint32_t* expanded)
{
    switch (depth) {
    case 1: return lookupPacked<1>(samples, dst, cols, table, entries, expanded);
    case 2: return lookupPacked<2>(samples, dst, cols, table, entries, expanded);
    case 4: return lookupPacked<4>(samples, dst, cols, table, entries, expanded);
    default: break;
    }
    if (entries >= 256) {
        for (std::size_t k = 0; k < cols; ++k)
            store32le(dst + 4 * k, table[samples[k]]);
        return -1;
    }
    for (std::size_t k = 0; k < cols; ++k) {
        if (samples[k] >= entries)
            return samples[k];
        store32le(dst + 4 * k, table[samples[k]]);
    }
    return -1;
}

}  // namespace pngrows
