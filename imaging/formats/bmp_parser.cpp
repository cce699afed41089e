// The BMP reader and the conversion of platform pictures into surfaces.
#include "imaging/formats/bmp_parser.h"

#include <cstdlib>
#include <cstring>

#include "imaging/formats/byte_view.h"
#include "imaging/surface/c32bppdib.h"
#include "platform/gdi/dib_convert.h"
#include "platform/language/language.h"
#include "platform/picture/picture.h"

namespace {

constexpr std::uint16_t kBmpSignature = 19778;  // "BM"

// What the BMP header says, as far as this reader looks at it.
struct BmpHeader {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t bitCount = 0;
    std::uint32_t compression = 0;
    std::int64_t leftOver = -1;  // bytes behind the pixel rows; -1 when unknown
    std::int64_t pixelOffset = 0;
    bool infoHeader = false;  // a header of 40 bytes or more, whose fields are the ones read here
};

// A header cut short reads as zeros, which sends the data to the platform
// loader; the leftover stays -1 unless every field it needs was there.
BmpHeader readHeader(const ByteView& v)
{
    BmpHeader h;
    h.width = v.i32(18).value_or(0);
    h.height = v.i32(22).value_or(0);
    h.bitCount = v.u16(28).value_or(0);
    h.compression = v.u32(30).value_or(0xFFFFFFFF);
    h.infoHeader = v.u32(14).value_or(0) >= 40;
    const auto offset = v.u32(10);
    const std::int64_t rowBytes = gdi::rowStride(h.bitCount, h.width);
    if (offset && rowBytes >= 0) {
        h.pixelOffset = *offset;
        h.leftOver = v.size() - (rowBytes * std::llabs(h.height) + h.pixelOffset);
    }
    return h;
}

// Run-length and embedded compressions give no row size to check, only a
// start inside the data; the plain layouts must hold every row.
bool pixelDataInside(const BmpHeader& h, std::int64_t size)
{
    if (!h.infoHeader)
        return true;  // the older 12-byte header is the platform loader's to judge
    const bool plain = h.compression == gdi::BI_RGB || h.compression == gdi::BI_BITFIELDS;
    return plain ? h.leftOver >= 0 : h.pixelOffset < size;
}

// Copies the rows of an uncompressed 32-bpp BMP, turning top-down files
// (negative height) upright, then settles the alpha.
void load32bpp(const ByteView& v, const BmpHeader& h, c32bppDIB& host)
{
    if (!host.acceptsSize(h.width, std::llabs(h.height)))
        return;
    if (!host.InitializeDIB(h.width, h.height)) {
        host.failLoad(LoadError::OutOfMemory);
        return;
    }
    const std::size_t scan = std::size_t(host.ScanWidth());
    const std::size_t rows = std::size_t(host.Height());
    const std::uint8_t* src = v.bytes().data() + h.pixelOffset;
    if (h.height > 0) {
        std::memcpy(host.BitsPointer(), src, scan * rows);
    } else {
        for (std::size_t r = 0; r < rows; ++r)
            std::memcpy(host.BitsPointer() + r * scan, src + (rows - 1 - r) * scan, scan);
    }
    const AlphaCheck check = ValidateAlpha(host.BitsPointer(), host.Width(), host.Height(), true);
    host.setAlpha(check.hasAlpha);
    host.setImageType(check.imageType);
}

// Metafiles draw over a white, fully opaque background; what they left
// untouched becomes transparent.
void settleMetafile(c32bppDIB& host, std::int16_t type)
{
    std::uint8_t* p = host.BitsPointer();
    const std::size_t count = std::size_t(host.Width()) * std::size_t(host.Height());
    bool anyTransparent = false;
    for (std::size_t i = 0; i < count; ++i, p += 4) {
        if (p[3] == 255) {
            std::memset(p, 0, 4);
            anyTransparent = true;
        } else {
            p[3] = 255;
        }
    }
    host.setAlpha(anyTransparent);
    host.setImageType(type);
}

}  // namespace

ReadOutcome cBMPparser::LoadStream(const ByteArray& inStream, c32bppDIB& cHost, std::int32_t streamOffset,
                                   std::int32_t streamLength)
{
    if (streamLength < 1)
        return ReadOutcome::NotMine;
    const ByteView v(inStream.range(streamOffset, streamLength));
    if (v.size() == 0)
        return ReadOutcome::Failed;

    std::int32_t bitCount = 0;
    if (v.u16(0) == kBmpSignature) {
        const BmpHeader h = readHeader(v);
        if (h.width < 1 || h.height == 0)
            return ReadOutcome::NotMine;
        // Pixel data that lies outside the file is not handed on: the
        // platform loader would show whatever it made of the missing rows.
        if (!pixelDataInside(h, v.size())) {
            cHost.failLoad(LoadError::Truncated, lang::tr("the pixel rows lie outside the file", "像素行超出了文件"));
            return ReadOutcome::Failed;
        }
        bitCount = h.bitCount;
        if (h.leftOver >= 0 && h.bitCount == 32 && h.compression == gdi::BI_RGB) {
            // Our own rows: a refusal here is final, the platform loader
            // would only refuse the same size again.
            load32bpp(v, h, cHost);
            return ReadOutcome::Accepted;
        }
        // The size fields read here are those of the 40-byte header; the
        // platform loader checks the older header's size itself.
        if (h.infoHeader && !cHost.acceptsSize(h.width, std::llabs(h.height)))
            return ReadOutcome::Accepted;
    }
    bool overLimit = false;
    const std::unique_ptr<picture::Picture> pic = picture::ArrayToPicture(v.bytes(), cHost.PixelLimit(), &overLimit);
    if (overLimit) {
        cHost.failLoad(LoadError::TooManyPixels);
        return ReadOutcome::Accepted;
    }
    if (!pic)
        return ReadOutcome::NotMine;
    ConvertstdPicTo32bpp(pic.get(), cHost, bitCount);
    return ReadOutcome::Accepted;
}

bool cBMPparser::ConvertstdPicTo32bpp(const picture::Picture* stdPic, c32bppDIB& cHost, std::int32_t bitCount)
{
    if (!stdPic || stdPic->Type() == picture::PICTYPE_NONE)
        return false;
    const std::int32_t width = picture::himetricToPixels(stdPic->Width());
    const std::int32_t height = picture::himetricToPixels(stdPic->Height());
    if (!cHost.acceptsSize(width, height))
        return false;
    if (!cHost.InitializeDIB(width, height)) {
        cHost.failLoad(LoadError::OutOfMemory);
        return false;
    }
    const bool metafile =
        stdPic->Type() == picture::PICTYPE_METAFILE || stdPic->Type() == picture::PICTYPE_ENHMETAFILE;
    if (metafile)
        std::memset(cHost.BitsPointer(), 255, std::size_t(cHost.ScanWidth()) * std::size_t(height));

    gdi::HDC dc = cHost.LoadDIBinDC(true);
    stdPic->Render(dc, 0, 0, width, height, 0, stdPic->Height(), stdPic->Width(), -stdPic->Height());
    cHost.LoadDIBinDC(false);

    if (metafile) {
        settleMetafile(cHost, stdPic->Type());
        return true;
    }
    if (bitCount == 0)
        bitCount = stdPic->BitsPerPixel();
    if (bitCount == 32) {
        const AlphaCheck check = ValidateAlpha(cHost.BitsPointer(), width, height, true);
        cHost.setAlpha(check.hasAlpha);
        cHost.setImageType(check.imageType);
    } else {
        cHost.setAlpha(false);
        cHost.setImageType(ImageBitmap);
    }
    return true;
}

AlphaCheck ValidateAlpha(std::uint8_t* pixels, std::int32_t width, std::int32_t height, bool allowPremultiply)
{
    AlphaCheck result;
    if (!pixels || width < 1 || height < 1)
        return result;
    const std::size_t count = std::size_t(width) * std::size_t(height);
    // State 0: consistent with premultiplied data so far; 1: colour seen
    // under zero alpha; 2: certainly straight alpha.
    int state = 0;
    std::size_t zeroAlpha = 0;
    for (std::size_t i = 0; i < count && state != 2; ++i) {
        const std::uint8_t* p = pixels + i * 4;
        const std::uint8_t a = p[3];
        if (a == 0) {
            ++zeroAlpha;
            if (state == 0 && (p[0] | p[1] | p[2]) != 0)
                state = 1;
        } else if (a == 255) {
            if (state == 1)
                state = 2;
        } else if (state == 1 || p[0] > a || p[1] > a || p[2] > a) {
            state = 2;
        }
    }
    if (zeroAlpha == count)
        return result;  // an unused alpha channel: the pixels stay as they are
    result.hasAlpha = true;
    if (state == 0) {
        result.imageType = ImageBitmapPARGB;
        return result;
    }
    result.imageType = ImageBitmapARGB;
    if (!allowPremultiply)
        return result;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* p = pixels + i * 4;
        const unsigned a = p[3];
        if (a == 0) {
            std::memset(p, 0, 4);
        } else if (a != 255) {
            for (int k = 0; k < 3; ++k)
                p[k] = std::uint8_t(p[k] * a / 255);
        }
    }
    return result;
}
