// The system picture loader and picture object, over Qt's image readers.
#include "platform/picture/picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include "platform/gdi/gdi_handles.h"
#include "platform/gdi/gdi_internal.h"
#include "platform/runtime/numeric.h"

namespace picture {

namespace {

gdi::HBITMAP createBitmap(std::int32_t width, std::int32_t height)
{
    gdi::BITMAPINFOHEADER header;
    header.biWidth = width;
    header.biHeight = height;
    header.biBitCount = 32;
    void* bits = nullptr;
    return gdi::CreateDIBSection(nullptr, header, gdi::DIB_RGB_COLORS, &bits);
}

gdi::HBITMAP copyBitmap(const gdi::Bitmap& source)
{
    gdi::HBITMAP copy = createBitmap(source.width(), source.height());
    if (copy)
        std::memcpy(copy->bits(), source.bits(), std::size_t(source.stride()) * std::size_t(source.height()));
    return copy;
}

// The depth GetObject would report for the decoded data: the BMP header's
// own for BMP files, else what the decoded image carries.
std::int32_t sourceDepth(std::span<const std::uint8_t> bytes, const QImage& image)
{
    if (bytes.size() >= 30 && bytes[0] == 'B' && bytes[1] == 'M') {
        const std::int32_t bits = bytes[28] | (bytes[29] << 8);
        if (bits > 0)
            return bits;
    }
    if (image.hasAlphaChannel())
        return 32;
    return image.depth() <= 8 ? image.depth() : 24;
}

}  // namespace

// 2540 hundredths of a millimetre make an inch of 96 pixels: a pixel is
// 2540 / 96 = 635 / 24 of them. The results fit 32 bits for every 32-bit
// input in the direction that shrinks, and are clamped in the other.
std::int32_t himetricToPixels(std::int32_t himetric)
{
    return std::int32_t(runtime::divideHalfEven(std::int64_t(himetric) * 24, 635));
}

std::int32_t pixelsToHimetric(std::int32_t pixels)
{
    const std::int64_t himetric = runtime::divideHalfEven(std::int64_t(pixels) * 635, 24);
    return std::int32_t(std::clamp<std::int64_t>(himetric, std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max()));
}

Picture::~Picture()
{
    if (m_ownsBitmap && m_bitmap)
        gdi::DeleteObject(m_bitmap);
}

std::unique_ptr<Picture> Picture::fromImage(const QImage& image, PictureType type, std::int32_t sourceBitsPerPixel,
                                            bool isCursor)
{
    if (image.isNull())
        return nullptr;
    const QImage argb =
        image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (argb.isNull())
        return nullptr;
    gdi::UniqueBitmap bitmap(createBitmap(argb.width(), argb.height()));
    if (!bitmap)
        return nullptr;
    // QImage rows run top-down; the picture's bitmap is bottom-up. On a
    // little-endian machine ARGB32 lies in memory as Blue, Green, Red, Alpha.
    const std::size_t rowBytes = std::size_t(argb.width()) * 4;
    for (int y = 0; y < argb.height(); ++y)
        std::memcpy(bitmap->pixel(0, y), argb.constScanLine(y), rowBytes);
    std::unique_ptr<Picture> picture(new Picture);
    picture->m_type = type;
    picture->m_bitmap = bitmap.release();
    picture->m_cursor = isCursor;
    picture->m_bitsPerPixel = sourceBitsPerPixel;
    return picture;
}

std::unique_ptr<Picture> Picture::fromBitmap(gdi::HBITMAP bitmap, bool takeOwnership)
{
    if (!bitmap || bitmap->stock)
        return nullptr;
    std::unique_ptr<Picture> picture(new Picture);
    picture->m_type = PICTYPE_BITMAP;
    picture->m_bitmap = bitmap;
    picture->m_ownsBitmap = takeOwnership;
    picture->m_bitsPerPixel = 32;
    return picture;
}

std::int32_t Picture::Width() const
{
    return m_bitmap ? pixelsToHimetric(m_bitmap->width()) : 0;
}

std::int32_t Picture::Height() const
{
    return m_bitmap ? pixelsToHimetric(m_bitmap->height()) : 0;
}

bool Picture::Render(gdi::HDC dc, std::int32_t x, std::int32_t y, std::int32_t cx, std::int32_t cy,
                     std::int32_t xSrc, std::int32_t ySrc, std::int32_t cxSrc, std::int32_t cySrc) const
{
    if (!dc || !dc->bitmap || !m_bitmap || cx <= 0 || cy <= 0)
        return false;
    gdi::Bitmap& dst = *dc->bitmap;
    const gdi::Bitmap& src = *m_bitmap;
    // The source rectangle counts upwards from the bottom edge; a negative
    // extent runs the other way, which is how the upright picture is named.
    const double left = himetricToPixels(xSrc);
    const double width = himetricToPixels(cxSrc);
    const double top = src.height() - himetricToPixels(ySrc);
    const double height = -double(himetricToPixels(cySrc));
    const bool masked = m_type == PICTYPE_ICON;
    for (std::int32_t dy = 0; dy < cy; ++dy) {
        const int sy = int(std::floor(top + (dy + 0.5) * height / cy));
        for (std::int32_t dx = 0; dx < cx; ++dx) {
            const int sx = int(std::floor(left + (dx + 0.5) * width / cx));
            if (!src.contains(sx, sy) || !dst.contains(x + dx, y + dy))
                continue;
            const std::uint8_t* s = const_cast<gdi::Bitmap&>(src).pixel(sx, sy);
            if (masked && s[3] == 0)
                continue;
            std::memcpy(dst.pixel(x + dx, y + dy), s, 4);
        }
    }
    return true;
}

bool Picture::GetIconInfo(IconInfo& info) const
{
    if (m_type != PICTYPE_ICON || !m_bitmap)
        return false;
    gdi::UniqueBitmap colour(copyBitmap(*m_bitmap));
    gdi::UniqueBitmap mask(createBitmap(m_bitmap->width(), m_bitmap->height()));
    if (!colour || !mask)
        return false;
    // An icon's transparent pixels are the set bits of its mask.
    for (int y = 0; y < m_bitmap->height(); ++y) {
        for (int x = 0; x < m_bitmap->width(); ++x) {
            const bool transparent = m_bitmap->pixel(x, y)[3] == 0;
            std::memset(mask->pixel(x, y), transparent ? 0xFF : 0x00, 4);
        }
    }
    info.fIcon = !m_cursor;
    info.hbmColor = colour.release();
    info.hbmMask = mask.release();
    return true;
}

std::unique_ptr<Picture> ArrayToPicture(std::span<const std::uint8_t> bytes, std::int64_t pixelLimit, bool* overLimit)
{
    if (overLimit)
        *overLimit = false;
    if (bytes.empty() || bytes.size() > std::size_t(std::numeric_limits<int>::max()))
        return nullptr;
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format().toLower();
    const QSize size = reader.size();
    const bool tooLarge = size.isValid() && std::int64_t(size.width()) * size.height() > pixelLimit;
    if (pixelLimit != kNoPixelLimit) {
        // Formats whose header gives no size are held to the limit while
        // decoding: 4 bytes a pixel, in MiB, rounded up.
        const std::int64_t mebibytes = std::min<std::int64_t>(pixelLimit / (1 << 18) + 1, 1 << 20);
        reader.setAllocationLimit(int(mebibytes));
    }
    QImage image;
    if (tooLarge || !reader.read(&image) || image.isNull() ||
        std::int64_t(image.width()) * image.height() > pixelLimit) {
        if (overLimit)
            *overLimit = tooLarge || !image.isNull();
        return nullptr;
    }
    const bool icon = format == "ico" || format == "cur";
    // A cursor file says so in its header's type field.
    const bool cursor = icon && bytes.size() >= 4 && bytes[2] == 2 && bytes[3] == 0;
    return Picture::fromImage(image, icon ? PICTYPE_ICON : PICTYPE_BITMAP, sourceDepth(bytes, image), cursor);
}

}  // namespace picture
