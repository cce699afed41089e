#include "imaging/formats/png_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>

#include "imaging/formats/byte_view.h"
#include "imaging/formats/inflate.h"
#include "imaging/surface/c32bppdib.h"
#include "platform/zlib/zlib_library.h"

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::size_t kMinimumFileForSignature = 56;
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

constexpr std::uint32_t chunkType(const char (&name)[5])
{
    return (std::uint32_t(std::uint8_t(name[0])) << 24) | (std::uint32_t(std::uint8_t(name[1])) << 16) |
           (std::uint32_t(std::uint8_t(name[2])) << 8) | std::uint32_t(std::uint8_t(name[3]));
}

// The platform imaging library is not part of this platform: that route
// always reports "unavailable" and our own decoder does all the work.
bool loadWithPlatformImaging()
{
    return false;
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
    if (loadWithPlatformImaging())
        return true;
    try {
        std::vector<std::uint8_t> idat;
        idat.reserve(input.size() / 2 + 1);
        m_checkCrc = zlib::IsDllFunctionAvailable("crc32");
        if (walkChunks(input, idat) == WalkResult::Ended && !idat.empty() && m_expectedSize > 0)
            DecodeImageData(idat);
    } catch (...) {
        // A size the memory cannot hold is a failed load, not a crash.
        dibClass.DestroyDIB();
    }
    m_Host = nullptr;
    return result;
}

bool PngDecoder::crcMatches(std::span<const std::uint8_t> typeAndData, std::uint32_t storedCrc) const
{
    // A stored CRC of 0 is taken as "not recorded".
    if (!m_checkCrc || storedCrc == 0)
        return true;
    zlib::Crc32Fn crc32 = zlib::crc32Function();
    if (!crc32)
        return true;
    return std::uint32_t(crc32(0, typeAndData.data(), unsigned(typeAndData.size()))) == storedCrc;
}

PngDecoder::WalkResult PngDecoder::walkChunks(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& idat)
{
    const ByteView view(input);
    std::int64_t start = sizeof kSignature;
    for (;;) {
        const std::optional<std::uint32_t> declared = view.u32be(start);
        // Length, type, data and CRC must all lie inside the input; a stream
        // that runs out without IEND ends here.
        if (!declared || !view.contains(start, std::int64_t(*declared) + 12))
            return WalkResult::Failed;
        const std::uint32_t length = *declared;
        const std::uint32_t type = view.u32be(start + 4).value_or(0);
        const std::uint32_t crc = view.u32be(start + 8 + length).value_or(0);
        const std::span<const std::uint8_t> typeAndData = view.sub(start + 4, std::int64_t(length) + 4);
        const std::span<const std::uint8_t> data = typeAndData.subspan(4);
        if (type == chunkType("IEND"))
            return WalkResult::Ended;
        if (length > 0) {
            if (type == chunkType("IHDR")) {
                if (!ReadIHDR(data, crc, typeAndData))
                    return WalkResult::Failed;
            } else if (type == chunkType("PLTE")) {
                if (!ReadPLTE(data, crc, typeAndData))
                    return WalkResult::Failed;
            } else if (type == chunkType("tRNS")) {
                ReadTRNS(data, crc, typeAndData);
            } else if (type == chunkType("IDAT")) {
                if (!crcMatches(typeAndData, crc))
                    return WalkResult::Failed;
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
        return false;
    // The 13 header bytes must be the chunk's own.
    const ByteView view(data);
    if (!view.contains(0, 13))
        return false;
    const std::int64_t width = view.i32be(0).value_or(0);
    const std::int64_t height = view.i32be(4).value_or(0);
    if (width < 1 || height < 1)
        return false;
    if (view.u8(10) != 0 || view.u8(11) != 0)
        return false;
    const std::uint8_t depth = view.u8(8).value_or(0);
    const std::uint8_t colour = view.u8(9).value_or(0);
    const std::uint8_t interlace = view.u8(12).value_or(0);
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16)
        return false;
    if (colour != 0 && colour != 2 && colour != 3 && colour != 4 && colour != 6)
        return false;
    if (interlace > 1)
        return false;
    // Combinations the PNG standard forbids are refused rather than guessed at.
    const bool combinationOk = colour == 0 || (colour == 3 && depth <= 8) || depth >= 8;
    if (!combinationOk)
        return false;
    // The 32-bpp surface's byte count, and each step towards it, must fit in
    // signed 32 bits.
    const std::int64_t rowBits = width * 32 + 31;
    if (rowBits > kInt32Max || (rowBits & ~31) / 8 * height > kInt32Max)
        return false;
    m_Width = std::int32_t(width);
    m_Height = std::int32_t(height);
    m_BitDepth = depth;
    m_ColorType = colour;
    m_Interlace = interlace;
    m_expectedSize = GetDataSize();
    return m_expectedSize > 0;
}

bool PngDecoder::ReadPLTE(std::span<const std::uint8_t> data, std::uint32_t crc,
                          std::span<const std::uint8_t> typeAndData)
{
    if (m_ColorType != 2 && m_ColorType != 3 && m_ColorType != 6)
        return true;
    if (!crcMatches(typeAndData, crc) || data.size() % 3 != 0)
        return false;
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
        const std::int64_t rowBytes = GetRowBytes(cols, bits);
        if (rowBytes < 0)
            return 0;
        total += rows * (rowBytes + 1);
        if (total > kInt32Max)
            return 0;
    }
    return total;
}

void PngDecoder::DecodeImageData(const std::vector<std::uint8_t>& compressed)
{
    // Zeroed lazily by the system: a declared size that the data never
    // fills costs address space, not memory.
    const std::size_t size = std::size_t(m_expectedSize);
    const std::unique_ptr<std::uint8_t, decltype(&std::free)> buffer(
        static_cast<std::uint8_t*>(std::calloc(size, 1)), &std::free);
    if (!buffer)
        return;
    const std::span<std::uint8_t> output(buffer.get(), size);
    bool decompressed = false;
    if (zlib::IsDllFunctionAvailable("uncompress")) {
        zlib::UncompressFn uncompress = zlib::uncompressFunction();
        unsigned long length = size;
        decompressed = uncompress && uncompress(output.data(), &length, compressed.data(), compressed.size()) == zlib::kOk;
        if (!decompressed)  // zlib reports how much it wrote before failing
            std::fill_n(output.begin(), std::min<std::size_t>(length, size), 0);
    }
    if (!decompressed) {
        Inflater inflater;
        decompressed = inflater.inflate(compressed, output, false) == InflateStatus::Ok;
    }
    if (!decompressed)
        return;

    CreateDefaultPalette();
    c32bppDIB& host = *m_Host;
    if (!host.InitializeDIB(m_Width, m_Height) || !host.BitsPointer()) {
        host.DestroyDIB();
        return;
    }
    const bool ok = m_Interlace == 1 ? DecodeInterlaced(output) : DecodeNonInterlaced(output);
    if (!ok) {
        host.DestroyDIB();
        return;
    }
    if (m_ColorType == 0 || m_ColorType == 3)
        host.setAlpha(m_TransColor != -1 || !m_TransData.empty());
    else
        host.setAlpha(true);
    host.setImageType(ImagePNG);
}
