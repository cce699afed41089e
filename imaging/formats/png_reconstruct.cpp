// Scan-line reconstruction (PNG filters, Adam7 passes) and conversion of
// every colour type and bit depth into premultiplied B, G, R, A pixels.
#include <algorithm>
#include <cstdlib>
#include <limits>

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

std::uint8_t paethPredictor(int a, int b, int c)
{
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    // Ties go to a, then to b (the PNG standard, filter type 4).
    if (pb < pa || pc < pa)
        return std::uint8_t(pc < pb ? c : b);
    return std::uint8_t(a);
}

}  // namespace

bool PngDecoder::unfilterRow(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* above, std::size_t length,
                             std::size_t unit)
{
    // The first row of an image or of an Adam7 pass has no row above: the
    // filters then see zeros there.
    switch (filter) {
    case 0:
        return true;
    case 1:
        for (std::size_t i = unit; i < length; ++i)
            row[i] = std::uint8_t(row[i] + row[i - unit]);
        return true;
    case 2:
        if (above)
            for (std::size_t i = 0; i < length; ++i)
                row[i] = std::uint8_t(row[i] + above[i]);
        return true;
    case 3:
        for (std::size_t i = 0; i < length; ++i) {
            const int left = i >= unit ? row[i - unit] : 0;
            const int up = above ? above[i] : 0;
            row[i] = std::uint8_t(row[i] + (left + up) / 2);
        }
        return true;
    case 4:
        for (std::size_t i = 0; i < length; ++i) {
            const int left = i >= unit ? row[i - unit] : 0;
            const int up = above ? above[i] : 0;
            const int upperLeft = above && i >= unit ? above[i - unit] : 0;
            row[i] = std::uint8_t(row[i] + paethPredictor(left, up, upperLeft));
        }
        return true;
    default:
        return false;
    }
}

bool PngDecoder::DecodeNonInterlaced(std::span<std::uint8_t> data)
{
    const std::size_t length = rowBytes(m_Width);
    const std::size_t stride = length + 1;
    const std::size_t unit = std::size_t(GetPixelSize().unit);
    if (data.size() < stride * std::size_t(m_Height))
        return fail(LoadError::Truncated);
    for (std::size_t j = 0; j < std::size_t(m_Height); ++j) {
        std::uint8_t* row = data.data() + j * stride;
        const std::uint8_t* above = j > 0 ? row - stride + 1 : nullptr;
        // An unknown filter type leaves the row as stored.
        unfilterRow(row[0], row + 1, above, length, unit);
    }
    return WritePixels(data.data(), 8, m_Height, stride);
}

bool PngDecoder::DecodeInterlaced(std::span<const std::uint8_t> data)
{
    const std::size_t unit = std::size_t(GetPixelSize().unit);
    std::size_t largest = 0;
    for (int pass = 1; pass <= 7; ++pass)
        if (passCols(pass) > 0)
            largest = std::max(largest, std::size_t(passRows(pass)) * (rowBytes(passCols(pass)) + 1));
    std::vector<std::uint8_t> scratch(largest);
    std::size_t offset = 0;
    for (int pass = 1; pass <= 7; ++pass) {
        const std::int32_t cols = passCols(pass);
        const std::int32_t rows = passRows(pass);
        if (cols == 0 || rows == 0)
            continue;  // an empty pass takes no bytes, not even filter bytes
        const std::size_t length = rowBytes(cols);
        const std::size_t stride = length + 1;
        const std::size_t size = stride * std::size_t(rows);
        if (data.size() - offset < size)
            return fail(LoadError::Truncated);
        std::copy_n(data.begin() + std::ptrdiff_t(offset), size, scratch.begin());
        for (std::size_t j = 0; j < std::size_t(rows); ++j) {
            std::uint8_t* row = scratch.data() + j * stride;
            const std::uint8_t* above = j > 0 ? row - stride + 1 : nullptr;
            if (!unfilterRow(row[0], row + 1, above, length, unit))
                return fail(LoadError::Corrupt,
                            lang::trf("unknown filter type %1", "未知的过滤类型 %1", {std::to_string(row[0])}));
        }
        offset += size;
        if (!WritePixels(scratch.data(), pass, rows, stride))
            return false;
    }
    return true;
}

bool PngDecoder::WritePixels(const std::uint8_t* buf, int pass, std::int32_t rows, std::size_t stride)
{
    std::uint8_t* bits = m_Host->BitsPointer();
    const std::size_t scan = std::size_t(m_Width) * 4;
    const Pass& p = kPasses[std::size_t(pass - 1)];
    for (std::int32_t i = 0; i < rows; ++i) {
        const std::int64_t y = std::int64_t(p.rowStart) + std::int64_t(i) * p.rowStep;
        std::uint8_t* dstRow = bits + std::size_t(m_Height - 1 - y) * scan;
        if (!writeRow(buf + std::size_t(i) * stride + 1, dstRow, pass))
            return false;
    }
    return true;
}

namespace {

void putPremultiplied(std::uint8_t* px, int r, int g, int b, int a)
{
    if (a == 0)
        return;  // transparent pixels stay all zero
    if (a != 255) {
        r = r * a / 255;
        g = g * a / 255;
        b = b * a / 255;
    }
    px[0] = std::uint8_t(b);
    px[1] = std::uint8_t(g);
    px[2] = std::uint8_t(r);
    px[3] = std::uint8_t(a);
}

}  // namespace

bool PngDecoder::writeRow(const std::uint8_t* src, std::uint8_t* dstRow, int pass)
{
    const Pass& p = kPasses[std::size_t(pass - 1)];
    const int d = m_BitDepth;
    const std::size_t unit = std::size_t(GetPixelSize().unit);
    const bool wide = d == 16;
    const int step = wide ? 2 : 1;  // 16-bit samples: the high byte is the first of two
    const bool keyed = m_TransColor != -1;
    for (std::int64_t x = p.colStart, k = 0; x < m_Width; x += p.colStep, ++k) {
        std::uint8_t* px = dstRow + std::size_t(x) * 4;
        const std::uint8_t* s = src + std::size_t(k) * unit;
        switch (m_ColorType) {
        case 6:
            putPremultiplied(px, s[0], s[step], s[2 * step], s[3 * step]);
            break;
        case 4:
            putPremultiplied(px, s[0], s[0], s[0], s[step]);
            break;
        case 2: {
            bool transparent = false;
            if (keyed && wide) {
                // A 16-bit key matches whole samples, never single bytes.
                transparent = m_TransData.size() >= 6 && std::equal(s, s + 6, m_TransData.begin());
            } else if (keyed) {
                transparent = ((std::int32_t(s[0]) << 16) | (std::int32_t(s[1]) << 8) | s[2]) == m_TransColor;
            }
            putPremultiplied(px, s[0], s[step], s[2 * step], transparent ? 0 : 255);
            break;
        }
        case 0:
        case 3: {
            int sample = 0;
            if (d < 8) {
                const std::size_t bit = std::size_t(k) * std::size_t(d);
                sample = (src[bit / 8] >> (8 - d - int(bit % 8))) & ((1 << d) - 1);
            } else {
                sample = src[std::size_t(k) * std::size_t(step)];
            }
            const std::size_t entry = std::size_t(sample) * 3;
            if (entry + 2 >= m_Palette.size())
                return fail(LoadError::Corrupt, lang::trf("palette index %1 beyond the palette", "调色板索引 %1 超出了调色板",
                                                          {std::to_string(sample)}));
            int alpha = 255;
            if (m_ColorType == 3) {
                alpha = keyed && std::size_t(sample) < m_TransData.size() ? m_TransData[std::size_t(sample)] : 255;
            } else if (keyed && wide) {
                const std::uint8_t* g = src + std::size_t(k) * 2;
                alpha = m_TransData.size() >= 2 && g[0] == m_TransData[0] && g[1] == m_TransData[1] ? 0 : 255;
            } else if (keyed) {
                alpha = sample == m_TransColor ? 0 : 255;
            }
            putPremultiplied(px, m_Palette[entry], m_Palette[entry + 1], m_Palette[entry + 2], alpha);
            break;
        }
        default:
            return fail(LoadError::Unsupported);
        }
    }
    return true;
}
