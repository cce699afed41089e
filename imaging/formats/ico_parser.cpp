// The ICO and CUR reader: directory checks, the choice of an entry, and the
// decoding of bitmap entries (PNG entries go to the PNG reader).
#include "imaging/formats/ico_parser.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "imaging/formats/byte_view.h"
#include "imaging/formats/png_parser.h"
#include "imaging/surface/c32bppdib.h"
#include "platform/gdi/dib_convert.h"
#include "platform/language/language.h"

namespace {

constexpr std::int64_t kHeaderSize = 6;
constexpr std::int64_t kEntrySize = 16;
constexpr std::uint16_t kIhdrTail = 21060;  // "DR" of "IHDR", read little-endian
constexpr std::uint16_t kPngEntry = 255;
constexpr std::uint16_t kTypeIcon = 1;
constexpr std::uint16_t kTypeCursor = 2;
constexpr std::int32_t kStartScore = 10000;
constexpr std::uint8_t kPngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

enum class Check { Valid, Invalid, OutOfRange };

// A PNG entry's size and depth come from its own header. Sizes the
// directory cannot express leave the depth to be derived from IHDR.
bool checkPngEntry(const ByteView& v, IconDirEntry& e)
{
    e.planes = kPngEntry;
    const std::int64_t at = e.imageOffset;
    const auto sig = v.sub(at, 8);
    const auto ihdr = v.sub(at + 12, 4);
    if (sig.empty() || ihdr.empty() || std::memcmp(sig.data(), kPngSignature, 8) != 0 ||
        std::memcmp(ihdr.data(), "IHDR", 4) != 0)
        return false;
    const auto width = v.u32be(at + 16);
    const auto height = v.u32be(at + 20);
    const auto depth = v.u8(at + 24);
    const auto colourType = v.u8(at + 25);
    if (!width || !height || !depth || !colourType) {
        e.bitCount = 0;
        return false;
    }
    auto fitByte = [&e](std::uint32_t size, std::uint8_t& field) {
        if (size == 256)
            field = 0;
        else if (size >= 1 && size <= 255)
            field = std::uint8_t(size);
        else
            e.bitCount = 0;
    };
    fitByte(*width, e.widthByte);
    fitByte(*height, e.heightByte);
    if (e.bitCount == 0 && *depth != 0) {
        if (*depth == 16)
            e.bitCount = 32;
        else if (*colourType == 4 || *colourType == 6)
            e.bitCount = 32;
        else if (*colourType == 2)
            e.bitCount = 24;
        else
            e.bitCount = *depth;
    }
    return e.bitCount > 0;
}

// The header's bit count is trusted over the directory's; a PNG entry's
// result decides the icon's validity as far as the walk has come.
Check validateEntries(const ByteView& v, std::vector<IconDirEntry>& entries)
{
    bool valid = true;
    for (IconDirEntry& e : entries) {
        e.planes = 1;
        const auto marker = v.u16(std::int64_t(e.imageOffset) + 14);
        if (!marker)
            return Check::OutOfRange;
        if (*marker == kIhdrTail)
            valid = checkPngEntry(v, e);
        else if (*marker != 0)
            e.bitCount = *marker;
        else if (e.bitCount == 0)
            valid = false;
    }
    return valid ? Check::Valid : Check::Invalid;
}

bool readDirectory(const ByteView& v, std::uint16_t& type, std::vector<IconDirEntry>& entries)
{
    const auto reserved = v.u16(0);
    const auto fileType = v.u16(2);
    const auto count = v.u16(4);
    if (!reserved || !fileType || !count)
        return false;
    const std::int32_t n = std::int16_t(*count);
    if (n <= 0 || *reserved != 0 || (*fileType != kTypeIcon && *fileType != kTypeCursor))
        return false;
    std::int64_t needed = kHeaderSize + kEntrySize * n;
    if (v.size() < needed)
        return false;
    entries.resize(std::size_t(n));
    for (std::int32_t i = 0; i < n; ++i) {
        const std::int64_t at = kHeaderSize + kEntrySize * i;
        IconDirEntry& e = entries[std::size_t(i)];
        e.widthByte = *v.u8(at);
        e.heightByte = *v.u8(at + 1);
        e.bitCount = *v.u16(at + 6);
        e.dataSize = *v.u32(at + 8);
        e.imageOffset = *v.u32(at + 12);
        needed += e.dataSize;
    }
    type = *fileType;
    return v.size() >= needed;
}

std::int32_t passOneScore(const IconDirEntry& e, std::int32_t desiredWidth, std::int32_t desiredHeight)
{
    if (e.bitCount > 32)
        return -kStartScore;
    // Entries smaller than asked count double, so a larger one is preferred.
    std::int32_t dw = e.width() - desiredWidth;
    std::int32_t dh = e.height() - desiredHeight;
    if (dw < 0)
        dw *= 2;
    if (dh < 0)
        dh *= 2;
    return dw + dh + std::abs(32 - e.bitCount);
}

}  // namespace

int chooseIconEntry(const std::vector<IconDirEntry>& entries, std::int32_t desiredWidth, std::int32_t desiredHeight)
{
    if (desiredWidth < 1)
        desiredWidth = 32;
    if (desiredHeight < 1)
        desiredHeight = 32;
    if (entries.size() == 1)
        return entries[0].bitCount != 0 ? 0 : -1;
    std::vector<std::int32_t> scores(entries.size(), 0);
    std::int32_t best = kStartScore;
    int chosen = -1;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].bitCount == 0)
            continue;
        scores[i] = passOneScore(entries[i], desiredWidth, desiredHeight);
        if (scores[i] == 0)
            return int(i);
        if (scores[i] > 0 && scores[i] < best) {
            best = scores[i];
            chosen = int(i);
        }
    }
    if (chosen >= 0)
        return chosen;
    // Nothing at least as large as asked: the closest from the other side,
    // the later entry winning among equals.
    best = kStartScore;
    chosen = 0;
    for (std::size_t i = entries.size(); i-- > 0;) {
        const std::int32_t score = std::abs(scores[i]) + std::abs(32 - entries[i].bitCount);
        if (score < best) {
            best = score;
            chosen = int(i);
        }
    }
    return chosen;
}

namespace {

// Applies the AND mask: set bits are transparent. Rows of the mask run
// bottom-up like the surface's.
bool applyMask(std::span<const std::uint8_t> mask, std::int64_t maskRow, c32bppDIB& host)
{
    bool anySet = false;
    for (std::int32_t r = 0; r < host.Height(); ++r) {
        const std::uint8_t* bits = mask.data() + std::size_t(r) * std::size_t(maskRow);
        std::uint8_t* p = host.BitsPointer() + std::size_t(r) * std::size_t(host.ScanWidth());
        for (std::int32_t x = 0; x < host.Width(); ++x, p += 4) {
            if (bits[x / 8] & (0x80 >> (x % 8))) {
                std::memset(p, 0, 4);
                anySet = true;
            } else {
                p[3] = 255;
            }
        }
    }
    return anySet;
}

// 32-bit entries carry straight alpha in their fourth bytes; their mask is
// not used.
void applyAlpha(std::span<const std::uint8_t> source, c32bppDIB& host)
{
    std::uint8_t* p = host.BitsPointer();
    const std::size_t count = std::size_t(host.Width()) * std::size_t(host.Height());
    for (std::size_t i = 0; i < count; ++i, p += 4) {
        const unsigned a = source[i * 4 + 3];
        if (a == 0) {
            std::memset(p, 0, 4);
            continue;
        }
        if (a != 255) {
            for (int k = 0; k < 3; ++k)
                p[k] = std::uint8_t(p[k] * a / 255);
        }
        p[3] = std::uint8_t(a);
    }
}

// The colour table (or bit-field masks) of a bitmap entry, cut to what lies
// inside the data; missing entries read as black.
std::span<const std::uint8_t> colourTable(const ByteView& v, std::int64_t at, const gdi::BITMAPINFOHEADER& h,
                                          std::int64_t paletteEntries)
{
    std::int64_t bytes = 0;
    if (h.biCompression == gdi::BI_BITFIELDS)
        bytes = 12;
    else if (h.biBitCount <= 8)
        bytes = 4 * ((paletteEntries <= 0 || paletteEntries > (1 << h.biBitCount)) ? (1 << h.biBitCount)
                                                                                   : paletteEntries);
    const std::int64_t available = std::max<std::int64_t>(0, std::min(bytes, v.size() - at));
    return v.sub(at, available);
}

ReadOutcome loadBitmapEntry(const ByteView& v, const IconDirEntry& e, bool cursor, c32bppDIB& host)
{
    const std::int64_t at = e.imageOffset;
    const std::int32_t b = e.bitCount;
    const auto biSize = v.u32(at);
    const auto compression = v.u32(at + 16);
    const std::int64_t colourRow = gdi::rowStride(b, e.width());
    const std::int64_t maskRow = gdi::rowStride(1, e.width());
    if (!biSize || !compression) {
        host.failLoad(LoadError::Truncated, lang::tr("an entry's header lies outside the file", "条目的头部超出了文件"));
        return ReadOutcome::Failed;
    }
    if (b < 1 || b > 32 || colourRow < 0 || maskRow < 0) {
        // No depth the conversion knows: nothing loads.
        host.failLoad(LoadError::Unsupported, lang::trf("%1 bits per pixel", "每像素 %1 位", {std::to_string(b)}));
        return ReadOutcome::Accepted;
    }
    // The mask is sized with the full width and height (256 is stored as 0).
    const std::int64_t colourSize = colourRow * e.height();
    const std::int64_t maskSize = maskRow * e.height();
    const std::int64_t paletteEntries = b > 8 ? 0 : (std::int64_t(e.dataSize) - (*biSize + colourSize + maskSize)) / 4;
    const std::int64_t pixelOffset = at + *biSize + (b < 16 ? (std::int64_t(4) << b) : 0);
    const auto pixels = v.sub(pixelOffset, colourSize);
    const auto mask = v.sub(at + std::int64_t(e.dataSize) - maskSize, maskSize);
    if (pixels.empty() || (b != 32 && (mask.empty() || at + std::int64_t(e.dataSize) - maskSize < at))) {
        host.failLoad(LoadError::Truncated, lang::tr("an entry's pixels lie outside the file", "条目的像素超出了文件"));
        return ReadOutcome::Failed;
    }

    gdi::BITMAPINFOHEADER h;
    h.biWidth = e.width();
    h.biHeight = e.height();
    h.biBitCount = std::uint16_t(b);
    h.biCompression = *compression;
    const auto table = colourTable(v, at + *biSize, h, paletteEntries);
    if (!host.acceptsSize(e.width(), e.height()))
        return ReadOutcome::Accepted;
    if (!host.InitializeDIB(e.width(), e.height())) {
        host.failLoad(LoadError::OutOfMemory);
        return ReadOutcome::Accepted;
    }
    const std::size_t outBytes = std::size_t(host.ScanWidth()) * std::size_t(host.Height());
    if (!gdi::convertDibTo32bpp(h, table, pixels, std::span<std::uint8_t>(host.BitsPointer(), outBytes))) {
        host.failLoad(LoadError::Unsupported, lang::tr("an entry's pixel layout", "条目的像素格式"));
        return ReadOutcome::Accepted;
    }
    if (b == 32) {
        applyAlpha(pixels, host);
        host.setAlpha(true);
        host.setImageType(cursor ? ImageCursorARGB : ImageIconARGB);
    } else {
        host.setAlpha(applyMask(mask, maskRow, host));
        host.setImageType(cursor ? ImageCursor : ImageIcon);
    }
    return ReadOutcome::Accepted;
}

ReadOutcome loadPngEntry(const ByteArray& inStream, const IconDirEntry& e, std::int32_t streamOffset,
                         c32bppDIB& host)
{
    const std::int64_t start = std::int64_t(streamOffset) + e.imageOffset;
    if (start > std::numeric_limits<std::int32_t>::max() || e.dataSize > std::uint32_t(std::numeric_limits<std::int32_t>::max()) ||
        inStream.range(start, e.dataSize).empty()) {
        host.failLoad(LoadError::Truncated, lang::tr("a PNG entry lies outside the file", "PNG 条目超出了文件"));
        return ReadOutcome::Failed;
    }
    const ReadOutcome outcome = cPNGparser().LoadStream(inStream, host, std::int32_t(start), std::int32_t(e.dataSize));
    if (host.Handle())
        host.setImageType(ImagePNGIcon);
    return outcome;
}

}  // namespace

ReadOutcome cICOparser::LoadStream(const ByteArray& inStream, std::int32_t desiredWidth,
                                   std::int32_t desiredHeight, c32bppDIB& cHost, std::int32_t streamOffset,
                                   std::int32_t streamLength)
{
    if (streamLength <= 5)
        return ReadOutcome::NotMine;
    const ByteView v(inStream.range(streamOffset, streamLength));
    if (v.size() == 0)
        return ReadOutcome::Failed;
    std::uint16_t type = 0;
    std::vector<IconDirEntry> entries;
    if (!readDirectory(v, type, entries))
        return ReadOutcome::NotMine;
    const Check check = validateEntries(v, entries);
    if (check == Check::OutOfRange) {
        cHost.failLoad(LoadError::Truncated, lang::tr("an entry points outside the file", "有条目指向文件之外"));
        return ReadOutcome::Failed;
    }
    if (check == Check::Invalid)
        return ReadOutcome::NotMine;

    const int chosen = chooseIconEntry(entries, desiredWidth, desiredHeight);
    if (chosen < 0) {
        cHost.failLoad(LoadError::Unsupported, lang::tr("no entry of a known depth", "没有已知位深的条目"));
        return ReadOutcome::Accepted;
    }
    const IconDirEntry& e = entries[std::size_t(chosen)];
    const ReadOutcome outcome = e.planes == kPngEntry ? loadPngEntry(inStream, e, streamOffset, cHost)
                                                      : loadBitmapEntry(v, e, type == kTypeCursor, cHost);
    if (outcome == ReadOutcome::Failed)
        cHost.DestroyDIB();
    return outcome;
}
