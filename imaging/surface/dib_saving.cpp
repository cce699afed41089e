// Saving as a 32-bpp BMP: the surface's memory unchanged (bottom-up rows,
// premultiplied B, G, R, A) behind the file header and BITMAPINFOHEADER.
#include <QFile>
#include <QFileInfo>
#include <limits>

#include "imaging/surface/c32bppdib.h"
#include "imaging/surface/mod_parsers.h"

namespace {

constexpr std::uint32_t kHeaderBytes = 54;

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v)
{
    out[at] = std::uint8_t(v);
    out[at + 1] = std::uint8_t(v >> 8);
}

void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v)
{
    put16(out, at, v & 0xFFFF);
    put16(out, at + 2, v >> 16);
}

// The whole file, or an empty vector when its size does not fit 32 bits.
std::vector<std::uint8_t> bmpBytes(const std::uint8_t* bits, std::int32_t width, std::int32_t height)
{
    const std::int64_t pixels = std::int64_t(width) * height * 4;
    if (pixels + kHeaderBytes > std::numeric_limits<std::int32_t>::max())
        return {};
    std::vector<std::uint8_t> out(std::size_t(pixels) + kHeaderBytes, 0);
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, std::uint32_t(pixels) + kHeaderBytes);
    put32(out, 10, kHeaderBytes);
    put32(out, 14, 40);
    put32(out, 18, std::uint32_t(width));
    put32(out, 22, std::uint32_t(height));  // positive: bottom-up rows
    put16(out, 26, 1);
    put16(out, 28, 32);
    put32(out, 34, std::uint32_t(pixels));
    std::copy_n(bits, std::size_t(pixels), out.begin() + kHeaderBytes);
    return out;
}

}  // namespace

bool c32bppDIB::SaveToFile(const QString& FileName, bool PromptOverwrite, const OverwriteQuestion& askOverwrite)
{
    if (FileName.isEmpty() || !m_dib)
        return false;
    try {
        const QFileInfo info(FileName);
        if (info.exists() && !info.isDir() && PromptOverwrite && !(askOverwrite && askOverwrite(FileName)))
            return false;
        const std::vector<std::uint8_t> bytes = bmpBytes(m_bits, m_width, m_height);
        // A read-only file is replaced like any other.
        return !bytes.empty() && modParsers::ReplaceFile(FileName, bytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool c32bppDIB::SaveToStream(ByteArray& outStream) const
{
    if (!m_dib)
        return false;
    try {
        std::vector<std::uint8_t> bytes = bmpBytes(m_bits, m_width, m_height);
        if (bytes.empty())
            return false;
        outStream = ByteArray(std::move(bytes), 0);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
