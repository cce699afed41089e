// Scan-line reconstruction (PNG filters, Adam7 passes) and conversion of
// every colour type and bit depth into premultiplied B, G, R, A pixels.
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "imaging/formats/png_decoder.h"
#include "imaging/surface/c32bppdib.h"
#include "platform/gdi/dib_convert.h"
#include "platform/language/language.h"

// Adam7 passes 1 to 7; entry 8 is the whole image without interlacing.
const std::array<PngDecoder::Pass, 8> PngDecoder::kPasses = {{
    {0, 0, 8, 8},
    {0, 4, 8, 8},
    {4, 0, 8, 4},
    {0, 2, 4, 4},
    {2, 0, 4, 2},
    {0, 1, 2, 2},
    {1, 0, 2, 1},
    {0, 0, 1, 1},
}};

PngDecoder::PixelSize PngDecoder::GetPixelSize() const
{
    const std::int32_t d = m_BitDepth;
    switch (m_ColorType) {
    case 2:
        return {3 * d, std::max(1, 3 * (d / 8))};
    case 4:
        return {2 * d, std::max(1, 2 * (d / 8))};
    case 6:
        return {4 * d, std::max(1, 4 * (d / 8))};
    default:  // grey and palette
        return {d, d == 16 ? 2 : 1};
    }
}

std::size_t PngDecoder::rowBytes(std::int32_t cols) const
{
    // Sizes were checked when IHDR was read, so the row always fits.
    return std::size_t(std::max<std::int64_t>(0, gdi::rowStride(GetPixelSize().bits, cols, 1)));
}

std::int32_t PngDecoder::passCols(int pass) const
{
    const Pass& p = kPasses[std::size_t(pass - 1)];
    return m_Width / p.colStep + (p.colStart < m_Width % p.colStep ? 1 : 0);
}

std::int32_t PngDecoder::passRows(int pass) const
{
    const Pass& p = kPasses[std::size_t(pass - 1)];
    return m_Height / p.rowStep + (p.rowStart < m_Height % p.rowStep ? 1 : 0);
}

void PngDecoder::CreateDefaultPalette()
{
    if ((m_ColorType != 0 && m_ColorType != 3) || !m_Palette.empty())
        return;
    m_Palette.assign(768, 0);
    if (m_ColorType == 0) {
        // The grey ramp; 16-bit samples are looked up by their high byte.
        const int depth = m_BitDepth == 16 ? 8 : m_BitDepth;
        const int top = (1 << depth) - 1;
        for (int i = 1; i <= top; ++i)
            std::fill_n(m_Palette.begin() + 3 * i, 3, std::uint8_t(i * (255 / top)));
    } else if (m_BitDepth == 1) {
        std::fill_n(m_Palette.begin() + 3, 3, std::uint8_t(255));
    }
}

namespace {

// Ties go to a, then to b (the PNG standard, filter type 4); chosen by
// conditional moves, as the branches would be unpredictable.
inline std::uint8_t paethPredictor(int a, int b, int c)
{
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    const int nearerOfBC = pc < pb ? c : b;
    return std::uint8_t(std::min(pb, pc) < pa ? nearerOfBC : a);
}

// The filters that depend on the pixel to the left, for a fixed pixel size
// so that the bytes of one pixel are worked on side by side.
template <std::size_t kUnit>
void unfilterLeft(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* above, std::size_t length)
{
    const std::size_t first = std::min(kUnit, length);
    if (filter == 1) {
        for (std::size_t i = kUnit; i < length; ++i)
            row[i] = std::uint8_t(row[i] + row[i - kUnit]);
    } else if (filter == 3) {
        for (std::size_t i = 0; i < first; ++i)
            row[i] = std::uint8_t(row[i] + (above[i] >> 1));
        for (std::size_t i = kUnit; i < length; ++i)
            row[i] = std::uint8_t(row[i] + ((row[i - kUnit] + above[i]) >> 1));
    } else {
        // With nothing to the left the predictor is the byte above.
        for (std::size_t i = 0; i < first; ++i)
            row[i] = std::uint8_t(row[i] + above[i]);
        for (std::size_t i = kUnit; i < length; ++i)
            row[i] = std::uint8_t(row[i] + paethPredictor(row[i - kUnit], above[i], above[i - kUnit]));
    }
}

// Exact x / 255 for x up to 255 * 255, without dividing.
inline std::uint32_t div255(std::uint32_t x)
{
    return (x + 1 + (x >> 8)) >> 8;
}

// B, G, R, A in memory order; premultiplied (a transparent pixel is all zero).
inline std::uint32_t premultiplied(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a)
{
    return div255(b * a) | div255(g * a) << 8 | div255(r * a) << 16 | a << 24;
}

inline std::uint32_t opaque(std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return b | g << 8 | r << 16 | 0xFF000000u;
}

inline void put(std::uint8_t* px, std::uint32_t bgra)
{
    px[0] = std::uint8_t(bgra);
    px[1] = std::uint8_t(bgra >> 8);
    px[2] = std::uint8_t(bgra >> 16);
    px[3] = std::uint8_t(bgra >> 24);
}

// Rows with an alpha sample: RGBA (4 channels) or grey and alpha (2); the
// high byte of 16-bit samples (kStep 2) is the first of two.
template <int kChannels, std::size_t kStep>
void writeAlphaRow(const std::uint8_t* s, std::uint8_t* dst, std::size_t cols, std::size_t dstStep)
{
    for (std::size_t k = 0; k < cols; ++k, s += kChannels * kStep, dst += dstStep) {
        if constexpr (kChannels == 4)
            put(dst, premultiplied(s[0], s[kStep], s[2 * kStep], s[3 * kStep]));
        else
            put(dst, premultiplied(s[0], s[0], s[0], s[kStep]));
    }
}

// 8-bit RGB; with a key, the pixels of the key's colour are transparent.
template <bool kKeyed>
void writeRgbRow(const std::uint8_t* s, std::uint8_t* dst, std::size_t cols, std::size_t dstStep, std::int32_t key)
{
    for (std::size_t k = 0; k < cols; ++k, s += 3, dst += dstStep) {
        const std::uint32_t colour = std::uint32_t(s[0]) << 16 | std::uint32_t(s[1]) << 8 | s[2];
        if (kKeyed && std::int32_t(colour) == key)
            put(dst, 0);
        else
            put(dst, colour | 0xFF000000u);
    }
}

}  // namespace

bool PngDecoder::unfilterRow(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* above, std::size_t length,
                             std::size_t unit)
{
    switch (filter) {
    case 0:
        return true;
    case 2:
        for (std::size_t i = 0; i < length; ++i)
            row[i] = std::uint8_t(row[i] + above[i]);
        return true;
    case 1:
    case 3:
    case 4:
        switch (unit) {
        case 1: unfilterLeft<1>(filter, row, above, length); break;
        case 2: unfilterLeft<2>(filter, row, above, length); break;
        case 3: unfilterLeft<3>(filter, row, above, length); break;
        case 4: unfilterLeft<4>(filter, row, above, length); break;
        case 6: unfilterLeft<6>(filter, row, above, length); break;
        default: unfilterLeft<8>(filter, row, above, length); break;
        }
        return true;
    default:
        return false;
    }
}

void PngDecoder::buildLookup()
{
    m_lookupEntries = 0;
    if (m_ColorType != 0 && m_ColorType != 3)
        return;
    m_lookupEntries = std::min<std::size_t>(m_lookup.size(), m_Palette.size() / 3);
    const bool keyed = m_TransColor != -1;
    for (std::size_t i = 0; i < m_lookupEntries; ++i) {
        std::uint32_t alpha = 255;
        if (m_ColorType == 3)
            alpha = keyed && i < m_TransData.size() ? m_TransData[i] : 255;
        else if (keyed && m_BitDepth != 16)  // a 16-bit key is matched against both bytes
            alpha = std::int32_t(i) == m_TransColor ? 0 : 255;
        m_lookup[i] = premultiplied(m_Palette[3 * i], m_Palette[3 * i + 1], m_Palette[3 * i + 2], alpha);
    }
}

bool PngDecoder::failPaletteIndex(int index)
{
    return fail(LoadError::Corrupt,
                lang::trf("palette index %1 beyond the palette", "调色板索引 %1 超出了调色板", {std::to_string(index)}));
}

bool PngDecoder::DecodeNonInterlaced(std::span<std::uint8_t> data)
{
    const std::size_t length = rowBytes(m_Width);
    const std::size_t stride = length + 1;
    const std::size_t unit = std::size_t(GetPixelSize().unit);
    if (data.size() < stride * std::size_t(m_Height))
        return fail(LoadError::Truncated);
    const std::vector<std::uint8_t> zeros(length);
    std::uint8_t* bits = m_Host->BitsPointer();
    const std::size_t scan = std::size_t(m_Width) * 4;
    // Each row goes to the surface as soon as it is unfiltered, while it is
    // still in the cache.
    for (std::size_t j = 0; j < std::size_t(m_Height); ++j) {
        std::uint8_t* row = data.data() + j * stride;
        const std::uint8_t* above = j > 0 ? row - stride + 1 : zeros.data();
        // An unknown filter type leaves the row as stored.
        unfilterRow(row[0], row + 1, above, length, unit);
        if (const int bad = writeRow(row + 1, bits + (std::size_t(m_Height) - 1 - j) * scan, 8); bad >= 0)
            return failPaletteIndex(bad);
    }
    return true;
}

bool PngDecoder::DecodeInterlaced(std::span<std::uint8_t> data)
{
    const std::size_t unit = std::size_t(GetPixelSize().unit);
    const std::vector<std::uint8_t> zeros(rowBytes(m_Width));
    std::uint8_t* bits = m_Host->BitsPointer();
    const std::size_t scan = std::size_t(m_Width) * 4;
    std::size_t offset = 0;
    for (int pass = 1; pass <= 7; ++pass) {
        const std::int32_t cols = passCols(pass);
        const std::int32_t rows = passRows(pass);
        if (cols == 0 || rows == 0)
            continue;  // an empty pass takes no bytes, not even filter bytes
        const std::size_t length = rowBytes(cols);
        const std::size_t stride = length + 1;
        if (data.size() - offset < stride * std::size_t(rows))
            return fail(LoadError::Truncated);
        const Pass& p = kPasses[std::size_t(pass - 1)];
        // An unknown filter anywhere in the pass outranks a bad palette
        // index in it: the index's failure waits for the pass's end.
        int bad = -1;
        for (std::size_t j = 0; j < std::size_t(rows); ++j) {
            std::uint8_t* row = data.data() + offset + j * stride;
            if (!unfilterRow(row[0], row + 1, j > 0 ? row - stride + 1 : zeros.data(), length, unit))
                return fail(LoadError::Corrupt,
                            lang::trf("unknown filter type %1", "未知的过滤类型 %1", {std::to_string(row[0])}));
            const std::size_t y = std::size_t(p.rowStart) + j * std::size_t(p.rowStep);
            if (bad < 0)
                bad = writeRow(row + 1, bits + (std::size_t(m_Height) - 1 - y) * scan, pass);
        }
        if (bad >= 0)
            return failPaletteIndex(bad);
        offset += stride * std::size_t(rows);
    }
    return true;
}

int PngDecoder::writeRow(const std::uint8_t* src, std::uint8_t* dstRow, int pass) const
{
    const Pass& p = kPasses[std::size_t(pass - 1)];
    const std::size_t cols = std::size_t(pass == 8 ? m_Width : passCols(pass));
    std::uint8_t* dst = dstRow + std::size_t(p.colStart) * 4;
    const std::size_t step = std::size_t(p.colStep) * 4;
    const bool wide = m_BitDepth == 16;
    const bool keyed = m_TransColor != -1;
    switch (m_ColorType) {
    case 6:
        wide ? writeAlphaRow<4, 2>(src, dst, cols, step) : writeAlphaRow<4, 1>(src, dst, cols, step);
        return -1;
    case 4:
        wide ? writeAlphaRow<2, 2>(src, dst, cols, step) : writeAlphaRow<2, 1>(src, dst, cols, step);
        return -1;
    case 2:
        if (!wide) {
            keyed ? writeRgbRow<true>(src, dst, cols, step, m_TransColor)
                  : writeRgbRow<false>(src, dst, cols, step, m_TransColor);
            return -1;
        }
        // A 16-bit key matches whole samples, never single bytes.
        for (std::size_t k = 0; k < cols; ++k, src += 6, dst += step) {
            const bool transparent = keyed && m_TransData.size() >= 6 && std::equal(src, src + 6, m_TransData.begin());
            put(dst, transparent ? 0 : opaque(src[0], src[2], src[4]));
        }
        return -1;
    default:
        break;
    }
    // Grey and palette samples go through the lookup; 16-bit grey by its
    // high byte, its key matched against both bytes.
    const int d = m_BitDepth;
    for (std::size_t k = 0; k < cols; ++k, dst += step) {
        std::size_t sample = 0;
        if (d < 8) {
            const std::size_t bit = k * std::size_t(d);
            sample = std::size_t(src[bit / 8] >> (8 - d - int(bit % 8))) & ((std::size_t(1) << d) - 1);
        } else {
            sample = src[wide ? 2 * k : k];
        }
        if (sample >= m_lookupEntries)
            return int(sample);
        const bool keyedOut = wide && keyed && src[2 * k] == m_TransData[0] && src[2 * k + 1] == m_TransData[1];
        put(dst, keyedOut ? 0 : m_lookup[sample]);
    }
    return -1;
}
