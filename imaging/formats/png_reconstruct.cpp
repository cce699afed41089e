// Scan-line reconstruction (PNG filters, Adam7 passes) and conversion of
// every colour type and bit depth into premultiplied B, G, R, A pixels.
#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "imaging/formats/png_decoder.h"
#include "imaging/formats/png_rows.h"
#include "imaging/formats/vector_state.h"
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

// Row buffers for one image: a row of zeros (above a pass's first row) and
// two rows that take turns holding the current and the previous row, each
// with the padding the row kernels need.
class RowBuffers {
public:
    explicit RowBuffers(std::size_t length)
        : m_stride(length + pngrows::kRowPadding), m_bytes(3 * m_stride, 0)
    {
    }
    const std::uint8_t* zeros() const { return m_bytes.data(); }
    // A row that is not `above`.
    std::uint8_t* other(const std::uint8_t* above)
    {
        std::uint8_t* first = m_bytes.data() + m_stride;
        return above == first ? first + m_stride : first;
    }

private:
    std::size_t m_stride;
    std::vector<std::uint8_t> m_bytes;
};

}  // namespace

void PngDecoder::buildLookup()
{
    m_lookupEntries = 0;
    m_expanded.clear();
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
        m_lookup[i] = pngrows::premultiplied(m_Palette[3 * i], m_Palette[3 * i + 1], m_Palette[3 * i + 2], alpha);
    }
    // Samples below a byte go a byte at a time, when every value they can
    // take has an entry. (Without IHDR the depth is still 0.)
    const bool packed = m_BitDepth == 1 || m_BitDepth == 2 || m_BitDepth == 4;
    if (packed && m_lookupEntries >= (std::size_t(1) << m_BitDepth)) {
        m_expanded.resize(std::size_t(256) * std::size_t(8 / m_BitDepth));
        pngrows::expandLookup(m_BitDepth, m_lookup.data(), m_expanded.data());
    }
}

bool PngDecoder::rowFailure(LoadError error, std::string detail)
{
    m_rowError = error;
    m_rowErrorDetail = std::move(detail);
    return false;
}

bool PngDecoder::failPaletteIndex(int index)
{
    return rowFailure(LoadError::Corrupt,
                lang::trf("palette index %1 beyond the palette", "调色板索引 %1 超出了调色板", {std::to_string(index)}));
}

bool PngDecoder::DecodeNonInterlaced(ScanLines& lines)
{
    const std::size_t length = rowBytes(m_Width);
    const std::size_t stride = length + 1;
    const std::size_t unit = std::size_t(GetPixelSize().unit);
    const std::span<const std::uint8_t> data = lines.bytes();
    if (data.size() < stride * std::size_t(m_Height))
        return rowFailure(LoadError::Truncated);
    RowBuffers rows(length);
    const std::uint8_t* above = rows.zeros();
    std::uint8_t* bits = m_Host->BitsPointer();
    const std::size_t scan = std::size_t(m_Width) * 4;
    // Each row goes to the surface as soon as it is unfiltered, while it is
    // still in the cache. A row stored unfiltered (or with an unknown filter
    // type, which leaves it as stored) is read where it lies.
    for (std::size_t j = 0; j < std::size_t(m_Height); ++j) {
        if (!lines.reach((j + 1) * stride))
            return false;
        vectorstate::clearUpperHalves();
        const std::uint8_t* row = data.data() + j * stride;
        const std::uint8_t* samples = row + 1;
        if (row[0] >= 1 && row[0] <= 4) {
            std::uint8_t* out = rows.other(above);
            pngrows::unfilterRow(row[0], row + 1, above, out, length, unit);
            samples = out;
        }
        if (const int bad = convertRow(samples, bits + (std::size_t(m_Height) - 1 - j) * scan, std::size_t(m_Width));
            bad >= 0)
            return failPaletteIndex(bad);
        above = samples;
    }
    return true;
}

bool PngDecoder::DecodeInterlaced(ScanLines& lines)
{
    const std::span<const std::uint8_t> data = lines.bytes();
    const std::size_t unit = std::size_t(GetPixelSize().unit);
    RowBuffers rows(rowBytes(m_Width));
    // A pass's pixels are made side by side, then spread over the row.
    std::vector<std::uint8_t> pixels(std::size_t(m_Width) * 4);
    std::uint8_t* bits = m_Host->BitsPointer();
    const std::size_t scan = std::size_t(m_Width) * 4;
    std::size_t offset = 0;
    for (int pass = 1; pass <= 7; ++pass) {
        const std::size_t cols = std::size_t(passCols(pass));
        const std::size_t passRowCount = std::size_t(passRows(pass));
        if (cols == 0 || passRowCount == 0)
            continue;  // an empty pass takes no bytes, not even filter bytes
        const std::size_t length = rowBytes(std::int32_t(cols));
        const std::size_t stride = length + 1;
        if (data.size() - offset < stride * passRowCount)
            return rowFailure(LoadError::Truncated);
        const Pass& p = kPasses[std::size_t(pass - 1)];
        const std::size_t step = std::size_t(p.colStep) * 4;
        const std::uint8_t* above = rows.zeros();
        // An unknown filter anywhere in the pass outranks a bad palette
        // index in it: the index's failure waits for the pass's end.
        int bad = -1;
        for (std::size_t j = 0; j < passRowCount; ++j) {
            if (!lines.reach(offset + (j + 1) * stride))
                return false;
            vectorstate::clearUpperHalves();
            const std::uint8_t* row = data.data() + offset + j * stride;
            const std::uint8_t* samples = row + 1;
            if (row[0] != 0) {
                std::uint8_t* out = rows.other(above);
                if (!pngrows::unfilterRow(row[0], row + 1, above, out, length, unit))
                    return rowFailure(LoadError::Corrupt,
                                      lang::trf("unknown filter type %1", "未知的过滤类型 %1", {std::to_string(row[0])}));
                samples = out;
            }
            above = samples;
            if (bad >= 0)
                continue;
            const std::size_t y = std::size_t(p.rowStart) + j * std::size_t(p.rowStep);
            std::uint8_t* dst = bits + (std::size_t(m_Height) - 1 - y) * scan + std::size_t(p.colStart) * 4;
            if (step == 4) {
                bad = convertRow(samples, dst, cols);
                continue;
            }
            bad = convertRow(samples, pixels.data(), cols);
            for (std::size_t k = 0; k < cols; ++k)
                std::memcpy(dst + k * step, pixels.data() + 4 * k, 4);
        }
        if (bad >= 0)
            return failPaletteIndex(bad);
        offset += stride * passRowCount;
    }
    return true;
}

int PngDecoder::convertRow(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols) const
{
    const bool wide = m_BitDepth == 16;
    const bool keyed = m_TransColor != -1;
    switch (m_ColorType) {
    case 6:
        wide ? pngrows::rgba16ToPixels(samples, dst, cols) : pngrows::rgba8ToPixels(samples, dst, cols);
        return -1;
    case 4:
        pngrows::greyAlphaToPixels(samples, dst, cols, wide ? 2 : 1);
        return -1;
    case 2:
        if (wide)  // a 16-bit key matches whole samples, never single bytes
            pngrows::rgb16ToPixels(samples, dst, cols, keyed && m_TransData.size() >= 6 ? m_TransData.data() : nullptr);
        else if (keyed)
            pngrows::rgb8KeyedToPixels(samples, dst, cols, std::uint32_t(m_TransColor));
        else
            pngrows::rgb8ToPixels(samples, dst, cols);
        return -1;
    default:
        break;
    }
    // Grey and palette samples go through the lookup; 16-bit grey by its
    // high byte, its key matched against both bytes.
    if (wide)
        return pngrows::grey16ToPixels(samples, dst, cols, m_lookup.data(), m_lookupEntries,
                                       keyed ? m_TransData.data() : nullptr);
    return pngrows::lookupToPixels(samples, dst, cols, m_BitDepth, m_lookup.data(), m_lookupEntries,
                                   m_expanded.empty() ? nullptr : m_expanded.data());
}
