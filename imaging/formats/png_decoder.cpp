#include "imaging/formats/png_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <string>

#include "imaging/formats/byte_view.h"
#include "imaging/formats/inflate.h"
#include "imaging/formats/png_rows.h"
#include "imaging/surface/c32bppdib.h"
#include "imaging/surface/image_limits.h"
#include "platform/gdi/dib_convert.h"
#include "platform/language/language.h"
#include "platform/zlib/zlib_library.h"

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::size_t kMinimumFileForSignature = 56;
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// Memory kept between loads on one thread: decoding picture after picture
// (a button decodes its icon at every paint) then reuses warm pages instead
// of having the system fault in and clear fresh ones for every load. Larger
// buffers are given back after the load, so one huge picture is not held.
constexpr std::size_t kKeptScratch = std::size_t(32) << 20;

struct Scratch {
    std::vector<std::uint8_t> idat;
    std::unique_ptr<std::uint8_t[]> scanLines;
    std::size_t scanLinesSize = 0;
    bool inUse = false;
};
thread_local Scratch t_scratch;

// The thread's scratch for one load, or fresh buffers when a load is already
// using it further up the stack.
class ScratchLease {
public:
    ScratchLease() : m_scratch(t_scratch.inUse ? m_own : t_scratch) { m_scratch.inUse = true; }
    ~ScratchLease()
    {
        m_scratch.inUse = false;
        if (m_scratch.idat.capacity() > kKeptScratch)
            std::vector<std::uint8_t>().swap(m_scratch.idat);
        if (m_scratch.scanLinesSize > kKeptScratch) {
            m_scratch.scanLines.reset();
            m_scratch.scanLinesSize = 0;
        }
    }
    ScratchLease(const ScratchLease&) = delete;
    ScratchLease& operator=(const ScratchLease&) = delete;

    std::vector<std::uint8_t>& idat() { return m_scratch.idat; }
    // `size` bytes of unspecified content, with the row kernels' padding
    // (zeros) behind them.
    std::span<std::uint8_t> scanLines(std::size_t size)
    {
        if (m_scratch.scanLinesSize < size + pngrows::kRowPadding) {
            m_scratch.scanLines.reset();
            m_scratch.scanLinesSize = 0;
            m_scratch.scanLines.reset(new std::uint8_t[size + pngrows::kRowPadding]);
            m_scratch.scanLinesSize = size + pngrows::kRowPadding;
        }
        std::fill_n(m_scratch.scanLines.get() + size, pngrows::kRowPadding, std::uint8_t(0));
        return {m_scratch.scanLines.get(), size};
    }

private:
    Scratch m_own;
    Scratch& m_scratch;
};

constexpr std::uint32_t chunkType(const char (&name)[5])
{
    return (std::uint32_t(std::uint8_t(name[0])) << 24) | (std::uint32_t(std::uint8_t(name[1])) << 16) |
           (std::uint32_t(std::uint8_t(name[2])) << 8) | std::uint32_t(std::uint8_t(name[3]));
}

}  // namespace

bool PngDecoder::IsPNGSignature(std::span<const std::uint8_t> input)
{
    if (input.size() < sizeof kSignature)
        return false;
    for (std::size_t i = 0; i < sizeof kSignature; ++i)
        if (input[i] != kSignature[i])
            return false;
    return true;
}

bool PngDecoder::fail(LoadError error, std::string detail)
{
    m_Host->failLoad(error, std::move(detail));
    return false;
}

bool PngDecoder::ParsePNG(std::span<const std::uint8_t> input, bool fromFile, c32bppDIB& dibClass)
{
    m_TransColor = -1;
    m_Host = &dibClass;
    bool result = false;
    if (!fromFile || input.size() >= kMinimumFileForSignature) {
        if (!IsPNGSignature(input))
            return false;
        result = true;
    }
    try {
        ScratchLease scratch;
        std::vector<std::uint8_t>& idat = scratch.idat();
        idat.clear();
        idat.reserve(input.size());  // IDAT data is never more than the file
        m_checkCrc = zlib::IsDllFunctionAvailable("crc32");
        if (!walkChunks(input, idat)) {
            // The walk recorded why.
        } else if (idat.empty()) {
            fail(LoadError::Truncated, lang::tr("no image data (IDAT)", "没有图像数据（IDAT）"));
        } else if (!imaging::compressedCanFill(m_expectedSize, std::int64_t(idat.size()))) {
            // Zero-filling the rest would cost memory and time for a picture
            // that is not there.
            fail(LoadError::SizeBeyondData,
                 lang::trf("%1 bytes of image data cannot fill %2 x %3 pixels", "%1 字节的图像数据无法填满 %2 x %3 像素",
                           {std::to_string(idat.size()), std::to_string(m_Width), std::to_string(m_Height)}));
        } else {
            DecodeImageData(idat, scratch.scanLines(std::size_t(m_expectedSize)));
        }
    } catch (const std::bad_alloc&) {
        fail(LoadError::OutOfMemory);
    }
    m_Host = nullptr;
    return result;
}

bool PngDecoder::crcMatches(std::span<const std::uint8_t> typeAndData, std::uint32_t storedCrc) const
{
#ifdef SORTIA_FUZZ_NO_CRC
    (void)typeAndData;
    (void)storedCrc;
    return true;
#else
    // A stored CRC of 0 means the chunk is not checked: a
    // deliberate leniency that files in the field may rely on. Whatever such
    // a chunk claims still meets the size limits.
    if (!m_checkCrc || storedCrc == 0)
        return true;
    zlib::Crc32Fn crc32 = zlib::crc32Function();
    if (!crc32)
        return true;
    return std::uint32_t(crc32(0, typeAndData.data(), unsigned(typeAndData.size()))) == storedCrc;
#endif
}

bool PngDecoder::walkChunks(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& idat)
{
    const ByteView view(input);
    std::int64_t start = sizeof kSignature;
    for (;;) {
        const std::optional<std::uint32_t> declared = view.u32be(start);
        // Length, type, data and CRC must all lie inside the input; a stream
        // that runs out without IEND ends here.
        if (!declared || !view.contains(start, std::int64_t(*declared) + 12))
            return fail(LoadError::Truncated, lang::tr("a chunk runs past the end, or IEND is missing",
                                                       "有数据块超出了结尾，或缺少 IEND"));
        const std::uint32_t length = *declared;
        const std::uint32_t type = view.u32be(start + 4).value_or(0);
        const std::uint32_t crc = view.u32be(start + 8 + length).value_or(0);
        const std::span<const std::uint8_t> typeAndData = view.sub(start + 4, std::int64_t(length) + 4);
        const std::span<const std::uint8_t> data = typeAndData.subspan(4);
        if (type == chunkType("IEND"))
            return true;
        if (length > 0) {
            if (type == chunkType("IHDR")) {
                if (!ReadIHDR(data, crc, typeAndData))
                    return false;
            } else if (type == chunkType("PLTE")) {
                if (!ReadPLTE(data, crc, typeAndData))
                    return false;
            } else if (type == chunkType("tRNS")) {
                ReadTRNS(data, crc, typeAndData);
            } else if (type == chunkType("IDAT")) {
                if (!crcMatches(typeAndData, crc))
                    return fail(LoadError::BadChecksum, "IDAT");
                idat.insert(idat.end(), data.begin(), data.end());
            }
        }
        start += std::int64_t(length) + 12;
    }
}

bool PngDecoder::ReadIHDR(std::span<const std::uint8_t> data, std::uint32_t crc,
                          std::span<const std::uint8_t> typeAndData)
{
    if (!crcMatches(typeAndData, crc))
        return fail(LoadError::BadChecksum, "IHDR");
    // The 13 header bytes must be the chunk's own.
    const ByteView view(data);
    if (!view.contains(0, 13))
        return fail(LoadError::Corrupt, lang::tr("the header chunk is too short", "头数据块太短"));
    const std::int64_t width = view.i32be(0).value_or(0);
    const std::int64_t height = view.i32be(4).value_or(0);
    const std::uint8_t depth = view.u8(8).value_or(0);
    const std::uint8_t colour = view.u8(9).value_or(0);
    const std::uint8_t interlace = view.u8(12).value_or(0);
    const bool depthOk = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    const bool colourOk = colour == 0 || colour == 2 || colour == 3 || colour == 4 || colour == 6;
    if (width < 1 || height < 1 || view.u8(10) != 0 || view.u8(11) != 0 || !depthOk || !colourOk || interlace > 1)
        return fail(LoadError::Corrupt, lang::tr("a header field is out of range", "头字段超出范围"));
    // Combinations the PNG standard forbids are refused rather than guessed at.
    const bool combinationOk = colour == 0 || (colour == 3 && depth <= 8) || depth >= 8;
    if (!combinationOk)
        return fail(LoadError::Unsupported, lang::trf("colour type %1 at bit depth %2", "颜色类型 %1、位深 %2",
                                                      {std::to_string(colour), std::to_string(depth)}));
    // The 32-bpp surface's byte count, and each step towards it (the row's
    // bit count too), must fit in signed 32 bits and the pixel limit.
    if (width * 32 + 31 > kInt32Max) {
        m_Host->acceptsSize(width, std::int64_t(1) << 31);
        return false;
    }
    if (!m_Host->acceptsSize(width, height))
        return false;
    m_Width = std::int32_t(width);
    m_Height = std::int32_t(height);
    m_BitDepth = depth;
    m_ColorType = colour;
    m_Interlace = interlace;
    m_expectedSize = GetDataSize();
    if (m_expectedSize <= 0)
        return fail(LoadError::TooManyPixels, lang::tr("the scan lines exceed 2 GiB", "扫描行超过 2 GiB"));
    return true;
}

bool PngDecoder::ReadPLTE(std::span<const std::uint8_t> data, std::uint32_t crc,
                          std::span<const std::uint8_t> typeAndData)
{
    if (m_ColorType != 2 && m_ColorType != 3 && m_ColorType != 6)
        return true;
    if (!crcMatches(typeAndData, crc))
        return fail(LoadError::BadChecksum, "PLTE");
    if (data.size() % 3 != 0)
        return fail(LoadError::Corrupt, lang::tr("the palette is not made of whole entries", "调色板的长度不是整数个条目"));
    m_Palette.assign(data.begin(), data.end());
    return true;
}

void PngDecoder::ReadTRNS(std::span<const std::uint8_t> data, std::uint32_t crc,
                          std::span<const std::uint8_t> typeAndData)
{
    if (m_ColorType != 0 && m_ColorType != 2 && m_ColorType != 3)
        return;
    if (!crcMatches(typeAndData, crc))
        return;
    m_TransData.assign(data.begin(), data.end());
    // A chunk too short for its colour type leaves no key.
    m_TransColor = -1;
    if (m_ColorType == 0 && data.size() >= 2) {
        m_TransColor = data[1];
    } else if (m_ColorType == 2 && data.size() >= 6) {
        m_TransColor = (std::int32_t(data[1]) << 16) | (std::int32_t(data[3]) << 8) | data[5];
    } else if (m_ColorType == 3) {
        m_TransColor = 0;
        if (m_TransData.size() < 256)
            m_TransData.resize(256, 255);  // indices without an entry are opaque
    }
}

std::int64_t PngDecoder::GetDataSize() const
{
    const std::int32_t bits = GetPixelSize().bits;
    std::int64_t total = 0;
    const int first = m_Interlace == 1 ? 1 : 8;
    const int last = m_Interlace == 1 ? 7 : 8;
    for (int pass = first; pass <= last; ++pass) {
        const std::int64_t cols = passCols(pass);
        const std::int64_t rows = passRows(pass);
        if (cols == 0 || rows == 0)
            continue;
        const std::int64_t rowBytes = gdi::rowStride(bits, cols, 1);
        if (rowBytes < 0)
            return 0;
        total += rows * (rowBytes + 1);
        if (total > kInt32Max)
            return 0;
    }
    return total;
}

ScanLines::ScanLines(std::span<std::uint8_t> all) : m_bytes(all), m_ready(all.size()) {}

ScanLines::ScanLines(std::span<std::uint8_t> buffer, Inflater& inflater) : m_bytes(buffer), m_inflater(&inflater) {}

bool ScanLines::reach(std::size_t end)
{
    if (end <= m_ready)
        return true;
    if (!m_inflater || m_inflater->finished())
        return false;  // failed: what is ready is all there will be
    // A stretch ahead of what is asked for, small enough to stay in the cache
    // until its rows are made.
    constexpr std::size_t kStretch = std::size_t(64) << 10;
    const std::size_t target = std::min(m_bytes.size(), std::max(end, m_inflater->written() + kStretch));
    if (m_inflater->decodeUntil(target) != InflateStatus::Ok)
        return false;
    m_ready = m_inflater->written();
    if (m_inflater->finished()) {
        // Scan lines the data does not reach read as zeros.
        std::fill(m_bytes.begin() + std::ptrdiff_t(m_ready), m_bytes.end(), std::uint8_t(0));
        m_ready = m_bytes.size();
    }
    return end <= m_ready;
}

InflateStatus ScanLines::finish()
{
    return m_inflater ? m_inflater->decodeUntil(std::numeric_limits<std::size_t>::max()) : InflateStatus::Ok;
}

void PngDecoder::DecodeImageData(const std::vector<std::uint8_t>& compressed, std::span<std::uint8_t> output)
{
    CreateDefaultPalette();
    buildLookup();
    if (zlib::IsDllFunctionAvailable("uncompress")) {
        zlib::UncompressFn uncompress = zlib::uncompressFunction();
        unsigned long length = output.size();
        if (uncompress && uncompress(output.data(), &length, compressed.data(), compressed.size()) == zlib::kOk) {
            // Scan lines the data does not reach read as zeros.
            std::fill(output.begin() + std::ptrdiff_t(std::min<std::size_t>(length, output.size())), output.end(),
                      std::uint8_t(0));
            ScanLines lines(output);
            reconstruct(lines);
            return;
        }
    }
    // Our inflate, from the start or after zlib failed: rows are made as
    // their data comes out.
    Inflater inflater;
    inflater.start(compressed, output, false);
    ScanLines lines(output, inflater);
    reconstruct(lines);
}

void PngDecoder::reconstruct(ScanLines& lines)
{
    c32bppDIB& host = *m_Host;
    const bool surface = host.InitializeDIB(m_Width, m_Height) && host.BitsPointer();
    // Rows stop at the first failure; whatever it was, data that does not
    // decompress is the reason given, as decompression comes first.
    const bool rows = surface && (m_Interlace == 1 ? DecodeInterlaced(lines) : DecodeNonInterlaced(lines));
    if (const InflateStatus status = lines.finish(); status != InflateStatus::Ok) {
        fail(LoadError::BadCompressedData, inflateStatusText(status));
        return;
    }
    if (!surface) {
        fail(LoadError::OutOfMemory);
        return;
    }
    if (!rows) {
        fail(m_rowError, m_rowErrorDetail);
        return;
    }
    if (m_ColorType == 0 || m_ColorType == 3)
        host.setAlpha(m_TransColor != -1 || !m_TransData.empty());
    else
        host.setAlpha(true);
    host.setImageType(ImagePNG);
}
